// A throw-away PostgreSQL cluster for the score server's tests: initdb into the build folder, the
// server a child of the test process (as the user `nobody` when the tests run as root, since
// PostgreSQL refuses to run as root), listening on a Unix socket in its own folder only, stopped
// when the test ends or, should the test die, by the parent-death signal.
#pragma once

#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <libpq-fe.h>
#include <netinet/in.h>
#include <pwd.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace scored_test {

class PostgresCluster {
public:
  // The cluster of this test process, started on first use; null when PostgreSQL is not
  // installed (a test then skips, or fails where the build requires PostgreSQL).
  static PostgresCluster* Shared() {
    static const std::unique_ptr<PostgresCluster> cluster = Make();
    return cluster.get();
  }

  ~PostgresCluster() {
    Stop();
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
  }

  // A new empty database of its own, as the libpq address zkscored's --db takes.
  std::string NewDatabase() {
    static int counter = 0;
    const std::string name = "zk" + std::to_string(++counter);
    Execute(Address("postgres"), "CREATE DATABASE " + name);
    return Address(name);
  }
  std::string Address(const std::string& database) const {
    return "postgresql://zk@/" + database + "?host=" + dir_.string() + "&port=" + std::to_string(port_);
  }
  // The first column of the rows of `sql` on the database at `address`, one a line; "" when none.
  static std::string Execute(const std::string& address, const std::string& sql) {
    PGconn* conn = PQconnectdb(address.c_str());
    std::string value;
    PGresult* result = PQexec(conn, sql.c_str());
    const ExecStatusType status = PQresultStatus(result);
    if (status == PGRES_TUPLES_OK)
      for (int row = 0; row < PQntuples(result); ++row) value.append(row > 0 ? "\n" : "").append(PQgetvalue(result, row, 0));
    else if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK)
      ADD_FAILURE() << sql << ": " << PQerrorMessage(conn);
    PQclear(result);
    PQfinish(conn);
    return value;
  }

  // A fast shutdown, as for a restart: open sessions are ended, committed data kept.
  void Stop() {
    if (server_ <= 0) return;
    kill(server_, SIGINT);
    if (!WaitFor(server_, 120)) {
      kill(server_, SIGKILL);
      waitpid(server_, nullptr, 0);
    }
    server_ = -1;
  }
  // Starts the server (again) and waits until it answers; false when it does not.
  bool Start() {
    server_ = Spawn({Bin("postgres"), "-D", (dir_ / "data").string(), "-p", std::to_string(port_), "-k", dir_.string(),
                     "-c", "listen_addresses=", "-c", "fsync=off", "-c", "max_connections=200"},
                    /*tiedToTest=*/true);
    for (int i = 0; i < 1200; ++i) {
      if (PQping(Address("postgres").c_str()) == PQPING_OK) return true;
      int status = 0;
      if (waitpid(server_, &status, WNOHANG) == server_) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    ADD_FAILURE() << "PostgreSQL did not start; see " << (dir_ / "server.log");
    return false;
  }

private:
  static std::unique_ptr<PostgresCluster> Make() {
    const std::string bin = FindBinaries();
    if (bin.empty()) return nullptr;
    auto cluster = std::unique_ptr<PostgresCluster>(new PostgresCluster(bin));
    if (!cluster->Init() || !cluster->Start()) return nullptr;
    return cluster;
  }

  // The newest /usr/lib/postgresql/<major>/bin holding initdb.
  static std::string FindBinaries() {
    std::vector<std::filesystem::path> found;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/usr/lib/postgresql", error))
      if (std::filesystem::exists(entry.path() / "bin" / "initdb")) found.push_back(entry.path() / "bin");
    std::sort(found.begin(), found.end(), [](const auto& a, const auto& b) {
      return std::atoi(a.filename().c_str()) < std::atoi(b.filename().c_str());
    });
    return found.empty() ? "" : found.back().string();
  }

  explicit PostgresCluster(std::string bin) : bin_(std::move(bin)) {
    if (geteuid() == 0) {
      const passwd* nobody = getpwnam("nobody");
      if (nobody != nullptr) {
        uid_ = nobody->pw_uid;
        gid_ = nobody->pw_gid;
      }
    }
    port_ = FreePort();
  }

  bool Init() {
    // Beside the other test output, unless the Unix socket's path would be too long there or
    // the server's user cannot reach the build folder.
    dir_ = std::filesystem::path(ZK_TEST_OUTPUT_DIR) / ("pg-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir_);
    if (!Usable(dir_)) {
      std::filesystem::remove_all(dir_);
      std::string pattern = (std::filesystem::temp_directory_path() / "zk-pg-XXXXXX").string();
      if (mkdtemp(pattern.data()) == nullptr) return false;
      dir_ = pattern;
      if (!Usable(dir_)) return false;
    }
    return MakeTemplate() && Run({"/bin/cp", "-a", (Template() / "data").string(), (dir_ / "data").string()});
  }

  // One initdb serves every test process of the build: the first makes the template, under a
  // lock, and each copies it.
  std::filesystem::path Template() const {
    return dir_.parent_path() / ("pg-template-" + std::filesystem::path(bin_).parent_path().filename().string());
  }
  bool MakeTemplate() const {
    const int lock = open((dir_.parent_path() / "pg-template.lock").c_str(), O_CREAT | O_RDWR, 0644);
    if (lock < 0 || flock(lock, LOCK_EX) != 0) return false;
    bool made = std::filesystem::exists(Template() / "data" / "PG_VERSION");
    if (!made) {
      const std::filesystem::path fresh = Template().string() + ".new";
      std::filesystem::remove_all(fresh);
      std::filesystem::create_directories(fresh);
      made = Usable(fresh) && Run({Bin("initdb"), "-D", (fresh / "data").string(), "-U", "zk", "-A", "trust", "-E", "UTF8",
                                   "--locale=C", "-N", "--no-instructions"});
      if (made) std::filesystem::rename(fresh, Template());
    }
    close(lock);
    if (!made) ADD_FAILURE() << "initdb failed; see " << (dir_ / "server.log");
    return made;
  }

  // Runs a program as the server's user to its end; true when it succeeded.
  bool Run(const std::vector<std::string>& args) const {
    int status = 0;
    return WaitFor(Spawn(args, /*tiedToTest=*/false), 300, &status) && WIFEXITED(status) && WEXITSTATUS(status) == 0;
  }

  // Whether the server's user can make files in `dir` and its socket path fits.
  bool Usable(const std::filesystem::path& dir) const {
    constexpr size_t kSocketPathMax = 100;
    if ((dir / ".s.PGSQL.65535").string().size() > kSocketPathMax) return false;
    if (chown(dir.c_str(), uid_, gid_) != 0 && uid_ != static_cast<uid_t>(-1)) return false;
    chmod(dir.c_str(), 0755);
    const pid_t probe = fork();
    if (probe == 0) {
      BecomeServerUser();
      _exit(access(dir.c_str(), W_OK | X_OK) == 0 ? 0 : 1);
    }
    int status = 0;
    waitpid(probe, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
  }

  void BecomeServerUser() const {
    if (uid_ == static_cast<uid_t>(-1)) return;
    if (setgroups(0, nullptr) != 0 || setgid(gid_) != 0 || setuid(uid_) != 0) _exit(125);
  }

  // Everything the child needs is made before the fork: the test may have threads running.
  pid_t Spawn(const std::vector<std::string>& args, bool tiedToTest) const {
    const pid_t parent = getpid();
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    const int log = open((dir_ / "server.log").c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    const pid_t pid = fork();
    if (pid == 0) {
      BecomeServerUser();
      // After the change of user, which would clear it: the server ends when the test does.
      if (tiedToTest && (prctl(PR_SET_PDEATHSIG, SIGQUIT) != 0 || getppid() != parent)) _exit(124);
      if (log >= 0) {
        dup2(log, 1);
        dup2(log, 2);
      }
      execv(argv[0], argv.data());
      _exit(127);
    }
    if (log >= 0) close(log);
    return pid;
  }

  static bool WaitFor(pid_t pid, int seconds, int* status = nullptr) {
    int ignored = 0;
    for (int i = 0; i < seconds * 20; ++i) {
      if (waitpid(pid, status != nullptr ? status : &ignored, WNOHANG) == pid) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
  }

  // A TCP port nothing listens on now, to name the socket as PostgreSQL expects.
  static int FreePort() {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    int port = 54321;
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0)
      port = ntohs(address.sin_port);
    close(fd);
    return port;
  }

  std::string Bin(const char* name) const { return bin_ + "/" + name; }

  std::string bin_;
  std::filesystem::path dir_;
  int port_ = 0;
  uid_t uid_ = static_cast<uid_t>(-1);
  gid_t gid_ = static_cast<gid_t>(-1);
  pid_t server_ = -1;
};

// The cluster for a test, or skips the test (fails it where the build requires PostgreSQL).
#ifdef ZK_REQUIRE_POSTGRESQL_TESTS
#define ZK_NEED_POSTGRES(cluster)                                                   \
  ASSERT_NE(cluster, nullptr) << "PostgreSQL (Debian's postgresql) is not installed"
#else
#define ZK_NEED_POSTGRES(cluster) \
  if ((cluster) == nullptr) GTEST_SKIP() << "PostgreSQL (Debian's postgresql) is not installed"
#endif

}  // namespace scored_test
