// zkbench: the game's benchmarks. Its own options are answered here; everything else goes to
// Google Benchmark, whose --help lists its flags (--benchmark_filter=REGEX and others).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>

#include "platform/platform.h"

namespace {

const TProgramInfo Program{
    "zkbench",
    "usage: zkbench [--benchmark_filter=REGEX] [--benchmark_repetitions=N] [other Google Benchmark flags]\n"
    "Measures the game's drawing, track generation and whole frames.\n"
    "  --version           show the version and end\n"
    "  --help              show this help and Google Benchmark's flags\n"};

}  // namespace

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--version") == 0) {
      std::printf("%s %s\n", Program.Name, Sys_Version());
      return 0;
    }
    if (std::strcmp(argv[i], "--help") == 0) std::fputs(Program.Usage, stdout);  // then Google Benchmark's own
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return Sys_UsageError(Program, std::string("unknown option ") + argv[1]);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
