// Placeholder until the tunes land: no module data.
#include "audio.h"

std::vector<uint8_t> ComposeMenuTune() { return {}; }
std::vector<uint8_t> ComposeRaceTune() { return {}; }
