// Shading the back surface: tinting a rectangle, soft shadows, rings and discs.
#include <algorithm>
#include <cmath>

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

// Calls f(pixel, d) for every pixel whose centre lies within `grow` times the ellipse (radii rx
// across, ry along, turned clockwise by `radians` about (cx, cy)); d is the pixel's distance from
// the centre in radii (1 on the ellipse).
template <typename F>
void ForEachInEllipse(TDirectDrawSurface& surface, double cx, double cy, double rx, double ry, double radians,
                      double grow, F&& f) {
  const double c = std::cos(radians), s = std::sin(radians);
  const double hx = grow * std::hypot(rx * c, ry * s), hy = grow * std::hypot(rx * s, ry * c);
  const TRect r = Clipped(surface, TRect{static_cast<int>(std::floor(cx - hx)), static_cast<int>(std::floor(cy - hy)),
                                         static_cast<int>(std::ceil(cx + hx)) + 1, static_cast<int>(std::ceil(cy + hy)) + 1});
  const double ux = c / rx, uy = s / rx, vx = -s / ry, vy = c / ry, limit = grow * grow;
  for (int y = r.Top; y < r.Bottom; ++y) {
    uint16_t* row = surface.Row(y);
    const double py = y + 0.5 - cy;
    for (int x = r.Left; x < r.Right; ++x) {
      const double px = x + 0.5 - cx;
      const double u = px * ux + py * uy, v = px * vx + py * vy;
      const double d2 = u * u + v * v;
      if (d2 < limit) f(row[x], std::sqrt(d2));
    }
  }
}

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
  const double depth = 32 - std::clamp(keep32, 0, 32);
  ForEachInEllipse(*surface, cx, cy, rx, ry, radians, 1.0, [depth](uint16_t& p, double d) {
    const int shade = static_cast<int>(depth * std::min(1.0, 2 * (1 - d)) + 0.5);
    if (shade > 0) p = Darkened(p, static_cast<uint32_t>(32 - shade));
  });
}

void DrawEllipseRing(TDirectDrawSurface* surface, double cx, double cy, double rx, double ry, double radians,
                     double thickness, uint16_t color, int opacity32) {
  if (surface == nullptr || rx < 1 || ry < 1 || thickness <= 0) return;
  const uint32_t src = Spread(color);
  const double opacity = std::clamp(opacity32, 0, 32), mean = (rx + ry) / 2, half = thickness / 2;
  ForEachInEllipse(*surface, cx, cy, rx, ry, radians, 1 + (half + 1) / std::min(rx, ry),
                   [&](uint16_t& p, double d) {
                     const double off = std::abs(d - 1) * mean;  // pixels from the ring's middle
                     const double cover = std::clamp(half + 0.5 - off, 0.0, 1.0);
                     const int a = static_cast<int>(opacity * cover + 0.5);
                     if (a > 0) p = Blended(src, p, static_cast<uint32_t>(a));
                   });
}

void DrawDisc(TDirectDrawSurface* surface, double cx, double cy, double r, uint16_t color, int opacity32) {
  if (surface == nullptr || r < 0.5) return;
  const uint32_t src = Spread(color);
  const double opacity = std::clamp(opacity32, 0, 32);
  ForEachInEllipse(*surface, cx, cy, r, r, 0, 1 + 0.5 / r, [&](uint16_t& p, double d) {
    const int a = static_cast<int>(opacity * std::clamp((1 - d) * r + 0.5, 0.0, 1.0) + 0.5);
    if (a > 0) p = Blended(src, p, static_cast<uint32_t>(a));
  });
}
