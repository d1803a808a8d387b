// Internal to the platform layer: RGB565 pixel arithmetic and the angle table shared by the
// pattern and text drawing code.
#pragma once

#include <array>
#include <cstdint>

// ---------------------------------------------------------------------------------------------
// Blending. A 565 pixel is spread to 0b00000GGGGGG00000RRRRR000000BBBBB so that one 32-bit
// multiply scales all three channels at once with 5 bits of headroom above each.
// ---------------------------------------------------------------------------------------------

constexpr uint32_t kSpread565Mask = 0x07E0F81Fu;

constexpr uint32_t Spread565(uint16_t p) { return (p | (static_cast<uint32_t>(p) << 16)) & kSpread565Mask; }

constexpr uint16_t Pack565(uint32_t spread) {
  spread &= kSpread565Mask;
  return static_cast<uint16_t>(spread | (spread >> 16));
}

// Opacity 0..255 in the 0..32 scale the blend uses (0 stays 0, 255 becomes 32).
constexpr uint32_t Alpha32(int alpha255) { return static_cast<uint32_t>((alpha255 * 32 + 127) / 255); }

// dst + (src - dst) * a32 / 32 per channel; a32 in 0..32.
constexpr uint16_t Blend565(uint32_t srcSpread, uint16_t dst, uint32_t a32) {
  const uint32_t d = Spread565(dst);
  return Pack565(d + (((srcSpread - d) * a32) >> 5));
}

// ---------------------------------------------------------------------------------------------
// Angles: 256 units per full turn. Cos256[i] = cos(i * 2pi / 256), built at compile time with
// exact zeros and ones on the axes.
// ---------------------------------------------------------------------------------------------

namespace draw_detail {

constexpr double kPi = 3.14159265358979323846;

// Taylor series, accurate to double precision for |t| <= pi/4.
constexpr double TaylorCos(double t) {
  double term = 1, sum = 1;
  for (int n = 1; n < 20; ++n) {
    term *= -t * t / ((2 * n - 1) * (2 * n));
    sum += term;
  }
  return sum;
}
constexpr double TaylorSin(double t) {
  double term = t, sum = t;
  for (int n = 1; n < 20; ++n) {
    term *= -t * t / ((2 * n) * (2 * n + 1));
    sum += term;
  }
  return sum;
}

// First quadrant, i in 0..64.
constexpr double QuadrantCos(int i) {
  const double step = 2 * kPi / 256;
  return i <= 32 ? TaylorCos(i * step) : TaylorSin((64 - i) * step);
}

constexpr std::array<double, 256> MakeCosTable() {
  std::array<double, 256> t{};
  for (int i = 0; i < 256; ++i) {
    const int q = i & 127;  // cos(i + 128) = -cos(i)
    const double c = q <= 64 ? QuadrantCos(q) : -QuadrantCos(128 - q);
    t[i] = i < 128 ? c : -c;
  }
  return t;
}

}  // namespace draw_detail

inline constexpr std::array<double, 256> Cos256 = draw_detail::MakeCosTable();

constexpr double CosAngle(int angle) { return Cos256[angle & 255]; }
constexpr double SinAngle(int angle) { return Cos256[(angle - 64) & 255]; }
