// zkscored, the world high-score server: it takes the scores the game sends, keeps them in a
// store and shows the best of them as a web page and as JSON.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace scored {

constexpr size_t MaxNameLength = 12;
constexpr size_t MaxCountryLength = 16;
constexpr int32_t MaxScore = 10'000'000;
constexpr int WorldListSize = 100;
constexpr size_t MaxTargetLength = 4096;  // longer request targets get 414
constexpr int64_t NewEntrySeconds = 60;   // how long the newest entry stays highlighted

// ---- submissions ----

struct Submission {
  std::string Name;
  int32_t Score = 0;
  std::string Country;
};

struct SubmissionCheck {
  std::optional<Submission> Valid;
  std::string Error;  // why Valid is empty, for the 400 answer
};

// Judges the code of a submission (the request's "inf" value): it must decode to a payload in the
// game's exact format whose name is 0 to 12 letters, digits and spaces, whose score is a plain
// decimal from 0 to MaxScore and whose country is 0 to 16 printable ASCII characters.
SubmissionCheck CheckSubmission(std::string_view code);

// ---- storage ----

struct ScoreRow {
  int64_t Id = 0;  // grows with each entry
  std::string Name;
  int64_t Score = 0;
  std::string Country;
  int64_t ReceivedAt = 0;  // seconds since 1970, UTC
};

struct NewScore {
  Submission Entry;
  int64_t ReceivedAt = 0;
  std::string Address;  // the client's
};

// A store that cannot take or give scores answers 503; the reason goes to the log.
class StoreError : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

// Where the scores are kept. Every call may come from any thread; failures throw StoreError.
class ScoreStore {
public:
  virtual ~ScoreStore() = default;
  // Returns once the entry is committed.
  virtual void Add(const NewScore& score) = 0;
  // At most `count` entries, best score first; among equal scores the earlier entry first.
  virtual std::vector<ScoreRow> Top(int count) = 0;
  virtual int64_t Count() = 0;
  // A number that changes whenever Top's answer may have changed, by this server or another;
  // none when the store cannot tell without reading the list itself. Read it before the list.
  virtual std::optional<int64_t> Version() { return std::nullopt; }
  // Adds every score `next` hands out, in order, as one transaction where the store has them:
  // `next` fills the (emptied) batch and returns false once it has handed out the last one.
  virtual void AddAll(const std::function<bool(std::vector<NewScore>&)>& next);
  // True when other servers write to the same store too, so a list read earlier may miss their
  // entries however recent it is.
  virtual bool SharedWithOtherServers() const { return false; }
};

// SQLite file at `path`, created with its schema when new, migrated when older. Throws StoreError
// naming the file when it cannot be opened or was made by a newer server.
std::unique_ptr<ScoreStore> OpenSqliteStore(const std::string& path);
constexpr int SqliteSchemaVersion = 1;

// PostgreSQL database at a libpq address (postgresql://user@host:port/db?...): the schema
// created on first use, migrated when older, refused when newer; a pool of connections, each
// opened anew after the database closed it. Throws StoreError naming the address (without its
// password) when the database cannot be reached or used, or when this server was built without
// libpq.
std::unique_ptr<ScoreStore> OpenPostgresStore(const std::string& address);
constexpr int PostgresSchemaVersion = 1;
bool HavePostgres();  // whether this server was built with the PostgreSQL store

// The store --db names: a postgresql:// or postgres:// address, else an SQLite file.
bool IsPostgresAddress(std::string_view database);
std::unique_ptr<ScoreStore> OpenStore(const std::string& database);
// `database` as logs and messages show it: an address's password replaced by "***".
std::string DatabaseForDisplay(const std::string& database);

// Copies every score of the SQLite file at `sqlitePath` (opened read-only, never changed) into
// `to`, which must hold no scores, in their order of arrival; returns how many. Throws StoreError
// naming the file or the problem.
int64_t CopySqliteScores(const std::string& sqlitePath, ScoreStore& to);

// ---- pages ----

std::string HtmlEscape(std::string_view text);
// The world list, `rows` best first as Top gives them, at time `now` (seconds since 1970): ranks
// shared by equal scores, the newest entry of the last NewEntrySeconds marked; with a link to the
// browser version when the server has it.
std::string WorldPageHtml(const std::vector<ScoreRow>& rows, int64_t now, bool linkToGame = false);
std::string WorldPageJson(const std::vector<ScoreRow>& rows, int64_t now);

// ---- the server ----

// Submissions per client address and minute; 0 means no limit.
class RateLimiter {
public:
  explicit RateLimiter(int perMinute) : perMinute_(perMinute) {}
  bool Allow(const std::string& address, std::chrono::steady_clock::time_point now);

private:
  struct Window {
    std::chrono::steady_clock::time_point Start;
    int Count = 0;
  };
  const int perMinute_;
  std::mutex mutex_;
  std::unordered_map<std::string, Window> windows_;
};

// What one client may hold and send. Connections wait for their request heads without a worker;
// a request beyond a limit is answered at once (status in brackets) and its connection closed.
struct ConnectionLimits {
  int PerAddress = 256;  // connections from one address [503]
  int Total = 4000;      // connections in all, at most the open-file limit less a few [503]
  int HeadSeconds = 10;  // from the connection to its first request head [408]
  int KeepAliveSeconds = 5;  // from an answer to the next request head; then closed
  int IoSeconds = 10;        // reading a request's body and writing its answer
  size_t RequestLineBytes = 8192;  // [414]
  size_t HeadBytes = 16384;        // request line and headers [431]
  int HeaderLines = 64;            // [431]
  size_t BodyBytes = 4096;         // Content-Length [413]; chunked bodies are refused [411]
  int RequestsPerConnection = 1000;
  int Workers = 16;  // threads answering complete requests
};

struct HeadCheck {
  int Status = 0;         // 0: not complete yet; 200: within the limits; else the answer
  size_t Length = 0;      // the head's bytes up to and with its blank line (when 200)
  size_t BodyLength = 0;  // its Content-Length
};
// Judges the start of what a connection sent against the limits.
HeadCheck CheckRequestHead(std::string_view bytes, const ConnectionLimits& limits);

// The browser version of the game (scripts/build-web.sh), served at /play/.
struct WebFile {
  std::string ContentType;
  std::string Body;
  std::string Gzip;  // the body gzipped, when kept so (empty: sent as it is, or compressed per request)
  std::string ETag;
};
constexpr std::string_view WebPage = "zubokranz.html";
constexpr std::string_view WebPath = "/play/";
class WebFiles {
public:
  // Reads the page, script, WebAssembly and data files of `folder`; throws std::runtime_error
  // naming the folder or file when one cannot be read or the page is missing.
  static WebFiles Load(const std::string& folder);
  const WebFile* Find(std::string_view name) const;
  size_t Count() const { return files_.size(); }
  // What a browser downloads (compressed where kept so).
  size_t DownloadBytes() const;

private:
  std::map<std::string, WebFile, std::less<>> files_;
};

struct ServerSettings {
  int RateLimitPerMinute = 10;
  std::FILE* Log = nullptr;  // one line per request, control characters escaped; none when null
  ConnectionLimits Limits;
  std::shared_ptr<const WebFiles> Web;  // the game at /play/ and a link to it on the world page; none when null
};

constexpr int ListenBacklog = 4096;  // the system keeps at most net.core.somaxconn

// The HTTP side: routes, limits and the request log over a store the caller owns.
class ScoreServer {
public:
  ScoreServer(ScoreStore& store, const ServerSettings& settings);
  ~ScoreServer();
  // Binds to `host`:`port` (0: a port the system chooses) with a backlog of ListenBacklog;
  // returns the port, or -1.
  int Bind(const std::string& host, int port);
  // Serves until Stop; false when it could not serve at all.
  bool Serve();
  void Stop();
  bool Running() const;

private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace scored
