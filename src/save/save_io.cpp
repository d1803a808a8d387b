// File primitives of the save files: non-blocking opens of regular files only, crash-safe
// replacement, backups. Every call reaches the file system through Call(), the test seam.
#include <array>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <utility>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/platform.h"
#include "save/save_local.h"

namespace {

constexpr const char* TempSuffix = ".tmp";
constexpr const char* BackupSuffix = ".bad";
constexpr int BackupNameCount = 10;  // "<file>.bad", then "<file>.bad.1" .. "<file>.bad.9"

TSaveStepHook stepHook;

// Runs one file-system call unless the hook fails it (then -1 with errno set, like the call).
template <class F>
auto Call(TSaveStep step, const std::string& path, F call) -> decltype(call()) {
  if (stepHook) {
    if (const int error = stepHook(step, path)) {
      errno = error;
      return -1;
    }
  }
  return call();
}

// The reason a call on `path` failed with `error`, in words; a name that exists but is not a
// regular file says what it is instead.
std::string Reason(const std::string& path, int error) {
  struct stat st {};
  if (::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
    if (S_ISDIR(st.st_mode)) return "is a folder, not a file";
    if (S_ISFIFO(st.st_mode)) return "is a FIFO, not a regular file";
    if (S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode)) return "is a device, not a regular file";
    return "is not a regular file";
  }
  return std::strerror(error);
}

EGameError FileError(const std::string& path, int error) { return EGameError(path + ": " + Reason(path, error)); }

// Opens a regular file without blocking (a FIFO or a device would block or misbehave); -1 with
// errno set otherwise, ENOENT only when the name does not exist.
int OpenRegular(const std::string& path, int flags) {
  const int fd = Call(TSaveStep::Open, path, [&] {
    return ::open(path.c_str(), flags | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0644);
  });
  if (fd < 0) return -1;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    errno = EINVAL;
    return -1;
  }
  return fd;
}

TFileHandle OpenForReading(const std::string& path) {
  const int fd = OpenRegular(path, O_RDONLY);
  if (fd < 0) throw FileError(path, errno);
  return TFileHandle(fd);
}

// Reads up to `size` bytes; 0 at the end of the file. Throws EGameError.
size_t ReadSome(const TFileHandle& file, const std::string& path, char* buffer, size_t size) {
  for (;;) {
    const ssize_t n = Call(TSaveStep::Read, path, [&] { return ::read(file.Get(), buffer, size); });
    if (n >= 0) return static_cast<size_t>(n);
    if (errno != EINTR) throw FileError(path, errno);
  }
}

void RemoveFile(const std::string& path) {
  Call(TSaveStep::Remove, path, [&] { return ::unlink(path.c_str()); });
}

// A temporary file being written: whatever stale entry had its name is removed (a symbolic link
// itself, never what it points to), the file is created new, filled, then flushed to disk and
// closed by Finish(). Throws EGameError naming the file.
class TNewFile {
public:
  explicit TNewFile(std::string path) : path_(std::move(path)) {
    RemoveFile(path_);
    const int fd = OpenRegular(path_, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW);
    if (fd < 0) throw FileError(path_, errno);
    file_ = TFileHandle(fd);
  }
  void Write(std::string_view bytes) {
    while (!bytes.empty()) {
      const ssize_t n = Call(TSaveStep::Write, path_, [&] { return ::write(file_.Get(), bytes.data(), bytes.size()); });
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) throw FileError(path_, n < 0 ? errno : EIO);
      bytes.remove_prefix(static_cast<size_t>(n));
    }
  }
  void Finish() {
    if (Call(TSaveStep::Sync, path_, [&] { return ::fsync(file_.Get()); }) != 0) throw FileError(path_, errno);
    const int fd = file_.Release();
    if (Call(TSaveStep::Close, path_, [&] { return ::close(fd); }) != 0) throw FileError(path_, errno);
  }

private:
  std::string path_;
  TFileHandle file_;
};

// Makes a rename in `fileName`'s folder durable. Best effort.
void SyncFolderOf(const std::string& fileName) {
  std::string folder = std::filesystem::path(fileName).parent_path().string();
  if (folder.empty()) folder = ".";
  const int fd = Call(TSaveStep::Open, folder, [&] { return ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); });
  if (fd < 0) return;
  const TFileHandle dir(fd);
  Call(TSaveStep::Sync, folder, [&] { return ::fsync(dir.Get()); });
}

// The first free backup name of `path`, or the oldest backup when none is free.
std::string BackupNameFor(const std::string& path) {
  std::string oldest;
  struct timespec oldestTime {};
  for (int i = 0; i < BackupNameCount; ++i) {
    const std::string name = path + BackupSuffix + (i == 0 ? std::string() : "." + std::to_string(i));
    struct stat st {};
    if (::lstat(name.c_str(), &st) != 0) return name;
    const struct timespec t = st.st_mtim;
    if (oldest.empty() || t.tv_sec < oldestTime.tv_sec ||
        (t.tv_sec == oldestTime.tv_sec && t.tv_nsec < oldestTime.tv_nsec)) {
      oldest = name;
      oldestTime = t;
    }
  }
  return oldest;
}

// The save folder this game holds the lock of, and the open folder that carries the lock.
std::string lockedFolder;
TFileHandle lockHandle;

}  // namespace

bool LockSaveFolder(const std::string& folder, std::string& problem) {
  if (lockHandle.Get() >= 0 && lockedFolder == folder) return true;
  UnlockSaveFolder();
  TFileHandle dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (dir.Get() < 0) {
    problem = folder + ": " + std::strerror(errno);
    return false;
  }
  if (::flock(dir.Get(), LOCK_EX | LOCK_NB) != 0) {
    problem = folder + (errno == EWOULDBLOCK ? ": in use by another game" : ": cannot be locked: " + std::string(std::strerror(errno)));
    return false;
  }
  lockHandle = std::move(dir);
  lockedFolder = folder;
  return true;
}

void UnlockSaveFolder() {
  lockHandle = TFileHandle();
  lockedFolder.clear();
}

void SetSaveStepHook(TSaveStepHook hook) { stepHook = std::move(hook); }

TFileHandle& TFileHandle::operator=(TFileHandle&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = other.Release();
  }
  return *this;
}

TFileHandle::~TFileHandle() {
  if (fd_ >= 0) ::close(fd_);
}

std::optional<TSaveReader> TSaveReader::Open(const std::string& path) {
  const int fd = OpenRegular(path, O_RDONLY);
  if (fd < 0) {
    if (errno == ENOENT) return std::nullopt;
    throw FileError(path, errno);
  }
  return TSaveReader(TFileHandle(fd), path);
}

int TSaveReader::Peek() {
  if (pos_ == end_) {
    if (atEnd_) return -1;
    end_ = ReadSome(file_, path_, buffer_, sizeof buffer_);
    pos_ = 0;
    if (end_ == 0) {
      atEnd_ = true;
      return -1;
    }
  }
  return static_cast<unsigned char>(buffer_[pos_]);
}

std::string TemporaryPathOf(const std::string& path) { return path + TempSuffix; }

TFileReplacement::TFileReplacement(std::string path, std::string_view content)
    : path_(std::move(path)), tempPath_(TemporaryPathOf(path_)) {
  try {
    TNewFile file(tempPath_);
    file.Write(content);
    file.Finish();
  } catch (...) {
    RemoveFile(tempPath_);
    throw;
  }
}

TFileReplacement::~TFileReplacement() {
  if (!done_ && !keep_) RemoveFile(tempPath_);
}

void TFileReplacement::Commit() {
  RenameSaveFile(tempPath_, path_);
  done_ = true;
}

void WriteSaveFile(const std::string& path, std::string_view content) {
  TFileReplacement(path, content).Commit();
}

void RenameSaveFile(const std::string& from, const std::string& to) {
  if (Call(TSaveStep::Rename, to, [&] { return ::rename(from.c_str(), to.c_str()); }) != 0) {
    const int error = errno;
    throw EGameError(to + ": cannot be replaced by " + from + ": " + Reason(to, error));
  }
  SyncFolderOf(to);
}

std::string KeepAside(const std::string& path) {
  // Only a regular file that opens is moved: anything else is left where the player put it.
  OpenForReading(path);
  const std::string backup = BackupNameFor(path);
  RenameSaveFile(path, backup);
  return backup;
}

std::string EnsureSaveFolder(const std::string& folder) {
  namespace fs = std::filesystem;
  if (folder.empty()) return {};
  std::error_code ec;
  const fs::file_status status = fs::status(folder, ec);
  if (fs::is_directory(status)) return {};
  std::string done;
  if (fs::exists(status)) {
    const std::string aside = BackupNameFor(folder);
    RenameSaveFile(folder, aside);
    done = folder + ": was not a folder; kept as " + aside + "; ";
  }
  fs::create_directories(folder, ec);
  if (ec) throw EGameError(folder + ": cannot create the folder: " + ec.message());
  return done + folder + ": folder created";
}
