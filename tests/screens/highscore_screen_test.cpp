// The high-score screen: its keyboard walk, Esc, the clear button's question, the world page and
// where the ten rows are drawn.
#include <ostream>
#include <string>
#include <vector>

#include "online/online.h"
#include "save/save.h"
#include "screen_test_util.h"

namespace {

using screens_test::ScreenGame;

class HighScoreScreen : public ScreenGame {
protected:
  void SetUp() override {
    ScreenGame::SetUp();
    OpenFromMainMenu(4);
    ASSERT_EQ(Shell.CurrentScreen, scrHighScores);
  }
};

struct Step {
  int Key;
  int Hover;
};

TEST_F(HighScoreScreen, KeyboardWalkStopsAtBothEnds) {
  EXPECT_EQ(Shell.HoverItem, 9) << "the back button is selected on opening";
  const std::vector<Step> walk = {
      {VK_RIGHT, 9}, {VK_UP, 9}, {VK_DOWN, 9}, {VK_LEFT, 8}, {VK_LEFT, 7}, {VK_LEFT, 7},
      {VK_UP, 7},    {VK_DOWN, 7}, {VK_RIGHT, 8}, {VK_RIGHT, 9}, {VK_RIGHT, 9},
  };
  for (size_t i = 0; i < walk.size(); ++i) {
    SCOPED_TRACE("step " + std::to_string(i + 1));
    Tap(walk[i].Key);
    EXPECT_EQ(Shell.HoverItem, walk[i].Hover);
    EXPECT_EQ(Shell.CurrentScreen, scrHighScores);
  }
}

class HighScoreArrowFromNothing : public HighScoreScreen, public ::testing::WithParamInterface<int> {};

TEST_P(HighScoreArrowFromNothing, SelectsTheClearButton) {
  MouseOffAllItems();
  ASSERT_EQ(Shell.HoverItem, 0);
  Tap(GetParam());
  EXPECT_EQ(Shell.HoverItem, 7);
}

INSTANTIATE_TEST_SUITE_P(Arrows, HighScoreArrowFromNothing, ::testing::Values(VK_UP, VK_DOWN, VK_LEFT, VK_RIGHT),
                         screens_test::ArrowKeyName);

TEST_F(HighScoreScreen, EscapeGoesBackWithHighScoresSelected) {
  Tap(VK_ESCAPE);
  EXPECT_EQ(Shell.CurrentScreen, scrMainMenu);
  EXPECT_EQ(Shell.HoverItem, 4);
  EXPECT_EQ(Shell.FirstItem, 1);
  EXPECT_EQ(Shell.LastItem, 6);
}

TEST_F(HighScoreScreen, WorldButtonOpensTheWorldListPage) {
  Tap(VK_LEFT);
  ASSERT_EQ(Shell.HoverItem, 8);
  Sys_HeadlessOpenedURLs().clear();
  Tap(VK_RETURN);
  ASSERT_EQ(Sys_HeadlessOpenedURLs().size(), 1u);
  EXPECT_EQ(Sys_HeadlessOpenedURLs()[0], ScoreServer() + "/cgi/version.pl?prg=ZuboKranz&show&type=0");
  EXPECT_EQ(Shell.CurrentScreen, scrHighScores);
}

// --- Clearing the table ----------------------------------------------------------------------

struct ClearCase {
  const char* Name;
  std::vector<int> Keys;  // pressed on the question
  bool Cleared;
};
void PrintTo(const ClearCase& c, std::ostream* os) { *os << c.Name; }


const ClearCase kClearCases[] = {
    {"YKey", {'Y'}, true},
    {"NKey", {'N'}, false},
    {"EnterOnTheDefaultNo", {VK_RETURN}, false},
    {"LeftToYesThenEnter", {VK_LEFT, VK_RETURN}, true},
};

class ClearQuestion : public HighScoreScreen, public ::testing::WithParamInterface<ClearCase> {};

TEST_P(ClearQuestion, YesResetsTheTableNoKeepsIt) {
  InsertHighScore("Rider", 20000);
  Tap(VK_LEFT);
  Tap(VK_LEFT);
  ASSERT_EQ(Shell.HoverItem, 7);
  Tap(VK_RETURN);
  ASSERT_EQ(Shell.PopupKind, 4);
  ASSERT_EQ(Shell.HoverItem, 12) << "No is the default";
  for (const int key : GetParam().Keys) Tap(key);
  EXPECT_EQ(Shell.PopupKind, 0);
  EXPECT_EQ(Shell.CurrentScreen, scrHighScores);
  EXPECT_EQ(Shell.HoverItem, 7) << "the selection from before the question";
  if (GetParam().Cleared) {
    for (int n = 1; n <= 10; ++n) {
      EXPECT_EQ(HighScores[n].Name, "ANONYMOUS") << n;
      EXPECT_EQ(HighScores[n].Score, 11000 - 1000 * n) << n;
    }
  } else {
    EXPECT_EQ(HighScores[1].Name, "Rider");
    EXPECT_EQ(HighScores[1].Score, 20000);
    EXPECT_EQ(HighScores[10].Score, 2000);
  }
}

INSTANTIATE_TEST_SUITE_P(Answers, ClearQuestion, ::testing::ValuesIn(kClearCases),
                         [](const ::testing::TestParamInfo<ClearCase>& info) { return info.param.Name; });

// --- Where the rows are drawn ------------------------------------------------------------------

// Top pixel row of anything drawn in [x0, x1) between y0 and y1 on the back surface; -1 if none.
int TopOfInk(int x0, int x1, int y0, int y1) {
  TDirectDrawSurface* s = MForm->MDXDraw.Surface();
  for (int y = y0; y < y1; ++y)
    for (int x = x0; x < x1; ++x)
      if (s->Pixels()[y * s->Width() + x] != 0) return y;
  return -1;
}

TEST_F(HighScoreScreen, RowsAreDrawnAtTheirHeights) {
  // The same name in every row; the distance between the tops of two rows' letters is then the
  // distance between their centre lines.
  for (int n = 1; n <= 10; ++n) HighScores[n] = THighScore{"W", 1};
  Form().MDXDraw.Fill(0);
  DrawHighScoreTable();
  const int rowY[10] = {196, 230, 263, 297, 331, 364, 398, 432, 466, 499};
  const int top1 = TopOfInk(540, 620, 180, 213);
  ASSERT_GE(top1, 0);
  for (int n = 2; n <= 10; ++n) {
    const int top = TopOfInk(540, 620, rowY[n - 1] - 16, rowY[n - 1] + 17);
    EXPECT_EQ(top - top1, rowY[n - 1] - rowY[0]) << "row " << n;
  }
}

}  // namespace
