// The score submission.
#include "online/online.h"

#include "platform/platform.h"

namespace {

constexpr int BitsPerGroup = 5;
constexpr size_t PayloadBlock = 5;

std::string& ScoreServerSetting() {
  static std::string server = ZK_SCORE_SERVER;
  return server;
}

}  // namespace

void SetScoreServer(const std::string& server) {
  const size_t end = server.find_last_not_of('/');
  ScoreServerSetting() = server.substr(0, end == std::string::npos ? 0 : end + 1);
}

const std::string& ScoreServer() { return ScoreServerSetting(); }

std::string WorldHighScoresAddress() { return ScoreServer() + std::string(WorldHighScoresPathAndQuery); }

std::string ScorePayload(std::string_view name, int32_t score, std::string_view country) {
  std::string payload = "type=0|name=";
  payload.append(name);
  payload.append("|score=").append(std::to_string(score));
  payload.append("|key=X|p=|add=").append(country);
  payload.append("|z=");
  payload.append((PayloadBlock - payload.size() % PayloadBlock) % PayloadBlock, '0');
  return payload;
}

std::string BytesToBitText(std::string_view text) {
  std::string bits;
  bits.reserve(text.size() * 8);
  for (const char c : text)
    for (int bit = 7; bit >= 0; --bit) bits.push_back((static_cast<unsigned char>(c) >> bit) & 1 ? '1' : '0');
  return bits;
}

std::string BitTextToCode(std::string_view bits) {
  const std::string padded = std::string((BitsPerGroup - bits.size() % BitsPerGroup) % BitsPerGroup, '0') + std::string(bits);
  std::string code;
  code.reserve(padded.size() / BitsPerGroup);
  for (size_t group = 0; group < padded.size(); group += BitsPerGroup) {
    unsigned value = 0;
    for (int i = 0; i < BitsPerGroup; ++i) value = value * 2 + (padded[group + i] != '0' ? 1 : 0);
    code.push_back(SubmissionAlphabet[value]);
  }
  return code;
}

std::string ScoreSubmissionAddress(std::string_view payload) {
  return ScoreServer() + std::string(SubmitScorePathAndQuery) + BitTextToCode(BytesToBitText(payload));
}

void SendScoreOnline(std::string_view name, int32_t score, std::string_view country) {
  try {
    HttpGetRequest request;
    request.Url = ScoreSubmissionAddress(ScorePayload(name, score, country));
    request.Headers = {std::string(SubmitAcceptHeader), std::string(SubmitUserAgentHeader)};
    request.HandleCookies = true;
    request.TimeoutMs = SubmitTimeoutMs;
    Net_HttpGet(request);  // the answer is not read
  } catch (...) {
    // A failed submission changes nothing: the entry is in the local table either way.
  }
}
