// Rides single levels of generated tracks without the form: the real race (track, bike, rivals,
// bonuses, road) on the game's own bike pictures, moved frame by frame and never drawn.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "race/player.h"
#include "test_graphics.h"

namespace autopilot_ride {

// What a ridden level came to.
struct TLevelRun {
  bool Finished = false;   // the end-of-level tally opened
  int32_t TimeLeftMs = 0;  // on the level's clock when it opened; negative: the time it overran
  int Crashes = 0;         // crashes and falls
  int Contacts = 0;        // hit points lost to rivals
  int Frames = 0;
};

// Who rides: the expert autopilot (capped at a share of the top speed), the human rider, or a
// rider that holds Up and never steers.
enum class TRider { Autopilot, Human, ThrottleOnly };

class RideFixture : public testing::Test {
protected:
  static void SetUpTestSuite() {
    lists_ = std::make_unique<TDXImageList>();
    lists_->LoadFromFile(std::string(ZK_GAME_DIR) + "/Data/Res/Res2.dxg");
  }
  static void TearDownTestSuite() { lists_.reset(); }

  RideFixture() {
    graphics_.ImageList2.Items = lists_->Items;
    savedSpeedFactor_ = SpeedFactor;
    savedFrameTimeMs_ = FrameTimeMs;
  }
  ~RideFixture() override {
    Autopilot = TAutopilot{};
    EndRace();
    SpeedFactor = savedSpeedFactor_;
    FrameTimeMs = savedFrameTimeMs_;
  }

  // Rides `level` of the track that `seed` generates, at `rate` frames a second, on bike
  // `model`, from the level caption until the tally, the time-over or the game-over popup. With
  // `overtimeMs` the clock starts that much later than the level's limit, so that a rider who
  // overruns the limit still finishes and shows by how much.
  TLevelRun Ride(uint64_t seed, int level, int rate, TRider rider, double speedCap = 1, int model = 1,
                 int32_t overtimeMs = 0) {
    AdaptFrameRate(rate, rate);
    RandSeed(seed * 1000 + static_cast<uint64_t>(level));
    TRace& race = StartRace(model);
    race.OnEvent = [](TRace::TEvent event) { lastEvent_ = event; };
    race.BuildRace();
    if (level != 1) {
      race.Level = level - 1;
      race.Player->StartLevel(true);
    }
    race.RaceTimeLeft += overtimeMs;
    Autopilot.On = rider != TRider::ThrottleOnly;
    Autopilot.Rider = rider == TRider::Human ? ::TRider::Human : ::TRider::Expert;
    Autopilot.SpeedCap = speedCap;
    TLevelRun run;
    bool wasCrashed = false;
    int32_t hitPoints = race.Player->HitPoints;
    const int limit = (LevelTimeLimit[std::min(level, LevelCount)] + 20) * rate + overtimeMs * rate / 1000;
    lastEvent_.reset();
    for (; run.Frames < limit; ++run.Frames) {
      RunRaceFrame(race, 1, Autopilot.On ? Autopilot.Keys(race) : TRaceInput{.Up = true});
      if (race.Player->Crashed && !wasCrashed) ++run.Crashes;
      if (race.Player->HitPoints < hitPoints) ++run.Contacts;
      wasCrashed = race.Player->Crashed;
      hitPoints = race.Player->HitPoints;
      if (lastEvent_.has_value() && lastEvent_ != TRace::TEvent::LevelStart) break;
      lastEvent_.reset();
    }
    run.Finished = lastEvent_ == TRace::TEvent::Finished;
    run.TimeLeftMs = race.RaceTimeLeft - overtimeMs;
    EndRace();
    return run;
  }

private:
  TTestGraphics graphics_;
  double savedSpeedFactor_ = 1;
  int32_t savedFrameTimeMs_ = 0;
  static inline std::unique_ptr<TDXImageList> lists_;
  static inline std::optional<TRace::TEvent> lastEvent_;
};

}  // namespace autopilot_ride
