// Reading a generated track back: where the road lies in a row and what it is made of.
#pragma once

#include <array>
#include <memory>
#include <optional>
#include <string>

#include "race/race.h"

namespace road_layout {

// The road's eight-cell cross-section: verge, shoulder, four lanes, shoulder, verge.
enum class TFamily { Plain, HalfwayLeft, DisplacedLeft, HalfwayRight, DisplacedRight };

struct TCrossSection {
  int FirstColumn = 0;   // the left verge's column
  TFamily Family = TFamily::Plain;
  bool Marked = false;   // plain rows: shoulders 22/23 rather than 0
  bool Line = false;     // plain rows: the four lanes are the start/finish line
};

// The race the track tests generate into: one for the whole test program, as the game has one.
inline TRace& TestRace() {
  static const auto race = std::make_unique<TRace>();
  return *race;
}

inline bool IsLeftVerge(int v) { return v >= 1 && v <= 9; }
inline bool IsRightVerge(int v) { return v >= 13 && v <= 21; }
// Codes 1..48 belong to the road's cross-section and nothing else.
inline bool IsRoadPart(int v) { return v >= 1 && v <= 48; }

// The cross-section of a track row, or nothing with `why` set when the row does not hold exactly
// one well-formed cross-section.
inline std::optional<TCrossSection> ReadCrossSection(int row, std::string& why) {
  const TTrackRow& cells = TestRace().TrackMap[row];
  int first = 0, last = 0;
  for (int c = 1; c <= TrackColumns; ++c) {
    if (!IsRoadPart(cells[c])) continue;
    if (first == 0) first = c;
    last = c;
  }
  if (first == 0) {
    why = "no road";
    return std::nullopt;
  }
  if (last - first != 7) {
    why = "road parts span columns " + std::to_string(first) + ".." + std::to_string(last);
    return std::nullopt;
  }
  std::array<int, 8> v{};
  for (int i = 0; i < 8; ++i) v[i] = cells[first + i];

  TCrossSection section;
  section.FirstColumn = first;
  if (IsLeftVerge(v[0]) && IsRightVerge(v[7])) {
    const bool lanes = v[2] == 10 && v[3] == 11 && v[4] == 11 && v[5] == 12;
    const bool line = v[2] == 24 && v[3] == 24 && v[4] == 24 && v[5] == 24;
    const bool unmarked = v[1] == 0 && v[6] == 0;
    const bool marked = v[1] == 22 && v[6] == 23;
    if ((lanes || line) && (marked || unmarked)) {
      section.Family = TFamily::Plain;
      section.Marked = marked;
      section.Line = line;
      return section;
    }
  } else {
    // The shifted families: six consecutive codes with the two inner lanes in the middle.
    struct TShifted {
      int FirstCode;
      TFamily Family;
    };
    constexpr TShifted shifted[] = {{31, TFamily::HalfwayLeft}, {25, TFamily::DisplacedLeft},
                                    {43, TFamily::HalfwayRight}, {37, TFamily::DisplacedRight}};
    for (const TShifted& s : shifted) {
      const std::array<int, 8> expected{s.FirstCode,     s.FirstCode + 1, s.FirstCode + 2, 11, 11,
                                        s.FirstCode + 3, s.FirstCode + 4, s.FirstCode + 5};
      if (v == expected) {
        section.Family = s.Family;
        return section;
      }
    }
  }
  why = "malformed road at column " + std::to_string(first) + ":";
  for (const int code : v) why += " " + std::to_string(code);
  return std::nullopt;
}

// The geometric centre of the four lanes in world pixels.
inline int LaneCentre(const TCrossSection& s) { return (s.FirstColumn + 4) * CellSize; }

}  // namespace road_layout
