// The sprite framework: the sprite tree (draw, move and free walks, depth order, point queries),
// image and background-map sprites, and the game's own sprite base with the interface sprites.
#pragma once

#include <array>
#include <climits>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/core.h"
#include "core/data_layout.h"
#include "platform/platform.h"

class TSpriteEngine;

class ESpriteError : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

// ---------------------------------------------------------------------------------------------
// Sprite tree
// ---------------------------------------------------------------------------------------------

class TSprite {
public:
  explicit TSprite(TSprite* parent);
  virtual ~TSprite();
  TSprite(const TSprite&) = delete;
  TSprite& operator=(const TSprite&) = delete;

  TSpriteEngine* Engine = nullptr;
  TSprite* Parent = nullptr;
  bool IsDead = false;
  bool Movable = true;
  bool Visible = true;
  double X = 0, Y = 0;
  int32_t Z = 0;
  int32_t Width = 0, Height = 0;

  double AbsoluteX() const;
  double AbsoluteY() const;
  int Count() const { return static_cast<int>(children_.size()); }
  // Child `index` in creation order. Throws ESpriteError "Index of the list exceeds the range. (%d)"
  // on a sprite without children, std::out_of_range on a bad index otherwise.
  TSprite* Items(int index) const;
  const std::vector<TSprite*>& DrawOrder() const { return drawOrder_; }

  virtual void Render() {}
  virtual void Step(int /*elapsed*/) {}
  virtual TRect GetBounds() const;
  // Whether Render paints every pixel of the engine's surface with opaque pictures, but for what
  // later sprites are bound to paint over (a background's DrawArea).
  virtual bool CoversSurface() const { return false; }

  void Kill();
  void SetZ(int32_t value);
  void Move(int elapsed);
  void Draw();
  TSprite* SpriteAt(int x, int y);
  // Whether SpriteAt(x, y) on the root of this sprite's tree may answer this sprite: it is visible
  // and the point lies on its rectangle, edges included (a deeper sprite may still lie over it).
  bool MayBeAt(int x, int y) const;

protected:
  TSprite();  // the engine's own constructor: no parent
  // Destroys every child, last first. The engine runs this before its own members go.
  void DestroyChildren();

private:
  void AddChild(TSprite* child);
  void RemoveChild(TSprite* child);
  void InsertByZ(TSprite* child);
  void VisitAt(TSprite*& result, double x, double y);
  // The point (x, y) of SpriteAt on the root, as this sprite's children are handed it.
  double PointForChildrenX(double x) const;
  double PointForChildrenY(double y) const;
  // The inside test of VisitAt, for a point as this sprite's parent hands it.
  bool Holds(double x, double y) const;

  std::vector<TSprite*> children_;   // creation order
  std::vector<TSprite*> drawOrder_;  // ascending Z; among equals the newest first
};

class TImageSprite : public TSprite {
public:
  explicit TImageSprite(TSprite* parent) : TSprite(parent) {}

  int32_t FrameCount = 0;
  bool LoopAnimation = false;
  double FramePos = 0;
  double FrameSpeed = 0;
  int32_t FirstFrame = 0;
  TPictureCollectionItem* Image = nullptr;  // not owned

  int CurrentFrame() const;
  void Render() override;
  void Step(int elapsed) override;
  TRect GetBounds() const override;
  virtual void SetImage(TPictureCollectionItem* item);
};

class TBackgroundSprite : public TSprite {
public:
  explicit TBackgroundSprite(TSprite* parent) : TSprite(parent) {}
  ~TBackgroundSprite() override;

  TPictureCollectionItem* Image = nullptr;  // not owned
  // The part of the surface the map is drawn in: cells are clipped to it. The whole surface by
  // default; narrower only where opaque pictures drawn later in every frame cover the rest.
  TRect DrawArea{INT_MIN, INT_MIN, INT_MAX, INT_MAX};
  int32_t MapColumns() const { return columns_; }
  int32_t MapRows() const { return rows_; }

  void SetMapSize(int columns, int rows);
  void SetImage(TPictureCollectionItem* item);
  // -1 outside the map.
  int32_t Cell(int column, int row) const;
  // Ignored outside the map.
  void SetCell(int column, int row, int32_t value);
  // The pattern that draws a cell (-1: nothing). By default the cell's value itself.
  virtual int32_t CellPattern(int column, int row) const { return Cell(column, row); }

  void Render() override;
  TRect GetBounds() const override;
  // The map covers the part of the surface in the draw area with opaque patterns (the pictures
  // drawn later cover the rest).
  bool CoversSurface() const override;

private:
  // Calls visit(pattern, x, y) for each cell that can fall on the surface, in drawing order, until
  // visit returns false; answers whether it went through them all.
  template <typename Visit>
  bool VisitCells(Visit visit) const;

  int32_t columns_ = 0, rows_ = 0;
  std::vector<int32_t> cells_;
};

class TSpriteEngine : public TSprite {
public:
  TSpriteEngine();
  ~TSpriteEngine() override;

  int32_t SpriteCount = 0;
  std::vector<TSprite*> DeadList;
  int32_t DrawCount = 0;
  TDirectDrawSurface* Surface = nullptr;  // not owned
  TRect SurfaceRect;

  void Draw();
  void FreeDead();
  virtual void SetSurface(TDirectDrawSurface* surface);
  // Whether the sprite drawn first paints the whole surface opaquely, so that what the surface
  // held before a Draw cannot show.
  bool BackdropCoversSurface() const;
};

// The component on the form: owns one engine and renders into the form's display.
class TDXSpriteEngine {
public:
  explicit TDXSpriteEngine(TDXDraw* dxDraw);
  ~TDXSpriteEngine();

  TSpriteEngine Engine;
  TDXDraw* DXDraw = nullptr;

  void Move(int elapsed) { Engine.Move(elapsed); }
  // Draws only while the display is initialised.
  void Draw();
  void FreeDead() { Engine.FreeDead(); }
  // Surface notifications from the display.
  void SurfaceInitialized();
  void SurfaceFinalized();
};

// ---------------------------------------------------------------------------------------------
// The game's sprites
// ---------------------------------------------------------------------------------------------

// The display, sprite engine and image lists every game sprite works with. The form hands its own
// over when it is created (tests hand over theirs); none are owned here.
struct TGameGraphics {
  TDXDraw* Draw = nullptr;
  TDXSpriteEngine* SpriteEngine = nullptr;
  std::array<TDXImageList*, 3> ImageLists{};  // lists 1, 2, 3
};
void UseGameGraphics(const TGameGraphics& graphics);
const TGameGraphics& GameGraphics();

// The engine every game sprite is created under, and the image lists it picks from.
TSpriteEngine& GameSpriteEngine();
TDXImageList* GameImageList(int listNo);  // 1, 2 or 3, loaded (waiting for a list still loading); nullptr otherwise
TDirectDrawSurface* GameSurface();         // the back surface of the form's display, or nullptr

class TMyImageSprite : public TImageSprite {
public:
  explicit TMyImageSprite(uint8_t imageList);
  static TMyImageSprite* CreateAt(uint8_t imageList, int imageIndex, int x, int y, int z);
  static TMyImageSprite* CreateCentered(uint8_t imageList, int imageIndex, int cx, int cy, int z);

  bool BlendEnabled = false;
  int32_t Alpha = 0;
  int32_t FrameRatePercent = 0;
  uint8_t ImageListNo = 0;
  bool KillQueued = false;

  int SelectImage(int index);
  void SetAnimation(int index, int percent);
  void KillOnce();

  void Render() override;
  void Step(int elapsed) override;

protected:
  // The body of CreateAt on an already constructed sprite: picture, top-left corner, depth.
  void PlaceAt(int imageIndex, int x, int y, int z);
};

class TMenuButton : public TMyImageSprite {
public:
  TMenuButton(uint8_t imageList, int hoverImage, int normalImage, int hoverFrame, int normalFrame,
              int x, int y);

  int32_t HoverImage = 0, NormalImage = 0;
  int32_t HoverFrame = 0, NormalFrame = 0;
  int32_t HitWidth = -1, HitHeight = -1;
  bool IsHovered = false;
  bool PopupRaise = false;
  bool SwapZ = false;
  int32_t NormalZ = 4, HoverZ = 5;

  void ShowHover();
  void ShowNormal();
  // Edges included; HitWidth/HitHeight -1 stand for the sprite's own size.
  bool ContainsPoint(double px, double py) const;

private:
  void ShowLook(int32_t raisedZ, int image, int frame, int32_t swappedZ);
};

class TMyCursor : public TMyImageSprite {
public:
  TMyCursor(uint8_t imageList, int imageIndex, int x, int y, int z, int blinkPeriod);

  int32_t BlinkPeriod = 0;
  int32_t BlinkLeft = 0;
  bool Blinking = false;

  void Step(int elapsed) override;
};

class TPointer : public TMyImageSprite {
public:
  TPointer(uint8_t imageList, int imageIndex, double pivotX, double pivotY, int x, int y);

  double PivotX = 0, PivotY = 0;
  int32_t BaseX = 0, BaseY = 0;
  int32_t Angle = 0;

  void Render() override;
};

// ---------------------------------------------------------------------------------------------
// Text on the back surface in the game's styles 1..TextStyleCount
// ---------------------------------------------------------------------------------------------

void SetTextStyle(int style);
void DrawText(std::string_view text, int x, int y, bool centerX, bool centerY);
int TextWidth(std::string_view text);
int TextHeight(std::string_view text);
int StyledTextWidth(std::string_view text, int style);
// DrawText with a dark outline in the shade of the style's colour and a soft shadow below it to
// the right: the captions and big texts that stand over the road.
void DrawFramedText(std::string_view text, int x, int y, bool centerX, bool centerY);
// DrawText in `style` for texts of digits, spaces, ':' and '/', from the style's glyph strip: no
// font call and no allocation once the strip is built (on first use). Leaves the current style
// as it was.
void DrawDigits(std::string_view text, int x, int y, bool centerX, bool centerY, int style);

// ---------------------------------------------------------------------------------------------
// Shading the back surface (drawn over what is already there; clipped; nothing without a surface)
// ---------------------------------------------------------------------------------------------

// Blends `color` over every pixel of `rect` at opacity32 of 32 (black dims what lies below).
void BlendRect(TDirectDrawSurface* surface, const TRect& rect, uint16_t color, int opacity32);
// A soft shadow: an ellipse of radii rx (across) and ry (along), turned clockwise by `radians`
// about its centre (cx, cy). Its inner half keeps keep32 of 32 parts of the light; from there the
// shade fades out to nothing at the rim.
void DrawSoftShadow(TDirectDrawSurface* surface, double cx, double cy, double rx, double ry, double radians,
                    int keep32);
// The outline of the same ellipse, `thickness` pixels wide with soft edges, in `color` blended at
// opacity32 of 32.
void DrawEllipseRing(TDirectDrawSurface* surface, double cx, double cy, double rx, double ry, double radians,
                     double thickness, uint16_t color, int opacity32);
// A disc of radius r with a soft edge, in `color` at opacity32 of 32.
void DrawDisc(TDirectDrawSurface* surface, double cx, double cy, double r, uint16_t color, int opacity32);
