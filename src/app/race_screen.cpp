// The race screen: building it, its frame while no popup is open, and tearing it down; and the
// bike operations the popups reach.
#include "app/app.h"
#include "audio/audio.h"
#include "race/player.h"
#include "sprites/sprites.h"

namespace {

constexpr int kNeedleImage = 4, kNeedleX = -10, kNeedleY = 510, kNeedleRestAngle = 28;
constexpr double kNeedlePivotX = 0.7, kNeedlePivotY = 0.5;
constexpr int kSpaceState = isButton1 + 9, kHornState = isButton1 + 4;

// The road's obstacle test for the bike: a solid tile touching the hull costs a life at once.
void BikeObstacleTest(const TScrollBackground& road) {
  TPlayer* const bike = Player;
  if (bike == nullptr || bike->HitPoints <= 0 || bike->Crashed) return;
  if (!RoadObstacleHitsQuad(road.X, road.Y, bike->Hull)) return;
  bike->CrashHeadingSet = false;
  bike->Hit(bike->HitPoints);
}

void CopyKeysToBike(TPlayer& bike) {
  const TDXInput& input = MForm->MDXInput;
  bike.SteerLeftHeld = input.State(isLeft);
  bike.SteerRightHeld = input.State(isRight);
  bike.ThrottleHeld = input.State(isUp);
  bike.BrakeHeld = input.State(isDown);
  bike.HandbrakeHeld = input.State(kSpaceState);
  bike.HornHeld = input.State(kHornState);
}

}  // namespace

void StartRace() {
  CurrentScreen = scrRace;
  PlayScreenMusic();
  HideMouseCursor();
  FirstItem = 1;
  LastItem = 0;
  HoverItem = 0;
  auto* const road = new TScrollBackground(2, 1, RoadWindowColumns, RoadWindowRows);
  road->SetImageSource(1, 2);
  road->X = road->Y = 0;
  ScreenBackground = road;
  SetUpLevel(1);
  BonusSprite = new TBonus();
  SpeedNeedle = new TPointer(2, kNeedleImage, kNeedlePivotX, kNeedlePivotY, kNeedleX, kNeedleY);
  SpeedNeedle->Angle = kNeedleRestAngle;
  Player = new TPlayer(SelectedVehicle);
  Traffic = new TCar();
  RaceObstacleTests = BikeObstacleTest;
  Lives = 3;
  Score = 0;
  OpenPopup(6);
}

void UpdateRace(int lagCount) {
  MForm->MDXSpriteEngine->Move(lagCount);
  TPlayer& bike = *Player;
  CopyKeysToBike(bike);
  SpeedNeedle->Angle = bike.NeedleAngle();
  bike.RunRaceClock();
  CopyViewToRoad();
  bike.SetScrollVelocity();
  DrawHud();
  if (EscapePressed) OpenPopup(2);
  if (PausePressed) OpenPopup(5);
}

void EndRace() {
  CurrentScreen = scrNone;
  KillScreenBackground();
  StopEngineSounds(true);
  RaceObstacleTests = nullptr;
  if (BonusSprite != nullptr) BonusSprite->KillOnce();
  if (Traffic != nullptr) Traffic->KillOnce();
  KillSpriteOnce(SpeedNeedle);
  if (Player != nullptr) Player->KillOnce();
  MForm->MDXSpriteEngine->FreeDead();
  BonusSprite = nullptr;
  Traffic = nullptr;
  SpeedNeedle = nullptr;
  Player = nullptr;
}

void ResumeEngineSound(bool withHorn) {
  if (Player != nullptr) Player->ResumeEngineSound(withHorn);
}

void StartLevel(bool next) {
  if (Player != nullptr) Player->StartLevel(next);
}

double PlayerSpeed() { return Player != nullptr ? Player->Speed : 0; }
