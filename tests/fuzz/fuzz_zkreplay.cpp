// libFuzzer entry for the replay file reader: any input is read without a crash, a refusal always
// says why, and whatever is accepted writes back to exactly the same bytes.
#include <cstdio>
#include <cstdlib>

#include "replay/replay.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  TReplay replay;
  std::string problem;
  if (!DecodeReplay(bytes, replay, problem)) {
    if (problem.empty()) {
      std::fprintf(stderr, "refused without a reason\n");
      std::abort();
    }
    return 0;
  }
  if (EncodeReplay(replay) != bytes) {
    std::fprintf(stderr, "round trip broken\n");
    std::abort();
  }
  return 0;
}
