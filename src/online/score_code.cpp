// The score payload and its code, both directions.
#include "online/score_code.h"

namespace {

constexpr size_t BitsPerGroup = 5;
constexpr size_t BitsPerByte = 8;
constexpr size_t PayloadBlock = 5;

constexpr std::string_view NameField = "type=0|name=";
constexpr std::string_view ScoreField = "|score=";
constexpr std::string_view CountryField = "|key=X|p=|add=";
constexpr std::string_view EndField = "|z=";

size_t PaddingFor(size_t length, size_t block) { return (block - length % block) % block; }

// Takes `prefix` off the front of `rest`; false when it is not there.
bool Consume(std::string_view& rest, std::string_view prefix) {
  if (rest.substr(0, prefix.size()) != prefix) return false;
  rest.remove_prefix(prefix.size());
  return true;
}

// The free field at the front of `rest`, up to the next "|" (which stays).
std::string_view FreeField(std::string_view& rest) {
  const std::string_view field = rest.substr(0, rest.find('|'));
  rest.remove_prefix(field.size());
  return field;
}

ScorePayloadParse Refuse(std::string error) { return {std::nullopt, std::move(error)}; }

}  // namespace

std::string ScorePayload(std::string_view name, int32_t score, std::string_view country) {
  std::string payload(NameField);
  payload.append(name);
  payload.append(ScoreField).append(std::to_string(score));
  payload.append(CountryField).append(country);
  payload.append(EndField);
  payload.append(PaddingFor(payload.size(), PayloadBlock), '0');
  return payload;
}

std::string BytesToBitText(std::string_view text) {
  std::string bits;
  bits.reserve(text.size() * BitsPerByte);
  for (const char c : text)
    for (int bit = BitsPerByte - 1; bit >= 0; --bit) bits.push_back((static_cast<unsigned char>(c) >> bit) & 1 ? '1' : '0');
  return bits;
}

std::string BitTextToCode(std::string_view bits) {
  const std::string padded = std::string(PaddingFor(bits.size(), BitsPerGroup), '0') + std::string(bits);
  std::string code;
  code.reserve(padded.size() / BitsPerGroup);
  for (size_t group = 0; group < padded.size(); group += BitsPerGroup) {
    unsigned value = 0;
    for (size_t i = 0; i < BitsPerGroup; ++i) value = value * 2 + (padded[group + i] != '0' ? 1 : 0);
    code.push_back(SubmissionAlphabet[value]);
  }
  return code;
}

std::optional<std::string> CodeToBitText(std::string_view code) {
  std::string bits;
  bits.reserve(code.size() * BitsPerGroup);
  for (const char c : code) {
    const size_t value = SubmissionAlphabet.find(c);
    if (value == std::string_view::npos) return std::nullopt;
    for (int bit = BitsPerGroup - 1; bit >= 0; --bit) bits.push_back((value >> bit) & 1 ? '1' : '0');
  }
  return bits;
}

std::optional<std::string> BitTextToBytes(std::string_view bits) {
  const size_t padding = bits.size() % BitsPerByte;
  if (padding >= BitsPerGroup || bits.substr(0, padding).find_first_not_of('0') != std::string_view::npos)
    return std::nullopt;
  bits.remove_prefix(padding);
  std::string bytes;
  bytes.reserve(bits.size() / BitsPerByte);
  for (size_t at = 0; at < bits.size(); at += BitsPerByte) {
    unsigned value = 0;
    for (size_t i = 0; i < BitsPerByte; ++i) {
      const char digit = bits[at + i];
      if (digit != '0' && digit != '1') return std::nullopt;
      value = value * 2 + (digit == '1' ? 1 : 0);
    }
    bytes.push_back(static_cast<char>(value));
  }
  return bytes;
}

std::optional<std::string> DecodeSubmissionCode(std::string_view code) {
  const std::optional<std::string> bits = CodeToBitText(code);
  if (!bits) return std::nullopt;
  return BitTextToBytes(*bits);
}

ScorePayloadParse ParseScorePayload(std::string_view payload) {
  if (payload.size() % PayloadBlock != 0) return Refuse("length is not a multiple of 5");
  std::string_view rest = payload;
  ScorePayloadFields fields;
  if (!Consume(rest, NameField)) return Refuse("does not start with type=0|name=");
  fields.Name = FreeField(rest);
  if (!Consume(rest, ScoreField)) return Refuse("no |score= after the name");
  fields.Score = FreeField(rest);
  if (!Consume(rest, CountryField)) return Refuse("no |key=X|p=|add= after the score");
  fields.Country = FreeField(rest);
  if (!Consume(rest, EndField)) return Refuse("no |z= after the country");
  if (rest.size() != PaddingFor(payload.size() - rest.size(), PayloadBlock) ||
      rest.find_first_not_of('0') != std::string_view::npos)
    return Refuse("something other than the 0 padding after |z=");
  return {fields, {}};
}
