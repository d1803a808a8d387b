// The controls page: the race actions with their key and pad button, rumbling on or off, and the
// defaults. Reached from the options screen, its tab is the options tab.
#include "save/save.h"
#include "screens/screens.h"
#include "sprites/sprites.h"

namespace {

constexpr int kTableItem = 7, kDefaultsItem = 8, kBackItem = 9;
constexpr int kRumbleRow = ControlActionCount;  // the row after the actions
constexpr int kRowCount = ControlActionCount + 1;

// Layout, in the panel the other pages use.
constexpr int kHeadingX = 574, kHeadingY = 70;
constexpr int kLabelX = 470, kKeyX = 640, kPadX = 730;
constexpr int kHeaderY = 160, kFirstRowY = 196, kRowStep = 34;
constexpr int kMessageY = 470, kDefaultsY = 503;
constexpr int kHeadingStyle = 1, kLabelStyle = 17, kValueStyle = 7, kSelectedStyle = 13, kMessageStyle = 8;
// The options heading's picture and where its underline starts: the page's heading sits on it.
constexpr int kHeadingImage = 26, kHeadingImageX = 406, kHeadingImageY = 42, kUnderlineTop = 101;
constexpr int kDefaultsStyle = 12, kDefaultsHoverStyle = 16;

// Up and down between the table, "Defaults" and the back button (the table moves its own rows).
constexpr TArrowMoves kArrowMoves[] = {
    // item, up, down, left, right
    {kDefaultsItem, kTableItem, kBackItem, 0, 0},
    {kBackItem, kDefaultsItem, 0, 0, 0},
};

int RowY(int row) { return kFirstRowY + row * kRowStep; }

std::string CellText(int row, int column) {
  if (row == kRumbleRow) return column == 1 ? (Controls.Rumble ? "ON" : "OFF") : "";
  if (Shell.ControlsCapture && row == Shell.ControlsRow && column == Shell.ControlsColumn) return "...";
  if (column == 0) return ControlKeyName(Controls.Keys[row]);
  return PadButtonLabel(Controls.PadButtons[row]);
}

void DrawCell(int row, int column) {
  const bool selected = Shell.HoverItem == kTableItem && row == Shell.ControlsRow &&
                        (column == Shell.ControlsColumn || row == kRumbleRow);
  SetTextStyle(selected ? kSelectedStyle : kValueStyle);
  const std::string text = CellText(row, column);
  if (selected) DrawFramedText(text, column == 0 ? kKeyX : kPadX, RowY(row), true, true);
  else DrawText(text, column == 0 ? kKeyX : kPadX, RowY(row), true, true);
}

void DrawControlsPage() {
  if (TDirectDrawSurface* surface = GameSurface()) {
    const TRect underline{0, kUnderlineTop, surface->Width(), kUnderlineTop + 20};
    GameImageList(1)->Item(kHeadingImage).Draw(surface, kHeadingImageX, kHeadingImageY, 0, underline);
  }
  SetTextStyle(kHeadingStyle);
  DrawFramedText("CONTROLS", kHeadingX, kHeadingY, true, true);
  SetTextStyle(kLabelStyle);
  DrawText("KEY", kKeyX, kHeaderY, true, true);
  DrawText("PAD", kPadX, kHeaderY, true, true);
  for (int row = 0; row < kRowCount; ++row) {
    SetTextStyle(kLabelStyle);
    DrawText(row == kRumbleRow ? "RUMBLE" : ControlActionName(row), kLabelX, RowY(row), true, true);
    DrawCell(row, 0);
    DrawCell(row, 1);
  }
  if (Shell.ControlsCapture) {
    SetTextStyle(kMessageStyle);
    DrawText(Shell.ControlsColumn == 0 ? "Press the new key (Esc: keep)" : "Press the new button (Back: keep)", kHeadingX,
             kMessageY, true, true);
  } else if (!Shell.ControlsMessage.empty()) {
    SetTextStyle(kMessageStyle);
    DrawText(Shell.ControlsMessage, kHeadingX, kMessageY, true, true);
  }
  SetTextStyle(Shell.HoverItem == kDefaultsItem ? kDefaultsHoverStyle : kDefaultsStyle);
  DrawText("Defaults", kHeadingX, kDefaultsY, true, true);
}

void StartCapture() {
  Shell.ControlsCapture = true;
  Shell.ControlsMessage.clear();
  Shell.LastKeyDown = 0;
  Shell.LastPadButton = -1;
}

// Gives the selected action the key (column 0) or pad button (column 1), unless the menus need it
// or another action has it; says why not in the message.
void Bind(int code) {
  const int action = Shell.ControlsRow;
  const bool key = Shell.ControlsColumn == 0;
  const std::string name = key ? ControlKeyName(code) : PadButtonLabel(code);
  if (key ? !BindableKey(code) : !BindablePadButton(code)) {
    Shell.ControlsMessage = key ? "That key belongs to the menus" : "That button belongs to the menus";
    return;
  }
  const int other = key ? ActionWithKey(Controls, code, action) : ActionWithPadButton(Controls, code, action);
  if (other >= 0) {
    Shell.ControlsMessage = name + " is already " + ControlActionName(other);
    return;
  }
  if (key) Controls.Keys[action] = static_cast<uint16_t>(code);
  else Controls.PadButtons[action] = static_cast<uint8_t>(code);
  Shell.ControlsMessage = std::string(ControlActionName(action)) + ": " + name;
}

// While a cell waits: the key or button that went down answers it. True while it still waits
// (the frame's other keys then do nothing).
bool RunCapture() {
  if (!Shell.ControlsCapture) return false;
  const bool key = Shell.ControlsColumn == 0;
  const int code = key ? Shell.LastKeyDown : Shell.LastPadButton;
  const bool given = key ? code != 0 : code >= 0;
  const bool cancelled = key ? code == VK_ESCAPE || (!given && Shell.LastPadButton == pbBack)
                             : code == pbBack || (!given && Shell.LastKeyDown == VK_ESCAPE);
  Shell.LastKeyDown = 0;
  Shell.LastPadButton = -1;
  if (cancelled) {
    Shell.ControlsCapture = false;
    Shell.ControlsMessage.clear();
  } else if (given) {
    Shell.ControlsCapture = false;
    Bind(code);
  }
  return true;  // this frame's keys were the answer
}

void MoveInTable() {
  if (UpPressed) {
    if (Shell.ControlsRow > 0) --Shell.ControlsRow;
  } else if (DownPressed) {
    if (Shell.ControlsRow < kRowCount - 1) ++Shell.ControlsRow;
    else Shell.HoverItem = kDefaultsItem;
  }
  if (LeftPressed) Shell.ControlsColumn = 0;
  if (RightPressed) Shell.ControlsColumn = 1;
}

}  // namespace

std::string PadButtonLabel(int button) {
  switch (button) {
    case pbA: return "A";
    case pbB: return "B";
    case pbX: return "X";
    case pbY: return "Y";
    case pbStart: return "START";
    case pbLeftShoulder: return "LB";
    case pbRightShoulder: return "RB";
    case pbLeftStick: return "LS";
    case pbRightStick: return "RS";
    case pbDpadUp: return "D-UP";
    case pbDpadDown: return "D-DOWN";
    case pbDpadLeft: return "D-LEFT";
    case pbDpadRight: return "D-RIGHT";
    default: return "?";
  }
}

void OpenControlsScreen() {
  EnsureScreenBackground();
  BeginSubScreen(scrControls, kBackItem, kTableItem);
  Shell.MenuItems[17] = TMyImageSprite::CreateAt(MenuImageList, imgOptionsPanel, 358, 130, 3);
  auto* table = new TMenuButton(1, 0, 0, 0, 0, 370, 140);
  table->HitWidth = 410;
  table->HitHeight = 310;
  Shell.MenuItems[kTableItem] = table;
  auto* defaults = new TMenuButton(1, 0, 0, 0, 0, 500, kDefaultsY - 18);
  defaults->HitWidth = 150;
  defaults->HitHeight = 36;
  Shell.MenuItems[kDefaultsItem] = defaults;
  CreateScreenButton(TScreenButton{kBackItem, 36, 661, 542});
  Shell.ControlsRow = 0;
  Shell.ControlsColumn = 0;
  Shell.ControlsCapture = false;
  Shell.ControlsMessage.clear();
}

void UpdateControlsScreen(int lagCount) {
  UpdateItemHighlight(true);
  if (!RunCapture()) {
    if (UpPressed || DownPressed || LeftPressed || RightPressed) ClampToLow(Shell.HoverItem, Shell.FirstItem, Shell.LastItem);
    if (Shell.HoverItem == kTableItem) MoveInTable();
    else MoveByArrows(kArrowMoves, TArrowOrder::UpDownFirst);
    if (EscapePressed) ActivateItem(kBackItem);
    // Esc has left the screen.
    if (Shell.CurrentScreen != scrControls) return;
  }
  GameSpriteEngine().Move(lagCount);
  DrawControlsPage();
}

void ActivateControlsItem(int32_t item) {
  switch (item) {
    case kTableItem:
      if (Shell.ControlsCapture) break;  // the key that answers a capture does not start another
      if (Shell.ControlsRow == kRumbleRow) Controls.Rumble = !Controls.Rumble;
      else StartCapture();
      break;
    case kDefaultsItem:
      ResetControls();
      Shell.ControlsCapture = false;
      Shell.ControlsMessage = "The default controls are back";
      break;
    case kBackItem:
      LeaveControlsScreen();
      OpenOptionsScreenAt(13);
      break;
    default: break;
  }
}

void LeaveControlsScreen() {
  Shell.ControlsCapture = false;
  Shell.CurrentScreen = scrNone;
  KillItems();
  KillScreenBackground();
  KillSpriteOnce(Shell.MenuItems[17]);
}
