// Image list 1: the menu backdrop, buttons, titles, panels and option pictures. Positions in the
// comments are where the screens put the pictures (top-left corners on the 800 x 600 surface).
#include <algorithm>
#include <array>
#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "bikes.h"
#include "pack.h"
#include "style.h"

using namespace art;

namespace {

constexpr float Pi = 3.14159265f;

// ---------------------------------------------------------------------------------------------
// Buttons: one face for every button of every screen
// ---------------------------------------------------------------------------------------------

struct ButtonLayout {
  const char* Label;
  int Width, Height;
  float TextSize;
};

Canvas ButtonFace(const ButtonLayout& layout, bool lit) {
  const float w = static_cast<float>(layout.Width), h = static_cast<float>(layout.Height);
  const float r = h * 0.32f;
  Canvas canvas(layout.Width, layout.Height);
  const Shape outer = Box(0.5f, 0.5f, w - 0.5f, h - 0.5f, r);
  const Shape inner = Box(3, 3, w - 3, h - 3, r - 2.5f);
  if (lit) {
    canvas.Fill(outer, Hex(0xFFFFFF));
    canvas.Fill(inner, Linear(0, 3, Hex(0xFFE45C), 0, h - 3, Hex(0xFF7A1A)));
    canvas.Fill(Intersect(inner, Box(0, 0, w, h * 0.45f)), Hex(0xFFFFFF, 0.22f));
  } else {
    canvas.Fill(outer, Linear(0, 0, Hex(0x6FA8FF), 0, h, Hex(0x2B4FC0)));
    canvas.Fill(inner, Linear(0, 3, Hex(0x22307A), 0, h - 3, Hex(0x0E1644)));
    canvas.Fill(Intersect(inner, Box(0, 0, w, h * 0.45f)), Hex(0xFFFFFF, 0.07f));
  }
  // Speed stripes at the left end.
  for (int i = 0; i < 3; ++i) {
    const float x = 12.0f + i * 7.0f;
    canvas.Fill(Polygon({{x, h * 0.3f}, {x + 4, h * 0.3f}, {x + 1, h * 0.7f}, {x - 3, h * 0.7f}}),
                lit ? Hex(0x9A2A00, 0.8f - i * 0.2f) : Hex(0x42FCCA, 0.8f - i * 0.2f));
  }
  TextStyle text;
  text.Size = layout.TextSize;
  if (lit) {
    text.Fill = Solid(Hex(0x1A0E30));
  } else {
    text.Fill = Linear(0, h * 0.25f, Hex(0xFFFFFF), 0, h * 0.75f, Hex(0xB8D4FF));
    text.ShadowOffset = 2;
  }
  DrawText(canvas, layout.Label, w * 0.5f + 8, h * 0.5f, Anchor::Center, text);
  return canvas;
}

// A button of the sub-screens and popups: pattern 0 highlighted, pattern 1 normal.
TPictureCollectionItem TwoLookButton(const ButtonLayout& layout) {
  const std::vector<Canvas> looks{ButtonFace(layout, true), ButtonFace(layout, false)};
  return MakeItem(std::string("Button ") + layout.Label, ToKeyedPicture(PatternGrid(looks, 2)), layout.Width, layout.Height);
}

// The vehicle selection's arrows, as tall as the bike picture beside them.
Canvas ArrowFace(bool pointsRight, bool lit) {
  constexpr int w = 64, h = 200;
  Canvas canvas(w, h);
  canvas.Fill(Box(4, 40, w - 4, h - 40, 16), lit ? Hex(0xFF9A2A, 0.85f) : Hex(0x1A2A70, 0.85f));
  canvas.Stroke(Box(4, 40, w - 4, h - 40, 16), 3, lit ? Hex(0xFFFFFF) : Hex(0x5A8CFF));
  const float cx = w * 0.5f, cy = h * 0.5f, d = pointsRight ? 1.0f : -1.0f;
  const Shape chevron = Polygon({{cx - 12 * d, cy - 26}, {cx + 14 * d, cy}, {cx - 12 * d, cy + 26},
                                 {cx - 12 * d, cy + 12}, {cx, cy}, {cx - 12 * d, cy - 12}});
  canvas.Fill(Grow(chevron, 2), Hex(0x0A0E26));
  canvas.Fill(chevron, lit ? Hex(0xFFFFFF) : Hex(0x42FCCA));
  return canvas;
}

TPictureCollectionItem ArrowButton(bool pointsRight) {
  const std::vector<Canvas> looks{ArrowFace(pointsRight, true), ArrowFace(pointsRight, false)};
  return MakeItem(pointsRight ? "Next bike" : "Previous bike", ToKeyedPicture(PatternGrid(looks, 2)), 64, 200);
}

// ---------------------------------------------------------------------------------------------
// Backdrop
// ---------------------------------------------------------------------------------------------

void DrawLogo(Canvas& canvas) {
  TextStyle logo;
  logo.Size = 86;
  logo.Fill = Linear(0, 20, Hex(0xFFF27A), 0, 150, Hex(0xFF6A10));
  logo.Outline = 4;
  logo.OutlineColor = Hex(0x140A30);
  logo.ShadowOffset = 6;
  DrawText(canvas, "Zubo", 30, 18, Anchor::TopLeft, logo);
  DrawText(canvas, "Kranz", 62, 92, Anchor::TopLeft, logo);
  // Speed stripes trailing the name.
  for (int i = 0; i < 4; ++i) {
    const float y = 36.0f + i * 14.0f;
    canvas.Fill(Capsule(250 + i * 12.0f, y, 340, y, 3), Hex(0x42FCCA, 0.75f - i * 0.12f));
  }
}

// A sweeping race track on the right: the bike rides out of it on the main menu.
void DrawTrackSweep(Canvas& canvas) {
  const float cx = 980, cy = 760, r0 = 520, r1 = 650;
  const Shape ring = Subtract(Circle(cx, cy, r1), Circle(cx, cy, r0));
  canvas.Fill(Grow(ring, 14), Hex(0x0E1A40));
  canvas.Fill(ring, Hex(0x262B3C));
  for (int i = 0; i < 48; ++i) {
    const float a0 = Pi + i * (Pi / 48), a1 = a0 + Pi / 96;
    const auto kerb = [&](float r) {
      return Polygon({{cx + std::cos(a0) * r, cy + std::sin(a0) * r},
                      {cx + std::cos(a1) * r, cy + std::sin(a1) * r},
                      {cx + std::cos(a1) * (r + 10), cy + std::sin(a1) * (r + 10)},
                      {cx + std::cos(a0) * (r + 10), cy + std::sin(a0) * (r + 10)}});
    };
    canvas.Fill(kerb(r1 - 10), Hex(0xE8202A));
    canvas.Fill(kerb(r0), Hex(0xE8202A));
  }
  canvas.Stroke(Circle(cx, cy, (r0 + r1) * 0.5f), 3, Hex(0xFFFFFF, 0.55f));
}

Canvas Backdrop() {
  Canvas canvas(800, 600);
  canvas.Fill(Box(0, 0, 800, 600), Linear(0, 0, Hex(0x0A0F33), 0, 600, Hex(0x1B1050)));
  canvas.Fill(Circle(640, 330, 330), Radial(640, 330, 330, Hex(0x2A3CA8, 0.55f), Hex(0x2A3CA8, 0)));
  // Fine diagonal speed lines over the whole backdrop.
  Prng lines(7);
  for (int i = 0; i < 60; ++i) {
    const float x = lines.Unit() * 900 - 50, y = lines.Unit() * 600, len = 40 + lines.Unit() * 120;
    canvas.Fill(Capsule(x, y, x + len, y - len * 0.18f, 0.8f), Hex(0x6FA8FF, 0.10f + lines.Unit() * 0.12f));
  }
  DrawTrackSweep(canvas);
  // The hero bike rides out of the bend, trailing speed lines.
  for (int i = 0; i < 5; ++i) {
    const float y = 330.0f + i * 22, x = 470.0f - i * 14;
    canvas.Fill(Capsule(x, y, x + 120, y - 66, 3), Hex(0x42FCCA, 0.75f - i * 0.12f));
  }
  DrawBikeAt(canvas, BikeModels[0], 640, 300, 3.0f, 0.5f);
  canvas.Fill(Box(0, 580, 800, 600), Hex(0x050820, 0.6f));
  for (int i = 0; i < 40; ++i) canvas.Fill(Box(i * 20.0f, 590, i * 20.0f + 10, 600), (i % 2) ? Hex(0xFFFFFF, 0.55f) : Hex(0x000000, 0.4f));
  for (int i = 0; i < 40; ++i) canvas.Fill(Box(i * 20.0f + 10, 580, i * 20.0f + 20, 590), (i % 2) ? Hex(0xFFFFFF, 0.55f) : Hex(0x000000, 0.4f));
  DrawLogo(canvas);
  return canvas;
}

// ---------------------------------------------------------------------------------------------
// Titles, panels, option pictures
// ---------------------------------------------------------------------------------------------

// The screen titles are centred over the panels at x 574 where the surface leaves room for it;
// each picture's left edge is where its screen puts it.
constexpr int TitleCentreX = 574, TitleRightLimit = 792;

Canvas Title(const char* text, int left) {
  const int width = std::min(2 * (TitleCentreX - left), TitleRightLimit - left);
  constexpr int height = 72;
  Canvas canvas(width, height);
  TextStyle style;
  style.Size = 64;
  while (MeasureText(text, style).first > width - 20 && style.Size > 20) style.Size -= 2;
  style.Fill = Linear(0, 8, Hex(0xFFF27A), 0, 60, Hex(0xFF7A1A));
  style.Outline = 3;
  style.OutlineColor = Hex(0x140A30);
  style.ShadowOffset = 4;
  canvas.Fill(Capsule(14, height - 7.0f, width - 14.0f, height - 7.0f, 2.5f), Hex(0x42FCCA));
  DrawText(canvas, text, width * 0.5f, height * 0.45f, Anchor::Center, style);
  return canvas;
}

constexpr int PanelWidth = 434, PanelHeight = 400;

// Vehicle selection: the rating rows (marks at x 546 + 18 i, rows at y 396, 424, 454, 486).
constexpr int RatingMarkLeft = 546, RatingPitch = 18, RatingSlots = 11;
constexpr std::array<int, 4> RatingRowY{396, 424, 454, 486};
constexpr std::array<const char*, 4> RatingLabels{"TOP SPEED", "HANDLING", "ACCELERATION", "BRAKES"};
constexpr int MarkWidth = 16, MarkHeight = 22;

Shape MarkShape(float x, float y) {
  return Polygon({{x + 5, y + 1}, {x + 16, y + 1}, {x + 11, y + 21}, {x, y + 21}});
}

Canvas RatingMark() {
  Canvas canvas(MarkWidth, MarkHeight);
  canvas.Fill(MarkShape(0, 0), Linear(0, 0, Hex(0xB0FFE8), 0, MarkHeight, Hex(0x00C88A)));
  return canvas;
}

Canvas VehiclePanel(int left, int top) {
  Canvas canvas = Plate(PanelWidth, PanelHeight, 18, palette::SkyBlue);
  for (size_t row = 0; row < RatingRowY.size(); ++row) {
    const float y = static_cast<float>(RatingRowY[row] - top);
    DrawLabel(canvas, RatingLabels[row], 22, y + MarkHeight * 0.5f, 17, Hex(0xFFF2A8), Anchor::CenterLeft);
    for (int i = 0; i < RatingSlots; ++i) {
      const float x = static_cast<float>(RatingMarkLeft + RatingPitch * i - left);
      canvas.Fill(MarkShape(x, y), Hex(0x060A22));
      canvas.Stroke(MarkShape(x, y), 1, Hex(0x3A4A90));
    }
  }
  return canvas;
}

// High scores: ten rows centred at y 196 + 33.7 (n - 1), names at x 578, scores at x 732.
Canvas HighScorePanel(int left, int top) {
  constexpr int width = 436;
  Canvas canvas = Plate(width, PanelHeight, 18, palette::SkyBlue);
  DrawLabel(canvas, "NAME", 578.0f - left, 160.0f - top, 16, Hex(0x42FCCA));
  DrawLabel(canvas, "SCORE", 732.0f - left, 160.0f - top, 16, Hex(0x42FCCA));
  static constexpr const char* Ranks[10] = {"1ST", "2ND", "3RD", "4TH", "5TH", "6TH", "7TH", "8TH", "9TH", "10TH"};
  for (int n = 1; n <= 10; ++n) {
    const float y = std::round(33.7f * (n - 1) + 196) - top;
    if (n % 2) canvas.Fill(Box(14, y - 15, width - 14.0f, y + 15, 6), Hex(0x2A3CA8, 0.35f));
    DrawLabel(canvas, Ranks[n - 1], 24, y, 16, n <= 3 ? Hex(0xFFDE00) : Hex(0x8FA8E8), Anchor::CenterLeft);
  }
  return canvas;
}

enum class OptionIcon { Windowed, FullScreen, Music, Sound };

void DrawOptionIcon(Canvas& canvas, OptionIcon icon, float x, float y, const Rgba& color) {
  switch (icon) {
    case OptionIcon::Windowed:
    case OptionIcon::FullScreen:
      canvas.Stroke(Box(x, y, x + 34, y + 24, 3), 2.5f, color);
      canvas.Fill(Box(x + 13, y + 26, x + 21, y + 31), color);
      if (icon == OptionIcon::FullScreen) {
        canvas.Fill(Box(x + 4, y + 4, x + 30, y + 20, 1), color);
      } else {
        canvas.Fill(Box(x + 8, y + 7, x + 24, y + 18, 1), color);
      }
      break;
    case OptionIcon::Music:
      canvas.Fill(Ellipse(x + 9, y + 25, 6, 4.5f), color);
      canvas.Fill(Ellipse(x + 25, y + 21, 6, 4.5f), color);
      canvas.Fill(Box(x + 13, y + 3, x + 15.5f, y + 25), color);
      canvas.Fill(Box(x + 29, y - 1, x + 31.5f, y + 21), color);
      canvas.Fill(Polygon({{x + 13, y + 3}, {x + 31.5f, y - 1}, {x + 31.5f, y + 5}, {x + 13, y + 9}}), color);
      break;
    case OptionIcon::Sound:
      canvas.Fill(Polygon({{x, y + 9}, {x + 8, y + 9}, {x + 18, y}, {x + 18, y + 30}, {x + 8, y + 21}, {x, y + 21}}), color);
      for (int i = 0; i < 2; ++i) {
        const float r = 8.0f + i * 6;
        canvas.Fill(Intersect(Subtract(Circle(x + 20, y + 15, r + 1.5f), Circle(x + 20, y + 15, r - 1.5f)),
                              Box(x + 22, y - 10, x + 60, y + 40)),
                    color);
      }
      break;
  }
}

Canvas OptionPicture(int width, OptionIcon icon, const char* text, bool on) {
  constexpr int height = 48;
  Canvas canvas(width, height);
  const Rgba rim = on ? Hex(0x42FCCA) : Hex(0xC83040);
  DrawPlate(canvas, 0.5f, 0.5f, width - 0.5f, height - 0.5f, 12, rim);
  const Rgba ink = on ? Hex(0xFFFFFF) : Hex(0x8890B0);
  DrawOptionIcon(canvas, icon, 12, 9, on ? Hex(0x42FCCA) : Hex(0xC83040));
  DrawLabel(canvas, text, (56 + width - 8) * 0.5f, height * 0.5f, 20, ink);
  return canvas;
}

Canvas TextField(int width, int height) {
  Canvas canvas(width, height);
  canvas.Fill(Box(0.5f, 0.5f, width - 0.5f, height - 0.5f, 8), Hex(0x42FCCA));
  canvas.Fill(Box(2.5f, 2.5f, width - 2.5f, height - 2.5f, 6), Linear(0, 0, Hex(0x03061A), 0, height, Hex(0x101A48)));
  return canvas;
}

Canvas Caret() {
  Canvas canvas(3, 24);
  canvas.Fill(Box(0, 0, 3, 24), Hex(0x00FFAE));
  return canvas;
}

Canvas PopupPanel() {
  constexpr int w = 394, h = 150;
  Canvas canvas = Plate(w, h, 20, palette::Yellow);
  for (int i = 0; i < 20; ++i) {
    const float x = 30.0f + i * 17;
    canvas.Fill(Polygon({{x, 6}, {x + 8, 6}, {x + 4, 12}, {x - 4, 12}}), Hex(0xFFDE00, 0.5f));
  }
  return canvas;
}

// The about page's emblem: a helmet in a badge.
Canvas AboutEmblem() {
  constexpr float s = 96;
  Canvas canvas(96, 96);
  canvas.Fill(Circle(s / 2, s / 2, 47), Hex(0xFFDE00));
  canvas.Fill(Circle(s / 2, s / 2, 43), Radial(36, 34, 60, Hex(0x2A3CA8), Hex(0x0A1030)));
  const Shape helmet = Intersect(Circle(48, 52, 28), Box(0, 0, 96, 70));
  canvas.Fill(Grow(helmet, 2), Hex(0x0A0E26));
  canvas.Fill(helmet, Linear(30, 26, Hex(0xFF5A5A), 70, 70, Hex(0xB0101A)));
  canvas.Fill(Box(40, 44, 80, 60, 7), Hex(0x1C2433));
  canvas.Fill(Box(44, 47, 70, 51, 2), Hex(0x7FC4F0, 0.8f));
  canvas.Fill(Capsule(30, 34, 56, 26, 2.5f), Hex(0xFFFFFF));
  DrawLabel(canvas, "ZK", 48, 80, 16, Hex(0xFFDE00));
  return canvas;
}

// ---------------------------------------------------------------------------------------------
// The list
// ---------------------------------------------------------------------------------------------

constexpr std::array<const char*, 6> MainMenuLabels{"PLAY", "HELP", "OPTIONS", "HIGH SCORES", "WEB SITE", "EXIT"};
constexpr int MainButtonWidth = 280, MainButtonHeight = 52;

struct TitleLayout {
  int Index;
  const char* Text;
  int Left;  // where the screen puts it
};
constexpr std::array<TitleLayout, 4> Titles{{{imgHelpTitle, "HELP", 479}, {imgVehicleTitle, "SELECT BIKE", 312}, {imgOptionsTitle, "OPTIONS", 406},
                                              {imgHighScoresTitle, "HIGH SCORES", 323}}};

struct TwoLookLayout {
  int Index;
  ButtonLayout Button;
};
constexpr std::array<TwoLookLayout, 8> TwoLookButtons{{
    {imgYes, {"YES", 120, 40, 24}},
    {imgNo, {"NO", 120, 40, 24}},
    {imgBack, {"BACK", 128, 44, 24}},
    {imgStart, {"START", 128, 44, 24}},
    {imgClear, {"CLEAR", 128, 44, 24}},
    {imgWorld, {"WORLD", 128, 44, 24}},
    {imgPreviousPage, {"PREV", 128, 44, 24}},
    {imgNextPage, {"NEXT", 128, 44, 24}},
}};

}  // namespace

TPictureCollection BuildMenuImages() {
  std::vector<TPictureCollectionItem> items(imgPopupShade + 1);
  auto put = [&](int index, std::string name, const Canvas& canvas) {
    items[index] = MakeItem(std::move(name), ToKeyedPicture(canvas));
  };
  for (int index : {23, 44, 45, 46, 47, 48, 49}) put(index, "Unused", Placeholder());

  put(imgOptionRow, "Option row", Canvas(8, 8));
  items[imgBackdrop] = MakeItem("Backdrop", ToOpaquePicture(Backdrop()));
  for (size_t i = 0; i < MainMenuLabels.size(); ++i) {
    const ButtonLayout layout{MainMenuLabels[i], MainButtonWidth, MainButtonHeight, 30};
    put(imgMainButtons + static_cast<int>(i), std::string("Menu ") + layout.Label, ButtonFace(layout, false));
    put(imgMainButtonsLit + static_cast<int>(i), std::string("Menu lit ") + layout.Label, ButtonFace(layout, true));
  }
  put(imgWindowed, "Windowed", OptionPicture(236, OptionIcon::Windowed, "WINDOW", true));
  put(imgFullScreen, "Full screen", OptionPicture(236, OptionIcon::FullScreen, "FULL SCREEN", true));
  put(imgMusicOn, "Music on", OptionPicture(120, OptionIcon::Music, "ON", true));
  put(imgMusicOff, "Music off", OptionPicture(120, OptionIcon::Music, "OFF", false));
  put(imgSoundOn, "Sound on", OptionPicture(112, OptionIcon::Sound, "ON", true));
  put(imgSoundOff, "Sound off", OptionPicture(112, OptionIcon::Sound, "OFF", false));
  put(imgCountryField, "Country field", TextField(376, 36));
  put(imgBossKeyField, "Boss key field", TextField(214, 32));
  put(imgCaret, "Caret", Caret());
  for (const TitleLayout& t : Titles) put(t.Index, std::string("Title ") + t.Text, Title(t.Text, t.Left));
  for (size_t i = 0; i < BikeModels.size(); ++i)
    put(imgBikePreviews + static_cast<int>(i), std::string("Preview ") + BikeModels[i].Name, DrawBikePreview(BikeModels[i], 240, 200));
  put(imgPopupPanel, "Popup panel", PopupPanel());
  for (const TwoLookLayout& b : TwoLookButtons) items[b.Index] = TwoLookButton(b.Button);
  items[imgPreviousBike] = ArrowButton(false);
  items[imgNextBike] = ArrowButton(true);
  put(imgAbout, "About", AboutEmblem());
  put(imgOptionsPanel, "Panel", Plate(PanelWidth, PanelHeight, 18, palette::SkyBlue));
  put(imgVehiclePanel, "Vehicle panel", VehiclePanel(358, 130));
  put(imgHighScorePanel, "High score panel", HighScorePanel(356, 130));
  put(imgRatingMark, "Rating mark", RatingMark());
  // Stretched over the whole screen at part opacity behind a popup's panel.
  items[imgPopupShade] = MakeItem("Popup shade", ToOpaquePicture(Canvas(8, 8, palette::Night)));

  TPictureCollection list;
  list.Items = std::move(items);
  return list;
}
