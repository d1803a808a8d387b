// How the road draws a track cell: which pattern of the tile set shows it. The track holds one
// code per cell; the look of a cell may also depend on its row (the inner lane of a diagonal row
// carries diagonal lane lines), on its neighbours (the ends of the start line) and on a hash of
// its position (asphalt repairs, houses), so that the same track data gets a varied picture.
#include "race/race.h"

namespace {

// Codes met by name here, as the track generator lays them.
enum : uint8_t {
  codeHalfLeftLane = 33, codeDispLeftLane = 27, codeHalfRightLane = 45, codeDispRightLane = 39,
  codeHouseTopLeft = 60, codeHouseTopRight = 61, codeHouseBottomLeft = 63, codeHouseBottomRight = 64,
  codeDispLeftRightVerge = 30, codeHalfLeftRightVerge = 36,
  codeDispRightLeftVerge = 37, codeHalfRightLeftVerge = 43,
  codeDispLeftRightShoulder = tileShiftLeftRightShoulder, codeHalfLeftRightShoulder = 35,
  codeDispRightLeftShoulder = 38, codeHalfRightLeftShoulder = 44,
};


// A marked shoulder whose cell below (or above) is plain ground begins (or ends) there.
int MarkedShoulderPattern(const TRace& race, int row, int column, int code) {
  const int side = code == tileMarkedLeft ? 0 : 2;
  if (race.TrackCode(row + 1, column) == tileGround) return patShoulderStart + side;
  if (race.TrackCode(row - 1, column) == tileGround) return patShoulderEnd + side;
  return code;
}

// A well-mixed number from a cell's position: the same on every run.
uint32_t PositionHash(int row, int column) {
  uint32_t h = static_cast<uint32_t>(row) * 0x9E3779B1u ^ static_cast<uint32_t>(column) * 0x85EBCA77u;
  h ^= h >> 15;
  h *= 0x2C1B3C6Du;
  h ^= h >> 12;
  h *= 0x297A2D39u;
  return h ^ (h >> 15);
}

// The inner lane takes the diagonal of its row, found from the first other code to its left.
int InnerLanePattern(const TRace& race, int row, int column) {
  int left = column - 1;
  while (left > column - 3 && race.TrackCode(row, left) == tileInnerLane) --left;
  switch (race.TrackCode(row, left)) {
    case codeHalfLeftLane: return patInnerHalfLeft;
    case codeDispLeftLane: return patInnerDispLeft;
    case codeHalfRightLane: return patInnerHalfRight;
    case codeDispRightLane: return patInnerDispRight;
    case tileLeftLane: break;
    default: return tileInnerLane;
  }
  return -1;  // a straight row: the asphalt may vary
}

// One straight lane cell in eight has a repair patch, one in eight cracks.
int StraightLanePattern(int row, int column, int lane) {
  switch (PositionHash(row, column) % 8) {
    case 0: return patLanePatched + lane;
    case 1: return patLaneCracked + lane;
    default: return tileLeftLane + lane;
  }
}

// Half the plain ground cells show a few tufts, stones or litter.
int GroundPattern(int row, int column) {
  const uint32_t pick = PositionHash(row + 104729, column) % (2 * GroundVariants);
  return pick < GroundVariants ? static_cast<int>(patGroundVaried + pick) : tileGround;
}

// Ground decorations take the look of their area: village, wood or lakeside, areas of
// DecorAreaRows by DecorAreaColumns cells.
constexpr int DecorAreaRows = 9, DecorAreaColumns = 5;
constexpr int codeFirstDecor = 49;

int DecorPattern(int row, int column, int code) {
  switch (PositionHash(row / DecorAreaRows + 7919, column / DecorAreaColumns) % 3) {
    case 1: return patWoodDecor + code - codeFirstDecor;
    case 2: return patLakeDecor + code - codeFirstDecor;
    default: return code;
  }
}

// The four cells of a house share the look chosen from its top-left cell.
int HousePattern(int row, int column, int code) {
  const int right = code == codeHouseTopRight || code == codeHouseBottomRight;
  const int bottom = code == codeHouseBottomLeft || code == codeHouseBottomRight;
  static constexpr int Looks[4] = {codeHouseTopLeft, patHouseSlate, patHouseCottage, patHouseTeal};
  const int look = Looks[PositionHash(row - bottom, column - right) % 4];
  if (look == codeHouseTopLeft) return code;
  return look + 2 * bottom + right;
}

}  // namespace

int RoadLookOf(int level) {
  if (level <= 3) return 0;
  if (level <= 6) return 1;
  if (level <= 8) return 2;
  return 3;
}

int RoadTilePattern(const TRace& race, int row, int column) {
  const uint8_t code = race.TrackCode(row, column);
  switch (code) {
    case tileGround: return GroundPattern(row, column);
    case tileLeftLane: return StraightLanePattern(row, column, 0);
    case tileRightLane: return StraightLanePattern(row, column, 2);
    case tileInnerLane: {
      const int diagonal = InnerLanePattern(race, row, column);
      return diagonal >= 0 ? diagonal : StraightLanePattern(row, column, 1);
    }
    case tileStartFinish:
      if (race.TrackCode(row, column - 1) != tileStartFinish) return patStartLeftEnd;
      if (race.TrackCode(row, column + 1) != tileStartFinish) return patStartRightEnd;
      return code;
    case tileMarkedLeft:
    case tileMarkedRight: return MarkedShoulderPattern(race, row, column, code);
    // A shift's hazard board begins in its first row, above a plain verge, and ends in its last.
    case codeHalfLeftRightVerge: return IsRightVerge(race.TrackCode(row + 1, column)) ? static_cast<int>(patBoardStartRight) : code;
    case codeDispLeftRightVerge: return IsRightVerge(race.TrackCode(row - 1, column)) ? static_cast<int>(patBoardEndRight) : code;
    case codeHalfRightLeftVerge: return IsLeftVerge(race.TrackCode(row + 1, column)) ? static_cast<int>(patBoardStartLeft) : code;
    case codeDispRightLeftVerge: return IsLeftVerge(race.TrackCode(row - 1, column)) ? static_cast<int>(patBoardEndLeft) : code;
    case codeHalfLeftRightShoulder:
      return race.TrackCode(row + 1, column) == tileMarkedRight ? patBoardStartRight + BoardShoulderOffset : code;
    case codeDispLeftRightShoulder:
      return race.TrackCode(row - 1, column) == tileMarkedRight ? patBoardEndRight + BoardShoulderOffset : code;
    case codeHalfRightLeftShoulder:
      return race.TrackCode(row + 1, column) == tileMarkedLeft ? patBoardStartLeft + BoardShoulderOffset : code;
    case codeDispRightLeftShoulder:
      return race.TrackCode(row - 1, column) == tileMarkedLeft ? patBoardEndLeft + BoardShoulderOffset : code;
    case codeFirstDecor:
    case codeFirstDecor + 1:
    case codeFirstDecor + 2: return DecorPattern(row, column, code);
    case codeHouseTopLeft:
    case codeHouseTopRight:
    case codeHouseBottomLeft:
    case codeHouseBottomRight: return HousePattern(row, column, code);
    default: return code;
  }
}

int32_t TScrollBackground::CellPattern(int column, int row) const {
  const int32_t code = Cell(column, row);
  if (Race == nullptr || ImageListNo != 2 || Image == nullptr || code < 0) return code;
  const int trackRow = Race->ViewRow + row, trackColumn = Race->ViewCol + column;
  // A cell that does not hold the track's code (a window not yet refreshed) keeps its code.
  if (Race->TrackCode(trackRow, trackColumn) != code) return code;
  const int patterns = Image->PatternCount();
  const int variant = RoadTilePattern(*Race, trackRow, trackColumn);
  const int inLook = variant + RoadLookOf(Race->Level) * RoadLookPatterns;
  if (inLook < patterns) return inLook;
  return variant < patterns ? variant : code;
}

int BendWarningAt(const TRace& race, int row) {
  if (race.RowShapeAt(row) == 0) return 0;
  const int bend = row - BendWarningRows;
  const uint8_t shape = race.RowShapeAt(bend), before = race.RowShapeAt(bend + 1);
  const auto way = [](uint8_t shift) { return shift == segShiftLeft ? -1 : 1; };
  const bool isShift = shape == segShiftLeft || shape == segShiftRight;
  const bool wasShift = before == segShiftLeft || before == segShiftRight;
  if (isShift && before != shape) return way(shape);       // a shift begins
  if (shape == segStraighten && wasShift) return -way(before);  // the road straightens
  return 0;
}
