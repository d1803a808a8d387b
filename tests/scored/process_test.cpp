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

TEST(ScoredProcess, CannotListenOnAPortInUse) {
  const TempDir dir;
  ServerProcess first(Args(dir), dir.Path() / "first.txt");
  const int port = first.WaitForPort();
  ASSERT_GT(port, 0) << first.Log();
  ServerProcess second({"--listen", "127.0.0.1:" + std::to_string(port), "--db", (dir.Path() / "b.db").string()},
                       dir.Path() / "second.txt");
  const int status = second.Wait();
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 1);
  EXPECT_THAT(second.Log(), HasSubstr("cannot listen on 127.0.0.1:" + std::to_string(port)));
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

}  // namespace
