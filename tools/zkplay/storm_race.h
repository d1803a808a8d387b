// The storm's part in the race: which phase the race is in, what must hold of the race after every
// event, a rider that holds the race keys for stretches, and jumps to the states a rider reaches
// only after minutes (little time left, near the finish, the last life, a later level).
#pragma once

#include <cstdint>
#include <string>

class TRace;

enum class TRacePhase : uint8_t {
  Off,              // no race screen
  Caption,          // "Level N"
  Riding,
  Crash,            // the bike lies on the road
  RollOut,          // past the finish or out of time, rolling to a stop
  TimeOver,         // "Your time is over,"
  Tally,            // the end-of-level tally
  GameOver,
  Congratulations,
  GameEnd,          // the name entry, the send question and the sending after a game
  Count
};
// The phase of the race in progress; a pause or the "Exit to menu?" question counts as the phase
// beneath it.
TRacePhase CurrentRacePhase();
const char* RacePhaseName(TRacePhase phase);

// What is wrong with the race and the popups over it, or empty when all is sound: the race lives
// exactly while the race screen does, its sprites are alive in the engine, its counters, clock,
// speed and tally are within their ranges and consistent with the popup on show, and no popup
// lies on another.
std::string RaceProblem();

// The race keys a rider holds in one frame.
struct TRiderKeys {
  bool Up = false, Down = false, Left = false, Right = false, Space = false;
  bool Any() const { return Up || Down || Left || Right || Space; }
};
enum class TRiderStyle : uint8_t { Follow, Wild, Brake, Count };
// What a rider of `style` holds now: Follow keeps to the road below `speedCap`, Wild holds the
// throttle and one side (`side` < 0 left), Brake brakes and pulls the handbrake in turns.
TRiderKeys RiderKeys(const TRace& race, TRiderStyle style, int side, double speedCap, long long frame);

// Jumps that put the race where riding would take minutes. Each changes only the race's public
// figures, as the race tests do, and returns a line for the storm's trail, or empty when the race
// is not in a state the jump fits (a jump is for a bike riding, or lying, with no popup open).
enum class TRaceJump : uint8_t { TimeNearlyUp, NearFinish, LastLife, Level, Count };
std::string JumpRace(TRace& race, TRaceJump jump, int amount);
