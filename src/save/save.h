// The save files: the options file (settings, boss key and the high-score digest), the
// high-score file and the controls file (the player's race keys and pad buttons), and the
// high-score table's rules (digest, qualification, insertion, order).
//
// Both files are text with CR LF line ends, read once at start-up (high scores first) and written
// once at exit (options first). They work on the settings Options, BossKeyShift, BossKey and
// the table HighScores[1..11] declared here. These, the digest read at start-up and the race
// controls are one object (save_state.cpp) that every run of the game starts afresh.
//
// Every file operation takes the file's path; it defaults to the game's own file in SaveFolder(),
// so tests and tools can point at any folder.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

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

extern TGameOptions& Options;
extern uint8_t& BossKeyShift;
extern uint16_t& BossKey;  // 0: none
extern std::array<THighScore, 12>& HighScores;  // [1..11]; [0] unused; 11 holds a candidate

// Settings, boss key, table, stored digest and controls back to their values at program start,
// before any file is read (music and sound on, default controls, everything else empty or none),
// and the save files' bookkeeping too (ForgetSaveFiles). Every run of the game does this when it
// starts and when it stops.
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

std::string ControlsFilePath();   // "<SaveFolder()>/controls"

struct TSaveFilePaths {
  std::string Options;
  std::string HighScores;
  std::string Controls;
};
TSaveFilePaths GameSaveFilePaths();                        // the three paths above
// "<folder>/options", "<folder>/hs", "<folder>/controls"
TSaveFilePaths SaveFilePathsIn(const std::string& folder);

// True when the name is not empty and names a regular file that opens for reading. Never blocks
// (a FIFO or a device does not count, nor does a folder).
bool SaveFileExists(const std::string& fileName);

// Loading. Only a file that does not exist is missing, and applies the defaults (ResetOptions /
// ResetHighScores). Any other failure to open or read it (no permission, an I/O error, not a
// regular file) throws EGameError "<path>: <reason>", as does a number that is not a decimal
// integer ("<path>: Invalid numeric input") or a line longer than 1 KiB ("<path>: Invalid line",
// or "Invalid numeric input" on a number's line); what was read before stays. Missing lines
// read as 0 or empty. Memory use does not depend on the file's size.
void LoadHighScores(const std::string& path = HighScoreFilePath());
// Also sets StoredHighScoreDigest (empty when the file is missing). Settings the file gives out
// of range stay zero (boss key none).
void LoadOptions(const std::string& path = OptionsFilePath());

// Writing replaces the file only once the new content is completely on disk; on any failure the
// old file is left as it was and EGameError "<file involved>: ..." is thrown.
void SaveOptions(const std::string& path = OptionsFilePath());
void SaveHighScores(const std::string& path = HighScoreFilePath());

// Start-up: takes the save folder's lock (when the folder exists), then LoadHighScores,
// LoadOptions, the digest check, LoadControls (a controls file that cannot be read is kept aside
// as below and the default controls used; it has no partner to agree with). Never throws; returns what the player should be told (empty
// when all is well), which has also gone to standard error.
// - While another game holds the folder's lock, the files are read but this game saves nothing
//   (the player is told so); the files stay the other game's.
// - A file that cannot be read is reported and kept aside as "<file>.bad" (or "<file>.bad.1" ..
//   "<file>.bad.9"; when all ten are taken the oldest is replaced) before the exit writes over
//   it; the game goes on with the default settings or table. A file that cannot even be copied
//   is left as it was, and the exit then writes neither file.
// - When the table does not match the digest in the options file, an exit cut short between its
//   two renames is finished (the waiting "<file>.tmp" makes the pair agree) and that pair
//   loaded; otherwise the table file is kept aside as above and the default table is used.
std::string LoadSaveFiles(const TSaveFilePaths& paths = GameSaveFilePaths());
// Exit: writes the controls file, then the options file, then the high-score file, creating their folder when missing
// and taking its lock (a folder another game holds is not written: that is the failure returned).
// Never throws; returns the failure ("<path>: <reason>", also on standard error), or an empty
// text when both files were written. Both new files are completely on disk
// before either replaces its old one, so however the exit is cut short, the next start finds
// the old pair or the new one.
std::string SaveSaveFiles(const TSaveFilePaths& paths = GameSaveFilePaths());
// Whether this run may write or move its save files at all (true at program start, and again
// after ForgetSaveState). A replay being played turns it off: nothing it does reaches the files,
// and a file that cannot be read is left in its place.
void SetSaveWritesAllowed(bool allowed);
// SaveSaveFiles into SaveFolder(), which is created first when it does not exist yet.
std::string SaveGameFiles();
// Another file of the game's (a replay) written into SaveFolder() as "<SaveFolder()>/<name>", as
// crash-safe as the two save files: the old file stays until the new one is completely on disk.
// The folder is created when missing. Never throws; returns the failure ("<path>: <reason>",
// also on standard error), or an empty text when the file was written.
std::string WriteToSaveFolder(const std::string& name, std::string_view content);

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
extern std::string& StoredHighScoreDigest;

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

// ---------------------------------------------------------------------------------------------
// Controls: the race's actions on the keyboard and on a game controller. The stick and the
// triggers steer, accelerate and brake besides the buttons here; Esc and the pad's Back ask
// "Exit to menu?", and the menus keep the arrows, Enter, the d-pad, A and B.
// ---------------------------------------------------------------------------------------------

enum TControlAction : int {
  caSteerLeft, caSteerRight, caAccelerate, caBrake, caHandbrake, caHorn, caPause,
  ControlActionCount
};

struct TControls {
  std::array<uint16_t, ControlActionCount> Keys{};       // virtual-key codes
  std::array<uint8_t, ControlActionCount> PadButtons{};  // TPadButton
  bool Rumble = true;                                    // short rumbles on hits and crashes
  friend bool operator==(const TControls&, const TControls&) = default;
};

constexpr TControls DefaultControls{
    {VK_LEFT, VK_RIGHT, VK_UP, VK_DOWN, VK_SPACE, 'H', 'P'},
    {pbDpadLeft, pbDpadRight, pbA, pbB, pbX, pbY, pbStart},
    true};

extern TControls& Controls;

// "STEER LEFT", "ACCELERATE", ... ("" outside the actions).
const char* ControlActionName(int action);
// The name the controls page shows for a key ("LEFT", "SPACE", "H"); "?" for no key.
std::string ControlKeyName(int vk);
// Keys an action may take: letters, digits, arrows, Space, Tab, Shift, Ctrl. Esc, Enter,
// Backspace, Alt and the function keys belong to the menus, Alt+Enter and the boss key.
bool BindableKey(int vk);
// Pad buttons an action may take: all but Back and Guide.
bool BindablePadButton(int button);
// The other action that already has this key (or pad button); -1 when none does.
int ActionWithKey(const TControls& controls, int vk, int except);
int ActionWithPadButton(const TControls& controls, int button, int except);

// Controls = DefaultControls.
void ResetControls();
// A missing file gives the defaults. A file that does not read as a whole (a line it does not
// know, an action missing or given twice, a key or button no action may take, one key or button
// for two actions) throws EGameError "<path>: line N: <problem>", and Controls stay as they were.
void LoadControls(const std::string& path = ControlsFilePath());
void SaveControls(const std::string& path = ControlsFilePath());
std::string ControlsFileText();
