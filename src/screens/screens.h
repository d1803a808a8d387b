// The screens: the shell's state machine with the main menu and its slide-in, the sub-screens
// (vehicle selection, options, high scores, help and about), the popups, and the shell state
// they share. The race itself lives below, in race/; the form and the frame loop above, in app/.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "core/core.h"
#include "race/race.h"
#include "sprites/sprites.h"

// What the screens ask of the window that shows them; the form implements it.
class TScreenHost {
public:
  // Applies Options.FullScreen to the display; returns the refresh rate now in use.
  virtual int ApplyDisplayMode() = 0;
  // Saves both files and ends the program once the current event or frame has returned.
  virtual void SaveAllAndExit() = 0;

protected:
  ~TScreenHost() = default;
};

constexpr int MenuItemCount = 17;

// The state the screens share for the whole run of the program. A new run starts from a fresh
// TShellState (Shell = TShellState{}).
struct TShellState {
  TScreenHost* Host = nullptr;  // not owned
  uint8_t CurrentScreen = scrNone;
  uint8_t PopupKind = popNone;
  // The current screen's (or popup's) items FirstItem..LastItem and the selected one (0 none);
  // the Saved* values are the screen's own while a popup is open.
  int32_t FirstItem = 0, LastItem = 0, HoverItem = 0;
  int32_t SavedHoverItem = 0, SavedFirstItem = 0, SavedLastItem = 0;
  int32_t TabHoverItem = 0;     // main-menu button under the mouse on a sub-screen, 0 none
  int32_t MenuIntroActive = 0;  // 1 while the main menu slides in
  std::array<TSprite*, MenuItemCount + 1> MenuItems{};  // [1..17]; [0] unused
  TScrollBackground* ScreenBackground = nullptr;
  TMyImageSprite* PopupPanel = nullptr;
  TMyImageSprite* PopupShade = nullptr;  // dims the screen behind the panel
  int32_t PopupTimer = 0;
  TMyCursor* TextCursor = nullptr;
  char LastKeyChar = 0;
  int32_t MouseX = 0, MouseY = 0;
  bool CountryEditing = false, BossKeyCapture = false;
  uint8_t SavedBossKeyShift = 0;
  uint16_t SavedBossKey = 0;
  int32_t HelpPage = 0;
  int32_t VehicleSwitchPhase = 0;
  int32_t SelectedVehicle = 1, PendingVehicle = 1;
  bool MusicRestartPending = false;
  bool SendStarted = false;
  std::string PlayerName;
};

extern TShellState Shell;

// ---------------------------------------------------------------------------------------------
// Index operations (each takes the variable by reference)
// ---------------------------------------------------------------------------------------------

void StepUpWrapped(int32_t& v, int32_t low, int32_t high);
void StepDownWrapped(int32_t& v, int32_t low, int32_t high);
void StepUpTo(int32_t& v, int32_t high, int32_t step);
void StepDownTo(int32_t& v, int32_t low, int32_t step);
void ClampToLow(int32_t& v, int32_t low, int32_t high);
void ClampToHigh(int32_t& v, int32_t low, int32_t high);
bool TryCountDown(int32_t& v, int32_t low, int32_t step);

// ---------------------------------------------------------------------------------------------
// The state machine and the main menu
// ---------------------------------------------------------------------------------------------

// The frame's screen step: the open popup's update, or else the current screen's. `raceInput` is
// the race's input when the step is a race frame (RaceFrameDue).
void UpdateCurrentScreen(int lagCount, const TRaceInput& raceInput = {});
// Whether this frame's screen step runs the race: the race screen without a popup.
bool RaceFrameDue();
// PlayGameTune with the race tune on the race screen, the menu tune everywhere else.
void PlayScreenMusic();

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
// Kills the current screen's backdrop once and forgets it, so that nothing reaches it after the
// end of the frame frees it; the next screen creates its own.
void KillScreenBackground();
// Builds the race screen for the selected vehicle and starts level 1 behind its caption.
void StartRaceScreen();
// The race's frame, then Esc asks "Exit to menu?" and P pauses (only the first of the two opens).
void UpdateRaceScreen(int lagCount, const TRaceInput& input);
// Tears the race screen down: the shell's part, then EndRace (every sprite of the race is freed
// at once).
void LeaveRaceScreen();
// Leaves the race screen for a fresh main menu with item `hover` highlighted; with `showScores`
// the high-score screen opens over it.
void ReturnFromRace(int hover, bool showScores);
// After a finished or abandoned game: the name entry when the score made the table, else
// ReturnFromRace to the first item.
void EndGame();

void ShowMouseCursor();
void HideMouseCursor();

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

// Arrow-key moves between a sub-screen's items: from `Item`, the item each arrow selects; 0 the
// arrow does nothing there, a negative number activates item -n (selecting it first).
struct TArrowMoves {
  int32_t Item, Up, Down, Left, Right;
};
// Which pair of arrows a screen handles first when several are pressed in one frame.
enum class TArrowOrder : uint8_t { UpDownFirst, LeftRightFirst };
// Moves Shell.HoverItem by the frame's arrow edges through the table, each arrow seeing the
// selection the previous one left. Items missing from the table do not move.
void MoveByArrows(const TArrowMoves* table, size_t count, TArrowOrder order);
template <size_t N>
void MoveByArrows(const TArrowMoves (&table)[N], TArrowOrder order) {
  MoveByArrows(table, N, order);
}

// ---------------------------------------------------------------------------------------------
// Popups: at most one is open; while it is, its update runs instead of the screen's.
// ---------------------------------------------------------------------------------------------

void OpenPopup(uint8_t kind);
// Whether a popup of `kind` shows a panel (with the shade behind it), and the Yes and No buttons
// as items 11 and 12.
bool PopupHasPanel(int kind);
bool PopupHasButtons(int kind);
// The score of the game in progress; 0 when no race was started.
int32_t GameScore();
void ClosePopup();
void UpdatePopup(int lagCount);

// ---------------------------------------------------------------------------------------------
// Vehicle selection
// ---------------------------------------------------------------------------------------------

void OpenVehicleSelection();
void UpdateVehicleSelection();
void SelectPreviousVehicle();
void SelectNextVehicle();
// The marks of model 1..5's four rating rows: top speed, handling, acceleration, brakes. A
// higher BrakeRating brakes weaker, so its row counts down from the best brakes of the five
// (the strongest shows as many marks as the weakest's rating, and the reverse).
std::array<int, 4> VehicleRatingMarks(int model);
void DrawVehicleRatings();
void LeaveVehicleSelection();

// ---------------------------------------------------------------------------------------------
// Options
// ---------------------------------------------------------------------------------------------

void OpenOptionsScreen();
void UpdateOptionsScreen(int lagCount);
// Draws the labels and values and updates the three option pictures (also under a popup).
void DrawOptionsScreen();
std::string BossKeyText();
void ToggleCountryEditing();
void ToggleBossKeyCapture();
void LeaveOptionsScreen();

// ---------------------------------------------------------------------------------------------
// High scores
// ---------------------------------------------------------------------------------------------

void OpenHighScoreScreen();
void UpdateHighScoreScreen(int lagCount);
void DrawHighScoreTable();
void LeaveHighScoreScreen();

// ---------------------------------------------------------------------------------------------
// Help and about
// ---------------------------------------------------------------------------------------------

void OpenHelpScreen();
void UpdateHelpScreen(int lagCount);
void DrawHelpPage();
void PreviousHelpPage();
void NextHelpPage();
void LeaveHelpScreen();
