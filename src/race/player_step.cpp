// The bike's frame: the collision quad, the road test, contact with rivals, hits, crashes and
// falls, the return to the road, the race position, skid marks, the finish, the roll-out to the
// end of a level, the level start and the race clock.
#include <algorithm>
#include <cmath>

#include "audio/audio.h"
#include "race/player.h"

namespace {

constexpr int32_t kCrashMs = 3000, kBumpMs = 100;
constexpr int32_t kFinishPauseMs = 2000, kTimeOverPauseMs = 1000;
constexpr double kMarkSpacing = 12;
// The world Y given to a rival that does not race, behind every place on the track.
constexpr double kNotRacingY = 108000;
// The bike's own row on the screen: the view's row plus this.
constexpr int kBikeRowOffset = 5;
constexpr int kLastViewRow = 1490;

}  // namespace

int32_t RankBonusFor(int rank, int racerCount) {
  const int last = static_cast<int>(RankBonusTable.size()) - 1;
  if (rank < 1 || rank > last) rank = std::clamp(racerCount, 1, last);
  return RankBonusTable[rank];
}

double TPlayer::RoadX() const { return Race.Road != nullptr ? Race.Road->X : 0; }
double TPlayer::RoadY() const { return Race.Road != nullptr ? Race.Road->Y : 0; }

// ---------------------------------------------------------------------------------------------
// Collision quad and the road
// ---------------------------------------------------------------------------------------------

TQuad HullQuad(double x, double y, double heading, double radius, double angle) {
  const double angles[4] = {heading - angle, heading + angle, heading + 128 - angle, heading + 128 + angle};
  TQuad quad;
  for (int k = 0; k < 4; ++k) {
    const double a = angles[k] * AngleToRadians;
    quad[k] = TPointF{x + std::sin(a) * radius, y - std::cos(a) * radius};
  }
  return quad;
}

void TPlayer::ComputeHull() { Hull = HullQuad(CenterX, CenterY, Heading, HullRadius * Model().HullScale, HullAngle); }

bool TPlayer::IsRoadTile(int x, int y) const { return Race.IsRoadTile(x, y); }

bool TPlayer::HullOnRoad() const {
  const double left = Race.ViewCol * CellSize - RoundHalfEven(RoadX());
  const double top = Race.ViewRow * CellSize - RoundHalfEven(RoadY());
  for (const TPointF& corner : Hull) {
    if (!IsRoadTile(RoundHalfEven(left + corner.X), RoundHalfEven(top + corner.Y))) return false;
  }
  return true;
}

// ---------------------------------------------------------------------------------------------
// Rivals
// ---------------------------------------------------------------------------------------------

void TPlayer::TouchRivals() {
  if (Race.Traffic == nullptr) return;
  TCar& rivals = *Race.Traffic;
  const double dx = -Race.ViewCol * CellSize + RoadX(), dy = -Race.ViewRow * CellSize + RoadY();
  for (int i = 1; i <= RivalCount; ++i) {
    if (!rivals.InView[i]) continue;
    TQuad quad = rivals.Hull[i];
    for (TPointF& p : quad) p = TPointF{p.X + dx, p.Y + dy};
    if (!QuadsOverlap(quad, Hull)) {
      rivals.Touching[i] = false;
      continue;
    }
    if (rivals.Touching[i]) continue;
    if (!Finished) Hit(1);
    if (rivals.CenterY[i] + dy > CenterY) {  // the rival is behind: it pushes
      Bump(true, Speed + 10);
      BumpBoost = true;
      BumpTimer = kBumpMs;
      rivals.Speed[i] *= 0.95;
    } else {
      rivals.Speed[i] *= 1.05;
      Bump(true, Speed * 0.95);
    }
    const double t = 2 * rivals.Heading[i] - HeadingAcc;
    HeadingAcc = 2 * rivals.Heading[i] + t / 2;
    rivals.Heading[i] -= t / 2;
    ++rivals.Contacts[i];
    if (rivals.Contacts[i] >= 2) rivals.Crash(i);
    rivals.Touching[i] = true;
  }
}

double TPlayer::WorldY() const { return Race.ViewRow * CellSize + CenterY - RoadY(); }

uint8_t TPlayer::RankAmongRacers(uint8_t previous, uint8_t& racers) const {
  std::array<double, RivalCount + 1> y{};
  int racing = 0;
  for (int i = 1; i <= RivalCount; ++i) {
    const bool races = Race.Traffic != nullptr && Race.Traffic->Racing[i];
    y[i] = races ? Race.Traffic->CenterY[i] : kNotRacingY;
    racing += races ? 1 : 0;
  }
  std::sort(y.begin() + 1, y.end());
  const double p = WorldY();
  uint8_t rank = previous;
  if (p < y[1]) {
    rank = 1;
  } else if (racing >= 1) {
    for (int j = 1; j < racing; ++j) {
      if (y[j] < p && p < y[j + 1]) {
        rank = static_cast<uint8_t>(j + 1);
        break;
      }
    }
    if (p > y[racing]) rank = static_cast<uint8_t>(racing + 1);
  }
  racers = static_cast<uint8_t>(racing + 1);
  return rank;
}

void TPlayer::UpdateRank() { Race.PlayerRank = RankAmongRacers(Race.PlayerRank, Race.RacerCount); }

// ---------------------------------------------------------------------------------------------
// Hits, crashes, falls
// ---------------------------------------------------------------------------------------------

void TPlayer::Hit(int n) {
  for (int k = 0; k < n; ++k) {
    if (--HitPoints > 0) continue;
    HitPoints = 3;
    --Race.Lives;
    Crash();
  }
}

void TPlayer::Crash() {
  Crashed = true;
  EngineSound = TEngineSound::None;
  HornOn = false;
  PlaySound(sndCrash);
  SetAnimation(Model().CrashImage, 8);
  StopEngineSounds(false);
  CrashTimer = kCrashMs;
}

void TPlayer::Bump(bool playSound, double newSpeed) {
  Speed = newSpeed;
  ScrollSpeed = TopSpeedFactor() * Speed / 8;
  StopEngineSounds(false);
  ResumeEngineSound(false);
  if (playSound) PlaySound(sndBump);
}

void TPlayer::CheckFall() {
  if (Crashed) return;
  const double depth = UprightLeanFrame - FramePos;
  const bool leaning = Lean != 0;
  const bool falls = (Controls.Space && Speed > 100 && LastMark > 10) ||
                     (Controls.Space && depth > 2 && leaning && LastMark > 8) ||
                     (Controls.Down && depth > 3 && leaning) || (Controls.Down && depth > 2 && leaning && Speed > 100);
  if (!falls) return;
  CrashHeadingSet = true;
  Crash();
}

int TPlayer::CrashHeadingAtRow(int row) const {
  int d = 0;
  if (row >= 1 && row <= TrackRows) {
    for (int c = 1; c <= TrackColumns; ++c) {
      switch (Race.TrackMap[row][c]) {
        case 10: d = 0; break;
        case 27: case 33: d = -1; break;
        case 39: case 45: d = 1; break;
        default: break;
      }
    }
  }
  return 38 * d - Heading;
}

void TPlayer::Revive() {
  TimeUp = Crashed = EndSequenceStarted = false;
  Speed = ScrollSpeed = 0;
  SetAnimation(Model().UprightImage, 0);
  Lean = 0;
  LeanFrame = 0;
  FrameSpeed = 0;
}

// The search runs down the track from the bike's row to the map's last row; when no right-hand
// road edge turns up the view stays where it is.
void TPlayer::PlaceOnRoad() {
  int r = Race.ViewRow + kBikeRowOffset;
  int col = Race.ViewCol - 1;
  bool found = false;
  while (!found && Race.ViewRow < kLastViewRow && r <= TrackRows) {
    for (int i = 2; i <= TrackColumns; ++i) {
      const int c = TrackColumns - i;
      const int t = Race.TrackMap[r][c + 1];
      if (!((t == 0 && IsRoadTile(c * CellSize, r * CellSize)) || t == 23 || t == 29 || t == 47)) continue;
      col = c - 7;
      if (t == 0 || t == 23) HeadingAcc = 0;
      if (t == 47) {
        HeadingAcc = 38;
        col -= 1;
      }
      if (t == 29) {
        HeadingAcc = -38;
        col += 1;
      }
      Heading = RoundHalfEven(HeadingAcc / 2);
      found = true;
      break;
    }
    ++r;
  }
  if (found) {
    Race.ViewCol = col + 1;
    Race.ViewRow = r - kBikeRowOffset;
  }
  if (Race.Road != nullptr) Race.Road->X = Race.Road->Y = 0;
}

// ---------------------------------------------------------------------------------------------
// Skid marks
// ---------------------------------------------------------------------------------------------

void TPlayer::ScrollMarks() {
  const double dx = Race.ScrollVX * 0.5 * SpeedFactor, dy = Race.ScrollVY * 0.5 * SpeedFactor;
  for (int k = 1; k <= MarkSlots; ++k) {
    Marks[k].X += dx;
    Marks[k].Y += dy;
  }
}

void TPlayer::AddMark(double x, double y) {
  for (int k = 1; k <= MarkSlots; ++k) {
    if (Marks[k].Used) continue;
    Marks[k] = TSkidMark{x, y, Heading, true};
    LastMark = k;
    return;
  }
}

void TPlayer::CullMarks() {
  for (int k = 1; k <= MarkSlots; ++k) {
    TSkidMark& m = Marks[k];
    if (m.Used && (m.X < 0 || m.X > 700 || m.Y + 14 < 0 || m.Y > 600)) m = TSkidMark{};
  }
}

int TPlayer::MarksUsed() const {
  return static_cast<int>(std::count_if(Marks.begin() + 1, Marks.end(), [](const TSkidMark& m) { return m.Used; }));
}

void TPlayer::LayMarkIfDue() {
  const double cx = X + Width / 2.0, cy = Y + Height / 2.0;
  const double left = (Heading - 128) * AngleToRadians, right = (Heading - 124) * AngleToRadians;
  MarkPointLeft = TPointF{cx + std::sin(left) * MarkRadius, cy - std::cos(left) * MarkRadius};
  MarkPointRight = TPointF{cx + std::sin(right) * MarkRadius, cy - std::cos(right) * MarkRadius};
  if (!((Controls.Space && std::fabs(ScrollSpeed) > 0.1) || ForceMark)) return;
  const TSkidMark& last = Marks[std::clamp(LastMark, 1, MarkSlots)];
  const double distance = std::hypot(MarkPointRight.X - last.X, MarkPointRight.Y - last.Y);
  if (distance >= kMarkSpacing - ScrollSpeed * 0.5 * SpeedFactor) AddMark(MarkPointLeft.X, MarkPointLeft.Y);
  ForceMark = false;
}

// ---------------------------------------------------------------------------------------------
// The frame
// ---------------------------------------------------------------------------------------------

void TPlayer::Step(int elapsed) {
  // A lean picture is still (no frame speed) and drawn by its truncated position, so its upright
  // end, FramePos 5.5, is a real position: the base step's restart at FrameCount - 0.5 (meant for
  // pictures drawn by rounding) would flip a recovered lean to the deepest one for a frame, and
  // braking then would throw the bike down.
  const double leanFrame = FramePos;
  TMyImageSprite::Step(elapsed);
  if (Lean != 0 && !Crashed && FrameSpeed == 0) FramePos = leanFrame;
  if (!Crashed) UpdateLean();
  if ((FinishRowOf(Race.TrackLength) - Race.ViewRow) * CellSize + RoadY() > Y) Finished = true;
  if (!Finished) UpdateRank();
  ComputeHull();
  if (BumpBoost) {
    BumpTimer -= FrameTimeMs;
    if (BumpTimer <= 0) {
      Bump(false, Speed - 10);
      BumpBoost = false;
    }
  }
  if (!Crashed) TouchRivals();
  if (Crashed) {
    RunCrashSequence();
    return;
  }
  // Once the clock has run out the controls are dead as after the finish: throttle during the
  // roll-out would restart its pause every frame and hold the time-over popup off for as long
  // as Up is held.
  if (!Finished && !TimeUp) ReadControls();
  Heading = RoundHalfEven(HeadingAcc / 2);
  if (Finished || TimeUp) {
    RunRollOut();
    return;
  }
  OnRoad = HullOnRoad();
  UpdateEngineSound();
  ScrollMarks();
  LayMarkIfDue();
  CullMarks();
  CheckFall();
  IntegrateSpeed();
  if (Race.ViewRow == kLastViewRow && Speed < 0) Speed = ScrollSpeed = 0;
}

void TPlayer::RunCrashSequence() {
  const TVehicleModel& m = Model();
  FramePos = std::min(FramePos, m.CrashFrameCount - 1.0);
  if (!CrashHeadingSet) {
    CrashHeadingSet = true;
    Heading = CrashHeadingAtRow(Race.ViewRow + kBikeRowOffset);
  }
  ScrollMarks();
  if (Speed > 0) {
    Speed -= 0.8 * SpeedFactor;
    ScrollSpeed = TopSpeedFactor() * Speed / 8;
    if (Speed < 10) {
      FrameRatePercent = 0;
      FrameSpeed = 0;
      FramePos = m.CrashFrameCount - 1;
    }
  }
  if (Speed <= 0) ScrollSpeed = 0;
  if (CrashTimer > 0) {
    CrashTimer -= FrameTimeMs;
  } else if (Race.Lives > 0) {
    PlaceOnRoad();
    Revive();
  } else {
    Race.OpenRacePopup(7);
  }
}

void TPlayer::RunRollOut() {
  ScrollMarks();
  if (!EndSequenceStarted) {
    EndSequenceStarted = true;
    EngineSound = TEngineSound::None;
    HornOn = false;
    StopEngineSounds(true);
    PlayEngineSound(sndIdle);
  }
  if (Speed > 0) {
    Speed -= 0.8 * SpeedFactor;
    ScrollSpeed = TopSpeedFactor() * Speed / 8;
    const int row = RoundHalfEven(Race.ViewRow * CellSize + CenterY - RoadY()) / CellSize;
    const int shape = Race.RowShapeAt(row);
    HeadingAcc = shape == segShiftLeft ? -37.78 : shape == segShiftRight ? 37.78 : 0;
    Race.ResultTimeLeft = Finished ? kFinishPauseMs : kTimeOverPauseMs;
  }
  if (Speed <= 0) Speed = ScrollSpeed = 0;
  if (Speed > 0) return;
  if (Race.ResultTimeLeft > 0) {
    Race.ResultTimeLeft -= FrameTimeMs;
    return;
  }
  if (Finished) {
    StopEngineSounds(true);
    Race.ResultTimeLeft = Race.RaceTimeLeft;
    Race.TimeBonus = 0;
    Race.RankBonus = RankBonusFor(Race.PlayerRank, Race.RacerCount);
    Race.ResultStepTimer = 0;
    Race.ResultStep = 0;
    Race.OpenRacePopup(11);
    return;
  }
  if (Race.Lives >= 1) {
    --Race.Lives;
    HitPoints = 3;
  }
  Race.OpenRacePopup(Race.Lives > 0 ? 3 : 7);
}

// ---------------------------------------------------------------------------------------------
// Level start, clock, score
// ---------------------------------------------------------------------------------------------

void TPlayer::StartLevel(bool next) {
  Race.SetUpLevel(next ? Race.Level + 1 : Race.Level);
  TimeUp = EndSequenceStarted = false;
  HeadingAcc = 0;
  Heading = 0;
  HitPoints = 3;
  if (Race.Road != nullptr) Race.Road->X = Race.Road->Y = 0;
  if (Race.BonusSprite != nullptr) Race.BonusSprite->GenerateBonuses();
  Finished = false;
  if (Race.Traffic != nullptr) Race.Traffic->ResetRivals();
  Race.OpenRacePopup(6);
  Revive();
  PlayEngineSound(sndIdle);
}

void TPlayer::RunRaceClock() {
  if (Race.RaceTimeLeft <= 10000 && (Race.RaceTimeLeft + FrameTimeMs) / 1000 > Race.RaceTimeLeft / 1000) PlaySound(sndClockTick);
  if (!TimeUp && !Finished && Race.RaceTimeLeft - FrameTimeMs >= 0) Race.RaceTimeLeft -= FrameTimeMs;
  if (FrameTimeMs + 1 >= Race.RaceTimeLeft) TimeUp = true;
}

void TPlayer::AddScore(int n) { Race.Score += n; }

void TPlayer::AddLife(int k) {
  if (k == 1 && Race.Lives < 3) ++Race.Lives;
}
