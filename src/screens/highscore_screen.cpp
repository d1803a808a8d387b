// The high-score screen: the ten entries of the local table, CLEAR, WORLD and BACK.
#include <cmath>
#include <cstdio>

#include "save/save.h"
#include "screens/screens.h"
#include "sprites/sprites.h"

namespace {

constexpr int kNameX = 578, kScoreX = 732;
constexpr int kNameStyle = stHighScoreName, kScoreStyle = stHighScoreValue;

// Rounded half to even: row 6 sits at 364, not 365.
int RowY(int n) { return RoundHalfEven(33.7 * (n - 1) + 196); }

constexpr TScreenButton kButtons[3] = {{7, imgClear, 365, 532}, {8, imgWorld, 517, 532}, {9, imgBack, 661, 542}};
constexpr TArrowMoves kArrowMoves[] = {
    // item, up, down, left, right
    {7, 0, 0, 0, 8}, {8, 0, 0, 7, 9}, {9, 0, 0, 8, 0},
};

}  // namespace

void OpenHighScoreScreen() {
  BeginSubScreen(scrHighScores, 9, 9);
  Shell.MenuItems[16] = TMyImageSprite::CreateAt(MenuImageList, imgHighScoresTitle, 323, 42, 3);
  Shell.MenuItems[17] = TMyImageSprite::CreateAt(MenuImageList, imgHighScorePanel, 356, 130, 5);
  CreateScreenButtons(kButtons);
}

void UpdateHighScoreScreen(int lagCount) {
  UpdateItemHighlight(true);
  // With nothing selected (the mouse left the buttons) any arrow only selects CLEAR.
  if (Shell.FirstItem <= Shell.HoverItem && Shell.HoverItem <= Shell.LastItem) {
    MoveByArrows(kArrowMoves, TArrowOrder::LeftRightFirst);
  } else if (UpPressed || DownPressed || LeftPressed || RightPressed) {
    ClampToLow(Shell.HoverItem, Shell.FirstItem, Shell.LastItem);
  }
  if (EscapePressed) ActivateItem(9);
  if (Shell.CurrentScreen != scrHighScores) return;
  GameSpriteEngine().Move(lagCount);
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
  Shell.CurrentScreen = scrNone;
  KillScreenBackground();
  KillItems();
  KillSpriteOnce(Shell.MenuItems[16]);
  KillSpriteOnce(Shell.MenuItems[17]);
}
