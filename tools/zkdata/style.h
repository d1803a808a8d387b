// The look shared by every picture of the pack: palette, panels, plates and labels.
#pragma once

#include <string_view>

#include "canvas.h"

namespace art {

namespace palette {
inline const Rgba Night = Hex(0x070B22);
inline const Rgba Navy = Hex(0x111A44);
inline const Rgba DeepNavy = Hex(0x0A1030);
inline const Rgba Steel = Hex(0x2A3566);
inline const Rgba Cyan = Hex(0x42FCCA);    // the HUD's text colour
inline const Rgba Yellow = Hex(0xFFDE00);  // the popups' text colour
inline const Rgba Orange = Hex(0xFF7A1A);
inline const Rgba Red = Hex(0xE8202A);
inline const Rgba White = Hex(0xFFFFFF);
inline const Rgba Ink = Hex(0x0A0E26);
inline const Rgba SkyBlue = Hex(0x3E8BFF);
}  // namespace palette

// A framed dark plate: rounded, with a bright rim and a soft inner light. Text of the game in
// yellow, cream or cyan stays readable on it.
void DrawPlate(Canvas& canvas, float x0, float y0, float x1, float y1, float radius, const Rgba& rim);
// A plate with a transparent surrounding, w x h.
Canvas Plate(int width, int height, float radius, const Rgba& rim);
// A label in the pack's lettering.
void DrawLabel(Canvas& canvas, std::string_view text, float x, float y, float size, const Rgba& color,
               Anchor anchor = Anchor::Center);
// A small keyed picture for item slots the game never draws.
Canvas Placeholder();
// Alternating red and white blocks along y, `period` pixels a pair, starting at `phase`.
bool StripeIsRed(float y, float period, float phase = 0);

}  // namespace art
