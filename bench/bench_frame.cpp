// One whole main-menu frame run headless through the real form, after the slide-in, with the
// mouse on a button so that its highlighted picture is drawn: clear, sprites, key poll, the menu's
// update, the selection check, the frame-rate adaptation and the flip.
#include "bench_game.h"

namespace {

void BM_MenuFrame(benchmark::State& state) {
  TBenchGame game(state);
  if (!game.Started()) return;
  game.FinishIntro();
  game.Drive.MouseMove(100, 300);  // on the Options button
  game.Drive.Frames(2);
  if (Shell.MenuIntroActive || Shell.HoverItem != 3) state.SkipWithError("the main menu did not settle");
  for (auto _ : state) game.Drive.Frame();
}
BENCHMARK(BM_MenuFrame);

}  // namespace
