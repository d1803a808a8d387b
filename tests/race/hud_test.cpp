// The race HUD's read-outs. Each figure is checked by drawing the HUD and, on a clean surface, the
// expected string in the same style and place with the plain text drawing: the pixels must agree.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "race/race.h"
#include "test_graphics.h"
#include "test_names.h"

namespace {

// One HUD read-out: how to set it up and what it must show.
struct HudCase {
  const char* Name;
  std::function<void(TRace&)> Set;
  int Style;
  std::string Shows;
  int X, Y;
  bool CentreX;
};

void PrintTo(const HudCase& c, std::ostream* os) { *os << c.Name << " shows \"" << c.Shows << "\""; }

class Hud : public DrawingTest, public testing::WithParamInterface<HudCase> {
protected:
  Hud() {
    race.Level = 1;
    race.RaceTimeLeft = 0;
    race.Score = 0;
    race.Lives = 3;
    race.PlayerRank = 1;
    race.RacerCount = 6;
  }
  const std::unique_ptr<TRace> race_ = std::make_unique<TRace>();
  TRace& race = *race_;
};

TEST_P(Hud, ShowsTheExpectedText) {
  const HudCase& c = GetParam();
  c.Set(race);
  const Region r{c.X - 110, c.Y - 25, c.X + 160, c.Y + 25};
  Clear();
  race.DrawHud();
  const std::vector<uint16_t> hud = Pixels(r);
  Clear();
  SetTextStyle(c.Style);
  DrawText(c.Shows, c.X, c.Y, c.CentreX, true);
  const std::vector<uint16_t> expected = Pixels(r);
  ASSERT_TRUE(AnyLit(expected));
  EXPECT_TRUE(hud == expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, Hud,
    testing::Values(HudCase{"clock", [](TRace& r) { r.RaceTimeLeft = 65000; }, 18, "01 : 05", 87, 23, true},
                    HudCase{"clock", [](TRace& r) { r.RaceTimeLeft = 9999; }, 18, "00 : 09", 87, 23, true},
                    HudCase{"clock", [](TRace& r) { r.RaceTimeLeft = 600000; }, 18, "10 : 00", 87, 23, true},
                    HudCase{"clock", [](TRace& r) { r.RaceTimeLeft = 67000; }, 18, "01 : 07", 87, 23, true},
                    HudCase{"clock", [](TRace& r) { r.RaceTimeLeft = 0; }, 18, "00 : 00", 87, 23, true},
                    HudCase{"level", [](TRace& r) { r.Level = 10; }, 6, "LEVEL 10 / 10", 714, 20, true},
                    HudCase{"score", [](TRace& r) { r.Score = 12345; }, 18, "12345", 84, 218, true},
                    HudCase{"lives", [](TRace& r) { r.Lives = 2; }, 18, "2", 113, 342, true},
                    HudCase{"lives", [](TRace& r) { r.Lives = -1; }, 18, "0", 113, 342, true},
                    HudCase{"speed without a bike", [](TRace&) {}, 18, "0", 91, 578, true},
                    HudCase{"rank", [](TRace& r) { r.PlayerRank = 2; r.RacerCount = 6; }, 24, "2/6", 736, 218, false},
                    // Before the level's first frame has ranked anyone.
                    HudCase{"rank at the level caption", [](TRace& r) { r.PlayerRank = 0; r.RacerCount = 0; }, 24, "1/1", 736, 218, false}),
    test_names::Printed());

}  // namespace
