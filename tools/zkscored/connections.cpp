// The waiting room in front of httplib: admission by address and in total, request heads
// gathered without a worker, early answers for what is beyond the limits, a fixed pool of workers.
#include "connections.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <thread>
#include <unordered_map>

namespace scored {
namespace {

using Clock = std::chrono::steady_clock;

constexpr int kTickMs = 100;                       // how often the waiting room looks at deadlines
constexpr auto kDrainTime = std::chrono::seconds(1);  // reading what follows an early answer
constexpr size_t kDrainBytes = 256 * 1024;
constexpr int kSpareFiles = 64;
constexpr int kNextHeadWaitMs = 1;  // a worker's wait for a kept-alive connection's next request  // open files kept for the database, the log and the listener

// Runs each task at once on the thread that accepted the connection: admission is quick, and
// the waiting room and the workers do the rest.
class InlineQueue final : public httplib::TaskQueue {
public:
  void enqueue(std::function<void()> fn) override { fn(); }
  void shutdown() override {}
};

std::string PeerAddress(int fd) {
  sockaddr_storage address{};
  socklen_t length = sizeof address;
  if (getpeername(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) return "?";
  char text[INET6_ADDRSTRLEN] = "?";
  if (address.ss_family == AF_INET)
    inet_ntop(AF_INET, &reinterpret_cast<sockaddr_in*>(&address)->sin_addr, text, sizeof text);
  else if (address.ss_family == AF_INET6)
    inet_ntop(AF_INET6, &reinterpret_cast<sockaddr_in6*>(&address)->sin6_addr, text, sizeof text);
  return text;
}

const char* ReasonPhrase(int status) {
  switch (status) {
    case 400: return "Bad Request";
    case 408: return "Request Timeout";
    case 411: return "Length Required";
    case 413: return "Payload Too Large";
    case 414: return "URI Too Long";
    case 431: return "Request Header Fields Too Large";
    case 503: return "Service Unavailable";
    default: return "Error";
  }
}

std::string EarlyAnswerText(int status, const ConnectionLimits& limits) {
  switch (status) {
    case 408: return "the request did not arrive in time";
    case 411: return "a request body needs a Content-Length";
    case 413: return "request bodies over " + std::to_string(limits.BodyBytes) + " bytes are not accepted";
    case 414: return "request line longer than " + std::to_string(limits.RequestLineBytes) + " bytes";
    case 431: return "request head over " + std::to_string(limits.HeadBytes) + " bytes or " +
                     std::to_string(limits.HeaderLines) + " header lines";
    case 503: return "too many connections; try again later";
    default: return "bad request";
  }
}

// The request head without its Range lines: the pages are generated and served whole.
std::string WithoutRange(std::string_view head) {
  std::string out;
  out.reserve(head.size());
  while (!head.empty()) {
    const size_t end = head.find('\n');
    const std::string_view line = head.substr(0, end == std::string_view::npos ? head.size() : end + 1);
    head.remove_prefix(line.size());
    constexpr std::string_view kRange = "range:";
    const bool isRange = line.size() >= kRange.size() && std::equal(kRange.begin(), kRange.end(), line.begin(), [](char a, char b) {
                           return a == std::tolower(static_cast<unsigned char>(b));
                         });
    if (!isRange) out += line;
  }
  return out;
}

// One accepted connection, in the waiting room or with a worker.
struct Connection {
  int Fd = -1;
  std::string Address;
  Clock::time_point Deadline;
  bool Closing = false;  // answered early: what follows is read and dropped until the deadline
  size_t Drained = 0;
  int Requests = 0;
  HeadCheck Head;
};

// One request's bytes as httplib reads them: the head from the buffer, then at most the body's
// Content-Length from the socket, everything before the deadline.
class RequestStream final : public httplib::Stream {
public:
  RequestStream(const Connection& c, std::string head, Clock::time_point deadline)
      : fd_(c.Fd), address_(c.Address), head_(std::move(head)), bodyLeft_(c.Head.BodyLength), deadline_(deadline) {}

  bool is_readable() const override { return pos_ < head_.size() || (bodyLeft_ > 0 && Wait(POLLIN)); }
  bool is_writable() const override { return Wait(POLLOUT); }

  ssize_t read(char* ptr, size_t size) override {
    if (pos_ < head_.size()) {
      const size_t n = std::min(size, head_.size() - pos_);
      std::memcpy(ptr, head_.data() + pos_, n);
      pos_ += n;
      return static_cast<ssize_t>(n);
    }
    if (bodyLeft_ == 0) return 0;  // the rest belongs to the next request
    for (;;) {
      const ssize_t n = recv(fd_, ptr, std::min(size, bodyLeft_), 0);
      if (n > 0) bodyLeft_ -= static_cast<size_t>(n);
      if (n >= 0) return n;
      if (errno == EINTR || (errno == EAGAIN && Wait(POLLIN))) continue;
      failed_ = true;
      return -1;
    }
  }

  ssize_t write(const char* ptr, size_t size) override {
    size_t done = 0;
    while (done < size) {
      const ssize_t n = send(fd_, ptr + done, size - done, MSG_NOSIGNAL);
      if (n > 0) {
        done += static_cast<size_t>(n);
      } else if (n < 0 && (errno == EINTR || (errno == EAGAIN && Wait(POLLOUT)))) {
        continue;
      } else {
        failed_ = true;
        return -1;
      }
    }
    return static_cast<ssize_t>(size);
  }

  void get_remote_ip_and_port(std::string& ip, int& port) const override {
    ip = address_;
    port = 0;
  }
  void get_local_ip_and_port(std::string& ip, int& port) const override {
    ip.clear();
    port = 0;
  }
  // httplib answers 500 for a socket select() cannot watch; these are never selected on.
  socket_t socket() const override { return fd_ < FD_SETSIZE ? fd_ : INVALID_SOCKET; }

  bool Failed() const { return failed_; }

private:
  // Whether the socket became ready for `events` before the deadline.
  bool Wait(short events) const {
    for (;;) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline_ - Clock::now()).count();
      if (left <= 0) return false;
      pollfd p{fd_, events, 0};
      const int n = poll(&p, 1, static_cast<int>(left));
      if (n > 0) return true;
      if (n == 0 || errno != EINTR) return false;
    }
  }

  int fd_;
  std::string address_;
  std::string head_;
  size_t pos_ = 0;
  size_t bodyLeft_;
  Clock::time_point deadline_;
  bool failed_ = false;
};

}  // namespace

HeadCheck CheckRequestHead(std::string_view bytes, const ConnectionLimits& limits) {
  HeadCheck check;
  const size_t lineEnd = bytes.find('\n');
  if (lineEnd == std::string_view::npos) {
    if (bytes.size() > limits.RequestLineBytes) check.Status = 414;
    return check;
  }
  if (lineEnd > limits.RequestLineBytes) {
    check.Status = 414;
    return check;
  }
  const size_t end = bytes.find("\r\n\r\n");
  if (end == std::string_view::npos || end + 4 > limits.HeadBytes) {
    if (bytes.size() >= limits.HeadBytes) check.Status = 431;
    return check;
  }
  check.Length = end + 4;
  int lines = 0;
  bool chunked = false;
  size_t at = lineEnd + 1;
  while (at < end + 2) {
    const size_t next = bytes.find("\r\n", at);
    const std::string_view line = bytes.substr(at, next - at);
    at = next + 2;
    if (++lines > limits.HeaderLines) {
      check.Status = 431;
      return check;
    }
    const size_t colon = line.find(':');
    if (colon == std::string_view::npos) continue;
    std::string name(line.substr(0, colon));
    for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    std::string_view value = line.substr(colon + 1);
    while (!value.empty() && (value.front() == ' ' || value.front() == '\t')) value.remove_prefix(1);
    if (name == "transfer-encoding") chunked = true;
    if (name == "content-length") {
      const size_t digits = std::min(value.find_first_not_of("0123456789"), value.size());
      if (digits == 0 || value.find_first_not_of(" \t", digits) != std::string_view::npos) {
        check.Status = 400;
        return check;
      }
      // Any length beyond the limit is answered alike; more digits are not read.
      check.BodyLength = 0;
      for (const char c : value.substr(0, std::min<size_t>(digits, 19))) check.BodyLength = check.BodyLength * 10 + static_cast<size_t>(c - '0');
      if (digits > 19) check.BodyLength = limits.BodyBytes + 1;
    }
  }
  check.Status = chunked ? 411 : check.BodyLength > limits.BodyBytes ? 413 : 200;
  return check;
}

struct GuardedServer::Room {
  Room(GuardedServer& server, const ConnectionLimits& l, RequestLogger logger)
      : owner(server), limits(l), log(std::move(logger)), peek(limits.HeadBytes + 1) {
    rlimit files{};
    if (getrlimit(RLIMIT_NOFILE, &files) == 0 && files.rlim_cur != RLIM_INFINITY)
      limits.Total = std::min<long>(limits.Total, std::max<long>(1, static_cast<long>(files.rlim_cur) - kSpareFiles));
  }

  ~Room() {
    if (epoll >= 0) close(epoll);
    if (wake >= 0) close(wake);
  }

  // The accepting thread: a connection beyond the limits is answered 503 and closed at once.
  void Admit(int fd) {
    const std::string address = PeerAddress(fd);
    std::unique_lock<std::mutex> lock(mutex);
    int& fromAddress = perAddress[address];
    if (stopping || total >= limits.Total || fromAddress >= limits.PerAddress) {
      if (fromAddress == 0) perAddress.erase(address);
      lock.unlock();
      Answer(fd, address, 503, {});
      close(fd);
      return;
    }
    ++fromAddress;
    ++total;
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
    auto c = std::make_unique<Connection>();
    c->Fd = fd;
    c->Address = address;
    c->Deadline = Clock::now() + std::chrono::seconds(limits.HeadSeconds);
    Wait(std::move(c));
  }

  // Under the lock: the connection waits for its next request head.
  void Wait(std::unique_ptr<Connection> c) {
    epoll_event event{};
    event.events = EPOLLIN | EPOLLRDHUP | EPOLLET;
    event.data.fd = c->Fd;
    const int fd = c->Fd;
    waiting[fd] = std::move(c);
    if (epoll_ctl(epoll, EPOLL_CTL_ADD, fd, &event) != 0) Close(fd);
  }

  // Under the lock: closes a waiting connection.
  void Close(int fd) {
    const auto it = waiting.find(fd);
    if (it == waiting.end()) return;
    epoll_ctl(epoll, EPOLL_CTL_DEL, fd, nullptr);
    Release(*it->second);
    waiting.erase(it);
  }

  // Under the lock: the connection's socket closed and its place counted free.
  void Release(Connection& c) {
    close(c.Fd);
    --total;
    if (const auto it = perAddress.find(c.Address); it != perAddress.end() && --it->second <= 0) perAddress.erase(it);
  }

  // A short answer written without waiting, and logged.
  void Answer(int fd, const std::string& address, int status, std::string_view head) const {
    const std::string body = EarlyAnswerText(status, limits) + "\n";
    const std::string text = "HTTP/1.1 " + std::to_string(status) + " " + ReasonPhrase(status) +
                             "\r\nContent-Type: text/plain; charset=utf-8\r\nContent-Length: " + std::to_string(body.size()) +
                             "\r\nConnection: close\r\n\r\n" + body;
    (void)!send(fd, text.data(), text.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
    const std::string_view line = head.substr(0, head.find_first_of("\r\n"));
    const size_t space = line.find(' ');
    const std::string_view method = space == std::string_view::npos ? line : line.substr(0, space);
    std::string_view target = space == std::string_view::npos ? std::string_view() : line.substr(space + 1);
    target = target.substr(0, target.rfind(' '));
    if (log) log(address, method, target, status, body.size());
  }

  // Under the lock: the answer given, the connection is read to its end (or the time) and closed,
  // so that the client sees the answer rather than a reset.
  void AnswerAndLinger(Connection& c, int status, std::string_view head) {
    Answer(c.Fd, c.Address, status, head);
    shutdown(c.Fd, SHUT_WR);
    c.Closing = true;
    c.Deadline = Clock::now() + kDrainTime;
    Drain(c);
  }

  void Drain(Connection& c) {
    char scratch[16384];
    for (;;) {
      const ssize_t n = recv(c.Fd, scratch, sizeof scratch, 0);
      if (n > 0 && (c.Drained += static_cast<size_t>(n)) < kDrainBytes) continue;
      if (n < 0 && errno == EINTR) continue;
      if (n < 0 && errno == EAGAIN) return;
      return Close(c.Fd);
    }
  }

  // Under the lock: what has arrived of the next request head.
  void Examine(int fd) {
    const auto it = waiting.find(fd);
    if (it == waiting.end()) return;
    Connection& c = *it->second;
    if (c.Closing) return Drain(c);
    const ssize_t n = recv(fd, peek.data(), peek.size(), MSG_PEEK);
    if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR)) return Close(fd);
    if (n < 0) return;
    const std::string_view bytes(peek.data(), static_cast<size_t>(n));
    c.Head = CheckRequestHead(bytes, limits);
    if (c.Head.Status == 0) return;
    if (c.Head.Status != 200) return AnswerAndLinger(c, c.Head.Status, bytes);
    epoll_ctl(epoll, EPOLL_CTL_DEL, fd, nullptr);
    ready.push_back(std::move(it->second));
    waiting.erase(it);
    readyChanged.notify_one();
  }

  // Under the lock: connections past their deadline. An idle kept-alive one just closes; a
  // request still arriving gets 408.
  void Expire() {
    const auto now = Clock::now();
    std::vector<int> late;
    for (const auto& [fd, c] : waiting)
      if (c->Deadline <= now) late.push_back(fd);
    for (const int fd : late) {
      Connection& c = *waiting[fd];
      char byte;
      if (!c.Closing && recv(fd, &byte, 1, MSG_PEEK) > 0) AnswerAndLinger(c, 408, {});
      else Close(fd);
    }
  }

  void WatchLoop() {
    epoll_event events[256];
    while (true) {
      const int n = epoll_wait(epoll, events, 256, kTickMs);
      const std::lock_guard<std::mutex> lock(mutex);
      if (stopping) return;
      for (int i = 0; i < n; ++i)
        if (events[i].data.fd != wake) Examine(events[i].data.fd);
      Expire();
    }
  }

  // A worker: whether the connection's next request head arrives whole within kNextHeadWait (a
  // busy client's next request), so the worker answers it without the trip through the waiting
  // room. Anything else goes back to the waiting room.
  bool NextHeadSoon(Connection& c, std::vector<char>& head) const {
    pollfd p{c.Fd, POLLIN, 0};
    if (poll(&p, 1, kNextHeadWaitMs) != 1) return false;
    const ssize_t n = recv(c.Fd, head.data(), head.size(), MSG_PEEK);
    if (n <= 0) return false;
    const HeadCheck check = CheckRequestHead({head.data(), static_cast<size_t>(n)}, limits);
    if (check.Status != 200) return false;
    c.Head = check;
    return true;
  }

  void WorkLoop() {
    std::vector<char> head(limits.HeadBytes + 1);
    for (;;) {
      std::unique_ptr<Connection> c;
      {
        std::unique_lock<std::mutex> lock(mutex);
        readyChanged.wait(lock, [&] { return stopping || !ready.empty(); });
        if (stopping) return;
        c = std::move(ready.front());
        ready.pop_front();
      }
      bool keep = Serve(*c);
      while (keep && !stopping && NextHeadSoon(*c, head)) keep = Serve(*c);
      const std::lock_guard<std::mutex> lock(mutex);
      if (keep && !stopping) {
        c->Deadline = Clock::now() + std::chrono::seconds(limits.KeepAliveSeconds);
        Wait(std::move(c));
      } else {
        Release(*c);
      }
    }
  }

  // A worker: one request through httplib; whether the connection stays for another.
  bool Serve(Connection& c) {
    std::string head(c.Head.Length, '\0');
    size_t got = 0;
    while (got < head.size()) {
      const ssize_t n = recv(c.Fd, head.data() + got, head.size() - got, 0);
      if (n <= 0 && !(n < 0 && errno == EINTR)) return false;
      if (n > 0) got += static_cast<size_t>(n);
    }
    RequestStream stream(c, WithoutRange(head), Clock::now() + std::chrono::seconds(limits.IoSeconds));
    const bool last = ++c.Requests >= limits.RequestsPerConnection;
    bool closed = false;
    const bool answered = owner.process_request(stream, last, closed, nullptr);
    return answered && !closed && !last && !stream.Failed();
  }

  bool Start() {
    epoll = epoll_create1(EPOLL_CLOEXEC);
    wake = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (epoll < 0 || wake < 0) return false;
    epoll_event event{};
    event.events = EPOLLIN;
    event.data.fd = wake;
    epoll_ctl(epoll, EPOLL_CTL_ADD, wake, &event);
    stopping = false;
    threads.emplace_back([this] { WatchLoop(); });
    for (int i = 0; i < limits.Workers; ++i) threads.emplace_back([this] { WorkLoop(); });
    return true;
  }

  void Stop() {
    {
      const std::lock_guard<std::mutex> lock(mutex);
      stopping = true;
    }
    const uint64_t one = 1;
    (void)!::write(wake, &one, sizeof one);
    readyChanged.notify_all();
    for (std::thread& t : threads) t.join();
    threads.clear();
    const std::lock_guard<std::mutex> lock(mutex);
    while (!waiting.empty()) Close(waiting.begin()->first);
    for (const auto& c : ready) Release(*c);
    ready.clear();
  }

  GuardedServer& owner;
  ConnectionLimits limits;
  RequestLogger log;
  std::vector<char> peek;  // the waiting room's view of a head, used under the lock
  std::mutex mutex;
  std::condition_variable readyChanged;
  std::atomic<bool> stopping{true};
  int epoll = -1, wake = -1;
  int total = 0;
  std::unordered_map<std::string, int> perAddress;
  std::unordered_map<int, std::unique_ptr<Connection>> waiting;
  std::deque<std::unique_ptr<Connection>> ready;
  std::vector<std::thread> threads;
};

GuardedServer::GuardedServer(const ConnectionLimits& limits, RequestLogger logEarlyAnswer)
    : room_(std::make_unique<Room>(*this, limits, std::move(logEarlyAnswer))) {
  new_task_queue = [] { return new InlineQueue; };
}

GuardedServer::~GuardedServer() = default;

bool GuardedServer::SetBacklog(int backlog) { return ::listen(svr_sock_, backlog) == 0; }

bool GuardedServer::Serve() {
  if (!room_->Start()) return false;
  const bool served = listen_after_bind();
  room_->Stop();
  return served;
}

bool GuardedServer::process_and_close_socket(socket_t sock) {
  room_->Admit(sock);
  return true;
}

}  // namespace scored
