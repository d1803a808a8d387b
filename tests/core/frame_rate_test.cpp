// The frame-rate adaptation that scales every motion and countdown.
#include <gtest/gtest.h>

#include "core/core.h"
#include "test_names.h"

namespace {

struct AdaptCase {
  int Refresh, Measured;
  int RateUsed;
};

void PrintTo(const AdaptCase& c, std::ostream* os) { *os << "refresh " << c.Refresh << " measured " << c.Measured; }

class FrameRateAdaptation : public testing::TestWithParam<AdaptCase> {};

TEST_P(FrameRateAdaptation, UsesTheExpectedRate) {
  const AdaptCase& c = GetParam();
  AdaptFrameRate(c.Refresh, c.Measured);
  EXPECT_DOUBLE_EQ(SpeedFactor, 85.0 / c.RateUsed);
  EXPECT_EQ(FrameTimeMs, 1000 / c.RateUsed);
}

INSTANTIATE_TEST_SUITE_P(
    Table, FrameRateAdaptation,
    testing::Values(AdaptCase{60, 58, 60},   // within 3 below snaps to the refresh rate
                    AdaptCase{60, 57, 60},
                    AdaptCase{60, 56, 56},   // further below is used as measured
                    AdaptCase{60, 62, 62},   // one or two above is used as measured
                    AdaptCase{60, 63, 60},   // more is clamped to the refresh rate
                    AdaptCase{60, 40, 40},
                    AdaptCase{60, 0, 60},    // nothing measured yet
                    AdaptCase{85, 85, 85},
                    AdaptCase{85, 0, 85},
                    AdaptCase{0, 0, 60},     // a display that reports no rate
                    AdaptCase{0, 1500, 60},  // ... and a timer running unpaced
                    AdaptCase{0, 30, 30}),
    test_names::Printed());

TEST(FrameRateAdaptationValues, EightyFiveHertzIsTheReference) {
  AdaptFrameRate(85, 85);
  EXPECT_DOUBLE_EQ(SpeedFactor, 1.0);
  EXPECT_EQ(FrameTimeMs, 11);
  AdaptFrameRate(60, 58);
  EXPECT_NEAR(SpeedFactor, 1.41666, 1e-4);
  EXPECT_EQ(FrameTimeMs, 16);
}

}  // namespace
