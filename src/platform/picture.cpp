// Image-list items: pattern layout, preparation for the 16-bit surface, and the three pattern
// drawing operations (keyed copy, stretched blend, scaled rotation).
#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define ZK_X86_AVX2 1
#endif

#include "platform/draw_pixel.h"
#include "platform/platform.h"

namespace {

// ---------------------------------------------------------------------------------------------
// Pattern grid
// ---------------------------------------------------------------------------------------------

struct PatternGrid {
  int64_t pw = 0, ph = 0;  // effective pattern size
  int64_t sw = 0, sh = 0;  // gaps between cells, negative stored values read as 0
  int64_t columns = 0, rows = 0;
};

// Cells that fit along one axis: (extent + skip) div (pattern + skip), 0 for degenerate input.
int64_t CellsAlong(int64_t extent, int64_t pattern, int64_t skip) {
  if (extent <= 0 || pattern <= 0) return 0;
  return (extent + skip) / (pattern + skip);
}

PatternGrid GridOf(const TPictureCollectionItem& item) {
  PatternGrid g;
  g.pw = item.Width();
  g.ph = item.Height();
  g.sw = std::max<int64_t>(item.SkipWidth, 0);
  g.sh = std::max<int64_t>(item.SkipHeight, 0);
  g.columns = CellsAlong(item.Picture.Width, g.pw, g.sw);
  g.rows = CellsAlong(item.Picture.Height, g.ph, g.sh);
  return g;
}

int64_t CountOf(const PatternGrid& g) { return std::min<int64_t>(g.columns * g.rows, INT_MAX); }

// ---------------------------------------------------------------------------------------------
// Clipping
// ---------------------------------------------------------------------------------------------

// The part of the rectangle (left, top, width, height) inside `area`; computed in 64 bits so that
// far-off positions cannot overflow. Empty (Width() <= 0 or Height() <= 0) when nothing shows.
TRect ClipToArea(int64_t left, int64_t top, int64_t width, int64_t height, const TRect& area) {
  const int64_t l = std::max<int64_t>(left, area.Left), t = std::max<int64_t>(top, area.Top);
  const int64_t r = std::min<int64_t>(left + width, area.Right), b = std::min<int64_t>(top + height, area.Bottom);
  if (l >= r || t >= b) return TRect{};
  return TRect{static_cast<int>(l), static_cast<int>(t), static_cast<int>(r), static_cast<int>(b)};
}

TRect ClipToSurface(int64_t left, int64_t top, int64_t width, int64_t height, const TDirectDrawSurface& s) {
  return ClipToArea(left, top, width, height, s.ClientRect());
}

// `area` limited to the surface.
TRect AreaOnSurface(const TRect& area, const TDirectDrawSurface& s) {
  return TRect{std::max(area.Left, 0), std::max(area.Top, 0), std::min(area.Right, s.Width()),
               std::min(area.Bottom, s.Height())};
}

bool IsEmpty(const TRect& r) { return r.Width() <= 0 || r.Height() <= 0; }

// ---------------------------------------------------------------------------------------------
// Colour-key runs
// ---------------------------------------------------------------------------------------------

using Span = TPictureCollectionItem::Span;
constexpr uint32_t kSpanMax = UINT16_MAX;

// Appends "skip keyed pixels, then count opaque ones", splitting values beyond 16 bits.
void AppendSpan(std::vector<Span>& spans, uint32_t skip, uint32_t count) {
  while (skip > kSpanMax) {
    spans.push_back(Span{static_cast<uint16_t>(kSpanMax), 0});
    skip -= kSpanMax;
  }
  const uint32_t first = std::min(count, kSpanMax);
  spans.push_back(Span{static_cast<uint16_t>(skip), static_cast<uint16_t>(first)});
  for (count -= first; count > 0;) {
    const uint32_t part = std::min(count, kSpanMax);
    spans.push_back(Span{0, static_cast<uint16_t>(part)});
    count -= part;
  }
}

// Runs of one row of `width` pixels; trailing keyed pixels produce no span.
void AppendRowSpans(std::vector<Span>& spans, const uint16_t* row, int width, uint16_t key) {
  int x = 0;
  while (x < width) {
    const int keyedStart = x;
    while (x < width && row[x] == key) ++x;
    if (x == width) break;
    const int opaqueStart = x;
    while (x < width && row[x] != key) ++x;
    AppendSpan(spans, static_cast<uint32_t>(opaqueStart - keyedStart), static_cast<uint32_t>(x - opaqueStart));
  }
}

// Whether the w x h block at `origin` (rows `pitch` pixels apart) holds the key colour.
bool HoldsKey(const uint16_t* origin, int pitch, int w, int h, uint16_t key) {
  for (int y = 0; y < h; ++y) {
    const uint16_t* row = origin + static_cast<size_t>(y) * pitch;
    if (std::find(row, row + w, key) != row + w) return true;
  }
  return false;
}

// Copies n >= 1 pixels inline: runs are short, and a library call per run costs more than the
// copy. Overlapping fixed-size moves cover every length.
inline void CopyPixels(uint16_t* d, const uint16_t* s, size_t n) {
  if (n >= 8) {
    for (size_t i = 0; i + 8 < n; i += 8) std::memcpy(d + i, s + i, 16);
    std::memcpy(d + n - 8, s + n - 8, 16);
  } else if (n >= 4) {
    std::memcpy(d, s, 8);
    std::memcpy(d + n - 4, s + n - 4, 8);
  } else if (n >= 2) {
    std::memcpy(d, s, 4);
    std::memcpy(d + n - 2, s + n - 2, 4);
  } else {
    *d = *s;
  }
}

// Copies the opaque runs of one pattern row, the row lying wholly on the surface.
void CopyRowSpans(uint16_t* dst, const uint16_t* src, const Span* span, const Span* end) {
  for (; span != end; ++span) {
    dst += span->Skip;
    src += span->Skip;
    if (span->Count != 0) CopyPixels(dst, src, span->Count);
    dst += span->Count;
    src += span->Count;
  }
}

// The same for a row whose left edge is at surface column x0, keeping only columns in
// [clipL, clipR).
void CopyRowSpansClipped(uint16_t* dstRow, const uint16_t* srcRow, const Span* span, const Span* end, int64_t x0,
                         int64_t clipL, int64_t clipR) {
  int64_t sx = 0;
  for (; span != end; ++span) {
    sx += span->Skip;
    const int64_t runL = x0 + sx, runR = runL + span->Count;
    const int64_t l = std::max(runL, clipL), r = std::min(runR, clipR);
    if (l < r) CopyPixels(dstRow + l, srcRow + (sx + (l - runL)), static_cast<size_t>(r - l));
    sx += span->Count;
    if (runR >= clipR) return;
  }
}

// ---------------------------------------------------------------------------------------------
// Scaled rotation helpers
// ---------------------------------------------------------------------------------------------

constexpr int kFixBits = 16;
constexpr double kFixOne = 1 << kFixBits;

// Doubles converted to 16.16 fixed point, saturated far outside any pattern so that garbage input
// stays defined (the in-pattern test rejects such values).
int64_t ToFixed(double v) {
  constexpr double kLimit = 1e12;
  v = std::clamp(v, -kLimit, kLimit) * kFixOne;
  return static_cast<int64_t>(v >= 0 ? v + 0.5 : v - 0.5);
}

// One source axis of a rotation. Along the current destination row the source coordinate at
// column X is A + Step * X; A grows by RowStep from one row to the next. The axis is inside the
// pattern while 0 <= A + Step * X < Limit.
class SourceAxis {
public:
  SourceAxis(double a, double rowStep, double step, double limit)
      : a_(a), rowStep_(rowStep), step_(step), limit_(limit) {
    if (step == 0) return;
    zeroAt_ = -a / step;
    zeroRowStep_ = -rowStep / step;
    lowOffset_ = std::min(0.0, limit / step);
    highOffset_ = std::max(0.0, limit / step);
  }
  double At(double column) const { return a_ + step_ * column; }
  double Step() const { return step_; }
  void NextRow() {
    a_ += rowStep_;
    zeroAt_ += zeroRowStep_;
  }
  // Narrows the real interval [from, to) to where the axis is inside the pattern, give or take a
  // hair: an estimate that the exact fixed-point test then trims.
  void Narrow(double& from, double& to) const {
    constexpr double kHair = 1.0 / 256;
    if (step_ == 0) {
      if (!(a_ >= 0 && a_ < limit_)) to = from;
      return;
    }
    from = std::max(from, zeroAt_ + lowOffset_ - kHair);
    to = std::min(to, zeroAt_ + highOffset_ + kHair);
  }

private:
  double a_, rowStep_, step_, limit_;
  double zeroAt_ = 0, zeroRowStep_ = 0;  // column where the coordinate is 0
  double lowOffset_ = 0, highOffset_ = 0;
};

// Smallest integer >= v, for 0 <= v < 2^31 (without a library call).
int CeilNonNegative(double v) {
  const int i = static_cast<int>(v);
  return i + (i < v);
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Geometry
// ---------------------------------------------------------------------------------------------

int TPictureCollectionItem::Width() const { return PatternWidth > 0 ? PatternWidth : Picture.Width; }
int TPictureCollectionItem::Height() const { return PatternHeight > 0 ? PatternHeight : Picture.Height; }

int TPictureCollectionItem::PatternCount() const { return static_cast<int>(CountOf(GridOf(*this))); }

TRect TPictureCollectionItem::PatternRect(int n) const {
  const PatternGrid g = GridOf(*this);
  if (n < 0 || n >= CountOf(g)) return TRect{};
  const int64_t left = (g.pw + g.sw) * (n % g.columns), top = (g.ph + g.sh) * (n / g.columns);
  // Every cell lies inside the picture, so these fit an int.
  return Bounds(static_cast<int>(left), static_cast<int>(top), static_cast<int>(g.pw), static_cast<int>(g.ph));
}

// ---------------------------------------------------------------------------------------------
// Preparation
// ---------------------------------------------------------------------------------------------

void TPictureCollectionItem::Prepare() {
  if (sourceReleased_) return;  // prepared from the source before it went, for the same surface format
  Unprepare();
  const TPicture& pic = Picture;
  if (pic.Empty() || pic.Width <= 0 || pic.Height <= 0) return;
  const size_t pixelCount = static_cast<size_t>(pic.Width) * static_cast<size_t>(pic.Height);
  // Run and row indexes are 32-bit: each pixel yields at most one of either.
  if (pic.Pixels.size() != pixelCount || pixelCount >= UINT32_MAX / 2) return;
  const PatternGrid grid = GridOf(*this);
  const int count = static_cast<int>(CountOf(grid));
  if (count <= 0) return;

  // One pixel more than the picture: the 32-bit gathers of the rotation may read past the last.
  pixels565_.resize(pixelCount + 1);
  std::transform(pic.Pixels.begin(), pic.Pixels.end(), pixels565_.begin(), RGB888To565);
  colorKey565_ = RGB888To565(ColorRefToRGB888(TransparentColor));

  patterns_.resize(static_cast<size_t>(count));
  rowSpanStart_.reserve(static_cast<size_t>(count) * grid.ph + 1);
  for (int n = 0; n < count; ++n) {
    PreparedPattern& p = patterns_[n];
    p.Src = PatternRect(n);
    p.FirstRow = static_cast<uint32_t>(rowSpanStart_.size());
    const uint16_t* origin = pixels565_.data() + static_cast<size_t>(p.Src.Top) * pic.Width + p.Src.Left;
    for (int y = 0; y < p.Src.Height(); ++y) {
      rowSpanStart_.push_back(static_cast<uint32_t>(spans_.size()));
      AppendRowSpans(spans_, origin + static_cast<size_t>(y) * pic.Width, p.Src.Width(), colorKey565_);
    }
    p.Opaque = !Transparent || !HoldsKey(origin, pic.Width, p.Src.Width(), p.Src.Height(), colorKey565_);
  }
  rowSpanStart_.push_back(static_cast<uint32_t>(spans_.size()));
  prepared_ = true;
}

void TPictureCollectionItem::ReleaseSource() {
  if (!prepared_) return;
  Picture.Pixels = {};
  sourceReleased_ = true;
}

void TPictureCollectionItem::Unprepare() {
  prepared_ = false;
  pixels565_ = {};
  patterns_ = {};
  rowSpanStart_ = {};
  spans_ = {};
}

// The prepared pattern `index` when drawing can happen at all, else null.
static const TPictureCollectionItem::PreparedPattern* DrawablePattern(
    bool prepared, const std::vector<TPictureCollectionItem::PreparedPattern>& patterns,
    const TDirectDrawSurface* dest, int index) {
  if (!prepared || dest == nullptr || index < 0 || static_cast<size_t>(index) >= patterns.size()) return nullptr;
  if (dest->Width() <= 0 || dest->Height() <= 0) return nullptr;
  return &patterns[index];
}

// ---------------------------------------------------------------------------------------------
// Draw: copy with colour key
// ---------------------------------------------------------------------------------------------

bool TPictureCollectionItem::PatternOpaque(int index) const {
  return prepared_ && index >= 0 && static_cast<size_t>(index) < patterns_.size() && patterns_[index].Opaque;
}

void TPictureCollectionItem::Draw(TDirectDrawSurface* dest, int x, int y, int index) const {
  if (dest != nullptr) Draw(dest, x, y, index, dest->ClientRect());
}

void TPictureCollectionItem::Draw(TDirectDrawSurface* dest, int x, int y, int index, const TRect& area) const {
  const PreparedPattern* p = DrawablePattern(prepared_, patterns_, dest, index);
  if (p == nullptr) return;
  const int pw = p->Src.Width(), ph = p->Src.Height();
  const TRect clip = ClipToArea(x, y, pw, ph, AreaOnSurface(area, *dest));
  if (IsEmpty(clip)) return;

  const int pitch = Picture.Width;
  const uint16_t* origin = pixels565_.data() + static_cast<size_t>(p->Src.Top) * pitch + p->Src.Left;
  const bool wholeRows = clip.Left == x && clip.Width() == pw;
  const Span* spans = spans_.data();
  const uint32_t* rowStart = rowSpanStart_.data() + p->FirstRow;
  for (int dy = clip.Top; dy < clip.Bottom; ++dy) {
    const int row = dy - y;
    const uint16_t* srcRow = origin + static_cast<size_t>(row) * pitch;
    uint16_t* dstRow = dest->Row(dy);
    const Span* first = spans + rowStart[row];
    const Span* end = spans + rowStart[row + 1];
    if (p->Opaque)
      CopyPixels(dstRow + clip.Left, srcRow + (clip.Left - x), static_cast<size_t>(clip.Width()));
    else if (wholeRows)
      CopyRowSpans(dstRow + x, srcRow, first, end);
    else
      CopyRowSpansClipped(dstRow, srcRow, first, end, x, clip.Left, clip.Right);
  }
}

// ---------------------------------------------------------------------------------------------
// DrawBlended: nearest-neighbour stretch with opacity
// ---------------------------------------------------------------------------------------------

namespace {

// Nearest-neighbour stepping along one axis when `dstSize` pixels cover `srcSize`: destination
// pixel i reads source pixel floor((i + 1/2) * srcSize / dstSize), kept exactly as a whole part
// and a remainder over 2 * dstSize, so that ties land where they should at every scale.
struct StretchStep {
  int64_t pos, rem;        // current source pixel and remainder
  int64_t whole, frac, den;  // advance per destination pixel: whole + frac / den
};

inline void Advance(StretchStep& s) {
  s.pos += s.whole;
  s.rem += s.frac;
  if (s.rem >= s.den) s.rem -= s.den, ++s.pos;
}

StretchStep StretchFrom(int64_t i, int64_t srcSize, int64_t dstSize) {
  using Wide = __int128;  // i and dstSize may each approach 2^32 for far-off destination rectangles
  const Wide num = Wide(2 * i + 1) * srcSize, den = Wide(2) * dstSize;
  return StretchStep{static_cast<int64_t>(num / den), static_cast<int64_t>(num % den), srcSize / dstSize,
                     2 * (srcSize % dstSize), 2 * dstSize};
}

// Destination columns are handled in runs of at most this many, whose source columns are worked
// out once per drawing and shared by every row.
constexpr int kColumnRun = 512;

// out[i] = src[columns[i]].
void GatherColumns(uint16_t* out, const uint16_t* src, const int32_t* columns, int n) {
  for (int i = 0; i < n; ++i) out[i] = src[columns[i]];
}

#if defined(__SSE2__)
// Blend565 on eight pixels: the same 32-bit arithmetic, four lanes at a time.
inline __m128i Blend8(__m128i s, __m128i d, __m128i a16) {
  const __m128i mask = _mm_set1_epi32(static_cast<int>(kSpread565Mask)), zero = _mm_setzero_si128();
  const auto half = [&](__m128i s32, __m128i d32) {
    const __m128i sp = _mm_and_si128(_mm_or_si128(s32, _mm_slli_epi32(s32, 16)), mask);
    const __m128i dp = _mm_and_si128(_mm_or_si128(d32, _mm_slli_epi32(d32, 16)), mask);
    const __m128i diff = _mm_sub_epi32(sp, dp);
    // diff * a modulo 2^32 from 16-bit products (a < 2^16): the low half's full product plus the
    // high half's low product moved up.
    const __m128i prod = _mm_add_epi32(_mm_mullo_epi16(diff, a16), _mm_slli_epi32(_mm_mulhi_epu16(diff, a16), 16));
    __m128i r = _mm_and_si128(_mm_add_epi32(dp, _mm_srli_epi32(prod, 5)), mask);
    r = _mm_or_si128(r, _mm_srli_epi32(r, 16));
    return _mm_srai_epi32(_mm_slli_epi32(r, 16), 16);  // the low 16 bits, sign-extended for the pack
  };
  return _mm_packs_epi32(half(_mm_unpacklo_epi16(s, zero), _mm_unpacklo_epi16(d, zero)),
                         half(_mm_unpackhi_epi16(s, zero), _mm_unpackhi_epi16(d, zero)));
}
#endif

// Puts the n pixels of `src` onto `dst`: copied when Opaque, else blended with opacity a32; when
// Keyed, pixels equal to `key` leave the destination as it is.
template <bool Keyed, bool Opaque>
void MixRow(uint16_t* dst, const uint16_t* src, int n, uint16_t key, uint32_t a32) {
  int i = 0;
#if defined(__SSE2__)
  const __m128i key8 = _mm_set1_epi16(static_cast<short>(key)), a16 = _mm_set1_epi16(static_cast<short>(a32));
  for (; i + 8 <= n; i += 8) {
    const __m128i s = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i));
    const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(dst + i));
    __m128i out = Opaque ? s : Blend8(s, d, a16);
    if (Keyed) {
      const __m128i keep = _mm_cmpeq_epi16(s, key8);
      out = _mm_or_si128(_mm_and_si128(keep, d), _mm_andnot_si128(keep, out));
    }
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i), out);
  }
#endif
  for (; i < n; ++i) {
    const uint16_t p = src[i];
    if (!Keyed || p != key) dst[i] = Opaque ? p : Blend565(Spread565(p), dst[i], a32);
  }
}

#if defined(ZK_X86_AVX2)
const bool kHaveAvx2 = __builtin_cpu_supports("avx2");

// Blend565 on eight pixels held in 32-bit lanes, the result in the low 16 bits, sign-extended.
__attribute__((target("avx2"))) inline __m256i BlendLanesAvx2(__m256i s32, __m256i d32, __m256i a) {
  const __m256i mask = _mm256_set1_epi32(static_cast<int>(kSpread565Mask));
  const __m256i sp = _mm256_and_si256(_mm256_or_si256(s32, _mm256_slli_epi32(s32, 16)), mask);
  const __m256i dp = _mm256_and_si256(_mm256_or_si256(d32, _mm256_slli_epi32(d32, 16)), mask);
  const __m256i prod = _mm256_mullo_epi32(_mm256_sub_epi32(sp, dp), a);
  __m256i r = _mm256_and_si256(_mm256_add_epi32(dp, _mm256_srli_epi32(prod, 5)), mask);
  r = _mm256_or_si256(r, _mm256_srli_epi32(r, 16));
  return _mm256_srai_epi32(_mm256_slli_epi32(r, 16), 16);
}

// MixRow sixteen pixels at a time, for processors with AVX2 (chosen at run time).
template <bool Keyed, bool Opaque>
__attribute__((target("avx2"))) void MixRowAvx2(uint16_t* dst, const uint16_t* src, int n, uint16_t key, uint32_t a32) {
  const __m256i key16 = _mm256_set1_epi16(static_cast<short>(key)), a = _mm256_set1_epi32(static_cast<int>(a32));
  const __m256i zero = _mm256_setzero_si256();
  int i = 0;
  for (; i + 16 <= n; i += 16) {
    const __m256i s = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + i));
    const __m256i d = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(dst + i));
    __m256i out = s;
    if (!Opaque) {
      // Unpacking and packing both work within 128-bit lanes, so the pixel order comes back.
      out = _mm256_packs_epi32(BlendLanesAvx2(_mm256_unpacklo_epi16(s, zero), _mm256_unpacklo_epi16(d, zero), a),
                               BlendLanesAvx2(_mm256_unpackhi_epi16(s, zero), _mm256_unpackhi_epi16(d, zero), a));
    }
    if (Keyed) out = _mm256_blendv_epi8(out, d, _mm256_cmpeq_epi16(s, key16));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + i), out);
  }
  MixRow<Keyed, Opaque>(dst + i, src + i, n - i, key, a32);
}
#else
constexpr bool kHaveAvx2 = false;
template <bool Keyed, bool Opaque>
void MixRowAvx2(uint16_t* dst, const uint16_t* src, int n, uint16_t key, uint32_t a32) {
  MixRow<Keyed, Opaque>(dst, src, n, key, a32);
}
#endif

using MixRowFn = void (*)(uint16_t*, const uint16_t*, int, uint16_t, uint32_t);
// [avx2][keyed][opaque]
constexpr MixRowFn kMixRows[2][2][2] = {
    {{MixRow<false, false>, MixRow<false, true>}, {MixRow<true, false>, MixRow<true, true>}},
    {{MixRowAvx2<false, false>, MixRowAvx2<false, true>}, {MixRowAvx2<true, false>, MixRowAvx2<true, true>}},
};

}  // namespace

void TPictureCollectionItem::DrawBlended(TDirectDrawSurface* dest, const TRect& destRect, int index, int alpha) const {
  const PreparedPattern* p = DrawablePattern(prepared_, patterns_, dest, index);
  if (p == nullptr || alpha <= 0) return;
  const int64_t dw = static_cast<int64_t>(destRect.Right) - destRect.Left;
  const int64_t dh = static_cast<int64_t>(destRect.Bottom) - destRect.Top;
  if (dw <= 0 || dh <= 0) return;
  const TRect clip = ClipToSurface(destRect.Left, destRect.Top, dw, dh, *dest);
  if (IsEmpty(clip)) return;

  const int pitch = Picture.Width;
  const uint16_t* origin = pixels565_.data() + static_cast<size_t>(p->Src.Top) * pitch + p->Src.Left;
  StretchStep across = StretchFrom(clip.Left - static_cast<int64_t>(destRect.Left), p->Src.Width(), dw);
  const StretchStep firstDown = StretchFrom(clip.Top - static_cast<int64_t>(destRect.Top), p->Src.Height(), dh);
  const bool opaque = alpha >= 255, keyed = Transparent && !p->Opaque;
  const MixRowFn mixRow = kMixRows[kHaveAvx2][keyed][opaque];
  const uint32_t a32 = Alpha32(std::min(alpha, 255));

  int32_t columns[kColumnRun];
  uint16_t pixels[kColumnRun];
  for (int left = clip.Left; left < clip.Right; left += kColumnRun) {
    const int n = std::min(clip.Right - left, kColumnRun);
    for (int i = 0; i < n; ++i, Advance(across)) columns[i] = static_cast<int32_t>(across.pos);
    StretchStep down = firstDown;
    for (int dy = clip.Top; dy < clip.Bottom; ++dy, Advance(down)) {
      uint16_t* const dst = dest->Row(dy) + left;
      const uint16_t* const srcRow = origin + down.pos * pitch;
      if (opaque && !keyed) {
        GatherColumns(dst, srcRow, columns, n);
      } else {
        GatherColumns(pixels, srcRow, columns, n);
        mixRow(dst, pixels, n, colorKey565_, a32);
      }
    }
  }
}

// ---------------------------------------------------------------------------------------------
// DrawRotated: inverse mapping of every destination pixel of the turned bounding box
// ---------------------------------------------------------------------------------------------

namespace {

// Source pixels of one destination row, gathered in chunks so that the colour key can then be
// applied with a branch-free select (keyed and opaque pixels alternate too often to predict).
constexpr int kGatherChunk = 256;

template <typename Fix>
void Gather(uint16_t* out, int n, const uint16_t* src, int pitch, Fix& fx, Fix& fy, Fix dx, Fix dy) {
  for (int i = 0; i < n; ++i, fx += dx, fy += dy) out[i] = src[static_cast<size_t>(fy >> kFixBits) * pitch + (fx >> kFixBits)];
}

#if defined(ZK_X86_AVX2)
// Gather for 32-bit positions, eight pixels at a time, for processors with AVX2. Each lane reads
// 32 bits at its pixel and keeps the low 16: the last pixel of a picture is followed by padding.
__attribute__((target("avx2"))) void GatherAvx2(uint16_t* out, int n, const uint16_t* src, int pitch, uint32_t& fx,
                                                uint32_t& fy, uint32_t dx, uint32_t dy) {
  const __m256i lanes = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
  __m256i vx = _mm256_add_epi32(_mm256_set1_epi32(static_cast<int>(fx)), _mm256_mullo_epi32(lanes, _mm256_set1_epi32(static_cast<int>(dx))));
  __m256i vy = _mm256_add_epi32(_mm256_set1_epi32(static_cast<int>(fy)), _mm256_mullo_epi32(lanes, _mm256_set1_epi32(static_cast<int>(dy))));
  const __m256i stepX = _mm256_set1_epi32(static_cast<int>(dx * 8)), stepY = _mm256_set1_epi32(static_cast<int>(dy * 8));
  const __m256i rowPitch = _mm256_set1_epi32(pitch), low16 = _mm256_set1_epi32(0xFFFF);
  int i = 0;
  for (; i + 8 <= n; i += 8) {
    const __m256i at = _mm256_add_epi32(_mm256_mullo_epi32(_mm256_srli_epi32(vy, kFixBits), rowPitch), _mm256_srli_epi32(vx, kFixBits));
    const __m256i got = _mm256_and_si256(_mm256_i32gather_epi32(reinterpret_cast<const int*>(src), at, 2), low16);
    const __m256i packed = _mm256_permute4x64_epi64(_mm256_packus_epi32(got, got), 0x08);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm256_castsi256_si128(packed));
    vx = _mm256_add_epi32(vx, stepX);
    vy = _mm256_add_epi32(vy, stepY);
  }
  fx += dx * static_cast<uint32_t>(i);
  fy += dy * static_cast<uint32_t>(i);
  Gather(out + i, n - i, src, pitch, fx, fy, dx, dy);
}
#else
void GatherAvx2(uint16_t* out, int n, const uint16_t* src, int pitch, uint32_t& fx, uint32_t& fy, uint32_t dx, uint32_t dy) {
  Gather(out, n, src, pitch, fx, fy, dx, dy);
}
#endif

// One destination row of a rotation. Every position passed in lies inside the pattern, so Fix may
// be 32 bits wide (stepping modulo 2^32 stays exact) whenever the pattern is below 65536 pixels.
template <bool Keyed, typename Fix, void (*GatherRow)(uint16_t*, int, const uint16_t*, int, Fix&, Fix&, Fix, Fix)>
void RotateRow(uint16_t* dst, int n, const uint16_t* src, int pitch, uint64_t fx64, uint64_t fy64, uint64_t dx64,
               uint64_t dy64, uint16_t key) {
  Fix fx = static_cast<Fix>(fx64), fy = static_cast<Fix>(fy64);
  const Fix dx = static_cast<Fix>(dx64), dy = static_cast<Fix>(dy64);
  if constexpr (!Keyed) {
    GatherRow(dst, n, src, pitch, fx, fy, dx, dy);
  } else {
    uint16_t chunk[kGatherChunk];
    for (int done = 0; done < n; done += kGatherChunk) {
      const int count = std::min(n - done, kGatherChunk);
      GatherRow(chunk, count, src, pitch, fx, fy, dx, dy);
      kMixRows[kHaveAvx2][true][true](dst + done, chunk, count, key, 0);
    }
  }
}

using RotateRowFn = void (*)(uint16_t*, int, const uint16_t*, int, uint64_t, uint64_t, uint64_t, uint64_t, uint16_t);

// [avx2][keyed][32-bit positions]
constexpr RotateRowFn kRotateRows[2][2][2] = {
    {{RotateRow<false, uint64_t, Gather<uint64_t>>, RotateRow<false, uint32_t, Gather<uint32_t>>},
     {RotateRow<true, uint64_t, Gather<uint64_t>>, RotateRow<true, uint32_t, Gather<uint32_t>>}},
    {{RotateRow<false, uint64_t, Gather<uint64_t>>, RotateRow<false, uint32_t, GatherAvx2>},
     {RotateRow<true, uint64_t, Gather<uint64_t>>, RotateRow<true, uint32_t, GatherAvx2>}},
};

}  // namespace

void TPictureCollectionItem::DrawRotated(TDirectDrawSurface* dest, int x, int y, int w, int h, int index, double pivotX,
                                         double pivotY, int angle) const {
  const PreparedPattern* p = DrawablePattern(prepared_, patterns_, dest, index);
  if (p == nullptr || w <= 0 || h <= 0 || !std::isfinite(pivotX) || !std::isfinite(pivotY)) return;

  const double ca = CosAngle(angle), sa = SinAngle(angle);
  const double px = pivotX * w, py = pivotY * h;  // pivot within the scaled pattern

  // Bounding box of the turned pattern: its four corners relative to the pivot, turned.
  double minX = HUGE_VAL, maxX = -HUGE_VAL, minY = HUGE_VAL, maxY = -HUGE_VAL;
  for (const double cx : {-px, w - px}) {
    for (const double cy : {-py, h - py}) {
      const double tx = x + cx * ca - cy * sa, ty = y + cx * sa + cy * ca;
      minX = std::min(minX, tx), maxX = std::max(maxX, tx);
      minY = std::min(minY, ty), maxY = std::max(maxY, ty);
    }
  }
  const double surfW = dest->Width(), surfH = dest->Height();
  const double boxL = std::clamp(std::floor(minX), 0.0, surfW), boxR = std::clamp(std::ceil(maxX), 0.0, surfW);
  const int boxT = static_cast<int>(std::clamp(std::floor(minY), 0.0, surfH));
  const int boxB = static_cast<int>(std::clamp(std::ceil(maxY), 0.0, surfH));
  if (boxL >= boxR || boxT >= boxB) return;

  // Destination pixel centre (X + 0.5, Y + 0.5) is (u, v) from (x, y); turning back by the angle
  // gives its offset from the pivot, (u ca + v sa, -u sa + v ca), scaled to source pixels by k.
  const int pw = p->Src.Width(), ph = p->Src.Height();
  const double kx = static_cast<double>(pw) / w, ky = static_cast<double>(ph) / h;
  const double u0 = 0.5 - x, v0 = boxT + 0.5 - y;
  SourceAxis axisX(kx * (px + u0 * ca + v0 * sa), kx * sa, kx * ca, pw);
  SourceAxis axisY(ky * (py - u0 * sa + v0 * ca), ky * ca, -ky * sa, ph);
  const int64_t stepX = ToFixed(axisX.Step()), stepY = ToFixed(axisY.Step());
  const int64_t limX = static_cast<int64_t>(pw) << kFixBits, limY = static_cast<int64_t>(ph) << kFixBits;

  const int pitch = Picture.Width;
  const uint16_t* origin = pixels565_.data() + static_cast<size_t>(p->Src.Top) * pitch + p->Src.Left;
  const RotateRowFn rotateRow = kRotateRows[kHaveAvx2][Transparent && !p->Opaque][pw <= UINT16_MAX && ph <= UINT16_MAX];

  for (int dy = boxT; dy < boxB; ++dy, axisX.NextRow(), axisY.NextRow()) {
    double from = boxL, to = boxR;
    axisX.Narrow(from, to);
    axisY.Narrow(from, to);
    if (from >= to) continue;

    // Trim the estimate to the exact fixed-point positions. They are linear in the column, so the
    // columns inside form one run; the test is done in 128 bits, free of overflow for any step.
    const int base = CeilNonNegative(from);
    const int64_t fx0 = ToFixed(axisX.At(base)), fy0 = ToFixed(axisY.At(base));
    const auto inside = [&](int column) {
      using Wide = __int128;
      const Wide fx = Wide(fx0) + Wide(stepX) * (column - base), fy = Wide(fy0) + Wide(stepY) * (column - base);
      return fx >= 0 && fx < limX && fy >= 0 && fy < limY;
    };
    int lo = base, hi = CeilNonNegative(to);
    while (lo < hi && !inside(lo)) ++lo;
    while (hi > lo && !inside(hi - 1)) --hi;
    if (lo == hi) continue;
    const int64_t fx = fx0 + stepX * (lo - base), fy = fy0 + stepY * (lo - base);  // inside: no overflow
    rotateRow(dest->Row(dy) + lo, hi - lo, origin, pitch, static_cast<uint64_t>(fx), static_cast<uint64_t>(fy),
              static_cast<uint64_t>(stepX), static_cast<uint64_t>(stepY), colorKey565_);
  }
}
