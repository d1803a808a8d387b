// Drives the real game frame by frame under the headless backend: simulated time, scripted keys,
// typed text and the mouse. zkplay and the tests use it.
#include <cctype>

#include "app/app.h"

namespace {

// The character a key types, as a real keyboard sends it with the key; 0 for none.
int CharOfKey(int vk, int shift) {
  if (shift & (ssAlt | ssCtrl)) return 0;
  if (vk == VK_RETURN) return 13;
  if (vk == VK_ESCAPE) return 27;
  if (vk == VK_BACK) return 8;
  if (vk == VK_SPACE) return ' ';
  if (vk >= 'A' && vk <= 'Z') return (shift & ssShift) ? vk : vk + 32;
  if (vk >= '0' && vk <= '9') return vk;
  return 0;
}

// The key that types a character; 0 for characters without one.
int VkOfChar(char c) {
  const unsigned char u = static_cast<unsigned char>(c);
  if (std::isalpha(u)) return std::toupper(u);
  if (std::isdigit(u)) return u;
  if (c == ' ') return VK_SPACE;
  return 0;
}

}  // namespace

THeadlessDriver::THeadlessDriver(int refreshRate) : frameMs_(1000.0 / (refreshRate > 0 ? refreshRate : 60)) {}

void THeadlessDriver::Send(SysEventType type, int key, int shift, int ch, int x, int y) {
  if (MForm == nullptr || MForm->Terminated) return;
  SysEvent ev{type};
  ev.Key = key;
  ev.Shift = shift;
  ev.Char = ch;
  ev.X = x;
  ev.Y = y;
  App_DispatchEvent(ev);
}

void THeadlessDriver::Frame() {
  if (MForm == nullptr || MForm->Terminated) return;
  // What the game asked of the window itself (a minimise) arrives first, as in the message loop.
  SysEvent ev;
  while (!MForm->Terminated && Sys_PollEvent(ev)) App_DispatchEvent(ev);
  if (MForm->Terminated) return;
  Sys_HeadlessAdvanceClock(frameMs_);
  int lag = 0;
  if (MForm->MDXTimer.Idle(Sys_Milliseconds(), lag)) MForm->RunFrame(lag);
}

void THeadlessDriver::Frames(int count) {
  for (int i = 0; i < count; ++i) Frame();
}

void THeadlessDriver::Press(int vk, int shift) {
  Sys_HeadlessSetKey(vk, true);
  Send(SysEventType::KeyDown, vk, shift);
  if (const int ch = CharOfKey(vk, shift)) Send(SysEventType::Char, 0, 0, ch);
}

void THeadlessDriver::Release(int vk, int shift) {
  Sys_HeadlessSetKey(vk, false);
  Send(SysEventType::KeyUp, vk, shift);
}

void THeadlessDriver::Key(int vk, int shift) {
  Press(vk, shift);
  Frame();
  Release(vk, shift);
}

void THeadlessDriver::Type(std::string_view text) {
  for (const char c : text) {
    const int vk = VkOfChar(c);
    if (vk) Sys_HeadlessSetKey(vk, true);
    Send(SysEventType::KeyDown, vk, 0);
    Send(SysEventType::Char, 0, 0, static_cast<unsigned char>(c));
    Frame();
    if (vk) Sys_HeadlessSetKey(vk, false);
    Send(SysEventType::KeyUp, vk, 0);
  }
}

void THeadlessDriver::MouseMove(int x, int y) { Send(SysEventType::MouseMove, 0, 0, 0, x, y); }

void THeadlessDriver::Click() { Send(SysEventType::MouseClick, 0, 0, 0, Shell.MouseX, Shell.MouseY); }

void THeadlessDriver::DoubleClick() {
  Click();
  Send(SysEventType::MouseDoubleClick, 0, 0, 0, Shell.MouseX, Shell.MouseY);
}
