// The road tile set: one 72 x 72 pattern per tile code of the track generator.
#pragma once

#include <vector>

#include "canvas.h"
#include "race/road_tiles.h"

namespace art {

constexpr int TileSize = 72;
constexpr int TileSetColumns = 10;  // patterns a row of the tile-set picture

// One look in the style of level group `look` (its ground, road surface, barrier and kerbs):
// pattern n is the picture of tile code n, then the variants the road picks by position
// (RoadTilePattern), filled up to RoadLookPatterns with ground. Not thread-safe: the style is
// the generator's current one while it draws.
std::vector<Canvas> RoadTilesOfOneLook(int look = 0);
// Every look of the level groups, one after the other, what grows recoloured for its season.
std::vector<Canvas> RoadTiles();

}  // namespace art
