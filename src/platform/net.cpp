// One blocking HTTP GET over libcurl, loaded at the first request: the game starts without
// linking libcurl and the two dozen libraries it brings, and without it only the requests fail.
#define CURL_DISABLE_TYPECHECK
#include <curl/curl.h>
#include <dlfcn.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <type_traits>

#include "platform/platform.h"

namespace {

constexpr long MaxConnectTimeoutMs = 5000;
constexpr long MaxRedirects = 5;
constexpr const char* AllowedProtocols = "http,https";
// The game drops the answer; a larger one is a broken server and ends the request.
constexpr size_t MaxBodyBytes = 1 << 20;
constexpr const char* CurlLibrary = "libcurl.so.4";

// The libcurl functions the requests use; Problem says why they are missing when they are.
struct TCurl {
  decltype(&curl_global_init) GlobalInit = nullptr;
  decltype(&curl_easy_init) EasyInit = nullptr;
  decltype(&curl_easy_cleanup) EasyCleanup = nullptr;
  decltype(&curl_easy_setopt) EasySetopt = nullptr;
  decltype(&curl_easy_perform) EasyPerform = nullptr;
  decltype(&curl_easy_getinfo) EasyGetinfo = nullptr;
  decltype(&curl_easy_strerror) EasyStrerror = nullptr;
  decltype(&curl_slist_append) SlistAppend = nullptr;
  decltype(&curl_slist_free_all) SlistFreeAll = nullptr;
  std::string Problem;
};

TCurl LoadCurl() {
  TCurl api;
  void* const library = dlopen(CurlLibrary, RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr) {
    api.Problem = std::string("cannot load ") + CurlLibrary + " (" + dlerror() + ")";
    return api;
  }
  bool complete = true;
  const auto find = [&](auto& function, const char* name) {
    function = reinterpret_cast<std::remove_reference_t<decltype(function)>>(dlsym(library, name));
    if (function == nullptr && complete) {
      complete = false;
      api.Problem = std::string(CurlLibrary) + " has no " + name;
    }
  };
  find(api.GlobalInit, "curl_global_init");
  find(api.EasyInit, "curl_easy_init");
  find(api.EasyCleanup, "curl_easy_cleanup");
  find(api.EasySetopt, "curl_easy_setopt");
  find(api.EasyPerform, "curl_easy_perform");
  find(api.EasyGetinfo, "curl_easy_getinfo");
  find(api.EasyStrerror, "curl_easy_strerror");
  find(api.SlistAppend, "curl_slist_append");
  find(api.SlistFreeAll, "curl_slist_free_all");
  if (complete) api.GlobalInit(CURL_GLOBAL_DEFAULT);
  return api;  // the library stays loaded for the rest of the run
}

// Loaded once, by the first request of any thread; a missing library is said once on standard
// error (each request's result says it too).
const TCurl& Curl() {
  static const TCurl api = [] {
    TCurl loaded = LoadCurl();
    if (!loaded.Problem.empty()) std::fprintf(stderr, "zubokranz: %s; no request reaches a server\n", loaded.Problem.c_str());
    return loaded;
  }();
  return api;
}

struct TCurlDeleter {
  void operator()(CURL* curl) const { Curl().EasyCleanup(curl); }
  void operator()(curl_slist* list) const { Curl().SlistFreeAll(list); }
};

size_t CollectBody(char* data, size_t size, size_t count, void* userData) {
  auto* const body = static_cast<std::string*>(userData);
  const size_t bytes = size * count;
  if (body->size() + bytes > MaxBodyBytes) return 0;
  try {
    body->append(data, bytes);
  } catch (...) {
    return 0;
  }
  return bytes;
}

}  // namespace

HttpGetResult Net_HttpGet(const HttpGetRequest& request) {
  HttpGetResult result;
  const TCurl& api = Curl();
  if (!api.Problem.empty()) {
    result.Error = api.Problem;
    return result;
  }
  const std::unique_ptr<CURL, TCurlDeleter> curl(api.EasyInit());
  if (!curl) {
    result.Error = "curl_easy_init failed";
    return result;
  }
  std::unique_ptr<curl_slist, TCurlDeleter> headers;
  for (const std::string& header : request.Headers) {
    curl_slist* const appended = api.SlistAppend(headers.get(), header.c_str());
    if (appended == nullptr) {
      result.Error = "out of memory";
      return result;
    }
    headers.release();
    headers.reset(appended);
  }

  char errorText[CURL_ERROR_SIZE] = {};
  CURL* const c = curl.get();
  api.EasySetopt(c, CURLOPT_URL, request.Url.c_str());
  api.EasySetopt(c, CURLOPT_HTTPGET, 1L);
  api.EasySetopt(c, CURLOPT_NOSIGNAL, 1L);
  api.EasySetopt(c, CURLOPT_PROTOCOLS_STR, AllowedProtocols);
  api.EasySetopt(c, CURLOPT_REDIR_PROTOCOLS_STR, AllowedProtocols);
  api.EasySetopt(c, CURLOPT_FOLLOWLOCATION, 1L);
  api.EasySetopt(c, CURLOPT_MAXREDIRS, MaxRedirects);
  api.EasySetopt(c, CURLOPT_PROXY, "");  // no proxy, whatever the environment says
  if (request.TimeoutMs > 0) {
    api.EasySetopt(c, CURLOPT_TIMEOUT_MS, static_cast<long>(request.TimeoutMs));
    api.EasySetopt(c, CURLOPT_CONNECTTIMEOUT_MS, std::min<long>(request.TimeoutMs, MaxConnectTimeoutMs));
  }
  if (request.HandleCookies) api.EasySetopt(c, CURLOPT_COOKIEFILE, "");
  api.EasySetopt(c, CURLOPT_HTTPHEADER, headers.get());
  api.EasySetopt(c, CURLOPT_WRITEFUNCTION, CollectBody);
  api.EasySetopt(c, CURLOPT_WRITEDATA, &result.Body);
  api.EasySetopt(c, CURLOPT_ERRORBUFFER, errorText);

  const CURLcode code = api.EasyPerform(c);
  long status = 0;
  api.EasyGetinfo(c, CURLINFO_RESPONSE_CODE, &status);
  result.Status = static_cast<int>(status);
  result.Ok = code == CURLE_OK;
  if (!result.Ok) result.Error = errorText[0] != '\0' ? errorText : api.EasyStrerror(code);
  return result;
}
