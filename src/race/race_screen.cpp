// The race's part of the race screen: building it, its frame while no popup is open, and the
// bike operations the popups reach.
#include "audio/audio.h"
#include "race/player.h"

namespace {

constexpr int kNeedleImage = 4, kNeedleX = -10, kNeedleY = 510, kNeedleRestAngle = 28;
constexpr double kNeedlePivotX = 0.7, kNeedlePivotY = 0.5;

// The road's obstacle tests: a solid tile touching the bike's hull costs a life at once; one
// touching a rival's hull crashes it.
void RaceObstacleTests(TRace& race, const TScrollBackground& road) {
  if (TPlayer* const bike = race.Player;
      bike != nullptr && bike->HitPoints > 0 && !bike->Crashed && race.RoadObstacleHitsQuad(road.X, road.Y, bike->Hull)) {
    bike->CrashHeadingSet = false;
    bike->Hit(bike->HitPoints);
  }
  if (race.Traffic != nullptr) race.Traffic->HitObstacles();
}

}  // namespace

void TRace::OpenRacePopup(uint8_t kind) const {
  if (ShowPopup != nullptr) ShowPopup(kind);
}

void TRace::BuildRace() {
  Road = new TScrollBackground(2, 1, RoadWindowColumns, RoadWindowRows, this);
  Road->SetImageSource(1, 2);
  Road->X = Road->Y = 0;
  SetUpLevel(1);
  BonusSprite = new TBonus(*this);
  SpeedNeedle = new TPointer(2, kNeedleImage, kNeedlePivotX, kNeedlePivotY, kNeedleX, kNeedleY);
  SpeedNeedle->Angle = kNeedleRestAngle;
  Player = new TPlayer(*this, Vehicle);
  Road->DrawArea = Player->RoadArea();
  Traffic = new TCar(*this);
  ObstacleTests = RaceObstacleTests;
  Lives = 3;
  Score = 0;
}

double TRace::PlayerSpeed() const { return Player != nullptr ? Player->Speed : 0; }

void UpdateRace(int lagCount, const TRaceInput& input) {
  TRace* const race = CurrentRace();
  if (race == nullptr || race->Player == nullptr) return;
  RunRaceFrame(*race, lagCount, input);
  race->DrawHud();
}

void RunRaceFrame(TRace& race, int lagCount, const TRaceInput& input) {
  TPlayer& bike = *race.Player;
  bike.Input = input;
  GameSpriteEngine().Move(lagCount);
  bike.Controls = input;
  race.SpeedNeedle->Angle = bike.NeedleAngle();
  bike.RunRaceClock();
  race.CopyViewToRoad();
  bike.SetScrollVelocity();
}

void ResumeEngineSound(bool withHorn) {
  if (const TRace* race = CurrentRace(); race != nullptr && race->Player != nullptr)
    race->Player->ResumeEngineSound(withHorn);
}

void StartLevel(bool next) {
  if (TRace* race = CurrentRace(); race != nullptr && race->Player != nullptr) race->Player->StartLevel(next);
}
