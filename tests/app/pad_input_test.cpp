// The pads read as keys: the axis keys' dead zone and hysteresis, and what the mapper makes of
// the pads' buttons and axes in a race and in the menus.
#include <gtest/gtest.h>

#include <vector>

#include "app/app.h"
#include "test_names.h"

namespace {

struct AxisCase {
  const char* Name;
  std::vector<float> Values;   // one step each
  std::vector<bool> Expected;  // Down after each step
};

void PrintTo(const AxisCase& c, std::ostream* os) { *os << c.Name; }

class AxisKeyTable : public testing::TestWithParam<AxisCase> {};

TEST_P(AxisKeyTable, GoesDownPastPressAndUpBelowRelease) {
  const AxisCase& c = GetParam();
  ASSERT_EQ(c.Values.size(), c.Expected.size());
  TAxisKey key;
  for (size_t i = 0; i < c.Values.size(); ++i)
    EXPECT_EQ(key.Step(c.Values[i]), c.Expected[i]) << "step " << i << " value " << c.Values[i];
}

// Press at 0.2 + 0.5 * 0.8 = 0.6 of the travel, release below 0.2 + 0.25 * 0.8 = 0.4.
INSTANTIATE_TEST_SUITE_P(
    Table, AxisKeyTable,
    testing::Values(
        AxisCase{"rest and the dead zone stay up", {0.0f, 0.1f, 0.2f, -0.9f}, {false, false, false, false}},
        AxisCase{"between release and press stays up", {0.45f, 0.55f, 0.59f}, {false, false, false}},
        AxisCase{"past press goes down", {0.61f, 1.0f}, {true, true}},
        AxisCase{"held between the two stays down", {0.7f, 0.5f, 0.42f, 0.55f}, {true, true, true, true}},
        AxisCase{"below release goes up, and must pass press again", {0.7f, 0.38f, 0.5f, 0.65f}, {true, false, false, true}},
        AxisCase{"the other way releases at once", {0.9f, -0.9f}, {true, false}}),
    test_names::Printed());

TPadState Pad(std::initializer_list<int> held, std::initializer_list<std::pair<int, float>> axes = {},
              std::initializer_list<int> taps = {}) {
  TPadState s;
  s.Connected = 1;
  for (const int b : held) s.Held |= uint32_t{1} << b;
  for (const int b : taps) s.Tapped |= uint32_t{1} << b;
  for (const auto& [axis, value] : axes) s.Axes[axis] = value;
  return s;
}

struct RaceCase {
  const char* Name;
  TPadState State;
  TRaceInput Expected;
};

void PrintTo(const RaceCase& c, std::ostream* os) { *os << c.Name; }

class PadRaceTable : public testing::TestWithParam<RaceCase> {};

TEST_P(PadRaceTable, GivesTheRaceKeys) {
  TPadMapper mapper;
  const TPadFrame f = mapper.Step(GetParam().State, DefaultControls, true);
  EXPECT_EQ(f.Race, GetParam().Expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, PadRaceTable,
    testing::Values(
        RaceCase{"nothing", Pad({}), TRaceInput{}},
        RaceCase{"stick left steers left", Pad({}, {{paLeftX, -0.8f}}), TRaceInput{true, false, false, false, false, false}},
        RaceCase{"d-pad right steers right", Pad({pbDpadRight}), TRaceInput{false, true, false, false, false, false}},
        RaceCase{"stick mostly down does not steer", Pad({}, {{paLeftX, 0.7f}, {paLeftY, 0.9f}}), TRaceInput{}},
        RaceCase{"right trigger accelerates", Pad({}, {{paTriggerRight, 1.0f}}), TRaceInput{false, false, true, false, false, false}},
        RaceCase{"A accelerates", Pad({pbA}), TRaceInput{false, false, true, false, false, false}},
        RaceCase{"left trigger brakes", Pad({}, {{paTriggerLeft, 0.9f}}), TRaceInput{false, false, false, true, false, false}},
        RaceCase{"B brakes", Pad({pbB}), TRaceInput{false, false, false, true, false, false}},
        RaceCase{"X is the handbrake", Pad({pbX}), TRaceInput{false, false, false, false, true, false}},
        RaceCase{"Y is the horn", Pad({pbY}), TRaceInput{false, false, false, false, false, true}},
        RaceCase{"a light trigger does nothing", Pad({}, {{paTriggerRight, 0.3f}}), TRaceInput{}}),
    test_names::Printed());

TEST(PadMapper, TheBoundButtonsAreThePlayersOwn) {
  TControls controls = DefaultControls;
  controls.PadButtons[caAccelerate] = pbRightShoulder;
  TPadMapper mapper;
  EXPECT_FALSE(mapper.Step(Pad({pbA}), controls, true).Race.Up);
  EXPECT_TRUE(mapper.Step(Pad({pbRightShoulder}), controls, true).Race.Up);
}

TEST(PadMapper, MenuMovesBeginOnceAndBGoesBackOnlyOutsideTheRace) {
  TPadMapper mapper;
  EXPECT_TRUE(mapper.Step(Pad({pbDpadDown}), DefaultControls, false).Down);
  EXPECT_FALSE(mapper.Step(Pad({pbDpadDown}), DefaultControls, false).Down);  // held: no repeat
  EXPECT_TRUE(mapper.Step(Pad({}, {{paLeftY, -0.9f}}), DefaultControls, false).Up);
  // A d-pad press let go again before the poll still moves.
  EXPECT_TRUE(mapper.Step(Pad({}, {}, {pbDpadLeft}), DefaultControls, false).Left);

  const TPadFrame menu = mapper.Step(Pad({pbB}, {}, {pbB}), DefaultControls, false);
  EXPECT_TRUE(menu.Escape);
  EXPECT_TRUE(menu.No);
  const TPadFrame race = mapper.Step(Pad({pbB}, {}, {pbB}), DefaultControls, true);
  EXPECT_FALSE(race.Escape);
  EXPECT_FALSE(race.No);
  EXPECT_TRUE(race.Race.Down);

  EXPECT_TRUE(mapper.Step(Pad({}, {}, {pbBack}), DefaultControls, true).Escape);
  EXPECT_TRUE(mapper.Step(Pad({}, {}, {pbStart}), DefaultControls, true).Pause);
}

}  // namespace
