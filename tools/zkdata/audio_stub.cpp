// Placeholder until the synthesiser lands: silent, valid data.
#include "audio.h"

TWaveCollection BuildSoundList() { return {}; }
std::vector<uint8_t> ComposeMenuTune() { return {}; }
std::vector<uint8_t> ComposeRaceTune() { return {}; }
