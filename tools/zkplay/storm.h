// zkplay --storm: random events against the real game, its state checked after every one.
#pragma once

#include <cstdint>
#include <string>

struct TStormOptions {
  long long Events = 0;
  uint64_t Seed = 1;
  std::string DataDir;  // the game folder; the storm plays on a copy of its Data
  int RefreshRate = 60;
};

// Returns kPlayOk, or kPlayExpectFailed after reporting on standard error the first invalid
// state with the events that led to it (as script lines); prints one line of figures.
int RunStorm(const TStormOptions& options);
