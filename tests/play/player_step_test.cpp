// The bike's frame: contact with rivals, pushes, falls, crashes and the return to the road, the
// race position, skid marks, the finish, time over and game over.
#include <gtest/gtest.h>

#include "audio/audio.h"
#include "race_fixture.h"

namespace {

class Step : public RaceGame {
protected:
  // A rival on the bike's centre line, offset by dy screen pixels (positive: behind). Contact
  // counts only where a corner of one quad lies inside the other, so the two never sit exactly
  // on top of each other here.
  void RivalOnBike(int n, double dy) { PlaceRival(n, Bike().CenterX, Bike().CenterY + dy); }
  void RivalAway(int n) { PlaceRival(n, Bike().CenterX + 300, Bike().CenterY); }
  void Touch() {
    Bike().ComputeHull();
    Bike().TouchRivals();
  }
};

TEST_F(Step, ThreeNewContactsCostALifeAndARivalTouchedTwiceCrashes) {
  TPlayer& bike = Bike();
  bike.Speed = bike.ScrollSpeed = 0;
  RivalOnBike(1, -20);
  Touch();
  EXPECT_EQ(bike.HitPoints, 2);
  EXPECT_TRUE(Rivals().Touching[1]);
  EXPECT_EQ(Rivals().Contacts[1], 1);
  Touch();  // still in contact: no new hit
  EXPECT_EQ(bike.HitPoints, 2);

  RivalAway(1);
  Touch();
  EXPECT_FALSE(Rivals().Touching[1]);
  RivalOnBike(1, -20);
  Touch();
  EXPECT_EQ(bike.HitPoints, 1);
  EXPECT_TRUE(Rivals().Crashed[1]);
  EXPECT_EQ(Plays(sndCrash), 1);

  RivalOnBike(2, -20);
  Touch();
  EXPECT_EQ(bike.HitPoints, 3);
  EXPECT_EQ(TheRace().Lives, 2);
  EXPECT_TRUE(bike.Crashed);
  EXPECT_EQ(bike.CrashTimer, 3000);
}

TEST_F(Step, ARivalNotInViewNeitherTouchesNorIsTouched) {
  RivalOnBike(1, -20);
  Rivals().InView[1] = false;
  Touch();
  EXPECT_EQ(Bike().HitPoints, 3);
  EXPECT_FALSE(Rivals().Touching[1]);
}

TEST_F(Step, AfterTheFinishContactsCostNothing) {
  Bike().Finished = true;
  RivalOnBike(1, -20);
  Touch();
  EXPECT_EQ(Bike().HitPoints, 3);
  EXPECT_EQ(Rivals().Contacts[1], 1);
}

TEST_F(Step, ARivalAheadIsKnockedOnAndTheBikeLosesFivePercent) {
  TPlayer& bike = Bike();
  bike.Speed = 100;
  RivalOnBike(1, -20);
  Rivals().Speed[1] = 80;
  Touch();
  EXPECT_DOUBLE_EQ(bike.Speed, 95);
  EXPECT_DOUBLE_EQ(bike.ScrollSpeed, bike.TopSpeedFactor() * 95 / 8);
  EXPECT_DOUBLE_EQ(Rivals().Speed[1], 84);
  EXPECT_FALSE(bike.BumpBoost);
  EXPECT_EQ(Plays(sndBump), 1);
}

TEST_F(Step, ContactSharesTheHeadings) {
  TPlayer& bike = Bike();
  bike.HeadingAcc = 20;  // 10 units
  RivalOnBike(1, -20);
  Rivals().Heading[1] = -6;
  Touch();
  // t = 2 x -6 - 20 = -32: the bike takes -12 - 16, the rival -6 + 16.
  EXPECT_DOUBLE_EQ(bike.HeadingAcc, -28);
  EXPECT_DOUBLE_EQ(Rivals().Heading[1], 10);
}

// A push from behind adds 10 for 100 ms of frame time, then takes 10 away, at any frame rate;
// from a standstill too (the written factor (Speed + 10) / Speed has no value at 0).
TEST_F(Step, APushFromBehindLastsOneHundredMilliseconds) {
  const struct {
    int Rate;
    double Speed;
    int Frames;
  } cases[] = {{85, 60, 10}, {60, 60, 7}, {85, 0, 10}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Rate);
    AdaptFrameRate(c.Rate, c.Rate);
    TPlayer& bike = Bike();
    bike.Speed = c.Speed;
    bike.BumpBoost = false;
    Rivals().Touching[1] = false;
    RivalOnBike(1, 20);
    Rivals().Speed[1] = 100;
    Touch();
    EXPECT_DOUBLE_EQ(bike.Speed, c.Speed + 10);
    EXPECT_DOUBLE_EQ(bike.ScrollSpeed, bike.TopSpeedFactor() * (c.Speed + 10) / 8);
    EXPECT_DOUBLE_EQ(Rivals().Speed[1], 95);
    EXPECT_TRUE(bike.BumpBoost);
    RivalAway(1);
    int frames = 0;
    double before = 0;
    while (bike.BumpBoost && frames < 100) {
      before = bike.Speed;
      bike.Step(1);
      ++frames;
    }
    EXPECT_EQ(frames, c.Frames);
    EXPECT_NEAR(before - bike.Speed, 10, 0.5);
    bike.HitPoints = 3;
  }
}

TEST_F(Step, BrakingInADeepLeanFallsWithoutCostingALife) {
  TPlayer& bike = Bike();
  drive.Frame();
  bike.Speed = 60;
  bike.Lean = -1;
  bike.ShowLeanPicture();
  bike.FramePos = 1;
  bike.Controls.Down = true;
  bike.CheckFall();
  EXPECT_TRUE(bike.Crashed);
  EXPECT_TRUE(bike.CrashHeadingSet);
  EXPECT_EQ(TheRace().Lives, 3);
  EXPECT_EQ(bike.HitPoints, 3);

  ASSERT_TRUE(RunUntil([&] { return !bike.Crashed; }, 400));
  EXPECT_EQ(bike.Speed, 0);
  EXPECT_EQ(bike.Lean, 0);
  EXPECT_EQ(TheRace().Lives, 3);
  // Back on the right-hand part of the road.
  const double worldX = bike.CenterX + TheRace().ViewCol * CellSize - Road().X;
  const int row = TheRace().ViewRow + 5;
  EXPECT_GT(worldX, TheRace().RoadCenterX[row]);
  EXPECT_LT(worldX, TheRace().RoadCenterX[row] + 3 * CellSize);
}

TEST_F(Step, FallRules) {
  const struct {
    bool Handbrake, Brake;
    int Lean;
    double FramePos, Speed;
    int LastMark;
    bool Falls;
  } cases[] = {
      {true, false, 0, 0, 120, 11, true},   {true, false, 0, 0, 120, 10, false},
      {true, false, 0, 0, 90, 11, false},   {true, false, -1, 3, 50, 9, true},
      {true, false, -1, 3, 50, 8, false},   {false, true, 1, 2, 50, 1, true},
      {false, true, 1, 3, 50, 1, false},    {false, true, 1, 3, 120, 1, true},
      {false, true, 0, 0, 120, 1, false},   {false, false, -1, 0, 150, 50, false},
  };
  for (const auto& c : cases) {
    TPlayer& bike = Bike();
    bike.Crashed = false;
    bike.Controls.Space = c.Handbrake;
    bike.Controls.Down = c.Brake;
    bike.Lean = c.Lean;
    bike.FramePos = c.FramePos;
    bike.Speed = c.Speed;
    bike.LastMark = c.LastMark;
    bike.CheckFall();
    EXPECT_EQ(bike.Crashed, c.Falls) << c.Handbrake << c.Brake << c.Lean << " " << c.FramePos << " " << c.Speed
                                     << " " << c.LastMark;
  }
}

class PlaceOnRoad : public Step {
protected:
  // One road row: lanes in columns 300..303, the right shoulder `shoulder` in 304, a verge in 305.
  static void RoadRow(int row, int shoulder) {
    TheRace().TrackMap[row].fill(tileGround);
    const int lanes[] = {10, 11, 11, 12};
    for (int k = 0; k < 4; ++k) TheRace().TrackMap[row][300 + k] = static_cast<uint8_t>(lanes[k]);
    TheRace().TrackMap[row][304] = static_cast<uint8_t>(shoulder);
    TheRace().TrackMap[row][305] = 13;
  }
  void ClearTrack() {
    for (auto& row : TheRace().TrackMap) row.fill(tileGround);
  }
};

TEST_F(PlaceOnRoad, FindsTheRightEdgeOnStraightAndDiagonalRoads) {
  const struct {
    int Shoulder;
    double HeadingAcc;
    int ViewCol;
  } cases[] = {{0, 0, 297}, {23, 0, 297}, {47, 38, 296}, {29, -38, 298}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Shoulder);
    ClearTrack();
    RoadRow(1008, c.Shoulder);
    TheRace().ViewRow = 1000;
    TheRace().ViewCol = 10;
    Road().X = -30;
    Road().Y = -40;
    Bike().HeadingAcc = 99;
    Bike().PlaceOnRoad();
    EXPECT_EQ(TheRace().ViewCol, c.ViewCol);
    EXPECT_EQ(TheRace().ViewRow, 1004);  // one row behind the row searched
    EXPECT_EQ(Bike().HeadingAcc, c.HeadingAcc);
    EXPECT_EQ(Bike().Heading, RoundHalfEven(c.HeadingAcc / 2));
    EXPECT_EQ(Road().X, 0);
    EXPECT_EQ(Road().Y, 0);
  }
}

// With no road edge anywhere below the bike the search ends at the map's last row and the view
// stays where it was.
TEST_F(PlaceOnRoad, WithoutARoadEdgeTheViewStays) {
  ClearTrack();
  for (const int row : {1000, 1489, 1490}) {
    TheRace().ViewRow = row;
    TheRace().ViewCol = 200;
    Road().Y = -10;
    Bike().PlaceOnRoad();
    EXPECT_EQ(TheRace().ViewRow, row);
    EXPECT_EQ(TheRace().ViewCol, 200);
    EXPECT_EQ(Road().Y, 0);
  }
}

TEST_F(Step, CrashHeadingMirrorsAboutTheRoadAndIgnoresRowsOffTheMap) {
  TPlayer& bike = Bike();
  bike.Heading = 10;
  for (auto& row : TheRace().TrackMap) row.fill(tileGround);
  TheRace().TrackMap[700][300] = 10;
  TheRace().TrackMap[701][300] = 45;
  TheRace().TrackMap[702][300] = 33;
  TheRace().TrackMap[702][310] = 10;  // the last such tile wins
  EXPECT_EQ(bike.CrashHeadingAtRow(700), -10);
  EXPECT_EQ(bike.CrashHeadingAtRow(701), 28);
  EXPECT_EQ(bike.CrashHeadingAtRow(702), -10);
  EXPECT_EQ(bike.CrashHeadingAtRow(0), -10);
  EXPECT_EQ(bike.CrashHeadingAtRow(1505), -10);
}

TEST_F(Step, AnObstacleCostsALifeAndTheBikeComesBackOnTheRoad) {
  TPlayer& bike = Bike();
  RideAlone();
  drive.Frame();
  // Verges across the whole window: the next road step finds the bike on one.
  for (int i = 1; i <= RoadWindowRows; ++i)
    for (int j = 1; j <= RoadWindowColumns; ++j) TheRace().TrackMap[TheRace().ViewRow + i][TheRace().ViewCol + j] = 5;
  bike.HitPoints = 2;
  drive.Frame();
  EXPECT_TRUE(bike.Crashed);
  EXPECT_EQ(TheRace().Lives, 2);
  EXPECT_EQ(bike.HitPoints, 3);
  EXPECT_EQ(Plays(sndCrash), 1);
  TheRace().SetUpLevel(1);
  const int frames = [&] {
    int n = 0;
    while (bike.Crashed && n < 400) {
      drive.Frame();
      ++n;
    }
    return n;
  }();
  EXPECT_EQ(frames, 273);  // 3000 ms of 11 ms frames, then the return
  EXPECT_EQ(bike.Speed, 0);
  EXPECT_EQ(Shell.PopupKind, 0);
}

TEST_F(Step, WithNoLifeLeftTheCrashEndsInGameOverAfterThreeSeconds) {
  TPlayer& bike = Bike();
  TheRace().Lives = 1;
  bike.Hit(3);
  EXPECT_EQ(TheRace().Lives, 0);
  int frames = 0;
  while (Shell.PopupKind == 0 && frames < 400) {
    drive.Frame();
    ++frames;
  }
  EXPECT_EQ(Shell.PopupKind, 7);
  EXPECT_EQ(frames, 274);
}

TEST_F(Step, TheFinishOpensTheTallyAfterTheRollOutAndTwoSeconds) {
  TPlayer& bike = Bike();
  RideAlone();
  drive.Frame();
  EXPECT_EQ(TheRace().PlayerRank, 1);
  EXPECT_EQ(TheRace().RacerCount, 1);
  TheRace().ViewRow = FinishRowOf(TheRace().TrackLength) - 6;
  TheRace().CopyViewToRoad();
  bike.Speed = 40;
  bike.Controls.Up = true;
  drive.Frame();
  EXPECT_TRUE(bike.Finished);
  ASSERT_TRUE(RunUntil([&] { return bike.Speed == 0; }, 200));
  EXPECT_EQ(bike.EngineSound, TEngineSound::Idle);
  int frames = 0;
  while (Shell.PopupKind == 0 && frames < 400) {
    drive.Frame();
    ++frames;
  }
  EXPECT_EQ(Shell.PopupKind, 11);
  EXPECT_NEAR(frames * 11, 2000, 22);
  EXPECT_EQ(TheRace().RankBonus, 800);
  EXPECT_EQ(TheRace().TimeBonus, 0);
  EXPECT_EQ(TheRace().ResultStep, 0);
  EXPECT_EQ(TheRace().ResultTimeLeft, TheRace().RaceTimeLeft);
}

TEST_F(Step, TimeOverCostsALifeAfterTheRollOutAndTheLastLifeEndsTheGame) {
  for (const int lives : {3, 1}) {
    SCOPED_TRACE(lives);
    TPlayer& bike = Bike();
    TheRace().Lives = lives;
    TheRace().RaceTimeLeft = 40;
    bike.Speed = 16;
    ASSERT_TRUE(RunUntil([&] { return bike.TimeUp; }, 20));
    ASSERT_TRUE(RunUntil([&] { return bike.Speed == 0; }, 100));
    int frames = 0;
    while (Shell.PopupKind == 0 && frames < 400) {
      drive.Frame();
      ++frames;
    }
    EXPECT_NEAR(frames * 11, 1000, 22);
    EXPECT_EQ(TheRace().Lives, lives - 1);
    EXPECT_EQ(Shell.PopupKind, lives > 1 ? 3 : 7);
    if (Shell.PopupKind == 3) {
      // The same level starts again when the notice has been shown.
      ASSERT_TRUE(RunUntil([] { return Shell.PopupKind == 6; }, 400));
      EXPECT_EQ(TheRace().Level, 1);
      EXPECT_EQ(TheRace().RaceTimeLeft, 45000);
      EXPECT_FALSE(bike.TimeUp);
      ClosePopup();
    }
  }
}

TEST_F(Step, HoldingUpWhenTheClockRunsOutStillEndsInTheTimeOverNotice) {
  // The controls are dead once the time is up: throttle would restart the roll-out's pause every
  // frame and hold the notice off for as long as Up is held.
  RideAlone();
  TPlayer& bike = Bike();
  TheRace().RaceTimeLeft = 40;
  bike.Speed = 16;
  drive.Press(VK_UP);
  ASSERT_TRUE(RunUntil([&] { return bike.TimeUp; }, 20));
  EXPECT_TRUE(RunUntil([] { return Shell.PopupKind == popTimeOver; }, 400));
  drive.Release(VK_UP);
}

TEST_F(Step, ALeanRecoveredToItsUprightEndStaysThereAndBrakingDoesNotThrowTheBike) {
  RideAlone();
  TPlayer& bike = Bike();
  drive.Frame();
  bike.Speed = 120;
  bike.Lean = -1;
  bike.ShowLeanPicture();
  bike.FramePos = 5.3;  // recovering: two frames from the upright end
  drive.Press(VK_DOWN);
  for (int i = 0; i < 4; ++i) {
    drive.Frame();
    EXPECT_TRUE(bike.Lean == 0 || bike.FramePos >= 5.3) << "frame " << i << ": the lean flipped to " << bike.FramePos;
  }
  EXPECT_FALSE(bike.Crashed);
  drive.Release(VK_DOWN);
}

TEST_F(Step, RaceClockTicksInTheLastTenSecondsAndStopsAtZero) {
  TPlayer& bike = Bike();
  TheRace().RaceTimeLeft = 10005;
  bike.RunRaceClock();
  EXPECT_EQ(Plays(sndClockTick), 0);
  EXPECT_EQ(TheRace().RaceTimeLeft, 9994);
  bike.RunRaceClock();
  EXPECT_EQ(Plays(sndClockTick), 1);
  TheRace().RaceTimeLeft = 5;
  bike.RunRaceClock();
  EXPECT_EQ(TheRace().RaceTimeLeft, 5);
  EXPECT_TRUE(bike.TimeUp);
}

struct RankCase {
  const char* Name;
  std::vector<double> Ahead;  // racing rivals, world Y minus the bike's (negative: ahead)
  int Rank, Count;
};
void PrintTo(const RankCase& c, std::ostream* os) { *os << c.Name; }

class Rank : public Step, public testing::WithParamInterface<RankCase> {};

TEST_P(Rank, CountsTheRacersAheadOfTheBike) {
  const RankCase& c = GetParam();
  TPlayer& bike = Bike();
  RideAlone();
  TheRace().PlayerRank = 4;
  const double p = TheRace().ViewRow * CellSize + bike.CenterY - Road().Y;
  for (size_t k = 0; k < c.Ahead.size(); ++k) {
    const int n = static_cast<int>(k) + 1;
    Rivals().Racing[n] = true;
    Rivals().CenterY[n] = p + c.Ahead[k];
  }
  bike.UpdateRank();
  EXPECT_EQ(TheRace().PlayerRank, c.Rank);
  EXPECT_EQ(TheRace().RacerCount, c.Count);
}

INSTANTIATE_TEST_SUITE_P(Table, Rank,
                         testing::Values(RankCase{"alone", {}, 1, 1}, RankCase{"first_of_2", {50}, 1, 2},
                                         RankCase{"second_of_2", {-50}, 2, 2},
                                         RankCase{"third_of_5", {-50, 20, -300, 40, 90}, 3, 5 + 1},
                                         RankCase{"last_of_5", {-1, -2, -3, -4, -5}, 6, 6},
                                         RankCase{"first_of_5", {1, 2, 3, 4, 5}, 1, 6},
                                         RankCase{"level_with_one_keeps_the_place", {-50, 0}, 4, 3}),
                         [](const auto& info) { return std::string(info.param.Name); });

TEST_F(Step, MarkPoolFillsTheLowestFreeSlotAndCullsOffTheRoadArea) {
  TPlayer& bike = Bike();
  for (int k = 0; k < MarkSlots + 5; ++k) bike.AddMark(100, 100 + k);
  EXPECT_EQ(bike.MarksUsed(), MarkSlots);
  EXPECT_EQ(bike.LastMark, MarkSlots);
  bike.Marks[7].X = 701;
  bike.Marks[9].Y = -15;
  bike.Marks[11].Y = -14;  // still partly on the screen
  bike.CullMarks();
  EXPECT_EQ(bike.MarksUsed(), MarkSlots - 2);
  bike.AddMark(50, 50);
  EXPECT_EQ(bike.LastMark, 7);
}

TEST_F(Step, HoldingSpaceAtSpeedLaysMarksUntilTheBikeFalls) {
  TPlayer& bike = Bike();
  drive.Frame();
  bike.Speed = 150;
  bike.ScrollSpeed = bike.TopSpeedFactor() * 150 / 8;
  drive.Press(VK_SPACE);
  drive.Frame();  // the bike reads the key in the next frame
  ASSERT_TRUE(RunUntil([&] { return bike.Crashed; }, 40));
  drive.Release(VK_SPACE);
  EXPECT_GT(bike.LastMark, 10);
  EXPECT_GE(bike.MarksUsed(), 10);
  EXPECT_EQ(TheRace().Lives, 3);
  // The marks lie about 12 pixels apart along the road.
  const double gap = bike.Marks[2].Y - bike.Marks[3].Y;
  EXPECT_GT(gap, 3);
  EXPECT_LT(gap, 15);
}

TEST_F(Step, TheFirstShiftLeavesOneMark) {
  TPlayer& bike = Bike();
  drive.Frame();
  bike.Speed = 64 * bike.TopSpeedFactor();
  bike.ScrollSpeed = bike.TopSpeedFactor() * bike.Speed / 8;
  drive.Press(VK_UP);
  ASSERT_TRUE(RunUntil([&] { return bike.EngineSound == TEngineSound::Shift; }, 200));
  EXPECT_EQ(bike.MarksUsed(), 1);
  drive.Frames(3);
  drive.Release(VK_UP);
  EXPECT_EQ(bike.MarksUsed(), 1);
  EXPECT_EQ(Plays(sndShiftChirp), 1);
}

TEST_F(Step, ScoreAndLives) {
  TPlayer& bike = Bike();
  bike.AddScore(50);
  EXPECT_EQ(TheRace().Score, 50);
  bike.AddLife(1);
  EXPECT_EQ(TheRace().Lives, 3);
  TheRace().Lives = 2;
  bike.AddLife(2);
  EXPECT_EQ(TheRace().Lives, 2);
  bike.AddLife(1);
  EXPECT_EQ(TheRace().Lives, 3);
}

}  // namespace
