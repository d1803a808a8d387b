// zkscored on PostgreSQL: the list served from its index, servers starting together, the copy of
// an SQLite list, and two servers on one database under load while the database restarts or
// one of them is killed.
#ifdef ZK_HAVE_POSTGRESQL

#include <gmock/gmock.h>

#include <atomic>
#include <map>
#include <mutex>
#include <set>

#include "postgres_cluster.h"
#include "scored_test_util.h"

namespace {

using ::testing::HasSubstr;
using ::testing::Not;
using scored_test::PostgresCluster;
using scored_test::ServerProcess;
using scored_test::StatusOf;
using scored_test::SubmissionTarget;
using scored_test::TempDir;

// The names in the database at `address`, with how often each is there.
std::map<std::string, int> StoredNames(const std::string& address) {
  std::map<std::string, int> names;
  for (const scored::ScoreRow& row : scored::OpenPostgresStore(address)->Top(1'000'000)) ++names[row.Name];
  return names;
}

// A test on a new database of the test process's cluster.
class OnPostgres : public ::testing::Test {
protected:
  void SetUp() override {
    cluster_ = PostgresCluster::Shared();
    ZK_NEED_POSTGRES(cluster_);
    address_ = cluster_->NewDatabase();
  }
  PostgresCluster* cluster_ = nullptr;
  std::string address_;
};
using PostgresStore = OnPostgres;

TEST_F(PostgresStore, ServesTheListFromTheRankIndex) {
  const auto store = scored::OpenPostgresStore(address_);
  int batches = 0;
  store->AddAll([&](std::vector<scored::NewScore>& batch) {
    for (int i = 0; i < 1000; ++i) batch.push_back({{"R", batches * 1000 + i, ""}, 0, "10.0.0.1"});
    return ++batches < 5;
  });
  PostgresCluster::Execute(address_, "ANALYZE scores");
  const std::string plan = PostgresCluster::Execute(
      address_, "EXPLAIN SELECT id, name, score, country, received_at FROM scores ORDER BY score DESC, id LIMIT 100");
  EXPECT_THAT(plan, HasSubstr("Index Scan using scores_by_rank")) << plan;
}

TEST_F(PostgresStore, ServersStartingTogetherCreateTheSchemaOnce) {
  std::atomic<int> opened{0};
  std::vector<std::thread> servers;
  for (int i = 0; i < 4; ++i)
    servers.emplace_back([&] {
      try {
        scored::OpenPostgresStore(address_)->Count();
        ++opened;
      } catch (const scored::StoreError& e) {
        ADD_FAILURE() << e.what();
      }
    });
  for (std::thread& t : servers) t.join();
  EXPECT_EQ(opened, 4);
  EXPECT_EQ(PostgresCluster::Execute(address_, "SELECT count(*) FROM zkscored_schema"), "1");
}

TEST_F(PostgresStore, AnUnreachableDatabaseIsNamedWithoutItsPassword) {
  const std::string addresses[] = {
      "postgresql://zk:hunter2@/no_such_database" + cluster_->Address("x").substr(cluster_->Address("x").find('?')),
      "postgresql://zk@/db?host=/nonexistent&port=1&password=hunter2",
  };
  for (const std::string& address : addresses) {
    try {
      scored::OpenStore(address);
      ADD_FAILURE() << address << " opened";
    } catch (const scored::StoreError& e) {
      EXPECT_THAT(e.what(), HasSubstr(scored::DatabaseForDisplay(address)));
      EXPECT_THAT(e.what(), Not(HasSubstr("hunter2")));
    }
  }
  EXPECT_EQ(scored::DatabaseForDisplay("postgresql://u:pw@h:5432/db?sslmode=require&password=x"),
            "postgresql://u:***@h:5432/db?sslmode=require&password=***");
  EXPECT_EQ(scored::DatabaseForDisplay("scores.db"), "scores.db");
}

TEST_F(PostgresStore, ComesBackAfterTheDatabaseRestarts) {
  const auto store = scored::OpenPostgresStore(cluster_->NewDatabase());
  store->Add({{"Before", 1, ""}, 0, ""});
  cluster_->Stop();
  EXPECT_THROW(store->Add({{"Down", 2, ""}, 0, ""}), scored::StoreError);
  EXPECT_THROW(store->Top(10), scored::StoreError);
  ASSERT_TRUE(cluster_->Start());
  store->Add({{"After", 3, ""}, 0, ""});
  const std::vector<scored::ScoreRow> rows = store->Top(10);
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].Name, "After");
  EXPECT_EQ(rows[1].Name, "Before");
}

TEST_F(PostgresStore, CopyFromSqliteKeepsTheListAndItsOrder) {
  const TempDir dir;
  const std::string file = (dir.Path() / "old.db").string();
  {
    const auto old = scored::OpenSqliteStore(file);
    old->Add({{"Early", 500, "Chile"}, 1000, "10.0.0.1"});
    old->Add({{"Best", 900, "Peru"}, 2000, "10.0.0.2"});
    old->Add({{"Late", 500, "Cuba"}, 3000, "10.0.0.3"});
  }
  const auto store = scored::OpenPostgresStore(address_);
  EXPECT_EQ(scored::CopySqliteScores(file, *store), 3);
  const std::vector<scored::ScoreRow> copied = store->Top(10), original = scored::OpenSqliteStore(file)->Top(10);
  ASSERT_EQ(copied.size(), original.size());
  for (size_t i = 0; i < copied.size(); ++i) {
    EXPECT_EQ(copied[i].Name, original[i].Name);
    EXPECT_EQ(copied[i].Score, original[i].Score);
    EXPECT_EQ(copied[i].Country, original[i].Country);
    EXPECT_EQ(copied[i].ReceivedAt, original[i].ReceivedAt);
  }
  EXPECT_EQ(PostgresCluster::Execute(address_, "SELECT address FROM scores WHERE name = 'Best'"), "10.0.0.2");

  struct Case { std::string from; const char* says; };
  const Case refused[] = {
      {file, "already holds 3 scores"},
      {(dir.Path() / "missing.db").string(), "missing.db"},
  };
  for (const Case& c : refused) {
    try {
      scored::CopySqliteScores(c.from, *store);
      ADD_FAILURE() << c.says;
    } catch (const scored::StoreError& e) {
      EXPECT_THAT(e.what(), HasSubstr(c.says));
    }
  }
  EXPECT_EQ(store->Count(), 3);
  EXPECT_FALSE(std::filesystem::exists(dir.Path() / "missing.db")) << "the copy never makes a file";
}

TEST_F(PostgresStore, CopyRefusesATextPostgresCannotHoldAndCopiesNothing) {
  const TempDir dir;
  const std::string file = (dir.Path() / "old.db").string();
  {
    const auto old = scored::OpenSqliteStore(file);
    old->Add({{"Fine", 1, ""}, 1, ""});
    old->Add({{"Odd", 2, ""}, 2, ""});
  }
  scored_test::SqliteValue(file, "UPDATE scores SET country = 'A' || char(0) || 'B' WHERE name = 'Odd'");
  const auto store = scored::OpenPostgresStore(address_);
  try {
    scored::CopySqliteScores(file, *store);
    ADD_FAILURE() << "copied a NUL byte";
  } catch (const scored::StoreError& e) {
    EXPECT_THAT(e.what(), HasSubstr("NUL byte"));
  }
  EXPECT_EQ(store->Count(), 0);
}

TEST_F(PostgresStore, ZkscoredCopiesAnSqliteListAndEnds) {
  const TempDir dir;
  const std::string file = (dir.Path() / "old.db").string();
  scored::OpenSqliteStore(file)->Add({{"Moved", 42, ""}, 1, ""});
  ServerProcess copy({"--copy-from", file, "--db", address_}, dir.Path() / "copy.txt");
  const int status = copy.Wait();
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << copy.Log();
  EXPECT_THAT(copy.Log(), HasSubstr("copied 1 scores from " + file));
  EXPECT_EQ(StoredNames(address_), (std::map<std::string, int>{{"Moved", 1}}));
}

// Two zkscored on one database, with what each client heard back per submission.
class TwoServers {
public:
  explicit TwoServers(const std::string& address) {
    for (int i = 0; i < 2; ++i) {
      servers_.push_back(std::make_unique<ServerProcess>(
          std::vector<std::string>{"--listen", "127.0.0.1:0", "--db", address, "--rate-limit", "0/MIN"},
          dir_.Path() / ("server" + std::to_string(i) + ".txt")));
      ports_.push_back(servers_.back()->WaitForPort());
      EXPECT_GT(ports_.back(), 0) << servers_.back()->Log();
    }
  }
  ~TwoServers() { StopLoad(); }
  ServerProcess& Server(int i) { return *servers_[static_cast<size_t>(i)]; }
  httplib::Client Client(int i) const {
    httplib::Client client("127.0.0.1", ports_[static_cast<size_t>(i)]);
    client.set_connection_timeout(std::chrono::seconds(5));
    client.set_read_timeout(std::chrono::seconds(30));
    return client;
  }

  // Two clients per server submitting new names until StopLoad, each at most kMaxEach times.
  void StartLoad() {
    for (int c = 0; c < 4; ++c)
      clients_.emplace_back([this, c] {
        const int server = c % 2;
        httplib::Client client = Client(server);
        for (int i = 0; i < kMaxEach && !stop_; ++i) {
          const std::string name = "C" + std::to_string(c) + "N" + std::to_string(i);
          const int status = StatusOf(client, SubmissionTarget(name, i, ""));
          const std::lock_guard<std::mutex> lock(mutex_);
          answers_.push_back({server, name, status});
        }
      });
  }
  void StopLoad() {
    stop_ = true;
    for (std::thread& t : clients_) t.join();
    clients_.clear();
  }
  // Waits (bounded) until server `server` (-1: either) has answered `count` more times with `status`.
  bool WaitForAnswers(int server, int status, int count) {
    const int target = Answered(server, status) + count;
    for (int i = 0; i < 1200; ++i) {
      if (Answered(server, status) >= target) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
  }
  int Answered(int server, int status) {
    const std::lock_guard<std::mutex> lock(mutex_);
    return static_cast<int>(std::count_if(answers_.begin(), answers_.end(), [&](const Answer& a) {
      return (server < 0 || a.Server == server) && a.Status == status;
    }));
  }
  // Each name acknowledged with 200 must be stored exactly once.
  void ExpectEveryAcknowledgedSubmissionStoredOnce(const std::string& address) {
    const std::map<std::string, int> stored = StoredNames(address);
    int acknowledged = 0;
    for (const Answer& a : answers_) {
      if (a.Status != 200) continue;
      ++acknowledged;
      const auto found = stored.find(a.Name);
      EXPECT_TRUE(found != stored.end() && found->second == 1) << a.Name << " answered 200 but stored "
                                                                << (found == stored.end() ? 0 : found->second) << " times";
    }
    EXPECT_GT(acknowledged, 0);
  }
  std::set<int> Statuses(int server) const {
    std::set<int> statuses;
    for (const Answer& a : answers_)
      if (a.Server == server) statuses.insert(a.Status);
    return statuses;
  }

private:
  static constexpr int kMaxEach = 20000;  // bounds the load however long a wait takes
  struct Answer {
    int Server;
    std::string Name;
    int Status;
  };
  TempDir dir_;
  std::vector<std::unique_ptr<ServerProcess>> servers_;
  std::vector<int> ports_;
  std::vector<std::thread> clients_;
  std::atomic<bool> stop_{false};
  std::mutex mutex_;
  std::vector<Answer> answers_;
};

// Two servers on the test's database; with load, clients already acknowledged by them.
class TwoServersOnePostgres : public OnPostgres {
protected:
  void SetUp() override {
    OnPostgres::SetUp();
    if (cluster_ != nullptr) two_ = std::make_unique<TwoServers>(address_);
  }
  void StartLoad() {
    two_->StartLoad();
    ASSERT_TRUE(two_->WaitForAnswers(-1, 200, 200));
  }
  std::unique_ptr<TwoServers> two_;
};

TEST_F(TwoServersOnePostgres, EachShowsTheOthersEntriesOnItsNextPage) {
  httplib::Client a = two_->Client(0), b = two_->Client(1);
  for (int round = 0; round < 3; ++round) {
    httplib::Client& writer = round % 2 == 0 ? a : b;
    httplib::Client& reader = round % 2 == 0 ? b : a;
    const std::string name = "Round" + std::to_string(round);
    ASSERT_EQ(StatusOf(writer, SubmissionTarget(name, 1000 + round, "")), 200);
    const std::vector<JsonValue> list = scored_test::JsonList(reader);
    ASSERT_EQ(list.size(), static_cast<size_t>(round + 1));
    EXPECT_EQ(list[0].Find("name")->String, name) << "the page right after the other server's answer";
  }
}

TEST_F(TwoServersOnePostgres, ARestartOfTheDatabaseUnderLoadLosesNoAcknowledgedSubmission) {
  StartLoad();
  cluster_->Stop();
  // Both servers answer while the database is down, and say so.
  EXPECT_TRUE(two_->WaitForAnswers(0, 503, 1));
  EXPECT_TRUE(two_->WaitForAnswers(1, 503, 1));
  ASSERT_TRUE(cluster_->Start());
  EXPECT_TRUE(two_->WaitForAnswers(0, 200, 100)) << "server 1 serves again";
  EXPECT_TRUE(two_->WaitForAnswers(1, 200, 100)) << "server 2 serves again";
  two_->StopLoad();
  for (int server = 0; server < 2; ++server)
    EXPECT_EQ(two_->Statuses(server), (std::set<int>{200, 503})) << "server " << server + 1;
  two_->ExpectEveryAcknowledgedSubmissionStoredOnce(address_);
}

TEST_F(TwoServersOnePostgres, AKillOfOneServerUnderLoadLosesNoAcknowledgedSubmission) {
  StartLoad();
  ASSERT_TRUE(WIFSIGNALED(two_->Server(0).Stop(SIGKILL)));
  EXPECT_TRUE(two_->WaitForAnswers(1, 200, 200)) << "the other server goes on";
  two_->StopLoad();
  EXPECT_EQ(two_->Statuses(1), std::set<int>{200});
  two_->ExpectEveryAcknowledgedSubmissionStoredOnce(address_);
}

}  // namespace

#endif  // ZK_HAVE_POSTGRESQL
