// The race's own actors: the bike models, the player's bike (driving, frame step, collisions,
// crashes, race end, drawing with the minimap), and the sprites that hold the rivals and the
// bonuses in parallel slots.
#pragma once

#include <array>
#include <cstdint>

#include "race/race.h"
#include "sprites/sprites.h"

// ---------------------------------------------------------------------------------------------
// Bike models
// ---------------------------------------------------------------------------------------------

struct TVehicleModel {
  int TopSpeedRating, HandlingRating, AccelRating, BrakeRating;
  int UprightImage, LeanLeftImage, LeanRightImage, CrashImage, CrashFrameCount;  // list 2 items
  int HullWidth;
  double HullScale;
  // Drawing sizes of a rival on this bike, upright and crashed.
  int RiderDrawWidth, RiderDrawHeight, CrashDrawWidth, CrashDrawHeight;
  // The rivals' own collision quad.
  double ModelHullRadius, ModelHullAngle;
};

constexpr int VehicleModelCount = BikeModelCount;

// A model's ratings and hulls with its pictures and drawing sizes from the data pack's layout.
constexpr TVehicleModel VehicleModelOf(int model, int topSpeed, int handling, int accel, int brake, int hullWidth,
                                       double hullScale, double hullRadius, double hullAngle) {
  const TBikeDrawLayout& d = BikeDrawLayouts[model - 1];
  return {topSpeed, handling, accel, brake, d.Upright, d.LeanLeft, d.LeanRight, d.Crash, d.CrashFrames, hullWidth,
          hullScale, d.RiderWidth, d.RiderHeight, d.CrashWidth, d.CrashHeight, hullRadius, hullAngle};
}

// Models 1..5; [0] repeats model 1 so that an out-of-range number still reads a real bike.
constexpr std::array<TVehicleModel, VehicleModelCount + 1> VehicleModels{{
    VehicleModelOf(1, 6, 8, 9, 7, 23, 0.92, 37, 12),
    VehicleModelOf(1, 6, 8, 9, 7, 23, 0.92, 37, 12),
    VehicleModelOf(2, 11, 4, 3, 8, 28, 0.82, 36, 11),
    VehicleModelOf(3, 6, 6, 8, 10, 34, 0.78, 38, 13),
    VehicleModelOf(4, 9, 5, 10, 9, 24, 0.90, 35, 11),
    VehicleModelOf(5, 8, 11, 8, 9, 28, 0.80, 35, 12),
}};

inline const TVehicleModel& VehicleModel(int model) {
  return VehicleModels[model >= 1 && model <= VehicleModelCount ? model : 0];
}

// The driving rates of a model at a road speed, shared by the bike and the rivals.
double TopSpeedFactor(const TVehicleModel& m);
double AccelRate(const TVehicleModel& m, double speed);
double BrakeDecel(const TVehicleModel& m);
double SteerRate(const TVehicleModel& m, double speed);
double CoastDecel(const TVehicleModel& m, double speed);
// Pixels a rider of model `m` covers in a frame at `speed` (at the reference rate).
double PixelsPerFrame(const TVehicleModel& m, double speed);
// The fastest the throttle drives a rider of model `m`.
double TopSpeed(const TVehicleModel& m);
// The playback rate of engine sound `sound` for a rider of model `model` at `speed`: rising with
// the speed through each gear band (the band's start to the next band's start), the roll-off
// loop's with the speed up to the top speed; 1 for the other sounds.
double EngineRate(int sound, double speed, const TVehicleModel& model);
// The engine sound a rider under throttle makes at `speed` (idle at a standstill).
int EngineSoundOfSpeed(double speed, const TVehicleModel& model);
// The pan (-1 left .. 1 right) of a sound at screen column x of the play area.
double PanOfScreenX(double x);

// Angle units (1/256 of a turn) to radians.
constexpr double AngleToRadians = 0.024543692606170259676;

// The collision quad of a rider centred at world or screen (x, y), heading `heading` (angle
// units): corners `radius` from the centre, `angle` either side of the heading and of its reverse.
TQuad HullQuad(double x, double y, double heading, double radius, double angle);

// ---------------------------------------------------------------------------------------------
// The bike model: the player's driving rules of one frame as functions of a plain state. The
// player's bike (TPlayer) is such a state and its step runs them; the autopilot rehearses copies
// of it with the same functions.
// ---------------------------------------------------------------------------------------------

// The lean picture's frame at its upright end; 0 is the deepest lean.
constexpr double UprightLeanFrame = 5.5;

struct TBikeState {
  double Speed = 0, ScrollSpeed = 0, HeadingAcc = 0, Decel = 0;
  int32_t Heading = 0;     // HeadingAcc / 2 rounded (angle units): the heading the world scrolls by
  int32_t Lean = 0;        // the side leant to: -1 left, 0 upright, 1 right
  double LeanFrame = 0;    // the lean picture's frame: UprightLeanFrame down to 0 (deepest)
  double LeanStartHeading = 0;  // Heading when the steering key of the lean went down
  bool PrevSteerLeft = false, PrevSteerRight = false;  // the steering of Controls a frame before
  // The race input the steering, the pedals and the horn answer: the previous race frame's.
  TRaceInput Controls{};
  bool OnRoad = false;    // the hull was on road cells when last tested
  bool Finished = false;  // past the finish line: the controls are dead, the bike stands up
};

// The lean, by the steering keys held this frame: a key held leans the bike to its side (not
// while it leans to the other), deeper (up to Speed / 35) once the heading has turned more than 5
// units since the key went down (it was not held in the Controls a frame before); without a key
// the bike stands up again. Below speed 5 it is upright; after the finish it stands up and
// straightens its heading.
void LeanBike(TBikeState& b, const TRaceInput& held);
// Steering, throttle, brake, handbrake and the off-road drag by b.Controls: the heading turns
// (not under the handbrake), the throttle adds speed up to TopSpeed, Decel is set.
void WorkControls(TBikeState& b, const TVehicleModel& m);
// Takes Decel off the speed with its limits (not below -8; the handbrake stops a slow bike) and
// sets ScrollSpeed.
void IntegrateSpeed(TBikeState& b, const TVehicleModel& m);
// One frame of a bike that rides (not crashed, not finished, the clock running) in the bike's
// order: LeanBike by `input`, WorkControls by b.Controls, Heading, IntegrateSpeed; then `input`
// becomes the Controls of the next frame. OnRoad stays as it is (the bike's step tests its hull).
void RideBikeFrame(TBikeState& b, const TVehicleModel& m, const TRaceInput& input);
// The bike's velocity over the ground in world pixels per frame at the reference rate (a frame
// moves it ScrollStep * SpeedFactor of this).
TPointF BikeVelocity(const TBikeState& b);

// ---------------------------------------------------------------------------------------------
// Rival riders: five computer riders held in parallel arrays of one sprite, which drives them; the
// bike draws them and handles their contact with it, the road runs their obstacle test.
// Bonuses: the pickups of a level, held in slots of one sprite.
// ---------------------------------------------------------------------------------------------

constexpr int RivalCount = 5;

class TCar : public TMyImageSprite {
public:
  // Created at depth 9 for `race`, then reset for the race's level.
  explicit TCar(TRace& race);

  TRace& Race;

  // Per rival, [1..RivalCount]; [0] unused. World pixels, angle units (256 a turn, 0 up the track).
  template <typename T>
  using PerRival = std::array<T, RivalCount + 1>;
  PerRival<bool> Racing{};
  PerRival<uint8_t> Model{};
  PerRival<int32_t> CurrentImage{};  // list 2 item drawn now
  PerRival<double> PosX{}, PosY{};   // top-left of the picture
  PerRival<double> Heading{}, ScrollSpeed{}, Speed{}, Decel{};
  PerRival<bool> InView{};          // near the screen: drawn, and touches the bike
  PerRival<double> Lean{};          // -6.5 .. 6.5
  PerRival<double> LeanFrame{};     // pattern of the picture (lean depth or crash animation)
  PerRival<double> CenterX{}, CenterY{};
  PerRival<TQuad> Hull{};
  PerRival<TPointF> FrontSensorA{}, FrontSensorB{}, LeftSensor{}, RightSensor{};
  PerRival<double> LaneOffset{};    // wanted distance of the centre from the road's centre line
  PerRival<bool> Touching{};        // in contact with the bike this frame (the bike sets it)
  PerRival<uint8_t> Contacts{};     // the rival crashes at 2
  PerRival<bool> Crashed{};
  PerRival<int32_t> CrashTimer{};   // ms the crashed rider still lies still
  PerRival<bool> Turning{};
  PerRival<double> TurnStartHeading{}, LeanHold{};
  PerRival<bool> Avoiding{};        // a sensor hit within the last AvoidTimer ms
  PerRival<int32_t> AvoidTimer{}, LaneTimer{}, LookAhead{}, SpeedTimer{}, SpeedDelta{};

  // Clears every rival, places the level's rivals beside and ahead of the bike's start (view at
  // its start position), then runs one step so that centres, hulls and pictures are set.
  void ResetRivals();
  // Rival n starts its crash: crash picture, lying still for a second, the crash sound.
  void Crash(int n);
  // Crashed rival n stands up again in the left inner lane of the road near where it lay, heading
  // along the road; with no road edge around it, it stays where it lay.
  void ReturnToRoad(int n);
  // Sets rival n's centre and hull from PosX/PosY and its heading.
  void PlaceHull(int n);
  // Crashes every racing rival, not already crashed, whose hull touches a solid roadside tile.
  void HitObstacles();
  // Where rival n's centre will be after each of the next `frames` frames (path[0] after the
  // first), as a rider watching it would expect: it rides on steering for the lane its heading
  // points to, keeps to the road's direction and works its throttle and brake by the road
  // ahead. Lane changes, crashes to come and its dodging of others are not foreseen.
  void Forecast(int n, int frames, TPointF* path) const;
  // The same for a rider of model `model` seen with its centre at (x, y), its heading and speed.
  void Forecast(const TRiderSeen& seen, int frames, TPointF* path) const;

  void Step(int elapsed) override;
  void Render() override {}
  // The nearest running rivals' engines, quietly, panned to where they ride.
  void SoundEngines() const;

private:
  struct TSensed {
    bool Front = false, Left = false, Right = false;
  };
  void StepRival(int n);
  void PlaceSensors(int n);
  void RunLaneTimer(int n);
  void RunSpeedTimer(int n);
  TSensed Sense(int n, double& turnRate, double& offsetStep) const;
  void React(int n, const TSensed& sensed, double turnRate, double offsetStep);
  void RememberAvoiding(int n, const TSensed& sensed);
  double SteeringError(int n, int lookRow) const;
  void Steer(int n, double error);
  void UpdateLean(int n);
  void UpdatePicture(int n);
  void RunCrash(int n);
  void ControlSpeed(int n, int lookRow);
  void LimitHeading(int n, int row);
  double RoadX() const;
  double RoadY() const;
};

constexpr int BonusSlots = 400;

class TBonus : public TMyImageSprite {
public:
  // Created at depth 5 for `race` with the level's bonuses; its own picture is never drawn.
  explicit TBonus(TRace& race);

  TRace& Race;

  enum : uint8_t { kScore10 = 1, kScore20 = 2, kScore50 = 3, kScore100 = 4, kLife = 5 };
  static constexpr int KindCount = 5;

  struct TSlot {
    bool Active = false;
    int32_t Col = 0, Row = 0;  // track cell
    uint8_t Kind = 0;          // 1..KindCount
    double Frame = 0;          // animation position 0..4
  };
  std::array<TSlot, BonusSlots + 1> Slots{};  // [1..BonusSlots]; [0] unused

  // Places the level's BonusCount bonuses on random rows between the finish and the start, each on
  // straight road within four cells right of its left edge; at most one life per level.
  void GenerateBonuses();
  // Active slots among the level's, in all and of one kind.
  int ActiveCount() const;
  int ActiveOfKind(int kind) const;

  // Animates the bonuses and gives the bike those it drives over.
  void Step(int elapsed) override;
  // Draws the bonuses inside the road window.
  void Render() override;

private:
  int UsedSlots() const;
  // Screen position of a slot's picture (its pickup box's top-left).
  int ScreenX(const TSlot& s) const;
  int ScreenY(const TSlot& s) const;
  bool BikeCoversBox(int x, int y);
  void Take(TSlot& s);
};

// ---------------------------------------------------------------------------------------------
// The player's bike
// ---------------------------------------------------------------------------------------------

enum class TEngineSound : uint8_t { None, Idle, Gear, Shift, RollOff, Skid, Top };
const char* EngineSoundName(TEngineSound s);

struct TSkidMark {
  double X = 0, Y = 0;
  int32_t Angle = 0;
  bool Used = false;
};
constexpr int MarkSlots = 100;

constexpr int MinimapColumns = 16, MinimapRows = 12;
// The minimap shows the road ahead: its rows start this many rows before the view's (grid row i
// is track row ViewRow + i - MinimapRowsAhead), so the bike's row (grid row MinimapBikeRow) sits
// at the bottom of the map's window and the rows above it reach beyond the top of the picture.
constexpr int MinimapRowsAhead = 4;
constexpr int MinimapBikeRow = 6 + MinimapRowsAhead;
// The map's window shows grid rows 1 .. MinimapShownRows (the rest lie under its frame).
constexpr int MinimapShownRows = 10;

// The bonus for the finishing place, [1..6].
constexpr std::array<int32_t, 7> RankBonusTable{0, 800, 600, 400, 300, 200, 100};
// The rank bonus of a place; a place never set (0) or beyond the table counts as the last one.
int32_t RankBonusFor(int rank, int racerCount);

class TPlayer : public TMyImageSprite, public TBikeState {
public:
  // The bike of model `model` at (400, 400), depth 12, riding in `race`.
  TPlayer(TRace& race, int model);

  TRace& Race;
  int ModelNo = 1;
  const TVehicleModel& Model() const { return VehicleModel(ModelNo); }

  // The race input of the frame being moved: the lean takes it in this frame, the Controls in
  // the next (RunRaceFrame).
  TRaceInput Input{};
  bool HornOn = false;
  TEngineSound EngineSound = TEngineSound::None;
  // The sound-list item EngineSound plays (-1: none yet); sound only, never read by the rules.
  int32_t EngineItem = -1;
  double CenterX = 0, CenterY = 0, HullRadius = 0, HullAngle = 0, MarkRadius = 0;

  int32_t HitPoints = 3;
  bool Crashed = false;
  int32_t CrashTimer = 0;
  bool CrashHeadingSet = false, TimeUp = false, EndSequenceStarted = false;
  bool BumpBoost = false;
  int32_t BumpTimer = 0;
  bool ForceMark = false;
  TQuad Hull{};
  TPointF MarkPointLeft{}, MarkPointRight{};
  std::array<TSkidMark, MarkSlots + 1> Marks{};  // [1..MarkSlots]; [0] unused
  int32_t LastMark = 1;

  std::array<std::array<uint8_t, MinimapRows + 1>, MinimapColumns + 1> MinimapGrid{};  // [col][row]
  // The minimap's horizontal placement; kept from the last frame whose bike row held a piece.
  double MinimapShift = 0;
  // Drawing only, never read by the race's rules: the hit points the last frame showed, and how
  // long the bike still blinks after a hit.
  int32_t ShownHitPoints = 3;
  int32_t HitBlinkMs = 0;
  // The blink's on and off phases.
  static constexpr int HitBlinkPhaseMs = 75;

  // Derived rates at the current speed.
  double TopSpeedFactor() const { return ::TopSpeedFactor(Model()); }
  double AccelRate() const { return ::AccelRate(Model(), Speed); }
  double BrakeDecel() const { return ::BrakeDecel(Model()); }
  double SteerRate() const { return ::SteerRate(Model(), Speed); }
  double CoastDecel() const { return ::CoastDecel(Model(), Speed); }

  // Driving: the bike model's rules on this bike. ReadControls also works the horn; UpdateLean
  // also shows the lean's picture.
  void ReadControls();
  void IntegrateSpeed() { ::IntegrateSpeed(*this, Model()); }
  void UpdateLean();
  // The picture of the side Lean holds, at LeanFrame.
  void ShowLeanPicture();
  // The bike model's state as the autopilot sees it before the frame (the lean's frame as drawn).
  TBikeState BikeState() const;

  // Engine and horn.
  void UpdateEngineSound();
  void PlayEngineSound(int n);
  void ResumeEngineSound(bool withHorn);
  // The playing engine sound's rate at the speed, and its pan at the bike's place.
  void TuneEngine() const;
  // Where the bike's own effects pan.
  double OwnPan() const;

  // Values the race screen takes from the bike after the sprites moved.
  int NeedleAngle() const;
  void SetScrollVelocity() const;
  // The level's clock runs down by the frame's real time (ExactFrameMs), stopping at zero and once
  // the level is over; each second crossed in the last ten ticks; TimeUp within a frame of zero.
  void RunRaceClock();

  // The frame step and what it is made of.
  void Step(int elapsed) override;
  void ComputeHull();
  bool IsRoadTile(int x, int y) const;
  bool HullOnRoad() const;
  void TouchRivals();
  void Hit(int n);
  void Crash();
  // Sets Speed to `newSpeed` with the scroll speed alike (a push or a knock), restarting the
  // engine sound.
  void Bump(bool playSound, double newSpeed);
  void CheckFall();
  int CrashHeadingAtRow(int row) const;
  void Revive();
  void PlaceOnRoad();
  void UpdateRank();
  // The bike's world Y (pixels, the track's top at 0).
  double WorldY() const;
  // The bike's place among the racers now (1 = ahead of every rival) and their number, bike
  // included; `previous` stands where the bike ties with a rival.
  uint8_t RankAmongRacers(uint8_t previous, uint8_t& racers) const;
  void ScrollMarks();
  void AddMark(double x, double y);
  void CullMarks();
  void LayMarkIfDue();
  int MarksUsed() const;
  void StartLevel(bool next);
  void AddScore(int n);
  void AddLife(int k);

  // Drawing.
  void Render() override;
  // The track row of the minimap's grid row 1.
  int MinimapFirstRow() const { return Race.ViewRow + 1 - MinimapRowsAhead; }
  // The part of the screen Render leaves to the road: between the side panels where both are
  // opaque pictures the height of the screen, else all of it.
  TRect RoadArea() const;
  void DrawShadowsAndMarker(const TPictureCollectionItem& image);
  void DrawRivals(TDXImageList& list2);
  void BuildMinimapGrid();
  void DrawMinimap();

private:
  // The skid mark turned by every angle, worked out once (it is drawn a hundred times a frame).
  TTurnedPattern TurnedMark = TurnedSkidMark();
  static TTurnedPattern TurnedSkidMark();
  void RunCrashSequence();
  void RunRollOut();
  double RoadX() const;
  double RoadY() const;
};

// Stops the engine sounds (and with `all` the horn and the pickup and bump sounds too).
void StopEngineSounds(bool all);

// The picture rival 1..RivalCount is drawn with for item `item` of its model: the counterpart in
// the rival's own livery where the image list holds the liveries (per rival and model, upright,
// crash, lean left, lean right, after the game's own items), the item itself otherwise.
int RivalLiveryItem(const TDXImageList& list, int rival, int model, int item);
// The ring under the player's riding bike, a w x h picture centred on (cx, cy), turned by heading.
void DrawPlayerMarker(TDirectDrawSurface* surface, double cx, double cy, int w, int h, int heading);
