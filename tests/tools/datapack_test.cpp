// The generated data pack read back as the game reads it: every item the game draws is there,
// with the pattern size and pattern count its drawing code relies on, keyed, and placed so that it
// stays on the 800 x 600 surface where the screens put it.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <string>

#include "core/data_layout.h"
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

std::vector<Use> Uses() {
  std::vector<Use> uses{
      // Menus.
      {MenuImageList, imgOptionRow, Any, Any, 1, 530, 154, "option row look"},
      {MenuImageList, imgBackdrop, 800, 600, 1, 0, 0, "menu backdrop"},
      {MenuImageList, imgWindowed, Any, Any, 1, 456, 192, "windowed"},
      {MenuImageList, imgFullScreen, Any, Any, 1, 456, 192, "full screen"},
      {MenuImageList, imgMusicOn, Any, Any, 1, 444, 296, "music on"},
      {MenuImageList, imgMusicOff, Any, Any, 1, 444, 296, "music off"},
      {MenuImageList, imgSoundOn, Any, Any, 1, 590, 296, "sound on"},
      {MenuImageList, imgSoundOff, Any, Any, 1, 590, 296, "sound off"},
      {MenuImageList, imgCountryField, Any, Any, 1, 392, 400, "country field"},
      {MenuImageList, imgBossKeyField, Any, Any, 1, 468, 478, "boss key field"},
      {MenuImageList, imgCaret, Any, Any, 1, 221, 314, "caret"},
      {MenuImageList, imgHelpTitle, Any, Any, 1, 479, 42, "help title"},
      {MenuImageList, imgVehicleTitle, Any, Any, 1, 312, 42, "vehicle selection title"},
      {MenuImageList, imgOptionsTitle, Any, Any, 1, 406, 42, "options title"},
      {MenuImageList, imgHighScoresTitle, Any, Any, 1, 323, 42, "high scores title"},
      {MenuImageList, imgPopupPanel, Any, Any, 1, 185, 219, "popup panel"},
      {MenuImageList, imgYes, Any, Any, 2, 249, 306, "yes"},
      {MenuImageList, imgNo, Any, Any, 2, 377, 306, "no"},
      {MenuImageList, imgBack, Any, Any, 2, 661, 542, "back"},
      {MenuImageList, imgPreviousBike, Any, Any, 2, 378, 180, "previous bike"},
      {MenuImageList, imgNextBike, Any, Any, 2, 712, 180, "next bike"},
      {MenuImageList, imgStart, Any, Any, 2, 366, 542, "start"},
      {MenuImageList, imgClear, Any, Any, 2, 365, 532, "clear"},
      {MenuImageList, imgWorld, Any, Any, 2, 517, 532, "world"},
      {MenuImageList, imgPreviousPage, Any, Any, 2, 360, 542, "previous page"},
      {MenuImageList, imgNextPage, Any, Any, 2, 513, 542, "next page"},
      {MenuImageList, imgAbout, Any, Any, 1, 440, 300, "about"},
      {MenuImageList, imgOptionsPanel, Any, Any, 1, 358, 130, "options and help panel"},
      {MenuImageList, imgVehiclePanel, Any, Any, 1, 358, 130, "vehicle panel"},
      {MenuImageList, imgHighScorePanel, Any, Any, 1, 356, 130, "high score panel"},
      // The last of eleven rating marks 18 pixels apart.
      {MenuImageList, imgRatingMark, Any, Any, 1, 546 + 18 * 10, 486, "rating mark"},
      {MenuImageList, imgPopupShade, Any, Any, 1, Nowhere, Nowhere, "popup shade"},
      // Race.
      {RaceImageList, imgRivals, Any, Any, 1, Nowhere, Nowhere, "rivals' sprite"},
      {RaceImageList, imgRoadTiles, 72, 72, 74, Nowhere, Nowhere, "road tiles"},
      {RaceImageList, imgLeftPanel, Any, 600, 1, LeftPanelX, LeftPanelY, "left panel"},
      {RaceImageList, imgRightPanel, RightPanelWidth, 600, 1, RightPanelX, RightPanelY, "right panel"},
      {RaceImageList, imgNeedle, Any, Any, 1, Nowhere, Nowhere, "speedometer needle"},
      {RaceImageList, imgSkidMark, 10, 14, 1, Nowhere, Nowhere, "skid mark"},
      // Minimap.
      {MinimapImageList, imgMapRivalDot, Any, Any, 1, Nowhere, Nowhere, "rival dot"},
      {MinimapImageList, imgMapPlayerMarker, Any, Any, 1, MapMarkerX, MapMarkerTopY, "player marker"},
      {MinimapImageList, imgMapFrameTop, RightPanelWidth, Any, 1, RightPanelX, MapFrameTopY, "map frame top"},
      {MinimapImageList, imgMapFrameBottom, RightPanelWidth, Any, 1, RightPanelX, MapFrameBottomY, "map frame bottom"},
  };
  for (int b = 0; b < 6; ++b) {
    constexpr int rows[6] = {173, 232, 291, 351, 412, 473};
    uses.push_back({MenuImageList, imgMainButtons + b, Any, Any, 1, 12, rows[b], "main menu button"});
    uses.push_back({MenuImageList, imgMainButtonsLit + b, Any, Any, 1, 12, rows[b], "main menu button lit"});
  }
  for (int m = 0; m < BikeModelCount; ++m) {
    const TBikeDrawLayout& s = BikeDrawLayouts[m];
    uses.push_back({MenuImageList, imgBikePreviews + m, Any, Any, 1, 456, 180, "bike preview"});
    uses.push_back({RaceImageList, s.Upright, s.RiderWidth, s.RiderHeight, 1, Nowhere, Nowhere, "upright bike"});
    uses.push_back({RaceImageList, s.Crash, s.CrashWidth, s.CrashHeight, s.CrashFrames, Nowhere, Nowhere, "crash"});
    uses.push_back({RaceImageList, s.LeanLeft, s.RiderWidth, s.RiderHeight, BikeLeanPatterns, Nowhere, Nowhere, "lean left"});
    uses.push_back({RaceImageList, s.LeanRight, s.RiderWidth, s.RiderHeight, BikeLeanPatterns, Nowhere, Nowhere, "lean right"});
  }
  for (int k = 0; k < 5; ++k) uses.push_back({RaceImageList, imgBonuses + k, 35, 34, 5, Nowhere, Nowhere, "bonus"});
  constexpr int helpY[5] = {410, 350, 290, 230, 470};  // the help page's bonuses, centred at x 398
  for (int k = 0; k < 5; ++k) uses.push_back({RaceImageList, imgHelpBonuses + k, Any, Any, 1, Nowhere, helpY[k], "help bonus"});
  for (int p = 0; p < 10; ++p) uses.push_back({MinimapImageList, imgMapPieces + p, 10, 15, 1, Nowhere, Nowhere, "map piece"});
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
    for (int look : {imgMainButtons, imgMainButtonsLit}) {
      SCOPED_TRACE("button " + std::to_string(look + b));
      EXPECT_LE(rows[b] + Item(MenuImageList, look + b).Height(), rows[b + 1]);
    }
}

TEST_F(DataPack, OptionRowLookIsInvisible) {
  const TPictureCollectionItem& item = Item(MenuImageList, imgOptionRow);
  for (uint32_t rgb : item.Picture.Pixels) ASSERT_EQ(rgb, ColorRefToRGB888(item.TransparentColor));
}

TEST_F(DataPack, SpeedometerPivotLiesInTheLeftPanel) {
  // The needle turns about the point one pattern size right of and below its base (-10, 510).
  const TPictureCollectionItem& needle = Item(RaceImageList, imgNeedle);
  const int pivotX = NeedleX + needle.Width(), pivotY = NeedleY + needle.Height();
  EXPECT_GT(pivotX, 0);
  EXPECT_LT(pivotX, Item(RaceImageList, imgLeftPanel).Width());
  EXPECT_LT(pivotY, 600);
}

// The race turns the needle to max(28, Round(0.76875 x speed + 28)) 256ths of a turn clockwise
// and writes speed x 1.9 in the read-out: at the shown speeds 0, 100, 200, 300 and the scale's end
// 320 (beyond the top speed's 304) the needle must
// point along the dial's own tick for that number (white in the left panel), and between two
// labelled ticks it must not.
TEST_F(DataPack, SpeedometerNeedleLandsOnTheDialsTicks) {
  const TPictureCollectionItem& needle = Item(RaceImageList, imgNeedle);
  const TPictureCollectionItem& panel = Item(RaceImageList, imgLeftPanel);
  const double pivotX = 0.7 * needle.Width(), pivotY = 0.5 * needle.Height();
  const double screenPivotX = NeedleX + needle.Width(), screenPivotY = NeedleY + needle.Height();
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
  const TPictureCollectionItem& panel = Item(MenuImageList, imgPopupPanel);
  for (auto [index, x] : {std::pair{int{imgYes}, 249}, std::pair{int{imgNo}, 377}}) {
    SCOPED_TRACE(index);
    EXPECT_LE(x + Item(MenuImageList, index).Width(), 185 + panel.Width());
    EXPECT_LE(306 + Item(MenuImageList, index).Height(), 219 + panel.Height());
  }
  EXPECT_LE(249 + Item(MenuImageList, imgYes).Width(), 377);  // Yes and No do not overlap
}

}  // namespace
