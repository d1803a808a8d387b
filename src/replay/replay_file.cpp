// The replay file: its bytes written and checked, the key bits packed.
#include <array>
#include <cmath>
#include <cstring>
#include <fstream>

#include "platform/platform.h"
#include "replay/replay.h"
#include "save/save.h"

namespace {

constexpr char kMagic[8] = {'Z', 'K', 'R', 'E', 'P', 'L', 'A', 'Y'};
constexpr size_t kHeaderSize = 48, kFrameSize = 4, kEventSize = 20, kChecksumSize = 4;
constexpr int kMaxItem = 17;
constexpr int kMaxRefreshRate = 1000;
constexpr int kVehicleModels = 5;
// The key edges in the order of their bits.
bool* const kEdgeFlags[8] = {&UpPressed, &DownPressed, &LeftPressed, &RightPressed,
                             &PausePressed, &YesPressed, &NoPressed, &EscapePressed};
// The largest file this game writes, with room to spare; anything longer is refused unread.
constexpr uint64_t kMaxFileSize = kHeaderSize + uint64_t{MaxReplayFrames} * kFrameSize +
                                  uint64_t{MaxReplayEvents} * kEventSize + kChecksumSize;

constexpr std::array<uint32_t, 256> MakeCrcTable() {
  std::array<uint32_t, 256> table{};
  for (uint32_t n = 0; n < 256; ++n) {
    uint32_t c = n;
    for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    table[n] = c;
  }
  return table;
}
constexpr std::array<uint32_t, 256> kCrcTable = MakeCrcTable();

uint32_t Crc32(std::string_view bytes) {
  uint32_t c = 0xFFFFFFFFu;
  for (const char ch : bytes) c = kCrcTable[(c ^ static_cast<uint8_t>(ch)) & 0xFF] ^ (c >> 8);
  return c ^ 0xFFFFFFFFu;
}

void PutLE(std::string& out, uint64_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) out += static_cast<char>((v >> (8 * i)) & 0xFF);
}

// Little-endian reads from a byte range the caller has checked to be long enough.
class TByteReader {
public:
  explicit TByteReader(std::string_view bytes) : bytes_(bytes) {}
  uint64_t Get(int count) {
    uint64_t v = 0;
    for (int i = 0; i < count; ++i) v |= uint64_t{static_cast<uint8_t>(bytes_[pos_ + i])} << (8 * i);
    pos_ += static_cast<size_t>(count);
    return v;
  }
  int32_t GetInt32() { return static_cast<int32_t>(static_cast<uint32_t>(Get(4))); }
  double GetDouble() {
    const uint64_t bits = Get(8);
    double d;
    std::memcpy(&d, &bits, sizeof d);
    return d;
  }

private:
  std::string_view bytes_;
  size_t pos_ = 0;
};

// The problem with one event (empty when it is sound), given the frame count and the previous
// event's frame.
std::string EventProblem(const TReplayEvent& e, uint32_t frameCount, uint32_t previousFrame) {
  if (e.Frame >= frameCount) return "an event after the last frame";
  if (e.Frame < previousFrame) return "events out of order";
  switch (e.Kind) {
    case rekTiming:
      if (e.Value < 1 || e.Value > 1000 || !std::isfinite(e.Real) || e.Real <= 0 || e.Real > 100)
        return "an impossible frame timing";
      return {};
    case rekHover:
    case rekActivate:
      return e.Value >= 0 && e.Value <= kMaxItem ? std::string() : "an event for an item that does not exist";
    case rekPopup:
      return (e.Popup == popPause || e.Popup == popExitToMenu) && (e.Value == 0 || e.Value == 1)
                 ? std::string()
                 : "an event that opens an unknown popup";
    default:
      return "an event of an unknown kind";
  }
}

}  // namespace

uint8_t PackRaceInput(const TRaceInput& k) {
  return static_cast<uint8_t>(k.Left | k.Right << 1 | k.Up << 2 | k.Down << 3 | k.Space << 4 | k.Horn << 5);
}

TRaceInput UnpackRaceInput(uint8_t b) {
  return TRaceInput{(b & 1) != 0, (b & 2) != 0, (b & 4) != 0, (b & 8) != 0, (b & 16) != 0, (b & 32) != 0};
}

uint8_t PackKeyEdges() {
  uint8_t bits = 0;
  for (int i = 0; i < 8; ++i) bits = static_cast<uint8_t>(bits | (*kEdgeFlags[i] ? 1 << i : 0));
  return bits;
}

void UnpackKeyEdges(uint8_t bits) {
  for (int i = 0; i < 8; ++i) *kEdgeFlags[i] = (bits >> i & 1) != 0;
}

std::string EncodeReplay(const TReplay& r) {
  std::string out;
  out.reserve(kHeaderSize + r.Frames.size() * kFrameSize + r.Events.size() * kEventSize + kChecksumSize);
  out.append(kMagic, sizeof kMagic);
  PutLE(out, ReplayFormatVersion, 4);
  PutLE(out, r.Seed, 8);
  PutLE(out, r.Vehicle, 4);
  for (const int32_t v : {r.RefreshRate, r.FinalScore, r.FinalLives, r.FinalLevel}) PutLE(out, static_cast<uint32_t>(v), 4);
  PutLE(out, r.Frames.size(), 4);
  PutLE(out, r.Events.size(), 4);
  for (const TReplayFrame& f : r.Frames) {
    PutLE(out, f.Keys, 1);
    PutLE(out, f.Edges, 1);
    PutLE(out, f.Lag, 2);
  }
  for (const TReplayEvent& e : r.Events) {
    uint64_t real;
    std::memcpy(&real, &e.Real, sizeof real);
    PutLE(out, e.Frame, 4);
    PutLE(out, e.Kind, 1);
    PutLE(out, e.Popup, 3);
    PutLE(out, static_cast<uint32_t>(e.Value), 4);
    PutLE(out, real, 8);
  }
  PutLE(out, Crc32(out), 4);
  return out;
}

bool DecodeReplay(std::string_view bytes, TReplay& out, std::string& problem) {
  const auto fail = [&](std::string why) {
    problem = std::move(why);
    return false;
  };
  if (bytes.size() < sizeof kMagic || std::memcmp(bytes.data(), kMagic, sizeof kMagic) != 0)
    return fail("not a Zubo Kranz replay (no ZKREPLAY mark at its start)");
  if (bytes.size() < kHeaderSize + kChecksumSize) return fail("truncated (the header is incomplete)");
  TByteReader in(bytes.substr(sizeof kMagic));
  const uint32_t version = static_cast<uint32_t>(in.Get(4));
  if (version > ReplayFormatVersion)
    return fail("made by a newer game (replay format " + std::to_string(version) + "; this game reads format " +
                std::to_string(ReplayFormatVersion) + ")");
  if (version == 0) return fail("replay format 0 does not exist");
  TReplay r;
  r.Seed = in.Get(8);
  const uint32_t vehicleWord = static_cast<uint32_t>(in.Get(4));
  r.Vehicle = static_cast<uint8_t>(vehicleWord & 0xFF);
  r.RefreshRate = in.GetInt32();
  r.FinalScore = in.GetInt32();
  r.FinalLives = in.GetInt32();
  r.FinalLevel = in.GetInt32();
  const uint32_t frameCount = static_cast<uint32_t>(in.Get(4));
  const uint32_t eventCount = static_cast<uint32_t>(in.Get(4));
  if (frameCount < 1 || frameCount > MaxReplayFrames) return fail("an impossible frame count " + std::to_string(frameCount));
  if (eventCount > MaxReplayEvents) return fail("an impossible event count " + std::to_string(eventCount));
  const uint64_t expected = kHeaderSize + uint64_t{frameCount} * kFrameSize + uint64_t{eventCount} * kEventSize + kChecksumSize;
  if (bytes.size() < expected)
    return fail("truncated (" + std::to_string(bytes.size()) + " bytes of " + std::to_string(expected) + ")");
  if (bytes.size() > expected) return fail(std::to_string(bytes.size() - expected) + " unexpected bytes after its end");
  const std::string_view body = bytes.substr(0, expected - kChecksumSize);
  if (TByteReader(bytes.substr(body.size())).Get(4) != Crc32(body)) return fail("damaged (its checksum does not match)");
  // From here on the bytes are as written; what they say must still make sense to this game.
  if (r.Vehicle < 1 || r.Vehicle > kVehicleModels || (vehicleWord >> 8) != 0) return fail("an unknown vehicle");
  if (r.RefreshRate < 0 || r.RefreshRate > kMaxRefreshRate) return fail("an impossible refresh rate");
  if (r.FinalLevel < 1 || r.FinalLevel > 255 || r.FinalLives < 0 || r.FinalScore < 0)
    return fail("an impossible end of the game");
  r.Frames.resize(frameCount);
  for (TReplayFrame& f : r.Frames) {
    f.Keys = static_cast<uint8_t>(in.Get(1));
    f.Edges = static_cast<uint8_t>(in.Get(1));
    f.Lag = static_cast<uint16_t>(in.Get(2));
  }
  r.Events.resize(eventCount);
  uint32_t previousFrame = 0;
  for (TReplayEvent& e : r.Events) {
    e.Frame = static_cast<uint32_t>(in.Get(4));
    e.Kind = static_cast<uint8_t>(in.Get(1));
    e.Popup = static_cast<uint8_t>(in.Get(1));
    const uint64_t zero = in.Get(2);
    e.Value = in.GetInt32();
    e.Real = in.GetDouble();
    std::string why = zero != 0 ? "an event with unknown fields" : EventProblem(e, frameCount, previousFrame);
    if (!why.empty()) return fail(why);
    previousFrame = e.Frame;
  }
  out = std::move(r);
  return true;
}

TReplay ReadReplayFile(const std::string& path) {
  // Only a regular file is opened: a FIFO or a device would block or never end.
  if (!SaveFileExists(path)) throw EGameError(path + ": no such replay file (or not a regular file that can be read)");
  std::ifstream in(path, std::ios::binary);
  std::string bytes;
  char buffer[65536];
  while (in && bytes.size() <= kMaxFileSize) {
    in.read(buffer, sizeof buffer);
    bytes.append(buffer, static_cast<size_t>(in.gcount()));
  }
  if (in.bad()) throw EGameError(path + ": cannot be read");
  if (bytes.size() > kMaxFileSize) throw EGameError(path + ": too large for a replay");
  TReplay replay;
  std::string problem;
  if (!DecodeReplay(bytes, replay, problem)) throw EGameError(path + ": " + problem);
  return replay;
}
