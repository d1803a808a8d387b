// Where the game keeps its save files.
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "save/save.h"

namespace {

std::string saveFolderOverride;

bool IsDirectory(const std::string& path) {
  std::error_code ec;
  return std::filesystem::is_directory(path, ec);
}

// A folder we may write into, or may create because its parent is one.
bool WritableOrCreatable(const std::string& folder) {
  if (IsDirectory(folder)) return ::access(folder.c_str(), W_OK | X_OK) == 0;
  const std::string parent = std::filesystem::path(folder).parent_path().string();
  return IsDirectory(parent) && ::access(parent.c_str(), W_OK | X_OK) == 0;
}

}  // namespace

void SetSaveFolder(const std::string& folder) { saveFolderOverride = folder; }

std::string UserSaveFolder() {
  const char* const dataHome = std::getenv("XDG_DATA_HOME");
  if (dataHome != nullptr && dataHome[0] == '/') return std::string(dataHome) + "/zubokranz";
  const char* const home = std::getenv("HOME");
  return std::string(home != nullptr && home[0] != '\0' ? home : ".") + "/.local/share/zubokranz";
}

std::string SaveFolder() {
  if (!saveFolderOverride.empty()) return saveFolderOverride;
  const std::string own = Sys_DataRoot() + "/Data/Save";
  if (!Sys_DataRootInstalled() && WritableOrCreatable(own)) return own;
  return UserSaveFolder();
}

std::string OptionsFilePath() { return GameSaveFilePaths().Options; }
std::string HighScoreFilePath() { return GameSaveFilePaths().HighScores; }
TSaveFilePaths GameSaveFilePaths() { return SaveFilePathsIn(SaveFolder()); }

std::string SaveGameFiles() {
  const std::string folder = SaveFolder();
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  if (ec) return folder + ": " + ec.message();
  const std::string problem = SaveSaveFiles(SaveFilePathsIn(folder));
  Sys_FilesSaved();
  return problem;
}
