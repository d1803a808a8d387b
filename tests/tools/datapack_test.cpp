// The generated data pack read back as the game reads it: every item the game draws is there,
// with the pattern size and pattern count its drawing code relies on, keyed, and placed so that it
// stays on the 800 x 600 surface where the screens put it.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <string>

#include "platform/platform.h"

namespace {

constexpr int Any = 0;  // no fixed size
constexpr int Nowhere = -1;

struct Use {
  int List, Index;
  int Width, Height;  // the pattern size the code expects (Any: whatever fits)
  int Patterns;       // patterns the code draws (at least)
  int X = Nowhere, Y = Nowhere;  // where a screen puts its top-left corner, if fixed
  const char* What = "";
};

// Model columns of the vehicle table: RiderDrawWidth/Height, CrashDrawWidth/Height, CrashFrameCount.
struct ModelSizes {
  int RiderW, RiderH, CrashW, CrashH, CrashFrames;
};
constexpr std::array<ModelSizes, 5> Models{{
    {63, 68, 64, 152, 5}, {60, 67, 72, 158, 7}, {68, 69, 88, 204, 5}, {60, 62, 86, 154, 5}, {56, 68, 68, 184, 5}}};

std::vector<Use> Uses() {
  std::vector<Use> uses{
      // Menus.
      {1, 0, Any, Any, 1, 530, 154, "option row look"},
      {1, 1, 800, 600, 1, 0, 0, "menu backdrop"},
      {1, 14, Any, Any, 1, 456, 192, "windowed"},
      {1, 15, Any, Any, 1, 456, 192, "full screen"},
      {1, 16, Any, Any, 1, 444, 296, "music on"},
      {1, 17, Any, Any, 1, 444, 296, "music off"},
      {1, 18, Any, Any, 1, 590, 296, "sound on"},
      {1, 19, Any, Any, 1, 590, 296, "sound off"},
      {1, 20, Any, Any, 1, 392, 400, "country field"},
      {1, 21, Any, Any, 1, 468, 478, "boss key field"},
      {1, 22, Any, Any, 1, 221, 314, "caret"},
      {1, 24, Any, Any, 1, 479, 42, "help title"},
      {1, 25, Any, Any, 1, 312, 42, "vehicle selection title"},
      {1, 26, Any, Any, 1, 406, 42, "options title"},
      {1, 27, Any, Any, 1, 323, 42, "high scores title"},
      {1, 33, Any, Any, 1, 185, 219, "popup panel"},
      {1, 34, Any, Any, 2, 249, 306, "yes"},
      {1, 35, Any, Any, 2, 377, 306, "no"},
      {1, 36, Any, Any, 2, 661, 542, "back"},
      {1, 37, Any, Any, 2, 378, 180, "previous bike"},
      {1, 38, Any, Any, 2, 712, 180, "next bike"},
      {1, 39, Any, Any, 2, 366, 542, "start"},
      {1, 40, Any, Any, 2, 365, 532, "clear"},
      {1, 41, Any, Any, 2, 517, 532, "world"},
      {1, 42, Any, Any, 2, 360, 542, "previous page"},
      {1, 43, Any, Any, 2, 513, 542, "next page"},
      {1, 50, Any, Any, 1, 440, 300, "about"},
      {1, 51, Any, Any, 1, 358, 130, "options and help panel"},
      {1, 52, Any, Any, 1, 358, 130, "vehicle panel"},
      {1, 53, Any, Any, 1, 356, 130, "high score panel"},
      // The last of eleven rating marks 18 pixels apart.
      {1, 54, Any, Any, 1, 546 + 18 * 10, 486, "rating mark"},
      {1, 55, Any, Any, 1, Nowhere, Nowhere, "popup shade"},
      // Race.
      {2, 0, Any, Any, 1, Nowhere, Nowhere, "rivals' sprite"},
      {2, 1, 72, 72, 74, Nowhere, Nowhere, "road tiles"},
      {2, 2, Any, 600, 1, 0, 0, "left panel"},
      {2, 3, 174, 600, 1, 626, 0, "right panel"},
      {2, 4, Any, Any, 1, Nowhere, Nowhere, "speedometer needle"},
      {2, 10, 10, 14, 1, Nowhere, Nowhere, "skid mark"},
      // Minimap.
      {3, 10, Any, Any, 1, Nowhere, Nowhere, "rival dot"},
      {3, 11, Any, Any, 1, 708, 116, "player marker"},
      {3, 12, 174, Any, 1, 626, 0, "map frame top"},
      {3, 13, 174, Any, 1, 626, 195, "map frame bottom"},
  };
  for (int b = 0; b < 6; ++b) {
    constexpr int rows[6] = {173, 232, 291, 351, 412, 473};
    uses.push_back({1, 2 + b, Any, Any, 1, 12, rows[b], "main menu button"});
    uses.push_back({1, 8 + b, Any, Any, 1, 12, rows[b], "main menu button lit"});
  }
  for (int m = 0; m < 5; ++m) {
    const ModelSizes& s = Models[m];
    uses.push_back({1, 28 + m, Any, Any, 1, 456, 180, "bike preview"});
    uses.push_back({2, 5 + m, s.RiderW, s.RiderH, 1, Nowhere, Nowhere, "upright bike"});
    uses.push_back({2, 23 + 3 * m, s.CrashW, s.CrashH, s.CrashFrames, Nowhere, Nowhere, "crash"});
    uses.push_back({2, 24 + 3 * m, s.RiderW, s.RiderH, 6, Nowhere, Nowhere, "lean left"});
    uses.push_back({2, 25 + 3 * m, s.RiderW, s.RiderH, 6, Nowhere, Nowhere, "lean right"});
  }
  for (int k = 0; k < 5; ++k) uses.push_back({2, 11 + k, 35, 34, 5, Nowhere, Nowhere, "bonus"});
  constexpr int helpY[5] = {410, 350, 290, 230, 470};  // items 38..42, centred at x 398
  for (int k = 0; k < 5; ++k) uses.push_back({2, 38 + k, Any, Any, 1, Nowhere, helpY[k], "help bonus"});
  for (int p = 0; p < 10; ++p) uses.push_back({3, p, 10, 15, 1, Nowhere, Nowhere, "map piece"});
  return uses;
}

class DataPack : public ::testing::Test {
protected:
  static void SetUpTestSuite() {
    for (int l = 0; l < 3; ++l)
      ReadImageListFile(std::string(ZK_GAME_DIR) + "/Data/Res/Res" + std::to_string(l + 1) + ".dxg", lists_[l]);
  }
  static const TPictureCollectionItem& Item(int list, int index) { return lists_[list - 1].Items.at(index); }
  static TPictureCollection lists_[3];
};
TPictureCollection DataPack::lists_[3];

std::string Name(const Use& u) {
  return "list " + std::to_string(u.List) + " item " + std::to_string(u.Index) + " (" + u.What + ")";
}

TEST_F(DataPack, EveryItemTheGameDrawsHasItsSizeAndPatterns) {
  for (const Use& u : Uses()) {
    SCOPED_TRACE(Name(u));
    ASSERT_LT(u.Index, lists_[u.List - 1].Count());
    const TPictureCollectionItem& item = Item(u.List, u.Index);
    ASSERT_FALSE(item.Picture.Empty());
    if (u.Width != Any) {
      EXPECT_EQ(item.Width(), u.Width);
    }
    if (u.Height != Any) {
      EXPECT_EQ(item.Height(), u.Height);
    }
    EXPECT_GE(item.PatternCount(), u.Patterns);
    EXPECT_EQ(item.Picture.BitsPerPixel, 24);
  }
}

TEST_F(DataPack, PicturesStayOnTheSurfaceWhereTheScreensPutThem) {
  for (const Use& u : Uses()) {
    SCOPED_TRACE(Name(u));
    const TPictureCollectionItem& item = Item(u.List, u.Index);
    if (u.X != Nowhere) {
      EXPECT_LE(u.X + item.Width(), 800);
    }
    if (u.Y != Nowhere) {
      EXPECT_LE(u.Y + item.Height(), 600);
    }
  }
}

TEST_F(DataPack, SpritesAreKeyedAndTheKeyIsNotAnOrdinaryColour) {
  for (const Use& u : Uses()) {
    SCOPED_TRACE(Name(u));
    const TPictureCollectionItem& item = Item(u.List, u.Index);
    EXPECT_TRUE(item.Transparent);
    const uint16_t key = RGB888To565(ColorRefToRGB888(item.TransparentColor));
    // Every key pixel is the key exactly; no other colour collapses onto it at 16 bits.
    for (uint32_t rgb : item.Picture.Pixels)
      if (RGB888To565(rgb) == key) {
        ASSERT_EQ(rgb, ColorRefToRGB888(item.TransparentColor));
      }
  }
}

TEST_F(DataPack, MainMenuButtonsFitBetweenTheirRows) {
  constexpr int rows[6] = {173, 232, 291, 351, 412, 473};
  for (int b = 0; b < 5; ++b)
    for (int look : {2, 8}) {
      SCOPED_TRACE("button " + std::to_string(look + b));
      EXPECT_LE(rows[b] + Item(1, look + b).Height(), rows[b + 1]);
    }
}

TEST_F(DataPack, OptionRowLookIsInvisible) {
  const TPictureCollectionItem& item = Item(1, 0);
  for (uint32_t rgb : item.Picture.Pixels) ASSERT_EQ(rgb, ColorRefToRGB888(item.TransparentColor));
}

TEST_F(DataPack, SpeedometerPivotLiesInTheLeftPanel) {
  // The needle turns about the point one pattern size right of and below its base (-10, 510).
  const TPictureCollectionItem& needle = Item(2, 4);
  const int pivotX = -10 + needle.Width(), pivotY = 510 + needle.Height();
  EXPECT_GT(pivotX, 0);
  EXPECT_LT(pivotX, Item(2, 2).Width());
  EXPECT_LT(pivotY, 600);
}

// The race turns the needle to max(28, Round(0.76875 x speed + 28)) 256ths of a turn clockwise
// and writes speed x 1.9 in the read-out: at the shown speeds 0, 100, 200, 300 and the scale's end
// 320 (beyond the top speed's 304) the needle must
// point along the dial's own tick for that number (white in the left panel), and between two
// labelled ticks it must not.
TEST_F(DataPack, SpeedometerNeedleLandsOnTheDialsTicks) {
  const TPictureCollectionItem& needle = Item(2, 4);
  const TPictureCollectionItem& panel = Item(2, 2);
  const double pivotX = 0.7 * needle.Width(), pivotY = 0.5 * needle.Height();
  const double screenPivotX = -10 + needle.Width(), screenPivotY = 510 + needle.Height();
  // The needle's tip in its picture: the drawn pixel farthest from the pivot.
  const uint32_t key = ColorRefToRGB888(needle.TransparentColor);
  double tipX = 0, tipY = 0, reach = 0;
  for (int y = 0; y < needle.Height(); ++y)
    for (int x = 0; x < needle.Width(); ++x) {
      if (needle.Picture.Pixels[static_cast<size_t>(y) * needle.Picture.Width + x] == key) continue;
      const double dx = x + 0.5 - pivotX, dy = y + 0.5 - pivotY;
      if (std::hypot(dx, dy) > reach) reach = std::hypot(dx, dy), tipX = dx, tipY = dy;
    }
  ASSERT_GT(reach, 25) << "a needle long enough to read";
  // White panel pixels along the needle between half its length and a little past its tip.
  const auto whiteAlong = [&](double shown) {
    const double speed = shown / 1.9;
    const int angle = std::max(28, static_cast<int>(std::nearbyint(0.76875 * speed + 28)));
    const double a = angle * 2 * 3.14159265358979 / 256;
    const double ux = (tipX * std::cos(a) - tipY * std::sin(a)) / reach, uy = (tipX * std::sin(a) + tipY * std::cos(a)) / reach;
    int white = 0;
    for (double r = reach * 0.5; r <= reach * 1.3; r += 0.5) {
      const int x = static_cast<int>(screenPivotX + ux * r), y = static_cast<int>(screenPivotY + uy * r);
      if (x < 0 || y < 0 || x >= panel.Width() || y >= panel.Height()) continue;
      const uint32_t rgb = panel.Picture.Pixels[static_cast<size_t>(y) * panel.Picture.Width + x];
      if (((rgb >> 16) & 0xFF) >= 230 && ((rgb >> 8) & 0xFF) >= 230 && (rgb & 0xFF) >= 230) ++white;
    }
    return white;
  };
  for (int shown : {0, 100, 200, 300, 320}) EXPECT_GE(whiteAlong(shown), 6) << "no tick under the needle at " << shown;
  for (int shown : {25, 75, 125, 175, 225, 275}) EXPECT_LE(whiteAlong(shown), 1) << "a labelled tick at " << shown;
}

TEST_F(DataPack, PopupButtonsSitInsideThePanel) {
  const TPictureCollectionItem& panel = Item(1, 33);
  for (auto [index, x] : {std::pair{34, 249}, std::pair{35, 377}}) {
    SCOPED_TRACE(index);
    EXPECT_LE(x + Item(1, index).Width(), 185 + panel.Width());
    EXPECT_LE(306 + Item(1, index).Height(), 219 + panel.Height());
  }
  EXPECT_LE(249 + Item(1, 34).Width(), 377);  // Yes and No do not overlap
}

}  // namespace
