// The engine's sound across the speeds: which loop plays and at what rate, the pause resuming the
// band that played, the mix of a whole acceleration free of clicks where loops change, and the
// rivals' engines.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "audio/audio.h"
#include "race_fixture.h"

namespace {

// Model 2 has a top-speed factor of exactly 1: speeds read as the bands' own figures.
TEST(EngineRate, RisesThroughEachBandAndDropsAtTheShift) {
  const TVehicleModel& model = VehicleModel(2);
  const struct {
    double Speed;
    int Sound;
    double Rate;
  } cases[] = {
      {0.5, sndGear1, 0.8035},  {32.5, sndGear1, 1.025}, {65, sndGear1, 1.25},
      {67.5, sndGear2, 0.808}, {92, sndGear2, 1.2018},   {95, sndGear2, 1.25},
      {97.5, sndGear3, 0.8125}, {115, sndGear3, 1.25},   {116.5, sndGear4, 0.8161},
      {130, sndGear4, 1.25},    {131.5, sndGear4, 0.8205}, {143.5, sndGear4, 0.8161},
      {157, sndGear4, 1.25},    {158, sndTopEnd, 1.09},  {160, sndTopEnd, 1.1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Speed);
    EXPECT_EQ(EngineSoundOfSpeed(c.Speed, model), c.Sound);
    EXPECT_NEAR(EngineRate(c.Sound, c.Speed, model), c.Rate, 1e-3);
  }
  EXPECT_EQ(EngineSoundOfSpeed(0, model), sndIdle);
  EXPECT_EQ(EngineRate(sndIdle, 50, model), 1);
  EXPECT_EQ(EngineRate(sndGearShift, 66, model), 1);
  // A gear's loop held below its band stays at the band's lowest rate.
  EXPECT_NEAR(EngineRate(sndGear3, 70, model), 0.8, 1e-9);
  // Rolling off, the revs fall with the speed.
  EXPECT_NEAR(EngineRate(sndRollOff, 160, model), 1.5, 1e-9);
  EXPECT_NEAR(EngineRate(sndRollOff, 40, model), 0.9375, 1e-9);
}

class EngineMix : public RaceGame {
protected:
  static constexpr int kRate = 44100;
  static constexpr double kFrameMs = 1000.0 / 85;

  // Every item a pure tone of its own pitch (a whole number of periods in its tenth of a second,
  // so that a loop runs on seamlessly): the samples of a tone step little, and any cut of one
  // shows as a step many times larger.
  static TWaveCollection Tones() {
    TWaveCollection tones;
    for (int i = 0; i < SoundItemCount; ++i) {
      TWaveCollectionItem item;
      item.Looped = true;
      const int frames = kRate / 10;
      std::vector<uint8_t> pcm(static_cast<size_t>(frames) * 2);
      for (int f = 0; f < frames; ++f) {
        const auto v = static_cast<int16_t>(16000 * std::sin(2 * M_PI * (100 + 10 * i) * f / kRate));
        pcm[2 * f] = static_cast<uint8_t>(v & 0xFF);
        pcm[2 * f + 1] = static_cast<uint8_t>((v >> 8) & 0xFF);
      }
      item.Wave.Riff = MakeRiffWave(1, kRate, 16, pcm);
      tones.Items.push_back(std::move(item));
    }
    return tones;
  }

  void SetUp() override {
    RaceGame::SetUp();
    if (HasFatalFailure()) return;
    RideAlone();
    Snd_SetWaves(Tones());
    Snd_StartRecording(kRate);
  }
  void TearDown() override {
    Snd_StopRecording();
    RaceGame::TearDown();
  }

  // One frame of the bike's throttle and engine on the road, and its time of sound; the frame of
  // the recording where the frame's sounds start is remembered when a loop started. (The horn's
  // release stops item 8 every frame: a stop alone changes nothing.)
  void RideFrame() {
    TPlayer& bike = Bike();
    Snd_CallLog().clear();
    bike.OnRoad = true;
    bike.ReadControls();
    bike.IntegrateSpeed();
    bike.UpdateEngineSound();
    bike.TuneEngine();
    Sys_HeadlessAdvanceClock(kFrameMs);
    ++frame_;
    const auto& log = Snd_CallLog();
    if (std::any_of(log.begin(), log.end(), [](const std::string& e) { return e.starts_with("play"); })) changes_.push_back(static_cast<size_t>((frame_ - 1) * kFrameMs * kRate / 1000));
  }

  int frame_ = 0;
  std::vector<size_t> changes_;  // in frames of the recording
};

// The largest step between neighbouring samples of the left channel, within `radius` of any of
// `at` (near) and elsewhere (far).
struct TSteps {
  int Near = 0, Far = 0;
};

TSteps LargestSteps(const std::vector<int16_t>& stereo, const std::vector<size_t>& at, size_t radius) {
  std::vector<bool> near(stereo.size() / 2, false);
  for (const size_t a : at)
    for (size_t i = a > radius ? a - radius : 0; i < std::min(near.size(), a + radius); ++i) near[i] = true;
  TSteps steps;
  for (size_t i = 1; i < near.size(); ++i) {
    const int step = std::abs(stereo[2 * i] - stereo[2 * i - 2]);
    (near[i] ? steps.Near : steps.Far) = std::max(near[i] ? steps.Near : steps.Far, step);
  }
  return steps;
}

TEST_F(EngineMix, AFullAccelerationChangesLoopsWithoutClicksAndPauseResumesTheBand) {
  TPlayer& bike = Bike();
  bike.ModelNo = 2;
  bike.Controls.Up = true;
  const double top = TopSpeed(bike.Model());
  bool paused = false;
  for (int i = 0; i < 6000 && bike.Speed < top - 0.5; ++i) {
    RideFrame();
    if (!paused && bike.Speed > 92) {
      // Between the second gear's band and the next shift: the pause must bring back the second
      // gear's loop, not another.
      paused = true;
      StopEngineSounds(true);
      Snd_CallLog().clear();
      bike.ResumeEngineSound(true);
      EXPECT_EQ(Plays(sndGear2), 1);
      EXPECT_EQ(Snd_CallLog().size(), 1u);
      changes_.push_back(static_cast<size_t>(frame_ * kFrameMs * kRate / 1000));
    }
  }
  ASSERT_GE(bike.Speed, top - 0.5);
  EXPECT_EQ(bike.EngineSound, TEngineSound::Top);
  bike.Controls.Up = false;  // rolling off
  for (int i = 0; i < 100; ++i) RideFrame();
  EXPECT_EQ(bike.EngineSound, TEngineSound::RollOff);

  const std::vector<int16_t> mix = Snd_StopRecording();
  ASSERT_GT(mix.size(), static_cast<size_t>(kRate) * 2 * 10);  // over ten seconds
  ASSERT_GE(changes_.size(), 12u);  // five gears, five shifts, the top end, the roll-off
  const TSteps steps = LargestSteps(mix, changes_, kRate / 50);
  // The tones running on are the measure: where one loop hands over to another, the sound steps
  // hardly further between two samples than anywhere else (a cut would step thousands).
  EXPECT_GT(steps.Far, 0);
  EXPECT_LE(steps.Near, steps.Far * 3 / 2) << "near " << steps.Near << ", far " << steps.Far;
}

// Loudness of each channel over the last `frames` frames of a recording.
std::pair<double, double> ChannelRms(const std::vector<int16_t>& stereo, size_t frames) {
  double left = 0, right = 0;
  const size_t n = std::min(frames, stereo.size() / 2);
  for (size_t i = stereo.size() / 2 - n; i < stereo.size() / 2; ++i) {
    left += 1.0 * stereo[2 * i] * stereo[2 * i];
    right += 1.0 * stereo[2 * i + 1] * stereo[2 * i + 1];
  }
  return {std::sqrt(left / static_cast<double>(n)), std::sqrt(right / static_cast<double>(n))};
}

TEST_F(EngineMix, RivalsAreHeardOnlyNearAndOnTheirSideTwoAtMost) {
  StopEngineSounds(true);
  TPlayer& bike = Bike();
  const struct {
    double X, Y;
    bool Heard;
  } rivals[] = {{bike.CenterX - 150, bike.CenterY - 60, true}, {bike.CenterX - 120, bike.CenterY + 80, true},
                {bike.CenterX + 100, bike.CenterY - 200, false},  // a third: no voice is left for it
                {bike.CenterX, bike.CenterY - 900, false}};
  for (int n = 1; n <= 4; ++n) {
    PlaceRival(n, rivals[n - 1].X, rivals[n - 1].Y);
    Rivals().Speed[n] = 100;
  }
  Rivals().SoundEngines();
  Sys_HeadlessAdvanceClock(200);
  const auto [left, right] = ChannelRms(Snd_StopRecording(), kRate / 10);
  // Both voices sound from the left, and quietly (each a third of full level at most).
  EXPECT_GT(left, 2 * right);
  EXPECT_LT(left, 0.5 * 16000);
  EXPECT_GT(left, 0.02 * 16000);

  // Out of hearing, the voices fall silent.
  for (int n = 1; n <= 4; ++n) Rivals().Racing[n] = false;
  Snd_StartRecording(kRate);
  Rivals().SoundEngines();
  Sys_HeadlessAdvanceClock(200);
  const auto [quietLeft, quietRight] = ChannelRms(Snd_StopRecording(), kRate / 10);
  EXPECT_EQ(quietLeft, 0);
  EXPECT_EQ(quietRight, 0);
}

}  // namespace
