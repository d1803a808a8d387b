// Text placement and the race HUD's read-outs. Each HUD figure is checked by drawing the HUD and,
// on a clean surface, the expected string in the same style and place: the pixels must agree.
#include <functional>
#include <string>
#include <vector>

#include "app/shell_util.h"

namespace {

struct Region {
  int Left, Top, Right, Bottom;
};

class Text : public HeadlessGame {
protected:
  void SetUp() override {
    HeadlessGame::SetUp();
    FinishIntro();
    Level = 1;
    RaceTimeLeft = 0;
    Score = 0;
    Lives = 3;
    PlayerRank = 1;
    RacerCount = 6;
  }

  TDirectDrawSurface& Surface() { return *Form().MDXDraw.Surface(); }
  void Clear() { Surface().Fill(0); }

  std::vector<uint16_t> Pixels(const Region& r) {
    std::vector<uint16_t> out;
    for (int y = std::max(r.Top, 0); y < std::min(r.Bottom, Surface().Height()); ++y)
      for (int x = std::max(r.Left, 0); x < std::min(r.Right, Surface().Width()); ++x)
        out.push_back(Surface().Row(y)[x]);
    return out;
  }

  static bool AnyLit(const std::vector<uint16_t>& px) {
    for (const uint16_t p : px)
      if (p != 0) return true;
    return false;
  }
};

// One HUD read-out: how to set it up and what it must show.
struct HudCase {
  const char* Name;
  std::function<void()> Set;
  int Style;
  std::string Shows;
  int X, Y;
  bool CentreX;
};

void PrintTo(const HudCase& c, std::ostream* os) { *os << c.Name << " shows \"" << c.Shows << "\""; }

class Hud : public Text, public testing::WithParamInterface<HudCase> {};

TEST_P(Hud, ShowsTheExpectedText) {
  const HudCase& c = GetParam();
  c.Set();
  const Region r{c.X - 110, c.Y - 25, c.X + 160, c.Y + 25};
  Clear();
  DrawHud();
  const std::vector<uint16_t> hud = Pixels(r);
  Clear();
  SetTextStyle(c.Style);
  DrawText(c.Shows, c.X, c.Y, c.CentreX, true);
  const std::vector<uint16_t> expected = Pixels(r);
  ASSERT_TRUE(AnyLit(expected));
  EXPECT_TRUE(hud == expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, Hud,
    testing::Values(HudCase{"clock", [] { RaceTimeLeft = 65000; }, 18, "01 : 05", 87, 23, true},
                    HudCase{"clock", [] { RaceTimeLeft = 9999; }, 18, "00 : 09", 87, 23, true},
                    HudCase{"clock", [] { RaceTimeLeft = 600000; }, 18, "10 : 00", 87, 23, true},
                    HudCase{"clock", [] { RaceTimeLeft = 67000; }, 18, "01 : 07", 87, 23, true},
                    HudCase{"clock", [] { RaceTimeLeft = 0; }, 18, "00 : 00", 87, 23, true},
                    HudCase{"level", [] { Level = 10; }, 6, "LEVEL 10 / 10", 714, 20, true},
                    HudCase{"score", [] { Score = 12345; }, 18, "12345", 84, 218, true},
                    HudCase{"lives", [] { Lives = 2; }, 18, "2", 113, 342, true},
                    HudCase{"lives", [] { Lives = -1; }, 18, "0", 113, 342, true},
                    HudCase{"speed without a bike", [] {}, 18, "0", 91, 578, true},
                    HudCase{"rank", [] { PlayerRank = 2; RacerCount = 6; }, 24, "2/6", 635, 185, false}));

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

TEST_F(Text, CentringDropsTheHalfPixelTowardZero) {
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

TEST_F(Text, VerticalCentringDropsTheHalfPixelToo) {
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

TEST_F(Text, StyledTextWidthLeavesItsStyleSelected) {
  SetTextStyle(1);
  const int wide = StyledTextWidth("Pause", 5);
  EXPECT_EQ(TextWidth("Pause"), wide);
  EXPECT_NE(StyledTextWidth("Pause", 24), wide);
}

}  // namespace
