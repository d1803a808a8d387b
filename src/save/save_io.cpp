// File primitives of the save files: whole-file reads, crash-safe replacement, backups.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>

#include <fcntl.h>
#include <unistd.h>

#include "platform/platform.h"
#include "save/save_local.h"

namespace {

constexpr const char* TempSuffix = ".tmp";
constexpr const char* BackupSuffix = ".bad";
constexpr int ExtraBackupNames = 9;  // "<file>.bad.1" .. "<file>.bad.9" after "<file>.bad"

struct TFileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using TFilePtr = std::unique_ptr<std::FILE, TFileCloser>;

EGameError FileError(const std::string& path, int error) {
  return EGameError(path + ": " + std::strerror(error));
}

// Writes `content` as a new file and has it on disk before returning 0; otherwise removes what
// it created and returns the errno value. Exclusive: fails with EEXIST rather than overwrite.
int WriteNewFile(const std::string& fileName, std::string_view content, bool exclusive) {
  std::FILE* const f = std::fopen(fileName.c_str(), exclusive ? "wbx" : "wb");
  if (f == nullptr) return errno;
  const bool written = std::fwrite(content.data(), 1, content.size(), f) == content.size() &&
                       std::fflush(f) == 0 && ::fsync(::fileno(f)) == 0;
  int error = written ? 0 : (errno != 0 ? errno : EIO);
  if (std::fclose(f) != 0 && error == 0) error = errno;
  if (error != 0) std::remove(fileName.c_str());
  return error;
}

// Makes a rename in `fileName`'s folder durable. Best effort.
void SyncFolderOf(const std::string& fileName) {
  std::filesystem::path folder = std::filesystem::path(fileName).parent_path();
  if (folder.empty()) folder = ".";
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

}  // namespace

std::string ReadSaveFile(const std::string& path) {
  const TFilePtr f(std::fopen(path.c_str(), "rb"));
  if (!f) throw FileError(path, errno);
  std::string text;
  char buffer[4096];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, f.get())) > 0) text.append(buffer, n);
  if (std::ferror(f.get())) throw FileError(path, errno != 0 ? errno : EIO);
  return text;
}

TFileReplacement::TFileReplacement(std::string path, std::string_view content)
    : path_(std::move(path)), tempPath_(path_ + TempSuffix) {
  if (const int error = WriteNewFile(tempPath_, content, false)) throw FileError(path_, error);
}

TFileReplacement::~TFileReplacement() {
  if (!committed_) std::remove(tempPath_.c_str());
}

void TFileReplacement::Commit() {
  std::error_code ec;
  std::filesystem::rename(tempPath_, path_, ec);
  if (ec) throw EGameError(path_ + ": " + ec.message());
  committed_ = true;
  SyncFolderOf(path_);
}

void WriteSaveFile(const std::string& path, std::string_view content) {
  TFileReplacement(path, content).Commit();
}

std::string KeepAside(const std::string& path) {
  const std::string content = ReadSaveFile(path);
  for (int i = 0; i <= ExtraBackupNames; ++i) {
    const std::string backup = path + BackupSuffix + (i == 0 ? std::string() : "." + std::to_string(i));
    const int error = WriteNewFile(backup, content, true);
    if (error == 0) return backup;
    if (error != EEXIST) throw FileError(backup, error);
  }
  throw EGameError(path + ": every backup name is taken");
}
