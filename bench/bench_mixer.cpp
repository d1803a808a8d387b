// The effects mixer: one device buffer (1024 frames, 23 ms at 44100 Hz) of a race's busiest
// sound: the engine, a rival's engine, the horn and a crash.
#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "platform/mixer.h"

namespace {

TWaveCollection Tones() {
  TWaveCollection waves;
  for (int i = 0; i < 4; ++i) {
    TWaveCollectionItem item;
    item.Looped = i < 3;
    std::vector<uint8_t> pcm(2 * 22050);
    for (size_t f = 0; f < pcm.size() / 2; ++f) {
      const auto v = static_cast<int16_t>(12000 * std::sin(0.01 * (i + 1) * static_cast<double>(f)));
      pcm[2 * f] = static_cast<uint8_t>(v & 0xFF);
      pcm[2 * f + 1] = static_cast<uint8_t>((v >> 8) & 0xFF);
    }
    item.Wave.Riff = MakeRiffWave(1, 44100, 16, pcm);
    waves.Items.push_back(std::move(item));
  }
  return waves;
}

void BM_MixEffectsBuffer(benchmark::State& state) {
  TMixer mixer;
  mixer.Open(44100);
  mixer.SetItems(Tones());
  mixer.SetItemRate(0, 1.13f);
  mixer.Play(0);
  mixer.Play(1);
  mixer.SetFreeVoice(0, 2, TVoiceSettings{0.9f, 0.3f, -0.4f});
  std::vector<int16_t> buffer(2 * 1024);
  int n = 0;
  for (auto _ : state) {
    if (++n % 40 == 0) mixer.Play(3);  // a one-shot now and then, as in a race
    mixer.SetItemRate(0, 1.0f + 0.001f * static_cast<float>(n % 200));
    mixer.Render(buffer.data(), 1024);
    benchmark::DoNotOptimize(buffer.data());
  }
}
BENCHMARK(BM_MixEffectsBuffer);

}  // namespace
