// The vehicle selection screen: a picture of the model, its four ratings as rows of marks, arrows
// to step through the five models with a cross-fade, START and BACK.
#include "app/app.h"
#include "race/player.h"
#include "sprites/sprites.h"

namespace {

// The picture of model n (1..5) is list 1 item kPreviewImageBase + n.
constexpr int kPreviewImageBase = 27;
int PreviewImage(int model) { return kPreviewImageBase + model; }

constexpr int kRatingMarkImage = 54, kRatingMarkX = 546, kRatingMarkPitch = 18;
constexpr int kRatingRowY[4] = {396, 424, 454, 486};
constexpr int kPictureX = 456, kPictureY = 180;
constexpr int kFadeStep = 20;

TMyImageSprite* VehiclePicture = nullptr;
TMyImageSprite* VehiclePictureNext = nullptr;

constexpr TScreenButton kButtons[4] = {{7, 37, 378, 180}, {8, 38, 712, 180}, {9, 39, 366, 542}, {10, 36, 661, 542}};

void StartSwitch() {
  VehicleSwitchPhase = 1;
  VehiclePictureNext->SelectImage(PreviewImage(PendingVehicle));
  VehiclePictureNext->Visible = true;
}

void RunCrossFade() {
  if (VehicleSwitchPhase == 0) {
    VehiclePicture->BlendEnabled = VehiclePictureNext->BlendEnabled = false;
    VehiclePicture->Alpha = VehiclePictureNext->Alpha = 255;
    VehiclePicture->Visible = true;
    VehiclePictureNext->Visible = false;
    return;
  }
  VehiclePicture->BlendEnabled = VehiclePictureNext->BlendEnabled = true;
  VehiclePicture->Alpha -= kFadeStep;
  if (VehiclePicture->Alpha <= 0) {
    VehiclePicture->SelectImage(PreviewImage(PendingVehicle));
    VehicleSwitchPhase = 0;
    SelectedVehicle = PendingVehicle;
  }
}

void MoveSelectionByKeys() {
  if (LeftPressed) {
    if (HoverItem == 7) ActivateItem(7);
    if (HoverItem == 8) HoverItem = 7;
    if (HoverItem == 10) HoverItem = 9;
  }
  if (RightPressed) {
    if (HoverItem == 8) ActivateItem(8);
    if (HoverItem == 7) HoverItem = 8;
    if (HoverItem == 9) HoverItem = 10;
  }
  if (UpPressed) {
    if (HoverItem == 9) HoverItem = 7;
    if (HoverItem == 10) HoverItem = 8;
  }
  if (DownPressed) {
    if (HoverItem == 7) HoverItem = 9;
    if (HoverItem == 8) HoverItem = 10;
  }
  if (UpPressed || DownPressed || LeftPressed || RightPressed) ClampToLow(HoverItem, FirstItem, LastItem);
  if (EscapePressed) ActivateItem(10);
}

}  // namespace

void OpenVehicleSelection() {
  BeginSubScreen(scrVehicleSelection, 10, 9);
  VehicleSwitchPhase = 0;
  CreateScreenButtons(kButtons);
  for (const TScreenButton& b : kButtons) MenuItems[b.Item]->SetZ(5);
  MenuItems[16] = TMyImageSprite::CreateAt(1, 25, 312, 42, 4);
  MenuItems[17] = TMyImageSprite::CreateAt(1, 52, 358, 130, 3);
  const int preview = PreviewImage(SelectedVehicle);
  VehiclePicture = TMyImageSprite::CreateAt(1, preview, kPictureX, kPictureY, 4);
  VehiclePictureNext = TMyImageSprite::CreateAt(1, preview, kPictureX, kPictureY, 4);
  VehiclePictureNext->Visible = false;
}

void SelectPreviousVehicle() {
  PendingVehicle = SelectedVehicle;
  StepDownWrapped(PendingVehicle, 1, 5);
  StartSwitch();
}

void SelectNextVehicle() {
  PendingVehicle = SelectedVehicle;
  StepUpWrapped(PendingVehicle, 1, 5);
  StartSwitch();
}

void DrawVehicleRatings() {
  TPictureCollectionItem* mark = GameImageList(1) ? &GameImageList(1)->Item(kRatingMarkImage) : nullptr;
  TDirectDrawSurface* surface = GameSurface();
  if (mark == nullptr || surface == nullptr) return;
  const TVehicleModel& v = VehicleModel(SelectedVehicle);
  const int ratings[4] = {v.TopSpeedRating, v.HandlingRating, v.AccelRating, v.BrakeRating};
  for (int row = 0; row < 4; ++row)
    for (int i = 0; i < ratings[row]; ++i)
      mark->Draw(surface, kRatingMarkX + kRatingMarkPitch * i, kRatingRowY[row], 0);
}

void UpdateVehicleSelection() {
  UpdateItemHighlight(true);
  MoveSelectionByKeys();
  // Esc may have left the screen: its pictures are gone.
  if (CurrentScreen != scrVehicleSelection) return;
  RunCrossFade();
  DrawVehicleRatings();
}

void LeaveVehicleSelection() {
  KillItems();
  KillScreenBackground();
  KillSpriteOnce(MenuItems[17]);
  KillSpriteOnce(MenuItems[16]);
  KillSpriteOnce(VehiclePicture);
  KillSpriteOnce(VehiclePictureNext);
  VehiclePicture = VehiclePictureNext = nullptr;
  CurrentScreen = scrNone;
}
