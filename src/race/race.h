// The race: one object, TRace, owns everything whose lifetime is one game or one level (score,
// lives, level, clock and tally, rank, the generated track with its row tables and view, the
// scroll velocity, the race's sprites). Starting a game creates it, ending the race destroys it,
// a new level resets its level part through SetUpLevel. Also here: the tile and segment codes,
// the quad collision test and the scrolling road.
#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include "core/core.h"
#include "core/data_layout.h"
#include "race/road_tiles.h"
#include "sprites/sprites.h"

class TPlayer;
class TCar;
class TBonus;
class TRace;

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

// Segment kinds, as kept in RowShape.
enum : uint8_t {
  segStraight = 1, segMarked = 2, segShiftLeft = 3, segShiftRight = 4, segStraighten = 5,
};

// TrackMap[row][column] with rows 1..TrackRows (1 is the top, the race runs toward it) and columns
// 1..TrackColumns. Row 0, row TrackRows + 1, column 0 and column TrackColumns + 1 are a border that
// always holds tileGround, so a neighbour read one cell off the map is safe and matches no road.
using TTrackRow = std::array<uint8_t, TrackColumns + 2>;

// Seconds per level, [1..LevelCount].
constexpr std::array<int32_t, LevelCount + 1> LevelTimeLimit{0, 45, 55, 80, 100, 110, 130, 130, 130, 140, 140};

constexpr int32_t TrackLengthOfLevel(int level) { return level <= 5 ? 200 * level + 100 : 1300; }
// The row that holds the finish line.
constexpr int32_t FinishRowOf(int32_t trackLength) { return 1550 - trackLength; }

// The generator's source of draws: a uniform integer 0 .. n-1. The game uses RandInt; tests pass
// their own to steer the generator. The road takes its shape and verges from these draws; the
// ground around it (objects, decoration), about two draws a cell, comes from a fast stream seeded
// by two of them, so the draws still decide the whole track.
using TRandomDraw = int (*)(int n);

// ---------------------------------------------------------------------------------------------
// How the road draws a cell (the tile set's layout is in road_tiles.h)
// ---------------------------------------------------------------------------------------------

// The look of a level: 0 green (levels 1-3), 1 autumn (4-6), 2 dry (7-8), 3 dusk (9-10).
int RoadLookOf(int level);
// The pattern (within one look) that draws the track cell at row, column: its code, or a variant
// chosen from the code, its neighbours and its position. The track itself is never changed.
int RoadTilePattern(const TRace& race, int row, int column);

// Warning boards: before each bend of the road (where a shift begins, and where the road
// straightens after it) a pair of boards stands on the shoulders, one either side,
// BendWarningRows rows before the bend's first row, their chevrons pointing the way the road
// turns there. At top speed a board shows about two seconds before its bend. They are drawn from
// the track and are no part of the race: nothing hits them.
constexpr int BendWarningRows = 18;
// Across the road, the boards' centres lie this far (pixels) either side of the centre line.
constexpr double BendWarningBoardOffset = 180;
// The way the road turns at the bend a board in `row` warns of: -1 left, 1 right, 0 no board.
int BendWarningAt(const TRace& race, int row);

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

// ---------------------------------------------------------------------------------------------
// The scrolling road, also the still full-screen background of the menus
// ---------------------------------------------------------------------------------------------

// A race's road moves ScrollStep * SpeedFactor of the race's scroll velocity each frame.
constexpr double ScrollStep = 0.5;

class TScrollBackground : public TBackgroundSprite {
public:
  // A child of the game's engine at depth 2 with a map of columns x rows cells, all 0, showing
  // item imageIndex of image list imageList (1 or 2). With a race it is that race's road (and
  // the race's scroll velocity is zeroed); without one, a still background.
  TScrollBackground(uint8_t imageList, int imageIndex, int columns, int rows, TRace* race = nullptr);

  TRace* const Race;  // not owned; nullptr for a menu background

  uint8_t ImageListNo = 0;
  double FrameVX = 0, FrameVY = 0;
  bool KillQueued = false;

  // Takes item `index` of list ImageListNo as the cell pictures (any other list number keeps the
  // current item); Width and Height become one cell.
  void SelectImage(int index);
  void SetImageSource(int index, uint8_t imageList);
  void KillOnce();

  // A race's road slides by the race's scroll velocity, wraps the offset into -CellSize..0 (at
  // most once per axis), moves the view one cell each wrap, then runs the race's ObstacleTests.
  // A menu background stays still.
  void Step(int elapsed) override;
  // On the race road: the variant of the cell's tile (RoadTilePattern) in the level's look, as
  // far as the tile set holds it; the cell's code elsewhere.
  int32_t CellPattern(int column, int row) const override;
  // The cells, then on a race road the warning boards of the rows in the window.
  void Render() override;

private:
  void DrawWarningBoards() const;
};

// ---------------------------------------------------------------------------------------------
// The race
// ---------------------------------------------------------------------------------------------

// The part of the race that every level starts afresh (SetUpLevel).
struct TRaceLevel {
  int32_t RaceTimeLeft = 0;  // ms
  // The end-of-level tally.
  int32_t ResultTimeLeft = 0, ResultStepTimer = 0, ResultStep = 0, TimeBonus = 0, RankBonus = 0,
          ResultEndTimer = 0;
  uint8_t PlayerRank = 0, RacerCount = 0;
  int32_t BonusCount = 0;     // bonuses of the level
  int32_t TrackLength = 0;    // rows the road occupies, start area included
  int32_t SegmentKind = 0;    // the generator's current segment
  int32_t SegmentRowsLeft = 0;
};

class TRace : public TRaceLevel {
public:
  // A new game with the vehicle model 1..5 the player chose; no level set up, no sprites yet.
  explicit TRace(int32_t vehicle = 1);
  // Frees no sprite: the race's sprites belong to the sprite engine (EndRace kills them, the
  // engine's end frees them).
  ~TRace();
  TRace(const TRace&) = delete;
  TRace& operator=(const TRace&) = delete;

  // --- the game ---
  int32_t Vehicle;
  int32_t Score = 0, Lives = 0, Level = 0;

  // --- the track: TrackMap[row][column] with rows 1..TrackRows (1 is the top, the race runs
  // toward it) and columns 1..TrackColumns. Row 0, row TrackRows + 1, column 0 and column
  // TrackColumns + 1 are a border that always holds tileGround, so a neighbour read one cell off
  // the map is safe and matches no road.
  std::array<TTrackRow, TrackRows + 2> TrackMap{};
  // Per track row (1..TrackRows): the segment kind the road row was generated under (0 for rows
  // without road), and the world X of the road's centre line. RoadCenterX keeps the previous
  // level's value in rows without lane tiles.
  std::array<uint8_t, TrackRows + 2> RowShape{};
  std::array<int32_t, TrackRows + 2> RoadCenterX{};
  int32_t ViewCol = StartViewCol, ViewRow = StartViewRow;  // the track cell in the road window's top-left cell
  // The world pixel at the screen's top-left corner: the view's cell less the road's sub-cell
  // offset. A world point is a screen point plus this; every conversion goes through it.
  TPointF ScreenOrigin() const {
    const double roadX = Road != nullptr ? Road->X : 0, roadY = Road != nullptr ? Road->Y : 0;
    return {ViewCol * CellSize - roadX, ViewRow * CellSize - roadY};
  }

  // The world's velocity, set from the bike each frame and read by the road in the next one.
  // Zeroed whenever the race's road is created.
  double ScrollVX = 0, ScrollVY = 0;

  // --- the race's sprites, owned by the sprite engine; nullptr while absent ---
  TScrollBackground* Road = nullptr;
  TPlayer* Player = nullptr;
  TCar* Traffic = nullptr;
  TBonus* BonusSprite = nullptr;
  TPointer* SpeedNeedle = nullptr;

  // The bike's and rivals' obstacle tests, installed once the player and the rivals exist. Run
  // by the road's Step; nullptr = no tests.
  void (*ObstacleTests)(TRace& race, const TScrollBackground& road) = nullptr;
  // The outcomes the race reports, each once, at the frame it happens: the shell shows their
  // popups (the level caption, "Your time is over,", "Game Over", the end-of-level tally).
  enum class TEvent : uint8_t { LevelStart, TimeOver, GameOver, Finished };
  // Who hears them; nullptr = nobody.
  void (*OnEvent)(TEvent event) = nullptr;
  void Report(TEvent event) const;

  // The race screen's start: the road, level 1, the bonuses, the speedometer needle, the bike and
  // the rivals in this order (it decides the drawing order of equal depths), three lives, no score.
  void BuildRace();

  // Sets the level's parameters (Level, TrackLength, RaceTimeLeft, BonusCount; the rest of the
  // level part starts afresh) and generates its track. Levels outside 1..LevelCount take the
  // nearest level's length, time and bonuses.
  void SetUpLevel(int level, TRandomDraw draw = RandInt);
  // Builds TrackMap, RowShape and RoadCenterX for TrackLength (as SetUpLevel sets it), puts the
  // view at its start and copies it into the road.
  void GenerateTrack(TRandomDraw draw = RandInt);
  // The tile code at a track cell; tileGround anywhere off the map.
  uint8_t TrackCode(int row, int column) const {
    if (row < 1 || row > TrackRows || column < 1 || column > TrackColumns) return tileGround;
    return TrackMap[row][column];
  }
  // The segment kind of a track row; 0 off the map.
  uint8_t RowShapeAt(int row) const { return row >= 1 && row <= TrackRows ? RowShape[row] : 0; }
  // Whether the cell under world pixel (x, y) is road; false for column or row 0 and off the map.
  bool IsRoadTile(int x, int y) const;
  // Copies the track around the view into the road's cells (nothing without a road).
  void CopyViewToRoad();

  // The bike's test: does a solid tile of the road window (rows 1..RoadWindowRows, columns
  // 1..RoadWindowColumns of the view, drawn at the road's sub-cell offset) touch a screen quad?
  // Hit quads are truncated to whole pixels.
  bool RoadObstacleHitsQuad(double roadX, double roadY, const TQuad& screenQuad) const;
  // The rivals' test: does a solid tile within three cells of the cell under a world point touch
  // a quad in world pixels? Cells off the map are not solid.
  bool WorldObstacleHitsQuad(double centreX, double centreY, const TQuad& worldQuad) const;

  // The HUD's speed read-out source: the bike's speed, 0 when there is no bike.
  double PlayerSpeed() const;
  // Draws the race HUD: level, clock, score, lives, speed, rank.
  void DrawHud() const;

  // What the end-of-level tally's frame led to.
  enum class TTallyStep { Running, NextLevel, LastLevelDone };
  // One frame of the tally: the lines appear a second apart, then the time left drains ten times
  // faster than real time, earning 5 points per whole second; once it has ended the bonuses go
  // to the score.
  TTallyStep RunTally();
};

// ---------------------------------------------------------------------------------------------
// The autopilot: a rider for tools and tests, never on in normal play
// ---------------------------------------------------------------------------------------------

// Who rides: the expert sees the whole track and the rivals at once; the human rider plays as a
// person at the screen does.
enum class TRider : uint8_t { Expert, Human };

// A rider as seen on the screen: its centre (world pixels), heading (angle units), speed (0 for a
// crashed one) and bike model.
struct TRiderSeen {
  double X = 0, Y = 0, Heading = 0, Speed = 0;
  uint8_t Model = 1;
};

// What the human rider remembers of the screens it saw (the autopilot's own file).
struct THumanMemory;

struct TAutopilot {
  // While on, the shell gives the race Keys as its input instead of the keyboard's race keys (the
  // popups still take the keyboard).
  bool On = false;
  TRider Rider = TRider::Expert;
  // The share of the bike's top speed it rides at most.
  double SpeedCap = 1;

  // The race keys the rider holds now.
  // The expert judges the race as it is: the road ahead (RowShape, RoadCenterX, the tiles), the
  // bike's speed, heading and lean, the rivals near it, each foreseen by the riders' own rules.
  // It rides the racing line at full throttle, steers toward a point ahead, brakes before a
  // shift its speed would carry it off the road (never while leaning deep enough to fall), goes
  // around slower rivals, and never uses the handbrake or the horn.
  // The human rider judges as the expert does, but only on what the screen showed
  // HumanReactionMs ago (the road cells in the picture and on the minimap, the rivals in the
  // picture), from which it reckons the present by the keys it has pressed since; beyond the
  // rows it has seen it expects the road to go on as it last saw it, and the rivals it saw to
  // ride on by the riders' rules. It holds each key for at least HumanHoldFrames frames.
  TRaceInput Keys(const TRace& race);

  static constexpr int HumanReactionMs = 250, HumanHoldFrames = 4;

  TAutopilot();
  TAutopilot(TAutopilot&&) noexcept;
  TAutopilot& operator=(TAutopilot&&) noexcept;
  ~TAutopilot();

private:
  TRaceInput HumanKeys(const TRace& race);
  TRaceInput HoldKeys(const TRaceInput& wanted);
  std::unique_ptr<THumanMemory> memory_;  // made on the human rider's first frame
};
extern TAutopilot Autopilot;

// ---------------------------------------------------------------------------------------------
// The race in progress: what the shell sees
// ---------------------------------------------------------------------------------------------

// The race of the game in progress; nullptr outside a game.
TRace* CurrentRace();
// Starts a game: a new race with the chosen vehicle replaces any old one.
TRace& StartRace(int32_t vehicle);
// Ends the game: stops the race's sounds, frees every race sprite and the race itself.
void EndRace();
// Drops the race without a sound or a sprite call (its sprites are gone with their engine).
void ForgetRace();
// The race screen's frame while no popup is open: RunRaceFrame, then the HUD.
void UpdateRace(int lagCount, const TRaceInput& input);
// The race's frame without drawing, ridden by `input`: moves every sprite (the bike's lean takes
// the input at once; its steering and pedals take it in the next frame), turns the needle, runs
// the clock, copies the view into the road and sets the scroll velocity.
void RunRaceFrame(TRace& race, int lagCount, const TRaceInput& input);
// The race's state (score, lives, level, clock, view, the bike, the rivals) hashed into one
// number: equal races give equal numbers. Replays keep one every ReplayChecksumInterval frames.
uint32_t RaceStateChecksum(const TRace& race);
// Stops the engine sounds (and with `all` the horn and the pickup and bump sounds too).
void StopEngineSounds(bool all);
// Plays again the engine sound of the bike's current state, with the horn when it was on.
void ResumeEngineSound(bool withHorn);
// The bike's level start: the same level again, or with `next` the following one.
void StartLevel(bool next);
