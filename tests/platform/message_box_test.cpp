// The game's own message box: its message broken into lines that fit the panel, the OK button
// below them, everything on the 800x600 surface.
#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "platform/platform.h"
#include "platform/sys_local.h"

namespace {

std::string WithoutBlanks(std::string_view text) {
  std::string out;
  for (const char c : text)
    if (c != ' ' && c != '\n') out += c;
  return out;
}

struct TLayoutCase {
  const char* Name;
  std::string Message;
};
void PrintTo(const TLayoutCase& c, std::ostream* os) { *os << c.Name; }

class MessageBoxLayout : public testing::TestWithParam<TLayoutCase> {};

// Every line fits the panel with its margins, no character is lost or repeated, and the button
// lies inside the panel below the text.
TEST_P(MessageBoxLayout, LinesFitThePanelAndKeepTheWholeMessage) {
  TCanvas canvas;
  const TMessageBoxLayout box = LayoutMessageBox(GetParam().Message, canvas);
  ASSERT_FALSE(box.Lines.empty());
  std::string joined;
  for (const std::string& line : box.Lines) {
    EXPECT_LE(canvas.TextWidth(line), box.Panel.Width() - 40) << line;
    joined += line;
  }
  EXPECT_EQ(WithoutBlanks(joined), WithoutBlanks(GetParam().Message));
  EXPECT_GE(box.Panel.Left, 0);
  EXPECT_LE(box.Panel.Right, TDXDraw::SurfaceWidth);
  EXPECT_GE(box.Button.Top, box.Panel.Top + static_cast<int>(box.Lines.size()) * box.LineHeight);
  EXPECT_LE(box.Button.Bottom, box.Panel.Bottom);
}

const std::string kPath = "/home/player/games/zubokranz/build/game/Data/Save/options";
INSTANTIATE_TEST_SUITE_P(
    Messages, MessageBoxLayout,
    testing::Values(TLayoutCase{"Short", "Data/Res/Res1.dxg: not found"},
                    TLayoutCase{"Paragraphs", "Your settings could not be saved.\n" + kPath + ": disk full"},
                    TLayoutCase{"PathsWithoutSpaces", kPath + kPath + kPath},
                    TLayoutCase{"ManyWords", std::string(60, 'w') + " " + std::string(400, 'x')}),
    [](const testing::TestParamInfo<TLayoutCase>& info) { return std::string(info.param.Name); });

TEST(MessageBoxLayoutCut, LongLinesBreakAfterASpaceBeforeASlash) {
  TCanvas canvas;
  const TMessageBoxLayout box = LayoutMessageBox("Data/Res/Res1.dxg: not found in " + kPath + ", " + kPath, canvas);
  ASSERT_GE(box.Lines.size(), 2u);
  // The first line ends where a word ended: the next starts with a whole path or word.
  EXPECT_NE(box.Lines[1].front(), ' ');
  EXPECT_TRUE(box.Lines[1].front() == '/' || box.Lines[0].back() == ',') << box.Lines[0] << " | " << box.Lines[1];
}

TEST(MessageBoxLayoutCut, AMessageTooLongForTheScreenEndsInAnEllipsis) {
  TCanvas canvas;
  std::string message;
  for (int i = 0; i < 40; ++i) message += "line " + std::to_string(i) + "\n";
  const TMessageBoxLayout box = LayoutMessageBox(message, canvas);
  EXPECT_EQ(box.Lines.size(), 20u);
  EXPECT_EQ(box.Lines.back(), "line 19...");
  EXPECT_LE(box.Panel.Bottom, TDXDraw::SurfaceHeight);
}

TEST(MessageBoxDraw, DrawsOnlyInsideThePanel) {
  TCanvas canvas;
  TDirectDrawSurface surface(TDXDraw::SurfaceWidth, TDXDraw::SurfaceHeight);
  surface.Fill(0xFFFF);
  const TMessageBoxLayout box = LayoutMessageBox("A message", canvas);
  DrawMessageBox(surface, box, canvas);
  int outside = 0, inside = 0;
  for (int y = 0; y < surface.Height(); ++y) {
    for (int x = 0; x < surface.Width(); ++x) {
      const bool inPanel = x >= box.Panel.Left && x < box.Panel.Right && y >= box.Panel.Top && y < box.Panel.Bottom;
      if (surface.Row(y)[x] != 0) (inPanel ? inside : outside)++;
    }
  }
  EXPECT_EQ(outside, 0);
  EXPECT_GT(inside, box.Panel.Width() * box.Panel.Height() / 2);
}

}  // namespace
