// Text on the back surface in the game's 24 styles, and the race HUD.
#include <cmath>
#include <cstdio>

#include "app/app.h"
#include "race/race.h"

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

TCanvas& Canvas() { return MForm->MDXDraw.Canvas(); }

// Two decimal digits with a leading zero below 10.
void TwoDigits(char* out, int v) { std::snprintf(out, 8, "%02d", v); }

}  // namespace

void SetTextStyle(int style) {
  if (style < 1 || style > TextStyleCount) return;
  const TextStyle& s = kTextStyles[style];
  Canvas().SetFont(TFontSpec{s.Face, s.Size, s.R, s.G, s.B, s.Bold});
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
  Canvas().TextOut(MForm->MDXDraw.Surface(), x, y, text);
}

void DrawHud() {
  char buf[64];
  SetTextStyle(6);
  std::snprintf(buf, sizeof buf, "LEVEL %d / 10", Level);
  DrawText(buf, 714, 20, true, true);

  char minutes[8], seconds[8];
  TwoDigits(minutes, RaceTimeLeft / 60000);
  TwoDigits(seconds, (RaceTimeLeft / 1000) % 60);
  SetTextStyle(18);
  std::snprintf(buf, sizeof buf, "%s : %s", minutes, seconds);
  DrawText(buf, 87, 23, true, true);

  std::snprintf(buf, sizeof buf, "%d", Score);
  DrawText(buf, 84, 218, true, true);

  std::snprintf(buf, sizeof buf, "%d", Lives < 0 ? 0 : Lives);
  DrawText(buf, 113, 342, true, true);

  const double speed = PlayerSpeed();
  std::snprintf(buf, sizeof buf, "%d", speed > 0 ? static_cast<int>(std::nearbyint(speed * 1.9)) : 0);
  DrawText(buf, 91, 578, true, true);

  SetTextStyle(24);
  std::snprintf(buf, sizeof buf, "%d/%d", PlayerRank, RacerCount);
  DrawText(buf, 635, 185, false, true);
}
