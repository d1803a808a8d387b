// The payload and its encoding.
#include <gtest/gtest.h>

#include <string>

#include "online/online.h"

namespace {

std::string AlphabetAt(std::initializer_list<int> values) {
  std::string code;
  for (const int v : values) code.push_back(SubmissionAlphabet[v]);
  return code;
}

TEST(ScoreEncoding, AlphabetHasThirtyTwoDistinctCharacters) {
  ASSERT_EQ(SubmissionAlphabet.size(), 32u);
  for (size_t i = 0; i < SubmissionAlphabet.size(); ++i)
    EXPECT_EQ(SubmissionAlphabet.find(SubmissionAlphabet[i]), i) << SubmissionAlphabet[i];
}

TEST(ScoreEncoding, BytesBecomeBitsMostSignificantFirst) {
  EXPECT_EQ(BytesToBitText("abc"), "011000010110001001100011");
  EXPECT_EQ(BytesToBitText(std::string("\x00\xFF\x80", 3)), "000000001111111110000000");
  EXPECT_EQ(BytesToBitText(""), "");
}

TEST(ScoreEncoding, BitsBecomeCodeInGroupsOfFivePaddedAtTheFront) {
  struct Case { const char* bits; std::string code; };
  const Case cases[] = {
      {"011000010110001001100011", AlphabetAt({6, 2, 24, 19, 3})},  // "abc"
      {"1", AlphabetAt({1})},
      {"10000", AlphabetAt({16})},
      {"111110000000001", AlphabetAt({31, 0, 1})},
      {"x0000", AlphabetAt({16})},  // anything but "0" counts as 1
      {"", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(BitTextToCode(c.bits), c.code) << c.bits;
}

TEST(ScoreEncoding, PayloadIsPaddedToAMultipleOfFive) {
  struct Case { const char* name; int32_t score; const char* country; std::string payload; };
  const Case cases[] = {
      {"", 0, "", "type=0|name=|score=0|key=X|p=|add=|z=000"},
      {"AB", 500, "_______", "type=0|name=AB|score=500|key=X|p=|add=_______|z=00"},
      {"ABC", 0, "", "type=0|name=ABC|score=0|key=X|p=|add=|z="},
      {"Zubo Kranz 1", -1500, "Czech Republic", "type=0|name=Zubo Kranz 1|score=-1500|key=X|p=|add=Czech Republic|z=000"},
  };
  for (const Case& c : cases) {
    const std::string payload = ScorePayload(c.name, c.score, c.country);
    EXPECT_EQ(payload, c.payload);
    EXPECT_EQ(payload.size() % 5, 0u) << payload;
  }
  EXPECT_EQ(ScorePayload("", 0, "").size(), 40u);
  EXPECT_EQ(ScorePayload("AB", 500, "_______").size(), 50u);
}

TEST(ScoreEncoding, AddressesOnTheScoreServer) {
  const std::string saved = ScoreServer();
  SetScoreServer("http://scores.example:8081/");
  const std::string address = ScoreSubmissionAddress(ScorePayload("AB", 500, "_______"));
  const std::string prefix = "http://scores.example:8081/cgi/version.pl?hs&prg=ZuboKranz&inf=";
  ASSERT_EQ(address.compare(0, prefix.size(), prefix), 0) << address;
  const std::string code = address.substr(prefix.size());
  EXPECT_EQ(code.size(), 80u);
  EXPECT_EQ(code.find_first_not_of(SubmissionAlphabet), std::string::npos);
  EXPECT_EQ(WorldHighScoresAddress(), "http://scores.example:8081/cgi/version.pl?prg=ZuboKranz&show&type=0");
  SetScoreServer(saved);
}

}  // namespace
