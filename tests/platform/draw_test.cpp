// Pattern layout of image-list items and the three pattern drawing operations on the 16-bit surface.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <string>

#include "platform/draw_pixel.h"
#include "platform/platform.h"

namespace {

// ---------------------------------------------------------------------------------------------
// Pattern geometry
// ---------------------------------------------------------------------------------------------

struct GeometryCase {
  const char* name;
  int picW, picH, patW, patH, skipW, skipH;
  int count;
  int n;           // pattern asked for
  TRect rect;      // its rectangle (empty when n is out of range)
};

constexpr GeometryCase kGeometry[] = {
    {"three 32x32 in a row", 96, 32, 32, 32, 0, 0, 3, 2, {64, 0, 96, 32}},
    {"skip 2 between 30-wide columns", 94, 30, 30, 0, 2, 0, 3, 2, {64, 0, 94, 30}},
    {"skip 2, middle column", 94, 30, 30, 0, 2, 0, 3, 1, {32, 0, 62, 30}},
    {"zero pattern size is the whole picture", 50, 20, 0, 0, 0, 0, 1, 0, {0, 0, 50, 20}},
    {"grid row-major", 64, 64, 32, 32, 0, 0, 4, 3, {32, 32, 64, 64}},
    {"vertical skip", 10, 23, 10, 10, 0, 3, 2, 1, {0, 13, 10, 23}},
    {"partial cell at the edge is not a pattern", 70, 32, 32, 32, 0, 0, 2, 2, {}},
    {"pattern wider than the picture", 20, 20, 30, 20, 0, 0, 0, 0, {}},
    {"negative skips read as no gap", 64, 32, 32, 32, -40, -40, 2, 1, {32, 0, 64, 32}},
    {"no picture", 0, 0, 0, 0, 0, 0, 0, 0, {}},
    {"no picture with a pattern size", 0, 0, 16, 16, 4, 4, 0, 0, {}},
    {"negative index", 96, 32, 32, 32, 0, 0, 3, -1, {}},
    {"huge skip", 96, 32, 32, 32, INT_MAX, INT_MAX, 1, 0, {0, 0, 32, 32}},
};

class PatternGeometry : public ::testing::TestWithParam<GeometryCase> {};

TEST_P(PatternGeometry, CountAndRectangle) {
  const GeometryCase& c = GetParam();
  TPictureCollectionItem item;
  item.Picture.Width = c.picW;
  item.Picture.Height = c.picH;
  item.PatternWidth = c.patW;
  item.PatternHeight = c.patH;
  item.SkipWidth = c.skipW;
  item.SkipHeight = c.skipH;
  EXPECT_EQ(item.PatternCount(), c.count);
  const TRect r = item.PatternRect(c.n);
  EXPECT_EQ(r.Left, c.rect.Left);
  EXPECT_EQ(r.Top, c.rect.Top);
  EXPECT_EQ(r.Right, c.rect.Right);
  EXPECT_EQ(r.Bottom, c.rect.Bottom);
}

INSTANTIATE_TEST_SUITE_P(Table, PatternGeometry, ::testing::ValuesIn(kGeometry),
                         [](const auto& info) {
                           std::string s = info.param.name;
                           for (char& ch : s) if (!isalnum(static_cast<unsigned char>(ch))) ch = '_';
                           return s;
                         });

TEST(PatternGeometry, EffectiveSizeFallsBackToThePicture) {
  TPictureCollectionItem item;
  item.Picture.Width = 40;
  item.Picture.Height = 30;
  EXPECT_EQ(item.Width(), 40);
  EXPECT_EQ(item.Height(), 30);
  item.PatternWidth = 8;
  item.PatternHeight = 6;
  EXPECT_EQ(item.Width(), 8);
  EXPECT_EQ(item.Height(), 6);
}

// ---------------------------------------------------------------------------------------------
// Drawing fixtures. Pattern pixels carry their own coordinates in their colour, so every drawn
// pixel tells where it came from; magenta is the key.
// ---------------------------------------------------------------------------------------------

constexpr uint32_t kKeyRGB = 0xFF00FF;
constexpr uint32_t kKeyColorRef = 0xFF00FF;  // 0x00BBGGRR of magenta
constexpr uint16_t kKey565 = RGB565(255, 0, 255);
constexpr uint16_t kBackground = RGB565(0, 0, 40);

constexpr uint32_t CoordRGB(int x, int y) {
  return (static_cast<uint32_t>(x * 8) << 16) | (static_cast<uint32_t>(y * 4) << 8) | 0x80;
}
constexpr uint16_t Coord565(int x, int y) { return RGB888To565(CoordRGB(x, y)); }

// A picture of `cols` x `rows` patterns of pw x ph; pattern pixel (x, y) of every pattern has the
// colour of its coordinates within the pattern, except where `keyed` says it is the key colour.
TPictureCollectionItem MakeItem(int pw, int ph, int cols, int rows, bool transparent,
                                const std::function<bool(int, int)>& keyed) {
  TPictureCollectionItem item;
  item.Picture.Width = pw * cols;
  item.Picture.Height = ph * rows;
  item.Picture.BitsPerPixel = 24;
  item.Picture.Pixels.resize(static_cast<size_t>(item.Picture.Width) * item.Picture.Height);
  for (int y = 0; y < item.Picture.Height; ++y)
    for (int x = 0; x < item.Picture.Width; ++x)
      item.Picture.Pixels[y * item.Picture.Width + x] = keyed(x % pw, y % ph) ? kKeyRGB : CoordRGB(x % pw, y % ph);
  item.PatternWidth = pw;
  item.PatternHeight = ph;
  item.Transparent = transparent;
  item.TransparentColor = kKeyColorRef;
  item.Prepare();
  return item;
}

// Key pixels on the diagonal and in the top-right corner: runs of every kind in a small pattern.
bool DiagonalKey(int x, int y) { return x == y || (x >= 5 && y == 0); }

TDirectDrawSurface MakeSurface(int w, int h) {
  TDirectDrawSurface s(w, h);
  s.Fill(kBackground);
  return s;
}

// Where a surface differs from `expected(x, y)`, as readable text (empty when equal).
std::string Differences(const TDirectDrawSurface& s, const std::function<uint16_t(int, int)>& expected) {
  std::string out;
  int shown = 0;
  for (int y = 0; y < s.Height(); ++y)
    for (int x = 0; x < s.Width(); ++x) {
      const uint16_t want = expected(x, y), got = s.Row(y)[x];
      if (want != got && shown++ < 8) out += "(" + std::to_string(x) + "," + std::to_string(y) + ") want " +
                                             std::to_string(want) + " got " + std::to_string(got) + "; ";
    }
  return out;
}

bool Untouched(const TDirectDrawSurface& s) {
  return Differences(s, [](int, int) { return kBackground; }).empty();
}

// The colour Draw leaves at surface pixel (sx, sy) for a pw x ph pattern at (x, y).
uint16_t ExpectedCopy(int sx, int sy, int64_t x, int64_t y, int pw, int ph, bool transparent) {
  const int64_t px = sx - x, py = sy - y;
  if (px < 0 || py < 0 || px >= pw || py >= ph) return kBackground;
  if (DiagonalKey(px, py)) return transparent ? kBackground : kKey565;
  return Coord565(px, py);
}

// ---------------------------------------------------------------------------------------------
// Draw
// ---------------------------------------------------------------------------------------------

struct Placement {
  const char* name;
  int x, y;
};

// An 8 x 6 pattern on a 12 x 10 surface.
constexpr Placement kPlacements[] = {
    {"inside", 2, 3},         {"across left", -3, 2},   {"across right", 8, 2},
    {"across top", 1, -4},    {"across bottom", 2, 7},  {"across top-left", -5, -5},
    {"across bottom-right", 9, 8}, {"off left", -8, 0}, {"off right", 12, 0},
    {"off top", 0, -6},       {"off bottom", 0, 10},    {"far away", INT_MAX, INT_MIN},
    {"far before", INT_MIN, INT_MAX},
};

class DrawPlacement : public ::testing::TestWithParam<std::tuple<Placement, bool>> {};

TEST_P(DrawPlacement, CopiesTheVisiblePartWithOrWithoutKey) {
  const auto& [at, transparent] = GetParam();
  const TPictureCollectionItem item = MakeItem(8, 6, 2, 1, transparent, DiagonalKey);
  TDirectDrawSurface s = MakeSurface(12, 10);
  item.Draw(&s, at.x, at.y, 1);
  EXPECT_EQ(Differences(s, [&](int sx, int sy) { return ExpectedCopy(sx, sy, at.x, at.y, 8, 6, transparent); }), "");
}

INSTANTIATE_TEST_SUITE_P(Table, DrawPlacement,
                         ::testing::Combine(::testing::ValuesIn(kPlacements), ::testing::Bool()),
                         [](const auto& info) {
                           std::string s = std::get<0>(info.param).name;
                           for (char& ch : s) if (!isalnum(static_cast<unsigned char>(ch))) ch = '_';
                           return s + (std::get<1>(info.param) ? "_keyed" : "_opaque");
                         });

TEST(Draw, KeyComparesInTheSurfaceFormat) {
  // A colour a few units off the key falls onto the same 16-bit value and is transparent too.
  TPictureCollectionItem item;
  item.Picture.Width = 2;
  item.Picture.Height = 1;
  item.Picture.Pixels = {0xFC03FA, CoordRGB(1, 0)};
  item.TransparentColor = kKeyColorRef;
  item.Prepare();
  TDirectDrawSurface s = MakeSurface(2, 1);
  item.Draw(&s, 0, 0, 0);
  EXPECT_EQ(s.Row(0)[0], kBackground);
  EXPECT_EQ(s.Row(0)[1], Coord565(1, 0));
}

TEST(Draw, RunsLongerThanSixteenBits) {
  // Row 0: a keyed run of 65996 pixels; row 1: one opaque run of 70000.
  const int w = 70000;
  const TPictureCollectionItem item =
      MakeItem(w, 2, 1, 1, true, [](int x, int y) { return y == 0 && x < 66000 && x != 3; });
  TDirectDrawSurface s = MakeSurface(w, 2);
  item.Draw(&s, 0, 0, 0);
  EXPECT_EQ(Differences(s,
                        [](int x, int y) {
                          return y == 0 && x < 66000 && x != 3 ? kBackground : RGB888To565(CoordRGB(x, y));
                        }),
            "");
}

// ---------------------------------------------------------------------------------------------
// Nothing to draw: unprepared item, no surface, bad index
// ---------------------------------------------------------------------------------------------

using DrawCall = std::function<void(const TPictureCollectionItem&, TDirectDrawSurface*, int index)>;

const std::pair<const char*, DrawCall> kOperations[] = {
    {"Draw", [](const TPictureCollectionItem& i, TDirectDrawSurface* s, int n) { i.Draw(s, 1, 1, n); }},
    {"DrawBlended",
     [](const TPictureCollectionItem& i, TDirectDrawSurface* s, int n) { i.DrawBlended(s, Bounds(0, 0, 8, 8), n, 200); }},
    {"DrawRotated",
     [](const TPictureCollectionItem& i, TDirectDrawSurface* s, int n) { i.DrawRotated(s, 4, 4, 8, 6, n, 0.5, 0.5, 10); }},
};

TEST(DrawNothing, WhenTheItemCannotDraw) {
  for (const auto& [name, draw] : kOperations) {
    SCOPED_TRACE(name);
    TPictureCollectionItem item = MakeItem(8, 6, 2, 1, false, [](int, int) { return false; });
    TDirectDrawSurface s = MakeSurface(12, 10);
    draw(item, nullptr, 0);
    for (const int badIndex : {-1, 2, INT_MAX, INT_MIN}) draw(item, &s, badIndex);
    EXPECT_TRUE(Untouched(s));

    item.Unprepare();
    draw(item, &s, 0);
    EXPECT_TRUE(Untouched(s));

    TPictureCollectionItem never = item;  // a copy of an unprepared item, picture intact
    draw(never, &s, 0);
    EXPECT_TRUE(Untouched(s));

    item.Prepare();  // preparing again makes it draw
    draw(item, &s, 0);
    EXPECT_FALSE(Untouched(s));

    TDirectDrawSurface empty;
    draw(item, &empty, 0);
  }
}

TEST(DrawNothing, PicturesThatCannotBePrepared) {
  TPictureCollectionItem noPicture;
  noPicture.Prepare();
  EXPECT_FALSE(noPicture.Prepared());

  TPictureCollectionItem shortPixels;
  shortPixels.Picture.Width = 4;
  shortPixels.Picture.Height = 4;
  shortPixels.Picture.Pixels.assign(15, 0);
  shortPixels.Prepare();
  EXPECT_FALSE(shortPixels.Prepared());

  TPictureCollectionItem patternTooBig = MakeItem(4, 4, 1, 1, false, [](int, int) { return false; });
  patternTooBig.PatternWidth = 5;
  patternTooBig.Prepare();
  EXPECT_FALSE(patternTooBig.Prepared());
}

// ---------------------------------------------------------------------------------------------
// Clipping of every operation: a partly visible drawing equals the same window of an unclipped one.
// ---------------------------------------------------------------------------------------------

TEST(Clipping, EveryOperationShowsTheSameWindowOfAnUnclippedDrawing) {
  const TPictureCollectionItem item = MakeItem(8, 6, 1, 1, true, DiagonalKey);
  constexpr int kMargin = 20;
  const std::pair<const char*, std::function<void(TDirectDrawSurface*, int, int)>> ops[] = {
      {"Draw", [&](TDirectDrawSurface* s, int x, int y) { item.Draw(s, x, y, 0); }},
      {"DrawBlended", [&](TDirectDrawSurface* s, int x, int y) { item.DrawBlended(s, Bounds(x, y, 13, 9), 0, 160); }},
      {"DrawBlendedShrunk", [&](TDirectDrawSurface* s, int x, int y) { item.DrawBlended(s, Bounds(x, y, 5, 4), 0, 255); }},
      {"DrawRotated", [&](TDirectDrawSurface* s, int x, int y) { item.DrawRotated(s, x, y, 12, 9, 0, 0.3, 0.6, 37); }},
  };
  for (const auto& [name, draw] : ops) {
    for (const Placement& at : kPlacements) {
      if (std::abs(static_cast<int64_t>(at.x)) > 100 || std::abs(static_cast<int64_t>(at.y)) > 100) continue;
      SCOPED_TRACE(std::string(name) + " " + at.name);
      TDirectDrawSurface big = MakeSurface(12 + 2 * kMargin, 10 + 2 * kMargin);
      draw(&big, at.x + kMargin, at.y + kMargin);
      TDirectDrawSurface small = MakeSurface(12, 10);
      draw(&small, at.x, at.y);
      EXPECT_EQ(Differences(small, [&](int x, int y) { return big.Row(y + kMargin)[x + kMargin]; }), "");
    }
  }
}

// Draw limited to an area: the unlimited drawing inside it, the surface untouched outside.
TEST(Clipping, DrawInAnAreaKeepsToIt) {
  const TPictureCollectionItem item = MakeItem(8, 6, 1, 1, true, DiagonalKey);
  const TRect areas[] = {{3, 2, 9, 7}, {-5, -5, 4, 40}, {6, 0, 40, 3}, {20, 20, 30, 30}, {5, 5, 5, 9}};
  for (const TRect& area : areas) {
    SCOPED_TRACE(std::to_string(area.Left) + "," + std::to_string(area.Top));
    TDirectDrawSurface whole = MakeSurface(12, 10), limited = MakeSurface(12, 10);
    item.Draw(&whole, 2, 1, 0);
    item.Draw(&limited, 2, 1, 0, area);
    EXPECT_EQ(Differences(limited, [&](int x, int y) {
                const bool inside = x >= area.Left && x < area.Right && y >= area.Top && y < area.Bottom;
                return inside ? whole.Row(y)[x] : kBackground;
              }),
              "");
  }
}

TEST(PatternOpaque, OnlyPatternsWithoutAKeyedPixel) {
  const TPictureCollectionItem keyed = MakeItem(8, 6, 2, 1, true, [](int x, int y) { return x == 7 && y == 5; });
  EXPECT_FALSE(keyed.PatternOpaque(0));
  const TPictureCollectionItem plain = MakeItem(8, 6, 2, 1, true, [](int, int) { return false; });
  EXPECT_TRUE(plain.PatternOpaque(1));
  EXPECT_FALSE(plain.PatternOpaque(2));
  EXPECT_FALSE(plain.PatternOpaque(-1));
  const TPictureCollectionItem notTransparent = MakeItem(8, 6, 1, 1, false, DiagonalKey);
  EXPECT_TRUE(notTransparent.PatternOpaque(0));
}

TEST(Clipping, FarOffPositionsDrawNothing) {
  const TPictureCollectionItem item = MakeItem(8, 6, 1, 1, false, [](int, int) { return false; });
  TDirectDrawSurface s = MakeSurface(12, 10);
  for (const int far : {INT_MIN, INT_MIN / 2, INT_MAX / 2, INT_MAX}) {
    item.DrawBlended(&s, TRect{far, 0, far / 2, 5}, 0, 255);
    item.DrawBlended(&s, TRect{0, far, 5, far / 3}, 0, 255);
    item.DrawRotated(&s, far, far, 8, 6, 0, 0.5, 0.5, 0);
    item.DrawRotated(&s, 5, 5, 8, 6, 0, far, -static_cast<double>(far), 99);
  }
  item.DrawRotated(&s, 5, 5, 8, 6, 0, NAN, 0, 0);
  item.DrawRotated(&s, 5, 5, 8, 6, 0, 0, INFINITY, 0);
  EXPECT_TRUE(Untouched(s));
}

TEST(Clipping, HugeDestinationRectanglesStayInBounds) {
  const TPictureCollectionItem item = MakeItem(8, 6, 1, 1, false, [](int, int) { return false; });
  TDirectDrawSurface s = MakeSurface(12, 10);
  item.DrawBlended(&s, TRect{INT_MIN, INT_MIN, INT_MAX, INT_MAX}, 0, 255);
  // The surface sits in the middle of the stretched pattern, i.e. in source pixel (4, 3).
  EXPECT_EQ(Differences(s, [](int, int) { return Coord565(4, 3); }), "");
  s.Fill(kBackground);
  item.DrawRotated(&s, 6, 5, INT_MAX, INT_MAX, 0, 0.5, 0.5, 77);
  EXPECT_FALSE(Untouched(s));
}

// ---------------------------------------------------------------------------------------------
// DrawBlended
// ---------------------------------------------------------------------------------------------

TEST(DrawBlended, StretchSamplesPixelCentres) {
  struct Case {
    int w, h;  // destination size for a 4 x 3 pattern
  };
  for (const Case c : {Case{4, 3}, Case{8, 6}, Case{2, 3}, Case{7, 5}, Case{1, 1}, Case{12, 1}}) {
    SCOPED_TRACE(std::to_string(c.w) + "x" + std::to_string(c.h));
    const TPictureCollectionItem item = MakeItem(4, 3, 1, 1, false, [](int, int) { return false; });
    TDirectDrawSurface s = MakeSurface(14, 8);
    item.DrawBlended(&s, Bounds(1, 2, c.w, c.h), 0, 255);
    EXPECT_EQ(Differences(s,
                          [&](int x, int y) -> uint16_t {
                            const int dx = x - 1, dy = y - 2;
                            if (dx < 0 || dy < 0 || dx >= c.w || dy >= c.h) return kBackground;
                            // Centre of destination pixel d maps to floor((d + 0.5) * src / dst).
                            return Coord565((2 * dx + 1) * 4 / (2 * c.w), (2 * dy + 1) * 3 / (2 * c.h));
                          }),
              "");
  }
}

TEST(DrawBlended, OpacityMixesEachChannel) {
  const TPictureCollectionItem item = MakeItem(8, 6, 1, 1, true, DiagonalKey);
  struct Case {
    int alpha;
    double share;  // of the pattern colour in the result
  };
  for (const Case c : {Case{0, 0.0}, Case{-5, 0.0}, Case{128, 0.5}, Case{64, 0.25}, Case{255, 1.0}, Case{999, 1.0}}) {
    SCOPED_TRACE(c.alpha);
    TDirectDrawSurface s = MakeSurface(8, 6);
    const uint16_t under = RGB565(200, 100, 8);
    s.Fill(under);
    item.DrawBlended(&s, Bounds(0, 0, 8, 6), 0, c.alpha);
    for (int y = 0; y < 6; ++y)
      for (int x = 0; x < 8; ++x) {
        const uint16_t got = s.Row(y)[x];
        if (DiagonalKey(x, y)) {
          EXPECT_EQ(got, under) << x << "," << y;
          continue;
        }
        const uint16_t top = Coord565(x, y);
        for (const auto& [shift, mask] : {std::pair{11, 31}, std::pair{5, 63}, std::pair{0, 31}}) {
          const double want = ((under >> shift) & mask) * (1 - c.share) + ((top >> shift) & mask) * c.share;
          EXPECT_NEAR((got >> shift) & mask, want, 1.0) << x << "," << y << " channel at bit " << shift;
        }
      }
  }
}

// Every row length, so that pixels handled many at a time and those left over agree: each pixel
// is its own blend of pattern and surface, keyed pixels untouched.
TEST(DrawBlended, EveryPixelOfARowBlendsAlone) {
  constexpr int kAlpha = 77;
  for (int w = 1; w <= 40; ++w) {
    SCOPED_TRACE(w);
    const TPictureCollectionItem item = MakeItem(w, 2, 1, 1, true, [](int x, int y) { return (x + y) % 3 == 0; });
    TDirectDrawSurface s(w, 2);
    const auto under = [](int x, int y) { return static_cast<uint16_t>(0x9A3C + 2417 * x + 911 * y); };
    for (int y = 0; y < 2; ++y)
      for (int x = 0; x < w; ++x) s.Row(y)[x] = under(x, y);
    item.DrawBlended(&s, Bounds(0, 0, w, 2), 0, kAlpha);
    EXPECT_EQ(Differences(s, [&](int x, int y) {
                return (x + y) % 3 == 0 ? under(x, y) : Blend565(Spread565(Coord565(x, y)), under(x, y), Alpha32(kAlpha));
              }),
              "");
  }
}

TEST(DrawBlended, OpaqueBlendEqualsDraw) {
  for (const bool transparent : {false, true}) {
    const TPictureCollectionItem item = MakeItem(8, 6, 3, 2, transparent, DiagonalKey);
    TDirectDrawSurface a = MakeSurface(12, 10), b = MakeSurface(12, 10);
    item.Draw(&a, 3, 2, 4);
    item.DrawBlended(&b, Bounds(3, 2, 8, 6), 4, 255);
    EXPECT_EQ(Differences(b, [&](int x, int y) { return a.Row(y)[x]; }), "");
  }
}

TEST(DrawBlended, EmptyDestinationDrawsNothing) {
  const TPictureCollectionItem item = MakeItem(8, 6, 1, 1, false, [](int, int) { return false; });
  TDirectDrawSurface s = MakeSurface(12, 10);
  for (const TRect r : {TRect{2, 2, 2, 8}, TRect{2, 2, 8, 2}, TRect{8, 2, 2, 8}, TRect{2, 8, 8, 2}})
    item.DrawBlended(&s, r, 0, 255);
  EXPECT_TRUE(Untouched(s));
}

// ---------------------------------------------------------------------------------------------
// DrawRotated
// ---------------------------------------------------------------------------------------------

struct RotationCase {
  const char* name;
  int angle;
  double pivotX, pivotY;
  // Surface pixel that pattern pixel (px, py) of the 4 x 4 pattern lands on, drawn at (10, 10)
  // without scaling.
  int (*destX)(int px, int py);
  int (*destY)(int px, int py);
};

constexpr RotationCase kRotations[] = {
    {"unturned from the corner", 0, 0, 0, [](int px, int) { return 10 + px; }, [](int, int py) { return 10 + py; }},
    {"unturned centred", 0, 0.5, 0.5, [](int px, int) { return 8 + px; }, [](int, int py) { return 8 + py; }},
    {"unturned from the far corner", 256, 1, 1, [](int px, int) { return 6 + px; }, [](int, int py) { return 6 + py; }},
    {"quarter turn clockwise about the corner", 64, 0, 0, [](int, int py) { return 9 - py; },
     [](int px, int) { return 10 + px; }},
    {"quarter turn clockwise centred", 64, 0.5, 0.5, [](int, int py) { return 11 - py; },
     [](int px, int) { return 8 + px; }},
    {"quarter turn taken modulo 256", 64 - 512, 0.5, 0.5, [](int, int py) { return 11 - py; },
     [](int px, int) { return 8 + px; }},
    {"half turn", 128, 0.5, 0.5, [](int px, int) { return 11 - px; }, [](int, int py) { return 11 - py; }},
    {"quarter turn anticlockwise", 192, 0.5, 0.5, [](int, int py) { return 8 + py; },
     [](int px, int) { return 11 - px; }},
    {"pivot off the pattern", 64, 2, 0, [](int, int py) { return 9 - py; }, [](int px, int) { return 2 + px; }},
};

class DrawRotatedCase : public ::testing::TestWithParam<RotationCase> {};

TEST_P(DrawRotatedCase, EveryPixelLandsWhereTheTurnTakesIt) {
  const RotationCase& c = GetParam();
  const TPictureCollectionItem item = MakeItem(4, 4, 1, 1, false, [](int, int) { return false; });
  TDirectDrawSurface s = MakeSurface(20, 20);
  item.DrawRotated(&s, 10, 10, 4, 4, 0, c.pivotX, c.pivotY, c.angle);
  uint16_t expected[20][20];
  for (auto& row : expected)
    for (uint16_t& v : row) v = kBackground;
  for (int py = 0; py < 4; ++py)
    for (int px = 0; px < 4; ++px) expected[c.destY(px, py)][c.destX(px, py)] = Coord565(px, py);
  EXPECT_EQ(Differences(s, [&](int x, int y) { return expected[y][x]; }), "");
}

INSTANTIATE_TEST_SUITE_P(Table, DrawRotatedCase, ::testing::ValuesIn(kRotations), [](const auto& info) {
  std::string s = info.param.name;
  for (char& ch : s) if (!isalnum(static_cast<unsigned char>(ch))) ch = '_';
  return s;
});

TEST(DrawRotated, ScalesEachPatternPixelToABlock) {
  const TPictureCollectionItem item = MakeItem(4, 3, 1, 1, false, [](int, int) { return false; });
  TDirectDrawSurface s = MakeSurface(20, 20);
  item.DrawRotated(&s, 2, 1, 8, 9, 0, 0, 0, 0);
  EXPECT_EQ(Differences(s,
                        [](int x, int y) {
                          const int dx = x - 2, dy = y - 1;
                          if (dx < 0 || dy < 0 || dx >= 8 || dy >= 9) return kBackground;
                          return Coord565(dx / 2, dy / 3);
                        }),
            "");
}

TEST(DrawRotated, ShrunkToOnePixelShowsTheCentre) {
  const TPictureCollectionItem item = MakeItem(8, 6, 1, 1, false, [](int, int) { return false; });
  TDirectDrawSurface s = MakeSurface(5, 5);
  item.DrawRotated(&s, 2, 2, 1, 1, 0, 0, 0, 0);
  EXPECT_EQ(Differences(s, [](int x, int y) { return x == 2 && y == 2 ? Coord565(4, 3) : kBackground; }), "");
}

TEST(DrawRotated, UnturnedEqualsDrawIncludingTheKey) {
  // Small and wide patterns: rows shorter than, and many times, what is fetched at once.
  for (const auto& [pw, ph] : {std::pair{8, 6}, std::pair{45, 7}}) {
    for (const bool transparent : {false, true}) {
      SCOPED_TRACE(std::to_string(pw) + (transparent ? " keyed" : " opaque"));
      const TPictureCollectionItem item = MakeItem(pw, ph, 2, 2, transparent, DiagonalKey);
      TDirectDrawSurface a = MakeSurface(pw + 4, ph + 4), b = MakeSurface(pw + 4, ph + 4);
      item.Draw(&a, 3, 2, 3);
      item.DrawRotated(&b, 3, 2, pw, ph, 3, 0, 0, 0);
      EXPECT_EQ(Differences(b, [&](int x, int y) { return a.Row(y)[x]; }), "");
    }
  }
}

// A fully opaque pattern turned by any angle covers exactly the pixels whose centres lie inside the
// turned rectangle (pixels within a hair of its edge may go either way).
TEST(DrawRotated, CoversExactlyTheTurnedRectangle) {
  const TPictureCollectionItem item = MakeItem(5, 4, 1, 1, false, [](int, int) { return false; });
  constexpr int kW = 13, kH = 7;
  constexpr double kPivotX = 0.25, kPivotY = 0.75;
  for (const int angle : {0, 5, 17, 32, 64, 100, 128, 171, 200, 255}) {
    SCOPED_TRACE(angle);
    TDirectDrawSurface s = MakeSurface(40, 40);
    item.DrawRotated(&s, 20, 20, kW, kH, 0, kPivotX, kPivotY, angle);
    const double a = angle * 2 * M_PI / 256, ca = std::cos(a), sa = std::sin(a);
    for (int y = 0; y < 40; ++y)
      for (int x = 0; x < 40; ++x) {
        // Back to pattern coordinates of the scaled, unturned pattern.
        const double u = x + 0.5 - 20, v = y + 0.5 - 20;
        const double px = u * ca + v * sa + kPivotX * kW, py = -u * sa + v * ca + kPivotY * kH;
        constexpr double kHair = 1e-6;
        const bool in = px > kHair && py > kHair && px < kW - kHair && py < kH - kHair;
        const bool out = px < -kHair || py < -kHair || px > kW + kHair || py > kH + kHair;
        const bool drawn = s.Row(y)[x] != kBackground;
        if (in) {
          EXPECT_TRUE(drawn) << x << "," << y;
        }
        if (out) {
          EXPECT_FALSE(drawn) << x << "," << y;
        }
      }
  }
}

TEST(DrawRotated, KeyedPixelsStayTransparent) {
  const TPictureCollectionItem item = MakeItem(4, 4, 1, 1, true, [](int x, int y) { return x == 0 && y == 0; });
  TDirectDrawSurface s = MakeSurface(20, 20);
  item.DrawRotated(&s, 10, 10, 4, 4, 0, 0.5, 0.5, 64);
  EXPECT_EQ(s.Row(8)[11], kBackground);    // where pattern pixel (0, 0) lands
  EXPECT_EQ(s.Row(9)[11], Coord565(1, 0));  // its neighbour
}

// ---------------------------------------------------------------------------------------------
// Turned patterns
// ---------------------------------------------------------------------------------------------

// Drawn from the rows worked out beforehand (pixel by pixel), every angle paints what DrawRotated
// paints (many pixels at once, rows of every length): keyed and opaque, scaled, about a pivot off
// the centre, whole and cut by each edge of the surface.
TEST(TurnedPattern, PaintsWhatDrawRotatedPaints) {
  for (const auto& [w, h] : {std::pair{11, 15}, std::pair{43, 37}}) {
    for (const bool transparent : {false, true}) {
      const TPictureCollectionItem item = MakeItem(8, 6, 2, 1, transparent, DiagonalKey);
      const TTurnedPattern turned = item.Turned(1, w, h, 0.3, 0.6);
      ASSERT_FALSE(turned.Empty());
      for (const auto& [x, y] : {std::pair{20, 20}, std::pair{2, 20}, std::pair{38, 21}, std::pair{19, 1}, std::pair{20, 39}}) {
        for (int angle = -3; angle < 259; ++angle) {
          SCOPED_TRACE(std::to_string(w) + "x" + std::to_string(h) + " turned " + std::to_string(angle) + " at " +
                       std::to_string(x) + "," + std::to_string(y) + (transparent ? " keyed" : ""));
          TDirectDrawSurface want = MakeSurface(40, 40), got = MakeSurface(40, 40);
          item.DrawRotated(&want, x, y, w, h, 1, 0.3, 0.6, angle);
          turned.Draw(&got, x, y, angle);
          ASSERT_EQ(Differences(got, [&](int px, int py) { return want.Row(py)[px]; }), "");
        }
      }
    }
  }
}

TEST(TurnedPattern, EmptyWhereNothingCanBeWorkedOut) {
  const TPictureCollectionItem item = MakeItem(8, 6, 1, 1, true, DiagonalKey);
  EXPECT_TRUE(item.Turned(1, 8, 6, 0.5, 0.5).Empty());  // no such pattern
  EXPECT_TRUE(item.Turned(0, 0, 6, 0.5, 0.5).Empty());
  EXPECT_TRUE(item.Turned(0, TTurnedPattern::MaxSize + 1, 6, 0.5, 0.5).Empty());
  EXPECT_TRUE(item.Turned(0, 8, 6, NAN, 0.5).Empty());
  EXPECT_TRUE(item.Turned(0, 8, 6, 0.5, 1e9).Empty());
  TDirectDrawSurface s = MakeSurface(4, 4);
  TTurnedPattern{}.Draw(&s, 1, 1, 0);
  item.Turned(0, 8, 6, 0.5, 0.5).Draw(nullptr, 1, 1, 0);
  EXPECT_EQ(Differences(s, [](int, int) { return kBackground; }), "");
}

}  // namespace
