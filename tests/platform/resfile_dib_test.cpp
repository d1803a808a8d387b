// Pictures decoded from DIBs that ImageMagick wrote, compared pixel for pixel with ImageMagick's
// own decoding of the same files: every depth, both header sizes, bottom-up and top-down.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "platform/platform.h"
#include "resfile_builder.h"

namespace {

namespace fs = std::filesystem;

uint32_t Le32(const std::vector<uint8_t>& b, size_t at) {
  return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<uint32_t>(b[at + 3]) << 24);
}
void SetLe32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; i++) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

// Standard output of a shell command; sets `ok` to whether it exited with 0.
std::vector<uint8_t> RunCommand(const std::string& command, bool& ok) {
  std::vector<uint8_t> out;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) {
    ok = false;
    return out;
  }
  uint8_t buf[4096];
  for (size_t n; (n = fread(buf, 1, sizeof buf, pipe)) > 0;) out.insert(out.end(), buf, buf + n);
  ok = pclose(pipe) == 0;
  return out;
}

bool HaveImageMagick() {
  bool ok = false;
  const std::vector<uint8_t> version = RunCommand("convert -version 2>/dev/null", ok);
  return ok && std::string(version.begin(), version.end()).find("ImageMagick") != std::string::npos;
}

std::vector<uint8_t> ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

// How the test turns the BMP file ImageMagick wrote into the stored DIB.
enum class Shape {
  AsWritten,      // drop the 14-byte file header
  V5ToBitfields,  // a 124-byte header becomes the 40-byte one followed by the three colour masks
  V5ToPlainRgb,   // the same for 5-5-5 pixels, which need no masks
};

std::vector<uint8_t> StoredDib(const std::vector<uint8_t>& file, Shape shape) {
  const uint32_t pixelOffset = Le32(file, 10);
  std::vector<uint8_t> dib(file.begin() + 14, file.end());
  if (shape == Shape::AsWritten) return dib;
  std::vector<uint8_t> out(dib.begin(), dib.begin() + 40);
  SetLe32(out, 0, 40);
  if (shape == Shape::V5ToBitfields) {
    out.insert(out.end(), dib.begin() + 40, dib.begin() + 52);
  } else {
    EXPECT_EQ(Le32(dib, 40), 0x7C00u);
    SetLe32(out, 16, 0);
  }
  out.insert(out.end(), file.begin() + pixelOffset, file.end());
  return out;
}

// The same uncompressed DIB (40-byte header) with its rows stored top row first.
std::vector<uint8_t> TopDown(const std::vector<uint8_t>& dib) {
  const int32_t width = static_cast<int32_t>(Le32(dib, 4)), height = static_cast<int32_t>(Le32(dib, 8));
  const uint32_t bpp = dib[14], compression = Le32(dib, 16), colorsUsed = Le32(dib, 32);
  const size_t palette = (colorsUsed != 0 ? colorsUsed : (bpp <= 8 ? 1u << bpp : 0)) * 4;
  const size_t start = 40 + (compression == 3 ? 12 : 0) + palette;
  const size_t stride = (static_cast<size_t>(width) * bpp + 31) / 32 * 4;
  std::vector<uint8_t> out(dib.begin(), dib.begin() + static_cast<ptrdiff_t>(start));
  SetLe32(out, 8, static_cast<uint32_t>(-height));
  for (int32_t row = height - 1; row >= 0; row--) {
    const auto from = dib.begin() + static_cast<ptrdiff_t>(start + row * stride);
    out.insert(out.end(), from, from + static_cast<ptrdiff_t>(stride));
  }
  return out;
}

class DibFromImageMagick : public ::testing::Test {
protected:
  void SetUp() override {
    if (!HaveImageMagick()) GTEST_SKIP() << "ImageMagick's convert is not installed";
    dir_ = fs::temp_directory_path() / ("zk_dib_" + std::to_string(getpid()));
    fs::create_directories(dir_);
    bool ok = false;
    // A photo-like picture with an odd width (row padding) and many colours.
    RunCommand("convert rose: -crop 37x23+5+5 +repage '" + (dir_ / "base.png").string() + "'", ok);
    ASSERT_TRUE(ok);
  }
  void TearDown() override {
    if (!dir_.empty()) fs::remove_all(dir_);
  }
  fs::path dir_;
};

}  // namespace

TEST_F(DibFromImageMagick, DecodedPixelsEqualImageMagicksDecoding) {
  const struct {
    const char* name;
    const char* format;   // ImageMagick's coder: BMP2 writes the 12-byte header, BMP3 the 40-byte one
    const char* options;
    Shape shape;
    bool topDown;
    uint32_t headerSize;
    int bitsPerPixel;
  } cases[] = {
      {"core 1-bit", "BMP2", "-type Bilevel", Shape::AsWritten, false, 12, 1},
      {"core 4-bit", "BMP2", "-colors 16 -type Palette", Shape::AsWritten, false, 12, 4},
      {"core 8-bit", "BMP2", "-colors 200 -type Palette", Shape::AsWritten, false, 12, 8},
      {"core 24-bit", "BMP2", "-type TrueColor", Shape::AsWritten, false, 12, 24},
      {"info 1-bit", "BMP3", "-type Bilevel", Shape::AsWritten, false, 40, 1},
      {"info 4-bit", "BMP3", "-colors 16 -type Palette -compress None", Shape::AsWritten, false, 40, 4},
      {"info 4-bit, 3 colours", "BMP3", "-colors 3 -type Palette -compress None", Shape::AsWritten, false, 40, 4},
      {"info 8-bit", "BMP3", "-colors 200 -type Palette -compress None", Shape::AsWritten, false, 40, 8},
      {"info 8-bit run-length", "BMP3", "-colors 200 -type Palette -compress RLE", Shape::AsWritten, false, 40, 8},
      {"info 16-bit 5-6-5 bitfields", "BMP", "-define bmp:subtype=RGB565", Shape::V5ToBitfields, false, 40, 16},
      {"info 16-bit 5-5-5 bitfields", "BMP", "-define bmp:subtype=RGB555", Shape::V5ToBitfields, false, 40, 16},
      {"info 16-bit 5-5-5 plain", "BMP", "-define bmp:subtype=RGB555", Shape::V5ToPlainRgb, false, 40, 16},
      {"info 24-bit", "BMP3", "-type TrueColor", Shape::AsWritten, false, 40, 24},
      {"info 32-bit", "BMP3", "-alpha set -channel A -fx 0.5 +channel -define bmp3:alpha=true", Shape::AsWritten, false, 40, 32},
      {"top-down 1-bit", "BMP3", "-type Bilevel", Shape::AsWritten, true, 40, 1},
      {"top-down 8-bit", "BMP3", "-colors 200 -type Palette -compress None", Shape::AsWritten, true, 40, 8},
      {"top-down 24-bit", "BMP3", "-type TrueColor", Shape::AsWritten, true, 40, 24},
      {"top-down 16-bit", "BMP", "-define bmp:subtype=RGB565", Shape::V5ToBitfields, true, 40, 16},
  };
  int n = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const fs::path bmp = dir_ / ("case" + std::to_string(n++) + ".bmp");
    bool ok = false;
    RunCommand("convert '" + (dir_ / "base.png").string() + "' " + c.options + " " + c.format + ":'" + bmp.string() + "'", ok);
    ASSERT_TRUE(ok);
    const std::vector<uint8_t> reference = RunCommand("convert '" + bmp.string() + "' -depth 8 rgb:-", ok);
    ASSERT_TRUE(ok);

    std::vector<uint8_t> dib = StoredDib(ReadFile(bmp), c.shape);
    if (c.topDown) dib = TopDown(dib);
    ASSERT_EQ(Le32(dib, 0), c.headerSize);

    const std::vector<uint8_t> file = ImageListWithPictureData(DibPictureData(dib));
    const TPicture picture = ReadSinglePicture(file);
    EXPECT_EQ(picture.Width, 37);
    EXPECT_EQ(picture.Height, 23);
    EXPECT_EQ(picture.BitsPerPixel, c.bitsPerPixel);
    ASSERT_EQ(reference.size(), picture.Pixels.size() * 3);
    int differing = 0;
    for (size_t i = 0; i < picture.Pixels.size(); i++) {
      const uint32_t expected = (reference[i * 3] << 16) | (reference[i * 3 + 1] << 8) | reference[i * 3 + 2];
      if (picture.Pixels[i] != expected && differing++ < 3) {
        ADD_FAILURE() << "pixel " << i % 37 << "," << i / 37 << ": " << std::hex << picture.Pixels[i]
                      << " where ImageMagick has " << expected;
      }
    }
    EXPECT_EQ(differing, 0);

    // The game's reading (24-bit pictures straight to the surface format) draws the same pixels.
    TPictureCollection game;
    ReadImageList(file.data(), file.size(), "test.dxg", game, TPictureKeeping::SurfaceOnly);
    ASSERT_EQ(game.Count(), 1);
    const TPictureCollectionItem& item = game.Items[0];
    EXPECT_TRUE(item.SourceReleased());
    EXPECT_EQ(item.Picture.BitsPerPixel, c.bitsPerPixel);
    TDirectDrawSurface drawn(37, 23);
    drawn.Fill(0);  // where the colour key (black) leaves it, the picture is black too
    item.Draw(&drawn, 0, 0, 0);
    int differing565 = 0;
    for (size_t i = 0; i < picture.Pixels.size(); i++) differing565 += drawn.Pixels()[i] != RGB888To565(picture.Pixels[i]);
    EXPECT_EQ(differing565, 0);
  }
}
