// While a popup is open nothing may leave its screen or free what it shows: every activation
// and key path that once could, tried within the frame the popup opened in.
#include <functional>
#include <ostream>

#include "app/shell_util.h"

namespace {

bool Alive(const TSprite* sprite) {
  std::function<bool(const TSprite*)> inTree = [&](const TSprite* root) {
    for (int i = 0; i < root->Count(); ++i)
      if (root->Items(i) == sprite || inTree(root->Items(i))) return true;
    return false;
  };
  return sprite != nullptr && inTree(&GameSpriteEngine()) && !sprite->IsDead;
}

// Main-menu button of each tab.
constexpr int kHelpTab = 2, kHighScoreTab = 4;

struct HoldCase {
  const char* Name;
  int Screen;  // where the popup opens: scrHighScores ("clear the table?") or scrMainMenu ("exit?")
  std::function<void(THeadlessDriver&)> Act;
  int PopupAfter;  // the popup open afterwards (0: answered and closed)
};
void PrintTo(const HoldCase& c, std::ostream* os) { *os << c.Name; }

// Moves the mouse off the popup's buttons onto the help tab, as a click in that frame would find.
void OffTheButtonsOntoATab(THeadlessDriver& drive) { drive.MouseMove(shell::CentreX(kHelpTab), shell::CentreY(kHelpTab)); }

const HoldCase kCases[] = {
    {"TabClick", scrHighScores, [](THeadlessDriver& d) { OffTheButtonsOntoATab(d); d.Click(); }, 4},
    {"TabDoubleClick", scrHighScores, [](THeadlessDriver& d) { OffTheButtonsOntoATab(d); d.DoubleClick(); }, 4},
    {"EnterWithNothingSelected", scrHighScores,
     [](THeadlessDriver& d) {
       OffTheButtonsOntoATab(d);
       d.Send(SysEventType::Char, 0, 0, 13);
     },
     4},
    {"EscapeKey", scrHighScores, [](THeadlessDriver& d) { d.Key(VK_ESCAPE); }, 4},
    {"YesAndNoInOneFrame", scrHighScores,
     [](THeadlessDriver& d) {
       d.Press('Y');
       d.Press('N');
       d.Frame();
       d.Release('Y');
       d.Release('N');
     },
     0},
    {"CloseRequest", scrHighScores, [](THeadlessDriver& d) { d.Send(SysEventType::CloseRequest); }, 4},
    {"BossKey", scrHighScores, [](THeadlessDriver& d) { d.Key(VK_F1 + 8, ssAlt); }, 4},
    {"AltEnter", scrHighScores, [](THeadlessDriver& d) { d.Key(VK_RETURN, ssAlt); }, 4},
    {"MinimiseAndRestore", scrHighScores,
     [](THeadlessDriver& d) {
       d.Send(SysEventType::Minimized);
       d.Send(SysEventType::Restored);
     },
     4},
    {"MenuTabClick", scrMainMenu,
     [](THeadlessDriver& d) {
       // On the main menu the mouse never unselects: the click answers the selected No.
       d.MouseMove(shell::CentreX(kHighScoreTab), shell::CentreY(kHighScoreTab));
       d.Click();
     },
     0},
    {"MenuCloseRequestAgain", scrMainMenu, [](THeadlessDriver& d) { d.Send(SysEventType::CloseRequest); }, 1},
};

class PopupHolds : public HeadlessGame, public ::testing::WithParamInterface<HoldCase> {};

TEST_P(PopupHolds, NothingBehindThePopupLeavesOrFreesItsSprites) {
  const HoldCase& c = GetParam();
  FinishIntro();
  if (c.Screen == scrHighScores) {
    shell::ClickItem(drive, kHighScoreTab);
    drive.Frame();
    ASSERT_EQ(Shell.CurrentScreen, scrHighScores);
    // The screen's frame sees the mouse on a tab; in the same frame Enter on CLEAR opens the
    // question.
    OffTheButtonsOntoATab(drive);
    drive.Key(VK_RIGHT);
    ASSERT_EQ(Shell.HoverItem, 7);
    ASSERT_EQ(Shell.TabHoverItem, kHelpTab);
    drive.Send(SysEventType::Char, 0, 0, 13);
    ASSERT_EQ(Shell.PopupKind, 4);
  } else {
    drive.Send(SysEventType::CloseRequest);
    ASSERT_EQ(Shell.PopupKind, 1);
  }
  const TSprite* yes = Shell.MenuItems[11];
  const TSprite* no = Shell.MenuItems[12];

  c.Act(drive);

  EXPECT_EQ(Shell.CurrentScreen, c.Screen);
  EXPECT_EQ(Shell.PopupKind, c.PopupAfter);
  if (c.PopupAfter != 0) {
    EXPECT_EQ(Shell.MenuItems[11], yes);
    EXPECT_EQ(Shell.MenuItems[12], no);
    EXPECT_TRUE(Alive(yes) && Alive(no) && Alive(Shell.PopupPanel)) << "the popup's sprites live as long as it does";
    EXPECT_EQ(Shell.FirstItem, 11);
  }
  EXPECT_TRUE(Shell.HoverItem == 0 || (Shell.FirstItem <= Shell.HoverItem && Shell.HoverItem <= Shell.LastItem)) << Shell.HoverItem;
  Sys_HeadlessPushEvent(SysEvent{SysEventType::Restored});
  drive.Frames(3);  // the popup's frames reach its buttons
  EXPECT_EQ(Shell.CurrentScreen, c.Screen);
}

INSTANTIATE_TEST_SUITE_P(Paths, PopupHolds, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<HoldCase>& info) { return info.param.Name; });

}  // namespace
