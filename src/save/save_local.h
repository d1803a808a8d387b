// What the two save files share: the bounded reader, the line writer and the file primitives.
// Every file-system call of the save files goes through one seam (SetSaveStepHook), so tests can
// fail or stop the save sequence at any step.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

// The longest line either file can hold. A longer line is an error, found without keeping it.
constexpr size_t MaxSaveLineLength = 1024;

enum class TSaveStep { Open, Read, Write, Sync, Close, Rename, Remove };
// Called before each file-system call of the save files with the file (or folder) involved; a
// non-zero result makes that call fail with that errno value. An empty hook lets every call run.
using TSaveStepHook = std::function<int(TSaveStep step, const std::string& path)>;
void SetSaveStepHook(TSaveStepHook hook);

// An open file descriptor, closed once.
class TFileHandle {
public:
  explicit TFileHandle(int fd = -1) : fd_(fd) {}
  TFileHandle(TFileHandle&& other) noexcept : fd_(other.Release()) {}
  TFileHandle& operator=(TFileHandle&& other) noexcept;
  ~TFileHandle();
  int Get() const { return fd_; }
  int Release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
  }

private:
  int fd_;
};

// Reads a save file the way both files are read, a piece at a time: lines end at LF or CR LF; a
// number is a token after any blanks and line ends, followed by the rest of its line, which is
// skipped. Memory use does not depend on the file's size.
class TSaveReader {
public:
  // Opens the file without blocking. Nothing (nullopt) when it does not exist; any other failure,
  // including a file that is not a regular file (a folder, a FIFO, a device), throws EGameError
  // "<path>: <reason>".
  static std::optional<TSaveReader> Open(const std::string& path);

  // The rest of the current line without its line end; empty at the end of the file. A line
  // longer than MaxSaveLineLength throws EGameError "<path>: Invalid line".
  std::string ReadLine();
  // A decimal integer with an optional sign; 0 at the end of the file. Anything else, a value
  // outside 32 bits or a line longer than MaxSaveLineLength throws EGameError
  // "<path>: Invalid numeric input".
  int32_t ReadInteger();

private:
  TSaveReader(TFileHandle file, std::string path) : file_(std::move(file)), path_(std::move(path)) {}
  int Peek();  // the next byte, or -1 at the end of the file
  void Skip() { ++pos_; }
  // Skips to the next line; false when the line held more than `limit` more bytes.
  bool SkipRestOfLine(size_t limit);

  TFileHandle file_;
  std::string path_;
  char buffer_[4096];
  size_t pos_ = 0, end_ = 0;
  bool atEnd_ = false;
};

// Appends `line` and CR LF.
void AppendLine(std::string& out, std::string_view line);

// The files' contents as SaveOptions and SaveHighScores write them.
std::string OptionsFileText();
std::string HighScoreFileText();

// The name under which a new content waits until it replaces `path`. The save folder's lock
// (LockSaveFolder) keeps two games from sharing it; a stale file of that name is replaced.
std::string TemporaryPathOf(const std::string& path);

// A new content for `path`, complete and flushed to disk under TemporaryPathOf(path); Commit()
// puts it in place of the old file in one step. Unless committed or kept, the temporary file is
// removed again and the old file stays as it was. Both throw EGameError naming the file involved.
class TFileReplacement {
public:
  TFileReplacement(std::string path, std::string_view content);
  ~TFileReplacement();
  TFileReplacement(const TFileReplacement&) = delete;
  TFileReplacement& operator=(const TFileReplacement&) = delete;
  void Commit();
  // From here on the temporary file outlives a failed Commit(): start-up finishes the rename.
  void KeepTemporary() { keep_ = true; }

private:
  std::string path_, tempPath_;
  bool done_ = false, keep_ = false;
};

void WriteSaveFile(const std::string& path, std::string_view content);

// Renames `from` to `to`, replacing `to`, and makes the rename durable. Throws EGameError.
void RenameSaveFile(const std::string& from, const std::string& to);

// Moves the file (by a rename) to the first of "<path>.bad", "<path>.bad.1" .. "<path>.bad.9"
// that is free, or in place of the oldest of them when none is, and returns the backup's name.
// Throws EGameError when the file does not open for reading or cannot be renamed (the file is
// then untouched).
std::string KeepAside(const std::string& path);

// Makes `folder` a folder: created when missing; anything else by that name is renamed aside
// first (to "<folder>.bad" ...). Returns what was done, for the player; empty when nothing was.
// Throws EGameError.
std::string EnsureSaveFolder(const std::string& folder);

// The lock of a save folder, held by one game at a time (flock on the folder). Taking it again
// for the folder already held does nothing; another folder releases the first. False when
// another game holds it (or the folder cannot be opened: then nothing is written either); the
// reason is in `problem`.
bool LockSaveFolder(const std::string& folder, std::string& problem);
void UnlockSaveFolder();
// Back to the state at program start: writes allowed, no lock held or refused.
void ForgetSaveFiles();
