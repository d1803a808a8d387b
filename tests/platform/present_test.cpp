// Presenting frames: the conversion of the back surface to the window's pixels, the rows found
// changed since the last presented frame, and the choice of renderer.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "platform/platform.h"
#include "platform/sys_local.h"

namespace {

// The reference widening: the channel's bits repeated to fill 8 bits, as SDL and the picture
// decoder widen them, so that the game shows exactly what it drew.
uint32_t Widened(uint32_t v, int bits) {
  uint32_t out = 0;
  for (int i = 0; i < 8; ++i) out = (out << 1) | ((v >> (bits - 1 - i % bits)) & 1);
  return out;
}

uint32_t Expected(uint16_t p, const TPixelLayout32& l) {
  return (0xFFu << l.AShift) | (Widened(p >> 11, 5) << l.RShift) | (Widened((p >> 5) & 0x3F, 6) << l.GShift) |
         (Widened(p & 0x1F, 5) << l.BShift);
}

TEST(Rgb565Conversion, EveryPixelInEveryLayoutAtAnyLengthAndOffset) {
  const struct {
    const char* name;
    TPixelLayout32 layout;
  } layouts[] = {
      {"0xAARRGGBB", {16, 8, 0, 24}},
      {"0xAABBGGRR", {0, 8, 16, 24}},
      {"0xRRGGBBAA", {24, 16, 8, 0}},
  };
  const struct {
    uint16_t pixel;
    uint32_t xrgb;
  } anchors[] = {{0x0000, 0xFF000000}, {0xFFFF, 0xFFFFFFFF}, {RGB565(32, 52, 8), 0xFF213408}, {0x8410, 0xFF848284}};
  for (const auto& a : anchors) EXPECT_EQ(Expected(a.pixel, {}), a.xrgb) << std::hex << a.pixel;

  std::vector<uint16_t> all(65536 + 8);
  for (size_t i = 0; i < all.size(); ++i) all[i] = static_cast<uint16_t>(i * 40503u);  // every value, shuffled
  for (const auto& l : layouts) {
    SCOPED_TRACE(l.name);
    const TRgb565Converter converter(l.layout);
    // Lengths around the eight pixels a SIMD step takes, from unaligned starts; nothing is
    // written past the end.
    for (const size_t offset : {0, 1, 3}) {
      for (const size_t count : {0, 1, 7, 8, 9, 15, 800, 65536}) {
        SCOPED_TRACE(testing::Message() << "offset " << offset << ", count " << count);
        std::vector<uint32_t> out(count + 1, 0xDEADBEEF);
        converter.Convert(all.data() + offset, out.data(), count);
        int wrong = 0;
        for (size_t i = 0; i < count && wrong < 3; ++i) {
          const uint16_t p = all[offset + i];
          if (out[i] != Expected(p, l.layout)) {
            ++wrong;
            ADD_FAILURE() << std::hex << "pixel 0x" << p << " became 0x" << out[i] << ", not 0x" << Expected(p, l.layout);
          }
        }
        EXPECT_EQ(out[count], 0xDEADBEEF);
      }
    }
  }
}

TEST(FrameChanges, FindsTheBandOfChangedRows) {
  TDirectDrawSurface frame(6, 10);
  TFrameChanges changes;
  const auto rows = [&] {
    const TFrameChanges::Rows r = changes.Update(frame);
    return std::make_pair(r.First, r.End);
  };
  using Band = std::pair<int, int>;
  EXPECT_EQ(rows(), Band(0, 10)) << "the first frame is all new";
  EXPECT_TRUE(changes.Update(frame).Empty()) << "the same frame again";

  frame.Row(4)[5] = 1;
  EXPECT_EQ(rows(), Band(4, 5));
  EXPECT_TRUE(changes.Update(frame).Empty()) << "the changed frame is now the last one";

  frame.Row(0)[0] = 2;
  frame.Row(9)[0] = 2;
  EXPECT_EQ(rows(), Band(0, 10));
  frame.Row(2)[1] = 3;
  frame.Row(7)[1] = 3;
  EXPECT_EQ(rows(), Band(2, 8));

  changes.Invalidate();
  EXPECT_EQ(rows(), Band(0, 10)) << "after the window's picture was spoilt";
  frame.SetSize(6, 11);
  EXPECT_EQ(rows(), Band(0, 11)) << "after a change of size";
}

TEST(RendererChoice, OptionValuesAndSoftwareDrivers) {
  const struct {
    const char* text;
    bool valid;
    TRendererChoice choice;
  } options[] = {
      {"auto", true, TRendererChoice::Auto},   {"gpu", true, TRendererChoice::Gpu},
      {"software", true, TRendererChoice::Software}, {"GPU", false, {}}, {"", false, {}}, {"soft", false, {}},
  };
  for (const auto& o : options) {
    TRendererChoice choice = TRendererChoice::Auto;
    EXPECT_EQ(ParseRendererChoice(o.text, choice), o.valid) << o.text;
    if (o.valid) {
      EXPECT_EQ(choice, o.choice) << o.text;
    }
  }

  const struct {
    const char* driver;
    bool software;
  } drivers[] = {
      {"llvmpipe (LLVM 15.0.6, 256 bits)", true},
      {"softpipe", true},
      {"Mesa DRI Intel(R) HD Graphics (swrast)", true},
      {"Software Rasterizer", true},
      {"", true},  // no OpenGL at all
      {"Mesa Intel(R) UHD Graphics 620 (KBL GT2)", false},
      {"AMD Radeon RX 6600 (radeonsi, navi23, LLVM 15.0.6, DRM 3.49, 6.1.0)", false},
      {"NVIDIA GeForce GTX 1060/PCIe/SSE2", false},
  };
  for (const auto& d : drivers) EXPECT_EQ(IsSoftwareRasteriser(d.driver), d.software) << d.driver;
}

}  // namespace
