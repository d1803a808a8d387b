// The replay file: what is written reads back the same, and every kind of damaged, foreign or
// future file is refused with a message naming the file and the problem.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>

#include <unistd.h>

#include "replay/replay.h"

namespace {

TReplay SampleReplay() {
  TReplay r;
  r.Seed = 0x0123456789ABCDEFull;
  r.Vehicle = 3;
  r.RefreshRate = 85;
  r.FinalScore = 4321;
  r.FinalLives = 2;
  r.FinalLevel = 2;
  r.Frames = {{0, 0, 12}, {PackRaceInput({true, false, true, false, false, true}), 0x81, 12}, {255, 0xFF, 65535}};
  r.Events = {{0, rekTiming, 0, 11, 1.0},
              {1, rekPopup, popPause, 1, 0},
              {1, rekHover, 0, 12, 0},
              {2, rekActivate, 0, 11, 0},
              {2, rekTiming, 0, 16, 85.0 / 60}};
  return r;
}

std::string SampleBytes() { return EncodeReplay(SampleReplay()); }

TEST(ReplayFile, ReadsBackWhatWasWritten) {
  TReplay back;
  std::string problem;
  ASSERT_TRUE(DecodeReplay(SampleBytes(), back, problem)) << problem;
  const TReplay r = SampleReplay();
  EXPECT_EQ(back.Seed, r.Seed);
  EXPECT_EQ(back.Vehicle, r.Vehicle);
  EXPECT_EQ(back.RefreshRate, r.RefreshRate);
  EXPECT_EQ(back.FinalScore, r.FinalScore);
  EXPECT_EQ(back.FinalLives, r.FinalLives);
  EXPECT_EQ(back.FinalLevel, r.FinalLevel);
  ASSERT_EQ(back.Frames.size(), r.Frames.size());
  for (size_t i = 0; i < r.Frames.size(); ++i) {
    EXPECT_EQ(back.Frames[i].Keys, r.Frames[i].Keys);
    EXPECT_EQ(back.Frames[i].Edges, r.Frames[i].Edges);
    EXPECT_EQ(back.Frames[i].Lag, r.Frames[i].Lag);
  }
  ASSERT_EQ(back.Events.size(), r.Events.size());
  for (size_t i = 0; i < r.Events.size(); ++i) {
    EXPECT_EQ(back.Events[i].Frame, r.Events[i].Frame);
    EXPECT_EQ(back.Events[i].Kind, r.Events[i].Kind);
    EXPECT_EQ(back.Events[i].Popup, r.Events[i].Popup);
    EXPECT_EQ(back.Events[i].Value, r.Events[i].Value);
    EXPECT_EQ(back.Events[i].Real, r.Events[i].Real);
  }
  EXPECT_EQ(EncodeReplay(back), SampleBytes());
}

TEST(ReplayFile, KeysAndEdgesPackIntoTheirBits) {
  const TRaceInput keys{true, false, true, true, false, true};
  const TRaceInput back = UnpackRaceInput(PackRaceInput(keys));
  EXPECT_EQ(PackRaceInput(back), 0b101101);
  // Older games repeated Left and Right in bits 6 and 7: they are no input.
  EXPECT_EQ(UnpackRaceInput(0b11000000), TRaceInput{});
  UnpackKeyEdges(0b10010001);
  EXPECT_TRUE(UpPressed && PausePressed && EscapePressed);
  EXPECT_FALSE(DownPressed || LeftPressed || RightPressed || YesPressed || NoPressed);
  EXPECT_EQ(PackKeyEdges(), 0b10010001);
  UnpackKeyEdges(0);
}

// A file made from the sample by `damage`, and the words its refusal must contain.
struct TDamagedCase {
  const char* Name;
  std::function<std::string()> Bytes;
  const char* Problem;
};

std::string WithBytes(size_t at, std::string_view bytes) {
  std::string s = SampleBytes();
  s.replace(at, bytes.size(), bytes);
  return s;
}

// A sample changed before it is written, so that its checksum is right but its content is not.
std::string Resealed(const std::function<void(TReplay&)>& change) {
  TReplay r = SampleReplay();
  change(r);
  return EncodeReplay(r);
}

const TDamagedCase kDamaged[] = {
    {"empty", [] { return std::string(); }, "not a Zubo Kranz replay"},
    {"foreign", [] { return std::string("\x89PNG\r\n\x1a\n0000000000000000000000000000000000000000000000000000", 58); }, "not a Zubo Kranz replay"},
    {"text", [] { return std::string("ZKREPLA"); }, "not a Zubo Kranz replay"},
    {"header cut", [] { return SampleBytes().substr(0, 30); }, "truncated"},
    {"frames cut", [] { return SampleBytes().substr(0, 52); }, "truncated"},
    {"checksum cut", [] { const std::string s = SampleBytes(); return s.substr(0, s.size() - 1); }, "truncated"},
    {"bytes after the end", [] { return SampleBytes() + "x"; }, "unexpected bytes"},
    {"flipped bit", [] { std::string s = SampleBytes(); s[50] ^= 4; return s; }, "checksum"},
    {"future version", [] { return WithBytes(8, std::string("\x02\0\0\0", 4)); }, "newer game"},
    {"version 0", [] { return WithBytes(8, std::string("\0\0\0\0", 4)); }, "format 0"},
    {"no frames", [] { return Resealed([](TReplay& r) { r.Frames.clear(); r.Events.clear(); }); }, "frame count"},
    {"huge frame count", [] { return WithBytes(40, "\xff\xff\xff\x0f"); }, "frame count"},
    {"huge event count", [] { return WithBytes(44, "\xff\xff\xff\x0f"); }, "event count"},
    {"unknown vehicle", [] { return Resealed([](TReplay& r) { r.Vehicle = 6; }); }, "vehicle"},
    {"refresh rate", [] { return Resealed([](TReplay& r) { r.RefreshRate = -5; }); }, "refresh rate"},
    {"end of the game", [] { return Resealed([](TReplay& r) { r.FinalLevel = 0; }); }, "end of the game"},
    {"event after the end", [] { return Resealed([](TReplay& r) { r.Events.back().Frame = 3; }); }, "after the last frame"},
    {"events out of order", [] { return Resealed([](TReplay& r) { r.Events[1].Frame = 2; }); }, "out of order"},
    {"unknown event", [] { return Resealed([](TReplay& r) { r.Events[2].Kind = 9; }); }, "unknown kind"},
    {"no such item", [] { return Resealed([](TReplay& r) { r.Events[2].Value = 18; }); }, "item"},
    {"unknown popup", [] { return Resealed([](TReplay& r) { r.Events[1].Popup = popTally; }); }, "popup"},
    {"frame time", [] { return Resealed([](TReplay& r) { r.Events[0].Value = 0; }); }, "timing"},
    {"speed factor", [] { return Resealed([](TReplay& r) { r.Events[0].Real = 1.0 / 0.0; }); }, "timing"},
};

class ReplayFileDamaged : public ::testing::TestWithParam<TDamagedCase> {};

TEST_P(ReplayFileDamaged, IsRefusedWithTheFileAndTheProblemNamed) {
  // ctest runs each case in its own process, side by side: every case writes a file of its own.
  const std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
  const std::string path = (std::filesystem::path(::testing::TempDir()) /
                            ("damaged_" + std::to_string(::getpid()) + "_" + name.substr(name.rfind('/') + 1) + ".zkreplay"))
                               .string();
  {
    std::ofstream out(path, std::ios::binary);
    out << GetParam().Bytes();
  }
  try {
    ReadReplayFile(path);
    FAIL() << "accepted";
  } catch (const EGameError& e) {
    const std::string message = e.what();
    EXPECT_EQ(message.rfind(path + ": ", 0), 0u) << message;
    EXPECT_NE(message.find(GetParam().Problem), std::string::npos) << message;
  }
  std::remove(path.c_str());
}

INSTANTIATE_TEST_SUITE_P(Table, ReplayFileDamaged, ::testing::ValuesIn(kDamaged),
                         [](const auto& info) {
                           std::string name = info.param.Name;
                           for (char& c : name) if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                           return name;
                         });

TEST(ReplayFile, MissingFileOrFolderIsRefusedByName) {
  const std::string folder = ::testing::TempDir();
  for (const std::string& path : {folder + "/no-such.zkreplay", folder}) {
    try {
      ReadReplayFile(path);
      FAIL() << path << " accepted";
    } catch (const EGameError& e) {
      EXPECT_EQ(std::string(e.what()).rfind(path + ": ", 0), 0u) << e.what();
    }
  }
}

}  // namespace
