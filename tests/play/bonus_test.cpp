// The bonuses: where a level places them, the one life per level, the pickup through the sprite
// engine's point query at the four corners of the box, their effects and sounds, and new bonuses
// at a retry.
#include <gtest/gtest.h>

#include "audio/audio.h"
#include "race_fixture.h"

namespace {

class Bonuses : public RaceGame {
protected:
  TBonus& B() { return *TheRace().BonusSprite; }

  // Empties every slot but the first, which holds a bonus of `kind` whose box's top-left lies at
  // screen (x, y).
  void OneBonusAt(int x, int y, uint8_t kind = TBonus::kScore10) {
    for (TBonus::TSlot& s : B().Slots) s.Active = false;
    const int cells = 5;
    B().Slots[1] = TBonus::TSlot{true, TheRace().ViewCol + cells, TheRace().ViewRow + cells, kind, 0};
    Road().X = x - 19 - cells * CellSize;
    Road().Y = y - 19 - cells * CellSize;
  }
};

TEST_F(Bonuses, ALevelPlacesAtMostTenALevelOnStraightRoadNearItsLeftEdge) {
  TRace& race = TheRace();
  for (const int level : {1, 10}) {
    SCOPED_TRACE(level);
    race.SetUpLevel(level);
    B().GenerateBonuses();
    const int placed = B().ActiveCount();
    EXPECT_GT(placed, 0);
    EXPECT_LE(placed, 10 * level);
    for (int i = 1; i <= BonusSlots; ++i) {
      const TBonus::TSlot& s = B().Slots[i];
      if (!s.Active) continue;
      ASSERT_LE(i, 10 * level);
      EXPECT_GE(s.Row, FinishRowOf(race.TrackLength) - 1);
      EXPECT_LE(s.Row, 1494);
      bool leftEdgeNear = false;
      for (int c = s.Col - 3; c <= s.Col; ++c) leftEdgeNear |= race.TrackCode(s.Row, c) == tileLeftLane;
      EXPECT_TRUE(leftEdgeNear) << "row " << s.Row << " column " << s.Col;
      EXPECT_GE(s.Kind, 1);
      EXPECT_LE(s.Kind, TBonus::KindCount);
      EXPECT_GE(s.Frame, 0);
      EXPECT_LE(s.Frame, 4);
    }
  }
}

TEST_F(Bonuses, NoLevelHoldsTwoLives) {
  TheRace().SetUpLevel(10);
  int levelsWithALife = 0;
  for (uint64_t seed = 1; seed <= 200; ++seed) {
    RandSeed(seed);
    B().GenerateBonuses();
    ASSERT_LE(B().ActiveOfKind(TBonus::kLife), 1) << "seed " << seed;
    levelsWithALife += B().ActiveOfKind(TBonus::kLife);
  }
  EXPECT_GT(levelsWithALife, 100);
}

struct CornerCase {
  const char* Name;
  int X, Y;  // the box's top-left, from the bike's sprite rectangle (width w, height h): see Where
  bool Taken;
};
void PrintTo(const CornerCase& c, std::ostream* os) { *os << c.Name; }

class Corner : public Bonuses, public testing::WithParamInterface<CornerCase> {
protected:
  // Codes: 1 = just inside the right (or bottom) edge, -1 = just outside the left (or top) edge
  // so that only the box's far corner reaches in, 2 = clear of the rectangle on the right.
  int Where(int code, int start, int size) const {
    return code == 1 ? start + size - 5 : (code == -1 ? start - 35 + 5 : start + size + 5);
  }
};

TEST_P(Corner, ABonusIsTakenWhenOneCornerOfItsBoxTouchesTheBike) {
  const CornerCase& c = GetParam();
  const TPlayer& bike = Bike();
  const int x = Where(c.X, 400, bike.Width), y = Where(c.Y, 400, bike.Height);
  OneBonusAt(x, y);
  B().Step(1);
  EXPECT_EQ(!B().Slots[1].Active, c.Taken);
  EXPECT_EQ(TheRace().Score, c.Taken ? 10 : 0);
  EXPECT_EQ(Plays(sndScoreBonus), c.Taken ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(Table, Corner,
                         testing::Values(CornerCase{"top_left", 1, 1, true}, CornerCase{"top_right", -1, 1, true},
                                         CornerCase{"bottom_left", 1, -1, true}, CornerCase{"bottom_right", -1, -1, true},
                                         CornerCase{"beside", 2, 1, false}),
                         [](const auto& info) { return std::string(info.param.Name); });

TEST_F(Bonuses, ADeeperSpriteOverTheOnlyTouchingCornerKeepsTheBonus) {
  const int x = 400 + Bike().Width - 5, y = 400 + Bike().Height - 5;
  OneBonusAt(x, y);
  TMyImageSprite* cover = TMyImageSprite::CreateAt(2, 11, x - 2, y - 2, 20);
  B().Step(1);
  EXPECT_TRUE(B().Slots[1].Active);
  cover->X = 0;
  B().Step(1);
  EXPECT_FALSE(B().Slots[1].Active);
  cover->KillOnce();
}

TEST_F(Bonuses, EachKindGivesItsPointsAndALifeAtMostUpToThree) {
  const struct {
    uint8_t Kind;
    int LivesBefore, Points, LivesAfter, Sound;
  } cases[] = {{1, 3, 10, 3, sndScoreBonus}, {2, 3, 20, 3, sndScoreBonus}, {3, 3, 50, 3, sndScoreBonus},
               {4, 3, 100, 3, sndScoreBonus}, {5, 2, 50, 3, sndLifeBonus}, {5, 3, 50, 3, sndLifeBonus},
               {5, 1, 50, 2, sndLifeBonus}};
  TRace& race = TheRace();
  for (const auto& c : cases) {
    SCOPED_TRACE(int(c.Kind));
    race.Score = 1000;
    race.Lives = c.LivesBefore;
    Snd_CallLog().clear();
    OneBonusAt(410, 410, c.Kind);  // the whole box on the bike
    B().Step(1);
    EXPECT_FALSE(B().Slots[1].Active);
    EXPECT_EQ(race.Score, 1000 + c.Points);
    EXPECT_EQ(race.Lives, c.LivesAfter);
    EXPECT_EQ(Plays(c.Sound), 1);
  }
}

TEST_F(Bonuses, ARetryLaysNewBonuses) {
  for (TBonus::TSlot& s : B().Slots) s.Active = false;
  Bike().StartLevel(false);
  EXPECT_GT(B().ActiveCount(), 0);
}

}  // namespace
