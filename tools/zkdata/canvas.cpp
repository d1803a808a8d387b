#include "canvas.h"

#include <SDL.h>
#include <SDL_image.h>
#include <SDL_ttf.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>

namespace art {

// ---------------------------------------------------------------------------------------------
// Colours
// ---------------------------------------------------------------------------------------------

Rgba Mix(const Rgba& a, const Rgba& b, float t) {
  return Rgba{a.R + (b.R - a.R) * t, a.G + (b.G - a.G) * t, a.B + (b.B - a.B) * t, a.A + (b.A - a.A) * t};
}

Rgba Scale(const Rgba& c, float brightness) {
  auto channel = [&](float v) { return std::min(c.A, v * brightness); };
  return Rgba{channel(c.R), channel(c.G), channel(c.B), c.A};
}

Rgba WithAlpha(const Rgba& c, float alpha) {
  if (c.A <= 0) return Rgba{};
  const float k = alpha / c.A;
  return Rgba{c.R * k, c.G * k, c.B * k, alpha};
}

Rgba Over(const Rgba& top, const Rgba& bottom) {
  const float k = 1.0f - top.A;
  return Rgba{top.R + bottom.R * k, top.G + bottom.G * k, top.B + bottom.B * k, top.A + bottom.A * k};
}

// ---------------------------------------------------------------------------------------------
// Shapes
// ---------------------------------------------------------------------------------------------

Shape Circle(float cx, float cy, float r) {
  return [=](float x, float y) { return std::hypot(x - cx, y - cy) - r; };
}

Shape Ellipse(float cx, float cy, float rx, float ry) {
  return [=](float x, float y) {
    const float px = (x - cx) / rx, py = (y - cy) / ry;
    const float k0 = std::hypot(px, py);
    const float k1 = std::hypot(px / rx, py / ry);
    if (k1 < 1e-6f) return -std::min(rx, ry);
    return k0 * (k0 - 1.0f) / k1;
  };
}

Shape Box(float x0, float y0, float x1, float y1, float radius) {
  const float cx = (x0 + x1) * 0.5f, cy = (y0 + y1) * 0.5f;
  const float hx = (x1 - x0) * 0.5f - radius, hy = (y1 - y0) * 0.5f - radius;
  return [=](float x, float y) {
    const float qx = std::abs(x - cx) - hx, qy = std::abs(y - cy) - hy;
    return std::hypot(std::max(qx, 0.0f), std::max(qy, 0.0f)) + std::min(std::max(qx, qy), 0.0f) - radius;
  };
}

Shape Capsule(float ax, float ay, float bx, float by, float r) {
  return [=](float x, float y) {
    const float px = x - ax, py = y - ay, ex = bx - ax, ey = by - ay;
    const float len2 = ex * ex + ey * ey;
    const float t = len2 > 0 ? std::clamp((px * ex + py * ey) / len2, 0.0f, 1.0f) : 0.0f;
    return std::hypot(px - ex * t, py - ey * t) - r;
  };
}

Shape Polygon(std::vector<std::pair<float, float>> v) {
  return [v = std::move(v)](float x, float y) {
    const size_t n = v.size();
    float d = (x - v[0].first) * (x - v[0].first) + (y - v[0].second) * (y - v[0].second);
    float s = 1.0f;
    for (size_t i = 0, j = n - 1; i < n; j = i, ++i) {
      const float ex = v[j].first - v[i].first, ey = v[j].second - v[i].second;
      const float wx = x - v[i].first, wy = y - v[i].second;
      const float len2 = ex * ex + ey * ey;
      const float t = len2 > 0 ? std::clamp((wx * ex + wy * ey) / len2, 0.0f, 1.0f) : 0.0f;
      const float bx = wx - ex * t, by = wy - ey * t;
      d = std::min(d, bx * bx + by * by);
      const bool c1 = y >= v[i].second, c2 = y < v[j].second, c3 = ex * wy > ey * wx;
      if ((c1 && c2 && c3) || (!c1 && !c2 && !c3)) s = -s;
    }
    return s * std::sqrt(d);
  };
}

Shape HalfPlane(float ax, float ay, float bx, float by) {
  const float len = std::hypot(bx - ax, by - ay);
  const float nx = -(by - ay) / len, ny = (bx - ax) / len;  // points to the left of a->b (y down)
  return [=](float x, float y) { return (x - ax) * nx + (y - ay) * ny; };
}

Shape Union(Shape a, Shape b) {
  return [=](float x, float y) { return std::min(a(x, y), b(x, y)); };
}
Shape Intersect(Shape a, Shape b) {
  return [=](float x, float y) { return std::max(a(x, y), b(x, y)); };
}
Shape Subtract(Shape a, Shape b) {
  return [=](float x, float y) { return std::max(a(x, y), -b(x, y)); };
}
Shape Grow(Shape a, float by) {
  return [=](float x, float y) { return a(x, y) - by; };
}
Shape Rotated(Shape a, float cx, float cy, float radians) {
  const float c = std::cos(radians), s = std::sin(radians);
  return [=](float x, float y) {
    const float dx = x - cx, dy = y - cy;
    return a(cx + dx * c + dy * s, cy - dx * s + dy * c);
  };
}
Shape Moved(Shape a, float dx, float dy) {
  return [=](float x, float y) { return a(x - dx, y - dy); };
}

Paint Solid(const Rgba& c) {
  return [=](float, float) { return c; };
}

Paint Linear(float x0, float y0, const Rgba& c0, float x1, float y1, const Rgba& c1) {
  const float dx = x1 - x0, dy = y1 - y0, len2 = std::max(dx * dx + dy * dy, 1e-6f);
  return [=](float x, float y) {
    return Mix(c0, c1, std::clamp(((x - x0) * dx + (y - y0) * dy) / len2, 0.0f, 1.0f));
  };
}

Paint Radial(float cx, float cy, float r, const Rgba& inner, const Rgba& outer) {
  return [=](float x, float y) { return Mix(inner, outer, std::clamp(std::hypot(x - cx, y - cy) / r, 0.0f, 1.0f)); };
}

// ---------------------------------------------------------------------------------------------
// Canvas
// ---------------------------------------------------------------------------------------------

Canvas::Canvas(int width, int height, const Rgba& fill)
    : width_(width), height_(height), pixels_(static_cast<size_t>(width) * height, fill) {}

namespace {
// Shapes are distance bounds, so a block whose centre lies farther out than its half diagonal
// (with a margin for the approximate ellipse) cannot be touched.
constexpr int BlockSize = 8;
constexpr float BlockReach = BlockSize * 0.7072f * 1.5f + 1.0f;

template <typename Visit>
void ForEachPixelNear(int width, int height, const Shape& shape, float margin, Visit visit) {
  for (int by = 0; by < height; by += BlockSize) {
    for (int bx = 0; bx < width; bx += BlockSize) {
      const float cx = bx + BlockSize * 0.5f, cy = by + BlockSize * 0.5f;
      if (shape(cx, cy) > BlockReach + margin) continue;
      for (int y = by; y < std::min(by + BlockSize, height); ++y)
        for (int x = bx; x < std::min(bx + BlockSize, width); ++x) visit(x, y);
    }
  }
}
}  // namespace

void Canvas::Fill(const Shape& shape, const Paint& paint) {
  ForEachPixelNear(width_, height_, shape, 0.0f, [&](int x, int y) {
    const float px = x + 0.5f, py = y + 0.5f;
    const float coverage = std::clamp(0.5f - shape(px, py), 0.0f, 1.0f);
    if (coverage <= 0) return;
    const Rgba c = paint(px, py);
    At(x, y) = Over(Rgba{c.R * coverage, c.G * coverage, c.B * coverage, c.A * coverage}, At(x, y));
  });
}

void Canvas::Shadow(const Shape& shape, float dx, float dy, float softness, float opacity) {
  const Shape moved = Moved(shape, dx, dy);
  const float soft = std::max(softness, 0.5f);
  ForEachPixelNear(width_, height_, moved, soft, [&](int x, int y) {
    const float a = opacity * std::clamp(0.5f - moved(x + 0.5f, y + 0.5f) / soft, 0.0f, 1.0f);
    if (a > 0) At(x, y) = Over(Rgba{0, 0, 0, a}, At(x, y));
  });
}

void Canvas::Stroke(const Shape& shape, float width, const Rgba& color) {
  Fill([=](float x, float y) { return std::abs(shape(x, y)) - width * 0.5f; }, color);
}

void Canvas::Generate(const std::function<Rgba(float x, float y)>& f) {
  for (int y = 0; y < height_; ++y)
    for (int x = 0; x < width_; ++x) At(x, y) = f(x + 0.5f, y + 0.5f);
}

void Canvas::Draw(const Canvas& src, int x0, int y0) {
  for (int y = 0; y < src.height_; ++y) {
    const int ty = y0 + y;
    if (ty < 0 || ty >= height_) continue;
    for (int x = 0; x < src.width_; ++x) {
      const int tx = x0 + x;
      if (tx < 0 || tx >= width_) continue;
      At(tx, ty) = Over(src.At(x, y), At(tx, ty));
    }
  }
}

Canvas Canvas::Cut(int x0, int y0, int w, int h) const {
  Canvas out(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const int sx = x0 + x, sy = y0 + y;
      if (sx >= 0 && sx < width_ && sy >= 0 && sy < height_) out.At(x, y) = At(sx, sy);
    }
  return out;
}

Canvas Canvas::FlippedX() const {
  Canvas out(width_, height_);
  for (int y = 0; y < height_; ++y)
    for (int x = 0; x < width_; ++x) out.At(x, y) = At(width_ - 1 - x, y);
  return out;
}

Canvas PatternGrid(const std::vector<Canvas>& patterns, int columns) {
  const int pw = patterns.front().Width(), ph = patterns.front().Height();
  const int count = static_cast<int>(patterns.size());
  const int rows = (count + columns - 1) / columns;
  Canvas grid(pw * std::min(columns, count), ph * rows);
  for (int i = 0; i < count; ++i) grid.Draw(patterns[i], (i % columns) * pw, (i / columns) * ph);
  return grid;
}

// ---------------------------------------------------------------------------------------------
// Text
// ---------------------------------------------------------------------------------------------

namespace {

std::string FindFontFile() {
  const char* fixedPath = "/usr/share/fonts/opentype/league-spartan/LeagueSpartan-Bold.otf";
  if (std::filesystem::exists(fixedPath)) return fixedPath;
  std::string found;
  if (FILE* pipe = popen("fc-match -f '%{file}' 'League Spartan:bold'", "r")) {
    char buffer[512];
    while (fgets(buffer, sizeof buffer, pipe)) found += buffer;
    pclose(pipe);
  }
  if (found.empty() || !std::filesystem::exists(found))
    throw EGameError("zkdata: the League Spartan Bold font is not installed");
  return found;
}

struct FontCache {
  bool ttfStarted = false;
  std::string file;
  std::map<int, TTF_Font*> fonts;

  TTF_Font* Get(int size) {
    if (!ttfStarted) {
      if (TTF_Init() != 0) throw EGameError(std::string("zkdata: SDL_ttf: ") + TTF_GetError());
      ttfStarted = true;
      file = FindFontFile();
    }
    auto it = fonts.find(size);
    if (it != fonts.end()) return it->second;
    TTF_Font* font = TTF_OpenFont(file.c_str(), size);
    if (!font) throw EGameError(file + ": " + TTF_GetError());
    TTF_SetFontHinting(font, TTF_HINTING_LIGHT);
    fonts[size] = font;
    return font;
  }
  void Close() {
    for (auto& [size, font] : fonts) TTF_CloseFont(font);
    fonts.clear();
    if (ttfStarted) TTF_Quit();
    ttfStarted = false;
  }
};

FontCache& Fonts() {
  static FontCache cache;
  return cache;
}

// The text's coverage as a w x h mask of 0..1.
struct Mask {
  int W = 0, H = 0;
  std::vector<float> A;
  float At(int x, int y) const { return (x < 0 || y < 0 || x >= W || y >= H) ? 0.0f : A[static_cast<size_t>(y) * W + x]; }
};

Mask RenderMask(std::string_view text, int size, int outline) {
  TTF_Font* font = Fonts().Get(size);
  TTF_SetFontOutline(font, outline);
  const std::string s(text);
  SDL_Surface* rendered = TTF_RenderUTF8_Blended(font, s.c_str(), SDL_Color{255, 255, 255, 255});
  TTF_SetFontOutline(font, 0);
  if (!rendered) throw EGameError(std::string("zkdata: text \"") + s + "\": " + TTF_GetError());
  SDL_Surface* surface = SDL_ConvertSurfaceFormat(rendered, SDL_PIXELFORMAT_ARGB8888, 0);
  SDL_FreeSurface(rendered);
  if (!surface) throw EGameError(std::string("zkdata: text surface: ") + SDL_GetError());
  Mask mask;
  mask.W = surface->w;
  mask.H = surface->h;
  mask.A.resize(static_cast<size_t>(mask.W) * mask.H);
  SDL_LockSurface(surface);
  for (int y = 0; y < mask.H; ++y) {
    const auto* row = reinterpret_cast<const uint32_t*>(static_cast<const uint8_t*>(surface->pixels) + y * surface->pitch);
    for (int x = 0; x < mask.W; ++x) mask.A[static_cast<size_t>(y) * mask.W + x] = (row[x] >> 24) / 255.0f;
  }
  SDL_UnlockSurface(surface);
  SDL_FreeSurface(surface);
  return mask;
}

struct InkBox {
  int X0 = 0, Y0 = 0, X1 = 0, Y1 = 0;
};

InkBox FindInk(const Mask& m) {
  InkBox box{m.W, m.H, 0, 0};
  for (int y = 0; y < m.H; ++y)
    for (int x = 0; x < m.W; ++x)
      if (m.At(x, y) > 0.1f) {
        box.X0 = std::min(box.X0, x);
        box.Y0 = std::min(box.Y0, y);
        box.X1 = std::max(box.X1, x + 1);
        box.Y1 = std::max(box.Y1, y + 1);
      }
  if (box.X1 <= box.X0) box = InkBox{0, 0, 0, 0};
  return box;
}

void BlendMask(Canvas& canvas, const Mask& mask, int ox, int oy, const Paint& paint) {
  for (int y = 0; y < mask.H; ++y) {
    const int ty = oy + y;
    if (ty < 0 || ty >= canvas.Height()) continue;
    for (int x = 0; x < mask.W; ++x) {
      const int tx = ox + x;
      const float a = mask.At(x, y);
      if (tx < 0 || tx >= canvas.Width() || a <= 0) continue;
      const Rgba c = paint(tx + 0.5f, ty + 0.5f);
      canvas.At(tx, ty) = Over(Rgba{c.R * a, c.G * a, c.B * a, c.A * a}, canvas.At(tx, ty));
    }
  }
}

}  // namespace

void DrawText(Canvas& canvas, std::string_view text, float x, float y, Anchor anchor, const TextStyle& style) {
  const int size = static_cast<int>(std::lround(style.Size));
  const Mask body = RenderMask(text, size, 0);
  const InkBox ink = FindInk(body);
  float left = x - ink.X0, top = y - ink.Y0;
  if (anchor == Anchor::Center) {
    left = x - (ink.X0 + ink.X1) * 0.5f;
    top = y - (ink.Y0 + ink.Y1) * 0.5f;
  } else if (anchor == Anchor::CenterLeft) {
    top = y - (ink.Y0 + ink.Y1) * 0.5f;
  }
  const int ox = static_cast<int>(std::lround(left)), oy = static_cast<int>(std::lround(top));
  const int outline = static_cast<int>(std::lround(style.Outline));
  if (style.ShadowOffset > 0) {
    const Mask shadow = outline > 0 ? RenderMask(text, size, outline) : body;
    const int d = static_cast<int>(std::lround(style.ShadowOffset));
    BlendMask(canvas, shadow, ox - outline + d, oy - outline + d, Solid(Hex(0x000000, 0.55f)));
  }
  if (outline > 0) BlendMask(canvas, RenderMask(text, size, outline), ox - outline, oy - outline, Solid(style.OutlineColor));
  BlendMask(canvas, body, ox, oy, style.Fill);
}

std::pair<int, int> MeasureText(std::string_view text, const TextStyle& style) {
  const InkBox ink = FindInk(RenderMask(text, static_cast<int>(std::lround(style.Size)), 0));
  return {ink.X1 - ink.X0, ink.Y1 - ink.Y0};
}

void CloseFonts() { Fonts().Close(); }

// ---------------------------------------------------------------------------------------------
// Stored pictures
// ---------------------------------------------------------------------------------------------

namespace {

// The game shows every picture in 16 bits (5 bits of red and blue, 6 of green, each taken as the
// top bits of the stored byte). Stored colours are dithered to those levels with a 4 x 4 ordered
// pattern tied to the pixel's place, so that gradients do not break into bands, and the stored
// byte repeats the level's bits as the screen's conversion widens them.
constexpr float Bayer4[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};

uint8_t Dithered(float v, int levels, float threshold) {
  const int bits = levels == 63 ? 6 : 5;
  const int q = std::clamp(static_cast<int>(std::floor(std::clamp(v, 0.0f, 1.0f) * levels + threshold)), 0, levels);
  return static_cast<uint8_t>((q << (8 - bits)) | (q >> (2 * bits - 8)));
}

uint32_t Unpremultiplied(const Rgba& c, int x, int y) {
  const float k = c.A > 0 ? 1.0f / c.A : 0.0f;
  const float t = (Bayer4[y & 3][x & 3] + 0.5f) / 16.0f;
  return (uint32_t{Dithered(c.R * k, 31, t)} << 16) | (uint32_t{Dithered(c.G * k, 63, t)} << 8) | Dithered(c.B * k, 31, t);
}

// An opaque colour that the game would take for the key after its RGB565 conversion gets a
// touch of green.
uint32_t AwayFromKey(uint32_t rgb) {
  if (RGB888To565(rgb) == RGB888To565(KeyRgb)) return (rgb & 0xFF00FF) | 0x000400;
  return rgb;
}

}  // namespace

TPicture ToKeyedPicture(const Canvas& canvas) {
  TPicture picture;
  picture.Width = canvas.Width();
  picture.Height = canvas.Height();
  picture.BitsPerPixel = 24;
  picture.Pixels.resize(static_cast<size_t>(picture.Width) * picture.Height);
  for (int y = 0; y < picture.Height; ++y)
    for (int x = 0; x < picture.Width; ++x) {
      const Rgba& c = canvas.At(x, y);
      picture.Pixels[static_cast<size_t>(y) * picture.Width + x] = c.A < 0.5f ? KeyRgb : AwayFromKey(Unpremultiplied(c, x, y));
    }
  return picture;
}

TPicture ToOpaquePicture(const Canvas& canvas, const Rgba& background) {
  TPicture picture;
  picture.Width = canvas.Width();
  picture.Height = canvas.Height();
  picture.BitsPerPixel = 24;
  picture.Pixels.resize(static_cast<size_t>(picture.Width) * picture.Height);
  for (int y = 0; y < picture.Height; ++y)
    for (int x = 0; x < picture.Width; ++x)
      picture.Pixels[static_cast<size_t>(y) * picture.Width + x] =
          AwayFromKey(Unpremultiplied(Over(canvas.At(x, y), background), x, y));
  return picture;
}

TPictureCollectionItem MakeItem(std::string name, TPicture picture, int patternWidth, int patternHeight) {
  TPictureCollectionItem item;
  item.Name = std::move(name);
  item.PatternWidth = patternWidth;
  item.PatternHeight = patternHeight;
  item.Transparent = true;
  item.TransparentColor = KeyColorRef;
  item.Picture = std::move(picture);
  return item;
}

void SavePng(const TPicture& picture, const std::string& path, bool keyed) {
  SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormat(0, picture.Width, picture.Height, 32, SDL_PIXELFORMAT_RGBA32);
  if (!surface) throw EGameError(path + ": " + SDL_GetError());
  SDL_LockSurface(surface);
  for (int y = 0; y < picture.Height; ++y) {
    auto* row = static_cast<uint8_t*>(surface->pixels) + y * surface->pitch;
    for (int x = 0; x < picture.Width; ++x) {
      const uint32_t rgb = picture.Pixels[static_cast<size_t>(y) * picture.Width + x];
      row[x * 4 + 0] = static_cast<uint8_t>(rgb >> 16);
      row[x * 4 + 1] = static_cast<uint8_t>(rgb >> 8);
      row[x * 4 + 2] = static_cast<uint8_t>(rgb);
      row[x * 4 + 3] = (keyed && rgb == KeyRgb) ? 0 : 255;
    }
  }
  SDL_UnlockSurface(surface);
  const int result = IMG_SavePNG(surface, path.c_str());
  SDL_FreeSurface(surface);
  if (result != 0) throw EGameError(path + ": " + IMG_GetError());
}

Canvas FromPicture(const TPicture& picture, bool keyed) {
  Canvas canvas(picture.Width, picture.Height);
  for (int y = 0; y < picture.Height; ++y)
    for (int x = 0; x < picture.Width; ++x) {
      const uint32_t rgb = picture.Pixels[static_cast<size_t>(y) * picture.Width + x];
      if (!(keyed && rgb == KeyRgb)) canvas.At(x, y) = Hex(rgb);
    }
  return canvas;
}

// ---------------------------------------------------------------------------------------------
// Noise
// ---------------------------------------------------------------------------------------------

uint32_t Prng::Next() {
  // xorshift32
  state_ ^= state_ << 13;
  state_ ^= state_ >> 17;
  state_ ^= state_ << 5;
  return state_;
}

namespace {
float LatticeValue(int ix, int iy, uint32_t seed) {
  uint32_t h = static_cast<uint32_t>(ix) * 374761393u + static_cast<uint32_t>(iy) * 668265263u + seed * 2246822519u;
  h = (h ^ (h >> 13)) * 1274126177u;
  h ^= h >> 16;
  return (h & 0xFFFFFF) / 16777216.0f;
}
}  // namespace

float TiledNoise(float x, float y, int period, int cells, uint32_t seed) {
  const float step = static_cast<float>(period) / cells;
  const float gx = x / step, gy = y / step;
  const int ix = static_cast<int>(std::floor(gx)), iy = static_cast<int>(std::floor(gy));
  const float fx = gx - ix, fy = gy - iy;
  auto wrap = [cells](int i) { return ((i % cells) + cells) % cells; };
  auto smooth = [](float t) { return t * t * (3 - 2 * t); };
  const float a = LatticeValue(wrap(ix), wrap(iy), seed), b = LatticeValue(wrap(ix + 1), wrap(iy), seed);
  const float c = LatticeValue(wrap(ix), wrap(iy + 1), seed), d = LatticeValue(wrap(ix + 1), wrap(iy + 1), seed);
  const float sx = smooth(fx), sy = smooth(fy);
  return (a + (b - a) * sx) + ((c + (d - c) * sx) - (a + (b - a) * sx)) * sy;
}

}  // namespace art
