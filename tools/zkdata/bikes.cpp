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
  parts.Block(0, 20.5f, 10, tw + 0.6f, 10.5f, 10 * side, corner, Tyre);
  parts.Block(0, -21.5f, 10, tw, 10, 10 * side, corner, Tyre);
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
      parts.Block(12.5f, 16, 16, 4.5f, 8, 6, 2.5f, Scale(body, 0.85f));
      parts.Block(-12.5f, 16, 16, 4.5f, 8, 6, 2.5f, Scale(body, 0.85f));
      parts.Plate(22, {{0, -27}, {0.7f * bw, -24}, {bw, -16}, {bw, -8}, {-bw, -8}, {-bw, -16}, {-0.7f * bw, -24}}, body);
      parts.Blob(0, -17, 30, 0.6f * bw, 4, 3, Screen);
      parts.Blob(0, -3, 25, 0.7f * bw, 7.5f, 5, body);
      parts.Block(0, 24, 22, 6, 4.5f, 5, 2, accent);
      parts.LimbPair(0.8f * bw, -24, 24, bw, -10, 24, 1.0f, accent);
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

// The rider in the saddle, crouched over the tank with the hands on the grips.
void AddRider(PartList& parts, const BikeModel& m) {
  const Rgba suit = Hex(m.Suit), helmet = Hex(m.Helmet);
  const Rgba stripe = m.Helmet == m.Body ? Hex(m.Accent) : Hex(m.Body);
  const float bar = m.BarWidth;
  parts.LimbPair(4.5f, 8, 24, 7.0f, -1, 21, 2.6f, suit);
  parts.LimbPair(7.0f, -1, 19, 6.0f, 10, 12, 2.1f, Glove);
  parts.Blob(0, 8, 27, 5.2f, 4.0f, 4, Scale(suit, 0.8f));
  parts.LimbPair(5.5f, -3, 33, bar - 1.5f, -9, 30, 2.0f, suit);
  parts.LimbPair(bar - 1.5f, -9, 30, bar - 0.5f, -13, 29, 1.8f, Glove);
  parts.Blob(0, 1.5f, 33, 6.5f, 7.5f, 6, suit);
  parts.Limb(0, -3, 36, 0, 7, 36, 1.3f, Hex(m.Accent));
  parts.Blob(0, -6, 42, 5.6f, 5.9f, 5, helmet);
  parts.Limb(0, -10.5f, 47, 0, -1.5f, 47, 1.2f, stripe);
  parts.Blob(0, -9.6f, 46, 3.8f, 1.6f, 1, Visor, false);
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

Canvas DrawRiding(const BikeModel& m, float lean) {
  Canvas canvas(m.RiderWidth, m.RiderHeight);
  PaintBike(canvas, m, View{m.RiderWidth * 0.5f, m.RiderHeight * 0.5f, ModelScale(m), lean, 0});
  return canvas;
}

// A rider thrown off, lying face down and turned by `turn`; `spread` 0..1 opens arms and legs.
void AddFallenRider(PartList& parts, const BikeModel& m, float spread) {
  const Rgba suit = Hex(m.Suit), helmet = Hex(m.Helmet);
  const float arm = 8 + 6 * spread, leg = 4 + 4 * spread;
  parts.LimbPair(4, 6, 3, leg, 22, 3, 3.0f, suit);
  parts.LimbPair(leg, 22, 3, leg + 1, 27, 3, 2.6f, Glove);
  parts.LimbPair(6, -6, 4, arm, -14 + 6 * spread, 4, 2.4f, suit);
  parts.LimbPair(arm, -14 + 6 * spread, 4, arm + 1, -18 + 7 * spread, 4, 2.2f, Glove);
  parts.Blob(0, 0, 5, 7, 9, 4, suit);
  parts.Limb(0, -6, 7, 0, 6, 7, 1.4f, Hex(m.Accent));
  parts.Blob(0, -14, 8, 6, 6.2f, 5, helmet);
  parts.Blob(0, -18.5f, 9, 3.6f, 1.6f, 1, Visor, false);
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

  // Scrape mark from the fall to the bike.
  canvas.Fill(Capsule(w * 0.5f, riderStartY, w * 0.5f - 4, bikeY + 8 * s, 1.2f), Hex(0x34343A));

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
  canvas.Fill(Ellipse(cx, cy + 4, r * 1.1f, r * 0.95f), Radial(cx - r * 0.3f, cy - r * 0.4f, r * 1.6f, Hex(0x2A3C8F), Hex(0x0C1233)));
  canvas.Stroke(Ellipse(cx, cy + 4, r * 1.1f, r * 0.95f), 3, Hex(0x42FCCA));
  for (int i = 0; i < 3; ++i) {
    const float y = cy - 40 + i * 22.0f;
    canvas.Fill(Capsule(cx - r * 0.95f, y, cx - r * 0.45f, y, 1.5f), Hex(0x42FCCA, 0.9f));
  }

  DrawBikeAt(canvas, m, cx + 6, cy, (r * 1.7f) / 64.0f, 0.55f);

  TextStyle name;
  name.Size = 26;
  name.Fill = Linear(0, height - 30.0f, Hex(0xFFFFFF), 0, height - 8.0f, Hex(0xFFDE00));
  name.Outline = 2;
  name.OutlineColor = Hex(0x0A0E26);
  DrawText(canvas, m.Name, cx, height - 16.0f, Anchor::Center, name);
  return canvas;
}

}  // namespace art
