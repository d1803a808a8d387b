// The generator's sound effects and music.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/platform.h"

// Synthesises the 22 sound effects of the sound list.
TWaveCollection BuildSoundList();
// Composes the two tunes as XM module images.
std::vector<uint8_t> ComposeMenuTune();
std::vector<uint8_t> ComposeRaceTune();
