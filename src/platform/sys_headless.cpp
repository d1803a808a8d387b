// The headless backend: no window and no sound device. Time is simulated and advances only when
// told to; input comes from a script. The tests and zkplay run the game through it.
#include <SDL.h>

#include <deque>
#include <set>

#include "platform/sys_local.h"

namespace {

class HeadlessBackend final : public SysBackendImpl {
public:
  explicit HeadlessBackend(int refreshRate) : refreshRate_(refreshRate) {}
  ~HeadlessBackend() override {
    while (!virtualPads_.empty()) PadDisconnect();
    if (!Pads_Started()) return;
    Pads_Stop();
    // The controllers were all this backend started of SDL: what SDL keeps beyond its subsystems
    // (hints, the event queue's pools) goes too.
    if (SDL_WasInit(SDL_INIT_EVERYTHING) == 0) SDL_Quit();
  }

  bool PollEvent(SysEvent& ev) override {
    if (!events_.empty()) {
      ev = events_.front();
      events_.pop_front();
      return true;
    }
    // Only the controller subsystem runs here: every event in SDL's queue is one of its.
    SDL_Event e;
    while (Pads_Started() && SDL_PollEvent(&e))
      if (Pads_Translate(e, ev) && ev.Type != SysEventType::None) return true;
    return false;
  }
  void WaitEvent(int) override {}
  bool KeyHeld(int vk) const override { return held_.count(vk) != 0; }
  uint32_t Milliseconds() const override { return static_cast<uint32_t>(clockMs_); }
  int RefreshRate() const override { return refreshRate_; }
  void OpenDisplay(bool) override { open_ = true; }
  void CloseDisplay() override { open_ = false; }
  bool DisplayOpen() const override { return open_; }
  void Present(const TDirectDrawSurface&) override {}
  void SetCursorVisible(bool) override {}
  bool OpenURL(const std::string& address) override {
    openedUrls_.push_back(address);
    return true;
  }
  void Minimize() override { events_.push_back(SysEvent{SysEventType::Minimized}); }
  void StorePlacement() override {}
  void RestorePlacement() override {}
  void ShowErrorBox(const std::string& message) override { shownErrors_.push_back(message); }
  void SetWindowIcon(const std::string&) override {}

  void Push(const SysEvent& ev) { events_.push_back(ev); }
  void SetKey(int vk, bool held) {
    if (held && held_.insert(vk).second) Sys_NoteKeyDown(vk);
    if (!held) held_.erase(vk);
  }
  void Advance(double ms) { clockMs_ += ms; }

  bool PadConnect(std::string& problem) {
    if (!Pads_Start(problem)) return false;
    SDL_VirtualJoystickDesc desc{};
    desc.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
    desc.type = SDL_JOYSTICK_TYPE_GAMECONTROLLER;
    desc.naxes = SDL_CONTROLLER_AXIS_MAX;
    desc.nbuttons = SDL_CONTROLLER_BUTTON_MAX;
    desc.name = "Zubo Kranz virtual pad";
    const int index = SDL_JoystickAttachVirtualEx(&desc);
    SDL_Joystick* const joystick = index < 0 ? nullptr : SDL_JoystickOpen(index);
    if (joystick == nullptr) {
      problem = std::string("cannot attach a virtual pad: ") + SDL_GetError();
      return false;
    }
    virtualPads_.push_back(joystick);
    for (int b = 0; b < PadButtonCount; ++b) SDL_JoystickSetVirtualButton(joystick, b, buttons_[b]);
    for (int a = 0; a < PadAxisCount; ++a) SDL_JoystickSetVirtualAxis(joystick, a, axes_[a]);
    SDL_JoystickUpdate();
    return true;
  }
  void PadDisconnect() {
    if (virtualPads_.empty()) return;
    SDL_Joystick* const joystick = virtualPads_.back();
    virtualPads_.pop_back();
    const SDL_JoystickID id = SDL_JoystickInstanceID(joystick);
    SDL_JoystickClose(joystick);
    for (int i = 0; i < SDL_NumJoysticks(); ++i)
      if (SDL_JoystickGetDeviceInstanceID(i) == id) SDL_JoystickDetachVirtual(i);
    SDL_JoystickUpdate();
  }
  void PadButton(int button, bool held) {
    if (button < 0 || button >= PadButtonCount) return;
    buttons_[button] = held ? 1 : 0;
    for (SDL_Joystick* j : virtualPads_) SDL_JoystickSetVirtualButton(j, button, buttons_[button]);
    if (!virtualPads_.empty()) SDL_JoystickUpdate();
  }
  // Sticks -1..1; triggers 0..1, which the virtual device carries over its whole axis range.
  void PadAxis(int axis, float value) {
    if (axis < 0 || axis >= PadAxisCount) return;
    const bool trigger = axis == paTriggerLeft || axis == paTriggerRight;
    const float v = trigger ? value * 2 - 1 : value;
    const float clamped = v < -1 ? -1 : v > 1 ? 1 : v;
    axes_[axis] = static_cast<Sint16>(clamped < 0 ? clamped * 32768 : clamped * 32767);
    for (SDL_Joystick* j : virtualPads_) SDL_JoystickSetVirtualAxis(j, axis, axes_[axis]);
    if (!virtualPads_.empty()) SDL_JoystickUpdate();
  }
  std::vector<std::string>& OpenedUrls() { return openedUrls_; }
  std::vector<std::string>& ShownErrors() { return shownErrors_; }

private:
  int refreshRate_;
  double clockMs_ = 0;
  bool open_ = false;
  std::deque<SysEvent> events_;
  std::set<int> held_;
  std::vector<std::string> openedUrls_;
  std::vector<std::string> shownErrors_;
  std::vector<SDL_Joystick*> virtualPads_;
  Uint8 buttons_[PadButtonCount] = {};
  Sint16 axes_[PadAxisCount] = {0, 0, 0, 0, -32768, -32768};  // triggers at rest
};

HeadlessBackend* Headless() {
  return Sys_Backend() == SysBackend::Headless ? static_cast<HeadlessBackend*>(&Sys_Impl()) : nullptr;
}

}  // namespace

SysBackendImpl* Sys_CreateHeadlessBackend(int refreshRate) { return new HeadlessBackend(refreshRate); }

void Sys_HeadlessPushEvent(const SysEvent& ev) {
  if (HeadlessBackend* h = Headless()) h->Push(ev);
}

void Sys_HeadlessSetKey(int vk, bool held) {
  if (HeadlessBackend* h = Headless()) h->SetKey(vk, held);
}

void Sys_HeadlessAdvanceClock(double ms) {
  if (HeadlessBackend* h = Headless()) h->Advance(ms);
  Snd_AdvanceRecording(ms);
}

std::vector<std::string>& Sys_HeadlessOpenedURLs() {
  static std::vector<std::string> none;
  HeadlessBackend* h = Headless();
  return h ? h->OpenedUrls() : none;
}

std::vector<std::string>& Sys_HeadlessShownErrors() {
  static std::vector<std::string> none;
  HeadlessBackend* h = Headless();
  return h ? h->ShownErrors() : none;
}

bool Sys_HeadlessPadConnect(std::string& problem) {
  HeadlessBackend* h = Headless();
  if (h == nullptr) {
    problem = "a virtual pad needs the headless backend";
    return false;
  }
  return h->PadConnect(problem);
}

void Sys_HeadlessPadDisconnect() {
  if (HeadlessBackend* h = Headless()) h->PadDisconnect();
}

void Sys_HeadlessPadButton(int button, bool held) {
  if (HeadlessBackend* h = Headless()) h->PadButton(button, held);
}

void Sys_HeadlessPadAxis(int axis, float value) {
  if (HeadlessBackend* h = Headless()) h->PadAxis(axis, value);
}
