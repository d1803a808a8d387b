// The score submission.
#include "online/online.h"

#include "platform/platform.h"

namespace {

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
