// zkplay --autopilot: the real game played from the main menu by the autopilot, its popups
// answered like a player in a hurry; with --soak, games back to back while the memory is watched.
#pragma once

#include <cstdint>
#include <string>

#include "race/race.h"

struct TAutoPlayOptions {
  int RefreshRate = 60;
  bool SendScores = false;     // "Yes" to sending the score (a score server was given)
  long long SoakSeconds = -1;  // >= 0: play games back to back for this much simulated time
  bool Pad = false;            // everything through a virtual pad, the race keys included
  TRider Rider = TRider::Expert;
};

// Plays on the started game (MForm created). One game: from the main menu through START and the
// vehicle selection (bike 4), every level the autopilot reaches, the name entry (typing "Autopilot") and
// the question whether to send the score, to the high-score table (or back to the main menu when
// the score misses the table); then prints the final `state` line. A soak plays on until the
// simulated time is spent and prints its memory figures instead. Returns kPlayOk, or
// kPlayExpectFailed when the game stops making progress. With Pad, no key and no click: the
// menus are walked with the d-pad and A, the popups answered with B and Start, the name taken
// from the letter picker ("AUTOPILOT"), and the autopilot's race keys reach the game as the
// stick, the triggers and X and Y of the pad.
int RunAutoPlay(const TAutoPlayOptions& options);
