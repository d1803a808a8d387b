// Popup dialogs: questions, captions, pause, name entry, sending, the end-of-level tally and the
// congratulations. At most one is open; while it is, its update runs instead of the screen's.
#include <array>
#include <cmath>
#include <cstdio>

#include "audio/audio.h"
#include "online/online.h"
#include "race/race.h"
#include "replay/replay.h"
#include "save/save.h"
#include "screens/screens.h"
#include "sprites/sprites.h"

namespace {

constexpr int kPanelImage = 33, kPanelX = 185, kPanelY = 219, kPanelZ = 14;
// Behind a panel the whole screen is shaded: a dark picture stretched over it, part opaque.
constexpr int kShadeImage = 55, kShadeZ = kPanelZ - 1, kShadeAlpha = 130;
constexpr int kScreenWidth = 800, kScreenHeight = 600;
constexpr int kYesImage = 34, kNoImage = 35, kYesX = 249, kNoX = 377, kButtonsY = 306, kButtonZ = 15;
constexpr int kCaretImage = 22, kCaretX = 221, kCaretY = 314, kCaretBlinkMs = 600;
constexpr int kLevelCaptionMs = 2000, kTimedCaptionMs = 3000;
constexpr int kCongratulationsMs = 3200;

TMenuButton* PopupButton(int item) { return static_cast<TMenuButton*>(Shell.MenuItems[item]); }

// The shade, or nullptr when the image list has no shade picture (an older data pack).
TMyImageSprite* CreateShade() {
  TDXImageList* const list = GameImageList(1);
  if (list == nullptr || kShadeImage >= list->Items.Count()) return nullptr;
  TMyImageSprite* const shade = TMyImageSprite::CreateAt(1, kShadeImage, 0, 0, kShadeZ);
  shade->BlendEnabled = true;
  shade->Alpha = kShadeAlpha;
  shade->Width = kScreenWidth;
  shade->Height = kScreenHeight;
  return shade;
}

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

// The captions over the road, outlined and shadowed.
void DrawCaption(int style, const char* text, int x, int y) {
  SetTextStyle(style);
  DrawFramedText(text, x, y, true, true);
}

// The play area between the side panels, dimmed behind the pause.
constexpr TRect kPlayArea{174, 0, 626, kScreenHeight};
constexpr int kPauseDimming = 15;

// The finale over the last level's congratulations: confetti falling over the play area in the
// colours of the game, placed from their number and the time left (no random draw).
void DrawFinale(int32_t msLeft) {
  TDirectDrawSurface* const surface = GameSurface();
  constexpr std::array<uint16_t, 5> kColors{RGB565(255, 222, 0), RGB565(66, 252, 202), RGB565(244, 9, 9),
                                            RGB565(255, 255, 255), RGB565(255, 122, 26)};
  const double t = (kCongratulationsMs - msLeft) / 1000.0;
  for (int k = 0; k < 60; ++k) {
    const uint32_t h = static_cast<uint32_t>(k) * 2654435761u;
    const double x = kPlayArea.Left + 6 + (h >> 8) % (kPlayArea.Width() - 12) + 10 * std::sin(t * 3 + k);
    const double y = std::fmod(static_cast<double>((h >> 4) % 700) + t * (90 + (h >> 20) % 80), 660.0) - 40;
    DrawDisc(surface, x, y, 2.5 + (h >> 12) % 3, kColors[k % kColors.size()], 30);
  }
}

// The game's own end, by its game over or its congratulations: the replay of the game is written
// first, and a game being played back stops here.
void FinishGame() {
  if (const TRace* race = CurrentRace(); race != nullptr && EndReplayGame(race->Score, race->Lives, race->Level)) return;
  EndGame();
}

void DrawPopupTexts(int kind) {
  char buf[96];
  switch (kind) {
    case popExitGame: DrawLine(1, "Exit the game?", 382, 269); break;
    case popExitToMenu: DrawLine(1, "Exit to menu?", 382, 269); break;
    case popTimeOver:
      DrawCaption(5, "Your time is over,", 348, 217);
      DrawCaption(5, "Try again, please!", 348, 267);
      break;
    case popClearHighScores:
      DrawLine(3, "Do you want to clear", 382, 253);
      DrawLine(3, "the High Score Table?", 382, 283);
      break;
    case popPause:
      BlendRect(GameSurface(), kPlayArea, 0, kPauseDimming);
      DrawCaption(5, "Pause", 400, 300);
      break;
    case popLevelCaption:
      std::snprintf(buf, sizeof buf, "Level %d", CurrentRace() != nullptr ? CurrentRace()->Level : 0);
      DrawCaption(5, buf, 400, 300);
      break;
    case popGameOver: DrawCaption(5, "Game Over", 400, 300); break;
    case popNameEntry:
      std::snprintf(buf, sizeof buf, "Your score is %d", GameScore());
      DrawLine(9, buf, 382, 253);
      DrawLine(9, "Please enter your name: ", 382, 288);
      SetTextStyle(10);
      DrawText(Shell.PlayerName, 382, 323, true, true);
      break;
    case popSendQuestion:
      DrawLine(11, "Send the result to World's", 382, 245);
      DrawLine(11, "Highscores page?", 382, 281);
      break;
    case popSending: DrawLine(1, "Sending...", 382, 269); break;
    case popCongratulations:
      if (const TRace* race = CurrentRace()) DrawFinale(race->ResultTimeLeft);
      DrawCaption(9, "CONGRATULATIONS!", 382, 259);
      DrawCaption(9, "You finished the race!", 382, 309);
      break;
    default: break;
  }
}

// One frame of the end-of-level tally; once it has ended, the next level starts or, after the
// last, the congratulations show.
void RunTally(TRace& race) {
  const TRace::TTallyStep step = race.RunTally();
  if (step == TRace::TTallyStep::Running) return;
  ClosePopup();
  if (step == TRace::TTallyStep::NextLevel) {
    StartLevel(true);
  } else {
    race.ResultTimeLeft = kCongratulationsMs;
    PlaySound(sndCongratulations);
    OpenPopup(popCongratulations);
  }
}

}  // namespace

bool PopupHasPanel(int kind) {
  switch (kind) {
    case popExitGame: case popExitToMenu: case popClearHighScores: case popNameEntry:
    case popSendQuestion: case popSending: case popTally: case popCongratulations: return true;
    default: return false;
  }
}

bool PopupHasButtons(int kind) {
  return kind == popExitGame || kind == popExitToMenu || kind == popClearHighScores || kind == popSendQuestion;
}

int32_t GameScore() {
  const TRace* race = CurrentRace();
  return race != nullptr ? race->Score : 0;
}

void OpenPopup(uint8_t kind) {
  if (Shell.PopupKind != popNone) return;
  StopEngineSounds(true);
  Shell.PopupKind = kind;
  Shell.SavedHoverItem = Shell.HoverItem;
  Shell.SavedFirstItem = Shell.FirstItem;
  Shell.SavedLastItem = Shell.LastItem;
  if (PopupHasPanel(kind)) {
    Shell.PopupPanel = TMyImageSprite::CreateAt(1, kPanelImage, kPanelX, kPanelY, kPanelZ);
    Shell.PopupShade = CreateShade();
  }
  if (kind == popNameEntry) ShowMouseCursor();
  if (PopupHasButtons(kind)) {
    ShowMouseCursor();
    Shell.FirstItem = 11;
    Shell.LastItem = 12;
    Shell.HoverItem = kind == popSendQuestion ? 11 : 12;
    Shell.MenuItems[11] = CreatePopupButton(kYesImage, kYesX, kind == popExitGame);
    Shell.MenuItems[12] = CreatePopupButton(kNoImage, kNoX, kind == popExitGame);
  }
  if (kind == popLevelCaption) Shell.PopupTimer = kLevelCaptionMs;
  if (kind == popTimeOver || kind == popGameOver) Shell.PopupTimer = kTimedCaptionMs;
  if (kind == popNameEntry) {
    Shell.TextCursor = new TMyCursor(1, kCaretImage, kCaretX, kCaretY, kButtonZ, kCaretBlinkMs);
    Shell.TextCursor->Blinking = true;
  }
  Shell.SendStarted = false;
}

void ClosePopup() {
  const uint8_t kind = Shell.PopupKind;
  Shell.HoverItem = Shell.SavedHoverItem;
  Shell.FirstItem = Shell.SavedFirstItem;
  Shell.LastItem = Shell.SavedLastItem;
  if (PopupHasPanel(kind)) {
    for (TMyImageSprite** sprite : {&Shell.PopupPanel, &Shell.PopupShade}) {
      if (*sprite != nullptr) (*sprite)->KillOnce();
      *sprite = nullptr;
    }
  }
  if (kind == popNameEntry) HideMouseCursor();
  if (PopupHasButtons(kind)) {
    if (Shell.CurrentScreen == scrRace) HideMouseCursor();
    KillSpriteOnce(Shell.MenuItems[11]);
    KillSpriteOnce(Shell.MenuItems[12]);
    Shell.MenuItems[11] = Shell.MenuItems[12] = nullptr;
  }
  if (kind == popNameEntry && Shell.TextCursor != nullptr) {
    Shell.TextCursor->Visible = false;
    Shell.TextCursor->KillOnce();
    Shell.TextCursor = nullptr;
  }
  if (kind == popExitToMenu || kind == popPause) ResumeEngineSound(true);
  Shell.PopupKind = popNone;
  if (Shell.MusicRestartPending) {
    Shell.MusicRestartPending = false;
    PlayScreenMusic();
  }
}

void UpdatePopup(int lagCount) {
  const uint8_t kind = Shell.PopupKind;
  if (PopupHasButtons(kind)) {
    PopupButton(11)->Move(lagCount);
    PopupButton(12)->Move(lagCount);
    UpdateItemHighlight(false);
    if (YesPressed) ActivateItem(11);
    // Both keys in one frame answer once: No must not reach what Yes left on show.
    if (NoPressed && Shell.PopupKind == kind) ActivateItem(12);
    // Arrows move between this popup's buttons only while it is still open: an answer above has
    // brought back the item range of what lies behind it.
    if (LeftPressed && Shell.PopupKind == kind) {
      ClampToLow(Shell.HoverItem, Shell.FirstItem, Shell.LastItem);
      StepDownTo(Shell.HoverItem, Shell.FirstItem, 1);
    }
    if (RightPressed && Shell.PopupKind == kind) {
      ClampToHigh(Shell.HoverItem, Shell.FirstItem, Shell.LastItem);
      StepUpTo(Shell.HoverItem, Shell.LastItem, 1);
    }
  }
  // A Yes or No above may have closed this popup and opened another: the texts and the rule are
  // those of the popup open now.
  DrawPopupTexts(Shell.PopupKind);
  switch (Shell.PopupKind) {
    case popTimeOver:
      if (!TryCountDown(Shell.PopupTimer, 0, FrameTimeMs)) {
        ClosePopup();
        StartLevel(false);
      }
      break;
    case popPause:
      if (PausePressed) ClosePopup();
      if (EscapePressed) ClosePopup();
      break;
    case popLevelCaption:
      if (!TryCountDown(Shell.PopupTimer, 0, FrameTimeMs)) ClosePopup();
      break;
    case popGameOver:
      if (!TryCountDown(Shell.PopupTimer, 0, FrameTimeMs)) {
        ClosePopup();
        FinishGame();
      }
      break;
    case popNameEntry:
      if (Shell.TextCursor != nullptr) {
        Shell.TextCursor->X = StyledTextWidth(Shell.PlayerName, 10) / 2 + 384;
        Shell.TextCursor->Step(lagCount);
      }
      if (Shell.LastKeyChar == 13) {
        Shell.LastKeyChar = 0;
        HighScores[11] = THighScore{Shell.PlayerName, GameScore()};
        SortHighScores();
        ClosePopup();
        OpenPopup(popSendQuestion);
      }
      break;
    case popSending:
      if (Shell.SendStarted) {
        if (ReplayMode() != TReplayMode::Playing) SendScoreOnline(Shell.PlayerName, GameScore(), Options.Country);
        ClosePopup();
        ReturnFromRace(1, true);
      } else {
        Shell.SendStarted = true;
      }
      break;
    case popTally:
      if (TRace* race = CurrentRace()) RunTally(*race);
      break;
    case popCongratulations:
      if (TRace* race = CurrentRace(); race != nullptr && race->ResultTimeLeft > 0) {
        race->ResultTimeLeft -= FrameTimeMs;
      } else {
        ClosePopup();
        FinishGame();
      }
      break;
    default:
      break;
  }
  const TRace* race = CurrentRace();
  if (Shell.CurrentScreen == scrRace && race != nullptr) race->DrawHud();
}
