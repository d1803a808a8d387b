// The HTTP side of zkscored: one script address that takes submissions and shows the world list.
#include <array>
#include <ctime>

#include "connections.h"
#include "scored.h"

namespace scored {
namespace {

constexpr const char* kScriptPath = "/cgi/version.pl";
constexpr const char* kProgram = "ZuboKranz";
constexpr const char* kWorldPage = "/cgi/version.pl?prg=ZuboKranz&show&type=0";
constexpr size_t kLoggedTargetLength = 160;
constexpr size_t kLoggedMethodLength = 16;

int64_t Now() { return static_cast<int64_t>(std::time(nullptr)); }

void Answer(httplib::Response& res, int status, const std::string& text) {
  res.status = status;
  res.set_content(text + "\n", "text/plain; charset=utf-8");
}

// A request field as a log shows it: printable ASCII and spaces, every other byte (and the backslash) as
// \xHH, cut short after `limit` bytes.
std::string Logged(std::string_view field, size_t limit = kLoggedTargetLength) {
  if (field.empty()) return "-";
  std::string out;
  char hex[8];
  for (const char c : field.substr(0, limit)) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x20 && byte < 0x7F && byte != '\\') {
      out += c;
    } else {
      std::snprintf(hex, sizeof hex, "\\x%02X", byte);
      out += hex;
    }
  }
  if (field.size() > limit) out += "...(" + std::to_string(field.size()) + " bytes)";
  return out;
}

// The time for a log line, UTC to the second; formatted once a second in each thread.
const char* LogTime() {
  thread_local std::time_t formatted = -1;
  thread_local char when[32] = "";
  const std::time_t now = std::time(nullptr);
  if (now != formatted) {
    std::tm utc{};
    when[0] = '\0';
    if (gmtime_r(&now, &utc) != nullptr) std::strftime(when, sizeof when, "%Y-%m-%dT%H:%M:%SZ", &utc);
    formatted = now;
  }
  return when;
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
  enum class PageFormat : uint8_t { Html, Json };
  struct RenderedPage {
    int64_t Version = 0;
    int64_t Second = 0;
    std::shared_ptr<const std::string> Body;
  };

  Impl(ScoreStore& s, const ServerSettings& settings)
      : store(s), web(settings.Web), log(settings.Log), limiter(settings.RateLimitPerMinute),
        http(settings.Limits, [this](const std::string& address, std::string_view method, std::string_view target,
                                     int status, size_t bytes) { LogLine(address, method, target, status, bytes); }) {}

  void Submit(const httplib::Request& req, httplib::Response& res) {
    if (!limiter.Allow(req.remote_addr, std::chrono::steady_clock::now()))
      return Answer(res, 429, "too many submissions from your address; try again in a minute");
    if (req.get_param_value_count("inf") != 1) return Answer(res, 400, "bad submission: one inf= expected");
    const SubmissionCheck check = CheckSubmission(req.get_param_value("inf"));
    if (!check.Valid) return Answer(res, 400, "bad submission: " + check.Error);
    store.Add(NewScore{*check.Valid, Now(), req.remote_addr});
    Answer(res, 200, "score received: " + std::to_string(check.Valid->Score));
  }

  void Show(const httplib::Request& req, httplib::Response& res) {
    if (req.get_param_value("type") != "0") return Answer(res, 400, "unknown list type");
    const std::string format = req.get_param_value("format");
    if (format == "json") {
      res.set_content(*WorldPage(PageFormat::Json), "application/json; charset=utf-8");
    } else if (format.empty() || format == "html") {
      res.set_content(*WorldPage(PageFormat::Html), "text/html; charset=utf-8");
    } else {
      return Answer(res, 400, "unknown format (html or json)");
    }
    res.set_header("Cache-Control", "no-cache");
  }

  // The world list, rendered once for each change of the store and each second (the newest
  // entry's mark depends on the time); rendered for every request when the store cannot tell
  // its changes.
  std::shared_ptr<const std::string> WorldPage(PageFormat format) {
    const std::optional<int64_t> version = store.Version();
    const int64_t now = Now();
    const auto render = [&] {
      const std::vector<ScoreRow> rows = store.Top(WorldListSize);
      return std::make_shared<const std::string>(format == PageFormat::Json ? WorldPageJson(rows, now)
                                                                            : WorldPageHtml(rows, now, web != nullptr));
    };
    if (!version) return render();
    const std::lock_guard<std::mutex> lock(pagesMutex);
    RenderedPage& page = pages[static_cast<size_t>(format)];
    if (page.Body == nullptr || page.Version != *version || page.Second != now) page = RenderedPage{*version, now, render()};
    return page.Body;
  }

  void Route(const httplib::Request& req, httplib::Response& res) {
    try {
      if (req.get_param_value("prg") != kProgram) return Answer(res, 400, "unknown program");
      if (req.has_param("hs")) return Submit(req, res);
      if (req.has_param("show")) return Show(req, res);
      Answer(res, 400, "unknown request");
    } catch (const std::exception& e) {
      if (log != nullptr) std::fprintf(log, "zkscored: the score store failed: %s\n", Logged(e.what(), 1000).c_str());
      Answer(res, 503, "the score store is unavailable; try again later");
    }
  }

  // A file of the browser version: revalidated on every load (the names never change), sent gzipped
  // where it is kept so and the browser takes it.
  void ServeWebFile(const httplib::Request& req, httplib::Response& res, std::string_view name) const {
    const WebFile* const file = web->Find(name);
    if (file == nullptr) return Answer(res, 404, "no such file");
    res.set_header("Cache-Control", "no-cache");
    res.set_header("ETag", file->ETag);
    res.set_header("X-Content-Type-Options", "nosniff");
    if (req.get_header_value("If-None-Match") == file->ETag) {
      res.status = 304;
      return;
    }
    if (!file->Gzip.empty()) {
      res.set_header("Vary", "Accept-Encoding");
      if (req.get_header_value("Accept-Encoding").find("gzip") != std::string::npos) {
        res.set_header("Content-Encoding", "gzip");
        res.set_content(file->Gzip, file->ContentType.c_str());
        return;
      }
    }
    res.set_content(file->Body, file->ContentType.c_str());
  }

  void LogLine(const std::string& address, std::string_view method, std::string_view target, int status,
               size_t bytes) const {
    if (log == nullptr) return;
    std::fprintf(log, "%s %s %s %s %d %zu\n", LogTime(), Logged(address).c_str(), Logged(method, kLoggedMethodLength).c_str(),
                 Logged(target).c_str(), status, bytes);
  }

  ScoreStore& store;
  std::mutex pagesMutex;
  std::array<RenderedPage, 2> pages;  // by PageFormat
  std::shared_ptr<const WebFiles> web;
  std::FILE* log;
  RateLimiter limiter;
  GuardedServer http;
};

ScoreServer::ScoreServer(ScoreStore& store, const ServerSettings& settings)
    : impl_(std::make_unique<Impl>(store, settings)) {
  Impl& impl = *impl_;
  impl.http.set_keep_alive_max_count(settings.Limits.RequestsPerConnection);
  impl.http.set_keep_alive_timeout(settings.Limits.KeepAliveSeconds);
  impl.http.set_payload_max_length(settings.Limits.BodyBytes);
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
  if (impl.web != nullptr) {
    // The page's own files are addressed relative to it: the page is /play/, not /play.
    impl.http.Get("/play", [](const httplib::Request&, httplib::Response& res) { res.set_redirect(std::string(WebPath)); });
    impl.http.Get(std::string(WebPath), [&impl](const httplib::Request& req, httplib::Response& res) {
      impl.ServeWebFile(req, res, WebPage);
    });
    impl.http.Get(std::string(WebPath) + "([A-Za-z0-9_.-]+)", [&impl](const httplib::Request& req, httplib::Response& res) {
      impl.ServeWebFile(req, res, req.matches[1].str());
    });
  }
  impl.http.set_logger([&impl](const httplib::Request& req, const httplib::Response& res) {
    impl.LogLine(req.remote_addr, req.method, req.target, res.status, res.body.size());
  });
}

ScoreServer::~ScoreServer() = default;

int ScoreServer::Bind(const std::string& host, int port) {
  const int bound = port == 0 ? impl_->http.bind_to_any_port(host) : impl_->http.bind_to_port(host, port) ? port : -1;
  return bound >= 0 && impl_->http.SetBacklog(ListenBacklog) ? bound : -1;
}

bool ScoreServer::Serve() { return impl_->http.Serve(); }
void ScoreServer::Stop() { impl_->http.stop(); }
bool ScoreServer::Running() const { return impl_->http.is_running(); }

}  // namespace scored
