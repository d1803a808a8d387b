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

#if defined(ZK_X86_AVX2)
const bool kHaveAvx2 = __builtin_cpu_supports("avx2");
#else
constexpr bool kHaveAvx2 = false;
#endif

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

// Copies h rows of w >= 1 pixels.
void CopyBlock(uint16_t* dst, size_t dstPitch, const uint16_t* src, size_t srcPitch, size_t w, size_t h) {
  for (size_t y = 0; y < h; ++y, dst += dstPitch, src += srcPitch) CopyPixels(dst, src, w);
}

#if defined(ZK_X86_AVX2)
// CopyBlock with 32-byte moves where the rows allow them, for processors with AVX2.
__attribute__((target("avx2"))) void CopyBlockAvx2(uint16_t* dst, size_t dstPitch, const uint16_t* src, size_t srcPitch,
                                                   size_t w, size_t h) {
  if (w < 16) return CopyBlock(dst, dstPitch, src, srcPitch, w, h);
  for (size_t y = 0; y < h; ++y, dst += dstPitch, src += srcPitch) {
    for (size_t i = 0; i + 16 < w; i += 16)
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + i), _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + i)));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + w - 16), _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + w - 16)));
  }
}
#else
void CopyBlockAvx2(uint16_t* dst, size_t dstPitch, const uint16_t* src, size_t srcPitch, size_t w, size_t h) {
  CopyBlock(dst, dstPitch, src, srcPitch, w, h);
}
#endif

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

// Doubles converted to 16.16 fixed point, halves rounded up (the same way on both sides of 0, so
// that a position and its whole-pixel steps round alike), saturated far outside any pattern so
// that garbage input stays defined (the in-pattern test rejects such values).
int64_t ToFixed(double v) {
  constexpr double kLimit = 1e12;
  return static_cast<int64_t>(std::floor(std::clamp(v, -kLimit, kLimit) * kFixOne + 0.5));
}

// floor(g / d) for d > 0.
template <typename Int>
Int FloorDiv(Int g, Int d) {
  const Int q = g / d;
  return q - (g % d != 0 && g < 0);
}

// floor(G / d) for d > 0 while G grows by a fixed step from one row to the next, kept as a
// quotient and a remainder so that each row costs additions only.
template <typename Int>
class FloorTracker {
public:
  FloorTracker(Int g, Int rowStep, Int d)
      : d_(d), q_(FloorDiv(g, d)), m_(g - q_ * d), qRow_(FloorDiv(rowStep, d)), mRow_(rowStep - qRow_ * d) {}
  Int Value() const { return q_; }
  // Without a branch: whether the remainder wraps follows no pattern a predictor could learn.
  void NextRow() {
    m_ += mRow_;
    const Int wrap = m_ >= d_;
    q_ += qRow_ + wrap;
    m_ -= d_ & -wrap;
  }

private:
  Int d_, q_, m_, qRow_, mRow_;
};

// One source axis of a rotation in 16.16 fixed point. In the current row the position at column
// c is Pos + Step * c, inside the pattern while 0 <= it < Limit; Pos grows by RowStep per row.
// The columns inside form one run, found exactly from two floor divisions kept row by row.
template <typename Int>
class SourceAxis {
public:
  SourceAxis(Int pos, Int rowStep, Int step, Int limit)
      : pos_(pos), rowStep_(rowStep), step_(step), limit_(limit),
        low_(pos, rowStep, Divisor(step)), high_(pos - limit, rowStep, Divisor(step)) {}
  Int At(Int column) const { return pos_ + step_ * column; }
  // Narrows [from, to) to the columns where the axis is inside the pattern.
  void Narrow(Int& from, Int& to) const {
    if (step_ > 0) {  // inside for -floor(pos / step) <= c < -floor((pos - limit) / step)
      from = std::max(from, -low_.Value());
      to = std::min(to, -high_.Value());
    } else if (step_ < 0) {  // inside for floor((pos - limit) / -step) < c <= floor(pos / -step)
      from = std::max(from, high_.Value() + 1);
      to = std::min(to, low_.Value() + 1);
    } else if (!(pos_ >= 0 && pos_ < limit_)) {
      to = from;
    }
  }
  void NextRow() {
    pos_ += rowStep_;
    low_.NextRow();
    high_.NextRow();
  }

private:
  static Int Divisor(Int step) { return step > 0 ? step : step < 0 ? -step : 1; }
  Int pos_, rowStep_, step_, limit_;
  FloorTracker<Int> low_, high_;  // floor(pos / |step|), floor((pos - limit) / |step|)
};

// A rotation worked out relative to its anchor (x, y): destination pixel (x + c, y + r) of the
// box reads the source at Pos + Step * c + RowStep * r on each axis (columns and rows counted
// from the box's corner, BoxLeft and BoxTop from the anchor). Being relative, the same drawing
// at another anchor gives the same pixels moved.
struct TurnGeometry {
  int64_t BoxLeft = 0, BoxTop = 0, BoxRight = 0, BoxBottom = 0;
  int64_t PosX = 0, PosY = 0, StepX = 0, StepY = 0, RowStepX = 0, RowStepY = 0, LimitX = 0, LimitY = 0;
  // The same positions and steps unrounded, in source pixels.
  double ExactX = 0, ExactY = 0, ExactStepX = 0, ExactStepY = 0, ExactRowStepX = 0, ExactRowStepY = 0;
};

// Whole pixels within +-2^40 of the anchor: far beyond any surface, and exact in a double.
int64_t BoxEdge(double v) { return static_cast<int64_t>(std::clamp(v, -0x1p40, 0x1p40)); }

TurnGeometry TurnOf(int pw, int ph, int w, int h, double pivotX, double pivotY, int angle) {
  const double ca = CosAngle(angle), sa = SinAngle(angle);
  const double px = pivotX * w, py = pivotY * h;  // pivot within the scaled pattern
  // Bounding box of the turned pattern: its four corners relative to the pivot, turned.
  double minX = HUGE_VAL, maxX = -HUGE_VAL, minY = HUGE_VAL, maxY = -HUGE_VAL;
  for (const double cx : {-px, w - px}) {
    for (const double cy : {-py, h - py}) {
      const double tx = cx * ca - cy * sa, ty = cx * sa + cy * ca;
      minX = std::min(minX, tx), maxX = std::max(maxX, tx);
      minY = std::min(minY, ty), maxY = std::max(maxY, ty);
    }
  }
  TurnGeometry g;
  g.BoxLeft = BoxEdge(std::floor(minX)), g.BoxRight = BoxEdge(std::ceil(maxX));
  g.BoxTop = BoxEdge(std::floor(minY)), g.BoxBottom = BoxEdge(std::ceil(maxY));
  // The centre of the box's corner pixel is (u, v) from the anchor; turning back by the angle
  // gives its offset from the pivot, (u ca + v sa, -u sa + v ca), scaled to source pixels by k.
  const double kx = static_cast<double>(pw) / w, ky = static_cast<double>(ph) / h;
  const double u = g.BoxLeft + 0.5, v = g.BoxTop + 0.5;
  g.ExactX = kx * (px + u * ca + v * sa), g.ExactStepX = kx * ca, g.ExactRowStepX = kx * sa;
  g.ExactY = ky * (py - u * sa + v * ca), g.ExactStepY = -ky * sa, g.ExactRowStepY = ky * ca;
  g.PosX = ToFixed(g.ExactX), g.StepX = ToFixed(g.ExactStepX), g.RowStepX = ToFixed(g.ExactRowStepX);
  g.PosY = ToFixed(g.ExactY), g.StepY = ToFixed(g.ExactStepY), g.RowStepY = ToFixed(g.ExactRowStepY);
  g.LimitX = static_cast<int64_t>(pw) << kFixBits, g.LimitY = static_cast<int64_t>(ph) << kFixBits;
  return g;
}

// Calls visit(row, column, count, fx, fy) for each row of the turn anchored at (x, y) that has
// pixels inside `clip`: `count` destination pixels from (column, row) whose source positions start
// at (fx, fy) (16.16, inside the pattern) and step by (StepX, StepY). Int must hold every position
// of the box (see TurnRows).
template <typename Int, typename Visit>
void TurnRowsIn(const TurnGeometry& g, int x, int y, const TRect& clip, Visit visit) {
  const int64_t left = x + g.BoxLeft, top = y + g.BoxTop;
  const int64_t firstRow = std::max<int64_t>(top, clip.Top), endRow = std::min<int64_t>(y + g.BoxBottom, clip.Bottom);
  const Int fromColumn = std::max<int64_t>(left, clip.Left) - left;
  const Int toColumn = std::min<int64_t>(x + g.BoxRight, clip.Right) - left;
  if (fromColumn >= toColumn || firstRow >= endRow) return;
  const Int skipped = firstRow - top;
  SourceAxis<Int> ax(Int(g.PosX) + Int(g.RowStepX) * skipped, g.RowStepX, g.StepX, g.LimitX);
  SourceAxis<Int> ay(Int(g.PosY) + Int(g.RowStepY) * skipped, g.RowStepY, g.StepY, g.LimitY);
  for (int64_t row = firstRow; row < endRow; ++row, ax.NextRow(), ay.NextRow()) {
    Int from = fromColumn, to = toColumn;
    ax.Narrow(from, to);
    ay.Narrow(from, to);
    if (from < to)
      visit(static_cast<int>(row), static_cast<int>(left + from), static_cast<int>(to - from),
            static_cast<uint64_t>(ax.At(from)), static_cast<uint64_t>(ay.At(from)));
  }
}

// TurnRowsIn in 64 bits when every position of the box fits them with room to spare (any real
// drawing), else in 128.
template <typename Visit>
void TurnRows(const TurnGeometry& turn, int x, int y, const TRect& clip, Visit visit) {
  // Where the clip begins far inside the box (a huge drawing), the positions start from there:
  // the rounded steps would drift on the way. Boxes of ordinary drawings start at their corner.
  constexpr int64_t kFar = int64_t{1} << 20;
  TurnGeometry g = turn;
  const int64_t skipColumns = clip.Left - (x + g.BoxLeft), skipRows = clip.Top - (y + g.BoxTop);
  if (skipColumns > kFar || skipRows > kFar) {
    const int64_t dc = std::max<int64_t>(skipColumns, 0), dr = std::max<int64_t>(skipRows, 0);
    g.BoxLeft += dc, g.BoxTop += dr;
    const double c = static_cast<double>(dc), r = static_cast<double>(dr);
    g.PosX = ToFixed(g.ExactX + g.ExactStepX * c + g.ExactRowStepX * r);
    g.PosY = ToFixed(g.ExactY + g.ExactStepY * c + g.ExactRowStepY * r);
  }
  const double columns = static_cast<double>(g.BoxRight - g.BoxLeft), rows = static_cast<double>(g.BoxBottom - g.BoxTop);
  const auto reach = [&](int64_t pos, int64_t step, int64_t rowStep, int64_t limit) {
    return std::abs(static_cast<double>(pos)) + std::abs(static_cast<double>(step)) * columns +
           std::abs(static_cast<double>(rowStep)) * rows + static_cast<double>(limit);
  };
  constexpr double kSafe = 0x1p60;
  if (reach(g.PosX, g.StepX, g.RowStepX, g.LimitX) < kSafe && reach(g.PosY, g.StepY, g.RowStepY, g.LimitY) < kSafe)
    TurnRowsIn<int64_t>(g, x, y, clip, visit);
  else
    TurnRowsIn<__int128>(g, x, y, clip, visit);
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

namespace {

// Whether a picture of this size can be prepared: run and row indexes are 32-bit, and each pixel
// yields at most one of either.
bool PreparableSize(const TPicture& pic) {
  return pic.Width > 0 && pic.Height > 0 &&
         static_cast<size_t>(pic.Width) * static_cast<size_t>(pic.Height) < UINT32_MAX / 2;
}

size_t PixelCountOf(const TPicture& pic) { return static_cast<size_t>(pic.Width) * static_cast<size_t>(pic.Height); }

}  // namespace

void TPictureCollectionItem::Prepare() {
  if (sourceReleased_) return;  // prepared from the source before it went, for the same surface format
  Unprepare();
  const TPicture& pic = Picture;
  if (pic.Empty() || !PreparableSize(pic) || pic.Pixels.size() != PixelCountOf(pic)) return;
  pixels565_.resize(pic.Pixels.size() + 1);
  std::transform(pic.Pixels.begin(), pic.Pixels.end(), pixels565_.begin(), RGB888To565);
  LayOutPatterns();
}

void TPictureCollectionItem::PrepareFrom565(TPixels565 pixels) {
  Unprepare();
  sourceReleased_ = true;
  Picture.Pixels = {};
  if (!PreparableSize(Picture) || pixels.size() != PixelCountOf(Picture) + 1) return;
  pixels565_ = std::move(pixels);
  LayOutPatterns();
}

// Lays the patterns out over pixels565_ (the picture and its spare pixel), finding their
// colour-key runs; drops the pixels when the picture holds no pattern.
void TPictureCollectionItem::LayOutPatterns() {
  const PatternGrid grid = GridOf(*this);
  const int count = static_cast<int>(CountOf(grid));
  if (count <= 0) {
    pixels565_ = {};
    return;
  }

  // Each pattern's rows lie one after another (drawing reads them in order), the patterns one
  // after another; one pixel more at the end: the 32-bit gathers of the rotation may read past the
  // last. A picture that is one pattern already lies so.
  const int width = Picture.Width;
  const size_t patternPixels = static_cast<size_t>(grid.pw) * static_cast<size_t>(grid.ph);
  const bool laidOut = count == 1 && grid.pw == width && grid.ph == Picture.Height;
  TPixels565 whole;
  if (!laidOut) {
    whole.swap(pixels565_);
    pixels565_.resize(patternPixels * static_cast<size_t>(count) + 1);
  }
  pixels565_.back() = 0;
  colorKey565_ = RGB888To565(ColorRefToRGB888(TransparentColor));

  patterns_.resize(static_cast<size_t>(count));
  rowSpanStart_.reserve(static_cast<size_t>(count) * grid.ph + 1);
  for (int n = 0; n < count; ++n) {
    PreparedPattern& p = patterns_[n];
    p.Src = PatternRect(n);
    p.FirstPixel = static_cast<uint32_t>(patternPixels * static_cast<size_t>(n));
    p.FirstRow = static_cast<uint32_t>(rowSpanStart_.size());
    const int w = p.Src.Width(), h = p.Src.Height();
    uint16_t* const origin = pixels565_.data() + p.FirstPixel;
    for (int y = 0; y < h; ++y) {
      uint16_t* const row = origin + static_cast<size_t>(y) * w;
      if (!laidOut) {
        const uint16_t* const from = whole.data() + static_cast<size_t>(p.Src.Top + y) * width + p.Src.Left;
        std::copy(from, from + w, row);
      }
      rowSpanStart_.push_back(static_cast<uint32_t>(spans_.size()));
      AppendRowSpans(spans_, row, w, colorKey565_);
    }
    p.Opaque = !Transparent || !HoldsKey(origin, w, w, h, colorKey565_);
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

  const int pitch = p->Src.Width();
  const uint16_t* origin = pixels565_.data() + p->FirstPixel;
  if (p->Opaque) {
    const auto copy = kHaveAvx2 ? CopyBlockAvx2 : CopyBlock;
    copy(dest->Row(clip.Top) + clip.Left, static_cast<size_t>(dest->Width()),
         origin + static_cast<size_t>(clip.Top - y) * pitch + (clip.Left - x), static_cast<size_t>(pitch),
         static_cast<size_t>(clip.Width()), static_cast<size_t>(clip.Height()));
    return;
  }
  const bool wholeRows = clip.Left == x && clip.Width() == pw;
  const Span* spans = spans_.data();
  const uint32_t* rowStart = rowSpanStart_.data() + p->FirstRow;
  for (int dy = clip.Top; dy < clip.Bottom; ++dy) {
    const int row = dy - y;
    const uint16_t* srcRow = origin + static_cast<size_t>(row) * pitch;
    uint16_t* dstRow = dest->Row(dy);
    const Span* first = spans + rowStart[row];
    const Span* end = spans + rowStart[row + 1];
    if (wholeRows)
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

  const int pitch = p->Src.Width();
  const uint16_t* origin = pixels565_.data() + p->FirstPixel;
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

// One destination row of a rotation. Every position passed in lies inside the pattern, so Fix may
// be 32 bits wide (stepping modulo 2^32 stays exact) whenever the pattern is below 65536 pixels.
template <bool Keyed, typename Fix>
void RotateRow(uint16_t* dst, int n, const uint16_t* src, int pitch, uint64_t fx64, uint64_t fy64, uint64_t dx64,
               uint64_t dy64, uint16_t key) {
  Fix fx = static_cast<Fix>(fx64), fy = static_cast<Fix>(fy64);
  const Fix dx = static_cast<Fix>(dx64), dy = static_cast<Fix>(dy64);
  if constexpr (!Keyed) {
    Gather(dst, n, src, pitch, fx, fy, dx, dy);
  } else {
    uint16_t chunk[kGatherChunk];
    for (int done = 0; done < n; done += kGatherChunk) {
      const int count = std::min(n - done, kGatherChunk);
      Gather(chunk, count, src, pitch, fx, fy, dx, dy);
      kMixRows[kHaveAvx2][true][true](dst + done, chunk, count, key, 0);
    }
  }
}

#if defined(ZK_X86_AVX2)
// Eight source pixels at the 16.16 positions (vx, vy), in the low halves of 32-bit lanes; the
// positions then move on by (stepX, stepY). Each lane reads 32 bits at its pixel: the last pixel
// of a picture is followed by padding.
__attribute__((target("avx2"))) inline __m256i Fetch8(const uint16_t* src, __m256i rowPitch, __m256i& vx, __m256i& vy,
                                                      __m256i stepX, __m256i stepY) {
  const __m256i at = _mm256_add_epi32(_mm256_mullo_epi32(_mm256_srli_epi32(vy, kFixBits), rowPitch), _mm256_srli_epi32(vx, kFixBits));
  const __m256i got = _mm256_and_si256(_mm256_i32gather_epi32(reinterpret_cast<const int*>(src), at, 2), _mm256_set1_epi32(0xFFFF));
  vx = _mm256_add_epi32(vx, stepX);
  vy = _mm256_add_epi32(vy, stepY);
  return got;
}

// The 16.16 positions of eight pixels from `from` on, `step` apart.
__attribute__((target("avx2"))) inline __m256i Lanes8(uint32_t from, uint32_t step) {
  const __m256i lanes = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
  return _mm256_add_epi32(_mm256_set1_epi32(static_cast<int>(from)), _mm256_mullo_epi32(lanes, _mm256_set1_epi32(static_cast<int>(step))));
}

// The moving state of a row's fetches: positions, their steps per eight pixels, the picture's
// row pitch and the colour key.
struct TFetchState {
  __m256i X, Y, StepX, StepY, Pitch, Key;
};

// Fetches sixteen pixels and puts them at `at`, keyed ones leaving the destination as it is.
template <bool Keyed>
__attribute__((target("avx2"))) inline void Put16(uint16_t* at, const uint16_t* src, TFetchState& f) {
  const __m256i first = Fetch8(src, f.Pitch, f.X, f.Y, f.StepX, f.StepY);
  const __m256i second = Fetch8(src, f.Pitch, f.X, f.Y, f.StepX, f.StepY);
  // Packing works within 128-bit halves; the permutation puts the sixteen pixels in order.
  __m256i out = _mm256_permute4x64_epi64(_mm256_packus_epi32(first, second), 0xD8);
  if (Keyed) out = _mm256_blendv_epi8(out, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at)), _mm256_cmpeq_epi16(out, f.Key));
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(at), out);
}

// The same for eight pixels.
template <bool Keyed>
__attribute__((target("avx2"))) inline void Put8(uint16_t* at, const uint16_t* src, TFetchState& f) {
  const __m256i got = Fetch8(src, f.Pitch, f.X, f.Y, f.StepX, f.StepY);
  __m128i out = _mm_packus_epi32(_mm256_castsi256_si128(got), _mm256_extracti128_si256(got, 1));
  if (Keyed) out = _mm_blendv_epi8(out, _mm_loadu_si128(reinterpret_cast<const __m128i*>(at)), _mm_cmpeq_epi16(out, _mm256_castsi256_si128(f.Key)));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(at), out);
}

// RotateRow for 32-bit positions on processors with AVX2: sixteen (or eight) pixels fetched and
// put down at once. A row's last pixels are put again with the group that ends on them: putting
// a pixel twice paints what putting it once does.
template <bool Keyed>
__attribute__((target("avx2"))) void RotateRowAvx2(uint16_t* dst, int n, const uint16_t* src, int pitch, uint64_t fx64,
                                                   uint64_t fy64, uint64_t dx64, uint64_t dy64, uint16_t key) {
  const auto fx = static_cast<uint32_t>(fx64), fy = static_cast<uint32_t>(fy64);
  const auto dx = static_cast<uint32_t>(dx64), dy = static_cast<uint32_t>(dy64);
  if (n < 8) {
    RotateRow<Keyed, uint32_t>(dst, n, src, pitch, fx, fy, dx, dy, key);
    return;
  }
  TFetchState f{Lanes8(fx, dx), Lanes8(fy, dy), _mm256_set1_epi32(static_cast<int>(dx * 8)), _mm256_set1_epi32(static_cast<int>(dy * 8)),
                _mm256_set1_epi32(pitch), _mm256_set1_epi16(static_cast<short>(key))};
  const int group = n >= 16 ? 16 : 8;
  int i = 0;
  for (; i + group <= n; i += group) group == 16 ? Put16<Keyed>(dst + i, src, f) : Put8<Keyed>(dst + i, src, f);
  if (i == n) return;
  const auto last = static_cast<uint32_t>(n - group);
  f.X = Lanes8(fx + dx * last, dx);
  f.Y = Lanes8(fy + dy * last, dy);
  group == 16 ? Put16<Keyed>(dst + last, src, f) : Put8<Keyed>(dst + last, src, f);
}
#else
template <bool Keyed>
void RotateRowAvx2(uint16_t* dst, int n, const uint16_t* src, int pitch, uint64_t fx, uint64_t fy, uint64_t dx, uint64_t dy,
                   uint16_t key) {
  RotateRow<Keyed, uint32_t>(dst, n, src, pitch, fx, fy, dx, dy, key);
}
#endif

using RotateRowFn = void (*)(uint16_t*, int, const uint16_t*, int, uint64_t, uint64_t, uint64_t, uint64_t, uint16_t);

// [avx2][keyed][32-bit positions]
constexpr RotateRowFn kRotateRows[2][2][2] = {
    {{RotateRow<false, uint64_t>, RotateRow<false, uint32_t>}, {RotateRow<true, uint64_t>, RotateRow<true, uint32_t>}},
    {{RotateRow<false, uint64_t>, RotateRowAvx2<false>}, {RotateRow<true, uint64_t>, RotateRowAvx2<true>}},
};

}  // namespace

void TPictureCollectionItem::DrawRotated(TDirectDrawSurface* dest, int x, int y, int w, int h, int index, double pivotX,
                                         double pivotY, int angle) const {
  const PreparedPattern* p = DrawablePattern(prepared_, patterns_, dest, index);
  if (p == nullptr || w <= 0 || h <= 0 || !std::isfinite(pivotX) || !std::isfinite(pivotY)) return;

  const int pw = p->Src.Width(), ph = p->Src.Height();
  const TurnGeometry turn = TurnOf(pw, ph, w, h, pivotX, pivotY, angle);
  const int pitch = p->Src.Width();
  const uint16_t* origin = pixels565_.data() + p->FirstPixel;
  const RotateRowFn rotateRow = kRotateRows[kHaveAvx2][Transparent && !p->Opaque][pw <= UINT16_MAX && ph <= UINT16_MAX];
  const auto stepX = static_cast<uint64_t>(turn.StepX), stepY = static_cast<uint64_t>(turn.StepY);
  TurnRows(turn, x, y, dest->ClientRect(), [&](int row, int column, int count, uint64_t fx, uint64_t fy) {
    rotateRow(dest->Row(row) + column, count, origin, pitch, fx, fy, stepX, stepY, colorKey565_);
  });
}

// ---------------------------------------------------------------------------------------------
// Turned patterns: DrawRotated's rows worked out once per angle
// ---------------------------------------------------------------------------------------------

TTurnedPattern TPictureCollectionItem::Turned(int index, int w, int h, double pivotX, double pivotY) const {
  TTurnedPattern turned;
  if (!prepared_ || index < 0 || static_cast<size_t>(index) >= patterns_.size()) return turned;
  if (w <= 0 || h <= 0 || w > TTurnedPattern::MaxSize || h > TTurnedPattern::MaxSize) return turned;
  if (!(std::abs(pivotX) <= TTurnedPattern::MaxSize && std::abs(pivotY) <= TTurnedPattern::MaxSize)) return turned;
  const PreparedPattern& p = patterns_[index];
  const int pw = p.Src.Width(), ph = p.Src.Height(), pitch = pw;
  const uint16_t* origin = pixels565_.data() + p.FirstPixel;
  turned.key_ = colorKey565_;
  turned.keyed_ = Transparent && !p.Opaque;
  // Anchored at (0, 0) with nothing clipped: every row lies within MaxSize^2 + MaxSize of it.
  constexpr int kReach = 1 << 24;
  const TRect everywhere{-kReach, -kReach, kReach, kReach};
  for (int angle = 0; angle < 256; ++angle) {
    turned.firstRow_[angle] = static_cast<uint32_t>(turned.rows_.size());
    const TurnGeometry turn = TurnOf(pw, ph, w, h, pivotX, pivotY, angle);
    TurnRows(turn, 0, 0, everywhere, [&](int row, int column, int count, uint64_t fx, uint64_t fy) {
      turned.rows_.push_back(TTurnedPattern::Row{column, row, count, static_cast<uint32_t>(turned.pixels_.size())});
      turned.pixels_.resize(turned.pixels_.size() + static_cast<size_t>(count));
      Gather(turned.pixels_.data() + turned.rows_.back().First, count, origin, pitch, fx, fy,
             static_cast<uint64_t>(turn.StepX), static_cast<uint64_t>(turn.StepY));
    });
  }
  turned.firstRow_[256] = static_cast<uint32_t>(turned.rows_.size());
  return turned;
}

void TTurnedPattern::Draw(TDirectDrawSurface* dest, int x, int y, int angle) const {
  if (dest == nullptr || rows_.empty()) return;
  const MixRowFn put = kMixRows[kHaveAvx2][keyed_][true];
  const int64_t width = dest->Width(), height = dest->Height();
  for (uint32_t k = firstRow_[angle & 255], end = firstRow_[(angle & 255) + 1]; k < end; ++k) {
    const Row& r = rows_[k];
    const int64_t row = static_cast<int64_t>(y) + r.Y, left = static_cast<int64_t>(x) + r.X;
    const int64_t from = std::max<int64_t>(left, 0), to = std::min<int64_t>(left + r.Count, width);
    if (row < 0 || row >= height || from >= to) continue;
    put(dest->Row(static_cast<int>(row)) + from, pixels_.data() + r.First + (from - left), static_cast<int>(to - from), key_, 0);
  }
}
