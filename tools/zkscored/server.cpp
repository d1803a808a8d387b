// The HTTP side of zkscored: one script address that takes submissions and shows the world list.
#include <httplib.h>

#include <ctime>

#include "scored.h"

namespace scored {
namespace {

constexpr const char* kScriptPath = "/cgi/version.pl";
constexpr const char* kProgram = "ZuboKranz";
constexpr const char* kWorldPage = "/cgi/version.pl?prg=ZuboKranz&show&type=0";
// A connection holds a worker while it lives; enough workers for a busy evening.
constexpr size_t kWorkers = 64;
constexpr size_t kKeepAliveRequests = 1000;
constexpr size_t kLoggedTargetLength = 160;

int64_t Now() { return static_cast<int64_t>(std::time(nullptr)); }

void Answer(httplib::Response& res, int status, const std::string& text) {
  res.status = status;
  res.set_content(text + "\n", "text/plain; charset=utf-8");
}

// The request target as a log shows it: printable, and cut short.
std::string LoggedTarget(const std::string& target) {
  std::string out;
  for (const char c : target.substr(0, kLoggedTargetLength)) out += c > 0x20 && c < 0x7F ? c : '?';
  if (target.size() > kLoggedTargetLength) out += "...(" + std::to_string(target.size()) + " bytes)";
  return out;
}

}  // namespace

bool RateLimiter::Allow(const std::string& address, std::chrono::steady_clock::time_point now) {
  if (perMinute_ <= 0) return true;
  constexpr auto kWindow = std::chrono::minutes(1);
  constexpr size_t kPruneAt = 100000;  // addresses remembered before the stale ones are dropped
  const std::lock_guard<std::mutex> lock(mutex_);
  if (windows_.size() >= kPruneAt)
    std::erase_if(windows_, [&](const auto& entry) { return now - entry.second.Start >= kWindow; });
  Window& window = windows_[address];
  if (window.Count == 0 || now - window.Start >= kWindow) window = Window{now, 0};
  if (window.Count >= perMinute_) return false;
  ++window.Count;
  return true;
}

struct ScoreServer::Impl {
  Impl(ScoreStore& s, const ServerSettings& settings) : store(s), log(settings.Log), limiter(settings.RateLimitPerMinute) {}

  void Submit(const httplib::Request& req, httplib::Response& res) {
    if (!limiter.Allow(req.remote_addr, std::chrono::steady_clock::now()))
      return Answer(res, 429, "too many submissions from your address; try again in a minute");
    if (req.get_param_value_count("inf") != 1) return Answer(res, 400, "bad submission: one inf= expected");
    const SubmissionCheck check = CheckSubmission(req.get_param_value("inf"));
    if (!check.Valid) return Answer(res, 400, "bad submission: " + check.Error);
    store.Add(NewScore{*check.Valid, Now(), req.remote_addr});
    {
      const std::lock_guard<std::mutex> lock(cacheMutex);
      ++generation;
    }
    Answer(res, 200, "score received: " + std::to_string(check.Valid->Score));
  }

  void Show(const httplib::Request& req, httplib::Response& res) {
    if (req.get_param_value("type") != "0") return Answer(res, 400, "unknown list type");
    const std::string format = req.get_param_value("format");
    if (format == "json") {
      res.set_content(WorldPageJson(*WorldList(), Now()), "application/json; charset=utf-8");
    } else if (format.empty() || format == "html") {
      res.set_content(WorldPageHtml(*WorldList(), Now()), "text/html; charset=utf-8");
    } else {
      return Answer(res, 400, "unknown format (html or json)");
    }
    res.set_header("Cache-Control", "no-cache");
  }

  // The top of the store, cached until the next accepted submission (never when other servers
  // write to the store too: their entries show on the next page).
  std::shared_ptr<const std::vector<ScoreRow>> WorldList() {
    if (store.SharedWithOtherServers()) return std::make_shared<const std::vector<ScoreRow>>(store.Top(WorldListSize));
    uint64_t seen;
    {
      const std::lock_guard<std::mutex> lock(cacheMutex);
      if (cached && cachedGeneration == generation) return cached;
      seen = generation;
    }
    auto rows = std::make_shared<const std::vector<ScoreRow>>(store.Top(WorldListSize));
    const std::lock_guard<std::mutex> lock(cacheMutex);
    if (seen == generation) {
      cached = rows;
      cachedGeneration = seen;
    }
    return rows;
  }

  void Route(const httplib::Request& req, httplib::Response& res) {
    try {
      if (req.get_param_value("prg") != kProgram) return Answer(res, 400, "unknown program");
      if (req.has_param("hs")) return Submit(req, res);
      if (req.has_param("show")) return Show(req, res);
      Answer(res, 400, "unknown request");
    } catch (const std::exception& e) {
      // Nothing was acknowledged: the client may send again (the database may be restarting).
      if (log != nullptr) std::fprintf(log, "zkscored: store failed: %s\n", e.what());
      Answer(res, 503, "the score store failed; try again shortly");
    }
  }

  void Log(const httplib::Request& req, const httplib::Response& res) const {
    if (log == nullptr) return;
    const std::time_t now = std::time(nullptr);
    std::tm utc{};
    char when[32] = "";
    if (gmtime_r(&now, &utc) != nullptr) std::strftime(when, sizeof when, "%Y-%m-%dT%H:%M:%SZ", &utc);
    std::fprintf(log, "%s %s %s %s %d %zu\n", when, req.remote_addr.c_str(), req.method.c_str(),
                 LoggedTarget(req.target).c_str(), res.status, res.body.size());
  }

  ScoreStore& store;
  std::FILE* log;
  RateLimiter limiter;
  httplib::Server http;
  std::mutex cacheMutex;
  uint64_t generation = 0;
  uint64_t cachedGeneration = 0;
  std::shared_ptr<const std::vector<ScoreRow>> cached;
};

ScoreServer::ScoreServer(ScoreStore& store, const ServerSettings& settings)
    : impl_(std::make_unique<Impl>(store, settings)) {
  Impl& impl = *impl_;
  impl.http.new_task_queue = [] { return new httplib::ThreadPool(kWorkers); };
  impl.http.set_keep_alive_max_count(kKeepAliveRequests);
  impl.http.set_tcp_nodelay(true);
  // Not SO_REUSEPORT (cpp-httplib's default): a second server on a port in use must fail rather
  // than share the port's requests with the first.
  impl.http.set_socket_options([](int socket) {
    const int yes = 1;
    setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  });
  impl.http.set_pre_routing_handler([](const httplib::Request& req, httplib::Response& res) {
    if (req.target.size() <= MaxTargetLength) return httplib::Server::HandlerResponse::Unhandled;
    Answer(res, 414, "request target longer than " + std::to_string(MaxTargetLength) + " bytes");
    return httplib::Server::HandlerResponse::Handled;
  });
  impl.http.Get(kScriptPath, [&impl](const httplib::Request& req, httplib::Response& res) { impl.Route(req, res); });
  impl.http.Get("/", [](const httplib::Request&, httplib::Response& res) { res.set_redirect(kWorldPage); });
  impl.http.set_logger([&impl](const httplib::Request& req, const httplib::Response& res) { impl.Log(req, res); });
}

ScoreServer::~ScoreServer() = default;

int ScoreServer::Bind(const std::string& host, int port) {
  if (port == 0) return impl_->http.bind_to_any_port(host);
  return impl_->http.bind_to_port(host, port) ? port : -1;
}

bool ScoreServer::Serve() { return impl_->http.listen_after_bind(); }
void ScoreServer::Stop() { impl_->http.stop(); }
bool ScoreServer::Running() const { return impl_->http.is_running(); }

}  // namespace scored
