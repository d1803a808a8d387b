// Focus and minimising stop the frames; the music and sound rules as the shell meets them.
#include <cstdio>

#include "app/shell_util.h"

namespace {

using shell::Count;

using Window = HeadlessGame;

TEST_F(Window, NoFrameRunsWithoutFocusAndTimeStillPasses) {
  FinishIntro();
  drive.Frame();
  const uint32_t lastFrame = Form().MDXTimer.LastTick;
  drive.Send(SysEventType::Deactivated);
  drive.Key(VK_DOWN);  // polled by no frame
  drive.Frames(200);
  EXPECT_EQ(Form().MDXTimer.LastTick, lastFrame);
  EXPECT_EQ(Shell.HoverItem, 1);
  EXPECT_GE(Sys_Milliseconds() - lastFrame, 2000u);

  drive.Send(SysEventType::Activated);
  // The first frame after the pause lags by one frame, not by the whole absence.
  TDXTimer timer = Form().MDXTimer;
  int lag = 0;
  ASSERT_TRUE(timer.Idle(Sys_Milliseconds() + 12, lag));
  EXPECT_LE(lag, 12);
  drive.Key(VK_DOWN);
  EXPECT_EQ(Shell.HoverItem, 2);
}

TEST_F(Window, MinimiseStopsFramesUntilRestored) {
  FinishIntro();
  drive.Send(SysEventType::Minimized);
  const uint32_t lastFrame = Form().MDXTimer.LastTick;
  drive.Frames(50);
  EXPECT_EQ(Form().MDXTimer.LastTick, lastFrame);
  EXPECT_EQ(Shell.PopupKind, 0);  // off the race nothing pauses
  drive.Send(SysEventType::Restored);
  drive.Frame();
  EXPECT_NE(Form().MDXTimer.LastTick, lastFrame);
}

TEST_F(Window, MinimiseInTheRaceReplacesTheLevelCaptionByThePause) {
  FinishIntro();
  LeaveMainMenu();
  Shell.ScreenBackground = nullptr;
  Shell.CurrentScreen = scrRace;
  OpenPopup(6);
  drive.Send(SysEventType::Minimized);
  EXPECT_EQ(Shell.PopupKind, 5);
}

// Music and sound through the shell.
using Sound = HeadlessGame;

TEST_F(Sound, FreshMenuStartsTheMenuTuneFromItsBeginning) {
  ASSERT_NE(CurrentSong, 0);
  FinishIntro();
  LeaveMainMenu();
  Snd_CallLog().clear();
  ShowMainMenu(0, 1, true);
  EXPECT_EQ(shell::MusicCalls(), (std::vector<std::string>{"music-free", "music-load Menu.xm", "music-play"}));
}

TEST_F(Sound, SubScreensKeepTheMenuTunePlaying) {
  FinishIntro();
  for (const int item : {1, 2, 3, 4}) {
    shell::ClickItem(drive, item);
    drive.Frames(2);
    drive.Key(VK_ESCAPE);
    ASSERT_EQ(Shell.CurrentScreen, scrMainMenu) << item;
    drive.Frame();
  }
  EXPECT_TRUE(shell::MusicCalls().empty());
}

TEST(SoundState, ResetPutsTheSongBackToNone) {
  // Every run of the game in one process starts like the program does: no song loaded.
  CurrentSong = 7;
  ForgetAudioState();
  EXPECT_EQ(CurrentSong, 0);
}

// Options written before start: music and sound off.
class Silent : public HeadlessGame {
  void BeforeStart() override {
    std::FILE* f = std::fopen(SavePath("options").c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fputs("0\r\n0\r\n0\r\nFrance\r\n1\r\n9\r\n\r\n", f);
    std::fclose(f);
    Snd_CallLog().clear();
  }
};

TEST_F(Silent, NothingReachesTheMixer) {
  EXPECT_EQ(CurrentSong, 0);
  FinishIntro();
  drive.Key(VK_DOWN);
  drive.Frame();
  shell::ClickItem(drive, 2);
  drive.Frames(2);
  drive.Key(VK_ESCAPE);
  drive.Frame();
  drive.Key(VK_F1 + 8, ssAlt);  // the boss key stops (no) music
  drive.Send(SysEventType::Restored);
  drive.Key(VK_ESCAPE);
  drive.Frame();
  drive.Key('N');
  LeaveMainMenu();
  ShowMainMenu(0, 1, true);
  EXPECT_TRUE(shell::Calls().empty()) << shell::Calls().front();
}

}  // namespace
