#include "audio_xm.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr int HeaderSize = 276;       // counted from the header-size field
constexpr int InstrumentHeaderSize = 263;
constexpr int SampleHeaderSize = 40;
constexpr int EnvelopePoints = 12;
constexpr double XmBaseRate = 8363.0;  // C-4 with relative note 0 and finetune 0

class TWriter {
public:
  std::vector<uint8_t> Bytes;
  void U8(int v) { Bytes.push_back(static_cast<uint8_t>(v)); }
  void U16(int v) { U8(v & 0xFF); U8((v >> 8) & 0xFF); }
  void U32(uint32_t v) { U16(static_cast<int>(v & 0xFFFF)); U16(static_cast<int>(v >> 16)); }
  void Text(const std::string& s, size_t width, char pad = 0) {
    for (size_t i = 0; i < width; ++i) U8(i < s.size() ? s[i] : pad);
  }
  void Zeros(size_t n) { Bytes.insert(Bytes.end(), n, 0); }
};

std::vector<uint8_t> PackPattern(const TXmPattern& p) {
  TWriter w;
  for (const TXmCell& c : p.Cells) {
    const uint8_t flags = static_cast<uint8_t>(0x80 | (c.Note ? 1 : 0) | (c.Instrument ? 2 : 0) |
                                               (c.Volume ? 4 : 0) | (c.Effect ? 8 : 0) | (c.Param ? 16 : 0));
    w.U8(flags);
    if (c.Note) w.U8(c.Note);
    if (c.Instrument) w.U8(c.Instrument);
    if (c.Volume) w.U8(c.Volume);
    if (c.Effect) w.U8(c.Effect);
    if (c.Param) w.U8(c.Param);
  }
  return w.Bytes;
}

void WriteEnvelope(TWriter& w, const TXmEnvelope& e) {
  for (int i = 0; i < EnvelopePoints; ++i) {
    const bool used = i < static_cast<int>(e.Points.size());
    w.U16(used ? e.Points[i].first : 0);
    w.U16(used ? e.Points[i].second : 0);
  }
}

void WriteInstrument(TWriter& w, const TXmInstrument& in) {
  w.U32(InstrumentHeaderSize);
  w.Text(in.Name, 22);
  w.U8(0);   // type
  w.U16(1);  // one sample
  w.U32(SampleHeaderSize);
  w.Zeros(96);  // every note plays sample 0
  WriteEnvelope(w, in.VolumeEnvelope);
  WriteEnvelope(w, TXmEnvelope{});
  const int points = std::min<int>(EnvelopePoints, static_cast<int>(in.VolumeEnvelope.Points.size()));
  w.U8(points);
  w.U8(0);  // panning points
  w.U8(std::max(0, in.VolumeEnvelope.Sustain));
  w.U8(0); w.U8(0);  // volume loop start, end
  w.U8(0); w.U8(0); w.U8(0);  // panning sustain, loop start, end
  w.U8((points > 0 ? 1 : 0) | (points > 0 && in.VolumeEnvelope.Sustain >= 0 ? 2 : 0));
  w.U8(0);  // panning envelope off
  w.U8(0); w.U8(0); w.U8(in.VibratoDepth); w.U8(in.VibratoRate);  // vibrato: sine, no sweep
  w.U16(in.FadeOut);
  w.Zeros(22);  // reserved, up to InstrumentHeaderSize

  const auto frames = static_cast<uint32_t>(in.Sample.size());
  const uint32_t loopStart = in.Loop ? std::min(in.LoopStart, frames) : 0;
  w.U32(frames * 2);
  w.U32(loopStart * 2);
  w.U32(in.Loop ? (frames - loopStart) * 2 : 0);
  w.U8(in.Volume);
  w.U8(static_cast<uint8_t>(in.FineTune));
  w.U8((in.Loop ? 1 : 0) | 0x10);  // forward loop, 16-bit
  w.U8(in.Panning);
  w.U8(static_cast<uint8_t>(in.RelativeNote));
  w.U8(0);
  w.Text(in.Name, 22);
  int16_t previous = 0;  // sample data is stored as differences
  for (int16_t s : in.Sample) {
    w.U16(static_cast<uint16_t>(s - previous));
    previous = s;
  }
}

}  // namespace

std::pair<int8_t, int8_t> XmTuning(double rate, double sampleHz, double noteHz) {
  const double semitones = 12.0 * std::log2(rate * noteHz / (sampleHz * XmBaseRate));
  int relative = static_cast<int>(std::floor(semitones));
  int fine = static_cast<int>(std::lround((semitones - relative) * 128.0));
  if (fine >= 64) { ++relative; fine -= 128; }  // keep finetune in -64 .. 63
  return {static_cast<int8_t>(relative), static_cast<int8_t>(fine)};
}

std::vector<uint8_t> WriteXm(const TXmModule& m) {
  TWriter w;
  w.Text("Extended Module: ", 17);
  w.Text(m.Name, 20, ' ');
  w.U8(0x1A);
  w.Text("zkdata", 20, ' ');
  w.U16(0x0104);
  w.U32(HeaderSize);
  w.U16(static_cast<int>(m.Orders.size()));
  w.U16(m.RestartPosition);
  w.U16(m.Channels);
  w.U16(static_cast<int>(m.Patterns.size()));
  w.U16(static_cast<int>(m.Instruments.size()));
  w.U16(1);  // linear frequency table
  w.U16(m.Speed);
  w.U16(m.Tempo);
  for (int i = 0; i < 256; ++i) w.U8(i < static_cast<int>(m.Orders.size()) ? m.Orders[i] : 0);
  for (const TXmPattern& p : m.Patterns) {
    const std::vector<uint8_t> packed = PackPattern(p);
    w.U32(9);
    w.U8(0);
    w.U16(p.Rows);
    w.U16(static_cast<int>(packed.size()));
    w.Bytes.insert(w.Bytes.end(), packed.begin(), packed.end());
  }
  for (const TXmInstrument& in : m.Instruments) WriteInstrument(w, in);
  return w.Bytes;
}
