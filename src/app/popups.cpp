// Popup dialogs: questions, captions, pause, name entry, sending, the end-of-level tally and the
// congratulations. At most one is open; while it is, its update runs instead of the screen's.
#include <cstdio>

#include "app/app.h"
#include "audio/audio.h"
#include "online/online.h"
#include "save/save.h"
#include "screens/screens.h"
#include "sprites/sprites.h"

namespace {

constexpr int kPanelImage = 33, kPanelX = 185, kPanelY = 219, kPanelZ = 14;
constexpr int kYesImage = 34, kNoImage = 35, kYesX = 249, kNoX = 377, kButtonsY = 306, kButtonZ = 15;
constexpr int kCaretImage = 22, kCaretX = 221, kCaretY = 314, kCaretBlinkMs = 600;
constexpr int kLevelCaptionMs = 2000, kTimedCaptionMs = 3000;
constexpr int kCongratulationsMs = 3200;
constexpr int kTallyStepMs = 1000, kTallyEndMs = 2000;

bool HasPanel(int kind) {
  switch (kind) {
    case 1: case 2: case 4: case 8: case 9: case 10: case 11: case 12: return true;
    default: return false;
  }
}

bool HasButtons(int kind) { return kind == 1 || kind == 2 || kind == 4 || kind == 9; }

TMenuButton* PopupButton(int item) { return static_cast<TMenuButton*>(MenuItems[item]); }

TMenuButton* CreatePopupButton(int image, int x, bool raise) {
  auto* b = new TMenuButton(1, image, image, 0, 1, x, kButtonsY);
  b->SetZ(kButtonZ);
  b->NormalZ = kButtonZ;
  b->HoverZ = kButtonZ + 1;
  b->PopupRaise = raise;
  return b;
}

void DrawLine(int style, const char* text, int x, int y) {
  SetTextStyle(style);
  DrawText(text, x, y, true, true);
}

// After a finished or abandoned game: the name entry when the score made the table, else the menu.
void EndGame() {
  if (ScoreQualifies(Score)) {
    OpenPopup(8);
  } else {
    EndRace();
    ShowMainMenu(0, 1, true);
  }
}

void DrawPopupTexts(int kind) {
  char buf[96];
  switch (kind) {
    case 1: DrawLine(1, "Exit the game?", 382, 269); break;
    case 2: DrawLine(1, "Exit to menu?", 382, 269); break;
    case 3:
      DrawLine(5, "Your time is over,", 348, 217);
      DrawLine(5, "Try again, please!", 348, 267);
      break;
    case 4:
      DrawLine(3, "Do you want to clear", 382, 253);
      DrawLine(3, "the High Score Table?", 382, 283);
      break;
    case 5: DrawLine(5, "Pause", 400, 300); break;
    case 6:
      std::snprintf(buf, sizeof buf, "Level %d", Level);
      DrawLine(5, buf, 400, 300);
      break;
    case 7: DrawLine(5, "Game Over", 400, 300); break;
    case 8:
      std::snprintf(buf, sizeof buf, "Your score is %d", Score);
      DrawLine(9, buf, 382, 253);
      DrawLine(9, "Please enter your name: ", 382, 288);
      SetTextStyle(10);
      DrawText(PlayerName, 382, 323, true, true);
      break;
    case 9:
      DrawLine(11, "Send the result to World's", 382, 245);
      DrawLine(11, "Highscores page?", 382, 281);
      break;
    case 10: DrawLine(1, "Sending...", 382, 269); break;
    case 12:
      DrawLine(9, "CONGRATULATIONS!", 382, 259);
      DrawLine(9, "You finished the race!", 382, 309);
      break;
    default: break;
  }
}

void DrawTallyLines() {
  char buf[64];
  SetTextStyle(11);
  if (ResultStep >= 1) {
    std::snprintf(buf, sizeof buf, "Your rank is %d", PlayerRank);
    DrawText(buf, 382, 244, true, true);
  }
  if (ResultStep >= 2) {
    std::snprintf(buf, sizeof buf, "Bonus: %d", RankBonus);
    DrawText(buf, 382, 274, true, true);
  }
  if (ResultStep >= 3) {
    std::snprintf(buf, sizeof buf, "Time left: %d", ResultTimeLeft / 1000);
    DrawText(buf, 307, 304, false, true);
  }
  if (ResultStep >= 4) {
    std::snprintf(buf, sizeof buf, "Time bonus: %d", TimeBonus);
    DrawText(buf, 292, 334, false, true);
  }
}

// The end-of-level tally: the lines appear a second apart, then the time left drains ten times
// faster than real time, earning 5 points per whole second, and the next level starts.
void RunTally() {
  if (ResultStepTimer > 0) {
    ResultStepTimer -= FrameTimeMs;
  } else {
    ResultStepTimer = kTallyStepMs;
    ++ResultStep;
    if (ResultStep < 5) PlaySound(3);
  }
  DrawTallyLines();
  if (ResultStep < 5) return;
  if (ResultTimeLeft >= 0) {
    const int32_t drain = 10 * FrameTimeMs;
    if (ResultTimeLeft / 1000 > (ResultTimeLeft - drain) / 1000) {
      TimeBonus += 5;
      PlaySound(18);
    }
    ResultTimeLeft -= drain;
    ResultEndTimer = kTallyEndMs;
  } else if (ResultEndTimer > 0) {
    ResultEndTimer -= FrameTimeMs;
  } else {
    Score += RankBonus + TimeBonus;
    ClosePopup();
    if (Level < 10) {
      StartLevel(true);
    } else {
      ResultTimeLeft = kCongratulationsMs;
      PlaySound(21);
      OpenPopup(12);
    }
  }
}

}  // namespace

void OpenPopup(uint8_t kind) {
  if (PopupKind != 0) return;
  StopEngineSounds(true);
  PopupKind = kind;
  SavedHoverItem = HoverItem;
  SavedFirstItem = FirstItem;
  SavedLastItem = LastItem;
  if (HasPanel(kind)) PopupPanel = TMyImageSprite::CreateAt(1, kPanelImage, kPanelX, kPanelY, kPanelZ);
  if (kind == 8) ShowMouseCursor();
  if (HasButtons(kind)) {
    ShowMouseCursor();
    FirstItem = 11;
    LastItem = 12;
    HoverItem = kind == 9 ? 11 : 12;
    MenuItems[11] = CreatePopupButton(kYesImage, kYesX, kind == 1);
    MenuItems[12] = CreatePopupButton(kNoImage, kNoX, kind == 1);
  }
  if (kind == 6) PopupTimer = kLevelCaptionMs;
  if (kind == 3 || kind == 7) PopupTimer = kTimedCaptionMs;
  if (kind == 8) {
    TextCursor = new TMyCursor(1, kCaretImage, kCaretX, kCaretY, kButtonZ, kCaretBlinkMs);
    TextCursor->Blinking = true;
  }
  SendStarted = false;
}

void ClosePopup() {
  const uint8_t kind = PopupKind;
  HoverItem = SavedHoverItem;
  FirstItem = SavedFirstItem;
  LastItem = SavedLastItem;
  if (HasPanel(kind) && PopupPanel != nullptr) {
    PopupPanel->KillOnce();
    PopupPanel = nullptr;
  }
  if (kind == 8) HideMouseCursor();
  if (HasButtons(kind)) {
    if (CurrentScreen == scrRace) HideMouseCursor();
    KillSpriteOnce(MenuItems[11]);
    KillSpriteOnce(MenuItems[12]);
    MenuItems[11] = MenuItems[12] = nullptr;
  }
  if (kind == 8 && TextCursor != nullptr) {
    TextCursor->Visible = false;
    TextCursor->KillOnce();
    TextCursor = nullptr;
  }
  if (kind == 2 || kind == 5) ResumeEngineSound(true);
  PopupKind = 0;
  if (MusicRestartPending) {
    MusicRestartPending = false;
    PlayScreenMusic();
  }
}

void UpdatePopup(int lagCount) {
  const uint8_t kind = PopupKind;
  if (HasButtons(kind)) {
    PopupButton(11)->Move(lagCount);
    PopupButton(12)->Move(lagCount);
    UpdateItemHighlight(false);
    if (YesPressed) ActivateItem(11);
    // Both keys in one frame answer once: No must not reach what Yes left on show.
    if (NoPressed && PopupKind == kind) ActivateItem(12);
    if (LeftPressed) {
      ClampToLow(HoverItem, FirstItem, LastItem);
      StepDownTo(HoverItem, FirstItem, 1);
    }
    if (RightPressed) {
      ClampToHigh(HoverItem, FirstItem, LastItem);
      StepUpTo(HoverItem, LastItem, 1);
    }
  }
  // A Yes or No above may have closed this popup and opened another: the texts and the rule are
  // those of the popup open now.
  DrawPopupTexts(PopupKind);
  switch (PopupKind) {
    case 3:
      if (!TryCountDown(PopupTimer, 0, FrameTimeMs)) {
        ClosePopup();
        StartLevel(false);
      }
      break;
    case 5:
      if (PausePressed) ClosePopup();
      if (EscapePressed) ClosePopup();
      break;
    case 6:
      if (!TryCountDown(PopupTimer, 0, FrameTimeMs)) ClosePopup();
      break;
    case 7:
      if (!TryCountDown(PopupTimer, 0, FrameTimeMs)) {
        ClosePopup();
        EndGame();
      }
      break;
    case 8:
      if (TextCursor != nullptr) {
        TextCursor->X = StyledTextWidth(PlayerName, 10) / 2 + 384;
        TextCursor->Step(lagCount);
      }
      if (LastKeyChar == 13) {
        LastKeyChar = 0;
        HighScores[11] = THighScore{PlayerName, Score};
        SortHighScores();
        ClosePopup();
        OpenPopup(9);
      }
      break;
    case 10:
      if (SendStarted) {
        SendScoreOnline();
        ClosePopup();
        EndRace();
        ShowMainMenu(0, 1, true);
        OpenHighScoreScreen();
      } else {
        SendStarted = true;
      }
      break;
    case 11:
      RunTally();
      break;
    case 12:
      if (ResultTimeLeft > 0) {
        ResultTimeLeft -= FrameTimeMs;
      } else {
        ClosePopup();
        EndGame();
      }
      break;
    default:
      break;
  }
  if (CurrentScreen == scrRace) DrawHud();
}
