// The autopilot: a rider that judges the road ahead, the bike and the rivals near it the way a
// player sees them on the screen, and answers with the six race keys.
#include <algorithm>
#include <array>
#include <cmath>

#include "race/player.h"

TAutopilot Autopilot;

namespace {

constexpr double kAngleUnitsPerRadian = 256 / (2 * M_PI);

// Pure pursuit: the bike steers toward the road's centre line this far ahead (pixels), further
// the faster it rides, so that it cuts the corners of a shift.
constexpr double kLookAheadBase = 110, kLookAheadPerSpeed = 2.6;
// Heading errors (angle units) smaller than this are left alone.
constexpr double kSteerDeadBand = 0.6;
// How far the bike's centre may stray from the centre line before it leaves the lanes, with room
// for its hull turned along a diagonal.
constexpr double kLaneSlack = 95;
// The rehearsal of the road ahead: the pedal is tried for kPedalFrames (the frame it decides,
// since it decides again on the next), then the bike brakes until it is down to kSafeSpeed or
// kRehearsalFrames have passed (frames at the reference rate).
constexpr double kPedalFrames = 1, kRehearsalFrames = 240, kSafeSpeed = 65;
// The deepest lean (lean frames from upright) at which braking is still safe.
constexpr double kSafeBrakeLean = 1.5;
// Rivals: those the bike would reach within kRivalHorizonFrames (and those nearer ahead than
// kRivalNear, whatever their speed) are passed at least kRivalPassGap beside their centre; the
// bike's offset from the centre line stays within kMaxPassOffset, chosen in steps of kPassStep
// against the costs of moving over and of leaving the centre (per pixel). The minimap shows
// kRivalAhead pixels ahead.
constexpr double kRivalAhead = 860, kRivalBehind = 40, kRivalNear = 150, kRivalHorizonFrames = 170,
                 kRivalPassGap = 80, kMaxPassOffset = 105, kPassStep = 7.5, kMoveCost = 0.0004, kCentreCost = 0.0002;

struct TBikeView {
  double X = 0, Y = 0;     // world pixels of the bike's centre
  double Heading = 0;      // angle units, unrounded
  double Speed = 0;
  int Row = 0;
};

TBikeView ViewOf(const TRace& race, const TPlayer& bike) {
  const double roadX = race.Road != nullptr ? race.Road->X : 0;
  const double roadY = race.Road != nullptr ? race.Road->Y : 0;
  TBikeView v;
  v.X = bike.CenterX + race.ViewCol * CellSize - roadX;
  v.Y = bike.CenterY + race.ViewRow * CellSize - roadY;
  v.Heading = bike.HeadingAcc / 2;
  v.Speed = bike.Speed;
  v.Row = static_cast<int>(std::floor(v.Y / CellSize));
  return v;
}

int ClampRow(int row) { return std::clamp(row, 1, TrackRows); }

double CentreAt(const TRace& race, int row) { return race.RoadCenterX[ClampRow(row)]; }

// Pixels a bike of model `m` covers in a frame at `speed` (at the reference rate).
double PixelsPerFrame(const TVehicleModel& m, double speed) { return TopSpeedFactor(m) * speed / 16; }

// The sideways distance from the centre line the bike aims for: the place across the road that
// keeps it clearest of the rivals it would reach soon (each taken to keep its own place across
// the road), near its present line and the centre line. Rivals are watched as far ahead as the
// minimap shows them.
double PassOffset(const TRace& race, const TBikeView& bike, const TVehicleModel& bikeModel) {
  if (race.Traffic == nullptr) return 0;
  const TCar& rivals = *race.Traffic;
  const double bikeStep = PixelsPerFrame(bikeModel, bike.Speed);
  const double bikeOffset = bike.X - CentreAt(race, bike.Row);
  // The rivals in the way: their place across the road and how soon the bike reaches them.
  std::array<double, RivalCount> rivalOffset{}, urgency{};
  int count = 0;
  for (int i = 1; i <= RivalCount; ++i) {
    if (!rivals.Racing[i]) continue;
    const double ahead = bike.Y - rivals.CenterY[i];
    if (ahead < -kRivalBehind || ahead > kRivalAhead) continue;
    const double rivalStep = rivals.Crashed[i] ? 0 : PixelsPerFrame(VehicleModel(rivals.Model[i]), rivals.Speed[i]);
    const double closing = bikeStep - rivalStep;
    const double frames = ahead <= kRivalNear ? 0 : closing > 0.05 ? (ahead - kRivalNear) / closing : kRivalHorizonFrames;
    if (frames >= kRivalHorizonFrames) continue;
    const int rivalRow = static_cast<int>(std::floor(rivals.CenterY[i] / CellSize));
    rivalOffset[count] = rivals.CenterX[i] - CentreAt(race, rivalRow);
    urgency[count] = 1 / (frames + 20);
    ++count;
  }
  if (count == 0) return 0;
  double best = 0, bestCost = 1e18;
  for (double offset = -kMaxPassOffset; offset <= kMaxPassOffset; offset += kPassStep) {
    double cost = std::fabs(offset - bikeOffset) * kMoveCost + std::fabs(offset) * kCentreCost;
    for (int k = 0; k < count; ++k) {
      const double gap = std::fabs(offset - rivalOffset[k]);
      if (gap < kRivalPassGap) cost += (kRivalPassGap - gap) * urgency[k];
    }
    if (cost < bestCost) {
      bestCost = cost;
      best = offset;
    }
  }
  return best;
}

// The heading (angle units) the bike steers for from (x, y): toward the centre line, shifted by
// `offset`, a speed-dependent distance ahead.
double PursuitHeading(const TRace& race, double x, double y, double speed, double offset) {
  const double lookAhead = kLookAheadBase + kLookAheadPerSpeed * std::max(0.0, speed);
  const int targetRow = ClampRow(static_cast<int>(std::floor((y - lookAhead) / CellSize)));
  const double targetX = CentreAt(race, targetRow) + offset;
  const double targetY = targetRow * CellSize + CellSize / 2.0;
  return std::atan2(targetX - x, y - targetY) * kAngleUnitsPerRadian;
}

enum class TPedal { Throttle, Coast, Brake };

// Whether the bike stays within the lanes when it works `pedal` for a moment and then brakes,
// steering by the pursuit all the while: a rehearsal of the driving model (steering rate,
// acceleration, braking, movement) until the bike is slow enough to follow any shift or the
// horizon ends.
bool StaysOnLanes(const TRace& race, const TBikeView& bike, const TVehicleModel& m, double offset, TPedal pedal) {
  const double top = 160 * TopSpeedFactor(m), sf = SpeedFactor;
  const int frames = static_cast<int>(kRehearsalFrames / sf), pedalFrames = static_cast<int>(kPedalFrames / sf) + 1;
  double x = bike.X, y = bike.Y, headingAcc = bike.Heading * 2, speed = bike.Speed;
  for (int f = 0; f < frames && speed > kSafeSpeed; ++f) {
    const TPedal now = f < pedalFrames ? pedal : TPedal::Brake;
    const double error = PursuitHeading(race, x, y, speed, offset) - headingAcc / 2;
    if (std::fabs(error) > kSteerDeadBand) headingAcc += (error > 0 ? 1 : -1) * SteerRate(m, speed) * sf;
    if (now == TPedal::Throttle) speed += speed <= top ? AccelRate(m, speed) * sf : -CoastDecel(m, speed) * sf;
    else speed -= (now == TPedal::Coast ? CoastDecel(m, speed) : BrakeDecel(m)) * sf;
    const double step = TopSpeedFactor(m) * speed / 8 * 0.5 * sf, h = headingAcc / 2 / kAngleUnitsPerRadian;
    x += std::sin(h) * step;
    y -= std::cos(h) * step;
    const int row = static_cast<int>(std::floor(y / CellSize));
    if (row < 1) break;
    if (std::fabs(x - CentreAt(race, row)) > kLaneSlack) return false;
  }
  return true;
}

}  // namespace

TRaceKeys TAutopilot::Keys(const TRace& race) const {
  TRaceKeys keys;
  if (race.Player == nullptr) return keys;
  const TPlayer& player = *race.Player;
  const TVehicleModel& m = player.Model();
  const TBikeView bike = ViewOf(race, player);

  // Steering: toward the centre line (or beside a rival) a speed-dependent distance ahead.
  const double offset = PassOffset(race, bike, m);
  const double error = PursuitHeading(race, bike.X, bike.Y, bike.Speed, offset) - bike.Heading;
  keys.Left = error < -kSteerDeadBand;
  keys.Right = error > kSteerDeadBand;

  // Speed: full throttle up to the cap while braking later would still keep the bike on the
  // lanes through the shifts ahead; else roll, else brake (but never while leaning deep enough
  // to fall: then it rolls).
  const double cap = SpeedCap * 160 * TopSpeedFactor(m);
  const double leanDepth = player.Lean != 0 ? 5.5 - player.FramePos : 0;
  if (bike.Speed < cap && StaysOnLanes(race, bike, m, offset, TPedal::Throttle)) {
    keys.Up = true;
  } else if (!StaysOnLanes(race, bike, m, offset, TPedal::Coast)) {
    keys.Down = leanDepth <= kSafeBrakeLean && bike.Speed > kSafeSpeed;
  }
  return keys;
}
