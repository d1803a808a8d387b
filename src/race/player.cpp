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
  if (ThrottleHeld && !HandbrakeHeld && !BrakeHeld) {
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
  if ((!ThrottleHeld && !HandbrakeHeld) || (ThrottleHeld && BrakeHeld)) {
    if (s > 40 && EngineSound != TEngineSound::RollOff) PlayEngineSound(sndRollOff);
    if (s <= 40 && EngineSound != TEngineSound::Idle) PlayEngineSound(sndIdle);
  }
  if (HandbrakeHeld && EngineSound != TEngineSound::Skid && s != 0) PlayEngineSound(sndSkid);
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

void TPlayer::SteerLeft() {
  const double sign = ScrollSpeed > 0 ? 1 : ScrollSpeed < 0 ? -1 : 0;
  HeadingAcc = std::clamp(HeadingAcc - sign * SteerRate() * SpeedFactor, -128.0, 128.0);
}

void TPlayer::SteerRight() {
  const double sign = ScrollSpeed > 0 ? 1 : ScrollSpeed < 0 ? -1 : 0;
  HeadingAcc = std::clamp(HeadingAcc + sign * SteerRate() * SpeedFactor, -128.0, 128.0);
}

void TPlayer::ReadControls() {
  if (HornHeld) {
    if (!HornOn) {
      HornOn = true;
      PlaySound(sndHorn);
    }
  } else {
    HornOn = false;
    StopSound(sndHorn);
  }
  if (!HandbrakeHeld) {
    if (SteerLeftHeld) SteerLeft();
    if (SteerRightHeld) SteerRight();
  }
  Decel = BrakeHeld ? BrakeDecel() : 0;
  if (!ThrottleHeld && !BrakeHeld) Decel = CoastDecel();
  if (HandbrakeHeld) {
    if (Speed > 0) Decel = 0.6;
    if (Speed < 0) Decel = -0.6;
  }
  if (ThrottleHeld && !BrakeHeld) {
    if (Speed <= 160 * TopSpeedFactor()) Speed += AccelRate() * SpeedFactor;
    else Decel = CoastDecel();
  }
  if (!OnRoad && Speed > 80) Decel = 0.5;
}

void TPlayer::IntegrateSpeed() {
  Speed -= Decel * SpeedFactor;
  if (Speed > 0 && Speed < 0.1) Speed = 0;
  if (Speed < -8) Speed = -8;
  if (HandbrakeHeld && Speed > -1 && Speed < 1) Speed = 0;
  ScrollSpeed = TopSpeedFactor() * Speed / 8;
}

// ---------------------------------------------------------------------------------------------
// Lean
// ---------------------------------------------------------------------------------------------

namespace {
constexpr double kUprightFrame = 5.5;
}

void TPlayer::LeanLeft() {
  if (Lean == -1) return;
  SelectImage(Model().LeanLeftImage);
  FramePos = kUprightFrame;
  Lean = -1;
}

void TPlayer::LeanRight() {
  if (Lean == 1) return;
  SelectImage(Model().LeanRightImage);
  FramePos = kUprightFrame;
  Lean = 1;
}

void TPlayer::Upright() {
  if (Lean == 0) return;
  SelectImage(Model().UprightImage);
  FramePos = 0;
  Lean = 0;
}

void TPlayer::DeepenLean(double depth, double rate) {
  FramePos = std::max(FramePos - rate * SpeedFactor * 0.5, std::max(0.0, kUprightFrame - depth));
}

void TPlayer::RecoverLean(double rate) { FramePos = std::min(FramePos + rate * SpeedFactor * 0.5, kUprightFrame); }

// A held steering key leans the bike to its side (-1 left, 1 right), deeper once the heading has
// turned more than 5 units since the key went down.
void TPlayer::LeanWithKey(bool prevHeld, int side) {
  if (!prevHeld) LeanStartHeading = Heading;
  if (side < 0) LeanLeft();
  else LeanRight();
  if (std::fabs(Heading - LeanStartHeading) > 5) DeepenLean(Speed / 35, 0.15);
}

void TPlayer::UpdateLean() {
  if (Finished) {
    RecoverLean(0.2);
    if (FramePos == kUprightFrame) Upright();
    const double step = 1.0 * SpeedFactor;
    HeadingAcc = HeadingAcc > 0 ? std::max(0.0, HeadingAcc - step) : std::min(0.0, HeadingAcc + step);
    Heading = RoundHalfEven(HeadingAcc / 2);
  } else if (Speed < 5) {
    Upright();
  } else if (LeftHeld && Lean != 1) {
    LeanWithKey(PrevSteerLeft, -1);
  } else if (RightHeld && Lean != -1) {
    LeanWithKey(PrevSteerRight, 1);
  } else if (FramePos == kUprightFrame) {
    Upright();
  } else if (Lean != 0) {
    RecoverLean(0.2);
  }
  PrevSteerLeft = SteerLeftHeld;
  PrevSteerRight = SteerRightHeld;
}

// ---------------------------------------------------------------------------------------------
// What the race screen reads
// ---------------------------------------------------------------------------------------------

int TPlayer::NeedleAngle() const {
  const int angle = std::max(28, RoundHalfEven(0.76875 * Speed + 28));
  return EngineSound == TEngineSound::Shift ? angle - 1 : angle;
}

void TPlayer::SetScrollVelocity() const {
  const double a = Heading * AngleToRadians;
  Race.ScrollVX = -std::sin(a) * ScrollSpeed;
  Race.ScrollVY = std::cos(a) * ScrollSpeed;
}
