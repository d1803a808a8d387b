// Which folder holds the save files: --save-dir, the game's own Data/Save, or the player's
// XDG data folder; and the folder is made when the game first saves.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <optional>

#include "save_fixture.h"

namespace {

namespace fs = std::filesystem;

// Sets an environment variable (or removes it) for one test and puts the old value back.
class ScopedEnv {
public:
  ScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    if (value) setenv(name, value, 1);
    else unsetenv(name);
  }
  ~ScopedEnv() {
    if (old_) setenv(name_, old_->c_str(), 1);
    else unsetenv(name_);
  }

private:
  const char* name_;
  std::optional<std::string> old_;
};

// A game folder at folder_/game, started headless with it as the data root.
class SaveFolderChoice : public SaveFolderTest {
protected:
  void SetUp() override {
    SaveFolderTest::SetUp();
    game_ = folder_ / "game";
    fs::create_directories(game_);
    xdg_.emplace("XDG_DATA_HOME", (folder_ / "xdg").c_str());
  }
  void TearDown() override {
    SetSaveFolder("");
    Sys_Shutdown();
    xdg_.reset();
    SaveFolderTest::TearDown();
  }
  void Start() {
    SysConfig config;
    config.Backend = SysBackend::Headless;
    config.DataRoot = game_.string();
    Sys_Init(config);
  }
  fs::path game_;
  std::optional<ScopedEnv> xdg_;
};

TEST_F(SaveFolderChoice, AWritableGameFolderKeepsItsOwnSaves) {
  fs::create_directories(game_ / "Data");  // Data/Save itself comes with the first save
  Start();
  EXPECT_EQ(SaveFolder(), (game_ / "Data" / "Save").string());
  ResetOptions();
  ResetHighScores();
  EXPECT_EQ(SaveGameFiles(), "");
  EXPECT_TRUE(fs::exists(game_ / "Data" / "Save" / "options"));
  EXPECT_TRUE(fs::exists(game_ / "Data" / "Save" / "hs"));
}

TEST_F(SaveFolderChoice, AGameFolderThatCannotHoldSavesSendsThemToTheXdgFolder) {
  // "Data" a file: no Data/Save can exist there, for any user (root ignores read-only modes).
  std::ofstream(game_ / "Data") << "not a folder";
  Start();
  const fs::path xdg = folder_ / "xdg" / "zubokranz";
  EXPECT_EQ(SaveFolder(), xdg.string());
  ResetOptions();
  ResetHighScores();
  EXPECT_EQ(SaveGameFiles(), "") << "the folder is made on first use";
  EXPECT_TRUE(fs::exists(xdg / "options"));
  EXPECT_TRUE(fs::exists(xdg / "hs"));
}

TEST_F(SaveFolderChoice, SaveDirOverridesBoth) {
  fs::create_directories(game_ / "Data" / "Save");
  Start();
  SetSaveFolder((folder_ / "mine" / "saves").string());
  EXPECT_EQ(SaveFolder(), (folder_ / "mine" / "saves").string());
  EXPECT_EQ(OptionsFilePath(), (folder_ / "mine" / "saves" / "options").string());
}

TEST(UserSaveFolder, FollowsXdgDataHomeElseHome) {
  const ScopedEnv home("HOME", "/home/rider");
  const struct {
    const char* XdgDataHome;
    const char* Expected;
  } cases[] = {
      {"/data/rider", "/data/rider/zubokranz"},
      {nullptr, "/home/rider/.local/share/zubokranz"},
      {"", "/home/rider/.local/share/zubokranz"},
      {"relative/path", "/home/rider/.local/share/zubokranz"},  // not absolute: ignored
  };
  for (const auto& c : cases) {
    const ScopedEnv xdg("XDG_DATA_HOME", c.XdgDataHome);
    EXPECT_EQ(UserSaveFolder(), c.Expected) << (c.XdgDataHome ? c.XdgDataHome : "(unset)");
  }
}

TEST_F(SaveFolderChoice, AFailedSaveNamesTheFileAndTheReason) {
  std::ofstream(folder_ / "blocker") << "a file, not a folder";
  Start();
  SetSaveFolder((folder_ / "blocker").string());
  const std::string problem = SaveGameFiles();
  EXPECT_THAT(problem, ::testing::HasSubstr((folder_ / "blocker").string()));
  EXPECT_THAT(problem, ::testing::HasSubstr(": "));
}

}  // namespace
