// The frame timer: fires at every idle moment while the application is active, reporting the
// milliseconds since the previous frame and measuring the frame rate once a second.
#include <cmath>

#include "platform/platform.h"

void TDXTimer::Activate(uint32_t now) {
  if (!Enabled) return;
  LastTick = SpanStart = now;
  hooked_ = true;
}

void TDXTimer::Deactivate() {
  if (Enabled && ActiveOnly) hooked_ = false;
}

bool TDXTimer::Idle(uint32_t now, int& lagCount) {
  if (!Enabled || !hooked_) return false;
  const uint32_t elapsed = now - LastTick;
  if (elapsed < Interval) return false;
  const uint32_t lag = elapsed / (Interval > 0 ? Interval : 1);
  lagCount = lag < 1 ? 1 : static_cast<int>(lag);
  LastTick = now;

  ++SpanFrames;
  const uint32_t span = (now - SpanStart) > 0 ? (now - SpanStart) : 1;
  if (span >= 1000) {
    FrameRate = static_cast<int>(std::nearbyint(static_cast<double>(SpanFrames) * 1000.0 / span));
    SpanFrames = 0;
    SpanStart = now;
  }
  return true;
}
