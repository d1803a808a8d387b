// The quad collision test and the road's solid tiles, with plain quads.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <ostream>
#include <random>
#include <string>

#include "race/race.h"

namespace {

TQuad Box(double left, double top, double right, double bottom) {
  return {TPointF{left, top}, TPointF{right, top}, TPointF{right, bottom}, TPointF{left, bottom}};
}

// --- PointInQuad ------------------------------------------------------------------------------

struct TPointCase {
  const char* Name;
  TPointF Point;
  bool Inside;
};

void PrintTo(const TPointCase& c, std::ostream* os) { *os << c.Name; }

class PointInSquare : public testing::TestWithParam<TPointCase> {};

TEST_P(PointInSquare, CountsAsInsideOnlyWithinTheSquareOrOnItsRim) {
  const TQuad square = Box(0, 0, 10, 10);
  EXPECT_EQ(PointInQuad(GetParam().Point, square), GetParam().Inside);
}

INSTANTIATE_TEST_SUITE_P(Cases, PointInSquare,
                         testing::Values(TPointCase{"Centre", {5, 5}, true}, TPointCase{"NearACorner", {0.5, 9.5}, true},
                                         TPointCase{"OnACorner", {0, 0}, true}, TPointCase{"OnAnEdge", {5, 0}, true},
                                         TPointCase{"JustOutsideAnEdge", {5, -0.5}, false},
                                         TPointCase{"BesideTheSquare", {15, 5}, false},
                                         TPointCase{"OnAnEdgesExtension", {20, 0}, false},
                                         TPointCase{"FarAway", {-300, 1000}, false}),
                         [](const auto& info) { return std::string(info.param.Name); });

TEST(PointInQuad, PointOnASlantedEdgeIsInsideThoughRoundingPushesTheDotProductPastMinusOne) {
  // Seen from (0.1, 0.1) the unit vectors to (0, 0) and (1, 1) have a dot product of
  // -1.0000000000000002 in doubles.
  const TPointF a{0, 0}, b{1, 1}, c{0, 2}, d{-1, 1};
  EXPECT_TRUE(PointInQuad(TPointF{0.1, 0.1}, a, b, c, d));
}

// --- QuadsOverlap -----------------------------------------------------------------------------

struct TOverlapCase {
  const char* Name;
  TQuad A, B;
  bool Overlap;
};

void PrintTo(const TOverlapCase& c, std::ostream* os) { *os << c.Name; }

class QuadPairs : public testing::TestWithParam<TOverlapCase> {};

TEST_P(QuadPairs, OverlapWhenACornerOfEitherLiesInTheOther) {
  const TOverlapCase& c = GetParam();
  EXPECT_EQ(QuadsOverlap(c.A, c.B), c.Overlap);
  EXPECT_EQ(QuadsOverlap(c.B, c.A), c.Overlap) << "the other way round";
}

const TQuad Diamond = {TPointF{10, -1}, TPointF{16, 5}, TPointF{10, 11}, TPointF{4, 5}};

INSTANTIATE_TEST_SUITE_P(
    Cases, QuadPairs,
    testing::Values(TOverlapCase{"Overlapping", Box(0, 0, 10, 10), Box(5, 5, 15, 15), true},
                    TOverlapCase{"Disjoint", Box(0, 0, 10, 10), Box(20, 0, 30, 10), false},
                    TOverlapCase{"NearlyTouching", Box(0, 0, 10, 10), Box(10.5, 0, 20, 10), false},
                    TOverlapCase{"SharingAnEdge", Box(0, 0, 10, 10), Box(10, 0, 20, 10), true},
                    TOverlapCase{"SharingACorner", Box(0, 0, 10, 10), Box(10, 10, 20, 20), true},
                    TOverlapCase{"CornerOnAnEdge", Box(0, 0, 10, 10), Box(10, 4, 20, 14), true},
                    TOverlapCase{"OneInsideTheOther", Box(0, 0, 100, 100), Box(40, 40, 60, 60), true},
                    TOverlapCase{"TurnedQuad", Box(0, 0, 10, 10), Diamond, true}),
    [](const auto& info) { return std::string(info.param.Name); });

// --- Solid tiles --------------------------------------------------------------------------------

TEST(ObstacleTiles, ExactlyTheVergesAndTheShiftedRoadsOuterPartsAreSolid) {
  std::string solid;
  for (int code = 0; code < 256; ++code) {
    if (IsObstacleTile(code)) solid += std::to_string(code) + " ";
  }
  EXPECT_EQ(solid, "1 2 3 4 5 6 7 8 9 13 14 15 16 17 18 19 20 21 25 26 29 30 31 35 36 37 38 41 42 43 44 48 ");
  EXPECT_FALSE(IsObstacleTile(-1));
  EXPECT_FALSE(IsObstacleTile(256));
}

// A track of plain ground with single solid tiles placed by the tests.
class ObstacleTest : public testing::Test {
protected:
  ObstacleTest() {
    for (auto& row : race.TrackMap) row.fill(tileGround);
    race.ViewCol = 300;
    race.ViewRow = 1000;
  }
  // Puts a left verge (solid from 38 to 72 px across the cell) in window cell (i, j).
  void PutVergeInWindow(int i, int j) { race.TrackMap[race.ViewRow + i][race.ViewCol + j] = 1; }

  const std::unique_ptr<TRace> race_ = std::make_unique<TRace>();
  TRace& race = *race_;
};

TEST_F(ObstacleTest, BikeHitsASolidTileOnlyWhereItsHitQuadLies) {
  PutVergeInWindow(2, 3);
  const double roadX = -10, roadY = -20;
  // The verge's solid part covers screen x 244..278, y 124..196.
  EXPECT_TRUE(race.RoadObstacleHitsQuad(roadX, roadY, Box(250, 150, 260, 160)));
  EXPECT_TRUE(race.RoadObstacleHitsQuad(roadX, roadY, Box(270, 190, 290, 210)));  // over a corner
  EXPECT_FALSE(race.RoadObstacleHitsQuad(roadX, roadY, Box(225, 150, 235, 160))) << "the open half of the cell";
  EXPECT_FALSE(race.RoadObstacleHitsQuad(roadX, roadY, Box(250, 210, 260, 220))) << "the cell below";
  EXPECT_FALSE(race.RoadObstacleHitsQuad(roadX + 40, roadY, Box(250, 150, 260, 160))) << "the road slid on";
}

TEST_F(ObstacleTest, BikeTestCoversTheWindowButItsFirstRowAndColumn) {
  struct TCell {
    int I, J;
    bool Tested;
  };
  for (const TCell cell : {TCell{1, 1, true}, TCell{10, 13, true}, TCell{0, 5, false}, TCell{5, 0, false}}) {
    for (auto& row : race.TrackMap) row.fill(tileGround);
    PutVergeInWindow(cell.I, cell.J);
    const double left = CellSize * cell.J + 50, top = CellSize * cell.I + 30;
    EXPECT_EQ(race.RoadObstacleHitsQuad(0, 0, Box(left, top, left + 5, top + 5)), cell.Tested)
        << "window cell " << cell.I << "," << cell.J;
  }
}

TEST_F(ObstacleTest, RivalHitsSolidTilesWithinThreeCellsOfItsCentre) {
  race.TrackMap[100][50] = 13;  // right verge: solid from 0 to 35 px across the cell
  const double x = 50 * CellSize, y = 100 * CellSize;
  const TQuad onVerge = Box(x + 10, y + 10, x + 20, y + 20);
  const TQuad besideIt = Box(x + 40, y + 10, x + 50, y + 20);
  EXPECT_TRUE(race.WorldObstacleHitsQuad(x + 36, y + 36, onVerge));
  EXPECT_TRUE(race.WorldObstacleHitsQuad(x + 3 * CellSize, y - 3 * CellSize + 1, onVerge)) << "three cells away";
  EXPECT_FALSE(race.WorldObstacleHitsQuad(x + 4 * CellSize, y, onVerge)) << "four cells away";
  EXPECT_FALSE(race.WorldObstacleHitsQuad(x + 36, y + 36, besideIt));
}

TEST_F(ObstacleTest, RivalNearOrBeyondTheMapBorderFindsNothingSolidThere) {
  race.TrackMap[1][1] = 13;
  EXPECT_TRUE(race.WorldObstacleHitsQuad(36, 36, Box(80, 80, 90, 90))) << "the first cell still counts";
  for (const TPointF centre : {TPointF{-500, -500}, TPointF{-300, 36}, TPointF{651 * CellSize, 1501 * CellSize},
                               TPointF{100000, 20}, TPointF{20, -100000}}) {
    EXPECT_FALSE(race.WorldObstacleHitsQuad(centre.X, centre.Y, Box(centre.X - 100, centre.Y - 100, centre.X + 100, centre.Y + 100)))
        << centre.X << "," << centre.Y;
  }
}

// The quick rejection of far points must agree with the full angle sum for any quad, convex,
// crossed or flat: the sum is recomputed here for random points and corners.
TEST(PointInQuad, FarPointsAreRejectedExactlyAsTheAngleSumWould) {
  std::mt19937 random(7);
  std::uniform_real_distribution<double> coordinate(-100, 100);
  const auto angleSum = [](const TPointF& p, const TQuad& q) {
    double sum = 0;
    for (int i = 0; i < 4; ++i) {
      const TPointF& a = q[i];
      const TPointF& b = q[(i + 1) % 4];
      const double la = std::hypot(a.X - p.X, a.Y - p.Y), lb = std::hypot(b.X - p.X, b.Y - p.Y);
      const double dot = ((a.X - p.X) * (b.X - p.X) + (a.Y - p.Y) * (b.Y - p.Y)) / (la * lb);
      sum += std::acos(std::clamp(dot, -1.0, 1.0)) * 180 / M_PI;
    }
    return sum;
  };
  int inside = 0;
  for (int k = 0; k < 20000; ++k) {
    TQuad q;
    for (TPointF& c : q) c = TPointF{coordinate(random) / 3, coordinate(random) / 3};
    const TPointF p{coordinate(random), coordinate(random)};
    const bool expected = angleSum(p, q) >= 355;
    ASSERT_EQ(PointInQuad(p, q), expected) << "case " << k;
    inside += expected ? 1 : 0;
  }
  EXPECT_GT(inside, 100) << "the cases reach inside too";
}

}  // namespace
