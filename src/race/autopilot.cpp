// The autopilot: a rider that judges the road ahead, the bike and the rivals near it the way a
// player sees them on the screen, and answers with the six race keys.
//
// Every frame it rehearses the next few seconds with the bike's own driving model: a line across
// the road (a distance from the centre line) is ridden by pure pursuit, the throttle is held for
// the frame being decided and then the brake until the bike is slow enough for any shift. The
// throttle stays open while such a rehearsal keeps the hull on road cells and out of the way of
// the rivals, each riding on as it is seen to ride; when the preferred line would need the brake,
// the nearest line that does not is taken, one clear of the rivals coming up from behind first.
#include <algorithm>
#include <array>
#include <cmath>
#include <optional>

#include "race/player.h"

TAutopilot Autopilot;

namespace {

constexpr double kAngleUnitsPerRadian = 256 / (2 * M_PI);

// Pure pursuit: the bike steers toward its line this far ahead (pixels), further the faster it
// rides, so that it cuts the corners of a shift.
constexpr double kLookAheadBase = 110, kLookAheadPerSpeed = 2.6;
// Heading errors (angle units) smaller than this are left alone.
constexpr double kSteerDeadBand = 0.6;
// The centre line is averaged over this many rows either side of a row.
constexpr int kSmoothRows = 2;
// The rehearsal: the pedal being decided is worked for kPedalFrames, then the bike brakes until
// it is down to kSafeSpeed or kRehearsalFrames have passed (frames at the reference rate; at most
// kMaxRehearsalFrames at any rate).
constexpr double kPedalFrames = 1, kRehearsalFrames = 240, kSafeSpeed = 65;
constexpr int kMaxRehearsalFrames = 512;
// The deepest lean (lean frames from upright) at which the autopilot brakes.
constexpr double kSafeBrakeLean = 1.5;
// Rivals from kRivalBehind behind the bike to kRivalAhead ahead of it (as far as the minimap
// shows) are rehearsed along with the bike; no corner of the bike's hull may come within
// kRivalHalfWidth across and kRivalHalfLength along the road of a rival's centre. Faster rivals
// up to kOvertakerRange behind are kept clear of for kOvertakeFrames of full throttle. A line
// beyond a rival less than kBesideRange ahead or behind is out of reach.
constexpr double kRivalAhead = 860, kRivalBehind = 40, kRivalHalfWidth = 18, kRivalHalfLength = 56;
constexpr double kOvertakerRange = 400, kOvertakeFrames = 120, kBesideRange = 60;
// Lines are tried kLineStep apart, no further than kMaxLineOffset from the centre line.
constexpr double kLineStep = 15, kMaxLineOffset = 105;
// The preferred line passes the rivals the bike would reach within kRivalHorizonFrames (and those
// nearer ahead than kRivalNear, whatever their speed) at least kRivalPassGap beside their centre,
// chosen in steps of kPassStep against the costs of moving over and of leaving the centre (per
// pixel). A line beyond a rival alongside costs kOutOfReach.
constexpr double kRivalNear = 150, kRivalHorizonFrames = 170, kRivalPassGap = 80, kPassStep = 7.5, kMoveCost = 0.0004,
                 kCentreCost = 0.0002, kOutOfReach = 1e6;

struct TBikeView {
  double X = 0, Y = 0;  // world pixels of the bike's centre
  double Heading = 0;   // angle units, unrounded
  double Speed = 0;
};

TBikeView ViewOf(const TRace& race, const TPlayer& bike) {
  const TPointF origin = race.ScreenOrigin();
  return TBikeView{bike.CenterX + origin.X, bike.CenterY + origin.Y, bike.HeadingAcc / 2, bike.Speed};
}

double SmoothCentreOfRow(const TRace& race, int row) {
  double sum = 0;
  for (int r = row - kSmoothRows; r <= row + kSmoothRows; ++r) sum += race.RoadCenterX[std::clamp(r, 1, TrackRows)];
  return sum / (2 * kSmoothRows + 1);
}

// The road's centre line at world y: averaged over a few rows and carried on between the rows'
// middles, since in a shift the centre of the lane cells steps a column every second row while
// the road's edges run straight along the diagonal.
double CentreAt(const TRace& race, double y) {
  const double r = y / CellSize - 0.5;
  const int row = static_cast<int>(std::floor(r));
  const double t = r - row;
  return SmoothCentreOfRow(race, row) * (1 - t) + SmoothCentreOfRow(race, row + 1) * t;
}

// A rival as the rehearsal sees it coming.
struct TRivalPath {
  double Offset = 0;        // from the centre line now
  double Urgency = 0;       // 1 / (frames until the bike reaches it + 20); 0: not in the way yet
  bool Overtaking = false;  // behind the bike and faster
  bool Beside = false;      // less than kBesideRange ahead or behind
  std::array<TPointF, kMaxRehearsalFrames> At{};  // its centre after each frame to come
};

struct TRivalPaths {
  std::array<TRivalPath, RivalCount> Path{};
  int Count = 0;
};

// Frames of a rehearsal at the frame rate in use.
int RehearsalFrames() { return std::min(kMaxRehearsalFrames, static_cast<int>(kRehearsalFrames / SpeedFactor)); }

TRivalPaths RivalPathsNear(const TRace& race, const TBikeView& bike, const TVehicleModel& bikeModel) {
  TRivalPaths paths;
  if (race.Traffic == nullptr) return paths;
  const TCar& rivals = *race.Traffic;
  const double bikeStep = PixelsPerFrame(bikeModel, bike.Speed);
  for (int i = 1; i <= RivalCount; ++i) {
    if (!rivals.Racing[i]) continue;
    const double ahead = bike.Y - rivals.CenterY[i];
    const double step = rivals.Crashed[i] ? 0 : PixelsPerFrame(VehicleModel(rivals.Model[i]), rivals.Speed[i]);
    const bool overtaking = ahead < -kRivalBehind && ahead >= -kOvertakerRange && step > bikeStep;
    if ((ahead < -kRivalBehind && !overtaking) || ahead > kRivalAhead) continue;
    TRivalPath& p = paths.Path[paths.Count++];
    p.Offset = rivals.CenterX[i] - CentreAt(race, rivals.CenterY[i]);
    p.Overtaking = overtaking;
    p.Beside = std::fabs(ahead) < kBesideRange;
    const double closing = bikeStep - step;
    const double frames = overtaking          ? kRivalHorizonFrames
                          : ahead <= kRivalNear ? 0
                          : closing > 0.05      ? (ahead - kRivalNear) / closing
                                                : kRivalHorizonFrames;
    p.Urgency = frames < kRivalHorizonFrames ? 1 / (frames + 20) : 0;
    rivals.Forecast(i, RehearsalFrames(), p.At.data());
  }
  return paths;
}

// The preferred line: the place across the road that keeps the bike clearest of the rivals it
// would reach soon, near its present line and the centre line, and not beyond a rival alongside.
double PreferredLine(const TRivalPaths& rivals, double present) {
  const auto inTheWay = [](const TRivalPath& p) { return p.Urgency > 0; };
  if (std::none_of(rivals.Path.begin(), rivals.Path.begin() + rivals.Count, inTheWay)) return 0;
  double best = 0, bestCost = 1e18;
  for (double offset = -kMaxLineOffset; offset <= kMaxLineOffset; offset += kPassStep) {
    double cost = std::fabs(offset - present) * kMoveCost + std::fabs(offset) * kCentreCost;
    for (int k = 0; k < rivals.Count; ++k) {
      const double gap = std::fabs(offset - rivals.Path[k].Offset);
      if (gap < kRivalPassGap) cost += (kRivalPassGap - gap) * rivals.Path[k].Urgency;
      const double across = rivals.Path[k].Offset;
      if (rivals.Path[k].Beside && (across - present) * (across - offset) < 0) cost += kOutOfReach;
    }
    if (cost < bestCost) {
      bestCost = cost;
      best = offset;
    }
  }
  return best;
}

// The heading (angle units) the bike steers for from (x, y): toward the line `offset` from the
// centre line, a speed-dependent distance ahead.
double PursuitHeading(const TRace& race, double x, double y, double speed, double offset) {
  const double lookAhead = kLookAheadBase + kLookAheadPerSpeed * std::max(0.0, speed);
  const double targetY = std::max(y - lookAhead, static_cast<double>(CellSize));
  return std::atan2(CentreAt(race, targetY) + offset - x, y - targetY) * kAngleUnitsPerRadian;
}

// The size of the bike's collision quad (HullQuad).
struct THullShape {
  double Radius = 0, Angle = 0;  // corners this far from the centre, this far (angle units) off the heading
};

bool OnRoad(const TRace& race, const TQuad& corners) {
  return std::all_of(corners.begin(), corners.end(), [&](const TPointF& p) {
    return race.IsRoadTile(static_cast<int>(std::lround(p.X)), static_cast<int>(std::lround(p.Y)));
  });
}

// Whether the bike's hull, `frame` + 1 frames on, comes too near the rival.
bool MeetsRival(const TQuad& corners, const TRivalPath& rival, int frame) {
  const double rx = rival.At[frame].X, ry = rival.At[frame].Y;
  if (std::fabs(corners[0].Y - ry) > 3 * kRivalHalfLength) return false;
  return std::any_of(corners.begin(), corners.end(), [&](const TPointF& p) {
    return std::fabs(p.X - rx) < kRivalHalfWidth && std::fabs(p.Y - ry) < kRivalHalfLength;
  });
}

// Braking in a deep lean throws the rider, so the autopilot brakes only up to kSafeBrakeLean.
bool MayBrake(const TBikeState& bike) { return bike.Lean == 0 || UprightLeanFrame - bike.LeanFrame <= kSafeBrakeLean; }

enum class TPedal { Throttle, Coast, Brake };

// What the rehearsal starts from.
struct TSituation {
  const TRace& Race;
  const TVehicleModel& Model;
  TBikeView Bike;
  THullShape Hull;
  TBikeState State;  // the bike model's state
  TRivalPaths Rivals;
};

constexpr int kAlwaysClear = 1 << 20;

// The bike in a rehearsal: the bike model's state, and where it is.
struct TRehearsedBike {
  TBikeState State;
  double X = 0, Y = 0;

  // A rehearsal ends where the hull leaves the road: the bike it rides is on the road.
  explicit TRehearsedBike(const TSituation& s) : State(s.State), X(s.Bike.X), Y(s.Bike.Y) { State.OnRoad = true; }

  // The steering key (-1 left, 1 right, 0 none) that pure pursuit of the line `offset` asks for.
  int SteerKey(const TRace& race, double offset) const {
    const double error = PursuitHeading(race, X, Y, State.Speed, offset) - State.HeadingAcc / 2;
    return std::fabs(error) > kSteerDeadBand ? (error > 0 ? 1 : -1) : 0;
  }
  // One frame of the bike model with the steering key and the pedal held.
  void Ride(const TVehicleModel& m, int key, TPedal pedal) {
    TRaceInput input;
    input.Left = key < 0;
    input.Right = key > 0;
    input.Up = pedal == TPedal::Throttle;
    input.Down = pedal == TPedal::Brake;
    RideBikeFrame(State, m, input);
    const TPointF v = BikeVelocity(State);
    X += v.X * ScrollStep * SpeedFactor;
    Y += v.Y * ScrollStep * SpeedFactor;
  }
  TQuad Hull(const THullShape& shape) const { return HullQuad(X, Y, State.HeadingAcc / 2, shape.Radius, shape.Angle); }
};

// How many frames the bike keeps its hull on the road and clear of the rivals when it works
// `pedal` for a moment and then brakes (coasts while the lean forbids the brake), steering for the
// line `offset` all the while; kAlwaysClear when it does so until it is slow enough to follow any
// shift or the horizon ends.
int ClearFrames(const TSituation& s, double offset, TPedal pedal) {
  const int frames = RehearsalFrames(), pedalFrames = static_cast<int>(kPedalFrames / SpeedFactor) + 1;
  TRehearsedBike bike(s);
  for (int f = 0; f < frames && bike.State.Speed > kSafeSpeed; ++f) {
    TPedal now = f < pedalFrames ? pedal : TPedal::Brake;
    if (now == TPedal::Brake && !MayBrake(bike.State)) now = TPedal::Coast;
    bike.Ride(s.Model, bike.SteerKey(s.Race, offset), now);
    if (bike.Y < CellSize) break;
    const TQuad corners = bike.Hull(s.Hull);
    if (!OnRoad(s.Race, corners)) return f;
    for (int k = 0; k < s.Rivals.Count; ++k) {
      if (!s.Rivals.Path[k].Overtaking && MeetsRival(corners, s.Rivals.Path[k], f)) return f;
    }
  }
  return kAlwaysClear;
}

bool ThrottleIsSafe(const TSituation& s, double offset) { return ClearFrames(s, offset, TPedal::Throttle) == kAlwaysClear; }

// Whether the bike, riding on at full throttle along the line `offset`, keeps clear of the rivals
// coming up from behind.
bool ClearOfOvertakers(const TSituation& s, double offset) {
  const TRivalPath* const first = s.Rivals.Path.data();
  const TRivalPath* const last = first + s.Rivals.Count;
  if (std::none_of(first, last, [](const TRivalPath& p) { return p.Overtaking; })) return true;
  const int frames = std::min(RehearsalFrames(), static_cast<int>(kOvertakeFrames / SpeedFactor));
  TRehearsedBike bike(s);
  for (int f = 0; f < frames; ++f) {
    bike.Ride(s.Model, bike.SteerKey(s.Race, offset), TPedal::Throttle);
    const TQuad corners = bike.Hull(s.Hull);
    if (std::any_of(first, last, [&](const TRivalPath& p) { return p.Overtaking && MeetsRival(corners, p, f); })) {
      return false;
    }
  }
  return true;
}

}  // namespace

TRaceInput TAutopilot::Keys(const TRace& race) const {
  TRaceInput keys;
  if (race.Player == nullptr) return keys;
  const TPlayer& player = *race.Player;
  const TVehicleModel& m = player.Model();
  const TBikeView bike = ViewOf(race, player);
  const TSituation s{race, m, bike, THullShape{player.HullRadius * m.HullScale, player.HullAngle}, player.BikeState(),
                     RivalPathsNear(race, bike, m)};
  const double present = bike.X - CentreAt(race, bike.Y);

  // The line: the preferred one, or when that asks for the brake (or meets a rival from behind),
  // the nearest to the present line that lets the throttle stay open, clear of the rivals from
  // behind if any is.
  const bool belowCap = bike.Speed < SpeedCap * TopSpeed(m);
  double offset = PreferredLine(s.Rivals, present);
  bool throttle = belowCap && ThrottleIsSafe(s, offset) && ClearOfOvertakers(s, offset);
  const double from = std::clamp(present, -kMaxLineOffset, kMaxLineOffset);
  std::optional<double> nearestThrottleLine;  // the nearest that keeps the throttle, rivals from behind or not
  for (double d = 0; belowCap && !throttle && d <= 2 * kMaxLineOffset; d += kLineStep) {
    for (const double candidate : {from - d, from + d}) {
      if (std::fabs(candidate) > kMaxLineOffset || (d == 0 && candidate > from) || !ThrottleIsSafe(s, candidate)) continue;
      if (!nearestThrottleLine) nearestThrottleLine = candidate;
      if (!ClearOfOvertakers(s, candidate)) continue;
      offset = candidate;
      throttle = true;
      break;
    }
  }
  if (!throttle && nearestThrottleLine) {
    offset = *nearestThrottleLine;
    throttle = true;
  }
  // No line keeps the throttle open near rivals: the one along which braking keeps the bike clear
  // longest.
  if (!throttle && s.Rivals.Count > 0) {
    int longest = ClearFrames(s, offset, TPedal::Brake);
    for (double candidate = -kMaxLineOffset; candidate <= kMaxLineOffset && longest != kAlwaysClear;
         candidate += kLineStep) {
      if (const int frames = ClearFrames(s, candidate, TPedal::Brake); frames > longest) {
        longest = frames;
        offset = candidate;
      }
    }
  }

  const double error = PursuitHeading(race, bike.X, bike.Y, bike.Speed, offset) - bike.Heading;
  keys.Left = error < -kSteerDeadBand;
  keys.Right = error > kSteerDeadBand;

  // Speed: the throttle while that is safe; else roll, if rolling for a moment is; else brake
  // (unless the lean forbids it: then it rolls).
  if (throttle) {
    keys.Up = true;
  } else if (ClearFrames(s, offset, TPedal::Coast) != kAlwaysClear) {
    keys.Down = MayBrake(s.State) && bike.Speed > kSafeSpeed;
  }
  return keys;
}
