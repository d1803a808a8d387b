// Generating a whole track, as every level start does (level 10: the longest road).
#include <benchmark/benchmark.h>

#include <memory>

#include "race/race.h"

static void BM_GenerateTrack(benchmark::State& state) {
  RandSeed(1);
  const auto race = std::make_unique<TRace>();
  for (auto _ : state) {
    race->SetUpLevel(10);
    benchmark::DoNotOptimize(race->TrackMap.data());
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_GenerateTrack)->Unit(benchmark::kMillisecond);
