// The race HUD and the end-of-level tally's lines and rules.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>

#include "audio/audio.h"
#include "race/player.h"
#include "race/race.h"

namespace {

constexpr int kTallyStepMs = 1000, kTallyEndMs = 2000;
constexpr int kLevelStyle = 6, kFigureStyle = 18, kRankStyle = 24;

// Two decimal digits with a leading zero below 10.
void TwoDigits(char* out, int v) { std::snprintf(out, 8, "%02d", v); }

// The right panel below the minimap: the rank in the plate under the map, the bike's three hit
// points, and a bar of the level's road from the start (bottom) to the finish (top) with the
// bike and the rivals on it. The panel's picture draws the plates, the pip sockets and the bar's
// groove; these are the parts that change.
constexpr int kRankX = 736, kRankY = 218;  // left edge, vertical centre
constexpr int kPipY = 288, kPipRadius = 8;
constexpr std::array<int, 3> kPipX{673, 713, 753};
constexpr uint16_t kPipColor = RGB565(255, 70, 60), kPipLostFlash = RGB565(255, 255, 255);
constexpr int kBarX = 713, kBarHalfWidth = 6, kBarTop = 356, kBarBottom = 574;
constexpr uint16_t kBarColor = RGB565(66, 252, 202), kRivalTickColor = RGB565(255, 222, 0);

void DrawHitPoints(const TPlayer& bike) {
  TDirectDrawSurface* const surface = GameSurface();
  const int lit = std::clamp(bike.HitPoints, 0, static_cast<int>(kPipX.size()));
  for (int k = 0; k < lit; ++k) {
    DrawDisc(surface, kPipX[k] + 0.5, kPipY + 0.5, kPipRadius, kPipColor, 32);
    DrawDisc(surface, kPipX[k] - 2.5, kPipY - 2.5, kPipRadius * 0.35, RGB565(255, 200, 190), 24);
  }
  // The pip just lost flashes while the bike blinks.
  if (bike.HitBlinkMs > 0 && lit < static_cast<int>(kPipX.size()) && (bike.HitBlinkMs / TPlayer::HitBlinkPhaseMs) % 2 == 0)
    DrawDisc(surface, kPipX[lit] + 0.5, kPipY + 0.5, kPipRadius, kPipLostFlash, 28);
}

// The share of the level's road from the start line to the finish line behind a world Y.
double ProgressAt(const TRace& race, double worldY) {
  const double start = StartLineRow * CellSize, finish = FinishRowOf(race.TrackLength) * CellSize;
  return start > finish ? std::clamp((start - worldY) / (start - finish), 0.0, 1.0) : 0.0;
}

int BarY(double progress) { return kBarBottom - static_cast<int>(std::lround(progress * (kBarBottom - kBarTop))); }

void DrawProgress(const TRace& race) {
  TDirectDrawSurface* const surface = GameSurface();
  const int y = BarY(ProgressAt(race, race.Player->WorldY()));
  BlendRect(surface, TRect{kBarX - kBarHalfWidth + 2, y, kBarX + kBarHalfWidth - 1, kBarBottom}, kBarColor, 20);
  if (race.Traffic != nullptr) {
    const TCar& rivals = *race.Traffic;
    for (int i = 1; i <= RivalCount; ++i) {
      if (!rivals.Racing[i]) continue;
      const int ry = BarY(ProgressAt(race, rivals.CenterY[i]));
      BlendRect(surface, TRect{kBarX - kBarHalfWidth - 4, ry - 1, kBarX + kBarHalfWidth + 4, ry + 1}, kRivalTickColor, 28);
    }
  }
  DrawDisc(surface, kBarX + 0.5, y + 0.5, 7.5, RGB565(10, 14, 38), 32);
  DrawDisc(surface, kBarX + 0.5, y + 0.5, 5.5, kBarColor, 32);
}

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

  // Until the level's first frame has ranked the bike, the rank is taken as that frame will take
  // it (never 0/0: without a bike, the bike alone).
  uint8_t rank = PlayerRank, racers = RacerCount;
  if (racers == 0) {
    racers = 1;
    if (Player != nullptr) rank = Player->RankAmongRacers(0, racers);
  }
  if (rank == 0) rank = racers;
  std::snprintf(buf, sizeof buf, "%d/%d", rank, racers);
  DrawDigits(buf, kRankX, kRankY, false, true, kRankStyle);
  if (Player != nullptr) {
    DrawHitPoints(*Player);
    DrawProgress(*this);
  }
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
