// The options screen: display mode, music, sound, the country text, the boss key and the way to
// the controls page.
#include <cmath>

#include "save/save.h"
#include "screens/screens.h"
#include "sprites/sprites.h"

namespace {

struct OptionRow {
  int Item, X, Y, HitWidth, HitHeight;
};
// Items 7..11 and 13, the invisible option-row buttons with explicit hit boxes.
constexpr OptionRow kOptionRows[6] = {
    {7, 530, 154, 94, 70}, {8, 459, 257, 84, 70}, {9, 604, 257, 84, 70},
    {10, 486, 365, 170, 70}, {11, 510, 441, 120, 70}, {13, 450, 545, 180, 40},
};

struct Label {
  const char* Text;
  int X, Y;
  int Item;  // drawn in the hover style while this item is selected
};
constexpr Label kLabels[6] = {
    {"Display:", 574, 168, 7}, {"Music:", 504, 272, 8}, {"Sound:", 646, 272, 9},
    {"Country:", 575, 380, 10}, {"Boss Key:", 570, 458, 11}, {"Controls", 540, 564, 13},
};
constexpr int kLabelStyle = stOptionLabel, kLabelHoverStyle = stOptionLabelHover, kValueStyle = stOptionValue;
constexpr int kCountryX = 580, kCountryY = 417, kBossKeyX = 575, kBossKeyY = 494;

constexpr const char* kFunctionKeyNames[12] = {"F1", "F2", "F3", "F4", "F5", "F6",
                                               "F7", "F8", "F9", "F10", "F11", "F12"};

TMyImageSprite* CountryFrame = nullptr;
TMyImageSprite* BossKeyFrame = nullptr;

TMyImageSprite* Picture(int item) { return static_cast<TMyImageSprite*>(Shell.MenuItems[item]); }

// Selects `image` unless the picture already shows it, so the animation state is kept.
void ShowPicture(int item, int image) {
  TMyImageSprite* p = Picture(item);
  if (p != nullptr && p->Image != &GameImageList(1)->Item(image)) p->SelectImage(image);
}

void DrawLabel(const Label& label) {
  SetTextStyle(Shell.HoverItem == label.Item ? kLabelHoverStyle : kLabelStyle);
  DrawText(label.Text, label.X, label.Y, true, true);
}

// Up and down through the rows, left and right between music and sound.
constexpr TArrowMoves kArrowMoves[] = {
    // item, up, down, left, right
    {7, 0, 8, 0, 0}, {8, 7, 10, 0, 9}, {9, 7, 10, 8, 0}, {10, 8, 11, 0, 0}, {11, 10, 12, 0, 0},
    {13, 11, 0, 0, 12}, {12, 11, 0, 13, 0},
};

}  // namespace

std::string BossKeyText() {
  std::string text;
  if (BossKeyShift & ssAlt) text = "ALT+";
  else if (BossKeyShift & ssCtrl) text = "CTRL+";
  else if (BossKeyShift & ssShift) text = "SHIFT+";
  if (BossKey >= VK_F1 && BossKey <= VK_F12) text += kFunctionKeyNames[BossKey - VK_F1];
  if (text.empty()) text = "?";
  else if (text.back() == '+') text += '?';
  return text;
}

void OpenOptionsScreen() {
  OpenOptionsScreenAt(12);
}

void OpenOptionsScreenAt(int32_t hover) {
  EnsureScreenBackground();
  BeginSubScreen(scrOptions, 13, hover);
  Shell.MenuItems[17] = TMyImageSprite::CreateAt(MenuImageList, imgOptionsTitle, 406, 42, 3);
  Shell.MenuItems[18] = TMyImageSprite::CreateAt(MenuImageList, imgOptionsPanel, 358, 130, 3);
  CountryFrame = TMyImageSprite::CreateAt(MenuImageList, imgCountryField, 392, 400, 4);
  BossKeyFrame = TMyImageSprite::CreateAt(MenuImageList, imgBossKeyField, 468, 478, 4);
  for (const OptionRow& row : kOptionRows) {
    auto* button = new TMenuButton(1, 0, 0, 0, 0, row.X, row.Y);
    button->HitWidth = row.HitWidth;
    button->HitHeight = row.HitHeight;
    Shell.MenuItems[row.Item] = button;
  }
  CreateScreenButton(TScreenButton{12, 36, 661, 542});
  Shell.MenuItems[14] = TMyImageSprite::CreateAt(MenuImageList, Options.FullScreen ? imgFullScreen : imgWindowed, 456, 192, 4);
  Shell.MenuItems[15] = TMyImageSprite::CreateAt(MenuImageList, Options.Music ? imgMusicOn : imgMusicOff, 444, 296, 4);
  Shell.MenuItems[16] = TMyImageSprite::CreateAt(MenuImageList, Options.Sound ? imgSoundOn : imgSoundOff, 590, 296, 4);
  Shell.TextCursor = new TMyCursor(1, 22, 392, 406, 5, 600);
  Shell.CountryEditing = false;
  Shell.BossKeyCapture = false;
}

void UpdateOptionsScreen(int lagCount) {
  UpdateItemHighlight(true);
  if (UpPressed || DownPressed || LeftPressed || RightPressed) ClampToLow(Shell.HoverItem, Shell.FirstItem, Shell.LastItem);
  int escapeItem = 10;
  if (!Shell.CountryEditing) {
    MoveByArrows(kArrowMoves, TArrowOrder::UpDownFirst);
    escapeItem = 12;
  }
  if (EscapePressed) ActivateItem(escapeItem);
  // Esc may have left the screen.
  if (Shell.CurrentScreen != scrOptions) return;
  GameSpriteEngine().Move(lagCount);
  DrawOptionsScreen();
  if (Shell.TextCursor != nullptr) Shell.TextCursor->X = kCountryX + StyledTextWidth(Options.Country, kValueStyle) / 2.0 + 2;
}

void DrawOptionsScreen() {
  for (int i = 0; i < 4; ++i) DrawLabel(kLabels[i]);
  SetTextStyle(kValueStyle);
  DrawText(Options.Country, kCountryX, kCountryY, true, true);
  DrawLabel(kLabels[4]);
  SetTextStyle(kValueStyle);
  DrawText(BossKeyText(), kBossKeyX, kBossKeyY, true, true);
  // The way to the controls page stands below the panel, on the moving road: framed to read there.
  SetTextStyle(Shell.HoverItem == kLabels[5].Item ? kLabelHoverStyle : kLabelStyle);
  DrawFramedText(kLabels[5].Text, kLabels[5].X, kLabels[5].Y, true, true);
  ShowPicture(14, Options.FullScreen ? 15 : 14);
  ShowPicture(15, Options.Music ? 16 : 17);
  ShowPicture(16, Options.Sound ? 18 : 19);
}

void ToggleCountryEditing() {
  Shell.CountryEditing = !Shell.CountryEditing;
  if (Shell.TextCursor != nullptr) Shell.TextCursor->Blinking = !Shell.TextCursor->Blinking;
}

void ToggleBossKeyCapture() {
  if (!Shell.BossKeyCapture) {
    Shell.SavedBossKeyShift = BossKeyShift;
    Shell.SavedBossKey = BossKey;
    BossKeyShift = 0;
    BossKey = 0;
  } else if (BossKey == 0) {
    BossKeyShift = Shell.SavedBossKeyShift;
    BossKey = Shell.SavedBossKey;
  }
  Shell.BossKeyCapture = !Shell.BossKeyCapture;
}

void LeaveOptionsScreen() {
  // A capture still waiting for its function key ends here, or the key in force would be lost
  // and the main menu would go on catching keys.
  if (Shell.BossKeyCapture) ToggleBossKeyCapture();
  // Country editing ends with the screen, however it is left (Esc, the back button, a tab).
  if (Shell.CountryEditing) ToggleCountryEditing();
  Shell.CurrentScreen = scrNone;
  KillItems();
  KillScreenBackground();
  for (int item = 14; item <= 18; ++item) KillSpriteOnce(Shell.MenuItems[item]);
  KillSpriteOnce(CountryFrame);
  KillSpriteOnce(BossKeyFrame);
  KillSpriteOnce(Shell.TextCursor);
  CountryFrame = BossKeyFrame = nullptr;
  Shell.TextCursor = nullptr;
}
