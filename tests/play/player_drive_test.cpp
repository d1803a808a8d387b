// The bike's driving model: the rates of every model, top speeds, steering limits, the handbrake,
// reversing, off-road drag, the lean pictures and the engine-sound bands.
#include <gtest/gtest.h>

#include "audio/audio.h"
#include "race_fixture.h"

namespace {

struct RateCase {
  int Model;
  double Accel, Steer, Brake, TopFactor;
};

// Model 2's acceleration works out at 89 / (100 x sqrt(200)) = 0.0629325.
TEST(Rates, AtSpeed100MatchTheWorkedExamples) {
  const RateCase cases[] = {
      {1, 0.075660, 0.559017, 0.35, 0.954545},  {2, 0.0629325, 0.527046, 0.325, 1.0},
      {3, 0.073539, 0.542326, 0.275, 0.954545}, {4, 0.077782, 0.534522, 0.3, 0.981818},
      {5, 0.073539, 0.587220, 0.3, 0.972727},
  };
  for (const RateCase& c : cases) {
    SCOPED_TRACE(c.Model);
    const TVehicleModel& m = VehicleModel(c.Model);
    EXPECT_NEAR(AccelRate(m, 100), c.Accel, 1e-6);
    EXPECT_NEAR(SteerRate(m, 100), c.Steer, 1e-6);
    EXPECT_NEAR(BrakeDecel(m), c.Brake, 1e-9);
    EXPECT_NEAR(TopSpeedFactor(m), c.TopFactor, 1e-6);
    EXPECT_NEAR(CoastDecel(m, 100), std::max(0.05, (0.3 - c.Accel) / 2), 1e-6);
  }
}

TEST(Rates, AtAStandstillAndReversing) {
  const TVehicleModel& m = VehicleModel(1);
  EXPECT_EQ(AccelRate(m, 0), 0.3);
  EXPECT_EQ(AccelRate(m, -5), 0.3);
  EXPECT_EQ(SteerRate(m, 0), 0);
  EXPECT_EQ(SteerRate(m, -2), 0.4);
  EXPECT_EQ(SteerRate(m, -8), 0.8);
  EXPECT_EQ(CoastDecel(m, 0), 0);
  EXPECT_EQ(CoastDecel(m, -3), 0);
  EXPECT_EQ(AccelRate(m, 1), 0.3);  // capped at low speed
}

// A place that was never set in the level (0) must not read outside the rank table: it counts as
// the last place among the racers.
TEST(RankBonus, UnsetOrUnknownPlaceCountsAsLast) {
  EXPECT_EQ(RankBonusFor(1, 6), 800);
  EXPECT_EQ(RankBonusFor(3, 4), 400);
  EXPECT_EQ(RankBonusFor(0, 6), 100);
  EXPECT_EQ(RankBonusFor(0, 2), 600);
  EXPECT_EQ(RankBonusFor(0, 0), 800);
  EXPECT_EQ(RankBonusFor(9, 3), 400);
}

class Driving : public RaceGame {
protected:
  // One frame of the driving model alone, on the road.
  void Drive(int frames) {
    for (int i = 0; i < frames; ++i) {
      Bike().OnRoad = true;
      Bike().ReadControls();
      Bike().IntegrateSpeed();
    }
  }
};

TEST_F(Driving, TopSpeedDependsOnTheModel) {
  for (const int model : {1, 2}) {
    SCOPED_TRACE(model);
    TPlayer& bike = Bike();
    bike.ModelNo = model;
    bike.Speed = 0;
    bike.Controls.Up = true;
    double top = 0;
    for (int i = 0; i < 5000; ++i) {
      Drive(1);
      top = std::max(top, bike.Speed);
    }
    const double limit = TopSpeed(bike.Model());
    EXPECT_GT(top, limit);
    EXPECT_LT(top, limit + 0.3);
    EXPECT_NEAR(bike.Speed, limit, 0.3);
  }
  EXPECT_NEAR(TopSpeed(VehicleModel(1)), 152.7272, 1e-4);
  EXPECT_EQ(TopSpeed(VehicleModel(2)), 160);
}

TEST_F(Driving, SteeringNeedsMotionAndStopsAtAQuarterTurn) {
  TPlayer& bike = Bike();
  bike.Controls.Left = true;
  Drive(50);
  EXPECT_EQ(bike.HeadingAcc, 0);

  bike.Controls.Left = false;
  bike.Controls.Right = true;
  bike.Speed = 150;
  bike.Controls.Up = true;
  Drive(3000);
  EXPECT_EQ(bike.HeadingAcc, 128);
  bike.Controls.Right = false;
  bike.Controls.Left = true;
  Drive(3000);
  EXPECT_EQ(bike.HeadingAcc, -128);

  // Rolling backwards turns the other way.
  bike.HeadingAcc = 0;
  bike.Controls.Up = false;
  bike.Speed = -4;
  bike.ScrollSpeed = bike.TopSpeedFactor() * bike.Speed / 8;
  bike.ReadControls();
  EXPECT_GT(bike.HeadingAcc, 0);
}

TEST_F(Driving, HandbrakeIgnoresSteeringAndSnapsSmallSpeedsToZero) {
  TPlayer& bike = Bike();
  bike.Speed = 0.7;
  bike.ScrollSpeed = 1;
  bike.Controls.Space = true;
  bike.Controls.Left = true;
  Drive(1);
  EXPECT_EQ(bike.HeadingAcc, 0);
  EXPECT_EQ(bike.Speed, 0);
  bike.Speed = -0.9;
  Drive(1);
  EXPECT_EQ(bike.Speed, 0);
  bike.Speed = 50;
  Drive(1);
  EXPECT_DOUBLE_EQ(bike.Speed, 49.4);
}

TEST_F(Driving, BrakeReversesToMinusEightAndCoastingBackwardsKeepsTheSpeed) {
  TPlayer& bike = Bike();
  bike.Controls.Down = true;
  Drive(200);
  EXPECT_EQ(bike.Speed, -8);
  EXPECT_DOUBLE_EQ(bike.ScrollSpeed, bike.TopSpeedFactor() * -8 / 8);
  bike.Controls.Down = false;
  Drive(50);
  EXPECT_EQ(bike.Speed, -8);
  bike.Controls.Up = true;
  Drive(1);
  EXPECT_DOUBLE_EQ(bike.Speed, -7.7);
}

TEST_F(Driving, OffTheRoadAboveEightyDragReplacesThrottle) {
  TPlayer& bike = Bike();
  bike.Controls.Up = true;
  bike.OnRoad = false;
  bike.Speed = 120;
  bike.ReadControls();
  EXPECT_EQ(bike.Decel, 0.5);
  bike.Speed = 60;
  bike.ReadControls();
  EXPECT_EQ(bike.Decel, 0);
}

TEST_F(Driving, LeanDeepensWithTheTurnAndTheBikeStandsUpAgain) {
  TPlayer& bike = Bike();
  const TVehicleModel& m = bike.Model();
  bike.Speed = 140;
  bike.Input.Left = true;
  bike.Controls.Left = true;
  bike.UpdateLean();
  EXPECT_EQ(bike.Lean, -1);
  EXPECT_EQ(bike.Image, &GameImageList(2)->Item(m.LeanLeftImage));
  EXPECT_EQ(bike.FramePos, 5.5);
  bike.Heading = -10;  // turned more than 5 units since the key went down
  for (int i = 0; i < 200; ++i) bike.UpdateLean();
  EXPECT_DOUBLE_EQ(bike.FramePos, 5.5 - 140 / 35.0);  // the deepest lean at this speed

  // Right while leaning left does nothing until the bike is upright again.
  bike.Input.Left = false;
  bike.Input.Right = true;
  bike.UpdateLean();
  EXPECT_EQ(bike.Lean, -1);
  bike.Input.Right = false;
  for (int i = 0; i < 200 && bike.Lean != 0; ++i) bike.UpdateLean();
  EXPECT_EQ(bike.Lean, 0);
  EXPECT_EQ(bike.Image, &GameImageList(2)->Item(m.UprightImage));

  // Slow or reversing: always upright.
  bike.Speed = -3;
  bike.Input.Left = true;
  bike.UpdateLean();
  EXPECT_EQ(bike.Lean, 0);
  bike.Input.Left = false;
}

// The engine sound walked up through every band under throttle, at 1/4 band steps.
TEST_F(Driving, EngineSoundBandsFromIdleToTopEnd) {
  TPlayer& bike = Bike();
  const double m = bike.TopSpeedFactor();
  struct Band {
    double Speed;  // in multiples of the top-speed factor
    TEngineSound State;
    int Sound;     // -1: no new sound
  };
  const Band walk[] = {
      {10, TEngineSound::Gear, sndGear1},  {60, TEngineSound::Gear, -1},
      {66, TEngineSound::Shift, sndGearShift}, {80, TEngineSound::Gear, sndGear2},
      {92, TEngineSound::Gear, -1},        {96, TEngineSound::Shift, sndGearShift},
      {100, TEngineSound::Gear, sndGear3}, {115.5, TEngineSound::Shift, sndGearShift},
      {120, TEngineSound::Gear, sndGear4}, {130.5, TEngineSound::Shift, sndGearShift},
      {135, TEngineSound::Gear, sndGear4}, {142.5, TEngineSound::Shift, sndGearShift},
      {150, TEngineSound::Gear, sndGear4}, {160, TEngineSound::Top, sndTopEnd},
  };
  bike.OnRoad = true;
  bike.Controls.Up = true;
  for (const Band& b : walk) {
    SCOPED_TRACE(b.Speed);
    Snd_CallLog().clear();
    bike.Speed = b.Speed * m;
    bike.UpdateEngineSound();
    EXPECT_EQ(bike.EngineSound, b.State);
    if (b.Sound >= 0) EXPECT_EQ(Plays(b.Sound), 1);
    else EXPECT_TRUE(Snd_CallLog().empty());
    // Only the first shift chirps and asks for a skid mark.
    EXPECT_EQ(bike.ForceMark, b.Speed == 66);
    EXPECT_EQ(Plays(sndShiftChirp), b.Speed == 66 ? 1 : 0);
  }
}

TEST_F(Driving, EngineSoundOffThrottleSkiddingAndOffRoad) {
  TPlayer& bike = Bike();
  bike.OnRoad = true;
  bike.Speed = 100;
  bike.UpdateEngineSound();
  EXPECT_EQ(bike.EngineSound, TEngineSound::RollOff);
  bike.Speed = 30;
  bike.UpdateEngineSound();
  EXPECT_EQ(bike.EngineSound, TEngineSound::Idle);
  bike.Controls.Up = bike.Controls.Down = true;  // both: rolling off
  bike.Speed = 90;
  bike.UpdateEngineSound();
  EXPECT_EQ(bike.EngineSound, TEngineSound::RollOff);
  bike.Controls.Up = bike.Controls.Down = false;
  bike.Controls.Space = true;
  bike.UpdateEngineSound();
  EXPECT_EQ(bike.EngineSound, TEngineSound::Skid);
  bike.Speed = 0;
  bike.UpdateEngineSound();
  EXPECT_EQ(bike.EngineSound, TEngineSound::Idle);
  bike.Controls.Space = false;
  bike.Controls.Up = true;
  bike.Speed = 100;
  bike.OnRoad = false;
  bike.UpdateEngineSound();
  EXPECT_EQ(bike.EngineSound, TEngineSound::Idle);
}

TEST_F(Driving, HornPlaysOnceWhileHeldAndStopsEveryFrameWhenReleased) {
  TPlayer& bike = Bike();
  bike.Controls.Horn = true;
  bike.ReadControls();
  bike.ReadControls();
  EXPECT_EQ(Plays(sndHorn), 1);
  EXPECT_TRUE(bike.HornOn);
  bike.Controls.Horn = false;
  bike.ReadControls();
  bike.ReadControls();
  EXPECT_FALSE(bike.HornOn);
  const auto& log = Snd_CallLog();
  EXPECT_EQ(std::count(log.begin(), log.end(), "stop 8"), 2);
}

TEST_F(Driving, NeedleFollowsTheSpeedAndDipsWhileShifting) {
  TPlayer& bike = Bike();
  const struct {
    double Speed;
    TEngineSound State;
    int Angle;
  } cases[] = {{0, TEngineSound::Idle, 28}, {-8, TEngineSound::Idle, 28}, {100, TEngineSound::Gear, 105},
               {100, TEngineSound::Shift, 104}, {160, TEngineSound::Top, 151}};
  for (const auto& c : cases) {
    bike.Speed = c.Speed;
    bike.EngineSound = c.State;
    EXPECT_EQ(bike.NeedleAngle(), c.Angle) << c.Speed;
  }
}

}  // namespace
