// The SDL backend: a real window presenting the 16-bit surface through a streaming texture,
// the keyboard and mouse, the real clock and the desktop's URL handler.
#include <SDL.h>
#include <SDL_image.h>

#include <bit>
#include <cstdio>
#include <string>

#include "platform/sys_local.h"

namespace {

constexpr int kFallbackRefresh = 60;
// How long the message box sleeps between looks at the quit signals when no event comes.
constexpr int kMessageBoxPollMs = 100;

// SDL key code to Windows virtual-key code; 0 for keys the game never sees.
int VirtualKeyOf(SDL_Keycode k) {
  if (k >= SDLK_a && k <= SDLK_z) return 'A' + (k - SDLK_a);
  if (k >= SDLK_0 && k <= SDLK_9) return '0' + (k - SDLK_0);
  if (k >= SDLK_F1 && k <= SDLK_F12) return VK_F1 + (k - SDLK_F1);
  switch (k) {
    case SDLK_BACKSPACE: return VK_BACK;
    case SDLK_TAB: return VK_TAB;
    case SDLK_RETURN: case SDLK_KP_ENTER: return VK_RETURN;
    case SDLK_LSHIFT: case SDLK_RSHIFT: return VK_SHIFT;
    case SDLK_LCTRL: case SDLK_RCTRL: return VK_CONTROL;
    case SDLK_LALT: case SDLK_RALT: return VK_MENU;
    case SDLK_PAUSE: return VK_PAUSE;
    case SDLK_ESCAPE: return VK_ESCAPE;
    case SDLK_SPACE: return VK_SPACE;
    case SDLK_LEFT: return VK_LEFT;
    case SDLK_UP: return VK_UP;
    case SDLK_RIGHT: return VK_RIGHT;
    case SDLK_DOWN: return VK_DOWN;
    default: return 0;
  }
}

int ShiftStateOf(Uint16 mod) {
  int s = 0;
  if (mod & KMOD_SHIFT) s |= ssShift;
  if (mod & KMOD_ALT) s |= ssAlt;
  if (mod & KMOD_CTRL) s |= ssCtrl;
  return s;
}

// Characters that arrive with the key itself on Windows rather than as typed text.
int ControlCharOf(SDL_Keycode k) {
  switch (k) {
    case SDLK_RETURN: case SDLK_KP_ENTER: return 13;
    case SDLK_BACKSPACE: return 8;
    case SDLK_ESCAPE: return 27;
    default: return 0;
  }
}

// The video drivers of the desktop sessions the environment names, in SDL's order of preference.
std::string DesktopVideoDrivers() {
  std::string drivers;
  const auto set = [](const char* name) {
    const char* value = SDL_getenv(name);
    return value != nullptr && *value != '\0';
  };
  if (set("DISPLAY")) drivers = "x11";
  if (set("WAYLAND_DISPLAY")) drivers += drivers.empty() ? "wayland" : ",wayland";
  return drivers;
}

class SdlBackend final : public SysBackendImpl {
public:
  explicit SdlBackend(const SysConfig& config) : choice_(config.Renderer), frameStats_(config.FrameStats) {
    // SIGINT and SIGTERM are the game's own (Sys_CatchQuitSignals); the close button asks first.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
    const char* const requested = SDL_getenv("SDL_VIDEODRIVER");
    if (requested != nullptr && *requested != '\0') {
      StartRendererProbe();
      if (SDL_Init(SDL_INIT_VIDEO | SDL_INIT_TIMER | SDL_INIT_EVENTS) != 0)
        throw EGameError(std::string("cannot start the display (SDL_VIDEODRIVER=") + requested + "): " + SDL_GetError());
    } else {
      // Only the desktop sessions the environment names: a game nobody can see must not run, as
      // it would on SDL's fall-back drivers without a screen.
      const std::string sessions = DesktopVideoDrivers();
      if (sessions.empty()) throw EGameError(NoDisplayMessage);
      StartRendererProbe();
      SDL_SetHint(SDL_HINT_VIDEODRIVER, sessions.c_str());
      if (SDL_Init(SDL_INIT_VIDEO | SDL_INIT_TIMER | SDL_INIT_EVENTS) != 0)
        throw EGameError(std::string(NoDisplayMessage) + " (" + SDL_GetError() + ")");
    }
    if (SDL_strcmp(SDL_GetCurrentVideoDriver(), "x11") == 0) Sys_WatchX11Connection();
    SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "linear");
    SDL_SetHint(SDL_HINT_MOUSE_FOCUS_CLICKTHROUGH, "1");
    SDL_StartTextInput();
  }
  ~SdlBackend() override {
    if (frameStats_) ReportFrameStats();
    CloseDisplay();
    SDL_Quit();
  }

  // Before SDL starts, so that the child begins with a clean slate.
  void StartRendererProbe() {
    if (choice_ == TRendererChoice::Auto) probe_.Start();
  }

  bool PollEvent(SysEvent& ev) override {
    if (!pending_.empty()) {
      ev = pending_.front();
      pending_.erase(pending_.begin());
      return true;
    }
    SDL_Event e;
    while (SDL_PollEvent(&e)) {
      if (Translate(e)) return PollEvent(ev);
    }
    return false;
  }

  void WaitEvent(int timeoutMs) override {
    SDL_Event e;
    if (SDL_WaitEventTimeout(&e, timeoutMs)) Translate(e);
  }

  bool KeyHeld(int vk) const override {
    const Uint8* keys = SDL_GetKeyboardState(nullptr);
    const SDL_Scancode sc = ScancodeOf(vk);
    return sc != SDL_SCANCODE_UNKNOWN && keys[sc];
  }

  uint32_t Milliseconds() const override { return SDL_GetTicks(); }

  int RefreshRate() const override {
    SDL_DisplayMode mode{};
    const int display = window_ ? SDL_GetWindowDisplayIndex(window_) : 0;
    if (SDL_GetCurrentDisplayMode(display < 0 ? 0 : display, &mode) != 0) return 0;
    return mode.refresh_rate;
  }

  void OpenDisplay(bool fullScreen) override {
    const bool created = window_ == nullptr;
    if (created) CreateWindow();
    changes_.Invalidate();  // the next frame is presented whatever it shows
    // Re-initialising in the same mode (after a restore from the taskbar) leaves the window where
    // the player put it.
    if (!created && fullScreen == fullScreen_) {
      SDL_ShowWindow(window_);
      nextDeadline_ = 0;
      return;
    }
    fullScreen_ = fullScreen;
    if (fullScreen) {
      SDL_SetWindowFullscreen(window_, SDL_WINDOW_FULLSCREEN_DESKTOP);
    } else {
      SDL_SetWindowFullscreen(window_, 0);
      SDL_SetWindowBordered(window_, SDL_TRUE);
      SDL_SetWindowSize(window_, 800, 600);
      if (hasPlacement_) SDL_SetWindowPosition(window_, placementX_, placementY_);
      else SDL_SetWindowPosition(window_, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED);
      hasPlacement_ = false;
    }
    SDL_ShowWindow(window_);
    nextDeadline_ = 0;
  }

  void CloseDisplay() override {
    if (texture_) SDL_DestroyTexture(texture_);
    if (renderer_) SDL_DestroyRenderer(renderer_);
    if (window_) SDL_DestroyWindow(window_);
    texture_ = nullptr;
    renderer_ = nullptr;
    window_ = nullptr;
  }

  bool DisplayOpen() const override { return window_ != nullptr; }

  // A frame equal to the last one presented is not presented again: the window still shows it.
  // Events that may have spoilt the window's picture (expose, resize, restore, focus, a change of
  // display mode or of the graphics device) mark the whole frame as changed.
  void Present(const TDirectDrawSurface& surface) override {
    ++frames_;
    if (!renderer_) return;
    const TFrameChanges::Rows rows = changes_.Update(surface);
    if (!rows.Empty()) {
      UploadRows(surface, rows);
      ShowTexture();
    }
    PaceFrame();
  }

  void SetCursorVisible(bool visible) override { SDL_ShowCursor(visible ? SDL_ENABLE : SDL_DISABLE); }

  bool OpenURL(const std::string& address) override { return SDL_OpenURL(address.c_str()) == 0; }

  void Minimize() override {
    if (window_) SDL_MinimizeWindow(window_);
  }

  void StorePlacement() override {
    if (!window_ || (SDL_GetWindowFlags(window_) & SDL_WINDOW_FULLSCREEN_DESKTOP)) return;
    SDL_GetWindowPosition(window_, &placementX_, &placementY_);
    hasPlacement_ = true;
  }

  void RestorePlacement() override {
    if (!window_ || !hasPlacement_) return;
    SDL_SetWindowPosition(window_, placementX_, placementY_);
    hasPlacement_ = false;
  }

  // The game's own box in the game window (opened for it when the game has none yet), waiting in
  // a loop that also ends on a quit signal and on the end of the session (which is passed on to
  // the game as a Quit event); a lost display ends the program from within it as anywhere else.
  void ShowErrorBox(const std::string& message) override {
    if (SDL_WasInit(SDL_INIT_VIDEO) == 0 || !OnAScreen()) return;
    const bool boxWindow = window_ == nullptr;
    try {
      if (boxWindow) OpenDisplay(false);
    } catch (const EGameError&) {
      return;  // no window to show it in: standard error has it
    }
    TDirectDrawSurface picture(TDXDraw::SurfaceWidth, TDXDraw::SurfaceHeight);
    TCanvas canvas;
    const TMessageBoxLayout box = LayoutMessageBox(message, canvas);
    DrawMessageBox(picture, box, canvas);
    const int cursor = SDL_ShowCursor(SDL_QUERY);
    SDL_ShowCursor(SDL_ENABLE);
    changes_.Invalidate();
    bool answered = false;
    while (!answered && !Sys_QuitRequested()) {
      if (const TFrameChanges::Rows rows = changes_.Update(picture); !rows.Empty()) {
        UploadRows(picture, rows);
        ShowTexture();
      }
      SDL_Event e;
      if (SDL_WaitEventTimeout(&e, kMessageBoxPollMs)) answered = AnswersMessageBox(e, box.Button);
    }
    SDL_ShowCursor(cursor);
    if (boxWindow) CloseDisplay();
    changes_.Invalidate();
    nextDeadline_ = 0;
  }

  // Kept for the window, which gets it before it shows.
  void SetWindowIcon(const std::string& pngPath) override {
    iconPath_ = pngPath;
    if (window_) ApplyIcon();
  }

private:
  // A missing or damaged icon leaves the window without one, said in one line naming the file.
  void ApplyIcon() {
    std::vector<uint8_t> bytes;
    try {
      bytes = ReadWholeFile(iconPath_);
    } catch (const std::exception& e) {
      std::fprintf(stderr, "zubokranz: %s; the window has no icon\n", e.what());
      return;
    }
    SDL_Surface* const icon = IMG_Load_RW(SDL_RWFromConstMem(bytes.data(), static_cast<int>(bytes.size())), 1);
    if (icon == nullptr) {
      std::fprintf(stderr, "zubokranz: %s: not a readable PNG picture (%s); the window has no icon\n", iconPath_.c_str(),
                   IMG_GetError());
      return;
    }
    SDL_SetWindowIcon(window_, icon);
    SDL_FreeSurface(icon);
  }

  void CreateWindow() {
    window_ = SDL_CreateWindow("Zubo Kranz", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, 800, 600,
                               SDL_WINDOW_HIDDEN);
    if (!window_) throw EGameError(std::string("cannot open the game window: ") + SDL_GetError());
    if (!iconPath_.empty()) ApplyIcon();
    if (UseGpu()) renderer_ = SDL_CreateRenderer(window_, -1, SDL_RENDERER_ACCELERATED | SDL_RENDERER_PRESENTVSYNC);
    if (!renderer_) {
      // Draw into the window's own memory: without this SDL would show the software renderer's
      // picture through OpenGL again.
      SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
      renderer_ = SDL_CreateRenderer(window_, -1, SDL_RENDERER_SOFTWARE);
    }
    if (!renderer_) throw EGameError(std::string("cannot draw into the game window: ") + SDL_GetError());
    // Letterboxes the 800x600 picture in full screen and maps mouse positions back to it.
    SDL_RenderSetLogicalSize(renderer_, 800, 600);
    CreateTexture();
  }

  void ReportFrameStats() const {
    SDL_RendererInfo info{};
    if (!renderer_ || SDL_GetRendererInfo(renderer_, &info) != 0) info.name = "none";
    std::fprintf(stderr,
                 "zubokranz: renderer %s%s%s at %d Hz; %llu frames, %llu presented, %llu slept to their deadline\n",
                 info.name, driverName_.empty() ? "" : " over ", driverName_.c_str(),
                 RefreshRate() > 0 ? RefreshRate() : kFallbackRefresh,
                 static_cast<unsigned long long>(frames_), static_cast<unsigned long long>(presented_),
                 static_cast<unsigned long long>(slept_));
  }

  bool UseGpu() {
    if (choice_ != TRendererChoice::Auto) return choice_ == TRendererChoice::Gpu;
    driverName_ = probe_.Finish();
    return !IsSoftwareRasteriser(driverName_);
  }

  // A streaming texture in a 32-bit format the renderer takes natively, so that the one
  // conversion is ours; SDL converts only where the renderer offers no such format. The window's
  // own format comes first: the software renderer then copies rows instead of converting pixels.
  void CreateTexture() {
    if (texture_) SDL_DestroyTexture(texture_);
    SDL_RendererInfo info{};
    SDL_GetRendererInfo(renderer_, &info);
    const Uint32 windowFormat = SDL_GetWindowPixelFormat(window_);
    Uint32 format = SDL_PIXELFORMAT_RGB565;
    for (Uint32 i = 0; i < info.num_texture_formats; ++i) {
      const Uint32 offered = info.texture_formats[i];
      if (!Is8BitChannels32(offered)) continue;
      if (format == SDL_PIXELFORMAT_RGB565 || offered == windowFormat) format = offered;
      if (offered == windowFormat) break;
    }
    texture_ = SDL_CreateTexture(renderer_, format, SDL_TEXTUREACCESS_STREAMING, 800, 600);
    if (!texture_) throw EGameError(std::string("cannot create the display texture: ") + SDL_GetError());
    // Every pixel we write is opaque: a plain copy, never an alpha blend.
    SDL_SetTextureBlendMode(texture_, SDL_BLENDMODE_NONE);
    textureFormat_ = format;
    if (format != SDL_PIXELFORMAT_RGB565) converter_ = TRgb565Converter(LayoutOf(format));
    changes_.Invalidate();
  }

  static bool Is8BitChannels32(Uint32 format) {
    return format == SDL_PIXELFORMAT_ARGB8888 || format == SDL_PIXELFORMAT_RGB888 ||
           format == SDL_PIXELFORMAT_ABGR8888 || format == SDL_PIXELFORMAT_BGR888 ||
           format == SDL_PIXELFORMAT_RGBA8888 || format == SDL_PIXELFORMAT_BGRA8888;
  }

  static TPixelLayout32 LayoutOf(Uint32 format) {
    int bpp = 0;
    Uint32 r = 0, g = 0, b = 0, a = 0;
    SDL_PixelFormatEnumToMasks(format, &bpp, &r, &g, &b, &a);
    TPixelLayout32 l;
    l.RShift = std::countr_zero(r);
    l.GShift = std::countr_zero(g);
    l.BShift = std::countr_zero(b);
    l.AShift = 48 - l.RShift - l.GShift - l.BShift;  // the byte the colours leave free
    return l;
  }

  void UploadRows(const TDirectDrawSurface& surface, const TFrameChanges::Rows& rows) {
    const SDL_Rect rect{0, rows.First, surface.Width(), rows.End - rows.First};
    if (textureFormat_ == SDL_PIXELFORMAT_RGB565) {
      SDL_UpdateTexture(texture_, &rect, surface.Row(rows.First), surface.Width() * 2);
      return;
    }
    void* pixels = nullptr;
    int pitch = 0;
    if (SDL_LockTexture(texture_, &rect, &pixels, &pitch) != 0) return;
    for (int y = rows.First; y < rows.End; ++y) {
      uint8_t* row = static_cast<uint8_t*>(pixels) + static_cast<size_t>(y - rows.First) * pitch;
      converter_.Convert(surface.Row(y), reinterpret_cast<uint32_t*>(row), static_cast<size_t>(surface.Width()));
    }
    SDL_UnlockTexture(texture_);
  }

  // Shows the texture's picture in the window. Where the picture does not fill the window (full
  // screen on a wider display) the borders are cleared; elsewhere the copy covers every pixel.
  void ShowTexture() {
    if (!PictureCoversWindow()) {
      SDL_SetRenderDrawColor(renderer_, 0, 0, 0, 255);
      SDL_RenderClear(renderer_);
    }
    SDL_RenderCopy(renderer_, texture_, nullptr, nullptr);
    SDL_RenderPresent(renderer_);
    ++presented_;
  }

  // The window's picture may be gone: show the last frame again at once, since no frame may come
  // while the game is in the background, and let the next frame be presented whole.
  void RepairWindowPicture() {
    changes_.Invalidate();
    if (renderer_ && presented_ > 0) ShowTexture();
  }

  // The 800x600 picture fills the window exactly when the window has its aspect ratio.
  bool PictureCoversWindow() const {
    int w = 0, h = 0;
    if (SDL_GetRendererOutputSize(renderer_, &w, &h) != 0) return false;
    return static_cast<int64_t>(w) * 600 == static_cast<int64_t>(h) * 800;
  }

  // Never lets frames run faster than the refresh rate in use: where the present did not wait for
  // the vertical blank, sleep until the next refresh period. Deadlines accumulate, so the average
  // rate holds even when single frames are late.
  void PaceFrame() {
    const int hz = RefreshRate() > 0 ? RefreshRate() : kFallbackRefresh;
    const Uint64 freq = SDL_GetPerformanceFrequency();
    const Uint64 period = freq / static_cast<Uint64>(hz);
    const Uint64 now = SDL_GetPerformanceCounter();
    if (nextDeadline_ == 0 || now > nextDeadline_ + period) {
      nextDeadline_ = now + period;
      return;
    }
    if (now + freq / 1000 < nextDeadline_) {
      SDL_Delay(static_cast<Uint32>((nextDeadline_ - now) * 1000 / freq));
      ++slept_;
    }
    nextDeadline_ += period;
  }

  static SDL_Scancode ScancodeOf(int vk) {
    if (vk >= 'A' && vk <= 'Z') return static_cast<SDL_Scancode>(SDL_SCANCODE_A + (vk - 'A'));
    if (vk >= '1' && vk <= '9') return static_cast<SDL_Scancode>(SDL_SCANCODE_1 + (vk - '1'));
    if (vk == '0') return SDL_SCANCODE_0;
    if (vk >= VK_F1 && vk <= VK_F12) return static_cast<SDL_Scancode>(SDL_SCANCODE_F1 + (vk - VK_F1));
    switch (vk) {
      case VK_UP: return SDL_SCANCODE_UP;
      case VK_DOWN: return SDL_SCANCODE_DOWN;
      case VK_LEFT: return SDL_SCANCODE_LEFT;
      case VK_RIGHT: return SDL_SCANCODE_RIGHT;
      case VK_ESCAPE: return SDL_SCANCODE_ESCAPE;
      case VK_SPACE: return SDL_SCANCODE_SPACE;
      case VK_RETURN: return SDL_SCANCODE_RETURN;
      default: return SDL_SCANCODE_UNKNOWN;
    }
  }

  // Queues the game events for one SDL event; returns true when something was queued.
  bool Translate(const SDL_Event& e) {
    const size_t before = pending_.size();
    switch (e.type) {
      case SDL_QUIT:  // the session ends the program (the close button comes as a window event)
        pending_.push_back({SysEventType::Quit});
        break;
      case SDL_WINDOWEVENT:
        switch (e.window.event) {
          case SDL_WINDOWEVENT_CLOSE: pending_.push_back({SysEventType::CloseRequest}); break;
          case SDL_WINDOWEVENT_FOCUS_GAINED: pending_.push_back({SysEventType::Activated}); break;
          case SDL_WINDOWEVENT_FOCUS_LOST: pending_.push_back({SysEventType::Deactivated}); break;
          case SDL_WINDOWEVENT_MINIMIZED: pending_.push_back({SysEventType::Minimized}); break;
          case SDL_WINDOWEVENT_RESTORED: pending_.push_back({SysEventType::Restored}); break;
          default: break;
        }
        if (SpoilsWindowPicture(e.window.event)) RepairWindowPicture();
        break;
      case SDL_RENDER_TARGETS_RESET:
        RepairWindowPicture();
        break;
      case SDL_RENDER_DEVICE_RESET:
        if (renderer_) CreateTexture();
        break;
      case SDL_KEYDOWN:
      case SDL_KEYUP: {
        const int vk = VirtualKeyOf(e.key.keysym.sym);
        if (vk == 0) break;
        if (e.type == SDL_KEYDOWN && !e.key.repeat) Sys_NoteKeyDown(vk);
        SysEvent ev{e.type == SDL_KEYDOWN ? SysEventType::KeyDown : SysEventType::KeyUp};
        ev.Key = vk;
        ev.Shift = ShiftStateOf(e.key.keysym.mod);
        pending_.push_back(ev);
        const int ch = ControlCharOf(e.key.keysym.sym);
        if (e.type == SDL_KEYDOWN && ch != 0 && !(ev.Shift & ssAlt)) {
          SysEvent c{SysEventType::Char};
          c.Char = ch;
          pending_.push_back(c);
        }
        break;
      }
      case SDL_TEXTINPUT:
        QueueTypedText(e.text.text);
        break;
      case SDL_MOUSEMOTION: {
        SysEvent ev{SysEventType::MouseMove};
        ev.X = e.motion.x;
        ev.Y = e.motion.y;
        ev.Shift = ShiftStateOf(SDL_GetModState());
        pending_.push_back(ev);
        break;
      }
      case SDL_MOUSEBUTTONDOWN:
        // The second press of a double click is the double-click event; its release is not a click.
        if (e.button.button == SDL_BUTTON_LEFT && e.button.clicks == 2)
          pending_.push_back(MouseEvent(SysEventType::MouseDoubleClick, e.button.x, e.button.y));
        break;
      case SDL_MOUSEBUTTONUP:
        if (e.button.button == SDL_BUTTON_LEFT && e.button.clicks != 2)
          pending_.push_back(MouseEvent(SysEventType::MouseClick, e.button.x, e.button.y));
        break;
      default:
        break;
    }
    return pending_.size() != before;
  }

  // False for SDL's off-screen and dummy drivers, whose windows nobody sees (nor answers).
  static bool OnAScreen() {
    const char* const driver = SDL_GetCurrentVideoDriver();
    return driver != nullptr && SDL_strcmp(driver, "offscreen") != 0 && SDL_strcmp(driver, "dummy") != 0;
  }

  // True when the event closes the message box whose OK button is `button`.
  bool AnswersMessageBox(const SDL_Event& e, const TRect& button) {
    switch (e.type) {
      case SDL_QUIT:
        pending_.push_back({SysEventType::Quit});
        return true;
      case SDL_WINDOWEVENT:
        if (e.window.event == SDL_WINDOWEVENT_CLOSE) return true;
        if (SpoilsWindowPicture(e.window.event)) changes_.Invalidate();
        return false;
      case SDL_KEYDOWN:
        switch (e.key.keysym.sym) {
          case SDLK_RETURN: case SDLK_KP_ENTER: case SDLK_SPACE: case SDLK_ESCAPE: return true;
          default: return false;
        }
      case SDL_MOUSEBUTTONUP:
        return e.button.button == SDL_BUTTON_LEFT && e.button.x >= button.Left && e.button.x < button.Right &&
               e.button.y >= button.Top && e.button.y < button.Bottom;
      default:
        return false;
    }
  }

  static bool SpoilsWindowPicture(Uint8 windowEvent) {
    switch (windowEvent) {
      case SDL_WINDOWEVENT_SHOWN: case SDL_WINDOWEVENT_EXPOSED: case SDL_WINDOWEVENT_RESIZED:
      case SDL_WINDOWEVENT_SIZE_CHANGED: case SDL_WINDOWEVENT_MAXIMIZED: case SDL_WINDOWEVENT_RESTORED:
      case SDL_WINDOWEVENT_FOCUS_GAINED: case SDL_WINDOWEVENT_DISPLAY_CHANGED:
        return true;
      default:
        return false;
    }
  }

  static SysEvent MouseEvent(SysEventType type, int x, int y) {
    SysEvent ev{type};
    ev.X = x;
    ev.Y = y;
    return ev;
  }

  // UTF-8 text to single-byte characters; characters beyond Latin-1 are dropped.
  void QueueTypedText(const char* utf8) {
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(utf8); *p;) {
      unsigned code = *p;
      int extra = code >= 0xF0 ? 3 : code >= 0xE0 ? 2 : code >= 0xC0 ? 1 : 0;
      if (extra) code &= 0x3F >> extra;
      ++p;
      for (; extra > 0 && (*p & 0xC0) == 0x80; --extra, ++p) code = (code << 6) | (*p & 0x3F);
      if (extra == 0 && code >= 32 && code <= 255 && code != 127) {
        SysEvent c{SysEventType::Char};
        c.Char = static_cast<int>(code);
        pending_.push_back(c);
      }
    }
  }

  SDL_Window* window_ = nullptr;
  SDL_Renderer* renderer_ = nullptr;
  SDL_Texture* texture_ = nullptr;
  Uint32 textureFormat_ = SDL_PIXELFORMAT_RGB565;
  TRgb565Converter converter_;
  TFrameChanges changes_;
  TRendererChoice choice_;
  TRendererProbe probe_;
  std::string driverName_;  // the OpenGL driver's name, when it was asked
  bool frameStats_;
  uint64_t frames_ = 0, presented_ = 0, slept_ = 0;
  std::vector<SysEvent> pending_;
  std::string iconPath_;
  bool fullScreen_ = false;
  bool hasPlacement_ = false;
  int placementX_ = 0, placementY_ = 0;
  Uint64 nextDeadline_ = 0;
};

}  // namespace

SysBackendImpl* Sys_CreateSdlBackend(const SysConfig& config) { return new SdlBackend(config); }
