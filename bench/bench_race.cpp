// One whole race frame run headless through the real form on level 10: the bike at speed on the
// road, all 100 skid marks in use, five rivals riding in view (one crashed) and 100 bonuses
// around the bike, some of them taken: clear, sprites (road, bonuses, rivals, bike with marks,
// panels and minimap, needle), key poll, the race update with the HUD text, the frame-rate
// adaptation and the flip. Each iteration puts the view, the clock, the marks, the rivals and the
// bonuses back, so every frame draws the same scene. The autopilot's judgement of that scene is
// measured alone beside it.
#include "bench_game.h"
#include "race/player.h"

namespace {

// What is measured in the scene: the whole frame, or only the autopilot's judgement of it.
enum class TMeasure { Frame, AutopilotKeys };

void RaceScene(benchmark::State& state, TMeasure measure) {
  TBenchGame game(state);
  if (!game.Started()) return;
  LeaveMainMenu();
  StartRaceScreen();
  ClosePopup();
  TRace& race = *CurrentRace();
  TPlayer& bike = *race.Player;
  race.Level = 9;
  bike.StartLevel(true);
  ClosePopup();

  const int32_t viewCol = race.ViewCol, viewRow = race.ViewRow;
  const struct {
    double X, Y;
  } rivalsOnScreen[RivalCount] = {{300, 150}, {470, 150}, {300, 290}, {480, 300}, {390, 40}};
  TCar& rivals = *race.Traffic;
  // The rivals ride at speed (the fifth lies crashed); they are put back before every frame.
  const auto placeRivals = [&] {
    for (int n = 1; n <= RivalCount; ++n) {
      const TVehicleModel& m = VehicleModel(n);
      rivals.Racing[n] = rivals.InView[n] = true;
      rivals.Model[n] = static_cast<uint8_t>(n);
      rivals.Crashed[n] = n == 5;
      rivals.CurrentImage[n] = n == 5 ? m.CrashImage : m.UprightImage;
      rivals.CrashTimer[n] = 1000;
      rivals.Heading[n] = 0;
      rivals.Speed[n] = n == 5 ? 0 : 120;
      rivals.ScrollSpeed[n] = TopSpeedFactor(m) * rivals.Speed[n] / 8;
      rivals.PosX[n] = rivalsOnScreen[n - 1].X + viewCol * CellSize - m.RiderDrawWidth / 2.0;
      rivals.PosY[n] = rivalsOnScreen[n - 1].Y + viewRow * CellSize - m.RiderDrawHeight / 2.0;
      rivals.PlaceHull(n);
    }
  };
  TBonus& bonuses = *race.BonusSprite;
  for (int k = 1; k <= race.BonusCount; ++k) bonuses.Slots[k] = TBonus::TSlot{true, viewCol + 2 + k % 9, viewRow + k % 10, static_cast<uint8_t>(1 + k % 5), 0};
  const auto slots = bonuses.Slots;
  decltype(bike.Marks) marks{};
  for (int k = 1; k <= MarkSlots; ++k) marks[k] = TSkidMark{200.0 + 4 * k, 5.0 * k, k % 20, true};

  game.Drive.Press(VK_UP);
  game.Drive.Frames(2);
  const int32_t timeLeft = race.RaceTimeLeft;
  for (auto _ : state) {
    race.ViewCol = viewCol;
    race.ViewRow = viewRow;
    race.RaceTimeLeft = timeLeft;
    bike.Speed = 150;
    bike.Marks = marks;
    bonuses.Slots = slots;
    placeRivals();
    if (measure == TMeasure::Frame) {
      game.Drive.Frame();
    } else {
      benchmark::DoNotOptimize(Autopilot.Keys(race));
    }
  }
  if (measure == TMeasure::Frame && (bike.Crashed || Shell.PopupKind != popNone || !bike.OnRoad || bike.MarksUsed() < 90))
    state.SkipWithError("the race did not stay on course");
}

void BM_RaceFrame(benchmark::State& state) { RaceScene(state, TMeasure::Frame); }
BENCHMARK(BM_RaceFrame);

// The autopilot's keys for the same scene: its rehearsals of the lines across the road with four
// rivals riding in view.
void BM_AutopilotKeys(benchmark::State& state) { RaceScene(state, TMeasure::AutopilotKeys); }
BENCHMARK(BM_AutopilotKeys);

}  // namespace
