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

void BuildSpans(TPictureCollectionItem::PreparedPattern& pattern, const uint16_t* origin, int pitch, uint16_t key) {
  const int w = pattern.Src.Width(), h = pattern.Src.Height();
  pattern.RowSpanStart.resize(static_cast<size_t>(h) + 1);
  pattern.Spans.clear();
  for (int y = 0; y < h; ++y) {
    pattern.RowSpanStart[y] = static_cast<uint32_t>(pattern.Spans.size());
    AppendRowSpans(pattern.Spans, origin + static_cast<size_t>(y) * pitch, w, key);
  }
  pattern.RowSpanStart[h] = static_cast<uint32_t>(pattern.Spans.size());
}

// Copies the opaque runs of one pattern row whose left edge is at surface column x0, keeping only
// columns in [clipL, clipR).
void CopyRowSpans(uint16_t* dstRow, const uint16_t* srcRow, const Span* span, const Span* end, int64_t x0,
                  int64_t clipL, int64_t clipR) {
  int64_t sx = 0;
  for (; span != end; ++span) {
    sx += span->Skip;
    const int64_t runL = x0 + sx, runR = runL + span->Count;
    const int64_t l = std::max(runL, clipL), r = std::min(runR, clipR);
    if (l < r) std::memcpy(dstRow + l, srcRow + (sx + (l - runL)), static_cast<size_t>(r - l) * sizeof(uint16_t));
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
  return std::llround(std::clamp(v, -kLimit, kLimit) * kFixOne);
}

// Columns X where lo <= a + b * X < hi, intersected with [from, to), widened by one pixel on each
// side: an estimate that the exact fixed-point test then trims.
void NarrowToBand(double a, double b, double lo, double hi, double& from, double& to) {
  if (b == 0) {
    if (a < lo || a >= hi) to = from;
    return;
  }
  double x0 = (lo - a) / b, x1 = (hi - a) / b;
  if (x0 > x1) std::swap(x0, x1);
  from = std::max(from, std::floor(x0) - 1);
  to = std::min(to, std::ceil(x1) + 1);
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
  Unprepare();
  const TPicture& pic = Picture;
  if (pic.Empty() || pic.Width <= 0 || pic.Height <= 0) return;
  if (pic.Pixels.size() != static_cast<size_t>(pic.Width) * static_cast<size_t>(pic.Height)) return;
  const PatternGrid grid = GridOf(*this);
  const int count = static_cast<int>(CountOf(grid));
  if (count <= 0) return;

  pixels565_.resize(pic.Pixels.size());
  std::transform(pic.Pixels.begin(), pic.Pixels.end(), pixels565_.begin(), RGB888To565);
  colorKey565_ = RGB888To565(ColorRefToRGB888(TransparentColor));
  columns_ = static_cast<int>(grid.columns);

  patterns_.resize(static_cast<size_t>(count));
  for (int n = 0; n < count; ++n) {
    PreparedPattern& p = patterns_[n];
    p.Src = PatternRect(n);
    const uint16_t* origin = pixels565_.data() + static_cast<size_t>(p.Src.Top) * pic.Width + p.Src.Left;
    BuildSpans(p, origin, pic.Width, colorKey565_);
  }
  prepared_ = true;
}

void TPictureCollectionItem::Unprepare() {
  prepared_ = false;
  columns_ = 0;
  pixels565_ = {};
  patterns_ = {};
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
  for (int dy = clip.Top; dy < clip.Bottom; ++dy) {
    const int row = dy - y;
    const uint16_t* srcRow = origin + static_cast<size_t>(row) * pitch;
    uint16_t* dstRow = dest->Row(dy);
    if (Transparent) {
      const Span* spans = p->Spans.data();
      CopyRowSpans(dstRow, srcRow, spans + p->RowSpanStart[row], spans + p->RowSpanStart[row + 1], x, clip.Left,
                   clip.Right);
    } else {
      std::memcpy(dstRow + clip.Left, srcRow + (clip.Left - x), static_cast<size_t>(clip.Width()) * sizeof(uint16_t));
    }
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

template <bool Keyed>
void RotateRow(uint16_t* dst, int n, const uint16_t* src, int pitch, int64_t fx, int64_t fy, int64_t dx, int64_t dy,
               uint16_t key) {
  for (int i = 0; i < n; ++i, fx += dx, fy += dy) {
    const uint16_t p = src[(fy >> kFixBits) * pitch + (fx >> kFixBits)];
    if (!Keyed || p != key) dst[i] = p;
  }
}

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
  const double bx = kx * ca, by = -ky * sa;  // source change per destination column
  const int64_t stepX = ToFixed(bx), stepY = ToFixed(by);
  const int64_t limX = static_cast<int64_t>(pw) << kFixBits, limY = static_cast<int64_t>(ph) << kFixBits;
  const auto inside = [&](int64_t fx, int64_t fy) {
    return static_cast<uint64_t>(fx) < static_cast<uint64_t>(limX) && static_cast<uint64_t>(fy) < static_cast<uint64_t>(limY);
  };

  const int pitch = Picture.Width;
  const uint16_t* origin = pixels565_.data() + static_cast<size_t>(p->Src.Top) * pitch + p->Src.Left;
  const auto rotateRow = Transparent ? RotateRow<true> : RotateRow<false>;
  const double u0 = 0.5 - x;

  for (int dy = boxT; dy < boxB; ++dy) {
    const double v = dy + 0.5 - y;
    // Source position at column X is a + b * X on each axis.
    const double ax = kx * (px + u0 * ca + v * sa), ay = ky * (py - u0 * sa + v * ca);
    double from = boxL, to = boxR;
    NarrowToBand(ax, bx, 0, pw, from, to);
    NarrowToBand(ay, by, 0, ph, from, to);
    if (from >= to) continue;

    int lo = static_cast<int>(from), hi = static_cast<int>(to);
    int64_t fx = ToFixed(ax + bx * lo), fy = ToFixed(ay + by * lo);
    while (lo < hi && !inside(fx, fy)) ++lo, fx += stepX, fy += stepY;
    while (hi > lo && !inside(fx + stepX * (hi - 1 - lo), fy + stepY * (hi - 1 - lo))) --hi;
    if (lo < hi) rotateRow(dest->Row(dy) + lo, hi - lo, origin, pitch, fx, fy, stepX, stepY, colorKey565_);
  }
}
