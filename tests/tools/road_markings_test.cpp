// The road markings of the generated tile set, checked on tracks drawn the way the race road draws
// them (each cell's variant in the level's look): in every pair of tiles the generator puts next
// to each other, across and along the track, the two edge lines and the three dashed lane lines
// run on without a break or a step.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "race/race.h"

namespace {

// Rows of a cell where every line shows (a dash runs from y 52 across the cell boundary to
// y 20), and one where only the edge lines show.
constexpr int DashRows[] = {0, 1, 70, 71};
constexpr int GapRow = 36;
constexpr int EdgeLines = 2, AllLines = 5;
// The lines lie within this distance of the row's centre line (RoadCenterX); the kerbs and
// barriers lie further out.
constexpr int Reach = 175;

struct TRun {
  int From, To;  // pixels, To excluded
  double Middle() const { return (From + To) * 0.5; }
};

class RoadMarkings : public ::testing::Test {
protected:
  static void SetUpTestSuite() {
    ReadImageListFile(std::string(ZK_GAME_DIR) + "/Data/Res/Res2.dxg", list_);
  }

  static const TPictureCollectionItem& Tiles() { return list_.Items.at(1); }

  // The colour at world pixel (x, y) of the drawn track.
  static uint32_t Pixel(const TRace& race, int x, int y) {
    const int row = y / CellSize, column = x / CellSize;
    int pattern = RoadTilePattern(race, row, column) + RoadLookOf(race.Level) * RoadLookPatterns;
    if (pattern >= Tiles().PatternCount()) pattern = race.TrackCode(row, column);
    const TRect r = Tiles().PatternRect(pattern);
    return Tiles().Picture.Pixels[static_cast<size_t>(r.Top + y % CellSize) * Tiles().Picture.Width + r.Left + x % CellSize];
  }

  static bool IsLinePaint(uint32_t rgb) {
    const int r = (rgb >> 16) & 0xFF, g = (rgb >> 8) & 0xFF, b = rgb & 0xFF;
    return std::min({r, g, b}) >= 170 && std::max({r, g, b}) - std::min({r, g, b}) <= 60;
  }

  // The painted lines crossing one pixel row of track row `row`: runs of line paint at most
  // nine pixels wide (wider white is a kerb block).
  static std::vector<TRun> LinesAt(const TRace& race, int row, int y) {
    std::vector<TRun> runs;
    const int centre = race.RoadCenterX[row];
    const int worldY = row * CellSize + y;
    int start = -1;
    for (int x = centre - Reach; x <= centre + Reach; ++x) {
      const bool paint = x < centre + Reach && IsLinePaint(Pixel(race, x, worldY));
      if (paint && start < 0) start = x;
      if (!paint && start >= 0) {
        if (x - start <= 9) runs.push_back(TRun{start, x});
        start = -1;
      }
    }
    return runs;
  }

  static TPictureCollection list_;
};
TPictureCollection RoadMarkings::list_;

bool HasStartLine(const TRace& race, int row) {
  for (int c = 1; c <= TrackColumns; ++c)
    if (race.TrackMap[row][c] == tileStartFinish) return true;
  return false;
}

std::string Describe(const std::vector<TRun>& runs) {
  std::string text;
  for (const TRun& r : runs) text += " [" + std::to_string(r.From) + "," + std::to_string(r.To) + ")";
  return text.empty() ? " none" : text;
}

// Each line goes on from one pixel row to the next without a step of more than a pixel and a half
// (the diagonal rows slope by half a pixel a row).
void ExpectJoined(const std::vector<TRun>& a, const std::vector<TRun>& b, const std::string& where) {
  ASSERT_EQ(a.size(), b.size()) << where << ":" << Describe(a) << " then" << Describe(b);
  for (size_t i = 0; i < a.size(); ++i) EXPECT_LE(std::abs(a[i].Middle() - b[i].Middle()), 1.5) << where << ", line " << i;
}

TEST_F(RoadMarkings, LinesRunOnAcrossEveryTilePairOfGeneratedTracks) {
  ASSERT_GE(Tiles().PatternCount(), RoadTileCodes);
  int shiftRows = 0;
  for (int level : {1, 2, 4, 7, 9})
    for (uint64_t seed = 1; seed <= 6; ++seed) {
      RandSeed(seed * 7919 + level);
      const auto owner = std::make_unique<TRace>();
      TRace& race = *owner;
      race.SetUpLevel(level);
      const int top = FinishRowOf(race.TrackLength) + 1, bottom = TrackRows - 1;
      std::vector<TRun> above;  // the bottom pixel row of the track row above
      for (int row = top; row <= bottom; ++row) {
        const std::string where = "level " + std::to_string(level) + " seed " + std::to_string(seed) + " row " +
                                  std::to_string(row) + " shape " + std::to_string(race.RowShape[row]);
        if (HasStartLine(race, row) || HasStartLine(race, row - 1)) {
          above.clear();
          continue;
        }
        if (race.RowShape[row] == segShiftLeft || race.RowShape[row] == segShiftRight) ++shiftRows;
        std::vector<std::vector<TRun>> dashes;
        for (int y : DashRows) {
          dashes.push_back(LinesAt(race, row, y));
          ASSERT_EQ(dashes.back().size(), static_cast<size_t>(AllLines)) << where << " y " << y << ":" << Describe(dashes.back());
          for (const TRun& r : dashes.back()) EXPECT_GE(r.To - r.From, 3) << where << " y " << y << ": a line cut in half";
        }
        ExpectJoined(dashes[0], dashes[1], where + " rows 0-1");
        ExpectJoined(dashes[2], dashes[3], where + " rows 70-71");
        if (!above.empty()) ExpectJoined(above, dashes[0], where + " across the row boundary");
        above = dashes[3];
        EXPECT_EQ(LinesAt(race, row, GapRow).size(), static_cast<size_t>(EdgeLines)) << where << " between dashes";
        if (HasFailure()) return;
      }
    }
  EXPECT_GT(shiftRows, 100) << "the tracks should bend";
}

}  // namespace
