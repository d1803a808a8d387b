// The frame timer: lag counts, the once-a-second frame rate and activation.
#include <gtest/gtest.h>

#include "platform/platform.h"

namespace {

TEST(FrameTimer, LagCountIsWholeMillisecondsSincePreviousFrameAtLeastOne) {
  TDXTimer timer;
  timer.Activate(1000);
  struct Case {
    uint32_t Now;
    int Lag;
  };
  const Case cases[] = {{1016, 16}, {1016, 1}, {1017, 1}, {1117, 100}};
  for (const Case& c : cases) {
    int lag = 0;
    ASSERT_TRUE(timer.Idle(c.Now, lag));
    EXPECT_EQ(lag, c.Lag) << "at " << c.Now;
  }
}

TEST(FrameTimer, FrameRateIsMeasuredOncePerSecond) {
  TDXTimer timer;
  timer.Activate(0);
  int lag = 0;
  // 85 frames spread over one second: the figure appears with the frame that completes it.
  for (int i = 1; i < 85; ++i) {
    ASSERT_TRUE(timer.Idle(static_cast<uint32_t>(i * 1000 / 85), lag));
    EXPECT_EQ(timer.FrameRate, 0) << "frame " << i;
  }
  ASSERT_TRUE(timer.Idle(1000, lag));
  EXPECT_EQ(timer.FrameRate, 85);
}

TEST(FrameTimer, NoFramesWhileInactiveAndSmallLagAfterComingBack) {
  TDXTimer timer;
  timer.Activate(0);
  int lag = 0;
  ASSERT_TRUE(timer.Idle(10, lag));
  timer.Deactivate();
  EXPECT_FALSE(timer.Idle(5000, lag));
  timer.Activate(60000);
  ASSERT_TRUE(timer.Idle(60004, lag));
  EXPECT_EQ(lag, 4);
}

TEST(FrameTimer, ClockWrapAroundStillGivesTheElapsedTime) {
  TDXTimer timer;
  timer.Activate(0xFFFFFFF0u);
  int lag = 0;
  ASSERT_TRUE(timer.Idle(0x00000010u, lag));
  EXPECT_EQ(lag, 32);
}

}  // namespace
