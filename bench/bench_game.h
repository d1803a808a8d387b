// The real game started headless on the built game folder, for the frame benchmarks.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "app/app.h"

// The built game folder: ZK_GAME_DIR if set, else <build>/game beside <build>/bin/zkbench.
inline std::string BenchGameDir() {
  if (const char* env = std::getenv("ZK_GAME_DIR")) return env;
  std::error_code ec;
  const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  return (exe.parent_path().parent_path() / "game").string();
}

// Starts the game at 85 Hz with a fixed seed and takes it down again; Started() is false (and
// the benchmark skipped) when the data could not be loaded.
class TBenchGame {
public:
  explicit TBenchGame(benchmark::State& state) {
    SysConfig config;
    config.Backend = SysBackend::Headless;
    config.HeadlessRefreshRate = 85;
    config.DataRoot = BenchGameDir();
    try {
      run_.Start(config, 1);
      started_ = true;
    } catch (const EGameError& e) {
      state.SkipWithError(e.what());
    }
  }
  ~TBenchGame() { Snd_CallLog().clear(); }

  bool Started() const { return started_; }
  // Runs frames until the main menu's slide-in has ended.
  void FinishIntro() {
    for (int i = 0; i < 500 && Shell.MenuIntroActive; ++i) Drive.Frame();
  }

  THeadlessDriver Drive{85};

private:
  TGameRun run_;
  bool started_ = false;
};
