// Popups over the main menu and, where the race would open them, over a bare race screen: the
// buttons and their keys, the timed captions, the end-of-level tally, the close button.
#include <filesystem>
#include <fstream>

#include "app/shell_util.h"
#include "save/save.h"
#include "test_names.h"

namespace {

using shell::Count;

class Popup : public HeadlessGame {
protected:
  void SetUp() override {
    HeadlessGame::SetUp();
    FinishIntro();
  }
  // The race screen is not built here: the menu goes and the race's screen id stands alone, as
  // the popups the race opens see it.
  void EnterBareRace() {
    LeaveMainMenu();
    Shell.ScreenBackground = nullptr;
    Shell.CurrentScreen = scrRace;
  }
  // A real race past its level caption, for popups that close back into the race's frame.
  void EnterRace() {
    LeaveMainMenu();
    StartRaceScreen();
    ClosePopup();
  }
};

struct DefaultCase {
  uint8_t Kind;
  int Selected;
};

void PrintTo(const DefaultCase& c, std::ostream* os) { *os << "kind " << int(c.Kind); }

class PopupDefault : public Popup, public testing::WithParamInterface<DefaultCase> {};

TEST_P(PopupDefault, QuestionsOpenOnTheirDefaultAnswer) {
  const DefaultCase& c = GetParam();
  const int menuHover = Shell.HoverItem;
  OpenPopup(c.Kind);
  EXPECT_EQ(Shell.FirstItem, 11);
  EXPECT_EQ(Shell.LastItem, 12);
  EXPECT_EQ(Shell.HoverItem, c.Selected);
  drive.Frame();
  EXPECT_TRUE(shell::IsHoverLook(c.Selected));
  // Closing restores the screen's own range and selection.
  ClosePopup();
  EXPECT_EQ(Shell.FirstItem, 1);
  EXPECT_EQ(Shell.LastItem, 6);
  EXPECT_EQ(Shell.HoverItem, menuHover);
  drive.Frames(2);
}

INSTANTIATE_TEST_SUITE_P(Table, PopupDefault,
                         testing::Values(DefaultCase{1, 12}, DefaultCase{2, 12}, DefaultCase{4, 12},
                                         DefaultCase{9, 11}),
                         test_names::Printed());

// A popup with a panel shades the whole screen behind it, so the question stands out; the shade
// goes with the popup.
TEST_F(Popup, APanelShadesTheScreenBehindIt) {
  // The mean brightness of the screen above the panel (the menu behind it moves a little).
  const auto brightness = [] {
    long sum = 0;
    for (int y = 0; y < 200; y += 4)
      for (int x = 0; x < 800; x += 4) {
        const uint16_t p = GameSurface()->Row(y)[x];
        sum += ((p >> 11) & 0x1F) * 2 + ((p >> 5) & 0x3F) + (p & 0x1F) * 2;
      }
    return sum;
  };
  drive.Frames(2);
  const long before = brightness();
  OpenPopup(popExitGame);
  drive.Frame();
  EXPECT_LT(brightness(), before * 3 / 4);
  ClosePopup();
  drive.Frames(2);  // killed sprites go at the end of the frame after
  EXPECT_GT(brightness(), before * 9 / 10);
}

TEST_F(Popup, LeftAndRightMoveBetweenYesAndNoWithoutWrapping) {
  drive.Key(VK_ESCAPE);
  ASSERT_EQ(Shell.PopupKind, 1);
  ASSERT_EQ(Shell.HoverItem, 12);
  drive.Key(VK_LEFT);
  EXPECT_EQ(Shell.HoverItem, 11);
  drive.Frame();
  drive.Key(VK_LEFT);
  EXPECT_EQ(Shell.HoverItem, 11);
  drive.Frame();
  drive.Key(VK_RIGHT);
  EXPECT_EQ(Shell.HoverItem, 12);
  drive.Frame();
  drive.Key(VK_RIGHT);
  EXPECT_EQ(Shell.HoverItem, 12);
}

TEST_F(Popup, ArrowsWithTheMouseOffBothButtonsSelectOne) {
  drive.Key(VK_ESCAPE);
  drive.MouseMove(790, 590);  // off both buttons (the main menu keeps its selection)
  Shell.HoverItem = 0;
  drive.Key(VK_RIGHT);
  EXPECT_EQ(Shell.HoverItem, 12);
  Shell.HoverItem = 0;
  drive.Frame();
  drive.Key(VK_LEFT);
  EXPECT_EQ(Shell.HoverItem, 11);
}

TEST_F(Popup, NClosesTheExitQuestionAndTheMenuGoesOn) {
  drive.Key(VK_ESCAPE);
  drive.Frame();
  drive.Key('N');
  EXPECT_EQ(Shell.PopupKind, 0);
  EXPECT_EQ(Shell.CurrentScreen, scrMainMenu);
  EXPECT_FALSE(Form().Terminated);
  EXPECT_TRUE(Sys_CursorVisible());  // opened on the menu: the cursor stays
  drive.Frames(3);
  EXPECT_EQ(Shell.HoverItem, 1);
}

TEST_F(Popup, YesOnTheExitQuestionEndsTheProgramAndWritesBothFiles) {
  drive.Key(VK_ESCAPE);
  drive.Frame();
  drive.Key('Y');
  EXPECT_TRUE(Form().Terminated);
  EXPECT_EQ(Shell.CurrentScreen, scrNone);
  EXPECT_TRUE(std::filesystem::exists(SavePath("options")));
  EXPECT_TRUE(std::filesystem::exists(SavePath("hs")));
}

TEST_F(Popup, ASaveThatFailsAtExitIsShownToThePlayer) {
  const std::string blocker = GameDir() + "/not-a-folder";
  { std::ofstream(blocker) << "x"; }
  SetSaveFolder(blocker);
  drive.Key(VK_ESCAPE);
  drive.Frame();
  drive.Key('Y');
  SetSaveFolder("");
  EXPECT_TRUE(Form().Terminated) << "the game still ends";
  ASSERT_EQ(Sys_HeadlessShownErrors().size(), 1u);
  EXPECT_NE(Sys_HeadlessShownErrors()[0].find(blocker + ": "), std::string::npos) << Sys_HeadlessShownErrors()[0];
}

// The session ends the game (SIGINT, SIGTERM, a logout): through the exit sequence, no question.
TEST_F(Popup, AQuitFromTheSessionSavesAndEndsWithoutAsking) {
  drive.Send(SysEventType::Quit);
  EXPECT_TRUE(Form().Terminated);
  EXPECT_EQ(Shell.PopupKind, 0);
  EXPECT_TRUE(std::filesystem::exists(SavePath("options")));
  EXPECT_TRUE(std::filesystem::exists(SavePath("hs")));
}

TEST_F(Popup, ClickOnYesEndsTheProgramToo) {
  drive.Key(VK_ESCAPE);
  drive.Frame();
  shell::ClickItem(drive, 11);
  EXPECT_TRUE(Form().Terminated);
  EXPECT_TRUE(std::filesystem::exists(SavePath("hs")));
}

TEST_F(Popup, ClearHighScoresQuestionYesResetsTheTable) {
  shell::ClickItem(drive, 4);
  ASSERT_EQ(Shell.CurrentScreen, scrHighScores);
  HighScores[1] = THighScore{"Somebody", 999999};
  drive.Frame();
  ActivateItem(7);
  ASSERT_EQ(Shell.PopupKind, 4);
  drive.Frame();
  drive.Key('Y');
  EXPECT_EQ(Shell.PopupKind, 0);
  EXPECT_EQ(Shell.CurrentScreen, scrHighScores);
  EXPECT_NE(HighScores[1].Name, "Somebody");
  EXPECT_EQ(Shell.FirstItem, 7);
}

// Kind 2 asked in a race: Yes without a qualifying score goes back to a fresh menu.
TEST_F(Popup, ExitToMenuYesWithoutAQualifyingScoreBuildsAFreshMenu) {
  EnterBareRace();
  GameRace().Score = 0;
  OpenPopup(2);
  drive.Frame();
  Snd_CallLog().clear();
  drive.Key('Y');
  EXPECT_EQ(Shell.PopupKind, 0);
  EXPECT_EQ(Shell.CurrentScreen, scrMainMenu);
  EXPECT_EQ(shell::MusicCalls(), (std::vector<std::string>{"music-free", "music-load Menu.xm", "music-play"}));
  drive.Frames(3);
  EXPECT_EQ(Shell.HoverItem, 1);
}

TEST_F(Popup, ExitToMenuYesWithAQualifyingScoreAsksForTheName) {
  EnterBareRace();
  GameRace().Score = 10'000'000;
  OpenPopup(2);
  drive.Frame();
  drive.Key('Y');
  EXPECT_EQ(Shell.PopupKind, 8);
  EXPECT_EQ(Shell.CurrentScreen, scrRace);
  drive.Frames(2);
}

TEST_F(Popup, AnotherPopupCannotOpenOverAnOpenOne) {
  OpenPopup(1);
  OpenPopup(4);
  EXPECT_EQ(Shell.PopupKind, 1);
  EXPECT_EQ(Shell.SavedFirstItem, 1);  // the saved range is still the menu's
  ClosePopup();
  EXPECT_EQ(Shell.FirstItem, 1);
  EXPECT_EQ(Shell.LastItem, 6);
}

// Timed captions count frames of FrameTimeMs (11 ms at 85 Hz).
struct TimedCase {
  uint8_t Kind;
  int Frames;
};

void PrintTo(const TimedCase& c, std::ostream* os) { *os << "kind " << int(c.Kind); }

class TimedCaption : public Popup, public testing::WithParamInterface<TimedCase> {};

TEST_P(TimedCaption, ShowsForItsNumberOfFrames) {
  const TimedCase& c = GetParam();
  EnterBareRace();  // where these captions show
  GameRace().Level = 3;
  GameRace().Score = 0;
  OpenPopup(c.Kind);
  drive.Frame();  // the first frame measures nothing yet
  ASSERT_EQ(FrameTimeMs, 11);
  for (int frame = 2; frame < c.Frames; ++frame) {
    drive.Frame();
    ASSERT_EQ(Shell.PopupKind, c.Kind) << "closed after frame " << frame;
  }
  drive.Frame();
  EXPECT_NE(Shell.PopupKind, c.Kind);
}

INSTANTIATE_TEST_SUITE_P(Table, TimedCaption,
                         testing::Values(TimedCase{6, 182}, TimedCase{3, 273}), test_names::Printed());

TEST_F(Popup, PauseClosesOnPOrEscape) {
  EnterRace();
  for (const int key : {int('P'), int(VK_ESCAPE)}) {
    OpenPopup(5);
    drive.Frames(3);
    EXPECT_EQ(Shell.PopupKind, 5);
    drive.Key(key);
    EXPECT_EQ(Shell.PopupKind, 0) << key;
    drive.Frame();
  }
}

TEST_F(Popup, QuestionInTheRaceHidesTheCursorAgainWhenItCloses) {
  EnterBareRace();
  HideMouseCursor();
  OpenPopup(2);
  EXPECT_TRUE(Sys_CursorVisible());
  drive.Frame();
  drive.Key('N');
  EXPECT_FALSE(Sys_CursorVisible());
}

// The end-of-level tally over a race screen, at 85 Hz.
class Tally : public Popup {
protected:
  void OpenTally(int timeLeft, int rankBonus) {
    EnterBareRace();
    GameRace().Level = 1;
    GameRace().Score = 1000;
    GameRace().PlayerRank = 2;
    GameRace().ResultTimeLeft = timeLeft;
    GameRace().TimeBonus = 0;
    GameRace().RankBonus = rankBonus;
    GameRace().ResultStepTimer = 0;
    GameRace().ResultStep = 0;
    drive.Frame();  // one frame so that FrameTimeMs is 11
    Snd_CallLog().clear();
    OpenPopup(11);
  }
};

TEST_F(Tally, LinesAppearOneSecondApartEachWithASound) {
  OpenTally(7500, 300);
  drive.Frame();
  EXPECT_EQ(GameRace().ResultStep, 1);
  EXPECT_EQ(Count("play 3"), 1);
  int frames = 1;
  while (GameRace().ResultStep < 2) {
    drive.Frame();
    ++frames;
  }
  // 1000 ms counted down by 11 ms a frame, then one more frame to step.
  EXPECT_EQ(frames - 1, 92);
  EXPECT_EQ(Count("play 3"), 2);
  while (GameRace().ResultStep < 5) drive.Frame();
  EXPECT_EQ(Count("play 3"), 4);  // the fifth step starts the draining, without a line
}

TEST_F(Tally, TimeBonusIsFivePerWholeSecondAndAddsToTheScore) {
  OpenTally(7500, 300);
  int guard = 0;
  while (GameRace().ResultTimeLeft >= 0 && guard++ < 2000) drive.Frame();
  EXPECT_EQ(GameRace().TimeBonus, 35);
  EXPECT_EQ(Count("play 18"), 7);
  EXPECT_EQ(GameRace().Score, 1000);
  while (Shell.PopupKind == 11 && guard++ < 4000) drive.Frame();
  EXPECT_EQ(Shell.PopupKind, 0);
  EXPECT_EQ(GameRace().Score, 1000 + 300 + 35);
}

TEST_F(Tally, LastLevelEndsWithCongratulations) {
  OpenTally(0, 0);
  GameRace().Level = 10;
  int guard = 0;
  while (Shell.PopupKind == 11 && guard++ < 4000) drive.Frame();
  EXPECT_EQ(Shell.PopupKind, 12);
  EXPECT_EQ(GameRace().ResultTimeLeft, 3200);
  EXPECT_EQ(Count("play 21"), 1);
  // 3200 ms of 11 ms frames, then the closing frame; no qualifying score: a fresh menu.
  HighScores.fill(THighScore{"x", 1'000'000});
  int frames = 0;
  while (Shell.PopupKind == 12 && frames < 1000) {
    drive.Frame();
    ++frames;
  }
  EXPECT_EQ(frames, 292);
  EXPECT_EQ(Shell.CurrentScreen, scrMainMenu);
}

// The window's close button.
struct CloseCase {
  int Item;         // main-menu item that opens the screen, 0 for the main menu itself
  uint8_t Popup;    // what the close button opens there
};

void PrintTo(const CloseCase& c, std::ostream* os) { *os << "screen of item " << c.Item; }

class CloseButton : public Popup, public testing::WithParamInterface<CloseCase> {};

TEST_P(CloseButton, AsksOnlyOnTheMainMenu) {
  const CloseCase& c = GetParam();
  if (c.Item != 0) shell::ClickItem(drive, c.Item);
  drive.Frame();
  const uint8_t screen = Shell.CurrentScreen;
  drive.Send(SysEventType::CloseRequest);
  EXPECT_EQ(Shell.PopupKind, c.Popup);
  EXPECT_EQ(Shell.CurrentScreen, screen);
  EXPECT_FALSE(Form().Terminated);
  drive.Frames(2);
}

INSTANTIATE_TEST_SUITE_P(Table, CloseButton,
                         testing::Values(CloseCase{0, 1}, CloseCase{1, 0}, CloseCase{2, 0},
                                         CloseCase{3, 0}, CloseCase{4, 0}),
                         test_names::Printed());

TEST_F(Popup, CloseButtonInTheRaceAsksWhetherToLeaveIt) {
  EnterBareRace();
  drive.Send(SysEventType::CloseRequest);
  EXPECT_EQ(Shell.PopupKind, 2);
}

}  // namespace
