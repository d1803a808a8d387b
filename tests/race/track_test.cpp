// Track generation: level parameters, the road's shape from start to finish, objects and
// decoration, the road's centre line.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <ostream>
#include <string>

#include "race/race.h"
#include "race/road_layout.h"

namespace {

using road_layout::ReadCrossSection;
using road_layout::TestRace;
using road_layout::TCrossSection;
using road_layout::TFamily;
using testing::AssertionFailure;
using testing::AssertionResult;
using testing::AssertionSuccess;

int TopRoadRow() { return TrackRows - TestRace().TrackLength; }

bool IsGroundOrDecoration(int code) { return code == 0 || (code >= 49 && code <= 51); }

// The segment kinds that produce each cross-section.
bool ShapeFitsSection(int shape, const TCrossSection& s) {
  switch (s.Family) {
    case TFamily::Plain: return s.Marked ? (shape == segMarked || shape == segStraighten) : shape == segStraight;
    case TFamily::HalfwayLeft:
    case TFamily::DisplacedLeft: return shape == segShiftLeft;
    case TFamily::HalfwayRight:
    case TFamily::DisplacedRight: return shape == segShiftRight;
  }
  return false;
}

// Where the centre line lies against the lanes' middle: on it in plain rows, 20 pixels aside in
// the rows of a shift.
int CentreOffset(TFamily family) {
  switch (family) {
    case TFamily::Plain: return 0;
    case TFamily::HalfwayLeft: return -20;
    case TFamily::DisplacedLeft: return 20;
    case TFamily::HalfwayRight: return 20;
    case TFamily::DisplacedRight: return -20;
  }
  return 0;
}

// Every road row holds one well-formed cross-section generated under the matching kind, joined to
// the row below it (shifted by at most one column, the centre line by at most 40 pixels), with
// the start line in its row and the finish line across the four lanes of the finish row.
AssertionResult RoadIsWhole() {
  const int top = TopRoadRow();
  const int finish = FinishRowOf(TestRace().TrackLength);
  TCrossSection below{};
  for (int row = TrackRows - 1; row >= top; --row) {
    std::string why;
    const auto section = ReadCrossSection(row, why);
    if (!section) return AssertionFailure() << "row " << row << ": " << why;
    if (!ShapeFitsSection(TestRace().RowShape[row], *section)) {
      return AssertionFailure() << "row " << row << " has shape " << int(TestRace().RowShape[row]) << " but not its road";
    }
    const bool wantLine = row == finish || row == StartLineRow;
    if (section->Line != wantLine) return AssertionFailure() << "row " << row << (wantLine ? " lacks" : " has") << " a line";
    const int centre = road_layout::LaneCentre(*section) + CentreOffset(section->Family);
    if (TestRace().RoadCenterX[row] != centre) {
      return AssertionFailure() << "row " << row << ": TestRace().RoadCenterX " << TestRace().RoadCenterX[row] << ", want " << centre;
    }
    if (row < TrackRows - 1) {
      if (std::abs(section->FirstColumn - below.FirstColumn) > 1) {
        return AssertionFailure() << "row " << row << " at column " << section->FirstColumn
                                  << " does not join the row below at " << below.FirstColumn;
      }
      if (std::abs(TestRace().RoadCenterX[row] - TestRace().RoadCenterX[row + 1]) > 40) {
        return AssertionFailure() << "row " << row << ": centre line jumps from " << TestRace().RoadCenterX[row + 1] << " to "
                                  << TestRace().RoadCenterX[row];
      }
    }
    below = *section;
  }
  return AssertionSuccess();
}

// Outside the road rows there is only ground, decoration and objects; no cell is left unfilled.
AssertionResult GroundIsFilled() {
  const int top = TopRoadRow();
  for (int row = 1; row <= TrackRows; ++row) {
    const bool roadRow = row >= top && row < TrackRows;
    if (!roadRow && TestRace().RowShape[row] != 0) return AssertionFailure() << "row " << row << " has a shape but no road";
    for (int c = 1; c <= TrackColumns; ++c) {
      const int code = TestRace().TrackMap[row][c];
      if (code > 73) return AssertionFailure() << "code " << code << " left at " << row << "," << c;
      if (!roadRow && road_layout::IsRoadPart(code)) {
        return AssertionFailure() << "road part " << code << " outside the road at " << row << "," << c;
      }
      const bool objectRow = row > top && row < TrackRows;
      if (!objectRow && !IsGroundOrDecoration(code) && !(roadRow && road_layout::IsRoadPart(code))) {
        return AssertionFailure() << "object tile " << code << " at " << row << "," << c << ", outside rows "
                                  << top + 1 << ".." << TrackRows - 1;
      }
    }
  }
  return AssertionSuccess();
}

// Every object tile belongs to one complete object: none was cut by the road or by another object.
AssertionResult ObjectsAreWhole() {
  struct TShape {
    int Size;
    std::array<int, 16> Tiles;
  };
  static constexpr TShape shapes[] = {
      {4, {0, 55, 55, 55, 56, 60, 61, 59, 56, 63, 64, 59, 56, 57, 57, 58}},
      {3, {65, 66, 67, 68, 69, 70, 71, 72, 73}},
      {2, {60, 61, 63, 64}},
      {2, {52, 0, 53, 54}},
  };
  static std::array<std::array<bool, TrackColumns + 2>, TrackRows + 2> claimed;
  for (auto& row : claimed) row.fill(false);

  for (int r = 1; r <= TrackRows; ++r) {
    for (int c = 1; c <= TrackColumns; ++c) {
      const int code = TestRace().TrackMap[r][c];
      if (code < 52 || claimed[r][c]) continue;
      bool matched = false;
      for (const TShape& shape : shapes) {
        const int lead = shape.Tiles[0] == 0 ? 1 : 0;  // the first tile met in row order
        if (shape.Tiles[lead] != code) continue;
        const int left = c - lead;
        bool whole = true;
        for (int i = 0; i < shape.Size * shape.Size && whole; ++i) {
          const int rr = r + i / shape.Size, cc = left + i % shape.Size;
          whole = rr <= TrackRows && cc >= 1 && cc <= TrackColumns && !claimed[rr][cc] &&
                  TestRace().TrackMap[rr][cc] == shape.Tiles[i];
        }
        if (!whole) continue;
        for (int i = 0; i < shape.Size * shape.Size; ++i) claimed[r + i / shape.Size][left + i % shape.Size] = true;
        matched = true;
        break;
      }
      if (!matched) return AssertionFailure() << "object tile " << code << " at " << r << "," << c << " is not part of a whole object";
    }
  }
  return AssertionSuccess();
}

// Near the finish no shift or marked stretch starts: only one under way may run on (a shift for at
// most five more rows).
AssertionResult NoNewShiftNearFinish() {
  const int top = TopRoadRow();
  int shiftRows = 0;
  for (int row = top; row <= top + 98; ++row) {
    const int shape = TestRace().RowShape[row];
    const bool continues = TestRace().RowShape[row + 1] == shape;
    if ((shape == segShiftLeft || shape == segShiftRight || shape == segMarked) && !continues) {
      return AssertionFailure() << "segment of kind " << shape << " starts in row " << row;
    }
    if (shape == segShiftLeft || shape == segShiftRight) ++shiftRows;
  }
  if (shiftRows > 5) return AssertionFailure() << shiftRows << " shift rows near the finish";
  return AssertionSuccess();
}

AssertionResult TrackIsSound() {
  if (AssertionResult r = RoadIsWhole(); !r) return r;
  if (AssertionResult r = GroundIsFilled(); !r) return r;
  if (AssertionResult r = ObjectsAreWhole(); !r) return r;
  return NoNewShiftNearFinish();
}

// ---------------------------------------------------------------------------------------------

struct TLevelCase {
  int Level;
  int Length, TimeMs, Bonuses, FinishRow;
};

void PrintTo(const TLevelCase& c, std::ostream* os) { *os << "level " << c.Level; }

class LevelSetUp : public testing::TestWithParam<TLevelCase> {};

TEST_P(LevelSetUp, SetsTheLevelsParametersAndLaysTheRoadBetweenStartAndFinish) {
  const TLevelCase& want = GetParam();
  RandSeed(7);
  TestRace().RacerCount = 4;
  TestRace().PlayerRank = 3;
  TestRace().ViewCol = TestRace().ViewRow = 5;
  TestRace().SetUpLevel(want.Level);

  EXPECT_EQ(TestRace().Level, want.Level);
  EXPECT_EQ(TestRace().TrackLength, want.Length);
  EXPECT_EQ(TestRace().RaceTimeLeft, want.TimeMs);
  EXPECT_EQ(TestRace().BonusCount, want.Bonuses);
  EXPECT_EQ(FinishRowOf(TestRace().TrackLength), want.FinishRow);
  EXPECT_EQ(TestRace().RacerCount, 0);
  EXPECT_EQ(TestRace().PlayerRank, 0);
  EXPECT_EQ(TestRace().ViewCol, StartViewCol);
  EXPECT_EQ(TestRace().ViewRow, StartViewRow);

  // Road rows 1500 - length .. 1499; the start line across the four lanes of the start area.
  EXPECT_NE(TestRace().RowShape[TrackRows - want.Length], 0);
  EXPECT_EQ(TestRace().RowShape[TrackRows - want.Length - 1], 0);
  EXPECT_EQ(TestRace().RowShape[TrackRows], 0);
  for (int c = 321; c <= 324; ++c) EXPECT_EQ(TestRace().TrackMap[StartLineRow][c], tileStartFinish) << c;
  EXPECT_TRUE(TrackIsSound());
}

INSTANTIATE_TEST_SUITE_P(Levels, LevelSetUp,
                         testing::Values(TLevelCase{1, 300, 45000, 10, 1250}, TLevelCase{2, 500, 55000, 20, 1050},
                                         TLevelCase{5, 1100, 110000, 50, 450}, TLevelCase{6, 1300, 130000, 60, 250},
                                         TLevelCase{10, 1300, 140000, 100, 250},
                                         // beyond the table: the nearest level's values
                                         TLevelCase{11, 1300, 140000, 100, 250}, TLevelCase{0, 300, 45000, 10, 1250}),
                         [](const auto& info) { return "Level" + std::to_string(info.param.Level); });

class EveryLevel : public testing::TestWithParam<int> {};

TEST_P(EveryLevel, RoadRunsUnbrokenFromStartToFinishForManySeeds) {
  const int level = GetParam();
  for (uint64_t seed = 1; seed <= 12; ++seed) {
    RandSeed(seed * 1000 + level);
    TestRace().SetUpLevel(level);
    ASSERT_TRUE(TrackIsSound()) << "level " << level << ", seed " << seed * 1000 + level;
  }
}

INSTANTIATE_TEST_SUITE_P(Levels, EveryLevel, testing::Range(1, LevelCount + 1),
                         [](const auto& info) { return "Level" + std::to_string(info.param); });

TEST(TrackGeneration, WithEveryDrawZeroTheRoadStaysStraightInItsStartColumns) {
  for (const int level : {1, 10}) {
    TestRace().SetUpLevel(level, [](int) { return 0; });
    ASSERT_TRUE(TrackIsSound()) << "level " << level;
    for (int row = TopRoadRow(); row < TrackRows; ++row) {
      ASSERT_EQ(TestRace().RowShape[row], segStraight) << row;
      std::string why;
      ASSERT_EQ(ReadCrossSection(row, why)->FirstColumn, 319) << row;
      ASSERT_EQ(TestRace().RoadCenterX[row], 323 * CellSize) << row;
    }
  }
}

TEST(TrackGeneration, AShiftUnderWayNearTheFinishIsStraightenedAndNoOtherFollows) {
  // Every draw at its highest: straight, marked, shift right, straighten, over and over; on level
  // 1 a shift right runs into the last 99 rows (rows 1301..1296).
  TestRace().SetUpLevel(1, [](int n) { return n - 1; });
  ASSERT_EQ(TestRace().RowShape[1299], segShiftRight);
  ASSERT_EQ(TestRace().RowShape[1298], segShiftRight);
  EXPECT_TRUE(TrackIsSound());
  for (int row = 1295; row >= 1292; --row) EXPECT_EQ(TestRace().RowShape[row], segStraighten) << row;
  for (int row = 1291; row >= TopRoadRow(); --row) ASSERT_EQ(TestRace().RowShape[row], segStraight) << row;
}

TEST(TrackGeneration, LengthsTheMapCannotHoldStayOnTheMap) {
  for (const int length : {0, 1550, 5000}) {
    TestRace().TrackLength = length;
    RandSeed(9);
    TestRace().GenerateTrack();
    EXPECT_EQ(TestRace().TrackMap[StartLineRow][321], tileStartFinish) << length;
    EXPECT_EQ(TestRace().TrackMap[0][1], tileGround) << "border row, length " << length;
  }
}

TEST(TrackGeneration, StartLineRowHasTheCentreLineOfThePlainRowsAroundIt) {
  RandSeed(3);
  TestRace().SetUpLevel(1);
  EXPECT_EQ(TestRace().RoadCenterX[StartLineRow], 323 * CellSize);
  EXPECT_EQ(TestRace().RoadCenterX[StartLineRow - 1], TestRace().RoadCenterX[StartLineRow]);
  EXPECT_EQ(TestRace().RoadCenterX[StartLineRow + 1], TestRace().RoadCenterX[StartLineRow]);
}

}  // namespace

namespace {

// FNV-1a over the generated map, row shapes and centre line, then the game's next draw, so that a
// change in the cells or in the draws the generator takes shows.
uint64_t TrackFingerprint(const TRace& race) {
  uint64_t hash = 0xcbf29ce484222325ull;
  const auto add = [&hash](const void* data, size_t size) {
    for (size_t i = 0; i < size; ++i) hash = (hash ^ static_cast<const uint8_t*>(data)[i]) * 0x100000001b3ull;
  };
  add(race.TrackMap.data(), sizeof race.TrackMap);
  add(race.RowShape.data(), sizeof race.RowShape);
  add(race.RoadCenterX.data(), sizeof race.RoadCenterX);
  const int next = RandInt(1 << 30);
  add(&next, sizeof next);
  return hash;
}

struct TFingerprintCase {
  int Level;
  uint64_t Seed, Fingerprint;
};

}  // namespace

// The values were taken from the generator before its speed-ups: a faster one must lay the same
// tracks from the same draws.
TEST(TrackGeneration, LaysTheSameTracksFromTheSameSeeds) {
  constexpr TFingerprintCase cases[] = {
      {1, 1, 17979901165286595877ull},         {3, 42, 12776440209322567608ull},
      {5, 7, 13986638534697083100ull},         {8, 123456789, 6549408855461587577ull},
      {10, 1, 184084305760410072ull},          {10, 99, 16237210195753824476ull},
  };
  for (const TFingerprintCase& c : cases) {
    const auto race = std::make_unique<TRace>();  // fresh: nothing left by earlier tests
    RandSeed(c.Seed);
    race->SetUpLevel(c.Level);
    EXPECT_EQ(TrackFingerprint(*race), c.Fingerprint) << "level " << c.Level << ", seed " << c.Seed;
  }
}
