// zkscored's connections, in front of cpp-httplib's request handling: a connection takes a
// worker only once a whole request head has arrived, so idle and slow clients cost a socket,
// never a worker. Inside the server only.
#pragma once

#include <httplib.h>

#include <memory>

#include "scored.h"

namespace scored {

// Writes one request-log line (the fields escaped); `method` and `target` as far as known.
using RequestLogger = std::function<void(const std::string& address, std::string_view method,
                                         std::string_view target, int status, size_t bodyBytes)>;

// An httplib::Server whose accepted sockets go to a waiting room (one epoll thread) that holds
// each connection until its request head is complete and within ConnectionLimits, answers the
// ones beyond them itself (408, 411, 413, 414, 431, 503) and hands the rest to a fixed pool of
// workers, which run httplib's request handling on the buffered head and return kept-alive
// connections to the waiting room.
class GuardedServer : public httplib::Server {
public:
  GuardedServer(const ConnectionLimits& limits, RequestLogger logEarlyAnswer);
  ~GuardedServer() override;
  // After binding: the listen backlog the system keeps for connections not yet accepted.
  bool SetBacklog(int backlog);
  // Serves until stop(); the waiting room and the workers run while it does.
  bool Serve();

private:
  bool process_and_close_socket(socket_t sock) override;
  struct Room;
  std::unique_ptr<Room> room_;
};

}  // namespace scored
