// The sound list: the 22 effects, one table row each.
#include <algorithm>
#include <array>
#include <cmath>
#include <string>

#include "audio.h"
#include "audio_synth.h"

namespace {

// The device runs at 44100 Hz: effects at that rate reach it unresampled, so loops stay seamless.
constexpr int EffectRate = 44100;

// Every effect is brought to this loudness (RMS of its loudest quarter second, or of the whole
// sound when shorter), so that no effect drowns another; a sound whose peaks would come near full
// scale at that loudness stays below PeakLimit instead.
constexpr double TargetLoudness = 0.2;  // -14 dBFS
constexpr double LoudnessWindowSeconds = 0.25;
constexpr double PeakLimit = 0.88;

// A further sound mixed into an effect, starting `Delay` seconds in, at `Gain` of the first.
struct TLayer {
  TPatch Patch;
  double Delay = 0, Gain = 0;
};

struct TEffect {
  const char* Name;
  TPatch Patch;
  std::array<TLayer, 2> Layers{};
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
// The pitch holds still (no vibrato), so that a loop does not warble.
// Every engine sound shares the harmonic series and the intake and exhaust hiss up to about
// 5 kHz, so idle, gears and top end sound like one engine at different revs.
constexpr TPatch Engine(double hz, double seconds, double rumble, double rumbleDepth, double noise, double peak) {
  TPatch p;
  p.Shape = TShape::Engine;
  p.Seconds = seconds;
  p.Looped = true;
  p.Freq0 = hz;
  p.BrightHz = 6000;
  p.TremHz = rumble;
  p.TremDepth = rumbleDepth;
  p.Noise = noise;
  p.NoiseLow0 = 5000;
  p.NoiseHigh = 600;
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
    {"Select", Tone(TShape::Triangle, 0.04, 1800, 1500, 0.04, 0.45)},
    {"Click", With(Tone(TShape::Square, 0.07, 900, 600, 0.07, 0.55), [](TPatch& p) {
       p.Noise = 0.3; p.NoiseLow0 = 5000; p.BrightHz = 6000;
     })},
    {"Blip", With(Tone(TShape::Square, 0.11, 880, 0, 0.16, 0.5), [](TPatch& p) {
       p.Arp = {0, 7}; p.ArpSteps = 2; p.ArpSeconds = 0.045; p.BrightHz = 5000;
     })},
    {"Idle", Engine(50, 0.5, 8, 0.3, 0.25, 0.45)},
    {"GearShift", Engine(96, 0.25, 16, 0.6, 0.45, 0.45)},
    {"RollOff", Engine(62, 0.5, 6, 0.45, 0.3, 0.35)},
    {"Skid", With(Tone(TShape::Saw, 0.5, 1250, 0, 0, 0.45), [](TPatch& p) {
       p.Looped = true; p.VibHz = 12; p.VibDepth = 0.03; p.BrightHz = 5000;
       p.Noise = 1.5; p.NoiseLow0 = 3000; p.NoiseHigh = 800;
     })},
    // Two notes a major third apart through a bright reed, with a little breath.
    {"Horn", With(Tone(TShape::Saw, 0.4, 392, 0, 0, 0.4), [](TPatch& p) {
       p.Looped = true; p.Partner = 1.26; p.PartnerLevel = 0.85; p.BrightHz = 4200;
       p.VibHz = 5; p.VibDepth = 0.003; p.Noise = 0.12; p.NoiseLow0 = 2500; p.NoiseHigh = 300;
     })},
    {"Gear1", Engine(72, 0.5, 10, 0.2, 0.3, 0.45)},
    {"Gear2", Engine(86, 0.5, 11, 0.18, 0.3, 0.45)},
    {"Gear3", Engine(102, 0.5, 12, 0.16, 0.32, 0.45)},
    {"Gear4", Engine(118, 0.5, 13, 0.15, 0.34, 0.45)},
    {"TopEnd", Engine(136, 0.5, 14, 0.12, 0.36, 0.45)},
    {"ScoreBonus", With(Tone(TShape::Square, 0.3, 1046.5, 0, 0.3, 0.55), [](TPatch& p) {
       p.Arp = {0, 4, 7, 12}; p.ArpSteps = 4; p.ArpSeconds = 0.05; p.BrightHz = 7000;
     })},
    {"LifeBonus", With(Tone(TShape::Square, 0.7, 784, 0, 0.5, 0.6), [](TPatch& p) {
       p.Arp = {0, 4, 7, 12, 16, 19, 24}; p.ArpSteps = 7; p.ArpSeconds = 0.07;
       p.Partner = 2.0; p.PartnerLevel = 0.3; p.BrightHz = 7000;
     })},
    {"Pop", Tone(TShape::Sine, 0.08, 660, 990, 0.08, 0.4)},
    // A knock that small speakers carry: noise between 1 and 4 kHz and two metal partials over
    // the body's thud.
    {"Bump", With(Tone(TShape::Triangle, 0.3, 1650, 1450, 1.2, 0.8), [](TPatch& p) {
       p.Attack = 0.004; p.Partner = 1.47; p.PartnerLevel = 0.7; p.BrightHz = 4500;
       p.Noise = 1.0; p.NoiseLow0 = 4200; p.NoiseLow1 = 2200; p.NoiseHigh = 1000;
     }),
     {{{With(Tone(TShape::Sine, 0.3, 150, 60, 0.3, 0.8), [](TPatch& p) { p.Attack = 0.004; }), 0, 0.3}}}},
    {"ClockTick", With(Tone(TShape::Triangle, 0.035, 2000, 0, 0.03, 0.5), [](TPatch& p) {
       p.Partner = 1.5; p.PartnerLevel = 0.5;
     })},
    {"ShiftChirp", With(Tone(TShape::Saw, 0.14, 1400, 1100, 0.14, 0.5), [](TPatch& p) {
       p.Attack = 0.005; p.Noise = 0.8; p.NoiseLow0 = 4000; p.NoiseHigh = 600; p.BrightHz = 6000;
     })},
    // A thud, the scrape of the bike sliding along, and metal ringing.
    {"Crash", With(Tone(TShape::Sine, 1.4, 110, 38, 0.5, 0.8), [](TPatch& p) {
       p.Noise = 0.8; p.NoiseLow0 = 500; p.NoiseLow1 = 200;
     }),
     {{{With(Tone(TShape::Sine, 1.3, 0, 0, 1.1, 0.8), [](TPatch& p) {
          p.Attack = 0.02; p.Noise = 1; p.NoiseLow0 = 6000; p.NoiseLow1 = 2000; p.NoiseHigh = 1200;
          p.TremHz = 23; p.TremDepth = 0.6;
        }), 0.06, 0.55},
       {With(Tone(TShape::Triangle, 0.9, 1870, 1790, 0.8, 0.8), [](TPatch& p) {
          p.Partner = 1.53; p.PartnerLevel = 0.8; p.VibHz = 7; p.VibDepth = 0.004;
        }), 0.02, 0.3}}}},
    {"Congratulations", With(Tone(TShape::Saw, 2.8, 523.25, 0, 2.5, 0.7), [](TPatch& p) {
       p.Attack = 0.02; p.Arp = {0, 4, 7, 12, 7, 12}; p.ArpSteps = 6; p.ArpSeconds = 0.14;
       p.Partner = 1.5; p.PartnerLevel = 0.4; p.BrightHz = 5000; p.VibHz = 5; p.VibDepth = 0.005;
     })},
}};

// The RMS of the loudest LoudnessWindowSeconds of a sound (the whole sound when shorter).
double Loudness(const std::vector<double>& v, int rate) {
  const size_t window = std::min(v.size(), static_cast<size_t>(LoudnessWindowSeconds * rate));
  if (window == 0) return 0;
  double sum = 0, loudest = 0;
  for (size_t i = 0; i < v.size(); ++i) {
    sum += v[i] * v[i];
    if (i >= window) sum -= v[i - window] * v[i - window];
    if (i + 1 >= window) loudest = std::max(loudest, sum);
  }
  return std::sqrt(std::max(0.0, loudest) / static_cast<double>(window));
}

std::vector<double> Mixed(const TEffect& e, uint32_t seed) {
  std::vector<double> mix = RenderLevels(e.Patch, EffectRate, seed);
  for (const TLayer& layer : e.Layers) {
    if (layer.Gain <= 0) continue;
    const std::vector<double> part = RenderLevels(layer.Patch, EffectRate, seed ^ 0xA5A5u);
    const size_t start = static_cast<size_t>(layer.Delay * EffectRate);
    if (mix.size() < start + part.size()) mix.resize(start + part.size(), 0.0);
    for (size_t i = 0; i < part.size(); ++i) mix[start + i] += layer.Gain * part[i];
  }
  return mix;
}

std::vector<int16_t> AtTargetLoudness(std::vector<double> levels) {
  double peak = 0;
  for (double v : levels) peak = std::max(peak, std::abs(v));
  const double loudness = Loudness(levels, EffectRate);
  if (loudness <= 0 || peak <= 0) return ToSamples(levels);
  const double gain = std::min(TargetLoudness / loudness, PeakLimit / peak);
  for (double& v : levels) v *= gain;
  return ToSamples(levels);
}

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
    item.Wave.Samples = PcmBytes(AtTargetLoudness(Mixed(e, 0x5EED0000u + static_cast<uint32_t>(i))));
    item.Wave.Riff = MakeRiffWave(1, EffectRate, 16, item.Wave.Samples);
    list.Items.push_back(std::move(item));
  }
  return list;
}
