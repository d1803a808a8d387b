// zkload --attack: hostile clients against a zkscored for a bounded time, while a probe client
// asks for the world list every 100 ms. Every socket has timeouts and the run ends by itself.
#include "attack.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kProbeInterval = std::chrono::milliseconds(100);
constexpr const char* kWorldList = "/cgi/version.pl?prg=ZuboKranz&show&type=0&format=json";

// A connected socket from `from` (any address when empty) with send and receive timeouts; -1 when
// the connection failed.
int Connect(const AttackSettings& s, const std::string& from, int timeoutMs) {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  if (fd < 0) return -1;
  timeval tv{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
  setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
  setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
  if (!from.empty()) {
    sockaddr_in local{};
    local.sin_family = AF_INET;
    inet_pton(AF_INET, from.c_str(), &local.sin_addr);
    if (bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) {
      close(fd);
      return -1;
    }
  }
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(s.Port));
  inet_pton(AF_INET, s.Host.c_str(), &address.sin_addr);
  if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    close(fd);
    return -1;
  }
  return fd;
}

bool SendAll(int fd, const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

// What came back on `fd` until it closed or went quiet: the status (0 for none) and the bytes.
struct Answer {
  int Status = 0;
  size_t Bytes = 0;
};

Answer ReadAnswer(int fd) {
  Answer answer;
  std::string head;
  char buffer[65536];
  for (;;) {
    const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
    if (n <= 0) break;
    answer.Bytes += static_cast<size_t>(n);
    if (head.size() < 64) head.append(buffer, static_cast<size_t>(std::min<ssize_t>(n, 64)));
  }
  if (head.rfind("HTTP/1.1 ", 0) == 0) answer.Status = std::atoi(head.c_str() + 9);
  return answer;
}

// Sends `head`, then `filler` again and again until `total` bytes went out or the server stopped
// taking them; then reads the answer.
Answer Flood(const AttackSettings& s, const std::string& head, const std::string& filler, size_t total, size_t& sent) {
  const int fd = Connect(s, {}, 5000);
  if (fd < 0) return {};
  sent = 0;
  bool open = SendAll(fd, head);
  for (sent = head.size(); open && sent < total; sent += filler.size()) open = SendAll(fd, filler);
  shutdown(fd, SHUT_WR);
  const Answer answer = ReadAnswer(fd);
  close(fd);
  return answer;
}

// The server's resident memory in kB: now (VmRSS) or at its peak (VmHWM); 0 when unknown.
long ResidentKb(int pid, const char* field) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind(field, 0) == 0) return std::atol(line.c_str() + std::string(field).size() + 1);
  return 0;
}

struct Probe {
  long Answers = 0, Failures = 0;
  double WorstMs = 0;
};

void RunProbe(const AttackSettings& s, Clock::time_point end, Probe& probe) {
  const std::string request = std::string("GET ") + kWorldList + " HTTP/1.1\r\nHost: " + s.Host + "\r\nConnection: close\r\n\r\n";
  for (auto next = Clock::now(); next < end; next += kProbeInterval) {
    std::this_thread::sleep_until(next);
    const auto start = Clock::now();
    const int fd = Connect(s, {}, s.ProbeLimitMs * 3);
    const Answer answer = fd >= 0 && SendAll(fd, request) ? ReadAnswer(fd) : Answer{};
    if (fd >= 0) close(fd);
    const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    probe.WorstMs = std::max(probe.WorstMs, ms);
    if (answer.Status == 200) ++probe.Answers;
    else ++probe.Failures;
  }
}

// Connections that send nothing, held to the end (or until the server closes them).
void RunIdle(const AttackSettings& s, Clock::time_point end, std::atomic<long>& opened) {
  std::vector<int> fds;
  for (int i = 0; i < s.Idle && Clock::now() < end; ++i) {
    const int fd = Connect(s, s.From, 2000);
    if (fd >= 0) {
      fds.push_back(fd);
      ++opened;
    }
  }
  std::this_thread::sleep_until(end);
  for (const int fd : fds) close(fd);
}

// One slow client: a request head one byte a second, a new connection whenever the server ends one.
void RunSlowloris(const AttackSettings& s, Clock::time_point end, std::atomic<long>& cut) {
  const std::string head = "GET / HTTP/1.1\r\nHost: x\r\nX-Slow: ";
  while (Clock::now() < end) {
    const int fd = Connect(s, s.SlowFrom, 2000);
    if (fd < 0) {
      std::this_thread::sleep_for(std::chrono::milliseconds(200));
      continue;
    }
    for (size_t i = 0; Clock::now() < end; ++i) {
      const char byte = i < head.size() ? head[i] : 'a';
      if (send(fd, &byte, 1, MSG_NOSIGNAL) != 1) {
        ++cut;
        break;
      }
      std::this_thread::sleep_for(std::chrono::seconds(1));
    }
    close(fd);
  }
}

}  // namespace

int RunAttack(const AttackSettings& s) {
  const auto start = Clock::now();
  const auto end = start + std::chrono::seconds(s.Seconds);
  std::atomic<long> idleOpened{0}, slowCut{0};
  Probe probe;
  std::vector<std::thread> threads;
  threads.emplace_back(RunIdle, std::cref(s), end, std::ref(idleOpened));
  for (int i = 0; i < s.Slowloris; ++i) threads.emplace_back(RunSlowloris, std::cref(s), end, std::ref(slowCut));
  // The probe starts once the idle and slow clients are in place.
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  threads.emplace_back(RunProbe, std::cref(s), end, std::ref(probe));

  struct SizeAttack {
    const char* What;
    std::string Head, Filler;
    size_t Total;
    int Expected;
    size_t MaxAnswerBytes;
  };
  std::string ranges = "bytes=0-0";
  for (int i = 0; i < 2700; ++i) ranges += ",0-";
  std::string tinyHeaders;
  for (int i = 0; i < 1000; ++i) tinyHeaders += "a:b\r\n";
  const SizeAttack attacks[] = {
      {"a 256 MB body", "POST /cgi/version.pl HTTP/1.1\r\nHost: x\r\nContent-Length: 268435456\r\n\r\n",
       std::string(65536, 'b'), size_t{256} << 20, 413, 4096},
      {"9.5 MB of tiny headers", "GET / HTTP/1.1\r\nHost: x\r\n", tinyHeaders, 9'500'000, 431, 4096},
      {"2,700 ranges", std::string("GET ") + kWorldList + " HTTP/1.1\r\nHost: x\r\nConnection: close\r\nRange: " + ranges + "\r\n\r\n",
       "", 0, 200, size_t{1} << 20},
  };
  int wrong = 0;
  for (const SizeAttack& a : attacks) {
    size_t sent = 0;
    const Answer answer = Flood(s, a.Head, a.Filler, a.Total, sent);
    const bool ok = answer.Status == a.Expected && answer.Bytes <= a.MaxAnswerBytes;
    wrong += !ok;
    std::printf("%s: status %d (expected %d), %zu bytes answered (at most %zu), %zu bytes sent\n", a.What, answer.Status,
                a.Expected, answer.Bytes, a.MaxAnswerBytes, sent);
  }
  long peakKb = s.ServerPid > 0 ? ResidentKb(s.ServerPid, "VmHWM:") : 0;
  for (std::thread& t : threads) t.join();
  if (s.ServerPid > 0) peakKb = ResidentKb(s.ServerPid, "VmHWM:");

  std::printf("idle connections opened: %ld of %d; slow clients cut off by the server: %ld\n", idleOpened.load(), s.Idle,
              slowCut.load());
  std::printf("probe: %ld answers, %ld failed, slowest %.1f ms (limit %d ms)\n", probe.Answers, probe.Failures,
              probe.WorstMs, s.ProbeLimitMs);
  if (s.ServerPid > 0) std::printf("server resident memory: peak %ld kB (limit %ld kB)\n", peakKb, s.MaxResidentKb);
  const bool probeOk = probe.Failures == 0 && probe.Answers > 0 && probe.WorstMs <= s.ProbeLimitMs;
  const bool memoryOk = s.ServerPid <= 0 || (peakKb > 0 && peakKb <= s.MaxResidentKb);
  return probeOk && memoryOk && wrong == 0 ? 0 : 1;
}
