// The player's bike: creation, the driving rates, the controls, steering, the lean pictures, the
// engine and horn sounds, and the values the race screen takes from the bike every frame.
#include "race/player.h"

#include <algorithm>
#include <cmath>

#include "audio/audio.h"

// ---------------------------------------------------------------------------------------------
// Rates
// ---------------------------------------------------------------------------------------------

double TopSpeedFactor(const TVehicleModel& m) { return m.TopSpeedRating / 11.0 / 10.0 + 0.9; }

double AccelRate(const TVehicleModel& m, double speed) {
  if (speed <= 0) return 0.3;
  return std::min(0.3, (3.0 * m.AccelRating + 80) / (speed * std::sqrt(2 * speed)));
}

double BrakeDecel(const TVehicleModel& m) { return (11 - m.BrakeRating) / 40.0 + 0.25; }

double SteerRate(const TVehicleModel& m, double speed) {
  if (speed > 0) return std::min(0.8, 1000 / (speed * std::sqrt(speed * (4 - m.HandlingRating / 10.0))));
  return std::min(0.8, -speed / 5);
}

double CoastDecel(const TVehicleModel& m, double speed) {
  if (speed <= 0) return 0;
  return std::max(0.05, (0.3 - AccelRate(m, speed)) / 2);
}

double PixelsPerFrame(const TVehicleModel& m, double speed) { return TopSpeedFactor(m) * speed / 16; }

double TopSpeed(const TVehicleModel& m) { return 160 * TopSpeedFactor(m); }

// ---------------------------------------------------------------------------------------------
// The bike model
// ---------------------------------------------------------------------------------------------

namespace {

// Leans to `side`: a new side starts at the lean picture's upright end, upright is frame 0.
void LeanTo(TBikeState& b, int side) {
  if (b.Lean == side) return;
  b.Lean = side;
  b.LeanFrame = side != 0 ? UprightLeanFrame : 0;
}

void DeepenLean(TBikeState& b, double depth, double rate) {
  b.LeanFrame = std::max(b.LeanFrame - rate * SpeedFactor * 0.5, std::max(0.0, UprightLeanFrame - depth));
}

void RecoverLean(TBikeState& b, double rate) {
  b.LeanFrame = std::min(b.LeanFrame + rate * SpeedFactor * 0.5, UprightLeanFrame);
}

// A held steering key leans the bike to its side (-1 left, 1 right), deeper once the heading has
// turned more than 5 units since the key went down.
void LeanWithKey(TBikeState& b, bool prevHeld, int side) {
  if (!prevHeld) b.LeanStartHeading = b.Heading;
  LeanTo(b, side);
  if (std::fabs(b.Heading - b.LeanStartHeading) > 5) DeepenLean(b, b.Speed / 35, 0.15);
}

// Turns the heading by the steering rate, the way the bike rolls (backwards the other way).
void Steer(TBikeState& b, const TVehicleModel& m, int side) {
  const double sign = b.ScrollSpeed > 0 ? 1 : b.ScrollSpeed < 0 ? -1 : 0;
  b.HeadingAcc = std::clamp(b.HeadingAcc + side * sign * SteerRate(m, b.Speed) * SpeedFactor, -128.0, 128.0);
}

}  // namespace

void LeanBike(TBikeState& b, const TRaceInput& held) {
  if (b.Finished) {
    RecoverLean(b, 0.2);
    if (b.LeanFrame == UprightLeanFrame) LeanTo(b, 0);
    const double step = 1.0 * SpeedFactor;
    b.HeadingAcc = b.HeadingAcc > 0 ? std::max(0.0, b.HeadingAcc - step) : std::min(0.0, b.HeadingAcc + step);
    b.Heading = RoundHalfEven(b.HeadingAcc / 2);
  } else if (b.Speed < 5) {
    LeanTo(b, 0);
  } else if (held.Left && b.Lean != 1) {
    LeanWithKey(b, b.PrevSteerLeft, -1);
  } else if (held.Right && b.Lean != -1) {
    LeanWithKey(b, b.PrevSteerRight, 1);
  } else if (b.LeanFrame == UprightLeanFrame) {
    LeanTo(b, 0);
  } else if (b.Lean != 0) {
    RecoverLean(b, 0.2);
  }
  b.PrevSteerLeft = b.Controls.Left;
  b.PrevSteerRight = b.Controls.Right;
}

void WorkControls(TBikeState& b, const TVehicleModel& m) {
  const TRaceInput& c = b.Controls;
  if (!c.Space) {
    if (c.Left) Steer(b, m, -1);
    if (c.Right) Steer(b, m, 1);
  }
  b.Decel = c.Down ? BrakeDecel(m) : 0;
  if (!c.Up && !c.Down) b.Decel = CoastDecel(m, b.Speed);
  if (c.Space) {
    if (b.Speed > 0) b.Decel = 0.6;
    if (b.Speed < 0) b.Decel = -0.6;
  }
  if (c.Up && !c.Down) {
    if (b.Speed <= TopSpeed(m)) b.Speed += AccelRate(m, b.Speed) * SpeedFactor;
    else b.Decel = CoastDecel(m, b.Speed);
  }
  if (!b.OnRoad && b.Speed > 80) b.Decel = 0.5;
}

void IntegrateSpeed(TBikeState& b, const TVehicleModel& m) {
  b.Speed -= b.Decel * SpeedFactor;
  if (b.Speed > 0 && b.Speed < 0.1) b.Speed = 0;
  if (b.Speed < -8) b.Speed = -8;
  if (b.Controls.Space && b.Speed > -1 && b.Speed < 1) b.Speed = 0;
  b.ScrollSpeed = TopSpeedFactor(m) * b.Speed / 8;
}

void RideBikeFrame(TBikeState& b, const TVehicleModel& m, const TRaceInput& input) {
  LeanBike(b, input);
  WorkControls(b, m);
  b.Heading = RoundHalfEven(b.HeadingAcc / 2);
  IntegrateSpeed(b, m);
  b.Controls = input;
}

TPointF BikeVelocity(const TBikeState& b) {
  const double a = b.Heading * AngleToRadians;
  return TPointF{std::sin(a) * b.ScrollSpeed, -std::cos(a) * b.ScrollSpeed};
}

// ---------------------------------------------------------------------------------------------
// Sounds
// ---------------------------------------------------------------------------------------------

namespace {

constexpr int kEngineSounds[] = {sndIdle, sndGear1, sndGear2, sndGear3, sndGear4, sndGearShift, sndRollOff, sndTopEnd, sndSkid};
constexpr int kOtherRaceSounds[] = {sndHorn, sndScoreBonus, sndLifeBonus, sndUnused, sndBump};

TEngineSound EngineStateOf(int sound) {
  switch (sound) {
    case sndIdle: return TEngineSound::Idle;
    case sndGear1: case sndGear2: case sndGear3: case sndGear4: return TEngineSound::Gear;
    case sndGearShift: return TEngineSound::Shift;
    case sndRollOff: return TEngineSound::RollOff;
    case sndSkid: return TEngineSound::Skid;
    case sndTopEnd: return TEngineSound::Top;
    default: return TEngineSound::None;
  }
}

// The gear bands of the engine sound, in multiples of the top-speed factor: within (Low, High]
// under throttle, the sound Sound plays unless the engine is already in State.
struct TGearBand {
  double Low, High;
  TEngineSound State;
  int Sound;
};

constexpr TGearBand kGearBands[] = {
    {0, 65, TEngineSound::Gear, sndGear1},     {65, 67, TEngineSound::Shift, sndGearShift},
    {67, 90, TEngineSound::Gear, sndGear2},    {95, 97, TEngineSound::Shift, sndGearShift},
    {97, 115, TEngineSound::Gear, sndGear3},   {115, 116, TEngineSound::Shift, sndGearShift},
    {116, 130, TEngineSound::Gear, sndGear4},  {130, 131, TEngineSound::Shift, sndGearShift},
    {131, 142, TEngineSound::Gear, sndGear4},  {142, 143, TEngineSound::Shift, sndGearShift},
    {143, 157, TEngineSound::Gear, sndGear4},  {157, 180, TEngineSound::Top, sndTopEnd},
};

// The shift band whose crossing chirps and leaves a mark.
constexpr double kFirstShiftLow = 65;

// The throttle sound of the gear band `speed` lies in (the fourth gear's outside them), for a
// model of top speed factor m.
int GearSoundAt(double speed, double m) {
  for (const TGearBand& band : kGearBands)
    if (band.State == TEngineSound::Gear && speed > band.Low * m && speed <= band.High * m) return band.Sound;
  return sndGear4;
}

}  // namespace

const char* EngineSoundName(TEngineSound s) {
  switch (s) {
    case TEngineSound::Idle: return "idle";
    case TEngineSound::Gear: return "gear";
    case TEngineSound::Shift: return "shift";
    case TEngineSound::RollOff: return "rolloff";
    case TEngineSound::Skid: return "skid";
    case TEngineSound::Top: return "top";
    case TEngineSound::None: break;
  }
  return "none";
}

void StopEngineSounds(bool all) {
  for (const int s : kEngineSounds) StopSound(s);
  if (all)
    for (const int s : kOtherRaceSounds) StopSound(s);
}

void TPlayer::PlayEngineSound(int n) {
  StopEngineSounds(false);
  PlaySound(n);
  EngineSound = EngineStateOf(n);
}

void TPlayer::ResumeEngineSound(bool withHorn) const {
  switch (EngineSound) {
    case TEngineSound::Top: PlaySound(sndTopEnd); break;
    case TEngineSound::Idle: PlaySound(sndIdle); break;
    case TEngineSound::Gear: PlaySound(GearSoundAt(Speed, TopSpeedFactor())); break;
    case TEngineSound::Shift: PlaySound(sndGearShift); break;
    case TEngineSound::RollOff: PlaySound(sndRollOff); break;
    case TEngineSound::Skid: PlaySound(sndSkid); break;
    case TEngineSound::None: break;
  }
  if (withHorn && HornOn) PlaySound(sndHorn);
}

void TPlayer::UpdateEngineSound() {
  ForceMark = false;
  if (!OnRoad) {
    if (EngineSound != TEngineSound::Idle) PlayEngineSound(sndIdle);
    return;
  }
  const double m = TopSpeedFactor();
  const double s = Speed;
  if (Controls.Up && !Controls.Space && !Controls.Down) {
    for (const TGearBand& band : kGearBands) {
      if (s > band.Low * m && s <= band.High * m && EngineSound != band.State) {
        PlayEngineSound(band.Sound);
        if (band.Low == kFirstShiftLow) {
          PlaySound(sndShiftChirp);
          ForceMark = true;
        }
      }
    }
  }
  if ((!Controls.Up && !Controls.Space) || (Controls.Up && Controls.Down)) {
    if (s > 40 && EngineSound != TEngineSound::RollOff) PlayEngineSound(sndRollOff);
    if (s <= 40 && EngineSound != TEngineSound::Idle) PlayEngineSound(sndIdle);
  }
  if (Controls.Space && EngineSound != TEngineSound::Skid && s != 0) PlayEngineSound(sndSkid);
  if (EngineSound == TEngineSound::Skid && s == 0) PlayEngineSound(sndIdle);
}

// ---------------------------------------------------------------------------------------------
// Creation
// ---------------------------------------------------------------------------------------------

TPlayer::TPlayer(TRace& race, int model) : TMyImageSprite(2), Race(race), ModelNo(model) {
  PlaceAt(Model().UprightImage, 400, 400, 12);
  const double halfW = Width / 2.0, halfH = Height / 2.0;
  MarkRadius = std::sqrt(halfH * halfH + halfW * halfW) - 25;
  CenterX = halfW + X;
  CenterY = halfH + Y;
  const double halfHull = Model().HullWidth / 2.0;
  HullRadius = std::sqrt(halfH * halfH + halfHull * halfHull);
  HullAngle = std::atan(halfHull / halfH) / (2 * M_PI) * 256;
}

// ---------------------------------------------------------------------------------------------
// Controls and speed
// ---------------------------------------------------------------------------------------------

void TPlayer::ReadControls() {
  if (Controls.Horn) {
    if (!HornOn) {
      HornOn = true;
      PlaySound(sndHorn);
    }
  } else {
    HornOn = false;
    StopSound(sndHorn);
  }
  WorkControls(*this, Model());
}

// ---------------------------------------------------------------------------------------------
// Lean
// ---------------------------------------------------------------------------------------------

namespace {

int LeanImage(const TVehicleModel& m, int side) {
  return side < 0 ? m.LeanLeftImage : side > 0 ? m.LeanRightImage : m.UprightImage;
}

}  // namespace

void TPlayer::ShowLeanPicture() {
  SelectImage(LeanImage(Model(), Lean));
  FramePos = LeanFrame;
}

void TPlayer::UpdateLean() {
  LeanFrame = FramePos;
  const int32_t side = Lean;
  LeanBike(*this, Input);
  if (Lean != side) SelectImage(LeanImage(Model(), Lean));
  FramePos = LeanFrame;
}

TBikeState TPlayer::BikeState() const {
  TBikeState state = *this;
  state.LeanFrame = FramePos;
  return state;
}

// ---------------------------------------------------------------------------------------------
// What the race screen reads
// ---------------------------------------------------------------------------------------------

int TPlayer::NeedleAngle() const {
  const int angle = std::max(28, RoundHalfEven(0.76875 * Speed + 28));
  return EngineSound == TEngineSound::Shift ? angle - 1 : angle;
}

void TPlayer::SetScrollVelocity() const {
  const TPointF v = BikeVelocity(*this);
  Race.ScrollVX = -v.X;
  Race.ScrollVY = -v.Y;
}
