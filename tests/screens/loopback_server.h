// A cpp-httplib server on 127.0.0.1 with a port the system chooses, for the length of a test,
// recording every request it receives; and a port that refuses connections.
#pragma once

#include <arpa/inet.h>
#include <httplib.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "online/online.h"

namespace screens_test {

class RecordingServer {
public:
  RecordingServer() {
    server_.Get(".*", [this](const httplib::Request& request, httplib::Response& response) {
      const std::lock_guard<std::mutex> lock(mutex_);
      received_.push_back(request);
      response.set_content("<html>ok</html>", "text/html");
    });
    port_ = server_.bind_to_any_port("127.0.0.1");
    thread_ = std::thread([this] { server_.listen_after_bind(); });
    for (int i = 0; i < 5000 && !server_.is_running(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  ~RecordingServer() {
    server_.stop();
    thread_.join();
  }
  std::string Address() const { return "http://127.0.0.1:" + std::to_string(port_); }
  std::vector<httplib::Request> Received() {
    const std::lock_guard<std::mutex> lock(mutex_);
    return received_;
  }

private:
  httplib::Server server_;
  std::thread thread_;
  std::mutex mutex_;
  std::vector<httplib::Request> received_;
  int port_ = -1;
};

// A loopback port that is bound but not listening: every connection is refused.
class RefusingPort {
public:
  RefusingPort() {
    fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (::bind(fd_, reinterpret_cast<sockaddr*>(&address), length) == 0 &&
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length) == 0)
      port_ = ntohs(address.sin_port);
  }
  ~RefusingPort() { ::close(fd_); }
  bool Ok() const { return port_ != 0; }
  std::string Address() const { return "http://127.0.0.1:" + std::to_string(port_); }

private:
  int fd_ = -1;
  int port_ = 0;
};

// Undoes the submission's encoding: each character back to five bits, the bits back to bytes.
inline std::string DecodeSubmission(const std::string& code) {
  std::string bits;
  for (const char c : code) {
    const size_t value = SubmissionAlphabet.find(c);
    if (value == std::string_view::npos) return "<bad character>";
    for (int bit = 4; bit >= 0; --bit) bits.push_back((value >> bit) & 1 ? '1' : '0');
  }
  std::string bytes;
  for (size_t i = 0; i + 8 <= bits.size(); i += 8)
    bytes.push_back(static_cast<char>(std::stoi(bits.substr(i, 8), nullptr, 2)));
  return bytes;
}

}  // namespace screens_test
