// Frame timing and the frame's key edges.
#include <algorithm>
#include <cmath>

#include "core/core.h"

int32_t RefreshRate = 0;
int32_t MeasuredFrameRate = 0;
int32_t FrameTimeMs = 15;
double SpeedFactor = 1.0;

bool UpPressed, DownPressed, LeftPressed, RightPressed, PausePressed, YesPressed, NoPressed, EscapePressed;
bool LeftHeld, RightHeld;
TRaceKeys RaceKeysHeld;

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

int32_t FrameRateInUse() {
  if (!(SpeedFactor > 0)) return 1000 / std::max<int32_t>(FrameTimeMs, 1);
  return static_cast<int32_t>(std::clamp(std::lround(ReferenceFrameRate / SpeedFactor), 1L, 1000L));
}

int32_t ExactFrameMs(int32_t& carry) {
  const int32_t rate = FrameRateInUse();
  carry = std::clamp<int32_t>(carry, 0, rate - 1) + 1000;
  const int32_t ms = carry / rate;
  carry %= rate;
  return ms;
}
