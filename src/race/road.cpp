// The scrolling road: a window of the track drawn as a map of cells, slid by the scroll velocity
// and moved one cell along the track whenever it has slid a whole cell. Outside the race the same
// sprite is the still menu background.
#include <algorithm>
#include <cmath>

#include "race/race.h"

namespace {

// The scrolled distance is half the velocity per reference frame.
// Moves the view one cell against the direction the world scrolls, keeping the window on the map.
void ShiftView(double velocity, int32_t& view, int windowCells, int mapCells) {
  if (velocity > 0 && view > 0) --view;
  if (velocity < 0 && view + windowCells < mapCells) ++view;
}

// Brings a sub-cell offset back toward -CellSize..0 with at most one wrap each way.
void WrapOffset(double& offset, double velocity, int32_t& view, int windowCells, int mapCells) {
  if (offset > 0) {
    offset -= CellSize;
    ShiftView(velocity, view, windowCells, mapCells);
  }
  if (offset < -CellSize) {
    offset += CellSize;
    ShiftView(velocity, view, windowCells, mapCells);
  }
}

}  // namespace

TScrollBackground::TScrollBackground(uint8_t imageList, int imageIndex, int columns, int rows, TRace* race)
    : TBackgroundSprite(&GameSpriteEngine()), Race(race) {
  SetMapSize(columns, rows);
  ImageListNo = imageList;
  SelectImage(imageIndex);
  X = 0;
  Y = 0;
  SetZ(2);
  if (Race != nullptr) Race->ScrollVX = Race->ScrollVY = 0;
}

void TScrollBackground::SelectImage(int index) {
  if (ImageListNo == 1 || ImageListNo == 2) SetImage(&GameImageList(ImageListNo)->Item(index));
  Width = Image != nullptr ? Image->Width() : 0;
  Height = Image != nullptr ? Image->Height() : 0;
}

void TScrollBackground::SetImageSource(int index, uint8_t imageList) {
  ImageListNo = imageList;
  SelectImage(index);
}

void TScrollBackground::KillOnce() {
  if (KillQueued) return;
  Kill();
  KillQueued = true;
}

void TScrollBackground::Step(int /*elapsed*/) {
  if (Race == nullptr) return;
  FrameVX = Race->ScrollVX;
  FrameVY = Race->ScrollVY;
  X += FrameVX * ScrollStep * SpeedFactor;
  Y += FrameVY * ScrollStep * SpeedFactor;
  WrapOffset(X, Race->ScrollVX, Race->ViewCol, RoadWindowColumns, TrackColumns);
  WrapOffset(Y, Race->ScrollVY, Race->ViewRow, RoadWindowRows, TrackRows);
  if (Race->ObstacleTests != nullptr) Race->ObstacleTests(*Race, *this);
}

void TRace::CopyViewToRoad() {
  TScrollBackground* const road = Road;
  if (road == nullptr) return;
  // The window is one cell wider and taller than the race road's map; only what the map holds
  // is copied.
  const int rows = std::min(RoadWindowRows + 1, road->MapRows());
  const int columns = std::min(RoadWindowColumns + 1, road->MapColumns());
  for (int i = 0; i < rows; ++i) {
    for (int j = 0; j < columns; ++j) road->SetCell(j, i, TrackCode(ViewRow + i, ViewCol + j));
  }
}

void TScrollBackground::Render() {
  TBackgroundSprite::Render();
  if (Race != nullptr && ImageListNo == 2) DrawWarningBoards();
}

void TScrollBackground::DrawWarningBoards() const {
  TDXImageList* const list = GameImageList(2);
  TDirectDrawSurface* const surface = Engine != nullptr ? Engine->Surface : nullptr;
  if (list == nullptr || surface == nullptr || list->Items.Count() <= imgWarningBoards) return;
  const TPictureCollectionItem& boards = list->Item(imgWarningBoards);
  if (boards.PatternCount() < 2) return;  // a data pack without them
  // Screen = world less the view's cell, at the road's own (rounded) place, as the cells are drawn.
  const double left = RoundHalfEven(AbsoluteX()) - Race->ViewCol * CellSize - boards.Width() / 2.0;
  const double top = RoundHalfEven(AbsoluteY()) - Race->ViewRow * CellSize - boards.Height() / 2.0;
  for (int row = Race->ViewRow; row <= Race->ViewRow + RoadWindowRows; ++row) {
    const int turn = BendWarningAt(*Race, row);
    if (turn == 0) continue;
    const int y = static_cast<int>(std::lround(top + (row + 0.5) * CellSize));
    for (const double side : {-BendWarningBoardOffset, BendWarningBoardOffset}) {
      const int x = static_cast<int>(std::lround(left + Race->RoadCenterX[row] + side));
      boards.Draw(surface, x, y, turn < 0 ? 0 : 1, DrawArea);
    }
  }
}
