// The vehicle selection's rating marks: the brakes' row orders the bikes as their brakes act.
#include <gtest/gtest.h>

#include <algorithm>

#include "race/player.h"
#include "screens/screens.h"

namespace {

TEST(VehicleRatingMarks, MoreBrakeMarksBrakeHarder) {
  for (int a = 1; a <= VehicleModelCount; ++a) {
    for (int b = 1; b <= VehicleModelCount; ++b) {
      const int marksA = VehicleRatingMarks(a)[3], marksB = VehicleRatingMarks(b)[3];
      const double decelA = BrakeDecel(VehicleModel(a)), decelB = BrakeDecel(VehicleModel(b));
      EXPECT_EQ(marksA > marksB, decelA > decelB) << "models " << a << " and " << b;
      EXPECT_EQ(marksA == marksB, decelA == decelB) << "models " << a << " and " << b;
    }
  }
}

TEST(VehicleRatingMarks, OtherRowsShowTheRatingsAndBrakesKeepTheirRange) {
  int lowest = 99, highest = 0, lowestMarks = 99, highestMarks = 0;
  for (int m = 1; m <= VehicleModelCount; ++m) {
    const TVehicleModel& v = VehicleModel(m);
    const std::array<int, 4> marks = VehicleRatingMarks(m);
    EXPECT_EQ(marks[0], v.TopSpeedRating);
    EXPECT_EQ(marks[1], v.HandlingRating);
    EXPECT_EQ(marks[2], v.AccelRating);
    lowest = std::min(lowest, v.BrakeRating);
    highest = std::max(highest, v.BrakeRating);
    lowestMarks = std::min(lowestMarks, marks[3]);
    highestMarks = std::max(highestMarks, marks[3]);
  }
  EXPECT_EQ(lowestMarks, lowest);
  EXPECT_EQ(highestMarks, highest);
}

}  // namespace
