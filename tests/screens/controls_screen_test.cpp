// The controls page: reached from the options screen, a cell chosen and the new key or pad button
// pressed; a key the menus need or one another action has is refused with a message; Esc or the
// pad's Back keeps the old one; "Defaults" brings all back.
#include "screens/screen_test_util.h"
#include "test_names.h"

namespace {

using testing::HasSubstr;

struct RebindCase {
  const char* Name;
  int Row, Column;
  int Key;     // the key pressed (column 0)
  int Button;  // the pad button pressed (column 1)
  int ExpectedKey, ExpectedButton;  // the row's binding afterwards
  const char* Message;
};

void PrintTo(const RebindCase& c, std::ostream* os) { *os << c.Name; }

class ControlsRebind : public screens_test::ScreenGame, public testing::WithParamInterface<RebindCase> {
protected:
  // From the options screen's "Controls", below the panel.
  void OpenControls() {
    OpenFromMainMenu(3);
    ASSERT_EQ(Shell.CurrentScreen, scrOptions);
    Tap(VK_LEFT);  // from BACK to Controls
    ASSERT_EQ(Shell.HoverItem, 13);
    Tap(VK_RETURN);
    ASSERT_EQ(Shell.CurrentScreen, scrControls);
  }
  void PadTap(int button) {
    Sys_HeadlessPadButton(button, true);
    drive.Frame();
    Sys_HeadlessPadButton(button, false);
    drive.Frame();
  }
};

TEST_P(ControlsRebind, TakesOrRefusesTheNewOne) {
  const RebindCase& c = GetParam();
  std::string problem;
  ASSERT_TRUE(Sys_HeadlessPadConnect(problem)) << problem;
  OpenControls();
  for (int i = 0; i < c.Row; ++i) Tap(VK_DOWN);
  if (c.Column == 1) Tap(VK_RIGHT);
  ASSERT_EQ(Shell.ControlsRow, c.Row);
  Tap(VK_RETURN);
  ASSERT_TRUE(Shell.ControlsCapture);
  if (c.Column == 0) Tap(c.Key);
  else PadTap(c.Button);
  EXPECT_FALSE(Shell.ControlsCapture);
  EXPECT_EQ(Controls.Keys[c.Row], c.ExpectedKey);
  EXPECT_EQ(Controls.PadButtons[c.Row], c.ExpectedButton);
  EXPECT_THAT(Shell.ControlsMessage, HasSubstr(c.Message));
  EXPECT_EQ(Shell.CurrentScreen, scrControls);  // Esc and B answered the cell, not the page
}

INSTANTIATE_TEST_SUITE_P(
    Table, ControlsRebind,
    testing::Values(
        RebindCase{"a free key", caAccelerate, 0, 'W', 0, 'W', pbA, "ACCELERATE: W"},
        RebindCase{"an arrow of another action", caBrake, 0, VK_UP, 0, VK_DOWN, pbB, "UP is already ACCELERATE"},
        RebindCase{"Enter belongs to the menus", caHorn, 0, VK_RETURN, 0, 'H', pbY, "belongs to the menus"},
        RebindCase{"Esc keeps the old key", caHorn, 0, VK_ESCAPE, 0, 'H', pbY, ""},
        RebindCase{"a free pad button", caBrake, 1, 0, pbRightShoulder, VK_DOWN, pbRightShoulder, "BRAKE: RB"},
        RebindCase{"B refused, another action's", caHandbrake, 1, 0, pbB, VK_SPACE, pbX, "B is already BRAKE"},
        RebindCase{"Back keeps the old button", caPause, 1, 0, pbBack, 'P', pbStart, ""}),
    test_names::Printed());

TEST_F(ControlsRebind, DefaultsAndRumbleAndBackToTheOptions) {
  OpenControls();
  Controls.Keys[caHorn] = 'Q';
  for (int i = 0; i < ControlActionCount; ++i) Tap(VK_DOWN);
  ASSERT_EQ(Shell.ControlsRow, ControlActionCount);  // the rumble row
  Tap(VK_RETURN);
  EXPECT_FALSE(Controls.Rumble);
  Tap(VK_DOWN);
  ASSERT_EQ(Shell.HoverItem, 8);
  Tap(VK_RETURN);
  EXPECT_EQ(Controls, DefaultControls);
  EXPECT_THAT(Shell.ControlsMessage, HasSubstr("default"));
  Tap(VK_ESCAPE);
  EXPECT_EQ(Shell.CurrentScreen, scrOptions);
  EXPECT_EQ(Shell.HoverItem, 13);
}

}  // namespace
