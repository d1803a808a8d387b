// The generator's two tunes, played by libxmp (the game's own player) and by openmpt123.
#include <gtest/gtest.h>

#include <unistd.h>
#include <xmp.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <set>

#include "audio.h"
#include "audio/audio.h"
#include "audio_synth.h"
#include "audio_test_util.h"

namespace fs = std::filesystem;

namespace {

constexpr int Rate = 44100;
constexpr double C4Hz = 261.6256;

double Db(double level) { return 20.0 * std::log10(std::max(level, 1e-9)); }

struct TLevels {
  double Seconds = 0, RmsDb = -200, PeakDb = -200;
};

template <typename Sample>
TLevels Measure(const Sample* samples, size_t count, int channels, int rate, double fullScale) {
  double sum = 0, peak = 0;
  for (size_t i = 0; i < count; ++i) {
    const double v = samples[i] / fullScale;
    sum += v * v;
    peak = std::max(peak, std::abs(v));
  }
  TLevels l;
  l.Seconds = static_cast<double>(count) / channels / rate;
  if (count > 0) l.RmsDb = Db(std::sqrt(sum / count)), l.PeakDb = Db(peak);
  return l;
}

using TContext = std::unique_ptr<std::remove_pointer_t<xmp_context>, void (*)(xmp_context)>;

TContext Load(const std::vector<uint8_t>& module) {
  TContext ctx(xmp_create_context(), [](xmp_context c) {
    xmp_end_player(c);
    xmp_release_module(c);
    xmp_free_context(c);
  });
  if (xmp_load_module_from_memory(ctx.get(), const_cast<uint8_t*>(module.data()), static_cast<long>(module.size())) != 0)
    return TContext(nullptr, [](xmp_context) {});
  return ctx;
}

// Plays the module once through, up to where it starts again; `restartOrder` gets the order
// position it went on from.
std::vector<int16_t> RenderOnce(xmp_context ctx, int* restartOrder = nullptr) {
  std::vector<int16_t> pcm;
  xmp_start_player(ctx, Rate, 0);
  xmp_frame_info fi;
  while (xmp_play_frame(ctx) == 0) {
    xmp_get_frame_info(ctx, &fi);
    if (fi.loop_count > 0) {
      if (restartOrder) *restartOrder = fi.pos;
      break;
    }
    const auto* s = static_cast<const int16_t*>(fi.buffer);
    pcm.insert(pcm.end(), s, s + fi.buffer_size / 2);
  }
  return pcm;
}

struct TTuneCase {
  const char* Name;
  std::vector<uint8_t> (*Compose)();
};

class Tune : public ::testing::TestWithParam<TTuneCase> {
protected:
  std::vector<uint8_t> module = GetParam().Compose();
};

// At its end a tune goes back to the order after its intro: the intro plays only once.
TEST_P(Tune, PlaysOverAMinuteAudiblyBeforeRepeatingPastItsIntro) {
  TContext ctx = Load(module);
  ASSERT_TRUE(ctx) << "libxmp cannot load it";
  int restart = -1;
  const std::vector<int16_t> pcm = RenderOnce(ctx.get(), &restart);
  const TLevels l = Measure(pcm.data(), pcm.size(), 2, Rate, 32768.0);
  std::printf("%s: %.1f s, RMS %.1f dBFS, peak %.1f dBFS\n", GetParam().Name, l.Seconds, l.RmsDb, l.PeakDb);
  EXPECT_GE(l.Seconds, 60.0);
  EXPECT_EQ(restart, 1);
  EXPECT_GT(l.RmsDb, -30.0);
  EXPECT_LT(l.PeakDb, -1.0);  // no clipping
}

// The engine drones sound through the whole race beside the music and must not be drowned;
// a tune far quieter than the effects would be lost under them.
TEST_P(Tune, SitsAFewDecibelsBelowTheEngineSound) {
  TContext ctx = Load(module);
  ASSERT_TRUE(ctx);
  const std::vector<int16_t> pcm = RenderOnce(ctx.get());
  const double tune = Measure(pcm.data(), pcm.size(), 2, Rate, 32768.0).RmsDb;
  const TWaveCollection effects = BuildSoundList();
  const TWave& drone = effects.Items[sndGear2].Wave;
  const double engine =
      Measure(reinterpret_cast<const int16_t*>(drone.Samples.data()), drone.Samples.size() / 2, 1, drone.Rate, 32768.0).RmsDb;
  std::printf("%s: RMS %.1f dBFS, engine drone %.1f dBFS\n", GetParam().Name, tune, engine);
  EXPECT_LE(tune, engine - 2.0);
  EXPECT_GE(tune, engine - 12.0);
}

TEST_P(Tune, PlaysEveryOneOfItsInstrumentsAndHasAtLeastFour) {
  TContext ctx = Load(module);
  ASSERT_TRUE(ctx);
  xmp_module_info info;
  xmp_get_module_info(ctx.get(), &info);
  const xmp_module& m = *info.mod;
  EXPECT_GE(m.ins, 4);
  std::set<int> played;
  for (int o = 0; o < m.len; ++o) {
    const xmp_pattern& p = *m.xxp[m.xxo[o]];
    for (int c = 0; c < m.chn; ++c) {
      const xmp_track& t = *m.xxt[p.index[c]];
      for (int r = 0; r < t.rows; ++r)
        if (t.event[r].ins != 0) played.insert(t.event[r].ins);
    }
  }
  for (int i = 1; i <= m.ins; ++i) EXPECT_TRUE(played.count(i)) << "instrument " << i << " never plays";
  EXPECT_EQ(static_cast<int>(played.size()), m.ins);
}

// Period of a looped sample in frames, from its circular autocorrelation refined between frames.
double LoopPeriod(const int16_t* data, int start, int end) {
  const int n = end - start;
  const auto corr = [&](int lag) {
    double sum = 0;
    for (int i = 0; i < n; ++i) sum += static_cast<double>(data[start + i]) * data[start + (i + lag) % n];
    return sum;
  };
  const double energy = corr(0);
  const int minLag = Rate / 2500, maxLag = std::min(n - 1, Rate / 30);
  std::vector<double> r(maxLag + 2);
  for (int lag = minLag - 1; lag <= maxLag + 1; ++lag) r[lag] = corr(lag) / energy;
  for (int lag = minLag; lag <= maxLag; ++lag) {
    if (r[lag] > 0.8 && r[lag] >= r[lag - 1] && r[lag] >= r[lag + 1]) {
      const double shift = 0.5 * (r[lag - 1] - r[lag + 1]) / (r[lag - 1] - 2 * r[lag] + r[lag + 1]);
      return lag + shift;
    }
  }
  return 0;
}

TEST_P(Tune, TonalInstrumentsSoundMiddleCOnC4) {
  TContext ctx = Load(module);
  ASSERT_TRUE(ctx);
  xmp_module_info info;
  xmp_get_module_info(ctx.get(), &info);
  const xmp_module& m = *info.mod;
  int tonal = 0;
  for (int i = 0; i < m.ins; ++i) {
    const xmp_subinstrument& sub = m.xxi[i].sub[0];
    const xmp_sample& s = m.xxs[sub.sid];
    if (!(s.flg & XMP_SAMPLE_LOOP)) continue;  // drums
    ++tonal;
    ASSERT_TRUE(s.flg & XMP_SAMPLE_16BIT);
    const double period = LoopPeriod(reinterpret_cast<const int16_t*>(s.data), s.lps, s.lpe);
    ASSERT_GT(period, 0) << m.xxi[i].name;
    const double playbackRate = 8363.0 * std::exp2((sub.xpo + sub.fin / 128.0) / 12.0);
    const double cents = 1200.0 * std::log2(playbackRate / period / C4Hz);
    EXPECT_LT(std::abs(cents), 10.0) << m.xxi[i].name;
  }
  EXPECT_GE(tonal, 3);
}

TEST_P(Tune, IsTheSameEveryTime) { EXPECT_EQ(GetParam().Compose(), module); }

// openmpt123 is another player with its own reading of the format; skipped where it is missing.
TEST_P(Tune, OpenMptPlaysItTooForOverAMinute) {
  const std::string player = ZK_OPENMPT123;
  if (player.empty()) GTEST_SKIP() << "openmpt123 is not installed";
  const fs::path file = fs::temp_directory_path() / ("zk_tune_" + std::to_string(::getpid()) + "_" + GetParam().Name + ".xm");
  WriteBytes(file, module);
  const std::string command = player + " --batch --quiet --stdout --no-float --samplerate 48000 \"" + file.string() + "\" 2>/dev/null";
  FILE* pipe = popen(command.c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::vector<int16_t> pcm;
  int16_t buffer[8192];
  size_t got;
  while ((got = std::fread(buffer, sizeof buffer[0], 8192, pipe)) > 0) pcm.insert(pcm.end(), buffer, buffer + got);
  const int status = pclose(pipe);
  fs::remove(file);
  EXPECT_EQ(status, 0);
  const TLevels l = Measure(pcm.data(), pcm.size(), 2, 48000, 32768.0);
  EXPECT_GE(l.Seconds, 60.0);
  EXPECT_GT(l.RmsDb, -30.0);
}

INSTANTIATE_TEST_SUITE_P(Generator, Tune,
                         ::testing::Values(TTuneCase{"Menu", ComposeMenuTune}, TTuneCase{"Race", ComposeRaceTune}),
                         [](const auto& info) { return std::string(info.param.Name); });

// The tuning written into an instrument is the pitch libxmp plays: a sine rendered at one pitch
// and retuned must sound C4 on C-4 and A4 on A-4.
TEST(XmTuning, PlaysThePitchAsked) {
  TPatch sine;
  sine.Looped = true;
  sine.Freq0 = 700;  // anything but the note asked for
  sine.Seconds = 0.1;
  sine.Peak = 0.5;
  const struct { uint8_t Note; double Hz; } cases[] = {{49, C4Hz}, {58, 440.0}, {37, C4Hz / 2}};
  for (const auto& c : cases) {
    TXmModule m;
    m.Channels = 1;
    m.Orders = {0};
    TXmPattern p;
    p.Rows = 64;
    p.Cells.resize(64);
    p.Cells[0] = TXmCell{c.Note, 1, XmVolume(64), 0, 0};
    m.Patterns.push_back(p);
    TXmInstrument in;
    in.Sample = RenderPatch(sine, Rate, 1);
    in.Loop = true;
    std::tie(in.RelativeNote, in.FineTune) = XmTuning(Rate, LoopedPitch(sine, Rate), C4Hz);
    m.Instruments.push_back(in);
    TContext ctx = Load(WriteXm(m));
    ASSERT_TRUE(ctx);
    const std::vector<int16_t> pcm = RenderOnce(ctx.get());
    // Rising zero crossings of the left channel over whole seconds after the first 0.1 s.
    const size_t from = Rate / 10, to = from + Rate;
    ASSERT_GT(pcm.size() / 2, to);
    int crossings = 0;
    double first = 0, last = 0;
    for (size_t i = from; i < to; ++i) {
      const int a = pcm[2 * i], b = pcm[2 * i + 2];
      if (a < 0 && b >= 0) {
        const double at = i + static_cast<double>(-a) / (b - a);
        if (crossings++ == 0) first = at;
        last = at;
      }
    }
    const double hz = (crossings - 1) * Rate / (last - first);
    EXPECT_NEAR(1200.0 * std::log2(hz / c.Hz), 0.0, 5.0) << "note " << int(c.Note) << " played " << hz << " Hz";
  }
}

}  // namespace
