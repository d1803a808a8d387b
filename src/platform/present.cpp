// Presenting the back surface without a window: RGB565 to the window's 32-bit pixels, and the
// comparison with the last presented frame that lets an unchanged frame go unpresented.
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "platform/platform.h"

namespace {

constexpr uint32_t Widen5(uint32_t v) { return (v << 3) | (v >> 2); }
constexpr uint32_t Widen6(uint32_t v) { return (v << 2) | (v >> 4); }

// The layouts SIMD writes: 0xAARRGGBB, and 0xAABBGGRR with red and blue swapped.
enum class SimdLayout { None, Xrgb, Xbgr };

SimdLayout SimdLayoutOf(const TPixelLayout32& l) {
  if (l.GShift != 8 || l.AShift != 24) return SimdLayout::None;
  if (l.RShift == 16 && l.BShift == 0) return SimdLayout::Xrgb;
  if (l.RShift == 0 && l.BShift == 16) return SimdLayout::Xbgr;
  return SimdLayout::None;
}

#if defined(__SSE2__)
// Eight pixels at a time in 16-bit lanes: widen each channel, then interleave (G<<8 | B) with
// (0xFF<<8 | R) to get B, G, R, A bytes, i.e. 0xAARRGGBB (or R, G, B, A when SwapRB).
template <bool SwapRB>
void ConvertSimd(const uint16_t* src, uint32_t* dst, size_t count) {
  const __m128i mask6 = _mm_set1_epi16(0x3F), mask5 = _mm_set1_epi16(0x1F);
  const __m128i alpha = _mm_set1_epi16(static_cast<short>(0xFF00));
  size_t i = 0;
  for (; i + 8 <= count; i += 8) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i));
    const __m128i r5 = _mm_srli_epi16(v, 11);
    const __m128i g6 = _mm_and_si128(_mm_srli_epi16(v, 5), mask6);
    const __m128i b5 = _mm_and_si128(v, mask5);
    const __m128i r8 = _mm_or_si128(_mm_slli_epi16(r5, 3), _mm_srli_epi16(r5, 2));
    const __m128i g8 = _mm_or_si128(_mm_slli_epi16(g6, 2), _mm_srli_epi16(g6, 4));
    const __m128i b8 = _mm_or_si128(_mm_slli_epi16(b5, 3), _mm_srli_epi16(b5, 2));
    const __m128i gb = _mm_or_si128(_mm_slli_epi16(g8, 8), SwapRB ? r8 : b8);
    const __m128i ar = _mm_or_si128(alpha, SwapRB ? b8 : r8);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i), _mm_unpacklo_epi16(gb, ar));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i + 4), _mm_unpackhi_epi16(gb, ar));
  }
  constexpr int rShift = SwapRB ? 0 : 16, bShift = SwapRB ? 16 : 0;
  for (; i < count; ++i) {
    const uint32_t p = src[i];
    dst[i] = 0xFF000000u | (Widen5(p >> 11) << rShift) | (Widen6((p >> 5) & 0x3F) << 8) | (Widen5(p & 0x1F) << bShift);
  }
}
#endif

}  // namespace

#if defined(__SSE2__)
constexpr bool HaveSimd = true;
#else
constexpr bool HaveSimd = false;
#endif

TRgb565Converter::TRgb565Converter(const TPixelLayout32& layout)
    : simd_(HaveSimd ? static_cast<int>(SimdLayoutOf(layout)) : 0) {
  if (simd_ != static_cast<int>(SimdLayout::None)) return;
  lut_.resize(65536);
  for (uint32_t p = 0; p < 65536; ++p) {
    lut_[p] = (0xFFu << layout.AShift) | (Widen5(p >> 11) << layout.RShift) |
              (Widen6((p >> 5) & 0x3F) << layout.GShift) | (Widen5(p & 0x1F) << layout.BShift);
  }
}

void TRgb565Converter::Convert(const uint16_t* src, uint32_t* dst, size_t count) const {
#if defined(__SSE2__)
  if (simd_ == static_cast<int>(SimdLayout::Xrgb)) return ConvertSimd<false>(src, dst, count);
  if (simd_ == static_cast<int>(SimdLayout::Xbgr)) return ConvertSimd<true>(src, dst, count);
#endif
  const uint32_t* lut = lut_.data();
  for (size_t i = 0; i < count; ++i) dst[i] = lut[src[i]];
}

TFrameChanges::Rows TFrameChanges::Update(const TDirectDrawSurface& frame) {
  const int w = frame.Width(), h = frame.Height();
  const size_t rowBytes = static_cast<size_t>(w) * sizeof(uint16_t);
  if (!valid_ || w != width_ || h != height_) {
    width_ = w;
    height_ = h;
    last_.assign(frame.Pixels(), frame.Pixels() + static_cast<size_t>(w) * h);
    valid_ = true;
    return Rows{0, h};
  }
  Rows rows{0, h};
  while (rows.First < h && std::memcmp(frame.Row(rows.First), &last_[static_cast<size_t>(rows.First) * w], rowBytes) == 0)
    ++rows.First;
  if (rows.First == h) return Rows{h, h};
  while (std::memcmp(frame.Row(rows.End - 1), &last_[static_cast<size_t>(rows.End - 1) * w], rowBytes) == 0) --rows.End;
  std::memcpy(&last_[static_cast<size_t>(rows.First) * w], frame.Row(rows.First),
              rowBytes * static_cast<size_t>(rows.End - rows.First));
  return rows;
}

bool ParseRendererChoice(std::string_view text, TRendererChoice& out) {
  if (text == "auto") out = TRendererChoice::Auto;
  else if (text == "gpu") out = TRendererChoice::Gpu;
  else if (text == "software") out = TRendererChoice::Software;
  else return false;
  return true;
}
