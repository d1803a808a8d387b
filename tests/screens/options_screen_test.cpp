// The options screen: its keyboard walk, the three switches acting at once, the country field
// and the boss-key capture.
#include <ostream>
#include <string>
#include <vector>

#include "screen_test_util.h"

namespace {

using screens_test::ScreenGame;
using screens_test::Showing;

// Middle of the hit box of each option row.
struct Spot {
  int X, Y;
};
Spot RowCentre(int item) {
  switch (item) {
    case 7: return {577, 189};
    case 8: return {501, 292};
    case 9: return {646, 292};
    case 10: return {571, 400};
    case 11: return {570, 476};
    default: return {0, 0};
  }
}

class OptionsScreen : public ScreenGame {
protected:
  void SetUp() override {
    ScreenGame::SetUp();
    OpenFromMainMenu(3);
    ASSERT_EQ(Shell.CurrentScreen, scrOptions);
  }

  void Point(int item) {
    const auto p = RowCentre(item);
    drive.MouseMove(p.X, p.Y);
    drive.Frame();
    ASSERT_EQ(Shell.HoverItem, item);
  }
  void ClickOn(int item) {
    Point(item);
    drive.Click();
  }
};

struct Step {
  int Key;
  int Hover;
};

TEST_F(OptionsScreen, KeyboardWalkFollowsTheLayout) {
  EXPECT_EQ(Shell.HoverItem, 12) << "the back button is selected on opening";
  const std::vector<Step> walk = {
      {VK_UP, 11},   {VK_UP, 10},    {VK_UP, 8},     {VK_UP, 7},     {VK_UP, 7},
      {VK_DOWN, 8},  {VK_RIGHT, 9},  {VK_RIGHT, 9},  {VK_DOWN, 10},  {VK_UP, 8},
      {VK_RIGHT, 9}, {VK_UP, 7},     {VK_LEFT, 7},   {VK_DOWN, 8},   {VK_LEFT, 8},
      {VK_DOWN, 10}, {VK_LEFT, 10},  {VK_RIGHT, 10}, {VK_DOWN, 11},  {VK_DOWN, 12},
      {VK_DOWN, 12}, {VK_LEFT, 13},  {VK_LEFT, 13},  {VK_DOWN, 13},  {VK_RIGHT, 12},
      {VK_RIGHT, 12}, {VK_LEFT, 13}, {VK_UP, 11},
  };
  for (size_t i = 0; i < walk.size(); ++i) {
    SCOPED_TRACE("step " + std::to_string(i + 1));
    Tap(walk[i].Key);
    EXPECT_EQ(Shell.HoverItem, walk[i].Hover);
    EXPECT_EQ(Shell.CurrentScreen, scrOptions);
  }
}

TEST_F(OptionsScreen, EscapeGoesBackWithOptionsSelected) {
  Tap(VK_ESCAPE);
  EXPECT_EQ(Shell.CurrentScreen, scrMainMenu);
  EXPECT_EQ(Shell.HoverItem, 3);
}

TEST_F(OptionsScreen, DisplaySwitchAndAltEnterShowOnThePicture) {
  ASSERT_FALSE(Options.FullScreen);
  EXPECT_TRUE(Showing(14, 1, 14));
  ClickOn(7);
  EXPECT_TRUE(Options.FullScreen);
  EXPECT_TRUE(Form().MDXDraw.FullScreen) << "the display mode changes at once";
  drive.Frame();
  EXPECT_TRUE(Showing(14, 1, 15));

  drive.Press(VK_RETURN, ssAlt);
  EXPECT_FALSE(Options.FullScreen);
  EXPECT_FALSE(Form().MDXDraw.FullScreen);
  drive.Frame();
  drive.Release(VK_RETURN, ssAlt);
  EXPECT_TRUE(Showing(14, 1, 14));
  EXPECT_EQ(Shell.CurrentScreen, scrOptions);
}

TEST_F(OptionsScreen, MusicStopsAtOnceAndRestartsTheMenuTune) {
  ASSERT_TRUE(Options.Music);
  ASSERT_NE(CurrentSong, 0);
  EXPECT_TRUE(Showing(15, 1, 16));
  Point(8);
  Snd_CallLog().clear();
  drive.Click();
  EXPECT_FALSE(Options.Music);
  EXPECT_EQ(CurrentSong, 0) << "silent before the next frame";
  EXPECT_THAT(Snd_CallLog(), ::testing::Contains("music-free"));
  EXPECT_THAT(Snd_CallLog(), ::testing::Not(::testing::Contains(::testing::HasSubstr("music-load"))));
  drive.Frame();
  EXPECT_TRUE(Showing(15, 1, 17));

  Snd_CallLog().clear();
  drive.Click();
  EXPECT_TRUE(Options.Music);
  EXPECT_NE(CurrentSong, 0);
  EXPECT_THAT(Snd_CallLog(), ::testing::Contains("music-load Menu.xm"));
  EXPECT_THAT(Snd_CallLog(), ::testing::Contains("music-play"));
  drive.Frame();
  EXPECT_TRUE(Showing(15, 1, 16));
}

TEST_F(OptionsScreen, SoundOffSilencesTheNextSelectionSound) {
  ASSERT_TRUE(Options.Sound);
  ClickOn(9);
  EXPECT_FALSE(Options.Sound);
  drive.Frame();
  EXPECT_TRUE(Showing(16, 1, 19));

  Snd_CallLog().clear();
  Tap(VK_LEFT);  // Sound -> Music: a selection change
  ASSERT_EQ(Shell.HoverItem, 8);
  EXPECT_THAT(Snd_CallLog(), ::testing::Not(::testing::Contains(::testing::HasSubstr("play "))));

  ClickOn(9);
  EXPECT_TRUE(Options.Sound);
  drive.Frame();
  EXPECT_TRUE(Showing(16, 1, 18));
  Snd_CallLog().clear();
  Tap(VK_LEFT);
  EXPECT_THAT(Snd_CallLog(), ::testing::Contains("play 1"));
}

// --- The country field ---------------------------------------------------------------------

class CountryField : public OptionsScreen {
protected:
  void StartEditingByKeyboard() {
    Tap(VK_UP);
    Tap(VK_UP);
    ASSERT_EQ(Shell.HoverItem, 10);
    Tap(VK_RETURN);
    ASSERT_TRUE(Shell.CountryEditing);
  }
  void Erase(size_t count) {
    for (size_t i = 0; i < count; ++i) drive.Key(VK_BACK);
  }
};

TEST_F(CountryField, EnterStartsEditingAndTypingEditsTheText) {
  EXPECT_EQ(Options.Country, "_______");
  StartEditingByKeyboard();
  drive.Frames(3);
  EXPECT_TRUE(Shell.TextCursor != nullptr && Shell.TextCursor->Visible) << "the caret shows while editing";
  Erase(7);
  EXPECT_EQ(Options.Country, "") << "the default has to be erased by hand";
  drive.Type("Ab 1");
  drive.Type("-_.!|");
  EXPECT_EQ(Options.Country, "Ab 1");
  Erase(1);
  EXPECT_EQ(Options.Country, "Ab ");

  Tap(VK_RETURN);
  EXPECT_FALSE(Shell.CountryEditing);
  drive.Frames(3);
  EXPECT_FALSE(Shell.TextCursor->Visible);
  drive.Type("xyz");
  EXPECT_EQ(Options.Country, "Ab ") << "no typing once editing has ended";
}

TEST_F(CountryField, ClickStartsEditing) {
  ClickOn(10);
  EXPECT_TRUE(Shell.CountryEditing);
  drive.Type("Z");
  EXPECT_EQ(Options.Country, "_______Z");
}

TEST_F(CountryField, EscapeEndsEditingInsteadOfLeaving) {
  StartEditingByKeyboard();
  Tap(VK_ESCAPE);
  EXPECT_FALSE(Shell.CountryEditing);
  EXPECT_EQ(Shell.CurrentScreen, scrOptions);
  EXPECT_EQ(Shell.HoverItem, 10);
  Tap(VK_ESCAPE);
  EXPECT_EQ(Shell.CurrentScreen, scrMainMenu);
}

TEST_F(CountryField, ArrowsDoNothingWhileEditing) {
  StartEditingByKeyboard();
  for (const int key : {VK_UP, VK_DOWN, VK_LEFT, VK_RIGHT}) {
    Tap(key);
    EXPECT_EQ(Shell.HoverItem, 10) << key;
    EXPECT_TRUE(Shell.CountryEditing) << key;
  }
}

TEST_F(CountryField, MovingTheMouseToAnotherOptionEndsEditing) {
  ClickOn(10);
  ASSERT_TRUE(Shell.CountryEditing);
  Point(11);
  EXPECT_FALSE(Shell.CountryEditing);
  drive.Type("q");
  EXPECT_EQ(Options.Country, "_______");
}

TEST_F(CountryField, LeavingByATabEndsEditing) {
  StartEditingByKeyboard();
  drive.MouseMove(40, 250);  // the help tab
  drive.Frame();
  ASSERT_EQ(Shell.TabHoverItem, 2);
  drive.Click();
  ASSERT_EQ(Shell.CurrentScreen, scrHelp);
  EXPECT_FALSE(Shell.CountryEditing);
}

TEST_F(CountryField, StopsAtSixteenCharacters) {
  ASSERT_LE(StyledTextWidth("iiiiiiiiiiiiiii", 4), 345) << "narrow letters must reach the length limit";
  StartEditingByKeyboard();
  Erase(7);
  drive.Type("iiiiiiiiiiiiiiiiiiii");
  EXPECT_EQ(Options.Country, std::string(16, 'i'));
}

TEST_F(CountryField, StopsOnceWiderThanTheFieldInStyleFour) {
  const std::string wide(16, 'W');
  ASSERT_GT(StyledTextWidth(wide.substr(0, 15), 4), 345) << "wide letters must reach the width limit";
  StartEditingByKeyboard();
  Erase(7);
  drive.Type(wide);
  const std::string& c = Options.Country;
  ASSERT_FALSE(c.empty());
  EXPECT_LT(c.size(), 16u);
  // The last letter went in while the text was still no wider than the limit; the next did not.
  EXPECT_LE(StyledTextWidth(c.substr(0, c.size() - 1), 4), 345) << c;
  EXPECT_GT(StyledTextWidth(c, 4), 345) << c;
  Erase(1);
  drive.Type("W");
  EXPECT_EQ(Options.Country, c) << "Backspace makes room for one more";
}

// --- The boss key --------------------------------------------------------------------------

struct KeyEvent {
  int Vk;
  int Shift;
  bool Down;
};

struct CaptureCase {
  const char* Name;
  std::vector<KeyEvent> Events;
  bool StillCapturing;
  const char* Text;
};
void PrintTo(const CaptureCase& c, std::ostream* os) { *os << c.Name; }


const CaptureCase kCaptureCases[] = {
    {"Started", {}, true, "?"},
    {"CtrlHeld", {{VK_CONTROL, ssCtrl, true}}, true, "CTRL+?"},
    {"CtrlF5", {{VK_CONTROL, ssCtrl, true}, {VK_F1 + 4, ssCtrl, true}}, false, "CTRL+F5"},
    {"Letter", {{'A', 0, true}}, true, "?"},
    {"CtrlLetter", {{VK_CONTROL, ssCtrl, true}, {'A', ssCtrl, true}}, true, "CTRL+?"},
    {"CtrlLetGo", {{VK_CONTROL, ssCtrl, true}, {VK_CONTROL, 0, false}}, true, "?"},
    {"AltAndCtrlAreAlt", {{VK_MENU, ssAlt | ssCtrl, true}, {VK_F1 + 6, ssAlt | ssCtrl, true}}, false, "ALT+F7"},
    {"ShiftF12", {{VK_SHIFT, ssShift, true}, {VK_F12, ssShift, true}}, false, "SHIFT+F12"},
    {"PlainF1", {{VK_F1, 0, true}}, false, "F1"},
};

class BossKeyCaptureCase : public OptionsScreen, public ::testing::WithParamInterface<CaptureCase> {};

TEST_P(BossKeyCaptureCase, ShowsWhatIsHeldAndEndsOnAFunctionKey) {
  ASSERT_EQ(BossKeyText(), "ALT+F9");
  Tap(VK_UP);
  ASSERT_EQ(Shell.HoverItem, 11);
  Tap(VK_RETURN);
  ASSERT_TRUE(Shell.BossKeyCapture);
  for (const KeyEvent& e : GetParam().Events) {
    if (e.Down) drive.Press(e.Vk, e.Shift);
    else drive.Release(e.Vk, e.Shift);
  }
  EXPECT_EQ(Shell.BossKeyCapture, GetParam().StillCapturing);
  EXPECT_EQ(BossKeyText(), GetParam().Text);
  drive.Frame();
  EXPECT_EQ(Shell.CurrentScreen, scrOptions);
}

INSTANTIATE_TEST_SUITE_P(Keys, BossKeyCaptureCase, ::testing::ValuesIn(kCaptureCases),
                         [](const ::testing::TestParamInfo<CaptureCase>& info) { return info.param.Name; });

class BossKeyField : public OptionsScreen {
protected:
  void StartCapture() {
    ClickOn(11);
    ASSERT_TRUE(Shell.BossKeyCapture);
  }
  // The boss key hides the game; MusicRestartPending says it did.
  bool Hides(int vk, int shift) {
    Shell.MusicRestartPending = false;
    drive.Press(vk, shift);
    drive.Release(vk, shift);
    return Shell.MusicRestartPending;
  }
};

TEST_F(BossKeyField, CapturedKeyIsInForceAtOnce) {
  StartCapture();
  drive.Press(VK_CONTROL, ssCtrl);
  drive.Press(VK_F1 + 4, ssCtrl);
  drive.Release(VK_F1 + 4, ssCtrl);
  drive.Release(VK_CONTROL, 0);
  ASSERT_FALSE(Shell.BossKeyCapture);
  EXPECT_EQ(BossKeyShift, ssCtrl);
  EXPECT_EQ(BossKey, VK_F1 + 4);
  EXPECT_FALSE(Hides(VK_F1 + 8, ssAlt)) << "the old key no longer hides the game";
  EXPECT_TRUE(Hides(VK_F1 + 4, ssCtrl));
}

TEST_F(BossKeyField, MovingToAnotherItemWithoutAFunctionKeyKeepsTheOldKey) {
  StartCapture();
  drive.Press(VK_CONTROL, ssCtrl);
  ASSERT_EQ(BossKeyText(), "CTRL+?");
  Point(10);
  drive.Release(VK_CONTROL, 0);
  EXPECT_FALSE(Shell.BossKeyCapture);
  EXPECT_EQ(BossKeyText(), "ALT+F9");
  EXPECT_TRUE(Hides(VK_F1 + 8, ssAlt));
}

TEST_F(BossKeyField, KeyboardMoveAwayKeepsTheOldKey) {
  StartCapture();
  Tap(VK_DOWN);
  EXPECT_EQ(Shell.HoverItem, 12);
  EXPECT_FALSE(Shell.BossKeyCapture);
  EXPECT_EQ(BossKeyText(), "ALT+F9");
}

// Leaving the screen while the field waits for a key must not lose the key in force, nor keep
// catching keys on the main menu.
TEST_F(BossKeyField, LeavingDuringACaptureKeepsTheOldKey) {
  StartCapture();
  Tap(VK_ESCAPE);
  ASSERT_EQ(Shell.CurrentScreen, scrMainMenu);
  EXPECT_FALSE(Shell.BossKeyCapture);
  EXPECT_EQ(BossKeyShift, ssAlt);
  EXPECT_EQ(BossKey, VK_F1 + 8);
  drive.Press(VK_F1, 0);
  drive.Release(VK_F1, 0);
  EXPECT_EQ(BossKey, VK_F1 + 8) << "a function key on the main menu is no capture";
  EXPECT_TRUE(Hides(VK_F1 + 8, ssAlt));
}

TEST_F(BossKeyField, SwitchingTabsDuringACaptureKeepsTheOldKey) {
  StartCapture();
  drive.MouseMove(40, 250);  // the help tab
  drive.Frame();
  ASSERT_EQ(Shell.TabHoverItem, 2);
  drive.Click();
  ASSERT_EQ(Shell.CurrentScreen, scrHelp);
  EXPECT_FALSE(Shell.BossKeyCapture);
  EXPECT_EQ(BossKeyText(), "ALT+F9");
}

}  // namespace
