// The layout of the road tile set (item 1 of image list 2), shared by the road and the data
// pack's generator. Pattern n of a look shows tile code n; the patterns after the codes are
// variants the road picks by position (RoadTilePattern), so that lane markings join in diagonal
// rows, the start line has ends, marked shoulders and hazard boards have rounded ends, and
// asphalt, ground, houses and scenery vary. The looks of the level groups follow one another,
// RoadLookPatterns apart.
#pragma once

#include <cstdint>

constexpr int RoadTileCodes = 74;  // codes 0..73
constexpr int RoadLookPatterns = 120;
constexpr int RoadLookCount = 4;
enum : uint8_t {
  // The inner lane in the four kinds of shift row: half-way left, displaced left, half-way
  // right, displaced right.
  patInnerHalfLeft = 74, patInnerDispLeft, patInnerHalfRight, patInnerDispRight,
  patStartLeftEnd, patStartRightEnd,  // the left and right lane under the start line
  patLanePatched,                     // 80, 81, 82: left, inner, right lane with a repair patch
  patLaneCracked = patLanePatched + 3,  // 83, 84, 85: the same with cracks
  patHouseSlate = 86,                 // 86..89, 90..93, 94..97: the two-by-two house (codes 60 61
  patHouseCottage = 90,               // 63 64, in that order) with other roofs and sizes
  patHouseTeal = 94,
  // Where a stretch of marked shoulder begins (its lower end) and ends (its upper end): 98, 99
  // the left shoulder, 100, 101 the right.
  patShoulderStart = 98, patShoulderEnd = 99,
  // The first and the last row of a shift, where the hazard board on the verge the road moves
  // away from begins and ends: the right verge in a shift to the left, the left verge in a shift
  // to the right. The board reaches into the shoulder beside the verge: the shoulder's
  // patterns follow BoardShoulderOffset after the verge's.
  patBoardStartRight = 102, patBoardEndRight, patBoardStartLeft, patBoardEndLeft,
  BoardShoulderOffset = 4,
  // The ground decorations (codes 49, 50, 51) in a wood and by a lake; the plain ones belong to
  // villages. The ground is cut into areas that take one of the three, so that scenery clusters.
  patWoodDecor = 110, patLakeDecor = 113,
  // Plain ground with tufts, stones or litter, taken by half the ground cells by position.
  patGroundVaried = 116, GroundVariants = 3,
};
