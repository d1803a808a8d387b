// The score store in one SQLite file: write-ahead log, one prepared statement per query, the
// schema versioned by PRAGMA user_version. Submissions arriving together are committed together
// (each Add still returns only once its entry is committed); the file is checked to be the one
// opened before each commit; the best entries are kept until this or another server writes.
#include <sqlite3.h>
#include <sys/stat.h>

#include <condition_variable>
#include <iterator>
#include <utility>

#include "scored.h"

namespace scored {
namespace {

// Each step brings the schema from version i to i + 1, inside one transaction.
constexpr const char* kMigrations[] = {
    "CREATE TABLE scores ("
    "  id INTEGER PRIMARY KEY,"
    "  name TEXT NOT NULL,"
    "  score INTEGER NOT NULL,"
    "  country TEXT NOT NULL,"
    "  received_at INTEGER NOT NULL,"
    "  address TEXT NOT NULL);"
    "CREATE INDEX scores_by_rank ON scores (score DESC, id);",
};
static_assert(std::size(kMigrations) == SqliteSchemaVersion);

class Statement {
public:
  Statement(sqlite3* db, const char* sql) {
    if (sqlite3_prepare_v3(db, sql, -1, SQLITE_PREPARE_PERSISTENT, &stmt_, nullptr) != SQLITE_OK)
      throw StoreError(sqlite3_errmsg(db));
  }
  ~Statement() { sqlite3_finalize(stmt_); }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;
  sqlite3_stmt* get() const { return stmt_; }

private:
  sqlite3_stmt* stmt_ = nullptr;
};

// Leaves the statement ready for its next use however the use ends.
class Use {
public:
  explicit Use(const Statement& s) : stmt_(s.get()) {}
  ~Use() {
    sqlite3_reset(stmt_);
    sqlite3_clear_bindings(stmt_);
  }
  sqlite3_stmt* operator*() const { return stmt_; }

private:
  sqlite3_stmt* stmt_;
};

class Connection {
public:
  explicit Connection(const std::string& path) {
    const int rc = sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX,
                                   nullptr);
    if (rc != SQLITE_OK) {
      const std::string message = db_ != nullptr ? sqlite3_errmsg(db_) : sqlite3_errstr(rc);
      sqlite3_close(db_);
      throw StoreError(message);
    }
  }
  ~Connection() { sqlite3_close(db_); }
  Connection(Connection&& other) noexcept : db_(std::exchange(other.db_, nullptr)) {}
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;
  sqlite3* get() const { return db_; }

  void Execute(const char* sql) const {
    char* error = nullptr;
    if (sqlite3_exec(db_, sql, nullptr, nullptr, &error) != SQLITE_OK) {
      const std::string message = error != nullptr ? error : sqlite3_errmsg(db_);
      sqlite3_free(error);
      throw StoreError(message);
    }
  }
  // The first column of the first row, as text.
  std::string Value(const char* sql) const {
    const Statement s(db_, sql);
    const int rc = sqlite3_step(s.get());
    if (rc == SQLITE_ROW) {
      const unsigned char* text = sqlite3_column_text(s.get(), 0);
      return text != nullptr ? reinterpret_cast<const char*>(text) : "";
    }
    if (rc != SQLITE_DONE) throw StoreError(sqlite3_errmsg(db_));
    return {};
  }

private:
  sqlite3* db_ = nullptr;
};

void Migrate(const Connection& db) {
  db.Execute("BEGIN IMMEDIATE");
  try {
    const int version = std::stoi(db.Value("PRAGMA user_version"));
    if (version > SqliteSchemaVersion)
      throw StoreError("made by a newer zkscored (schema version " + std::to_string(version) + ")");
    if (version == 0 && db.Value("SELECT count(*) FROM sqlite_master") != "0")
      throw StoreError("holds tables but is not a zkscored database");
    for (int step = version; step < SqliteSchemaVersion; ++step) db.Execute(kMigrations[step]);
    db.Execute(("PRAGMA user_version = " + std::to_string(SqliteSchemaVersion)).c_str());
    db.Execute("COMMIT");
  } catch (...) {
    sqlite3_exec(db.get(), "ROLLBACK", nullptr, nullptr, nullptr);
    throw;
  }
}

Connection OpenConfigured(const std::string& path) {
  Connection db(path);
  sqlite3_busy_timeout(db.get(), 5000);
  if (db.Value("PRAGMA journal_mode = WAL") != "wal") throw StoreError("cannot use a write-ahead log");
  // With the log, NORMAL keeps every commit through a crash of the server; only a power cut may
  // lose the last commits.
  db.Execute("PRAGMA synchronous = NORMAL");
  Migrate(db);
  return db;
}

// The file's identity, to tell it from a file put in its place.
struct FileId {
  dev_t Device = 0;
  ino_t Inode = 0;
  bool operator==(const FileId&) const = default;
};

std::optional<FileId> IdOf(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return std::nullopt;
  return FileId{st.st_dev, st.st_ino};
}

class SqliteStore final : public ScoreStore {
public:
  explicit SqliteStore(const std::string& path)
      : path_(path),
        db_(OpenConfigured(path)),
        insert_(db_.get(), "INSERT INTO scores (name, score, country, received_at, address) VALUES (?, ?, ?, ?, ?)"),
        top_(db_.get(), "SELECT id, name, score, country, received_at FROM scores ORDER BY score DESC, id LIMIT ?"),
        count_(db_.get(), "SELECT count(*) FROM scores"),
        dataVersion_(db_.get(), "PRAGMA data_version") {
    const std::optional<FileId> id = IdOf(path);
    if (!id) throw StoreError("the database file vanished as it was opened");
    file_ = *id;
  }

  // Joins the group of entries waiting for the next commit. The first waiter that finds no
  // commit running commits every entry waiting, in one transaction; the others wait for it.
  void Add(const NewScore& score) override {
    Waiter me{&score, false, {}};
    std::unique_lock<std::mutex> lock(groupMutex_);
    waiting_.push_back(&me);
    while (!me.Done) {
      if (committing_) {
        committed_.wait(lock);
        continue;
      }
      committing_ = true;
      std::vector<Waiter*> group;
      group.swap(waiting_);
      lock.unlock();
      std::string failure;
      try {
        CommitGroup(group);
      } catch (const std::exception& e) {
        failure = e.what();
      }
      lock.lock();
      for (Waiter* w : group) {
        w->Failure = failure;
        w->Done = true;
      }
      committing_ = false;
      committed_.notify_all();
    }
    if (!me.Failure.empty()) throw StoreError(me.Failure);
  }

  std::vector<ScoreRow> Top(int count) override {
    const std::lock_guard<std::mutex> lock(mutex_);
    const int64_t version = DataVersion();
    if (topValid_ && version == topVersion_ && count == topCount_) return topRows_;
    const Use s(top_);
    sqlite3_bind_int(*s, 1, count);
    std::vector<ScoreRow> rows;
    int rc;
    while ((rc = sqlite3_step(*s)) == SQLITE_ROW) {
      ScoreRow row;
      row.Id = sqlite3_column_int64(*s, 0);
      row.Name = ColumnText(*s, 1);
      row.Score = sqlite3_column_int64(*s, 2);
      row.Country = ColumnText(*s, 3);
      row.ReceivedAt = sqlite3_column_int64(*s, 4);
      rows.push_back(std::move(row));
    }
    if (rc != SQLITE_DONE) throw StoreError(sqlite3_errmsg(db_.get()));
    topRows_ = rows;
    topVersion_ = version;
    topCount_ = count;
    topValid_ = true;
    return rows;
  }

  int64_t Count() override {
    const std::lock_guard<std::mutex> lock(mutex_);
    const Use s(count_);
    if (sqlite3_step(*s) != SQLITE_ROW) throw StoreError(sqlite3_errmsg(db_.get()));
    return sqlite3_column_int64(*s, 0);
  }

private:
  struct Waiter {
    const NewScore* Score;
    bool Done = false;
    std::string Failure;
  };

  // Under mutex_: changes when another connection (another server) has committed.
  int64_t DataVersion() {
    const Use s(dataVersion_);
    if (sqlite3_step(*s) != SQLITE_ROW) throw StoreError(sqlite3_errmsg(db_.get()));
    return sqlite3_column_int64(*s, 0);
  }

  // Refuses to write into a file that is no longer the one at the path: removed or replaced,
  // the entries would be lost with it.
  void CheckFileInPlace() const {
    const std::optional<FileId> id = IdOf(path_);
    if (!id) throw StoreError(path_ + ": the database file was removed; restart the server to create it anew");
    if (!(*id == file_)) throw StoreError(path_ + ": the database file was replaced; restart the server to open the new one");
  }

  void CommitGroup(const std::vector<Waiter*>& group) {
    const std::lock_guard<std::mutex> lock(mutex_);
    CheckFileInPlace();
    topValid_ = false;
    db_.Execute("BEGIN IMMEDIATE");
    try {
      for (const Waiter* w : group) Insert(*w->Score);
      db_.Execute("COMMIT");
    } catch (...) {
      sqlite3_exec(db_.get(), "ROLLBACK", nullptr, nullptr, nullptr);
      throw;
    }
  }

  void Insert(const NewScore& score) {
    const Use s(insert_);
    sqlite3_bind_text(*s, 1, score.Entry.Name.data(), static_cast<int>(score.Entry.Name.size()), SQLITE_STATIC);
    sqlite3_bind_int64(*s, 2, score.Entry.Score);
    sqlite3_bind_text(*s, 3, score.Entry.Country.data(), static_cast<int>(score.Entry.Country.size()), SQLITE_STATIC);
    sqlite3_bind_int64(*s, 4, score.ReceivedAt);
    sqlite3_bind_text(*s, 5, score.Address.data(), static_cast<int>(score.Address.size()), SQLITE_STATIC);
    if (sqlite3_step(*s) != SQLITE_DONE) throw StoreError(sqlite3_errmsg(db_.get()));
  }

  static std::string ColumnText(sqlite3_stmt* s, int column) {
    const unsigned char* text = sqlite3_column_text(s, column);
    return text != nullptr ? std::string(reinterpret_cast<const char*>(text), sqlite3_column_bytes(s, column)) : "";
  }

  const std::string path_;
  FileId file_;
  std::mutex mutex_;  // the connection and the statements
  Connection db_;     // declared before the statements, so it closes after them
  Statement insert_, top_, count_, dataVersion_;
  // The best entries as last read, valid while data_version stays and this server has not written.
  bool topValid_ = false;
  int64_t topVersion_ = 0;
  int topCount_ = 0;
  std::vector<ScoreRow> topRows_;
  // The group commit: entries waiting, and whether a commit is running.
  std::mutex groupMutex_;
  std::condition_variable committed_;
  std::vector<Waiter*> waiting_;
  bool committing_ = false;
};

}  // namespace

std::unique_ptr<ScoreStore> OpenSqliteStore(const std::string& path) {
  try {
    return std::make_unique<SqliteStore>(path);
  } catch (const std::exception& e) {
    throw StoreError(path + ": " + e.what());
  }
}

}  // namespace scored
