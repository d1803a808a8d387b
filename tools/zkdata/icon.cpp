// The icon: the logo's "Z" and "K" (its gradient, outline and drop shadow) on a rounded night-blue
// tile, so that it reads at 16 pixels as well as at 128.
#include "icon.h"

#include "canvas.h"

using namespace art;

void WriteIcon(const std::string& path) {
  constexpr float S = IconSize;
  Canvas canvas(IconSize, IconSize);
  const Shape tile = Box(2, 2, S - 2, S - 2, S * 0.18f);
  canvas.Fill(tile, Linear(0, 0, Hex(0x3A2A78), 0, S, Hex(0x140A30)));
  canvas.Stroke(tile, 3, Hex(0xFF6A10));

  TextStyle letters;
  letters.Size = S * 0.62f;
  letters.Fill = Linear(0, S * 0.2f, Hex(0xFFF27A), 0, S * 0.8f, Hex(0xFF6A10));
  letters.Outline = S / 40;
  letters.OutlineColor = Hex(0x140A30);
  letters.ShadowOffset = S / 30;
  DrawText(canvas, "Z", S * 0.34f, S * 0.42f, Anchor::Center, letters);
  DrawText(canvas, "K", S * 0.66f, S * 0.60f, Anchor::Center, letters);
  SavePng(ToKeyedPicture(canvas), path, true);
}
