// zktrack, run as a program: the dump matches the game's generator, pictures are written with
// and without a tile set, and every error is exit status 1 with one line.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "race/race.h"

namespace {

namespace fs = std::filesystem;

struct TRun {
  int Status = -1;
  std::string Out, Err;
};

std::string ReadText(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

class ZktrackTest : public testing::Test {
protected:
  void SetUp() override {
    if (!fs::exists(Tool())) GTEST_SKIP() << "zktrack is not built";
    dir_ = fs::path(testing::TempDir()) / ("zktrack_" + std::to_string(::getpid()));
    fs::create_directories(dir_);
  }
  void TearDown() override {
    if (!dir_.empty()) fs::remove_all(dir_);
  }

  static fs::path Tool() { return fs::path(ZK_BIN_DIR) / "zktrack"; }

  TRun Run(const std::string& args) const {
    const fs::path out = dir_ / "stdout", err = dir_ / "stderr";
    const std::string command = Tool().string() + " " + args + " >" + out.string() + " 2>" + err.string();
    const int status = std::system(command.c_str());
    return TRun{WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadText(out), ReadText(err)};
  }

  fs::path dir_;
};

// The width and height from a PNG's header, or 0 x 0 when the file is no PNG.
std::pair<uint32_t, uint32_t> PngSize(const fs::path& path) {
  const std::string bytes = ReadText(path);
  if (bytes.size() < 24 || bytes.compare(0, 8, "\x89PNG\r\n\x1a\n") != 0) return {0, 0};
  const auto be32 = [&bytes](size_t at) {
    return uint32_t(uint8_t(bytes[at])) << 24 | uint32_t(uint8_t(bytes[at + 1])) << 16 |
           uint32_t(uint8_t(bytes[at + 2])) << 8 | uint32_t(uint8_t(bytes[at + 3]));
  };
  return {be32(16), be32(20)};
}

TEST_F(ZktrackTest, DumpIsTheTrackTheGameGeneratesForTheSeed) {
  const fs::path dump = dir_ / "track.txt";
  const TRun run = Run("--level 2 --seed 5 --dump " + dump.string());
  ASSERT_EQ(run.Status, 0) << run.Err;

  // A new race, as in the tool's fresh process: rows without road keep their zero centre.
  const auto race = std::make_unique<TRace>();
  RandSeed(5);
  race->SetUpLevel(2);
  std::ifstream in(dump);
  std::string line;
  for (int r = 1; r <= TrackRows; ++r) {
    ASSERT_TRUE(std::getline(in, line)) << "row " << r << " missing";
    std::string want = std::to_string(r) + " " + std::to_string(race->RowShape[r]) + " " + std::to_string(race->RoadCenterX[r]) + ":";
    for (int c = 1; c <= TrackColumns; ++c) want += " " + std::to_string(race->TrackMap[r][c]);
    ASSERT_EQ(line, want) << "row " << r;
  }
  EXPECT_FALSE(std::getline(in, line)) << "more than " << TrackRows << " rows";
}

TEST_F(ZktrackTest, DrawsTheWholeMapWithFlatColoursWithoutADataPack) {
  const fs::path png = dir_ / "track.png";
  const TRun run = Run("--level 1 --seed 3 --data " + (dir_ / "nothing").string() + " --full --scale 1 --png " + png.string());
  ASSERT_EQ(run.Status, 0) << run.Err;
  EXPECT_EQ(PngSize(png), std::make_pair(uint32_t(TrackColumns), uint32_t(TrackRows)));
}

TEST_F(ZktrackTest, DrawsTheRoadWithTheDataPacksTileSet) {
  // Item 1 of the pack: 74 patterns of 8 x 8.
  TPictureCollection list;
  list.Items.resize(2);
  TPicture& picture = list.Items[1].Picture;
  list.Items[1].PatternWidth = list.Items[1].PatternHeight = 8;
  picture.Width = 8;
  picture.Height = 8 * 74;
  picture.BitsPerPixel = 24;
  picture.Pixels.assign(static_cast<size_t>(picture.Width) * picture.Height, 0x336699);
  fs::create_directories(dir_ / "Data" / "Res");
  WriteFileAtomic((dir_ / "Data" / "Res" / "Res2.dxg").string(), WriteImageList(list));

  const fs::path png = dir_ / "track.png";
  const TRun run = Run("--level 1 --seed 3 --data " + dir_.string() + " --png " + png.string());
  ASSERT_EQ(run.Status, 0) << run.Err;
  EXPECT_EQ(run.Err, "") << "the pack was found";
  EXPECT_GT(PngSize(png).first, 0u);
}

TEST_F(ZktrackTest, ErrorsEndWithStatus1AndOneLine) {
  fs::create_directories(dir_ / "bad" / "Data" / "Res");
  std::ofstream(dir_ / "bad" / "Data" / "Res" / "Res2.dxg") << "not an image list";
  const std::string png = " --png " + (dir_ / "x.png").string();
  const std::vector<std::string> cases = {
      "--dump " + (dir_ / "missing" / "x.txt").string(),
      "--data " + (dir_ / "bad").string() + png,
      "--full --scale 72" + png,
  };
  for (const std::string& args : cases) {
    const TRun run = Run(args);
    EXPECT_EQ(run.Status, 1) << args;
    EXPECT_EQ(run.Err.rfind("zktrack: ", 0), 0u) << args << ": " << run.Err;
    EXPECT_EQ(std::count(run.Err.begin(), run.Err.end(), '\n'), 1) << args << ": " << run.Err;
  }
}

TEST_F(ZktrackTest, WrongCommandLinesShowTheUsageWithStatus2) {
  const std::string png = " --png " + (dir_ / "x.png").string();
  const std::vector<std::string> cases = {
      "", "--level 11" + png, "--level x" + png, "--seed -1" + png, "--scale 0" + png, "--wide" + png, "--png",
  };
  for (const std::string& args : cases) {
    const TRun run = Run(args);
    EXPECT_EQ(run.Status, 2) << args;
    EXPECT_EQ(run.Err.rfind("zktrack: ", 0), 0u) << args << ": " << run.Err;
    EXPECT_NE(run.Err.find("\nusage: zktrack "), std::string::npos) << args << ": " << run.Err;
    EXPECT_FALSE(fs::exists(dir_ / "x.png")) << args;
  }
}

}  // namespace
