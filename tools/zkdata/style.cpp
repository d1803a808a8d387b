#include "style.h"

#include <cmath>

namespace art {

void DrawPlate(Canvas& canvas, float x0, float y0, float x1, float y1, float radius, const Rgba& rim) {
  const Shape outer = Box(x0, y0, x1, y1, radius);
  const Shape inner = Box(x0 + 3, y0 + 3, x1 - 3, y1 - 3, std::max(radius - 3, 0.0f));
  canvas.Fill(outer, Linear(x0, y0, Scale(rim, 1.1f), x1, y1, Scale(rim, 0.55f)));
  canvas.Fill(inner, Linear(0, y0, Hex(0x17215A), 0, y1, Hex(0x0A1030)));
  canvas.Stroke(Box(x0 + 5, y0 + 5, x1 - 5, y1 - 5, std::max(radius - 5, 0.0f)), 1, WithAlpha(rim, 0.35f));
}

Canvas Plate(int width, int height, float radius, const Rgba& rim) {
  Canvas canvas(width, height);
  DrawPlate(canvas, 0.5f, 0.5f, width - 0.5f, height - 0.5f, radius, rim);
  return canvas;
}

void DrawLabel(Canvas& canvas, std::string_view text, float x, float y, float size, const Rgba& color, Anchor anchor) {
  TextStyle style;
  style.Size = size;
  style.Fill = Solid(color);
  DrawText(canvas, text, x, y, anchor, style);
}

Canvas Placeholder() {
  Canvas canvas(8, 8);
  canvas.Fill(Box(1, 1, 7, 7, 1), Hex(0x808080));
  return canvas;
}

bool StripeIsRed(float y, float period, float phase) {
  const float t = std::fmod(y - phase, period);
  return (t < 0 ? t + period : t) < period * 0.5f;
}

}  // namespace art
