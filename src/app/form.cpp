// The main form: start-up, the frame, the display-mode switch, closing and minimising; the run of
// the game that creates it.
#include <cstdio>

#include "app/app.h"
#include "audio/audio.h"
#include "race/race.h"
#include "save/save.h"
#include "screens/screens.h"
#include "sprites/sprites.h"

TMForm* MForm = nullptr;

namespace {

TDisplayModeOverride displayModeOverride = TDisplayModeOverride::None;

// The part of the exit sequence that needs no display: a lost display ends the game with the
// settings and high scores saved, as a quit signal does (a failure is on standard error).
void SaveForLostDisplay() { SaveGameFiles(); }

}  // namespace

void App_SetDisplayModeOverride(TDisplayModeOverride mode) { displayModeOverride = mode; }

TMForm::TMForm() {
  MDXSpriteEngine = new TDXSpriteEngine(&MDXDraw);
  UseGameGraphics(TGameGraphics{&MDXDraw, MDXSpriteEngine, {&MDXImageList1, &MDXImageList2, &MDXImageList3}});
  Shell.Host = this;
}

TMForm::~TMForm() {
  if (Shell.Host == this) Shell.Host = nullptr;
  Sys_SetDisplayLostHandler(nullptr);
  // The race's sprites go with the engine.
  ForgetRace();
  delete MDXSpriteEngine;
  UseGameGraphics(TGameGraphics{});
}

void TMForm::FormCreate() {
  Sys_RaisePriority();
  MDXImageList1.LoadFromFile(Sys_RequireDataFile("Data/Res/Res1.dxg"), ImageListItemsNeeded[1]);
  // The race's pictures, the largest file, load after the first frame (see RunFrame).
  MDXImageList2.LoadLater(Sys_RequireDataFile("Data/Res/Res2.dxg"), ImageListItemsNeeded[2]);
  MDXImageList3.LoadFromFile(Sys_RequireDataFile("Data/Res/Res3.dxg"), ImageListItemsNeeded[3]);
  MDXWaveList.LoadFromFile(Sys_RequireDataFile("Data/Res/Sounds.dxw"));
  const std::string saveFileNotice = LoadSaveFiles();
  Sys_SetDisplayLostHandler(SaveForLostDisplay);  // not before: it would write defaults over them
  if (displayModeOverride != TDisplayModeOverride::None)
    Options.FullScreen = displayModeOverride == TDisplayModeOverride::FullScreen;
  Sys_SetWindowIcon(Sys_DataPath(WindowIconFile));
  ApplyDisplayMode();
  if (!saveFileNotice.empty()) Sys_ShowMessageBox(saveFileNotice);
  ResetInputEdges();
  Shell.CurrentScreen = scrNone;
  ShowMainMenu(1, 1, true);
  // The timer starts with the form when the application is active.
  MDXTimer.Activate(Sys_Milliseconds());
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

void TMForm::RunFrame(int lagCount) {
  const int32_t previousHover = Shell.HoverItem;
  if (!MDXDraw.CanDraw()) return;
  const TReplayFrame* const replayed = App_ReplayFrameBegins(lagCount);
  if (ReplayMode() == TReplayMode::Playing && replayed == nullptr) return;
  if (!MDXSpriteEngine->Engine.BackdropCoversSurface()) MDXDraw.Fill(0);
  MDXSpriteEngine->Draw();
  PollInput();
  if (replayed != nullptr) ApplyRecordedEdges(*replayed);
  const TRaceInput raceInput = RaceFrameDue() ? App_RaceInput(replayed) : TRaceInput{};
  RecordReplayFrame(lagCount, raceInput);
  UpdateCurrentScreen(lagCount, raceInput);
  App_ReplayFrameEnded();
  if (Shell.HoverItem != previousHover) PlaySound(sndSelect);
  MDXSpriteEngine->FreeDead();
  MeasuredFrameRate = MDXTimer.FrameRate;
  AdaptFrameRate(RefreshRate, MeasuredFrameRate);
  MDXDraw.Flip();
  MDXImageList2.GoOnLoading();
}

void TMForm::FormCloseQuery(bool& canClose) {
  if (Shell.CurrentScreen == scrRace) OpenPopup(popExitToMenu);
  else if (Shell.CurrentScreen == scrMainMenu) OpenPopup(popExitGame);
  canClose = false;
}

void TMForm::FormClose() { SaveAllAndExit(); }

void TMForm::SaveAllAndExit() {
  MDXSpriteEngine->FreeDead();
  const std::string problem = SaveGameFiles();
  if (!problem.empty()) Sys_ShowError("Your settings and high scores could not be saved.\n" + problem);
  FILE* const f = App_PlayingReplay() ? nullptr : std::fopen("play.url", "rb");
  if (f != nullptr) {
    std::fclose(f);
    Sys_OpenURL("play.url");
  }
  Terminated = true;
}

void TMForm::WindowMinimized() {
  if (Shell.CurrentScreen == scrRace) {
    if (Shell.PopupKind == popLevelCaption) ClosePopup();
    OpenPopup(popPause);
  }
  MDXTimer.Deactivate();
}

void TMForm::WindowRestored() {
  MDXSpriteEngine->SurfaceFinalized();
  MDXDraw.Initialize();
  MDXSpriteEngine->SurfaceInitialized();
  MDXTimer.Activate(Sys_Milliseconds());
}

// ---------------------------------------------------------------------------------------------
// The run of the game
// ---------------------------------------------------------------------------------------------

void TGameRun::Start(const SysConfig& config, std::optional<uint64_t> fixedSeed,
                     const std::function<void()>& beforeCreate) {
  Stop();
  started_ = true;
  Sys_Init(config);
  Snd_Init();
  RenewRunState();
  BindSoundSwitches(Options.Music, Options.Sound);
  SeedRandomAtStart(fixedSeed ? &*fixedSeed : nullptr);
  if (beforeCreate) beforeCreate();
  form_ = std::make_unique<TMForm>();
  MForm = form_.get();
  form_->FormCreate();
}

void TGameRun::Stop() {
  if (!started_) return;
  started_ = false;
  MForm = nullptr;
  form_.reset();
  RenewRunState();
  Snd_Shutdown();
  Sys_Shutdown();
}
