// Game controllers: their buttons and axes read as the game's keys, once a frame.
#include "app/app.h"

namespace {

TPadMapper padMapper;
TPadFrame padFrame;

float Magnitude(float v) { return v < 0 ? -v : v; }

}  // namespace

bool TAxisKey::Step(float value) {
  const float past = value <= DeadZone ? 0.0f : (value - DeadZone) / (1.0f - DeadZone);
  Down = Down ? past >= ReleaseAt : past >= PressAt;
  return Down;
}

TPadFrame TPadMapper::Step(const TPadState& pad, const TControls& controls, bool racing) {
  const float x = pad.Axes[paLeftX], y = pad.Axes[paLeftY];
  // Only the stick's stronger direction counts, so a diagonal steers and moves one way.
  const bool across = Magnitude(x) >= Magnitude(y);
  const bool left = stickLeft_.Step(across ? -x : 0), right = stickRight_.Step(across ? x : 0);
  const bool up = stickUp_.Step(across ? 0 : -y), down = stickDown_.Step(across ? 0 : y);
  const bool throttle = throttle_.Step(pad.Axes[paTriggerRight]), brake = brake_.Step(pad.Axes[paTriggerLeft]);
  const auto bound = [&](int action) { return pad.Holds(controls.PadButtons[action]); };
  const auto boundTap = [&](int action) { return pad.Taps(controls.PadButtons[action]); };

  TPadFrame f;
  f.Race = TRaceInput{left || bound(caSteerLeft), right || bound(caSteerRight), throttle || bound(caAccelerate),
                      brake || bound(caBrake), bound(caHandbrake), bound(caHorn)};
  const bool held[4] = {up || pad.Holds(pbDpadUp), down || pad.Holds(pbDpadDown), left || pad.Holds(pbDpadLeft),
                        right || pad.Holds(pbDpadRight)};
  const int dpad[4] = {pbDpadUp, pbDpadDown, pbDpadLeft, pbDpadRight};
  bool* const moves[4] = {&f.Up, &f.Down, &f.Left, &f.Right};
  for (int i = 0; i < 4; ++i) {
    // A d-pad press released again before this poll still moves once.
    *moves[i] = (held[i] && !menuHeld_[i]) || pad.Taps(dpad[i]);
    menuHeld_[i] = held[i];
  }
  f.Pause = boundTap(caPause);
  const bool back = !racing && pad.Taps(pbB);
  f.Escape = pad.Taps(pbBack) || back;
  f.No = back;
  return f;
}

const TPadFrame& PollPads(bool racing) {
  padFrame = padMapper.Step(Sys_TakePadState(), Controls, racing);
  return padFrame;
}

void ResetPadInput() {
  padMapper.Reset();
  padFrame = TPadFrame{};
}

SysEvent PadEventAsKey(const SysEvent& ev) {
  SysEvent key;
  if (ev.Type == SysEventType::PadButtonDown && ev.Key == pbA && !RaceFrameDue()) {
    key.Type = SysEventType::Char;
    // In the name entry A types the picker's entry.
    key.Char = Shell.PopupKind == popNameEntry ? static_cast<unsigned char>(NamePickerChar()) : 13;
  }
  return key;
}

void PadDisconnected() {
  if (Shell.CurrentScreen != scrRace) return;
  if (Shell.PopupKind == popLevelCaption) ClosePopup();
  if (Shell.PopupKind == popNone) OpenPopup(popPause);
}
