// The keyboard device: 36 input states, each on while one of its assigned keys is held.
#include "platform/platform.h"

namespace {

struct KeyAssignment {
  int State;
  int Key;
};

// Unlisted states have no key.
constexpr KeyAssignment kAssignments[] = {
    {isUp, VK_UP},
    {isDown, VK_DOWN},
    {isLeft, VK_LEFT},
    {isRight, VK_RIGHT},
    {isButton1 + 4, 'H'},
    {isButton1 + 5, 'P'},
    {isButton1 + 6, 'Y'},
    {isButton1 + 7, 'N'},
    {isButton1 + 8, VK_ESCAPE},
    {isButton1 + 9, VK_SPACE},
    {isButton1 + 10, VK_RETURN},
    {isButton1 + 11, 'Z'},
    {isButton1 + 12, 'X'},
    {isButton1 + 13, 'C'},
    {isButton1 + 14, 'V'},
    {isButton1 + 15, 'B'},
    {isButton1 + 16, '1'}, {isButton1 + 17, '2'}, {isButton1 + 18, '3'},
    {isButton1 + 19, '4'}, {isButton1 + 20, '5'}, {isButton1 + 21, '6'},
    {isButton1 + 22, '7'}, {isButton1 + 23, '8'}, {isButton1 + 24, '9'},
    {isButton1 + 25, '0'},
};

}  // namespace

TDXInput::TDXInput() {
  for (const KeyAssignment& a : kAssignments) keys_[a.State] = a.Key;
}

void TDXInput::Assign(int state, int vk) {
  if (state >= 0 && state < DXInputStateCount) keys_[state] = vk;
}

void TDXInput::Update() {
  uint64_t held = 0, tapped = 0;
  // A key assigned to several states is asked for its tap once.
  uint64_t asked = 0;
  uint64_t tappedKeys[4] = {};
  for (int state = 0; state < DXInputStateCount; ++state) {
    const int key = keys_[state];
    if (key <= 0 || key > 255) continue;
    if (Sys_KeyHeld(key)) held |= uint64_t{1} << state;
    const uint64_t bit = uint64_t{1} << (key & 63);
    if (!((asked >> state) & 1)) {
      for (int other = state; other < DXInputStateCount; ++other)
        if (keys_[other] == key) asked |= uint64_t{1} << other;
      if (Sys_TakeKeyTap(key)) tappedKeys[key >> 6] |= bit;
    }
    if (tappedKeys[key >> 6] & bit) tapped |= uint64_t{1} << state;
  }
  states_ = held;
  taps_ = tapped;
}
