// The sprite tree: ownership, depth order, the walks, point queries, animation and background maps.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <string>
#include <vector>

#include "sprite_test_util.h"
#include "sprites/sprites.h"
#include "test_names.h"

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::UnorderedElementsAre;

namespace {

class SpriteTreeTest : public ::testing::Test {
protected:
  SpriteTreeTest() : surface(800, 600) { engine.SetSurface(&surface); }

  // A 10 x 10 sprite at the parent's origin, owned by the parent.
  TLogSprite* Add(TSprite* parent, const std::string& name, int32_t z = 0) {
    auto* const s = new TLogSprite(parent, name, log, z);
    s->Width = s->Height = 10;
    return s;
  }
  std::vector<std::string> DrawNames() {
    log.Renders.clear();
    engine.Draw();
    return log.Renders;
  }

  TWalkLog log;  // outlives the engine's sprites
  TDirectDrawSurface surface;
  TSpriteEngine engine;
};

// --- ownership --------------------------------------------------------------------------------

TEST_F(SpriteTreeTest, NestedSpritesBelongToTheEngineAndAreCounted) {
  TLogSprite* parent = Add(&engine, "parent");
  TLogSprite* child = Add(parent, "child");
  TLogSprite* grandchild = Add(child, "grandchild");

  EXPECT_EQ(parent->Engine, &engine);
  EXPECT_EQ(grandchild->Engine, &engine);
  EXPECT_EQ(grandchild->Parent, child);
  EXPECT_EQ(engine.SpriteCount, 3);
  EXPECT_EQ(engine.Count(), 1);
  EXPECT_EQ(parent->Items(0), child);
}

TEST_F(SpriteTreeTest, DestroyingASpriteFreesItsChildrenLastFirstAndLeavesItsParent) {
  TLogSprite* keep = Add(&engine, "keep");
  TLogSprite* parent = Add(&engine, "parent");
  Add(parent, "a");
  Add(parent, "b");
  Add(parent, "c");

  delete parent;

  // The parent's own destructor body runs first, then its children go, last first.
  EXPECT_THAT(log.Destroyed, ElementsAre("parent", "c", "b", "a"));
  EXPECT_EQ(engine.SpriteCount, 1);
  EXPECT_EQ(engine.Count(), 1);
  EXPECT_THAT(engine.DrawOrder(), ElementsAre(keep));
}

TEST_F(SpriteTreeTest, LastChildGoneLeavesNoLists) {
  TLogSprite* parent = Add(&engine, "parent");
  delete Add(parent, "only");

  EXPECT_EQ(parent->Count(), 0);
  EXPECT_THAT(parent->DrawOrder(), IsEmpty());
  EXPECT_THROW(parent->Items(0), ESpriteError);
}

TEST_F(SpriteTreeTest, ItemsOnASpriteWithoutChildrenNamesTheIndex) {
  TLogSprite* lone = Add(&engine, "lone");
  try {
    lone->Items(3);
    FAIL() << "no error raised";
  } catch (const ESpriteError& e) {
    EXPECT_STREQ(e.what(), "Index of the list exceeds the range. (3)");
  }
  Add(lone, "child");
  EXPECT_THROW(lone->Items(1), std::out_of_range);
  EXPECT_THROW(lone->Items(-1), std::out_of_range);
}

TEST(SpriteEngineLifetime, EngineDestroyedWithSpritesStillQueued) {
  TWalkLog log;
  {
    TSpriteEngine engine;
    TLogSprite* parent = new TLogSprite(&engine, "parent", log);
    new TLogSprite(parent, "child", log);
    parent->Kill();
  }
  EXPECT_THAT(log.Destroyed, UnorderedElementsAre("child", "parent"));
}

// --- depth order ------------------------------------------------------------------------------

TEST_F(SpriteTreeTest, AmongEqualDepthsTheNewestIsDrawnFirst) {
  TLogSprite* a = Add(&engine, "A", 5);
  Add(&engine, "B", 5);
  Add(&engine, "C", 5);
  Add(&engine, "D", 6);
  EXPECT_THAT(DrawNames(), ElementsAre("C", "B", "A", "D"));

  a->SetZ(5);
  EXPECT_THAT(DrawNames(), ElementsAre("C", "B", "A", "D")) << "same depth must keep the place";

  a->SetZ(4);
  a->SetZ(5);
  EXPECT_THAT(DrawNames(), ElementsAre("A", "C", "B", "D"));
}

TEST_F(SpriteTreeTest, DepthOrdersSiblingsOnlyWithinTheirParent) {
  TLogSprite* low = Add(&engine, "low", 1);
  Add(&engine, "high", 9);
  Add(low, "low.child", 50);
  EXPECT_THAT(DrawNames(), ElementsAre("low", "low.child", "high"));
}

// --- move walk --------------------------------------------------------------------------------

TEST_F(SpriteTreeTest, MoveStepsInCreationOrderAndSkipsImmovableSubtrees) {
  TLogSprite* a = Add(&engine, "a", 9);
  Add(a, "a.child");
  TLogSprite* frozen = Add(&engine, "frozen", 1);
  Add(frozen, "frozen.child");
  Add(&engine, "b", 5);
  frozen->Movable = false;

  engine.Move(10);

  EXPECT_THAT(log.Steps, ElementsAre("a", "a.child", "b"));
}

// A sprite that creates a sibling the first time it steps.
class TSpawningSprite : public TSprite {
public:
  TSpawningSprite(TSprite* parent, TWalkLog& log) : TSprite(parent), log_(log) {}
  void Step(int) override {
    log_.Steps.push_back("spawner");
    if (!spawned_) new TLogSprite(Parent, "spawned", log_);
    spawned_ = true;
  }

private:
  TWalkLog& log_;
  bool spawned_ = false;
};

TEST_F(SpriteTreeTest, SpriteCreatedDuringMoveWaitsForTheNextWalk) {
  for (int i = 0; i < 8; ++i) Add(&engine, "filler");  // the sibling list grows while walked
  new TSpawningSprite(&engine, log);

  engine.Move(1);
  EXPECT_EQ(std::count(log.Steps.begin(), log.Steps.end(), "spawned"), 0);

  engine.Move(1);
  EXPECT_EQ(std::count(log.Steps.begin(), log.Steps.end(), "spawned"), 1);
}

// --- draw walk --------------------------------------------------------------------------------

TEST_F(SpriteTreeTest, InvisibleSpriteHidesItsSubtreeButOffSurfaceParentDoesNot) {
  TLogSprite* hidden = Add(&engine, "hidden", 1);
  Add(hidden, "hidden.child");
  hidden->Width = hidden->Height = 10;
  hidden->Visible = false;

  TLogSprite* away = Add(&engine, "away", 2);
  away->X = -5000;
  away->Width = away->Height = 10;
  TLogSprite* back = Add(away, "away.child");
  back->X = 5010;
  back->Width = back->Height = 10;

  EXPECT_THAT(DrawNames(), ElementsAre("away.child"));
  EXPECT_EQ(engine.DrawCount, 1);
}

struct OverlapCase {
  double x, y;
  bool drawn;
};

void PrintTo(const OverlapCase& c, std::ostream* os) { *os << "at " << c.x << " " << c.y; }

class DrawBoundsTest : public SpriteTreeTest, public ::testing::WithParamInterface<OverlapCase> {};

// A 10 x 10 sprite against the 800 x 600 surface: touching an edge is not overlapping, and the
// position rounds half to even.
TEST_P(DrawBoundsTest, RendersOnlyWhenItsRectangleOverlapsTheSurface) {
  TLogSprite* s = Add(&engine, "s");
  s->X = GetParam().x;
  s->Y = GetParam().y;
  s->Width = s->Height = 10;
  EXPECT_EQ(DrawNames().size(), GetParam().drawn ? 1u : 0u);
  EXPECT_EQ(engine.DrawCount, GetParam().drawn ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(Edges, DrawBoundsTest,
                         ::testing::Values(OverlapCase{799, 0, true}, OverlapCase{800, 0, false},
                                           OverlapCase{-9, 0, true}, OverlapCase{-10, 0, false},
                                           OverlapCase{0, 590, true}, OverlapCase{0, 600, false},
                                           OverlapCase{0, -10, false},
                                           OverlapCase{-9.5, 0, false},   // rounds to -10
                                           OverlapCase{-8.5, 0, true},    // rounds to -8
                                           OverlapCase{799.5, 0, false},  // rounds to 800
                                           OverlapCase{798.5, 0, true}),
                         test_names::Printed());

TEST_F(SpriteTreeTest, DrawWithoutASurfaceRendersNothing) {
  TSpriteEngine bare;
  TLogSprite* s = new TLogSprite(&bare, "s", log);
  s->Width = s->Height = 10;
  bare.Draw();
  EXPECT_THAT(log.Renders, IsEmpty());
}

TEST_F(SpriteTreeTest, SetSurfaceTakesTheSurfaceSizeAndKeepsTheRectangleWhenUnbound) {
  TDirectDrawSurface small(320, 200);
  engine.SetSurface(&small);
  EXPECT_EQ(engine.Width, 320);
  EXPECT_EQ(engine.Height, 200);

  engine.SetSurface(nullptr);
  EXPECT_EQ(engine.Surface, nullptr);
  EXPECT_EQ(engine.SurfaceRect.Right, 320);
  EXPECT_EQ(engine.SurfaceRect.Bottom, 200);
}

// --- kill and free ----------------------------------------------------------------------------

TEST_F(SpriteTreeTest, KillTwiceQueuesOnceAndTheSpriteLivesUntilFreeDead) {
  TLogSprite* s = Add(&engine, "s");
  s->Width = s->Height = 10;
  s->Kill();
  s->Kill();
  EXPECT_EQ(engine.DeadList.size(), 1u);
  EXPECT_TRUE(s->IsDead);

  EXPECT_THAT(DrawNames(), ElementsAre("s"));
  engine.Move(1);
  EXPECT_THAT(log.Steps, ElementsAre("s"));

  engine.FreeDead();
  EXPECT_THAT(log.Destroyed, ElementsAre("s"));
  EXPECT_EQ(engine.SpriteCount, 0);
  EXPECT_THAT(engine.DeadList, IsEmpty());
}

TEST_F(SpriteTreeTest, FreeDeadFreesAParentAndItsChildInEitherQueueOrder) {
  for (const bool parentFirst : {true, false}) {
    SCOPED_TRACE(parentFirst ? "parent queued first" : "child queued first");
    log.Destroyed.clear();
    TLogSprite* parent = Add(&engine, "parent");
    TLogSprite* child = Add(parent, "child");
    if (parentFirst) parent->Kill();
    child->Kill();
    if (!parentFirst) parent->Kill();

    engine.FreeDead();

    EXPECT_THAT(log.Destroyed, UnorderedElementsAre("child", "parent"));
    EXPECT_EQ(engine.SpriteCount, 0);
    EXPECT_THAT(engine.DeadList, IsEmpty());
  }
}

TEST_F(SpriteTreeTest, DestroyingAQueuedSpriteDirectlyTakesItOffTheDeadList) {
  TLogSprite* parent = Add(&engine, "parent");
  Add(parent, "child")->Kill();
  delete parent;
  EXPECT_THAT(engine.DeadList, IsEmpty());
  engine.FreeDead();
}

TEST_F(SpriteTreeTest, KillOnTheEngineItselfDoesNothing) {
  engine.Kill();
  EXPECT_THAT(engine.DeadList, IsEmpty());
}

// --- point query ------------------------------------------------------------------------------

struct PointCase {
  int x, y;
  bool found;
};

void PrintTo(const PointCase& c, std::ostream* os) { *os << "at " << c.x << " " << c.y; }

class SpriteAtEdgeTest : public SpriteTreeTest, public ::testing::WithParamInterface<PointCase> {};

TEST_P(SpriteAtEdgeTest, AllFourEdgesBelongToTheSprite) {
  TLogSprite* s = Add(&engine, "s");
  s->X = s->Y = 100;
  s->Width = 32;
  s->Height = 48;
  EXPECT_EQ(engine.SpriteAt(GetParam().x, GetParam().y), GetParam().found ? s : nullptr);
}

INSTANTIATE_TEST_SUITE_P(Rect32x48At100, SpriteAtEdgeTest,
                         ::testing::Values(PointCase{132, 148, true}, PointCase{100, 100, true},
                                           PointCase{133, 100, false}, PointCase{99, 100, false},
                                           PointCase{100, 149, false}, PointCase{100, 99, false}),
                         test_names::Printed());

TEST_F(SpriteTreeTest, SpriteAtPrefersStrictlyHigherDepthThenTheFirstCreated) {
  auto square = [&](const std::string& name, int32_t z) {
    TLogSprite* s = Add(&engine, name, z);
    s->Width = s->Height = 20;
    return s;
  };
  TLogSprite* first = square("first", 3);
  square("second", 3);
  EXPECT_EQ(engine.SpriteAt(5, 5), first);

  TLogSprite* top = square("top", 4);
  EXPECT_EQ(engine.SpriteAt(5, 5), top);
}

TEST_F(SpriteTreeTest, SpriteAtSkipsInvisibleSpritesButSearchesTheirChildren) {
  TLogSprite* hidden = Add(&engine, "hidden", 9);
  hidden->X = 50;
  hidden->Y = 60;
  hidden->Width = hidden->Height = 100;
  hidden->Visible = false;
  TLogSprite* child = Add(hidden, "child");
  child->X = 10;  // at (60, 70) on the surface
  child->Y = 10;
  child->Width = child->Height = 5;

  EXPECT_EQ(engine.SpriteAt(55, 65), nullptr);
  EXPECT_EQ(engine.SpriteAt(62, 72), child);
}

// MayBeAt answers what SpriteAt would for a lone sprite: same rounding of the nested offsets,
// edges included, nothing while hidden.
TEST_F(SpriteTreeTest, MayBeAtAgreesWithSpriteAtForALoneSprite) {
  TLogSprite* parent = Add(&engine, "parent");
  parent->X = 10.5;
  parent->Y = -3.5;
  parent->Width = parent->Height = 0;
  TLogSprite* s = Add(parent, "s");
  s->X = 20.5;
  s->Y = 30.25;
  s->Width = 7;
  s->Height = 4;
  for (const bool visible : {true, false}) {
    s->Visible = visible;
    for (int y = 20; y < 36; ++y)
      for (int x = 25; x < 45; ++x) EXPECT_EQ(s->MayBeAt(x, y), engine.SpriteAt(x, y) == s) << x << "," << y;
  }
}

// --- image sprite animation -------------------------------------------------------------------

struct AnimationCase {
  const char* name;
  bool loop;
  int32_t frameCount;
  double pos, speed;
  int elapsed;
  double expectedPos, expectedSpeed;
};

class ImageAnimationTest : public SpriteTreeTest, public ::testing::WithParamInterface<AnimationCase> {};

TEST_P(ImageAnimationTest, StepAdvancesThenWrapsOrStops) {
  const AnimationCase& c = GetParam();
  auto* s = new TImageSprite(&engine);
  s->LoopAnimation = c.loop;
  s->FrameCount = c.frameCount;
  s->FramePos = c.pos;
  s->FrameSpeed = c.speed;

  s->Step(c.elapsed);

  EXPECT_NEAR(s->FramePos, c.expectedPos, 1e-9);
  EXPECT_DOUBLE_EQ(s->FrameSpeed, c.expectedSpeed);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ImageAnimationTest,
    ::testing::Values(AnimationCase{"StopsOnLastFrame", false, 4, 3.9, 0.2, 1, 3, 0},
                      AnimationCase{"StopsAtZeroGoingBack", false, 4, 0.5, -1, 1, 0, 0},
                      AnimationCase{"RunsBeforeTheEnd", false, 4, 1, 0.5, 2, 2, 0.5},
                      AnimationCase{"NoFramesStaysAtZero", false, 0, 0, 0.5, 1, 0, 0},
                      AnimationCase{"LoopWraps", true, 4, 3.7, 0.5, 1, 0.2, 0.5},
                      AnimationCase{"LoopWithoutFramesStaysAtZero", true, 0, 0, 0.5, 3, 0, 0.5},
                      AnimationCase{"LoopBackwardsWrapsUp", true, 4, 0.5, -1, 1, 3.5, -1},
                      AnimationCase{"QuotientRoundsHalfDown", true, 4, 0, 1, 10, 2, 1},  // 2.5 -> 2
                      AnimationCase{"QuotientRoundsHalfUp", true, 4, 0, 1, 14, 2, 1},    // 3.5 -> 4
                      AnimationCase{"HugePositionRestarts", true, 4, 1e300, 0, 1, 0, 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(RoundHalfEven, HalvesGoToEvenAndOutOfRangeSaturates) {
  EXPECT_EQ(RoundHalfEven(2.5), 2);
  EXPECT_EQ(RoundHalfEven(3.5), 4);
  EXPECT_EQ(RoundHalfEven(-2.5), -2);
  EXPECT_EQ(RoundHalfEven(-0.6), -1);
  EXPECT_EQ(RoundHalfEven(1e20), INT32_MAX);
  EXPECT_EQ(RoundHalfEven(-1e20), INT32_MIN);
}

// --- image sprite drawing ---------------------------------------------------------------------

constexpr uint32_t Red = 0xFF0000, Green = 0x00FF00, Blue = 0x0000FF;

TEST_F(SpriteTreeTest, ImageSpriteCentresItsPatternAndDrawsTheRoundedFrame) {
  TPictureCollectionItem item = MakeSolidPatterns(10, 10, {Red, Green, Blue});
  auto* s = new TImageSprite(&engine);
  s->SetImage(&item);
  EXPECT_EQ(s->Width, 10);
  s->Width = 20;  // the pattern is centred in a larger rectangle
  s->Height = 30;
  s->X = 100;
  s->Y = 100;
  s->FirstFrame = 1;
  s->FramePos = 0.5;  // rounds to 0: frame 1 (green)

  engine.Draw();

  const uint16_t green = RGB888To565(Green);
  EXPECT_EQ(PixelAt(surface, 105, 110), green);
  EXPECT_EQ(PixelAt(surface, 114, 119), green);
  EXPECT_EQ(PixelAt(surface, 104, 110), 0);
  EXPECT_EQ(PixelAt(surface, 115, 119), 0);
  EXPECT_EQ(PixelAt(surface, 105, 120), 0);
}

TEST_F(SpriteTreeTest, ImageSpriteWithoutPictureHasNoSize) {
  TPictureCollectionItem item = MakeSolidPatterns(12, 7, {Red});
  auto* s = new TImageSprite(&engine);
  s->SetImage(&item);
  s->SetImage(nullptr);
  EXPECT_EQ(s->Width, 0);
  EXPECT_EQ(s->Height, 0);
  engine.Draw();  // nothing to draw, nothing to crash on
}

// --- background maps --------------------------------------------------------------------------

TEST_F(SpriteTreeTest, BackgroundMapUpkeep) {
  auto* bg = new TBackgroundSprite(&engine);
  bg->SetMapSize(3, 2);
  EXPECT_EQ(bg->Cell(2, 1), 0) << "new cells hold pattern 0";
  EXPECT_EQ(bg->Cell(3, 0), -1);
  EXPECT_EQ(bg->Cell(0, -1), -1);

  bg->SetCell(2, 1, 7);
  bg->SetCell(3, 1, 9);   // outside: ignored
  bg->SetCell(-1, 0, 9);
  EXPECT_EQ(bg->Cell(2, 1), 7);
  bg->SetMapSize(3, 2);
  EXPECT_EQ(bg->Cell(2, 1), 7) << "same size keeps the cells";

  bg->SetMapSize(4, 0);
  EXPECT_EQ(bg->MapColumns(), 0);
  EXPECT_EQ(bg->MapRows(), 0);
  EXPECT_EQ(bg->Cell(0, 0), -1);
}

TEST_F(SpriteTreeTest, BackgroundSizeComesFromMapAndPattern) {
  TPictureCollectionItem item = MakeSolidPatterns(72, 72, {Red});
  auto* bg = new TBackgroundSprite(&engine);
  EXPECT_EQ(bg->GetBounds().Right, 0) << "no image: empty rectangle";

  bg->SetMapSize(10, 100);
  bg->SetImage(&item);
  bg->X = -3.5;
  EXPECT_EQ(bg->Width, 720);
  EXPECT_EQ(bg->Height, 7200);
  const TRect r = bg->GetBounds();
  EXPECT_EQ(r.Left, -4);
  EXPECT_EQ(r.Width(), 720);
  EXPECT_EQ(r.Height(), 7200);
}

// A 10 x 100 map of 72 x 72 cells far above the surface: the surface shows map rows 69 to 77,
// row r in pattern r mod 5; the cells holding -1 and the strip right of the map stay untouched.
TEST_F(SpriteTreeTest, BackgroundDrawsTheVisibleRowsOnlyAndSkipsEmptyCells) {
  const std::vector<uint32_t> colours = {0x102030, 0x405060, 0x708090, 0xA0B0C0, 0xD0E0F0};
  TPictureCollectionItem item = MakeSolidPatterns(72, 72, colours);
  auto* bg = new TBackgroundSprite(&engine);
  bg->SetMapSize(10, 100);
  bg->SetImage(&item);
  for (int r = 0; r < 100; ++r)
    for (int c = 0; c < 10; ++c) bg->SetCell(c, r, r % 5);
  bg->SetCell(3, 70, -1);
  bg->X = -30;
  bg->Y = -5000;
  const uint16_t untouched = 0xFFFF;
  surface.Fill(untouched);

  engine.Draw();

  for (int y = 0; y < 600; y += 7) {
    const int row = (y + 5000) / 72;
    for (int x = 0; x < 800; x += 5) {
      const int column = (x + 30) / 72;
      const bool empty = column >= 10 || (column == 3 && row == 70);
      const uint16_t expected = empty ? untouched : RGB888To565(colours[row % 5]);
      ASSERT_EQ(PixelAt(surface, x, y), expected) << "at " << x << "," << y;
    }
  }
}

TEST_F(SpriteTreeTest, BackgroundKeepsToItsDrawArea) {
  TPictureCollectionItem item = MakeSolidPatterns(72, 72, {0x405060});
  auto* bg = new TBackgroundSprite(&engine);
  bg->SetMapSize(12, 9);
  bg->SetImage(&item);
  bg->X = -30;
  bg->DrawArea = TRect{100, -50, 650, 1000};
  const uint16_t untouched = 0xFFFF;
  surface.Fill(untouched);
  engine.Draw();
  for (int x = 0; x < 800; x += 3) {
    const uint16_t expected = x >= 100 && x < 650 ? RGB888To565(0x405060) : untouched;
    ASSERT_EQ(PixelAt(surface, x, 300), expected) << "at " << x;
  }
}

// The frame need not be cleared under a backdrop that paints every pixel: a map over the whole
// surface, drawn in full, of patterns without keyed pixels, drawn first.
TEST_F(SpriteTreeTest, BackdropCoversTheSurfaceOnlyWhenItPaintsEveryPixel) {
  TPictureCollectionItem item = MakeSolidPatterns(72, 72, {0x405060, 0x708090});
  auto* bg = new TBackgroundSprite(&engine);
  bg->SetZ(2);
  bg->SetMapSize(13, 10);
  bg->SetImage(&item);
  bg->X = -30;
  bg->Y = -20;
  EXPECT_TRUE(engine.BackdropCoversSurface());

  bg->SetCell(5, 5, -1);
  EXPECT_FALSE(engine.BackdropCoversSurface()) << "an empty cell";
  bg->SetCell(5, 5, 1);
  bg->X = 1;
  EXPECT_FALSE(engine.BackdropCoversSurface()) << "a strip left of the map";
  bg->X = -30;
  bg->DrawArea = TRect{0, 0, 700, 600};
  EXPECT_FALSE(engine.BackdropCoversSurface()) << "a narrower draw area";
  bg->DrawArea = TRect{INT_MIN, INT_MIN, INT_MAX, INT_MAX};
  Add(&engine, "below", 1);
  EXPECT_FALSE(engine.BackdropCoversSurface()) << "not the first drawn";
}

// --- the component on the form ----------------------------------------------------------------

TEST(DXSpriteEngine, DrawsOnlyWhileTheDisplayIsInitialised) {
  TWalkLog log;
  TDXDraw display;
  TDXSpriteEngine component(&display);
  TLogSprite* s = new TLogSprite(&component.Engine, "s", log);
  s->Width = s->Height = 10;

  component.Draw();
  EXPECT_THAT(log.Renders, IsEmpty());

  display.Initialize();
  component.SurfaceInitialized();
  EXPECT_EQ(component.Engine.Surface, display.Surface());
  EXPECT_EQ(component.Engine.Width, TDXDraw::SurfaceWidth);
  component.Draw();
  EXPECT_THAT(log.Renders, ElementsAre("s"));

  component.SurfaceFinalized();
  display.Finalize();
  component.Draw();
  EXPECT_EQ(component.Engine.Surface, nullptr);
  EXPECT_THAT(log.Renders, ElementsAre("s"));
}

}  // namespace
