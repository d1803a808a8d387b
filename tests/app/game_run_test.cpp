// Runs of the game one after another in one process, as zkplay, the tests and the benchmark start
// them: the second run starts from the state of program start, whatever the first left in memory.
#include <string>

#include "headless_game.h"
#include "replay/replay.h"
#include "screens/screens.h"

namespace {

// What the game holds in memory when a run's form is about to be created.
struct TStateAtStart {
  bool AutopilotOn = false;
  TRider AutopilotRider = TRider::Expert;
  double AutopilotSpeedCap = 1;
  TReplayMode Replay = TReplayMode::Off;
  uint32_t ReplayFrames = 0;
  bool RaceExists = false;
  TGameOptions Options;
  uint8_t BossKeyShift = 0;
  uint16_t BossKey = 0;
  THighScore FirstScore;
  std::string Digest;
  TControls Controls;
  uint8_t Screen = scrNone;
  int32_t SelectedVehicle = 1;
  int32_t FrameTimeMs = 0;
  double SpeedFactor = 0;
};

class TwoRuns : public HeadlessGame {
protected:
  void BeforeStart() override {
    seen_ = TStateAtStart{Autopilot.On, Autopilot.Rider, Autopilot.SpeedCap, ReplayMode(), ReplayFrameCount(),
                          CurrentRace() != nullptr, Options, BossKeyShift, BossKey, HighScores[1],
                          StoredHighScoreDigest, Controls, Shell.CurrentScreen, Shell.SelectedVehicle,
                          FrameTimeMs, SpeedFactor};
  }

  // Stops this run and starts the next one in a fresh copy of the game folder.
  void StartNextRun() {
    TearDown();
    SetUp();
  }

  TStateAtStart seen_;
};

TEST_F(TwoRuns, TheSecondStartsFromNothingTheFirstLeft) {
  // The first run: settings and a table changed but never saved, a game under way and recorded,
  // ridden by the human autopilot, in a run that may not write its files (as a replay's).
  FinishIntro();
  Options = TGameOptions{true, false, false, "Atlantis"};
  BossKeyShift = ssCtrl;
  BossKey = VK_F1 + 3;
  HighScores[1] = THighScore{"FIRST RUN", 99999};
  Controls.Keys[caHorn] = 'J';
  Autopilot.On = true;
  Autopilot.Rider = TRider::Human;
  Autopilot.SpeedCap = 0.5;
  SetSaveWritesAllowed(false);
  LeaveMainMenu();
  Shell.SelectedVehicle = 3;
  StartRaceScreen();
  ClosePopup();
  drive.Frames(30);
  ASSERT_EQ(ReplayMode(), TReplayMode::Recording);
  ASSERT_GT(ReplayFrameCount(), 0u);
  ASSERT_NE(CurrentRace(), nullptr);

  StartNextRun();
  if (HasFatalFailure()) return;
  EXPECT_FALSE(seen_.AutopilotOn);
  EXPECT_EQ(seen_.AutopilotRider, TRider::Expert);
  EXPECT_EQ(seen_.AutopilotSpeedCap, 1);
  EXPECT_EQ(seen_.Replay, TReplayMode::Off);
  EXPECT_EQ(seen_.ReplayFrames, 0u);
  EXPECT_FALSE(seen_.RaceExists);
  EXPECT_FALSE(seen_.Options.FullScreen);
  EXPECT_TRUE(seen_.Options.Music);
  EXPECT_TRUE(seen_.Options.Sound);
  EXPECT_EQ(seen_.Options.Country, "");
  EXPECT_EQ(seen_.BossKeyShift, 0);
  EXPECT_EQ(seen_.BossKey, 0);
  EXPECT_EQ(seen_.FirstScore.Name, "");
  EXPECT_EQ(seen_.FirstScore.Score, 0);
  EXPECT_EQ(seen_.Digest, "");
  EXPECT_EQ(seen_.Controls, DefaultControls);
  EXPECT_EQ(seen_.Screen, scrNone);
  EXPECT_EQ(seen_.SelectedVehicle, 1);
  EXPECT_EQ(seen_.FrameTimeMs, 15);
  EXPECT_EQ(seen_.SpeedFactor, 1.0);

  // The second run loaded its own (missing) files, and saves them again.
  EXPECT_EQ(Options.Country, DefaultCountry);
  EXPECT_EQ(HighScores[1].Name, DefaultHighScoreName);
  EXPECT_EQ(SaveGameFiles(), "");
  EXPECT_TRUE(SaveFileExists(SavePath("options")));
}

}  // namespace
