// The race object and the race in progress.
#include "race/race.h"

#include "race/player.h"

namespace {

std::unique_ptr<TRace> currentRace;

// Every run of the game starts without a race, and with the autopilot off and remembering nothing.
const TRunStateRenewal raceRenewal(ForgetRace);
const TRunStateRenewal autopilotRenewal([] { Autopilot = TAutopilot{}; });

}  // namespace

TRace::TRace(int32_t vehicle) : Vehicle(vehicle) {}

TRace::~TRace() = default;

TRace* CurrentRace() { return currentRace.get(); }

TRace& StartRace(int32_t vehicle) {
  currentRace = std::make_unique<TRace>(vehicle);
  return *currentRace;
}

void EndRace() {
  StopEngineSounds(true);
  if (TRace* race = currentRace.get()) {
    race->ObstacleTests = nullptr;
    if (race->Road != nullptr) race->Road->KillOnce();
    if (race->BonusSprite != nullptr) race->BonusSprite->KillOnce();
    if (race->Traffic != nullptr) race->Traffic->KillOnce();
    if (race->SpeedNeedle != nullptr) race->SpeedNeedle->KillOnce();
    if (race->Player != nullptr) race->Player->KillOnce();
  }
  // Every sprite killed so far goes now, before the next screen creates its own.
  if (GameGraphics().SpriteEngine != nullptr) GameSpriteEngine().FreeDead();
  currentRace.reset();
}

void ForgetRace() { currentRace.reset(); }
