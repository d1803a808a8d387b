// Keyboard and mouse: the per-frame key edges, the form's key events (boss key and its capture,
// Alt+Enter, typed text, Enter) and the drawing surface's mouse events.
#include "app/app.h"
#include "audio/audio.h"
#include "save/save.h"
#include "screens/screens.h"

namespace {

struct EdgeKey {
  bool* Pressed;
  int State;  // input state of the keyboard device
};

// Previous states start "up", so a key held while the game starts counts as pressed once.
bool previousState[8];
// The race keys the keyboard and the pads held at the last poll.
TRaceInput keyboardRaceInput;

const TRunStateRenewal renewal(ResetInputEdges);

constexpr size_t kCountryMaxLength = 16;
constexpr int kCountryMaxWidth = 345;
constexpr int kCountryMeasureStyle = stCountryMeasure;
constexpr size_t kNameMaxLength = 12;
constexpr int kNameMaxWidth = 240;
constexpr int kNameStyle = stNameTyped;

const EdgeKey kEdgeKeys[8] = {
    {&UpPressed, isUp},
    {&DownPressed, isDown},
    {&LeftPressed, isLeft},
    {&RightPressed, isRight},
    {&PausePressed, isButton1 + 5},
    {&YesPressed, isButton1 + 6},
    {&NoPressed, isButton1 + 7},
    {&EscapePressed, isButton1 + 8},
};

// The keyboard device's states of the race actions, in TControlAction order: the player's own
// keys (the menus keep the arrows of isUp .. isRight).
constexpr int kActionStates[ControlActionCount] = {isButton1 + 26, isButton1 + 27, isButton1 + 28, isButton1 + 29,
                                                   isButton1 + 9,  isButton1 + 4,  isButton1 + 5};

bool IsFunctionKey(int key) { return key >= VK_F1 && key <= VK_F12; }

// Edits a text field with one typed character: Backspace deletes, a name character is appended
// while the text is short enough and, before the keystroke, no wider than the limit.
void EditField(std::string& text, char key, size_t maxLength, int maxWidth, int style) {
  if (key == 8) {
    DeleteLastChar(text);
  } else if (IsNameChar(key) && StyledTextWidth(text, style) <= maxWidth) {
    AppendChar(text, key, maxLength);
  }
}

}  // namespace

void ResetInputEdges() {
  Sys_ClearKeyTaps();
  for (bool& p : previousState) p = false;
  for (const EdgeKey& k : kEdgeKeys) *k.Pressed = false;
  keyboardRaceInput = TRaceInput{};
  ResetPadInput();
}

void PollInput() {
  for (int action = 0; action < ControlActionCount; ++action)
    MForm->MDXInput.Assign(kActionStates[action], Controls.Keys[action]);
  MForm->MDXInput.Update();
  for (int i = 0; i < 8; ++i) {
    const bool now = MForm->MDXInput.State(kEdgeKeys[i].State);
    // A tap released again before this poll still counts once.
    *kEdgeKeys[i].Pressed = (!previousState[i] && now) || MForm->MDXInput.Tapped(kEdgeKeys[i].State);
    previousState[i] = now;
  }
  const TDXInput& input = MForm->MDXInput;
  const auto held = [&](int action) { return input.State(kActionStates[action]); };
  const TPadFrame& pad = PollPads(RaceFrameDue());
  UpPressed |= pad.Up;
  DownPressed |= pad.Down;
  LeftPressed |= pad.Left;
  RightPressed |= pad.Right;
  PausePressed |= pad.Pause;
  EscapePressed |= pad.Escape;
  NoPressed |= pad.No;
  keyboardRaceInput = TRaceInput{held(caSteerLeft) || pad.Race.Left,   held(caSteerRight) || pad.Race.Right,
                                 held(caAccelerate) || pad.Race.Up,    held(caBrake) || pad.Race.Down,
                                 held(caHandbrake) || pad.Race.Space, held(caHorn) || pad.Race.Horn};
}

const TRaceInput& PlayerRaceInput() { return keyboardRaceInput; }

bool IsNameChar(char ch) {
  const unsigned char c = static_cast<unsigned char>(ch);
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == ' ';
}

void AppendChar(std::string& text, char ch, size_t maxLen) {
  if (text.size() < maxLen) text += ch;
}

void DeleteLastChar(std::string& text) {
  if (!text.empty()) text.pop_back();
}

void TMForm::FormKeyDown(int& key, int shift) {
  Shell.LastKeyDown = key;
  if (Shell.BossKeyCapture) {
    CaptureBossKey(key, shift, true);
  } else if (BossKey != 0 && shift == BossKeyShift && key == BossKey) {  // 0: no boss key
    HideForBossKey();
  }
  if ((shift & ssAlt) && key == VK_RETURN) {
    Options.FullScreen = !Options.FullScreen;
    if (Shell.CurrentScreen == scrRace) OpenPopup(popPause);
    ApplyDisplayMode();
  }
}

void TMForm::FormKeyUp(int& key, int shift) {
  if (Shell.BossKeyCapture) CaptureBossKey(key, shift, false);
}

void TMForm::CaptureBossKey(int& key, int shift, bool pressed) {
  BossKeyShift = (shift & ssAlt) ? 2 : (shift & ssCtrl) ? 4 : (shift & ssShift) ? 1 : 0;
  if (pressed) {
    BossKey = IsFunctionKey(key) ? static_cast<uint16_t>(key) : 0;
    if (BossKey != 0) ToggleBossKeyCapture();
  } else if (IsFunctionKey(key)) {
    BossKey = 0;
  }
}

void HideForBossKey() {
  StopMusic();
  if (Shell.CurrentScreen == scrRace) {
    if (Shell.PopupKind == popLevelCaption) ClosePopup();
    OpenPopup(popPause);
  }
  Shell.MusicRestartPending = true;
  if (Options.FullScreen) {
    Options.FullScreen = false;
    MForm->EnterWindowed();
  }
  Sys_MinimizeWindow();
}

void TMForm::FormKeyPress(char& key) {
  if (Shell.PopupKind == popNameEntry) Shell.LastKeyChar = key;
  if (Shell.CurrentScreen == scrOptions && Shell.CountryEditing)
    EditField(Options.Country, key, kCountryMaxLength, kCountryMaxWidth, kCountryMeasureStyle);
  if (Shell.PopupKind == popNameEntry) EditField(Shell.PlayerName, key, kNameMaxLength, kNameMaxWidth, kNameStyle);
  if (key == 13) ActivateItem(Shell.HoverItem);
}

void TMForm::MouseMoved(int /*shift*/, int x, int y) {
  Shell.MouseX = x;
  Shell.MouseY = y;
  const int32_t previous = Shell.HoverItem;
  UpdateHoverFromMouse(Shell.CurrentScreen == scrMainMenu);
  if (Shell.HoverItem != previous && !(Shell.CurrentScreen == scrMainMenu && Shell.MenuIntroActive)) PlaySound(sndSelect);
}

void TMForm::MouseClicked() { Activate(); }
