// The score store in one SQLite file: write-ahead log, one prepared statement per query, the
// schema versioned by PRAGMA user_version. Three connections: one writes, committing the
// submissions that arrive together in one transaction (each Add still returns only once its entry
// is committed), after checking that the file is still the one opened; one reads, keeping the best
// entries until this or another server writes, so that the list never waits for a commit; one
// copies the log into the file (a checkpoint) a few times a second, so that no commit waits for
// the disk and a power cut loses only the last moments.
#include <sqlite3.h>
#include <sys/stat.h>

#include <condition_variable>
#include <iterator>
#include <thread>
#include <utility>

#include "group_commit.h"
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

// How long after a commit the log is flushed and copied into the file (with the commits that
// follow it meanwhile): a commit waits for no disk write, and is on the disk once that checkpoint
// has ended.
constexpr auto kCheckpointInterval = std::chrono::milliseconds(250);
// Should checkpoints fall behind, the writer checkpoints itself once the log holds this many pages.
constexpr int kWriterCheckpointPages = 10000;

Connection OpenConfigured(const std::string& path) {
  Connection db(path);
  sqlite3_busy_timeout(db.get(), 5000);
  if (db.Value("PRAGMA journal_mode = WAL") != "wal") throw StoreError("cannot use a write-ahead log");
  // With the log, NORMAL keeps every commit through a crash of the server; a power cut may lose
  // the commits since the last checkpoint.
  db.Execute("PRAGMA synchronous = NORMAL");
  return db;
}

Connection OpenWriter(const std::string& path) {
  Connection db = OpenConfigured(path);
  Migrate(db);
  db.Execute(("PRAGMA wal_autocheckpoint = " + std::to_string(kWriterCheckpointPages)).c_str());
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
        writer_(OpenWriter(path)),
        reader_(OpenConfigured(path)),
        checkpointer_(OpenConfigured(path)),
        insert_(writer_.get(), "INSERT INTO scores (name, score, country, received_at, address) VALUES (?, ?, ?, ?, ?)"),
        top_(reader_.get(), "SELECT id, name, score, country, received_at FROM scores ORDER BY score DESC, id LIMIT ?"),
        count_(reader_.get(), "SELECT count(*) FROM scores"),
        dataVersion_(reader_.get(), "PRAGMA data_version"),
        groups_(1, [this](const std::vector<const NewScore*>& group) { CommitGroup(group); }) {
    const std::optional<FileId> id = IdOf(path);
    if (!id) throw StoreError("the database file vanished as it was opened");
    file_ = *id;
    checkpoints_ = std::thread([this] { CheckpointLoop(); });
  }

  ~SqliteStore() override {
    {
      const std::lock_guard<std::mutex> lock(checkpointMutex_);
      stopping_ = true;
    }
    checkpointWake_.notify_all();
    checkpoints_.join();
  }

  void Add(const NewScore& score) override { groups_.Add(score); }

  std::vector<ScoreRow> Top(int count) override {
    const std::lock_guard<std::mutex> lock(readMutex_);
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
    if (rc != SQLITE_DONE) throw StoreError(sqlite3_errmsg(reader_.get()));
    topRows_ = rows;
    topVersion_ = version;
    topCount_ = count;
    topValid_ = true;
    return rows;
  }

  std::optional<int64_t> Version() override {
    const std::lock_guard<std::mutex> lock(readMutex_);
    return DataVersion();
  }

  int64_t Count() override {
    const std::lock_guard<std::mutex> lock(readMutex_);
    const Use s(count_);
    if (sqlite3_step(*s) != SQLITE_ROW) throw StoreError(sqlite3_errmsg(reader_.get()));
    return sqlite3_column_int64(*s, 0);
  }

private:
  // Under readMutex_: changes when another connection (this server's writer, or another
  // server) has committed.
  int64_t DataVersion() {
    const Use s(dataVersion_);
    if (sqlite3_step(*s) != SQLITE_ROW) throw StoreError(sqlite3_errmsg(reader_.get()));
    return sqlite3_column_int64(*s, 0);
  }

  // Refuses to write into a file that is no longer the one at the path: removed or replaced,
  // the entries would be lost with it.
  void CheckFileInPlace() const {
    const std::optional<FileId> id = IdOf(path_);
    if (!id) throw StoreError(path_ + ": the database file was removed; restart the server to create it anew");
    if (!(*id == file_)) throw StoreError(path_ + ": the database file was replaced; restart the server to open the new one");
  }

  // Called by one thread at a time (the group commit's).
  void CommitGroup(const std::vector<const NewScore*>& group) {
    CheckFileInPlace();
    writer_.Execute("BEGIN IMMEDIATE");
    try {
      for (const NewScore* score : group) Insert(*score);
      writer_.Execute("COMMIT");
    } catch (...) {
      sqlite3_exec(writer_.get(), "ROLLBACK", nullptr, nullptr, nullptr);
      throw;
    }
    NoteCommit();
  }

  void Insert(const NewScore& score) {
    const Use s(insert_);
    sqlite3_bind_text(*s, 1, score.Entry.Name.data(), static_cast<int>(score.Entry.Name.size()), SQLITE_STATIC);
    sqlite3_bind_int64(*s, 2, score.Entry.Score);
    sqlite3_bind_text(*s, 3, score.Entry.Country.data(), static_cast<int>(score.Entry.Country.size()), SQLITE_STATIC);
    sqlite3_bind_int64(*s, 4, score.ReceivedAt);
    sqlite3_bind_text(*s, 5, score.Address.data(), static_cast<int>(score.Address.size()), SQLITE_STATIC);
    if (sqlite3_step(*s) != SQLITE_DONE) throw StoreError(sqlite3_errmsg(writer_.get()));
  }

  // Wakes the checkpoint thread, unless it already knows of a commit to copy.
  void NoteCommit() {
    const std::lock_guard<std::mutex> lock(checkpointMutex_);
    if (uncheckpointed_) return;
    uncheckpointed_ = true;
    checkpointWake_.notify_one();
  }

  // A passive checkpoint an interval after the first commit since the last one: it never blocks
  // the writer or the reader; one that cannot finish (another server's checkpoint, a long read)
  // is tried again an interval later. Idle while nothing is committed.
  void CheckpointLoop() {
    std::unique_lock<std::mutex> lock(checkpointMutex_);
    for (;;) {
      checkpointWake_.wait(lock, [this] { return stopping_ || uncheckpointed_; });
      if (checkpointWake_.wait_for(lock, kCheckpointInterval, [this] { return stopping_; })) return;
      uncheckpointed_ = false;
      lock.unlock();
      int logFrames = 0, copiedFrames = 0;
      const int rc = sqlite3_wal_checkpoint_v2(checkpointer_.get(), nullptr, SQLITE_CHECKPOINT_PASSIVE, &logFrames, &copiedFrames);
      lock.lock();
      if (rc != SQLITE_OK || copiedFrames < logFrames) uncheckpointed_ = true;
    }
  }

  static std::string ColumnText(sqlite3_stmt* s, int column) {
    const unsigned char* text = sqlite3_column_text(s, column);
    return text != nullptr ? std::string(reinterpret_cast<const char*>(text), sqlite3_column_bytes(s, column)) : "";
  }

  const std::string path_;
  FileId file_;
  // The connections are declared before their statements, so that they close after them.
  Connection writer_;    // used by the group commit only
  Connection reader_;    // under readMutex_
  Connection checkpointer_;  // used by the checkpoint thread only
  Statement insert_, top_, count_, dataVersion_;
  std::mutex readMutex_;
  // The best entries as last read, valid while the reader's data_version stays.
  bool topValid_ = false;
  int64_t topVersion_ = 0;
  int topCount_ = 0;
  std::vector<ScoreRow> topRows_;
  GroupCommit groups_;
  // The checkpoint thread, and whether anything was committed since its last checkpoint began.
  std::mutex checkpointMutex_;
  std::condition_variable checkpointWake_;
  bool uncheckpointed_ = false;
  bool stopping_ = false;
  std::thread checkpoints_;
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
