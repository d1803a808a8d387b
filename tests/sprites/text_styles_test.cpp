// Text in the game's styles: centring and the width measure.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sprites/sprites.h"
#include "test_graphics.h"

namespace {

using TextStyles = DrawingTest;

// A text whose width in some style is odd, to see how a half pixel is dropped.
struct Sample {
  int Style = 0;
  std::string Text;
  int Width = 0, Height = 0;
};

Sample FindSample(bool oddWidth, bool oddHeight) {
  const char* texts[] = {"Exit the game?", "Pause", "Level 3", "Sending...", "Game Over", "abc", "W", "i"};
  for (int style = 1; style <= TextStyleCount; ++style) {
    for (const char* t : texts) {
      const int w = StyledTextWidth(t, style);
      const int h = TextHeight(t);
      if ((!oddWidth || w % 2 == 1) && (!oddHeight || h % 2 == 1)) return Sample{style, t, w, h};
    }
  }
  return {};
}

TEST_F(TextStyles, CentringDropsTheHalfPixelTowardZero) {
  const Sample s = FindSample(true, false);
  ASSERT_NE(s.Style, 0) << "no text of odd width";
  // At 382 an odd width w starts at 382 - (w + 1) / 2 (width 75: 344).
  for (const int x : {382, 1}) {
    const int start = static_cast<int>(x - s.Width / 2.0);  // truncated toward zero, also below 0
    Clear();
    SetTextStyle(s.Style);
    DrawText(s.Text, x, 300, true, false);
    const std::vector<uint16_t> centred = Pixels({0, 0, 800, 600});
    Clear();
    DrawText(s.Text, start, 300, false, false);
    EXPECT_TRUE(centred == Pixels({0, 0, 800, 600})) << "x " << x << " width " << s.Width;
    if (x == 382) {
      EXPECT_EQ(start, 382 - (s.Width + 1) / 2);
    }
  }
}

TEST_F(TextStyles, VerticalCentringDropsTheHalfPixelToo) {
  const Sample s = FindSample(false, true);
  ASSERT_NE(s.Style, 0) << "no text of odd height";
  Clear();
  SetTextStyle(s.Style);
  DrawText(s.Text, 100, 300, false, true);
  const std::vector<uint16_t> centred = Pixels({0, 0, 800, 600});
  Clear();
  DrawText(s.Text, 100, 300 - (s.Height + 1) / 2, false, false);
  EXPECT_TRUE(centred == Pixels({0, 0, 800, 600}));
}

TEST_F(TextStyles, StyledTextWidthLeavesItsStyleSelected) {
  SetTextStyle(1);
  const int wide = StyledTextWidth("Pause", 5);
  EXPECT_EQ(TextWidth("Pause"), wide);
  EXPECT_NE(StyledTextWidth("Pause", 24), wide);
}

}  // namespace
