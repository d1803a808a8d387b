// The race's state in one number, for replays to find the first frame where a playback leaves
// its record.
#include <cstring>

#include "race/player.h"

namespace {

// FNV-1a over the bytes of each value added.
class TStateHash {
public:
  template <typename T>
  void Add(const T& value) {
    unsigned char bytes[sizeof(T)];
    std::memcpy(bytes, &value, sizeof(T));
    for (const unsigned char b : bytes) hash_ = (hash_ ^ b) * 16777619u;
  }
  uint32_t Value() const { return hash_; }

private:
  uint32_t hash_ = 2166136261u;
};

}  // namespace

uint32_t RaceStateChecksum(const TRace& race) {
  TStateHash h;
  for (const int32_t v : {race.Score, race.Lives, race.Level, race.RaceTimeLeft, race.ViewCol, race.ViewRow, race.ResultStep})
    h.Add(v);
  const TPointF origin = race.ScreenOrigin();
  h.Add(origin.X);
  h.Add(origin.Y);
  if (const TPlayer* bike = race.Player) {
    for (const double v : {bike->CenterX, bike->CenterY, bike->Speed, bike->HeadingAcc, bike->LeanFrame}) h.Add(v);
    for (const int32_t v : {bike->Lean, bike->HitPoints, bike->CrashTimer}) h.Add(v);
    h.Add(bike->Crashed);
  }
  if (const TCar* rivals = race.Traffic) {
    for (int n = 1; n <= RivalCount; ++n) {
      for (const double v : {rivals->PosX[n], rivals->PosY[n], rivals->Speed[n], rivals->Heading[n]}) h.Add(v);
      h.Add(rivals->Crashed[n]);
    }
  }
  return h.Value();
}
