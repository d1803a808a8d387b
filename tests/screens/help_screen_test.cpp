// The help screen: its keyboard walk with the page turn on Left, the page buttons' wrap and the
// pictures of the bonus and about pages.
#include <string>
#include <vector>

#include "screen_test_util.h"

namespace {

using screens_test::ScreenGame;
using screens_test::SpriteShowing;

class HelpScreen : public ScreenGame {
protected:
  void SetUp() override {
    ScreenGame::SetUp();
    OpenFromMainMenu(2);
    ASSERT_EQ(Shell.CurrentScreen, scrHelp);
  }
};

struct Step {
  int Key;
  int Hover;
  int Page;
};

TEST_F(HelpScreen, KeyboardWalkTurnsBackOnlyWithLeftOnThePreviousButton) {
  EXPECT_EQ(Shell.HoverItem, 9) << "the back button is selected on opening";
  EXPECT_EQ(Shell.HelpPage, 1);
  const std::vector<Step> walk = {
      {VK_RIGHT, 9, 1}, {VK_LEFT, 8, 1},  {VK_LEFT, 7, 1},  {VK_LEFT, 7, 5},  {VK_LEFT, 7, 4},
      {VK_UP, 7, 4},    {VK_DOWN, 7, 4},  {VK_RIGHT, 8, 4}, {VK_UP, 8, 4},    {VK_RIGHT, 9, 4},
      {VK_RIGHT, 9, 4}, {VK_DOWN, 9, 4},  {VK_LEFT, 8, 4},
  };
  for (size_t i = 0; i < walk.size(); ++i) {
    SCOPED_TRACE("step " + std::to_string(i + 1));
    Tap(walk[i].Key);
    EXPECT_EQ(Shell.HoverItem, walk[i].Hover);
    EXPECT_EQ(Shell.HelpPage, walk[i].Page);
    EXPECT_EQ(Shell.CurrentScreen, scrHelp);
  }
}

class HelpArrowFromNothing : public HelpScreen, public ::testing::WithParamInterface<int> {};

TEST_P(HelpArrowFromNothing, SelectsThePreviousButtonWithoutTurning) {
  MouseOffAllItems();
  ASSERT_EQ(Shell.HoverItem, 0);
  Tap(GetParam());
  EXPECT_EQ(Shell.HoverItem, 7);
  EXPECT_EQ(Shell.HelpPage, 1);
}

INSTANTIATE_TEST_SUITE_P(Arrows, HelpArrowFromNothing, ::testing::Values(VK_UP, VK_DOWN, VK_LEFT, VK_RIGHT),
                         screens_test::ArrowKeyName);

TEST_F(HelpScreen, EscapeGoesBackWithHelpSelected) {
  Tap(VK_ESCAPE);
  EXPECT_EQ(Shell.CurrentScreen, scrMainMenu);
  EXPECT_EQ(Shell.HoverItem, 2);
}

int VisibleBonusPictures() {
  int visible = 0;
  for (int image = 38; image <= 42; ++image) {
    const TMyImageSprite* p = SpriteShowing(2, image);
    if (p != nullptr && p->Visible) ++visible;
  }
  return visible;
}

bool AboutPictureVisible() {
  const TMyImageSprite* p = SpriteShowing(1, 50);
  return p != nullptr && p->Visible;
}

TEST_F(HelpScreen, PageButtonsWrapAndPicturesShowOnTheirPagesOnly) {
  Tap(VK_LEFT);
  ASSERT_EQ(Shell.HoverItem, 8);
  for (int image = 38; image <= 42; ++image) ASSERT_NE(SpriteShowing(2, image), nullptr) << image;
  ASSERT_NE(SpriteShowing(1, 50), nullptr);

  // Next, pressed five times from page 1: 2, 3, 4, 5 and round to 1.
  for (const int page : {2, 3, 4, 5, 1}) {
    SCOPED_TRACE("page " + std::to_string(page));
    Tap(VK_RETURN);
    EXPECT_EQ(Shell.HelpPage, page);
    EXPECT_EQ(VisibleBonusPictures(), page == 2 ? 5 : 0);
    EXPECT_EQ(AboutPictureVisible(), page == 5);
  }
  // Previous from page 1 wraps to 5.
  Tap(VK_LEFT);
  ASSERT_EQ(Shell.HoverItem, 7);
  Tap(VK_RETURN);
  EXPECT_EQ(Shell.HelpPage, 5);
  EXPECT_TRUE(AboutPictureVisible());
  EXPECT_EQ(VisibleBonusPictures(), 0);
}

TEST_F(HelpScreen, LeavingTakesThePicturesAlong) {
  Tap(VK_LEFT);
  Tap(VK_RETURN);
  ASSERT_EQ(Shell.HelpPage, 2);
  Tap(VK_ESCAPE);
  ASSERT_EQ(Shell.CurrentScreen, scrMainMenu);
  for (int image = 38; image <= 42; ++image) EXPECT_EQ(SpriteShowing(2, image), nullptr) << image;
  EXPECT_EQ(SpriteShowing(1, 50), nullptr);
}

}  // namespace
