// The game's own sprite base (picture by number from the form's image lists, animation in percent
// of a pattern per frame, blending, kill-once) and the interface sprites built on it.
#include <algorithm>
#include <cmath>

#include "sprites/sprites.h"

namespace {

// The countdown step of one frame, never below 1 ms so that rates derived from it stay finite.
int FrameStepMs() { return std::max<int32_t>(FrameTimeMs, 1); }

}  // namespace

namespace {
TGameGraphics graphics;
}  // namespace

void UseGameGraphics(const TGameGraphics& g) { graphics = g; }
const TGameGraphics& GameGraphics() { return graphics; }

TSpriteEngine& GameSpriteEngine() { return graphics.SpriteEngine->Engine; }

TDXImageList* GameImageList(int listNo) {
  if (listNo < 1 || listNo > 3) return nullptr;
  TDXImageList* const list = graphics.ImageLists[listNo - 1];
  if (list != nullptr) list->WaitLoaded();
  return list;
}

TDirectDrawSurface* GameSurface() { return graphics.Draw != nullptr ? graphics.Draw->Surface() : nullptr; }

// ---------------------------------------------------------------------------------------------
// TMyImageSprite
// ---------------------------------------------------------------------------------------------

TMyImageSprite::TMyImageSprite(uint8_t imageList) : TImageSprite(&GameSpriteEngine()) {
  ImageListNo = imageList;
  LoopAnimation = true;
}

TMyImageSprite* TMyImageSprite::CreateAt(uint8_t imageList, int imageIndex, int x, int y, int z) {
  auto* const sprite = new TMyImageSprite(imageList);  // owned by the engine
  sprite->PlaceAt(imageIndex, x, y, z);
  return sprite;
}

TMyImageSprite* TMyImageSprite::CreateCentered(uint8_t imageList, int imageIndex, int cx, int cy,
                                               int z) {
  TMyImageSprite* const sprite = CreateAt(imageList, imageIndex, cx, cy, z);
  sprite->X = cx - sprite->Width / 2.0;
  sprite->Y = cy - sprite->Height / 2.0;
  return sprite;
}

void TMyImageSprite::PlaceAt(int imageIndex, int x, int y, int z) {
  SelectImage(imageIndex);
  X = x;
  Y = y;
  SetZ(z);
}

// Only lists 1 and 2 hold sprite pictures; with any other list number the current item stays and
// only the size and animation are taken from it again.
int TMyImageSprite::SelectImage(int index) {
  if (ImageListNo == 1 || ImageListNo == 2) SetImage(&GameImageList(ImageListNo)->Item(index));
  Width = Image != nullptr ? Image->Width() : 0;
  Height = Image != nullptr ? Image->Height() : 0;
  FramePos = 0;
  FrameCount = Image != nullptr ? Image->PatternCount() : 0;
  return FrameCount;
}

void TMyImageSprite::SetAnimation(int index, int percent) {
  SelectImage(index);
  FramePos = 0;
  LoopAnimation = true;
  FrameCount = Image != nullptr ? Image->PatternCount() : 0;
  FrameRatePercent = percent;
}

void TMyImageSprite::KillOnce() {
  if (KillQueued) return;
  Kill();
  KillQueued = true;
}

void TMyImageSprite::Step(int elapsed) {
  TImageSprite::Step(elapsed);
  // At exactly FrameCount - 0.5 the position would round (halves to even) to FrameCount, a pattern
  // that does not exist, so the restart includes the limit itself.
  if (FramePos >= FrameCount - 0.5) FramePos = 0;
  if (FrameRatePercent > 0) FrameSpeed = (1.0 / FrameStepMs()) * FrameRatePercent / 100;
}

// The blended path truncates where the plain path rounds, and draws the truncated frame position
// without FirstFrame.
void TMyImageSprite::Render() {
  if (!Visible) return;
  if (!BlendEnabled || Alpha == 255) {
    TImageSprite::Render();
    return;
  }
  if (Image == nullptr) return;
  const TRect dest{TruncToInt(X), TruncToInt(Y), TruncToInt(X + Width), TruncToInt(Y + Height)};
  Image->DrawBlended(GameSurface(), dest, TruncToInt(FramePos), Alpha);
}

// ---------------------------------------------------------------------------------------------
// TMenuButton
// ---------------------------------------------------------------------------------------------

TMenuButton::TMenuButton(uint8_t imageList, int hoverImage, int normalImage, int hoverFrame,
                         int normalFrame, int x, int y)
    : TMyImageSprite(imageList),
      HoverImage(hoverImage),
      NormalImage(normalImage),
      HoverFrame(hoverFrame),
      NormalFrame(normalFrame) {
  SelectImage(NormalImage);
  FramePos = NormalFrame;
  X = x;
  Y = y;
  SetZ(4);
  NormalZ = Z;
  HoverZ = Z + 1;
}

void TMenuButton::ShowHover() { ShowLook(17, HoverImage, HoverFrame, HoverZ); }

void TMenuButton::ShowNormal() { ShowLook(15, NormalImage, NormalFrame, NormalZ); }

void TMenuButton::ShowLook(int32_t raisedZ, int image, int frame, int32_t swappedZ) {
  if (PopupRaise) SetZ(raisedZ);
  SelectImage(image);
  FramePos = frame;
  if (SwapZ) SetZ(swappedZ);
}

bool TMenuButton::ContainsPoint(double px, double py) const {
  const double w = HitWidth == -1 ? Width : HitWidth;
  const double h = HitHeight == -1 ? Height : HitHeight;
  return Y <= py && py <= Y + h && X <= px && px <= X + w;
}

// ---------------------------------------------------------------------------------------------
// TMyCursor
// ---------------------------------------------------------------------------------------------

TMyCursor::TMyCursor(uint8_t imageList, int imageIndex, int x, int y, int z, int blinkPeriod)
    : TMyImageSprite(imageList), BlinkPeriod(blinkPeriod) {
  PlaceAt(imageIndex, x, y, z);
  Visible = false;
}

// Counted in frame steps: the first step after Blinking is set shows the caret.
void TMyCursor::Step(int elapsed) {
  TMyImageSprite::Step(elapsed);
  if (!Blinking) {
    Visible = false;
    return;
  }
  if (BlinkLeft - FrameTimeMs >= 0) {
    BlinkLeft -= FrameTimeMs;
    return;
  }
  BlinkLeft = BlinkPeriod;
  Visible = !Visible;
}

// ---------------------------------------------------------------------------------------------
// TPointer
// ---------------------------------------------------------------------------------------------

TPointer::TPointer(uint8_t imageList, int imageIndex, double pivotX, double pivotY, int x, int y)
    : TMyImageSprite(imageList), PivotX(pivotX), PivotY(pivotY), BaseX(x), BaseY(y) {
  PlaceAt(imageIndex, x, y, 12);
}

// The pivot lands one pattern size right of and below the base point; always pattern 0.
void TPointer::Render() {
  if (Image == nullptr) return;
  const int pw = Image->Width(), ph = Image->Height();
  Image->DrawRotated(GameSurface(), BaseX + pw, BaseY + ph, pw, ph, 0, PivotX, PivotY, Angle);
}
