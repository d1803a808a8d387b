// The bike's drawing step checked against reference draws of the same pictures: the bike upright
// and crashed, skid marks, rivals, and the minimap grid with its placement.
#include <gtest/gtest.h>

#include <vector>

#include "race_fixture.h"

namespace {

struct Region {
  int Left, Top, Right, Bottom;
};

// Between the side panels, where only marks, the bike and the rivals are drawn.
constexpr Region kRoadArea{180, 0, 620, 600};
constexpr Region kMinimapArea{626, 0, 800, 200};

class Drawing : public RaceGame {
protected:
  void SetUp() override {
    RaceGame::SetUp();
    if (!HasFatalFailure()) RideAlone();
  }

  TDirectDrawSurface& Surface() { return *Form().MDXDraw.Surface(); }

  std::vector<uint16_t> Pixels(const Region& r) {
    std::vector<uint16_t> out;
    for (int y = r.Top; y < r.Bottom; ++y)
      for (int x = r.Left; x < r.Right; ++x) out.push_back(Surface().Row(y)[x]);
    return out;
  }
  std::vector<uint16_t> Rendered(const Region& r) {
    Surface().Fill(0);
    Bike().Render();
    return Pixels(r);
  }
  template <typename Draw>
  std::vector<uint16_t> Reference(const Region& r, Draw draw) {
    Surface().Fill(0);
    draw(Surface());
    return Pixels(r);
  }
  TPictureCollectionItem& Item2(int index) { return GameImageList(2)->Item(index); }
};

TEST_F(Drawing, TheBikeUprightAndCrashedHalfItsPictureHigher) {
  TPlayer& bike = Bike();
  bike.Heading = 5;
  const TPictureCollectionItem& upright = Item2(bike.Model().UprightImage);
  const int w = upright.Width(), h = upright.Height();
  EXPECT_EQ(Rendered(kRoadArea), Reference(kRoadArea, [&](TDirectDrawSurface& s) {
              DrawPlayerMarker(&s, 400 + w / 2.0, 400 + h / 2.0, w, h, 5);
              upright.DrawRotated(&s, 400 + w / 2, 400 + h / 2, w, h, 0, 0.5, 0.5, 5);
            }));

  bike.Crash();
  bike.FramePos = 2.7;
  const TPictureCollectionItem& crash = Item2(bike.Model().CrashImage);
  EXPECT_EQ(Rendered(kRoadArea), Reference(kRoadArea, [&](TDirectDrawSurface& s) {
              crash.DrawRotated(&s, 400 + crash.Width() / 2, 400, crash.Width(), crash.Height(), 2, 0.5, 0.5, 5);
            }));
}

TEST_F(Drawing, MarksAreDrawnUntilCulled) {
  TPlayer& bike = Bike();
  bike.Visible = true;
  bike.Heading = 0;
  bike.AddMark(250.7, 150.2);
  bike.Heading = 7;
  bike.AddMark(690, 300);
  const TPictureCollectionItem& mark = Item2(10);
  const TPictureCollectionItem& upright = *bike.Image;
  const int w = upright.Width(), h = upright.Height();
  auto bikeDraw = [&](TDirectDrawSurface& s) {
    DrawPlayerMarker(&s, 400 + w / 2.0, 400 + h / 2.0, w, h, 7);
    upright.DrawRotated(&s, 400 + w / 2, 400 + h / 2, w, h, 0, 0.5, 0.5, 7);
  };
  bike.Heading = 7;
  EXPECT_EQ(Rendered(kRoadArea), Reference(kRoadArea, [&](TDirectDrawSurface& s) {
              mark.DrawRotated(&s, 250, 150, 10, 14, 0, 0.5, 0.5, 0);
              mark.DrawRotated(&s, 690, 300, 10, 14, 0, 0.5, 0.5, 7);
              bikeDraw(s);
            }));
  bike.Marks[2].X = 700.5;
  bike.CullMarks();
  EXPECT_EQ(Rendered(kRoadArea), Reference(kRoadArea, [&](TDirectDrawSurface& s) {
              mark.DrawRotated(&s, 250, 150, 10, 14, 0, 0.5, 0.5, 0);
              bikeDraw(s);
            }));
}

TEST_F(Drawing, RivalsInViewAreDrawnCrashedOnesFirstAndShownOnTheMinimap) {
  TPlayer& bike = Bike();
  drive.Frame();
  Surface().Fill(0);
  bike.Render();
  const std::vector<uint16_t> minimapAlone = Pixels(kMinimapArea);
  const std::vector<uint16_t> roadAlone = Pixels(kRoadArea);

  PlaceRival(1, 300.4, 200, 2);
  TCar& r = Rivals();
  r.Heading[1] = 3.7;
  r.LeanFrame[1] = 0;
  PlaceRival(2, 470, 120, 3);
  r.Crash(2);
  r.LeanFrame[2] = 1.5;
  const TVehicleModel& m1 = VehicleModel(2);
  const TVehicleModel& m2 = VehicleModel(3);
  const TPictureCollectionItem& upright = *bike.Image;
  const int w = upright.Width(), h = upright.Height();
  // Each rival wears its own livery: rivals on the same model differ, and none looks like the
  // model as it comes.
  const TDXImageList& list2 = *GameImageList(2);
  EXPECT_NE(RivalLiveryItem(list2, 1, 2, m1.UprightImage), m1.UprightImage);
  EXPECT_NE(RivalLiveryItem(list2, 1, 2, m1.UprightImage), RivalLiveryItem(list2, 2, 2, m1.UprightImage));
  EXPECT_EQ(RivalLiveryItem(list2, 1, 2, 10), 10);  // not a picture of the model
  EXPECT_EQ(Rendered(kRoadArea), Reference(kRoadArea, [&](TDirectDrawSurface& s) {
              DrawPlayerMarker(&s, 400 + w / 2.0, 400 + h / 2.0, w, h, 0);
              upright.DrawRotated(&s, 400 + w / 2, 400 + h / 2, w, h, 0, 0.5, 0.5, 0);
              Item2(RivalLiveryItem(list2, 2, 3, m2.CrashImage))
                  .DrawRotated(&s, 470, 120 - m2.CrashDrawHeight / 2, m2.CrashDrawWidth, m2.CrashDrawHeight, 1, 0.5,
                               0.5, 0);
              Item2(RivalLiveryItem(list2, 1, 2, m1.UprightImage)).DrawRotated(&s, 300, 200, m1.RiderDrawWidth, m1.RiderDrawHeight, 0, 0.5, 0.5, 3);
            }));
  EXPECT_NE(Pixels(kMinimapArea), minimapAlone);

  // Out of view or not racing: neither drawn nor dotted.
  r.InView[1] = r.InView[2] = false;
  EXPECT_EQ(Rendered(kRoadArea), roadAlone);
  EXPECT_EQ(Pixels(kMinimapArea), minimapAlone);
  r.InView[1] = true;
  r.Racing[1] = false;
  EXPECT_EQ(Rendered(kRoadArea), roadAlone);
  EXPECT_EQ(Pixels(kMinimapArea), minimapAlone);

  // Ahead of the picture: not drawn, but dotted on the map of the road ahead.
  PlaceRival(1, 300, -150, 2);
  r.InView[1] = false;
  EXPECT_EQ(Rendered(kRoadArea), roadAlone);
  EXPECT_NE(Pixels(kMinimapArea), minimapAlone);
}

struct PieceCase {
  const char* Name;
  int LeftCode;  // the tile left of the first inner lane
  std::vector<std::pair<int, int>> Cells;  // {column offset from the lane, piece}
};
void PrintTo(const PieceCase& c, std::ostream* os) { *os << c.Name; }

class MinimapPieces : public Drawing, public testing::WithParamInterface<PieceCase> {};

TEST_P(MinimapPieces, RowsBecomePiecesBesideTheirInnerLane) {
  const PieceCase& c = GetParam();
  for (auto& row : TheRace().TrackMap) row.fill(tileGround);
  TheRace().ViewRow = 700;
  TheRace().ViewCol = 300;
  const int row = Bike().MinimapFirstRow() + 3, lane = 8;  // grid row 4, grid column 8
  TheRace().TrackMap[row][TheRace().ViewCol + lane - 1] = static_cast<uint8_t>(c.LeftCode);
  TheRace().TrackMap[row][TheRace().ViewCol + lane] = tileInnerLane;
  TheRace().TrackMap[row][TheRace().ViewCol + lane + 1] = tileInnerLane;  // only the first counts
  Bike().BuildMinimapGrid();
  int filled = 0;
  for (int j = 1; j <= MinimapColumns; ++j)
    for (int i = 1; i <= MinimapRows; ++i) filled += Bike().MinimapGrid[j][i] != 0;
  EXPECT_EQ(filled, static_cast<int>(c.Cells.size()));
  for (const auto& [dj, piece] : c.Cells) EXPECT_EQ(Bike().MinimapGrid[lane + dj][4], piece) << dj;
}

INSTANTIATE_TEST_SUITE_P(Table, MinimapPieces,
                         testing::Values(PieceCase{"straight", 10, {{0, 6}}},
                                         PieceCase{"shifting_left", 33, {{-1, 20}, {0, 10}}},
                                         PieceCase{"shifting_left_halfway", 27, {{0, 40}, {1, 30}}},
                                         PieceCase{"shifting_right", 39, {{-1, 3}, {0, 4}}},
                                         PieceCase{"shifting_right_halfway", 45, {{0, 1}, {1, 2}}},
                                         PieceCase{"other", 0, {}}),
                         [](const auto& info) { return std::string(info.param.Name); });

TEST_F(Drawing, MinimapStartLineAndTheMapsEdge) {
  for (auto& row : TheRace().TrackMap) row.fill(tileGround);
  TheRace().ViewRow = 700;
  TheRace().ViewCol = 300;
  const int first = Bike().MinimapFirstRow();
  TheRace().TrackMap[first][305] = tileStartFinish;
  TheRace().TrackMap[first + 1][316] = tileStartFinish;  // the last column: no room for the piece
  Bike().BuildMinimapGrid();
  EXPECT_EQ(Bike().MinimapGrid[6][1], 7);
  for (int j = 1; j <= MinimapColumns; ++j) EXPECT_EQ(Bike().MinimapGrid[j][2], 0);

  // Rows past the map's end stay empty.
  TheRace().ViewRow = 1500 - 5 + MinimapRowsAhead;  // row 1500 on grid row 5
  TheRace().TrackMap[1500][301] = 10;
  TheRace().TrackMap[1500][302] = tileInnerLane;
  Bike().BuildMinimapGrid();
  EXPECT_EQ(Bike().MinimapGrid[2][5], 6);
  for (int i = 6; i <= MinimapRows; ++i)
    for (int j = 1; j <= MinimapColumns; ++j) EXPECT_EQ(Bike().MinimapGrid[j][i], 0);
}

// The bike's row (the view's row 6, near the bottom of the map) decides where the minimap lies;
// with that row empty it stays where it was.
TEST_F(Drawing, MinimapPlacementFollowsTheBikesRowAndKeepsItWhenEmpty) {
  for (auto& row : TheRace().TrackMap) row.fill(tileGround);
  TheRace().ViewRow = 700;
  TheRace().ViewCol = 300;
  TheRace().TrackMap[706][304] = 10;
  TheRace().TrackMap[706][305] = tileInnerLane;  // grid column 5, piece 6 with offset 4
  Road().Y = 0;
  Surface().Fill(0);
  Bike().DrawMinimap();
  EXPECT_DOUBLE_EQ(Bike().MinimapShift, 708 - (4 * 10 + 631 + 4) + 9);
  const std::vector<uint16_t> drawn = Pixels(kMinimapArea);
  TheRace().TrackMap[706].fill(tileGround);
  TheRace().TrackMap[705][310] = 10;  // a row above the bike's, shown but not the bike's
  TheRace().TrackMap[705][311] = tileInnerLane;
  Bike().DrawMinimap();
  EXPECT_DOUBLE_EQ(Bike().MinimapShift, 708 - (4 * 10 + 631 + 4) + 9);
  EXPECT_NE(Pixels(kMinimapArea), drawn);
}

}  // namespace
