// Shared pieces of the score server's tests: a temporary folder, the server in-process or as its
// own process on a loopback port the system chooses, and submissions encoded by the game.
#pragma once

#include <gtest/gtest.h>
#include <httplib.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "online/online.h"
#include "zkres/json.h"
#include "zkscored/scored.h"

namespace scored_test {

namespace fs = std::filesystem;

class TempDir {
public:
  TempDir() {
    std::string pattern = (fs::temp_directory_path() / "zkscored-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) ADD_FAILURE() << "no temporary folder";
    path_ = pattern;
  }
  ~TempDir() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
  }
  const fs::path& Path() const { return path_; }

private:
  fs::path path_;
};

// The first column of the first row of `sql` on the SQLite file at `path`, -1 when none.
inline int64_t SqliteValue(const std::string& path, const std::string& sql) {
  sqlite3* db = nullptr;
  sqlite3_open(path.c_str(), &db);
  sqlite3_stmt* s = nullptr;
  int64_t value = -1;
  if (sqlite3_prepare_v2(db, sql.c_str(), -1, &s, nullptr) == SQLITE_OK && sqlite3_step(s) == SQLITE_ROW)
    value = sqlite3_column_int64(s, 0);
  sqlite3_finalize(s);
  sqlite3_close(db);
  return value;
}

// The request target the game sends for `payload`.
inline std::string SubmissionTarget(const std::string& payload) {
  return std::string(SubmitScorePathAndQuery) + BitTextToCode(BytesToBitText(payload));
}
inline std::string SubmissionTarget(const std::string& name, int32_t score, const std::string& country) {
  return SubmissionTarget(ScorePayload(name, score, country));
}
inline std::string JsonListTarget() { return std::string(WorldHighScoresPathAndQuery) + "&format=json"; }

// Status of a GET, 0 when the request failed.
inline int StatusOf(httplib::Client& client, const std::string& target) {
  const httplib::Result result = client.Get(target.c_str());
  return result ? result->status : 0;
}

// The "scores" array of the JSON list.
inline std::vector<JsonValue> JsonList(httplib::Client& client) {
  const httplib::Result result = client.Get(JsonListTarget().c_str());
  if (!result || result->status != 200) {
    ADD_FAILURE() << "no JSON list";
    return {};
  }
  const JsonValue list = ParseJson(result->body);
  const JsonValue* scores = list.Find("scores");
  return scores != nullptr ? scores->Array : std::vector<JsonValue>{};
}

// zkscored's store and HTTP side in this process, serving on 127.0.0.1.
class InProcessServer {
public:
  explicit InProcessServer(int rateLimitPerMinute = 0, const fs::path& database = {})
      : InProcessServer(scored::ServerSettings{rateLimitPerMinute, nullptr, {}}, database) {}
  InProcessServer(const scored::ServerSettings& settings, const fs::path& database)
      : store_(scored::OpenSqliteStore((database.empty() ? dir_.Path() / "scores.db" : database).string())),
        server_(*store_, settings) {
    port_ = server_.Bind("127.0.0.1", 0);
    EXPECT_GT(port_, 0);
    thread_ = std::thread([this] { server_.Serve(); });
    for (int i = 0; i < 5000 && !server_.Running(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  ~InProcessServer() {
    server_.Stop();
    thread_.join();
  }
  scored::ScoreStore& Store() { return *store_; }
  int Port() const { return port_; }
  httplib::Client Client() const {
    httplib::Client client("127.0.0.1", port_);
    client.set_read_timeout(std::chrono::seconds(30));
    return client;
  }

private:
  TempDir dir_;
  std::unique_ptr<scored::ScoreStore> store_;
  scored::ScoreServer server_;
  int port_ = -1;
  std::thread thread_;
};

// bin/zkscored as a child process, its standard error in a file.
class ServerProcess {
public:
  explicit ServerProcess(const std::vector<std::string>& args, const fs::path& logFile) : log_(logFile) {
    pid_ = fork();
    if (pid_ == 0) {
      const std::string path = std::string(ZK_BIN_DIR) + "/zkscored";
      std::vector<char*> argv{const_cast<char*>(path.c_str())};
      for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
      argv.push_back(nullptr);
      if (std::freopen(logFile.c_str(), "w", stderr) == nullptr) _exit(126);
      execv(path.c_str(), argv.data());
      _exit(127);
    }
  }
  ~ServerProcess() {
    if (pid_ > 0 && !exited_) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
  }
  // The port from the "listening on" line; 0 when the server ended or did not start in time.
  int WaitForPort() {
    const std::string marker = "listening on http://127.0.0.1:";
    for (int i = 0; i < 600; ++i) {
      const std::string log = Log();
      const size_t at = log.find(marker);
      if (at != std::string::npos && log.find('/', at + marker.size()) != std::string::npos)
        return std::atoi(log.c_str() + at + marker.size());
      if (waitpid(pid_, &status_, WNOHANG) == pid_) {
        exited_ = true;
        return 0;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return 0;
  }
  // Sends `signal` and waits (bounded) for the exit; returns the wait status, -1 when it did not end.
  int Stop(int signal) {
    if (!exited_) kill(pid_, signal);
    return Wait();
  }
  int Wait() {
    for (int i = 0; i < 600 && !exited_; ++i) {
      if (waitpid(pid_, &status_, WNOHANG) == pid_) exited_ = true;
      else std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return exited_ ? status_ : -1;
  }
  pid_t Pid() const { return pid_; }
  std::string Log() const {
    std::ifstream in(log_);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }

private:
  fs::path log_;
  pid_t pid_ = -1;
  int status_ = 0;
  bool exited_ = false;
};

}  // namespace scored_test
