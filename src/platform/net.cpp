// One blocking HTTP GET over libcurl.
#include <curl/curl.h>

#include <algorithm>
#include <memory>

#include "platform/platform.h"

namespace {

constexpr long MaxConnectTimeoutMs = 5000;
constexpr long MaxRedirects = 5;
constexpr const char* AllowedProtocols = "http,https";
// The game drops the answer; a larger one is a broken server and ends the request.
constexpr size_t MaxBodyBytes = 1 << 20;

struct TCurlDeleter {
  void operator()(CURL* curl) const { curl_easy_cleanup(curl); }
  void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};

void InitCurlOnce() {
  static const CURLcode init = curl_global_init(CURL_GLOBAL_DEFAULT);
  (void)init;
}

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
  InitCurlOnce();
  const std::unique_ptr<CURL, TCurlDeleter> curl(curl_easy_init());
  if (!curl) {
    result.Error = "curl_easy_init failed";
    return result;
  }
  std::unique_ptr<curl_slist, TCurlDeleter> headers;
  for (const std::string& header : request.Headers) {
    curl_slist* const appended = curl_slist_append(headers.get(), header.c_str());
    if (appended == nullptr) {
      result.Error = "out of memory";
      return result;
    }
    headers.release();
    headers.reset(appended);
  }

  char errorText[CURL_ERROR_SIZE] = {};
  CURL* const c = curl.get();
  curl_easy_setopt(c, CURLOPT_URL, request.Url.c_str());
  curl_easy_setopt(c, CURLOPT_HTTPGET, 1L);
  curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, AllowedProtocols);
  curl_easy_setopt(c, CURLOPT_REDIR_PROTOCOLS_STR, AllowedProtocols);
  curl_easy_setopt(c, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(c, CURLOPT_MAXREDIRS, MaxRedirects);
  curl_easy_setopt(c, CURLOPT_PROXY, "");  // no proxy, whatever the environment says
  if (request.TimeoutMs > 0) {
    curl_easy_setopt(c, CURLOPT_TIMEOUT_MS, static_cast<long>(request.TimeoutMs));
    curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT_MS, std::min<long>(request.TimeoutMs, MaxConnectTimeoutMs));
  }
  if (request.HandleCookies) curl_easy_setopt(c, CURLOPT_COOKIEFILE, "");
  curl_easy_setopt(c, CURLOPT_HTTPHEADER, headers.get());
  curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, CollectBody);
  curl_easy_setopt(c, CURLOPT_WRITEDATA, &result.Body);
  curl_easy_setopt(c, CURLOPT_ERRORBUFFER, errorText);

  const CURLcode code = curl_easy_perform(c);
  long status = 0;
  curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &status);
  result.Status = static_cast<int>(status);
  result.Ok = code == CURLE_OK;
  if (!result.Ok) result.Error = errorText[0] != '\0' ? errorText : curl_easy_strerror(code);
  return result;
}
