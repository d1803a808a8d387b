// A writer of FastTracker 2 extended modules (XM 1.04): one 16-bit sample per instrument,
// patterns stored packed.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

struct TXmCell {
  uint8_t Note = 0;        // 1 = C-0 ... 96 = B-7, XmKeyOff, 0 = none
  uint8_t Instrument = 0;  // 1-based, 0 = none
  uint8_t Volume = 0;      // volume column byte (XmVolume(v) to set 0..64), 0 = none
  uint8_t Effect = 0, Param = 0;
  bool Empty() const { return Note == 0 && Instrument == 0 && Volume == 0 && Effect == 0 && Param == 0; }
};
constexpr uint8_t XmKeyOff = 97;
constexpr uint8_t XmVolume(int v) { return static_cast<uint8_t>(0x10 + (v < 0 ? 0 : v > 64 ? 64 : v)); }

struct TXmPattern {
  int Rows = 64;
  std::vector<TXmCell> Cells;  // Rows x channels, row by row
};

struct TXmEnvelope {
  std::vector<std::pair<uint16_t, uint16_t>> Points;  // (tick, level 0..64); empty = off
  int Sustain = -1;                                   // point index held until key-off, -1 = none
};

struct TXmInstrument {
  std::string Name;
  std::vector<int16_t> Sample;
  bool Loop = false;           // forward loop over LoopStart .. end of the sample
  uint32_t LoopStart = 0;      // in sample frames
  uint8_t Volume = 64;
  int8_t FineTune = 0;         // 1/128 semitones
  int8_t RelativeNote = 0;     // semitones; 0 plays the sample at 8363 Hz on C-4
  uint8_t Panning = 128;
  TXmEnvelope VolumeEnvelope;
  uint16_t FadeOut = 0;        // level fall per tick after key-off (0..4095)
  uint8_t VibratoDepth = 0, VibratoRate = 0;
};

struct TXmModule {
  std::string Name;
  int Channels = 8;
  int Speed = 6;   // ticks per row
  int Tempo = 125; // BPM
  std::vector<uint8_t> Orders;
  int RestartPosition = 0;
  std::vector<TXmPattern> Patterns;
  std::vector<TXmInstrument> Instruments;
};

std::vector<uint8_t> WriteXm(const TXmModule& module);

// Relative note and finetune that make a sample recorded at `rate` Hz with a pitch of
// `sampleHz` sound as `noteHz` on note C-4.
std::pair<int8_t, int8_t> XmTuning(double rate, double sampleHz, double noteHz);
