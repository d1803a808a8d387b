// A fixture that starts the real game headless on a private copy of the built game folder, so that
// the save files it writes never touch the build's own.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <string>

#include "app/app.h"
#include "audio/audio.h"
#include "race/race.h"
#include "save/save.h"
#include "sprites/sprites.h"

// The race of the game in progress, started with vehicle 1 when there is none: the shell tests
// set its figures to what a race would leave.
inline TRace& GameRace() {
  TRace* race = CurrentRace();
  return race != nullptr ? *race : StartRace(1);
}

class HeadlessGame : public ::testing::Test {
protected:
  // Refresh rate the headless display reports; 85 gives the reference frame time of 11 ms.
  virtual int Rate() const { return 85; }
  // Runs before FormCreate, e.g. to write save files into GameDir().
  virtual void BeforeStart() {}

  void SetUp() override {
    namespace fs = std::filesystem;
    char pattern[] = "/tmp/zk-game-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
    fs::copy(fs::path(ZK_GAME_DIR) / "Data", fs::path(dir_) / "Data", fs::copy_options::recursive);
    fs::remove_all(fs::path(dir_) / "Data" / "Save");
    fs::create_directories(fs::path(dir_) / "Data" / "Save");
    SysConfig config;
    config.Backend = SysBackend::Headless;
    config.HeadlessRefreshRate = Rate();
    config.DataRoot = dir_;
    run_.Start(config, 1, [this] { BeforeStart(); });
    drive = THeadlessDriver(Rate());
    Snd_CallLog().clear();
  }

  void TearDown() override {
    run_.Stop();
    std::filesystem::remove_all(dir_);
  }

  // Runs frames until the main menu's slide-in has ended.
  void FinishIntro() {
    for (int i = 0; i < 500 && Shell.MenuIntroActive; ++i) drive.Frame();
  }

  const std::string& GameDir() const { return dir_; }
  std::string SavePath(const char* name) const { return dir_ + "/Data/Save/" + name; }
  TMForm& Form() { return run_.Form(); }

  THeadlessDriver drive;

private:
  std::string dir_;
  TGameRun run_;
};
