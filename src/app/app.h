// The game shell: the main form with its components, the frame, the window and input events,
// the message loop, the start-up sequence and the headless driver.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/platform.h"
#include "replay/replay.h"
#include "save/save.h"
#include "screens/screens.h"

class TDXSpriteEngine;

// ---------------------------------------------------------------------------------------------
// The main form and its components
// ---------------------------------------------------------------------------------------------

class TMForm final : public TScreenHost {
public:
  // Hands the display, sprite engine and image lists to the sprite layer and becomes the screens'
  // host.
  TMForm();
  ~TMForm();

  TDXDraw MDXDraw;
  TDXImageList MDXImageList1, MDXImageList2, MDXImageList3;
  TDXInput MDXInput;
  TDXSpriteEngine* MDXSpriteEngine = nullptr;  // owned
  TDXTimer MDXTimer;
  TDXWaveList MDXWaveList;

  // Loads the data files and the save files, opens the display, shows the main menu and starts
  // the timer. Throws EGameError when a data file cannot be loaded or no display opens.
  void FormCreate();
  // One frame: draw the sprites, poll the keys, the screen's step, free the dead, adapt to the
  // frame rate, flip.
  void RunFrame(int lagCount);
  // Window events.
  void FormCloseQuery(bool& canClose);
  void FormClose();
  void FormKeyDown(int& key, int shift);
  void FormKeyUp(int& key, int shift);
  void FormKeyPress(char& key);
  // While the options screen waits for a boss key: takes the modifier and function key.
  void CaptureBossKey(int& key, int shift, bool pressed);
  void MouseMoved(int shift, int x, int y);
  void MouseClicked();
  void WindowMinimized();
  void WindowRestored();

  int ApplyDisplayMode() override;
  void EnterFullScreen();
  void EnterWindowed();
  int GetRefreshRate();
  void SaveAllAndExit() override;

  // Set by SaveAllAndExit: the program ends once the current event or frame has returned.
  bool Terminated = false;
};

extern TMForm* MForm;

// Pumps window events into the form's handlers and runs a frame when the timer says one is due.
// Returns false once the program has terminated.
bool App_RunOnce();
// Handles one platform event (shared by the game loop and zkplay): while a replay plays, only
// what concerns the window itself (and Esc or closing ends the playback); while a game is
// recorded, what it did to the game is recorded too.
void App_DispatchEvent(const SysEvent& ev);
// The event's handler of the form, whatever a replay does.
void App_DispatchWindowEvent(const SysEvent& ev);

// Plays a recorded game back, from the main menu as FormCreate leaves it: its game starts at once
// and follows the record frame by frame until its end (PlaybackEnded()). The playback also ends
// when its game leaves the race screen, so a record never reaches the menus. From here on the
// run writes no save file (SetSaveWritesAllowed), opens no web page and sends no score.
void App_StartReplay(TReplay replay);
// True while a replay plays.
bool App_PlayingReplay();
// The race input of a frame that runs the race: the recorded one while a replay plays (`replayed`
// is the frame's record), else the autopilot's judgement while it is on, else the keyboard's.
TRaceInput App_RaceInput(const TReplayFrame* replayed);
// The frame's start while a replay plays: the record's events before the frame are applied and
// the frame's record returned (its timing set, its lag count in `lagCount`); nullptr when no
// replay plays, or once it has ended (the frame must not run then).
const TReplayFrame* App_ReplayFrameBegins(int& lagCount);
// The frame's end: the race's state goes to the recorder or the playback's check when a
// checkpoint is due.
void App_ReplayFrameEnded();

// One run of the game: the start-up and shut-down shared by the program, zkplay, the tests and
// the benchmark.
class TGameRun {
public:
  TGameRun() = default;
  ~TGameRun() { Stop(); }
  TGameRun(const TGameRun&) = delete;
  TGameRun& operator=(const TGameRun&) = delete;

  // Starts the platform and the sound device, puts the state of every subsystem back to its value
  // at program start (RenewRunState: the settings, the high-score table, the shell's screens, the
  // replay session, the autopilot, the race, the keys, the frame timing, the sound), seeds the
  // random generator (with `fixedSeed`, else from the clock), runs `beforeCreate` (tests prepare
  // files or keys there), creates the form as MForm and runs its FormCreate. Throws what those
  // throw (EGameError); the caller may still report the error before Stop shuts everything down.
  void Start(const SysConfig& config, std::optional<uint64_t> fixedSeed = std::nullopt,
             const std::function<void()>& beforeCreate = {});
  // Frees the form, renews the subsystems' state once more and shuts everything down in reverse
  // order; nothing when nothing started.
  void Stop();

  TMForm& Form() { return *form_; }

private:
  bool started_ = false;
  std::unique_ptr<TMForm> form_;
};

// --fullscreen and --windowed: start-up sets the FullScreen option before applying the display
// mode, so the choice is also saved at exit, as after Alt+Enter.
enum class TDisplayModeOverride { None, FullScreen, Windowed };
void App_SetDisplayModeOverride(TDisplayModeOverride mode);

// The window's icon, beside the data files.
constexpr const char* WindowIconFile = "Data/zubokranz.png";

// The game's command line.
struct TCommandLine {
  TDisplayModeOverride DisplayMode = TDisplayModeOverride::None;
  std::string SaveDir;  // --save-dir DIR; empty: the game's own choice
  std::string DataDir;  // --data DIR: the folder holding Data/; empty: looked up
  std::string ReplayFile;  // --replay FILE: plays the recorded game back; empty: the game
  TRendererChoice Renderer = TRendererChoice::Auto;  // --renderer auto|gpu|software
  bool FrameStats = false;                           // --frame-stats
};
extern const TProgramInfo GameProgramInfo;
// Fills `out` from argv[1..]; on a wrong command line returns false with the problem in `problem`.
// --help and --version are answered before (Sys_AnswerHelpOrVersion).
bool App_ParseCommandLine(int argc, char** argv, TCommandLine& out, std::string& problem);

// ---------------------------------------------------------------------------------------------
// Keyboard
// ---------------------------------------------------------------------------------------------

// Sets the frame's key edges (core.h) and the player's race keys from the keyboard device (with
// the player's own race keys) and the pads.
void PollInput();
// The race keys the keyboard and the pads held at the last poll.
const TRaceInput& PlayerRaceInput();
void ResetInputEdges();  // previous states back to "up" (start of a run)
bool IsNameChar(char ch);
void AppendChar(std::string& text, char ch, size_t maxLen);
void DeleteLastChar(std::string& text);
void HideForBossKey();

// ---------------------------------------------------------------------------------------------
// Game controllers
// ---------------------------------------------------------------------------------------------

// One direction of a stick or a trigger read as a key, with a dead zone and hysteresis: the part
// of the travel within DeadZone of rest counts as rest and the rest is scaled to 0..1; the key
// goes down once that passes PressAt and up again only once it falls below ReleaseAt, so a stick
// held near the threshold does not chatter.
struct TAxisKey {
  static constexpr float DeadZone = 0.2f, PressAt = 0.5f, ReleaseAt = 0.25f;
  bool Down = false;
  // `value`: the axis along this key's direction (the other way is negative). Returns Down.
  bool Step(float value);
};

// What the pads do in one frame.
struct TPadFrame {
  TRaceInput Race;                                       // the race keys held
  bool Up = false, Down = false, Left = false, Right = false;  // menu moves that began now
  bool Pause = false, Escape = false, No = false;        // key edges
};

// The pads' buttons and axes to the game's keys: the stick or the bound steering buttons steer,
// the right trigger or the accelerate button accelerates, the left trigger or the brake button
// brakes; the d-pad and the stick move in the menus; Start (the pause button) pauses, Back is Esc,
// and B goes back (Esc and No) everywhere but in a running race, where it brakes.
class TPadMapper {
public:
  TPadFrame Step(const TPadState& pad, const TControls& controls, bool racing);
  void Reset() { *this = TPadMapper{}; }

private:
  TAxisKey stickLeft_, stickRight_, stickUp_, stickDown_, throttle_, brake_;
  bool menuHeld_[4] = {};  // up, down, left, right at the last step
};

// The pads' part of the frame's poll (called by PollInput).
const TPadFrame& PollPads(bool racing);
void ResetPadInput();
// A pad's button went down: A chooses (Enter) outside a running race, and types the letter
// picker's entry in the name entry; a pad pulled out during a race opens the pause. Returns the key event this stands for (None when it stands for none).
SysEvent PadEventAsKey(const SysEvent& ev);
void PadDisconnected();

// ---------------------------------------------------------------------------------------------
// Drives the real game frame by frame under the headless backend (zkplay and the tests): each
// Frame first delivers the window events the game raised itself (a minimise), then advances the
// simulated clock by one refresh period and runs the frame when the timer fires; events go
// straight to the form's handlers, as between two frames.
// ---------------------------------------------------------------------------------------------

class THeadlessDriver {
public:
  explicit THeadlessDriver(int refreshRate = 60);
  void Send(SysEventType type, int key = 0, int shift = 0, int ch = 0, int x = 0, int y = 0);
  void Frame();
  void Frames(int count);
  // Key down with the character it types; Release lets it go. Key = Press, one frame, Release.
  void Press(int vk, int shift = 0);
  void Release(int vk, int shift = 0);
  void Key(int vk, int shift = 0);
  // Each character a key press with its typed character, one frame each.
  void Type(std::string_view text);
  void MouseMove(int x, int y);
  void Click();
  void DoubleClick();  // a click and a double click: activates twice

private:
  double frameMs_;
};
