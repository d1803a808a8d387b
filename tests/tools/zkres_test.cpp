// zkres run as a player would: list, extract, pack, and its errors.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "platform/platform.h"
#include "platform/resfile_builder.h"
#include "zkres/json.h"

namespace {

namespace fs = std::filesystem;

struct RunResult {
  int Status = -1;  // exit status; -1 when killed by a signal
  std::string Out, Err;
};

std::string Slurp(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

class Zkres : public ::testing::Test {
protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("zk_zkres_" + std::to_string(getpid()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  RunResult Zk(const std::string& args) const {
    const fs::path out = dir_ / "stdout.txt", err = dir_ / "stderr.txt";
    const std::string command =
        std::string(ZK_BIN_DIR) + "/zkres " + args + " >'" + out.string() + "' 2>'" + err.string() + "'";
    const int raw = std::system(command.c_str());
    RunResult r;
    r.Status = (raw != -1 && WIFEXITED(raw)) ? WEXITSTATUS(raw) : -1;
    r.Out = Slurp(out);
    r.Err = Slurp(err);
    return r;
  }
  std::string Path(const std::string& name) const { return (dir_ / name).string(); }

  fs::path dir_;
};

// A small 8-bit DIB: two palette colours, 3x2 pixels.
std::vector<uint8_t> PaletteDib() {
  Bytes b;
  b.U32(40).U32(3).U32(2).U16(1).U16(8).U32(0).U32(8).U32(0).U32(0).U32(2).U32(0);
  b.U32(0x00102030).U32(0x00A0B0C0);  // palette: blue, green, red, reserved
  b.U8(0).U8(1).U8(0).U8(0).U8(1).U8(1).U8(0).U8(0);  // bottom row, then top row
  return b.b;
}

TPictureCollection SampleList() {
  TPictureCollection list;
  list.HasColorTable = true;
  list.ColorTable[5] = 77;
  TPictureCollectionItem& a = list.Items.emplace_back();
  a.Name = "tiles \"A\"\xe9";
  a.PatternWidth = 4;
  a.PatternHeight = 3;
  a.SkipWidth = 1;
  a.TransparentColor = 0x00FF00FF;
  a.Picture.Width = 14;
  a.Picture.Height = 7;
  a.Picture.BitsPerPixel = 24;
  for (uint32_t i = 0; i < 14 * 7; i++) a.Picture.Pixels.push_back((i * 0x030507 + 0x10000 * (i % 3)) & 0xFFFFFF);
  TPictureCollectionItem& b = list.Items.emplace_back();  // no picture
  b.Transparent = false;
  b.SystemMemory = true;
  return list;
}

}  // namespace

TEST_F(Zkres, ListsPicturesAsJson) {
  // The list read with the 8-bit picture added by hand after the writer's items.
  std::vector<uint8_t> file = WriteImageList(SampleList());
  TPictureCollection list;
  ReadImageList(file.data(), file.size(), "mem", list);
  const std::vector<uint8_t> single = ImageListWithPictureData(DibPictureData(PaletteDib()));
  WriteFileAtomic(Path("a.dxg"), WriteImageList(list));
  WriteFileAtomic(Path("b.dxg"), single);

  RunResult r = Zk("list --json " + Path("a.dxg"));
  ASSERT_EQ(r.Status, 0) << r.Err;
  const JsonValue items = ParseJson(r.Out);
  ASSERT_EQ(items.Array.size(), 2u);
  const JsonValue& a = items.Array[0];
  const struct {
    const char* key;
    double value;
  } numbers[] = {{"index", 0},       {"width", 14},          {"height", 7},       {"bitsPerPixel", 24},
                 {"patternWidth", 4}, {"patternHeight", 3},   {"skipWidth", 1},    {"skipHeight", 0},
                 {"patternCount", 6}, {"transparentColor", 0xFF00FF}};
  for (const auto& n : numbers) {
    ASSERT_NE(a.Find(n.key), nullptr) << n.key;
    EXPECT_EQ(a.Find(n.key)->Number, n.value) << n.key;
  }
  EXPECT_EQ(a.Find("name")->String, "tiles \"A\"\xe9");
  EXPECT_TRUE(a.Find("transparent")->Bool);
  EXPECT_FALSE(a.Find("systemMemory")->Bool);
  EXPECT_EQ(items.Array[1].Find("patternCount")->Number, 0);
  EXPECT_TRUE(items.Array[1].Find("systemMemory")->Bool);

  r = Zk("list --json " + Path("b.dxg"));
  ASSERT_EQ(r.Status, 0) << r.Err;
  EXPECT_EQ(ParseJson(r.Out).Array.at(0).Find("bitsPerPixel")->Number, 8);

  r = Zk("list " + Path("a.dxg"));
  ASSERT_EQ(r.Status, 0) << r.Err;
  EXPECT_NE(r.Out.find("14x7"), std::string::npos) << r.Out;
}

TEST_F(Zkres, ExtractPackExtractKeepsPicturesAndSounds) {
  TPictureCollection images = SampleList();
  images.Items.emplace_back().Picture = ReadSinglePicture(ImageListWithPictureData(DibPictureData(PaletteDib())));
  WriteFileAtomic(Path("in.dxg"), WriteImageList(images));

  TWaveCollection waves;
  std::vector<uint8_t> samples;
  for (int i = 0; i < 600; i++) samples.push_back(static_cast<uint8_t>(i * 7));
  TWaveCollectionItem& w = waves.Items.emplace_back();
  w.Name = "skid";
  w.Looped = true;
  w.MaxPlayingCount = 4;
  w.Wave.Riff = MakeRiffWave(2, 11025, 16, samples);
  waves.Items.emplace_back().Name = "silent";
  WriteFileAtomic(Path("in.dxw"), WriteWaveList(waves));

  for (const char* kind : {"dxg", "dxw"}) {
    SCOPED_TRACE(kind);
    const std::string in = Path(std::string("in.") + kind), packed = Path(std::string("packed.") + kind);
    const std::string first = Path(std::string("x1_") + kind), second = Path(std::string("x2_") + kind);
    RunResult r = Zk("extract " + in + " " + first);
    ASSERT_EQ(r.Status, 0) << r.Err;
    r = Zk("pack " + first + " " + packed);
    ASSERT_EQ(r.Status, 0) << r.Err;
    r = Zk("extract " + packed + " " + second);
    ASSERT_EQ(r.Status, 0) << r.Err;
    EXPECT_EQ(Slurp(fs::path(first) / "manifest.json"), Slurp(fs::path(second) / "manifest.json"));
  }
  EXPECT_TRUE(fs::exists(dir_ / "x1_dxg" / "000.png"));
  EXPECT_FALSE(fs::exists(dir_ / "x1_dxg" / "001.png")) << "an item without a picture has no file";
  EXPECT_TRUE(fs::exists(dir_ / "x1_dxw" / "000.wav"));

  TPictureCollection packedImages;
  ReadImageListFile(Path("packed.dxg"), packedImages);
  ASSERT_EQ(packedImages.Count(), images.Count());
  EXPECT_EQ(packedImages.ColorTable, images.ColorTable);
  for (int i = 0; i < images.Count(); i++) {
    const TPictureCollectionItem &a = images.Items[i], &b = packedImages.Items[i];
    EXPECT_EQ(a.Name, b.Name);
    EXPECT_EQ(a.Picture.Width, b.Picture.Width);
    EXPECT_EQ(a.Picture.Pixels, b.Picture.Pixels) << "item " << i;
    EXPECT_EQ(a.PatternWidth, b.PatternWidth);
    EXPECT_EQ(a.SkipWidth, b.SkipWidth);
    EXPECT_EQ(a.Transparent, b.Transparent);
    EXPECT_EQ(a.TransparentColor, b.TransparentColor);
    EXPECT_EQ(a.SystemMemory, b.SystemMemory);
  }
  TWaveCollection packedWaves;
  ReadWaveListFile(Path("packed.dxw"), packedWaves);
  ASSERT_EQ(packedWaves.Count(), 2);
  EXPECT_EQ(packedWaves.Items[0].Wave.Samples, samples);
  EXPECT_EQ(packedWaves.Items[0].Wave.Rate, 11025);
  EXPECT_TRUE(packedWaves.Items[0].Looped);
  EXPECT_EQ(packedWaves.Items[0].MaxPlayingCount, 4);
  EXPECT_TRUE(packedWaves.Items[1].Wave.Empty());
}

TEST_F(Zkres, ErrorsAreOneLineNamingTheFile) {
  const std::vector<uint8_t> valid = WriteImageList(SampleList());
  WriteFileAtomic(Path("cut.dxg"), std::vector<uint8_t>(valid.begin(), valid.begin() + valid.size() / 2));
  fs::create_directories(dir_ / "badpack");
  WriteFileAtomic(Path("badpack/manifest.json"), {'{', '"', 'k'});
  fs::create_directories(dir_ / "nopng");
  const std::string manifest = R"({"kind": "imagelist", "items": [{"file": "000.png"}]})";
  WriteFileAtomic(Path("nopng/manifest.json"), std::vector<uint8_t>(manifest.begin(), manifest.end()));

  const struct {
    std::string args, named;
  } cases[] = {
      {"list " + Path("cut.dxg"), Path("cut.dxg")},
      {"list --json " + Path("missing.dxg"), Path("missing.dxg")},
      {"extract " + Path("cut.dxg") + " " + Path("out"), Path("cut.dxg")},
      {"pack " + Path("badpack") + " " + Path("o.dxg"), Path("badpack/manifest.json")},
      {"pack " + Path("nopng") + " " + Path("o.dxg"), Path("nopng/000.png")},
      {"pack " + Path("none") + " " + Path("o.dxg"), Path("none/manifest.json")},
  };
  for (const auto& c : cases) {
    const RunResult r = Zk(c.args);
    EXPECT_EQ(r.Status, 1) << c.args;
    EXPECT_NE(r.Err.find(c.named), std::string::npos) << c.args << ": " << r.Err;
    EXPECT_EQ(std::count(r.Err.begin(), r.Err.end(), '\n'), 1) << c.args << ": " << r.Err;
  }
  EXPECT_FALSE(fs::exists(dir_ / "o.dxg"));
}
