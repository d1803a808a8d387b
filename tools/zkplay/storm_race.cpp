// The storm's part in the race: phases, the race's invariants, the rider and the jumps.
#include "storm_race.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "race/player.h"
#include "screens/screens.h"
#include "sprites/sprites.h"

namespace {

// Every popup draws at this depth or above (shade 13, panel 14, buttons and caret 15..17); nothing
// else does.
constexpr int kPopupDepth = 13;

bool OpensOnlyInRace(int kind) {
  switch (kind) {
    case popExitToMenu: case popTimeOver: case popPause: case popLevelCaption: case popGameOver:
    case popNameEntry: case popSendQuestion: case popSending: case popTally: case popCongratulations: return true;
    default: return false;
  }
}

bool Alive(const TSprite* s) {
  if (s == nullptr || s->IsDead) return false;
  const TSprite* root = &GameSpriteEngine();
  // Found by address only: a freed sprite is never touched.
  const auto within = [](const auto& self, const TSprite* parent, const TSprite* wanted) -> bool {
    for (int i = 0; i < parent->Count(); ++i) {
      const TSprite* child = parent->Items(i);
      if (child == wanted || self(self, child, wanted)) return true;
    }
    return false;
  };
  return within(within, root, s);
}

// Live sprites at popup depth, and live race roads.
struct TSpriteCensus {
  int PopupSprites = 0, RaceRoads = 0;
};

void Count(const TSprite* parent, TSpriteCensus& census) {
  for (int i = 0; i < parent->Count(); ++i) {
    const TSprite* s = parent->Items(i);
    if (!s->IsDead) {
      if (s->Z >= kPopupDepth) ++census.PopupSprites;
      if (const auto* road = dynamic_cast<const TScrollBackground*>(s); road != nullptr && road->Race != nullptr) ++census.RaceRoads;
    }
    Count(s, census);
  }
}

bool Finite(double v) { return std::isfinite(v); }

std::string Figure(const char* name, double value) { return std::string(name) + " " + std::to_string(value); }

std::string PopupProblem(const TSpriteCensus& census) {
  const int kind = Shell.PopupKind;
  if (PopupHasPanel(kind) != (Shell.PopupPanel != nullptr)) return "popup " + std::to_string(kind) + " and its panel disagree";
  if (PopupHasButtons(kind) && (Shell.MenuItems[11] == nullptr || Shell.MenuItems[12] == nullptr))
    return "popup " + std::to_string(kind) + " without its buttons";
  // The options screen keeps a caret of its own, below the popups.
  const bool nameCaret = kind == popNameEntry && Shell.TextCursor != nullptr;
  if (kind == popNameEntry && !nameCaret) return "the name entry without its caret";
  if (Shell.TextCursor != nullptr && kind != popNameEntry && Shell.CurrentScreen != scrOptions)
    return "a caret without a text to edit";
  const int expected = (Shell.PopupPanel != nullptr) + (Shell.PopupShade != nullptr) + (PopupHasButtons(kind) ? 2 : 0) + nameCaret;
  if (census.PopupSprites != expected)
    return std::to_string(census.PopupSprites) + " sprites at popup depth for popup " + std::to_string(kind) + " (" +
           std::to_string(expected) + " expected): a popup lies on another";
  if (OpensOnlyInRace(kind) && Shell.CurrentScreen != scrRace) return "popup " + std::to_string(kind) + " off the race screen";
  return {};
}

std::string BikeProblem(const TRace& race, const TPlayer& bike) {
  if (bike.HitPoints < 1 || bike.HitPoints > 3) return Figure("hit points", bike.HitPoints);
  const double top = TopSpeed(bike.Model()) + 0.3 * SpeedFactor + 10 * RivalCount;
  if (!Finite(bike.Speed) || bike.Speed < -18 || bike.Speed > top) return Figure("speed", bike.Speed);
  if (!Finite(bike.ScrollSpeed) || !Finite(bike.HeadingAcc) || !Finite(bike.CenterX) || !Finite(bike.CenterY))
    return "the bike's motion is not finite";
  if (bike.Crashed && (bike.CrashTimer > 3000 || bike.CrashTimer < -FrameTimeMs)) return Figure("crash timer", bike.CrashTimer);
  if (race.Lives == 0 && !bike.Crashed && Shell.PopupKind != popGameOver && Shell.PopupKind != popNameEntry &&
      Shell.PopupKind != popSendQuestion && Shell.PopupKind != popSending)
    return "no life left, yet the game goes on";
  if (bike.LastMark < 1 || bike.LastMark > MarkSlots) return Figure("last mark", bike.LastMark);
  return {};
}

std::string RivalsProblem(const TCar& rivals) {
  for (int i = 1; i <= RivalCount; ++i) {
    if (!rivals.Racing[i]) continue;
    if (!Finite(rivals.PosX[i]) || !Finite(rivals.PosY[i]) || !Finite(rivals.Speed[i]) || !Finite(rivals.Heading[i]))
      return "rival " + std::to_string(i) + " is not finite";
    if (std::fabs(rivals.Lean[i]) > 6.5) return "rival " + std::to_string(i) + Figure(" lean", rivals.Lean[i]);
  }
  return {};
}

// The tally's figures: the time left drains from the clock's figure at the finish and earns 5
// points for every whole second it passes.
std::string TallyProblem(const TRace& race) {
  if (race.RacerCount < 1 || race.RacerCount > RivalCount + 1 || race.PlayerRank < 1 || race.PlayerRank > race.RacerCount)
    return "rank " + std::to_string(race.PlayerRank) + " of " + std::to_string(race.RacerCount);
  if (race.RankBonus != RankBonusFor(race.PlayerRank, race.RacerCount)) return Figure("rank bonus", race.RankBonus);
  if (race.ResultStep < 5) {
    if (race.TimeBonus != 0 || race.ResultTimeLeft != race.RaceTimeLeft) return "the tally drained before its lines showed";
    return {};
  }
  if (race.ResultTimeLeft > race.RaceTimeLeft || race.ResultTimeLeft < -10 * FrameTimeMs) return Figure("tally time", race.ResultTimeLeft);
  if (race.TimeBonus != 5 * (race.RaceTimeLeft / 1000 - race.ResultTimeLeft / 1000))
    return "time bonus " + std::to_string(race.TimeBonus) + " for " + std::to_string(race.RaceTimeLeft) + " ms drained to " +
           std::to_string(race.ResultTimeLeft);
  return {};
}

std::string RaceFiguresProblem(const TRace& race) {
  if (race.Level < 1 || race.Level > LevelCount) return Figure("level", race.Level);
  if (race.Lives < 0 || race.Lives > 3) return Figure("lives", race.Lives);
  if (race.Score < 0) return Figure("score", race.Score);
  if (race.RaceTimeLeft < 0 || race.RaceTimeLeft > LevelTimeLimit[race.Level] * 1000) return Figure("clock", race.RaceTimeLeft);
  if (race.ViewRow < 1 || race.ViewRow > TrackRows || race.ViewCol < 1 || race.ViewCol > TrackColumns)
    return "view at row " + std::to_string(race.ViewRow) + ", column " + std::to_string(race.ViewCol);
  if (race.TrackLength != TrackLengthOfLevel(race.Level)) return Figure("track length", race.TrackLength);
  if (race.BonusSprite != nullptr && race.BonusSprite->ActiveCount() > race.BonusCount) return "more bonuses than the level has";
  return {};
}

std::string PhaseProblem(const TRace& race, const TPlayer& bike) {
  switch (Shell.PopupKind) {
    case popLevelCaption:
      if (race.RaceTimeLeft != LevelTimeLimit[race.Level] * 1000 || bike.Finished || bike.Crashed || bike.Speed != 0)
        return "the level caption over a level already under way";
      break;
    case popTimeOver:
      if (!bike.TimeUp || bike.Finished || race.Lives < 1) return "time over without the time up";
      break;
    case popTally:
      if (!bike.Finished) return "the tally before the finish";
      return TallyProblem(race);
    case popCongratulations:
      if (!bike.Finished || race.Level != LevelCount || race.ResultTimeLeft > 3200) return "congratulations before the last level's end";
      break;
    default: break;
  }
  return {};
}

}  // namespace

TRacePhase CurrentRacePhase() {
  const TRace* race = CurrentRace();
  if (Shell.CurrentScreen != scrRace || race == nullptr || race->Player == nullptr) return TRacePhase::Off;
  switch (Shell.PopupKind) {
    case popLevelCaption: return TRacePhase::Caption;
    case popTimeOver: return TRacePhase::TimeOver;
    case popTally: return TRacePhase::Tally;
    case popGameOver: return TRacePhase::GameOver;
    case popCongratulations: return TRacePhase::Congratulations;
    case popNameEntry: case popSendQuestion: case popSending: return TRacePhase::GameEnd;
    default: break;
  }
  const TPlayer& bike = *race->Player;
  if (bike.Crashed) return TRacePhase::Crash;
  if (bike.Finished || bike.TimeUp) return TRacePhase::RollOut;
  return TRacePhase::Riding;
}

const char* RacePhaseName(TRacePhase phase) {
  switch (phase) {
    case TRacePhase::Off: return "off";
    case TRacePhase::Caption: return "caption";
    case TRacePhase::Riding: return "riding";
    case TRacePhase::Crash: return "crash";
    case TRacePhase::RollOut: return "rollout";
    case TRacePhase::TimeOver: return "timeover";
    case TRacePhase::Tally: return "tally";
    case TRacePhase::GameOver: return "gameover";
    case TRacePhase::Congratulations: return "congratulations";
    case TRacePhase::GameEnd: return "gameend";
    case TRacePhase::Count: break;
  }
  return "?";
}

std::string RaceProblem() {
  TSpriteCensus census;
  Count(&GameSpriteEngine(), census);
  if (std::string p = PopupProblem(census); !p.empty()) return p;
  const TRace* race = CurrentRace();
  if ((race != nullptr) != (Shell.CurrentScreen == scrRace)) return race != nullptr ? "a race off the race screen" : "the race screen without a race";
  if (census.RaceRoads != (race != nullptr ? 1 : 0)) return std::to_string(census.RaceRoads) + " race roads in the engine";
  if (race == nullptr) return {};
  if (!Alive(race->Road) || !Alive(race->Player) || !Alive(race->Traffic) || !Alive(race->BonusSprite) || !Alive(race->SpeedNeedle))
    return "a race sprite is freed or dying";
  if (race->Road->Race != race) return "the road belongs to another race";
  if (std::string p = RaceFiguresProblem(*race); !p.empty()) return p;
  if (std::string p = BikeProblem(*race, *race->Player); !p.empty()) return p;
  if (std::string p = RivalsProblem(*race->Traffic); !p.empty()) return p;
  return PhaseProblem(*race, *race->Player);
}

TRiderKeys RiderKeys(const TRace& race, TRiderStyle style, int side, double speedCap, long long frame) {
  TRiderKeys keys;
  const TPlayer* bike = race.Player;
  if (bike == nullptr || race.Road == nullptr) return keys;
  switch (style) {
    case TRiderStyle::Follow: {
      // Toward the road's centre a few rows ahead, as the rivals steer.
      const double x = race.ViewCol * CellSize - race.Road->X + bike->CenterX;
      const double y = race.ViewRow * CellSize - race.Road->Y + bike->CenterY;
      const int lookRow = static_cast<int>(y / CellSize) - 4;
      if (lookRow >= 1 && lookRow <= TrackRows) {
        const double target = std::atan((race.RoadCenterX[lookRow] - x) / (y - lookRow * CellSize)) / AngleToRadians;
        keys.Left = target < bike->Heading - 2;
        keys.Right = target > bike->Heading + 2;
      }
      keys.Up = bike->Speed < speedCap;
      break;
    }
    case TRiderStyle::Wild:
      keys.Up = true;
      keys.Left = side < 0;
      keys.Right = side > 0;
      break;
    case TRiderStyle::Brake:
      keys.Down = frame % 40 < 20;
      keys.Space = !keys.Down;
      keys.Left = side < 0;
      keys.Right = side > 0;
      break;
    case TRiderStyle::Count: break;
  }
  return keys;
}

std::string JumpRace(TRace& race, TRaceJump jump, int amount) {
  TPlayer* const bike = race.Player;
  if (bike == nullptr || race.Road == nullptr || Shell.PopupKind != popNone) return {};
  switch (jump) {
    case TRaceJump::TimeNearlyUp:
      if (bike->Finished || bike->TimeUp || race.RaceTimeLeft <= amount) return {};
      race.RaceTimeLeft = amount;
      return "# jump: " + std::to_string(amount) + " ms left";
    case TRaceJump::NearFinish: {
      // `amount` rows before the row at which the bike counts as finished, over the road's centre.
      if (bike->Finished || bike->Crashed) return {};
      race.ViewRow = FinishRowOf(race.TrackLength) - 6 + amount;
      const int bikeRow = race.ViewRow + static_cast<int>(bike->CenterY) / CellSize;
      race.ViewCol = std::clamp(static_cast<int>(std::lround((race.RoadCenterX[bikeRow] - bike->CenterX) / CellSize)), 1,
                                TrackColumns - RoadWindowColumns);
      race.Road->X = race.Road->Y = 0;
      race.CopyViewToRoad();
      return "# jump: " + std::to_string(amount) + " rows before the finish";
    }
    case TRaceJump::LastLife:
      if (race.Lives <= 1) return {};
      race.Lives = 1;
      return "# jump: the last life";
    case TRaceJump::Level:
      // As zkplay's `level` command: the bike starts the level asked for behind its caption.
      if (bike->Crashed || bike->Finished || bike->TimeUp) return {};
      race.Level = amount - 1;
      bike->StartLevel(true);
      return "level " + std::to_string(amount);
    case TRaceJump::Count: break;
  }
  return {};
}
