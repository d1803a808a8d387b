// Shading the back surface: what each operation darkens or tints, what it leaves alone, and that
// shapes running off the surface are clipped.
#include <gtest/gtest.h>

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
