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

SysBackendImpl* Sys_CreateSdlBackend(const SysConfig& config);

// Asks, in a child process, for the name of the OpenGL driver: Start() at once, Finish() when the
// answer is needed (it waits a few seconds at most; empty when there is no GPU device, no OpenGL
// or no answer).
class TRendererProbe {
public:
  TRendererProbe() = default;
  TRendererProbe(const TRendererProbe&) = delete;
  TRendererProbe& operator=(const TRendererProbe&) = delete;
  ~TRendererProbe();
  void Start();
  std::string Finish();
  void Stop();  // ends the child without waiting for its answer

private:
  int pid_ = -1;
  int fd_ = -1;
};
// True for Mesa's software rasterisers and for no driver at all (an empty name).
bool IsSoftwareRasteriser(std::string_view rendererName);
SysBackendImpl* Sys_CreateHeadlessBackend(int refreshRate);

// The game's own message box: the message in lines that fit its panel, an OK button below, all
// in surface pixels.
struct TMessageBoxLayout {
  std::vector<std::string> Lines;
  int LineHeight = 0;
  TRect Panel, Button;
};
TMessageBoxLayout LayoutMessageBox(std::string_view message, TCanvas& canvas);
// Draws the box in the middle of an otherwise black surface.
void DrawMessageBox(TDirectDrawSurface& surface, const TMessageBoxLayout& box, TCanvas& canvas);

// Makes a broken connection to the X server (the server ended or the link dropped) end the
// program through Sys_EndForLostDisplay, wherever Xlib notices it.
void Sys_WatchX11Connection();
// The end for a lost display: the handler given to Sys_SetDisplayLostHandler (the game's saves),
// one line on standard error naming `display`, status 1. Touches no display, never returns.
[[noreturn]] void Sys_EndForLostDisplay(const char* display);
