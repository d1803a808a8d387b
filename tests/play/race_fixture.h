// The real game with a race started on level 1 and its caption closed: the bike, the road, the
// rival and bonus slots exist, nothing has moved yet.
#pragma once

#include <algorithm>
#include <string>

#include "headless_game.h"
#include "race/player.h"
#include "screens/screens.h"

// The race in progress (there must be one).
inline TRace& TheRace() { return *CurrentRace(); }

class RaceGame : public HeadlessGame {
protected:
  // The bike model the race starts with.
  virtual int Model() const { return 1; }

  void SetUp() override {
    HeadlessGame::SetUp();
    if (HasFatalFailure()) return;
    LeaveMainMenu();
    Shell.SelectedVehicle = Model();
    StartRaceScreen();
    ClosePopup();
    AdaptFrameRate(Rate(), Rate());  // as the first frame will
    Snd_CallLog().clear();
  }

  TPlayer& Bike() { return *TheRace().Player; }
  TCar& Rivals() { return *TheRace().Traffic; }
  TScrollBackground& Road() { return *TheRace().Road; }

  // Runs frames until `done` holds (at most `limit` frames); false when it never did.
  template <typename Done>
  bool RunUntil(Done done, int limit = 2000) {
    for (int i = 0; i < limit; ++i) {
      if (done()) return true;
      drive.Frame();
    }
    return done();
  }

  // How often the sound device was told to play `n` since the log was last cleared.
  static int Plays(int n) {
    const std::string entry = "play " + std::to_string(n);
    const auto& log = Snd_CallLog();
    return static_cast<int>(std::count(log.begin(), log.end(), entry));
  }

  // Takes every rival out of the level and every bonus off the road, for tests of the bike alone.
  void RideAlone() {
    Rivals().Racing.fill(false);
    Rivals().InView.fill(false);
    for (TBonus::TSlot& slot : TheRace().BonusSprite->Slots) slot.Active = false;
  }

  // Puts rival n in view on the screen with its centre at (x, y) (screen pixels), upright.
  void PlaceRival(int n, double x, double y, int model = 1) {
    TCar& r = Rivals();
    r.Racing[n] = r.InView[n] = true;
    r.Model[n] = static_cast<uint8_t>(model);
    r.CurrentImage[n] = VehicleModel(model).UprightImage;
    const TVehicleModel& m = VehicleModel(model);
    r.PosX[n] = x + TheRace().ViewCol * CellSize - Road().X - m.RiderDrawWidth / 2.0;
    r.PosY[n] = y + TheRace().ViewRow * CellSize - Road().Y - m.RiderDrawHeight / 2.0;
    r.PlaceHull(n);
  }
};
