// bin/zkscored as a process: its command line, the request log, a clean stop on SIGINT and
// SIGTERM, and every answered submission still there after a kill -9.
#include <gmock/gmock.h>

#include "scored_test_util.h"

namespace {

using ::testing::HasSubstr;
using scored_test::ServerProcess;
using scored_test::StatusOf;
using scored_test::SubmissionTarget;
using scored_test::TempDir;

std::vector<std::string> Args(const TempDir& dir, std::vector<std::string> more = {}) {
  std::vector<std::string> args = {"--listen", "127.0.0.1:0", "--db", (dir.Path() / "scores.db").string()};
  args.insert(args.end(), more.begin(), more.end());
  return args;
}

TEST(ScoredProcess, CommandLine) {
  const TempDir dir;
  struct Case { std::vector<std::string> args; int status; const char* says; };
  const Case cases[] = {
      {{"--help"}, 0, "usage: zkscored [--listen HOST:PORT] [--db FILE] [--rate-limit N/MIN]"},
      {{"--version"}, 0, "zkscored "},
      {{"--listen", "8080"}, 2, "--listen takes HOST:PORT"},
      {{"--listen", "127.0.0.1:70000"}, 2, "--listen takes HOST:PORT"},
      {{"--rate-limit", "10/hour"}, 2, "--rate-limit takes N/MIN"},
      {{"--rate-limit", "-1"}, 2, "--rate-limit takes N/MIN"},
      {{"--db"}, 2, "--db needs a value"},
      {{"--verbose"}, 2, "unknown argument --verbose"},
      {{"--copy-from"}, 2, "--copy-from needs a value"},
      {{"--copy-from", "old.db", "--db", "new.db"}, 2, "--copy-from copies into a PostgreSQL database"},
      {{"--listen", "127.0.0.1:0", "--db", (dir.Path() / "no" / "such" / "scores.db").string()}, 1,
       "cannot open the database"},
  };
  for (const Case& c : cases) {
    ServerProcess process(c.args, dir.Path() / "out.txt");
    const int status = process.Wait();
    ASSERT_TRUE(WIFEXITED(status)) << c.says;
    EXPECT_EQ(WEXITSTATUS(status), c.status) << c.says;
    if (c.status != 0) {
      EXPECT_THAT(process.Log(), HasSubstr(c.says));
    }
  }
}

// A server that cannot listen says why and leaves no database behind; one it did not make is kept.
TEST(ScoredProcess, CannotListenSaysWhyAndLeavesNoNewDatabase) {
  const TempDir dir;
  ServerProcess first(Args(dir), dir.Path() / "first.txt");
  const int port = first.WaitForPort();
  ASSERT_GT(port, 0) << first.Log();
  const std::string inUse = "127.0.0.1:" + std::to_string(port);
  struct Case { std::string listen; const char* says; };
  // 192.0.2.1 is a documentation address, never one of this machine's.
  const Case cases[] = {{inUse, "Address already in use"}, {"192.0.2.1:8080", "Cannot assign requested address"}};
  for (const Case& c : cases) {
    ServerProcess second({"--listen", c.listen, "--db", (dir.Path() / "b.db").string()}, dir.Path() / "second.txt");
    const int status = second.Wait();
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 1);
    EXPECT_THAT(second.Log(), HasSubstr("cannot listen on " + c.listen + ": "));
    EXPECT_THAT(second.Log(), HasSubstr(c.says));
    for (const char* file : {"b.db", "b.db-wal", "b.db-shm"}) EXPECT_FALSE(std::filesystem::exists(dir.Path() / file)) << file;
  }
  ServerProcess onItsDatabase({"--listen", inUse, "--db", (dir.Path() / "scores.db").string()}, dir.Path() / "third.txt");
  ASSERT_TRUE(WIFEXITED(onItsDatabase.Wait()));
  EXPECT_TRUE(std::filesystem::exists(dir.Path() / "scores.db")) << "the database the first server made";
}

TEST(ScoredProcess, LogsEachRequestAndStopsCleanlyOnEitherSignal) {
  for (const int signal : {SIGTERM, SIGINT}) {
    const TempDir dir;
    ServerProcess process(Args(dir), dir.Path() / "log.txt");
    const int port = process.WaitForPort();
    ASSERT_GT(port, 0) << process.Log();
    httplib::Client client("127.0.0.1", port);
    ASSERT_EQ(StatusOf(client, SubmissionTarget("AB", 500, "_______")), 200);
    ASSERT_EQ(StatusOf(client, "/cgi/version.pl?hs&prg=ZuboKranz&inf=0"), 400);
    const int status = process.Stop(signal);
    ASSERT_TRUE(WIFEXITED(status)) << "signal " << signal << "\n" << process.Log();
    EXPECT_EQ(WEXITSTATUS(status), 0);
    const std::string log = process.Log();
    EXPECT_THAT(log, HasSubstr(" 127.0.0.1 GET " + SubmissionTarget("AB", 500, "_______") + " 200 "));
    EXPECT_THAT(log, HasSubstr(" 127.0.0.1 GET /cgi/version.pl?hs&prg=ZuboKranz&inf=0 400 "));
    EXPECT_THAT(log, HasSubstr("stopped, database closed"));
    EXPECT_FALSE(std::filesystem::exists(dir.Path() / "scores.db-wal")) << "the log was checkpointed at close";
  }
}

TEST(ScoredProcess, AnsweredSubmissionsSurviveAKill) {
  const TempDir dir;
  constexpr int kSubmissions = 40;
  {
    ServerProcess process(Args(dir, {"--rate-limit", "0/MIN"}), dir.Path() / "log.txt");
    const int port = process.WaitForPort();
    ASSERT_GT(port, 0) << process.Log();
    httplib::Client client("127.0.0.1", port);
    for (int i = 0; i < kSubmissions; ++i) ASSERT_EQ(StatusOf(client, SubmissionTarget("K" + std::to_string(i), i, "")), 200);
    const int status = process.Stop(SIGKILL);
    ASSERT_TRUE(WIFSIGNALED(status));
  }
  ServerProcess restarted(Args(dir), dir.Path() / "log2.txt");
  const int port = restarted.WaitForPort();
  ASSERT_GT(port, 0) << restarted.Log();
  httplib::Client client("127.0.0.1", port);
  EXPECT_EQ(scored_test::JsonList(client).size(), static_cast<size_t>(kSubmissions));
}

// The bounded load tool's combined attack against the real server: 500 idle connections and 64
// clients sending a byte a second (each from an address of its own), a 256 MB body, 9.5 MB of
// tiny headers and 2,700 ranges, while a probe asks for the world list every 100 ms. About 13 s.
TEST(ScoredProcess, WithstandsTheCombinedAttack) {
  const TempDir dir;
  ServerProcess process(Args(dir), dir.Path() / "log.txt");
  const int port = process.WaitForPort();
  ASSERT_GT(port, 0) << process.Log();
  std::string command = std::string(ZK_BIN_DIR) + "/zkload --attack --seconds 12 --from 127.0.0.2 --slow-from 127.0.0.3";
#if defined(__SANITIZE_ADDRESS__)
  // The sanitizers' own memory and slowness are not the server's: the answers are checked, the
  // memory and the probe's time are not.
  command += " --probe-limit-ms 10000";
#else
  command += " --server-pid " + std::to_string(process.Pid());
#endif
  command += " 127.0.0.1:" + std::to_string(port) + " 2>&1";
  std::FILE* out = popen(command.c_str(), "r");
  ASSERT_NE(out, nullptr);
  std::string report;
  char line[512];
  while (std::fgets(line, sizeof line, out) != nullptr) report += line;
  const int status = pclose(out);
  std::printf("%s", report.c_str());
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << report;
  EXPECT_EQ(process.Stop(SIGTERM), 0) << "and it stops cleanly";
}

}  // namespace
