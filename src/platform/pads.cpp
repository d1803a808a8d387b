// Game controllers through SDL's GameController API: pads come and go with SDL's device events,
// and are read together as one.
#include <SDL.h>

#include <string_view>

#include "platform/sys_local.h"

namespace {

constexpr int kMaxPads = 8;
// Rumble strength of both motors (of 0xFFFF).
constexpr Uint16 kRumbleStrength = 0xC000;

constexpr std::string_view kButtonNames[PadButtonCount] = {
    "a", "b", "x", "y", "back", "guide", "start", "leftstick", "rightstick", "leftshoulder",
    "rightshoulder", "dpup", "dpdown", "dpleft", "dpright"};
constexpr std::string_view kAxisNames[PadAxisCount] = {"leftx", "lefty", "rightx", "righty", "lefttrigger",
                                                       "righttrigger"};

struct TOpenPad {
  SDL_GameController* Controller = nullptr;
  SDL_JoystickID Id = -1;
};

bool started = false;
TOpenPad pads[kMaxPads];
uint32_t taps = 0;
int rumbles = 0;

TOpenPad* Find(SDL_JoystickID id) {
  for (TOpenPad& p : pads)
    if (p.Controller != nullptr && p.Id == id) return &p;
  return nullptr;
}

// Opens the pad at SDL's device index; false when it is open already, no slot is free or it fails.
bool Open(int deviceIndex) {
  if (Find(SDL_JoystickGetDeviceInstanceID(deviceIndex)) != nullptr) return false;
  for (TOpenPad& p : pads) {
    if (p.Controller != nullptr) continue;
    p.Controller = SDL_GameControllerOpen(deviceIndex);
    if (p.Controller == nullptr) return false;
    p.Id = SDL_JoystickInstanceID(SDL_GameControllerGetJoystick(p.Controller));
    return true;
  }
  return false;
}

float AxisValue(SDL_GameController* c, int axis) {
  const Sint16 raw = SDL_GameControllerGetAxis(c, static_cast<SDL_GameControllerAxis>(axis));
  return raw < 0 ? raw / 32768.0f : raw / 32767.0f;
}

float Farther(float a, float b) { return (b < 0 ? -b : b) > (a < 0 ? -a : a) ? b : a; }

}  // namespace

bool Pads_Start(std::string& problem) {
  if (started) return true;
  if (SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER) != 0) {
    problem = std::string("cannot start the game controllers: ") + SDL_GetError();
    return false;
  }
  SDL_GameControllerEventState(SDL_ENABLE);
  started = true;
  taps = 0;
  return true;
}

bool Pads_Started() { return started; }

void Pads_Stop() {
  if (!started) return;
  for (TOpenPad& p : pads) {
    if (p.Controller != nullptr) SDL_GameControllerClose(p.Controller);
    p = TOpenPad{};
  }
  SDL_QuitSubSystem(SDL_INIT_GAMECONTROLLER);
  started = false;
  taps = 0;
}

bool Pads_Translate(const SDL_Event& e, SysEvent& out) {
  out = SysEvent{};
  switch (e.type) {
    case SDL_CONTROLLERDEVICEADDED:
      if (Open(e.cdevice.which)) out.Type = SysEventType::PadConnected;
      return true;
    case SDL_CONTROLLERDEVICEREMOVED:
      if (TOpenPad* p = Find(e.cdevice.which)) {
        SDL_GameControllerClose(p->Controller);
        *p = TOpenPad{};
        out.Type = SysEventType::PadDisconnected;
      }
      return true;
    case SDL_CONTROLLERBUTTONDOWN:
      if (Find(e.cbutton.which) != nullptr && e.cbutton.button < PadButtonCount) {
        taps |= uint32_t{1} << e.cbutton.button;
        out.Type = SysEventType::PadButtonDown;
        out.Key = e.cbutton.button;
      }
      return true;
    default:
      return e.type >= SDL_CONTROLLERAXISMOTION && e.type <= SDL_CONTROLLERSENSORUPDATE;
  }
}

TPadState Sys_TakePadState() {
  TPadState s;
  s.Tapped = taps;
  taps = 0;
  for (const TOpenPad& p : pads) {
    if (p.Controller == nullptr) continue;
    ++s.Connected;
    for (int b = 0; b < PadButtonCount; ++b)
      if (SDL_GameControllerGetButton(p.Controller, static_cast<SDL_GameControllerButton>(b)))
        s.Held |= uint32_t{1} << b;
    for (int a = 0; a < PadAxisCount; ++a) s.Axes[a] = Farther(s.Axes[a], AxisValue(p.Controller, a));
  }
  return s;
}

void Sys_PadRumble(int milliseconds) {
  for (const TOpenPad& p : pads)
    if (p.Controller != nullptr)
      SDL_GameControllerRumble(p.Controller, kRumbleStrength, kRumbleStrength, static_cast<Uint32>(milliseconds));
  ++rumbles;
}

int Sys_HeadlessRumbleCount() { return rumbles; }

int PadButtonByName(std::string_view name) {
  for (int b = 0; b < PadButtonCount; ++b)
    if (kButtonNames[b] == name) return b;
  return -1;
}

int PadAxisByName(std::string_view name) {
  for (int a = 0; a < PadAxisCount; ++a)
    if (kAxisNames[a] == name) return a;
  return -1;
}

const char* PadButtonName(int button) {
  return button >= 0 && button < PadButtonCount ? kButtonNames[button].data() : "";
}
