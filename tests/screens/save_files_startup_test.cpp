// The save files through the real start-up and exit: a damaged file on the way in, both files
// written by "Exit the game?" Yes, and the options set on the screen surviving a restart.
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <ostream>
#include <string>

#include <gmock/gmock.h>

#include "save/save.h"
#include "screen_test_util.h"

namespace {

namespace fs = std::filesystem;

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

void WriteFile(const std::string& path, const std::string& content) {
  std::ofstream(path, std::ios::binary) << content;
}

std::string DefaultHighScoreFile() {
  std::string text;
  for (int n = 1; n <= 10; ++n) text += "ANONYMOUS\r\n" + std::to_string(11000 - 1000 * n) + "\r\n";
  return text;
}

const std::string kDefaultOptionsFile =
    "0\r\n1\r\n1\r\n_______\r\n1\r\n9\r\n\x38\x8C\x96\x8C\xCA\xE2\xF6\x52\x3E\r\n";

// The game started, stopped and started again on one private copy of the game folder.
class GameOnOneFolder : public ::testing::Test {
protected:
  void SetUp() override {
    char pattern[] = "/tmp/zk-game-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
    fs::copy(fs::path(ZK_GAME_DIR) / "Data", fs::path(dir_) / "Data", fs::copy_options::recursive);
    fs::remove_all(fs::path(dir_) / "Data" / "Save");
    fs::create_directories(fs::path(dir_) / "Data" / "Save");
  }
  void TearDown() override {
    Stop();
    fs::remove_all(dir_);
  }

  void Start() {
    SysConfig config;
    config.Backend = SysBackend::Headless;
    config.HeadlessRefreshRate = 85;
    config.DataRoot = dir_;
    run_.Start(config, 1);
    drive = THeadlessDriver(85);
    for (int i = 0; i < 500 && Shell.MenuIntroActive; ++i) drive.Frame();
  }
  void Stop() { run_.Stop(); }

  void Tap(int vk, int shift = 0) {
    drive.Key(vk, shift);
    drive.Frame();
  }
  // "Exit the game?" from the main menu, answered Yes.
  void ExitThroughTheQuestion() {
    ASSERT_EQ(Shell.CurrentScreen, scrMainMenu);
    Tap(VK_ESCAPE);
    ASSERT_EQ(Shell.PopupKind, 1);
    Tap('Y');
    ASSERT_TRUE(run_.Form().Terminated);
  }

  std::string SavePath(const char* name) const { return dir_ + "/Data/Save/" + name; }

  THeadlessDriver drive;
  TGameRun run_;
  std::string dir_;
};

struct DamagedCase {
  const char* Name;
  const char* File;
  std::string Content;
};
void PrintTo(const DamagedCase& c, std::ostream* os) { *os << c.Name; }


const DamagedCase kDamagedCases[] = {
    {"ScoreNotANumber", "hs", "ANONYMOUS\r\n10x00\r\nANONYMOUS\r\n9000\r\n"},
    {"OptionsLineNotANumber", "options", "zero\r\n1\r\n1\r\n_______\r\n1\r\n9\r\n"},
};

class DamagedSaveFile : public GameOnOneFolder, public ::testing::WithParamInterface<DamagedCase> {};

TEST_P(DamagedSaveFile, TitleScreenStillShowsAndTheFileIsKeptAside) {
  const DamagedCase& c = GetParam();
  WriteFile(SavePath(c.File), c.Content);
  Start();
  EXPECT_EQ(Shell.CurrentScreen, scrMainMenu);
  EXPECT_EQ(Shell.HoverItem, 1);
  EXPECT_EQ(HighScores[1].Name, "ANONYMOUS");
  EXPECT_EQ(HighScores[1].Score, 10000);
  EXPECT_EQ(BossKeyText(), "ALT+F9");
  const std::string backup = SavePath(c.File) + ".bad";
  EXPECT_EQ(ReadFile(backup), c.Content);

  ExitThroughTheQuestion();
  EXPECT_EQ(ReadFile(SavePath("options")), kDefaultOptionsFile);
  EXPECT_EQ(ReadFile(SavePath("hs")), DefaultHighScoreFile());
  EXPECT_EQ(ReadFile(backup), c.Content) << "the backup outlives the exit";
}

INSTANTIATE_TEST_SUITE_P(Files, DamagedSaveFile, ::testing::ValuesIn(kDamagedCases),
                         [](const ::testing::TestParamInfo<DamagedCase>& info) { return info.param.Name; });

TEST_F(GameOnOneFolder, AnUnreadableSaveFileIsShownInABoxAndLeftAloneAtExit) {
  WriteFile(SavePath("options"), kDefaultOptionsFile);
  fs::create_directory(SavePath("hs"));
  testing::internal::CaptureStderr();
  Start();
  const std::string reported = testing::internal::GetCapturedStderr();
  EXPECT_EQ(Shell.CurrentScreen, scrMainMenu);
  ASSERT_EQ(Sys_HeadlessShownErrors().size(), 1u);
  EXPECT_THAT(Sys_HeadlessShownErrors()[0], ::testing::HasSubstr(SavePath("hs") + ": is a folder"));
  EXPECT_THAT(reported, ::testing::HasSubstr(SavePath("hs") + ": is a folder"));

  ExitThroughTheQuestion();
  EXPECT_TRUE(fs::is_directory(SavePath("hs")));
  EXPECT_EQ(ReadFile(SavePath("options")), kDefaultOptionsFile);
}

TEST_F(GameOnOneFolder, ExitYesWritesBothFilesAndNoWritesNothing) {
  Start();
  Tap(VK_ESCAPE);
  ASSERT_EQ(Shell.PopupKind, 1);
  Tap('N');
  EXPECT_EQ(Shell.PopupKind, 0);
  EXPECT_FALSE(run_.Form().Terminated);
  EXPECT_FALSE(fs::exists(SavePath("options")));
  EXPECT_FALSE(fs::exists(SavePath("hs")));

  ExitThroughTheQuestion();
  EXPECT_EQ(ReadFile(SavePath("options")), kDefaultOptionsFile);
  EXPECT_EQ(ReadFile(SavePath("hs")), DefaultHighScoreFile());
}

TEST_F(GameOnOneFolder, OptionsSetOnTheScreenAndANewEntrySurviveARestart) {
  Start();
  ASSERT_NE(CurrentSong, 0);
  Tap(VK_DOWN);
  Tap(VK_DOWN);
  Tap(VK_RETURN);
  ASSERT_EQ(Shell.CurrentScreen, scrOptions);
  // Up from the back button: boss key, country, music, display.
  Tap(VK_UP);
  Tap(VK_RETURN);  // boss key capture
  drive.Press(VK_CONTROL, ssCtrl);
  drive.Press(VK_F1 + 9, ssCtrl);
  drive.Release(VK_F1 + 9, ssCtrl);
  drive.Release(VK_CONTROL, 0);
  drive.Frame();
  ASSERT_EQ(BossKeyText(), "CTRL+F10");
  Tap(VK_UP);
  Tap(VK_RETURN);  // country
  for (int i = 0; i < 7; ++i) drive.Key(VK_BACK);
  drive.Type("Sri Lanka");
  Tap(VK_ESCAPE);
  Tap(VK_UP);
  Tap(VK_RETURN);  // music off
  Tap(VK_RIGHT);
  Tap(VK_RETURN);  // sound off
  Tap(VK_UP);
  Tap(VK_RETURN);  // full screen
  ASSERT_TRUE(Options.FullScreen);
  Tap(VK_ESCAPE);
  InsertHighScore("Sri", 15000);
  ExitThroughTheQuestion();
  Stop();

  Start();
  EXPECT_TRUE(Options.FullScreen);
  EXPECT_TRUE(MForm->MDXDraw.FullScreen);
  EXPECT_FALSE(Options.Music);
  EXPECT_EQ(CurrentSong, 0) << "no tune at start with music off";
  EXPECT_FALSE(Options.Sound);
  EXPECT_EQ(Options.Country, "Sri Lanka");
  EXPECT_EQ(BossKeyShift, ssCtrl);
  EXPECT_EQ(BossKey, VK_F1 + 9);
  EXPECT_EQ(HighScores[1].Name, "Sri") << "the digest written with the table still matches it";
  EXPECT_EQ(HighScores[1].Score, 15000);
}

}  // namespace
