// The race HUD and the end-of-level tally's lines and rules.
#include <cmath>
#include <cstdio>

#include "audio/audio.h"
#include "race/race.h"

namespace {

constexpr int kTallyStepMs = 1000, kTallyEndMs = 2000;
constexpr int kLevelStyle = 6, kFigureStyle = 18, kRankStyle = 24;

// Two decimal digits with a leading zero below 10.
void TwoDigits(char* out, int v) { std::snprintf(out, 8, "%02d", v); }

}  // namespace

void TRace::DrawHud() const {
  char buf[64];
  SetTextStyle(kLevelStyle);
  std::snprintf(buf, sizeof buf, "LEVEL %d / 10", Level);
  DrawText(buf, 714, 20, true, true);

  // The read-outs that change while racing come from the styles' glyph strips.
  char minutes[8], seconds[8];
  TwoDigits(minutes, RaceTimeLeft / 60000);
  TwoDigits(seconds, (RaceTimeLeft / 1000) % 60);
  std::snprintf(buf, sizeof buf, "%s : %s", minutes, seconds);
  DrawDigits(buf, 87, 23, true, true, kFigureStyle);

  std::snprintf(buf, sizeof buf, "%d", Score);
  DrawDigits(buf, 84, 218, true, true, kFigureStyle);

  std::snprintf(buf, sizeof buf, "%d", Lives < 0 ? 0 : Lives);
  DrawDigits(buf, 113, 342, true, true, kFigureStyle);

  const double speed = PlayerSpeed();
  std::snprintf(buf, sizeof buf, "%d", speed > 0 ? static_cast<int>(std::nearbyint(speed * 1.9)) : 0);
  DrawDigits(buf, 91, 578, true, true, kFigureStyle);

  std::snprintf(buf, sizeof buf, "%d/%d", PlayerRank, RacerCount);
  DrawDigits(buf, 635, 185, false, true, kRankStyle);
}

namespace {

void DrawTallyLines(const TRace& race) {
  char buf[64];
  SetTextStyle(11);
  if (race.ResultStep >= 1) {
    std::snprintf(buf, sizeof buf, "Your rank is %d", race.PlayerRank);
    DrawText(buf, 382, 244, true, true);
  }
  if (race.ResultStep >= 2) {
    std::snprintf(buf, sizeof buf, "Bonus: %d", race.RankBonus);
    DrawText(buf, 382, 274, true, true);
  }
  if (race.ResultStep >= 3) {
    std::snprintf(buf, sizeof buf, "Time left: %d", race.ResultTimeLeft / 1000);
    DrawText(buf, 307, 304, false, true);
  }
  if (race.ResultStep >= 4) {
    std::snprintf(buf, sizeof buf, "Time bonus: %d", race.TimeBonus);
    DrawText(buf, 292, 334, false, true);
  }
}

}  // namespace

TRace::TTallyStep TRace::RunTally() {
  if (ResultStepTimer > 0) {
    ResultStepTimer -= FrameTimeMs;
  } else {
    ResultStepTimer = kTallyStepMs;
    ++ResultStep;
    if (ResultStep < 5) PlaySound(sndBlip);
  }
  DrawTallyLines(*this);
  if (ResultStep < 5) return TTallyStep::Running;
  if (ResultTimeLeft >= 0) {
    const int32_t drain = 10 * FrameTimeMs;
    if (ResultTimeLeft / 1000 > (ResultTimeLeft - drain) / 1000) {
      TimeBonus += 5;
      PlaySound(sndClockTick);
    }
    ResultTimeLeft -= drain;
    ResultEndTimer = kTallyEndMs;
  } else if (ResultEndTimer > 0) {
    ResultEndTimer -= FrameTimeMs;
  } else {
    Score += RankBonus + TimeBonus;
    return Level < LevelCount ? TTallyStep::NextLevel : TTallyStep::LastLevelDone;
  }
  return TTallyStep::Running;
}
