// The rival riders: placing them for a level, their driving (road following, lane and speed
// changes, sensing the bike and each other, steering, leaning, speed by road shape), their
// crashes against roadside tiles and their return to the road.
#include <algorithm>
#include <cmath>

#include "audio/audio.h"
#include "race/player.h"

namespace {

constexpr int32_t kRivalCrashMs = 1000;
constexpr int32_t kFirstTimerMs = 5000;
constexpr int32_t kAvoidMs = 200;
constexpr double kCrashDecel = 0.8;
constexpr double kMaxLean = 6.5;
constexpr double kShiftDirection = 18.89;  // heading of a diagonal road, angle units
constexpr double kHeadingLeeway = 16;
constexpr double kSteerDeadBand = 2;
constexpr double kSenseRangeY = 200;
constexpr int kStopRowsPastFinish = 100;

// Where each rival starts, relative to the start view's top-left in world pixels, and from which
// level it races.
struct TRivalStart {
  bool (*RacesOn)(int level);
  double X, Y, LaneOffset;
};
constexpr std::array<TRivalStart, RivalCount + 1> RivalStarts{{
    {nullptr, 0, 0, 0},
    {[](int level) { return level % 2 == 1 || level > 4; }, 288, 400, -30},
    {[](int level) { return level > 1; }, 402, 238, 60},
    {[](int level) { return level > 1; }, 288, 238, -30},
    {[](int level) { return level > 4; }, 402, 64, 60},
    {[](int level) { return level > 4; }, 288, 64, -30},
}};

// A point at distance d from (x, y) in direction h (angle units).
TPointF PointAt(double x, double y, double h, double d) {
  const double a = h * AngleToRadians;
  return TPointF{x + std::sin(a) * d, y - std::cos(a) * d};
}

// Counts a rider's change timer down one frame; once it has run out, rearms it for the next
// random change (4 to 6.7 seconds on) and says that a change is due.
bool ChangeDue(int32_t& timer) {
  if (timer > 0) {
    timer -= FrameTimeMs;
    return false;
  }
  timer = 4000 + 300 * RandInt(10);
  return true;
}

double Sign(double v) { return v > 0 ? 1 : (v < 0 ? -1 : 0); }

// The row a rider at world y looks at to steer, LookAhead rows further than the nearest.
int LookRowAt(double y, int lookAhead) { return RoundHalfEven(y) / CellSize - 5 - lookAhead; }

// How far (angle units) `heading` from (x, y) is off the line to the road's centre plus `lane` at
// row `lookRow`; 0 when that row lies off the map.
double LaneHeadingError(const TRace& race, double x, double y, double heading, double lane, int lookRow) {
  if (lookRow < 1 || lookRow > TrackRows) return 0;
  const double target = std::atan((race.RoadCenterX[lookRow] + lane - x) / (y - lookRow * CellSize)) / AngleToRadians;
  return target - heading;
}

// The heading of the road on rows of `shape` (angle units).
double RoadHeading(uint8_t shape) {
  return shape == segShiftLeft ? -kShiftDirection : (shape == segShiftRight ? kShiftDirection : 0);
}

// A rider's speed after its throttle for a frame, looking at a row of `lookShape`: full throttle
// on straights and shifts; on marked straights and straightening rows only up to 130.
double SpeedAfterThrottle(const TVehicleModel& m, double speed, uint8_t lookShape) {
  const bool fullThrottle = lookShape == segStraight || lookShape == segShiftLeft || lookShape == segShiftRight;
  if ((fullThrottle || speed <= 130) && speed <= TopSpeed(m)) speed += AccelRate(m, speed) * SpeedFactor;
  return speed;
}

// The brake a rider at `speed` applies looking at a row of `lookShape`: above 130 on marked
// straights and straightening rows.
double BrakeFor(const TVehicleModel& m, double speed, uint8_t lookShape) {
  return (lookShape == segMarked || lookShape == segStraighten) && speed > 130 ? BrakeDecel(m) : 0;
}

int Trunc(double v) { return static_cast<int>(std::trunc(v)); }

}  // namespace

TCar::TCar(TRace& race) : TMyImageSprite(2), Race(race) {
  PlaceAt(0, 0, 0, 9);
  ResetRivals();
}

double TCar::RoadX() const { return Race.Road != nullptr ? Race.Road->X : 0; }
double TCar::RoadY() const { return Race.Road != nullptr ? Race.Road->Y : 0; }

void TCar::ResetRivals() {
  Racing = {};
  Model = {};
  CurrentImage = {};
  PosX = PosY = Heading = ScrollSpeed = Speed = Decel = {};
  InView = {};
  Lean = LeanFrame = CenterX = CenterY = {};
  Hull = {};
  FrontSensorA = FrontSensorB = LeftSensor = RightSensor = {};
  LaneOffset = {};
  Touching = {};
  Contacts = {};
  Crashed = {};
  CrashTimer = {};
  Turning = {};
  TurnStartHeading = LeanHold = {};
  Avoiding = {};
  AvoidTimer = LookAhead = SpeedDelta = {};
  LaneTimer.fill(kFirstTimerMs);
  SpeedTimer.fill(kFirstTimerMs);
  for (int n = 1; n <= RivalCount; ++n) {
    const TRivalStart& start = RivalStarts[n];
    if (!start.RacesOn(Race.Level)) continue;
    Racing[n] = true;
    Model[n] = static_cast<uint8_t>(1 + RandInt(VehicleModelCount));
    CurrentImage[n] = VehicleModel(Model[n]).UprightImage;
    PosX[n] = Race.ViewCol * CellSize + start.X;
    PosY[n] = Race.ViewRow * CellSize + start.Y;
    LaneOffset[n] = start.LaneOffset;
    InView[n] = true;
  }
  Step(1);
}

void TCar::Crash(int n) {
  if (n < 1 || n > RivalCount) return;
  Crashed[n] = true;
  CurrentImage[n] = VehicleModel(Model[n]).CrashImage;
  LeanFrame[n] = 0;
  CrashTimer[n] = kRivalCrashMs;
  PlaySoundAt(sndCrash, PanOfScreenX(CenterX[n] - Race.ViewCol * CellSize + RoadX()));
}

// The right road edge is an empty shoulder cell right of a road tile, or a marked or displaced
// right shoulder; the rider goes three cells left of it, the left inner lane of the four lanes.
// Rows off the map hold no edge.
void TCar::ReturnToRoad(int n) {
  if (n < 1 || n > RivalCount) return;
  const TVehicleModel& m = VehicleModel(Model[n]);
  Crashed[n] = false;
  Contacts[n] = 0;
  CurrentImage[n] = m.UprightImage;
  LeanFrame[n] = 0;
  const int b = Trunc(CenterY[n] / CellSize);
  for (int q = b - 1; q <= b + 1; ++q) {
    for (int c = TrackColumns - 1; c >= 1; --c) {
      const int t = Race.TrackCode(q, c);
      const bool edge = (t == tileGround && Race.IsRoadTile((c - 1) * CellSize, q * CellSize)) || IsRightRoadEdge(t);
      if (!edge) continue;
      Heading[n] = t == tileShiftRightRightShoulder ? kShiftDirection : (t == tileShiftLeftRightShoulder ? -kShiftDirection : 0);
      PosY[n] = q * CellSize;
      PosX[n] = (c - 3) * CellSize;
      break;
    }
  }
}

void TCar::PlaceHull(int n) {
  const TVehicleModel& m = VehicleModel(Model[n]);
  CenterX[n] = PosX[n] + m.RiderDrawWidth / 2.0;
  CenterY[n] = PosY[n] + m.RiderDrawHeight / 2.0;
  Hull[n] = HullQuad(CenterX[n], CenterY[n], Heading[n], m.ModelHullRadius * m.HullScale, m.ModelHullAngle);
}

void TCar::PlaceSensors(int n) {
  const double x = CenterX[n], y = CenterY[n], h = Heading[n];
  FrontSensorA[n] = PointAt(x, y, h - 2, 60);
  FrontSensorB[n] = PointAt(x, y, h + 2, 60);
  LeftSensor[n] = PointAt(x, y, h - 32, 28);
  RightSensor[n] = PointAt(x, y, h + 32, 28);
}

void TCar::HitObstacles() {
  for (int n = 1; n <= RivalCount; ++n) {
    if (!Racing[n] || Crashed[n]) continue;
    if (!Race.WorldObstacleHitsQuad(CenterX[n], CenterY[n], Hull[n])) continue;
    Contacts[n] = 2;
    Crash(n);
  }
}

void TCar::Step(int elapsed) {
  TMyImageSprite::Step(elapsed);
  for (int n = 1; n <= RivalCount; ++n) {
    if (Racing[n]) StepRival(n);
  }
  SoundEngines();
}

namespace {

// Rivals are heard within this distance of the bike (screen pixels), louder the nearer.
constexpr double kEngineHearing = 360;
constexpr double kEngineGain = 0.35;
// Each model's engine a little off the bike's own pitch, by model 1 .. 5: two bikes at one speed
// sound as two engines, not as one beating.
constexpr double kModelPitch[] = {1, 0.88, 0.93, 1.07, 1.12, 0.83};

}  // namespace

void TCar::SoundEngines() const {
  if (Race.Player == nullptr) return;
  const TPlayer& bike = *Race.Player;
  const double dx = RoadX() - Race.ViewCol * CellSize, dy = RoadY() - Race.ViewRow * CellSize;
  // The nearest running rivals, nearest first, one a voice.
  std::array<int, RivalEngineVoices> nearest{};
  std::array<double, RivalEngineVoices> distance{};
  distance.fill(kEngineHearing);
  for (int n = 1; n <= RivalCount; ++n) {
    if (!Racing[n] || Crashed[n]) continue;
    const double d = std::hypot(CenterX[n] + dx - bike.CenterX, CenterY[n] + dy - bike.CenterY);
    for (int k = 0; k < RivalEngineVoices; ++k) {
      if (d >= distance[k]) continue;
      for (int j = RivalEngineVoices - 1; j > k; --j) {
        distance[j] = distance[j - 1];
        nearest[j] = nearest[j - 1];
      }
      distance[k] = d;
      nearest[k] = n;
      break;
    }
  }
  for (int k = 0; k < RivalEngineVoices; ++k) {
    const int n = nearest[k];
    if (n == 0) {
      StopRivalEngine(k);
      continue;
    }
    const TVehicleModel& model = VehicleModel(Model[n]);
    const int sound = EngineSoundOfSpeed(Speed[n], model);
    const double nearness = 1 - distance[k] / kEngineHearing;
    const double pitch = kModelPitch[Model[n] < std::size(kModelPitch) ? Model[n] : 0];
    SoundRivalEngine(k, sound, TVoiceSettings{static_cast<float>(pitch * EngineRate(sound, Speed[n], model)),
                                              static_cast<float>(kEngineGain * nearness * nearness),
                                              static_cast<float>(PanOfScreenX(CenterX[n] + dx))});
  }
}

void TCar::StepRival(int n) {
  const TPointF origin = Race.ScreenOrigin();
  const double left = origin.X, top = origin.Y;
  InView[n] = left <= PosX[n] && PosX[n] <= left + 936 && top - 144 <= PosY[n] && PosY[n] <= top + 864;

  const double moved = ScrollSpeed[n] * 0.5 * SpeedFactor;
  const double h = Heading[n] * AngleToRadians;
  PosX[n] += std::sin(h) * moved;
  PosY[n] -= std::cos(h) * moved;
  PlaceHull(n);
  PlaceSensors(n);
  RunLaneTimer(n);
  RunSpeedTimer(n);

  TSensed sensed;
  if (!Crashed[n]) {
    double turnRate = 1, offsetStep = 6;
    sensed = Sense(n, turnRate, offsetStep);
    React(n, sensed, turnRate, offsetStep);
  }
  RememberAvoiding(n, sensed);
  if (LaneOffset[n] > 90) LaneOffset[n] = 60;
  if (LaneOffset[n] < -80) LaneOffset[n] = -30;

  const int row = RoundHalfEven(CenterY[n]) / CellSize;
  const int lookRow = LookRowAt(CenterY[n], LookAhead[n]);
  const double error = SteeringError(n, lookRow);
  const uint8_t lookShape = Race.RowShapeAt(lookRow);
  if (lookShape != segStraight && lookShape != segStraighten) LookAhead[n] = 0;
  if (!Crashed[n] && ScrollSpeed[n] > 0) Steer(n, error);
  if (!Crashed[n]) {
    UpdateLean(n);
    UpdatePicture(n);
  }
  if (Crashed[n]) {
    RunCrash(n);
  } else {
    ControlSpeed(n, lookRow);
  }
  LimitHeading(n, row);

  const TVehicleModel& m = VehicleModel(Model[n]);
  Speed[n] -= Decel[n] * SpeedFactor;
  ScrollSpeed[n] = TopSpeedFactor(m) * Speed[n] / 8;
  if (CenterY[n] < (FinishRowOf(Race.TrackLength) - kStopRowsPastFinish) * CellSize) Speed[n] = ScrollSpeed[n] = 0;
}

void TCar::RunLaneTimer(int n) {
  if (!ChangeDue(LaneTimer[n]) || Avoiding[n]) return;
  LaneOffset[n] += RandInt(100) - 50;
  LookAhead[n] = RandInt(3);
}

// A negative change is applied a second time rather than taken back, so the riders drift slower.
void TCar::RunSpeedTimer(int n) {
  if (!ChangeDue(SpeedTimer[n]) || Avoiding[n]) return;
  if (SpeedDelta[n] > 0) {
    Speed[n] -= SpeedDelta[n];
  } else {
    Speed[n] += SpeedDelta[n];
  }
  SpeedDelta[n] = RandInt(10) - 5;
  Speed[n] += SpeedDelta[n];
}

// The bike ahead is seen only by a rider faster than it; the bike at a side and the other riders
// near it are always seen. A rider closing on the bike turns away harder.
TCar::TSensed TCar::Sense(int n, double& turnRate, double& offsetStep) const {
  TSensed s;
  if (const TPlayer* bike = Race.Player; bike != nullptr) {
    const TPointF origin = Race.ScreenOrigin();
    const double dx = -origin.X, dy = -origin.Y;
    const auto onBike = [&](const TPointF& p) { return PointInQuad(TPointF{p.X + dx, p.Y + dy}, bike->Hull); };
    if (ScrollSpeed[n] > bike->ScrollSpeed) s.Front = onBike(FrontSensorA[n]) || onBike(FrontSensorB[n]);
    s.Left = onBike(LeftSensor[n]);
    s.Right = !s.Left && onBike(RightSensor[n]);
  }
  turnRate = s.Front ? 3 : 1;
  offsetStep = s.Front ? 8 : 6;
  for (int m = 1; m <= RivalCount; ++m) {
    if (m == n || !Racing[m] || std::abs(CenterY[m] - CenterY[n]) >= kSenseRangeY) continue;
    if (PointInQuad(FrontSensorA[n], Hull[m])) s.Front = true;
    if (PointInQuad(FrontSensorB[n], Hull[m])) {
      s.Front = true;
    } else if (PointInQuad(LeftSensor[n], Hull[m])) {
      s.Left = true;
    } else if (PointInQuad(RightSensor[n], Hull[m])) {
      s.Right = true;
    }
  }
  return s;
}

void TCar::React(int n, const TSensed& sensed, double turnRate, double offsetStep) {
  if (sensed.Front) {
    const double side = LaneOffset[n] > 0 ? -1 : 1;  // toward the road's centre line
    Heading[n] += side * turnRate * SpeedFactor;
    LaneOffset[n] += side * offsetStep;
  } else if (sensed.Left) {
    Heading[n] += 2 * SpeedFactor;
    LaneOffset[n] += 6;
  }
  if (sensed.Right) {
    Heading[n] -= 2 * SpeedFactor;
    LaneOffset[n] -= 6;
  }
}

void TCar::RememberAvoiding(int n, const TSensed& sensed) {
  if (sensed.Front || sensed.Left || sensed.Right) {
    Avoiding[n] = true;
    AvoidTimer[n] = kAvoidMs;
  } else if (AvoidTimer[n] <= 0) {
    Avoiding[n] = false;
  } else {
    AvoidTimer[n] -= FrameTimeMs;
  }
}

// How far (angle units) the heading is off the line to the road's centre, plus the rider's own
// offset, at the look-ahead row; 0 while avoiding or when that row lies off the map.
double TCar::SteeringError(int n, int lookRow) const {
  return Avoiding[n] ? 0 : LaneHeadingError(Race, CenterX[n], CenterY[n], Heading[n], LaneOffset[n], lookRow);
}

void TCar::Steer(int n, double error) {
  if (std::abs(error) <= kSteerDeadBand) {
    Turning[n] = false;
    return;
  }
  if (!Turning[n]) {
    TurnStartHeading[n] = Heading[n];
    Turning[n] = true;
  }
  LeanHold[n] = 10;
  const double g = Sign(ScrollSpeed[n]) * SteerRate(VehicleModel(Model[n]), Speed[n]) * 2 * SpeedFactor;
  Heading[n] += error > 0 ? g : -g;
}

void TCar::UpdateLean(int n) {
  if (Turning[n]) {
    const double turned = Heading[n] - TurnStartHeading[n];
    Lean[n] = std::clamp(Lean[n] + Sign(turned) * 0.6 * SpeedFactor, -kMaxLean, kMaxLean);
  } else if (LeanHold[n] > 0) {
    LeanHold[n] -= 1;
  } else if (Lean[n] > 0) {
    Lean[n] = std::max(0.0, Lean[n] - 0.3 * SpeedFactor);
  } else if (Lean[n] < 0) {
    Lean[n] = std::min(0.0, Lean[n] + 0.3 * SpeedFactor);
  }
}

void TCar::UpdatePicture(int n) {
  const TVehicleModel& m = VehicleModel(Model[n]);
  const bool leaning = std::abs(Lean[n]) > 1;
  CurrentImage[n] = Lean[n] > 1 ? m.LeanRightImage : (Lean[n] < -1 ? m.LeanLeftImage : m.UprightImage);
  LeanFrame[n] = leaning ? kMaxLean - std::abs(Lean[n]) : 0;
}

// The crashed rider slides to a stop with its crash animation, lies still, then stands up.
void TCar::RunCrash(int n) {
  const double lastFrame = VehicleModel(Model[n]).CrashFrameCount - 1;
  LeanFrame[n] = std::min(lastFrame, LeanFrame[n] + SpeedFactor * 200 / std::max(FrameTimeMs, 1) / 100);
  Decel[n] = kCrashDecel;
  if (Speed[n] <= 10) LeanFrame[n] = lastFrame;
  if (Speed[n] > 0) return;
  Decel[n] = Speed[n] = ScrollSpeed[n] = 0;
  if (CrashTimer[n] > 0) {
    CrashTimer[n] -= FrameTimeMs;
  } else {
    ReturnToRoad(n);
  }
}

// The throttle, then the brake that the step applies, by the row the rider looks at.
void TCar::ControlSpeed(int n, int lookRow) {
  const TVehicleModel& m = VehicleModel(Model[n]);
  const uint8_t shape = Race.RowShapeAt(lookRow);
  Speed[n] = SpeedAfterThrottle(m, Speed[n], shape);
  Decel[n] = BrakeFor(m, Speed[n], shape);
}

void TCar::LimitHeading(int n, int row) {
  const double road = RoadHeading(Race.RowShapeAt(row));
  Heading[n] = std::clamp(Heading[n], road - kHeadingLeeway, road + kHeadingLeeway);
}

void TCar::Forecast(int n, int frames, TPointF* path) const {
  Forecast(TRiderSeen{CenterX[n], CenterY[n], Heading[n], Crashed[n] ? 0 : Speed[n], Model[n]}, frames, path);
}

void TCar::Forecast(const TRiderSeen& seen, int frames, TPointF* path) const {
  const TVehicleModel& m = VehicleModel(seen.Model);
  double x = seen.X, y = seen.Y, heading = seen.Heading, speed = seen.Speed;
  // The lane it steers for: where its heading meets its look-ahead row.
  double lane = 0;
  if (const int r = LookRowAt(y, 0); r >= 1 && r <= TrackRows) {
    lane = x + std::tan(heading * AngleToRadians) * (y - r * CellSize) - Race.RoadCenterX[r];
  }
  lane = std::clamp(lane, -80.0, 90.0);
  for (int f = 0; f < frames; ++f) {
    const double moved = PixelsPerFrame(m, speed) * SpeedFactor, h = heading * AngleToRadians;
    x += std::sin(h) * moved;
    y -= std::cos(h) * moved;
    path[f] = TPointF{x, y};
    if (speed <= 0) continue;
    const int look = LookRowAt(y, 0), row = look + 5;
    const double error = LaneHeadingError(Race, x, y, heading, lane, look);
    if (std::abs(error) > kSteerDeadBand) heading += Sign(error) * SteerRate(m, speed) * 2 * SpeedFactor;
    const uint8_t shape = Race.RowShapeAt(look);
    speed = SpeedAfterThrottle(m, speed, shape);
    speed -= BrakeFor(m, speed, shape) * SpeedFactor;
    const double road = RoadHeading(Race.RowShapeAt(row));
    heading = std::clamp(heading, road - kHeadingLeeway, road + kHeadingLeeway);
  }
}
