// Internal to the platform layer: what a backend provides.
#pragma once

#include "platform/platform.h"

class SysBackendImpl {
public:
  virtual ~SysBackendImpl() = default;
  virtual bool PollEvent(SysEvent& ev) = 0;
  virtual void WaitEvent(int timeoutMs) = 0;
  virtual bool KeyHeld(int vk) const = 0;
  virtual uint32_t Milliseconds() const = 0;
  virtual int RefreshRate() const = 0;
  // Opens the window (or switches it to the requested mode). Throws EGameError on failure.
  virtual void OpenDisplay(bool fullScreen) = 0;
  virtual void CloseDisplay() = 0;
  virtual bool DisplayOpen() const = 0;
  // Shows the surface and waits for the next refresh period when frames would run too fast.
  virtual void Present(const TDirectDrawSurface& surface) = 0;
  virtual void SetCursorVisible(bool visible) = 0;
  virtual bool OpenURL(const std::string& address) = 0;
  virtual void Minimize() = 0;
  virtual void StorePlacement() = 0;
  virtual void RestorePlacement() = 0;
  virtual void ShowErrorBox(const std::string& message) = 0;
  virtual void SetWindowIcon(const std::string& pngPath) = 0;
};

// The active backend; a headless one when Sys_Init has not run.
SysBackendImpl& Sys_Impl();

// Backends report every key-down that is not a key repeat (see Sys_TakeKeyTap).
void Sys_NoteKeyDown(int vk);

SysBackendImpl* Sys_CreateSdlBackend();
SysBackendImpl* Sys_CreateHeadlessBackend(int refreshRate);
