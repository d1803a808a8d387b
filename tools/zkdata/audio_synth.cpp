#include "audio_synth.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

constexpr double TwoPi = 2.0 * std::numbers::pi;
constexpr double Minus60dB = 6.907755;  // ln(1000)
constexpr int MaxHarmonics = 128;
constexpr double EndFadeSeconds = 0.004;
constexpr double NoteReleaseSeconds = 0.004;

// The engine's firing note: strong low harmonics with the even ones pronounced, then a slowly
// falling series that keeps the sound bright up to the patch's limit.
constexpr std::array<double, 12> EngineHarmonics = {1.0, 0.85, 0.55, 0.7, 0.35, 0.45,
                                                    0.3, 0.32, 0.22, 0.24, 0.16, 0.18};
double EngineHarmonic(int h) {
  if (h <= static_cast<int>(EngineHarmonics.size())) return EngineHarmonics[h - 1];
  return (h % 2 == 0 ? 0.2 : 0.14) * std::pow(12.0 / h, 0.75);
}

// Amplitude of harmonic h (1-based) of a shape.
double Harmonic(TShape shape, int h) {
  switch (shape) {
    case TShape::Sine: return h == 1 ? 1.0 : 0.0;
    case TShape::Triangle: return (h % 2 == 0) ? 0.0 : ((h / 2) % 2 == 0 ? 1.0 : -1.0) / (h * h);
    case TShape::Square: return (h % 2 == 0) ? 0.0 : 1.0 / h;
    case TShape::Saw: return 1.0 / h;
    case TShape::Pulse: return std::sin(std::numbers::pi * h * 0.25) / h;
    case TShape::Engine: return EngineHarmonic(h);
  }
  return 0.0;
}

// One band-limited period of the shape at `phase` (in cycles), harmonics below `limitHz`.
double Oscillator(TShape shape, double phase, double freq, double limitHz) {
  double sum = 0.0;
  for (int h = 1; h <= MaxHarmonics && h * freq < limitHz; ++h) {
    const double a = Harmonic(shape, h);
    // Harmonics fade out towards the limit, so a glide never switches one on or off abruptly.
    const double fade = std::min(1.0, (limitHz - h * freq) / (0.15 * limitHz));
    if (a != 0.0) sum += a * fade * std::sin(TwoPi * h * phase);
  }
  return sum;
}

// A looped patch's rate in Hz rounded to whole cycles over `frames`.
double WholeCycles(double hz, int frames, int rate) {
  if (hz <= 0.0) return 0.0;
  const double cycles = std::max(1.0, std::round(hz * frames / rate));
  return cycles * rate / frames;
}

struct TXorShift {
  uint32_t State;
  double Next() {  // -1 .. 1
    State ^= State << 13;
    State ^= State >> 17;
    State ^= State << 5;
    return static_cast<double>(State) / 2147483648.0 - 1.0;
  }
};

double OnePole(double cutoffHz, int rate) {
  return cutoffHz <= 0.0 ? 1.0 : 1.0 - std::exp(-TwoPi * cutoffHz / rate);
}

// Filtered noise; looped patches filter the buffer twice round so that it wraps smoothly.
std::vector<double> RenderNoise(const TPatch& p, int rate, int frames, uint32_t seed) {
  std::vector<double> white(static_cast<size_t>(frames));
  TXorShift rng{seed == 0 ? 0x9E3779B9u : seed};
  for (double& w : white) w = rng.Next();
  std::vector<double> out(white.size());
  double low1 = 0.0, low2 = 0.0, high = 0.0;
  const double highCoef = OnePole(p.NoiseHigh, rate);
  const int passes = p.Looped ? 2 : 1;
  for (int pass = 0; pass < passes; ++pass) {
    for (int i = 0; i < frames; ++i) {
      const double t = static_cast<double>(i) / frames;
      const double cutoff = p.Looped || p.NoiseLow1 <= 0.0
                                ? p.NoiseLow0
                                : p.NoiseLow0 * std::pow(p.NoiseLow1 / p.NoiseLow0, t);
      const double lowCoef = OnePole(cutoff, rate);
      low1 += lowCoef * (white[i] - low1);
      low2 += lowCoef * (low1 - low2);
      high += highCoef * (low2 - high);
      out[i] = p.NoiseHigh > 0.0 ? low2 - high : low2;
    }
  }
  return out;
}

// Level of the envelope `t` seconds after the current note started.
double Envelope(const TPatch& p, double t) {
  const double attack = p.Attack > 0.0 ? std::min(1.0, t / p.Attack) : 1.0;
  const double decay = p.Decay > 0.0 ? std::exp(-Minus60dB * std::max(0.0, t - p.Attack) / p.Decay) : 1.0;
  return attack * decay;
}

}  // namespace

double LoopedPitch(const TPatch& patch, int rate) {
  return WholeCycles(patch.Freq0, static_cast<int>(std::lround(patch.Seconds * rate)), rate);
}

std::vector<double> RenderLevels(const TPatch& p, int rate, uint32_t seed) {
  const int frames = std::max(1, static_cast<int>(std::lround(p.Seconds * rate)));
  const double limitHz = p.BrightHz > 0.0 ? std::min(p.BrightHz, 0.45 * rate) : 0.45 * rate;
  const auto periodic = [&](double hz) { return p.Looped ? WholeCycles(hz, frames, rate) : hz; };
  const double vibHz = periodic(p.VibHz), tremHz = periodic(p.TremHz);
  const double partnerRatio = p.Partner > 0.0 && p.Freq0 > 0.0
                                  ? periodic(p.Freq0 * p.Partner) / periodic(p.Freq0)
                                  : 0.0;
  const std::vector<double> noise = p.Noise > 0.0 ? RenderNoise(p, rate, frames, seed) : std::vector<double>{};
  const int stepFrames = p.ArpSteps > 0 ? std::max(1, static_cast<int>(std::lround(p.ArpSeconds * rate))) : frames;

  std::vector<double> mix(static_cast<size_t>(frames));
  double phase = 0.0, partnerPhase = 0.0;
  for (int i = 0; i < frames; ++i) {
    const double t = static_cast<double>(i) / rate;
    const int step = p.ArpSteps > 0 ? std::min(i / stepFrames, p.ArpSteps - 1) : 0;
    double freq = p.Looped || p.Freq1 <= 0.0
                      ? periodic(p.Freq0)
                      : p.Freq0 * std::pow(p.Freq1 / p.Freq0, static_cast<double>(i) / frames);
    if (p.ArpSteps > 0) freq *= std::exp2(p.Arp[step] / 12.0);
    freq *= 1.0 + p.VibDepth * std::sin(TwoPi * vibHz * t);
    double sample = 0.0;
    if (freq > 0.0) {
      sample = Oscillator(p.Shape, phase, freq, limitHz);
      if (partnerRatio > 0.0)
        sample += p.PartnerLevel * Oscillator(p.Shape, partnerPhase, freq * partnerRatio, limitHz);
    }
    if (!noise.empty()) sample += p.Noise * noise[i];
    sample *= 1.0 - p.TremDepth * 0.5 * (1.0 - std::cos(TwoPi * tremHz * t));
    if (!p.Looped) {
      sample *= Envelope(p, static_cast<double>(i - step * stepFrames) / rate);
      if (step < p.ArpSteps - 1) {  // the note ends before the next one starts
        const double left = static_cast<double>((step + 1) * stepFrames - i) / (NoteReleaseSeconds * rate);
        sample *= std::min(1.0, left);
      }
    }
    mix[i] = sample;
    phase += freq / rate;
    partnerPhase += freq * partnerRatio / rate;
    phase -= std::floor(phase);
    partnerPhase -= std::floor(partnerPhase);
  }

  if (!p.Looped) {  // the last few milliseconds fade to silence so the sound ends without a click
    const int fade = std::min(frames, static_cast<int>(EndFadeSeconds * rate));
    for (int i = 0; i < fade; ++i) mix[frames - 1 - i] *= static_cast<double>(i) / fade;
  }
  double loudest = 0.0;
  for (double v : mix) loudest = std::max(loudest, std::abs(v));
  const double scale = loudest > 0.0 ? p.Peak / loudest : 0.0;
  for (double& v : mix) v *= scale;
  return mix;
}

std::vector<int16_t> ToSamples(const std::vector<double>& levels) {
  std::vector<int16_t> out(levels.size());
  for (size_t i = 0; i < levels.size(); ++i)
    out[i] = static_cast<int16_t>(std::lround(std::clamp(levels[i], -1.0, 1.0) * 32767.0));
  return out;
}

std::vector<int16_t> RenderPatch(const TPatch& p, int rate, uint32_t seed) { return ToSamples(RenderLevels(p, rate, seed)); }

std::vector<uint8_t> PcmBytes(const std::vector<int16_t>& samples) {
  std::vector<uint8_t> bytes;
  bytes.reserve(samples.size() * 2);
  for (int16_t s : samples) {
    const auto u = static_cast<uint16_t>(s);
    bytes.push_back(static_cast<uint8_t>(u & 0xFF));
    bytes.push_back(static_cast<uint8_t>(u >> 8));
  }
  return bytes;
}
