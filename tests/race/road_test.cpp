// The scrolling road: creation, wraps and view shifts, the view's limits, the window copy and the
// race hook; the menu background that never moves.
#include <gtest/gtest.h>

#include <memory>
#include <ostream>
#include <string>

#include "race/race.h"
#include "test_graphics.h"

namespace {

// An opaque item of 72 x 72 cells stacked top to bottom, one per colour.
TPictureCollectionItem MakeTiles(int count) {
  TPictureCollectionItem item;
  item.PatternWidth = CellSize;
  item.PatternHeight = CellSize;
  item.Transparent = false;
  item.Picture.Width = CellSize;
  item.Picture.Height = CellSize * count;
  item.Picture.BitsPerPixel = 24;
  item.Picture.Pixels.assign(static_cast<size_t>(CellSize) * CellSize * count, 0x808080);
  return item;
}

// A race on graphics whose lists 1 and 2 hold two items each (item 1 is the cell picture); ground
// everywhere.
class RoadTest : public testing::Test {
protected:
  RoadTest() {
    for (TDXImageList* list : {&graphics_.ImageList1, &graphics_.ImageList2}) {
      list->Items.Items = {MakeTiles(1), MakeTiles(74)};
    }
    for (auto& row : race.TrackMap) row.fill(tileGround);
    SpeedFactor = 1;
  }
  ~RoadTest() override { SpeedFactor = savedSpeedFactor_; }

  // The race road as the race screen makes it.
  TScrollBackground* MakeRaceRoad() {
    auto* road = new TScrollBackground(2, 1, RoadWindowColumns, RoadWindowRows, &race);  // owned by the engine
    road->SetImageSource(1, 2);
    race.Road = road;
    return road;
  }
  TSpriteEngine& Engine() { return graphics_.SpriteEngine.Engine; }

  TTestGraphics graphics_;
  const std::unique_ptr<TRace> race_ = std::make_unique<TRace>();
  TRace& race = *race_;

private:
  double savedSpeedFactor_ = SpeedFactor;
};

TEST_F(RoadTest, RaceRoadIsAWindowOfCellsOfTheRoadTileSet) {
  race.ScrollVX = 3;
  race.ScrollVY = -4;
  TScrollBackground* road = MakeRaceRoad();
  EXPECT_EQ(road->Engine, &Engine());
  EXPECT_EQ(road->MapColumns(), 13);
  EXPECT_EQ(road->MapRows(), 10);
  EXPECT_EQ(road->ImageListNo, 2);
  EXPECT_EQ(road->Image, &graphics_.ImageList2.Items.Items[1]);
  EXPECT_EQ(road->Width, CellSize) << "one cell";
  EXPECT_EQ(road->Height, CellSize);
  EXPECT_EQ(road->Z, 2);
  EXPECT_EQ(road->Cell(12, 9), 0);
  EXPECT_EQ(race.ScrollVX, 0) << "a new road starts still";
  EXPECT_EQ(race.ScrollVY, 0);
}

TEST_F(RoadTest, SelectImageOnAListWithoutCellPicturesKeepsTheCurrentItem) {
  TScrollBackground* road = MakeRaceRoad();
  road->SetImageSource(0, 3);
  EXPECT_EQ(road->Image, &graphics_.ImageList2.Items.Items[1]);
  EXPECT_EQ(road->ImageListNo, 3);
}

TEST_F(RoadTest, KillOnceQueuesTheRoadOnce) {
  TScrollBackground* road = MakeRaceRoad();
  road->KillOnce();
  road->KillOnce();
  EXPECT_TRUE(road->KillQueued);
  EXPECT_EQ(Engine().DeadList.size(), 1u);
}

// --- Step: slide, wrap, view shift ------------------------------------------------------------

struct TScrollCase {
  const char* Name;
  double X, Y, VX, VY, Speed;
  int ViewCol, ViewRow;
  double WantX, WantY;
  int WantViewCol, WantViewRow;
};

void PrintTo(const TScrollCase& c, std::ostream* os) { *os << c.Name; }

class RoadScroll : public RoadTest, public testing::WithParamInterface<TScrollCase> {};

// Slides, wraps at most once a step and moves the view, within the map.
TEST_P(RoadScroll, SlidesAndWrapsOnce) {
  const TScrollCase& c = GetParam();
  TScrollBackground* road = MakeRaceRoad();
  road->X = c.X;
  road->Y = c.Y;
  race.ViewCol = c.ViewCol;
  race.ViewRow = c.ViewRow;
  race.ScrollVX = c.VX;
  race.ScrollVY = c.VY;
  SpeedFactor = c.Speed;
  road->Step(1);
  EXPECT_DOUBLE_EQ(road->X, c.WantX);
  EXPECT_DOUBLE_EQ(road->Y, c.WantY);
  EXPECT_EQ(race.ViewCol, c.WantViewCol);
  EXPECT_EQ(race.ViewRow, c.WantViewRow);
  EXPECT_DOUBLE_EQ(road->FrameVX, c.VX);
  EXPECT_DOUBLE_EQ(road->FrameVY, c.VY);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RoadScroll,
    testing::Values(
        // name, X, Y, VX, VY, speed factor, view col/row -> X, Y, view col/row
        TScrollCase{"SlideWithinTheCell", -30, -30, 20, -20, 1, 300, 900, -20, -40, 300, 900},
        TScrollCase{"SpeedFactorScalesTheSlide", -50, -50, 10, 10, 2, 300, 900, -40, -40, 300, 900},
        TScrollCase{"Plus80FromZeroWrapsOnceTo8", 0, 0, 0, 160, 1, 300, 900, 0, 8, 300, 899},
        TScrollCase{"ForwardPastACellWrapsBack", -70, -70, -10, -10, 1, 300, 900, -3, -3, 301, 901},
        TScrollCase{"RightwardWrapMovesTheViewLeft", -2, -36, 8, 0, 1, 300, 900, -70, -36, 299, 900},
        TScrollCase{"StillRoadAboveZeroWrapsWithoutAShift", 5, 7, 0, 0, 1, 300, 900, -67, -65, 300, 900},
        TScrollCase{"OneWrapPerStepEvenForALongSlide", 0, 0, 0, 400, 1, 300, 900, 0, 128, 300, 899},
        TScrollCase{"ViewStopsAtTheTopAndLeftEdges", -1, -1, 20, 20, 1, 0, 0, -63, -63, 0, 0},
        TScrollCase{"ViewStopsAtTheBottomAndRightEdges", -70, -70, -20, -20, 1, 637, 1490, -8, -8, 637, 1490}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST_F(RoadTest, ViewStaysOnTheMapHoweverLongTheRoadScrolls) {
  TScrollBackground* road = MakeRaceRoad();
  for (const double v : {100.0, -100.0}) {
    race.ScrollVX = race.ScrollVY = v;
    for (int i = 0; i < 3000; ++i) {
      road->Step(1);
      ASSERT_GE(race.ViewCol, 0);
      ASSERT_LE(race.ViewCol, TrackColumns - RoadWindowColumns);
      ASSERT_GE(race.ViewRow, 0);
      ASSERT_LE(race.ViewRow, TrackRows - RoadWindowRows);
    }
  }
}

TEST_F(RoadTest, MenuBackgroundNeverMoves) {
  race.ScrollVX = 40;  // a race going on
  race.ScrollVY = 90;
  auto* menu = new TScrollBackground(1, 1, 1, 1);
  EXPECT_EQ(menu->Image, &graphics_.ImageList1.Items.Items[1]);
  for (int i = 0; i < 500; ++i) Engine().Move(15);
  EXPECT_EQ(menu->X, 0);
  EXPECT_EQ(menu->Y, 0);
  EXPECT_EQ(race.ViewCol, StartViewCol);
  EXPECT_EQ(race.ViewRow, StartViewRow);
}

TEST_F(RoadTest, ObstacleTestsRunOnlyForTheRacesRoad) {
  static int calls;
  calls = 0;
  race.ObstacleTests = [](TRace&, const TScrollBackground&) { ++calls; };
  auto* menu = new TScrollBackground(1, 1, 1, 1);
  menu->Step(1);
  EXPECT_EQ(calls, 0);
  TScrollBackground* road = MakeRaceRoad();
  road->Step(1);
  EXPECT_EQ(calls, 1);
}

// --- The window copy ----------------------------------------------------------------------------

TEST_F(RoadTest, CopyViewToRoadFillsTheWindowFromTheViewPosition) {
  TScrollBackground* road = MakeRaceRoad();
  for (int r = 1; r <= TrackRows; ++r) {
    for (int c = 1; c <= TrackColumns; ++c) race.TrackMap[r][c] = static_cast<uint8_t>((r * 7 + c) % 74);
  }
  race.ViewCol = 200;
  race.ViewRow = 700;
  race.CopyViewToRoad();
  for (int i = 0; i < RoadWindowRows; ++i) {
    for (int j = 0; j < RoadWindowColumns; ++j) ASSERT_EQ(road->Cell(j, i), race.TrackMap[700 + i][200 + j]) << i << "," << j;
  }
}

TEST_F(RoadTest, CopyViewToRoadShowsGroundWhereTheViewLeavesTheMap) {
  TScrollBackground* road = MakeRaceRoad();
  for (int r = 1; r <= TrackRows; ++r) race.TrackMap[r].fill(5);
  race.ViewCol = -3;  // a view put beside the map
  race.ViewRow = 0;
  race.CopyViewToRoad();
  EXPECT_EQ(road->Cell(0, 0), tileGround);
  EXPECT_EQ(road->Cell(5, 0), tileGround) << "row 0 is off the map";
  EXPECT_EQ(road->Cell(2, 1), tileGround) << "column -1 is off the map";
  EXPECT_EQ(road->Cell(4, 1), 5);
}

TEST_F(RoadTest, GeneratingATrackShowsItsStartInTheRoad) {
  TScrollBackground* road = MakeRaceRoad();
  RandSeed(11);
  race.SetUpLevel(3);
  // The start line (row 1479, columns 321..324) is in window row 1, columns 3..6.
  for (int j = 3; j <= 6; ++j) EXPECT_EQ(road->Cell(j, 1), tileStartFinish) << j;
  for (int i = 0; i < RoadWindowRows; ++i) {
    for (int j = 0; j < RoadWindowColumns; ++j) {
      ASSERT_EQ(road->Cell(j, i), race.TrackMap[StartViewRow + i][StartViewCol + j]) << i << "," << j;
    }
  }
}

// Boards stand BendWarningRows before each bend: where a shift begins (its way) and where the road
// straightens after it (the way back); not before a shift's continuation, nor off the road.
TEST_F(RoadTest, WarningBoardsStandBeforeEachBend) {
  // Toward the finish (lower rows): straight, marked, a shift left of two segments, straightening,
  // straight, marked, a shift right, straightening.
  struct TStretch {
    int Last, First;  // rows, the race runs from First up to Last
    uint8_t Shape;
  };
  constexpr TStretch stretches[] = {{1081, 1100, segStraight}, {1071, 1080, segMarked},  {1059, 1070, segShiftLeft},
                                    {1055, 1058, segStraighten}, {1031, 1054, segStraight}, {1021, 1030, segMarked},
                                    {1015, 1020, segShiftRight}, {1011, 1014, segStraighten}, {900, 1010, segStraight}};
  for (const TStretch& s : stretches) {
    for (int row = s.Last; row <= s.First; ++row) race.RowShape[row] = s.Shape;
  }
  struct TCase {
    int BendRow, Turn;
  };
  constexpr TCase bends[] = {{1070, -1}, {1058, 1}, {1020, 1}, {1014, -1}};
  for (int row = 900 + BendWarningRows; row <= 1100; ++row) {
    int expected = 0;
    for (const TCase& b : bends) expected = b.BendRow + BendWarningRows == row ? b.Turn : expected;
    EXPECT_EQ(BendWarningAt(race, row), expected) << "row " << row;
  }
  race.RowShape[1070 + BendWarningRows] = 0;
  EXPECT_EQ(BendWarningAt(race, 1070 + BendWarningRows), 0) << "no board where there is no road";
}

}  // namespace
