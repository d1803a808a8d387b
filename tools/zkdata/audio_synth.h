// The generator's one synthesiser: every sound effect and every instrument sample is a TPatch
// rendered by RenderPatch.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

enum class TShape : uint8_t { Sine, Triangle, Square, Saw, Pulse, Engine };

struct TPatch {
  TShape Shape = TShape::Sine;
  double Seconds = 0.1;          // a one-shot's length, or a looped patch's loop length
  bool Looped = false;           // the whole sound repeats seamlessly: no glide, no envelope
  double Freq0 = 0, Freq1 = 0;   // tone pitch in Hz, gliding exponentially; 0 = no tone
  double Partner = 0;            // a second oscillator at Freq x Partner; 0 = none
  double PartnerLevel = 0;
  double BrightHz = 0;           // harmonics above this are left out; 0 = up to Nyquist
  double VibHz = 0, VibDepth = 0;    // pitch wobble, depth as a fraction of the pitch
  double TremHz = 0, TremDepth = 0;  // level wobble, depth as a fraction of the level
  double Noise = 0;                  // noise level beside the tone (the tone counts 1)
  double NoiseLow0 = 0, NoiseLow1 = 0;  // noise low-pass cutoff in Hz, gliding; 0 = open
  double NoiseHigh = 0;              // noise high-pass cutoff in Hz; 0 = none
  double Attack = 0.003;             // seconds to full level, at every note
  double Decay = 0;                  // seconds from full level to -60 dB; 0 = holds
  double Peak = 0.5;                 // the loudest sample, as a fraction of full scale
  std::array<int8_t, 8> Arp{};       // semitone steps played in turn, each restarting the envelope
  int ArpSteps = 0;
  double ArpSeconds = 0;             // length of each step; the last one lasts to the end
};

// Samples in -Peak .. Peak. A one-shot ends every arpeggio note with a short release and the
// sound with a short fade, so no note starts or stops with a click. A looped patch is an exact whole number of periods of every periodic part
// (tone, partner, wobbles) and its noise is filtered circularly, so the last sample runs on into
// the first as smoothly as any two neighbours. Deterministic for a given seed.
std::vector<double> RenderLevels(const TPatch& patch, int rate, uint32_t seed);
// The same as 16-bit samples.
std::vector<int16_t> RenderPatch(const TPatch& patch, int rate, uint32_t seed);
std::vector<int16_t> ToSamples(const std::vector<double>& levels);

// The tone pitch a looped patch really has after fitting whole periods into its loop.
double LoopedPitch(const TPatch& patch, int rate);

// Samples as little-endian bytes.
std::vector<uint8_t> PcmBytes(const std::vector<int16_t>& samples);
