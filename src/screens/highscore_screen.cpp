// The high-score screen: the ten entries of the local table, CLEAR, WORLD and BACK.
#include <cmath>
#include <cstdio>

#include "app/app.h"
#include "race/race.h"
#include "screens/screens.h"
#include "sprites/sprites.h"

namespace {

constexpr int kNameX = 578, kScoreX = 732;
constexpr int kNameStyle = 2, kScoreStyle = 17;

// Rounded half to even: row 6 sits at 364, not 365.
int RowY(int n) { return RoundHalfEven(33.7 * (n - 1) + 196); }

constexpr TScreenButton kButtons[3] = {{7, 40, 365, 532}, {8, 41, 517, 532}, {9, 36, 661, 542}};

}  // namespace

void OpenHighScoreScreen() {
  BeginSubScreen(scrHighScores, 9, 9);
  MenuItems[16] = TMyImageSprite::CreateAt(1, 27, 323, 42, 3);
  MenuItems[17] = TMyImageSprite::CreateAt(1, 53, 356, 130, 5);
  CreateScreenButtons(kButtons);
}

void UpdateHighScoreScreen(int lagCount) {
  UpdateItemHighlight(true);
  // With nothing selected (the mouse left the buttons) any arrow only selects CLEAR.
  if (FirstItem <= HoverItem && HoverItem <= LastItem) {
    if (LeftPressed) StepDownTo(HoverItem, FirstItem, 1);
    if (RightPressed) StepUpTo(HoverItem, LastItem, 1);
  } else if (UpPressed || DownPressed || LeftPressed || RightPressed) {
    ClampToLow(HoverItem, FirstItem, LastItem);
  }
  if (EscapePressed) ActivateItem(9);
  if (CurrentScreen != scrHighScores) return;
  MForm->MDXSpriteEngine->Move(lagCount);
  DrawHighScoreTable();
}

void DrawHighScoreTable() {
  char score[16];
  for (int n = 1; n <= 10; ++n) {
    SetTextStyle(kNameStyle);
    DrawText(HighScores[n].Name, kNameX, RowY(n), true, true);
    SetTextStyle(kScoreStyle);
    std::snprintf(score, sizeof score, "%d", HighScores[n].Score);
    DrawText(score, kScoreX, RowY(n), true, true);
  }
}

void LeaveHighScoreScreen() {
  CurrentScreen = scrNone;
  KillScreenBackground();
  KillItems();
  KillSpriteOnce(MenuItems[16]);
  KillSpriteOnce(MenuItems[17]);
}
