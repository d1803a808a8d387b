// The picture generator's drawing kit: a floating-point RGBA canvas, shapes given as signed
// distance functions (negative inside, in pixels) filled with one pixel of anti-aliasing, text
// through SDL_ttf, and the conversion to the stored 24-bit pictures with a colour key.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"

namespace art {

// Premultiplied colour, channels 0..1.
struct Rgba {
  float R = 0, G = 0, B = 0, A = 0;
};

// 0x00RRGGBB with an opacity.
constexpr Rgba Hex(uint32_t rgb, float alpha = 1.0f) {
  return Rgba{((rgb >> 16) & 0xFF) / 255.0f * alpha, ((rgb >> 8) & 0xFF) / 255.0f * alpha,
              (rgb & 0xFF) / 255.0f * alpha, alpha};
}
Rgba Mix(const Rgba& a, const Rgba& b, float t);
Rgba Scale(const Rgba& c, float brightness);  // brightens or darkens, keeps opacity
Rgba WithAlpha(const Rgba& c, float alpha);   // the same colour at another opacity
Rgba Over(const Rgba& top, const Rgba& bottom);

using Shape = std::function<float(float x, float y)>;
using Paint = std::function<Rgba(float x, float y)>;

// Shapes. Coordinates are continuous: pixel (i, j) covers [i, i+1) x [j, j+1).
Shape Circle(float cx, float cy, float r);
Shape Ellipse(float cx, float cy, float rx, float ry);
Shape Box(float x0, float y0, float x1, float y1, float radius = 0);
Shape Capsule(float ax, float ay, float bx, float by, float r);
Shape Polygon(std::vector<std::pair<float, float>> points);
Shape HalfPlane(float ax, float ay, float bx, float by);  // inside: right of a->b (y down)
Shape Union(Shape a, Shape b);
Shape Intersect(Shape a, Shape b);
Shape Subtract(Shape a, Shape b);
Shape Grow(Shape a, float by);  // by > 0 enlarges
Shape Rotated(Shape a, float cx, float cy, float radians);  // turns the shape clockwise
Shape Moved(Shape a, float dx, float dy);

Paint Solid(const Rgba& c);
Paint Linear(float x0, float y0, const Rgba& c0, float x1, float y1, const Rgba& c1);
Paint Radial(float cx, float cy, float r, const Rgba& inner, const Rgba& outer);

class Canvas {
public:
  Canvas() = default;
  Canvas(int width, int height, const Rgba& fill = Rgba{});
  int Width() const { return width_; }
  int Height() const { return height_; }
  Rgba& At(int x, int y) { return pixels_[static_cast<size_t>(y) * width_ + x]; }
  const Rgba& At(int x, int y) const { return pixels_[static_cast<size_t>(y) * width_ + x]; }

  void Fill(const Shape& shape, const Paint& paint);
  void Fill(const Shape& shape, const Rgba& color) { Fill(shape, Solid(color)); }
  // A soft shadow: the shape blurred by `softness` pixels, offset, at the given opacity.
  void Shadow(const Shape& shape, float dx, float dy, float softness, float opacity);
  // Strokes the outline of a shape with the given width centred on its edge.
  void Stroke(const Shape& shape, float width, const Rgba& color);
  // Paints every pixel from a function of its centre (the previous contents are replaced).
  void Generate(const std::function<Rgba(float x, float y)>& f);
  // Composites `src` over this canvas with its top-left at (x, y).
  void Draw(const Canvas& src, int x, int y);
  Canvas Cut(int x, int y, int w, int h) const;
  Canvas FlippedX() const;

private:
  int width_ = 0, height_ = 0;
  std::vector<Rgba> pixels_;
};

// Text in League Spartan Bold.
enum class Anchor { TopLeft, Center, CenterLeft };
struct TextStyle {
  float Size = 24;          // pixel height of the font
  Paint Fill = Solid(Hex(0xFFFFFF));
  float Outline = 0;        // outline width in pixels, 0 = none
  Rgba OutlineColor = Hex(0x000000);
  float ShadowOffset = 0;   // drop shadow down and right, 0 = none
};
void DrawText(Canvas& canvas, std::string_view text, float x, float y, Anchor anchor, const TextStyle& style);
// Width and height of the text's ink box in the style.
std::pair<int, int> MeasureText(std::string_view text, const TextStyle& style);
// Releases the fonts (before the program ends).
void CloseFonts();

// Lays patterns out in a grid, `columns` a row, pattern 0 at the top left.
Canvas PatternGrid(const std::vector<Canvas>& patterns, int columns);

// The colour key of every item: magenta, stored as 0x00BBGGRR.
constexpr uint32_t KeyColorRef = 0x00FF00FF;
constexpr uint32_t KeyRgb = 0xFF00FF;

// Converts to a stored picture: pixels less than half covered become the key; no other pixel
// turns into the key's RGB565 value.
TPicture ToKeyedPicture(const Canvas& canvas);
// Converts a canvas that is meant to be opaque, over the given background.
TPicture ToOpaquePicture(const Canvas& canvas, const Rgba& background = Hex(0x000000));
// One image-list item: keyed with magenta, pattern size pw x ph (the whole picture when 0).
TPictureCollectionItem MakeItem(std::string name, TPicture picture, int patternWidth = 0, int patternHeight = 0);

// The stored picture as a PNG (keyed pixels transparent when `keyed`). Throws EGameError.
void SavePng(const TPicture& picture, const std::string& path, bool keyed);
// The picture with key pixels made transparent, as a canvas.
Canvas FromPicture(const TPicture& picture, bool keyed);

// A small deterministic generator for textures: the same numbers on every build.
class Prng {
public:
  explicit Prng(uint32_t seed) : state_(seed * 2654435761u + 0x9E3779B9u) {}
  uint32_t Next();
  float Unit() { return static_cast<float>(Next() >> 8) / 16777216.0f; }  // [0, 1)
  int Below(int n) { return static_cast<int>(Next() % static_cast<uint32_t>(n)); }

private:
  uint32_t state_;
};

// Smooth value noise in [0, 1) that repeats every `period` pixels in both directions.
float TiledNoise(float x, float y, int period, int cells, uint32_t seed);

}  // namespace art
