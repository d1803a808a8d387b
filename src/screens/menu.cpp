// The screen state machine: the menu-item model, the main menu with its slide-in intro, hover and
// highlight, and the activation dispatcher for every screen and popup.
#include "audio/audio.h"
#include "online/online.h"
#include "race/race.h"
#include "replay/replay.h"
#include "save/save.h"
#include "screens/screens.h"
#include "sprites/sprites.h"

TShellState Shell;

namespace {

const TRunStateRenewal shellRenewal([] { Shell = TShellState{}; });

struct MainMenuButton {
  int Y;
  int NormalImage;
  int HoverImage;
};

// The six main-menu buttons, items 1..6, all at X 12.
constexpr int kMainMenuX = 12;
constexpr MainMenuButton kMainMenuButtons[6] = {
    {173, imgMainButtons, imgMainButtonsLit},         {232, imgMainButtons + 1, imgMainButtonsLit + 1},
    {291, imgMainButtons + 2, imgMainButtonsLit + 2}, {351, imgMainButtons + 3, imgMainButtonsLit + 3},
    {412, imgMainButtons + 4, imgMainButtonsLit + 4}, {473, imgMainButtons + 5, imgMainButtonsLit + 5},
};
// Where each button starts its slide-in.
constexpr int kIntroStartY[6] = {-300, -200, -100, 700, 800, 900};

TMenuButton* MenuButton(int item) { return static_cast<TMenuButton*>(Shell.MenuItems[item]); }

bool MouseInside(int item) {
  const TMenuButton* b = MenuButton(item);
  return b != nullptr && b->ContainsPoint(Shell.MouseX, Shell.MouseY);
}

// The main-menu button whose tab belongs to sub-screen `screen`.
int OwnTabOf(int screen) {
  switch (screen) {
    case scrVehicleSelection: return 1;
    case scrHelp: return 2;
    case scrOptions: case scrControls: return 3;
    case scrHighScores: return 4;
    default: return 0;
  }
}

void LeaveSubScreen(int screen) {
  switch (screen) {
    case scrVehicleSelection: LeaveVehicleSelection(); break;
    case scrOptions: LeaveOptionsScreen(); break;
    case scrControls: LeaveControlsScreen(); break;
    case scrHighScores: LeaveHighScoreScreen(); break;
    case scrHelp: LeaveHelpScreen(); break;
    default: break;
  }
}

void ActivateMainMenuItem(int item) {
  switch (item) {
    case 1: OpenVehicleSelection(); break;
    case 2: OpenHelpScreen(); break;
    case 3: OpenOptionsScreen(); break;
    case 4: OpenHighScoreScreen(); break;
    case 5: OpenWebPage(HomePageAddress()); break;
    case 6: OpenPopup(popExitGame); break;
    default: break;
  }
}

void ActivatePopupItem() {
  const bool yes = Shell.HoverItem == 11;
  const bool no = Shell.HoverItem == 12;
  if (!yes && !no) return;
  switch (Shell.PopupKind) {
    case popExitGame:
      ClosePopup();
      if (yes) {
        KillScreenBackground();
        LeaveMainMenu();
        Shell.Host->SaveAllAndExit();
      }
      break;
    case popExitToMenu:
      ClosePopup();
      if (yes) EndGame();
      break;
    case popClearHighScores:
      ClosePopup();
      if (yes) ResetHighScores();
      break;
    case popSendQuestion:
      ClosePopup();
      if (yes) {
        OpenPopup(popSending);
      } else {
        ReturnFromRace(4, true);
      }
      break;
    default:
      break;
  }
}

void ActivateScreenItem() {
  switch (Shell.CurrentScreen) {
    case scrMainMenu:
      if (!Shell.MenuIntroActive) ActivateMainMenuItem(Shell.HoverItem);
      break;
    case scrVehicleSelection:
      if (Shell.VehicleSwitchPhase != 0) break;
      switch (Shell.HoverItem) {
        case 7: SelectPreviousVehicle(); break;
        case 8: SelectNextVehicle(); break;
        case 9:
          LeaveVehicleSelection();
          ShowMainMenu(0, 1, false);
          LeaveMainMenu();
          StartRaceScreen();
          break;
        case 10:
          LeaveVehicleSelection();
          ShowMainMenu(0, 1, false);
          break;
        default: break;
      }
      break;
    case scrOptions:
      switch (Shell.HoverItem) {
        case 7:
          Options.FullScreen = !Options.FullScreen;
          Shell.Host->ApplyDisplayMode();
          break;
        case 8:
          Options.Music = !Options.Music;
          StopMusic();
          PlayScreenMusic();
          break;
        case 9: Options.Sound = !Options.Sound; break;
        case 10: ToggleCountryEditing(); break;
        case 11: ToggleBossKeyCapture(); break;
        case 12:
          LeaveOptionsScreen();
          ShowMainMenu(0, 3, false);
          break;
        case 13:
          LeaveOptionsScreen();
          OpenControlsScreen();
          break;
        default: break;
      }
      break;
    case scrControls:
      ActivateControlsItem(Shell.HoverItem);
      break;
    case scrHighScores:
      switch (Shell.HoverItem) {
        case 7: OpenPopup(popClearHighScores); break;
        case 8: OpenWebPage(WorldHighScoresAddress()); break;
        case 9:
          LeaveHighScoreScreen();
          ShowMainMenu(0, 4, false);
          break;
        default: break;
      }
      break;
    case scrHelp:
      switch (Shell.HoverItem) {
        case 7: PreviousHelpPage(); break;
        case 8: NextHelpPage(); break;
        case 9:
          LeaveHelpScreen();
          ShowMainMenu(0, 2, false);
          break;
        default: break;
      }
      break;
    default:
      break;
  }
}

// On a sub-screen the tab under the mouse lights up like the tab of the screen on show, and goes
// back to normal when the mouse leaves it. The looks change only when the hover does.
void ShowTabHover() {
  const int own = OwnTabOf(Shell.CurrentScreen);
  for (int i = 1; i <= 6; ++i) {
    TMenuButton* const tab = dynamic_cast<TMenuButton*>(Shell.MenuItems[i]);
    if (tab == nullptr || i == own) continue;
    const bool hovered = i == Shell.TabHoverItem;
    if (hovered == tab->IsHovered) continue;
    if (hovered) tab->ShowHover();
    else tab->ShowNormal();
    tab->IsHovered = hovered;
  }
}

// A click on another main-menu tab while a sub-screen shows switches to that tab's screen. Never
// while a popup is open: leaving the screen would free what the popup still shows and uses.
void SwitchTab() {
  if (Shell.PopupKind != popNone || Shell.TabHoverItem == 0 || Shell.HoverItem != 0) return;
  const int screen = Shell.CurrentScreen;
  const int own = OwnTabOf(screen);
  if (own == 0 || Shell.TabHoverItem == own) return;
  const int tab = Shell.TabHoverItem;
  LeaveSubScreen(screen);
  ShowMainMenu(0, 1, false);
  MenuButton(own)->ShowNormal();
  MenuButton(tab)->ShowHover();
  ActivateMainMenuItem(tab);
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Index operations
// ---------------------------------------------------------------------------------------------

void StepUpWrapped(int32_t& v, int32_t low, int32_t high) { v = (v < low || v >= high) ? low : v + 1; }
void StepDownWrapped(int32_t& v, int32_t low, int32_t high) { v = (v <= low || v > high) ? high : v - 1; }
void StepUpTo(int32_t& v, int32_t high, int32_t step) {
  if (v + step <= high) v += step;
}
void StepDownTo(int32_t& v, int32_t low, int32_t step) {
  if (v - step >= low) v -= step;
}
void ClampToLow(int32_t& v, int32_t low, int32_t high) {
  if (v < low || v > high) v = low;
}
void ClampToHigh(int32_t& v, int32_t low, int32_t high) {
  if (v < low || v > high) v = high;
}
bool TryCountDown(int32_t& v, int32_t low, int32_t step) {
  if (v - step < low) return false;
  v -= step;
  return true;
}

// ---------------------------------------------------------------------------------------------
// Main menu
// ---------------------------------------------------------------------------------------------

void KillSpriteOnce(TSprite* s) {
  if (s == nullptr) return;
  if (auto* image = dynamic_cast<TMyImageSprite*>(s)) image->KillOnce();
  else if (auto* road = dynamic_cast<TScrollBackground*>(s)) road->KillOnce();
  else s->Kill();
}

void BeginSubScreen(uint8_t screen, int32_t lastItem, int32_t hover) {
  Shell.CurrentScreen = screen;
  Shell.FirstItem = 7;
  Shell.LastItem = lastItem;
  Shell.HoverItem = hover;
}

void CreateScreenButton(const TScreenButton& b) {
  Shell.MenuItems[b.Item] = new TMenuButton(1, b.Image, b.Image, 0, 1, b.X, b.Y);
}

void KillScreenBackground() {
  KillSpriteOnce(Shell.ScreenBackground);
  Shell.ScreenBackground = nullptr;
}

void EnsureScreenBackground() {
  if (Shell.ScreenBackground != nullptr) return;
  Shell.ScreenBackground = new TScrollBackground(1, 1, 1, 1);
  Shell.ScreenBackground->X = 0;
  Shell.ScreenBackground->Y = 0;
}

void ShowMainMenu(int intro, int hover, bool fresh) {
  Shell.CurrentScreen = scrMainMenu;
  if (fresh) PlayScreenMusic();
  ShowMouseCursor();
  Shell.FirstItem = 1;
  Shell.LastItem = 6;
  Shell.HoverItem = hover;
  Shell.MenuIntroActive = intro;
  Shell.ScreenBackground = new TScrollBackground(MenuImageList, imgBackdrop, 1, 1);
  Shell.ScreenBackground->X = 0;
  Shell.ScreenBackground->Y = 0;
  if (fresh) {
    for (int i = 0; i < 6; ++i) {
      const MainMenuButton& b = kMainMenuButtons[i];
      auto* button = new TMenuButton(MenuImageList, b.HoverImage, b.NormalImage, 0, 0, kMainMenuX, b.Y);
      button->SwapZ = true;
      Shell.MenuItems[i + 1] = button;
    }
  }
  for (int i = 0; i < 6; ++i) {
    TMenuButton* button = MenuButton(i + 1);
    if (intro == 0) {
      button->BlendEnabled = false;
      button->Alpha = 255;
      button->NormalImage = imgMainButtons + i;
    } else {
      button->Y = kIntroStartY[i];
    }
  }
  if (intro == 1) PlaySound(sndIntro);
}

void LeaveMainMenu() {
  Shell.CurrentScreen = scrNone;
  KillScreenBackground();
  KillItems();
}

void KillItems() {
  for (int k = Shell.FirstItem; k <= Shell.LastItem; ++k)
    if (k >= 1 && k <= MenuItemCount) KillSpriteOnce(Shell.MenuItems[k]);
}

// Moves one group of buttons toward their rows, one button at a time: the next button starts
// only once the previous one has arrived.
static void SlideGroup(const int (&items)[3], double step) {
  for (const int item : items) {
    TMenuButton* b = MenuButton(item);
    const int target = kMainMenuButtons[item - 1].Y;
    const bool fromAbove = item <= 3;
    if (fromAbove ? b->Y < target : b->Y > target) {
      b->Y += fromAbove ? step : -step;
      return;
    }
    b->Y = target;
  }
}

void RunMenuIntro() {
  if (!GameGraphics().Draw->CanDraw() || Shell.MenuIntroActive != 1) return;
  const double step = 50 * SpeedFactor * 0.5;
  SlideGroup({3, 2, 1}, step);
  SlideGroup({4, 5, 6}, step);
  if (MenuButton(1)->Y == kMainMenuButtons[0].Y && MenuButton(6)->Y == kMainMenuButtons[5].Y) {
    Shell.MenuIntroActive = 0;
    for (int i = 0; i < 6; ++i) MenuButton(i + 1)->NormalImage = imgMainButtons + i;
  }
}

void UpdateMainMenu() {
  if (Shell.MenuIntroActive) {
    RunMenuIntro();
    return;
  }
  UpdateItemHighlight(false);
  if (Shell.FirstItem <= Shell.HoverItem && Shell.HoverItem <= Shell.LastItem) {
    if (UpPressed) StepDownWrapped(Shell.HoverItem, Shell.FirstItem, Shell.LastItem);
    if (DownPressed) StepUpWrapped(Shell.HoverItem, Shell.FirstItem, Shell.LastItem);
  } else if (UpPressed || DownPressed || LeftPressed || RightPressed) {
    Shell.HoverItem = Shell.FirstItem;
  }
  if (EscapePressed) OpenPopup(popExitGame);
}

void UpdateHoverFromMouse(bool keepHover) {
  if (!keepHover) Shell.HoverItem = 0;
  for (int k = Shell.FirstItem; k <= Shell.LastItem; ++k) {
    if (k >= 1 && k <= MenuItemCount && MouseInside(k)) {
      Shell.HoverItem = k;
      return;
    }
  }
}

void UpdateItemHighlight(bool trackTabs) {
  for (int k = Shell.FirstItem; k <= Shell.LastItem; ++k) {
    if (k == Shell.HoverItem || k < 1 || k > MenuItemCount) continue;
    if (TMenuButton* b = dynamic_cast<TMenuButton*>(Shell.MenuItems[k])) {
      b->ShowNormal();
      b->IsHovered = false;
    }
  }
  if (Shell.FirstItem <= Shell.HoverItem && Shell.HoverItem <= Shell.LastItem && Shell.HoverItem != 0) {
    TMenuButton* b = dynamic_cast<TMenuButton*>(Shell.MenuItems[Shell.HoverItem]);
    if (b != nullptr && !b->IsHovered) {
      b->ShowHover();
      b->IsHovered = true;
      if (Shell.CurrentScreen == scrOptions) {
        if (Shell.BossKeyCapture) ToggleBossKeyCapture();
        if (Shell.CountryEditing) ToggleCountryEditing();
      }
    }
  }
  Shell.TabHoverItem = 0;
  if (trackTabs) {
    for (int i = 1; i <= 6; ++i) {
      if (MouseInside(i)) {
        Shell.TabHoverItem = i;
        break;
      }
    }
    ShowTabHover();
  }
}

void Activate() {
  if (!(Shell.CurrentScreen == scrRace && Shell.PopupKind == popNone))
    PlaySound((Shell.CurrentScreen == scrVehicleSelection && (Shell.HoverItem == 7 || Shell.HoverItem == 8)) ? sndBlip : sndClick);
  // An activation belongs to the popup when one is open, even one its own answer has closed: the
  // tab under the mouse was found by the screen's last frame, before the popup.
  if (Shell.PopupKind != popNone) {
    ActivatePopupItem();
    return;
  }
  ActivateScreenItem();
  SwitchTab();
}

void ActivateItem(int32_t item) {
  Shell.HoverItem = item;
  Activate();
}

void OpenWebPage(const std::string& address) {
  if (ReplayMode() != TReplayMode::Playing) (void)Sys_OpenURL(address);
}

std::string HomePageAddress() {
#ifdef ZK_HOME_PAGE
  return ZK_HOME_PAGE;
#else
  return "http://localhost:8080/";
#endif
}

void MoveByArrows(const TArrowMoves* table, size_t count, TArrowOrder order) {
  const auto move = [&](bool pressed, int32_t TArrowMoves::*arrow) {
    if (!pressed) return;
    for (size_t i = 0; i < count; ++i) {
      if (table[i].Item != Shell.HoverItem) continue;
      const int32_t to = table[i].*arrow;
      if (to > 0) Shell.HoverItem = to;
      if (to < 0) ActivateItem(-to);
      return;
    }
  };
  const auto upDown = [&] {
    move(UpPressed, &TArrowMoves::Up);
    move(DownPressed, &TArrowMoves::Down);
  };
  const auto leftRight = [&] {
    move(LeftPressed, &TArrowMoves::Left);
    move(RightPressed, &TArrowMoves::Right);
  };
  if (order == TArrowOrder::UpDownFirst) {
    upDown();
    leftRight();
  } else {
    leftRight();
    upDown();
  }
}

bool RaceFrameDue() { return Shell.PopupKind == popNone && Shell.CurrentScreen == scrRace; }

void UpdateCurrentScreen(int lagCount, const TRaceInput& raceInput) {
  if (Shell.PopupKind != popNone) {
    UpdatePopup(lagCount);
    if (Shell.CurrentScreen == scrOptions) DrawOptionsScreen();
    return;
  }
  switch (Shell.CurrentScreen) {
    case scrMainMenu: UpdateMainMenu(); break;
    case scrVehicleSelection: UpdateVehicleSelection(); break;
    case scrOptions: UpdateOptionsScreen(lagCount); break;
    case scrControls: UpdateControlsScreen(lagCount); break;
    case scrHighScores: UpdateHighScoreScreen(lagCount); break;
    case scrHelp: UpdateHelpScreen(lagCount); break;
    case scrRace: UpdateRaceScreen(lagCount, raceInput); break;
    default: break;
  }
}

void PlayScreenMusic() { PlayGameTune(Shell.CurrentScreen == scrRace); }

namespace {

// The popup that shows a race's outcome.
void ShowRaceEvent(TRace::TEvent event) {
  switch (event) {
    case TRace::TEvent::LevelStart: OpenPopup(popLevelCaption); break;
    case TRace::TEvent::TimeOver: OpenPopup(popTimeOver); break;
    case TRace::TEvent::GameOver: OpenPopup(popGameOver); break;
    case TRace::TEvent::Finished: OpenPopup(popTally); break;
  }
}

}  // namespace

void StartRaceScreen() {
  Shell.CurrentScreen = scrRace;
  PlayScreenMusic();
  HideMouseCursor();
  Shell.FirstItem = 1;
  Shell.LastItem = 0;
  Shell.HoverItem = 0;
  StartReplayGame(Shell.SelectedVehicle);
  TRace& race = StartRace(Shell.SelectedVehicle);
  race.OnEvent = ShowRaceEvent;
  race.BuildRace();
  OpenPopup(popLevelCaption);
}

void UpdateRaceScreen(int lagCount, const TRaceInput& input) {
  UpdateRace(lagCount, input);
  if (EscapePressed) OpenPopup(popExitToMenu);
  if (PausePressed) OpenPopup(popPause);
}

void LeaveRaceScreen() {
  DropReplayGame();
  Shell.CurrentScreen = scrNone;
  KillScreenBackground();
  EndRace();
}

void ReturnFromRace(int hover, bool showScores) {
  LeaveRaceScreen();
  ShowMainMenu(0, hover, true);
  if (showScores) OpenHighScoreScreen();
}

void EndGame() {
  if (ScoreQualifies(GameScore())) {
    OpenPopup(popNameEntry);
  } else {
    ReturnFromRace(1, false);
  }
}

void ShowMouseCursor() {
  while (Sys_ShowCursor(true) <= 0) {
  }
}

void HideMouseCursor() {
  while (Sys_ShowCursor(false) >= 0) {
  }
}
