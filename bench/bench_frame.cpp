// One whole main-menu frame run headless through the real form, after the slide-in, with the
// mouse on a button so that its highlighted picture is drawn: clear, sprites, key poll, the menu's
// update, the selection check, the frame-rate adaptation and the flip.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "app/app.h"

namespace {

// The built game folder: ZK_GAME_DIR if set, else <build>/game beside <build>/bin/zkbench.
std::string GameDir() {
  if (const char* env = std::getenv("ZK_GAME_DIR")) return env;
  std::error_code ec;
  const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  return (exe.parent_path().parent_path() / "game").string();
}

void BM_MenuFrame(benchmark::State& state) {
  SysConfig config;
  config.Backend = SysBackend::Headless;
  config.HeadlessRefreshRate = 85;
  config.DataRoot = GameDir();
  TGameRun game;
  bool started = true;
  try {
    game.Start(config, 1);
  } catch (const EGameError& e) {
    state.SkipWithError(e.what());
    started = false;
  }
  if (started) {
    THeadlessDriver drive(85);
    for (int i = 0; i < 500 && Shell.MenuIntroActive; ++i) drive.Frame();
    drive.MouseMove(100, 300);  // on the Options button
    drive.Frames(2);
    if (Shell.MenuIntroActive || Shell.HoverItem != 3) state.SkipWithError("the main menu did not settle");
    for (auto _ : state) drive.Frame();
    Snd_CallLog().clear();
  }
}
BENCHMARK(BM_MenuFrame);

}  // namespace
