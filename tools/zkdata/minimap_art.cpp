// Image list 3: the minimap. Each piece is one 10 x 15 cell of the map and shows the road as a
// ribbon; the pieces of a shift come in pairs of neighbouring cells. Where the ribbon runs in a
// piece follows from where the map puts the piece and the player's marker: the marker's centre
// (717, 123) lies on the ribbon of the bike's row, so a straight ribbon is centred 4 pixels into
// its cell and a shift moves it 5 pixels (half a cell of track) per row.
#include <array>
#include <cmath>

#include "core/data_layout.h"
#include "pack.h"
#include "race_art.h"
#include "style.h"

using namespace art;

namespace {

constexpr int PieceWidth = 10, PieceHeight = 15;
constexpr float RibbonHalfWidth = 3.0f;

struct Ribbon {
  float Centre;  // x of the ribbon's centre at the top of the cell
  float Slope;   // its change per pixel down
  bool Checkered;
};

// Items 0..9, for the piece codes 1, 2, 3, 4, 6, 7, 10, 20, 30, 40.
constexpr std::array<Ribbon, 10> Pieces{{
    {9, -1.0f / 3, false},   // 1: a shift to the right, half-way row, left cell
    {-1, -1.0f / 3, false},  // 2: its right cell
    {14, -1.0f / 3, false},  // 3: a shift to the right, displaced row, left cell
    {4, -1.0f / 3, false},   // 4: its right cell
    {4, 0, false},           // 6: straight
    {4, 0, true},            // 7: start or finish line
    {-1, 1.0f / 3, false},   // 10: a shift to the left, half-way row, right cell
    {9, 1.0f / 3, false},    // 20: its left cell
    {-6, 1.0f / 3, false},   // 30: a shift to the left, displaced row, right cell
    {4, 1.0f / 3, false},    // 40: its left cell
}};

Canvas Piece(const Ribbon& r) {
  Canvas c(PieceWidth, PieceHeight);
  constexpr int Samples = 4;
  for (int py = 0; py < PieceHeight; ++py)
    for (int px = 0; px < PieceWidth; ++px) {
      Rgba sum{};
      for (int sy = 0; sy < Samples; ++sy)
        for (int sx = 0; sx < Samples; ++sx) {
          const float x = px + (sx + 0.5f) / Samples, y = py + (sy + 0.5f) / Samples;
          const float d = std::abs(x - (r.Centre + r.Slope * y));
          if (d >= RibbonHalfWidth) continue;
          Rgba c0 = d > RibbonHalfWidth - 1 ? Hex(0xE8F0FF) : Hex(0x6A7490);
          if (r.Checkered) c0 = ((static_cast<int>(x) + static_cast<int>(y)) % 2) ? Hex(0xFFFFFF) : Hex(0x101014);
          sum = Rgba{sum.R + c0.R, sum.G + c0.G, sum.B + c0.B, sum.A + c0.A};
        }
      constexpr float k = 1.0f / (Samples * Samples);
      c.At(px, py) = Rgba{sum.R * k, sum.G * k, sum.B * k, sum.A * k};
    }
  return c;
}

// The rival dot and the player's marker share one box, centred on the ribbon.
constexpr int MarkWidth = 18, MarkHeight = 14;

Canvas RivalDot() {
  Canvas c(MarkWidth, MarkHeight);
  c.Fill(Circle(9, 7, 4.5f), Hex(0x0A0E26));
  c.Fill(Circle(9, 7, 3.5f), Radial(8, 6, 5, Hex(0xFFB0A0), Hex(0xE8202A)));
  return c;
}

Canvas PlayerMarker() {
  Canvas c(MarkWidth, MarkHeight);
  const Shape arrow = Polygon({{9, 1}, {15, 13}, {9, 10}, {3, 13}});
  c.Fill(Grow(arrow, 1.2f), Hex(0x0A0E26));
  c.Fill(arrow, Linear(0, 1, Hex(0xFFF27A), 0, 13, Hex(0xFFB000)));
  return c;
}

}  // namespace

TPictureCollection BuildMinimapImages() {
  TPictureCollection list;
  list.Items.resize(imgMapFrameBottom + 1);
  for (size_t i = 0; i < Pieces.size(); ++i)
    list.Items[imgMapPieces + i] = MakeItem("Map piece " + std::to_string(i), ToKeyedPicture(Piece(Pieces[i])));
  list.Items[imgMapRivalDot] = MakeItem("Rival dot", ToKeyedPicture(RivalDot()));
  list.Items[imgMapPlayerMarker] = MakeItem("Player marker", ToKeyedPicture(PlayerMarker()));
  list.Items[imgMapFrameTop] = MakeItem("Map frame top", ToKeyedPicture(RightPanelFrameTop()));
  list.Items[imgMapFrameBottom] = MakeItem("Map frame bottom", ToKeyedPicture(RightPanelFrameBottom()));
  return list;
}
