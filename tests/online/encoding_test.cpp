// The payload and its encoding.
#include <gtest/gtest.h>

#include <random>
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

TEST(ScoreEncoding, CodeDecodesBackToTheBytesOfEveryLength) {
  std::mt19937 random(16);
  std::uniform_int_distribution<int> byte(0, 255);
  // Every length up to 80 meets every remainder of the five-bit groups and of the bytes.
  for (size_t length = 0; length <= 80; ++length) {
    for (int sample = 0; sample < 20; ++sample) {
      std::string bytes(length, '\0');
      for (char& c : bytes) c = static_cast<char>(byte(random));
      const std::string code = BitTextToCode(BytesToBitText(bytes));
      ASSERT_EQ(DecodeSubmissionCode(code), bytes) << "length " << length << ", code " << code;
    }
  }
}

TEST(ScoreEncoding, ExamplesDecodeBack) {
  EXPECT_EQ(DecodeSubmissionCode(AlphabetAt({6, 2, 24, 19, 3})), "abc");
  EXPECT_EQ(CodeToBitText(AlphabetAt({6, 2, 24, 19, 3})), "0011000010110001001100011");
  const std::string payload = ScorePayload("AB", 500, "_______");
  EXPECT_EQ(DecodeSubmissionCode(BitTextToCode(BytesToBitText(payload))), "type=0|name=AB|score=500|key=X|p=|add=_______|z=00");
}

TEST(ScoreEncoding, DecoderRefusesWhatNoEncodingGives) {
  struct Case { std::string code; const char* why; };
  const Case cases[] = {
      {"QWE0", "0 is not in the alphabet"},
      {"qwer", "lower case is not in the alphabet"},
      {"QW-E", "punctuation"},
      {AlphabetAt({16, 0}), "10 bits: a 1 in the two of front padding"},
      {AlphabetAt({0, 0, 0}), "15 bits: seven of padding is more than BitTextToCode adds"},
  };
  for (const Case& c : cases) EXPECT_EQ(DecodeSubmissionCode(c.code), std::nullopt) << c.why;
  EXPECT_EQ(BitTextToBytes("0000000x"), std::nullopt) << "only 0 and 1 are bits";
}

TEST(ScoreEncoding, PayloadParsesBackIntoItsFields) {
  struct Case { const char* name; int32_t score; const char* country; };
  const Case cases[] = {{"", 0, ""}, {"AB", 500, "_______"}, {"Zubo Kranz 1", -1500, "Czech Republic"}, {"ABC", 0, ""}};
  for (const Case& c : cases) {
    const std::string payload = ScorePayload(c.name, c.score, c.country);
    const ScorePayloadParse parsed = ParseScorePayload(payload);
    ASSERT_TRUE(parsed.Fields) << payload << ": " << parsed.Error;
    EXPECT_EQ(parsed.Fields->Name, c.name);
    EXPECT_EQ(parsed.Fields->Score, std::to_string(c.score));
    EXPECT_EQ(parsed.Fields->Country, c.country);
  }
}

std::string PaddedToFive(std::string text) { return text.append((5 - text.size() % 5) % 5, '0'); }

TEST(ScoreEncoding, PayloadOutOfShapeIsRefused) {
  const std::string cases[] = {
      PaddedToFive("type=0|score=500|name=AB|key=X|p=|add=|z="),  // fields swapped
      PaddedToFive("type=0|name=AB|score=500|key=X|add=|z="),     // p= missing
      PaddedToFive("type=0|name=AB|score=500|key=X|p=|add="),     // z= missing
      PaddedToFive("type=1|name=AB|score=500|key=X|p=|add=|z="),  // fixed values changed
      PaddedToFive("type=0|name=AB|score=500|key=Y|p=|add=|z="),
      PaddedToFive("type=0|name=AB|score=500|key=X|p=1|add=|z="),
      PaddedToFive("type=0|name=A|B|score=500|key=X|p=|add=|z="),  // "|" inside a field
      PaddedToFive("type=0|name=AB|score=500|key=X|p=|add=|z=|z="),
      PaddedToFive("type=0|name=AB|score=500|key=X|p=|add=|z=x"),
      "type=0|name=AB|score=500|key=X|p=|add=|z=0010",    // padding not all 0
      "type=0|name=ABCD|score=500|key=X|p=|add=|z=0000000",  // more padding than needed
      "type=0|name=AB|score=500|key=X|p=|add=|z=0",       // length not a multiple of 5
      "",
  };
  for (const std::string& payload : cases) EXPECT_FALSE(ParseScorePayload(payload).Fields) << payload;
}

}  // namespace
