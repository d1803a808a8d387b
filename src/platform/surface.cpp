// The 16-bit back surface in memory.
#include <algorithm>
#include <cstring>

#include "platform/platform.h"

void TDirectDrawSurface::SetSize(int width, int height) {
  width_ = std::max(width, 0);
  height_ = std::max(height, 0);
  pixels_.assign(static_cast<size_t>(width_) * height_, 0);
}

// Every frame starts with a fill; a colour whose two bytes agree (black) is a plain byte fill.
void TDirectDrawSurface::Fill(uint16_t color) {
  if ((color & 0xFF) == (color >> 8)) {
    if (!pixels_.empty()) std::memset(pixels_.data(), color & 0xFF, pixels_.size() * sizeof(uint16_t));
    return;
  }
  std::fill(pixels_.begin(), pixels_.end(), color);
}
