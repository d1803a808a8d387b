// zkplay --storm: random events of every kind against the real game, with the game's state
// checked after each one. An exit answered Yes saves, ends the game and starts it again. Idle on
// the menus, the storm leans toward starting a race; in the race it rides for stretches, jumps to
// the late phases of a level now and then, and storms every phase with the same events.
#include "storm.h"

#include <unistd.h>

#include <array>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <deque>
#include <filesystem>
#include <memory>
#include <random>
#include <string>

#include "app/app.h"
#include "online/online.h"
#include "race/race.h"
#include "save/save.h"
#include "screens/screens.h"
#include "script.h"
#include "sprites/sprites.h"
#include "storm_race.h"

namespace {

namespace fs = std::filesystem;

// Keys the storm presses: the game's own, the function keys (one of them the boss key), keys
// the game ignores and the modifiers themselves.
constexpr int kKeys[] = {
    VK_UP,    VK_DOWN, VK_LEFT,   VK_RIGHT,   VK_RETURN, VK_ESCAPE, VK_SPACE, VK_BACK, VK_TAB,
    VK_PAUSE, 'Y',     'N',       'P',        'A',       'Z',       '0',      '7',     VK_SHIFT,
    VK_CONTROL, VK_MENU, VK_F1,   VK_F1 + 1,  VK_F1 + 2, VK_F1 + 3, VK_F1 + 4, VK_F1 + 5, VK_F1 + 6,
    VK_F1 + 7, VK_F1 + 8, VK_F1 + 9, VK_F1 + 10, VK_F1 + 11,
};
constexpr int kShiftStates[] = {0, 0, 0, 0, ssAlt, ssCtrl, ssShift, ssAlt | ssCtrl};

enum class TEvent {
  Key, KeyDown, KeyUp, Char, Move, MoveToItem, Click, DoubleClick, Frames, FocusOff, FocusOn,
  Minimize, Restore, Close, Answer, GoRace, Ride, RaceKey, Jump, Pad, Count
};
using TWeights = std::array<int, static_cast<size_t>(TEvent::Count)>;
// Relative frequencies, in the order above: off the race screen, and on it.
constexpr TWeights kMenuWeights = {30, 4, 4, 10, 10, 14, 12, 3, 16, 1, 2, 1, 2, 2, 3, 25, 0, 0, 0, 8};
constexpr TWeights kRaceWeights = {10, 2, 2, 3, 3, 3, 3, 1, 6, 1, 1, 1, 1, 1, 4, 0, 40, 8, 4, 6};

// Keys of the race the storm presses on purpose; the boss key is added as the player set it.
constexpr int kRaceKeys[] = {'P', VK_ESCAPE, 'H', VK_RETURN, VK_PAUSE};
// Where the score of a finished game goes: a local port that refuses at once.
constexpr const char* kNoScoreServer = "http://127.0.0.1:1";

// True when `sprite` is one of the engine's sprites now, found by address only (a freed one is
// never touched).
bool InEngine(const TSprite* root, const TSprite* sprite) {
  for (int i = 0; i < root->Count(); ++i) {
    const TSprite* child = root->Items(i);
    if (child == sprite || InEngine(child, sprite)) return true;
  }
  return false;
}

class TStorm {
public:
  explicit TStorm(const TStormOptions& options)
      : options_(options), random_(options.Seed), driver_(options.RefreshRate) {}

  int Run();

private:
  void StartGame();
  TEvent PickEvent();
  void Apply(TEvent event);
  void GoRace();
  void ClickOn(int item);
  void Ride();
  void HoldRiderKeys(const TRiderKeys& keys, int& waited);
  void PressRaceKey();
  void Jump();
  // A pad plugged in or pulled out, a button pressed, held or let go, a stick or trigger moved.
  void PadEvent();
  int Pick(int count) { return std::uniform_int_distribution<int>(0, count - 1)(random_); }
  bool Chance(int percent) { return Pick(100) < percent; }
  int RandomKey() { return kKeys[Pick(static_cast<int>(std::size(kKeys)))]; }
  void MoveOntoItem();
  std::string Problem() const;
  void Remember(const std::string& line);
  int Fail(long long event, const std::string& problem);

  TStormOptions options_;
  std::mt19937_64 random_;
  THeadlessDriver driver_;
  TGameRun game_;
  std::string gameDir_;
  std::deque<std::string> trail_;  // the last events, as script lines
  std::array<int, 4> held_{};      // keys held down by a KeyDown event
  int pads_ = 0;                   // virtual pads attached
  long long events_ = 0, frames_ = 0, restarts_ = 0, jumps_ = 0;
  std::array<long long, 8> screens_{};
  std::array<long long, 13> popups_{};
  std::array<long long, static_cast<size_t>(TRacePhase::Count)> phases_{};
  // The rider: its style for its next EventsLeft ride events, and the keys it holds.
  struct TRider {
    TRiderStyle Style = TRiderStyle::Follow;
    int Side = 0, EventsLeft = 0;
    double SpeedCap = 0;
    TRiderKeys Held;
    long long Frame = 0;
  } rider_;
};

void TStorm::StartGame() {
  SysConfig config;
  config.Backend = SysBackend::Headless;
  config.HeadlessRefreshRate = options_.RefreshRate;
  config.DataRoot = gameDir_;
  game_.Start(config, options_.Seed + static_cast<uint64_t>(restarts_));
  SetScoreServer(kNoScoreServer);
  held_.fill(0);
  pads_ = 0;
  rider_ = TRider{};
}

TEvent TStorm::PickEvent() {
  const bool inRace = Shell.CurrentScreen == scrRace;
  // Minimised or out of focus the game stands still: in the race, come back soon.
  if (inRace && MForm != nullptr && !MForm->MDXTimer.Hooked() && Chance(30)) return Chance(50) ? TEvent::Restore : TEvent::FocusOn;
  // A pause or a question would hold the race for most of the storm: lift it often.
  if (inRace && Shell.PopupKind == popPause && Chance(40)) return TEvent::RaceKey;
  if (inRace && Shell.PopupKind == popExitToMenu && Chance(30)) return TEvent::Answer;
  const TWeights& weights = inRace ? kRaceWeights : kMenuWeights;
  int total = 0;
  for (const int w : weights) total += w;
  int n = Pick(total);
  for (size_t i = 0; i < weights.size(); ++i) {
    if (n < weights[i]) return static_cast<TEvent>(i);
    n -= weights[i];
  }
  return TEvent::Frames;
}

void TStorm::ClickOn(int item) {
  const TSprite* s = item >= 1 && item <= MenuItemCount ? Shell.MenuItems[item] : nullptr;
  if (s == nullptr || !InEngine(&GameSpriteEngine(), s) || s->IsDead) return;
  const int x = static_cast<int>(s->X) + Pick(std::max(1, static_cast<int>(s->Width)));
  const int y = static_cast<int>(s->Y) + Pick(std::max(1, static_cast<int>(s->Height)));
  driver_.MouseMove(x, y);
  driver_.Click();
  Remember("mouse " + std::to_string(x) + " " + std::to_string(y));
  Remember("click");
}

// A step toward a race: the main menu's first button, a bike and the start button, or back from
// another screen; a question open is answered, a slide-in or a bike change waited for.
void TStorm::GoRace() {
  if (Shell.PopupKind != popNone) {
    Apply(TEvent::Answer);
  } else if (Shell.MenuIntroActive || (Shell.CurrentScreen == scrVehicleSelection && Shell.VehicleSwitchPhase != 0)) {
    Apply(TEvent::Frames);
  } else if (Shell.CurrentScreen == scrVehicleSelection) {
    ClickOn(Chance(30) ? 7 + Pick(2) : 9);
  } else {
    ClickOn(1);
  }
}

// Holds the rider's keys for this frame: presses and releases only what changed, and puts the
// changes and the frames between them on the trail.
void TStorm::HoldRiderKeys(const TRiderKeys& keys, int& waited) {
  const std::pair<bool TRiderKeys::*, int> map[] = {
      {&TRiderKeys::Up, VK_UP}, {&TRiderKeys::Down, VK_DOWN}, {&TRiderKeys::Left, VK_LEFT},
      {&TRiderKeys::Right, VK_RIGHT}, {&TRiderKeys::Space, VK_SPACE}};
  for (const auto& [held, vk] : map) {
    if (keys.*held == rider_.Held.*held) continue;
    if (waited > 0) Remember("wait " + std::to_string(waited));
    waited = 0;
    if (keys.*held) driver_.Press(vk);
    else driver_.Release(vk);
    Remember(std::string(keys.*held ? "down " : "up ") + KeyScriptName(vk, 0));
  }
  rider_.Held = keys;
}

// A stretch of riding: the rider's keys for a few frames, in the style it keeps for a while
// (following the road, riding wild into the verge, braking into a fall).
void TStorm::Ride() {
  if (rider_.EventsLeft-- <= 0) {
    const int style = Pick(10);
    rider_.Style = style < 7 ? TRiderStyle::Follow : style < 9 ? TRiderStyle::Wild : TRiderStyle::Brake;
    rider_.Side = Pick(3) - 1;
    rider_.SpeedCap = 60 + Pick(110);
    rider_.EventsLeft = 20 + Pick(100);
  }
  const int n = 1 + Pick(4);
  int waited = 0;
  for (int i = 0; i < n && Shell.CurrentScreen == scrRace && !MForm->Terminated; ++i) {
    if (const TRace* race = CurrentRace()) HoldRiderKeys(RiderKeys(*race, rider_.Style, rider_.Side, rider_.SpeedCap, rider_.Frame++), waited);
    driver_.Frame();
    ++frames_;
    ++waited;
  }
  if (waited > 0) Remember("wait " + std::to_string(waited));
}

// Pause, Esc, the horn, Enter, the boss key as the player set it, or Alt+Enter; mostly P or Esc
// while paused.
void TStorm::PressRaceKey() {
  int vk = kRaceKeys[Pick(static_cast<int>(std::size(kRaceKeys)))], shift = 0;
  const int choice = Pick(10);
  if (Shell.PopupKind == popPause && choice < 7) {
    vk = Chance(50) ? int{'P'} : int{VK_ESCAPE};
  } else if (choice < 2 && BossKey != 0) {
    vk = BossKey;
    shift = BossKeyShift == 1 ? ssShift : BossKeyShift == 2 ? ssAlt : BossKeyShift == 4 ? ssCtrl : 0;
  } else if (choice == 2) {
    vk = VK_RETURN;
    shift = ssAlt;
  }
  driver_.Key(vk, shift);
  ++frames_;
  Remember("key " + KeyScriptName(vk, shift));
}

void TStorm::Jump() {
  TRace* race = CurrentRace();
  if (race == nullptr) return;
  // On the last level, most jumps go near the finish: its end is the only way to the congratulations.
  const auto jump = race->Level == LevelCount && Chance(60) ? TRaceJump::NearFinish
                                                            : static_cast<TRaceJump>(Pick(static_cast<int>(TRaceJump::Count)));
  // Half the level jumps go to the last level, whose end leads to the congratulations.
  const int amount = jump == TRaceJump::TimeNearlyUp ? 100 + Pick(3000)
                     : jump == TRaceJump::NearFinish ? 1 + Pick(8)
                                                     : Chance(50) ? LevelCount : 1 + Pick(LevelCount);
  const std::string line = JumpRace(*race, jump, amount);
  if (line.empty()) return;
  ++jumps_;
  Remember(line);
}

void TStorm::MoveOntoItem() {
  // An item of the range in use, a main-menu tab, or the popup's buttons: where the faults live.
  const int item = Chance(50) && Shell.LastItem >= Shell.FirstItem ? Shell.FirstItem + Pick(Shell.LastItem - Shell.FirstItem + 1) : 1 + Pick(12);
  const TSprite* s = item >= 1 && item <= MenuItemCount ? Shell.MenuItems[item] : nullptr;
  if (s == nullptr || !InEngine(&GameSpriteEngine(), s)) {
    driver_.MouseMove(Pick(800), Pick(600));
    Remember("mouse " + std::to_string(Shell.MouseX) + " " + std::to_string(Shell.MouseY));
    return;
  }
  const int x = static_cast<int>(s->X) + Pick(std::max(1, static_cast<int>(s->Width)));
  const int y = static_cast<int>(s->Y) + Pick(std::max(1, static_cast<int>(s->Height)));
  driver_.MouseMove(x, y);
  Remember("mouse " + std::to_string(x) + " " + std::to_string(y));
}

void TStorm::PadEvent() {
  const int kind = Pick(10);
  if (kind == 0) {
    if (std::string problem; pads_ < 2 && Sys_HeadlessPadConnect(problem)) ++pads_;
    driver_.Frame();
    ++frames_;
    Remember("pad connect");
  } else if (kind == 1) {
    Sys_HeadlessPadDisconnect();
    if (pads_ > 0) --pads_;
    driver_.Frame();
    ++frames_;
    Remember("pad disconnect");
  } else if (kind < 7) {
    const int button = Pick(PadButtonCount);
    const std::string name = PadButtonName(button);
    if (Chance(60)) {
      Sys_HeadlessPadButton(button, true);
      driver_.Frame();
      ++frames_;
      Sys_HeadlessPadButton(button, false);
      Remember("pad button " + name);
    } else {
      const bool down = Chance(50);
      Sys_HeadlessPadButton(button, down);
      Remember(std::string(down ? "pad down " : "pad up ") + name);
    }
  } else {
    static constexpr const char* kAxes[PadAxisCount] = {"leftx", "lefty", "rightx", "righty", "lefttrigger", "righttrigger"};
    const int axis = Pick(PadAxisCount);
    const bool trigger = axis == paTriggerLeft || axis == paTriggerRight;
    const double value = (trigger ? Pick(101) : Pick(201) - 100) / 100.0;
    Sys_HeadlessPadAxis(axis, static_cast<float>(value));
    char line[64];
    std::snprintf(line, sizeof line, "pad axis %s %.2f", kAxes[axis], value);
    Remember(line);
  }
}

void TStorm::Apply(TEvent event) {
  switch (event) {
    case TEvent::Key: {
      // Pressed and released in one frame, or within the gap between two.
      const int vk = RandomKey(), shift = kShiftStates[Pick(static_cast<int>(std::size(kShiftStates)))];
      if (Chance(50)) {
        driver_.Key(vk, shift);
        ++frames_;
        Remember("key " + KeyScriptName(vk, shift));
      } else {
        driver_.Press(vk, shift);
        driver_.Release(vk, shift);
        Remember("down " + KeyScriptName(vk, shift));
        Remember("up " + KeyScriptName(vk, shift));
      }
      break;
    }
    case TEvent::KeyDown: {
      int& slot = held_[Pick(static_cast<int>(held_.size()))];
      if (slot != 0) driver_.Release(slot);
      slot = RandomKey();
      driver_.Press(slot);
      Remember("down " + KeyScriptName(slot, 0));
      break;
    }
    case TEvent::KeyUp: {
      int& slot = held_[Pick(static_cast<int>(held_.size()))];
      if (slot == 0) break;
      driver_.Release(slot);
      Remember("up " + KeyScriptName(slot, 0));
      slot = 0;
      break;
    }
    case TEvent::Char: {
      // Any byte, as a keyboard layout or an input method may send it: control characters,
      // Enter, Backspace and Esc, quotes, and bytes above 127.
      const int ch = 1 + Pick(255);
      driver_.Send(SysEventType::Char, 0, 0, ch);
      Remember("char " + std::to_string(ch));
      break;
    }
    case TEvent::Move: {
      // Anywhere, the window's edges and beyond included.
      const int x = -100 + Pick(1000), y = -100 + Pick(800);
      driver_.MouseMove(x, y);
      Remember("mouse " + std::to_string(x) + " " + std::to_string(y));
      break;
    }
    case TEvent::MoveToItem: MoveOntoItem(); break;
    case TEvent::Click: driver_.Click(); Remember("click"); break;
    case TEvent::DoubleClick: driver_.DoubleClick(); Remember("dblclick"); break;
    case TEvent::Frames: {
      // Now and then a long wait; seldom in the race, where the rides pass the time.
      const int n = 1 + Pick(Chance(Shell.CurrentScreen == scrRace ? 1 : 4) ? 100 : 3);
      driver_.Frames(n);
      frames_ += n;
      Remember("wait " + std::to_string(n));
      break;
    }
    case TEvent::FocusOff: driver_.Send(SysEventType::Deactivated); Remember("focus off"); break;
    case TEvent::FocusOn: driver_.Send(SysEventType::Activated); Remember("focus on"); break;
    case TEvent::Minimize: driver_.Send(SysEventType::Minimized); Remember("minimize"); break;
    case TEvent::Restore: driver_.Send(SysEventType::Restored); Remember("restore"); break;
    case TEvent::Close: driver_.Send(SysEventType::CloseRequest); Remember("close"); break;
    case TEvent::Answer: {
      // Yes or No to whatever question is open, by key or by its button.
      const bool yes = Chance(25);
      if (Chance(50)) {
        driver_.Key(yes ? 'Y' : 'N');
        ++frames_;
        Remember(yes ? "key y" : "key n");
      } else if (Shell.PopupKind != 0 && Shell.MenuItems[yes ? 11 : 12] != nullptr && Shell.FirstItem == 11) {
        const TSprite* b = Shell.MenuItems[yes ? 11 : 12];
        driver_.MouseMove(static_cast<int>(b->X) + 10, static_cast<int>(b->Y) + 10);
        driver_.Click();
        Remember("mouse " + std::to_string(Shell.MouseX) + " " + std::to_string(Shell.MouseY));
        Remember("click");
      }
      break;
    }
    case TEvent::GoRace: GoRace(); break;
    case TEvent::Ride: Ride(); break;
    case TEvent::RaceKey: PressRaceKey(); break;
    case TEvent::Jump: Jump(); break;
    case TEvent::Pad: PadEvent(); break;
    case TEvent::Count: break;
  }
}

std::string TStorm::Problem() const {
  if (Shell.CurrentScreen > 6) return "Shell.CurrentScreen " + std::to_string(Shell.CurrentScreen);
  if (Shell.PopupKind > 12) return "Shell.PopupKind " + std::to_string(Shell.PopupKind);
  if (Shell.FirstItem < 0 || Shell.LastItem > MenuItemCount || Shell.FirstItem > Shell.LastItem + 1)
    return "item range " + std::to_string(Shell.FirstItem) + ".." + std::to_string(Shell.LastItem);
  if (Shell.HoverItem != 0 && (Shell.HoverItem < Shell.FirstItem || Shell.HoverItem > Shell.LastItem))
    return "Shell.HoverItem " + std::to_string(Shell.HoverItem) + " outside " + std::to_string(Shell.FirstItem) + ".." +
           std::to_string(Shell.LastItem);
  if (Shell.TabHoverItem < 0 || Shell.TabHoverItem > 6) return "Shell.TabHoverItem " + std::to_string(Shell.TabHoverItem);
  if (Shell.MenuIntroActive < 0 || Shell.MenuIntroActive > 1) return "Shell.MenuIntroActive " + std::to_string(Shell.MenuIntroActive);
  if (Shell.SelectedVehicle < 1 || Shell.SelectedVehicle > 5) return "Shell.SelectedVehicle " + std::to_string(Shell.SelectedVehicle);
  if (Shell.VehicleSwitchPhase < 0 || Shell.VehicleSwitchPhase > 1) return "Shell.VehicleSwitchPhase " + std::to_string(Shell.VehicleSwitchPhase);
  if (Shell.CurrentScreen == scrHelp && (Shell.HelpPage < 1 || Shell.HelpPage > 5)) return "Shell.HelpPage " + std::to_string(Shell.HelpPage);
  if (BossKeyShift != 0 && BossKeyShift != ssShift && BossKeyShift != ssAlt && BossKeyShift != ssCtrl)
    return "BossKeyShift " + std::to_string(BossKeyShift);
  if (BossKey != 0 && (BossKey < VK_F1 || BossKey > VK_F12)) return "BossKey " + std::to_string(BossKey);
  if (Options.Country.size() > 16) return "Country of " + std::to_string(Options.Country.size()) + " characters";
  if (Shell.PlayerName.size() > 12) return "Shell.PlayerName of " + std::to_string(Shell.PlayerName.size()) + " characters";
  if (!(SpeedFactor > 0 && std::isfinite(SpeedFactor)) || FrameTimeMs <= 0) return "frame timing";
  if (Shell.CountryEditing && Shell.CurrentScreen != scrOptions) return "Shell.CountryEditing off the options screen";
  if (Shell.BossKeyCapture && Shell.CurrentScreen != scrOptions) return "Shell.BossKeyCapture off the options screen";
  // Every sprite in use is alive: the selectable items, the tabs, the popup's and the screen's own.
  const TSprite* engine = &GameSpriteEngine();
  auto alive = [engine](const TSprite* s) { return s != nullptr && InEngine(engine, s) && !s->IsDead; };
  for (int k = std::max(1, Shell.FirstItem); k <= Shell.LastItem; ++k)
    if (Shell.MenuItems[k] != nullptr && !alive(Shell.MenuItems[k])) return "item " + std::to_string(k) + " is freed or dying";
  if (Shell.CurrentScreen >= scrMainMenu && Shell.CurrentScreen != scrRace)
    for (int k = 1; k <= 6; ++k)
      if (!alive(Shell.MenuItems[k])) return "main-menu tab " + std::to_string(k) + " is freed or dying";
  if (Shell.PopupPanel != nullptr && !alive(Shell.PopupPanel)) return "the popup panel is freed or dying";
  if (Shell.TextCursor != nullptr && !alive(Shell.TextCursor)) return "the text cursor is freed or dying";
  if (Shell.ScreenBackground != nullptr && !alive(Shell.ScreenBackground)) return "the backdrop is freed or dying";
  return RaceProblem();
}

void TStorm::Remember(const std::string& line) {
  trail_.push_back(line);
  if (trail_.size() > 80) trail_.pop_front();
}

int TStorm::Fail(long long event, const std::string& problem) {
  std::fprintf(stderr, "zkplay: storm seed %" PRIu64 ", event %lld: invalid state: %s\nthe last events:\n",
               options_.Seed, event, problem.c_str());
  for (const std::string& line : trail_) std::fprintf(stderr, "  %s\n", line.c_str());
  return kPlayExpectFailed;
}

int TStorm::Run() {
  char pattern[] = "/tmp/zk-storm-XXXXXX";
  if (mkdtemp(pattern) == nullptr) {
    std::fprintf(stderr, "zkplay: cannot make a folder for the storm\n");
    return kPlayScriptError;
  }
  gameDir_ = pattern;
  int status = kPlayOk;
  try {
    fs::copy(fs::path(options_.DataDir) / "Data", fs::path(gameDir_) / "Data", fs::copy_options::recursive);
    fs::remove_all(fs::path(gameDir_) / "Data" / "Save");
    fs::create_directories(fs::path(gameDir_) / "Data" / "Save");
    StartGame();
    for (long long n = 1; n <= options_.Events && status == kPlayOk; ++n) {
      events_ = n;
      ++phases_[static_cast<size_t>(CurrentRacePhase())];
      if (Shell.CurrentScreen != scrRace && rider_.Held.Any()) {  // the race is over: the rider lets go
        int waited = 0;
        HoldRiderKeys(TRiderKeys{}, waited);
      }
      const TEvent event = PickEvent();
      Apply(event);
      if (MForm->Terminated) {
        // The exit saved both files; the next start reads them.
        game_.Stop();
        ++restarts_;
        StartGame();
        Remember("# the game restarted");
      }
      ++screens_[Shell.CurrentScreen < screens_.size() ? Shell.CurrentScreen : 0];
      ++popups_[Shell.PopupKind <= 12 ? Shell.PopupKind : 0];
      if (const std::string problem = Problem(); !problem.empty()) status = Fail(n, problem);
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "zkplay: storm: %s\n", e.what());
    status = kPlayScriptError;
  }
  game_.Stop();
  std::error_code ec;
  fs::remove_all(gameDir_, ec);
  std::printf("storm seed %" PRIu64 ": %lld events, %lld frames, %lld restarts, %lld jumps; events per screen",
              options_.Seed, events_, frames_, restarts_, jumps_);
  for (size_t s = 0; s < screens_.size(); ++s) std::printf(" %zu:%lld", s, screens_[s]);
  std::printf("; per popup");
  for (size_t p = 0; p < popups_.size(); ++p) std::printf(" %zu:%lld", p, popups_[p]);
  std::printf("; per race phase");
  for (size_t p = 0; p < phases_.size(); ++p) std::printf(" %s:%lld", RacePhaseName(static_cast<TRacePhase>(p)), phases_[p]);
  std::printf("\n");
  return status;
}

}  // namespace

int RunStorm(const TStormOptions& options) { return TStorm(options).Run(); }
