// The bike's drawing step: skid marks, the bike, the rivals, the side panels and the minimap of
// the road ahead.
#include <climits>
#include <cmath>

#include "race/player.h"

namespace {

// A minimap piece: its picture (list 3) and its horizontal offsets, each a base plus a multiple
// of the slope term, in the bike's row and for a rival's dot.
struct TMinimapPiece {
  int8_t Item = -1;
  int8_t BikeBase = 0, BikeSlope = 0, DotBase = 0, DotSlope = 0;
};

constexpr int kPieceCodes = 41;
constexpr std::array<TMinimapPiece, kPieceCodes> MinimapPieces = [] {
  std::array<TMinimapPiece, kPieceCodes> p{};
  p[1] = {0, 9, 1, 9, -1};
  p[2] = {1, 0, 0, 0, 0};
  p[3] = {2, 14, 1, 14, -1};
  p[4] = {3, 0, 0, 0, 0};
  p[6] = {4, 4, 0, 0, 0};
  p[7] = {5, 4, 0, 0, 0};
  p[10] = {6, 0, 0, 0, 0};
  p[20] = {7, 8, -1, 4, 1};
  p[30] = {8, 0, 0, 0, 0};
  p[40] = {9, 3, -1, -1, 1};
  return p;
}();

constexpr double kSlope = 0.36208;
constexpr int kCellW = 10, kCellH = 15;
constexpr int kMarkImage = 10, kLeftPanelImage = 2, kRightPanelImage = 3, kRightPanelX = 626;
constexpr int kDotImage = 10, kMinimapDotMaxY = 192;
// The player's marker: at (708, 116) for the bike on grid row 6, a cell lower for each row further down.
constexpr int kMarkerImage = 11, kMarkerX = 708, kMarkerY = 116 + kCellH * (MinimapBikeRow - 6);

const TMinimapPiece& PieceOf(int code) { return MinimapPieces[code >= 0 && code < kPieceCodes ? code : 0]; }

int Trunc(double v) { return static_cast<int>(std::trunc(v)); }

// Every bike lies on a soft shadow cast from the upper left, and a ring in the HUD's colour
// marks the player's own. The rivals wear their own liveries where the image list holds them: per
// rival and model the upright picture, the crash and the two leans, after the game's own items.
constexpr double kShadowDX = 6, kShadowDY = 7, kShadowAcross = 0.22, kShadowAlong = 0.42;
constexpr double kCrashShadowAcross = 0.3, kCrashShadowAlong = 0.4;
constexpr int kShadowKeep = 17;
constexpr double kMarkerAcross = 0.38, kMarkerAlong = 0.5, kMarkerThickness = 2.5;
constexpr uint16_t kMarkerColor = RGB565(66, 252, 202);
constexpr int kMarkerOpacity = 26;
constexpr int kHitBlinkMs = 600;
constexpr int kFirstLiveryItem = 43, kLiveryItemsPerModel = 4;

double Radians(double angle) { return angle * AngleToRadians; }

}  // namespace

int RivalLiveryItem(const TDXImageList& list, int rival, int model, int item) {
  const TVehicleModel& m = VehicleModel(model);
  const int kind = item == m.UprightImage ? 0 : item == m.CrashImage ? 1 : item == m.LeanLeftImage ? 2 : item == m.LeanRightImage ? 3 : -1;
  if (kind < 0 || model < 1 || model > VehicleModelCount) return item;
  const int livery = kFirstLiveryItem + ((rival - 1) * VehicleModelCount + (model - 1)) * kLiveryItemsPerModel + kind;
  return rival >= 1 && rival <= RivalCount && livery < list.Items.Count() ? livery : item;
}

void DrawPlayerMarker(TDirectDrawSurface* surface, double cx, double cy, int w, int h, int heading) {
  DrawEllipseRing(surface, cx, cy, w * kMarkerAcross, h * kMarkerAlong, Radians(heading), kMarkerThickness,
                  kMarkerColor, kMarkerOpacity);
}

void TPlayer::Render() {
  TDXImageList& list2 = *GameImageList(2);
  TDirectDrawSurface* const surface = GameSurface();
  const TPictureCollectionItem& mark = list2.Item(kMarkImage);
  for (int k = 1; k <= MarkSlots; ++k) {
    const TSkidMark& m = Marks[k];
    if (m.Used) mark.DrawRotated(surface, Trunc(m.X), Trunc(m.Y), 10, 14, 0, 0.5, 0.5, m.Angle);
  }

  X = 400;
  Y = 400;
  if (HitPoints < ShownHitPoints && !Crashed) HitBlinkMs = kHitBlinkMs;
  ShownHitPoints = HitPoints;
  if (HitBlinkMs > 0) HitBlinkMs -= FrameTimeMs;
  if (Image != nullptr) DrawShadowsAndMarker(*Image);
  if (Image != nullptr && (HitBlinkMs <= 0 || (HitBlinkMs / HitBlinkPhaseMs) % 2 == 1)) {
    const int w = Image->Width(), h = Image->Height();
    const int x = Crashed ? Trunc(X + Width / 2.0) : Trunc(X + w / 2.0);
    const int y = Crashed ? Trunc(Y) : Trunc(Y + h / 2.0);
    Image->DrawRotated(surface, x, y, w, h, Trunc(FramePos), 0.5, 0.5, Heading);
  }
  DrawRivals(list2);

  list2.Item(kLeftPanelImage).Draw(surface, 0, 0, 0);
  list2.Item(kRightPanelImage).Draw(surface, kRightPanelX, 0, 0);
  DrawMinimap();
}

TRect TPlayer::RoadArea() const {
  TDXImageList* const list2 = GameImageList(2);
  TDirectDrawSurface* const surface = GameSurface();
  if (list2 == nullptr || surface == nullptr) return TRect{INT_MIN, INT_MIN, INT_MAX, INT_MAX};
  const TPictureCollectionItem& left = list2->Item(kLeftPanelImage);
  const TPictureCollectionItem& right = list2->Item(kRightPanelImage);
  const int h = surface->Height();
  if (!left.PatternOpaque(0) || !right.PatternOpaque(0) || left.Height() < h || right.Height() < h ||
      kRightPanelX + right.Width() < surface->Width())
    return TRect{INT_MIN, INT_MIN, INT_MAX, INT_MAX};
  return TRect{left.Width(), INT_MIN, kRightPanelX, INT_MAX};
}

void TPlayer::DrawShadowsAndMarker(const TPictureCollectionItem& image) {
  TDirectDrawSurface* const surface = GameSurface();
  if (Race.Traffic != nullptr) {
    const TCar& rivals = *Race.Traffic;
    const double dx = -Race.ViewCol * CellSize + RoadX(), dy = -Race.ViewRow * CellSize + RoadY();
    for (int i = 1; i <= RivalCount; ++i) {
      if (!rivals.Racing[i] || !rivals.InView[i]) continue;
      const TVehicleModel& m = VehicleModel(rivals.Model[i]);
      const double x = rivals.CenterX[i] + dx + kShadowDX, y = rivals.CenterY[i] + dy + kShadowDY;
      if (rivals.Crashed[i]) {
        DrawSoftShadow(surface, x, y - m.CrashDrawHeight / 2.0, m.CrashDrawWidth * kCrashShadowAcross,
                       m.CrashDrawHeight * kCrashShadowAlong, 0, kShadowKeep);
      } else {
        DrawSoftShadow(surface, x, y, m.RiderDrawWidth * kShadowAcross, m.RiderDrawHeight * kShadowAlong,
                       Radians(Trunc(rivals.Heading[i])), kShadowKeep);
      }
    }
  }
  const int w = image.Width(), h = image.Height();
  const double across = Crashed ? kCrashShadowAcross : kShadowAcross, along = Crashed ? kCrashShadowAlong : kShadowAlong;
  const double cx = Crashed ? X + Width / 2.0 : X + w / 2.0, cy = Crashed ? Y : Y + h / 2.0;
  DrawSoftShadow(surface, cx + kShadowDX, cy + kShadowDY, w * across, h * along, Radians(Heading), kShadowKeep);
  if (!Crashed) DrawPlayerMarker(surface, cx, cy, w, h, Heading);
}

void TPlayer::DrawRivals(TDXImageList& list2) {
  if (Race.Traffic == nullptr) return;
  TDirectDrawSurface* const surface = GameSurface();
  const TCar& rivals = *Race.Traffic;
  const double dx = -Race.ViewCol * CellSize + RoadX(), dy = -Race.ViewRow * CellSize + RoadY();
  for (const bool crashedPass : {true, false}) {
    for (int i = 1; i <= RivalCount; ++i) {
      if (!rivals.Racing[i] || !rivals.InView[i] || rivals.Crashed[i] != crashedPass) continue;
      const TVehicleModel& m = VehicleModel(rivals.Model[i]);
      const TPictureCollectionItem& picture = list2.Item(RivalLiveryItem(list2, i, rivals.Model[i], rivals.CurrentImage[i]));
      const int x = RoundHalfEven(rivals.CenterX[i] + dx);
      if (crashedPass) {
        picture.DrawRotated(surface, x, RoundHalfEven(rivals.CenterY[i] + dy - m.CrashDrawHeight / 2.0),
                            m.CrashDrawWidth, m.CrashDrawHeight, Trunc(rivals.LeanFrame[i]), 0.5, 0.5, 0);
      } else {
        picture.DrawRotated(surface, x, RoundHalfEven(rivals.CenterY[i] + dy), m.RiderDrawWidth,
                            m.RiderDrawHeight, Trunc(rivals.LeanFrame[i]), 0.5, 0.5, Trunc(rivals.Heading[i]));
      }
    }
  }
}

void TPlayer::BuildMinimapGrid() {
  for (auto& column : MinimapGrid) column.fill(0);
  for (int i = 1; i <= MinimapRows; ++i) {
    const int r = MinimapFirstRow() - 1 + i;
    if (r < 1 || r > TrackRows) continue;
    for (int j = 1; j <= MinimapColumns; ++j) {
      const int c = Race.ViewCol + j;
      const int code = Race.TrackCode(r, c);
      if (code == tileStartFinish) {
        if (j < MinimapColumns) MinimapGrid[j + 1][i] = 7;
        break;
      }
      if (code != tileInnerLane) continue;
      const bool hasLeft = j > 1, hasRight = j < MinimapColumns;
      switch (Race.TrackCode(r, c - 1)) {
        case 10: MinimapGrid[j][i] = 6; break;
        case 33:
          if (hasLeft) MinimapGrid[j - 1][i] = 20;
          MinimapGrid[j][i] = 10;
          break;
        case 27:
          MinimapGrid[j][i] = 40;
          if (hasRight) MinimapGrid[j + 1][i] = 30;
          break;
        case 39:
          if (hasLeft) MinimapGrid[j - 1][i] = 3;
          MinimapGrid[j][i] = 4;
          break;
        case 45:
          MinimapGrid[j][i] = 1;
          if (hasRight) MinimapGrid[j + 1][i] = 2;
          break;
        default: break;
      }
      break;
    }
  }
}

namespace {

// The first column of a minimap row that holds a piece, 0 when the row is empty.
template <typename Grid>
int FirstPieceColumn(const Grid& grid, int row) {
  for (int j = 1; j <= MinimapColumns; ++j)
    if (grid[j][row] != 0) return j;
  return 0;
}

}  // namespace

void TPlayer::DrawMinimap() {
  BuildMinimapGrid();
  TDXImageList& list3 = *GameImageList(3);
  TDirectDrawSurface* const surface = GameSurface();

  const double s = RoadY() / CellSize * kCellH;
  const double k = kSlope * s;
  if (const int d = FirstPieceColumn(MinimapGrid, MinimapBikeRow); d != 0) {
    const TMinimapPiece& piece = PieceOf(MinimapGrid[d][MinimapBikeRow]);
    const double f = piece.BikeBase + piece.BikeSlope * k;
    MinimapShift = 708 - ((d - 1) * kCellW + 631 + f) + 9;
  }
  const int left = RoundHalfEven(MinimapShift), top = RoundHalfEven(s);
  for (int i = 1; i < MinimapRows; ++i) {
    for (int j = 1; j <= MinimapColumns; ++j) {
      const int code = MinimapGrid[j][i];
      if (code != 0) list3.Item(PieceOf(code).Item).Draw(surface, left + kCellW * j + 621, top + kCellH * i + 31, 0);
    }
  }

  if (Race.Traffic != nullptr) {
    const TCar& rivals = *Race.Traffic;
    const TPictureCollectionItem& dot = list3.Item(kDotImage);
    int l = 0;
    const int firstRow = MinimapFirstRow() - 1;
    // Rivals in view, and those ahead of the picture (the map shows their rows, not the road).
    const double pictureTopY = Race.ViewRow * CellSize - RoadY();
    for (int i = 1; i <= RivalCount; ++i) {
      if (!rivals.Racing[i] || !(rivals.InView[i] || rivals.PosY[i] < pictureTopY)) continue;
      const double rows = (rivals.PosY[i] - firstRow * CellSize) / CellSize * kCellH;
      const int e = RoundHalfEven(rows - 14 + 32);
      const int b = e / kCellH;
      if (b < 1 || b > MinimapRows) continue;
      if (const int found = FirstPieceColumn(MinimapGrid, b); found != 0) l = found;
      if (l < 1 || l > MinimapColumns) continue;
      const TMinimapPiece& piece = PieceOf(MinimapGrid[l][b]);
      const double u = piece.DotBase + piece.DotSlope * kSlope * (e % kCellH);
      const int y = top + 46 + RoundHalfEven(rows - 14);
      if (y > kMinimapDotMaxY) continue;
      dot.Draw(surface, RoundHalfEven(kCellW * l + 631 + MinimapShift - 15 + u), y, 0);
    }
  }

  list3.Item(12).Draw(surface, kRightPanelX, 0, 0);
  list3.Item(13).Draw(surface, kRightPanelX, 195, 0);
  list3.Item(kMarkerImage).Draw(surface, kMarkerX, kMarkerY, 0);
}
