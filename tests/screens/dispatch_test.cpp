// What a click does on the main menu and on the row of tabs the sub-screens keep.
#include "app/shell_util.h"
#include "test_names.h"

namespace {

using shell::Count;

// Main-menu item -> what opens.
struct MenuCase {
  int Item;
  uint8_t Screen;
  uint8_t Popup;
  bool OpensWebPage;
};

void PrintTo(const MenuCase& c, std::ostream* os) { *os << "item " << c.Item; }

class MainMenuItem : public HeadlessGame, public testing::WithParamInterface<MenuCase> {};

TEST_P(MainMenuItem, ClickOpensItsScreen) {
  const MenuCase& c = GetParam();
  FinishIntro();
  shell::ClickItem(drive, c.Item);
  EXPECT_EQ(Shell.CurrentScreen, c.Screen);
  EXPECT_EQ(Shell.PopupKind, c.Popup);
  EXPECT_EQ(Count("play 2"), 1);
  if (c.OpensWebPage) {
    ASSERT_EQ(Sys_HeadlessOpenedURLs().size(), 1u);
    EXPECT_EQ(Sys_HeadlessOpenedURLs()[0], HomePageAddress());
  } else {
    EXPECT_TRUE(Sys_HeadlessOpenedURLs().empty());
  }
  drive.Frames(2);  // the new screen runs
}

TEST_P(MainMenuItem, EnterOnTheSelectedItemDoesTheSame) {
  const MenuCase& c = GetParam();
  FinishIntro();
  for (int i = 1; i < c.Item; ++i) {
    drive.Key(VK_DOWN);
    drive.Frame();
  }
  ASSERT_EQ(Shell.HoverItem, c.Item);
  drive.Key(VK_RETURN);
  EXPECT_EQ(Shell.CurrentScreen, c.Screen);
  EXPECT_EQ(Shell.PopupKind, c.Popup);
}

INSTANTIATE_TEST_SUITE_P(Table, MainMenuItem,
                         testing::Values(MenuCase{1, scrVehicleSelection, 0, false},
                                         MenuCase{2, scrHelp, 0, false},
                                         MenuCase{3, scrOptions, 0, false},
                                         MenuCase{4, scrHighScores, 0, false},
                                         MenuCase{5, scrMainMenu, 0, true},
                                         MenuCase{6, scrMainMenu, 1, false}),
                         test_names::Printed());

// The sub-screen each of the first four main-menu buttons opens.
uint8_t ScreenOfTab(int tab) {
  switch (tab) {
    case 1: return scrVehicleSelection;
    case 2: return scrHelp;
    case 3: return scrOptions;
    case 4: return scrHighScores;
    default: return scrMainMenu;
  }
}

struct TabCase {
  int From;  // the main-menu button whose sub-screen is on show
  int Tab;   // the tab clicked
};

void PrintTo(const TabCase& c, std::ostream* os) { *os << "from " << c.From << " tab " << c.Tab; }

class TabSwitch : public HeadlessGame, public testing::WithParamInterface<TabCase> {};

TEST_P(TabSwitch, ClickingAnotherTabSwitchesScreens) {
  const TabCase& c = GetParam();
  FinishIntro();
  shell::ClickItem(drive, c.From);
  ASSERT_EQ(Shell.CurrentScreen, ScreenOfTab(c.From));
  drive.Frame();
  Snd_CallLog().clear();
  shell::ClickItem(drive, c.Tab);
  EXPECT_EQ(Count("play 2"), 1);
  if (c.Tab == c.From) {
    // The tab of the screen on show: nothing but the click.
    EXPECT_EQ(Shell.CurrentScreen, ScreenOfTab(c.From));
    EXPECT_EQ(Shell.PopupKind, 0);
    return;
  }
  EXPECT_EQ(Shell.CurrentScreen, ScreenOfTab(c.Tab));
  EXPECT_EQ(Shell.PopupKind, c.Tab == 6 ? 1 : 0);
  EXPECT_EQ(Sys_HeadlessOpenedURLs().size(), c.Tab == 5 ? 1u : 0u);
  EXPECT_TRUE(shell::IsHoverLook(c.Tab));
  EXPECT_FALSE(shell::IsHoverLook(c.From));
  drive.Frames(2);
  EXPECT_EQ(Shell.CurrentScreen, ScreenOfTab(c.Tab));
}

std::vector<TabCase> AllTabCases() {
  std::vector<TabCase> out;
  for (int from = 1; from <= 4; ++from)
    for (int tab = 1; tab <= 6; ++tab) out.push_back({from, tab});
  return out;
}

INSTANTIATE_TEST_SUITE_P(Table, TabSwitch, testing::ValuesIn(AllTabCases()), test_names::Printed());

using Tabs = HeadlessGame;

TEST_F(Tabs, OptionsTabFromHelpLeavesHelpAndOpensOptions) {
  FinishIntro();
  shell::ClickItem(drive, 2);
  ASSERT_EQ(Shell.CurrentScreen, scrHelp);
  drive.Frame();
  shell::ClickItem(drive, 3);
  EXPECT_EQ(Shell.CurrentScreen, scrOptions);
  EXPECT_EQ(Shell.FirstItem, 7);
  EXPECT_EQ(Shell.LastItem, 12);
  EXPECT_TRUE(shell::IsHoverLook(3));
  EXPECT_FALSE(shell::IsHoverLook(2));
  // Back from options lands on the Options button of the main menu.
  drive.Frame();
  drive.Key(VK_ESCAPE);
  EXPECT_EQ(Shell.CurrentScreen, scrMainMenu);
  EXPECT_EQ(Shell.HoverItem, 3);
}

// Pointing at a tab shows that a click there does something: the tab lights up while the mouse
// is on it; the tab of the screen on show stays lit throughout.
TEST_F(Tabs, TabUnderTheMouseLightsUpOnASubScreen) {
  FinishIntro();
  shell::ClickItem(drive, 2);
  ASSERT_EQ(Shell.CurrentScreen, scrHelp);
  for (int tab : {1, 3, 4, 5, 6}) {
    SCOPED_TRACE(tab);
    shell::PointAt(drive, tab);
    drive.Frame();
    EXPECT_TRUE(shell::IsHoverLook(tab));
    EXPECT_TRUE(shell::IsHoverLook(2));
    drive.MouseMove(790, 20);
    drive.Frame();
    EXPECT_FALSE(shell::IsHoverLook(tab));
    EXPECT_TRUE(shell::IsHoverLook(2));
  }
  EXPECT_EQ(Shell.CurrentScreen, scrHelp);
}

TEST_F(Tabs, ClickOutsideEverythingOnASubScreenOnlyClicks) {
  FinishIntro();
  shell::ClickItem(drive, 4);
  ASSERT_EQ(Shell.CurrentScreen, scrHighScores);
  drive.MouseMove(790, 20);
  drive.Frame();
  Snd_CallLog().clear();
  drive.Click();
  EXPECT_EQ(Shell.CurrentScreen, scrHighScores);
  EXPECT_EQ(Shell.PopupKind, 0);
  EXPECT_EQ(shell::Calls(), std::vector<std::string>{"play 2"});
}

}  // namespace

namespace {

// Leaving each sub-screen, by Esc or by its back button, lands on its main-menu button.
struct BackCase {
  int Item;        // the main-menu button that opened the screen
  int BackButton;  // the screen's own back item
  bool ByEscape;
};

void PrintTo(const BackCase& c, std::ostream* os) {
  *os << "item " << c.Item << (c.ByEscape ? " by Esc" : " by its back button");
}

class BackToMenu : public HeadlessGame, public testing::WithParamInterface<BackCase> {};

TEST_P(BackToMenu, SelectsTheSubScreensButton) {
  const BackCase& c = GetParam();
  FinishIntro();
  shell::ClickItem(drive, c.Item);
  drive.Frames(2);
  if (c.ByEscape) drive.Key(VK_ESCAPE);
  else shell::ClickItem(drive, c.BackButton);
  EXPECT_EQ(Shell.CurrentScreen, scrMainMenu);
  EXPECT_EQ(Shell.FirstItem, 1);
  EXPECT_EQ(Shell.LastItem, 6);
  EXPECT_EQ(Shell.HoverItem, c.Item);
  drive.Frames(3);
  EXPECT_EQ(Shell.CurrentScreen, scrMainMenu);
  EXPECT_TRUE(shell::IsHoverLook(c.Item));
}

INSTANTIATE_TEST_SUITE_P(Table, BackToMenu,
                         testing::Values(BackCase{1, 10, true}, BackCase{1, 10, false},
                                         BackCase{2, 9, true}, BackCase{2, 9, false},
                                         BackCase{3, 12, true}, BackCase{3, 12, false},
                                         BackCase{4, 9, true}, BackCase{4, 9, false}),
                         test_names::Printed());

}  // namespace
