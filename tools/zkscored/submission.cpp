// What the server accepts as a score.
#include "online/score_code.h"
#include "scored.h"

namespace scored {
namespace {

bool IsNameChar(char c) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == ' ';
}

bool IsPrintableAscii(char c) { return c >= 0x20 && c <= 0x7E; }

template <typename Pred>
bool AllOf(std::string_view text, Pred pred) {
  for (const char c : text)
    if (!pred(c)) return false;
  return true;
}

// A plain decimal as the game writes it: digits only, no sign, no leading zero.
std::optional<int32_t> ParseScore(std::string_view text) {
  if (text.empty() || text.size() > 8 || !AllOf(text, [](char c) { return c >= '0' && c <= '9'; }) ||
      (text.size() > 1 && text[0] == '0'))
    return std::nullopt;
  int32_t value = 0;
  for (const char c : text) value = value * 10 + (c - '0');
  if (value > MaxScore) return std::nullopt;
  return value;
}

SubmissionCheck Refuse(std::string error) { return {std::nullopt, std::move(error)}; }

}  // namespace

SubmissionCheck CheckSubmission(std::string_view code) {
  if (code.empty()) return Refuse("empty code");
  if (code.size() % 8 != 0) return Refuse("code length is not a multiple of 8");
  const std::optional<std::string> payload = DecodeSubmissionCode(code);
  if (!payload) return Refuse("code holds a character outside its alphabet");
  const ScorePayloadParse parsed = ParseScorePayload(*payload);
  if (!parsed.Fields) return Refuse("payload " + parsed.Error);
  const ScorePayloadFields& fields = *parsed.Fields;
  if (fields.Name.size() > MaxNameLength) return Refuse("name longer than 12 characters");
  if (!AllOf(fields.Name, IsNameChar)) return Refuse("name holds a character other than letters, digits and space");
  const std::optional<int32_t> score = ParseScore(fields.Score);
  if (!score) return Refuse("score is not a whole number from 0 to 10000000");
  if (fields.Country.size() > MaxCountryLength) return Refuse("country longer than 16 characters");
  if (!AllOf(fields.Country, IsPrintableAscii)) return Refuse("country holds a character that is not printable ASCII");
  return {Submission{std::string(fields.Name), *score, std::string(fields.Country)}, {}};
}

}  // namespace scored
