#include "bikes.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <vector>

namespace art {

namespace {

constexpr float Pi = 3.14159265358979f;
constexpr float DeepestLean = 0.56f;   // radians, pattern 0
constexpr float LightestLean = 0.10f;  // radians, pattern 5
const Rgba OutlineColor = Hex(0x0E0E14);
const Rgba Tyre = Hex(0x1E1E22);
const Rgba Metal = Hex(0x6A7079);
const Rgba Chrome = Hex(0xA8B2BD);
const Rgba Glove = Hex(0x202024);
const Rgba Visor = Hex(0x1C2433);
const Rgba Screen = Hex(0x3D5F86);
const Rgba SeatColor = Hex(0x26262B);

// Maps the bike's own coordinates (x to the right, y toward the rear, z up; pixels of the
// upright picture) onto a canvas: scaled, leaned about the bike's long axis (positive leans the
// top to the left) and turned clockwise in the picture plane.
struct View {
  float Cx = 0, Cy = 0, Scale = 1, Lean = 0, Turn = 0;

  std::pair<float, float> Project(float x, float y, float z) const {
    const float lx = x * std::cos(Lean) - z * std::sin(Lean);
    const float c = std::cos(Turn), s = std::sin(Turn);
    return {Cx + Scale * (lx * c - y * s), Cy + Scale * (lx * s + y * c)};
  }
  // Half width on the canvas of a body with half width rx and half height rz.
  float HalfWidth(float rx, float rz) const {
    return Scale * std::hypot(rx * std::cos(Lean), rz * std::sin(Lean));
  }
};

// One piece of the bike or rider: a shape with a height, drawn lowest first.
struct Part {
  float Z;
  Shape Form;
  Rgba Color;
  bool Shaded;
};

class PartList {
public:
  explicit PartList(const View& view) : view_(view) {}
  float Lean() const { return view_.Lean; }

  void Blob(float x, float y, float z, float rx, float ry, float rz, const Rgba& color, bool shaded = true) {
    const auto [px, py] = view_.Project(x, y, z);
    const Shape s = Ellipse(px, py, std::max(view_.HalfWidth(rx, rz), 0.6f), ry * view_.Scale);
    Add(z, Rotated(s, px, py, view_.Turn), color, shaded);
  }
  void Block(float x, float y, float z, float rx, float ry, float rz, float corner, const Rgba& color) {
    const auto [px, py] = view_.Project(x, y, z);
    const float hw = std::max(view_.HalfWidth(rx, rz), 0.6f), hh = ry * view_.Scale;
    const float r = std::min({corner * view_.Scale, hw, hh});
    Add(z, Rotated(Box(px - hw, py - hh, px + hw, py + hh, r), px, py, view_.Turn), color, true);
  }
  void Limb(float x0, float y0, float z0, float x1, float y1, float z1, float r, const Rgba& color) {
    const auto [ax, ay] = view_.Project(x0, y0, z0);
    const auto [bx, by] = view_.Project(x1, y1, z1);
    Add((z0 + z1) * 0.5f, Capsule(ax, ay, bx, by, r * view_.Scale), color, false);
  }
  void Plate(float z, std::vector<std::pair<float, float>> points, const Rgba& color) {
    for (auto& [x, y] : points) {
      const auto p = view_.Project(x, y, z);
      x = p.first;
      y = p.second;
    }
    Add(z, Polygon(std::move(points)), color, true);
  }
  // Mirrored pair of limbs (left and right side).
  void LimbPair(float x0, float y0, float z0, float x1, float y1, float z1, float r, const Rgba& color) {
    Limb(-x0, y0, z0, -x1, y1, z1, r, color);
    Limb(x0, y0, z0, x1, y1, z1, r, color);
  }

  void Paint(Canvas& canvas) {
    std::stable_sort(parts_.begin(), parts_.end(), [](const Part& a, const Part& b) { return a.Z < b.Z; });
    for (const Part& p : parts_) canvas.Fill(Grow(p.Form, 1.0f), OutlineColor);
    for (const Part& p : parts_) {
      if (p.Shaded) {
        canvas.Fill(p.Form, Linear(0, 0, Scale(p.Color, 1.22f), static_cast<float>(canvas.Width()),
                                   static_cast<float>(canvas.Height()) * 0.4f, Scale(p.Color, 0.82f)));
      } else {
        canvas.Fill(p.Form, p.Color);
      }
    }
  }

private:
  void Add(float z, Shape s, const Rgba& c, bool shaded) { parts_.push_back(Part{z, std::move(s), c, shaded}); }
  View view_;
  std::vector<Part> parts_;
};

// Every outline is painted before every fill, so touching parts read as one machine; the rider
// is a second list painted over the bike.
void AddWheelsAndEngine(PartList& parts, const BikeModel& m) {
  // Seen from above a wheel is a narrow band; as the bike goes over it opens into a disc.
  const float tw = m.TyreWidth * 0.5f;
  const float side = std::abs(std::sin(parts.Lean()));
  const float corner = 3 + 7 * side * side;
  const Rgba tyre = Mix(Tyre, Hex(0x3A3A42), side);  // the sidewall turning into view is lit
  parts.Block(0, 20.5f, 10, tw + 0.6f, 10.5f, 7 * side, corner, tyre);
  parts.Block(0, -21.5f, 10, tw, 10, 7 * side, corner, tyre);
  if (side > 0.7f) {
    parts.Blob(0, 20.5f, 10 + tw, 4, 4, 4, Metal);
    parts.Blob(0, -21.5f, 10 + tw, 4, 4, 4, Metal);
  }
  const bool naked = m.Style == Fairing::Naked;
  parts.Block(0, 2, 13, naked ? 7.5f : 6.5f, 8, 7, 2, naked ? Chrome : Metal);
  const float pipe = m.Style == Fairing::Supermoto ? 4.5f : 5.5f;
  parts.Limb(pipe, 9, 9, pipe + 0.5f, 19, 12, 2.0f, Chrome);
  if (m.Style == Fairing::Hyper || m.Style == Fairing::Tourer) parts.Limb(-pipe, 9, 9, -pipe - 0.5f, 19, 12, 2.0f, Chrome);
}

void AddBodywork(PartList& parts, const BikeModel& m) {
  const Rgba body = Hex(m.Body), accent = Hex(m.Accent);
  const float bw = m.BodyWidth;
  switch (m.Style) {
    case Fairing::Sport:
    case Fairing::Hyper: {
      const float nose = m.Style == Fairing::Hyper ? -28.0f : -26.5f;
      parts.Plate(22, {{0, nose}, {0.6f * bw, nose + 4}, {bw, -18}, {bw, -7}, {-bw, -7}, {-bw, -18}, {-0.6f * bw, nose + 4}}, body);
      parts.Blob(0, -17, 27, 0.45f * bw, 3.5f, 2, Screen);
      parts.Blob(0, -3, 25, 0.85f * bw, 7.5f, 5, body);
      parts.Plate(24, {{-4.5f, 11}, {4.5f, 11}, {3, 23}, {0, 25}, {-3, 23}}, body);
      if (m.Style == Fairing::Hyper) {
        parts.Plate(23, {{bw, -20}, {bw + 3.5f, -15}, {bw, -12}}, accent);
        parts.Plate(23, {{-bw, -20}, {-bw - 3.5f, -15}, {-bw, -12}}, accent);
        parts.LimbPair(0.55f * bw, -26, 26, 0.7f * bw, -9, 26, 1.1f, accent);
      } else {
        parts.Limb(0, -28.5f, 26, 0, -9, 26, 1.4f, accent);
        parts.Limb(0, 14, 26, 0, 22, 26, 1.3f, accent);
      }
      break;
    }
    case Fairing::Tourer:
      // A heavy tourer: a broad fairing with a tall screen, crash bars, hard cases hugging the
      // rear wheel, a top box behind the pillion's backrest.
      parts.LimbPair(bw - 1, -9, 14, bw + 1.5f, -2, 14, 1.1f, Chrome);
      parts.Block(9.5f, 17, 17, 3.2f, 7.5f, 6, 2.5f, body);
      parts.Block(-9.5f, 17, 17, 3.2f, 7.5f, 6, 2.5f, body);
      parts.LimbPair(9.5f, 11, 23.5f, 9.5f, 23, 23.5f, 0.7f, accent);
      parts.Plate(22, {{0, -28}, {0.55f * bw, -26.5f}, {bw + 1, -20}, {bw + 1, -9}, {-bw - 1, -9}, {-bw - 1, -20}, {-0.55f * bw, -26.5f}}, body);
      parts.Plate(29, {{0, -26}, {0.5f * bw, -24.5f}, {0.62f * bw, -18}, {-0.62f * bw, -18}, {-0.5f * bw, -24.5f}}, Screen);
      parts.Blob(0, -3, 25, 0.75f * bw, 7.5f, 5, body);
      parts.Block(0, 26, 24, 6.5f, 4.5f, 6, 2.5f, body);
      parts.Limb(-5, 26, 29, 5, 26, 29, 0.7f, accent);
      parts.Blob(0, 19.5f, 28, 4.5f, 1.6f, 2, SeatColor);
      parts.LimbPair(0.85f * bw, -26, 24, bw + 1, -11, 24, 0.9f, accent);
      break;
    case Fairing::Naked:
      parts.Blob(0, -23.5f, 22, 3.8f, 3.8f, 3.8f, Hex(0xFFF3B0));
      parts.Blob(0, -6, 25, bw, 8.5f, 6, body);
      parts.Limb(0, -12, 31, 0, 0, 31, 1.5f, accent);
      parts.Plate(24, {{-4, 10}, {4, 10}, {2.5f, 22}, {0, 24}, {-2.5f, 22}}, body);
      break;
    case Fairing::Supermoto:
      parts.Plate(21, {{0, -30}, {2.2f, -26}, {3, -17}, {-3, -17}, {-2.2f, -26}}, body);
      parts.Blob(0, -23, 24, 4.2f, 3.2f, 2, accent);
      parts.Plate(24, {{-bw, -14}, {bw, -14}, {bw * 0.7f, 0}, {-bw * 0.7f, 0}}, body);
      parts.Plate(24, {{-2.8f, 16}, {2.8f, 16}, {2.2f, 26}, {-2.2f, 26}}, accent);
      break;
  }
  const float seatLength = m.Style == Fairing::Supermoto ? 12.0f : (m.Style == Fairing::Tourer ? 9.0f : 6.5f);
  const float seatY = m.Style == Fairing::Supermoto ? 6.0f : 8.5f;
  parts.Blob(0, seatY, 24, m.Style == Fairing::Tourer ? 6.5f : 5.0f, seatLength, 3, SeatColor);
}

void AddHandlebars(PartList& parts, const BikeModel& m) {
  const float bar = m.BarWidth;
  parts.Limb(-bar, -13, 27, bar, -13, 27, 1.2f, Hex(0x2E2E33));
  parts.LimbPair(bar - 2.5f, -13, 27.5f, bar + 0.5f, -13, 27.5f, 2.1f, Glove);
  if (m.Style == Fairing::Naked || m.Style == Fairing::Supermoto || m.Style == Fairing::Tourer) {
    parts.Blob(bar + 1.0f, -17, 30, 1.8f, 1.4f, 1, Chrome);
    parts.Blob(-bar - 1.0f, -17, 30, 1.8f, 1.4f, 1, Chrome);
  }
}

// The rider in the saddle, crouched over the tank: a plain suit with darker hips, two shoulders,
// arms reaching forward to the grips and a round helmet with its visor to the front. The
// model's stripe stays on the bodywork, so the rider reads as a figure on the machine.
void AddRider(PartList& parts, const BikeModel& m) {
  const Rgba suit = Hex(m.Suit), helmet = Hex(m.Helmet);
  const float bar = m.BarWidth;
  parts.LimbPair(4.5f, 8, 24, 7.0f, -1, 21, 2.6f, Scale(suit, 0.85f));
  parts.LimbPair(7.0f, -1, 19, 6.0f, 10, 12, 2.1f, Glove);
  parts.Blob(0, 8, 27, 5.2f, 4.0f, 4, Scale(suit, 0.7f));
  parts.Blob(0, 2, 32, 5.8f, 7.0f, 5, suit);
  parts.Blob(5.2f, -2.5f, 34, 3.0f, 3.0f, 3, Scale(suit, 1.1f));
  parts.Blob(-5.2f, -2.5f, 34, 3.0f, 3.0f, 3, Scale(suit, 1.1f));
  parts.LimbPair(5.8f, -2.5f, 35, bar - 1.5f, -9, 30, 2.0f, suit);
  parts.LimbPair(bar - 1.5f, -9, 30, bar - 0.5f, -13, 29, 1.8f, Glove);
  parts.Blob(0, -7, 42, 5.4f, 5.4f, 5, helmet);
  const auto [gx, gy] = std::pair{-1.8f, -9.0f};
  parts.Blob(0, -10.8f, 44, 3.9f, 1.8f, 1, Visor, false);
  parts.Blob(gx, gy - 1.2f, 47, 1.1f, 0.8f, 1, Hex(0xFFFFFF, 0.7f), false);
}

float ModelScale(const BikeModel& m) { return (m.RiderHeight - 4) / 64.0f; }

// The bike with its rider on top, seen through `view`.
void PaintBike(Canvas& canvas, const BikeModel& m, const View& view) {
  PartList bike(view), rider(view);
  AddWheelsAndEngine(bike, m);
  AddBodywork(bike, m);
  AddHandlebars(bike, m);
  AddRider(rider, m);
  bike.Paint(canvas);
  rider.Paint(canvas);
}

// The soft shadow under a bike seen from above, the light falling from the upper left: the
// picture keeps its alpha, so the shadow is a blurred footprint at part opacity.
void RidingShadowAt(Canvas& canvas, const BikeModel& m, const View& view) {
  const float cx = view.Cx, cy = view.Cy, scale = view.Scale;
  const Shape footprint = Rotated(Union(Ellipse(cx, cy - 1 * scale, (m.BodyWidth + 3) * scale, 27 * scale),
                                        Ellipse(cx, cy - 13 * scale, m.BarWidth * scale, 3.5f * scale)),
                                  cx, cy, view.Turn);
  canvas.Shadow(footprint, 4 * scale, 5 * scale, 4 * scale, 0.5f);
}

Canvas DrawRiding(const BikeModel& m, float lean) {
  Canvas canvas(m.RiderWidth, m.RiderHeight);
  const float cx = m.RiderWidth * 0.5f, cy = m.RiderHeight * 0.5f;
  // No shadow in the picture: the race lays a soft one under every bike.
  PaintBike(canvas, m, View{cx, cy, ModelScale(m), lean, 0});
  return canvas;
}

// A rider thrown off, lying face down and turned by `turn`; `spread` 0..1 opens arms and legs.
void AddFallenRider(PartList& parts, const BikeModel& m, float spread) {
  const Rgba suit = Hex(m.Suit), helmet = Hex(m.Helmet);
  const float arm = 8 + 6 * spread, leg = 4 + 4 * spread;
  const Rgba limbs = Scale(suit, 0.85f);
  parts.LimbPair(3.5f, 7, 3, leg, 16, 3, 3.6f, limbs);          // thighs
  parts.LimbPair(leg, 16, 3, leg + 1.5f, 25, 3, 3.0f, limbs);   // shins
  parts.LimbPair(leg + 1.5f, 25, 3, leg + 2, 28.5f, 3, 2.6f, Glove);  // boots
  parts.LimbPair(6.5f, -5, 4, arm, -10 + 6 * spread, 4, 2.9f, suit);
  parts.LimbPair(arm, -10 + 6 * spread, 4, arm + 1, -17 + 8 * spread, 4, 2.6f, suit);
  parts.LimbPair(arm + 1, -17 + 8 * spread, 4, arm + 1.5f, -20 + 8 * spread, 4, 2.3f, Glove);
  parts.Blob(0, 6, 5, 5.5f, 4, 4, Scale(suit, 0.7f));
  parts.Blob(0, -1, 6, 7.5f, 8, 4, suit);
  parts.Blob(5.5f, -5.5f, 7, 3.2f, 3.2f, 3, Scale(suit, 1.1f));
  parts.Blob(-5.5f, -5.5f, 7, 3.2f, 3.2f, 3, Scale(suit, 1.1f));
  parts.Blob(0, -14, 8, 6, 6.2f, 5, helmet);
  parts.Blob(0, -18.5f, 9, 3.9f, 1.8f, 1, Visor, false);
}

}  // namespace

Canvas DrawLeanPattern(const BikeModel& model, int pattern, bool left) {
  const float t = pattern / static_cast<float>(LeanPatterns - 1);
  const float lean = DeepestLean + (LightestLean - DeepestLean) * t;
  return DrawRiding(model, left ? lean : -lean);
}

Canvas DrawUpright(const BikeModel& model) { return DrawRiding(model, 0); }

Canvas DrawCrashPattern(const BikeModel& m, int frame) {
  const float w = static_cast<float>(m.CrashWidth), h = static_cast<float>(m.CrashHeight);
  const float t = frame / static_cast<float>(m.CrashFrames - 1);
  const float s = ModelScale(m);
  Canvas canvas(m.CrashWidth, m.CrashHeight);

  // The bike slides ahead of where it fell, the rider rolls to a stop behind it.
  const float bikeStartY = h * 0.5f + 26 * s, bikeEndY = 36 * s;
  const float bikeY = bikeStartY + (bikeEndY - bikeStartY) * std::sqrt(t);
  const float riderStartY = h * 0.5f + 30 * s, riderEndY = h - 30 * s;
  const float riderY = riderStartY + (riderEndY - riderStartY) * std::sqrt(t);
  const float riderX = w * 0.5f + w * 0.14f * std::sin(t * 4.0f);

  View bikeView{w * 0.5f - 4, bikeY, s, 0.75f + 0.75f * std::min(1.0f, t * 3), 0.45f * std::sin(t * 3.2f)};
  PartList bike(bikeView);
  AddWheelsAndEngine(bike, m);
  AddBodywork(bike, m);
  AddHandlebars(bike, m);
  bike.Paint(canvas);

  View riderView{riderX, riderY, s, 0, 0.6f + t * 2 * Pi * 0.9f};
  PartList rider(riderView);
  AddFallenRider(rider, m, 0.5f + 0.5f * std::sin(t * 5.0f));
  rider.Paint(canvas);

  if (frame < m.CrashFrames - 1) {
    Prng sparks(static_cast<uint32_t>(frame * 7 + m.CrashFrames));
    for (int i = 0; i < 6; ++i) {
      const float sx = w * 0.5f + (sparks.Unit() - 0.5f) * 24 * s, sy = bikeY + 20 * s + sparks.Unit() * 18 * s;
      canvas.Fill(Circle(sx, sy, 1.4f), i % 2 ? Hex(0xFFE14D) : Hex(0xFF8A1F));
    }
  }
  return canvas;
}

void DrawBikeAt(Canvas& canvas, const BikeModel& m, float cx, float cy, float scale, float turn) {
  PaintBike(canvas, m, View{cx, cy, scale, 0.12f, turn});
}

Canvas DrawBikePreview(const BikeModel& m, int width, int height) {
  Canvas canvas(width, height);
  const float cx = width * 0.5f, cy = height * 0.46f;
  const float r = std::min(width, height) * 0.45f;
  const float ox = cx, oy = cy + 4, rx = r * 1.1f, ry = r * 0.95f;
  const Shape oval = Ellipse(ox, oy, rx, ry);
  canvas.Fill(oval, Radial(cx - r * 0.3f, cy - r * 0.4f, r * 1.6f, Hex(0x2A3C8F), Hex(0x0C1233)));
  canvas.Stroke(oval, 3, Hex(0x42FCCA));

  // The bike rides up and to the right, banked a little so its side shows, set forward in the
  // oval so that its speed lines have room behind it.
  constexpr float Turn = 1.15f, Bank = 0.35f, Ahead = 16;
  const float scale = rx * 1.4f / 64.0f;
  const float dx = std::sin(Turn), dy = -std::cos(Turn);  // direction of travel
  const float bx = cx + dx * Ahead, by = cy + 4 + dy * Ahead;
  // Speed lines trail behind it, parallel to its path and cut off by the oval.
  const Shape inside = Grow(oval, -6);
  for (int i = -2; i <= 2; ++i) {
    const float side = i * 7.5f * scale;
    const float back = 26 * scale + (i % 2 == 0 ? 0.0f : 8.0f);
    const float x0 = bx - dx * back - dy * side, y0 = by - dy * back + dx * side;
    canvas.Fill(Intersect(Capsule(x0, y0, x0 - dx * 80, y0 - dy * 80, i == 0 ? 2.0f : 1.5f), inside), Hex(0x42FCCA, 0.9f));
  }
  const View view{bx, by, scale, Bank, Turn};
  RidingShadowAt(canvas, m, view);
  PaintBike(canvas, m, view);

  TextStyle name;
  name.Size = 26;
  name.Fill = Linear(0, height - 30.0f, Hex(0xFFFFFF), 0, height - 8.0f, Hex(0xFFDE00));
  name.Outline = 2;
  name.OutlineColor = Hex(0x0A0E26);
  DrawText(canvas, m.Name, cx, height - 16.0f, Anchor::Center, name);
  return canvas;
}

}  // namespace art
