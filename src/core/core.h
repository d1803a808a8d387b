// What every layer of the game reads: frame timing, the one random generator, the player's key
// edges of the frame, the race's input, the screen and popup numbers, and the saturating
// double -> int conversions.
// Includes no other folder of the game.
#pragma once

#include <cstdint>

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
// Back to the figures of program start (no refresh rate known, 15 ms frames, factor 1).
void ResetFrameTiming();

// ---------------------------------------------------------------------------------------------
// Random generator: one for the whole game, seeded from the clock at start, or fixed by tests.
// ---------------------------------------------------------------------------------------------

void RandSeed(uint64_t seed);
// Uniform integer 0 .. n-1 (0 when n <= 0).
int RandInt(int n);
// 64 bits from the generator (a new seed for each game).
uint64_t RandBits64();
// Seeds with `seed` when one is given (tests and zkplay), otherwise from the clock.
void SeedRandomAtStart(const uint64_t* fixedSeed);

// ---------------------------------------------------------------------------------------------
// The frame's key edges, set once a frame by the shell's key poll (the menus and popups read them).
// ---------------------------------------------------------------------------------------------

extern bool UpPressed, DownPressed, LeftPressed, RightPressed, PausePressed, YesPressed, NoPressed,
    EscapePressed;

// The race's input for one frame: the race keys held this frame. The shell fills one for every
// race frame (from the keyboard's poll, the autopilot or a replay) and hands it to the race's
// step, which reads no other input; a replay records exactly this. The one edge the bike's rules
// ask for, a steering key that went down, the bike takes against the inputs it was given before.
struct TRaceInput {
  bool Left = false, Right = false, Up = false, Down = false, Space = false, Horn = false;
  friend bool operator==(const TRaceInput&, const TRaceInput&) = default;
};

// ---------------------------------------------------------------------------------------------
// Screens and popups by number
// ---------------------------------------------------------------------------------------------

enum : uint8_t {
  scrNone = 0, scrMainMenu = 1, scrVehicleSelection = 2, scrOptions = 3, scrHighScores = 4,
  scrHelp = 5, scrRace = 6, scrControls = 7,
};

enum : uint8_t {
  popNone = 0,
  popExitGame = 1,         // "Exit the game?"
  popExitToMenu = 2,       // "Exit to menu?"
  popTimeOver = 3,         // "Your time is over," caption
  popClearHighScores = 4,  // "Do you want to clear the High Score Table?"
  popPause = 5,
  popLevelCaption = 6,     // "Level N"
  popGameOver = 7,
  popNameEntry = 8,
  popSendQuestion = 9,     // "Send the result to World's Highscores page?"
  popSending = 10,
  popTally = 11,           // the end-of-level tally
  popCongratulations = 12,
};

// ---------------------------------------------------------------------------------------------
// Saturating conversions: values beyond the int range give INT_MAX / INT_MIN, NaN gives 0.
// ---------------------------------------------------------------------------------------------

// Rounding to the nearest integer with halves to even, as every sprite position uses.
int RoundHalfEven(double v);
// Truncation toward zero.
int TruncToInt(double v);

// ---------------------------------------------------------------------------------------------
// State that lives for one run of the game
// ---------------------------------------------------------------------------------------------

// How one subsystem's state goes back to what it was at program start. Every run of the game
// (TGameRun) renews all of them when it starts and again when it stops, so that no run sees what
// an earlier one left. Each subsystem defines its renewal once, as a global beside the state it
// renews (best by assigning a freshly constructed object, so that no field is listed by hand);
// nothing else lists them. A renewal touches only its own subsystem's state: they run in no
// particular order.
class TRunStateRenewal {
public:
  explicit TRunStateRenewal(void (*renew)());
  TRunStateRenewal(const TRunStateRenewal&) = delete;
  TRunStateRenewal& operator=(const TRunStateRenewal&) = delete;

private:
  friend void RenewRunState();
  void (*renew_)();
  const TRunStateRenewal* next_;
};

// Runs every renewal the program defines.
void RenewRunState();
