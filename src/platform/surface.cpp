// The 16-bit back surface in memory.
#include <algorithm>

#include "platform/platform.h"

void TDirectDrawSurface::SetSize(int width, int height) {
  width_ = std::max(width, 0);
  height_ = std::max(height, 0);
  pixels_.assign(static_cast<size_t>(width_) * height_, 0);
}

void TDirectDrawSurface::Fill(uint16_t color) { std::fill(pixels_.begin(), pixels_.end(), color); }
