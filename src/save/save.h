// The two save files: the options file (settings, boss key and the high-score digest) and the
// high-score file, and the high-score table's rules (digest, qualification, insertion, order).
//
// Both files are text with CR LF line ends, read once at start-up (high scores first) and written
// once at exit (options first). They work on the settings Options, BossKeyShift, BossKey and
// the table HighScores[1..11] declared here.
//
// Every file operation takes the file's path; it defaults to the game's own file in SaveFolder(),
// so tests and tools can point at any folder.
#pragma once

#include <cstdint>
#include <string>

#include <array>

#include "platform/platform.h"

// ---------------------------------------------------------------------------------------------
// The player's settings and the local high-score table
// ---------------------------------------------------------------------------------------------

struct TGameOptions {
  bool FullScreen = false;
  bool Music = true;
  bool Sound = true;
  std::string Country;
};

struct THighScore {
  std::string Name;
  int32_t Score = 0;
};

extern TGameOptions Options;
extern uint8_t BossKeyShift;
extern uint16_t BossKey;  // 0: none
extern std::array<THighScore, 12> HighScores;  // [1..11]; [0] unused; 11 holds a candidate

// Settings, boss key, table and stored digest back to their values at program start, before any
// file is read (music and sound on, everything else empty or none).
void ForgetSaveState();

// ---------------------------------------------------------------------------------------------
// Files
// ---------------------------------------------------------------------------------------------

// The game's save folder: the folder given to SetSaveFolder (--save-dir) when one is; else
// Data/Save in the data root when that is not the installed data folder and we may write there
// (a build tree, a portable copy); else UserSaveFolder().
std::string SaveFolder();
void SetSaveFolder(const std::string& folder);  // empty: the game's own choice
// $XDG_DATA_HOME/zubokranz, or ~/.local/share/zubokranz when XDG_DATA_HOME is unset or relative.
std::string UserSaveFolder();

std::string OptionsFilePath();    // "<SaveFolder()>/options"
std::string HighScoreFilePath();  // "<SaveFolder()>/hs"

struct TSaveFilePaths {
  std::string Options;
  std::string HighScores;
};
TSaveFilePaths GameSaveFilePaths();                        // the two paths above
TSaveFilePaths SaveFilePathsIn(const std::string& folder);  // "<folder>/options", "<folder>/hs"

// True when the name is not empty and the file opens for reading (a folder does not count).
bool SaveFileExists(const std::string& fileName);

// Loading. A missing file applies the defaults (ResetOptions / ResetHighScores). A number that is
// not a decimal integer throws EGameError "<path>: Invalid numeric input"; what was read before
// it stays. Missing lines read as 0 or empty.
void LoadHighScores(const std::string& path = HighScoreFilePath());
// Also sets StoredHighScoreDigest (empty when the file is missing). Settings the file gives out
// of range stay zero (boss key none).
void LoadOptions(const std::string& path = OptionsFilePath());

// Writing replaces the file only once the new content is completely on disk; on any failure the
// old file is left as it was and EGameError "<path>: ..." is thrown.
void SaveOptions(const std::string& path = OptionsFilePath());
void SaveHighScores(const std::string& path = HighScoreFilePath());

// Start-up: LoadHighScores, LoadOptions, the digest check (ResetHighScores on a mismatch).
// Never throws. A file that cannot be read is reported on standard error and kept aside as
// "<file>.bad" (or "<file>.bad.1" .. "<file>.bad.9" when that exists; an existing backup is
// never overwritten) before the exit writes over it; the game goes on with the default settings
// (options) or the default table (high scores, through the failed digest check). When the
// options file cannot be read the high-score file is kept aside as well, since its table is
// reset without a digest to check it against.
void LoadSaveFiles(const TSaveFilePaths& paths = GameSaveFilePaths());
// Exit: writes the options file, then the high-score file. Never throws; returns the failure
// ("<path>: <reason>"), or an empty text when both files were written. Both new files are
// completely on disk before either replaces its old one, and a failure before that leaves both
// old files, which still agree with each other.
std::string SaveSaveFiles(const TSaveFilePaths& paths);
// SaveSaveFiles into SaveFolder(), which is created first when it does not exist yet.
std::string SaveGameFiles();

// ---------------------------------------------------------------------------------------------
// Options
// ---------------------------------------------------------------------------------------------

constexpr const char* DefaultCountry = "_______";
constexpr uint8_t DefaultBossKeyShift = ssAlt;
constexpr uint16_t DefaultBossKey = VK_F1 + 8;  // F9

// Defaults for everything but StoredHighScoreDigest.
void ResetOptions();

// ---------------------------------------------------------------------------------------------
// High-score table: slots 1..10 are the table, slot 11 the candidate of the last insertion.
// ---------------------------------------------------------------------------------------------

constexpr int HighScoreTableSize = 10;
constexpr int HighScoreSlotCount = 11;
constexpr const char* DefaultHighScoreName = "ANONYMOUS";

// The digest line of the options file as read at start-up; compared by HighScoreDigestValid.
extern std::string StoredHighScoreDigest;

// Slot n (1..10) gets DefaultHighScoreName and 11000 - 1000 n. Slot 11 is not touched.
void ResetHighScores();

// One byte of the digest: ((a + b) mod 224) + 32, always 32..255.
constexpr uint8_t DigestStep(uint8_t a, uint8_t b) {
  return static_cast<uint8_t>((a + b) % 224 + 32);
}
// The digest of slots 1..10: every name and every score's decimal text folded with DigestStep
// onto one row of spaces, each starting at position 1. The row is as long as the longest name,
// or as the longest score text when that is longer.
std::string HighScoreDigest();
bool HighScoreDigestValid();  // HighScoreDigest() == StoredHighScoreDigest

// True when score beats (strictly) at least one of slots 1..10.
bool ScoreQualifies(int32_t score);
// Puts the entry into slot 11 and sorts; equal scores keep their order, so the new entry goes
// below the entries it ties with. Afterwards slot 11 holds the entry that fell out.
void InsertHighScore(const std::string& name, int32_t score);
// Stable bubble sort of slots 1..11 by descending score.
void SortHighScores();
void SwapHighScores(int a, int b);
