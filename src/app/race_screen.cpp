// The race screen's teardown and the engine-sound operations the popups use. The bike, the
// rivals and the bonuses belong to the race; until a race exists these act on no race.
#include "app/app.h"
#include "audio/audio.h"
#include "race/race.h"
#include "sprites/sprites.h"

namespace {

constexpr int kEngineSounds[] = {4, 9, 10, 11, 12, 5, 6, 13, 7};
constexpr int kOtherRaceSounds[] = {8, 14, 15, 16, 17};

}  // namespace

void StopEngineSounds(bool all) {
  for (const int s : kEngineSounds) StopSound(s);
  if (all)
    for (const int s : kOtherRaceSounds) StopSound(s);
}

void ResumeEngineSound(bool /*withHorn*/) {}

void StartLevel(bool /*next*/) {}

double PlayerSpeed() { return 0; }

void EndRace() {
  CurrentScreen = scrNone;
  KillScreenBackground();
  StopEngineSounds(true);
  KillSpriteOnce(SpeedNeedle);
  MForm->MDXSpriteEngine->FreeDead();
  SpeedNeedle = nullptr;
}
