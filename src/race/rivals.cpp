// The sprites that hold the rivals and the bonuses: their slots, and what the bike asks of them.
#include <algorithm>
#include <cmath>

#include "audio/audio.h"
#include "race/player.h"

namespace {
constexpr int32_t kRivalCrashMs = 1000;
}

TCar::TCar(TRace& race) : TMyImageSprite(2), Race(race) {
  PlaceAt(0, 0, 0, 9);
  ResetRivals();
}

void TCar::ResetRivals() {
  Racing.fill(false);
  InView.fill(false);
  Touching.fill(false);
  Crashed.fill(false);
  Model.fill(1);
  Contacts.fill(0);
  CurrentImage.fill(0);
  CrashTimer.fill(0);
  for (auto* values : {&PosX, &PosY, &CenterX, &CenterY, &Heading, &Speed, &ScrollSpeed, &LeanFrame, &LaneOffset})
    values->fill(0);
  Hull.fill(TQuad{});
}

void TCar::Crash(int n) {
  if (n < 1 || n > RivalCount) return;
  Crashed[n] = true;
  CurrentImage[n] = VehicleModel(Model[n]).CrashImage;
  LeanFrame[n] = 0;
  CrashTimer[n] = kRivalCrashMs;
  PlaySound(sndCrash);
}

void TCar::PlaceHull(int n) {
  const TVehicleModel& m = VehicleModel(Model[n]);
  CenterX[n] = PosX[n] + m.RiderDrawWidth / 2.0;
  CenterY[n] = PosY[n] + m.RiderDrawHeight / 2.0;
  const double r = m.ModelHullRadius * m.HullScale, a = m.ModelHullAngle;
  const double angles[4] = {Heading[n] - a, Heading[n] + a, Heading[n] - a + 128, Heading[n] + a + 128};
  for (int k = 0; k < 4; ++k) {
    const double h = angles[k] * AngleToRadians;
    Hull[n][k] = TPointF{CenterX[n] + std::sin(h) * r, CenterY[n] - std::cos(h) * r};
  }
}

void TCar::Step(int elapsed) { TMyImageSprite::Step(elapsed); }

TBonus::TBonus(TRace& race) : TMyImageSprite(2), Race(race) {
  PlaceAt(11, 0, 0, 5);
  GenerateBonuses();
}

void TBonus::GenerateBonuses() {
  for (TSlot& s : Slots) s.Active = false;
}

int TBonus::ActiveCount() const {
  const int count = std::clamp<int>(Race.BonusCount, 0, BonusSlots);
  return static_cast<int>(std::count_if(Slots.begin() + 1, Slots.begin() + 1 + count, [](const TSlot& s) { return s.Active; }));
}
