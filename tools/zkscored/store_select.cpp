// Which store --db names, how it is shown in logs, and what every store shares.
#include "scored.h"

namespace scored {
namespace {

constexpr std::string_view kSchemes[] = {"postgresql://", "postgres://"};
constexpr std::string_view kHidden = "***";

// Replaces the value of every `key=` in the query (the part after '?') with kHidden.
void HideQueryValue(std::string& address, std::string_view key) {
  const size_t query = address.find('?');
  if (query == std::string::npos) return;
  for (size_t at = query; at < address.size();) {
    const size_t start = at + 1;
    if (address.compare(start, key.size(), key) == 0) {
      const size_t valueStart = start + key.size();
      const size_t valueEnd = std::min(address.find('&', valueStart), address.size());
      address.replace(valueStart, valueEnd - valueStart, kHidden);
    }
    at = address.find('&', start);
  }
}

}  // namespace

void ScoreStore::AddAll(const std::function<bool(std::vector<NewScore>&)>& next) {
  std::vector<NewScore> batch;
  bool more = true;
  while (more) {
    batch.clear();
    more = next(batch);
    for (const NewScore& score : batch) Add(score);
  }
}

bool IsPostgresAddress(std::string_view database) {
  for (const std::string_view scheme : kSchemes)
    if (database.substr(0, scheme.size()) == scheme) return true;
  return false;
}

std::unique_ptr<ScoreStore> OpenStore(const std::string& database) {
  return IsPostgresAddress(database) ? OpenPostgresStore(database) : OpenSqliteStore(database);
}

std::string DatabaseForDisplay(const std::string& database) {
  if (!IsPostgresAddress(database)) return database;
  std::string shown = database;
  const size_t authority = shown.find("://") + 3;
  const size_t authorityEnd = std::min(shown.find_first_of("/?", authority), shown.size());
  const size_t at = shown.rfind('@', authorityEnd);
  if (at != std::string::npos && at >= authority) {
    const size_t colon = shown.find(':', authority);
    if (colon < at) shown.replace(colon + 1, at - colon - 1, kHidden);
  }
  HideQueryValue(shown, "password=");
  return shown;
}

#ifndef ZK_HAVE_POSTGRESQL
bool HavePostgres() { return false; }
std::unique_ptr<ScoreStore> OpenPostgresStore(const std::string& address) {
  throw StoreError(DatabaseForDisplay(address) + ": this zkscored was built without PostgreSQL (libpq-dev missing)");
}
#endif

}  // namespace scored
