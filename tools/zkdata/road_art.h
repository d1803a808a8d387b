// The road tile set: one 72 x 72 pattern per tile code of the track generator.
#pragma once

#include <vector>

#include "canvas.h"

namespace art {

constexpr int TileSize = 72;
constexpr int TileCodes = 74;       // codes 0..73
constexpr int TileSetColumns = 10;  // patterns a row of the tile-set picture

// Pattern n is the picture of tile code n; the grid is filled up to whole rows with ground.
std::vector<Canvas> RoadTiles();

}  // namespace art
