// The two tunes: a catchy C-major menu theme and a driving A-minor race tune, written as sections
// of four bars (chords, melody, bass figure, drum groove) and rendered into XM patterns.
#include <algorithm>
#include <array>
#include <stdexcept>
#include <string>
#include <string_view>

#include "audio.h"
#include "audio_synth.h"
#include "audio_xm.h"

namespace {

constexpr int SampleRate = 44100;
constexpr double C4Hz = 261.6256;
constexpr double C5Hz = 2 * C4Hz;
constexpr double C2Hz = C4Hz / 4;
constexpr int Rows = 64;
constexpr int StepsPerBar = 16;
constexpr int Bars = Rows / StepsPerBar;

// Note volumes (0..64) of each part, balanced by ear and by rendering the parts one at a time.
constexpr int LeadVolume = 62;
constexpr int ArpAccentVolume = 40, ArpVolume = 30;
constexpr int PadVolume = 36;  // each of three voices
constexpr int BassAccentVolume = 62, BassVolume = 54;
constexpr int CymbalVolume = 40;

// ---------------------------------------------------------------------------------------------
// Instruments
// ---------------------------------------------------------------------------------------------

enum TInstrumentId : int { PulseLead, SawLead, Pluck, Pad, Bass, Kick, Snare, Hat, Cymbal, InstrumentCount };

struct TInstrumentDef {
  const char* Name;
  TPatch Patch;          // looped patches sustain; the others are one-shot drums played on C-4
  TXmEnvelope Envelope;
  uint16_t FadeOut;
  uint8_t Panning;
  uint8_t VibratoDepth, VibratoRate;
};

constexpr TPatch Voice(TShape shape, double hz, double seconds, double brightHz, double partner, double partnerLevel,
                       double peak) {
  TPatch p;
  p.Shape = shape;
  p.Looped = true;
  p.Freq0 = hz;
  p.Seconds = seconds;
  p.BrightHz = brightHz;
  p.Partner = partner;
  p.PartnerLevel = partnerLevel;
  p.Peak = peak;
  return p;
}

constexpr TPatch Drum(double hz0, double hz1, double seconds, double noise, double noiseLow, double noiseHigh,
                      double peak) {
  TPatch p;
  p.Shape = TShape::Sine;
  p.Freq0 = hz0;
  p.Freq1 = hz1;
  p.Seconds = seconds;
  p.Attack = 0.0005;
  p.Decay = seconds * 0.9;
  p.Noise = noise;
  p.NoiseLow0 = noiseLow;
  p.NoiseHigh = noiseHigh;
  p.Peak = peak;
  return p;
}

const std::array<TInstrumentDef, InstrumentCount>& Instruments() {
  static const std::array<TInstrumentDef, InstrumentCount> table = {{
      {"Pulse lead", Voice(TShape::Pulse, C5Hz, 0.5, 9000, 1.003, 0.6, 0.9),
       {{{0, 0}, {2, 64}, {14, 46}, {40, 40}}, 3}, 1800, 128, 6, 10},
      {"Saw lead", Voice(TShape::Saw, C5Hz, 0.5, 8000, 1.003, 0.8, 0.9),
       {{{0, 0}, {2, 64}, {10, 52}, {40, 46}}, 3}, 1800, 128, 8, 12},
      {"Pluck", Voice(TShape::Square, C5Hz, 0.25, 6000, 0, 0, 0.9),
       {{{0, 64}, {6, 36}, {24, 12}, {60, 0}}, -1}, 0, 96, 0, 0},
      {"Pad", Voice(TShape::Saw, C4Hz, 1.0, 3000, 1.004, 1.0, 0.9),
       {{{0, 0}, {24, 56}, {60, 48}}, 2}, 700, 160, 0, 0},
      {"Bass", Voice(TShape::Saw, C2Hz, 0.5, 1800, 0, 0, 0.8),
       {{{0, 64}, {8, 48}, {30, 40}}, 2}, 4000, 128, 0, 0},
      {"Kick", Drum(160, 42, 0.35, 0.15, 3000, 0, 0.9), {}, 0, 128, 0, 0},
      {"Snare", Drum(185, 150, 0.25, 1.8, 9000, 900, 0.8), {}, 0, 118, 0, 0},
      {"Hi-hat", Drum(0, 0, 0.08, 1.0, 0, 7000, 0.6), {}, 0, 150, 0, 0},
      {"Cymbal", Drum(0, 0, 1.2, 1.0, 0, 5000, 0.6), {}, 0, 140, 0, 0},
  }};
  return table;
}

TXmInstrument MakeInstrument(const TInstrumentDef& def, uint32_t seed) {
  TXmInstrument in;
  in.Name = def.Name;
  in.Sample = RenderPatch(def.Patch, SampleRate, seed);
  in.Loop = def.Patch.Looped;
  // Tonal samples sound middle C on C-4 whatever pitch they were rendered at; drums play on C-4
  // exactly as rendered.
  const double renderedHz = def.Patch.Looped ? LoopedPitch(def.Patch, SampleRate) : C4Hz;
  const auto [relative, fine] = XmTuning(SampleRate, renderedHz, C4Hz);
  in.RelativeNote = relative;
  in.FineTune = fine;
  in.Panning = def.Panning;
  in.VolumeEnvelope = def.Envelope;
  in.FadeOut = def.FadeOut;
  in.VibratoDepth = def.VibratoDepth;
  in.VibratoRate = def.VibratoRate;
  return in;
}

// ---------------------------------------------------------------------------------------------
// Notes, chords and figures
// ---------------------------------------------------------------------------------------------

int PitchClass(char letter) {
  constexpr std::string_view letters = "C D EF G A B";
  const size_t at = letters.find(letter);
  if (at == std::string_view::npos) throw std::logic_error(std::string("bad note letter ") + letter);
  return static_cast<int>(at);
}

// "C5", "G#4", "Bb3" to an XM note (C-0 = 1).
uint8_t ParseNote(std::string_view token) {
  int pc = PitchClass(token.at(0));
  size_t i = 1;
  if (token.at(i) == '#') ++pc, ++i;
  else if (token.at(i) == 'b') --pc, ++i;
  const int octave = token.at(i) - '0';
  return static_cast<uint8_t>(octave * 12 + pc + 1);
}

struct TChord {
  int Root = 0;  // pitch class
  bool Minor = false;
  // The three chord tones in close position between G3 and F#4, lowest first.
  std::array<uint8_t, 3> Voicing() const {
    constexpr int Lowest = 7 + 3 * 12 + 1;  // G3
    std::array<uint8_t, 3> notes{};
    const int intervals[3] = {0, Minor ? 3 : 4, 7};
    for (int k = 0; k < 3; ++k) {
      const int pc = (Root + intervals[k]) % 12;
      notes[k] = static_cast<uint8_t>(Lowest + (pc - (Lowest - 1) % 12 + 12) % 12);
    }
    std::sort(notes.begin(), notes.end());
    return notes;
  }
  // Bass root in the low octave: C2 .. G2, with the roots above G an octave down.
  uint8_t BassRoot() const { return static_cast<uint8_t>((Root > 7 ? 12 : 24) + Root + 1); }
};

TChord ParseChord(std::string_view name) {
  TChord c;
  c.Root = PitchClass(name.at(0));
  size_t i = 1;
  if (i < name.size() && name[i] == '#') c.Root = (c.Root + 1) % 12, ++i;
  c.Minor = i < name.size() && name[i] == 'm';
  return c;
}

std::vector<std::string_view> Tokens(std::string_view text) {
  std::vector<std::string_view> tokens;
  size_t i = 0;
  while (i < text.size()) {
    while (i < text.size() && text[i] == ' ') ++i;
    const size_t start = i;
    while (i < text.size() && text[i] != ' ') ++i;
    if (i > start) tokens.push_back(text.substr(start, i - start));
  }
  return tokens;
}

// A drum step: 'X' accented, 'x' normal, 'o' ghost, '.' silent.
int DrumVolume(char c) { return c == 'X' ? 64 : c == 'x' ? 44 : c == 'o' ? 24 : 0; }

struct TGroove {
  std::array<const char*, 2> Kick;  // alternate bars
  const char* Snare;
  const char* Hat;
};

constexpr TGroove GrooveSparse = {{"X.......X.......", "X.......X.....x."}, "....o.......o...", "x.o.x.o.x.o.x.o."};
constexpr TGroove GroovePop = {{"X.....X.X.......", "X.....X.X.....X."}, "....X.......X...", "x.x.x.x.x.x.x.x."};
constexpr TGroove GroovePopBusy = {{"X.....X.X...X...", "X.....X.X.X...X."}, "....X.......X..o", "xoxoxoxoxoxoxoxo"};
constexpr TGroove GrooveFour = {{"X...X...X...X...", "X...X...X...X.x."}, "....X.......X...", "..x...x...x...x."};
constexpr TGroove GrooveDrive = {{"X...X...X...X...", "X...X...X..xX..."}, "....X.......X..o", "ooXoooXoooXoooXo"};
constexpr TGroove GrooveHalf = {{"X...............", "X.......X......."}, "........X.......", "....x.......x..."};
constexpr TGroove GrooveFill = {{"X.......X.......", "X.......X.......",}, "....X...xxXxXXXX", "x.x.x.x........."};

// Bass figures over the bar's chord: R root, O root an octave up, F fifth, '-' key off.
constexpr const char* BassBounce = "R..R..O.R..R..F.";
constexpr const char* BassEighths = "R.R.O.R.R.R.O.F.";
constexpr const char* BassLong = "R.......F.......";
constexpr const char* BassOctaves = "R.O.R.O.R.O.R.O.";
constexpr const char* BassGallop = "R.RRR.RRR.RRO.RR";

// Arpeggio over the chord tones (0..2) and the same an octave up (3..5).
constexpr std::array<int, StepsPerBar> ArpFigure = {0, 1, 2, 3, 4, 5, 4, 3, 1, 2, 3, 4, 5, 4, 3, 2};

struct TSection {
  std::array<const char*, Bars> Chords;
  const char* Melody;  // 64 steps of notes, '.' hold, '-' key off; nullptr = no lead
  const char* Bass;
  const TGroove* Groove;
  bool Arp, Pad, Cymbal, FillLastBar;
};

struct TTune {
  const char* Name;
  int Tempo;
  TInstrumentId Lead;
  std::vector<TSection> Sections;
  std::vector<uint8_t> Orders;
  int LoopFrom;  // the order the tune goes back to at its end: past the intro
};

// Channels.
enum : int { chLead, chArp, chPad1, chPad2, chPad3, chBass, chKick, chSnare, chHat, chCymbal, ChannelCount };

// Where each channel sits between left (0) and right (255), set with every note so that the
// three pad voices spread across the stereo field; the arpeggio swings from side to side.
constexpr std::array<uint8_t, ChannelCount> ChannelPan = {128, 72, 40, 128, 216, 128, 128, 104, 196, 80};
constexpr uint8_t ArpPanSwing = 184;  // the arpeggio's pan on odd steps
constexpr uint8_t XmSetPanning = 0x08;

class TPatternBuilder {
public:
  // The instrument numbers the module uses for each instrument id (1-based, 0 = absent).
  explicit TPatternBuilder(const std::array<uint8_t, InstrumentCount>& numbers) : numbers_(numbers) {
    pattern_.Rows = Rows;
    pattern_.Cells.resize(Rows * ChannelCount);
  }
  void Note(int row, int channel, uint8_t note, TInstrumentId instrument, int volume) {
    TXmCell& cell = pattern_.Cells.at(row * ChannelCount + channel);
    cell.Note = note;
    if (note != XmKeyOff) {
      cell.Instrument = numbers_.at(instrument);
      cell.Volume = XmVolume(volume);
      cell.Effect = XmSetPanning;
      cell.Param = channel == chArp && row % 2 ? ArpPanSwing : ChannelPan[channel];
    }
  }
  TXmPattern Take() { return std::move(pattern_); }

private:
  const std::array<uint8_t, InstrumentCount>& numbers_;
  TXmPattern pattern_;
};

void WriteMelody(TPatternBuilder& b, const char* melody, TInstrumentId lead) {
  if (melody == nullptr) {
    b.Note(0, chLead, XmKeyOff, lead, 0);
    return;
  }
  const std::vector<std::string_view> steps = Tokens(melody);
  if (steps.size() != Rows) throw std::logic_error("melody of " + std::to_string(steps.size()) + " steps");
  for (int row = 0; row < Rows; ++row) {
    if (steps[row] == ".") continue;
    b.Note(row, chLead, steps[row] == "-" ? XmKeyOff : ParseNote(steps[row]), lead, LeadVolume);
  }
}

void WriteBar(TPatternBuilder& b, const TSection& s, int bar, const TChord& chord, const TChord* previous) {
  const int top = bar * StepsPerBar;
  const std::array<uint8_t, 3> voicing = chord.Voicing();
  if (s.Pad) {
    const std::array<uint8_t, 3> held = previous ? previous->Voicing() : std::array<uint8_t, 3>{};
    for (int k = 0; k < 3; ++k)  // a tone both chords share keeps sounding
      if (voicing[k] != held[k]) b.Note(top, chPad1 + k, voicing[k], Pad, PadVolume);
  } else if (bar == 0) {
    for (int k = 0; k < 3; ++k) b.Note(0, chPad1 + k, XmKeyOff, Pad, 0);
  }
  const bool fill = s.FillLastBar && bar == Bars - 1;
  const TGroove& groove = fill ? GrooveFill : *s.Groove;
  for (int step = 0; step < StepsPerBar; ++step) {
    const int row = top + step;
    if (s.Arp) {
      const int tone = ArpFigure[step];
      b.Note(row, chArp, static_cast<uint8_t>(voicing[tone % 3] + 12 * (tone / 3 + 1)), Pluck, step % 4 == 0 ? ArpAccentVolume : ArpVolume);
    }
    const char figure = s.Bass[step];
    if (figure == 'R' || figure == 'O' || figure == 'F') {
      const int offset = figure == 'O' ? 12 : figure == 'F' ? 7 : 0;
      b.Note(row, chBass, static_cast<uint8_t>(chord.BassRoot() + offset), Bass, step % 4 == 0 ? BassAccentVolume : BassVolume);
    } else if (figure == '-') {
      b.Note(row, chBass, XmKeyOff, Bass, 0);
    }
    const std::pair<int, char> drums[] = {
        {chKick, groove.Kick[bar % 2][step]}, {chSnare, groove.Snare[step]}, {chHat, groove.Hat[step]}};
    const TInstrumentId kit[] = {Kick, Snare, Hat};
    for (int d = 0; d < 3; ++d)
      if (const int volume = DrumVolume(drums[d].second); volume > 0)
        b.Note(row, drums[d].first, 49, kit[d], volume);
  }
}

TXmPattern BuildSection(const TSection& s, const TTune& tune, const std::array<uint8_t, InstrumentCount>& numbers) {
  TPatternBuilder b(numbers);
  WriteMelody(b, s.Melody, tune.Lead);
  if (s.Cymbal) b.Note(0, chCymbal, 49, Cymbal, CymbalVolume);
  for (int bar = 0; bar < Bars; ++bar) {
    const TChord chord = ParseChord(s.Chords[bar]);
    const TChord previous = bar > 0 ? ParseChord(s.Chords[bar - 1]) : TChord{};
    WriteBar(b, s, bar, chord, bar > 0 ? &previous : nullptr);
  }
  return b.Take();
}

std::vector<uint8_t> Compose(const TTune& tune) {
  TXmModule m;
  m.Name = tune.Name;
  m.Channels = ChannelCount;
  m.Speed = 6;
  m.Tempo = tune.Tempo;
  m.Orders = tune.Orders;
  m.RestartPosition = tune.LoopFrom;
  const TInstrumentId used[] = {tune.Lead, Pluck, Pad, Bass, Kick, Snare, Hat, Cymbal};
  std::array<uint8_t, InstrumentCount> numbers{};
  for (const TInstrumentId id : used) {
    m.Instruments.push_back(MakeInstrument(Instruments()[id], 0xC0FFEE00u + id));
    numbers[id] = static_cast<uint8_t>(m.Instruments.size());
  }
  for (const TSection& s : tune.Sections) m.Patterns.push_back(BuildSection(s, tune, numbers));
  return WriteXm(m);
}

// ---------------------------------------------------------------------------------------------
// The tunes
// ---------------------------------------------------------------------------------------------

const TTune& MenuTune() {
  static const TTune tune = {
      "Zubo Kranz - Menu", 125, PulseLead,
      {
          // 0 intro
          {{"C", "Am", "F", "G"}, nullptr, BassLong, &GrooveSparse, true, true, true, false},
          // 1 verse
          {{"C", "G", "Am", "F"},
           "E5 . . G5 . . C6 . B5 . G5 . E5 . G5 .  D5 . . G5 . . B5 . A5 . G5 . D5 . . .  "
           "C5 . . E5 . . A5 . G5 . E5 . C5 . E5 .  F5 . . . E5 . D5 . C5 . . . - . . .",
           BassBounce, &GroovePop, false, true, false, false},
          // 2 verse answer
          {{"C", "G", "Am", "F"},
           "E5 . . G5 . . C6 . B5 . G5 . E5 . G5 .  D5 . . G5 . . B5 . D6 . B5 . G5 . . .  "
           "A5 . . C6 . . E6 . D6 . C6 . A5 . . .  A5 . G5 . F5 . . . G5 . . . - . . .",
           BassBounce, &GroovePop, false, true, false, false},
          // 3 bridge
          {{"F", "G", "Em", "Am"},
           "A5 . . . . . C6 . . . A5 . G5 . F5 .  G5 . . . . . B5 . . . G5 . F5 . D5 .  "
           "E5 . . . . . G5 . . . B5 . . . G5 .  A5 . . . . . . . C6 . . . B5 . . .",
           BassEighths, &GroovePop, true, true, false, false},
          // 4 bridge, rising into the chorus
          {{"F", "G", "Dm", "G"},
           "A5 . . . . . C6 . . . A5 . G5 . F5 .  G5 . . . . . B5 . . . D6 . . . B5 .  "
           "F5 . . . A5 . . . D6 . . . C6 . A5 .  B5 . . . . . . . D6 . . . . . . .",
           BassEighths, &GroovePop, true, true, false, true},
          // 5 chorus
          {{"C", "G", "Am", "F"},
           "G5 . C6 . . . C6 . D6 . E6 . . . C6 .  D6 . . . B5 . . . G5 . A5 . B5 . . .  "
           "C6 . . . A5 . . . E5 . A5 . C6 . . .  D6 . C6 . A5 . . . C6 . . . . . . .",
           BassEighths, &GroovePopBusy, true, true, true, false},
          // 6 chorus ending home
          {{"F", "G", "C", "C"},
           "A5 . C6 . . . F6 . E6 . D6 . . . C6 .  D6 . . . B5 . . . G5 . B5 . D6 . . .  "
           "E6 . . . D6 . C6 . . . . . G5 . . .  C6 . . . . . . . . . . . - . . .",
           BassEighths, &GroovePopBusy, true, true, false, true},
          // 7 break
          {{"Am", "F", "C", "G"}, nullptr, BassLong, &GrooveSparse, true, true, true, true},
      },
      {0, 1, 2, 3, 4, 5, 6, 7, 1, 2, 5, 6},
      1,
  };
  return tune;
}

const TTune& RaceTune() {
  static const TTune tune = {
      "Zubo Kranz - Race", 150, SawLead,
      {
          // 0 intro: drums and bass
          {{"Am", "Am", "F", "G"}, nullptr, BassOctaves, &GrooveFour, false, false, true, true},
          // 1 groove
          {{"Am", "F", "C", "G"}, nullptr, BassGallop, &GrooveFour, true, true, true, false},
          // 2 theme
          {{"Am", "F", "C", "G"},
           "E5 . . . A5 . . . C6 . B5 . A5 . E5 .  F5 . . . A5 . . . C6 . . . A5 . . .  "
           "G5 . . . C6 . . . E6 . D6 . C6 . G5 .  D6 . . . B5 . . . G5 . . . . . . .",
           BassGallop, &GrooveFour, false, true, false, false},
          // 3 theme, turning to the dominant
          {{"Am", "F", "G", "E"},
           "E5 . . . A5 . . . C6 . B5 . A5 . E5 .  F5 . . . A5 . . . C6 . D6 . C6 . A5 .  "
           "B5 . . . D6 . . . B5 . A5 . G5 . D5 .  E5 . . . G#5 . . . B5 . . . . . . .",
           BassGallop, &GrooveFour, true, true, false, true},
          // 4 second theme
          {{"Dm", "Am", "Dm", "E"},
           "D6 . D6 . D6 . C6 . A5 . . . F5 . A5 .  C6 . . . B5 . A5 . . . . . E5 . . .  "
           "D6 . D6 . D6 . E6 . F6 . . . E6 . D6 .  E6 . . . . . . . B5 . . . G#5 . . .",
           BassOctaves, &GrooveDrive, false, true, true, false},
          // 5 second theme, climbing
          {{"F", "G", "Am", "Am"},
           "C6 . . . A5 . . . F5 . A5 . C6 . F6 .  D6 . . . B5 . . . G5 . B5 . D6 . G6 .  "
           "E6 . . . . . . . C6 . . . A5 . . .  A5 . . . . . . . - . . . . . . .",
           BassOctaves, &GrooveDrive, true, true, false, true},
          // 6 chorus
          {{"Am", "F", "C", "G"},
           "A5 . . C6 . . E6 . . . D6 . C6 . . .  C6 . . A5 . . F5 . . . A5 . C6 . . .  "
           "G5 . . C6 . . E6 . . . G6 . E6 . . .  D6 . . . . . B5 . D6 . . . . . . .",
           BassGallop, &GrooveDrive, true, true, true, false},
          // 7 chorus, back to the dominant
          {{"F", "G", "Am", "E"},
           "A5 . . C6 . . F6 . . . E6 . C6 . . .  B5 . . D6 . . G6 . . . F6 . D6 . . .  "
           "E6 . . . C6 . . . A5 . C6 . E6 . . .  G#5 . . . . . . . B5 . . . E6 . . .",
           BassGallop, &GrooveDrive, true, true, false, true},
          // 8 breakdown
          {{"Am", "F", "C", "G"}, nullptr, BassLong, &GrooveHalf, true, true, true, true},
      },
      {0, 1, 2, 3, 4, 5, 6, 7, 8, 1, 2, 3, 6, 7},
      1,
  };
  return tune;
}

}  // namespace

std::vector<uint8_t> ComposeMenuTune() { return Compose(MenuTune()); }
std::vector<uint8_t> ComposeRaceTune() { return Compose(RaceTune()); }
