// Image-list items: pattern layout, preparation for the 16-bit surface, and the three pattern
// drawing operations (keyed copy, stretched blend, scaled rotation).
#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstring>

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

// The part of the rectangle (left, top, width, height) on the surface; computed in 64 bits so that
// far-off positions cannot overflow. Empty (Width() <= 0 or Height() <= 0) when nothing shows.
TRect ClipToSurface(int64_t left, int64_t top, int64_t width, int64_t height, const TDirectDrawSurface& s) {
  const int64_t l = std::max<int64_t>(left, 0), t = std::max<int64_t>(top, 0);
  const int64_t r = std::min<int64_t>(left + width, s.Width()), b = std::min<int64_t>(top + height, s.Height());
  if (l >= r || t >= b) return TRect{};
  return TRect{static_cast<int>(l), static_cast<int>(t), static_cast<int>(r), static_cast<int>(b)};
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

  pixels565_.resize(pixelCount);
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

void TPictureCollectionItem::Draw(TDirectDrawSurface* dest, int x, int y, int index) const {
  const PreparedPattern* p = DrawablePattern(prepared_, patterns_, dest, index);
  if (p == nullptr) return;
  const int pw = p->Src.Width(), ph = p->Src.Height();
  const TRect clip = ClipToSurface(x, y, pw, ph, *dest);
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
    if (!Transparent)
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

// One destination row of a stretch from source row `src`.
template <bool Keyed, bool Opaque>
void StretchRow(uint16_t* dst, int n, const uint16_t* src, StretchStep s, uint16_t key, uint32_t a32) {
  for (int i = 0; i < n; ++i) {
    const uint16_t p = src[s.pos];
    if (!Keyed || p != key) dst[i] = Opaque ? p : Blend565(Spread565(p), dst[i], a32);
    Advance(s);
  }
}

using StretchRowFn = void (*)(uint16_t*, int, const uint16_t*, StretchStep, uint16_t, uint32_t);
constexpr StretchRowFn kStretchRows[2][2] = {
    {StretchRow<false, false>, StretchRow<false, true>},
    {StretchRow<true, false>, StretchRow<true, true>},
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
  const StretchStep across = StretchFrom(clip.Left - static_cast<int64_t>(destRect.Left), p->Src.Width(), dw);
  StretchStep down = StretchFrom(clip.Top - static_cast<int64_t>(destRect.Top), p->Src.Height(), dh);
  const StretchRowFn stretchRow = kStretchRows[Transparent][alpha >= 255];
  const uint32_t a32 = Alpha32(std::min(alpha, 255));

  for (int dy = clip.Top; dy < clip.Bottom; ++dy) {
    stretchRow(dest->Row(dy) + clip.Left, clip.Width(), origin + down.pos * pitch, across, colorKey565_, a32);
    Advance(down);
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

void CopyUnlessKey(uint16_t* dst, const uint16_t* src, int n, uint16_t key) {
  for (int i = 0; i < n; ++i) dst[i] = src[i] == key ? dst[i] : src[i];
}

// One destination row of a rotation. Every position passed in lies inside the pattern, so Fix may
// be 32 bits wide (stepping modulo 2^32 stays exact) whenever the pattern is below 65536 pixels.
template <bool Keyed, typename Fix>
void RotateRow(uint16_t* dst, int n, const uint16_t* src, int pitch, Fix fx, Fix fy, Fix dx, Fix dy, uint16_t key) {
  if constexpr (!Keyed) {
    Gather(dst, n, src, pitch, fx, fy, dx, dy);
  } else {
    uint16_t chunk[kGatherChunk];
    for (int done = 0; done < n; done += kGatherChunk) {
      const int count = std::min(n - done, kGatherChunk);
      Gather(chunk, count, src, pitch, fx, fy, dx, dy);
      CopyUnlessKey(dst + done, chunk, count, key);
    }
  }
}

using RotateRowFn = void (*)(uint16_t*, int, const uint16_t*, int, uint64_t, uint64_t, uint64_t, uint64_t, uint16_t);

template <bool Keyed, typename Fix>
void RotateRowAs(uint16_t* dst, int n, const uint16_t* src, int pitch, uint64_t fx, uint64_t fy, uint64_t dx, uint64_t dy,
                 uint16_t key) {
  RotateRow<Keyed, Fix>(dst, n, src, pitch, static_cast<Fix>(fx), static_cast<Fix>(fy), static_cast<Fix>(dx),
                        static_cast<Fix>(dy), key);
}

constexpr RotateRowFn kRotateRows[2][2] = {
    {RotateRowAs<false, uint64_t>, RotateRowAs<false, uint32_t>},
    {RotateRowAs<true, uint64_t>, RotateRowAs<true, uint32_t>},
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
  const RotateRowFn rotateRow = kRotateRows[Transparent][pw <= UINT16_MAX && ph <= UINT16_MAX];

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
