// Shading the back surface: tinting a rectangle, soft shadows, rings and discs.
#include <algorithm>
#include <cmath>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "sprites/sprites.h"

namespace {

// A 565 pixel spread so that one multiply scales its three channels (5 bits of headroom each).
constexpr uint32_t kSpreadMask = 0x07E0F81Fu;

constexpr uint32_t Spread(uint16_t p) { return (p | (static_cast<uint32_t>(p) << 16)) & kSpreadMask; }
constexpr uint16_t Packed(uint32_t s) { return static_cast<uint16_t>((s & kSpreadMask) | ((s & kSpreadMask) >> 16)); }

inline uint16_t Darkened(uint16_t p, uint32_t keep32) { return Packed(Spread(p) * keep32 >> 5); }

inline uint16_t Blended(uint32_t srcSpread, uint16_t dst, uint32_t a32) {
  const uint32_t d = Spread(dst);
  return Packed(d + (((srcSpread - d) * a32) >> 5));
}

TRect Clipped(const TDirectDrawSurface& s, TRect r) {
  r.Left = std::max(r.Left, 0);
  r.Top = std::max(r.Top, 0);
  r.Right = std::min(r.Right, s.Width());
  r.Bottom = std::min(r.Bottom, s.Height());
  return r;
}

// Two pixels' doubles worked on at once (SSE2 where there is one), each rounded as plain double
// arithmetic rounds it.
#if defined(__SSE2__)
using TPair = __m128d;
inline TPair Splat(double v) { return _mm_set1_pd(v); }
inline TPair Sqrt(TPair v) { return _mm_sqrt_pd(v); }
inline TPair Abs(TPair v) { return _mm_andnot_pd(_mm_set1_pd(-0.0), v); }
inline TPair Min(TPair a, TPair b) { return _mm_min_pd(b, a); }  // std::min: (b < a) ? b : a
inline TPair Max(TPair a, TPair b) { return _mm_max_pd(b, a); }  // std::max: (a < b) ? b : a
// The lanes where a < b kept, the others 0.
inline TPair WhereLess(TPair a, TPair b, TPair v) { return _mm_and_pd(_mm_cmplt_pd(a, b), v); }
// Both lanes truncated toward zero, as static_cast<int> does.
inline void Truncate(TPair v, int out[2]) {
  const __m128i i = _mm_cvttpd_epi32(v);
  out[0] = _mm_cvtsi128_si32(i);
  out[1] = _mm_cvtsi128_si32(_mm_shuffle_epi32(i, 1));
}
#else
struct TPair {
  double v[2];
};
inline TPair Lanes(TPair a, TPair b, double (*f)(double, double)) { return TPair{{f(a.v[0], b.v[0]), f(a.v[1], b.v[1])}}; }
inline TPair operator+(TPair a, TPair b) { return Lanes(a, b, [](double x, double y) { return x + y; }); }
inline TPair operator-(TPair a, TPair b) { return Lanes(a, b, [](double x, double y) { return x - y; }); }
inline TPair operator*(TPair a, TPair b) { return Lanes(a, b, [](double x, double y) { return x * y; }); }
inline TPair Splat(double v) { return TPair{{v, v}}; }
inline TPair Sqrt(TPair v) { return TPair{{std::sqrt(v.v[0]), std::sqrt(v.v[1])}}; }
inline TPair Abs(TPair v) { return TPair{{std::abs(v.v[0]), std::abs(v.v[1])}}; }
inline TPair Min(TPair a, TPair b) { return Lanes(a, b, [](double x, double y) { return std::min(x, y); }); }
inline TPair Max(TPair a, TPair b) { return Lanes(a, b, [](double x, double y) { return std::max(x, y); }); }
inline TPair WhereLess(TPair a, TPair b, TPair v) {
  return TPair{{a.v[0] < b.v[0] ? v.v[0] : 0.0, a.v[1] < b.v[1] ? v.v[1] : 0.0}};
}
inline void Truncate(TPair v, int out[2]) {
  out[0] = static_cast<int>(v.v[0]);
  out[1] = static_cast<int>(v.v[1]);
}
#endif
inline TPair Pair(double a, double b) { return TPair{a, b}; }

// The columns of a row where a quadratic a t^2 + b t + k in the pixel centre's offset t = x + 0.5 - cx
// (a > 0) can fall below `bound`, widened by one pixel on each side: far more than rounding can
// move it (the quadratic changes by at least a over a pixel beyond its roots).
struct TColumns {
  int From, To;  // [From, To), within [left, right)
};

TColumns ColumnsBelow(double a, double b, double k, double bound, double cx, int left, int right) {
  const double middle = -b / (2 * a), half = std::sqrt(std::max(0.0, b * b - 4 * a * (k - bound))) / (2 * a);
  const double from = std::floor(cx - 0.5 + middle - half) - 1, to = std::floor(cx - 0.5 + middle + half) + 2;
  if (!(from <= to)) return TColumns{left, right};  // not a number: every column
  return TColumns{static_cast<int>(std::clamp<double>(from, left, right)), static_cast<int>(std::clamp<double>(to, left, right))};
}

// The columns of a row surely below `bound` by the same margin (empty when there are none).
TColumns ColumnsSurelyBelow(double a, double b, double k, double bound, double cx, int left, int right) {
  const double disc = b * b - 4 * a * (k - bound);
  if (!(disc > 0)) return TColumns{left, left};
  const double middle = -b / (2 * a), half = std::sqrt(disc) / (2 * a);
  const double from = std::ceil(cx - 0.5 + middle - half) + 1, to = std::floor(cx - 0.5 + middle + half);
  if (!(from < to)) return TColumns{left, left};
  return TColumns{static_cast<int>(std::clamp<double>(from, left, right)), static_cast<int>(std::clamp<double>(to, left, right))};
}

// Shades every pixel whose centre lies within `grow` times the ellipse (radii rx across, ry along,
// turned clockwise by `radians` about (cx, cy)), two pixels at a time: shape.Weight(d2) gives a
// pixel's weight plus a fraction (truncated) from the square of its distance from the centre in
// radii (1 on the ellipse), and shape.Put(pixel, weight) puts it on; weight 0 leaves the pixel as
// it is. Pixels surely within `hole` times the ellipse (0 <= hole < grow) must weigh 0 and may be
// left out. Each row visits only the columns its ellipse can reach.
template <typename Shape>
void ShadeEllipse(TDirectDrawSurface& surface, double cx, double cy, double rx, double ry, double radians, double grow,
                  double hole, const Shape& shape) {
  const double c = std::cos(radians), s = std::sin(radians);
  const double hx = grow * std::hypot(rx * c, ry * s), hy = grow * std::hypot(rx * s, ry * c);
  const TRect r = Clipped(surface, TRect{static_cast<int>(std::floor(cx - hx)), static_cast<int>(std::floor(cy - hy)),
                                         static_cast<int>(std::ceil(cx + hx)) + 1, static_cast<int>(std::ceil(cy + hy)) + 1});
  const double ux = c / rx, uy = s / rx, vx = -s / ry, vy = c / ry, limit = grow * grow;
  // Along a row, d2 = a t^2 + b t + k in t = x + 0.5 - cx.
  const double a = ux * ux + vx * vx, cross = 2 * (ux * uy + vx * vy), along = uy * uy + vy * vy;
  const auto visit = [&](uint16_t* row, double py, int from, int to) {
    const TPair pyu = Splat(py * uy), pyv = Splat(py * vy);
    for (int x = from; x < to; x += 2) {
      const TPair px = Pair(x + 0.5 - cx, (x + 1) + 0.5 - cx);
      const TPair u = px * Splat(ux) + pyu, v = px * Splat(vx) + pyv;
      const TPair d2 = u * u + v * v;
      int w[2];
      Truncate(WhereLess(d2, Splat(limit), shape.Weight(d2)), w);
      shape.Put(row[x], w[0]);
      if (x + 1 < to) shape.Put(row[x + 1], w[1]);
    }
  };
  for (int y = r.Top; y < r.Bottom; ++y) {
    uint16_t* row = surface.Row(y);
    const double py = y + 0.5 - cy, b = cross * py, k = along * py * py;
    const TColumns span = ColumnsBelow(a, b, k, limit, cx, r.Left, r.Right);
    const TColumns gap = hole > 0 ? ColumnsSurelyBelow(a, b, k, hole * hole, cx, span.From, span.To) : TColumns{span.From, span.From};
    if (gap.From >= gap.To) {
      visit(row, py, span.From, span.To);
    } else {
      visit(row, py, span.From, gap.From);
      visit(row, py, gap.To, span.To);
    }
  }
}

// Darkening by a shade of 0..32 (0 keeps the pixel).
struct TDarken {
  static void Put(uint16_t& p, int shade) { p = Darkened(p, static_cast<uint32_t>(32 - shade)); }
};

// Blending `Src` (spread) at opacity 0..32 (0 keeps the pixel).
struct TTint {
  uint32_t Src;
  void Put(uint16_t& p, int a) const { p = Blended(Src, p, static_cast<uint32_t>(a)); }
};

}  // namespace

void BlendRect(TDirectDrawSurface* surface, const TRect& rect, uint16_t color, int opacity32) {
  if (surface == nullptr) return;
  const TRect r = Clipped(*surface, rect);
  const uint32_t src = Spread(color), a = static_cast<uint32_t>(std::clamp(opacity32, 0, 32));
  for (int y = r.Top; y < r.Bottom; ++y) {
    uint16_t* row = surface->Row(y);
    for (int x = r.Left; x < r.Right; ++x) row[x] = Blended(src, row[x], a);
  }
}

void DrawSoftShadow(TDirectDrawSurface* surface, double cx, double cy, double rx, double ry, double radians,
                    int keep32) {
  if (surface == nullptr || rx < 1 || ry < 1) return;
  struct TShadow : TDarken {
    double Depth;
    // Full depth out to half the radii, then fading to nothing at the rim.
    TPair Weight(TPair d2) const { return Splat(Depth) * Min(Splat(1.0), Splat(2) * (Splat(1) - Sqrt(d2))) + Splat(0.5); }
  };
  ShadeEllipse(*surface, cx, cy, rx, ry, radians, 1.0, 0.0, TShadow{{}, 32.0 - std::clamp(keep32, 0, 32)});
}

void DrawEllipseRing(TDirectDrawSurface* surface, double cx, double cy, double rx, double ry, double radians,
                     double thickness, uint16_t color, int opacity32) {
  if (surface == nullptr || rx < 1 || ry < 1 || thickness <= 0) return;
  struct TRing : TTint {
    double Opacity, Mean, Half;
    // Covered by how much of it lies within Half of the ring's middle, Mean * |d - 1| pixels off.
    TPair Weight(TPair d2) const {
      const TPair off = Abs(Sqrt(d2) - Splat(1)) * Splat(Mean);
      return Splat(Opacity) * Min(Max(Splat(Half + 0.5) - off, Splat(0.0)), Splat(1.0)) + Splat(0.5);
    }
  };
  const TRing ring{{Spread(color)}, static_cast<double>(std::clamp(opacity32, 0, 32)), (rx + ry) / 2, thickness / 2};
  // Inside `hole` times the ellipse a pixel lies Half + 0.5 or more from the ring's middle: untouched.
  const double hole = std::max(0.0, 1 - (ring.Half + 0.5) / ring.Mean);
  ShadeEllipse(*surface, cx, cy, rx, ry, radians, 1 + (ring.Half + 1) / std::min(rx, ry), hole, ring);
}

void DrawDisc(TDirectDrawSurface* surface, double cx, double cy, double r, uint16_t color, int opacity32) {
  if (surface == nullptr || r < 0.5) return;
  struct TDisc : TTint {
    double Opacity, Radius;
    // Opaque to within half a pixel of the rim, fading over the pixel across it.
    TPair Weight(TPair d2) const {
      return Splat(Opacity) * Min(Max((Splat(1) - Sqrt(d2)) * Splat(Radius) + Splat(0.5), Splat(0.0)), Splat(1.0)) + Splat(0.5);
    }
  };
  ShadeEllipse(*surface, cx, cy, r, r, 0, 1 + 0.5 / r, 0.0, TDisc{{Spread(color)}, static_cast<double>(std::clamp(opacity32, 0, 32)), r});
}
