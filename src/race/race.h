// Race gameplay: the generated track of each level, the scrolling road that shows a window of it,
// the road's obstacle tests and the quad collision test shared by the bike and the rivals.
#pragma once

#include <array>
#include <cstdint>

#include "app/app.h"
#include "sprites/sprites.h"

// ---------------------------------------------------------------------------------------------
// The track: a grid of tile codes, 72 x 72 pixels a cell
// ---------------------------------------------------------------------------------------------

constexpr int TrackRows = 1500;
constexpr int TrackColumns = 650;
constexpr int CellSize = 72;
constexpr int LevelCount = 10;

// The road sprite's window of cells, and the track cell its top-left cell shows at a level start.
constexpr int RoadWindowColumns = 13;
constexpr int RoadWindowRows = 10;
constexpr int StartViewCol = 318;
constexpr int StartViewRow = 1478;

constexpr int StartLineRow = 1479;

// Tile codes the other race code asks about by name.
enum : uint8_t {
  tileGround = 0,
  tileLeftLane = 10, tileInnerLane = 11, tileRightLane = 12,
  tileStartFinish = 24,
  tileUnfilled = 255,  // only while the track is being generated
};

// Segment kinds, as kept in RowShape.
enum : uint8_t {
  segStraight = 1, segMarked = 2, segShiftLeft = 3, segShiftRight = 4, segStraighten = 5,
};

// TrackMap[row][column] with rows 1..TrackRows (1 is the top, the race runs toward it) and columns
// 1..TrackColumns. Row 0, row TrackRows + 1, column 0 and column TrackColumns + 1 are a border that
// always holds tileGround, so a neighbour read one cell off the map is safe and matches no road.
using TTrackRow = std::array<uint8_t, TrackColumns + 2>;
extern std::array<TTrackRow, TrackRows + 2> TrackMap;
// Per track row (1..TrackRows): the segment kind the road row was generated under (0 for rows
// without road), and the world X of the road's centre line. RoadCenterX keeps the previous
// level's value in rows without lane tiles.
extern std::array<uint8_t, TrackRows + 2> RowShape;
extern std::array<int32_t, TrackRows + 2> RoadCenterX;

extern int32_t TrackLength;      // rows the road occupies, start area included
extern int32_t SegmentKind;      // the generator's current segment
extern int32_t SegmentRowsLeft;
extern int32_t ViewCol, ViewRow;  // the track cell in the road window's top-left cell
extern int32_t BonusCount;        // bonuses of the level

// Seconds per level, [1..LevelCount].
constexpr std::array<int32_t, LevelCount + 1> LevelTimeLimit{0, 45, 55, 80, 100, 110, 130, 130, 130, 140, 140};

constexpr int32_t TrackLengthOfLevel(int level) { return level <= 5 ? 200 * level + 100 : 1300; }
// The row that holds the finish line.
constexpr int32_t FinishRowOf(int32_t trackLength) { return 1550 - trackLength; }

// The generator's source of draws: a uniform integer 0 .. n-1. The game uses RandInt; tests pass
// their own to steer the generator.
using TRandomDraw = int (*)(int n);

// Sets the level's parameters (Level, TrackLength, RaceTimeLeft, BonusCount; clears RacerCount and
// PlayerRank) and generates its track. Levels outside 1..LevelCount take the nearest level's
// length, time and bonuses.
void SetUpLevel(int level, TRandomDraw draw = RandInt);
// Builds TrackMap, RowShape and RoadCenterX for TrackLength (as SetUpLevel sets it), puts the view
// at its start and copies it into the road sprite.
void GenerateTrack(TRandomDraw draw = RandInt);

// The tile code at a track cell; tileGround anywhere off the map.
inline uint8_t TrackCode(int row, int column) {
  if (row < 1 || row > TrackRows || column < 1 || column > TrackColumns) return tileGround;
  return TrackMap[row][column];
}

// ---------------------------------------------------------------------------------------------
// The road tile set's layout (item 1 of image list 2). Pattern n of a look shows tile code n;
// the patterns after the codes are variants the road picks by position, so that lane markings
// join in diagonal rows, the start line has ends, and asphalt and houses vary. The looks of the
// level groups follow one another, RoadLookPatterns apart.
// ---------------------------------------------------------------------------------------------

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
};

// The look of a level: 0 green (levels 1-3), 1 autumn (4-6), 2 dry (7-8), 3 dusk (9-10).
int RoadLookOf(int level);
// The pattern (within one look) that draws the track cell at row, column: its code, or a variant
// chosen from the code, its neighbours and its position. The track itself is never changed.
int RoadTilePattern(int row, int column);

// ---------------------------------------------------------------------------------------------
// Quads: four corner points. The angle-sum test expects the corners in their drawing order.
// ---------------------------------------------------------------------------------------------

struct TPointF {
  double X = 0, Y = 0;
};
using TQuad = std::array<TPointF, 4>;

// True when the corners seen from p add up to a full turn (at least 355 degrees). A point on a
// corner is inside.
bool PointInQuad(const TPointF& p, const TPointF& a, const TPointF& b, const TPointF& c, const TPointF& d);
bool PointInQuad(const TPointF& p, const TQuad& q);
// True when a corner of either quad lies inside the other.
bool QuadsOverlap(const TQuad& a, const TQuad& b);

// ---------------------------------------------------------------------------------------------
// Solid roadside tiles
// ---------------------------------------------------------------------------------------------

bool IsObstacleTile(int code);
// The bike's test: does a solid tile of the road window (rows 1..RoadWindowRows, columns
// 1..RoadWindowColumns of the view, drawn at the road's sub-cell offset) touch a screen quad?
// Hit quads are truncated to whole pixels.
bool RoadObstacleHitsQuad(double roadX, double roadY, const TQuad& screenQuad);
// The rivals' test: does a solid tile within three cells of the cell under a world point touch
// a quad in world pixels? Cells off the map are not solid.
bool WorldObstacleHitsQuad(double centreX, double centreY, const TQuad& worldQuad);

// ---------------------------------------------------------------------------------------------
// The scrolling road, also the still full-screen background of the menus
// ---------------------------------------------------------------------------------------------

// The world's velocity, set by the race screen from the bike each frame and read by the road in
// the next one. Zeroed whenever a road or background sprite is created.
extern double ScrollVX, ScrollVY;

class TScrollBackground : public TBackgroundSprite {
public:
  // A child of the game's engine at depth 2 with a map of columns x rows cells, all 0, showing
  // item imageIndex of image list imageList (1 or 2).
  TScrollBackground(uint8_t imageList, int imageIndex, int columns, int rows);

  uint8_t ImageListNo = 0;
  double FrameVX = 0, FrameVY = 0;
  bool KillQueued = false;

  // Takes item `index` of list ImageListNo as the cell pictures (any other list number keeps the
  // current item); Width and Height become one cell.
  void SelectImage(int index);
  void SetImageSource(int index, uint8_t imageList);
  void KillOnce();

  // Slides by the scroll velocity, wraps the offset into -CellSize..0 (at most once per axis) and
  // moves the view one cell each wrap; on the race screen then runs RaceObstacleTests.
  void Step(int elapsed) override;
  // On the race road: the variant of the cell's tile (RoadTilePattern) in the level's look, as
  // far as the tile set holds it; the cell's code elsewhere.
  int32_t CellPattern(int column, int row) const override;
};

// Copies the track around the view into ScreenBackground's cells (nothing when there is none).
void CopyViewToRoad();

// Race hook: the bike's and rivals' obstacle tests, installed by the race code once the player and
// the rivals exist. Run by the road's Step on the race screen only; nullptr = no tests.
extern void (*RaceObstacleTests)(const TScrollBackground& road);
