// Image list 2: the race. The side panels are laid out around the HUD texts the race screen
// draws over them: clock centred on (87, 23), score (84, 218), lives (113, 342), speed (91, 578),
// level (714, 20), rank from x 736 at y 218 below the minimap, the hit points and the progress bar.
#include <array>
#include <cmath>
#include <string>
#include <vector>

#include "bikes.h"
#include "pack.h"
#include "race_art.h"
#include "road_art.h"
#include "style.h"

namespace art {

namespace {

constexpr float Pi = 3.14159265f;

// ---------------------------------------------------------------------------------------------
// Speedometer
// ---------------------------------------------------------------------------------------------

// The needle turns about the point one pattern size right of and below its base (-10, 510), at
// 0.7 of its width and half its height; the race sets angle 28 + 0.76875 x speed (1/256 turns,
// clockwise) while the read-out shows speed x 1.9. The needle's picture points down to the left
// at angle 0, so that the dial's scale of 0 to 300 spans a symmetric arc from just above the
// left to just above the right, with 150 straight up (the scale goes on to 320); the read-out
// sits below the hub.
constexpr int NeedleWidth = 98, NeedleHeight = 48;
constexpr float NeedlePivotX = 0.7f * NeedleWidth, NeedlePivotY = 0.5f * NeedleHeight;
constexpr float DialX = -10 + NeedleWidth, DialY = 510 + NeedleHeight;
constexpr float NeedleRestUnits = 28, NeedleUnitsPerSpeed = 0.76875f, ShownPerSpeed = 1.9f;
// The dial reads to 320, beyond the read-out's top of 304; the needle's picture is laid out for
// a scale of 300 with its middle straight up.
constexpr float DialTop = 320, DialMiddle = 150;
constexpr float NeedleLength = 42;
constexpr float TickOuter = 48, MajorTickInner = 35, MinorTickInner = 41, LabelRadius = 60;
constexpr float Units = 2 * Pi / 256;
// The needle picture's direction at angle 0, clockwise from pointing left: the shown speed
// DialMiddle then points straight up.
constexpr float NeedleBaseTurn = Pi / 2 - (NeedleRestUnits + NeedleUnitsPerSpeed * DialMiddle / ShownPerSpeed) * Units;

// Direction on the screen of the needle at a shown speed.
std::pair<float, float> DialDirection(float shownSpeed) {
  const float a = NeedleBaseTurn + (NeedleRestUnits + NeedleUnitsPerSpeed * shownSpeed / ShownPerSpeed) * Units;
  return {-std::cos(a), -std::sin(a)};
}

Canvas Needle() {
  Canvas c(NeedleWidth, NeedleHeight);
  const float px = NeedlePivotX, py = NeedlePivotY;
  // Drawn pointing left, then turned to its resting direction about the pivot.
  const Shape blade = Rotated(Polygon({{px - NeedleLength, py}, {px - 4, py - 3.2f}, {px + 11, py - 2.4f}, {px + 11, py + 2.4f}, {px - 4, py + 3.2f}}),
                              px, py, NeedleBaseTurn);
  c.Fill(Grow(blade, 1), Hex(0x2A0A0A));
  c.Fill(blade, Linear(px - 20, py - 12, Hex(0xFF6A3A), px, py + 12, Hex(0xD01A10)));
  c.Fill(Circle(px, py, 7.5f), Hex(0x15151A));
  c.Fill(Circle(px, py, 6.0f), Radial(px - 3, py - 3, 9, Hex(0xE8ECF0), Hex(0x5A606A)));
  c.Fill(Circle(px, py, 2.2f), Hex(0x202026));
  return c;
}

// A band of the dial between two shown speeds and two radii.
Shape DialBand(float from, float to, float inner, float outer) {
  std::vector<std::pair<float, float>> points;
  constexpr int Steps = 12;
  for (int i = 0; i <= Steps; ++i) {
    const auto [dx, dy] = DialDirection(from + (to - from) * i / Steps);
    points.emplace_back(DialX + dx * outer, DialY + dy * outer);
  }
  for (int i = Steps; i >= 0; --i) {
    const auto [dx, dy] = DialDirection(from + (to - from) * i / Steps);
    points.emplace_back(DialX + dx * inner, DialY + dy * inner);
  }
  return Polygon(points);
}

void DrawDial(Canvas& c) {
  const float cx = DialX, cy = DialY;
  const Shape face = Intersect(Circle(cx, cy, LabelRadius + 14), Box(0, 0, 168, 598, 0));
  c.Fill(Grow(face, 2), Hex(0x0A0E26));
  c.Fill(face, Linear(0, cy - 80, Hex(0x6FA8FF), 0, cy + 40, Hex(0x1A2A70)));
  c.Fill(Grow(face, -3), Radial(cx, cy - 20, 100, Hex(0x1A2358), Hex(0x04071A)));
  c.Fill(DialBand(260, DialTop, TickOuter - 7, TickOuter + 2), Hex(0xE8202A, 0.85f));
  for (int v = 0; v <= DialTop; v += 10) {
    const auto [dx, dy] = DialDirection(static_cast<float>(v));
    const bool major = v % 50 == 0 || v == DialTop;
    const float inner = major ? MajorTickInner : MinorTickInner;
    c.Fill(Capsule(cx + dx * inner, cy + dy * inner, cx + dx * TickOuter, cy + dy * TickOuter, major ? 1.6f : 0.8f),
           major ? Hex(0xFFFFFF) : Hex(0x9AB4FF));
    // 300 gives its label to the end of the scale, 20 further on.
    if (major && v != 300) DrawLabel(c, std::to_string(v), cx + dx * LabelRadius, cy + dy * LabelRadius, 12, Hex(0xFFF2A8));
  }
  // The read-out window below the hub, where the race writes the speed (centred on 91, 578).
  DrawPlate(c, 60, 566, 122, 592, 8, palette::Cyan);
  DrawLabel(c, "KM/H", 142, 580, 11, Hex(0x9AB4FF));
}

// ---------------------------------------------------------------------------------------------
// Side panels
// ---------------------------------------------------------------------------------------------

constexpr int PanelWidth = RightPanelWidth, PanelHeight = 600;

void PanelBody(Canvas& c, bool left) {
  c.Fill(Box(0, 0, PanelWidth, PanelHeight), Linear(0, 0, Hex(0x141C4A), 0, PanelHeight, Hex(0x0A0F2E)));
  for (int i = -30; i < 40; ++i) {
    const float x = i * 14.0f;
    c.Fill(Capsule(x, 0, x + 300, PanelHeight, 2), Hex(0xFFFFFF, 0.025f));
  }
  // The edge toward the road.
  const float e = left ? PanelWidth - 6.0f : 0.0f;
  c.Fill(Box(e, 0, e + 6, PanelHeight), Hex(0x0A0E26));
  c.Fill(Box(e + (left ? 1.0f : 2.0f), 0, e + (left ? 4.0f : 5.0f), PanelHeight), Linear(0, 0, Hex(0x6FA8FF), 0, PanelHeight, Hex(0x42FCCA)));
}

void Caption(Canvas& c, const char* text, float x, float y) { DrawLabel(c, text, x, y, 13, Hex(0xFFDE00)); }

void HelmetIcon(Canvas& c, float cx, float cy) {
  const Shape shell = Intersect(Circle(cx, cy, 11), Box(cx - 12, cy - 12, cx + 12, cy + 7));
  c.Fill(Grow(shell, 1.2f), Hex(0x0A0E26));
  c.Fill(shell, Linear(cx - 10, cy - 10, Hex(0xFF6A6A), cx + 10, cy + 8, Hex(0xB0101A)));
  c.Fill(Box(cx - 3, cy - 3, cx + 11, cy + 4, 2), Hex(0x1C2433));
  c.Fill(Capsule(cx - 8, cy - 5, cx - 2, cy - 9, 1.2f), Hex(0xFFFFFF));
}

void StopwatchIcon(Canvas& c, float cx, float cy) {
  c.Fill(Circle(cx, cy, 9), Hex(0x42FCCA));
  c.Fill(Circle(cx, cy, 7), Hex(0x0A1030));
  c.Fill(Box(cx - 2, cy - 13, cx + 2, cy - 9), Hex(0x42FCCA));
  c.Fill(Capsule(cx, cy, cx, cy - 5, 1), Hex(0xFFFFFF));
  c.Fill(Capsule(cx, cy, cx + 4, cy, 1), Hex(0xFFFFFF));
}

Canvas LeftPanel() {
  Canvas c(PanelWidth, PanelHeight);
  PanelBody(c, true);
  DrawPlate(c, 10, 4, 162, 42, 10, palette::Cyan);
  StopwatchIcon(c, 27, 24);
  // The game's name between clock and score.
  TextStyle logo;
  logo.Size = 34;
  logo.Fill = Linear(0, 80, Hex(0xFFF27A), 0, 150, Hex(0xFF6A10));
  logo.Outline = 2;
  logo.OutlineColor = Hex(0x140A30);
  DrawText(c, "Zubo", 84, 92, Anchor::Center, logo);
  DrawText(c, "Kranz", 84, 128, Anchor::Center, logo);
  Caption(c, "SCORE", 84, 186);
  DrawPlate(c, 14, 198, 156, 238, 10, palette::Cyan);
  Caption(c, "LIVES", 84, 306);
  DrawPlate(c, 14, 320, 156, 364, 10, palette::Cyan);
  HelmetIcon(c, 46, 342);
  DrawDial(c);
  return c;
}

// The minimap window of the right panel: cells are drawn from y 31 to 226 and the two frame
// pieces cover everything above y 46 and below y 195.
constexpr int MapTop = 46, MapBottom = MapFrameBottomY, FrameBottomHeight = 40;

Canvas RightPanelWhole() {
  Canvas c(PanelWidth, PanelHeight);
  PanelBody(c, false);
  DrawPlate(c, 12, 3, 164, 37, 10, palette::Cyan);
  const Shape window = Box(4, MapTop - 4, PanelWidth - 4.0f, MapBottom + 4, 8);
  c.Fill(Grow(window, 2), Hex(0x0A0E26));
  c.Fill(window, Linear(0, 0, Hex(0x6FA8FF), 0, 200, Hex(0x42FCCA)));
  c.Fill(Box(7, MapTop, PanelWidth - 7.0f, MapBottom), Linear(0, MapTop, Hex(0x0D1E3A), 0, MapBottom, Hex(0x050A1C)));
  // Below the map: the rank's plate (the race writes it from x 110 at y 218 of the panel), inside
  // the frame piece that covers the map's lower edge, so the map never runs over it.
  DrawPlate(c, 8, 203, 166, 233, 8, palette::Cyan);
  DrawLabel(c, "POSITION", 52, 218, 12, Hex(0xFFDE00));
  // The bike's three hit points: sockets the race lights (centres 47, 87, 127 at y 288).
  Caption(c, "HITS", 87, 258);
  DrawPlate(c, 22, 270, 152, 306, 10, palette::Cyan);
  for (const float x : {47.0f, 87.0f, 127.0f}) {
    c.Fill(Circle(x + 0.5f, 288.5f, 10), Hex(0x05081A));
    c.Stroke(Circle(x + 0.5f, 288.5f, 10), 1.5f, Hex(0x2A3566));
  }
  // The level's road as a bar from the start (bottom) to the finish (top): the race fills it up
  // to the bike and ticks the rivals on it (groove x 81..93, y 356..574).
  Caption(c, "PROGRESS", 87, 328);
  DrawPlate(c, 58, 340, 116, 590, 10, palette::Cyan);
  c.Fill(Box(80, 352, 94, 578, 4), Hex(0x05081A));
  for (int row = 0; row < 2; ++row)
    for (int col = 0; col < 4; ++col)
      c.Fill(Box(79 + col * 4.0f, 343 + row * 4.0f, 83 + col * 4.0f, 347 + row * 4.0f), (row + col) % 2 ? Hex(0x101010) : Hex(0xF4F4F4));
  for (int k = 1; k < 4; ++k) {
    const float y = 574 - k * (574 - 356) / 4.0f;
    c.Fill(Box(96, y - 0.5f, 102, y + 0.5f), Hex(0x9AB4FF));
  }
  DrawLabel(c, "FINISH", 145, 358, 11, Hex(0x9AB4FF));
  DrawLabel(c, "START", 145, 572, 11, Hex(0x9AB4FF));
  return c;
}

// ---------------------------------------------------------------------------------------------
// Bonuses
// ---------------------------------------------------------------------------------------------

constexpr int BonusBoxWidth = 35, BonusBoxHeight = 34, BonusPatterns = 5;

struct BonusLook {
  const char* Label;  // "" for the life
  uint32_t Light, Dark;
};
// Kinds 1..5: 10, 20, 50, 100 points and the extra life.
constexpr std::array<BonusLook, 5> BonusLooks{{
    {"10", 0x7CFF6A, 0x158A2A},
    {"20", 0x7AC8FF, 0x1A4FC0},
    {"50", 0xD49AFF, 0x6A1FB8},
    {"100", 0xFFF27A, 0xD07A00},
    {"", 0xFF7A8A, 0xC0101E},
}};

Shape Heart(float cx, float cy, float s) {
  return Union(Union(Circle(cx - 0.5f * s, cy - 0.25f * s, 0.55f * s), Circle(cx + 0.5f * s, cy - 0.25f * s, 0.55f * s)),
               Polygon({{cx - 1.02f * s, cy - 0.05f * s}, {cx + 1.02f * s, cy - 0.05f * s}, {cx, cy + 1.05f * s}}));
}

// A bonus at animation phase 0..1 (one turn of its shine), drawn `size` pixels across.
Canvas DrawBonus(const BonusLook& look, float phase, int width, int height) {
  Canvas c(width, height);
  const float k = std::min(width, height) / 34.0f;
  const float cx = width * 0.5f, cy = height * 0.5f;
  const bool life = look.Label[0] == 0;
  const float pulse = 1.0f + 0.06f * std::sin(phase * 2 * Pi);
  const Shape body = life ? Heart(cx, cy + 1 * k, 13.5f * k * pulse) : Circle(cx, cy, 15.5f * k * pulse);
  c.Fill(Grow(body, 1.5f * k), Hex(0x0A0E26));
  c.Fill(body, Radial(cx - 5 * k, cy - 6 * k, 22 * k, Hex(look.Light), Hex(look.Dark)));
  if (!life) c.Stroke(Grow(body, -3 * k), 1.5f * k, Hex(0xFFFFFF, 0.7f));
  // The shine sweeps across once per loop.
  const float sx = cx - 26 * k + phase * 52 * k;
  c.Fill(Intersect(body, Polygon({{sx - 4 * k, cy - 20 * k}, {sx + 2 * k, cy - 20 * k}, {sx - 6 * k, cy + 20 * k}, {sx - 12 * k, cy + 20 * k}})),
         Hex(0xFFFFFF, 0.55f));
  TextStyle text;
  text.Size = (life ? 12.0f : (look.Label[2] ? 12.5f : 15.0f)) * k;
  text.Fill = Solid(Hex(0xFFFFFF));
  text.Outline = 1.5f * k;
  text.OutlineColor = Hex(look.Dark);
  DrawText(c, life ? "+1" : look.Label, cx, cy + (life ? -1 : 0.5f) * k, Anchor::Center, text);
  return c;
}

TPictureCollectionItem BonusItem(const BonusLook& look) {
  std::vector<Canvas> patterns;
  for (int p = 0; p < BonusPatterns; ++p)
    patterns.push_back(DrawBonus(look, static_cast<float>(p % 4) / 4.0f, BonusBoxWidth, BonusBoxHeight));
  return MakeItem(look.Label[0] ? std::string("Bonus ") + look.Label : std::string("Bonus life"), ToKeyedPicture(PatternGrid(patterns, BonusPatterns)),
                  BonusBoxWidth, BonusBoxHeight);
}

// A warning board before a shift, seen from above and a little from the front: a yellow board
// with black chevrons pointing the way the road moves, on two posts, with its shadow.
Canvas WarningBoard(bool right) {
  constexpr int W = 52, H = 40;
  constexpr float x0 = 4, x1 = 48, y0 = 6, y1 = 28;
  Canvas c(W, H);
  const Shape board = Box(x0, y0, x1, y1, 3);
  c.Shadow(Union(board, Box(14, y1, 18, 36)), 4, 5, 3, 0.45f);
  for (const float post : {14.0f, 34.0f}) c.Fill(Box(post, y1 - 2, post + 4, 36, 1), Hex(0x6B6F78));
  c.Fill(board, Hex(0x15151A));
  c.Fill(Grow(board, -2), Linear(0, y0, Hex(0xFFE23A), 0, y1, Hex(0xF2B705)));
  for (int k = 0; k < 3; ++k) {
    // A chevron pointing left; the other board mirrors it.
    const float tip = 11 + 11.5f * k, cy = (y0 + y1) / 2, half = 8, depth = 7, thick = 4;
    const Shape chevron = Polygon({{tip, cy}, {tip + depth, cy - half}, {tip + depth + thick, cy - half},
                                   {tip + thick, cy}, {tip + depth + thick, cy + half}, {tip + depth, cy + half}});
    c.Fill(chevron, Hex(0x15151A));
  }
  c.Stroke(Box(x0 + 1.5f, y0 + 1.5f, x1 - 1.5f, y0 + 3, 1), 1, Hex(0xFFFFFF, 0.35f));
  return right ? c.FlippedX() : c;
}

Canvas SkidMark() {
  Canvas c(10, 14);
  c.Fill(Box(1, 0.5f, 9, 13.5f, 3.5f), Hex(0x1E1E22));
  c.Fill(Box(3, 2, 7, 12, 2), Hex(0x2A2A30));
  return c;
}

// ---------------------------------------------------------------------------------------------
// Bikes
// ---------------------------------------------------------------------------------------------

TPictureCollectionItem Strip(const std::string& name, const std::vector<Canvas>& patterns) {
  return MakeItem(name, ToKeyedPicture(PatternGrid(patterns, static_cast<int>(patterns.size()))), patterns[0].Width(),
                  patterns[0].Height());
}

std::vector<Canvas> LeanStrip(const BikeModel& m, bool left) {
  std::vector<Canvas> patterns;
  for (int p = 0; p < LeanPatterns; ++p) patterns.push_back(DrawLeanPattern(m, p, left));
  return patterns;
}

std::vector<Canvas> CrashPatterns(const BikeModel& m) {
  std::vector<Canvas> patterns;
  for (int f = 0; f < m.CrashFrames; ++f) patterns.push_back(DrawCrashPattern(m, f));
  return patterns;
}

}  // namespace

Canvas RightPanelFrameTop() { return RightPanelWhole().Cut(0, 0, PanelWidth, MapTop); }
Canvas RightPanelFrameBottom() { return RightPanelWhole().Cut(0, MapBottom, PanelWidth, FrameBottomHeight); }

}  // namespace art

using namespace art;

// The rivals' liveries follow the game's own items: per rival 1..5, per model 1..5, the upright
// picture, the crash, the lean to the left and to the right.
constexpr int FirstLiveryItem = imgRivalLiveries;

TPictureCollection BuildRaceImages() {
  std::vector<TPictureCollectionItem> items(FirstLiveryItem + RivalLiveries.size() * BikeModels.size() * LiveryItemsPerModel);
  auto put = [&](int index, std::string name, const Canvas& canvas) {
    items[index] = MakeItem(std::move(name), ToKeyedPicture(canvas));
  };
  put(imgRivals, "Unused", Placeholder());
  for (int index = imgWarningBoards + 1; index < imgBikeStrips; ++index) put(index, "Unused", Placeholder());

  const std::vector<Canvas> tiles = RoadTiles();
  items[imgRoadTiles] = MakeItem("Road tiles", ToOpaquePicture(PatternGrid(tiles, TileSetColumns)), TileSize, TileSize);
  put(imgLeftPanel, "Left panel", LeftPanel());
  put(imgRightPanel, "Right panel", RightPanelWhole());
  put(imgNeedle, "Speedometer needle", Needle());
  put(imgSkidMark, "Skid mark", SkidMark());
  items[imgWarningBoards] = Strip("Warning boards", {WarningBoard(false), WarningBoard(true)});
  for (size_t k = 0; k < BonusLooks.size(); ++k) items[imgBonuses + k] = BonusItem(BonusLooks[k]);
  // The help page shows them larger, from the 100-point bonus (38) to the extra life (42).
  constexpr std::array<int, 5> HelpOrder{3, 2, 1, 0, 4};
  for (size_t i = 0; i < HelpOrder.size(); ++i)
    put(imgHelpBonuses + static_cast<int>(i), "Help bonus", DrawBonus(BonusLooks[HelpOrder[i]], 0.15f, 48, 48));

  for (size_t k = 0; k < BikeModels.size(); ++k) {
    const BikeModel& m = BikeModels[k];
    const std::string name = m.Name;
    const TBikeDrawLayout& d = BikeDrawLayouts[k];
    put(d.Upright, name + " upright", DrawUpright(m));
    items[d.Crash] = Strip(name + " crash", CrashPatterns(m));
    items[d.LeanLeft] = Strip(name + " lean left", LeanStrip(m, true));
    items[d.LeanRight] = Strip(name + " lean right", LeanStrip(m, false));
  }
  for (size_t r = 0; r < RivalLiveries.size(); ++r) {
    for (size_t k = 0; k < BikeModels.size(); ++k) {
      const BikeModel m = InLivery(BikeModels[k], RivalLiveries[r]);
      const std::string name = std::string(m.Name) + " rival " + std::to_string(r + 1);
      const size_t base = FirstLiveryItem + (r * BikeModels.size() + k) * LiveryItemsPerModel;
      items[base] = MakeItem(name + " upright", ToKeyedPicture(DrawUpright(m)));
      items[base + 1] = Strip(name + " crash", CrashPatterns(m));
      items[base + 2] = Strip(name + " lean left", LeanStrip(m, true));
      items[base + 3] = Strip(name + " lean right", LeanStrip(m, false));
    }
  }
  TPictureCollection list;
  list.Items = std::move(items);
  return list;
}
