// The game shell: the main form, the shared game state every subsystem reads, frame timing,
// the random generator. The globals declared here are defined once, in globals.cpp.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "platform/platform.h"

class TSprite;
class TMyImageSprite;
class TMenuButton;
class TMyCursor;
class TPointer;
class TScrollBackground;
class TDXSpriteEngine;
class TPlayer;
class TCar;
class TBonus;

// ---------------------------------------------------------------------------------------------
// Frame timing (read by every per-frame rule)
// ---------------------------------------------------------------------------------------------

extern int32_t RefreshRate;        // Hz, read after every display-mode change
extern int32_t MeasuredFrameRate;  // the frame timer's figure, copied every frame
extern int32_t FrameTimeMs;        // whole milliseconds per frame; countdowns subtract it
extern double SpeedFactor;         // 85 / the frame rate in use; motions multiply by it

constexpr int ReferenceFrameRate = 85;
constexpr int FallbackRefreshRate = 60;  // used when the display reports 0

// The frame-rate adaptation: sets SpeedFactor and FrameTimeMs from the refresh rate and the
// measured rate (a refresh rate of 0 is replaced by FallbackRefreshRate).
void AdaptFrameRate(int refreshRate, int measuredRate);

// ---------------------------------------------------------------------------------------------
// Random generator: one for the whole game, seeded from the clock at start, or fixed by tests.
// ---------------------------------------------------------------------------------------------

void RandSeed(uint64_t seed);
// Uniform integer 0 .. n-1 (0 when n <= 0).
int RandInt(int n);

// ---------------------------------------------------------------------------------------------
// Shared game state
// ---------------------------------------------------------------------------------------------

enum : uint8_t {
  scrNone = 0, scrMainMenu = 1, scrVehicleSelection = 2, scrOptions = 3, scrHighScores = 4,
  scrHelp = 5, scrRace = 6,
};

struct TGameOptions {
  bool FullScreen = false;
  bool Music = true;
  bool Sound = true;
  std::string Country;
};

struct THighScore {
  std::string Name;
  int32_t Score = 0;
};

constexpr int MenuItemCount = 17;

extern uint8_t CurrentScreen;
extern uint8_t PopupKind;
extern int32_t FirstItem, LastItem, HoverItem;
extern int32_t SavedHoverItem, SavedFirstItem, SavedLastItem;
extern int32_t TabHoverItem;
extern int32_t MenuIntroActive;
extern std::array<TSprite*, MenuItemCount + 1> MenuItems;  // [1..17]; [0] unused
extern TScrollBackground* ScreenBackground;
extern TMyImageSprite* PopupPanel;
extern int32_t PopupTimer;
extern TMyCursor* TextCursor;
extern char LastKeyChar;
extern int32_t MouseX, MouseY;
extern bool CountryEditing, BossKeyCapture;
extern uint8_t SavedBossKeyShift;
extern uint16_t SavedBossKey;
extern int32_t HelpPage;
extern int32_t VehicleSwitchPhase;
extern int32_t SelectedVehicle, PendingVehicle;
extern bool MusicRestartPending;
extern bool SendStarted;

extern TGameOptions Options;
extern uint8_t BossKeyShift;
extern uint16_t BossKey;
extern std::array<THighScore, 12> HighScores;  // [1..11]; [0] unused; 11 holds a candidate
extern std::string PlayerName;

extern int32_t Score, Lives, Level, RaceTimeLeft;
extern int32_t ResultTimeLeft, ResultStepTimer, ResultStep, TimeBonus, RankBonus, ResultEndTimer;
extern uint8_t PlayerRank, RacerCount;
extern TPlayer* Player;
extern TCar* Traffic;
extern TBonus* BonusSprite;
extern TPointer* SpeedNeedle;

// ---------------------------------------------------------------------------------------------
// The main form and its components
// ---------------------------------------------------------------------------------------------

class TMForm {
public:
  TMForm();
  ~TMForm();

  TDXDraw MDXDraw;
  TDXImageList MDXImageList1, MDXImageList2, MDXImageList3;
  TDXInput MDXInput;
  TDXSpriteEngine* MDXSpriteEngine = nullptr;  // owned
  TDXTimer MDXTimer;
  TDXWaveList MDXWaveList;

  // Start-up sequence. Throws EGameError when a data file cannot be loaded or no display opens.
  void FormCreate();
  // The frame.
  void MDXTimerTimer(int lagCount);
  // Window events.
  void FormCloseQuery(bool& canClose);
  void FormClose();
  void FormKeyDown(int& key, int shift);
  void FormKeyUp(int& key, int shift);
  void FormKeyPress(char& key);
  void FormKeyBoss(int& key, int shift, bool pressed);
  void MDXDrawMouseMove(int shift, int x, int y);
  void MDXDrawClick();
  void WMSysCommandMinimize();
  void WMSysCommandRestore();

  int ApplyDisplayMode();
  void EnterFullScreen();
  void EnterWindowed();
  int GetRefreshRate();
  void SaveAllAndExit();

  // Set by SaveAllAndExit: the program ends once the current event or frame has returned.
  bool Terminated = false;
};

extern TMForm* MForm;

// Pumps window events into the form's handlers and runs a frame when the timer says one is due.
// Returns false once the program has terminated.
bool App_RunOnce();
// Handles one platform event (shared by the game loop and zkplay).
void App_DispatchEvent(const SysEvent& ev);

void ShowMouseCursor();
void HideMouseCursor();
// Drives the real game frame by frame under the headless backend (zkplay and the tests): each
// Frame first delivers the window events the game raised itself (a minimise), then advances the
// simulated clock by one refresh period and runs the frame when the timer fires; events go
// straight to the form's handlers, as between two frames.
class THeadlessDriver {
public:
  explicit THeadlessDriver(int refreshRate = 60);
  void Send(SysEventType type, int key = 0, int shift = 0, int ch = 0, int x = 0, int y = 0);
  void Frame();
  void Frames(int count);
  // Key down with the character it types; Release lets it go. Key = Press, one frame, Release.
  void Press(int vk, int shift = 0);
  void Release(int vk, int shift = 0);
  void Key(int vk, int shift = 0);
  // Each character a key press with its typed character, one frame each.
  void Type(std::string_view text);
  void MouseMove(int x, int y);
  void Click();
  void DoubleClick();  // a click and a double click: activates twice

private:
  double frameMs_;
};

// Puts every shared variable back to its value at program start (for runs of several games in one
// process, as the tests do).
void App_ResetState();

// Tests and zkplay fix the random seed; otherwise start-up seeds from the clock.
void App_SetFixedSeed(uint64_t seed);

// --fullscreen and --windowed: start-up sets the FullScreen option before applying the display
// mode, so the choice is also saved at exit, as after Alt+Enter.
enum class TDisplayModeOverride { None, FullScreen, Windowed };
void App_SetDisplayModeOverride(TDisplayModeOverride mode);

// The window's icon, beside the data files.
constexpr const char* WindowIconFile = "Data/zubokranz.png";

// The game's command line.
struct TCommandLine {
  TDisplayModeOverride DisplayMode = TDisplayModeOverride::None;
  std::string SaveDir;  // --save-dir DIR; empty: the game's own choice
  std::string DataDir;  // --data DIR: the folder holding Data/; empty: looked up
};
extern const TProgramInfo GameProgramInfo;
// Fills `out` from argv[1..]; on a wrong command line returns false with the problem in `problem`.
// --help and --version are answered before (Sys_AnswerHelpOrVersion).
bool App_ParseCommandLine(int argc, char** argv, TCommandLine& out, std::string& problem);

// ---------------------------------------------------------------------------------------------
// Screens and the screen state machine
// ---------------------------------------------------------------------------------------------

// Index operations (each takes the variable by reference).
void StepUpWrapped(int32_t& v, int32_t low, int32_t high);
void StepDownWrapped(int32_t& v, int32_t low, int32_t high);
void StepUpTo(int32_t& v, int32_t high, int32_t step);
void StepDownTo(int32_t& v, int32_t low, int32_t step);
void ClampToLow(int32_t& v, int32_t low, int32_t high);
void ClampToHigh(int32_t& v, int32_t low, int32_t high);
bool TryCountDown(int32_t& v, int32_t low, int32_t step);

void ShowMainMenu(int intro, int hover, bool fresh);
void LeaveMainMenu();
void KillItems();
void UpdateMainMenu();
void RunMenuIntro();
void UpdateHoverFromMouse(bool keepHover);
void UpdateItemHighlight(bool trackTabs);
void Activate();
void ActivateItem(int32_t item);
void OpenWebPage(const std::string& address);
// The publisher's home page (a build setting).
std::string HomePageAddress();
// KillOnce on whatever game sprite `s` is (menu items are image sprites, the backdrop a road).
void KillSpriteOnce(TSprite* s);
// Makes `screen` current with its own items 7..lastItem and `hover` selected.
void BeginSubScreen(uint8_t screen, int32_t lastItem, int32_t hover);
// A sub-screen's button: one picture for both looks, pattern 1 normal and 0 highlighted.
struct TScreenButton {
  int Item, Image, X, Y;
};
// Creates the buttons into their MenuItems slots.
void CreateScreenButton(const TScreenButton& button);
template <size_t N>
void CreateScreenButtons(const TScreenButton (&buttons)[N]) {
  for (const TScreenButton& b : buttons) CreateScreenButton(b);
}

// Kills the current screen's backdrop (or the race road) once and forgets it, so that nothing
// reaches it after the end of the frame frees it; the next screen creates its own.
void KillScreenBackground();

// The frame's screen step: the open popup's update, or else the current screen's.
void UpdateCurrentScreen(int lagCount);

// ---------------------------------------------------------------------------------------------
// Popups
// ---------------------------------------------------------------------------------------------

void OpenPopup(uint8_t kind);
void ClosePopup();
void UpdatePopup(int lagCount);

// ---------------------------------------------------------------------------------------------
// Keyboard and mouse
// ---------------------------------------------------------------------------------------------

// One-frame key edges and the held steering keys, set by PollInput.
extern bool UpPressed, DownPressed, LeftPressed, RightPressed, PausePressed, YesPressed, NoPressed,
    EscapePressed;
extern bool LeftHeld, RightHeld;

void PollInput();
void ResetInputEdges();  // previous states back to "up" (start of a run)
bool IsNameChar(char ch);
void AppendChar(std::string& text, char ch, size_t maxLen);
void DeleteLastChar(std::string& text);
void HideForBossKey();

// ---------------------------------------------------------------------------------------------
// Text and HUD
// ---------------------------------------------------------------------------------------------

constexpr int TextStyleCount = 24;
void SetTextStyle(int style);
void DrawText(std::string_view text, int x, int y, bool centerX, bool centerY);
int TextWidth(std::string_view text);
int TextHeight(std::string_view text);
int StyledTextWidth(std::string_view text, int style);
void DrawHud();
// ---------------------------------------------------------------------------------------------
// Vehicle selection
// ---------------------------------------------------------------------------------------------

void OpenVehicleSelection();
void UpdateVehicleSelection();
void SelectPreviousVehicle();
void SelectNextVehicle();
void DrawVehicleRatings();
void LeaveVehicleSelection();

// ---------------------------------------------------------------------------------------------
// The race screen
// ---------------------------------------------------------------------------------------------

// Tears the race screen down (every sprite of the race is freed at once).
void EndRace();
// Stops the engine sounds (and with `all` the horn and the pickup and bump sounds too).
void StopEngineSounds(bool all);
// Plays again the engine sound of the bike's current state, with the horn when it was on.
void ResumeEngineSound(bool withHorn);
// The bike's level start: the same level again, or with `next` the following one.
void StartLevel(bool next);

// The race HUD's speed read-out source: the bike's Speed, 0 when there is no bike.
double PlayerSpeed();
