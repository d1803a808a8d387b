// The high-score table's rules: digest, qualification, insertion order.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "save/save.h"

namespace {

class HighScoreTableTest : public ::testing::Test {
protected:
  void SetUp() override {
    HighScores.fill(THighScore{});
    ResetHighScores();
  }

  static std::vector<std::string> Names() {
    std::vector<std::string> names;
    for (int n = 1; n <= HighScoreSlotCount; ++n) names.push_back(HighScores[n].Name);
    return names;
  }
};

TEST_F(HighScoreTableTest, DefaultTableAndItsDigest) {
  for (int n = 1; n <= HighScoreTableSize; ++n) {
    EXPECT_EQ(HighScores[n].Name, "ANONYMOUS");
    EXPECT_EQ(HighScores[n].Score, 11000 - 1000 * n);
  }
  EXPECT_EQ(HighScoreDigest(), "\x38\x8C\x96\x8C\xCA\xE2\xF6\x52\x3E");
  StoredHighScoreDigest = HighScoreDigest();
  EXPECT_TRUE(HighScoreDigestValid());
}

TEST_F(HighScoreTableTest, ResetLeavesTheCandidateSlot) {
  HighScores[11] = THighScore{"fell out", 12};
  HighScores[4] = THighScore{"someone", 1};
  ResetHighScores();
  EXPECT_EQ(HighScores[4].Name, "ANONYMOUS");
  EXPECT_EQ(HighScores[11].Name, "fell out");
}

TEST_F(HighScoreTableTest, DigestSeesEveryChangeToTheTable) {
  const std::string original = HighScoreDigest();
  struct Case { int slot; const char* name; int32_t score; };
  const Case changes[] = {
      {1, "ANONYMOUT", 10000}, {10, "ANONYMOUS", 1001}, {5, "ANONYMOUS ", 6000}, {7, "", 4000},
      {11, "ANONYMOUS", 99999},  // the candidate slot is not part of the table
  };
  for (const Case& c : changes) {
    ResetHighScores();
    HighScores[c.slot] = THighScore{c.name, c.score};
    EXPECT_EQ(HighScoreDigest() != original, c.slot != 11) << c.slot << " " << c.name;
  }
  StoredHighScoreDigest = original.substr(0, 8);
  ResetHighScores();
  EXPECT_FALSE(HighScoreDigestValid());
}

TEST_F(HighScoreTableTest, DigestCoversScoreDigitsBeyondTheLongestName) {
  for (int n = 1; n <= HighScoreTableSize; ++n) HighScores[n].Name = "A";
  const std::string digest = HighScoreDigest();
  EXPECT_EQ(digest.size(), 5u);  // "10000"
  HighScores[1].Score = 10009;
  EXPECT_NE(HighScoreDigest(), digest);

  // Even a table of empty names has a digest, so a missing options file still resets it.
  for (int n = 1; n <= HighScoreTableSize; ++n) HighScores[n] = THighScore{"", 0};
  EXPECT_EQ(HighScoreDigest().size(), 1u);
  StoredHighScoreDigest.clear();
  EXPECT_FALSE(HighScoreDigestValid());
}

TEST_F(HighScoreTableTest, DigestBytesStayPrintable) {
  HighScores[1] = THighScore{std::string("\xFF\xFF\x00\x0D\x0A", 5), -2147483647 - 1};
  for (const char c : HighScoreDigest()) EXPECT_GE(static_cast<unsigned char>(c), 32);
  EXPECT_EQ(DigestStep(255, 255), (255 + 255) % 224 + 32);
  EXPECT_EQ(DigestStep(0, 0), 32);
  EXPECT_EQ(DigestStep(0, 223), 255);
}

TEST_F(HighScoreTableTest, ScoreMustBeatTheTenth) {
  EXPECT_FALSE(ScoreQualifies(1000));
  EXPECT_TRUE(ScoreQualifies(1001));
  EXPECT_FALSE(ScoreQualifies(-5));
  HighScores[1].Score = -10;  // the table need not be sorted: any slot counts
  EXPECT_TRUE(ScoreQualifies(-5));
}

TEST_F(HighScoreTableTest, InsertionPlacesTheEntryBelowEqualScores) {
  struct Case { int32_t score; int slot; };
  const Case cases[] = {{1001, 10}, {99999, 1}, {10000, 2}, {5500, 6}, {1000, 11}};
  for (const Case& c : cases) {
    ResetHighScores();
    HighScores[10].Name = "TENTH";
    InsertHighScore("NEW", c.score);
    EXPECT_EQ(HighScores[c.slot].Name, "NEW") << c.score;
    EXPECT_EQ(HighScores[c.slot].Score, c.score);
    if (c.slot != 11) {
      EXPECT_EQ(HighScores[11].Name, "TENTH") << c.score;
    }
  }
}

TEST_F(HighScoreTableTest, TieWithSlotsThreeAndFourLandsInFive) {
  for (int n = 1; n <= HighScoreTableSize; ++n) HighScores[n].Name = "P" + std::to_string(n);
  HighScores[3].Score = HighScores[4].Score = 7500;
  InsertHighScore("NEW", 7500);
  EXPECT_THAT(Names(), ::testing::ElementsAre("P1", "P2", "P3", "P4", "NEW", "P5", "P6", "P7", "P8", "P9", "P10"));
  EXPECT_EQ(HighScores[11].Score, 1000);
}

TEST_F(HighScoreTableTest, SortIsStableOverAllElevenSlots) {
  const int32_t scores[] = {5, 7, 5, 9, 7, 5, 1, 9, 0, 5, 7};
  for (int n = 1; n <= HighScoreSlotCount; ++n) HighScores[n] = THighScore{"s" + std::to_string(n), scores[n - 1]};
  SortHighScores();
  EXPECT_THAT(Names(), ::testing::ElementsAre("s4", "s8", "s2", "s5", "s11", "s1", "s3", "s6", "s10", "s7", "s9"));
}

}  // namespace
