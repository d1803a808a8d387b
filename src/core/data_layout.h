// The data pack's layout: what the game, the data pack's generator (zkdata) and the tests agree
// on. Which item of which image list shows what, the sizes the bikes are drawn at, where the
// race's panels sit on the 800 x 600 surface, the text style numbers and the track's tile codes
// with the questions the race asks about them. Constants only: tools include it without linking
// the game.
#pragma once

#include <array>
#include <cstdint>

// ---------------------------------------------------------------------------------------------
// Image lists: 1 the menus (Res1.dxg), 2 the race (Res2.dxg), 3 the minimap (Res3.dxg)
// ---------------------------------------------------------------------------------------------

enum : uint8_t { MenuImageList = 1, RaceImageList = 2, MinimapImageList = 3 };

// Items of each image list the game draws (its highest index + 1), by list number: the menus
// up to the rating mark (54), the race up to the help page's last bonus (42), the minimap's
// pieces (0 to 13). A shorter list is refused at start-up.
constexpr int ImageListItemsNeeded[4] = {0, 55, 43, 14};

// Items of list 1.
enum : int {
  imgOptionRow = 0, imgBackdrop = 1,
  imgMainButtons = 2,     // 2..7: the six main menu buttons, 8..13 the same lit
  imgMainButtonsLit = 8,
  imgWindowed = 14, imgFullScreen = 15, imgMusicOn = 16, imgMusicOff = 17, imgSoundOn = 18, imgSoundOff = 19,
  imgCountryField = 20, imgBossKeyField = 21, imgCaret = 22,
  imgHelpTitle = 24, imgVehicleTitle = 25, imgOptionsTitle = 26, imgHighScoresTitle = 27,
  imgBikePreviews = 28,   // 28..32: the bikes' previews, model 1..5
  imgPopupPanel = 33, imgYes = 34, imgNo = 35, imgBack = 36, imgPreviousBike = 37, imgNextBike = 38,
  imgStart = 39, imgClear = 40, imgWorld = 41, imgPreviousPage = 42, imgNextPage = 43,
  imgAbout = 50, imgOptionsPanel = 51, imgVehiclePanel = 52, imgHighScorePanel = 53, imgRatingMark = 54,
  imgPopupShade = 55,
};

// Items of list 2.
enum : int {
  imgRivals = 0, imgRoadTiles = 1, imgLeftPanel = 2, imgRightPanel = 3, imgNeedle = 4,
  imgUprightBikes = 5,    // 5..9: model 1..5 upright
  imgSkidMark = 10,
  imgBonuses = 11,        // 11..15: bonus kind 1..5
  imgWarningBoards = 16,  // the boards before a shift: pattern 0 warns of one to the left, 1 to the right
  imgBikeStrips = 23,     // per model 1..5 three items from 23: crash, lean left, lean right
  imgHelpBonuses = 38,    // 38..42: the help page's large bonuses
  imgRivalLiveries = 43,  // per rival 1..5, per model 1..5: upright, crash, lean left, lean right
};
constexpr int BikeStripItemsPerModel = 3, LiveryItemsPerModel = 4;

// Items of list 3.
enum : int {
  imgMapPieces = 0,       // 0..9: the minimap's road pieces
  imgMapRivalDot = 10, imgMapPlayerMarker = 11, imgMapFrameTop = 12, imgMapFrameBottom = 13,
};

// ---------------------------------------------------------------------------------------------
// The bikes as drawn
// ---------------------------------------------------------------------------------------------

struct TBikeDrawLayout {
  int RiderWidth, RiderHeight;        // the upright and lean patterns
  int CrashWidth, CrashHeight;        // the crash patterns
  int CrashFrames;
  int Upright, Crash, LeanLeft, LeanRight;  // list 2 items
};

constexpr int BikeModelCount = 5;
constexpr int BikeLeanPatterns = 6;

constexpr TBikeDrawLayout BikeDrawLayoutOf(int index, int riderW, int riderH, int crashW, int crashH, int frames) {
  const int strips = imgBikeStrips + BikeStripItemsPerModel * index;
  return {riderW, riderH, crashW, crashH, frames, imgUprightBikes + index, strips, strips + 1, strips + 2};
}

// Models 1..5 at [0..4].
constexpr std::array<TBikeDrawLayout, BikeModelCount> BikeDrawLayouts{{
    BikeDrawLayoutOf(0, 63, 68, 64, 152, 5),
    BikeDrawLayoutOf(1, 60, 67, 72, 158, 7),
    BikeDrawLayoutOf(2, 68, 69, 88, 204, 5),
    BikeDrawLayoutOf(3, 60, 62, 86, 154, 5),
    BikeDrawLayoutOf(4, 56, 68, 68, 184, 5),
}};

// ---------------------------------------------------------------------------------------------
// The race screen's fixed pictures (top-left corners on the surface)
// ---------------------------------------------------------------------------------------------

constexpr int LeftPanelX = 0, LeftPanelY = 0;
constexpr int RightPanelX = 626, RightPanelY = 0, RightPanelWidth = 174;
constexpr int MapFrameTopY = 0, MapFrameBottomY = 195;
constexpr int MapMarkerX = 708, MapMarkerTopY = 116;
// The speedometer needle's pattern; it turns about a point one pattern size right of and below.
constexpr int NeedleX = -10, NeedleY = 510;

// ---------------------------------------------------------------------------------------------
// Text styles 1..TextStyleCount
// ---------------------------------------------------------------------------------------------

constexpr int TextStyleCount = 24;
enum : int {
  stQuestion = 1,         // popup questions, "Sending..."
  stHighScoreName = 2,
  stClearQuestion = 3,
  stCountryMeasure = 4,   // measures the country text
  stCaption = 5,          // pause, level caption, game over, time over
  stHudLevel = 6,
  stNameHeading = 9,      // name entry heading, congratulations
  stNameTyped = 10,
  stTally = 11,           // send question, end-of-level tally
  stOptionLabel = 12, stOptionValue = 13, stOptionLabelHover = 16,
  stHighScoreValue = 17,
  stHudFigure = 18,       // clock, score, lives, speed
  stHelpTitle = 19, stHelpText = 20, stHelpHeading = 21, stAboutTitle = 23,
  stHudRank = 24,
};

// ---------------------------------------------------------------------------------------------
// Track tile codes
// ---------------------------------------------------------------------------------------------

// Codes the race and the tools ask about by name.
enum : uint8_t {
  tileGround = 0,
  tileLeftLane = 10, tileInnerLane = 11, tileRightLane = 12,
  tileMarkedLeft = 22, tileMarkedRight = 23,  // marked shoulders of a straight road
  tileStartFinish = 24,
  tileShiftLeftRightShoulder = 29,   // the right shoulder of a road displaced to the left
  tileShiftRightRightShoulder = 47,  // the right shoulder of a road displaced to the right
  tileUnfilled = 255,                // only while the track is being generated
};

constexpr bool IsLeftVerge(int code) { return code >= 1 && code <= 9; }
constexpr bool IsRightVerge(int code) { return code >= 13 && code <= 21; }
// The codes of the road's right-hand edge that a bike put back on the road looks for (besides
// plain ground right of road).
constexpr bool IsRightRoadEdge(int code) {
  return code == tileMarkedRight || code == tileShiftLeftRightShoulder || code == tileShiftRightRightShoulder;
}
