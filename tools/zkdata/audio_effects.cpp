// The sound list: the 22 effects, one table row each.
#include <string>

#include "audio.h"
#include "audio_synth.h"

namespace {

// The device runs at 44100 Hz: effects at that rate reach it unresampled, so loops stay seamless.
constexpr int EffectRate = 44100;

struct TEffect {
  const char* Name;
  TPatch Patch;
};

constexpr TPatch Tone(TShape shape, double seconds, double freq0, double freq1, double decay, double peak) {
  TPatch p;
  p.Shape = shape;
  p.Seconds = seconds;
  p.Freq0 = freq0;
  p.Freq1 = freq1;
  p.Decay = decay;
  p.Peak = peak;
  return p;
}

// A steady engine note that loops: `hz` is the firing note, `rumble` the rate of its level wobble.
constexpr TPatch Engine(double hz, double seconds, double rumble, double rumbleDepth, double noise, double peak) {
  TPatch p;
  p.Shape = TShape::Engine;
  p.Seconds = seconds;
  p.Looped = true;
  p.Freq0 = hz;
  p.VibHz = 4.0;
  p.VibDepth = 0.012;
  p.TremHz = rumble;
  p.TremDepth = rumbleDepth;
  p.Noise = noise;
  p.NoiseLow0 = 6.0 * hz;
  p.Peak = peak;
  return p;
}

constexpr TPatch With(TPatch p, auto&& change) {
  change(p);
  return p;
}

constexpr std::array<TEffect, 22> Effects = {{
    {"Intro", With(Tone(TShape::Sine, 1.2, 180, 720, 0.9, 0.7), [](TPatch& p) {
       p.Attack = 0.35; p.Noise = 3.0; p.NoiseLow0 = 300; p.NoiseLow1 = 5000; p.NoiseHigh = 150;
     })},
    {"Select", With(Tone(TShape::Triangle, 0.04, 1800, 1500, 0.04, 0.45), [](TPatch& p) { p.Attack = 0.001; })},
    {"Click", With(Tone(TShape::Square, 0.07, 900, 600, 0.07, 0.55), [](TPatch& p) {
       p.Attack = 0.001; p.Noise = 0.3; p.NoiseLow0 = 5000; p.BrightHz = 6000;
     })},
    {"Blip", With(Tone(TShape::Square, 0.11, 880, 0, 0.16, 0.5), [](TPatch& p) {
       p.Arp = {0, 7}; p.ArpSteps = 2; p.ArpSeconds = 0.045; p.BrightHz = 5000;
     })},
    {"Idle", Engine(32, 0.5, 8, 0.25, 0.15, 0.45)},
    {"GearShift", Engine(48, 0.25, 16, 0.6, 0.3, 0.45)},
    {"RollOff", Engine(40, 0.5, 6, 0.5, 0.2, 0.35)},
    {"Skid", With(Tone(TShape::Saw, 0.5, 1250, 0, 0, 0.45), [](TPatch& p) {
       p.Looped = true; p.VibHz = 12; p.VibDepth = 0.03; p.BrightHz = 5000;
       p.Noise = 1.5; p.NoiseLow0 = 3000; p.NoiseHigh = 800;
     })},
    {"Horn", With(Tone(TShape::Square, 0.4, 410, 0, 0, 0.4), [](TPatch& p) {
       p.Looped = true; p.Partner = 1.25; p.PartnerLevel = 0.9; p.BrightHz = 3500;
     })},
    {"Gear1", Engine(55, 0.5, 10, 0.15, 0.1, 0.45)},
    {"Gear2", Engine(68, 0.5, 11, 0.15, 0.1, 0.45)},
    {"Gear3", Engine(82, 0.5, 12, 0.15, 0.1, 0.45)},
    {"Gear4", Engine(98, 0.5, 13, 0.15, 0.1, 0.45)},
    {"TopEnd", With(Engine(118, 0.5, 14, 0.1, 0.1, 0.45), [](TPatch& p) {
       p.Partner = 8.0; p.PartnerLevel = 0.15;
     })},
    {"ScoreBonus", With(Tone(TShape::Square, 0.3, 1046.5, 0, 0.3, 0.55), [](TPatch& p) {
       p.Arp = {0, 4, 7, 12}; p.ArpSteps = 4; p.ArpSeconds = 0.05; p.BrightHz = 7000;
     })},
    {"LifeBonus", With(Tone(TShape::Square, 0.7, 784, 0, 0.5, 0.6), [](TPatch& p) {
       p.Arp = {0, 4, 7, 12, 16, 19, 24}; p.ArpSteps = 7; p.ArpSeconds = 0.07;
       p.Partner = 2.0; p.PartnerLevel = 0.3; p.BrightHz = 7000;
     })},
    {"Pop", Tone(TShape::Sine, 0.08, 660, 990, 0.08, 0.4)},
    {"Bump", With(Tone(TShape::Sine, 0.22, 120, 50, 0.2, 0.7), [](TPatch& p) {
       p.Attack = 0.001; p.Noise = 0.5; p.NoiseLow0 = 500;
     })},
    {"ClockTick", With(Tone(TShape::Triangle, 0.035, 2000, 0, 0.03, 0.5), [](TPatch& p) {
       p.Attack = 0.0005; p.Partner = 1.5; p.PartnerLevel = 0.5;
     })},
    {"ShiftChirp", With(Tone(TShape::Saw, 0.14, 1400, 1100, 0.14, 0.5), [](TPatch& p) {
       p.Attack = 0.005; p.Noise = 0.8; p.NoiseLow0 = 4000; p.NoiseHigh = 600; p.BrightHz = 6000;
     })},
    {"Crash", With(Tone(TShape::Sine, 1.3, 90, 35, 1.2, 0.8), [](TPatch& p) {
       p.Noise = 4.0; p.NoiseLow0 = 3000; p.NoiseLow1 = 400; p.NoiseHigh = 60;
     })},
    {"Congratulations", With(Tone(TShape::Saw, 2.8, 523.25, 0, 2.5, 0.7), [](TPatch& p) {
       p.Attack = 0.02; p.Arp = {0, 4, 7, 12, 7, 12}; p.ArpSteps = 6; p.ArpSeconds = 0.14;
       p.Partner = 1.5; p.PartnerLevel = 0.4; p.BrightHz = 5000; p.VibHz = 5; p.VibDepth = 0.005;
     })},
}};

}  // namespace

TWaveCollection BuildSoundList() {
  TWaveCollection list;
  for (size_t i = 0; i < Effects.size(); ++i) {
    const TEffect& e = Effects[i];
    TWaveCollectionItem item;
    item.Name = e.Name;
    item.Looped = e.Patch.Looped;
    item.Wave.Channels = 1;
    item.Wave.Rate = EffectRate;
    item.Wave.Bits = 16;
    item.Wave.Samples = PcmBytes(RenderPatch(e.Patch, EffectRate, 0x5EED0000u + static_cast<uint32_t>(i)));
    item.Wave.Riff = MakeRiffWave(1, EffectRate, 16, item.Wave.Samples);
    list.Items.push_back(std::move(item));
  }
  return list;
}
