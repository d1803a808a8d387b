// Generating a whole track, as every level start does (level 10: the longest road).
#include <benchmark/benchmark.h>

#include "race/race.h"

static void BM_GenerateTrack(benchmark::State& state) {
  RandSeed(1);
  for (auto _ : state) {
    SetUpLevel(10);
    benchmark::DoNotOptimize(TrackMap.data());
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_GenerateTrack)->Unit(benchmark::kMillisecond);
