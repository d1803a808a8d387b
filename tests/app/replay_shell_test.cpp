// Replays through the real game: a game ridden with every kind of popup answer is recorded when it
// ends and plays back to the same state frame for frame; the window's events do not reach a game
// being played back, Esc ends the playback, and a record that no longer fits the game is told.
#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>

#include "headless_game.h"
#include "race/player.h"
#include "replay/replay.h"
#include "screens/screens.h"

namespace {

// The race's moving parts at one frame.
std::string RaceFingerprint() {
  const TRace* race = CurrentRace();
  if (race == nullptr || race->Player == nullptr) return "no race";
  const TPlayer& bike = *race->Player;
  std::ostringstream out;
  out.precision(17);
  out << race->Level << ' ' << race->Score << ' ' << race->Lives << ' ' << race->RaceTimeLeft << ' '
      << race->ViewRow << ' ' << race->ViewCol << ' ' << bike.Speed << ' ' << bike.HeadingAcc << ' '
      << bike.CenterX << ' ' << bike.CenterY << ' ' << bike.Crashed << ' ' << Shell.PopupKind;
  for (int i = 1; i <= RivalCount; ++i)
    out << " | " << race->Traffic->PosX[i] << ' ' << race->Traffic->PosY[i] << ' ' << race->Traffic->Speed[i];
  return out.str();
}

class ReplayedGame : public HeadlessGame {
protected:
  using TPrints = std::map<uint32_t, std::string>;
  // Frames of the record at which the race is compared, all within the crashes at the end.
  static constexpr uint32_t kCheckedFrames[] = {200, 350, 500, 700};

  // Runs a frame and notes the race when the record has reached one of kCheckedFrames.
  void Frame(TPrints& prints) {
    drive.Frame();
    for (const uint32_t f : kCheckedFrames)
      if (ReplayFrameCount() == f) prints.emplace(f, RaceFingerprint());
  }

  // Rides a game with a pause, the boss key over the caption, "Exit to menu?" answered No by
  // mouse and by Enter, Alt+Enter and a minimise, then crashes into the verge to the game over.
  TPrints RideRecordedGame() {
    TPrints prints;
    FinishIntro();
    drive.Key(VK_RETURN);
    drive.Frames(5);
    drive.Key(VK_RETURN);
    EXPECT_EQ(ReplayMode(), TReplayMode::Recording);
    drive.Frames(10);
    drive.Key(VK_F1 + 8, ssAlt);  // the boss key closes the caption and pauses
    drive.Send(SysEventType::Restored);
    drive.Send(SysEventType::Activated);
    drive.Key('P');
    drive.Press(VK_UP);
    drive.Frames(60);
    drive.Key(VK_ESCAPE);
    drive.MouseMove(260, 320);
    drive.MouseMove(420, 320);
    drive.Click();
    drive.Frames(30);
    drive.Key(VK_ESCAPE);
    drive.Key(VK_RETURN);
    drive.Key(VK_RETURN, ssAlt);
    drive.Key('P');
    drive.Send(SysEventType::Minimized);
    drive.Send(SysEventType::Restored);
    drive.Send(SysEventType::Activated);
    drive.Key(VK_ESCAPE);
    drive.Press(VK_RIGHT);
    for (int i = 0; i < 3000 && Shell.CurrentScreen == scrRace; ++i) Frame(prints);
    drive.Release(VK_RIGHT);
    drive.Release(VK_UP);
    return prints;
  }

  TPrints PlayBack(TReplay replay) {
    TPrints prints;
    App_StartReplay(std::move(replay));
    for (int i = 0; i < 5000 && !PlaybackEnded(); ++i) Frame(prints);
    return prints;
  }
};

TEST_F(ReplayedGame, PlaysBackFrameForFrame) {
  const TPrints ridden = RideRecordedGame();
  ASSERT_EQ(Shell.CurrentScreen, scrMainMenu) << "the game did not end";
  ASSERT_EQ(ridden.size(), std::size(kCheckedFrames));
  const TReplay replay = ReadReplayFile(SavePath(ReplayFileName));
  EXPECT_EQ(replay.Vehicle, 1);
  EXPECT_EQ(replay.FinalLives, 0);
  int popups = 0, activations = 0, hovers = 0;
  for (const TReplayEvent& e : replay.Events) {
    popups += e.Kind == rekPopup;
    activations += e.Kind == rekActivate;
    hovers += e.Kind == rekHover;
  }
  EXPECT_EQ(popups, 3);  // the boss key, Alt+Enter, the minimise
  EXPECT_EQ(activations, 2);
  EXPECT_GE(hovers, 1);

  const TPrints played = PlayBack(replay);
  EXPECT_TRUE(PlaybackEnded());
  EXPECT_EQ(ReplayPlaybackProblem(), "");
  EXPECT_EQ(played, ridden);
  EXPECT_EQ(ReplayFrameCount(), replay.Frames.size());
  // The playback stops at the game's end, before the name entry or the menu.
  EXPECT_EQ(Shell.CurrentScreen, scrRace);
  EXPECT_EQ(GameScore(), replay.FinalScore);
}

TEST_F(ReplayedGame, TheWindowDoesNotReachThePlaybackAndEscEndsIt) {
  RideRecordedGame();
  TReplay replay = ReadReplayFile(SavePath(ReplayFileName));
  std::remove(SavePath(ReplayFileName).c_str());
  App_StartReplay(std::move(replay));
  drive.Frames(200);
  const uint32_t frames = ReplayFrameCount();
  drive.Key('P');
  drive.Send(SysEventType::Minimized);
  drive.Send(SysEventType::Restored);
  drive.Send(SysEventType::Activated);
  drive.Frames(3);
  EXPECT_NE(Shell.PopupKind, popPause);
  EXPECT_NE(Shell.PopupKind, popExitToMenu);
  EXPECT_GT(ReplayFrameCount(), frames);
  drive.Key(VK_ESCAPE);
  EXPECT_TRUE(PlaybackEnded());
  EXPECT_NE(ReplayPlaybackProblem().find("stopped after"), std::string::npos);
  // Nothing runs after the end, and a played-back game is not recorded again.
  const uint32_t framesAtTheEnd = ReplayFrameCount();
  drive.Frames(5);
  EXPECT_EQ(ReplayFrameCount(), framesAtTheEnd);
  EXPECT_FALSE(SaveFileExists(SavePath(ReplayFileName)));
}

TEST_F(ReplayedGame, ARecordThatNoLongerFitsTheGameIsTold) {
  RideRecordedGame();
  TReplay replay = ReadReplayFile(SavePath(ReplayFileName));
  // The rider never steers now: the game goes on when the record has run out.
  for (TReplayFrame& f : replay.Frames) f.Keys &= static_cast<uint8_t>(~PackRaceInput({false, true}));
  PlayBack(std::move(replay));
  EXPECT_TRUE(PlaybackEnded());
  EXPECT_NE(ReplayPlaybackProblem().find("before its game did"), std::string::npos) << ReplayPlaybackProblem();
}

// The save folder's files and their bytes.
std::map<std::string, std::string> FilesIn(const std::string& folder) {
  std::map<std::string, std::string> files;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    std::ifstream in(entry.path(), std::ios::binary);
    files[entry.path().filename().string()] = std::string(std::istreambuf_iterator<char>(in), {});
  }
  return files;
}

// A shared record, checksum and all, whose game is left through "Exit to menu?" and which then
// goes on with key presses and activations of every item, as one that clears the high scores,
// switches the music off, opens the web pages and exits would.
TEST_F(ReplayedGame, AHostileRecordNeverReachesTheMenusNorTheFiles) {
  RideRecordedGame();
  TReplay replay = ReadReplayFile(SavePath(ReplayFileName));
  constexpr uint32_t kLeaveAt = 300;
  ASSERT_GT(replay.Frames.size(), kLeaveAt + 2);
  replay.Frames.resize(kLeaveAt);
  std::erase_if(replay.Events, [](const TReplayEvent& e) { return e.Frame >= kLeaveAt; });
  constexpr uint8_t kEsc = 128, kYes = 32;
  replay.Frames.push_back(TReplayFrame{0, kEsc, 0});
  replay.Frames.push_back(TReplayFrame{0, kYes, 0});
  for (uint32_t f = kLeaveAt + 2; f < kLeaveAt + 600; ++f) {
    replay.Frames.push_back(TReplayFrame{0, f % 2 == 0 ? kYes : uint8_t{0}, 0});
    if (f % 3 == 0) replay.Events.push_back(TReplayEvent{f, rekActivate, 0, static_cast<int32_t>(f / 3 % 18), 0});
  }
  ASSERT_TRUE(DecodeReplay(EncodeReplay(replay), replay, *std::make_unique<std::string>()));
  const std::string tableBefore = HighScoreDigest();
  const bool musicBefore = Options.Music;
  const auto filesBefore = FilesIn(GameDir() + "/Data/Save");

  PlayBack(replay);
  EXPECT_TRUE(PlaybackEnded());
  EXPECT_EQ(ReplayFrameCount(), kLeaveAt + 2) << "the playback ends where its game was left";
  EXPECT_NE(ReplayPlaybackProblem(), "");
  ASSERT_EQ(Shell.CurrentScreen, scrMainMenu) << "the record did leave the race";
  drive.Frames(20);
  EXPECT_EQ(ReplayFrameCount(), kLeaveAt + 2);
  EXPECT_FALSE(Form().Terminated);
  EXPECT_EQ(HighScoreDigest(), tableBefore);
  EXPECT_EQ(Options.Music, musicBefore);
  // Even the exit after a replay writes nothing.
  Form().SaveAllAndExit();
  EXPECT_EQ(FilesIn(GameDir() + "/Data/Save"), filesBefore);
}

TEST_F(ReplayedGame, AGameLeftThroughExitToMenuIsNotKept) {
  FinishIntro();
  drive.Key(VK_RETURN);
  drive.Frames(5);
  drive.Key(VK_RETURN);
  drive.Frames(250);  // past the level's caption
  drive.Key(VK_ESCAPE);
  drive.Key('Y');
  ASSERT_EQ(Shell.CurrentScreen, scrMainMenu);
  EXPECT_EQ(ReplayMode(), TReplayMode::Off);
  EXPECT_FALSE(SaveFileExists(SavePath(ReplayFileName)));
}

}  // namespace
