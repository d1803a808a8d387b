// The rival riders: who races on each level and where they start, sensing the bike and each
// other, the limits on their lane offset and heading, speed by road shape, the stop past the
// finish, crashes and the return to the road, and reads near the map's edges.
#include <gtest/gtest.h>

#include <array>
#include <cmath>

#include "audio/audio.h"
#include "race_fixture.h"

namespace {

class Riders : public RaceGame {
protected:
  void SetUp() override {
    RaceGame::SetUp();
    if (HasFatalFailure()) return;
    RideAlone();
    Bike().ComputeHull();
  }

  // Rival n alone in front of the road's start, centred at screen (x, y), heading up the track.
  void Rider(int n, double x, double y, int model = 1) {
    TCar& r = Rivals();
    r.Heading[n] = r.Speed[n] = r.ScrollSpeed[n] = r.Decel[n] = r.Lean[n] = 0;
    r.Crashed[n] = r.Avoiding[n] = r.Turning[n] = false;
    r.AvoidTimer[n] = r.LookAhead[n] = 0;
    PlaceRival(n, x, y, model);
    r.LaneOffset[n] = -30;
    r.LaneTimer[n] = r.SpeedTimer[n] = 5000;
  }
  // The track row under rival n's centre.
  int RowOf(int n) { return RoundHalfEven(Rivals().CenterY[n]) / CellSize; }
  void StepRivals(int times = 1) {
    for (int i = 0; i < times; ++i) Rivals().Step(1);
  }
};

// ---------------------------------------------------------------------------------------------
// Placement
// ---------------------------------------------------------------------------------------------

TEST_F(Riders, EachLevelPlacesItsRivalsBesideAndAheadOfTheBike) {
  // Who races on levels 1..10, and where rivals 1..5 start relative to the start view.
  const char* racing[] = {"", "10000", "01100", "11100", "01100", "11111", "11111", "11111", "11111", "11111", "11111"};
  const double x[] = {0, 288, 402, 288, 402, 288}, y[] = {0, 400, 238, 238, 64, 64};
  const double lane[] = {0, -30, 60, -30, 60, -30};
  TRace& race = TheRace();
  TCar& r = Rivals();
  for (int level = 1; level <= LevelCount; ++level) {
    SCOPED_TRACE(level);
    race.Level = level;
    r.ResetRivals();
    for (int n = 1; n <= RivalCount; ++n) {
      SCOPED_TRACE(n);
      ASSERT_EQ(r.Racing[n], racing[level][n - 1] == '1');
      if (!r.Racing[n]) {
        EXPECT_EQ(r.PosY[n], 0);
        continue;
      }
      EXPECT_EQ(r.PosX[n], race.ViewCol * CellSize + x[n]);
      EXPECT_EQ(r.PosY[n], race.ViewRow * CellSize + y[n]);
      EXPECT_EQ(r.LaneOffset[n], lane[n]);
      EXPECT_GE(r.Model[n], 1);
      EXPECT_LE(r.Model[n], VehicleModelCount);
      EXPECT_EQ(r.CurrentImage[n], VehicleModel(r.Model[n]).UprightImage);
      EXPECT_TRUE(r.InView[n]);
      EXPECT_EQ(r.CenterX[n], r.PosX[n] + VehicleModel(r.Model[n]).RiderDrawWidth / 2.0);
      EXPECT_EQ(r.LaneTimer[n], 5000 - FrameTimeMs);
    }
  }
}

TEST_F(Riders, OnLevelFourTheBikeRacesTwoRivalsAheadOfIt) {
  TheRace().Level = 4;
  Rivals().ResetRivals();
  Bike().UpdateRank();
  EXPECT_EQ(TheRace().RacerCount, 3);
  EXPECT_EQ(TheRace().PlayerRank, 3);
}

// ---------------------------------------------------------------------------------------------
// Sensing and lane offset
// ---------------------------------------------------------------------------------------------

struct SenseCase {
  const char* Name;
  double Dx, Dy;       // the rival's centre from the bike's, screen pixels
  double RivalScroll;  // the bike scrolls at 5
  double Lane;         // LaneOffset before
  double Turn, Shift;  // change of Heading and LaneOffset in one step
};
void PrintTo(const SenseCase& c, std::ostream* os) { *os << c.Name; }

class Sense : public Riders, public testing::WithParamInterface<SenseCase> {};

TEST_P(Sense, TheRiderTurnsAwayFromTheBike) {
  const SenseCase& c = GetParam();
  Bike().ScrollSpeed = 5;
  Rider(1, Bike().CenterX + c.Dx, Bike().CenterY + c.Dy);
  TCar& r = Rivals();
  r.ScrollSpeed[1] = c.RivalScroll;
  r.Speed[1] = c.RivalScroll * 8;
  r.LaneOffset[1] = c.Lane;
  StepRivals();
  EXPECT_DOUBLE_EQ(r.Heading[1], c.Turn);
  EXPECT_DOUBLE_EQ(r.LaneOffset[1], c.Lane + c.Shift);
  EXPECT_EQ(r.Avoiding[1], c.Turn != 0);
}

INSTANTIATE_TEST_SUITE_P(
    Table, Sense,
    testing::Values(SenseCase{"faster_from_behind_on_the_left_half", 0, 60, 10, -30, 3, 8},
                    SenseCase{"faster_from_behind_on_the_right_half", 0, 60, 10, 60, -3, -8},
                    SenseCase{"slower_from_behind_ignores_the_bike", 0, 60, 0, -30, 0, 0},
                    SenseCase{"slower_with_the_bike_on_its_left", 20, 20, 0, -30, 2, 6},
                    SenseCase{"slower_with_the_bike_on_its_right", -20, 20, 0, -30, -2, -6}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST_F(Riders, TwoRidersSideBySideSteerApart) {
  // Each one's side sensor, 28 pixels out at 45 degrees ahead, lies on the other's hull.
  Rider(1, 200, 200);
  Rider(2, 224, 200);
  StepRivals();
  const TCar& r = Rivals();
  EXPECT_DOUBLE_EQ(r.Heading[1], -2);
  EXPECT_DOUBLE_EQ(r.LaneOffset[1], -36);
  EXPECT_DOUBLE_EQ(r.Heading[2], 2);
  EXPECT_DOUBLE_EQ(r.LaneOffset[2], -24);
  EXPECT_TRUE(r.Avoiding[1] && r.Avoiding[2]);
}

TEST_F(Riders, LaneOffsetDriftingTooFarJumpsBack) {
  const struct {
    double Before, After;
  } cases[] = {{95, 60}, {90, 90}, {-85, -30}, {-80, -80}};
  for (const auto& c : cases) {
    Rider(1, 200, 200);
    Rivals().LaneOffset[1] = c.Before;
    StepRivals();
    EXPECT_EQ(Rivals().LaneOffset[1], c.After) << c.Before;
  }
}

// ---------------------------------------------------------------------------------------------
// Heading and speed by road shape, the finish
// ---------------------------------------------------------------------------------------------

TEST_F(Riders, HeadingStaysWithinSixteenOfTheRoadsDirection) {
  const struct {
    uint8_t Shape;
    double Before, After;
  } cases[] = {{segShiftLeft, 0, -2.89},  {segShiftLeft, -40, -34.89}, {segShiftRight, 0, 2.89},
               {segShiftRight, 40, 34.89}, {segStraight, 20, 16},      {segMarked, -10, -10}};
  for (const auto& c : cases) {
    Rider(1, 200, 200);
    TheRace().RowShape[RowOf(1)] = c.Shape;
    Rivals().Heading[1] = c.Before;
    StepRivals();
    EXPECT_NEAR(Rivals().Heading[1], c.After, 1e-9) << int(c.Shape) << " from " << c.Before;
  }
}

TEST_F(Riders, SpeedFollowsTheShapeOfTheRoadAhead) {
  // Model 2 tops out at 160.
  const struct {
    uint8_t Shape;
    double Speed;
    int Change;  // +1 faster, -1 slower, 0 holds
  } cases[] = {{segStraight, 140, 1},  {segShiftLeft, 150, 1}, {segShiftRight, 150, 1}, {segMarked, 120, 1},
               {segMarked, 140, -1},   {segStraighten, 140, -1}, {segStraight, 161, 0}};
  for (const auto& c : cases) {
    Rider(1, 200, 200, 2);
    TheRace().RowShape[RowOf(1) - 5] = c.Shape;
    Rivals().Speed[1] = c.Speed;
    StepRivals();
    const double after = Rivals().Speed[1];
    EXPECT_EQ((after > c.Speed) - (after < c.Speed), c.Change) << int(c.Shape) << " at " << c.Speed;
    if (c.Change < 0) {
      EXPECT_DOUBLE_EQ(after, c.Speed - BrakeDecel(VehicleModel(2)));
    }
    EXPECT_DOUBLE_EQ(Rivals().ScrollSpeed[1], after / 8);
    TheRace().RowShape[RowOf(1) - 5] = segStraight;
  }
}

TEST_F(Riders, ARiderStopsAHundredRowsPastTheFinish) {
  TCar& r = Rivals();
  const double stopLine = (FinishRowOf(TheRace().TrackLength) - 100) * CellSize;
  Rider(1, 200, 200);
  Rider(2, 200, 500);
  r.PosY[1] = stopLine - 100;
  r.PosY[2] = stopLine + 100;
  for (int n : {1, 2}) {
    r.Speed[n] = 100;
    r.ScrollSpeed[n] = 12;
  }
  StepRivals();
  EXPECT_EQ(r.Speed[1], 0);
  EXPECT_EQ(r.ScrollSpeed[1], 0);
  EXPECT_GT(r.Speed[2], 90);
}

// A forecast of a rider whose lane its heading shows is where the rider goes: on a straight road
// and into a shift to the right that it has to steer and brake for.
TEST_F(Riders, TheForecastIsWhereARiderKeepingItsLaneGoes) {
  constexpr int kFrames = 90;  // 1 s: no lane or speed change is due yet
  for (const bool shift : {false, true}) {
    SCOPED_TRACE(shift ? "shift" : "straight");
    TRace& race = TheRace();
    Rider(1, 200, 200, 2);
    const int row = RowOf(1);
    Rider(1, race.RoadCenterX[row - 5] - 30 - race.ViewCol * CellSize + Road().X, 200, 2);
    TCar& r = Rivals();
    r.Speed[1] = 150;
    r.ScrollSpeed[1] = TopSpeedFactor(VehicleModel(2)) * 150 / 8;
    const auto savedCentre = race.RoadCenterX;
    const auto savedShape = race.RowShape;
    if (shift) {
      for (int q = row - 8; q > row - 40; --q) {
        race.RoadCenterX[q] = race.RoadCenterX[row - 8] + 36 * (row - 8 - q);
        race.RowShape[q] = segShiftRight;
      }
    }
    std::array<TPointF, kFrames> path{};
    r.Forecast(1, kFrames, path.data());
    for (int f = 0; f < kFrames; ++f) {
      StepRivals();
      ASSERT_NEAR(path[f].X, r.CenterX[1], 1e-6) << "frame " << f;
      ASSERT_NEAR(path[f].Y, r.CenterY[1], 1e-6) << "frame " << f;
    }
    EXPECT_EQ(std::fabs(r.CenterX[1] - path[0].X) > 30, shift);
    race.RoadCenterX = savedCentre;
    race.RowShape = savedShape;
  }
}

// ---------------------------------------------------------------------------------------------
// Crashes and the return to the road
// ---------------------------------------------------------------------------------------------

TEST_F(Riders, ARoadsideTileCrashesTheRiderOnce) {
  TRace& race = TheRace();
  TCar& r = Rivals();
  Rider(1, 200, 200);
  // Over the left verge of the start area.
  r.PosX[1] = 319 * CellSize + 55 - VehicleModel(1).RiderDrawWidth / 2.0;
  r.PosY[1] = 1470 * CellSize;
  r.PlaceHull(1);
  ASSERT_NE(race.ObstacleTests, nullptr);
  race.ObstacleTests(race, Road());
  EXPECT_TRUE(r.Crashed[1]);
  EXPECT_EQ(r.Contacts[1], 2);
  EXPECT_EQ(r.CurrentImage[1], VehicleModel(1).CrashImage);
  EXPECT_EQ(r.CrashTimer[1], 1000);
  race.ObstacleTests(race, Road());
  EXPECT_EQ(Plays(sndCrash), 1);
  EXPECT_EQ(Bike().HitPoints, 3);
}

TEST_F(Riders, ACrashedRiderSlidesLiesStillForASecondAndRidesOnFromTheLeftInnerLane) {
  TCar& r = Rivals();
  Rider(1, 200, 200);
  r.Heading[1] = 7;
  r.Speed[1] = 20;
  r.ScrollSpeed[1] = TopSpeedFactor(VehicleModel(1)) * 20 / 8;
  r.Crash(1);
  while (r.Speed[1] > 0) {
    const double before = r.Speed[1];
    StepRivals();
    EXPECT_NEAR(r.Speed[1], before - 0.8, 1e-9);
    EXPECT_LE(r.LeanFrame[1], VehicleModel(1).CrashFrameCount - 1);
  }
  EXPECT_EQ(r.LeanFrame[1], VehicleModel(1).CrashFrameCount - 1);
  const double lay = r.CenterY[1];
  int still = 0;
  while (r.Crashed[1] && still < 200) {
    StepRivals();
    ++still;
  }
  EXPECT_EQ(still, (1000 + FrameTimeMs - 1) / FrameTimeMs + 1);  // the countdown, then the return
  EXPECT_EQ(r.Contacts[1], 0);
  EXPECT_EQ(r.CurrentImage[1], VehicleModel(1).UprightImage);
  EXPECT_EQ(r.PosX[1], (325 - 3) * CellSize);  // the shoulder right of the start area is column 325
  EXPECT_EQ(r.PosY[1], (static_cast<int>(lay / CellSize) + 1) * CellSize);
  EXPECT_EQ(r.Heading[1], 0);
}

TEST_F(Riders, TheCrashAnimationSurvivesAFrameTimeOfZero) {
  TCar& r = Rivals();
  Rider(1, 200, 200);
  r.Speed[1] = 50;
  r.Crash(1);
  const int32_t frameTime = FrameTimeMs;
  FrameTimeMs = 0;
  StepRivals();
  FrameTimeMs = frameTime;
  EXPECT_TRUE(std::isfinite(r.LeanFrame[1]));
  EXPECT_LE(r.LeanFrame[1], VehicleModel(1).CrashFrameCount - 1);
}

TEST_F(Riders, ReturnToRoadFindsTheRightEdgeOfStraightAndDiagonalRoads) {
  const struct {
    const char* Name;
    uint8_t Edge;   // at column 400 of the rider's row; 0 = an empty shoulder right of a lane
    uint8_t Verge;  // at column 401
    double Heading;
  } cases[] = {{"shoulder", 0, 13, 0}, {"marked_shoulder", 23, 13, 0}, {"shift_left", 29, 30, -18.89},
               {"shift_right", 47, 48, 18.89}};
  TRace& race = TheRace();
  TCar& r = Rivals();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    const int row = 1300;
    for (int q = row - 1; q <= row + 1; ++q) race.TrackMap[q].fill(tileGround);
    race.TrackMap[row][399] = c.Edge == 0 ? tileRightLane : tileGround;
    race.TrackMap[row][400] = c.Edge;
    race.TrackMap[row][401] = c.Verge;
    Rider(1, 200, 200);
    r.PosY[1] = row * CellSize;
    r.PosX[1] = 300 * CellSize;
    r.Heading[1] = 7;
    r.PlaceHull(1);
    r.Crash(1);
    r.ReturnToRoad(1);
    EXPECT_FALSE(r.Crashed[1]);
    EXPECT_EQ(r.PosX[1], 397 * CellSize);
    EXPECT_EQ(r.PosY[1], row * CellSize);
    EXPECT_DOUBLE_EQ(r.Heading[1], c.Heading);
  }
}

TEST_F(Riders, WithNoRoadEdgeAroundItTheRiderGetsUpWhereItLay) {
  TCar& r = Rivals();
  // Over plain ground, and off the map ahead of its first row and behind its last.
  for (const double y : {1300.0 * CellSize, -500.0, (TrackRows + 100.0) * CellSize}) {
    SCOPED_TRACE(y);
    for (int q = 1299; q <= 1301; ++q) TheRace().TrackMap[q].fill(tileGround);
    Rider(1, 200, 200);
    r.PosX[1] = 300 * CellSize;
    r.PosY[1] = y;
    r.Heading[1] = 7;
    r.PlaceHull(1);
    r.Crash(1);
    r.ReturnToRoad(1);
    EXPECT_FALSE(r.Crashed[1]);
    EXPECT_EQ(r.Contacts[1], 0);
    EXPECT_EQ(r.PosX[1], 300 * CellSize);
    EXPECT_EQ(r.PosY[1], y);
    EXPECT_EQ(r.Heading[1], 7);
  }
}

TEST_F(Riders, OffTheMapTheRiderKeepsItsHeading) {
  TCar& r = Rivals();
  // Far ahead of the map, its look-ahead row ahead of the first row, and far behind the map.
  for (const double y : {-3000.0, 3.0 * CellSize, (TrackRows + 50.0) * CellSize}) {
    SCOPED_TRACE(y);
    Rider(1, 200, 200);
    r.PosY[1] = y;
    r.Heading[1] = 5;
    r.LookAhead[1] = 2;
    r.Speed[1] = 100;
    r.ScrollSpeed[1] = 12;
    StepRivals();
    EXPECT_EQ(r.Heading[1], 5);
    EXPECT_EQ(r.LookAhead[1], 0);
  }
}

}  // namespace
