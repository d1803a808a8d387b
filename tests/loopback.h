// Network peers on 127.0.0.1 for the length of a test, with ports the system chooses: an HTTP
// server with the test's own routes, one that records every request, and sockets that never
// answer.
#pragma once

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <httplib.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "online/online.h"

namespace loopback {

class LoopbackServer {
public:
  explicit LoopbackServer(const std::function<void(httplib::Server&)>& routes) {
    routes(server_);
    port_ = server_.bind_to_any_port("127.0.0.1");
    thread_ = std::thread([this] { server_.listen_after_bind(); });
    for (int i = 0; i < 5000 && !server_.is_running(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  ~LoopbackServer() {
    server_.stop();
    thread_.join();
  }
  std::string Address() const { return "http://127.0.0.1:" + std::to_string(port_); }

private:
  httplib::Server server_;
  std::thread thread_;
  int port_ = -1;
};

// Answers every GET with a small page and keeps the requests.
class RecordingServer {
public:
  std::string Address() const { return server_.Address(); }
  std::vector<httplib::Request> Received() {
    const std::lock_guard<std::mutex> lock(mutex_);
    return received_;
  }

private:
  std::mutex mutex_;
  std::vector<httplib::Request> received_;
  LoopbackServer server_{[this](httplib::Server& s) {
    s.Get(".*", [this](const httplib::Request& request, httplib::Response& response) {
      const std::lock_guard<std::mutex> lock(mutex_);
      received_.push_back(request);
      response.set_content("<html>ok</html>", "text/html");
    });
  }};
};

// A TCP socket that never answers: listening (connections complete and then wait for ever) or
// only bound (connections are refused).
class SilentSocket {
public:
  explicit SilentSocket(bool listening) {
    fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (::bind(fd_, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        (listening && ::listen(fd_, 4) != 0) ||
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length) != 0)
      ADD_FAILURE() << "no loopback socket";
    port_ = ntohs(address.sin_port);
  }
  ~SilentSocket() { ::close(fd_); }
  std::string Address() const { return "http://127.0.0.1:" + std::to_string(port_); }

private:
  int fd_ = -1;
  int port_ = 0;
};

// The payload a request's code carries.
inline std::string DecodeSubmission(const std::string& code) {
  return DecodeSubmissionCode(code).value_or("<bad code>");
}

}  // namespace loopback
