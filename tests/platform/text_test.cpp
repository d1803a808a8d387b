// Text on the back surface: measurement, drawing in the font colour, caching and face fallback.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <ostream>
#include <string>

#include "platform/platform.h"
#include "test_names.h"

namespace {

constexpr uint16_t kBlack = 0;

TFontStyle Style(const char* face, int size, uint8_t r, uint8_t g, uint8_t b, bool bold = false) {
  TFontStyle f;
  f.Face = face;
  f.Size = size;
  f.R = r;
  f.G = g;
  f.B = b;
  f.Bold = bold;
  return f;
}

// The HUD look: the game's face (not installed, so the stand-in draws) in its yellow.
const TFontStyle kYellow = Style("BancoDi", 24, 255, 222, 0);

struct Channels {
  int r, g, b;  // in the 565 ranges 0..31, 0..63, 0..31
};
Channels Split(uint16_t p) { return Channels{p >> 11, (p >> 5) & 63, p & 31}; }

bool SamePixels(const TDirectDrawSurface& a, const TDirectDrawSurface& b) {
  return a.Width() == b.Width() && a.Height() == b.Height() &&
         std::equal(a.Pixels(), a.Pixels() + a.Width() * a.Height(), b.Pixels());
}

int CountChanged(const TDirectDrawSurface& s, uint16_t background) {
  return static_cast<int>(std::count_if(s.Pixels(), s.Pixels() + s.Width() * s.Height(),
                                        [&](uint16_t p) { return p != background; }));
}

TDirectDrawSurface Drawn(TCanvas& canvas, int w, int h, int x, int y, const std::string& text) {
  TDirectDrawSurface s(w, h);
  s.Fill(kBlack);
  canvas.TextOut(&s, x, y, text);
  return s;
}

// ---------------------------------------------------------------------------------------------
// Measurement
// ---------------------------------------------------------------------------------------------

TEST(TextMeasure, WidthGrowsWithTheTextAndHeightWithTheSize) {
  TCanvas canvas;
  canvas.SetFont(kYellow);
  EXPECT_GT(canvas.TextWidth("A"), 0);
  EXPECT_GE(canvas.TextWidth("AB"), canvas.TextWidth("A"));
  EXPECT_GT(canvas.TextWidth("LEVEL 10 / 10"), canvas.TextWidth("LEVEL"));
  EXPECT_EQ(canvas.TextWidth(""), 0);
  const int h24 = canvas.TextHeight("A");
  EXPECT_GT(h24, 0);

  canvas.SetFont(Style("BancoDi", 36, 244, 9, 9));
  EXPECT_GT(canvas.TextHeight("A"), h24);
}

TEST(TextMeasure, MeasuringTwiceGivesTheSameAnswer) {
  TCanvas canvas;
  canvas.SetFont(kYellow);
  const int first = canvas.TextWidth("01 : 07");
  for (int i = 0; i < 3; ++i) EXPECT_EQ(canvas.TextWidth("01 : 07"), first);
}

TEST(TextMeasure, SizesOutsideAnyUseAreClamped) {
  TCanvas canvas;
  for (const int size : {0, -12, 100000}) {
    canvas.SetFont(Style("BancoDi", size, 255, 255, 255));
    EXPECT_GT(canvas.TextWidth("W"), 0) << size;
  }
}

// ---------------------------------------------------------------------------------------------
// Faces
// ---------------------------------------------------------------------------------------------

TEST(TextFace, MissingFaceFallsBackToTheStandInBoldDrawnSmaller) {
  TCanvas canvas;
  const std::string sample = "Exit the game?";
  canvas.SetFont(Style("BancoDi", 30, 0, 0, 0));
  const int missing = canvas.TextWidth(sample);
  // The stand-in is drawn at four fifths of the asked size: 30 points become 24.
  canvas.SetFont(Style("League Spartan", 24, 0, 0, 0, true));
  EXPECT_EQ(canvas.TextWidth(sample), missing);
  canvas.SetFont(Style("League Spartan", 30, 0, 0, 0, true));
  EXPECT_GT(canvas.TextWidth(sample), missing);
  canvas.SetFont(Style("no such face at all", 30, 0, 0, 0));
  EXPECT_EQ(canvas.TextWidth(sample), missing);
  canvas.SetFont(Style("", 30, 0, 0, 0));
  EXPECT_EQ(canvas.TextWidth(sample), missing);
}

TEST(TextFace, InstalledFacesAreFoundByNameInAnyCase) {
  TCanvas canvas;
  const std::string sample = "Exit the game?";
  canvas.SetFont(Style("BancoDi", 30, 0, 0, 0));
  const int standIn = canvas.TextWidth(sample);
  canvas.SetFont(Style("DejaVu Sans", 30, 0, 0, 0));
  const int regular = canvas.TextWidth(sample);
  EXPECT_NE(regular, standIn);
  canvas.SetFont(Style("dejavu sans", 30, 0, 0, 0));
  EXPECT_EQ(canvas.TextWidth(sample), regular);
  canvas.SetFont(Style("DejaVu Sans", 30, 0, 0, 0, true));
  EXPECT_GT(canvas.TextWidth(sample), regular);
}

// ---------------------------------------------------------------------------------------------
// Drawing
// ---------------------------------------------------------------------------------------------

TEST(TextDraw, TouchesOnlyTheMeasuredBoxInShadesOfTheFontColour) {
  TCanvas canvas;
  canvas.SetFont(kYellow);
  const std::string text = "Wg 01 : 07";
  const int x = 7, y = 5, w = canvas.TextWidth(text), h = canvas.TextHeight(text);
  const TDirectDrawSurface s = Drawn(canvas, 300, 80, x, y, text);
  const Channels full = Split(RGB565(255, 222, 0));
  int fullPixels = 0, touched = 0;
  for (int py = 0; py < s.Height(); ++py)
    for (int px = 0; px < s.Width(); ++px) {
      const uint16_t p = s.Row(py)[px];
      if (p == kBlack) continue;
      ++touched;
      EXPECT_TRUE(px >= x && px < x + w && py >= y && py < y + h) << px << "," << py << " outside the box";
      const Channels c = Split(p);
      EXPECT_LE(c.r, full.r);
      EXPECT_LE(c.g, full.g);
      EXPECT_EQ(c.b, 0);
      // A blend of black and the colour: red and green keep the colour's proportion.
      EXPECT_NEAR(c.g / 63.0, c.r / 31.0 * (full.g / 63.0) / (full.r / 31.0), 0.1) << px << "," << py;
      fullPixels += p == RGB565(255, 222, 0);
    }
  EXPECT_GT(touched, 50);
  EXPECT_GT(fullPixels, 10);
}

TEST(TextDraw, CachedDrawsGiveIdenticalPixels) {
  TCanvas canvas;
  canvas.SetFont(kYellow);
  const TDirectDrawSurface first = Drawn(canvas, 200, 60, 3, 4, "SCORE 1234");
  EXPECT_TRUE(SamePixels(Drawn(canvas, 200, 60, 3, 4, "SCORE 1234"), first));

  // After enough other strings and fonts to push it out of every cache, it is drawn again alike.
  for (int i = 0; i < 600; ++i) {
    canvas.SetFont(Style("BancoDi", 10 + i % 40, 255, 255, 255));
    canvas.TextWidth("filler " + std::to_string(i));
  }
  canvas.SetFont(kYellow);
  EXPECT_TRUE(SamePixels(Drawn(canvas, 200, 60, 3, 4, "SCORE 1234"), first));
}

TEST(TextDraw, ColourComesFromTheCurrentStyleNotTheCache) {
  TCanvas canvas;
  canvas.SetFont(kYellow);
  const TDirectDrawSurface yellow = Drawn(canvas, 200, 60, 0, 0, "LIVES");
  canvas.SetFont(Style("BancoDi", 24, 255, 0, 0));
  const TDirectDrawSurface red = Drawn(canvas, 200, 60, 0, 0, "LIVES");
  // Same coverage, so the same red channel (both colours have full red); no green in red.
  EXPECT_GT(CountChanged(red, kBlack), 50);
  for (int i = 0; i < red.Width() * red.Height(); ++i) {
    EXPECT_EQ(Split(red.Pixels()[i]).g, 0);
    EXPECT_EQ(Split(red.Pixels()[i]).r, Split(yellow.Pixels()[i]).r);
  }
}

TEST(TextDraw, ClippedTextShowsTheSameWindowAsUnclipped) {
  TCanvas canvas;
  canvas.SetFont(kYellow);
  const std::string text = "Clip me 42";
  constexpr int kMargin = 200;
  struct At {
    int x, y;
  };
  for (const At at : {At{-20, 3}, At{40, 3}, At{5, -10}, At{5, 20}, At{-150, -40}, At{59, 29}, At{-1000, 0}, At{0, 5000}}) {
    SCOPED_TRACE(std::to_string(at.x) + "," + std::to_string(at.y));
    const TDirectDrawSurface whole = Drawn(canvas, 60 + 2 * kMargin, 30 + 2 * kMargin, at.x + kMargin, at.y + kMargin, text);
    const TDirectDrawSurface small = Drawn(canvas, 60, 30, at.x, at.y, text);
    for (int y = 0; y < 30; ++y)
      for (int x = 0; x < 60; ++x) ASSERT_EQ(small.Row(y)[x], whole.Row(y + kMargin)[x + kMargin]) << x << "," << y;
  }
}

TEST(TextDraw, LatinOneCharactersDraw) {
  TCanvas canvas;
  canvas.SetFont(kYellow);
  EXPECT_GT(canvas.TextWidth("\xE9"), 0);  // e acute
  const TDirectDrawSurface accented = Drawn(canvas, 60, 40, 0, 0, "\xE9");
  const TDirectDrawSurface plain = Drawn(canvas, 60, 40, 0, 0, "e");
  EXPECT_GT(CountChanged(accented, kBlack), CountChanged(plain, kBlack));
}

TEST(TextDraw, NothingToDrawOn) {
  TCanvas canvas;
  canvas.SetFont(kYellow);
  canvas.TextOut(nullptr, 0, 0, "text");
  TDirectDrawSurface empty;
  canvas.TextOut(&empty, 0, 0, "text");
  const TDirectDrawSurface s = Drawn(canvas, 40, 20, 0, 0, "");
  EXPECT_EQ(CountChanged(s, kBlack), 0);
}

// Runs in a fresh process whose fontconfig knows no fonts at all.
TEST(TextNoFontDeathTest, DrawsNothingMeasuresZeroAndSaysSoOnce) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        const std::string conf = testing::TempDir() + "zk_no_fonts.conf";
        if (FILE* f = std::fopen(conf.c_str(), "w")) {
          std::fputs("<?xml version=\"1.0\"?>\n<fontconfig></fontconfig>\n", f);
          std::fclose(f);
        }
        setenv("FONTCONFIG_FILE", conf.c_str(), 1);
        TCanvas canvas;
        canvas.SetFont(kYellow);
        TDirectDrawSurface s(40, 20);
        canvas.TextOut(&s, 0, 0, "text");
        const bool ok = canvas.TextWidth("text") == 0 && canvas.TextHeight("text") == 0 && CountChanged(s, 0) == 0;
        std::exit(ok ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "^Zubo Kranz: no outline font found[^\n]*\n$");
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Glyph strips
// ---------------------------------------------------------------------------------------------

struct StripCase {
  int Size;
  bool Bold;
  const char* Text;
};

void PrintTo(const StripCase& c, std::ostream* os) { *os << c.Size << (c.Bold ? " bold " : " ") << '"' << c.Text << '"'; }

class GlyphStrip : public testing::TestWithParam<StripCase> {};

// The HUD's read-outs: a strip draws them exactly as TextOut does, and measures them alike.
TEST_P(GlyphStrip, DrawsAndMeasuresAsTheCanvasDoes) {
  const StripCase& c = GetParam();
  TCanvas canvas;
  canvas.SetFont(Style("BancoDi", c.Size, 66, 252, 202, c.Bold));
  TGlyphStrip strip;
  strip.Build(canvas.Font(), "0123456789 :/");
  EXPECT_EQ(strip.Width(c.Text), canvas.TextWidth(c.Text));
  EXPECT_EQ(strip.Height(), canvas.TextHeight(c.Text));
  TDirectDrawSurface fromStrip(200, 60);
  fromStrip.Fill(kBlack);
  strip.Draw(&fromStrip, 7, 5, c.Text);
  const TDirectDrawSurface fromCanvas = Drawn(canvas, 200, 60, 7, 5, c.Text);
  ASSERT_GT(CountChanged(fromCanvas, kBlack), 0);
  EXPECT_TRUE(SamePixels(fromStrip, fromCanvas));
}

INSTANTIATE_TEST_SUITE_P(HudReadOuts, GlyphStrip,
                         testing::Values(StripCase{22, false, "01 : 07"}, StripCase{22, false, "1234567890"},
                                         StripCase{22, false, "0"}, StripCase{14, false, "2/6"},
                                         StripCase{14, false, "11/12"}, StripCase{28, true, "90817"}),
                         test_names::Printed());

TEST(GlyphStripUse, CharactersOutsideTheStripAreSkipped) {
  TCanvas canvas;
  canvas.SetFont(kYellow);
  TGlyphStrip strip;
  strip.Build(canvas.Font(), "0123456789");
  EXPECT_EQ(strip.Width("1x2"), strip.Width("12"));
  TDirectDrawSurface a(200, 60), b(200, 60);
  a.Fill(kBlack);
  b.Fill(kBlack);
  strip.Draw(&a, 3, 3, "1x2");
  strip.Draw(&b, 3, 3, "12");
  EXPECT_TRUE(SamePixels(a, b));
}
