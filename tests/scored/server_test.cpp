// The server's HTTP side in-process on a loopback port: what it stores, what it refuses, its
// limits and the world list it shows.
#include <gmock/gmock.h>

#include <atomic>
#include <set>

#include "scored_test_util.h"

namespace {

using ::testing::HasSubstr;
using ::testing::Not;
using scored_test::InProcessServer;
using scored_test::JsonList;
using scored_test::StatusOf;
using scored_test::SubmissionTarget;

std::string Padded(std::string payload) { return payload.append((5 - payload.size() % 5) % 5, '0'); }

TEST(ScoreServer, SubmissionFromTheGameIsStoredAndShown) {
  InProcessServer server;
  httplib::Client client = server.Client();
  const httplib::Result result = client.Get(SubmissionTarget("Zubo Rider 1", 12345, "Costa Rica").c_str());
  ASSERT_TRUE(result);
  EXPECT_EQ(result->status, 200);
  EXPECT_THAT(result->body, HasSubstr("12345"));
  EXPECT_EQ(server.Store().Count(), 1);

  const std::vector<JsonValue> list = JsonList(client);
  ASSERT_EQ(list.size(), 1u);
  EXPECT_EQ(list[0].Find("rank")->Number, 1);
  EXPECT_EQ(list[0].Find("name")->String, "Zubo Rider 1");
  EXPECT_EQ(list[0].Find("score")->Number, 12345);
  EXPECT_EQ(list[0].Find("country")->String, "Costa Rica");
  EXPECT_TRUE(list[0].Find("new")->Bool);

  const httplib::Result page = client.Get(std::string(WorldHighScoresPathAndQuery).c_str());
  ASSERT_TRUE(page);
  EXPECT_EQ(page->status, 200);
  EXPECT_EQ(page->get_header_value("Content-Type"), "text/html; charset=utf-8");
  EXPECT_THAT(page->body, HasSubstr("<td class=\"name\">Zubo Rider 1</td><td class=\"score\">12345</td>"));
}

TEST(ScoreServer, BadSubmissionsAreRefusedAndNothingIsStored) {
  const std::string prefix(SubmitScorePathAndQuery);
  const std::string good = SubmissionTarget("AB", 500, "_______").substr(prefix.size());
  const std::string other = SubmissionTarget("CD", 600, "_______").substr(prefix.size());
  struct Case { const char* what; std::string target; };
  const Case cases[] = {
      {"fields in another order", SubmissionTarget(Padded("type=0|score=500|name=AB|key=X|p=|add=|z="))},
      {"a field missing", SubmissionTarget(Padded("type=0|name=AB|score=500|key=X|add=|z="))},
      {"type other than 0", SubmissionTarget(Padded("type=1|name=AB|score=500|key=X|p=|add=|z="))},
      {"key other than X", SubmissionTarget(Padded("type=0|name=AB|score=500|key=Q|p=|add=|z="))},
      {"padding not 0", SubmissionTarget("type=0|name=AB|score=500|key=X|p=|add=|z=0010")},
      {"name of 13", SubmissionTarget("ABCDEFGHIJKLM", 500, "")},
      {"name with |", SubmissionTarget("A|B", 500, "")},
      {"name with <", SubmissionTarget("<b>X</b>", 500, "")},
      {"name with _", SubmissionTarget("A_B", 500, "")},
      {"score above 10000000", SubmissionTarget("AB", 10000001, "")},
      {"negative score", SubmissionTarget("AB", -1, "")},
      {"score not a number", SubmissionTarget(Padded("type=0|name=AB|score=12a|key=X|p=|add=|z="))},
      {"empty score", SubmissionTarget(Padded("type=0|name=AB|score=|key=X|p=|add=|z="))},
      {"score with a leading zero", SubmissionTarget(Padded("type=0|name=AB|score=0500|key=X|p=|add=|z="))},
      {"huge score", SubmissionTarget(Padded("type=0|name=AB|score=99999999999999999999|key=X|p=|add=|z="))},
      {"country of 17", SubmissionTarget("AB", 500, "ABCDEFGHIJKLMNOPQ")},
      {"country with a control character", SubmissionTarget("AB", 500, "Czech\tRepublic")},
      {"country with a byte above ASCII", SubmissionTarget("AB", 500, "Espa\xF1" "a")},
      {"0 in the code", prefix + "0" + good.substr(1)},
      {"lower case in the code", prefix + "q" + good.substr(1)},
      {"code length not a multiple of 8", prefix + good.substr(0, good.size() - 1)},
      {"zero bytes after the payload", prefix + good + "QQQQQQQQ"},
      {"empty code", prefix},
      {"no code", "/cgi/version.pl?hs&prg=ZuboKranz"},
      {"two codes", prefix + good + "&inf=" + other},
      {"another program", "/cgi/version.pl?hs&prg=Other&inf=" + good},
      {"neither hs nor show", "/cgi/version.pl?prg=ZuboKranz&inf=" + good},
      {"a list type other than 0", "/cgi/version.pl?prg=ZuboKranz&show&type=1"},
      {"an unknown list format", std::string(WorldHighScoresPathAndQuery) + "&format=xml"},
  };
  InProcessServer server;
  httplib::Client client = server.Client();
  for (const Case& c : cases) {
    const httplib::Result result = client.Get(c.target.c_str());
    ASSERT_TRUE(result) << c.what;
    EXPECT_EQ(result->status, 400) << c.what << ": " << result->body;
    EXPECT_THAT(result->body, Not(HasSubstr("<"))) << "the reason is plain text";
  }
  EXPECT_EQ(server.Store().Count(), 0);
  EXPECT_EQ(StatusOf(client, SubmissionTarget("AB", 500, "_______")), 200) << "and the server still serves";
}

TEST(ScoreServer, ExtremesOfEachFieldAreAccepted) {
  InProcessServer server;
  httplib::Client client = server.Client();
  struct Case { std::string name; int32_t score; std::string country; };
  const Case cases[] = {
      {"", 0, ""},
      {"Zz09 Zz09 Zz", 10000000, "~!@#$%^&*()<>\"' "},
      {" ", 1, "_______"},
  };
  for (const Case& c : cases) EXPECT_EQ(StatusOf(client, SubmissionTarget(c.name, c.score, c.country)), 200) << c.name;
  const std::vector<JsonValue> list = JsonList(client);
  ASSERT_EQ(list.size(), 3u);
  EXPECT_EQ(list[0].Find("name")->String, "Zz09 Zz09 Zz");
  EXPECT_EQ(list[0].Find("country")->String, "~!@#$%^&*()<>\"' ");
}

TEST(ScoreServer, LimitsSubmissionsPerAddressAndMinute) {
  InProcessServer server(3);
  httplib::Client client = server.Client();
  for (int i = 0; i < 3; ++i) EXPECT_EQ(StatusOf(client, SubmissionTarget("AB", 100 + i, "")), 200);
  EXPECT_EQ(StatusOf(client, SubmissionTarget("AB", 200, "")), 429);
  EXPECT_EQ(StatusOf(client, scored_test::JsonListTarget()), 200) << "the list is not limited";
  EXPECT_EQ(server.Store().Count(), 3);
}

TEST(RateLimiter, CountsEachAddressWithinItsMinute) {
  using std::chrono::seconds;
  const auto t0 = std::chrono::steady_clock::time_point{} + std::chrono::hours(1);
  scored::RateLimiter limiter(2);
  EXPECT_TRUE(limiter.Allow("10.0.0.1", t0));
  EXPECT_TRUE(limiter.Allow("10.0.0.1", t0 + seconds(30)));
  EXPECT_FALSE(limiter.Allow("10.0.0.1", t0 + seconds(59)));
  EXPECT_TRUE(limiter.Allow("10.0.0.2", t0 + seconds(59))) << "another address has its own count";
  EXPECT_TRUE(limiter.Allow("10.0.0.1", t0 + seconds(60))) << "a new minute";

  scored::RateLimiter unlimited(0);
  for (int i = 0; i < 1000; ++i) ASSERT_TRUE(unlimited.Allow("10.0.0.1", t0));
}

TEST(ScoreServer, OverlongRequestsGet414) {
  InProcessServer server;
  httplib::Client client = server.Client();
  const std::string base = SubmissionTarget("AB", 500, "");
  for (const size_t length : {size_t{4097}, size_t{5000}, size_t{10000}}) {
    const std::string target = base + std::string(length - base.size(), 'Q');
    EXPECT_EQ(StatusOf(client, target), 414) << length;
  }
  EXPECT_EQ(StatusOf(client, base + std::string(4096 - base.size(), 'Q')), 400) << "4096 is still read";
  EXPECT_EQ(server.Store().Count(), 0);
}

TEST(ScoreServer, ConcurrentSubmissionsAreEachStoredOnce) {
  InProcessServer server;
  constexpr int kThreads = 8, kEach = 25;
  std::atomic<int> accepted{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      httplib::Client client = server.Client();
      for (int i = 0; i < kEach; ++i)
        if (StatusOf(client, SubmissionTarget("T" + std::to_string(t) + "N" + std::to_string(i), 1000 * t + i, "")) == 200)
          ++accepted;
    });
  }
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(accepted, kThreads * kEach);
  const std::vector<scored::ScoreRow> rows = server.Store().Top(1000);
  std::multiset<std::string> names;
  for (const scored::ScoreRow& row : rows) names.insert(row.Name);
  ASSERT_EQ(names.size(), static_cast<size_t>(kThreads * kEach));
  for (int t = 0; t < kThreads; ++t)
    for (int i = 0; i < kEach; ++i) EXPECT_EQ(names.count("T" + std::to_string(t) + "N" + std::to_string(i)), 1u);
}

TEST(ScoreServer, ListShowsTheBestHundredAndFollowsNewSubmissions) {
  InProcessServer server;
  httplib::Client client = server.Client();
  for (int i = 1; i <= 105; ++i) server.Store().Add({{"R" + std::to_string(i), i * 10, ""}, 1'700'000'000, "10.0.0.1"});
  std::vector<JsonValue> list = JsonList(client);
  ASSERT_EQ(list.size(), 100u);
  EXPECT_EQ(list.front().Find("score")->Number, 1050);
  EXPECT_EQ(list.back().Find("score")->Number, 60);

  // The list is cached between submissions: a new one must show at once.
  ASSERT_EQ(StatusOf(client, SubmissionTarget("Top", 5000, "")), 200);
  list = JsonList(client);
  ASSERT_EQ(list.size(), 100u);
  EXPECT_EQ(list.front().Find("name")->String, "Top");
  EXPECT_EQ(list.back().Find("score")->Number, 70);
}

TEST(ScoreServer, OtherAddresses) {
  InProcessServer server;
  httplib::Client client = server.Client();
  const httplib::Result root = client.Get("/");
  ASSERT_TRUE(root);
  EXPECT_EQ(root->status, 302);
  EXPECT_EQ(root->get_header_value("Location"), WorldHighScoresPathAndQuery);
  EXPECT_EQ(StatusOf(client, "/cgi/other.pl"), 404);
}

}  // namespace
