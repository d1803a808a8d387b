// The message loop: window events go to the form's handlers between frames, and a frame runs
// whenever the timer says one is due.
#include "app/app.h"

void App_DispatchWindowEvent(const SysEvent& ev) {
  TMForm& form = *MForm;
  switch (ev.Type) {
    case SysEventType::CloseRequest: {
      bool canClose = true;
      form.FormCloseQuery(canClose);
      if (canClose) form.FormClose();
      break;
    }
    case SysEventType::KeyDown: {
      int key = ev.Key;
      form.FormKeyDown(key, ev.Shift);
      break;
    }
    case SysEventType::KeyUp: {
      int key = ev.Key;
      form.FormKeyUp(key, ev.Shift);
      break;
    }
    case SysEventType::Char: {
      char ch = static_cast<char>(ev.Char);
      form.FormKeyPress(ch);
      break;
    }
    case SysEventType::MouseMove:
      form.MouseMoved(ev.Shift, ev.X, ev.Y);
      break;
    case SysEventType::MouseClick:
    case SysEventType::MouseDoubleClick:
      form.MouseClicked();
      break;
    case SysEventType::Activated:
      Sys_ClearKeyTaps();  // the keyboard device listens only while the game is active
      form.MDXTimer.Activate(Sys_Milliseconds());
      break;
    case SysEventType::Deactivated:
      form.MDXTimer.Deactivate();
      break;
    case SysEventType::Minimized:
      form.WindowMinimized();
      break;
    case SysEventType::Restored:
      Sys_ClearKeyTaps();
      form.WindowRestored();
      break;
    case SysEventType::Quit:
      form.SaveAllAndExit();
      break;
    case SysEventType::PadDisconnected:
      PadDisconnected();
      break;
    case SysEventType::PadConnected:
    case SysEventType::PadButtonDown:  // A reaches here as Enter (App_DispatchEvent); the rest by the poll
    case SysEventType::None:
      break;
  }
}

bool App_RunOnce() {
  SysEvent ev;
  if (Sys_QuitRequested() && !MForm->Terminated) App_DispatchEvent(SysEvent{SysEventType::Quit});
  while (!MForm->Terminated && Sys_PollEvent(ev)) App_DispatchEvent(ev);
  if (MForm->Terminated) return false;
  int lagCount = 0;
  if (MForm->MDXTimer.Idle(Sys_Milliseconds(), lagCount)) {
    MForm->RunFrame(lagCount);
  } else if (!MForm->MDXTimer.Hooked()) {
    // No frames while the game is in the background: sleep until something happens.
    Sys_WaitEvent(50);
  }
  return !MForm->Terminated;
}
