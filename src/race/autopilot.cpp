// The autopilot: a rider that judges the road ahead, the bike and the rivals near it the way a
// player sees them on the screen, and answers with the six race keys.
//
// Every frame it rehearses the next few seconds with the bike's own driving model: a line across
// the road (a distance from the centre line) is ridden by pure pursuit, the throttle is held for
// the frame being decided and then the brake until the bike is slow enough for any shift. The
// throttle stays open while such a rehearsal keeps the hull on road cells and out of the way of
// the rivals, each riding on as it is seen to ride; when the preferred line would need the brake,
// the nearest line that does not is taken, one clear of the rivals coming up from behind first.
//
// The expert rider judges the race as it is. The human rider makes the same judgement on what
// the screen showed a reaction time ago (THumanGlance), reckoned on to the present by the keys it
// has pressed since, with the road it has not yet seen carried on as it last saw it.
#include <algorithm>
#include <array>
#include <cmath>
#include <memory>
#include <optional>

#include "race/player.h"

// A bend of the road a warning board told of: its first row and the way the road moves from there
// on (-1 left, 1 right, half a cell a row; 0 none). A shift begins with one bend and ends with one
// back.
struct TBendWarning {
  int32_t Row = 0;
  int Turn = 0;
};
// The bends the human rider keeps in mind: those of the boards in one picture, and the last it read.
constexpr int kBoardsInPicture = 2, kBendsInMind = 4;

// What the human rider took in from the screen at the start of one frame, and the keys it held.
struct THumanGlance {
  double X = 0, Y = 0;  // the bike's centre (world pixels)
  TBikeState State;
  int32_t FirstSeenRow = 0;  // the furthest track row shown (the minimap's top row)
  std::array<TBendWarning, kBoardsInPicture> Warnings{};  // read from the warning boards in the picture
  std::array<TRiderSeen, RivalCount> Rivals{};  // those in the picture
  int RivalsSeen = 0;
  TRaceInput Keys{};  // what it held in that frame
};

// The glances of the frames it lives through, newest last, for the level it rides.
struct THumanMemory {
  static constexpr int Slots = 256;  // reaction frames at up to 1000 Hz
  const TRace* Race = nullptr;
  int32_t Level = 0;
  int64_t Glances = 0;
  std::array<THumanGlance, Slots> Glance{};
  std::array<int, 4> HeldFor{};  // frames each of Left, Right, Up, Down has kept its state
  std::array<TBendWarning, kBendsInMind> Bends{};  // the last boards it read, newest first
  TRaceInput Held{};
};

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

// A shift moves the road half a cell a row.
constexpr double kShiftPerRow = CellSize / 2.0;

struct TBikeView {
  double X = 0, Y = 0;  // world pixels of the bike's centre
  double Heading = 0;   // angle units, unrounded
  double Speed = 0;
};

TBikeView ViewOf(const TRace& race, const TPlayer& bike) {
  const TPointF origin = race.ScreenOrigin();
  return TBikeView{bike.CenterX + origin.X, bike.CenterY + origin.Y, bike.HeadingAcc / 2, bike.Speed};
}

// The road as the rider knows it: the track from FirstSeenRow on (0: all of it); rows beyond that
// are taken to go on as the first seen rows run, turned by the bends warning boards told of.
struct TRoadSight {
  const TRace& Race;
  int FirstSeenRow = 0;
  std::array<TBendWarning, kBendsInMind> Bends{};

  // The road's centre line in a row; beyond the seen rows carried on along the first two seen.
  double RowCentre(int row) const {
    const int r = std::clamp(row, 1, TrackRows);
    if (r >= FirstSeenRow) return Race.RoadCenterX[r];
    const double first = Race.RoadCenterX[FirstSeenRow];
    return first + (first - Race.RoadCenterX[std::min(FirstSeenRow + 2, TrackRows)]) / 2 * (FirstSeenRow - r) +
           WarnedShift(r);
  }
  // How far the warned bends not yet seen have moved the road by an unseen row.
  double WarnedShift(int row) const {
    double shift = 0;
    for (const TBendWarning& b : Bends) {
      if (b.Turn != 0 && b.Row < FirstSeenRow && row <= b.Row) shift += b.Turn * kShiftPerRow * (b.Row - row + 1);
    }
    return shift;
  }
  double SmoothCentreOfRow(int row) const {
    double sum = 0;
    for (int r = row - kSmoothRows; r <= row + kSmoothRows; ++r) sum += RowCentre(r);
    return sum / (2 * kSmoothRows + 1);
  }
  // The road's centre line at world y: averaged over a few rows and carried on between the rows'
  // middles, since in a shift the centre of the lane cells steps a column every second row while
  // the road's edges run straight along the diagonal.
  double CentreAt(double y) const {
    const double r = y / CellSize - 0.5;
    const int row = static_cast<int>(std::floor(r));
    const double t = r - row;
    return SmoothCentreOfRow(row) * (1 - t) + SmoothCentreOfRow(row + 1) * t;
  }
  // Whether world pixel (x, y) is on a road cell; beyond the seen rows, on the first seen row
  // carried along the expected centre line.
  bool IsRoad(int x, int y) const {
    const int row = y / CellSize;
    if (y < 0 || row >= FirstSeenRow) return Race.IsRoadTile(x, y);
    const double shift = RowCentre(row) - RowCentre(FirstSeenRow);
    return Race.IsRoadTile(static_cast<int>(std::lround(x - shift)), FirstSeenRow * CellSize + y % CellSize);
  }
};

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

// A rival as the rider sees it now: its centre (world pixels) and the pixels it covers a frame
// at the reference rate (0 for a crashed one).
struct TSeenRival {
  double X = 0, Y = 0, Step = 0;
};

// Adds the rival to the paths when it matters to the bike (ahead within reach, or coming up from
// behind): its offset, urgency and whether it overtakes or rides alongside. Its path to come is
// left for the caller to fill; nullptr when it does not matter.
TRivalPath* AddRival(TRivalPaths& paths, const TRoadSight& road, const TBikeView& bike, double bikeStep,
                     const TSeenRival& rival) {
  const double ahead = bike.Y - rival.Y;
  const bool overtaking = ahead < -kRivalBehind && ahead >= -kOvertakerRange && rival.Step > bikeStep;
  if ((ahead < -kRivalBehind && !overtaking) || ahead > kRivalAhead || paths.Count == RivalCount) return nullptr;
  TRivalPath& p = paths.Path[paths.Count++];
  p.Offset = rival.X - road.CentreAt(rival.Y);
  p.Overtaking = overtaking;
  p.Beside = std::fabs(ahead) < kBesideRange;
  const double closing = bikeStep - rival.Step;
  const double frames = overtaking          ? kRivalHorizonFrames
                        : ahead <= kRivalNear ? 0
                        : closing > 0.05      ? (ahead - kRivalNear) / closing
                                              : kRivalHorizonFrames;
  p.Urgency = frames < kRivalHorizonFrames ? 1 / (frames + 20) : 0;
  return &p;
}

// The racing rivals as they are, each foreseen by the riders' own rules.
TRivalPaths RivalPathsNear(const TRoadSight& road, const TBikeView& bike, const TVehicleModel& bikeModel) {
  TRivalPaths paths;
  if (road.Race.Traffic == nullptr) return paths;
  const TCar& rivals = *road.Race.Traffic;
  const double bikeStep = PixelsPerFrame(bikeModel, bike.Speed);
  for (int i = 1; i <= RivalCount; ++i) {
    if (!rivals.Racing[i]) continue;
    const double step = rivals.Crashed[i] ? 0 : PixelsPerFrame(VehicleModel(rivals.Model[i]), rivals.Speed[i]);
    if (TRivalPath* p = AddRival(paths, road, bike, bikeStep, {rivals.CenterX[i], rivals.CenterY[i], step})) {
      rivals.Forecast(i, RehearsalFrames(), p->At.data());
    }
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
double PursuitHeading(const TRoadSight& road, double x, double y, double speed, double offset) {
  const double lookAhead = kLookAheadBase + kLookAheadPerSpeed * std::max(0.0, speed);
  const double targetY = std::max(y - lookAhead, static_cast<double>(CellSize));
  return std::atan2(road.CentreAt(targetY) + offset - x, y - targetY) * kAngleUnitsPerRadian;
}

// The size of the bike's collision quad (HullQuad).
struct THullShape {
  double Radius = 0, Angle = 0;  // corners this far from the centre, this far (angle units) off the heading
};

bool OnRoad(const TRoadSight& road, const TQuad& corners) {
  return std::all_of(corners.begin(), corners.end(), [&](const TPointF& p) {
    return road.IsRoad(static_cast<int>(std::lround(p.X)), static_cast<int>(std::lround(p.Y)));
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
  const TRoadSight& Road;
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

  TRehearsedBike(const TBikeState& state, double x, double y) : State(state), X(x), Y(y) {}
  // A rehearsal ends where the hull leaves the road: the bike it rides is on the road.
  explicit TRehearsedBike(const TSituation& s) : State(s.State), X(s.Bike.X), Y(s.Bike.Y) { State.OnRoad = true; }

  // The steering key (-1 left, 1 right, 0 none) that pure pursuit of the line `offset` asks for.
  int SteerKey(const TRoadSight& road, double offset) const {
    const double error = PursuitHeading(road, X, Y, State.Speed, offset) - State.HeadingAcc / 2;
    return std::fabs(error) > kSteerDeadBand ? (error > 0 ? 1 : -1) : 0;
  }
  // One frame of the bike model with the steering key and the pedal held.
  void Ride(const TVehicleModel& m, int key, TPedal pedal) {
    TRaceInput input;
    input.Left = key < 0;
    input.Right = key > 0;
    input.Up = pedal == TPedal::Throttle;
    input.Down = pedal == TPedal::Brake;
    Ride(m, input);
  }
  void Ride(const TVehicleModel& m, const TRaceInput& input) {
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
    bike.Ride(s.Model, bike.SteerKey(s.Road, offset), now);
    if (bike.Y < CellSize) break;
    const TQuad corners = bike.Hull(s.Hull);
    if (!OnRoad(s.Road, corners)) return f;
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
    bike.Ride(s.Model, bike.SteerKey(s.Road, offset), TPedal::Throttle);
    const TQuad corners = bike.Hull(s.Hull);
    if (std::any_of(first, last, [&](const TRivalPath& p) { return p.Overtaking && MeetsRival(corners, p, f); })) {
      return false;
    }
  }
  return true;
}

// The keys for the situation: the line and the pedal, judged as the file's head describes.
TRaceInput Decide(const TSituation& s, double speedCap) {
  TRaceInput keys;
  const TBikeView& bike = s.Bike;
  const TVehicleModel& m = s.Model;
  const double present = bike.X - s.Road.CentreAt(bike.Y);

  // The line: the preferred one, or when that asks for the brake (or meets a rival from behind),
  // the nearest to the present line that lets the throttle stay open, clear of the rivals from
  // behind if any is.
  const bool belowCap = bike.Speed < speedCap * TopSpeed(m);
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

  const double error = PursuitHeading(s.Road, bike.X, bike.Y, bike.Speed, offset) - bike.Heading;
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

THullShape HullOf(const TPlayer& player) {
  return THullShape{player.HullRadius * player.Model().HullScale, player.HullAngle};
}

// The picture the human rider watches (the race window).
constexpr double kPictureWidth = 800, kPictureHeight = 600;
// The road shows between the side panels (equally wide).
constexpr double kRoadLeft = kPictureWidth - RightPanelX, kRoadRight = RightPanelX;

// Frames the human rider's eyes lag behind the screen at the rate in use.
int ReactionFrames() {
  const double rate = SpeedFactor > 0 ? ReferenceFrameRate / SpeedFactor : ReferenceFrameRate;
  return std::clamp(static_cast<int>(std::ceil(TAutopilot::HumanReactionMs * rate / 1000 - 1e-9)), 0,
                    THumanMemory::Slots - 1);
}

// The bends the warning boards in the picture tell of, nearest the bike first.
std::array<TBendWarning, kBoardsInPicture> WarningsInPicture(const TRace& race, const TPointF& origin) {
  std::array<TBendWarning, kBoardsInPicture> seen{};
  int count = 0;
  const int topRow = static_cast<int>(std::floor(origin.Y / CellSize));
  for (int row = static_cast<int>(std::floor((origin.Y + kPictureHeight) / CellSize)); row >= topRow; --row) {
    const int turn = BendWarningAt(race, row);
    const double y = (row + 0.5) * CellSize - origin.Y;
    if (turn == 0 || y < 0 || y >= kPictureHeight || count == kBoardsInPicture) continue;
    const auto shown = [&](double side) {
      const double x = race.RoadCenterX[std::clamp(row, 1, TrackRows)] + side - origin.X;
      return x >= kRoadLeft && x < kRoadRight;
    };
    if (shown(-BendWarningBoardOffset) || shown(BendWarningBoardOffset)) seen[count++] = TBendWarning{row - BendWarningRows, turn};
  }
  return seen;
}

// What the screen shows the human rider now.
THumanGlance GlanceAt(const TRace& race, const TPlayer& player) {
  THumanGlance g;
  const TBikeView bike = ViewOf(race, player);
  g.X = bike.X;
  g.Y = bike.Y;
  g.State = player.BikeState();
  g.FirstSeenRow = std::max(1, player.MinimapFirstRow());
  const TPointF origin = race.ScreenOrigin();
  g.Warnings = WarningsInPicture(race, origin);
  if (race.Traffic == nullptr) return g;
  const TCar& rivals = *race.Traffic;
  const double left = origin.X, top = origin.Y;
  for (int i = 1; i <= RivalCount; ++i) {
    const double x = rivals.CenterX[i] - left, y = rivals.CenterY[i] - top;
    if (!rivals.Racing[i] || !rivals.InView[i] || x < 0 || x >= kPictureWidth || y < 0 || y >= kPictureHeight) continue;
    g.Rivals[g.RivalsSeen++] = TRiderSeen{rivals.CenterX[i], rivals.CenterY[i], rivals.Heading[i],
                                          rivals.Crashed[i] ? 0 : rivals.Speed[i], rivals.Model[i]};
  }
  return g;
}

// Keeps the bends the glance's boards told of in mind, newest first, each once.
void RememberBends(THumanMemory& mem, const THumanGlance& g) {
  for (const TBendWarning& w : g.Warnings) {
    if (w.Turn == 0) continue;
    const auto same = [&](const TBendWarning& b) { return b.Row == w.Row && b.Turn == w.Turn; };
    if (std::any_of(mem.Bends.begin(), mem.Bends.end(), same)) continue;
    std::rotate(mem.Bends.rbegin(), mem.Bends.rbegin() + 1, mem.Bends.rend());
    mem.Bends[0] = w;
  }
}

}  // namespace

TAutopilot::TAutopilot() = default;
TAutopilot::TAutopilot(TAutopilot&&) noexcept = default;
TAutopilot& TAutopilot::operator=(TAutopilot&&) noexcept = default;
TAutopilot::~TAutopilot() = default;

TRaceInput TAutopilot::Keys(const TRace& race) {
  if (race.Player == nullptr) return TRaceInput{};
  if (Rider == TRider::Human) return HumanKeys(race);
  const TPlayer& player = *race.Player;
  const TVehicleModel& m = player.Model();
  const TRoadSight road{race};
  const TBikeView bike = ViewOf(race, player);
  return Decide(TSituation{road, m, bike, HullOf(player), player.BikeState(), RivalPathsNear(road, bike, m)}, SpeedCap);
}

TRaceInput TAutopilot::HumanKeys(const TRace& race) {
  const TPlayer& player = *race.Player;
  if (!memory_) memory_ = std::make_unique<THumanMemory>();  // once, on the human rider's first frame
  THumanMemory& mem = *memory_;
  if (&race != mem.Race || race.Level != mem.Level) {
    mem.Race = &race;
    mem.Level = race.Level;
    mem.Glances = 0;
    mem.Held = TRaceInput{};
    mem.HeldFor.fill(HumanHoldFrames);
    mem.Bends.fill(TBendWarning{});
  }
  // This frame's glance goes into the memory; the decision rests on the one from the reaction
  // time ago (or the oldest, at the start of a level), reckoned on by the keys pressed since.
  const int64_t now = mem.Glances++;
  mem.Glance[now % THumanMemory::Slots] = GlanceAt(race, player);
  const int64_t seen = std::max<int64_t>(0, now - ReactionFrames());
  const THumanGlance& g = mem.Glance[seen % THumanMemory::Slots];

  RememberBends(mem, g);

  const TVehicleModel& m = player.Model();
  const TRoadSight road{race, g.FirstSeenRow, mem.Bends};
  TRehearsedBike reckoned(g.State, g.X, g.Y);
  for (int64_t f = seen; f < now; ++f) reckoned.Ride(m, mem.Glance[f % THumanMemory::Slots].Keys);
  TBikeState state = reckoned.State;
  state.Speed = std::max(0.0, state.Speed);
  const TBikeView bike{reckoned.X, reckoned.Y, state.HeadingAcc / 2, state.Speed};

  // The rivals seen then, foreseen by the riders' rules from where they were.
  TRivalPaths rivals;
  const int lag = static_cast<int>(now - seen);
  const double bikeStep = PixelsPerFrame(m, bike.Speed);
  for (int k = 0; k < g.RivalsSeen && race.Traffic != nullptr; ++k) {
    std::array<TPointF, kMaxRehearsalFrames + THumanMemory::Slots> path;
    const int frames = lag + RehearsalFrames();
    race.Traffic->Forecast(g.Rivals[k], frames, path.data());
    const TPointF at = lag > 0 ? path[lag - 1] : TPointF{g.Rivals[k].X, g.Rivals[k].Y};
    const double step = PixelsPerFrame(VehicleModel(g.Rivals[k].Model), g.Rivals[k].Speed);
    if (TRivalPath* p = AddRival(rivals, road, bike, bikeStep, TSeenRival{at.X, at.Y, step})) {
      std::copy(path.begin() + lag, path.begin() + frames, p->At.begin());
    }
  }
  const TRaceInput keys = HoldKeys(Decide(TSituation{road, m, bike, HullOf(player), state, rivals}, SpeedCap));
  mem.Glance[now % THumanMemory::Slots].Keys = keys;
  return keys;
}

// Each key keeps its state for HumanHoldFrames frames after it changed; a key goes down only
// while the opposite one is up.
TRaceInput TAutopilot::HoldKeys(const TRaceInput& wanted) {
  THumanMemory& mem = *memory_;
  bool* const heldKeys[4] = {&mem.Held.Left, &mem.Held.Right, &mem.Held.Up, &mem.Held.Down};
  const bool wantedKeys[4] = {wanted.Left, wanted.Right, wanted.Up, wanted.Down};
  for (int k = 0; k < 4; ++k) {
    ++mem.HeldFor[k];
    const bool opposite = *heldKeys[k ^ 1];
    if (wantedKeys[k] != *heldKeys[k] && mem.HeldFor[k] >= HumanHoldFrames && !(wantedKeys[k] && opposite)) {
      *heldKeys[k] = wantedKeys[k];
      mem.HeldFor[k] = 0;
    }
  }
  return mem.Held;
}
