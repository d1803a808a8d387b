// The main menu driven frame by frame: the slide-in, the keys and their wrap, Esc.
#include "headless_game.h"

namespace {

using MainMenu = HeadlessGame;

TEST_F(MainMenu, IntroLandsEachButtonExactlyOnItsRow) {
  EXPECT_EQ(CurrentScreen, scrMainMenu);
  EXPECT_EQ(MenuIntroActive, 1);
  FinishIntro();
  ASSERT_EQ(MenuIntroActive, 0);
  const int rows[6] = {173, 232, 291, 351, 412, 473};
  for (int item = 1; item <= 6; ++item) {
    EXPECT_EQ(MenuItems[item]->X, 12) << item;
    EXPECT_EQ(MenuItems[item]->Y, rows[item - 1]) << item;
  }
}

TEST_F(MainMenu, UpAndDownWrapAround) {
  FinishIntro();
  ASSERT_EQ(HoverItem, 1);
  drive.Key(VK_UP);
  EXPECT_EQ(HoverItem, 6);
  drive.Frame();
  drive.Key(VK_DOWN);
  EXPECT_EQ(HoverItem, 1);
}

TEST_F(MainMenu, EscapeAsksWhetherToExit) {
  FinishIntro();
  drive.Key(VK_ESCAPE);
  EXPECT_EQ(PopupKind, 1);
  EXPECT_EQ(HoverItem, 12);
}

}  // namespace
