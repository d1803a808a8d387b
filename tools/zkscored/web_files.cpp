// The browser version's files (zkscored --web DIR), read once and answered from memory.
#include <zlib.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "scored.h"

namespace scored {
namespace {

constexpr size_t kMaxFileBytes = size_t{256} << 20;

struct KnownType {
  std::string_view Extension;
  std::string_view ContentType;
  bool Precompressed;  // kept gzipped here: the HTTP library compresses text types by itself
};
constexpr KnownType kKnownTypes[] = {
    {".html", "text/html; charset=utf-8", false},
    {".js", "text/javascript; charset=utf-8", false},
    {".wasm", "application/wasm", true},
    {".data", "application/octet-stream", true},
};

const KnownType* TypeOf(const std::filesystem::path& file) {
  for (const KnownType& type : kKnownTypes)
    if (file.extension() == type.Extension) return &type;
  return nullptr;
}

std::string ReadAll(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) throw std::runtime_error(file.string() + ": cannot be read");
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) throw std::runtime_error(file.string() + ": cannot be read");
  if (bytes.size() > kMaxFileBytes) throw std::runtime_error(file.string() + ": larger than 256 MB");
  return bytes;
}

// gzip at the best compression, done once at start-up.
std::string Gzip(const std::string& bytes, const std::filesystem::path& file) {
  z_stream z{};
  if (deflateInit2(&z, Z_BEST_COMPRESSION, Z_DEFLATED, 15 + 16, 9, Z_DEFAULT_STRATEGY) != Z_OK)
    throw std::runtime_error(file.string() + ": cannot be compressed");
  std::string out(deflateBound(&z, bytes.size()), '\0');
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
  z.avail_in = static_cast<uInt>(bytes.size());
  z.next_out = reinterpret_cast<Bytef*>(out.data());
  z.avail_out = static_cast<uInt>(out.size());
  const int result = deflate(&z, Z_FINISH);
  out.resize(z.total_out);
  deflateEnd(&z);
  if (result != Z_STREAM_END) throw std::runtime_error(file.string() + ": cannot be compressed");
  return out;
}

// FNV-1a over the content: the entity tag that lets browsers keep a file until it changes.
std::string EntityTag(const std::string& bytes) {
  uint64_t hash = 14695981039346656037ull;
  for (const char c : bytes) hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
  char text[24];
  std::snprintf(text, sizeof text, "\"%016llx\"", static_cast<unsigned long long>(hash));
  return text;
}

}  // namespace

WebFiles WebFiles::Load(const std::string& folder) {
  namespace fs = std::filesystem;
  std::error_code ec;
  if (!fs::is_directory(folder, ec)) throw std::runtime_error(folder + ": not a folder");
  WebFiles web;
  for (const fs::directory_entry& entry : fs::directory_iterator(folder, ec)) {
    const KnownType* const type = TypeOf(entry.path());
    if (type == nullptr || !entry.is_regular_file(ec)) continue;
    WebFile file;
    file.ContentType = type->ContentType;
    file.Body = ReadAll(entry.path());
    file.ETag = EntityTag(file.Body);
    if (type->Precompressed) {
      file.Gzip = Gzip(file.Body, entry.path());
      if (file.Gzip.size() >= file.Body.size()) file.Gzip.clear();
    }
    web.files_.emplace(entry.path().filename().string(), std::move(file));
  }
  if (ec) throw std::runtime_error(folder + ": cannot be listed (" + ec.message() + ")");
  if (web.Find(WebPage) == nullptr)
    throw std::runtime_error(folder + ": no " + std::string(WebPage) + " (build it with scripts/build-web.sh)");
  return web;
}

const WebFile* WebFiles::Find(std::string_view name) const {
  const auto found = files_.find(std::string(name));
  return found == files_.end() ? nullptr : &found->second;
}

size_t WebFiles::DownloadBytes() const {
  size_t total = 0;
  for (const auto& [name, file] : files_) total += file.Gzip.empty() ? file.Body.size() : file.Gzip.size();
  return total;
}

}  // namespace scored
