// The vehicle selection screen: a picture of the model, its four ratings as rows of marks, arrows
// to step through the five models with a cross-fade, START and BACK.
#include <algorithm>

#include "race/player.h"
#include "screens/screens.h"
#include "sprites/sprites.h"

namespace {

// The picture of model n (1..5) is list 1 item kPreviewImageBase + n.
constexpr int kPreviewImageBase = 27;
int PreviewImage(int model) { return kPreviewImageBase + model; }

constexpr int kRatingMarkImage = 54, kRatingMarkX = 546, kRatingMarkPitch = 18;
constexpr int kRatingRowY[4] = {396, 424, 454, 486};
constexpr int kPictureX = 456, kPictureY = 180;
constexpr int kFadeStep = 20;

// The lowest plus the highest BrakeRating of the five models: the brakes' marks mirror the rating
// within that range, so the marks keep the range of the ratings while their order follows BrakeDecel.
constexpr int kBrakeMarksMirror = [] {
  int lowest = VehicleModels[1].BrakeRating, highest = lowest;
  for (int m = 1; m <= VehicleModelCount; ++m) {
    lowest = std::min(lowest, VehicleModels[m].BrakeRating);
    highest = std::max(highest, VehicleModels[m].BrakeRating);
  }
  return lowest + highest;
}();

TMyImageSprite* VehiclePicture = nullptr;
TMyImageSprite* VehiclePictureNext = nullptr;

constexpr TScreenButton kButtons[4] = {{7, 37, 378, 180}, {8, 38, 712, 180}, {9, 39, 366, 542}, {10, 36, 661, 542}};

void StartSwitch() {
  Shell.VehicleSwitchPhase = 1;
  VehiclePictureNext->SelectImage(PreviewImage(Shell.PendingVehicle));
  VehiclePictureNext->Visible = true;
}

void RunCrossFade() {
  if (Shell.VehicleSwitchPhase == 0) {
    VehiclePicture->BlendEnabled = VehiclePictureNext->BlendEnabled = false;
    VehiclePicture->Alpha = VehiclePictureNext->Alpha = 255;
    VehiclePicture->Visible = true;
    VehiclePictureNext->Visible = false;
    return;
  }
  VehiclePicture->BlendEnabled = VehiclePictureNext->BlendEnabled = true;
  VehiclePicture->Alpha -= kFadeStep;
  if (VehiclePicture->Alpha <= 0) {
    VehiclePicture->SelectImage(PreviewImage(Shell.PendingVehicle));
    Shell.VehicleSwitchPhase = 0;
    Shell.SelectedVehicle = Shell.PendingVehicle;
  }
}

// The arrows beside the picture step through the models when pressed toward their own side.
constexpr TArrowMoves kArrowMoves[] = {
    // item, up, down, left, right
    {7, 0, 9, -7, 8}, {8, 0, 10, 7, -8}, {9, 7, 0, 0, 10}, {10, 8, 0, 9, 0},
};

void MoveSelectionByKeys() {
  MoveByArrows(kArrowMoves, TArrowOrder::LeftRightFirst);
  if (UpPressed || DownPressed || LeftPressed || RightPressed) ClampToLow(Shell.HoverItem, Shell.FirstItem, Shell.LastItem);
  if (EscapePressed) ActivateItem(10);
}

}  // namespace

void OpenVehicleSelection() {
  BeginSubScreen(scrVehicleSelection, 10, 9);
  Shell.VehicleSwitchPhase = 0;
  CreateScreenButtons(kButtons);
  for (const TScreenButton& b : kButtons) Shell.MenuItems[b.Item]->SetZ(5);
  Shell.MenuItems[16] = TMyImageSprite::CreateAt(1, 25, 312, 42, 4);
  Shell.MenuItems[17] = TMyImageSprite::CreateAt(1, 52, 358, 130, 3);
  const int preview = PreviewImage(Shell.SelectedVehicle);
  VehiclePicture = TMyImageSprite::CreateAt(1, preview, kPictureX, kPictureY, 4);
  VehiclePictureNext = TMyImageSprite::CreateAt(1, preview, kPictureX, kPictureY, 4);
  VehiclePictureNext->Visible = false;
}

void SelectPreviousVehicle() {
  Shell.PendingVehicle = Shell.SelectedVehicle;
  StepDownWrapped(Shell.PendingVehicle, 1, 5);
  StartSwitch();
}

void SelectNextVehicle() {
  Shell.PendingVehicle = Shell.SelectedVehicle;
  StepUpWrapped(Shell.PendingVehicle, 1, 5);
  StartSwitch();
}

std::array<int, 4> VehicleRatingMarks(int model) {
  const TVehicleModel& v = VehicleModel(model);
  return {v.TopSpeedRating, v.HandlingRating, v.AccelRating, kBrakeMarksMirror - v.BrakeRating};
}

void DrawVehicleRatings() {
  TPictureCollectionItem* mark = GameImageList(1) ? &GameImageList(1)->Item(kRatingMarkImage) : nullptr;
  TDirectDrawSurface* surface = GameSurface();
  if (mark == nullptr || surface == nullptr) return;
  const std::array<int, 4> marks = VehicleRatingMarks(Shell.SelectedVehicle);
  for (int row = 0; row < 4; ++row)
    for (int i = 0; i < marks[row]; ++i)
      mark->Draw(surface, kRatingMarkX + kRatingMarkPitch * i, kRatingRowY[row], 0);
}

void UpdateVehicleSelection() {
  UpdateItemHighlight(true);
  MoveSelectionByKeys();
  // Esc may have left the screen: its pictures are gone.
  if (Shell.CurrentScreen != scrVehicleSelection) return;
  RunCrossFade();
  DrawVehicleRatings();
}

void LeaveVehicleSelection() {
  KillItems();
  KillScreenBackground();
  KillSpriteOnce(Shell.MenuItems[17]);
  KillSpriteOnce(Shell.MenuItems[16]);
  KillSpriteOnce(VehiclePicture);
  KillSpriteOnce(VehiclePictureNext);
  VehiclePicture = VehiclePictureNext = nullptr;
  Shell.CurrentScreen = scrNone;
}
