// The score store in a PostgreSQL database, for several servers sharing one list: a pool of
// connections, each with its prepared statements, opened anew when the database closed it (a
// restart); the schema versioned in a table of its own, migrated under an advisory lock so that
// servers starting together migrate once; the submissions arriving together committed in one
// transaction, so that the database writes its log to the disk once for all of them.
#include <libpq-fe.h>
#include <poll.h>

#include <algorithm>
#include <condition_variable>
#include <iterator>
#include <utility>

#include "group_commit.h"
#include "scored.h"

namespace scored {
namespace {

constexpr size_t kPoolSize = 8;  // connections per server; the rest of its workers wait their turn
constexpr int kConcurrentCommits = 4;  // groups of submissions committing at once, each on a connection
constexpr const char* kConnectTimeoutSeconds = "5";
constexpr int64_t kMigrationLock = 0x7A6B73636F726564;  // "zkscored"

// Each step brings the schema from version i to i + 1, inside one transaction.
constexpr const char* kMigrations[] = {
    "CREATE TABLE scores ("
    "  id bigint GENERATED ALWAYS AS IDENTITY PRIMARY KEY,"
    "  name text NOT NULL,"
    "  score integer NOT NULL,"
    "  country text NOT NULL,"
    "  received_at bigint NOT NULL,"
    "  address text NOT NULL);"
    "CREATE INDEX scores_by_rank ON scores (score DESC, id);",
};
static_assert(std::size(kMigrations) == PostgresSchemaVersion);

struct Query {
  const char* Name;
  const char* Sql;
  int Parameters;
};
// Any number of entries in one statement, in the order of the arrays (so their ids grow in it).
constexpr Query kInsert{"zk_insert",
                        "INSERT INTO scores (name, score, country, received_at, address) "
                        "SELECT name, score, country, received_at, address "
                        "FROM unnest($1::text[], $2::integer[], $3::text[], $4::bigint[], $5::text[]) WITH ORDINALITY "
                        "AS entry (name, score, country, received_at, address, position) ORDER BY position",
                        5};
constexpr Query kTop{"zk_top", "SELECT id, name, score, country, received_at FROM scores ORDER BY score DESC, id LIMIT $1",
                     1};
constexpr Query kCount{"zk_count", "SELECT count(*) FROM scores", 0};
// Which transactions a read sees: the same text, the same list.
constexpr Query kSnapshot{"zk_snapshot", "SELECT txid_current_snapshot()::text", 0};
constexpr Query kQueries[] = {kInsert, kTop, kCount, kSnapshot};

struct ClearResult {
  void operator()(PGresult* result) const { PQclear(result); }
};
using Result = std::unique_ptr<PGresult, ClearResult>;

// A text array as PostgreSQL reads it: each element quoted, its quotes and backslashes escaped.
class ArrayText {
public:
  // Throws for a NUL byte, which no PostgreSQL text holds (only a copied SQLite file has one).
  void Append(std::string_view element) {
    if (element.find('\0') != std::string_view::npos) throw StoreError("a score's text holds a NUL byte, which PostgreSQL cannot store");
    text_ += text_.empty() ? "{\"" : ",\"";
    for (const char c : element) {
      if (c == '"' || c == '\\') text_ += '\\';
      text_ += c;
    }
    text_ += '"';
  }
  void Append(int64_t number) { Append(std::to_string(number)); }
  const char* Finished() {
    if (text_.empty()) text_ = "{";
    text_ += '}';
    return text_.c_str();
  }

private:
  std::string text_;
};

std::string Trimmed(std::string text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
  return text;
}

// One connection to the database.
class Link {
public:
  explicit Link(const std::string& address) {
    // The address comes last so that what it says overrides these defaults.
    const char* keys[] = {"connect_timeout", "application_name", "client_encoding", "dbname", nullptr};
    const char* values[] = {kConnectTimeoutSeconds, "zkscored", "UTF8", address.c_str(), nullptr};
    conn_ = PQconnectdbParams(keys, values, 1);
    if (conn_ == nullptr) throw StoreError("out of memory");
    if (PQstatus(conn_) != CONNECTION_OK) {
      const std::string message = Error();
      PQfinish(conn_);
      throw StoreError(message);
    }
  }
  ~Link() { PQfinish(conn_); }
  Link(const Link&) = delete;
  Link& operator=(const Link&) = delete;

  // Makes the connection ready for the store's queries, reconnecting when the database closed it
  // since its last use (nothing was sent on it then, so nothing is lost). Throws when it cannot.
  void Ready() {
    if (!Alive()) {
      prepared_ = false;
      PQreset(conn_);
      if (PQstatus(conn_) != CONNECTION_OK) throw StoreError(Error());
    }
    if (!prepared_) Prepare();
  }

  // Runs `sql` (no parameters, any number of statements); throws unless it ends with `expected`.
  Result Execute(const char* sql, ExecStatusType expected = PGRES_COMMAND_OK) {
    return Checked(PQexec(conn_, sql), expected);
  }
  Result Run(const Query& query, const char* const* values, ExecStatusType expected) {
    return Checked(PQexecPrepared(conn_, query.Name, query.Parameters, values, nullptr, nullptr, 0), expected);
  }
  // Ends a failed transaction; nothing to do when the connection is gone with it.
  void RollBack() noexcept {
    if (PQstatus(conn_) == CONNECTION_OK) PQclear(PQexec(conn_, "ROLLBACK"));
  }

private:
  // An idle connection has nothing to read unless the database wrote to it as it closed it.
  bool Alive() {
    if (PQstatus(conn_) != CONNECTION_OK) return false;
    pollfd fd{PQsocket(conn_), POLLIN, 0};
    if (poll(&fd, 1, 0) == 0) return true;
    if (PQconsumeInput(conn_) == 0) return false;
    while (PGnotify* notice = PQnotifies(conn_)) PQfreemem(notice);
    return PQstatus(conn_) == CONNECTION_OK && !PQisBusy(conn_);
  }
  void Prepare() {
    for (const Query& query : kQueries) Checked(PQprepare(conn_, query.Name, query.Sql, query.Parameters, nullptr), PGRES_COMMAND_OK);
    prepared_ = true;
  }
  Result Checked(PGresult* raw, ExecStatusType expected) {
    Result result(raw);
    if (result != nullptr && PQresultStatus(result.get()) == expected) return result;
    const char* primary = result != nullptr ? PQresultErrorField(result.get(), PG_DIAG_MESSAGE_PRIMARY) : nullptr;
    throw StoreError(primary != nullptr ? primary : Error());
  }
  std::string Error() const {
    const std::string message = Trimmed(PQerrorMessage(conn_));
    return message.empty() ? "connection to the database lost" : message;
  }

  PGconn* conn_ = nullptr;
  bool prepared_ = false;
};

// Up to kPoolSize connections, opened as they are first needed.
class Pool {
public:
  explicit Pool(std::string address) : address_(std::move(address)) {}

  // A connection for this thread alone until the lease ends; ready for a query.
  class Lease {
  public:
    Lease(Pool& pool, std::unique_ptr<Link> link) : pool_(pool), link_(std::move(link)) {}
    ~Lease() { pool_.Return(std::move(link_)); }
    Lease(const Lease&) = delete;
    Lease& operator=(const Lease&) = delete;
    Link* operator->() const { return link_.get(); }
    Link& operator*() const { return *link_; }

  private:
    Pool& pool_;
    std::unique_ptr<Link> link_;
  };

  Lease Take() {
    std::unique_ptr<Link> link;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      returned_.wait(lock, [this] { return !idle_.empty() || open_ < kPoolSize; });
      if (!idle_.empty()) {
        link = std::move(idle_.back());
        idle_.pop_back();
      } else {
        ++open_;
      }
    }
    try {
      if (link == nullptr) link = std::make_unique<Link>(address_);
      link->Ready();
    } catch (...) {
      Return(std::move(link));
      throw;
    }
    return Lease(*this, std::move(link));
  }

private:
  void Return(std::unique_ptr<Link> link) {
    {
      const std::lock_guard<std::mutex> lock(mutex_);
      if (link != nullptr) idle_.push_back(std::move(link));
      else --open_;
    }
    returned_.notify_one();
  }

  const std::string address_;
  std::mutex mutex_;
  std::condition_variable returned_;
  std::vector<std::unique_ptr<Link>> idle_;
  size_t open_ = 0;
};

void Migrate(Link& db) {
  db.Execute("BEGIN");
  try {
    db.Execute(("SELECT pg_advisory_xact_lock(" + std::to_string(kMigrationLock) + ")").c_str(), PGRES_TUPLES_OK);
    const Result tables =
        db.Execute("SELECT to_regclass('zkscored_schema') IS NOT NULL, to_regclass('scores') IS NOT NULL", PGRES_TUPLES_OK);
    const bool versioned = *PQgetvalue(tables.get(), 0, 0) == 't';
    const bool hasScores = *PQgetvalue(tables.get(), 0, 1) == 't';
    int version = 0;
    if (versioned) {
      const Result row = db.Execute("SELECT max(version) FROM zkscored_schema", PGRES_TUPLES_OK);
      version = std::atoi(PQgetvalue(row.get(), 0, 0));
    } else if (hasScores) {
      throw StoreError("holds a table named scores but is not a zkscored database");
    } else {
      db.Execute("CREATE TABLE zkscored_schema (version integer NOT NULL); INSERT INTO zkscored_schema VALUES (0)");
    }
    if (version > PostgresSchemaVersion)
      throw StoreError("made by a newer zkscored (schema version " + std::to_string(version) + ")");
    for (int step = version; step < PostgresSchemaVersion; ++step) db.Execute(kMigrations[step]);
    db.Execute(("UPDATE zkscored_schema SET version = " + std::to_string(PostgresSchemaVersion)).c_str());
    db.Execute("COMMIT");
  } catch (...) {
    db.RollBack();
    throw;
  }
}

class PostgresStore final : public ScoreStore {
public:
  explicit PostgresStore(const std::string& address)
      : pool_(address), groups_(kConcurrentCommits, [this](const std::vector<const NewScore*>& group) { CommitGroup(group); }) {
    Link first(address);
    Migrate(first);
  }

  void Add(const NewScore& score) override { groups_.Add(score); }

  void AddAll(const std::function<bool(std::vector<NewScore>&)>& next) override {
    const Pool::Lease db = pool_.Take();
    db->Execute("BEGIN");
    try {
      std::vector<NewScore> batch;
      std::vector<const NewScore*> scores;
      for (bool more = true; more;) {
        batch.clear();
        more = next(batch);
        scores.resize(batch.size());
        std::transform(batch.begin(), batch.end(), scores.begin(), [](const NewScore& score) { return &score; });
        Insert(db, scores);
      }
      db->Execute("COMMIT");
    } catch (...) {
      db->RollBack();
      throw;
    }
  }

  std::vector<ScoreRow> Top(int count) override {
    const std::string limit = std::to_string(count);
    const char* values[] = {limit.c_str()};
    const Result result = Read(kTop, values);
    std::vector<ScoreRow> rows(static_cast<size_t>(PQntuples(result.get())));
    for (size_t i = 0; i < rows.size(); ++i) {
      const int r = static_cast<int>(i);
      rows[i].Id = std::atoll(PQgetvalue(result.get(), r, 0));
      rows[i].Name = PQgetvalue(result.get(), r, 1);
      rows[i].Score = std::atoll(PQgetvalue(result.get(), r, 2));
      rows[i].Country = PQgetvalue(result.get(), r, 3);
      rows[i].ReceivedAt = std::atoll(PQgetvalue(result.get(), r, 4));
    }
    return rows;
  }

  int64_t Count() override { return std::atoll(PQgetvalue(Read(kCount, nullptr).get(), 0, 0)); }

  // Counts the changes of the database's snapshot: one trip to the database, and none of the list.
  std::optional<int64_t> Version() override {
    const Result result = Read(kSnapshot, nullptr);
    const std::string_view snapshot = PQgetvalue(result.get(), 0, 0);
    const std::lock_guard<std::mutex> lock(versionMutex_);
    if (snapshot != snapshot_) {
      snapshot_ = snapshot;
      ++version_;
    }
    return version_;
  }

  bool SharedWithOtherServers() const override { return true; }

private:
  // One statement, a transaction of its own.
  void CommitGroup(const std::vector<const NewScore*>& group) { Insert(pool_.Take(), group); }

  // One statement (one trip to the database) for all of `scores`.
  static void Insert(const Pool::Lease& db, const std::vector<const NewScore*>& scores) {
    if (scores.empty()) return;
    ArrayText names, points, countries, times, addresses;
    for (const NewScore* score : scores) {
      names.Append(score->Entry.Name);
      points.Append(score->Entry.Score);
      countries.Append(score->Entry.Country);
      times.Append(score->ReceivedAt);
      addresses.Append(score->Address);
    }
    const char* values[] = {names.Finished(), points.Finished(), countries.Finished(), times.Finished(),
                            addresses.Finished()};
    db->Run(kInsert, values, PGRES_COMMAND_OK);
  }

  // A read that failed because its connection broke is tried once more on a fresh one.
  Result Read(const Query& query, const char* const* values) {
    try {
      const Pool::Lease db = pool_.Take();
      return db->Run(query, values, PGRES_TUPLES_OK);
    } catch (const StoreError&) {
      const Pool::Lease db = pool_.Take();
      return db->Run(query, values, PGRES_TUPLES_OK);
    }
  }

  Pool pool_;
  GroupCommit groups_;
  std::mutex versionMutex_;
  std::string snapshot_;  // as last read
  int64_t version_ = 0;
};

}  // namespace

bool HavePostgres() { return true; }

std::unique_ptr<ScoreStore> OpenPostgresStore(const std::string& address) {
  try {
    return std::make_unique<PostgresStore>(address);
  } catch (const std::exception& e) {
    throw StoreError(DatabaseForDisplay(address) + ": " + e.what());
  }
}

}  // namespace scored
