// The text a score travels in: the payload (name, score and country in fixed fields) and its code
// of capital letters and digits. Each direction has one implementation here, shared by the game
// that sends and the score server that reads.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// Output character of each 5-bit value.
constexpr std::string_view SubmissionAlphabet = "QWERTYUPASDFGHJKLZXCVBN987654321";

// "type=0|name=<name>|score=<score>|key=X|p=|add=<country>|z=", then "0"s up to a multiple of 5
// characters. Name and country go in unescaped.
std::string ScorePayload(std::string_view name, int32_t score, std::string_view country);
// Eight "0"/"1" per byte, most significant bit first.
std::string BytesToBitText(std::string_view text);
// Front-pads with "0" to a multiple of 5, then maps each group of five (any character but "0"
// counts as 1) to its SubmissionAlphabet character.
std::string BitTextToCode(std::string_view bits);

// The inverse of BitTextToCode: five "0"/"1" per character, front padding kept. Empty when a
// character is not in SubmissionAlphabet.
std::optional<std::string> CodeToBitText(std::string_view code);
// The inverse of BytesToBitText after BitTextToCode: drops the front padding (fewer than five
// "0"s up to a whole number of bytes) and turns each eight digits back into a byte. Empty when
// the padding is longer or holds a "1".
std::optional<std::string> BitTextToBytes(std::string_view bits);
// Code back to the bytes it was made from: CodeToBitText, then BitTextToBytes.
std::optional<std::string> DecodeSubmissionCode(std::string_view code);

// The three free fields of a payload, as views into it. Score is the text as sent.
struct ScorePayloadFields {
  std::string_view Name;
  std::string_view Score;
  std::string_view Country;
};

struct ScorePayloadParse {
  std::optional<ScorePayloadFields> Fields;
  std::string Error;  // why Fields is empty
};

// The inverse of ScorePayload: the fixed fields in their order with their fixed values, no "|"
// inside a free field, and exactly the "0" padding ScorePayload adds. The free fields' contents
// are not judged here.
ScorePayloadParse ParseScorePayload(std::string_view payload);
