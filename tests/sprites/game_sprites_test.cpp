// The game's sprite base and the interface sprites, on graphics with image lists built in memory.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include "sprite_test_util.h"
#include "sprites/sprites.h"
#include "test_graphics.h"
#include "test_names.h"

namespace {

constexpr uint32_t Red = 0xFF0000, Green = 0x00FF00, Blue = 0x0000FF, White = 0xFFFFFF,
                   Needle = 0xFFFF00;

// List 1: item 0 is 33 x 20 with four patterns (red, green, blue, white), item 1 is 10 x 10 with
// two, item 2 a 20 x 10 needle. List 2: item 0 is 16 x 8 with three patterns.
class GameSpriteTest : public DrawingTest {
protected:
  GameSpriteTest() {
    graphics.ImageList1.Items.Items = {MakeSolidPatterns(33, 20, {Red, Green, Blue, White}),
                                      MakeSolidPatterns(10, 10, {Blue, White}),
                                      MakeSolidPatterns(20, 10, {Needle})};
    graphics.ImageList2.Items.Items = {MakeSolidPatterns(16, 8, {Red, Green, Blue})};
  }
  ~GameSpriteTest() override { FrameTimeMs = savedFrameTimeMs_; }

  TPictureCollectionItem* List1(int index) { return &graphics.ImageList1.Items.Items[index]; }
  TSpriteEngine& Engine() { return graphics.SpriteEngine.Engine; }
  void DrawFrame() {
    graphics.Draw.Fill(0);
    graphics.SpriteEngine.Draw();
  }

private:
  int32_t savedFrameTimeMs_ = FrameTimeMs;
};

// --- creation and pictures --------------------------------------------------------------------

TEST_F(GameSpriteTest, CreateAtTakesPictureSizeFramesAndDepth) {
  TMyImageSprite* s = TMyImageSprite::CreateAt(1, 0, 40, 50, 7);
  EXPECT_EQ(s->Engine, &Engine());
  EXPECT_EQ(s->Image, List1(0));
  EXPECT_EQ(s->Width, 33);
  EXPECT_EQ(s->Height, 20);
  EXPECT_EQ(s->FrameCount, 4);
  EXPECT_TRUE(s->LoopAnimation);
  EXPECT_DOUBLE_EQ(s->X, 40);
  EXPECT_DOUBLE_EQ(s->Y, 50);
  EXPECT_EQ(s->Z, 7);

  TMyImageSprite* fromList2 = TMyImageSprite::CreateAt(2, 0, 0, 0, 1);
  EXPECT_EQ(fromList2->Image, &graphics.ImageList2.Items.Items[0]);
  EXPECT_EQ(fromList2->FrameCount, 3);
}

TEST_F(GameSpriteTest, CreateCenteredCentresInFloats) {
  TMyImageSprite* s = TMyImageSprite::CreateCentered(1, 0, 100, 100, 3);
  EXPECT_DOUBLE_EQ(s->X, 83.5);
  EXPECT_DOUBLE_EQ(s->Y, 90);
}

TEST_F(GameSpriteTest, SelectImageOnAnotherListKeepsThePictureAndResetsFromIt) {
  TMyImageSprite* s = TMyImageSprite::CreateAt(1, 0, 0, 0, 1);
  s->ImageListNo = 3;
  s->Width = 1;
  s->FramePos = 2;
  s->FrameCount = 9;

  EXPECT_EQ(s->SelectImage(1), 4);
  EXPECT_EQ(s->Image, List1(0));
  EXPECT_EQ(s->Width, 33);
  EXPECT_DOUBLE_EQ(s->FramePos, 0);
}

TEST_F(GameSpriteTest, KillOnceTwiceQueuesAndFreesOnce) {
  TMyImageSprite* s = TMyImageSprite::CreateAt(1, 0, 0, 0, 1);
  const int before = Engine().SpriteCount;
  s->KillOnce();
  s->KillOnce();
  EXPECT_EQ(Engine().DeadList.size(), 1u);
  Engine().FreeDead();
  EXPECT_EQ(Engine().SpriteCount, before - 1);
}

// --- animation --------------------------------------------------------------------------------

struct WrapCase {
  double pos, speed, expectedPos;
};

void PrintTo(const WrapCase& c, std::ostream* os) { *os << "from " << c.pos << " by " << c.speed; }

class GameSpriteWrapTest : public GameSpriteTest, public ::testing::WithParamInterface<WrapCase> {};

// Four patterns: from 3.5 on the position restarts so that the rounded frame stays below 4.
TEST_P(GameSpriteWrapTest, PositionPastTheLastHalfFrameRestarts) {
  TMyImageSprite* s = TMyImageSprite::CreateAt(1, 0, 0, 0, 1);
  s->FramePos = GetParam().pos;
  s->FrameSpeed = GetParam().speed;
  s->Step(1);
  EXPECT_NEAR(s->FramePos, GetParam().expectedPos, 1e-9);
}

INSTANTIATE_TEST_SUITE_P(FourFrames, GameSpriteWrapTest,
                         ::testing::Values(WrapCase{3.1, 0.5, 0},      // 3.6: frame 0, not 4
                                           WrapCase{3.0, 0.5, 0},      // 3.5 would round to 4 as well
                                           WrapCase{2.9, 0.5, 3.4},    // below the limit it runs on
                                           WrapCase{2.0, 1.4, 3.4},
                                           WrapCase{3.7, 0.5, 0.2}),  // the base step's wrap
                         test_names::Printed());

TEST_F(GameSpriteTest, FrameRatePercentSetsTheSpeedForTheNextStep) {
  FrameTimeMs = 15;
  TMyImageSprite* s = TMyImageSprite::CreateAt(1, 0, 0, 0, 1);
  s->FramePos = 2;
  s->LoopAnimation = false;
  s->SetAnimation(0, 50);
  EXPECT_DOUBLE_EQ(s->FramePos, 0);
  EXPECT_TRUE(s->LoopAnimation);

  s->Step(FrameTimeMs);
  EXPECT_DOUBLE_EQ(s->FramePos, 0) << "the speed applies from the next step";
  s->Step(FrameTimeMs);
  EXPECT_NEAR(s->FramePos, 0.5, 1e-9);
}

TEST_F(GameSpriteTest, ZeroFrameTimeKeepsTheAnimationFinite) {
  FrameTimeMs = 0;
  TMyImageSprite* s = TMyImageSprite::CreateAt(1, 0, 0, 0, 1);
  s->SetAnimation(0, 100);
  s->Step(1);
  s->Step(1);
  EXPECT_TRUE(std::isfinite(s->FrameSpeed));
  EXPECT_GE(s->FramePos, 0);
  EXPECT_LT(s->FramePos, 4);
}

// --- drawing paths ----------------------------------------------------------------------------

struct RenderCase {
  const char* name;
  bool blend;
  int32_t alpha;
  enum { Plain, Blended, Nothing } path;
};

class GameSpriteRenderTest : public GameSpriteTest,
                             public ::testing::WithParamInterface<RenderCase> {};

// At X 11.5 with FramePos 0.6 the plain path rounds (left 12, pattern 1: green) and the blended
// path truncates (left 11, pattern 0: red).
TEST_P(GameSpriteRenderTest, PicksThePathByBlendAndAlpha) {
  TMyImageSprite* s = TMyImageSprite::CreateAt(1, 0, 0, 20, 1);
  s->X = 11.5;
  s->FramePos = 0.6;
  s->BlendEnabled = GetParam().blend;
  s->Alpha = GetParam().alpha;

  DrawFrame();

  const uint16_t at11 = PixelAt(Surface(), 11, 25), at12 = PixelAt(Surface(), 12, 25);
  const uint16_t at44 = PixelAt(Surface(), 44, 25);
  switch (GetParam().path) {
    case RenderCase::Plain:
      EXPECT_EQ(at11, 0);
      EXPECT_EQ(at12, RGB888To565(Green));
      EXPECT_EQ(at44, RGB888To565(Green));
      break;
    case RenderCase::Blended:
      EXPECT_NE(at11, 0);
      EXPECT_EQ(at11 & RGB565(0, 255, 0), 0) << "red pattern, not green";
      EXPECT_EQ(at44, 0) << "right edge truncated to 44";
      break;
    case RenderCase::Nothing:
      EXPECT_EQ(at11, 0);
      EXPECT_EQ(at12, 0);
      break;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, GameSpriteRenderTest,
    ::testing::Values(RenderCase{"NoBlend", false, 128, RenderCase::Plain},
                      RenderCase{"OpaqueAlphaIsPlain", true, 255, RenderCase::Plain},
                      RenderCase{"HalfAlphaBlends", true, 128, RenderCase::Blended},
                      RenderCase{"ZeroAlphaDrawsNothing", true, 0, RenderCase::Nothing}),
    [](const auto& info) { return std::string(info.param.name); });

// --- menu buttons -----------------------------------------------------------------------------

TEST_F(GameSpriteTest, MenuButtonStartsInItsNormalLook) {
  auto* b = new TMenuButton(1, 1, 0, 1, 2, 30, 40);
  EXPECT_EQ(b->Image, List1(0));
  EXPECT_DOUBLE_EQ(b->FramePos, 2);
  EXPECT_EQ(b->Z, 4);
  EXPECT_EQ(b->NormalZ, 4);
  EXPECT_EQ(b->HoverZ, 5);
  EXPECT_EQ(b->HitWidth, -1);
  EXPECT_DOUBLE_EQ(b->X, 30);
}

struct LookCase {
  bool popupRaise, swapZ;
  int32_t hoverZ, normalZ;
};

void PrintTo(const LookCase& c, std::ostream* os) {
  *os << (c.popupRaise ? "popup raise" : "no raise") << (c.swapZ ? " swap" : " no swap");
}

class MenuButtonLookTest : public GameSpriteTest, public ::testing::WithParamInterface<LookCase> {};

TEST_P(MenuButtonLookTest, HoverAndNormalSwitchPictureFrameAndDepth) {
  auto* b = new TMenuButton(1, 1, 0, 1, 2, 30, 40);
  b->PopupRaise = GetParam().popupRaise;
  b->SwapZ = GetParam().swapZ;

  b->ShowHover();
  EXPECT_EQ(b->Image, List1(1));
  EXPECT_DOUBLE_EQ(b->FramePos, 1);
  EXPECT_EQ(b->Width, 10);
  EXPECT_EQ(b->Z, GetParam().hoverZ);

  b->ShowNormal();
  EXPECT_EQ(b->Image, List1(0));
  EXPECT_DOUBLE_EQ(b->FramePos, 2);
  EXPECT_EQ(b->Z, GetParam().normalZ);
}

INSTANTIATE_TEST_SUITE_P(Flags, MenuButtonLookTest,
                         ::testing::Values(LookCase{false, false, 4, 4}, LookCase{false, true, 5, 4},
                                           LookCase{true, false, 17, 15}, LookCase{true, true, 5, 4}),
                         test_names::Printed());

struct HitCase {
  int32_t hitWidth, hitHeight;
  double px, py;
  bool inside;
};

void PrintTo(const HitCase& c, std::ostream* os) {
  if (c.hitWidth >= 0) *os << "hit width " << c.hitWidth << " ";
  if (c.hitHeight >= 0) *os << "hit height " << c.hitHeight << " ";
  *os << "at " << c.px << " " << c.py;
}

class MenuButtonHitTest : public GameSpriteTest, public ::testing::WithParamInterface<HitCase> {};

// A 200 x 20 button at (306, 100).
TEST_P(MenuButtonHitTest, ContainsPointIncludesEveryEdge) {
  auto* b = new TMenuButton(1, 1, 0, 1, 2, 306, 100);
  b->Width = 200;
  b->HitWidth = GetParam().hitWidth;
  b->HitHeight = GetParam().hitHeight;
  EXPECT_EQ(b->ContainsPoint(GetParam().px, GetParam().py), GetParam().inside);
}

INSTANTIATE_TEST_SUITE_P(
    Edges, MenuButtonHitTest,
    ::testing::Values(HitCase{-1, -1, 506, 110, true}, HitCase{-1, -1, 507, 110, false},
                      HitCase{-1, -1, 306, 100, true}, HitCase{-1, -1, 305.5, 110, false},
                      HitCase{-1, -1, 400, 120, true}, HitCase{-1, -1, 400, 120.5, false},
                      HitCase{50, -1, 356, 110, true}, HitCase{50, -1, 357, 110, false},
                      HitCase{-1, 5, 400, 105, true}, HitCase{-1, 5, 400, 106, false}),
    test_names::Printed());

// --- text caret -------------------------------------------------------------------------------

TEST_F(GameSpriteTest, CaretStaysHiddenUntilBlinkingThenFlipsEveryPeriodInFrameSteps) {
  FrameTimeMs = 15;
  auto* caret = new TMyCursor(1, 1, 10, 10, 20, 600);
  EXPECT_FALSE(caret->Visible);
  caret->Visible = true;
  caret->Step(FrameTimeMs);
  EXPECT_FALSE(caret->Visible) << "hidden while not blinking";

  caret->Blinking = true;
  caret->Step(FrameTimeMs);
  ASSERT_TRUE(caret->Visible) << "shows on the first step";

  int steps = 0;
  while (caret->Visible && steps < 100) {
    caret->Step(FrameTimeMs);
    ++steps;
  }
  EXPECT_EQ(steps, 41);
}

// --- speedometer needle -----------------------------------------------------------------------

struct NeedleCase {
  int32_t angle;
  std::vector<std::pair<int, int>> covered, clear;
};

void PrintTo(const NeedleCase& c, std::ostream* os) { *os << "angle " << c.angle; }

class PointerRenderTest : public GameSpriteTest, public ::testing::WithParamInterface<NeedleCase> {};

// The 20 x 10 needle with base (100, 200) and pivot (0.7, 0.5): the pivot point (14, 5) of the
// pattern lands on (120, 210), and the needle turns about it.
TEST_P(PointerRenderTest, NeedleTurnsAboutItsPivot) {
  auto* needle = new TPointer(1, 2, 0.7, 0.5, 100, 200);
  EXPECT_EQ(needle->Z, 12);
  needle->Angle = GetParam().angle;

  DrawFrame();

  for (const auto& [x, y] : GetParam().covered)
    EXPECT_EQ(PixelAt(Surface(), x, y), RGB888To565(Needle)) << "at " << x << "," << y;
  for (const auto& [x, y] : GetParam().clear) EXPECT_EQ(PixelAt(Surface(), x, y), 0) << "at " << x << "," << y;
}

INSTANTIATE_TEST_SUITE_P(
    Angles, PointerRenderTest,
    ::testing::Values(
        // Unturned: x 106..125, y 205..214.
        NeedleCase{0, {{108, 210}, {124, 210}, {120, 206}}, {{120, 198}, {132, 210}, {104, 210}}},
        // A quarter turn clockwise: the long side points down, x 115..124, y 196..215.
        NeedleCase{64, {{120, 198}, {120, 214}}, {{108, 210}, {132, 210}, {120, 220}}},
        // Half a turn: the long side points right, x 115..134.
        NeedleCase{128, {{132, 210}, {117, 210}}, {{108, 210}, {120, 198}}},
        // Angles are taken modulo a full turn.
        NeedleCase{256 + 64, {{120, 198}, {120, 214}}, {{108, 210}}}),
    test_names::Printed());

}  // namespace
