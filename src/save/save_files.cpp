// The save files at start-up and at exit.
#include <cstdio>
#include <filesystem>

#include "save/save.h"
#include "save/save_local.h"

namespace {

void Report(const std::string& message) { std::fprintf(stderr, "%s\n", message.c_str()); }

// Keeps the file aside before the exit writes over it, and says where.
void KeepAsideReporting(const std::string& path) {
  try {
    Report(path + ": kept as " + KeepAside(path));
  } catch (const std::exception& e) {
    Report(std::string(e.what()) + " (the file could not be kept aside)");
  }
}

// False when the file exists but cannot be read; it has then been reported and kept aside.
bool LoadReporting(void (*load)(const std::string&), const std::string& path) {
  try {
    load(path);
    return true;
  } catch (const std::exception& e) {
    Report(e.what());
    KeepAsideReporting(path);
    return false;
  }
}

}  // namespace

TSaveFilePaths SaveFilePathsIn(const std::string& folder) {
  const std::filesystem::path base(folder);
  return {(base / "options").string(), (base / "hs").string()};
}

bool SaveFileExists(const std::string& fileName) {
  if (fileName.empty()) return false;
  std::FILE* const f = std::fopen(fileName.c_str(), "rb");
  if (f == nullptr) return false;
  std::fclose(f);
  std::error_code ec;
  return !std::filesystem::is_directory(fileName, ec);
}

void LoadSaveFiles(const TSaveFilePaths& paths) {
  const bool highScoresRead = LoadReporting(LoadHighScores, paths.HighScores);
  const bool optionsRead = LoadReporting(LoadOptions, paths.Options);
  if (!optionsRead) ResetOptions();
  if (!highScoresRead || !HighScoreDigestValid()) {
    // With no digest to check against, a reset table may be the player's own: keep it.
    if (!optionsRead && highScoresRead && SaveFileExists(paths.HighScores)) KeepAsideReporting(paths.HighScores);
    ResetHighScores();
  }
}

std::string SaveSaveFiles(const TSaveFilePaths& paths) {
  try {
    TFileReplacement options(paths.Options, OptionsFileText());
    TFileReplacement highScores(paths.HighScores, HighScoreFileText());
    options.Commit();
    highScores.Commit();
    return std::string();
  } catch (const std::exception& e) {
    return e.what();
  }
}
