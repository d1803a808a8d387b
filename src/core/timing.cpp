// Frame timing and the frame's key edges.
#include "core/core.h"

int32_t RefreshRate = 0;
int32_t MeasuredFrameRate = 0;
int32_t FrameTimeMs = 15;
double SpeedFactor = 1.0;

bool UpPressed, DownPressed, LeftPressed, RightPressed, PausePressed, YesPressed, NoPressed, EscapePressed;

namespace {

const TRunStateRenewal renewal(ResetFrameTiming);

}  // namespace

void AdaptFrameRate(int refreshRate, int measuredRate) {
  const int r = refreshRate > 0 ? refreshRate : FallbackRefreshRate;
  const int m = measuredRate;
  int rate = r;                         // m = 0: nothing measured yet
  if (m > 0) rate = m;
  if (r - 3 <= m && m <= r) rate = r;   // just below the refresh rate snaps to it
  if (m > r + 2) rate = r;              // faster than the display is clamped to it
  SpeedFactor = static_cast<double>(ReferenceFrameRate) / rate;
  FrameTimeMs = 1000 / rate;
}

void ResetFrameTiming() {
  RefreshRate = 0;
  MeasuredFrameRate = 0;
  FrameTimeMs = 15;
  SpeedFactor = 1.0;
}
