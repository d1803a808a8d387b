// The race object, the race in progress, and the engine-sound operations the popups use. The
// bike, the rivals and the bonuses belong to the race; until they exist these act on no bike.
#include "race/race.h"

#include "audio/audio.h"

namespace {

constexpr int kEngineSounds[] = {sndIdle,  sndGear1,    sndGear2,   sndGear3, sndGear4,
                                 sndGearShift, sndRollOff, sndTopEnd, sndSkid};
constexpr int kOtherRaceSounds[] = {sndHorn, sndScoreBonus, sndLifeBonus, sndUnused, sndBump};

std::unique_ptr<TRace> currentRace;

}  // namespace

TRace::TRace(int32_t vehicle) : Vehicle(vehicle) {}

TRace::~TRace() = default;

double TRace::PlayerSpeed() const { return 0; }

TRace* CurrentRace() { return currentRace.get(); }

TRace& StartRace(int32_t vehicle) {
  currentRace = std::make_unique<TRace>(vehicle);
  return *currentRace;
}

void EndRace() {
  StopEngineSounds(true);
  if (TRace* race = currentRace.get()) {
    if (race->Road != nullptr) race->Road->KillOnce();
    if (race->SpeedNeedle != nullptr) race->SpeedNeedle->KillOnce();
  }
  // Every sprite killed so far goes now, before the next screen creates its own.
  if (GameGraphics().SpriteEngine != nullptr) GameSpriteEngine().FreeDead();
  currentRace.reset();
}

void ForgetRace() { currentRace.reset(); }

// Nothing moves on the race screen until the bike exists.
void UpdateRace(int /*lagCount*/) {}

void StopEngineSounds(bool all) {
  for (const int s : kEngineSounds) StopSound(s);
  if (all)
    for (const int s : kOtherRaceSounds) StopSound(s);
}

void ResumeEngineSound(bool /*withHorn*/) {}

void StartLevel(bool /*next*/) {}
