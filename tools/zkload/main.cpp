// zkload: a load generator for zkscored. Keeps N connections busy for a time with valid score
// submissions (each a new name) or world-list requests, as fast as answered or at R requests a
// second in all, and reports throughput, latency percentiles and the answers by status.
//   zkload [--connections N] [--seconds S] [--rate R] [--page] [--close] [--answered FILE] HOST:PORT
//   zkload --attack [--seconds S] [--idle N] [--slowloris N] [--from ADDR] [--slow-from ADDR]
//          [--server-pid PID] [--probe-limit-ms MS] HOST:PORT
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "attack.h"
#include "online/score_code.h"
#include "platform/platform.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Settings {
  std::string Host = "127.0.0.1";
  int Port = 8080;
  int Connections = 64;
  int Seconds = 10;
  bool Page = false;
  bool Close = false;  // a new connection for each request, as the game sends its scores
  int Rate = 0;  // requests per second over all connections; 0: as fast as answered
  std::string AnsweredFile;  // names of the submissions answered 200, one a line
};

struct Tally {
  std::vector<double> LatenciesMs;
  std::map<int, long> ByStatus;
  long Failures = 0;
  std::vector<std::string> Accepted;  // names answered 200
};

class Connection {
public:
  Connection(const Settings& s) : settings_(s) {}
  ~Connection() { Close(); }

  // One request, the whole answer read; returns the status, 0 on a failure.
  int Get(const std::string& target) {
    if (fd_ < 0 && !Open()) return 0;
    const std::string request = "GET " + target + " HTTP/1.1\r\nHost: " + settings_.Host +
                                (settings_.Close ? "\r\nConnection: close\r\n\r\n" : "\r\n\r\n");
    if (send(fd_, request.data(), request.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(request.size())) return Fail();
    std::string in;
    size_t headerEnd;
    while ((headerEnd = in.find("\r\n\r\n")) == std::string::npos)
      if (!Read(in)) return Fail();
    const int status = in.size() > 12 ? std::atoi(in.c_str() + 9) : 0;
    const std::string headers = in.substr(0, headerEnd);
    const size_t length = headers.find("Content-Length: ");
    const size_t want = headerEnd + 4 + (length == std::string::npos ? 0 : std::strtoul(headers.c_str() + length + 16, nullptr, 10));
    while (in.size() < want)
      if (!Read(in)) return Fail();
    if (settings_.Close || headers.find("Connection: close") != std::string::npos) Close();
    return status;
  }

private:
  bool Open() {
    fd_ = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(settings_.Port));
    inet_pton(AF_INET, settings_.Host.c_str(), &address.sin_addr);
    const int on = 1;
    setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    if (connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
      Close();
      return false;
    }
    return true;
  }
  bool Read(std::string& in) {
    char buffer[16384];
    const ssize_t n = recv(fd_, buffer, sizeof buffer, 0);
    if (n <= 0) return false;
    in.append(buffer, static_cast<size_t>(n));
    return true;
  }
  int Fail() {
    Close();
    return 0;
  }
  void Close() {
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
  }
  const Settings& settings_;
  int fd_ = -1;
};

std::string Name(int worker, long sequence) { return "L" + std::to_string(worker) + "n" + std::to_string(sequence); }

std::string Target(const Settings& s, int worker, long sequence) {
  if (s.Page) return "/cgi/version.pl?prg=ZuboKranz&show&type=0";
  const std::string name = Name(worker, sequence);
  const int32_t score = static_cast<int32_t>((sequence * 7919 + worker * 104729) % 10'000'001);
  return "/cgi/version.pl?hs&prg=ZuboKranz&inf=" + BitTextToCode(BytesToBitText(ScorePayload(name, score, "Loadland")));
}

void Work(const Settings& s, int worker, Clock::time_point end, Tally& tally) {
  Connection connection(s);
  // With a rate, each connection sends at its share of it, the connections spread over the interval.
  const auto interval = s.Rate > 0 ? std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(
                                         static_cast<double>(s.Connections) / s.Rate))
                                   : Clock::duration::zero();
  auto next = Clock::now() + interval * worker / s.Connections;
  for (long sequence = 0; Clock::now() < end; ++sequence) {
    if (s.Rate > 0) {
      std::this_thread::sleep_until(next);
      next += interval;
    }
    const std::string target = Target(s, worker, sequence);
    const auto start = Clock::now();
    const int status = connection.Get(target);
    if (status == 0) {
      ++tally.Failures;
      continue;
    }
    tally.LatenciesMs.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    ++tally.ByStatus[status];
    if (status == 200 && !s.Page && !s.AnsweredFile.empty()) tally.Accepted.push_back(Name(worker, sequence));
  }
}

double Percentile(const std::vector<double>& sorted, double p) {
  if (sorted.empty()) return 0;
  return sorted[std::min(sorted.size() - 1, static_cast<size_t>(p * static_cast<double>(sorted.size())))];
}

constexpr TProgramInfo kProgram{
    "zkload",
    "usage: zkload [--connections N] [--seconds S] [--rate R] [--page] [--close] [--answered FILE] HOST:PORT\n"
    "       zkload --attack [--seconds S] [--idle N] [--slowloris N] [--from ADDR] [--slow-from ADDR]\n"
    "              [--server-pid PID] [--probe-limit-ms MS] HOST:PORT\n"
    "\n"
    "Puts load on a running zkscored at HOST:PORT and reports throughput, latency percentiles and\n"
    "the answers by status. With --attack, plays hostile clients (idle connections, slow senders,\n"
    "oversized requests) against it for a bounded time while a probe client measures its answers,\n"
    "and ends with status 1 when a target is missed.\n"
    "\n"
    "  --connections N    connections kept busy at once (default 64)\n"
    "  --seconds S        how long (default 10)\n"
    "  --rate R           requests a second over all connections (default 0: as fast as answered)\n"
    "  --page             ask for the world list instead of sending score submissions\n"
    "  --close            a new connection for each request (the time to connect counted in)\n"
    "  --answered FILE    write the names of the submissions answered 200 to FILE, one a line\n"
    "  --attack           the hostile clients and the probe (--idle, --slowloris: how many; --from,\n"
    "                     --slow-from: source addresses; --server-pid: whose memory to watch;\n"
    "                     --probe-limit-ms: the slowest answer the probe accepts)\n"
    "  --help, --version  this text, the version\n"};

int Usage(const std::string& problem) { return Sys_UsageError(kProgram, problem); }

}  // namespace

int main(int argc, char** argv) {
  if (Sys_AnswerHelpOrVersion(kProgram, argc, argv)) return 0;
  Settings s;
  AttackSettings attack;
  bool haveTarget = false, attacking = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool hasValue = i + 1 < argc;
    if (arg == "--connections" && hasValue) s.Connections = std::max(1, std::atoi(argv[++i]));
    else if (arg == "--seconds" && hasValue) s.Seconds = attack.Seconds = std::clamp(std::atoi(argv[++i]), 1, 3600);
    else if (arg == "--attack") attacking = true;
    else if (arg == "--idle" && hasValue) attack.Idle = std::clamp(std::atoi(argv[++i]), 0, 10000);
    else if (arg == "--slowloris" && hasValue) attack.Slowloris = std::clamp(std::atoi(argv[++i]), 0, 1000);
    else if (arg == "--from" && hasValue) attack.From = argv[++i];
    else if (arg == "--slow-from" && hasValue) attack.SlowFrom = argv[++i];
    else if (arg == "--server-pid" && hasValue) attack.ServerPid = std::atoi(argv[++i]);
    else if (arg == "--probe-limit-ms" && hasValue) attack.ProbeLimitMs = std::clamp(std::atoi(argv[++i]), 1, 60000);
    else if (arg == "--page") s.Page = true;
    else if (arg == "--close") s.Close = true;
    else if (arg == "--answered" && i + 1 < argc) s.AnsweredFile = argv[++i];
    else if (arg == "--rate" && i + 1 < argc) s.Rate = std::max(0, std::atoi(argv[++i]));
    else if (!haveTarget && arg.find(':') != std::string::npos) {
      s.Host = arg.substr(0, arg.find(':'));
      s.Port = std::atoi(arg.c_str() + arg.find(':') + 1);
      haveTarget = true;
    } else return Usage("unknown argument " + arg);
  }
  if (!haveTarget) return Usage("no HOST:PORT given");
  if (attacking) {
    attack.Host = s.Host;
    attack.Port = s.Port;
    return RunAttack(attack);
  }

  std::vector<Tally> tallies(static_cast<size_t>(s.Connections));
  std::vector<std::thread> workers;
  const auto start = Clock::now();
  const auto end = start + std::chrono::seconds(s.Seconds);
  for (int w = 0; w < s.Connections; ++w) workers.emplace_back(Work, std::cref(s), w, end, std::ref(tallies[w]));
  for (std::thread& t : workers) t.join();
  const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();

  Tally all;
  for (const Tally& t : tallies) {
    all.LatenciesMs.insert(all.LatenciesMs.end(), t.LatenciesMs.begin(), t.LatenciesMs.end());
    for (const auto& [status, count] : t.ByStatus) all.ByStatus[status] += count;
    all.Failures += t.Failures;
  }
  std::sort(all.LatenciesMs.begin(), all.LatenciesMs.end());
  std::printf("%s: %d connections, %.1f s, %zu answers, %.0f answers/s\n", s.Page ? "world page" : "submissions",
              s.Connections, elapsed, all.LatenciesMs.size(), static_cast<double>(all.LatenciesMs.size()) / elapsed);
  std::printf("latency ms: p50 %.2f  p90 %.2f  p99 %.2f  max %.2f\n", Percentile(all.LatenciesMs, 0.5),
              Percentile(all.LatenciesMs, 0.9), Percentile(all.LatenciesMs, 0.99),
              all.LatenciesMs.empty() ? 0.0 : all.LatenciesMs.back());
  for (const auto& [status, count] : all.ByStatus) std::printf("status %d: %ld\n", status, count);
  std::printf("failed requests: %ld\n", all.Failures);
  if (!s.AnsweredFile.empty()) {
    std::FILE* out = std::fopen(s.AnsweredFile.c_str(), "w");
    if (out == nullptr) return 1;
    for (const Tally& t : tallies)
      for (const std::string& name : t.Accepted) std::fprintf(out, "%s\n", name.c_str());
    std::fclose(out);
  }
  return 0;
}
