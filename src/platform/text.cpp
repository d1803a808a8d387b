// Text on the back surface: outline fonts found through fontconfig, rasterised by SDL_ttf and
// blended onto the 16-bit surface. Fonts and rasterised strings are cached, so that the texts the
// game redraws every frame cost a lookup and a blend.
#include <SDL.h>
#include <SDL_ttf.h>
#include <fontconfig/fontconfig.h>
#include <strings.h>

#include <algorithm>
#include <cmath>
#include <array>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/draw_pixel.h"
#include "platform/platform.h"

#if defined(__SANITIZE_ADDRESS__)
#define ZK_LEAK_CHECKED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define ZK_LEAK_CHECKED 1
#endif
#endif
#ifdef ZK_LEAK_CHECKED
// fontconfig loses a block while parsing its configuration files, once per process.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }
#endif

namespace {

// ---------------------------------------------------------------------------------------------
// Face lookup
// ---------------------------------------------------------------------------------------------

struct FaceFile {
  std::string Path;
  int Index = 0;
  bool SyntheticBold = false;  // bold was asked for and the file is not a bold face
  double SizeScale = 1.0;      // stand-in faces are drawn smaller (see kStandInSizeScale)
};

// The game's screens are laid out for a condensed display face; the wider stand-in faces are drawn
// at this fraction of the asked size so that texts keep to about the same widths and stay inside
// their panels.
constexpr double kStandInSizeScale = 0.8;

// Families tried, in bold, when the named face is not installed: the game's own stand-in face
// first; nullptr accepts whatever fontconfig offers.
constexpr const char* kFallbackFamilies[] = {"League Spartan", "DejaVu Sans", nullptr};

bool HasFamily(FcPattern* font, const char* family) {
  FcChar8* name = nullptr;
  for (int i = 0; FcPatternGetString(font, FC_FAMILY, i, &name) == FcResultMatch; ++i)
    if (strcasecmp(reinterpret_cast<const char*>(name), family) == 0) return true;
  return false;
}

// The file fontconfig picks for `family` (any family when null) in the asked weight. fontconfig
// always answers with some font, so the answer counts only when it carries the family asked for.
bool MatchFace(const char* family, bool bold, FaceFile& out) {
  FcPattern* pattern = FcPatternCreate();
  if (pattern == nullptr) return false;
  if (family != nullptr) FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family));
  FcPatternAddInteger(pattern, FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
  FcPatternAddBool(pattern, FC_OUTLINE, FcTrue);
  FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult result = FcResultNoMatch;
  FcPattern* font = FcFontMatch(nullptr, pattern, &result);
  FcPatternDestroy(pattern);
  if (font == nullptr) return false;

  bool found = false;
  FcChar8* file = nullptr;
  if (FcPatternGetString(font, FC_FILE, 0, &file) == FcResultMatch && (family == nullptr || HasFamily(font, family))) {
    int index = 0, weight = FC_WEIGHT_REGULAR;
    FcPatternGetInteger(font, FC_INDEX, 0, &index);
    FcPatternGetInteger(font, FC_WEIGHT, 0, &weight);
    out = FaceFile{reinterpret_cast<const char*>(file), index, bold && weight < FC_WEIGHT_DEMIBOLD};
    found = true;
  }
  FcPatternDestroy(font);
  return found;
}

bool FindFace(const char* family, bool bold, FaceFile& out) {
  if (family != nullptr && *family != '\0' && MatchFace(family, bold, out)) return true;
  for (const char* fallback : kFallbackFamilies) {
    if (MatchFace(fallback, true, out)) {
      out.SizeScale = kStandInSizeScale;
      return true;
    }
  }
  return false;
}

// ---------------------------------------------------------------------------------------------
// Caches
// ---------------------------------------------------------------------------------------------

constexpr int kMinSize = 1, kMaxSize = 512;  // points; beyond this a glyph would outgrow the surface
constexpr int kFontSlots = 32;
constexpr int kStringSets = 64, kStringWays = 4;  // rasterised strings: 64 sets of 4, LRU within a set

struct CachedFont {
  std::string Face;
  int Size = 0;
  bool Bold = false;
  TTF_Font* Font = nullptr;
  uint32_t Id = 0;  // never reused, so strings of a closed font cannot match a new one
  uint64_t LastUse = 0;
};

// A string in one font. Measured when first asked for; rasterised when first drawn, as coverage
// in the 0..32 blend scale, so that any colour draws from the same raster.
struct CachedString {
  uint64_t Hash = 0;
  uint32_t FontId = 0;  // 0: unused slot
  std::string Text;
  int Width = 0;
  bool Rasterised = false;
  int RasterW = 0, RasterH = 0;
  std::vector<uint8_t> Coverage;
  uint64_t LastUse = 0;
};

uint64_t HashText(uint32_t fontId, std::string_view text) {
  uint64_t h = 1469598103934665603ull ^ fontId;  // FNV-1a
  for (const char c : text) h = (h ^ static_cast<uint8_t>(c)) * 1099511628211ull;
  return h;
}

// Latin-1 bytes to UTF-8, stopping at a NUL as the renderer would.
void Latin1ToUtf8(std::string_view text, std::string& out) {
  out.clear();
  for (const char c : text) {
    const auto b = static_cast<uint8_t>(c);
    if (b == 0) break;
    if (b < 0x80) {
      out.push_back(c);
    } else {
      out.push_back(static_cast<char>(0xC0 | (b >> 6)));
      out.push_back(static_cast<char>(0x80 | (b & 0x3F)));
    }
  }
}

class TextRenderer {
public:
  ~TextRenderer() {
    for (CachedFont& f : fonts_)
      if (f.Font != nullptr) TTF_CloseFont(f.Font);
    if (ttfStarted_) TTF_Quit();
  }

  // The open font of a style, opening (and evicting) as needed; null when no font can be had.
  CachedFont* FontFor(const TFontStyle& style) {
    if (!Start()) return nullptr;
    const char* face = style.Face != nullptr ? style.Face : "";
    const int size = std::clamp(style.Size, kMinSize, kMaxSize);
    ++clock_;
    for (CachedFont& f : fonts_)
      if (f.Font != nullptr && f.Size == size && f.Bold == style.Bold && f.Face == face) {
        f.LastUse = clock_;
        return &f;
      }
    return Open(face, size, style.Bold);
  }

  // The cache entry of `text` in `font`, measured; a hit allocates nothing.
  CachedString& StringFor(CachedFont& font, std::string_view text) {
    const uint64_t hash = HashText(font.Id, text);
    CachedString* set = &strings_[(hash % kStringSets) * kStringWays];
    CachedString* victim = set;
    for (int way = 0; way < kStringWays; ++way) {
      CachedString& s = set[way];
      if (s.FontId == font.Id && s.Hash == hash && s.Text == text) {
        s.LastUse = clock_;
        return s;
      }
      if (s.LastUse < victim->LastUse) victim = &s;
    }
    Measure(font, text, *victim);
    victim->LastUse = clock_;
    return *victim;
  }

  void Rasterise(CachedFont& font, CachedString& s) {
    s.Rasterised = true;
    s.RasterW = s.RasterH = 0;
    s.Coverage.clear();
    Latin1ToUtf8(s.Text, utf8_);
    if (utf8_.empty()) return;
    SDL_Surface* rendered = TTF_RenderUTF8_Blended(font.Font, utf8_.c_str(), SDL_Color{255, 255, 255, 255});
    if (rendered == nullptr) return;
    SDL_Surface* argb = SDL_ConvertSurfaceFormat(rendered, SDL_PIXELFORMAT_ARGB8888, 0);
    SDL_FreeSurface(rendered);
    if (argb == nullptr) return;
    s.RasterW = argb->w;
    s.RasterH = argb->h;
    s.Coverage.resize(static_cast<size_t>(argb->w) * argb->h);
    for (int y = 0; y < argb->h; ++y) {
      const auto* row = reinterpret_cast<const uint32_t*>(static_cast<const uint8_t*>(argb->pixels) + y * argb->pitch);
      uint8_t* out = &s.Coverage[static_cast<size_t>(y) * argb->w];
      for (int x = 0; x < argb->w; ++x) out[x] = static_cast<uint8_t>(Alpha32(static_cast<int>(row[x] >> 24)));
    }
    SDL_FreeSurface(argb);
  }

private:
  // TTF_Init once; false (after one message) when there is no renderer or no font at all.
  bool Start() {
    if (ttfStarted_ || failed_) return ttfStarted_;
    if (TTF_Init() != 0) return Fail(std::string("text renderer unavailable: ") + TTF_GetError());
    ttfStarted_ = true;
    FaceFile any;
    if (!FcInit() || !FindFace(nullptr, false, any)) {
      TTF_Quit();
      ttfStarted_ = false;
      return Fail("no outline font found; text will not be drawn");
    }
    return true;
  }

  bool Fail(const std::string& message) {
    failed_ = true;
    std::fprintf(stderr, "Zubo Kranz: %s\n", message.c_str());
    return false;
  }

  CachedFont* Open(const char* face, int size, bool bold) {
    FaceFile file;
    if (!FindFace(face, bold, file)) return nullptr;
    const int drawnSize = std::max(kMinSize, static_cast<int>(std::lround(size * file.SizeScale)));
    TTF_Font* font = TTF_OpenFontIndexDPI(file.Path.c_str(), drawnSize, file.Index, 96, 96);
    if (font == nullptr) return nullptr;
    if (file.SyntheticBold) TTF_SetFontStyle(font, TTF_STYLE_BOLD);

    CachedFont& slot = *std::min_element(fonts_.begin(), fonts_.end(),
                                         [](const CachedFont& a, const CachedFont& b) { return a.LastUse < b.LastUse; });
    if (slot.Font != nullptr) TTF_CloseFont(slot.Font);
    slot = CachedFont{face, size, bold, font, ++lastFontId_, clock_};
    return &slot;
  }

  void Measure(CachedFont& font, std::string_view text, CachedString& s) {
    s.Hash = HashText(font.Id, text);
    s.FontId = font.Id;
    s.Text.assign(text);
    s.Rasterised = false;
    s.Width = 0;
    Latin1ToUtf8(text, utf8_);
    int w = 0, h = 0;
    if (!utf8_.empty() && TTF_SizeUTF8(font.Font, utf8_.c_str(), &w, &h) == 0) s.Width = w;
  }

  bool ttfStarted_ = false, failed_ = false;
  uint64_t clock_ = 0;
  uint32_t lastFontId_ = 0;
  std::array<CachedFont, kFontSlots> fonts_{};
  std::vector<CachedString> strings_ = std::vector<CachedString>(kStringSets * kStringWays);
  std::string utf8_;  // conversion scratch, reused
};

TextRenderer g_text;

// ---------------------------------------------------------------------------------------------
// Blending the coverage onto the surface
// ---------------------------------------------------------------------------------------------

// Blends a w x h raster of coverage (0..32) in `color` at opacity32 of 32 with its top-left
// corner at (x, y).
void BlendCoverage(TDirectDrawSurface& dest, int x, int y, int w, int h, const uint8_t* coverage, uint16_t color,
                   uint32_t opacity32 = 32) {
  const int l = std::max(x, 0), t = std::max(y, 0);
  const int r = static_cast<int>(std::min<int64_t>(static_cast<int64_t>(x) + w, dest.Width()));
  const int b = static_cast<int>(std::min<int64_t>(static_cast<int64_t>(y) + h, dest.Height()));
  const uint32_t spread = Spread565(color);
  for (int dy = t; dy < b; ++dy) {
    const uint8_t* cov = &coverage[static_cast<size_t>(dy - y) * w + (l - x)];
    uint16_t* d = dest.Row(dy) + l;
    for (int i = 0; i < r - l; ++i) {
      const uint32_t a = opacity32 >= 32 ? cov[i] : cov[i] * opacity32 >> 5;
      if (a == 0) continue;
      d[i] = a >= 32 ? color : Blend565(spread, d[i], a);
    }
  }
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Canvas
// ---------------------------------------------------------------------------------------------

void TCanvas::TextOut(TDirectDrawSurface* dest, int x, int y, std::string_view text, int opacity32) {
  if (dest == nullptr || text.empty()) return;
  CachedFont* font = g_text.FontFor(font_);
  if (font == nullptr) return;
  CachedString& s = g_text.StringFor(*font, text);
  if (!s.Rasterised) g_text.Rasterise(*font, s);
  BlendCoverage(*dest, x, y, s.RasterW, s.RasterH, s.Coverage.data(), RGB565(font_.R, font_.G, font_.B),
                static_cast<uint32_t>(std::clamp(opacity32, 0, 32)));
}

int TCanvas::TextWidth(std::string_view text) {
  if (text.empty()) return 0;
  CachedFont* font = g_text.FontFor(font_);
  return font != nullptr ? g_text.StringFor(*font, text).Width : 0;
}

int TCanvas::TextHeight(std::string_view /*text*/) {
  CachedFont* font = g_text.FontFor(font_);
  return font != nullptr ? TTF_FontHeight(font->Font) : 0;
}

// ---------------------------------------------------------------------------------------------
// Glyph strips
// ---------------------------------------------------------------------------------------------

void TGlyphStrip::Build(const TFontStyle& style, std::string_view characters) {
  built_ = true;
  count_ = 0;
  height_ = 0;
  color_ = RGB565(style.R, style.G, style.B);
  CachedFont* font = g_text.FontFor(style);
  if (font == nullptr) return;
  height_ = TTF_FontHeight(font->Font);
  for (const char c : characters.substr(0, Capacity)) {
    CachedString& s = g_text.StringFor(*font, std::string_view(&c, 1));
    if (!s.Rasterised) g_text.Rasterise(*font, s);
    TGlyph& g = glyphs_[count_++];
    g.Char = c;
    g.Advance = s.Width;
    g.RasterW = s.RasterW;
    g.RasterH = s.RasterH;
    g.Coverage = s.Coverage;
  }
}

const TGlyphStrip::TGlyph* TGlyphStrip::Find(char c) const {
  for (int i = 0; i < count_; ++i)
    if (glyphs_[i].Char == c) return &glyphs_[i];
  return nullptr;
}

int TGlyphStrip::Width(std::string_view text) const {
  int width = 0;
  for (const char c : text)
    if (const TGlyph* g = Find(c)) width += g->Advance;
  return width;
}

void TGlyphStrip::Draw(TDirectDrawSurface* dest, int x, int y, std::string_view text) const {
  if (dest == nullptr) return;
  for (const char c : text) {
    const TGlyph* g = Find(c);
    if (g == nullptr) continue;
    if (!g->Coverage.empty()) BlendCoverage(*dest, x, y, g->RasterW, g->RasterH, g->Coverage.data(), color_);
    x += g->Advance;
  }
}
