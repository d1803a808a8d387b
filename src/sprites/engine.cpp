// The sprite tree: creation and destruction, depth order, the move, draw and free walks, point
// queries, image sprites and background maps.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>

#include "sprites/sprites.h"

namespace {

constexpr size_t InitialDeadListCapacity = 64;

template <typename T>
void EraseValue(std::vector<T>& list, const T& value) {
  const auto it = std::find(list.begin(), list.end(), value);
  if (it != list.end()) list.erase(it);
}

// Strict overlap: rectangles that only touch do not overlap.
bool Overlaps(const TRect& a, const TRect& b) {
  return a.Left < b.Right && a.Right > b.Left && a.Top < b.Bottom && a.Bottom > b.Top;
}

// Float modulo as the animation wraps it: the quotient rounded half-even, the product taken as a
// 64-bit integer, a negative remainder moved up by one period. Quotients too large for 64 bits
// (or NaN) restart the animation.
double WrapFramePos(double pos, int32_t frameCount) {
  const double q = std::nearbyint(pos / frameCount);
  if (!(std::fabs(q) < 9.0e18)) return 0;
  const int64_t whole = static_cast<int64_t>(q) * frameCount;
  double r = pos - static_cast<double>(whole);
  if (r < 0) r += frameCount;
  return r;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// TSprite
// ---------------------------------------------------------------------------------------------

TSprite::TSprite() = default;

TSprite::TSprite(TSprite* parent) : Parent(parent) {
  if (parent == nullptr) return;
  auto* const parentEngine = dynamic_cast<TSpriteEngine*>(parent);
  Engine = parentEngine != nullptr ? parentEngine : parent->Engine;
  parent->AddChild(this);
  if (Engine != nullptr) ++Engine->SpriteCount;
}

TSprite::~TSprite() {
  DestroyChildren();
  if (Parent != nullptr) {
    if (Engine != nullptr) --Engine->SpriteCount;
    Parent->RemoveChild(this);
    if (Engine != nullptr) EraseValue(Engine->DeadList, static_cast<TSprite*>(this));
  }
}

void TSprite::DestroyChildren() {
  while (!children_.empty()) delete children_.back();  // each child removes itself
}

double TSprite::AbsoluteX() const { return Parent != nullptr ? X + Parent->AbsoluteX() : X; }
double TSprite::AbsoluteY() const { return Parent != nullptr ? Y + Parent->AbsoluteY() : Y; }

TSprite* TSprite::Items(int index) const {
  if (children_.empty())
    throw ESpriteError("Index of the list exceeds the range. (" + std::to_string(index) + ")");
  return children_.at(static_cast<size_t>(index));
}

TRect TSprite::GetBounds() const {
  return Bounds(RoundHalfEven(AbsoluteX()), RoundHalfEven(AbsoluteY()), Width, Height);
}

void TSprite::AddChild(TSprite* child) {
  children_.push_back(child);
  InsertByZ(child);
}

void TSprite::RemoveChild(TSprite* child) {
  EraseValue(children_, child);
  EraseValue(drawOrder_, child);
  if (children_.empty()) {  // a sprite without children holds no lists
    children_ = {};
    drawOrder_ = {};
  }
}

// Binary search for the first sibling whose Z is not below the child's: the child lands before
// every sibling of equal depth.
void TSprite::InsertByZ(TSprite* child) {
  const auto at = std::lower_bound(drawOrder_.begin(), drawOrder_.end(), child->Z,
                                   [](const TSprite* s, int32_t z) { return s->Z < z; });
  drawOrder_.insert(at, child);
}

void TSprite::SetZ(int32_t value) {
  if (value == Z) return;
  Z = value;
  if (Parent == nullptr) return;
  EraseValue(Parent->drawOrder_, static_cast<TSprite*>(this));
  Parent->InsertByZ(this);
}

void TSprite::Kill() {
  if (Engine == nullptr || IsDead) return;
  IsDead = true;
  Engine->DeadList.push_back(this);
}

void TSprite::Move(int elapsed) {
  if (!Movable) return;
  Step(elapsed);
  // Children created during the walk wait for the next one. The second bound only guards against
  // a sibling freed directly during the walk, which the game never does (it kills instead).
  const int n = Count();
  for (int i = 0; i < n && i < Count(); ++i) children_[static_cast<size_t>(i)]->Move(elapsed);
}

void TSprite::Draw() {
  if (!Visible) return;
  if (Engine != nullptr && Overlaps(GetBounds(), Engine->SurfaceRect)) {
    Render();
    ++Engine->DrawCount;
  }
  for (size_t i = 0; i < drawOrder_.size(); ++i) drawOrder_[i]->Draw();
}

TSprite* TSprite::SpriteAt(int x, int y) {
  TSprite* result = nullptr;
  const double rx = x - X, ry = y - Y;
  for (TSprite* child : children_) child->VisitAt(result, rx, ry);
  return result;
}

void TSprite::VisitAt(TSprite*& result, double x, double y) {
  if (Visible && Holds(x, y) && (result == nullptr || Z > result->Z)) result = this;
  for (TSprite* child : children_) child->VisitAt(result, x - X, y - Y);
}

bool TSprite::Holds(double x, double y) const {
  const int px = RoundHalfEven(x), py = RoundHalfEven(y);
  const int left = RoundHalfEven(X), top = RoundHalfEven(Y);
  return left <= px && px <= left + Width && top <= py && py <= top + Height;
}

// The same subtractions, in the same order, as SpriteAt and VisitAt make on the way down.
double TSprite::PointForChildrenX(double x) const { return (Parent != nullptr ? Parent->PointForChildrenX(x) : x) - X; }
double TSprite::PointForChildrenY(double y) const { return (Parent != nullptr ? Parent->PointForChildrenY(y) : y) - Y; }

bool TSprite::MayBeAt(int x, int y) const {
  if (!Visible || Parent == nullptr) return false;
  return Holds(Parent->PointForChildrenX(x), Parent->PointForChildrenY(y));
}

// ---------------------------------------------------------------------------------------------
// TImageSprite
// ---------------------------------------------------------------------------------------------

int TImageSprite::CurrentFrame() const { return RoundHalfEven(FramePos) + FirstFrame; }

void TImageSprite::Step(int elapsed) {
  FramePos += FrameSpeed * elapsed;
  if (LoopAnimation) {
    FramePos = FrameCount > 0 ? WrapFramePos(FramePos, FrameCount) : 0;
    return;
  }
  if (FramePos >= FrameCount) {
    FramePos = FrameCount - 1;
    FrameSpeed = 0;
  }
  if (FramePos < 0) {
    FramePos = 0;
    FrameSpeed = 0;
  }
}

// The pattern is centred in the sprite's rectangle when the two sizes differ.
void TImageSprite::Render() {
  if (Image == nullptr || Engine == nullptr) return;
  const TRect r = GetBounds();
  const int left = r.Left + (Width - Image->Width()) / 2;
  const int top = r.Top + (Height - Image->Height()) / 2;
  Image->Draw(Engine->Surface, left, top, CurrentFrame());
}

TRect TImageSprite::GetBounds() const { return TSprite::GetBounds(); }

void TImageSprite::SetImage(TPictureCollectionItem* item) {
  Image = item;
  Width = item != nullptr ? item->Width() : 0;
  Height = item != nullptr ? item->Height() : 0;
}

// ---------------------------------------------------------------------------------------------
// TBackgroundSprite
// ---------------------------------------------------------------------------------------------

TBackgroundSprite::~TBackgroundSprite() { SetMapSize(0, 0); }

void TBackgroundSprite::SetMapSize(int columns, int rows) {
  if (columns == columns_ && rows == rows_) return;
  if (columns <= 0 || rows <= 0) {
    columns_ = rows_ = 0;
    cells_ = {};
    return;
  }
  cells_.assign(static_cast<size_t>(columns) * static_cast<size_t>(rows), 0);
  columns_ = columns;
  rows_ = rows;
}

void TBackgroundSprite::SetImage(TPictureCollectionItem* item) {
  Image = item;
  Width = item != nullptr ? item->Width() * columns_ : 0;
  Height = item != nullptr ? item->Height() * rows_ : 0;
}

int32_t TBackgroundSprite::Cell(int column, int row) const {
  if (column < 0 || column >= columns_ || row < 0 || row >= rows_) return -1;
  return cells_[static_cast<size_t>(row) * columns_ + column];
}

void TBackgroundSprite::SetCell(int column, int row, int32_t value) {
  if (column < 0 || column >= columns_ || row < 0 || row >= rows_) return;
  cells_[static_cast<size_t>(row) * columns_ + column] = value;
}

// The map is drawn once, without wrapping: only the cells that can fall on the surface are
// visited, the map's first visible cell being found from the sprite's position.
template <typename Visit>
bool TBackgroundSprite::VisitCells(Visit visit) const {
  const TRect cell = Image->PatternRect(0);
  const int cw = cell.Width(), ch = cell.Height();
  if (cw <= 0 || ch <= 0) return true;

  const TRect& surfaceRect = Engine->SurfaceRect;
  const int nx = (surfaceRect.Right + cw) / cw + 1;
  const int ny = (surfaceRect.Bottom + ch) / ch + 1;

  const int x = RoundHalfEven(AbsoluteX()), y = RoundHalfEven(AbsoluteY());
  const int ox = x % cw, oy = y % ch;
  int sx = x / cw, sy = y / ch;
  const int skipx = sx < 0 ? -sx : 0;
  const int skipy = sy < 0 ? -sy : 0;
  sx = std::max(sx, 0);
  sy = std::max(sy, 0);
  const int ex = std::min(sx + columns_ - skipx, nx);
  const int ey = std::min(sy + rows_ - skipy, ny);

  for (int r = sy; r < ey; ++r) {
    for (int c = sx; c < ex; ++c) {
      if (!visit(CellPattern(c - sx + skipx, r - sy + skipy), c * cw + ox, r * ch + oy)) return false;
    }
  }
  return true;
}

void TBackgroundSprite::Render() {
  if (Image == nullptr || Engine == nullptr || columns_ <= 0 || rows_ <= 0) return;
  TDirectDrawSurface* const surface = Engine->Surface;
  const TRect cell = Image->PatternRect(0);
  VisitCells([&](int32_t pattern, int x, int y) {
    const bool inArea = x < DrawArea.Right && x + cell.Width() > DrawArea.Left && y < DrawArea.Bottom && y + cell.Height() > DrawArea.Top;
    if (pattern >= 0 && inArea) Image->Draw(surface, x, y, pattern, DrawArea);
    return true;
  });
}

bool TBackgroundSprite::CoversSurface() const {
  if (Image == nullptr || Engine == nullptr || Engine->Surface == nullptr || columns_ <= 0 || rows_ <= 0) return false;
  const TRect& s = Engine->SurfaceRect;
  if (DrawArea.Left > s.Left || DrawArea.Top > s.Top || DrawArea.Right < s.Right || DrawArea.Bottom < s.Bottom) return false;
  const TRect map = GetBounds();
  if (map.Left > s.Left || map.Top > s.Top || map.Right < s.Right || map.Bottom < s.Bottom) return false;
  return VisitCells([&](int32_t pattern, int, int) { return Image->PatternOpaque(pattern); });
}

TRect TBackgroundSprite::GetBounds() const {
  if (Image == nullptr) return TRect{};
  return Bounds(RoundHalfEven(AbsoluteX()), RoundHalfEven(AbsoluteY()), Image->Width() * columns_,
                Image->Height() * rows_);
}

// ---------------------------------------------------------------------------------------------
// TSpriteEngine and its component
// ---------------------------------------------------------------------------------------------

TSpriteEngine::TSpriteEngine() { DeadList.reserve(InitialDeadListCapacity); }

// The children still reach back into SpriteCount and DeadList while they go, so they must go
// before this engine's members do.
TSpriteEngine::~TSpriteEngine() { DestroyChildren(); }

void TSpriteEngine::Draw() {
  DrawCount = 0;
  TSprite::Draw();
}

bool TSpriteEngine::BackdropCoversSurface() const {
  const std::vector<TSprite*>& order = DrawOrder();
  return Visible && !order.empty() && order.front()->Visible && order.front()->CoversSurface();
}

void TSpriteEngine::FreeDead() {
  // Last entry first. A parent freed before its queued child takes the child (and its entry) along.
  while (!DeadList.empty()) {
    TSprite* const sprite = DeadList.back();
    DeadList.pop_back();
    delete sprite;
  }
}

void TSpriteEngine::SetSurface(TDirectDrawSurface* surface) {
  Surface = surface;
  if (surface == nullptr) return;
  SurfaceRect = surface->ClientRect();
  Width = SurfaceRect.Width();
  Height = SurfaceRect.Height();
}

TDXSpriteEngine::TDXSpriteEngine(TDXDraw* dxDraw) : DXDraw(dxDraw) {
  if (DXDraw != nullptr && DXDraw->Initialized()) SurfaceInitialized();
}

TDXSpriteEngine::~TDXSpriteEngine() = default;

void TDXSpriteEngine::Draw() {
  if (DXDraw != nullptr && DXDraw->Initialized()) Engine.Draw();
}

void TDXSpriteEngine::SurfaceInitialized() {
  Engine.SetSurface(DXDraw != nullptr ? DXDraw->Surface() : nullptr);
}

void TDXSpriteEngine::SurfaceFinalized() { Engine.SetSurface(nullptr); }
