// A fixture that starts the real game headless on a private copy of the built game folder, so that
// the save files it writes never touch the build's own.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <string>

#include "app/app.h"
#include "sprites/sprites.h"

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
    App_ResetState();
    SysConfig config;
    config.Backend = SysBackend::Headless;
    config.HeadlessRefreshRate = Rate();
    config.DataRoot = dir_;
    Sys_Init(config);
    Snd_Init();
    App_SetFixedSeed(1);
    BeforeStart();
    form_ = std::make_unique<TMForm>();
    MForm = form_.get();
    form_->FormCreate();
    drive = THeadlessDriver(Rate());
    Snd_CallLog().clear();
  }

  void TearDown() override {
    MForm = nullptr;
    form_.reset();
    App_ResetState();
    Snd_Shutdown();
    Sys_Shutdown();
    std::filesystem::remove_all(dir_);
  }

  // Runs frames until the main menu's slide-in has ended.
  void FinishIntro() {
    for (int i = 0; i < 500 && MenuIntroActive; ++i) drive.Frame();
  }

  const std::string& GameDir() const { return dir_; }
  std::string SavePath(const char* name) const { return dir_ + "/Data/Save/" + name; }
  TMForm& Form() { return *form_; }

  THeadlessDriver drive;

private:
  std::string dir_;
  std::unique_ptr<TMForm> form_;
};
