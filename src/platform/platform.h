// The platform layer: everything the game needs of the operating system, the display, the keyboard,
// the sound device, the network and the resource files. This is the only public header of
// src/platform, and src/platform is the only place that includes SDL, SDL_ttf, SDL_mixer, libxmp,
// fontconfig or curl.
//
// Two backends sit behind one interface: the SDL backend (a real window, real clock, real audio)
// and the headless backend (no window, no sound device, a simulated clock and scripted input),
// used by the tests and by zkplay. The game code above runs the same path on both.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// ---------------------------------------------------------------------------------------------
// Errors
// ---------------------------------------------------------------------------------------------

// The game's error type. Messages name the file (or peer) and the problem, e.g.
// "Data/Res/Res1.dxg: Invalid stream format".
class EGameError : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

// ---------------------------------------------------------------------------------------------
// Geometry and colour
// ---------------------------------------------------------------------------------------------

struct TRect {
  int Left = 0, Top = 0, Right = 0, Bottom = 0;
  constexpr int Width() const { return Right - Left; }
  constexpr int Height() const { return Bottom - Top; }
};
constexpr TRect Bounds(int left, int top, int width, int height) {
  return TRect{left, top, left + width, top + height};
}

constexpr uint16_t RGB565(uint8_t r, uint8_t g, uint8_t b) {
  return static_cast<uint16_t>(((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3));
}
// 0x00RRGGBB (how decoded pictures are kept) to the surface format.
constexpr uint16_t RGB888To565(uint32_t rgb) {
  return RGB565(static_cast<uint8_t>(rgb >> 16), static_cast<uint8_t>(rgb >> 8), static_cast<uint8_t>(rgb));
}
// A Windows colour value 0x00BBGGRR (as stored in "TransparentColor") to 0x00RRGGBB.
constexpr uint32_t ColorRefToRGB888(uint32_t colorref) {
  return ((colorref & 0xFF) << 16) | (colorref & 0xFF00) | ((colorref >> 16) & 0xFF);
}

// ---------------------------------------------------------------------------------------------
// Drawing surface: 16-bit RGB565 pixels in memory, row-major, pitch == Width.
// ---------------------------------------------------------------------------------------------

class TDirectDrawSurface {
public:
  TDirectDrawSurface() = default;
  TDirectDrawSurface(int width, int height) { SetSize(width, height); }
  void SetSize(int width, int height);
  int Width() const { return width_; }
  int Height() const { return height_; }
  uint16_t* Pixels() { return pixels_.data(); }
  const uint16_t* Pixels() const { return pixels_.data(); }
  uint16_t* Row(int y) { return pixels_.data() + static_cast<size_t>(y) * width_; }
  const uint16_t* Row(int y) const { return pixels_.data() + static_cast<size_t>(y) * width_; }
  TRect ClientRect() const { return TRect{0, 0, width_, height_}; }
  void Fill(uint16_t color);

private:
  int width_ = 0, height_ = 0;
  std::vector<uint16_t> pixels_;
};

// ---------------------------------------------------------------------------------------------
// Pictures and image lists (the ".dxg" files)
// ---------------------------------------------------------------------------------------------

// An allocator whose elements are left uninitialised where a container would zero them: for
// pixel buffers that are written whole at once.
template <typename T>
struct TUninitialisedAllocator : std::allocator<T> {
  template <typename U>
  struct rebind {
    using other = TUninitialisedAllocator<U>;
  };
  using std::allocator<T>::allocator;
  template <typename U>
  void construct(U* p) noexcept {
    ::new (static_cast<void*>(p)) U;
  }
  template <typename U, typename... Args>
  void construct(U* p, Args&&... args) {
    ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
  }
};
// A picture in the surface format, row by row, with one spare pixel after the last (the 32-bit
// gathers of rotations may read past it).
using TPixels565 = std::vector<uint16_t, TUninitialisedAllocator<uint16_t>>;

// A decoded picture, kept losslessly: one 0x00RRGGBB value per pixel, top row first.
struct TPicture {
  int Width = 0, Height = 0;
  int BitsPerPixel = 0;              // of the stored bitmap (1, 4, 8, 16, 24 or 32)
  std::vector<uint32_t> Pixels;      // Width * Height values; empty = no picture
  bool Empty() const { return Pixels.empty(); }
};

class TTurnedPattern;

// One item of an image list. Fields named as they are stored in the file.
class TPictureCollectionItem {
public:
  std::string Name;
  int32_t PatternWidth = 0;   // 0 = the whole picture's width
  int32_t PatternHeight = 0;  // 0 = the whole picture's height
  int32_t SkipWidth = 0;
  int32_t SkipHeight = 0;
  bool SystemMemory = false;
  bool Transparent = true;
  uint32_t TransparentColor = 0;  // 0x00BBGGRR
  TPicture Picture;

  // Effective pattern size (the picture's size where the stored value is 0).
  int Width() const;
  int Height() const;
  int PatternCount() const;
  // Source rectangle of pattern n within the picture; empty when n is out of range.
  TRect PatternRect(int n) const;

  // Converts the picture to the surface format and lays out the patterns. Drawing does nothing
  // until this has run. Safe to call again (after a display re-initialisation).
  void Prepare();
  // Prepares from the picture already in the surface format (Picture holds only its size): as
  // Prepare() then ReleaseSource() without the decoded source. `pixels` has one pixel more than
  // the picture.
  void PrepareFrom565(TPixels565 pixels);
  void Unprepare();
  bool Prepared() const { return prepared_; }
  // Whether Draw of pattern `index` covers its whole rectangle (prepared, in range, and no pixel
  // left out by the colour key).
  bool PatternOpaque(int index) const;
  // Frees the decoded picture (keeping its size) once the item is prepared. Drawing goes on;
  // Prepare() then keeps what it has, and writing the item to a file is refused.
  void ReleaseSource();
  bool SourceReleased() const { return sourceReleased_; }

  // The three pattern operations. All do nothing when the item is not prepared, the surface is
  // null, or index is negative or not below PatternCount(). All clip to the surface.
  // Copies pattern `index` with its top-left at (x, y); the colour key applies when Transparent.
  void Draw(TDirectDrawSurface* dest, int x, int y, int index) const;
  // The same, drawing only inside `area` (a rectangle of the surface).
  void Draw(TDirectDrawSurface* dest, int x, int y, int index, const TRect& area) const;
  // Stretches the pattern into destRect, blending with opacity alpha (0 draws nothing, 255 is an
  // opaque copy); the colour key applies when Transparent.
  void DrawBlended(TDirectDrawSurface* dest, const TRect& destRect, int index, int alpha) const;
  // Draws the pattern scaled to w x h and turned clockwise by angle (1/256 turns, taken modulo
  // 256), so that the point at fractions (pivotX, pivotY) of it lands on (x, y).
  void DrawRotated(TDirectDrawSurface* dest, int x, int y, int w, int h, int index, double pivotX,
                   double pivotY, int angle) const;
  // DrawRotated of pattern `index` at this size and pivot for every angle, worked out now.
  TTurnedPattern Turned(int index, int w, int h, double pivotX, double pivotY) const;

  // Drawing internals, filled by Prepare().
  struct Span { uint16_t Skip, Count; };           // opaque run after `Skip` keyed pixels
  struct PreparedPattern {
    TRect Src;                                     // within the picture
    uint32_t FirstPixel = 0;                       // in pixels565_, which holds each pattern's rows together
    uint32_t FirstRow = 0;                         // its first row's entry in rowSpanStart_
    bool Opaque = false;                           // no pixel of it is keyed (or the item is not Transparent)
  };

private:
  bool prepared_ = false;
  bool sourceReleased_ = false;
  uint16_t colorKey565_ = 0;
  void LayOutPatterns();
  TPixels565 pixels565_;
  std::vector<PreparedPattern> patterns_;
  std::vector<uint32_t> rowSpanStart_;             // per pattern row: first index into spans_; one end entry
  std::vector<Span> spans_;                        // colour-key runs, pattern by pattern, row by row
  friend struct PictureDrawAccess;
};

// Pattern `index` of an item scaled to w x h and turned by each of the 256 angles, worked out once
// for a picture drawn turned many times a frame: Draw(dest, x, y, angle) paints exactly what
// item.DrawRotated(dest, x, y, w, h, index, pivotX, pivotY, angle) paints. Made by
// TPictureCollectionItem::Turned; empty (drawing nothing) when the item cannot draw the pattern,
// w or h is not in 1..MaxSize, or a pivot fraction is not finite or lies beyond +-MaxSize.
class TTurnedPattern {
public:
  static constexpr int MaxSize = 256;
  bool Empty() const { return rows_.empty(); }
  void Draw(TDirectDrawSurface* dest, int x, int y, int angle) const;

private:
  struct Row {
    int32_t X, Y, Count;  // X and Y from the anchor
    uint32_t First;       // its first pixel in pixels_
  };
  std::array<uint32_t, 257> firstRow_{};  // per angle its first entry in rows_; one end entry
  std::vector<Row> rows_;
  std::vector<uint16_t> pixels_;
  uint16_t key_ = 0;
  bool keyed_ = false;
  friend class TPictureCollectionItem;
};

struct TPictureCollection {
  std::vector<TPictureCollectionItem> Items;
  std::array<uint8_t, 1024> ColorTable{};
  bool HasColorTable = false;
  int Count() const { return static_cast<int>(Items.size()); }
};

// An image list bound to the display: loading prepares every item when the display is ready.
class TDXImageList {
public:
  TPictureCollection Items;
  // Keep each picture's decoded source after preparation (only to write the list again); the
  // game frees them.
  bool KeepSource = false;
  // Reads the file, replacing the items. Throws EGameError naming the file on any problem,
  // including a list of fewer than `itemsNeeded` items: "<file>: the list has N items, the game
  // needs M".
  void LoadFromFile(const std::string& fileName, int itemsNeeded = 0);
  // For a list not needed at once: LoadFromFile later, on a thread of its own from the first
  // GoOnLoading (where the platform has threads), or at the latest at the first WaitLoaded. Until
  // WaitLoaded has run, Items must not be touched.
  void LoadLater(const std::string& fileName, int itemsNeeded = 0);
  // Starts the loading LoadLater set up, once; takes its items when it has ended, or throws its
  // EGameError. Never waits.
  void GoOnLoading();
  // Finishes the loading LoadLater set up (waiting for its thread, or loading now) and takes its
  // items, or throws its EGameError (once). Does nothing when no loading is set up.
  void WaitLoaded();
  void PrepareAll();
  // Item at a 0-based index (waiting for a loading still going on); throws EGameError naming the
  // file for an index outside the list.
  TPictureCollectionItem& Item(int index);

  TDXImageList();
  TDXImageList(const TDXImageList&) = delete;
  TDXImageList& operator=(const TDXImageList&) = delete;
  ~TDXImageList();

private:
  struct Loading;
  std::string fileName_;
  std::unique_ptr<Loading> loading_;
};

// ---------------------------------------------------------------------------------------------
// Sound lists (the ".dxw" files)
// ---------------------------------------------------------------------------------------------

struct TWave {
  int Channels = 0, Rate = 0, Bits = 0;
  std::vector<uint8_t> Riff;        // the complete RIFF WAVE image as stored
  std::vector<uint8_t> Samples;     // the PCM sample data (interleaved)
  int Frames() const { return (Channels > 0 && Bits > 0) ? static_cast<int>(Samples.size() / (Channels * (Bits / 8))) : 0; }
  bool Empty() const { return Riff.empty(); }
};

struct TWaveCollectionItem {
  std::string Name;
  bool Looped = false;
  int32_t MaxPlayingCount = 0;
  TWave Wave;
};

struct TWaveCollection {
  std::vector<TWaveCollectionItem> Items;
  int Count() const { return static_cast<int>(Items.size()); }
};

class TDXWaveList {
public:
  TWaveCollection Items;
  // Reads the file, replacing the items, and hands them to the sound device when it is open.
  // Throws EGameError naming the file on any problem.
  void LoadFromFile(const std::string& fileName);
};

// ---------------------------------------------------------------------------------------------
// Resource file reading and writing. Every function throws EGameError whose message starts with
// `sourceName` (the file name, or any label for memory buffers).
// ---------------------------------------------------------------------------------------------

// How an image list's pictures are read: decoded losslessly into each item's Picture (to be written
// again, or prepared later), or prepared for the surface at once without keeping their decoded
// source (as the game draws them; a 24-bit picture goes straight to the surface format).
enum class TPictureKeeping { Source, SurfaceOnly };

void ReadImageList(const uint8_t* data, size_t size, const std::string& sourceName, TPictureCollection& out,
                   TPictureKeeping keeping = TPictureKeeping::Source);
void ReadWaveList(const uint8_t* data, size_t size, const std::string& sourceName, TWaveCollection& out);
// Both read the file mapped into memory.
void ReadImageListFile(const std::string& path, TPictureCollection& out,
                       TPictureKeeping keeping = TPictureKeeping::Source);
void ReadWaveListFile(const std::string& path, TWaveCollection& out);
std::vector<uint8_t> WriteImageList(const TPictureCollection& list);
std::vector<uint8_t> WriteWaveList(const TWaveCollection& list);
void WriteFileAtomic(const std::string& path, const std::vector<uint8_t>& bytes);  // throws EGameError
std::vector<uint8_t> ReadWholeFile(const std::string& path);                      // throws EGameError
// Builds the RIFF WAVE image of 8- or 16-bit PCM samples.
std::vector<uint8_t> MakeRiffWave(int channels, int rate, int bits, const std::vector<uint8_t>& samples);
// Encodes a picture as the stored DIB (40-byte header, 24 bits per pixel, bottom-up).
std::vector<uint8_t> EncodeDib24(const TPicture& picture);

// ---------------------------------------------------------------------------------------------
// Text on the back surface (outline fonts through SDL_ttf).
// ---------------------------------------------------------------------------------------------

struct TFontStyle {
  const char* Face = "BancoDi";  // looked up by name; a similar face stands in where it is missing
  int Size = 12;                  // points at 96 dpi, as on Windows
  uint8_t R = 0, G = 0, B = 0;
  bool Bold = false;
};

class TCanvas {
public:
  void SetFont(const TFontStyle& font) { font_ = font; }
  const TFontStyle& Font() const { return font_; }
  // Draws text with its top-left corner at (x, y), transparent background, at opacity32 of 32.
  void TextOut(TDirectDrawSurface* dest, int x, int y, std::string_view text, int opacity32 = 32);
  int TextWidth(std::string_view text);
  int TextHeight(std::string_view text);

private:
  TFontStyle font_;
};

// The glyphs of a few characters in one font style, each rasterised alone once: texts made of them
// (the race HUD's changing numbers) are then drawn with no font call and no allocation. They come
// out as TextOut draws them wherever the characters' advances are whole pixels and no pair kerns,
// as with the digits of the game's faces.
class TGlyphStrip {
public:
  static constexpr int Capacity = 16;
  // Rasterises the first Capacity characters of `characters`. Without a font the strip stays empty.
  void Build(const TFontStyle& style, std::string_view characters);
  bool Built() const { return built_; }
  // The sum of the characters' advances; characters outside the strip count 0.
  int Width(std::string_view text) const;
  int Height() const { return height_; }
  // Top-left corner at (x, y); characters outside the strip are skipped.
  void Draw(TDirectDrawSurface* dest, int x, int y, std::string_view text) const;

private:
  struct TGlyph {
    char Char = 0;
    int Advance = 0;
    int RasterW = 0, RasterH = 0;
    std::vector<uint8_t> Coverage;  // 0..32 per pixel
  };
  const TGlyph* Find(char c) const;

  std::array<TGlyph, Capacity> glyphs_{};
  int count_ = 0;
  int height_ = 0;
  uint16_t color_ = 0;
  bool built_ = false;
};

// ---------------------------------------------------------------------------------------------
// Display
// ---------------------------------------------------------------------------------------------

class TDXDraw {
public:
  static constexpr int SurfaceWidth = 800, SurfaceHeight = 600;
  bool FullScreen = false;  // the "full screen" option, applied by Initialize
  int BitCount = 16;

  // Creates the window (or switches it to the mode FullScreen names) and the back surface.
  // Initialize finalizes first. Throws EGameError when no display can be had.
  void Initialize();
  void Finalize();
  bool Initialized() const { return initialized_; }
  bool CanDraw() const;
  TDirectDrawSurface* Surface() { return initialized_ ? &surface_ : nullptr; }
  TCanvas& Canvas() { return canvas_; }
  void Fill(uint16_t color) { surface_.Fill(color); }
  // Presents the back surface and paces the frames at the refresh rate in use.
  void Flip();
  // Window placement kept for the switch to full screen and back.
  void StorePlacement();
  void RestorePlacement();

private:
  bool initialized_ = false;
  TDirectDrawSurface surface_;
  TCanvas canvas_;
};

// Presenting the back surface: the pieces of the window backend that need no window, so that
// they can be tested and measured on their own.

// A 32-bit pixel layout named by where its channels sit (bit shifts); the fourth byte is set to
// 0xFF, which is opaque alpha in formats that have alpha and ignored in those that do not.
struct TPixelLayout32 {
  int RShift = 16, GShift = 8, BShift = 0, AShift = 24;
};

// RGB565 to a 32-bit layout, channels widened by repeating their top bits (5-bit 31 becomes 255,
// 6-bit 1 becomes 4), as every conversion of the back surface to the window does.
class TRgb565Converter {
public:
  explicit TRgb565Converter(const TPixelLayout32& layout = {});
  void Convert(const uint16_t* src, uint32_t* dst, size_t count) const;

private:
  int simd_;                    // 0, or the layout converted with SIMD (0xAARRGGBB, 0xAABBGGRR)
  std::vector<uint32_t> lut_;   // all 65536 pixels, for every other layout
};

// Remembers the last presented frame and tells which rows of a new frame differ from it.
class TFrameChanges {
public:
  struct Rows {
    int First = 0, End = 0;  // rows [First, End) differ; empty when First == End
    bool Empty() const { return First >= End; }
  };
  // Compares `frame` with the last one, remembers it, and returns the band of changed rows; the
  // whole frame after Invalidate() or a change of size.
  Rows Update(const TDirectDrawSurface& frame);
  void Invalidate() { valid_ = false; }

private:
  bool valid_ = false;
  int width_ = 0, height_ = 0;
  std::vector<uint16_t> last_;
};

// How frames reach the window. Software draws with SDL's own software renderer into the window's
// memory, Gpu with the graphics driver; Auto takes Gpu unless the driver is itself a software
// rasteriser (it then costs far more than Software).
enum class TRendererChoice { Auto, Gpu, Software };
// "auto", "gpu" or "software"; false for anything else.
bool ParseRendererChoice(std::string_view text, TRendererChoice& out);

// ---------------------------------------------------------------------------------------------
// Frame timer
// ---------------------------------------------------------------------------------------------

class TDXTimer {
public:
  bool Enabled = true;
  uint32_t Interval = 0;
  bool ActiveOnly = true;
  uint32_t LastTick = 0, SpanStart = 0, SpanFrames = 0;
  int FrameRate = 0;

  bool Hooked() const { return hooked_; }
  // Application activation messages.
  void Activate(uint32_t now);
  void Deactivate();
  // One idle moment at clock value `now`: returns true and sets `lagCount` when a frame is due.
  bool Idle(uint32_t now, int& lagCount);

private:
  bool hooked_ = false;
};

// ---------------------------------------------------------------------------------------------
// Keyboard device: 36 input states (0 up, 1 down, 2 left, 3 right, buttons 1..32 as 4..35).
// ---------------------------------------------------------------------------------------------

enum TDXInputState : int {
  isUp = 0, isDown = 1, isLeft = 2, isRight = 3,
  isButton1 = 4,  // button n is isButton1 + n - 1
};
constexpr int DXInputStateCount = 36;

class TDXInput {
public:
  // The keys of the original assignment (arrows, H, P, Y, N, Esc, Space, Enter, Z X C V B, the
  // digits); every other state has none.
  TDXInput();
  // Gives the state one key (0: none), in place of the key it had.
  void Assign(int state, int vk);
  int KeyOf(int state) const { return state >= 0 && state < DXInputStateCount ? keys_[state] : 0; }
  // Polls the keyboard: States become the union of the assigned keys' current state, Taps the
  // states whose keys went down since the previous Update (so a press released before this
  // poll is not lost).
  void Update();
  bool State(int s) const { return Has(states_, s); }
  bool Tapped(int s) const { return Has(taps_, s); }
  uint64_t States() const { return states_; }

private:
  static bool Has(uint64_t set, int s) { return s >= 0 && s < DXInputStateCount && (set >> s) & 1; }
  uint64_t states_ = 0;
  uint64_t taps_ = 0;
  std::array<int, DXInputStateCount> keys_{};
};

// Windows virtual-key codes the game uses.
enum : int {
  VK_BACK = 8, VK_TAB = 9, VK_RETURN = 13, VK_SHIFT = 16, VK_CONTROL = 17, VK_MENU = 18,
  VK_PAUSE = 19, VK_ESCAPE = 27, VK_SPACE = 32, VK_LEFT = 37, VK_UP = 38, VK_RIGHT = 39,
  VK_DOWN = 40, VK_F1 = 112, VK_F12 = 123,
};
// Shift state flags of key and mouse events.
enum : int { ssShift = 1, ssAlt = 2, ssCtrl = 4 };

// ---------------------------------------------------------------------------------------------
// Game controllers: every pad SDL's controller mapping database knows, plugged in and out at any
// time. The pads count as one: a button is held while it is held on any pad, an axis reads the
// value farthest from rest among them.
// ---------------------------------------------------------------------------------------------

// In SDL's controller order.
enum TPadButton : int {
  pbA, pbB, pbX, pbY, pbBack, pbGuide, pbStart, pbLeftStick, pbRightStick, pbLeftShoulder,
  pbRightShoulder, pbDpadUp, pbDpadDown, pbDpadLeft, pbDpadRight,
  PadButtonCount
};
enum TPadAxis : int { paLeftX, paLeftY, paRightX, paRightY, paTriggerLeft, paTriggerRight, PadAxisCount };

struct TPadState {
  int Connected = 0;     // pads attached now
  uint32_t Held = 0;     // bit n: button n held
  uint32_t Tapped = 0;   // bit n: button n went down since the previous Sys_TakePadState
  std::array<float, PadAxisCount> Axes{};  // sticks -1..1 (down and right positive), triggers 0..1
  bool Holds(int b) const { return b >= 0 && b < PadButtonCount && ((Held >> b) & 1); }
  bool Taps(int b) const { return b >= 0 && b < PadButtonCount && ((Tapped >> b) & 1); }
};

// The pads' state now; clears the taps.
TPadState Sys_TakePadState();
// A short rumble on every pad that can (nothing without pads).
void Sys_PadRumble(int milliseconds);
// Names as scripts and the controls file spell them ("a", "dpleft", "leftx"); -1 when unknown.
int PadButtonByName(std::string_view name);
int PadAxisByName(std::string_view name);
const char* PadButtonName(int button);  // "" for a number outside the buttons

// ---------------------------------------------------------------------------------------------
// System: backends, events, clock, OS services
// ---------------------------------------------------------------------------------------------

enum class SysBackend { Sdl, Headless };

struct SysConfig {
  SysBackend Backend = SysBackend::Sdl;
  int HeadlessRefreshRate = 60;  // what the headless display reports
  std::string DataRoot;          // folder holding Data/; empty = look it up (see Sys_DataFolders)
  TRendererChoice Renderer = TRendererChoice::Auto;
  // Reports on standard error at shutdown which renderer drew and how many frames ran, were
  // presented and slept to their deadline (for measuring, not for players).
  bool FrameStats = false;
};

// What the SDL backend says when no display can be had (no X or Wayland session, or a server
// that does not answer, followed then by SDL's reason in parentheses); off-screen and dummy video
// drivers are used only when SDL_VIDEODRIVER names them.
constexpr const char* NoDisplayMessage = "no display: set DISPLAY or run under a desktop session";

// Starts the chosen backend. Throws EGameError when SDL cannot start or no display exists.
void Sys_Init(const SysConfig& config);
void Sys_Shutdown();
SysBackend Sys_Backend();

// The folders searched for data files, in order: the configured DataRoot alone when one is set;
// otherwise the executable's folder, the installed data folder (<prefix>/share/zubokranz beside
// <prefix>/bin) and the working directory.
std::vector<std::string> Sys_DataFolders();
// The first of those folders that holds Data/ (the first folder when none does).
std::string Sys_DataRoot();
// True when the data root is the installed data folder, which is never the place for saves.
bool Sys_DataRootInstalled();
// The file in the first folder that has it, or else its place under the data root. Sys_DataPath
// ("Data/Res/Res1.dxg") joins with the platform's separator.
std::string Sys_DataPath(std::string_view relative);
// Like Sys_DataPath, but a file that no folder has throws EGameError naming every folder tried
// (and, when the configured folder is a Data folder itself, the folder above it to give instead).
std::string Sys_RequireDataFile(std::string_view relative);

// SIGINT and SIGTERM: after Sys_CatchQuitSignals they no longer end the process but make
// Sys_QuitRequested true, so that the game can end through its exit sequence.
void Sys_CatchQuitSignals();
bool Sys_QuitRequested();

// A lost display (the X server ended or the connection to it broke) ends the program from
// wherever the game is, a message box included: `handler` runs first (the game saves there; it
// must not touch the display), then one line naming the display goes to standard error and the
// program ends with status 1. Wayland reports a lost compositor as the end of the session, a Quit
// event. nullptr: nothing runs before the end. In a browser the handler also runs whenever the
// page is hidden or closed (the player may not come back), and the game goes on.
using TDisplayLostHandler = void (*)();
void Sys_SetDisplayLostHandler(TDisplayLostHandler handler);

enum class SysEventType {
  None, CloseRequest, KeyDown, KeyUp, Char, MouseMove, MouseClick, MouseDoubleClick,
  Activated, Deactivated, Minimized, Restored, Quit,
  PadConnected, PadDisconnected,  // a game controller was plugged in or pulled out
  PadButtonDown,                  // Key: the TPadButton
};
struct SysEvent {
  SysEventType Type = SysEventType::None;
  int Key = 0;     // virtual-key code (KeyDown, KeyUp)
  int Shift = 0;   // ssShift | ssAlt | ssCtrl
  int Char = 0;    // character code (Char): Enter 13, Backspace 8, Esc 27 arrive as characters too
  int X = 0, Y = 0;  // surface pixels (mouse events)
};
// Returns false when no event is waiting.
bool Sys_PollEvent(SysEvent& ev);
// Blocks until an event arrives or timeoutMs passes (used while no frame runs).
void Sys_WaitEvent(int timeoutMs);

// Is the key with this virtual-key code held now?
bool Sys_KeyHeld(int vk);
// Did the key go down since the previous call for it (key repeats aside), even when it has been
// released again since? Clears the key's tap. Sys_ClearKeyTaps forgets every tap.
bool Sys_TakeKeyTap(int vk);
void Sys_ClearKeyTaps();

// Milliseconds since start (the simulated clock under the headless backend).
uint32_t Sys_Milliseconds();
// Vertical refresh rate of the display in Hz, 0 when unknown.
int Sys_RefreshRate();

// Windows-like ShowCursor: returns the new display count; the cursor shows while it is >= 0.
int Sys_ShowCursor(bool show);
bool Sys_CursorVisible();
// Opens an address or a file with the desktop's handler. Returns false on failure.
bool Sys_OpenURL(const std::string& address);
void Sys_RaisePriority();
void Sys_MinimizeWindow();
// Shows an error to the player: a message box when a display exists, always on standard error.
// The box is the game's own, in the game window: it waits for OK, but a quit signal closes it at
// once (Sys_QuitRequested stays true for the caller) and a lost display ends the program as
// anywhere else.
void Sys_ShowError(const std::string& message);
// Sets the window's icon from a PNG file (before or after the window opens); a missing or
// unreadable file leaves the window without.
void Sys_SetWindowIcon(const std::string& pngPath);
// Only the message box (for what has already gone to standard error).
void Sys_ShowMessageBox(const std::string& message);

// Runs `step` once per frame until it returns false. On the desktop a plain loop; in a browser
// the page's own loop runs it once per animation frame, and this call never returns (nothing of
// the caller's stack frame may be used by `step`).
void Sys_RunFrameLoop(bool (*step)());

// The game's save files were written: in a browser they are copied to the page's lasting storage
// (IndexedDB), in the background. Nothing on the desktop.
void Sys_FilesSaved();

// Headless backend only: scripted input and the simulated clock.
void Sys_HeadlessPushEvent(const SysEvent& ev);
void Sys_HeadlessSetKey(int vk, bool held);
void Sys_HeadlessAdvanceClock(double ms);
// A virtual pad attached through SDL's virtual joystick (so it runs the real controller code):
// connect adds one more, disconnect pulls out the newest; buttons and axes apply to every
// virtual pad. False (with the reason in `problem`) when SDL cannot attach one.
bool Sys_HeadlessPadConnect(std::string& problem);
void Sys_HeadlessPadDisconnect();
void Sys_HeadlessPadButton(int button, bool held);
void Sys_HeadlessPadAxis(int axis, float value);
// How many rumbles the game asked for.
int Sys_HeadlessRumbleCount();
// Addresses the game asked the desktop to open (the headless backend opens nothing).
std::vector<std::string>& Sys_HeadlessOpenedURLs();
// Messages the game showed in a message box.
std::vector<std::string>& Sys_HeadlessShownErrors();

// ---------------------------------------------------------------------------------------------
// Command lines. Every program answers --help (usage on standard output) and --version with
// status 0; a wrong command line prints the problem and the usage on standard error and ends
// with status 2 (UsageExitStatus).
// ---------------------------------------------------------------------------------------------

constexpr int UsageExitStatus = 2;
const char* Sys_Version();
struct TProgramInfo {
  const char* Name;   // "zkres"
  const char* Usage;  // the whole usage text, ending in a line end
};
// True when the arguments hold --help or --version; the answer has then been printed.
bool Sys_AnswerHelpOrVersion(const TProgramInfo& program, int argc, char** argv);
// Prints "<name>: <problem>" and the usage on standard error; returns UsageExitStatus.
int Sys_UsageError(const TProgramInfo& program, const std::string& problem);

// ---------------------------------------------------------------------------------------------
// Audio device: one voice per sound-list item (our own mixing), and one music module at a time.
// With no audio device (or the headless backend) every call succeeds silently.
// ---------------------------------------------------------------------------------------------

void Snd_Init();
void Snd_Shutdown();
// Hands the sound list to the device (called after loading it).
void Snd_SetWaves(const TWaveCollection& waves);
// Plays item `index` from its start, stopping its running instance first; loops when Looped.
// Loops fade in, and every stopped item fades out, over a few milliseconds: no change clicks.
void Snd_Play(int index);
void Snd_Stop(int index);
bool Snd_Playing(int index);

// How a voice sounds: Rate 1 plays the wave as recorded (2 an octave up), Gain 1 at its own level,
// Pan -1 left .. 1 right (kept within +-0.8), with the middle at the mono level in both ears.
struct TVoiceSettings {
  float Rate = 1, Gain = 1, Pan = 0;
};
// Playback rate and pan of item `index`, now (gliding there within one mixing block) and for its
// later starts.
void Snd_SetRate(int index, float rate);
void Snd_SetPan(int index, float pan);
// Free voices beside the items' own, for sounds of which several may run at once (the rivals'
// engines): voice `slot` sounds item `index` looped at `settings`, restarting only when it was
// silent or on another item.
constexpr int FreeVoiceCount = 4;
void Snd_SetVoice(int slot, int index, const TVoiceSettings& settings);
void Snd_StopVoice(int slot);

// Recording the effects, for tests and zkplay (headless backend, no device open): the mixer runs
// at `rate` and every advance of the simulated clock mixes that much time of the effects into the
// recording. Snd_StopRecording ends it and hands it over as interleaved 16-bit stereo.
void Snd_StartRecording(int rate);
std::vector<int16_t> Snd_StopRecording();

// Music modules (XM). Mus_Load returns 0 when the module could not be loaded, else a handle.
int Mus_Load(const std::string& path);
void Mus_Play(int handle);  // plays in the background, looping by the module's own rules
void Mus_Stop();
void Mus_Free(int handle);

// Everything that reached the device, for tests ("play 3", "stop 3", "music-load ...", ...).
// Recorded under the headless backend only; the newest 2048 to 4096 entries are kept.
std::vector<std::string>& Snd_CallLog();

// ---------------------------------------------------------------------------------------------
// Network: one blocking HTTP GET (in a browser, to the server the page came from: the address
// may then be a path alone).
// ---------------------------------------------------------------------------------------------

struct HttpGetRequest {
  std::string Url;
  std::vector<std::string> Headers;  // "Name: value"
  bool HandleCookies = false;
  int TimeoutMs = 10000;             // bound of the whole request
};
struct HttpGetResult {
  bool Ok = false;     // a response was received
  int Status = 0;
  std::string Body;
  std::string Error;
};
HttpGetResult Net_HttpGet(const HttpGetRequest& request);
