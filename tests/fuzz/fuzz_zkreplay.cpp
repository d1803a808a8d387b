// libFuzzer entry for the replay file reader: any input is read without a crash, a refusal always
// says why, and whatever is accepted writes back to the same bytes (a format 1 file to a file of the current format that reads back the same).
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
  // A file of format 1 is written back in the current format; one of the current format byte for byte.
  const bool current = bytes.size() >= 12 && static_cast<uint8_t>(bytes[8]) == ReplayFormatVersion;
  const std::string again = EncodeReplay(replay);
  TReplay back;
  if ((current && again != bytes) || !DecodeReplay(again, back, problem) || EncodeReplay(back) != again) {
    std::fprintf(stderr, "round trip broken\n");
    std::abort();
  }
  return 0;
}
