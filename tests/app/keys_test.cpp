// The form's key events: the boss key, Alt+Enter, and typing into the name entry.
#include "app/shell_util.h"
#include "test_names.h"

namespace {

using shell::Count;
constexpr int VK_F9 = VK_F1 + 8;

struct BossCase {
  int Shift;
  int Key;
  bool Matches;
};

void PrintTo(const BossCase& c, std::ostream* os) {
  *os << (c.Shift & ssAlt ? "Alt " : "") << (c.Shift & ssShift ? "Shift " : "") << (c.Shift & ssCtrl ? "Ctrl " : "")
      << "F" << c.Key - VK_F1 + 1;
}

class BossKeyMatch : public HeadlessGame, public testing::WithParamInterface<BossCase> {};

TEST_P(BossKeyMatch, OnlyTheExactCombinationHides) {
  const BossCase& c = GetParam();
  FinishIntro();
  ASSERT_EQ(BossKeyShift, ssAlt);  // the default Alt+F9
  ASSERT_EQ(BossKey, VK_F9);
  ASSERT_NE(CurrentSong, 0);
  drive.Press(c.Key, c.Shift);
  drive.Release(c.Key, c.Shift);
  EXPECT_EQ(Shell.MusicRestartPending, c.Matches);
  EXPECT_EQ(CurrentSong == 0, c.Matches);
  const uint32_t lastFrame = Form().MDXTimer.LastTick;
  drive.Frame();  // the minimise arrives before the frame would run
  EXPECT_EQ(Form().MDXTimer.Hooked(), !c.Matches);
  EXPECT_EQ(Form().MDXTimer.LastTick == lastFrame, c.Matches);
}

INSTANTIATE_TEST_SUITE_P(Table, BossKeyMatch,
                         testing::Values(BossCase{ssAlt, VK_F9, true}, BossCase{0, VK_F9, false},
                                         BossCase{ssAlt | ssShift, VK_F9, false},
                                         BossCase{ssCtrl, VK_F9, false}, BossCase{ssAlt, VK_F1 + 7, false}),
                         test_names::Printed());

using BossKey_ = HeadlessGame;

TEST_F(BossKey_, OnTheMainMenuHidesAndTheNextPopupCloseRestartsTheMusic) {
  FinishIntro();
  drive.Key(VK_RETURN, ssAlt);  // into full screen first
  ASSERT_TRUE(Options.FullScreen);
  ASSERT_TRUE(Form().MDXDraw.FullScreen);
  Snd_CallLog().clear();

  drive.Key(VK_F9, ssAlt);
  EXPECT_EQ(shell::MusicCalls(), std::vector<std::string>{"music-free"});
  EXPECT_EQ(CurrentSong, 0);
  EXPECT_TRUE(Shell.MusicRestartPending);
  EXPECT_FALSE(Options.FullScreen);  // full screen is left, and stays so
  EXPECT_FALSE(Form().MDXDraw.FullScreen);
  EXPECT_EQ(Shell.PopupKind, 0);           // no pause outside the race

  // The minimise reaches the form: frames stop until the window is restored.
  drive.Frame();
  EXPECT_FALSE(Form().MDXTimer.Hooked());
  drive.Send(SysEventType::Restored);
  EXPECT_TRUE(Form().MDXTimer.Hooked());
  drive.Frames(5);
  EXPECT_EQ(shell::MusicCalls(), std::vector<std::string>{"music-free"});  // still silent

  Snd_CallLog().clear();
  drive.Key(VK_ESCAPE);
  ASSERT_EQ(Shell.PopupKind, 1);
  drive.Frame();
  drive.Key('N');
  EXPECT_EQ(Shell.PopupKind, 0);
  EXPECT_FALSE(Shell.MusicRestartPending);
  EXPECT_EQ(shell::MusicCalls(), (std::vector<std::string>{"music-load Menu.xm", "music-play"}));
  EXPECT_NE(CurrentSong, 0);
}

// A boss key set to "none" (0) is never pressed, whatever key code arrives.
class NoBossKey : public HeadlessGame {
  void BeforeStart() override {
    std::FILE* f = std::fopen(SavePath("options").c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fputs("0\r\n1\r\n1\r\nFrance\r\n0\r\n0\r\n\r\n", f);
    std::fclose(f);
  }
};

TEST_F(NoBossKey, NoKeyHidesTheGame) {
  FinishIntro();
  ASSERT_EQ(BossKey, 0);
  ASSERT_EQ(BossKeyShift, 0);
  OpenPopup(8);
  drive.Type("a-b");  // the hyphen has no key code of its own
  EXPECT_FALSE(Shell.MusicRestartPending);
  EXPECT_NE(CurrentSong, 0);
  drive.Frame();
  EXPECT_TRUE(Form().MDXTimer.Hooked());
  EXPECT_EQ(Shell.PlayerName, "ab");
}

using AltEnter = HeadlessGame;

TEST_F(AltEnter, OnTheMainMenuFlipsTheDisplayWithoutAPopup) {
  FinishIntro();
  Snd_CallLog().clear();
  drive.Key(VK_RETURN, ssAlt);
  EXPECT_TRUE(Options.FullScreen);
  EXPECT_TRUE(Form().MDXDraw.FullScreen);
  EXPECT_EQ(Shell.PopupKind, 0);
  EXPECT_EQ(Shell.CurrentScreen, scrMainMenu);
  EXPECT_EQ(Count("play 2"), 0);  // not an Enter: nothing is activated
  drive.Frame();
  drive.Key(VK_RETURN, ssAlt);
  EXPECT_FALSE(Options.FullScreen);
  EXPECT_FALSE(Form().MDXDraw.FullScreen);
  drive.Frames(2);  // frames run on the new surface
  EXPECT_EQ(Shell.CurrentScreen, scrMainMenu);
}

// The name entry's text field.
class NameEntry : public HeadlessGame {
protected:
  void SetUp() override {
    HeadlessGame::SetUp();
    FinishIntro();
    OpenPopup(8);
    drive.Frame();
  }
};

TEST_F(NameEntry, AcceptsLettersDigitsAndSpaces) {
  drive.Type("Ab c1");
  EXPECT_EQ(Shell.PlayerName, "Ab c1");
}

TEST_F(NameEntry, IgnoresOtherCharacters) {
  drive.Type("a-b.c_d\xC3\xA9!");
  EXPECT_EQ(Shell.PlayerName, "abcd");
}

TEST_F(NameEntry, TakesAtMostTwelveCharacters) {
  drive.Type("1111111111111");
  EXPECT_EQ(Shell.PlayerName, "111111111111");
}

TEST_F(NameEntry, StopsOnceTheTextIsWiderThanTheField) {
  drive.Type("WWWWWWWWWWWW");
  ASSERT_LT(Shell.PlayerName.size(), 12u) << "the stand-in face is too narrow for this test";
  // Each character was tested against the text before it: the last one made it too wide.
  EXPECT_LE(StyledTextWidth(Shell.PlayerName.substr(0, Shell.PlayerName.size() - 1), 10), 240);
  EXPECT_GT(StyledTextWidth(Shell.PlayerName, 10), 240);
}

TEST_F(NameEntry, BackspaceDeletesAndDoesNothingOnAnEmptyName) {
  drive.Key(VK_BACK);
  EXPECT_EQ(Shell.PlayerName, "");
  drive.Type("ab");
  drive.Key(VK_BACK);
  EXPECT_EQ(Shell.PlayerName, "a");
  drive.Frame();
  drive.Key(VK_BACK);
  drive.Frame();
  drive.Key(VK_BACK);
  EXPECT_EQ(Shell.PlayerName, "");
}

TEST_F(NameEntry, EnterClicksOnceAndCommitsTheNameInTheNextFrame) {
  GameRace().Score = 123456;
  drive.Type("Zed");
  Snd_CallLog().clear();
  drive.Press(VK_RETURN);
  EXPECT_EQ(Shell.PopupKind, 8);
  EXPECT_EQ(Count("play 2"), 1);
  drive.Frame();
  drive.Release(VK_RETURN);
  EXPECT_EQ(Shell.PopupKind, 9);
  EXPECT_EQ(Shell.HoverItem, 11);
  EXPECT_EQ(HighScores[1].Name, "Zed");
  EXPECT_EQ(HighScores[1].Score, 123456);
}

TEST_F(NameEntry, CaretFollowsTheEndOfTheName) {
  drive.Type("abc");
  ASSERT_NE(Shell.TextCursor, nullptr);
  EXPECT_EQ(Shell.TextCursor->X, StyledTextWidth("abc", 10) / 2 + 384);
}

}  // namespace

namespace {

// In a race (the screen id alone: the race itself is not built here) the boss key and Alt+Enter
// also pause the game.
class RaceKeys : public HeadlessGame {
protected:
  void SetUp() override {
    HeadlessGame::SetUp();
    FinishIntro();
    LeaveMainMenu();
    Shell.ScreenBackground = nullptr;
    Shell.CurrentScreen = scrRace;
    GameRace().Level = 1;
  }
};

TEST_F(RaceKeys, BossKeyReplacesTheLevelCaptionByThePauseAndClosingItRestartsTheMusic) {
  OpenPopup(6);
  drive.Frame();
  drive.Key(VK_F9, ssAlt);
  EXPECT_EQ(Shell.PopupKind, 5);
  EXPECT_EQ(CurrentSong, 0);
  EXPECT_TRUE(Shell.MusicRestartPending);
  drive.Send(SysEventType::Restored);
  drive.Frame();
  Snd_CallLog().clear();
  drive.Key('P');
  EXPECT_EQ(Shell.PopupKind, 0);
  EXPECT_EQ(shell::MusicCalls(), (std::vector<std::string>{"music-load Race.xm", "music-play"}));
}

TEST_F(RaceKeys, AltEnterPausesAndFlipsTheDisplay) {
  drive.Key(VK_RETURN, ssAlt);
  EXPECT_EQ(Shell.PopupKind, 5);
  EXPECT_TRUE(Options.FullScreen);
  EXPECT_TRUE(Form().MDXDraw.FullScreen);
}

}  // namespace

namespace {

// Each key the menus and popups read, tapped faster than a frame: down and up again between two
// polls of the keyboard.
struct TapCase {
  const char* Name;
  int Key;
  bool* Pressed;
};

void PrintTo(const TapCase& c, std::ostream* os) { *os << c.Name; }

class QuickTap : public HeadlessGame, public testing::WithParamInterface<TapCase> {};

TEST_P(QuickTap, CountsOnceInTheNextFrame) {
  const TapCase& c = GetParam();
  FinishIntro();
  drive.Frame();
  drive.Press(c.Key);
  drive.Release(c.Key);
  // The flag is read straight after the poll, before any update could act on the key.
  PollInput();
  EXPECT_TRUE(*c.Pressed);
  PollInput();
  EXPECT_FALSE(*c.Pressed) << "one tap, one press";
}

INSTANTIATE_TEST_SUITE_P(Keys, QuickTap,
                         testing::Values(TapCase{"Up", VK_UP, &UpPressed}, TapCase{"Down", VK_DOWN, &DownPressed},
                                         TapCase{"Left", VK_LEFT, &LeftPressed},
                                         TapCase{"Right", VK_RIGHT, &RightPressed},
                                         TapCase{"P", 'P', &PausePressed}, TapCase{"Y", 'Y', &YesPressed},
                                         TapCase{"N", 'N', &NoPressed},
                                         TapCase{"Escape", VK_ESCAPE, &EscapePressed}),
                         [](const testing::TestParamInfo<TapCase>& info) { return std::string(info.param.Name); });

using QuickTaps = HeadlessGame;

// What the player sees: taps between frames move the menu, answer the exit question and close it.
TEST_F(QuickTaps, DriveTheMenuAndItsExitQuestion) {
  FinishIntro();
  ASSERT_EQ(Shell.HoverItem, 1);
  const auto tap = [&](int key) {
    drive.Press(key);
    drive.Release(key);
    drive.Frame();
  };
  tap(VK_DOWN);
  EXPECT_EQ(Shell.HoverItem, 2);
  tap(VK_ESCAPE);
  ASSERT_EQ(Shell.PopupKind, 1);
  drive.Frame();
  tap('N');
  EXPECT_EQ(Shell.PopupKind, 0);
  tap(VK_ESCAPE);
  ASSERT_EQ(Shell.PopupKind, 1);
  drive.Frame();
  tap('Y');
  EXPECT_TRUE(Form().Terminated);
}

// A key held for several frames is still one press, and held keys stay as polled: a tap does not
// make Left or Right look held.
TEST_F(QuickTaps, HeldKeysAndTapsStayApart) {
  FinishIntro();
  drive.Press(VK_LEFT);
  drive.Frame();
  EXPECT_TRUE(LeftPressed);
  EXPECT_TRUE(KeyboardRaceInput().Left);
  drive.Frames(3);
  EXPECT_FALSE(LeftPressed);
  EXPECT_TRUE(KeyboardRaceInput().Left);
  drive.Release(VK_LEFT);
  drive.Press(VK_RIGHT);
  drive.Release(VK_RIGHT);
  drive.Frame();
  EXPECT_TRUE(RightPressed);
  EXPECT_FALSE(KeyboardRaceInput().Right);
  EXPECT_FALSE(KeyboardRaceInput().Left);
}

}  // namespace
