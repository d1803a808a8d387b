// The race screen as the player meets it: START builds it in order, the tally leads to the next
// level, the last level ends in the congratulations and the name entry, game over returns to the
// menu with every race sprite gone.
#include <gtest/gtest.h>

#include <algorithm>

#include "audio/audio.h"
#include "race_fixture.h"

namespace {

class RaceScreen : public HeadlessGame {};

TEST_F(RaceScreen, StartOnTheVehicleSelectionBuildsTheRace) {
  FinishIntro();
  drive.Key(VK_RETURN);
  drive.Frames(5);
  ASSERT_EQ(Shell.CurrentScreen, scrVehicleSelection);
  Snd_CallLog().clear();
  drive.Key(VK_RETURN);
  ASSERT_EQ(Shell.CurrentScreen, scrRace);
  EXPECT_EQ(Shell.PopupKind, 6);
  EXPECT_FALSE(Sys_CursorVisible());
  const auto& log = Snd_CallLog();
  EXPECT_TRUE(std::any_of(log.begin(), log.end(), [](const std::string& c) {
    return c.rfind("music-load", 0) == 0 && c.find("Race.xm") != std::string::npos;
  }));
  EXPECT_EQ(Shell.FirstItem, 1);
  EXPECT_EQ(Shell.LastItem, 0);
  EXPECT_EQ(TheRace().Lives, 3);
  EXPECT_EQ(TheRace().Level, 1);

  ASSERT_NE(TheRace().Player, nullptr);
  EXPECT_EQ(TheRace().Road->Z, 2);
  EXPECT_EQ(TheRace().BonusSprite->Z, 5);
  EXPECT_EQ(TheRace().Traffic->Z, 9);
  EXPECT_EQ(TheRace().Player->Z, 12);
  EXPECT_EQ(TheRace().SpeedNeedle->Z, 12);
  EXPECT_EQ(TheRace().SpeedNeedle->Angle, 28);
  EXPECT_EQ(TheRace().Player->X, 400);
  EXPECT_EQ(TheRace().Player->Y, 400);
  // Created after the needle, the bike is drawn before it.
  const auto& order = GameSpriteEngine().DrawOrder();
  EXPECT_LT(std::find(order.begin(), order.end(), TheRace().Player), std::find(order.begin(), order.end(), TheRace().SpeedNeedle));
  EXPECT_NE(TheRace().ObstacleTests, nullptr);
}

class RaceEnd : public RaceGame {
protected:
  // Puts the bike, alone, just past the finish line, standing, and runs until the tally opens.
  void Finish() {
    RideAlone();
    drive.Frame();
    TheRace().ViewRow = FinishRowOf(TheRace().TrackLength) - 6;
    TheRace().CopyViewToRoad();
    Bike().Speed = 0;
    ASSERT_TRUE(RunUntil([] { return Shell.PopupKind == 11; }, 300));
  }
};

TEST_F(RaceEnd, TheTallyLeadsToTheNextLevel) {
  Finish();
  const int32_t timeLeft = TheRace().RaceTimeLeft;
  ASSERT_TRUE(RunUntil([] { return Shell.PopupKind == 6; }, 3000));
  EXPECT_EQ(TheRace().Level, 2);
  // The rank bonus for first place and 5 points per second left.
  EXPECT_NEAR(TheRace().Score, 800 + 5 * (timeLeft / 1000), 5);
  EXPECT_EQ(TheRace().RaceTimeLeft, 55000);
  EXPECT_FALSE(Bike().Finished);
  EXPECT_EQ(TheRace().ViewRow, StartViewRow);
  EXPECT_EQ(Bike().HitPoints, 3);
}

TEST_F(RaceEnd, AfterTheLastLevelTheCongratulationsLeadToTheNameEntry) {
  TheRace().Level = 9;
  Bike().StartLevel(true);
  ASSERT_EQ(TheRace().Level, 10);
  ClosePopup();
  Finish();
  ASSERT_TRUE(RunUntil([] { return Shell.PopupKind == 12; }, 3000));
  EXPECT_EQ(Plays(sndCongratulations), 1);
  ASSERT_TRUE(RunUntil([] { return Shell.PopupKind == 8; }, 400));
  EXPECT_EQ(Shell.CurrentScreen, scrRace);
}

TEST_F(RaceEnd, GameOverWithoutATableScoreReturnsToTheMenu) {
  for (int n = 1; n <= 10; ++n) HighScores[n] = THighScore{"Ace", 100000};
  TheRace().Lives = 1;
  Bike().Hit(3);
  ASSERT_TRUE(RunUntil([] { return Shell.PopupKind == 7; }, 400));
  ASSERT_TRUE(RunUntil([] { return Shell.CurrentScreen == scrMainMenu; }, 400));
  EXPECT_EQ(CurrentRace(), nullptr);
  EXPECT_EQ(GameSpriteEngine().SpriteCount, 7);  // the menu's backdrop and six buttons
  drive.Frames(3);
}

}  // namespace
