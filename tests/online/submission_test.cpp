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

#include "app/app.h"
#include "online/online.h"

namespace {

using ::testing::Lt;

// An HTTP server on loopback for the length of a test.
class LoopbackServer {
public:
  explicit LoopbackServer(const std::function<void(httplib::Server&)>& routes) {
    routes(server_);
    port_ = server_.bind_to_any_port("127.0.0.1");
    thread_ = std::thread([this] { server_.listen_after_bind(); });
    for (int i = 0; i < 5000 && !server_.is_running(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  ~LoopbackServer() {
    server_.stop();
    thread_.join();
  }
  std::string Address() const { return "http://127.0.0.1:" + std::to_string(port_); }

private:
  httplib::Server server_;
  std::thread thread_;
  int port_ = -1;
};

// A TCP socket on loopback that never answers: listening (connections complete and then wait
// for ever) or only bound (connections are refused).
class SilentSocket {
public:
  explicit SilentSocket(bool listening) {
    fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (::bind(fd_, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        (listening && ::listen(fd_, 4) != 0) ||
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length) != 0)
      ADD_FAILURE() << "no loopback socket";
    port_ = ntohs(address.sin_port);
  }
  ~SilentSocket() { ::close(fd_); }
  std::string Address() const { return "http://127.0.0.1:" + std::to_string(port_); }

private:
  int fd_ = -1;
  int port_ = 0;
};

// Undoes the encoding: each character back to five bits, the bits back to bytes.
std::string DecodeSubmission(const std::string& code) {
  std::string bits;
  for (const char c : code) {
    const size_t value = SubmissionAlphabet.find(c);
    if (value == std::string_view::npos) return "<bad character>";
    for (int bit = 4; bit >= 0; --bit) bits.push_back((value >> bit) & 1 ? '1' : '0');
  }
  std::string bytes;
  for (size_t i = 0; i + 8 <= bits.size(); i += 8) bytes.push_back(static_cast<char>(std::stoi(bits.substr(i, 8), nullptr, 2)));
  return bytes;
}

class SubmissionTest : public ::testing::Test {
protected:
  void SetUp() override {
    savedServer_ = ScoreServer();
    PlayerName = "AB";
    Score = 500;
    Options.Country = "_______";
  }
  void TearDown() override { SetScoreServer(savedServer_); }

  // Sends to `server` and returns how long the game stood still.
  static std::chrono::milliseconds SendTo(const std::string& server) {
    SetScoreServer(server);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_NO_THROW(SendScoreOnline());
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
