// The score stores as one table: every case runs on an SQLite file and on a PostgreSQL database
// (a throw-away cluster; see postgres_cluster.h).
#include <gmock/gmock.h>

#include <set>

#include "scored_test_util.h"
#ifdef ZK_HAVE_POSTGRESQL
#include "postgres_cluster.h"
#endif

namespace {

using ::testing::HasSubstr;
using scored_test::TempDir;

// What a case needs from a kind of store: a new empty database, and a look inside it.
struct StoreKind {
  const char* Name;
  // A database no store has opened yet, as --db names it; "" when this kind cannot be tested here.
  std::function<std::string(const TempDir&)> NewDatabase;
  // The first column of the first row of `sql`.
  std::function<int64_t(const std::string& database, const std::string& sql)> Query;
  const char* SchemaVersion;  // query
  const char* MakeNewer;      // statement giving the schema version 99
  const char* RankIndex;      // query counting the index that serves the list
  const char* ForeignTable;   // statement making a table another program could have made
  int Version;
};

const StoreKind kSqlite{
    "SQLite",
    [](const TempDir& dir) { return (dir.Path() / "scores.db").string(); },
    scored_test::SqliteValue,
    "PRAGMA user_version",
    "PRAGMA user_version = 99",
    "SELECT count(*) FROM sqlite_master WHERE type = 'index' AND name = 'scores_by_rank'",
    "CREATE TABLE other (x)",
    scored::SqliteSchemaVersion,
};

#ifdef ZK_HAVE_POSTGRESQL
const StoreKind kPostgres{
    "PostgreSQL",
    [](const TempDir&) {
      scored_test::PostgresCluster* cluster = scored_test::PostgresCluster::Shared();
      return cluster != nullptr ? cluster->NewDatabase() : "";
    },
    [](const std::string& address, const std::string& sql) {
      const std::string value = scored_test::PostgresCluster::Execute(address, sql);
      return value.empty() ? int64_t{-1} : std::atoll(value.c_str());
    },
    "SELECT version FROM zkscored_schema",
    "UPDATE zkscored_schema SET version = 99",
    "SELECT count(*) FROM pg_indexes WHERE tablename = 'scores' AND indexname = 'scores_by_rank'",
    "CREATE TABLE scores (x integer)",
    scored::PostgresSchemaVersion,
};
#endif

class ScoreStores : public ::testing::TestWithParam<const StoreKind*> {
protected:
  void SetUp() override {
    database_ = GetParam()->NewDatabase(dir_);
#ifdef ZK_REQUIRE_POSTGRESQL_TESTS
    ASSERT_FALSE(database_.empty()) << "PostgreSQL (Debian's postgresql) is not installed";
#else
    if (database_.empty()) GTEST_SKIP() << "PostgreSQL (Debian's postgresql) is not installed";
#endif
  }
  int64_t Query(const std::string& sql) const { return GetParam()->Query(database_, sql); }

  TempDir dir_;
  std::string database_;
};

TEST_P(ScoreStores, KeepScoresAcrossReopeningInRankOrder) {
  {
    const auto store = scored::OpenStore(database_);
    store->Add({{"First", 700, "A"}, 100, "10.0.0.1"});
    store->Add({{"Second", 900, "B"}, 200, "10.0.0.2"});
    store->Add({{"Third", 700, "C"}, 300, "10.0.0.3"});
  }
  const auto store = scored::OpenStore(database_);
  EXPECT_EQ(store->Count(), 3);
  const std::vector<scored::ScoreRow> rows = store->Top(10);
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0].Name, "Second");
  EXPECT_EQ(rows[1].Name, "First") << "the earlier of two equal scores ranks first";
  EXPECT_LT(rows[1].Id, rows[2].Id);
  EXPECT_EQ(rows[2].Name, "Third");
  EXPECT_EQ(rows[2].Score, 700);
  EXPECT_EQ(rows[2].Country, "C");
  EXPECT_EQ(rows[2].ReceivedAt, 300);
  EXPECT_EQ(store->Top(2).size(), 2u);

  EXPECT_EQ(Query(GetParam()->SchemaVersion), GetParam()->Version);
  EXPECT_EQ(Query("SELECT count(*) FROM scores WHERE address = '10.0.0.2'"), 1) << "the client's address is kept";
  EXPECT_EQ(Query(GetParam()->RankIndex), 1);
}

TEST_P(ScoreStores, RefuseADatabaseOfANewerServerAndLeaveItAsItWas) {
  scored::OpenStore(database_).reset();
  Query(GetParam()->MakeNewer);
  try {
    scored::OpenStore(database_);
    ADD_FAILURE() << "opened";
  } catch (const scored::StoreError& e) {
    EXPECT_THAT(e.what(), HasSubstr(scored::DatabaseForDisplay(database_)));
    EXPECT_THAT(e.what(), HasSubstr("newer zkscored (schema version 99)"));
  }
  EXPECT_EQ(Query(GetParam()->SchemaVersion), 99);
}

TEST_P(ScoreStores, RefuseADatabaseWhoseTablesAreNotTheirs) {
  Query(GetParam()->ForeignTable);
  try {
    scored::OpenStore(database_);
    ADD_FAILURE() << "opened";
  } catch (const scored::StoreError& e) {
    EXPECT_THAT(e.what(), HasSubstr("not a zkscored database"));
  }
}

TEST_P(ScoreStores, StoreConcurrentAddsEachOnce) {
  const auto store = scored::OpenStore(database_);
  constexpr int kThreads = 8, kEach = 25;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t)
    threads.emplace_back([&, t] {
      for (int i = 0; i < kEach; ++i)
        store->Add({{"T" + std::to_string(t) + "N" + std::to_string(i), 1000 * t + i, ""}, 1'700'000'000, "10.0.0.1"});
    });
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(store->Count(), kThreads * kEach);
  std::set<std::string> names;
  for (const scored::ScoreRow& row : store->Top(1000)) names.insert(row.Name);
  EXPECT_EQ(names.size(), static_cast<size_t>(kThreads * kEach));
}

TEST_P(ScoreStores, KeepEveryCharacterAFieldMayHoldWhenAddedTogether) {
  // Characters that quote, escape or separate in the stores' own notations.
  const std::vector<std::string> countries = {"", " ", "\"", "\\", "\\\"", "{a,b}", "NULL", "' OR 1=1;--", "~!@#$%^&*()_+`|<>?"};
  const auto store = scored::OpenStore(database_);
  std::vector<std::thread> threads;
  for (size_t i = 0; i < countries.size(); ++i)
    threads.emplace_back([&, i] { store->Add({{"C" + std::to_string(i), static_cast<int32_t>(i), countries[i]}, 5, "::1"}); });
  for (std::thread& t : threads) t.join();
  const std::vector<scored::ScoreRow> rows = store->Top(100);
  ASSERT_EQ(rows.size(), countries.size());
  for (const scored::ScoreRow& row : rows) EXPECT_EQ(row.Country, countries[static_cast<size_t>(row.Score)]) << row.Name;
  EXPECT_EQ(Query("SELECT count(*) FROM scores WHERE address = '::1'"), static_cast<int64_t>(countries.size()));
}

TEST_P(ScoreStores, AddAllInOrder) {
  const auto store = scored::OpenStore(database_);
  int batches = 0;
  store->AddAll([&](std::vector<scored::NewScore>& batch) {
    for (int i = 0; i < 3; ++i) batch.push_back({{"B" + std::to_string(batches) + "_" + std::to_string(i), 50, ""}, 7, "a"});
    return ++batches < 3;
  });
  const std::vector<scored::ScoreRow> rows = store->Top(100);
  ASSERT_EQ(rows.size(), 9u);
  EXPECT_EQ(rows.front().Name, "B0_0");
  EXPECT_EQ(rows.back().Name, "B2_2") << "equal scores rank in the order added";
}

std::string KindName(const ::testing::TestParamInfo<const StoreKind*>& info) { return info.param->Name; }

#ifdef ZK_HAVE_POSTGRESQL
INSTANTIATE_TEST_SUITE_P(, ScoreStores, ::testing::Values(&kSqlite, &kPostgres), KindName);
#else
INSTANTIATE_TEST_SUITE_P(, ScoreStores, ::testing::Values(&kSqlite), KindName);
#endif

}  // namespace
