// The bike model that the player's bike and the autopilot's rehearsal share: a rehearsal of N
// frames from the bike's state ends where the real bike does after the same N race frames.
#include <gtest/gtest.h>

#include "race_fixture.h"

namespace {

using BikeModel = RaceGame;

TEST_F(BikeModel, ARehearsalOfNFramesEndsWhereTheRealBikeDoes) {
  RideAlone();
  TRace& race = TheRace();
  TPlayer& bike = Bike();
  const TRaceInput up{.Up = true}, upLeft{.Left = true, .Up = true}, upRight{.Right = true, .Up = true},
      left{.Left = true}, brake{.Down = true}, handbrake{.Space = true};
  // Accelerate, lean left and right (a key held on, let go, pressed again), coast, brake and
  // pull the handbrake on the start straight.
  const struct {
    int Frames;
    TRaceInput Input;
  } ride[] = {{70, up}, {12, upLeft}, {1, up}, {40, upLeft}, {25, up}, {40, upRight}, {6, TRaceInput{}},
              {15, left}, {30, TRaceInput{}}, {12, brake}, {5, handbrake}, {20, up}};
  TBikeState rehearsed = bike.BikeState();
  int frame = 0;
  bool leantLeft = false, leantRight = false, leantDeep = false;
  for (const auto& leg : ride) {
    for (int i = 0; i < leg.Frames; ++i, ++frame) {
      RunRaceFrame(race, 1, leg.Input);
      RideBikeFrame(rehearsed, bike.Model(), leg.Input);
      ASSERT_FALSE(bike.Crashed) << "frame " << frame;
      SCOPED_TRACE("frame " + std::to_string(frame));
      EXPECT_EQ(rehearsed.Speed, bike.Speed);
      EXPECT_EQ(rehearsed.ScrollSpeed, bike.ScrollSpeed);
      EXPECT_EQ(rehearsed.HeadingAcc, bike.HeadingAcc);
      EXPECT_EQ(rehearsed.Heading, bike.Heading);
      EXPECT_EQ(rehearsed.Lean, bike.Lean);
      EXPECT_EQ(rehearsed.LeanFrame, bike.FramePos);
      EXPECT_EQ(rehearsed.LeanStartHeading, bike.LeanStartHeading);
      EXPECT_EQ(rehearsed.Controls, bike.Controls);
      if (HasFailure()) return;
      leantLeft |= bike.Lean < 0;
      leantRight |= bike.Lean > 0;
      leantDeep |= bike.Lean != 0 && bike.FramePos < 4;
      rehearsed.OnRoad = bike.OnRoad;  // the bike tests its hull against the road; the model does not
    }
  }
  EXPECT_TRUE(leantLeft && leantRight && leantDeep) << "the ride must work every part of the lean";
}

}  // namespace
