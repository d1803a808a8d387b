// The road tile set. Every road tile is cut from one cross-section of the track, eight cells
// wide: left verge, left shoulder, four lanes, right shoulder, right verge. A row of a shift is
// the same cross-section slid sideways by half a cell per row, so the diagonal pieces join the
// straight ones and each other in every order the track generator lays them. Textures (grass,
// gravel, asphalt) repeat every cell in the cell's own coordinates, so any two tiles meet
// without a seam.
#include "road_art.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <functional>

namespace art {

namespace {

constexpr float T = static_cast<float>(TileSize);

// ---------------------------------------------------------------------------------------------
// The level groups' own styles: ground, road surface, verge barrier and kerbs
// ---------------------------------------------------------------------------------------------

struct LookStyle {
  uint32_t GroundDark, GroundLight;
  uint32_t Speck;           // litter on the ground (leaves, stones, dry tufts)
  float SpeckShare;         // of the ground it covers
  uint32_t AsphaltDark, AsphaltLight;
  uint32_t GravelDark, GravelLight;
  uint32_t BlockA, BlockB;  // the verge's barrier blocks, in turn
  uint32_t KerbA, KerbB;
};

// Green circuit (levels 1-3), autumn park with a wet dark road (4-6), dry plain with bleached
// road and red earth (7-8), the night race (9-10; the look's recolouring darkens it further).
constexpr std::array<LookStyle, RoadLookCount> LookStyles{{
    {0x2F8F3A, 0x5CC152, 0x7BD86A, 0.04f, 0x42464F, 0x52565F, 0xC9B07A, 0xEAD9A8, 0xE0262E, 0xF4F4F4, 0xE0262E, 0xF4F4F4},
    {0x5E5A2C, 0x8C8240, 0xD8661C, 0.16f, 0x30333A, 0x3C4048, 0x8E7A58, 0xB09A70, 0x2456C8, 0xF4F4F4, 0x2456C8, 0xF4F4F4},
    {0xC09A5E, 0xDDBE84, 0x8A7A3A, 0.10f, 0x6C6962, 0x7E7A72, 0xB0673E, 0xCC8658, 0xF07A1A, 0xF4F4F4, 0xFFD21F, 0x1E1E24},
    {0x1D4638, 0x2C6A4C, 0x6E7C8A, 0.05f, 0x2A2D36, 0x353944, 0x8A8C90, 0xA8AAB0, 0x18B8D8, 0x1A2A3A, 0x18B8D8, 0xF4F4F4},
}};

// The look being drawn (RoadTilesOfOneLook sets it).
const LookStyle* Style = &LookStyles[0];

// ---------------------------------------------------------------------------------------------
// Surfaces
// ---------------------------------------------------------------------------------------------

Rgba Grass(float x, float y) {
  const float n = TiledNoise(x, y, TileSize, 6, 11) * 0.6f + TiledNoise(x, y, TileSize, 24, 12) * 0.4f;
  const Rgba ground = Mix(Hex(Style->GroundDark), Hex(Style->GroundLight), n);
  // Small specks where a fine noise peaks: few enough that the ground keeps its colour.
  const float speck = TiledNoise(x, y, TileSize, 18, 13);
  const float edge = 1.0f - 2.0f * Style->SpeckShare;
  return speck > edge ? Mix(ground, Hex(Style->Speck), std::min(1.0f, (speck - edge) * 12)) : ground;
}

Rgba Gravel(float x, float y) {
  const float n = TiledNoise(x, y, TileSize, 36, 21);
  const float coarse = TiledNoise(x, y, TileSize, 8, 22);
  return Mix(Hex(Style->GravelDark), Hex(Style->GravelLight), n * 0.7f + coarse * 0.3f);
}

// Fine grain only: a coarser pattern would repeat with every cell and draw the grid.
Rgba Asphalt(float x, float y) {
  const float n = TiledNoise(x, y, TileSize, 36, 31) * 0.6f + TiledNoise(x, y, TileSize, 24, 32) * 0.4f;
  return Mix(Hex(Style->AsphaltDark), Hex(Style->AsphaltLight), n);
}

// ---------------------------------------------------------------------------------------------
// The cross-section
// ---------------------------------------------------------------------------------------------

// Positions across the cross-section, u = 0 at the outer edge of the left verge cell.
constexpr float ProfileWidth = 8 * T;
constexpr float BarrierOuter = 38;  // the verge's solid part starts here, counted from the outer edge
constexpr float BarrierInner = 72;
constexpr float KerbStart = 132;
constexpr float RoadEdge = 144;
constexpr float EdgeLineFrom = 150, EdgeLineTo = 155;
// Dashed lines between the four lanes, LaneWidth apart from the road edge. A dash repeats every
// cell along the track and runs across the cell boundary (from y 52 to y 20 of the next cell), so
// the dashes of two rows have to join.
constexpr float LaneWidth = 72, LaneLineHalfWidth = 2;
constexpr float DashPeriod = T, DashLength = 40, DashPhase = 20;
// The start and finish line: a checkered band across the lanes.
constexpr float StartBandFrom = 12, StartBandTo = 60, StartSquare = 12;
const Rgba LineWhite = Hex(0xF2F2EE);
// In a shift the barrier on the side the road moves away from carries a hazard board this wide
// in front of it.
constexpr float BoardWidth = 22;

enum class Row { Straight, HalfLeft, DispLeft, HalfRight, DispRight };

struct Section {
  bool Marked;               // marked shoulders (gravel with a kerb) or plain ground
  float LeftBoard, RightBoard;
  bool StartBand = false;    // the start and finish line crosses the lanes
  // Where a stretch of marked shoulder or of hazard boards begins or ends within the tile: +1 its
  // end is rounded off toward the bottom of the tile (the stretch begins there, the race runs
  // up), -1 toward the top; 0 it runs on.
  int ShoulderEnd = 0, BoardEnd = 0;
};

// The rounded ends: a gravel trap narrows over this length into the barrier, a board ends in a
// half circle.
constexpr float ShoulderRounding = 48;
constexpr float KerbWidth = RoadEdge - KerbStart;

// How far (0 .. 1 and beyond) a tile row lies into the rounding zone of an end.
float IntoEnd(int end, float y, float length) {
  if (end == 0) return 0;
  return end > 0 ? (y - (T - length)) / length : (length - y) / length;
}

// u of a point of a tile in cross-section column `column` of a row.
float ProfileU(Row row, int column, float x, float y) {
  const float u = column * T + x;
  switch (row) {
    case Row::Straight: return u;
    case Row::HalfLeft: return u + 36 - y * 0.5f;
    case Row::DispLeft: return u - y * 0.5f;
    case Row::HalfRight: return u - 36 + y * 0.5f;
    case Row::DispRight: return u + y * 0.5f;
  }
  return u;
}

Section SectionOf(Row row, bool marked) {
  switch (row) {
    case Row::HalfLeft:
    case Row::DispLeft: return Section{true, 0, BoardWidth};
    case Row::HalfRight:
    case Row::DispRight: return Section{true, BoardWidth, 0};
    case Row::Straight: break;
  }
  return Section{marked, 0, 0};
}

float Wrapped(float v, float period) {
  const float m = std::fmod(v, period);
  return m < 0 ? m + period : m;
}

// The solid part of a verge: a low wall of red and white blocks, d counted from the outer edge.
Rgba Barrier(float d, float y, float board, float side) {
  if (d >= BarrierInner) {  // hazard board
    if (d >= BarrierInner + board - 1.5f || d < BarrierInner + 1) return Hex(0x15151A);
    return Wrapped(y + side * d, 18) < 9 ? Hex(0xFFD21F) : Hex(0x1E1E24);
  }
  if (d < BarrierOuter + 1.5f || d >= BarrierInner - 1.0f) return Hex(0x1A1A20);
  if (d >= BarrierInner - 5) return Hex(0x8C919C);
  const float b = Wrapped(y, 36);
  if (b < 1.0f || (b >= 18 && b < 19)) return Hex(0x50343A);
  const Rgba face = b < 18 ? Hex(Style->BlockA) : Hex(Style->BlockB);
  return d < BarrierOuter + 5 ? Scale(face, 1.08f) : face;
}

// The tarmac between the road edges: lines, the start band, and darker tyre tracks along the
// middle of each lane (in cross-section coordinates, so they follow the road through shifts).
Rgba Tarmac(float u, float d, float x, float y, const Section& s) {
  if (s.StartBand && y >= StartBandFrom && y < StartBandTo) {
    const bool dark = (static_cast<int>(std::floor(u / StartSquare)) + static_cast<int>(y / StartSquare)) % 2;
    return dark ? Hex(0x1A1A1E) : Hex(0xF4F4F4);
  }
  if (d >= EdgeLineFrom && d < EdgeLineTo) return LineWhite;
  const float lane = u - RoadEdge;
  const float nearestLine = std::round(lane / LaneWidth) * LaneWidth;
  const bool inner = nearestLine > 0 && nearestLine < 4 * LaneWidth;
  if (inner && std::abs(lane - nearestLine) < LaneLineHalfWidth && Wrapped(y + DashPhase, DashPeriod) < DashLength) return LineWhite;
  const float fromMiddle = (Wrapped(lane, LaneWidth) - LaneWidth * 0.5f) / 8;
  const float wear = std::exp(-fromMiddle * fromMiddle) * (0.45f + 0.55f * TiledNoise(u, y, TileSize, 6, 41));
  const Rgba a = Scale(Asphalt(x, y), 1.0f - 0.16f * wear);
  return d < RoadEdge + 3 ? Scale(a, 0.75f) : a;
}

Rgba SampleProfile(float u, float x, float y, const Section& s) {
  if (u < 0 || u >= ProfileWidth) return Grass(x, y);
  const float d = std::min(u, ProfileWidth - u);  // distance from the nearer outer edge
  if (d >= RoadEdge) return Tarmac(u, d, x, y, s);
  const bool left = u < ProfileWidth * 0.5f;
  float board = left ? s.LeftBoard : s.RightBoard;
  if (board > 0 && d >= BarrierInner && d < BarrierInner + board) {
    const float r = board * 0.5f, across = d - BarrierInner - r;
    const float e = IntoEnd(s.BoardEnd, y, r) * r;  // distance past the half circle's centre
    if (e > 0 && e * e + across * across > r * r) board = 0;
  }
  if (d >= BarrierOuter && d < BarrierInner + board) return Barrier(d, y, board, left ? 1.0f : -1.0f);
  if (d >= BarrierInner) {
    if (!s.Marked) return Grass(x, y);
    const float e = std::clamp(IntoEnd(s.ShoulderEnd, y, ShoulderRounding), 0.0f, 1.0f);
    const float width = (RoadEdge - BarrierInner) * std::sqrt(1 - e * e);  // of the marked strip here
    const float from = d - BarrierInner;
    if (from >= width) return Grass(x, y);
    if (from >= width - KerbWidth) return Wrapped(y, 24) < 12 ? Hex(Style->KerbA) : Hex(Style->KerbB);
    return d < BarrierInner + board + 3 ? Scale(Gravel(x, y), 0.8f) : Gravel(x, y);
  }
  const Rgba g = Grass(x, y);
  return d >= BarrierOuter - 6 ? Scale(g, 0.78f) : g;
}

// A tile cut from the cross-section, four by four samples a pixel.
struct TileEnds {
  bool StartBand = false;
  int ShoulderEnd = 0, BoardEnd = 0;
};

Canvas ProfileTile(Row row, int column, bool marked, const TileEnds& ends = {}) {
  Section section = SectionOf(row, marked);
  section.StartBand = ends.StartBand;
  section.ShoulderEnd = ends.ShoulderEnd;
  section.BoardEnd = ends.BoardEnd;
  Canvas tile(TileSize, TileSize);
  constexpr int Samples = 4;
  for (int py = 0; py < TileSize; ++py)
    for (int px = 0; px < TileSize; ++px) {
      Rgba sum{};
      for (int sy = 0; sy < Samples; ++sy)
        for (int sx = 0; sx < Samples; ++sx) {
          const float x = px + (sx + 0.5f) / Samples, y = py + (sy + 0.5f) / Samples;
          const Rgba c = SampleProfile(ProfileU(row, column, x, y), x, y, section);
          sum = Rgba{sum.R + c.R, sum.G + c.G, sum.B + c.B, sum.A + c.A};
        }
      constexpr float k = 1.0f / (Samples * Samples);
      tile.At(px, py) = Rgba{sum.R * k, sum.G * k, sum.B * k, sum.A * k};
    }
  return tile;
}

Canvas GroundTile() {
  Canvas tile(TileSize, TileSize);
  tile.Generate(Grass);
  return tile;
}

// Plain ground with a few small things on it (tufts, stones, litter in the look's colour), clear
// of the cell's edges so that it meets any neighbour. Cells of plain ground take one of these by
// position, so that the ground does not repeat cell after cell.
Canvas GroundVariant(int variant) {
  Canvas tile = GroundTile();
  Prng r(static_cast<uint32_t>(100 + variant));
  const auto inside = [&r] { return 12 + r.Unit() * (T - 24); };
  const Rgba dark = Scale(Hex(Style->GroundDark), 0.75f);
  switch (variant) {
    case 0:  // tufts
      for (int k = 0; k < 4; ++k) {
        const float x = inside(), y = inside();
        for (int b = -2; b <= 2; ++b) tile.Fill(Capsule(x, y, x + b * 1.8f, y - 5 - r.Unit() * 3, 0.6f), dark);
      }
      break;
    case 1:  // stones
      for (int k = 0; k < 3; ++k) {
        const float x = inside(), y = inside(), rx = 2.5f + r.Unit() * 2.5f, ry = 2 + r.Unit() * 2;
        tile.Shadow(Ellipse(x, y, rx, ry), 1.5f, 1.5f, 1.5f, 0.4f);
        tile.Fill(Ellipse(x, y, rx, ry), Mix(Hex(0x8A8A88), Hex(0xB8B6B0), r.Unit()));
      }
      break;
    default:  // litter
      for (int k = 0; k < 12; ++k) tile.Fill(Circle(inside(), inside(), 1.2f + r.Unit()), Scale(Hex(Style->Speck), 0.8f + 0.4f * r.Unit()));
      break;
  }
  return tile;
}

Canvas GroundBlock(int columns, int rows) {
  Canvas block(columns * TileSize, rows * TileSize);
  block.Generate([](float x, float y) { return Grass(Wrapped(x, T), Wrapped(y, T)); });
  return block;
}


// ---------------------------------------------------------------------------------------------
// Verge variants, drawn over the common left verge (mirrored for the right verge)
// ---------------------------------------------------------------------------------------------

void DrawTree(Canvas& c, float cx, float cy, float r) {
  c.Shadow(Circle(cx, cy, r), 5, 6, 4, 0.45f);
  c.Fill(Circle(cx, cy, r + 1.2f), Hex(0x123A16));
  c.Fill(Circle(cx, cy, r), Radial(cx - r * 0.35f, cy - r * 0.35f, r * 1.5f, Hex(0x6FD35C), Hex(0x1F6B27)));
  for (int i = 0; i < 5; ++i) {
    const float a = i * 1.2566f + 0.4f;
    c.Fill(Circle(cx + std::cos(a) * r * 0.5f, cy + std::sin(a) * r * 0.5f, r * 0.28f), Hex(0x8FE07A, 0.35f));
  }
}

using VariantPainter = void (*)(Canvas&);

void AdvertBoard(Canvas& c) {
  c.Fill(Box(39, 9, 71, 63, 2), Hex(0x1A1A20));
  c.Fill(Box(41, 11, 69, 61, 1), Hex(0x1F5BFF));
  for (int i = 0; i < 3; ++i) {
    const float y = 20.0f + i * 14;
    c.Fill(Polygon({{47, y + 4}, {55, y - 3}, {63, y + 4}, {63, y + 9}, {55, y + 2}, {47, y + 9}}), Hex(0xFFFFFF));
  }
}

void TyreWall(Canvas& c) {
  for (int row = 0; row < 4; ++row)
    for (int col = 0; col < 2; ++col) {
      const float x = 47.0f + col * 15, y = 15.0f + row * 14;
      c.Fill(Circle(x, y, 7.5f), Hex(0x101014));
      c.Fill(Circle(x, y, 6.5f), (row + col) % 2 ? Hex(0x2A2A30) : Hex(0xE8E8E8));
      c.Fill(Circle(x, y, 2.8f), Hex(0x101014));
    }
}

void HayBales(Canvas& c) {
  for (int i = 0; i < 2; ++i) {
    const float y0 = 9.0f + i * 28;
    c.Fill(Box(39, y0, 71, y0 + 26, 3), Hex(0x6A5220));
    c.Fill(Box(41, y0 + 2, 69, y0 + 24, 2), Linear(41, y0, Hex(0xF2D068), 69, y0 + 26, Hex(0xC89A30)));
    for (int k = 0; k < 4; ++k) c.Fill(Box(43, y0 + 5 + k * 5.0f, 67, y0 + 6 + k * 5.0f), Hex(0xA8802A, 0.7f));
  }
}

void VergeTree(Canvas& c) { DrawTree(c, 17, 36, 16); }

void MarshalPost(Canvas& c) {
  c.Shadow(Box(6, 24, 30, 48, 3), 4, 4, 3, 0.4f);
  c.Fill(Box(6, 24, 30, 48, 3), Hex(0x5A2A08));
  c.Fill(Box(8, 26, 28, 46, 2), Linear(8, 26, Hex(0xFFA040), 28, 46, Hex(0xE06A10)));
  c.Fill(Box(8, 34, 28, 38), Hex(0xFFFFFF));
  c.Fill(Capsule(30, 22, 30, 8, 1), Hex(0x303038));
  c.Fill(Polygon({{31, 8}, {37, 10}, {31, 13}}), Hex(0xFFDE00));
}

void Spectators(Canvas& c) {
  c.Fill(Box(3, 5, 33, 67, 3), Hex(0x3A3F4C));
  c.Fill(Box(5, 7, 31, 65, 2), Hex(0x6A7080));
  Prng crowd(5);
  static constexpr uint32_t Shirts[] = {0xE8202A, 0xFFDE00, 0x1F5BFF, 0xFFFFFF, 0x17A34A, 0xFF8A00, 0x9A3DFF};
  for (int row = 0; row < 6; ++row)
    for (int col = 0; col < 4; ++col) {
      const float x = 9.0f + col * 6.5f + (row % 2) * 2, y = 12.0f + row * 9.5f;
      c.Fill(Circle(x, y, 2.6f), Hex(Shirts[crowd.Below(7)]));
      c.Fill(Circle(x, y - 1.0f, 1.4f), Hex(0xF0C8A0));
    }
}

void GreenBarrier(Canvas& c) {
  c.Fill(Box(40, 9, 67, 63), Hex(0xF4F4F4));
  for (int i = 0; i < 3; ++i) c.Fill(Box(40, 9.0f + i * 18, 67, 18.0f + i * 18), Hex(0x17A34A));
}

void LampPost(Canvas& c) {
  c.Fill(Capsule(14, 36, 30, 44, 1.5f), Hex(0x1E5A22, 0.6f));
  c.Fill(Circle(14, 36, 8), Hex(0x202028));
  c.Fill(Circle(14, 36, 6.5f), Radial(12, 34, 8, Hex(0xFFFFE0), Hex(0xFFC830)));
}

// The props of one group's own character. Those on the grass stay left of the barrier (x < 36),
// those on the barrier within its blocks (x 39 .. 71).

void FlagPoles(Canvas& c) {  // green circuit: pennants on poles
  static constexpr uint32_t Cloth[] = {0xE8202A, 0xFFDE00, 0x1F5BFF};
  for (int i = 0; i < 3; ++i) {
    const float x = 10.0f + (i % 2) * 10, y = 14.0f + i * 21;
    const Shape pennant = Polygon({{x, y - 4}, {x + 15, y - 1}, {x + 13, y + 1}, {x, y + 4}});
    c.Shadow(pennant, 3, 3, 2, 0.35f);
    c.Fill(pennant, Hex(Cloth[i]));
    c.Fill(Circle(x, y, 2.4f), Hex(0x303038));
    c.Fill(Circle(x, y, 1.3f), Hex(0xD8D8E0));
  }
}

// Small things strewn over an ellipse, denser toward its middle.
template <typename Draw>
void Strew(Prng& p, float cx, float cy, float rx, float ry, int count, Draw draw) {
  for (int i = 0; i < count; ++i) {
    const float a = p.Unit() * 6.283f, d = std::sqrt(p.Unit()) * 0.85f;
    draw(cx + std::cos(a) * rx * d, cy + std::sin(a) * ry * d);
  }
}

void LeafPiles(Canvas& c) {  // autumn: raked heaps of leaves
  static constexpr uint32_t Leaves[] = {0xD8661C, 0xB8321A, 0xE8A82A, 0x8A4A18};
  Prng p(41);
  for (auto [cx, cy, r] : {std::array<float, 3>{17, 20, 11}, {19, 50, 13}}) {
    c.Shadow(Ellipse(cx, cy, r, r * 0.75f), 3, 3, 3, 0.4f);
    c.Fill(Ellipse(cx, cy, r, r * 0.75f), Hex(0x6A3A14));
    Strew(p, cx, cy, r, r * 0.75f, 34, [&](float x, float y) { c.Fill(Ellipse(x, y, 2.2f, 1.4f), Hex(Leaves[p.Below(4)])); });
  }
}

void BareTree(Canvas& c) {  // autumn: branches with the last few leaves
  const float cx = 18, cy = 36;
  const Rgba bark = Hex(0x4A2E18);
  c.Shadow(Circle(cx, cy, 13), 5, 6, 4, 0.3f);
  for (int i = 0; i < 7; ++i) {
    const float a = i * 0.8976f + 0.3f, len = 11.0f + (i % 3) * 2.5f;
    const float ex = cx + std::cos(a) * len, ey = cy + std::sin(a) * len;
    c.Fill(Capsule(cx, cy, ex, ey, 1.5f), bark);
    c.Fill(Capsule(ex, ey, ex + std::cos(a + 0.7f) * 4, ey + std::sin(a + 0.7f) * 4, 0.7f), bark);
    c.Fill(Circle(ex, ey, 1.8f), Hex(i % 2 ? 0xD8661C : 0xE8A82A));
  }
  c.Fill(Circle(cx, cy, 4.5f), Radial(cx - 1, cy - 1, 5, Hex(0x7A5232), Hex(0x4A2E18)));
}

void OilDrums(Canvas& c) {  // dry plain: drums stood along the barrier
  static constexpr uint32_t Paint[] = {0xE0521A, 0x2456C8, 0xE0521A, 0xFFD21F};
  for (int i = 0; i < 4; ++i) {
    const float x = 47.0f + (i % 2) * 15, y = 17.0f + i * 13;
    c.Shadow(Circle(x, y, 7), 3, 3, 2, 0.45f);
    c.Fill(Circle(x, y, 7.2f), Hex(0x1A1A20));
    c.Fill(Circle(x, y, 6.2f), Radial(x - 2, y - 2, 8, Scale(Hex(Paint[i]), 1.15f), Scale(Hex(Paint[i]), 0.75f)));
    c.Stroke(Circle(x, y, 4.2f), 0.6f, Hex(0x000000, 0.35f));
    c.Fill(Circle(x + 2.5f, y - 2.5f, 1.1f), Hex(0x2A2A30));  // the bung
  }
}

void Cacti(Canvas& c) {  // dry plain: ribbed barrel cacti, sage so the season's tint leaves them
  for (auto [x, y, r] : {std::array<float, 3>{15, 18, 8}, {22, 46, 10}, {9, 58, 5}}) {
    c.Shadow(Circle(x, y, r), 4, 4, 3, 0.45f);
    c.Fill(Circle(x, y, r + 1), Hex(0x24403C));
    c.Fill(Circle(x, y, r), Radial(x - r * 0.4f, y - r * 0.4f, r * 1.6f, Hex(0x9CC2B8), Hex(0x4A7A70)));
    for (int k = 0; k < 8; ++k) {
      const float a = k * 0.7854f;
      c.Fill(Capsule(x, y, x + std::cos(a) * r * 0.9f, y + std::sin(a) * r * 0.9f, 0.45f), Hex(0x2E5650, 0.7f));
    }
    c.Fill(Circle(x, y, r * 0.28f), Hex(0xFF6A9A));
  }
}

void DesertRocks(Canvas& c) {  // dry plain: red boulders
  for (auto [x, y, rx, ry] : {std::array<float, 4>{18, 22, 12, 9}, {12, 46, 7, 6}, {26, 54, 8, 6.5f}}) {
    c.Shadow(Ellipse(x, y, rx, ry), 4, 4, 3, 0.5f);
    c.Fill(Ellipse(x, y, rx + 1, ry + 1), Hex(0x4A2414));
    c.Fill(Ellipse(x, y, rx, ry), Linear(x - rx, y - ry, Hex(0xE0946A), x + rx, y + ry, Hex(0x8A4428)));
    c.Fill(Capsule(x - rx * 0.4f, y - ry * 0.2f, x + rx * 0.3f, y + ry * 0.3f, 0.5f), Hex(0x4A2414, 0.6f));
  }
}

void Floodlight(Canvas& c) {  // night: a mast lighting the verge
  c.Fill(Ellipse(22, 36, 20, 30), Radial(22, 36, 30, Hex(0xFFF6C8, 0.55f), Hex(0xFFF6C8, 0)));
  c.Shadow(Box(6, 28, 16, 44, 1), 3, 3, 2, 0.5f);
  c.Fill(Capsule(11, 36, 24, 36, 1.6f), Hex(0x50545C));  // the arm to the lamp head
  c.Fill(Box(6, 30, 16, 42, 1), Hex(0x2A2C34));
  c.Fill(Box(22, 28, 30, 44, 1.5f), Hex(0x202028));
  c.Fill(Box(23.5f, 29.5f, 28.5f, 42.5f, 1), Linear(23, 29, Hex(0xFFFFF0), 28, 43, Hex(0xFFD860)));
}

void ReflectorPosts(Canvas& c) {  // night: white posts with bright reflectors along the barrier
  for (int i = 0; i < 4; ++i) {
    const float y = 9.0f + i * 18;
    c.Shadow(Box(27, y - 3, 33, y + 3, 1), 2, 2, 1.5f, 0.5f);
    c.Fill(Box(27, y - 3, 33, y + 3, 1), Hex(0xF4F4F4));
    c.Fill(Box(30, y - 2, 33, y + 2), Hex(i % 2 ? 0xFF7A10 : 0xFF2A20));
    c.Fill(Circle(31.5f, y, 4), Hex(0xFFB050, 0.25f));
  }
}

// Per group, the props verge codes 1 .. 8 show: the circuit's adverts, tyres, marshals and
// stands everywhere, the rest of the group's own character.
constexpr std::array<std::array<VariantPainter, 8>, RoadLookCount> VergeVariants{{
    {AdvertBoard, TyreWall, HayBales, VergeTree, MarshalPost, Spectators, GreenBarrier, FlagPoles},
    {AdvertBoard, TyreWall, HayBales, BareTree, MarshalPost, Spectators, GreenBarrier, LeafPiles},
    {AdvertBoard, TyreWall, OilDrums, Cacti, MarshalPost, Spectators, GreenBarrier, DesertRocks},
    {AdvertBoard, TyreWall, LampPost, Floodlight, MarshalPost, Spectators, GreenBarrier, ReflectorPosts},
}};

Canvas VergeTile(int look, int variant, bool right) {
  Canvas tile = ProfileTile(Row::Straight, right ? 7 : 0, false);
  if (variant > 0) {
    Canvas overlay(TileSize, TileSize);
    VergeVariants[static_cast<size_t>(look)][static_cast<size_t>(variant - 1)](overlay);
    tile.Draw(right ? overlay.FlippedX() : overlay, 0, 0);
  }
  return tile;
}

// ---------------------------------------------------------------------------------------------
// Ground decoration and objects
// ---------------------------------------------------------------------------------------------

Canvas Flowers() {
  Canvas tile = GroundTile();
  Prng p(49);
  static constexpr uint32_t Petals[] = {0xFF4A6A, 0xFFE14D, 0xFFFFFF, 0xB46AFF};
  for (int clump = 0; clump < 3; ++clump) {
    const float cx = 16 + p.Unit() * 40, cy = 16 + p.Unit() * 40;
    for (int i = 0; i < 6; ++i) {
      const float x = cx + (p.Unit() - 0.5f) * 18, y = cy + (p.Unit() - 0.5f) * 18;
      tile.Fill(Circle(x, y, 2.6f), Hex(Petals[p.Below(4)]));
      tile.Fill(Circle(x, y, 1.0f), Hex(0xFFB020));
    }
  }
  return tile;
}

Canvas Bush() {
  Canvas tile = GroundTile();
  tile.Shadow(Union(Circle(30, 34, 14), Circle(44, 40, 11)), 4, 5, 3, 0.4f);
  for (auto [x, y, r] : {std::array<float, 3>{30, 34, 14}, {44, 40, 11}, {36, 46, 10}}) {
    tile.Fill(Circle(x, y, r + 1), Hex(0x123A16));
    tile.Fill(Circle(x, y, r), Radial(x - r * 0.4f, y - r * 0.4f, r * 1.6f, Hex(0x5CC152), Hex(0x1E6A26)));
  }
  return tile;
}

Canvas Rocks() {
  Canvas tile = GroundTile();
  for (auto [x, y, rx, ry] : {std::array<float, 4>{26, 30, 11, 8}, {42, 42, 8, 6}, {24, 48, 6, 4.5f}}) {
    tile.Shadow(Ellipse(x, y, rx, ry), 3, 3, 2, 0.45f);
    tile.Fill(Ellipse(x, y, rx + 1, ry + 1), Hex(0x2A2C30));
    tile.Fill(Ellipse(x, y, rx, ry), Linear(x - rx, y - ry, Hex(0xD0D4DA), x + rx, y + ry, Hex(0x70747C)));
  }
  return tile;
}

// The decorations of a wood and of a lakeside, kept inside their cell so they meet any
// neighbour.
Canvas WoodTree() {
  Canvas tile = GroundTile();
  DrawTree(tile, 36, 36, 22);
  return tile;
}

Canvas WoodPair() {
  Canvas tile = GroundTile();
  DrawTree(tile, 24, 26, 15);
  DrawTree(tile, 44, 44, 16);
  return tile;
}

Canvas WoodUndergrowth() {
  Canvas tile = Bush();
  DrawTree(tile, 20, 20, 12);
  return tile;
}

void Reeds(Canvas& c, float cx, float cy, int count, uint32_t seed) {
  Prng p(seed);
  for (int i = 0; i < count; ++i) {
    const float x = cx + (p.Unit() - 0.5f) * 22, y = cy + (p.Unit() - 0.5f) * 14;
    c.Fill(Capsule(x, y, x + (p.Unit() - 0.5f) * 5, y - 9, 0.9f), Hex(0x2F6A20));
    c.Fill(Ellipse(x, y - 9, 1.2f, 2.4f), Hex(0x6A3A14));
  }
}

Canvas Pool() {
  Canvas tile = GroundTile();
  const Shape water = Union(Ellipse(34, 38, 24, 17), Ellipse(46, 30, 14, 11));
  tile.Fill(Grow(water, 4), Hex(0xD8C890));
  tile.Fill(Grow(water, 1.2f), Hex(0x1A4A70));
  tile.Fill(water, Radial(28, 30, 40, Hex(0x5AC8F0), Hex(0x1E6AB0)));
  tile.Stroke(Intersect(Circle(32, 40, 8), Box(0, 0, 72, 40)), 1, Hex(0xFFFFFF, 0.5f));
  Reeds(tile, 56, 52, 6, 113);
  return tile;
}

Canvas ReedBed() {
  Canvas tile = GroundTile();
  Reeds(tile, 26, 30, 9, 114);
  Reeds(tile, 46, 50, 7, 115);
  return tile;
}

Canvas ShoreRocks() {
  Canvas tile = Rocks();
  Reeds(tile, 50, 24, 5, 116);
  return tile;
}

// Two-by-two object A, laid out  52 0 / 53 54: three trees in an L.
Canvas TreeGroup() {
  Canvas block = GroundBlock(2, 2);
  DrawTree(block, 36, 38, 27);
  DrawTree(block, 36, 106, 29);
  DrawTree(block, 104, 106, 27);
  return block;
}

// Two-by-two object B, 60 61 / 63 64: a house seen from above, its ridge across the middle.
struct HouseLook {
  float X0, Y0, X1, Y1;      // the roof's outline in the block
  uint32_t Sunny, Shaded;    // the roof's two slopes
  uint32_t Ridge;
  bool Garden;               // a hedge, a path and a tree around a smaller house
};

Canvas House(const HouseLook& h) {
  Canvas block = GroundBlock(2, 2);
  if (h.Garden) {
    block.Fill(Box(h.X0 + 12, h.Y1 - 2, h.X0 + 24, 144), Hex(0xCDB98A));
    for (float x = 6; x < 140; x += 9) block.Fill(Circle(x, 139, 5), Hex(0x1F6B27));
    DrawTree(block, 118, 116, 15);
  }
  const float mid = (h.Y0 + h.Y1) * 0.5f;
  const Shape house = Box(h.X0, h.Y0, h.X1, h.Y1, 3);
  block.Shadow(house, 7, 8, 5, 0.5f);
  block.Fill(Grow(house, 1.5f), Scale(Hex(h.Shaded), 0.35f));
  block.Fill(Intersect(house, Box(0, 0, 144, mid)), Linear(0, h.Y0, Scale(Hex(h.Sunny), 1.08f), 0, mid, Hex(h.Sunny)));
  block.Fill(Intersect(house, Box(0, mid, 144, 144)), Linear(0, mid, Scale(Hex(h.Shaded), 0.9f), 0, h.Y1, Hex(h.Shaded)));
  for (float y = h.Y0 + 8; y < h.Y1 - 2; y += 8)
    if (std::abs(y - mid) > 2) block.Fill(Intersect(house, Box(h.X0, y - 0.5f, h.X1, y + 0.5f)), Hex(0x000000, 0.2f));
  block.Fill(Box(h.X0, mid - 1, h.X1, mid + 1), Hex(h.Ridge));
  const float chimney = h.X1 - (h.X1 - h.X0) * 0.28f;
  block.Fill(Box(chimney, h.Y0 + 12, chimney + 12, h.Y0 + 26, 1), Hex(0x3A3A40));
  return block;
}

constexpr std::array<HouseLook, 4> HouseLooks{{
    {12, 20, 132, 124, 0xE8544A, 0xA83228, 0x5A1A14, false},  // the red barn
    {12, 20, 132, 124, 0x7C8AA6, 0x4E5A74, 0x2A3042, false},  // a slate barn
    {22, 26, 104, 100, 0xF08A3A, 0xB85A1E, 0x6A2E10, true},   // a cottage with a garden
    {30, 18, 120, 96, 0x3AB0A0, 0x1E7A6E, 0x0E3A34, true},    // a teal-roofed house
}};

// The fence around the four-by-four enclosure, 0 55 55 55 / 56 .. 59 / 56 .. 59 / 56 57 57 58.
// Its sides run 68 pixels into the outer cells, so every side piece is the same in each cell it
// fills and the one corner piece closes the square.
constexpr float FenceInset = 68;
constexpr float PostPitch = 18;

void DrawFenceRun(Canvas& c, float x0, float y0, float x1, float y1) {
  const bool horizontal = y0 == y1;
  c.Fill(Capsule(x0, y0, x1, y1, 2.2f), Hex(0x4A2A10));
  c.Fill(Capsule(x0, y0, x1, y1, 1.1f), Hex(0xC8904A));
  const float from = horizontal ? x0 : y0, to = horizontal ? x1 : y1;
  for (float p = std::ceil((from - 14) / PostPitch) * PostPitch + 14; p <= to; p += PostPitch) {
    const float px = horizontal ? p : x0, py = horizontal ? y0 : p;
    c.Fill(Box(px - 3, py - 3, px + 3, py + 3, 1), Hex(0x3A200C));
    c.Fill(Box(px - 2, py - 2, px + 2, py + 2, 0.5f), Hex(0x9A6A34));
  }
}

Canvas FenceBlock() {
  Canvas block = GroundBlock(4, 4);
  const float a = FenceInset, b = 3 * T + FenceInset;
  DrawFenceRun(block, T, a, 4 * T, a);    // top, from the gate
  DrawFenceRun(block, a, T, a, 4 * T);    // left, from the gate
  DrawFenceRun(block, T, b, b, b);        // bottom
  DrawFenceRun(block, b, T, b, b);        // right
  return block;
}

// Three-by-three object: a pond with a jetty.
Canvas Pond() {
  Canvas block = GroundBlock(3, 3);
  const Shape water = Union(Union(Ellipse(108, 110, 78, 60), Ellipse(78, 136, 48, 44)), Ellipse(142, 82, 50, 40));
  block.Fill(Grow(water, 7), Linear(0, 0, Hex(0xE8D8A0), 216, 216, Hex(0xC8B070)));
  block.Fill(Grow(water, 1.5f), Hex(0x1A4A70));
  block.Fill(water, Radial(90, 90, 140, Hex(0x5AC8F0), Hex(0x1E6AB0)));
  for (auto [x, y, r] : {std::array<float, 3>{96, 100, 14}, {130, 128, 10}, {70, 140, 9}})
    block.Stroke(Intersect(Circle(x, y, r), Box(0, 0, 216, y)), 1.2f, Hex(0xFFFFFF, 0.55f));
  for (auto [x, y] : {std::array<float, 2>{120, 96}, {88, 124}, {150, 112}}) {
    block.Fill(Circle(x, y, 5), Hex(0x2E8A3A));
    block.Fill(Circle(x + 1, y - 1, 1.6f), Hex(0xFF8AB0));
  }
  block.Shadow(Box(170, 118, 200, 128), 2, 3, 2, 0.5f);
  block.Fill(Box(160, 116, 204, 130, 1), Hex(0x5A3410));
  for (int i = 0; i < 8; ++i) block.Fill(Box(161.0f + i * 5.4f, 117, 165.0f + i * 5.4f, 129), Hex(0xB88048));
  Prng reeds(65);
  for (int i = 0; i < 26; ++i) {
    const float a = reeds.Unit() * 6.283f;
    const float x = 108 + std::cos(a) * 84, y = 110 + std::sin(a) * 66;
    if (water(x, y) > 12 || water(x, y) < -2) continue;
    block.Fill(Capsule(x, y, x + (reeds.Unit() - 0.5f) * 4, y - 7, 0.9f), Hex(0x2F6A20));
    block.Fill(Ellipse(x, y - 7, 1.2f, 2.2f), Hex(0x6A3A14));
  }
  return block;
}

// Cuts a block into its cells and files them under their tile codes (-1 leaves a cell out).
template <size_t N>
void FileCells(std::vector<Canvas>& tiles, const Canvas& block, int columns, const std::array<int, N>& codes) {
  for (size_t i = 0; i < N; ++i) {
    if (codes[i] < 0) continue;
    const int col = static_cast<int>(i) % columns, row = static_cast<int>(i) / columns;
    tiles[codes[i]] = block.Cut(col * TileSize, row * TileSize, TileSize, TileSize);
  }
}

// The six cross-section columns a shift row names, in code order: left verge, left shoulder,
// left lane, right lane, right shoulder, right verge.
constexpr std::array<int, 6> ShiftColumns{0, 1, 2, 5, 6, 7};

struct ShiftCodes {
  int First;
  Row Kind;
};
constexpr std::array<ShiftCodes, 4> ShiftRows{{{25, Row::DispLeft}, {31, Row::HalfLeft}, {37, Row::DispRight}, {43, Row::HalfRight}}};

// ---------------------------------------------------------------------------------------------
// Asphalt variants: a repair patch or cracks inside a straight lane cell, clear of its lines and
// of the cell's edges so that it meets any neighbour.
// ---------------------------------------------------------------------------------------------

// The part of a lane cell free of lines: left lane, inner lane, right lane.
struct LaneInterior {
  float X0, X1;
};
constexpr std::array<LaneInterior, 3> LaneInteriors{{{16, 64}, {8, 64}, {8, 56}}};

// Fresh asphalt laid over a cut: the same grain a shade darker, an uneven outline and a faint
// sealed seam, so that it reads as road and not as something lying on it.
void RepairPatch(Canvas& c, const LaneInterior& in) {
  const Shape patch = Polygon({{in.X0 + 5, 17}, {in.X1 - 9, 14}, {in.X1 - 6, 33}, {in.X1 - 8, 50}, {in.X0 + 7, 48}, {in.X0 + 4, 31}});
  c.Fill(Grow(patch, 0.8f), Hex(0x2E3036, 0.3f));
  c.Fill(patch, [](float x, float y) { return WithAlpha(Scale(Asphalt(x + 23, y + 41), 0.9f), 0.85f); });
  c.Fill(Ellipse(in.X1 - 12, 60, 6, 3.5f), Hex(0x202126, 0.25f));  // an oil stain
}

void Cracks(Canvas& c, const LaneInterior& in) {
  const float w = in.X1 - in.X0;
  const std::array<std::pair<float, float>, 5> crack{{{in.X0 + 0.2f * w, 8}, {in.X0 + 0.35f * w, 22}, {in.X0 + 0.3f * w, 36},
                                                      {in.X0 + 0.55f * w, 50}, {in.X0 + 0.5f * w, 64}}};
  for (size_t i = 0; i + 1 < crack.size(); ++i)
    c.Fill(Capsule(crack[i].first, crack[i].second, crack[i + 1].first, crack[i + 1].second, 0.7f), Hex(0x26272C, 0.7f));
  c.Fill(Capsule(crack[2].first, crack[2].second, in.X0 + 0.8f * w, 30, 0.6f), Hex(0x26272C, 0.55f));
}

// ---------------------------------------------------------------------------------------------
// Looks of the level groups, made from the green look by recolouring what grows
// ---------------------------------------------------------------------------------------------

Rgba InLook(const Rgba& c, int look) {
  if (look == 0) return c;
  const float plant = std::clamp((c.G - std::max(c.R, c.B)) * 5, 0.0f, 1.0f);
  Rgba grown = c;
  if (look == 1) grown = Rgba{std::min(1.0f, 0.9f * c.G + 0.08f), 0.74f * c.G, 0.5f * c.B, c.A};  // autumn
  if (look == 2) grown = Rgba{std::min(1.0f, 0.9f * c.G + 0.12f), 0.8f * c.G + 0.05f, 0.45f * c.G, c.A};  // dry
  Rgba out = Mix(c, grown, plant);
  if (look == 3) {  // dusk: darker and bluer, the bright parts less so
    const float lum = 0.3f * out.R + 0.59f * out.G + 0.11f * out.B;
    const float keep = lum * lum * 0.7f;
    out = Rgba{out.R * (0.45f + 0.55f * keep), out.G * (0.5f + 0.5f * keep), std::min(1.0f, out.B * (0.72f + 0.28f * keep) + 0.04f), out.A};
  }
  return out;
}

Canvas Recoloured(const Canvas& tile, int look) {
  Canvas out = tile;
  for (int y = 0; y < out.Height(); ++y)
    for (int x = 0; x < out.Width(); ++x) out.At(x, y) = InLook(tile.At(x, y), look);
  return out;
}

}  // namespace

std::vector<Canvas> RoadTiles() {
  std::vector<Canvas> tiles;
  tiles.reserve(static_cast<size_t>(RoadLookPatterns) * RoadLookCount);
  for (int look = 0; look < RoadLookCount; ++look)
    for (const Canvas& tile : RoadTilesOfOneLook(look)) tiles.push_back(Recoloured(tile, look));
  return tiles;
}

std::vector<Canvas> RoadTilesOfOneLook(int look) {
  look = std::clamp(look, 0, RoadLookCount - 1);
  Style = &LookStyles[static_cast<size_t>(look)];
  std::vector<Canvas> tiles(RoadLookPatterns, GroundTile());
  for (int v = 0; v < 9; ++v) {
    tiles[1 + v] = VergeTile(look, v, false);
    tiles[13 + v] = VergeTile(look, v, true);
  }
  tiles[10] = ProfileTile(Row::Straight, 2, false);
  tiles[11] = ProfileTile(Row::Straight, 3, false);
  tiles[12] = ProfileTile(Row::Straight, 5, false);
  tiles[22] = ProfileTile(Row::Straight, 1, true);
  tiles[23] = ProfileTile(Row::Straight, 6, true);
  constexpr TileEnds band{true};
  tiles[24] = ProfileTile(Row::Straight, 3, false, band);
  tiles[patStartLeftEnd] = ProfileTile(Row::Straight, 2, false, band);
  tiles[patStartRightEnd] = ProfileTile(Row::Straight, 5, false, band);
  // The rounded ends of the marked shoulders and of the hazard boards.
  for (int side = 0; side < 2; ++side) {
    const int column = side == 0 ? 1 : 6;
    tiles[patShoulderStart + 2 * side] = ProfileTile(Row::Straight, column, true, TileEnds{false, +1, 0});
    tiles[patShoulderEnd + 2 * side] = ProfileTile(Row::Straight, column, true, TileEnds{false, -1, 0});
  }
  struct BoardEnd {
    int Pattern;
    Row Kind;
    int Verge, Shoulder;  // cross-section columns
    int End;
  };
  constexpr std::array<BoardEnd, 4> boardEnds{{{patBoardStartRight, Row::HalfLeft, 7, 6, +1},
                                               {patBoardEndRight, Row::DispLeft, 7, 6, -1},
                                               {patBoardStartLeft, Row::HalfRight, 0, 1, +1},
                                               {patBoardEndLeft, Row::DispRight, 0, 1, -1}}};
  for (const BoardEnd& b : boardEnds) {
    tiles[b.Pattern] = ProfileTile(b.Kind, b.Verge, true, TileEnds{false, 0, b.End});
    tiles[b.Pattern + BoardShoulderOffset] = ProfileTile(b.Kind, b.Shoulder, true, TileEnds{false, 0, b.End});
  }
  constexpr std::array<Row, 4> diagonals{Row::HalfLeft, Row::DispLeft, Row::HalfRight, Row::DispRight};
  for (size_t i = 0; i < diagonals.size(); ++i) tiles[patInnerHalfLeft + i] = ProfileTile(diagonals[i], 3, true);
  constexpr int firstLane = 10;  // tile codes 10, 11, 12: left, inner, right lane
  for (int lane = 0; lane < 3; ++lane) {
    tiles[patLanePatched + lane] = tiles[firstLane + lane];
    RepairPatch(tiles[patLanePatched + lane], LaneInteriors[lane]);
    tiles[patLaneCracked + lane] = tiles[firstLane + lane];
    Cracks(tiles[patLaneCracked + lane], LaneInteriors[lane]);
  }
  for (const ShiftCodes& s : ShiftRows)
    for (size_t i = 0; i < ShiftColumns.size(); ++i) tiles[s.First + i] = ProfileTile(s.Kind, ShiftColumns[i], true);
  for (int v = 0; v < GroundVariants; ++v) tiles[patGroundVaried + v] = GroundVariant(v);
  tiles[49] = Flowers();
  tiles[50] = Bush();
  tiles[51] = Rocks();
  tiles[patWoodDecor] = WoodTree();
  tiles[patWoodDecor + 1] = WoodPair();
  tiles[patWoodDecor + 2] = WoodUndergrowth();
  tiles[patLakeDecor] = Pool();
  tiles[patLakeDecor + 1] = ReedBed();
  tiles[patLakeDecor + 2] = ShoreRocks();
  FileCells(tiles, TreeGroup(), 2, std::array<int, 4>{52, -1, 53, 54});
  FileCells(tiles, FenceBlock(), 4, std::array<int, 16>{-1, 55, -1, -1, 56, -1, -1, 59, -1, -1, -1, -1, -1, 57, -1, 58});
  constexpr std::array<int, 4> houseFirst{60, patHouseSlate, patHouseCottage, patHouseTeal};
  for (size_t i = 0; i < HouseLooks.size(); ++i) {
    const int f = houseFirst[i];
    FileCells(tiles, House(HouseLooks[i]), 2, f == 60 ? std::array<int, 4>{60, 61, 63, 64} : std::array<int, 4>{f, f + 1, f + 2, f + 3});
  }
  FileCells(tiles, Pond(), 3, std::array<int, 9>{65, 66, 67, 68, 69, 70, 71, 72, 73});
  return tiles;
}

}  // namespace art
