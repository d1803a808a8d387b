// The level limits bite: a rider who holds Up and never steers finishes no level, and one who
// keeps to 60 % of the bike's top speed runs out of time from level 3 on. Prints the figures.
#include <gtest/gtest.h>

#include <cstdio>

#include "autopilot_ride.h"

namespace {

using autopilot_ride::RideFixture;
using autopilot_ride::TLevelRun;
using autopilot_ride::TRider;

constexpr int kRate = 85;
constexpr uint64_t kSeeds[] = {1, 2, 3};

class LevelLimits : public RideFixture {};

TEST_F(LevelLimits, ThrottleWithoutSteeringFinishesNoLevel) {
  for (int level = 1; level <= LevelCount; ++level) {
    for (const uint64_t seed : kSeeds) {
      const TLevelRun run = Ride(seed, level, kRate, TRider::ThrottleOnly);
      EXPECT_FALSE(run.Finished) << "level " << level << ", seed " << seed;
      std::printf("throttle only, level %d, seed %d: %s after %.1f s, %d crashes\n", level, static_cast<int>(seed),
                  run.Finished ? "finished" : "out", run.Frames / static_cast<double>(kRate), run.Crashes);
    }
  }
}

TEST_F(LevelLimits, SixtyPercentOfTopSpeedRunsOutOfTimeFromLevelThree) {
  for (int level = 1; level <= LevelCount; ++level) {
    for (const uint64_t seed : kSeeds) {
      const TLevelRun run = Ride(seed, level, kRate, TRider::Autopilot, 0.6, 1, 120000);
      std::printf("60 %% of top speed, level %d, seed %d: time left %.1f s of %d s\n", level, static_cast<int>(seed),
                  run.TimeLeftMs / 1000.0, LevelTimeLimit[level]);
      if (level >= 3) {
        EXPECT_LT(run.TimeLeftMs, 0) << "level " << level << ", seed " << seed;
      }
    }
  }
}

}  // namespace
