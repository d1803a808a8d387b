// The two save files: exact bytes, reading rules, damaged files, crash-safe writing, backups.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <csignal>
#include <cstdint>
#include <limits>
#include <optional>
#include <chrono>
#include <cerrno>
#include <vector>

#include <sys/resource.h>
#include <sys/stat.h>

#include "save/save_local.h"
#include "save_fixture.h"

using ::testing::HasSubstr;
using ::testing::IsEmpty;

namespace {

// A table and settings unlike the defaults, to tell "kept" from "reset".
std::array<THighScore, 12> PlayerTable() {
  const char* const names[] = {"ZUBO KRANZ", "  lead  ", "", "Rider 4", "X", "ANNA", "BO", "CY", "DEE", "EVE"};
  std::array<THighScore, 12> table{};
  for (int n = 1; n <= HighScoreTableSize; ++n) table[n] = THighScore{names[n - 1], 8888 - 888 * n};
  table[10].Score = -77;
  return table;
}

void SetPlayerState() {
  HighScores = PlayerTable();
  Options = TGameOptions{true, false, true, "Czech Republic"};
  BossKeyShift = ssCtrl;
  BossKey = VK_F1 + 9;  // F10
}

bool TableIsDefault() {
  for (int n = 1; n <= HighScoreTableSize; ++n)
    if (HighScores[n].Name != DefaultHighScoreName || HighScores[n].Score != 11000 - 1000 * n) return false;
  return true;
}

bool TableIsPlayers() {
  const auto table = PlayerTable();
  return std::equal(table.begin() + 1, table.begin() + 1 + HighScoreTableSize, HighScores.begin() + 1,
                    [](const THighScore& a, const THighScore& b) { return a.Name == b.Name && a.Score == b.Score; });
}

bool OptionsAreDefault() {
  return !Options.FullScreen && Options.Music && Options.Sound && Options.Country == "_______" &&
         BossKeyShift == ssAlt && BossKey == VK_F1 + 8;
}

bool OptionsArePlayers() {
  return Options.FullScreen && !Options.Music && Options.Sound && Options.Country == "Czech Republic" &&
         BossKeyShift == ssCtrl && BossKey == VK_F1 + 9;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Exact files
// ---------------------------------------------------------------------------------------------

TEST_F(SaveFolderTest, FirstRunUsesDefaultsAndWritesTheDefaultFiles) {
  LoadSaveFiles(paths_);
  EXPECT_TRUE(TableIsDefault());
  EXPECT_TRUE(OptionsAreDefault());

  SaveSaveFiles(paths_);
  EXPECT_EQ(ReadBytes(paths_.Options), DefaultOptionsFile);
  EXPECT_EQ(ReadBytes(paths_.HighScores), DefaultHighScoreFile);
}

TEST_F(SaveFolderTest, PlayerStateSurvivesSavingAndLoading) {
  SetPlayerState();
  SaveSaveFiles(paths_);
  const std::string settingLines = "1\r\n0\r\n1\r\nCzech Republic\r\n2\r\n10\r\n";
  EXPECT_EQ(ReadBytes(paths_.Options).substr(0, settingLines.size()), settingLines);
  EXPECT_THAT(ReadBytes(paths_.HighScores), HasSubstr("\r\n  lead  \r\n7112\r\n\r\n6224\r\n"));
  EXPECT_THAT(ReadBytes(paths_.HighScores), HasSubstr("\r\nEVE\r\n-77\r\n"));

  HighScores.fill(THighScore{});
  Options = TGameOptions{};
  LoadSaveFiles(paths_);
  EXPECT_TRUE(TableIsPlayers());
  EXPECT_TRUE(OptionsArePlayers());
}

TEST_F(SaveFolderTest, BossKeyModifierIsWrittenAltFirstThenCtrlThenShift) {
  struct Case { uint8_t shift; uint16_t key; const char* lines56; };
  const Case cases[] = {
      {ssAlt | ssCtrl | ssShift, VK_F1, "1\r\n1\r\n"}, {ssCtrl | ssShift, VK_F12, "2\r\n12\r\n"},
      {ssShift, VK_F1 + 10, "3\r\n11\r\n"},           {0, 0, "0\r\n0\r\n"},
      {0, VK_ESCAPE, "0\r\n0\r\n"},
  };
  ResetHighScores();
  for (const Case& c : cases) {
    ResetOptions();
    BossKeyShift = c.shift;
    BossKey = c.key;
    SaveOptions(paths_.Options);
    const std::string lines56 = c.lines56;
    EXPECT_EQ(ReadBytes(paths_.Options).substr(std::string("0\r\n1\r\n1\r\n_______\r\n").size(), lines56.size()), lines56)
        << int(c.shift) << " " << c.key;
  }
}

// ---------------------------------------------------------------------------------------------
// Reading rules
// ---------------------------------------------------------------------------------------------

TEST_F(SaveFolderTest, ScoreTokensFollowTheReadingRules) {
  struct Case { const char* afterName; std::optional<int32_t> score; };
  const Case cases[] = {
      {"500\r\n", 500},
      {"500\n", 500},
      {"500", 500},
      {" \t 500   and the rest\r\n", 500},
      {"\r\n\r\n500\r\n", 500},  // line ends before the token are skipped
      {"+500\r\n", 500},
      {"-500\r\n", -500},
      {"007\r\n", 7},
      {"2147483647\r\n", std::numeric_limits<int32_t>::max()},
      {"-2147483648\r\n", std::numeric_limits<int32_t>::min()},
      {"", 0},  // the file ends: missing scores read as 0
      {"5x\r\n", std::nullopt},
      {"x5\r\n", std::nullopt},
      {"-\r\n", std::nullopt},
      {"+-5\r\n", std::nullopt},
      {"1e3\r\n", std::nullopt},
      {"$1F\r\n", std::nullopt},
      {"2147483648\r\n", std::nullopt},
      {"five hundred\r\n", std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.afterName);
    WriteBytes(paths_.HighScores, std::string("NAME\r\n") + c.afterName);
    if (c.score) {
      LoadHighScores(paths_.HighScores);
      EXPECT_EQ(HighScores[1].Score, *c.score);
    } else {
      EXPECT_THROW(LoadHighScores(paths_.HighScores), EGameError);
    }
  }
}

TEST_F(SaveFolderTest, NamesAreWholeLinesEndingAtLfOrCrLf) {
  WriteBytes(paths_.HighScores, "  two  spaces \r\n1\r\nlf only\n2\nlone\rcr\r\n3\r\n\r\n4\r\n");
  LoadHighScores(paths_.HighScores);
  EXPECT_EQ(HighScores[1].Name, "  two  spaces ");
  EXPECT_EQ(HighScores[2].Name, "lf only");
  EXPECT_EQ(HighScores[3].Name, "lone\rcr");
  EXPECT_EQ(HighScores[4].Name, "");
  EXPECT_EQ(HighScores[4].Score, 4);
  // Short file: the rest reads as empty names and 0.
  EXPECT_EQ(HighScores[5].Name, "");
  EXPECT_EQ(HighScores[10].Score, 0);
}

TEST_F(SaveFolderTest, MalformedScoreStopsLoadingWithThePathInTheMessage) {
  HighScores[3] = THighScore{"untouched", 3};
  WriteBytes(paths_.HighScores, "FIRST\r\n100\r\nSECOND\r\n1OO\r\nTHIRD\r\n50\r\n");
  try {
    LoadHighScores(paths_.HighScores);
    FAIL() << "no error";
  } catch (const EGameError& e) {
    EXPECT_EQ(std::string(e.what()), paths_.HighScores + ": Invalid numeric input");
  }
  EXPECT_EQ(HighScores[1].Name, "FIRST");
  EXPECT_EQ(HighScores[1].Score, 100);
  EXPECT_EQ(HighScores[2].Name, "SECOND");
  EXPECT_EQ(HighScores[3].Name, "untouched");
}

TEST_F(SaveFolderTest, OptionsFileEdgeValues) {
  struct Case {
    const char* file;
    bool fullScreen, music, sound;
    const char* country;
    uint8_t shift;
    uint16_t key;
    const char* digest;
    const char* writtenBack;  // lines 1 to 6
  };
  const Case cases[] = {
      {"5\r\n-1\r\n0\r\n\r\n3\r\n10\r\nDIGEST\r\n", true, true, false, "", ssShift, VK_F1 + 9, "DIGEST",
       "1\r\n1\r\n0\r\n\r\n3\r\n10\r\n"},
      {"0\r\n1\r\n1\r\n  spaced  out \r\n7\r\n13\r\n   \r\n", false, true, true, "  spaced  out ", 0, 0, "   ",
       "0\r\n1\r\n1\r\n  spaced  out \r\n0\r\n0\r\n"},
      {"1\n1\n1\nLF\n2\n1\nD\n", true, true, true, "LF", ssCtrl, VK_F1, "D", "1\r\n1\r\n1\r\nLF\r\n2\r\n1\r\n"},
      {"1\r\n0\r\n", true, false, false, "", 0, 0, "", "1\r\n0\r\n0\r\n\r\n0\r\n0\r\n"},
      {"", false, false, false, "", 0, 0, "", "0\r\n0\r\n0\r\n\r\n0\r\n0\r\n"},
  };
  ResetHighScores();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    WriteBytes(paths_.Options, c.file);
    LoadOptions(paths_.Options);
    EXPECT_EQ(Options.FullScreen, c.fullScreen);
    EXPECT_EQ(Options.Music, c.music);
    EXPECT_EQ(Options.Sound, c.sound);
    EXPECT_EQ(Options.Country, c.country);
    EXPECT_EQ(BossKeyShift, c.shift);
    EXPECT_EQ(BossKey, c.key);
    EXPECT_EQ(StoredHighScoreDigest, c.digest);
    SaveOptions(paths_.Options);
    EXPECT_EQ(ReadBytes(paths_.Options), c.writtenBack + DefaultHighScoreDigestBytes + "\r\n");
  }
}

TEST_F(SaveFolderTest, MissingOptionsFileGivesDefaultsAndAnEmptyDigest) {
  StoredHighScoreDigest = "left over";
  LoadOptions(paths_.Options);
  EXPECT_TRUE(OptionsAreDefault());
  EXPECT_THAT(StoredHighScoreDigest, IsEmpty());
}

TEST_F(SaveFolderTest, SaveFileExistsOnlyForRegularFiles) {
  WriteBytes(PathOf("file"), "");
  std::filesystem::create_directory(folder_ / "folder");
  ASSERT_EQ(mkfifo(PathOf("fifo").c_str(), 0600), 0);
  EXPECT_TRUE(SaveFileExists(PathOf("file")));
  EXPECT_FALSE(SaveFileExists(PathOf("missing")));
  EXPECT_FALSE(SaveFileExists(PathOf("folder")));
  EXPECT_FALSE(SaveFileExists(PathOf("fifo")));  // and does not wait for a writer
  EXPECT_FALSE(SaveFileExists(""));
}

TEST_F(SaveFolderTest, LinesOfUpTo1KiBAreReadAndLongerOnesRefusedAfterReadingLittle) {
  size_t reads = 0;
  SetSaveStepHook([&reads](TSaveStep step, const std::string&) {
    reads += step == TSaveStep::Read;
    return 0;
  });
  const std::string longest(MaxSaveLineLength, 'N');
  WriteBytes(paths_.HighScores, longest + "\r\n1\r\n" + longest + "\n2\n");
  LoadHighScores(paths_.HighScores);
  EXPECT_EQ(HighScores[1].Name, longest);
  EXPECT_EQ(HighScores[2].Name, longest);
  EXPECT_EQ(HighScores[2].Score, 2);

  const std::string huge(8 << 20, '7');
  struct Case { std::string file; const char* error; };
  const Case cases[] = {
      {longest + "N\r\n1\r\n", "Invalid line"},
      {"NAME\r\n" + huge + "\r\n", "Invalid numeric input"},
      {"NAME\r\n1" + std::string(MaxSaveLineLength, ' ') + "\r\n", "Invalid numeric input"},
      {huge, "Invalid line"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file.substr(0, 40));
    WriteBytes(paths_.HighScores, c.file);
    reads = 0;
    try {
      LoadHighScores(paths_.HighScores);
      ADD_FAILURE() << "no error";
    } catch (const EGameError& e) {
      EXPECT_EQ(std::string(e.what()), paths_.HighScores + ": " + c.error);
    }
    EXPECT_LE(reads, 2u) << "read beyond the first long line";
  }
  SetSaveStepHook(nullptr);
}

// ---------------------------------------------------------------------------------------------
// Start-up with damaged files
// ---------------------------------------------------------------------------------------------

struct DamageCase {
  const char* what;
  const char* file;  // "options" or "hs"
  const char* from;  // replaced in the file; empty: the file is deleted
  std::optional<std::string> to;  // nothing: the file is cut off before `from`
  bool tableKept, optionsKept;
  std::vector<std::string> backups;  // of the files written from the player's state
  const char* reported;              // on standard error; empty: nothing
};

void PrintTo(const DamageCase& c, std::ostream* os) { *os << c.what; }

class DamagedSaveFilesTest : public SaveFolderTest, public ::testing::WithParamInterface<DamageCase> {};

TEST_P(DamagedSaveFilesTest, StartUpCopes) {
  const DamageCase& c = GetParam();
  SetPlayerState();
  SaveSaveFiles(paths_);
  const std::string originalOptions = ReadBytes(paths_.Options), originalTable = ReadBytes(paths_.HighScores);
  const std::string damaged = PathOf(c.file);
  if (*c.from == '\0') {
    std::filesystem::remove(damaged);
  } else if (!c.to) {
    const std::string bytes = ReadBytes(damaged);
    WriteBytes(damaged, bytes.substr(0, bytes.find(c.from)));
  } else {
    EditFile(damaged, c.from, *c.to);
  }
  const std::string damagedBytes = ReadBytes(damaged);
  HighScores.fill(THighScore{});
  Options = TGameOptions{false, false, false, ""};

  testing::internal::CaptureStderr();
  LoadSaveFiles(paths_);
  const std::string reported = testing::internal::GetCapturedStderr();

  EXPECT_EQ(TableIsPlayers(), c.tableKept);
  EXPECT_EQ(c.tableKept || TableIsDefault(), true);
  EXPECT_EQ(OptionsArePlayers(), c.optionsKept);
  EXPECT_EQ(c.optionsKept || OptionsAreDefault(), true);
  if (*c.reported == '\0') {
    EXPECT_THAT(reported, IsEmpty());
  } else {
    EXPECT_THAT(reported, HasSubstr(c.reported));
  }
  for (const std::string& backup : c.backups) {
    ASSERT_TRUE(Exists(backup)) << backup;
    EXPECT_THAT(reported, HasSubstr(backup));
  }
  // A backup holds the file as it was found.
  const std::pair<const char*, std::string> found[] = {
      {"options", std::string(c.file) == "options" ? damagedBytes : originalOptions},
      {"hs", std::string(c.file) == "hs" ? damagedBytes : originalTable}};
  for (const auto& [file, bytes] : found) {
    const std::string backup = std::string(file) + ".bad";
    if (std::find(c.backups.begin(), c.backups.end(), backup) == c.backups.end()) {
      EXPECT_FALSE(Exists(backup));
    } else {
      EXPECT_EQ(ReadBytes(PathOf(backup)), bytes);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    SaveFiles, DamagedSaveFilesTest,
    ::testing::Values(
        DamageCase{"intact", "hs", "ZUBO", "ZUBO", true, true, {}, ""},
        DamageCase{"no options file", "options", "", "", false, false, {"hs.bad"}, "does not match its check"},
        DamageCase{"no high-score file", "hs", "", "", false, true, {}, ""},
        DamageCase{"a name edited", "hs", "ANNA", "ANNE", false, true, {"hs.bad"}, "does not match its check"},
        DamageCase{"a score digit edited", "hs", "6224", "6225", false, true, {"hs.bad"}, "does not match its check"},
        DamageCase{"digest edited", "options", "10\r\n", "10\r\n!", false, true, {"hs.bad"}, "does not match"},
        DamageCase{"digest line empty", "options", "10\r\n", "10\r\n\r\n", false, true, {"hs.bad"}, "does not match"},
        DamageCase{"high-score file cut short", "hs", "ANNA", std::nullopt, false, true, {"hs.bad"}, "does not match"},
        DamageCase{"malformed score", "hs", "6224", "62z4", false, true, {"hs.bad"}, "Invalid numeric input"},
        DamageCase{"name over 1 KiB", "hs", "ANNA", std::string(2000, 'A'), false, true, {"hs.bad"},
                   "hs: Invalid line"},
        DamageCase{"score line over 1 KiB", "hs", "6224", "6224" + std::string(2000, ' ') + "!", false, true,
                   {"hs.bad"}, "hs: Invalid numeric input"},
        DamageCase{"country over 1 KiB", "options", "Czech", std::string(5000, 'C'), false, false,
                   {"options.bad", "hs.bad"}, "options: Invalid line"},
        DamageCase{"malformed option", "options", "1\r\n0\r\n1\r\n", "1\r\nno\r\n1\r\n", false, false,
                   {"options.bad", "hs.bad"}, "Invalid numeric input"}),
    [](const ::testing::TestParamInfo<DamageCase>& info) {
      std::string name;
      for (const char* p = info.param.what; *p; ++p) name += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
      return name;
    });

TEST_F(SaveFolderTest, UnreadableFileIsWrittenOverOnlyAfterItWasKeptAside) {
  ResetHighScores();
  WriteBytes(paths_.HighScores, "NAME\r\nbroken\r\n");
  WriteBytes(PathOf("hs.bad"), "an older backup");
  testing::internal::CaptureStderr();
  LoadSaveFiles(paths_);
  const std::string reported = testing::internal::GetCapturedStderr();
  SaveSaveFiles(paths_);

  EXPECT_EQ(ReadBytes(PathOf("hs.bad")), "an older backup");
  EXPECT_EQ(ReadBytes(PathOf("hs.bad.1")), "NAME\r\nbroken\r\n");
  EXPECT_THAT(reported, HasSubstr(PathOf("hs.bad.1")));
  EXPECT_EQ(ReadBytes(paths_.HighScores), DefaultHighScoreFile);
}

TEST_F(SaveFolderTest, WhenEveryBackupNameIsTakenTheOldestBackupIsReplaced) {
  const auto now = std::filesystem::file_time_type::clock::now();
  for (int i = 0; i < 10; ++i) {
    const std::string name = i == 0 ? "hs.bad" : "hs.bad." + std::to_string(i);
    WriteBytes(PathOf(name), "backup " + std::to_string(i));
    // hs.bad.4 is the oldest.
    std::filesystem::last_write_time(PathOf(name), now - std::chrono::hours(i == 4 ? 100 : 10 + i));
  }
  WriteBytes(paths_.HighScores, "NAME\r\nbroken\r\n");
  testing::internal::CaptureStderr();
  LoadSaveFiles(paths_);
  EXPECT_THAT(testing::internal::GetCapturedStderr(), HasSubstr(PathOf("hs.bad.4")));
  SaveSaveFiles(paths_);
  EXPECT_EQ(ReadBytes(PathOf("hs.bad.4")), "NAME\r\nbroken\r\n");
  EXPECT_EQ(ReadBytes(PathOf("hs.bad.3")), "backup 3");
  EXPECT_EQ(ReadBytes(paths_.HighScores), DefaultHighScoreFile);
}

// A save file that exists but cannot be read is never taken for a missing one: the player is
// told why, and the file is kept aside or, when it cannot even be copied, left alone at exit.
TEST_F(SaveFolderTest, UnreadableSaveFilesAreReportedAndNeverLost) {
  struct Case {
    const char* what;
    const char* file;
    const char* kind;  // "folder", "fifo", "device"; empty: the saved file stays
    int error;         // with which the seam fails the file's `step`...
    TSaveStep step;
    bool everyTime;    // ...once, or every time
    const char* reported;
    bool keptAside;
  };
  const Case cases[] = {
      {"hs is a folder", "hs", "folder", 0, TSaveStep::Open, false, "hs: is a folder, not a file", false},
      {"hs is a FIFO", "hs", "fifo", 0, TSaveStep::Open, false, "hs: is a FIFO, not a regular file", false},
      {"hs is a device", "hs", "device", 0, TSaveStep::Open, false, "hs: is a device, not a regular file", false},
      {"options is a FIFO", "options", "fifo", 0, TSaveStep::Open, false, "options: is a FIFO", false},
      {"hs never opens", "hs", "", EACCES, TSaveStep::Open, true, "hs: Permission denied", false},
      {"options never opens", "options", "", EACCES, TSaveStep::Open, true, "options: Permission denied", false},
      {"hs opens on the second try", "hs", "", EACCES, TSaveStep::Open, false, "hs: Permission denied", true},
      {"options read fails once", "options", "", EIO, TSaveStep::Read, false, "options: Input/output error", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    for (const auto& entry : std::filesystem::directory_iterator(folder_)) std::filesystem::remove_all(entry.path());
    SetPlayerState();
    SaveOptions(paths_.Options);
    SaveHighScores(paths_.HighScores);
    const std::string damaged = PathOf(c.file), other = PathOf(std::string(c.file) == "hs" ? "options" : "hs");
    const std::string original = ReadBytes(damaged), otherOriginal = ReadBytes(other);
    const std::string kind = c.kind;
    if (!kind.empty()) std::filesystem::remove(damaged);
    if (kind == "folder") std::filesystem::create_directory(damaged);
    if (kind == "fifo") {
      ASSERT_EQ(mkfifo(damaged.c_str(), 0600), 0);
    }
    if (kind == "device") std::filesystem::create_symlink("/dev/zero", damaged);
    bool failed = false;
    SetSaveStepHook([&](TSaveStep step, const std::string& path) {
      if (c.error == 0 || step != c.step || path != damaged || (failed && !c.everyTime)) return 0;
      failed = true;
      return c.error;
    });

    testing::internal::CaptureStderr();
    const std::string notice = LoadSaveFiles(paths_);
    const std::string reported = testing::internal::GetCapturedStderr();
    EXPECT_THAT(notice, HasSubstr(damaged + ": " + std::string(c.reported).substr(std::string(c.file).size() + 2)));
    EXPECT_THAT(reported, HasSubstr(notice));
    EXPECT_TRUE(TableIsDefault());
    testing::internal::CaptureStderr();
    SaveSaveFiles(paths_);
    testing::internal::GetCapturedStderr();
    SetSaveStepHook(nullptr);

    if (c.keptAside) {
      EXPECT_EQ(ReadBytes(damaged + ".bad"), original);
      EXPECT_EQ(ReadBytes(paths_.HighScores), DefaultHighScoreFile);
    } else {
      EXPECT_FALSE(Exists(std::string(c.file) + ".bad"));
      EXPECT_EQ(ReadBytes(other), otherOriginal) << "the pair is left as it was";
      if (kind.empty()) {
        EXPECT_EQ(ReadBytes(damaged), original);
      }
      if (kind == "folder") {
        EXPECT_TRUE(std::filesystem::is_directory(damaged));
      }
      if (kind == "fifo") {
        EXPECT_TRUE(std::filesystem::is_fifo(damaged));
      }
      if (kind == "device") {
        EXPECT_TRUE(std::filesystem::is_symlink(damaged));
      }
    }
  }
}

// ---------------------------------------------------------------------------------------------
// Writing
// ---------------------------------------------------------------------------------------------

namespace {

// Files this process writes may not grow beyond `bytes` while it lives; a write past it fails
// part-way (EFBIG) instead of raising SIGXFSZ. Standard error may be a file: nothing is captured
// from it meanwhile.
class FileSizeLimit {
public:
  explicit FileSizeLimit(rlim_t bytes) {
    getrlimit(RLIMIT_FSIZE, &saved_);
    previousHandler_ = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limited = saved_;
    limited.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &limited);
  }
  ~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &saved_);
    std::signal(SIGXFSZ, previousHandler_);
  }

private:
  rlimit saved_{};
  void (*previousHandler_)(int) = SIG_DFL;
};

}  // namespace

TEST_F(SaveFolderTest, WriteFailingPartWayLeavesTheOldFiles) {
  SetPlayerState();
  SaveSaveFiles(paths_);
  const std::string oldOptions = ReadBytes(paths_.Options), oldTable = ReadBytes(paths_.HighScores);
  ResetHighScores();
  ResetOptions();

  {
    const FileSizeLimit limit(10);
    EXPECT_THROW(SaveHighScores(paths_.HighScores), EGameError);
    EXPECT_THROW(SaveOptions(paths_.Options), EGameError);
    EXPECT_NO_THROW(SaveSaveFiles(paths_));
  }
  EXPECT_EQ(ReadBytes(paths_.HighScores), oldTable);
  EXPECT_EQ(ReadBytes(paths_.Options), oldOptions);
  for (const auto& entry : std::filesystem::directory_iterator(folder_))
    EXPECT_TRUE(entry.path().filename() == "options" || entry.path().filename() == "hs") << entry.path();
}

TEST_F(SaveFolderTest, OptionsAndTableAreReplacedTogether) {
  // The options file fits under the limit, the table does not: neither may be replaced, or the
  // new digest would reset the old table at the next start.
  SetPlayerState();
  SaveSaveFiles(paths_);
  const std::string oldOptions = ReadBytes(paths_.Options), oldTable = ReadBytes(paths_.HighScores);
  ResetHighScores();
  ResetOptions();
  {
    const FileSizeLimit limit(DefaultOptionsFile.size());
    EXPECT_NO_THROW(SaveSaveFiles(paths_));
  }
  EXPECT_EQ(ReadBytes(paths_.Options), oldOptions);
  EXPECT_EQ(ReadBytes(paths_.HighScores), oldTable);
}

TEST_F(SaveFolderTest, AFileAloneNeedsItsFolderButTheExitMakesIt) {
  const TSaveFilePaths nowhere = SaveFilePathsIn(PathOf("no such folder"));
  ResetHighScores();
  ResetOptions();
  try {
    SaveHighScores(nowhere.HighScores);
    FAIL() << "no error";
  } catch (const EGameError& e) {
    EXPECT_THAT(e.what(), ::testing::StartsWith(nowhere.HighScores + ".tmp: "));
  }
  testing::internal::CaptureStderr();
  SaveSaveFiles(nowhere);
  EXPECT_THAT(testing::internal::GetCapturedStderr(), HasSubstr("folder created"));
  EXPECT_EQ(ReadBytes(nowhere.HighScores), DefaultHighScoreFile);

  // A file where the folder belongs is kept aside.
  const TSaveFilePaths blocked = SaveFilePathsIn(PathOf("Save"));
  WriteBytes(PathOf("Save"), "not a folder");
  testing::internal::CaptureStderr();
  SaveSaveFiles(blocked);
  EXPECT_THAT(testing::internal::GetCapturedStderr(), HasSubstr(PathOf("Save.bad")));
  EXPECT_EQ(ReadBytes(PathOf("Save.bad")), "not a folder");
  EXPECT_EQ(ReadBytes(blocked.Options), DefaultOptionsFile);
}

// A stale file by the temporary name is replaced (see save_guard_test); a folder cannot be.
TEST_F(SaveFolderTest, AFolderByTheTemporaryNameIsNamedAndTheOldPairKept) {
  SetPlayerState();
  SaveSaveFiles(paths_);
  const std::string oldOptions = ReadBytes(paths_.Options), oldTable = ReadBytes(paths_.HighScores);
  const std::string temp = paths_.HighScores + ".tmp";
  std::filesystem::create_directory(temp);
  ResetHighScores();
  testing::internal::CaptureStderr();
  SaveSaveFiles(paths_);
  EXPECT_THAT(testing::internal::GetCapturedStderr(), HasSubstr(temp + ": is a folder"));
  EXPECT_EQ(ReadBytes(paths_.Options), oldOptions);
  EXPECT_EQ(ReadBytes(paths_.HighScores), oldTable);
}

TEST_F(SaveFolderTest, SavingReplacesAnExistingFileCompletely) {
  WriteBytes(paths_.HighScores, std::string(4096, 'x'));
  ResetHighScores();
  SaveHighScores(paths_.HighScores);
  EXPECT_EQ(ReadBytes(paths_.HighScores), DefaultHighScoreFile);
}
