// The headless backend: no window and no sound device. Time is simulated and advances only when
// told to; input comes from a script. The tests and zkplay run the game through it.
#include <deque>
#include <set>

#include "platform/sys_local.h"

namespace {

class HeadlessBackend final : public SysBackendImpl {
public:
  explicit HeadlessBackend(int refreshRate) : refreshRate_(refreshRate) {}

  bool PollEvent(SysEvent& ev) override {
    if (events_.empty()) return false;
    ev = events_.front();
    events_.pop_front();
    return true;
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
