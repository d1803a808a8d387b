// The score submission over the network: what the server receives, and the failures the game
// must survive. Every server listens on 127.0.0.1 with a port the system chooses.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <httplib.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <mutex>
#include <thread>

#include "loopback.h"
#include "online/online.h"
#include "platform/platform.h"

namespace {

using ::testing::Lt;

using loopback::DecodeSubmission;
using loopback::LoopbackServer;
using loopback::SilentSocket;

class SubmissionTest : public ::testing::Test {
protected:
  void SetUp() override {
    savedServer_ = ScoreServer();
  }
  void TearDown() override { SetScoreServer(savedServer_); }

  // Sends to `server` and returns how long the game stood still.
  static std::chrono::milliseconds SendTo(const std::string& server) {
    SetScoreServer(server);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_NO_THROW(SendScoreOnline("AB", 500, "_______"));
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
  }

  // Generous: the request's own bound plus slack for a loaded machine.
  static constexpr std::chrono::milliseconds Bound{SubmitTimeoutMs + 20000};

  std::string savedServer_;
};

TEST_F(SubmissionTest, ServerReceivesTheEncodedResult) {
  std::mutex mutex;
  std::vector<httplib::Request> received;
  const LoopbackServer server([&](httplib::Server& s) {
    s.Get("/cgi/version.pl", [&](const httplib::Request& request, httplib::Response& response) {
      const std::lock_guard<std::mutex> lock(mutex);
      received.push_back(request);
      response.set_content("<html>thanks</html>", "text/html");
    });
  });
  SendTo(server.Address());

  const std::lock_guard<std::mutex> lock(mutex);
  ASSERT_EQ(received.size(), 1u);
  const httplib::Request& request = received[0];
  EXPECT_EQ(request.method, "GET");
  const std::string prefix = "/cgi/version.pl?hs&prg=ZuboKranz&inf=";
  ASSERT_EQ(request.target.compare(0, prefix.size(), prefix), 0) << request.target;
  EXPECT_EQ(DecodeSubmission(request.target.substr(prefix.size())), "type=0|name=AB|score=500|key=X|p=|add=_______|z=00");
  EXPECT_EQ(request.get_header_value("Accept"), "text/html, */*");
  EXPECT_EQ(request.get_header_value("User-Agent"), "Mozilla/3.0 (compatible; Indy Library)");
  EXPECT_EQ(request.get_header_value_count("Accept"), 1u);
  EXPECT_EQ(request.get_header_value_count("User-Agent"), 1u);
}

TEST_F(SubmissionTest, CookiesOfARedirectAreSentBack) {
  std::mutex mutex;
  std::string cookie = "<not asked>";
  const LoopbackServer server([&](httplib::Server& s) {
    s.Get("/cgi/version.pl", [](const httplib::Request&, httplib::Response& response) {
      response.set_header("Set-Cookie", "session=42; Path=/");
      response.set_redirect("/cgi/thanks.pl");
    });
    s.Get("/cgi/thanks.pl", [&](const httplib::Request& request, httplib::Response& response) {
      const std::lock_guard<std::mutex> lock(mutex);
      cookie = request.get_header_value("Cookie");
      response.set_content("ok", "text/plain");
    });
  });
  SendTo(server.Address());
  const std::lock_guard<std::mutex> lock(mutex);
  EXPECT_EQ(cookie, "session=42");
}

TEST_F(SubmissionTest, FailuresAreSilentAndBounded) {
  const LoopbackServer failing([](httplib::Server& s) {
    s.Get("/cgi/version.pl", [](const httplib::Request&, httplib::Response& response) {
      response.status = 500;
      response.set_content("broken", "text/plain");
    });
  });
  const SilentSocket refusing(false);
  const SilentSocket neverAnswering(true);
  for (const std::string& server : {failing.Address(), refusing.Address(), neverAnswering.Address(),
                                    std::string("http://name.invalid"), std::string("not a url")}) {
    SCOPED_TRACE(server);
    EXPECT_THAT(SendTo(server), Lt(Bound));
  }
}

TEST(HttpGet, ReportsResponsesAndFailures) {
  const LoopbackServer server([](httplib::Server& s) {
    s.Get("/ok", [](const httplib::Request&, httplib::Response& response) { response.set_content("hello", "text/plain"); });
    s.Get("/error", [](const httplib::Request&, httplib::Response& response) {
      response.status = 500;
      response.set_content("broken", "text/plain");
    });
  });
  const SilentSocket refusing(false);

  HttpGetRequest request;
  request.Url = server.Address() + "/ok";
  HttpGetResult result = Net_HttpGet(request);
  EXPECT_TRUE(result.Ok);
  EXPECT_EQ(result.Status, 200);
  EXPECT_EQ(result.Body, "hello");

  request.Url = server.Address() + "/error";
  result = Net_HttpGet(request);
  EXPECT_TRUE(result.Ok);
  EXPECT_EQ(result.Status, 500);
  EXPECT_EQ(result.Body, "broken");

  request.Url = refusing.Address() + "/ok";
  result = Net_HttpGet(request);
  EXPECT_FALSE(result.Ok);
  EXPECT_EQ(result.Status, 0);
  EXPECT_FALSE(result.Error.empty());
}

TEST(HttpGet, GivesUpOnASilentServerAtTheTimeout) {
  const SilentSocket neverAnswering(true);
  HttpGetRequest request;
  request.Url = neverAnswering.Address() + "/";
  request.TimeoutMs = 500;
  const auto start = std::chrono::steady_clock::now();
  const HttpGetResult result = Net_HttpGet(request);
  EXPECT_FALSE(result.Ok);
  EXPECT_THAT(std::chrono::steady_clock::now() - start, Lt(std::chrono::seconds(20)));
}

}  // namespace
