// What the two save files share: the text reader, the line writer and the file primitives.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

// Reads a save file's text the way both files are read: lines end at LF or CR LF; a number is a
// token after any blanks and line ends, followed by the rest of its line, which is skipped.
class TSaveReader {
public:
  TSaveReader(std::string_view text, std::string path) : text_(text), path_(std::move(path)) {}

  // The rest of the current line without its line end; empty at the end of the text.
  std::string ReadLine();
  // A decimal integer with an optional sign; 0 at the end of the text. Anything else (or a value
  // outside 32 bits) throws EGameError "<path>: Invalid numeric input".
  int32_t ReadInteger();

private:
  void SkipRestOfLine();

  std::string_view text_;
  size_t pos_ = 0;
  std::string path_;
};

// Appends `line` and CR LF.
void AppendLine(std::string& out, std::string_view line);

// The files' contents as SaveOptions and SaveHighScores write them.
std::string OptionsFileText();
std::string HighScoreFileText();

// The whole file; throws EGameError "<path>: ..." when it cannot be read.
std::string ReadSaveFile(const std::string& path);

// A new content for `path`, complete and flushed to disk under a temporary name in the same
// folder; Commit() puts it in place of the old file in one step. Without Commit() the temporary
// file is removed and the old file stays as it was. Both throw EGameError "<path>: ...".
class TFileReplacement {
public:
  TFileReplacement(std::string path, std::string_view content);
  ~TFileReplacement();
  TFileReplacement(const TFileReplacement&) = delete;
  TFileReplacement& operator=(const TFileReplacement&) = delete;
  void Commit();

private:
  std::string path_, tempPath_;
  bool committed_ = false;
};

void WriteSaveFile(const std::string& path, std::string_view content);

// Copies the file to the first of "<path>.bad", "<path>.bad.1" .. "<path>.bad.9" that does not
// exist and returns that name; never overwrites a file. Throws EGameError when the file cannot
// be read or every name is taken.
std::string KeepAside(const std::string& path);
