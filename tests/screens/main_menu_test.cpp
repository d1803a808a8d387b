// The main menu driven frame by frame: the slide-in, the keys and their wrap, Esc, the mouse.
#include "app/shell_util.h"

namespace {

using MainMenu = HeadlessGame;
using shell::Count;

constexpr int kRows[6] = {173, 232, 291, 351, 412, 473};

TEST_F(MainMenu, IntroLandsEachButtonExactlyOnItsRow) {
  EXPECT_EQ(Shell.CurrentScreen, scrMainMenu);
  EXPECT_EQ(Shell.MenuIntroActive, 1);
  FinishIntro();
  ASSERT_EQ(Shell.MenuIntroActive, 0);
  for (int item = 1; item <= 6; ++item) {
    EXPECT_EQ(Shell.MenuItems[item]->X, 12) << item;
    EXPECT_EQ(Shell.MenuItems[item]->Y, kRows[item - 1]) << item;
  }
}

TEST_F(MainMenu, UpAndDownWrapAround) {
  FinishIntro();
  ASSERT_EQ(Shell.HoverItem, 1);
  drive.Key(VK_UP);
  EXPECT_EQ(Shell.HoverItem, 6);
  drive.Frame();
  drive.Key(VK_DOWN);
  EXPECT_EQ(Shell.HoverItem, 1);
}

TEST_F(MainMenu, EscapeAsksWhetherToExit) {
  FinishIntro();
  drive.Key(VK_ESCAPE);
  EXPECT_EQ(Shell.PopupKind, 1);
  EXPECT_EQ(Shell.HoverItem, 12);
}

TEST_F(MainMenu, KeyboardMoveSelectsOnceWithOneSelectionSound) {
  FinishIntro();
  Snd_CallLog().clear();
  drive.Key(VK_DOWN);
  EXPECT_EQ(Shell.HoverItem, 2);
  drive.Frames(3);
  EXPECT_EQ(Count("play 1"), 1);
  EXPECT_TRUE(shell::IsHoverLook(2));
  EXPECT_FALSE(shell::IsHoverLook(1));
}

TEST_F(MainMenu, ArrowWithNothingSelectedSelectsTheFirstItem) {
  FinishIntro();
  Shell.HoverItem = 0;
  drive.Key(VK_RIGHT);
  EXPECT_EQ(Shell.HoverItem, 1);
}

TEST_F(MainMenu, MouseKeepsTheLastItemWhenItLeavesTheButtons) {
  FinishIntro();
  Snd_CallLog().clear();
  shell::PointAt(drive, 4);
  EXPECT_EQ(Shell.HoverItem, 4);
  EXPECT_EQ(Count("play 1"), 1);
  drive.MouseMove(700, 580);
  drive.Frame();
  EXPECT_EQ(Shell.HoverItem, 4);
  EXPECT_EQ(Count("play 1"), 1);
}

TEST_F(MainMenu, HitBoxIncludesItsEdges) {
  FinishIntro();
  TSprite* b = Shell.MenuItems[3];
  drive.MouseMove(static_cast<int>(b->X) + b->Width, static_cast<int>(b->Y) + b->Height);
  EXPECT_EQ(Shell.HoverItem, 3);
  drive.MouseMove(static_cast<int>(b->X), static_cast<int>(b->Y));
  EXPECT_EQ(Shell.HoverItem, 3);
}

TEST_F(MainMenu, SubScreenClearsTheSelectionWhenTheMouseLeavesItsItems) {
  FinishIntro();
  shell::ClickItem(drive, 3);  // options
  ASSERT_EQ(Shell.CurrentScreen, scrOptions);
  drive.Frame();
  shell::PointAt(drive, 12);
  EXPECT_EQ(Shell.HoverItem, 12);
  drive.MouseMove(790, 20);
  EXPECT_EQ(Shell.HoverItem, 0);
}

TEST_F(MainMenu, ClickDuringTheIntroOnlyClicks) {
  ASSERT_EQ(Shell.MenuIntroActive, 1);
  drive.Frames(3);
  drive.MouseMove(20, 180);
  drive.Click();
  drive.Press(VK_RETURN);
  drive.Frame();
  drive.Release(VK_RETURN);
  EXPECT_EQ(Shell.CurrentScreen, scrMainMenu);
  EXPECT_EQ(Shell.PopupKind, 0);
  EXPECT_EQ(Count("play 2"), 2);
  EXPECT_TRUE(Sys_HeadlessOpenedURLs().empty());
}

TEST_F(MainMenu, MouseMovesDuringTheIntroMakeNoSelectionSound) {
  drive.Frames(10);
  ASSERT_EQ(Shell.MenuIntroActive, 1);
  // Follow item 3 while it slides down: the selection changes but makes no sound.
  shell::PointAt(drive, 3);
  EXPECT_EQ(Shell.HoverItem, 3);
  drive.Frame();
  shell::PointAt(drive, 2);
  drive.Frame();
  FinishIntro();
  EXPECT_EQ(Count("play 1"), 0);
}

TEST_F(MainMenu, RoundTripThroughASubScreenLeavesNoSprites) {
  FinishIntro();
  drive.Frame();
  const int before = GameSpriteEngine().SpriteCount;
  shell::ClickItem(drive, 2);  // help
  ASSERT_EQ(Shell.CurrentScreen, scrHelp);
  drive.Frames(2);
  drive.Key(VK_ESCAPE);
  ASSERT_EQ(Shell.CurrentScreen, scrMainMenu);
  EXPECT_EQ(Shell.HoverItem, 2);
  drive.Frames(2);
  EXPECT_EQ(GameSpriteEngine().SpriteCount, before);
}

// A key held down while the game starts counts as pressed in the first frame only.
class KeyHeldAtStart : public HeadlessGame {
  void BeforeStart() override { Sys_HeadlessSetKey(VK_DOWN, true); }
};

TEST_F(KeyHeldAtStart, CountsOnce) {
  drive.Frame();
  EXPECT_TRUE(DownPressed);
  drive.Frame();
  EXPECT_FALSE(DownPressed);
  FinishIntro();
  drive.Frames(3);
  EXPECT_EQ(Shell.HoverItem, 1);  // the intro swallowed the one press; holding it does not repeat
}

// The slide-in at low frame rates, where a frame's step overshoots the rows.
class IntroAtRate : public HeadlessGame, public testing::WithParamInterface<int> {
protected:
  int Rate() const override { return GetParam(); }
};

TEST_P(IntroAtRate, ButtonsLandExactlyOnTheirRows) {
  int frames = 0;
  while (Shell.MenuIntroActive && frames < 500) {
    drive.Frame();
    ++frames;
  }
  ASSERT_EQ(Shell.MenuIntroActive, 0);
  for (int item = 1; item <= 6; ++item) EXPECT_EQ(Shell.MenuItems[item]->Y, kRows[item - 1]) << item;
  // The step is 25 px at 85 Hz: the slowest group (600 px in all) needs at least 600/step frames.
  EXPECT_GE(frames, static_cast<int>(600 / (25.0 * 85 / GetParam())));
}

INSTANTIATE_TEST_SUITE_P(Rates, IntroAtRate, testing::Values(85, 60, 23, 7),
                         [](const auto& info) { return std::to_string(info.param) + "Hz"; });

}  // namespace
