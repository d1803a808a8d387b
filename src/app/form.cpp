// The main form: start-up, the frame, the display-mode switch, closing and minimising.
#include <chrono>

#include <cstdio>

#include "app/app.h"
#include "audio/audio.h"
#include "save/save.h"
#include "screens/screens.h"
#include "sprites/sprites.h"

namespace {

bool fixedSeedSet = false;
uint64_t fixedSeed = 0;

}  // namespace

void App_SetFixedSeed(uint64_t seed) {
  fixedSeedSet = true;
  fixedSeed = seed;
}

void AdaptFrameRate(int refreshRate, int measuredRate) {
  const int r = refreshRate > 0 ? refreshRate : FallbackRefreshRate;
  const int m = measuredRate;
  int rate = r;                         // m = 0: nothing measured yet
  if (m > 0) rate = m;
  if (r - 3 <= m && m <= r) rate = r;   // just below the refresh rate snaps to it
  if (m > r + 2) rate = r;              // faster than the display is clamped to it
  SpeedFactor = static_cast<double>(ReferenceFrameRate) / rate;
  FrameTimeMs = 1000 / rate;
}

TMForm::TMForm() { MDXSpriteEngine = new TDXSpriteEngine(&MDXDraw); }

TMForm::~TMForm() { delete MDXSpriteEngine; }

void TMForm::FormCreate() {
  Sys_RaisePriority();
  RandSeed(fixedSeedSet ? fixedSeed
                        : static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()));
  MDXImageList1.LoadFromFile(Sys_DataPath("Data/Res/Res1.dxg"), ImageListItemsNeeded[1]);
  MDXImageList2.LoadFromFile(Sys_DataPath("Data/Res/Res2.dxg"), ImageListItemsNeeded[2]);
  MDXImageList3.LoadFromFile(Sys_DataPath("Data/Res/Res3.dxg"), ImageListItemsNeeded[3]);
  MDXWaveList.LoadFromFile(Sys_DataPath("Data/Res/Sounds.dxw"));
  const std::string saveFileNotice = LoadSaveFiles();
  ApplyDisplayMode();
  if (!saveFileNotice.empty()) Sys_ShowMessageBox(saveFileNotice);
  ResetInputEdges();
  CurrentScreen = scrNone;
  ShowMainMenu(1, 1, true);
  // The timer starts with the form when the application is active.
  MDXTimer.Activate(Sys_Milliseconds());
}

void UpdateCurrentScreen(int lagCount) {
  if (PopupKind != 0) {
    UpdatePopup(lagCount);
    if (CurrentScreen == scrOptions) DrawOptionsScreen();
    return;
  }
  switch (CurrentScreen) {
    case scrMainMenu: UpdateMainMenu(); break;
    case scrVehicleSelection: UpdateVehicleSelection(); break;
    case scrOptions: UpdateOptionsScreen(lagCount); break;
    case scrHighScores: UpdateHighScoreScreen(lagCount); break;
    case scrHelp: UpdateHelpScreen(lagCount); break;
    default: break;
  }
}

int TMForm::GetRefreshRate() { return Sys_RefreshRate(); }

int TMForm::ApplyDisplayMode() {
  MDXDraw.BitCount = 16;
  if (Options.FullScreen) EnterFullScreen();
  else EnterWindowed();
  RefreshRate = GetRefreshRate();
  return RefreshRate;
}

void TMForm::EnterFullScreen() {
  MDXSpriteEngine->SurfaceFinalized();
  MDXDraw.Finalize();
  MDXDraw.StorePlacement();
  MDXDraw.FullScreen = true;
  MDXDraw.Initialize();
  MDXSpriteEngine->SurfaceInitialized();
}

void TMForm::EnterWindowed() {
  MDXSpriteEngine->SurfaceFinalized();
  MDXDraw.Finalize();
  MDXDraw.FullScreen = false;
  MDXDraw.Initialize();
  MDXDraw.RestorePlacement();
  MDXSpriteEngine->SurfaceInitialized();
}

void TMForm::MDXTimerTimer(int lagCount) {
  const int32_t previousHover = HoverItem;
  if (!MDXDraw.CanDraw()) return;
  MDXDraw.Fill(0);
  MDXSpriteEngine->Draw();
  PollInput();
  UpdateCurrentScreen(lagCount);
  if (HoverItem != previousHover) PlaySound(1);
  MDXSpriteEngine->FreeDead();
  MeasuredFrameRate = MDXTimer.FrameRate;
  AdaptFrameRate(RefreshRate, MeasuredFrameRate);
  MDXDraw.Flip();
}

void TMForm::FormCloseQuery(bool& canClose) {
  if (CurrentScreen == scrRace) OpenPopup(2);
  else if (CurrentScreen == scrMainMenu) OpenPopup(1);
  canClose = false;
}

void TMForm::FormClose() { SaveAllAndExit(); }

void TMForm::SaveAllAndExit() {
  MDXSpriteEngine->FreeDead();
  SaveSaveFiles();
  if (FILE* f = std::fopen("play.url", "rb")) {
    std::fclose(f);
    Sys_OpenURL("play.url");
  }
  Terminated = true;
}

void TMForm::WMSysCommandMinimize() {
  if (CurrentScreen == scrRace) {
    if (PopupKind == 6) ClosePopup();
    OpenPopup(5);
  }
  MDXTimer.Deactivate();
}

void TMForm::WMSysCommandRestore() {
  MDXSpriteEngine->SurfaceFinalized();
  MDXDraw.Initialize();
  MDXSpriteEngine->SurfaceInitialized();
  MDXTimer.Activate(Sys_Milliseconds());
}

void ShowMouseCursor() {
  while (Sys_ShowCursor(true) <= 0) {
  }
}

void HideMouseCursor() {
  while (Sys_ShowCursor(false) >= 0) {
  }
}
