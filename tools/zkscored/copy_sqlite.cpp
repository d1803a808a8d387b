// zkscored --copy-from: an SQLite world list moved into another store, PostgreSQL above all.
#include <sqlite3.h>

#include "scored.h"

namespace scored {
namespace {

constexpr size_t kBatch = 1000;

// The SQLite file, read-only, and the one query that reads it.
class Source {
public:
  explicit Source(const std::string& path) {
    sqlite3* db = nullptr;
    const int rc = sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
    db_.reset(db);
    if (rc != SQLITE_OK) Fail();
    sqlite3_busy_timeout(db_.get(), 5000);
    const int version = static_cast<int>(Single("PRAGMA user_version"));
    if (version > SqliteSchemaVersion)
      throw StoreError("made by a newer zkscored (schema version " + std::to_string(version) + ")");
    if (version == 0) throw StoreError("not a zkscored database");
    sqlite3_stmt* rows = nullptr;
    const int prepared = sqlite3_prepare_v2(db_.get(), "SELECT name, score, country, received_at, address FROM scores ORDER BY id",
                                            -1, &rows, nullptr);
    rows_.reset(rows);
    if (prepared != SQLITE_OK) Fail();
  }

  // Fills `batch` with up to kBatch scores; false once the last has been read.
  bool Next(std::vector<NewScore>& batch) {
    while (batch.size() < kBatch) {
      const int rc = sqlite3_step(rows_.get());
      if (rc == SQLITE_DONE) return false;
      if (rc != SQLITE_ROW) Fail();
      NewScore score;
      score.Entry.Name = Text(0);
      score.Entry.Score = sqlite3_column_int(rows_.get(), 1);
      score.Entry.Country = Text(2);
      score.ReceivedAt = sqlite3_column_int64(rows_.get(), 3);
      score.Address = Text(4);
      batch.push_back(std::move(score));
    }
    return true;
  }

private:
  struct Close {
    void operator()(sqlite3* db) const { sqlite3_close(db); }
    void operator()(sqlite3_stmt* statement) const { sqlite3_finalize(statement); }
  };

  [[noreturn]] void Fail() const { throw StoreError(db_ != nullptr ? sqlite3_errmsg(db_.get()) : "out of memory"); }
  int64_t Single(const char* sql) const {
    sqlite3_stmt* s = nullptr;
    if (sqlite3_prepare_v2(db_.get(), sql, -1, &s, nullptr) != SQLITE_OK) Fail();
    const bool row = sqlite3_step(s) == SQLITE_ROW;
    const int64_t value = row ? sqlite3_column_int64(s, 0) : 0;
    sqlite3_finalize(s);
    if (!row) Fail();
    return value;
  }
  std::string Text(int column) const {
    const unsigned char* text = sqlite3_column_text(rows_.get(), column);
    return text != nullptr ? std::string(reinterpret_cast<const char*>(text), sqlite3_column_bytes(rows_.get(), column))
                           : "";
  }

  std::unique_ptr<sqlite3, Close> db_;  // declared first, so it closes after the statement
  std::unique_ptr<sqlite3_stmt, Close> rows_;
};

}  // namespace

int64_t CopySqliteScores(const std::string& sqlitePath, ScoreStore& to) {
  std::unique_ptr<Source> source;
  try {
    source = std::make_unique<Source>(sqlitePath);
  } catch (const StoreError& e) {
    throw StoreError(sqlitePath + ": " + e.what());
  }
  if (const int64_t held = to.Count(); held != 0)
    throw StoreError("the target already holds " + std::to_string(held) + " scores; copy into an empty database");
  int64_t copied = 0;
  try {
    to.AddAll([&](std::vector<NewScore>& batch) {
      const bool more = source->Next(batch);
      copied += static_cast<int64_t>(batch.size());
      return more;
    });
  } catch (const StoreError& e) {
    throw StoreError("copying from " + sqlitePath + ": " + e.what());
  }
  return copied;
}

}  // namespace scored
