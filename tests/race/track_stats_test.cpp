// What the generator lays, counted: the number of cells of every tile code over a fixed set of
// tracks must stay where the generator's reference counts put it, so that a faster generator
// cannot quietly change how much ground, decoration and how many objects a level holds.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>

#include "race/race.h"
#include "race/road_layout.h"

namespace {

using TCodeCounts = std::array<int64_t, RoadTileCodes>;

// Tracks 0..trackCount-1: level 1 + i % LevelCount, seed firstSeed + i.
TCodeCounts CountCodes(uint64_t firstSeed, int trackCount) {
  TCodeCounts counts{};
  TRace& race = road_layout::TestRace();
  for (int i = 0; i < trackCount; ++i) {
    RandSeed(firstSeed + i);
    race.SetUpLevel(1 + i % LevelCount);
    for (int r = 1; r <= TrackRows; ++r) {
      for (int c = 1; c <= TrackColumns; ++c) ++counts.at(race.TrackMap[r][c]);
    }
  }
  return counts;
}

// The counts of the generator as it was before its ground got its own stream, over the tracks of
// ReferenceSeeds: the road's codes follow from the same draws, the ground's from a different
// stream with the same odds.
constexpr std::array<uint64_t, 3> ReferenceSeeds{100, 200, 300};
constexpr int TracksPerSeed = 30;
constexpr TCodeCounts ReferenceCounts{
    30439077, 51184, 2047, 2071, 2139, 2101, 2149, 2094, 2120, 2099, 67824, 179640, 67824, 51050, 2034,
    2175, 2110, 2144, 2053, 2145, 2124, 2169, 25754, 25754, 720, 5610, 5610, 5610, 5610, 5610,
    5610, 5610, 5610, 5610, 5610, 5610, 5610, 5388, 5388, 5388, 5388, 5388, 5388, 5388, 5388,
    5388, 5388, 5388, 5388, 9202779, 9201029, 9199510, 2587938, 2587938, 2587938, 506514, 506514, 337676, 168838, 337676,
    2757585, 2757585, 0, 2757585, 2757585, 935637, 935637, 935637, 935637, 935637, 935637, 935637, 935637, 935637};

TEST(TrackStatistics, EveryTileCodeIsAsCommonAsTheReferenceCountsSay) {
  TCodeCounts counts{};
  for (const uint64_t first : ReferenceSeeds) {
    const TCodeCounts some = CountCodes(first, TracksPerSeed);
    for (int code = 0; code < RoadTileCodes; ++code) counts[code] += some[code];
  }
  for (int code = 0; code < RoadTileCodes; ++code) {
    // Reference sets of 30 tracks differ by up to about 2 sqrt(count), more for the tiles of
    // objects, which come several to an object and crowd one another; 18 sqrt(count) leaves that
    // noise far behind yet still notices one per cent more or less of any frequent code.
    const double reference = static_cast<double>(ReferenceCounts[code]);
    const double allowed = 18 * std::sqrt(reference);
    EXPECT_LE(std::abs(static_cast<double>(counts[code]) - reference), allowed)
        << "code " << code << ": " << counts[code] << " cells, reference " << ReferenceCounts[code];
  }
}

}  // namespace
