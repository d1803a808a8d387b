// Shading the back surface: what each operation darkens or tints, what it leaves alone, and that
// shapes running off the surface are clipped.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "sprites/sprites.h"

namespace {

constexpr uint16_t kGrey = RGB565(200, 200, 200);

int Red(uint16_t p) { return p >> 11; }

class Shading : public testing::Test {
protected:
  Shading() : surface(64, 48) { surface.Fill(kGrey); }
  uint16_t At(int x, int y) const { return surface.Row(y)[x]; }
  TDirectDrawSurface surface;
};

TEST_F(Shading, BlendRectTintsOnlyItsClippedRectangle) {
  BlendRect(&surface, TRect{-10, -10, 8, 8}, 0, 16);
  EXPECT_EQ(Red(At(0, 0)), Red(kGrey) / 2);
  EXPECT_EQ(Red(At(7, 7)), Red(kGrey) / 2);
  EXPECT_EQ(At(8, 8), kGrey);
  BlendRect(&surface, TRect{20, 20, 30, 30}, RGB565(255, 0, 0), 32);
  EXPECT_EQ(At(25, 25), RGB565(255, 0, 0));
}

TEST_F(Shading, SoftShadowIsDarkestInsideAndFadesToNothingAtTheRim) {
  DrawSoftShadow(&surface, 32, 24, 10, 20, 0, 16);
  EXPECT_EQ(Red(At(32, 24)), Red(kGrey) / 2);
  EXPECT_GT(Red(At(32, 41)), Red(At(32, 24)));  // near the rim along the ellipse
  EXPECT_LT(Red(At(32, 41)), Red(kGrey));
  EXPECT_EQ(At(32 + 11, 24), kGrey);           // beyond the rim across it
  EXPECT_EQ(At(0, 0), kGrey);
}

TEST_F(Shading, TurnedShadowLiesAlongItsHeading) {
  DrawSoftShadow(&surface, 32, 24, 4, 16, 3.14159265 / 2, 16);  // a quarter turn: along x
  EXPECT_LT(Red(At(32 + 10, 24)), Red(kGrey));
  EXPECT_EQ(At(32, 24 + 10), kGrey);
}

TEST_F(Shading, RingLeavesItsMiddleAndDiscFillsIt) {
  DrawEllipseRing(&surface, 32, 24, 10, 10, 0, 2, RGB565(0, 0, 0), 32);
  EXPECT_EQ(At(32, 24), kGrey);
  EXPECT_EQ(At(32 + 10, 24), 0);
  DrawDisc(&surface, 32, 24, 5, RGB565(255, 0, 0), 32);
  EXPECT_EQ(At(32, 24), RGB565(255, 0, 0));
  EXPECT_EQ(At(32 + 7, 24), kGrey);
}

// Each pixel of the surface worked out alone from its centre's distance to the ellipse's, in radii:
// the drawings visit only the columns an ellipse can reach (and skip a ring's middle), and must
// still shade exactly these pixels by exactly these amounts.
struct TEllipseCase {
  double cx, cy, rx, ry, radians;
};

template <typename Shade>
void ShadeEveryPixel(TDirectDrawSurface& s, const TEllipseCase& e, double grow, Shade shade) {
  const double c = std::cos(e.radians), sn = std::sin(e.radians);
  for (int y = 0; y < s.Height(); ++y)
    for (int x = 0; x < s.Width(); ++x) {
      const double px = x + 0.5 - e.cx, py = y + 0.5 - e.cy;
      const double u = px * (c / e.rx) + py * (sn / e.rx), v = px * (-sn / e.ry) + py * (c / e.ry);
      const double d2 = u * u + v * v;
      if (d2 < grow * grow) shade(s.Row(y)[x], std::sqrt(d2));
    }
}

TEST_F(Shading, ShadowsAndRingsShadeEachPixelByItsDistance) {
  constexpr TEllipseCase kCases[] = {{32, 24, 10, 20, 0},      {31.5, 23.25, 13.9, 28.6, 0.7}, {5, 40, 19, 8, 2.2},
                                     {60, 3, 3, 30, -1.1},     {32, 24, 1, 1, 0.3},            {20.2, 30.9, 40, 12, 1.5708}};
  for (const TEllipseCase& e : kCases) {
    SCOPED_TRACE(testing::Message() << e.cx << "," << e.cy << " radii " << e.rx << "," << e.ry << " turned " << e.radians);
    TDirectDrawSurface want(64, 48);
    for (int i = 0; i < 64 * 48; ++i) want.Pixels()[i] = surface.Pixels()[i] = static_cast<uint16_t>(i * 2654435761u >> 9);
    DrawSoftShadow(&surface, e.cx, e.cy, e.rx, e.ry, e.radians, 17);
    ShadeEveryPixel(want, e, 1, [](uint16_t& p, double d) {
      const int shade = static_cast<int>(15 * std::min(1.0, 2 * (1 - d)) + 0.5);
      const uint32_t spread = (p | (static_cast<uint32_t>(p) << 16)) & 0x07E0F81Fu, dark = (spread * (32 - shade) >> 5) & 0x07E0F81Fu;
      p = static_cast<uint16_t>(dark | (dark >> 16));
    });
    constexpr double kThickness = 2.5;
    const double mean = (e.rx + e.ry) / 2;
    constexpr uint16_t kRing = RGB565(66, 252, 202);
    DrawEllipseRing(&surface, e.cx, e.cy, e.rx, e.ry, e.radians, kThickness, kRing, 26);
    ShadeEveryPixel(want, e, 1 + (kThickness / 2 + 1) / std::min(e.rx, e.ry), [&](uint16_t& p, double d) {
      const double cover = std::clamp(kThickness / 2 + 0.5 - std::abs(d - 1) * mean, 0.0, 1.0);
      const uint32_t a = static_cast<uint32_t>(26 * cover + 0.5);
      const uint32_t src = (kRing | (static_cast<uint32_t>(kRing) << 16)) & 0x07E0F81Fu;
      const uint32_t dst = (p | (static_cast<uint32_t>(p) << 16)) & 0x07E0F81Fu;
      const uint32_t mix = (dst + (((src - dst) * a) >> 5)) & 0x07E0F81Fu;
      p = static_cast<uint16_t>(mix | (mix >> 16));
    });
    for (int y = 0; y < 48; ++y)
      for (int x = 0; x < 64; ++x) ASSERT_EQ(At(x, y), want.Row(y)[x]) << x << "," << y;
  }
}

TEST_F(Shading, ShapesOffTheSurfaceOrWithoutOneDrawNothing) {
  DrawSoftShadow(&surface, -100, -100, 10, 20, 1, 0);
  DrawEllipseRing(&surface, 500, 24, 10, 10, 0, 2, 0, 32);
  DrawDisc(&surface, 32, 1000, 5, 0, 32);
  DrawSoftShadow(nullptr, 32, 24, 10, 20, 0, 0);
  BlendRect(nullptr, TRect{0, 0, 10, 10}, 0, 32);
  for (int y = 0; y < surface.Height(); ++y)
    for (int x = 0; x < surface.Width(); ++x) ASSERT_EQ(At(x, y), kGrey);
}

}  // namespace
