// The generator's sound list: what the game's effects must be to play and loop right.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "audio.h"
#include "audio/audio.h"
#include "audio_test_util.h"

namespace {

std::vector<int> Samples(const TWave& wave) {
  std::vector<int> s(wave.Samples.size() / 2);
  for (size_t i = 0; i < s.size(); ++i)
    s[i] = static_cast<int16_t>(wave.Samples[2 * i] | (wave.Samples[2 * i + 1] << 8));
  return s;
}

// Largest |difference| of the given order between neighbours inside the sound, and the same
// difference taken across the loop's wrap from the last samples into the first.
struct TSteps { int Inside = 0, Wrap = 0; };
TSteps Steps(const std::vector<int>& s, int order) {
  const size_t n = s.size();
  const auto at = [&](size_t i) { return s[i % n]; };
  const auto diff = [&](size_t i) {
    return order == 1 ? at(i + 1) - at(i) : at(i + 2) - 2 * at(i + 1) + at(i);
  };
  TSteps steps;
  for (size_t i = 0; i + order < n; ++i) steps.Inside = std::max(steps.Inside, std::abs(diff(i)));
  for (size_t i = n - order; i < n; ++i) steps.Wrap = std::max(steps.Wrap, std::abs(diff(i)));
  return steps;
}

class SoundList : public ::testing::Test {
protected:
  static void SetUpTestSuite() { list = new TWaveCollection(BuildSoundList()); }
  static void TearDownTestSuite() { delete list; }
  static TWaveCollection* list;
};
TWaveCollection* SoundList::list = nullptr;

TEST_F(SoundList, HoldsEveryEffectAsMono16BitPcmLoopingExactlyTheEngineAndHorn) {
  ASSERT_EQ(list->Count(), SoundItemCount);
  for (int i = 0; i < list->Count(); ++i) {
    const TWaveCollectionItem& item = list->Items[i];
    SCOPED_TRACE(item.Name);
    EXPECT_EQ(item.Looped, i >= sndIdle && i <= sndTopEnd);
    EXPECT_EQ(item.Wave.Channels, 1);
    EXPECT_EQ(item.Wave.Bits, 16);
    EXPECT_TRUE(item.Wave.Rate == 22050 || item.Wave.Rate == 44100);
    EXPECT_EQ(item.Wave.Riff, MakeRiffWave(1, item.Wave.Rate, 16, item.Wave.Samples));
  }
}

TEST_F(SoundList, RoundTripsThroughTheSoundListFile) {
  TWaveCollection back;
  const std::vector<uint8_t> file = WriteWaveList(*list);
  ReadWaveList(file.data(), file.size(), "Sounds.dxw", back);
  ASSERT_EQ(back.Count(), list->Count());
  for (int i = 0; i < list->Count(); ++i) {
    EXPECT_EQ(back.Items[i].Looped, list->Items[i].Looped) << i;
    EXPECT_EQ(back.Items[i].Wave.Samples, list->Items[i].Wave.Samples) << i;
  }
}

TEST_F(SoundList, IsTheSameEveryTime) {
  const TWaveCollection again = BuildSoundList();
  ASSERT_EQ(again.Count(), list->Count());
  for (int i = 0; i < list->Count(); ++i) EXPECT_EQ(again.Items[i].Wave.Riff, list->Items[i].Wave.Riff) << i;
}

// A loop that does not join up clicks on every repeat: the step (and the change of slope) from
// the last sample back to the first must be no larger than the sound's own steps. Loops are at the
// device's rate too: resampling a loop on loading bends its ends.
TEST_F(SoundList, LoopsJoinWithoutAClick) {
  for (const TWaveCollectionItem& item : list->Items) {
    if (!item.Looped) continue;
    SCOPED_TRACE(item.Name);
    EXPECT_EQ(item.Wave.Rate, 44100);
    const std::vector<int> s = Samples(item.Wave);
    for (int order : {1, 2}) {
      const TSteps steps = Steps(s, order);
      EXPECT_LE(steps.Wrap, steps.Inside + 2) << "order " << order;  // 2: rounding to 16 bits
    }
  }
}

TEST_F(SoundList, OneShotsStartAndEndInSilenceWithoutClipping) {
  for (const TWaveCollectionItem& item : list->Items) {
    const std::vector<int> s = Samples(item.Wave);
    SCOPED_TRACE(item.Name);
    ASSERT_FALSE(s.empty());
    const int peak = std::abs(*std::max_element(s.begin(), s.end(), [](int a, int b) { return std::abs(a) < std::abs(b); }));
    EXPECT_GT(peak, 32767 / 4);  // clearly audible
    EXPECT_LT(peak, 32767 * 9 / 10);
    if (item.Looped) continue;
    EXPECT_LE(std::abs(s.front()), 64);
    EXPECT_LE(std::abs(s.back()), 64);
  }
}

// RMS of the loudest quarter second of a sound, or of all of it when shorter, in dB of full scale.
double LoudnessDb(const std::vector<int>& s, int rate) {
  const size_t window = std::min(s.size(), static_cast<size_t>(rate / 4));
  double sum = 0, loudest = 0;
  for (size_t i = 0; i < s.size(); ++i) {
    sum += double(s[i]) * s[i];
    if (i >= window) sum -= double(s[i - window]) * s[i - window];
    if (i + 1 >= window) loudest = std::max(loudest, sum);
  }
  return 20 * std::log10(std::sqrt(loudest / window) / 32767.0);
}

// Every effect the game plays sounds about as loud as the others, so the horn does not drown the
// crash nor the engine the pick-ups.
TEST_F(SoundList, EffectsShareOneLoudnessWithinThreeDecibels) {
  std::vector<std::pair<double, std::string>> levels;
  for (int i = 0; i < list->Count(); ++i) {
    if (i == sndUnused) continue;  // never started
    const TWave& w = list->Items[i].Wave;
    levels.emplace_back(LoudnessDb(Samples(w), w.Rate), list->Items[i].Name);
  }
  std::sort(levels.begin(), levels.end());
  const double middle = levels[levels.size() / 2].first;
  for (const auto& [db, name] : levels) EXPECT_NEAR(db, middle, 3.0) << name;
}

// A note that starts or stops from one sample to the next clicks. Two looks at every one-shot:
// - the mean level of the millisecond before and after each point: where the louder of the two
//   is a good part of the sound's loudest and the other almost silent, the sound jumps in or out;
// - each step between neighbouring samples against the level of the quarter millisecond on
//   either side: a note cut off (even when the next note starts at once, softly) leaves a big
//   step between a loud stretch and a near-silent one.
// Fades of 3 ms or more pass both.
TEST_F(SoundList, OneShotsHaveNoHardClicks) {
  for (const TWaveCollectionItem& item : list->Items) {
    if (item.Looped) continue;
    SCOPED_TRACE(item.Name);
    const std::vector<int> s = Samples(item.Wave);
    const long n = static_cast<long>(s.size());
    const auto at = [&](long i) { return (i >= 0 && i < n) ? s[i] : 0; };  // silence outside
    const auto meanLevel = [&](long from, long length) {
      double sum = 0;
      for (long i = from; i < from + length; ++i) sum += std::abs(at(i));
      return sum / length;
    };
    const int ms = item.Wave.Rate / 1000, quarter = ms / 4;
    double loudest = 0;
    for (long i = 0; i < n; i += ms / 2) loudest = std::max(loudest, meanLevel(i, ms));
    for (long i = 0; i <= n; i += ms / 2) {
      const double before = meanLevel(i - ms, ms), after = meanLevel(i, ms);
      const double loud = std::max(before, after), quiet = std::min(before, after);
      EXPECT_FALSE(loud > 0.45 * loudest && quiet < loud / 8)
          << "at " << i * 1000.0 / item.Wave.Rate << " ms: " << before << " then " << after << " (loudest " << loudest << ")";
    }
    for (long i = -1; i < n; ++i) {
      const double step = std::abs(at(i + 1) - at(i));
      const double before = meanLevel(i - quarter + 1, quarter), after = meanLevel(i + 1, quarter);
      const double loud = std::max(before, after), quiet = std::min(before, after);
      EXPECT_FALSE(loud > 0.2 * loudest && loud > 8 * quiet && step > 0.5 * loud)
          << "at " << i * 1000.0 / item.Wave.Rate << " ms: a step of " << step << " between levels " << before << " and " << after << " (loudest " << loudest << ")";
      if (HasFailure()) break;
    }
  }
}

// Effects that repeat at a fixed pace or accompany a timed popup must fit in that time, or every
// repeat would cut the last one short.
TEST_F(SoundList, TimedEffectsFitTheirPace) {
  const struct { int Index; double MaxSeconds; } cases[] = {
      {sndSelect, 0.1},        // every change of the selected item
      {sndBlip, 1.0},          // tally lines a second apart
      {sndClockTick, 1.0},     // once a second in the last ten seconds
      {sndCongratulations, 3.2},  // the "CONGRATULATIONS!" popup's time
  };
  for (const auto& c : cases) {
    const TWave& w = list->Items[c.Index].Wave;
    EXPECT_LE(static_cast<double>(w.Frames()) / w.Rate, c.MaxSeconds) << list->Items[c.Index].Name;
  }
}

}  // namespace
