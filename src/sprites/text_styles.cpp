// Text on the back surface in the game's 24 styles.
#include <array>
#include <cmath>
#include <string_view>

#include "sprites/sprites.h"

namespace {

struct TextStyle {
  const char* Face;
  int Size;
  uint8_t R, G, B;
  bool Bold;
};

// Styles 1..24; [0] is unused.
constexpr TextStyle kTextStyles[TextStyleCount + 1] = {
    {"BancoDi", 12, 0, 0, 0, false},
    {"BancoDi", 30, 255, 222, 0, false},   // 1 popup questions, "Sending..."
    {"BancoDi", 18, 255, 222, 0, false},   // 2 high-score names
    {"BancoDi", 24, 255, 222, 0, false},   // 3 clearing the high scores
    {"BancoDi", 28, 0, 0, 0, true},        // 4 measuring the country text
    {"BancoDi", 36, 244, 9, 9, false},     // 5 pause, level caption, game over, time over
    {"BancoDi", 16, 66, 252, 202, false},  // 6 HUD level
    {"BancoDi", 20, 66, 252, 202, false},  // 7
    {"BancoDi", 16, 255, 255, 255, false}, // 8
    {"BancoDi", 26, 255, 222, 0, false},   // 9 name entry heading, congratulations
    {"BancoDi", 26, 0, 255, 174, false},   // 10 the name being typed
    {"BancoDi", 24, 255, 222, 0, false},   // 11 send question, end-of-level tally
    {"BancoDi", 24, 255, 222, 0, false},   // 12 options labels
    {"BancoDi", 24, 0, 255, 174, false},   // 13 options values
    {"BancoDi", 24, 255, 222, 0, false},   // 14
    {"BancoDi", 78, 255, 242, 168, false}, // 15
    {"BancoDi", 24, 191, 166, 0, false},   // 16 options labels, hovered
    {"BancoDi", 18, 255, 222, 0, false},   // 17 high-score values
    {"BancoDi", 22, 66, 252, 202, false},  // 18 HUD clock, score, lives, speed
    {"BancoDi", 28, 255, 242, 168, false}, // 19 help titles
    {"BancoDi", 14, 255, 242, 168, false}, // 20 help text
    {"BancoDi", 15, 255, 242, 168, false}, // 21 help headings
    {"Courier", 14, 0, 255, 0, false},     // 22
    {"BancoDi", 20, 255, 242, 168, false}, // 23 about title
    {"BancoDi", 14, 66, 252, 202, false},  // 24 HUD rank
};

TCanvas& Canvas() { return GameGraphics().Draw->Canvas(); }

TFontStyle FontOf(int style) {
  const TextStyle& s = kTextStyles[style];
  return TFontStyle{s.Face, s.Size, s.R, s.G, s.B, s.Bold};
}

// The characters of the HUD's changing read-outs.
constexpr std::string_view kStripCharacters = "0123456789 :/";

// Per style, built on first use.
std::array<TGlyphStrip, TextStyleCount + 1> strips;

}  // namespace

void SetTextStyle(int style) {
  if (style < 1 || style > TextStyleCount) return;
  Canvas().SetFont(FontOf(style));
}

int TextWidth(std::string_view text) { return Canvas().TextWidth(text); }
int TextHeight(std::string_view text) { return Canvas().TextHeight(text); }

int StyledTextWidth(std::string_view text, int style) {
  SetTextStyle(style);
  return TextWidth(text);
}

void DrawText(std::string_view text, int x, int y, bool centerX, bool centerY) {
  if (centerX) x = static_cast<int>(std::trunc(x - TextWidth(text) / 2.0));
  if (centerY) y = static_cast<int>(std::trunc(y - TextHeight(text) / 2.0));
  Canvas().TextOut(GameSurface(), x, y, text);
}

void DrawFramedText(std::string_view text, int x, int y, bool centerX, bool centerY) {
  if (centerX) x = static_cast<int>(std::trunc(x - TextWidth(text) / 2.0));
  if (centerY) y = static_cast<int>(std::trunc(y - TextHeight(text) / 2.0));
  TCanvas& canvas = Canvas();
  TDirectDrawSurface* const surface = GameSurface();
  const TFontStyle style = canvas.Font();
  // A soft shadow: the text many times below and to the right, faintly, so that the layers add up
  // toward the middle.
  constexpr std::array<std::array<int, 2>, 9> kShadow{{{2, 3}, {3, 4}, {4, 5}, {2, 5}, {4, 3}, {3, 6}, {5, 4}, {5, 6}, {4, 7}}};
  canvas.SetFont(TFontStyle{style.Face, style.Size, 0, 0, 0, style.Bold});
  for (const auto& [dx, dy] : kShadow) canvas.TextOut(surface, x + dx, y + dy, text, 7);
  // The outline: the text in a very dark shade of its colour, around it two pixels wide.
  canvas.SetFont(TFontStyle{style.Face, style.Size, static_cast<uint8_t>(style.R / 7), static_cast<uint8_t>(style.G / 7),
                            static_cast<uint8_t>(style.B / 7), style.Bold});
  constexpr std::array<std::array<int, 2>, 12> kRing{{{-2, 0}, {2, 0}, {0, -2}, {0, 2}, {-1, -2}, {1, -2}, {-1, 2}, {1, 2},
                                                      {-2, -1}, {-2, 1}, {2, -1}, {2, 1}}};
  for (const auto& [dx, dy] : kRing) canvas.TextOut(surface, x + dx, y + dy, text);
  canvas.SetFont(style);
  canvas.TextOut(surface, x, y, text);
}

void DrawDigits(std::string_view text, int x, int y, bool centerX, bool centerY, int style) {
  if (style < 1 || style > TextStyleCount) return;
  TGlyphStrip& strip = strips[style];
  if (!strip.Built()) strip.Build(FontOf(style), kStripCharacters);
  if (centerX) x = static_cast<int>(std::trunc(x - strip.Width(text) / 2.0));
  if (centerY) y = static_cast<int>(std::trunc(y - strip.Height() / 2.0));
  strip.Draw(GameSurface(), x, y, text);
}
