// zkplay's script runner: drives the real game headless, frame by frame.
#pragma once

#include <istream>
#include <string>

#include "replay/replay.h"

struct PlayOptions {
  std::string DataDir;
  int RefreshRate = 60;
};

// Exit statuses of a run.
enum : int { kPlayOk = 0, kPlayExpectFailed = 1, kPlayScriptError = 2 };

// Runs the script against a started game (MForm created). Returns one of the statuses above;
// messages go to standard error, `state` lines to standard output.
int RunScript(std::istream& script, const std::string& scriptName, const PlayOptions& options);

// The script's name of a key with its modifiers, e.g. "alt+f9", "up", "y".
std::string KeyScriptName(int vk, int shift);

// Plays the replay `replay` in the started game (from its main menu) to its end. Returns
// kPlayOk when it reproduced its recorded game, else kPlayExpectFailed with the difference on
// standard error, prefixed by `name`.
int PlayReplay(TReplay replay, const std::string& name, int refreshRate);

// Puts the race keys on the virtual pads the way a player holds them: steering on the left
// stick, accelerating and braking on the triggers, the handbrake on X, the horn on Y.
void PutRaceKeysOnPad(const TRaceInput& keys);
// The autopilot's keys for this frame when a race frame is due (none otherwise).
TRaceInput AutopilotKeysNow();

// One line of JSON with the shared game state; with a race, its "Race" object too.
std::string StateJson();
// One line of JSON with the current level's track: its rows' shapes and road centres.
std::string TrackJson();
