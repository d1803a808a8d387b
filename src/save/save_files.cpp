// The save files at start-up and at exit: the pair of files read, checked against each other,
// recovered from an interrupted save, and written back so that a crash leaves either pair whole.
#include <cstdio>
#include <filesystem>
#include <utility>

#include "save/save.h"
#include "save/save_local.h"

namespace {

// What start-up told the player, for the message shown once the display is open.
std::string playerNotice;
// Set when a save file could neither be read nor copied: the exit then writes nothing, so the
// player's file is not lost under a new one.
bool keepFilesAsTheyAre = false;
// Off while a replay plays.
bool writesAllowed = true;
// Why another game's folder is not written, when its lock was refused at start-up.
std::string folderRefused;

// Standard error only.
void Note(const std::string& message) { std::fprintf(stderr, "%s\n", message.c_str()); }

// Standard error and the message for the player.
void Report(const std::string& message) {
  Note(message);
  playerNotice += message + "\n";
}

// Keeps the file aside before the exit writes over it, and says where; when even that fails,
// the exit leaves both files alone.
void KeepAsideReporting(const std::string& path) {
  // Nothing is written at exit then: the file stays in its place, beside its partner.
  if (keepFilesAsTheyAre || !writesAllowed) return;
  try {
    Report(path + ": kept as " + KeepAside(path));
  } catch (const std::exception& e) {
    Report(std::string(e.what()) + " (it could not be kept aside, so it is left as it was and nothing is saved at exit)");
    keepFilesAsTheyAre = true;
  }
}

enum class TLoadResult { Read, Missing, Failed };

// A file that exists but cannot be read is reported and kept aside.
TLoadResult LoadReporting(void (*load)(const std::string&), const std::string& path) {
  try {
    load(path);
    return SaveFileExists(path) ? TLoadResult::Read : TLoadResult::Missing;
  } catch (const std::exception& e) {
    Report(e.what());
    KeepAsideReporting(path);
    return TLoadResult::Failed;
  }
}

// Everything loading the two files sets.
struct TLoadedState {
  TGameOptions options = Options;
  uint8_t bossKeyShift = BossKeyShift;
  uint16_t bossKey = BossKey;
  std::string storedDigest = StoredHighScoreDigest;
  std::array<THighScore, 12> table = HighScores;

  void Restore() const {
    Options = options;
    BossKeyShift = bossKeyShift;
    BossKey = bossKey;
    StoredHighScoreDigest = storedDigest;
    HighScores = table;
  }
};

// Loads the pair from these two files when both exist, read and agree; otherwise changes nothing.
bool LoadAgreeingPair(const std::string& optionsPath, const std::string& highScorePath) {
  if (!SaveFileExists(optionsPath) || !SaveFileExists(highScorePath)) return false;
  const TLoadedState before;
  try {
    LoadOptions(optionsPath);
    LoadHighScores(highScorePath);
    if (HighScoreDigestValid()) return true;
  } catch (const std::exception&) {
  }
  before.Restore();
  return false;
}

// The exit writes both new files under temporary names, then renames the options file, then the
// high-score file. Cut short between the renames, the pair disagrees and the other half of the
// new pair waits under its temporary name: that pair is loaded and its renames finished.
bool FinishInterruptedSave(const TSaveFilePaths& paths) {
  const std::string optionsTemp = TemporaryPathOf(paths.Options), tableTemp = TemporaryPathOf(paths.HighScores);
  const std::pair<std::string, std::string> candidates[] = {
      {paths.Options, tableTemp}, {optionsTemp, paths.HighScores}, {optionsTemp, tableTemp}};
  for (const auto& [optionsPath, highScorePath] : candidates) {
    if (!LoadAgreeingPair(optionsPath, highScorePath)) continue;
    try {
      if (optionsPath != paths.Options) RenameSaveFile(optionsPath, paths.Options);
      if (highScorePath != paths.HighScores) RenameSaveFile(highScorePath, paths.HighScores);
      Note(paths.HighScores + ": finished the save that was cut short at the last exit");
    } catch (const std::exception& e) {
      Note(e.what());  // the loaded pair is written again at exit
    }
    return true;
  }
  return false;
}

std::string FolderOf(const std::string& path) { return std::filesystem::path(path).parent_path().string(); }

// The lock of the folder about to be written; the failure to report when another game holds it.
std::string LockFolderForWriting(const std::string& folder) {
  std::string problem;
  if (!folderRefused.empty()) return folderRefused;
  if (folder.empty() || LockSaveFolder(folder, problem)) return {};
  return problem + "; nothing saved";
}

}  // namespace

bool SaveFileExists(const std::string& fileName) {
  if (fileName.empty()) return false;
  try {
    return TSaveReader::Open(fileName).has_value();
  } catch (const std::exception&) {
    return false;
  }
}

void ForgetSaveFiles() {
  writesAllowed = true;
  folderRefused.clear();
  UnlockSaveFolder();
}

void SetSaveWritesAllowed(bool allowed) { writesAllowed = allowed; }

std::string LoadSaveFiles(const TSaveFilePaths& paths) {
  playerNotice.clear();
  keepFilesAsTheyAre = false;
  folderRefused.clear();
  const std::string folder = FolderOf(paths.Options);
  std::error_code ec;
  if (std::string problem; writesAllowed && std::filesystem::is_directory(folder, ec) && !LockSaveFolder(folder, problem)) {
    folderRefused = problem + ": this game does not save its settings, high scores or replays";
    Report(folderRefused);
  }
  const TLoadResult table = LoadReporting(LoadHighScores, paths.HighScores);
  const TLoadResult options = LoadReporting(LoadOptions, paths.Options);
  if (options == TLoadResult::Failed) ResetOptions();
  const bool pairAgrees = table != TLoadResult::Failed && options != TLoadResult::Failed &&
                          (HighScoreDigestValid() || FinishInterruptedSave(paths));
  if (!pairAgrees) {
    if (table == TLoadResult::Read) {
      Report(paths.HighScores + ": the table does not match its check in " + paths.Options +
             "; the default table is used");
      KeepAsideReporting(paths.HighScores);
    }
    ResetHighScores();
  }
  if (LoadReporting(LoadControls, paths.Controls) == TLoadResult::Failed) ResetControls();
  return playerNotice;
}

std::string SaveSaveFiles(const TSaveFilePaths& paths) {
  if (!writesAllowed) return {};
  if (keepFilesAsTheyAre) {
    const std::string why = paths.Options + ", " + paths.HighScores + ": not saved, a file that could not be read is left as it was";
    Note(why);
    return why;
  }
  try {
    for (const std::string& folder : {FolderOf(paths.Options), FolderOf(paths.HighScores)})
      if (const std::string done = EnsureSaveFolder(folder); !done.empty()) Note(done);
    if (const std::string refused = LockFolderForWriting(FolderOf(paths.Options)); !refused.empty()) {
      Note(refused);
      return refused;
    }
    // The controls stand alone: written first, they need no agreement with the pair.
    if (!paths.Controls.empty()) TFileReplacement(paths.Controls, ControlsFileText()).Commit();
    TFileReplacement options(paths.Options, OptionsFileText());
    TFileReplacement highScores(paths.HighScores, HighScoreFileText());
    options.Commit();
    // The new options file names the new table, which from here on must outlive a failure.
    highScores.KeepTemporary();
    highScores.Commit();
    return std::string();
  } catch (const std::exception& e) {
    Note(e.what());
    return e.what();
  }
}

std::string SaveGameFiles() {
  const std::string folder = SaveFolder();
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  if (ec) return folder + ": " + ec.message();
  const std::string problem = SaveSaveFiles(SaveFilePathsIn(folder));
  Sys_FilesSaved();
  return problem;
}

std::string WriteToSaveFolder(const std::string& name, std::string_view content) {
  const std::string folder = SaveFolder();
  const std::string path = (std::filesystem::path(folder) / name).string();
  if (!writesAllowed) return {};
  try {
    if (const std::string done = EnsureSaveFolder(folder); !done.empty()) Note(done);
    if (const std::string refused = LockFolderForWriting(folder); !refused.empty()) {
      Note(refused);
      return refused;
    }
    WriteSaveFile(path, content);
    return std::string();
  } catch (const std::exception& e) {
    Note(e.what());
    return e.what();
  }
}
