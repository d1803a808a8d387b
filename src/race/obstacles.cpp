// Solid roadside tiles and the tests of the bike and the rivals against them.
#include <cmath>

#include "race/race.h"

namespace {

// A range of solid codes with its hit quad: corner offsets in pixels from the cell's top-left.
struct TObstacleTile {
  uint8_t FirstCode, LastCode;
  std::array<std::array<int8_t, 2>, 4> Corners;
};

constexpr std::array<TObstacleTile, 16> ObstacleTiles{{
    {1, 9, {{{38, 0}, {72, 0}, {38, 72}, {72, 72}}}},    // left verge
    {13, 21, {{{0, 0}, {35, 0}, {0, 72}, {35, 72}}}},    // right verge
    {25, 25, {{{38, 0}, {71, 0}, {55, 34}, {71, 66}}}},
    {26, 26, {{{2, 0}, {20, 35}, {2, 71}, {36, 71}}}},
    {29, 29, {{{71, 0}, {52, 10}, {61, 27}, {71, 46}}}},
    {30, 30, {{{8, 0}, {0, 48}, {17, 71}, {45, 71}}}},
    {31, 31, {{{2, 0}, {38, 0}, {38, 71}, {71, 71}}}},
    {35, 35, {{{71, 0}, {17, 9}, {45, 63}, {71, 70}}}},
    {36, 36, {{{0, 0}, {19, 38}, {0, 71}, {34, 71}}}},
    {37, 37, {{{35, 0}, {71, 48}, {1, 67}, {55, 71}}}},
    {38, 38, {{{0, 0}, {17, 0}, {10, 28}, {0, 47}}}},
    {41, 41, {{{69, 0}, {35, 67}, {71, 68}, {69, 71}}}},
    {42, 42, {{{0, 0}, {33, 0}, {17, 32}, {0, 66}}}},
    {43, 43, {{{71, 0}, {54, 34}, {37, 68}, {71, 71}}}},
    {44, 44, {{{0, 0}, {55, 8}, {24, 65}, {0, 70}}}},
    {48, 48, {{{33, 0}, {69, 0}, {0, 71}, {33, 71}}}},
}};

// Tile code -> entry of ObstacleTiles, -1 when the code is not solid.
constexpr std::array<int8_t, 256> ObstacleIndex = [] {
  std::array<int8_t, 256> index{};
  index.fill(-1);
  for (size_t i = 0; i < ObstacleTiles.size(); ++i) {
    for (int code = ObstacleTiles[i].FirstCode; code <= ObstacleTiles[i].LastCode; ++code) {
      index[code] = static_cast<int8_t>(i);
    }
  }
  return index;
}();

// How far around a rival's cell its test looks.
constexpr int RivalReach = 3;

// The hit quad of a solid tile whose top-left corner is at (left, top), corners truncated.
TQuad QuadOf(const TObstacleTile& tile, double left, double top) {
  TQuad quad;
  for (int k = 0; k < 4; ++k) {
    quad[k] = TPointF{std::trunc(left + tile.Corners[k][0]), std::trunc(top + tile.Corners[k][1])};
  }
  return quad;
}

// True when `code` is solid and its hit quad, with the cell's top-left at (left, top), touches quad.
bool SolidTileHits(int code, double left, double top, const TQuad& quad) {
  const int index = ObstacleIndex[code];
  return index >= 0 && QuadsOverlap(QuadOf(ObstacleTiles[index], left, top), quad);
}

}  // namespace

bool IsObstacleTile(int code) { return code >= 0 && code < 256 && ObstacleIndex[code] >= 0; }

bool TRace::RoadObstacleHitsQuad(double roadX, double roadY, const TQuad& screenQuad) const {
  // Window row 0 and column 0 are partly off the screen and never tested.
  for (int i = 1; i <= RoadWindowRows; ++i) {
    for (int j = 1; j <= RoadWindowColumns; ++j) {
      const int code = TrackCode(ViewRow + i, ViewCol + j);
      if (SolidTileHits(code, CellSize * j + roadX, CellSize * i + roadY, screenQuad)) return true;
    }
  }
  return false;
}

bool TRace::WorldObstacleHitsQuad(double centreX, double centreY, const TQuad& worldQuad) const {
  const int cx = static_cast<int>(std::trunc(centreX / CellSize));
  const int cy = static_cast<int>(std::trunc(centreY / CellSize));
  for (int dj = -RivalReach; dj <= RivalReach; ++dj) {
    for (int dk = -RivalReach; dk <= RivalReach; ++dk) {
      const int row = cy + dj, column = cx + dk;
      if (SolidTileHits(TrackCode(row, column), column * CellSize, row * CellSize, worldQuad)) return true;
    }
  }
  return false;
}
