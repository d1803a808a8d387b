// The server against hostile clients and a database file taken away: request heads judged
// against the limits, early answers on real sockets, connection caps, slow and idle clients cut
// off while others are served, the log escaped, the file checked before each commit, other
// servers' writes seen, and each answered submission committed.
#include <arpa/inet.h>
#include <gmock/gmock.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <atomic>

#include "scored_test_util.h"

namespace {

using ::testing::HasSubstr;
using ::testing::Not;
using scored_test::InProcessServer;
using scored_test::JsonList;
using scored_test::StatusOf;
using scored_test::SubmissionTarget;
using scored_test::TempDir;
namespace fs = std::filesystem;

// A raw connection to the server on 127.0.0.1 from `from`, with a receive timeout.
class RawClient {
public:
  RawClient(int port, const char* from = "127.0.0.1") {
    fd_ = socket(AF_INET, SOCK_STREAM, 0);
    const timeval tv{10, 0};
    setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    inet_pton(AF_INET, from, &local.sin_addr);
    bind(fd_, reinterpret_cast<sockaddr*>(&local), sizeof local);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    inet_pton(AF_INET, "127.0.0.1", &address.sin_addr);
    connected_ = connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  }
  ~RawClient() { close(fd_); }
  bool Connected() const { return connected_; }
  bool Send(const std::string& bytes) {
    return send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(bytes.size());
  }
  // Everything until the server closes (or 10 s of silence).
  std::string ReadAll() {
    std::string in;
    char buffer[65536];
    ssize_t n;
    while ((n = recv(fd_, buffer, sizeof buffer, 0)) > 0) in.append(buffer, static_cast<size_t>(n));
    return in;
  }
  int Status() {
    const std::string in = ReadAll();
    return in.rfind("HTTP/1.1 ", 0) == 0 ? std::atoi(in.c_str() + 9) : 0;
  }

private:
  int fd_ = -1;
  bool connected_ = false;
};

std::string Repeated(const std::string& piece, int times) {
  std::string out;
  for (int i = 0; i < times; ++i) out += piece;
  return out;
}

const std::string kList = scored_test::JsonListTarget();

TEST(RequestHead, IsJudgedAgainstTheLimits) {
  scored::ConnectionLimits limits;
  limits.RequestLineBytes = 100;
  limits.HeadBytes = 400;
  limits.HeaderLines = 5;
  limits.BodyBytes = 50;
  struct Case {
    const char* what;
    std::string bytes;
    int status;
    size_t length, body;
  };
  const std::string line = "GET / HTTP/1.1\r\n";
  const Case cases[] = {
      {"nothing yet", "", 0, 0, 0},
      {"a request line arriving", "GET /abc", 0, 0, 0},
      {"headers arriving", line + "Host: x\r\n", 0, 0, 0},
      {"a whole head", line + "Host: x\r\n\r\n", 200, line.size() + 11, 0},
      {"a head and a body within the limit", line + "Content-Length: 50\r\n\r\nbody", 200, line.size() + 22, 50},
      {"the next request after the head", line + "\r\nGET", 200, line.size() + 2, 0},
      {"a request line over the limit", "GET /" + std::string(120, 'a'), 414, 0, 0},
      {"a whole request line over the limit", "GET /" + std::string(120, 'a') + " HTTP/1.1\r\n", 414, 0, 0},
      {"a head over the limit", line + Repeated("X-A: b\r\n", 60), 431, 0, 0},
      {"too many header lines", line + Repeated("A:b\r\n", 6) + "\r\n", 431, 0, 0},
      {"a body over the limit", line + "Content-Length: 51\r\n\r\n", 413, 0, 0},
      {"a body of 256 MB", line + "content-length: 268435456\r\n\r\n", 413, 0, 0},
      {"a body length of 40 digits", line + "Content-Length: " + std::string(40, '9') + "\r\n\r\n", 413, 0, 0},
      {"a body length that is not a number", line + "Content-Length: 1x\r\n\r\n", 400, 0, 0},
      {"a chunked body", line + "Transfer-Encoding: chunked\r\n\r\n", 411, 0, 0},
  };
  for (const Case& c : cases) {
    const scored::HeadCheck check = scored::CheckRequestHead(c.bytes, limits);
    EXPECT_EQ(check.Status, c.status) << c.what;
    if (c.status == 200) {
      EXPECT_EQ(check.Length, c.length) << c.what;
      EXPECT_EQ(check.BodyLength, c.body) << c.what;
    }
  }
}

TEST(HostileClients, RequestsBeyondTheLimitsAreAnsweredAtOnceWithoutBufferingThem) {
  InProcessServer server;
  struct Case {
    const char* what;
    std::string head;
    std::string filler;  // sent again and again after the head while the server reads
    int status;
  };
  const Case cases[] = {
      {"a 256 MB body", "POST /cgi/version.pl HTTP/1.1\r\nContent-Length: 268435456\r\n\r\n", std::string(65536, 'b'), 413},
      {"megabytes of tiny headers", "GET / HTTP/1.1\r\n", Repeated("a:b\r\n", 1000), 431},
      {"a request line of a megabyte", "GET /", std::string(65536, 'a'), 414},
      {"a chunked body", "POST / HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n", "", 411},
  };
  for (const Case& c : cases) {
    RawClient client(server.Port());
    ASSERT_TRUE(client.Connected());
    bool open = client.Send(c.head);
    // Far more than the socket buffers on both sides hold.
    for (size_t sent = 0; open && !c.filler.empty() && sent < (size_t{32} << 20); sent += c.filler.size())
      open = client.Send(c.filler);
    EXPECT_FALSE(open && !c.filler.empty()) << c.what << ": the server kept reading";
    EXPECT_EQ(client.Status(), c.status) << c.what;
  }
  EXPECT_EQ(StatusOf(*std::make_unique<httplib::Client>(server.Client()), kList), 200) << "and it still serves";
}

TEST(HostileClients, RangesAreNotServedOnGeneratedPages) {
  InProcessServer server;
  httplib::Client client = server.Client();
  ASSERT_EQ(StatusOf(client, SubmissionTarget("AB", 500, "")), 200);
  const httplib::Result whole = client.Get(kList.c_str());
  ASSERT_TRUE(whole);
  std::string ranges = "bytes=0-0";
  for (int i = 0; i < 2700; ++i) ranges += ",0-";
  const httplib::Result ranged = client.Get(kList.c_str(), {{"Range", ranges}});
  ASSERT_TRUE(ranged);
  EXPECT_EQ(ranged->status, 200);
  EXPECT_EQ(ranged->body, whole->body);
}

TEST(HostileClients, ConnectionsArePerAddressAndInTotalCapped) {
  scored::ServerSettings settings;
  settings.Limits.PerAddress = 3;
  settings.Limits.Total = 5;
  InProcessServer server(settings, {});
  std::vector<std::unique_ptr<RawClient>> idle;
  for (int i = 0; i < 3; ++i) idle.push_back(std::make_unique<RawClient>(server.Port(), "127.0.0.2"));
  RawClient fourth(server.Port(), "127.0.0.2");
  EXPECT_EQ(fourth.Status(), 503) << "beyond the address's share";
  for (int i = 0; i < 2; ++i) idle.push_back(std::make_unique<RawClient>(server.Port(), "127.0.0.3"));
  RawClient sixth(server.Port(), "127.0.0.4");
  EXPECT_EQ(sixth.Status(), 503) << "beyond the total";
  idle.pop_back();
  httplib::Client client = server.Client();
  int status = 0;
  // The freed place is counted free once the server has seen the close.
  for (int i = 0; i < 100 && status != 200; ++i) {
    status = StatusOf(client, kList);
    if (status != 200) std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  EXPECT_EQ(status, 200);
}

TEST(HostileClients, SlowAndIdleClientsAreCutOffWhileOthersAreServed) {
  scored::ServerSettings settings;
  settings.Limits.HeadSeconds = 1;
  settings.Limits.KeepAliveSeconds = 1;
  settings.Limits.Workers = 2;
  InProcessServer server(settings, {});
  std::vector<std::unique_ptr<RawClient>> idle;
  for (int i = 0; i < 100; ++i) idle.push_back(std::make_unique<RawClient>(server.Port(), "127.0.0.2"));
  RawClient slow(server.Port(), "127.0.0.3");
  ASSERT_TRUE(slow.Send("GET / HTTP/1.1\r\nHost: x\r\n"));
  httplib::Client client = server.Client();
  for (int i = 0; i < 5; ++i) EXPECT_EQ(StatusOf(client, kList), 200) << "with every worker's worth of idle clients";
  EXPECT_EQ(slow.Status(), 408);
  EXPECT_EQ(idle.front()->ReadAll(), "") << "an idle connection is closed without an answer";
}

TEST(HostileClients, EveryLoggedFieldIsEscaped) {
  const TempDir dir;
  const std::string logPath = (dir.Path() / "log.txt").string();
  std::FILE* log = std::fopen(logPath.c_str(), "w+");
  ASSERT_NE(log, nullptr);
  {
    scored::ServerSettings settings;
    settings.Log = log;
    settings.Limits.KeepAliveSeconds = 1;
    InProcessServer server(settings, {});
    RawClient client(server.Port());
    ASSERT_TRUE(client.Send("G\x1b[2JT\r /\x1b\x7f\\x HTTP/1.1\r\n\r\n"));
    client.Status();
    RawClient partial(server.Port());
    ASSERT_TRUE(partial.Send("\x1b]0;owned\x07 /" + std::string(9000, 'a')));
    EXPECT_EQ(partial.Status(), 414);
  }
  std::fflush(log);
  std::fclose(log);
  std::ifstream in(logPath, std::ios::binary);
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  for (const char c : text) EXPECT_TRUE(c == '\n' || (c >= 0x20 && c < 0x7F)) << "byte " << static_cast<int>(c) << " in\n" << text;
  EXPECT_THAT(text, HasSubstr("G\\x1B[2JT\\x0D"));
  EXPECT_THAT(text, HasSubstr("\\x1B]0;owned\\x07"));
}

TEST(DatabaseFile, RemovedOrReplacedIsRefusedWith503AndLogged) {
  for (const bool replaced : {false, true}) {
    SCOPED_TRACE(replaced ? "replaced" : "removed");
    const TempDir dir;
    const fs::path db = dir.Path() / "scores.db";
    const std::string logPath = (dir.Path() / "log.txt").string();
    std::FILE* log = std::fopen(logPath.c_str(), "w+");
    {
      scored::ServerSettings settings;
      settings.Log = log;
      InProcessServer server(settings, db);
      httplib::Client client = server.Client();
      ASSERT_EQ(StatusOf(client, SubmissionTarget("Before", 100, "")), 200);
      for (const char* suffix : {"", "-wal", "-shm"}) fs::remove(db.string() + suffix);
      if (replaced) scored::OpenSqliteStore(db.string());
      EXPECT_EQ(StatusOf(client, SubmissionTarget("After", 200, "")), 503);
    }
    std::fclose(log);
    std::ifstream in(logPath);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_THAT(text, HasSubstr(db.string() + ": the database file was " + (replaced ? "replaced" : "removed")));
  }
}

TEST(DatabaseFile, TwoServersOnOneDatabaseSeeEachOthersWrites) {
  const TempDir dir;
  const fs::path db = dir.Path() / "scores.db";
  InProcessServer first(0, db), second(0, db);
  httplib::Client a = first.Client(), b = second.Client();
  ASSERT_EQ(StatusOf(a, SubmissionTarget("First", 100, "")), 200);
  EXPECT_EQ(JsonList(a).size(), 1u);
  EXPECT_EQ(JsonList(b).size(), 1u);
  ASSERT_EQ(StatusOf(b, SubmissionTarget("Second", 200, "")), 200);
  const std::vector<JsonValue> list = JsonList(a);
  ASSERT_EQ(list.size(), 2u) << "the first server's list shows the second's write";
  EXPECT_EQ(list[0].Find("name")->String, "Second");
}

TEST(SqliteStore, EachAddReturnsCommittedWhileAddsAreGrouped) {
  const TempDir dir;
  const std::string db = (dir.Path() / "scores.db").string();
  const auto store = scored::OpenSqliteStore(db);
  const auto other = scored::OpenSqliteStore(db);
  constexpr int kThreads = 16, kEach = 40;
  std::atomic<int> returned{0};
  std::atomic<int> unseen{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < kEach; ++i) {
        store->Add(scored::NewScore{{"T" + std::to_string(t), i, ""}, 0, "127.0.0.1"});
        const int before = ++returned;
        // Another connection already finds every entry whose Add has returned.
        if (other->Count() < before) ++unseen;
      }
    });
  }
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(unseen.load(), 0);
  EXPECT_EQ(other->Count(), kThreads * kEach);
}

}  // namespace
