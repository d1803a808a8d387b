// zkplay --autopilot: the autopilot rides the races; this drives everything around them.
#include "autoplay.h"

#include <cstdio>
#include <fstream>
#include <string>
#include <string_view>

#include "app/app.h"
#include "race/race.h"
#include "screens/screens.h"
#include "script.h"
#include "sprites/sprites.h"

namespace {

constexpr const char* kName = "Autopilot";
constexpr std::string_view kPadName = "AUTOPILOT";  // the letter picker has capitals only
// The bike the autopilot rides: the quickest to accelerate and nearly the fastest.
constexpr int kVehicle = 4;
// Frames without a change of screen, popup or level before the run gives up (ten minutes at the
// reference rate: longer than any level's clock).
constexpr long long kStallFrames = 85LL * 600;

// The process's resident memory now and at its peak, in kB (0 when unknown).
struct TMemory {
  long long ResidentKb = 0, PeakKb = 0;
};

TMemory ReadMemory() {
  TMemory m;
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    long long value = 0;
    if (std::sscanf(line.c_str(), "VmRSS: %lld", &value) == 1) m.ResidentKb = value;
    if (std::sscanf(line.c_str(), "VmHWM: %lld", &value) == 1) m.PeakKb = value;
  }
  return m;
}

// What one game came to.
struct TGameRecord {
  int Level = 0;
  bool Congratulated = false;
  int32_t Score = 0;
};

class TAutoPlay {
public:
  explicit TAutoPlay(const TAutoPlayOptions& options) : options_(options), driver_(options.RefreshRate) {}

  int Run();

private:
  // One step of the player: the keys or the click the game's current state asks for, then a frame.
  void Act();
  void AnswerPopup();
  void ClickItem(int item);
  // The pad's counterparts.
  void PadAct();
  void PadAnswerPopup();
  void PadPickName();
  void PadButton(int button) {
    Sys_HeadlessPadButton(button, true);
    Frame();
    Sys_HeadlessPadButton(button, false);
  }
  // A frame with the autopilot's race keys on the pad's stick, triggers and buttons.
  void PadRaceFrame();
  // The driver's frames and keys, counted.
  void Frame() {
    driver_.Frame();
    ++frames_;
  }
  void Key(int vk) {
    driver_.Key(vk);
    ++frames_;
  }
  void NoteGame();
  bool GameOverScreen() const;
  void ReportGame();
  double SimulatedSeconds() const { return static_cast<double>(frames_) / options_.RefreshRate; }

  TAutoPlayOptions options_;
  THeadlessDriver driver_;
  long long frames_ = 0;
  bool inGame_ = false;
  TGameRecord game_;
  int games_ = 0;
  TMemory afterFirstGame_;
};

void TAutoPlay::ClickItem(int item) {
  const TSprite* s = Shell.MenuItems[item];
  if (s == nullptr) return;
  driver_.MouseMove(static_cast<int>(s->X + s->Width / 2), static_cast<int>(s->Y + s->Height / 2));
  driver_.Click();
  Frame();
}

void TAutoPlay::AnswerPopup() {
  switch (Shell.PopupKind) {
    case popNameEntry:
      while (!Shell.PlayerName.empty()) Key(VK_BACK);
      driver_.Type(kName);
      frames_ += std::string_view(kName).size();
      Key(VK_RETURN);
      break;
    case popSendQuestion: Key(options_.SendScores ? 'Y' : 'N'); break;
    case popPause: Key('P'); break;
    case popExitToMenu: case popExitGame: case popClearHighScores: Key('N'); break;
    default: Frame(); break;  // captions, the tally and the congratulations run by themselves
  }
}

void TAutoPlay::NoteGame() {
  if (const TRace* race = CurrentRace(); race != nullptr && Shell.CurrentScreen == scrRace) {
    inGame_ = true;
    game_.Level = race->Level;
    game_.Score = race->Score;
    if (Shell.PopupKind == popCongratulations) game_.Congratulated = true;
  }
}

bool TAutoPlay::GameOverScreen() const {
  return inGame_ && Shell.PopupKind == popNone && (Shell.CurrentScreen == scrHighScores || Shell.CurrentScreen == scrMainMenu);
}

void TAutoPlay::ReportGame() {
  ++games_;
  std::printf("autopilot: game %d ended on level %d%s, score %d, after %.1f s\n", games_, game_.Level,
              game_.Congratulated ? " with the congratulations" : "", game_.Score, SimulatedSeconds());
  std::fflush(stdout);
  if (games_ == 1) afterFirstGame_ = ReadMemory();
  inGame_ = false;
  game_ = TGameRecord{};
}

void TAutoPlay::PadPickName() {
  while (!Shell.PlayerName.empty() && Shell.PopupKind == popNameEntry) {
    while (NamePickerChar() != 8) PadButton(pbDpadLeft);
    PadButton(pbA);
  }
  for (const char c : std::string(kPadName) + '\r') {
    const char wanted = c == '\r' ? 13 : c;
    for (int step = 0; NamePickerChar() != wanted && step < 64; ++step) PadButton(pbDpadRight);
    PadButton(pbA);
  }
}

void TAutoPlay::PadAnswerPopup() {
  switch (Shell.PopupKind) {
    case popNameEntry: PadPickName(); break;
    case popSendQuestion: PadButton(options_.SendScores ? pbA : pbB); break;  // "Yes" is selected
    case popPause: PadButton(pbStart); break;
    case popExitToMenu: case popExitGame: case popClearHighScores: PadButton(pbB); break;
    default: PadRaceFrame(); break;
  }
}

void TAutoPlay::PadRaceFrame() {
  PutRaceKeysOnPad(AutopilotKeysNow());
  Frame();
}

void TAutoPlay::PadAct() {
  if (Shell.PopupKind != popNone) {
    PadAnswerPopup();
    return;
  }
  const int32_t hover = Shell.HoverItem;
  switch (Shell.CurrentScreen) {
    case scrMainMenu:
      if (Shell.MenuIntroActive) Frame();
      else PadButton(hover == 1 ? pbA : pbDpadUp);  // PLAY
      break;
    case scrVehicleSelection:
      // From START (9) up to the previous bike (7), right to the next (8), which A steps on;
      // with the bike chosen, down to BACK (10) and left to START.
      if (Shell.VehicleSwitchPhase != 0) Frame();
      else if (Shell.SelectedVehicle != kVehicle) PadButton(hover == 8 ? pbA : hover == 7 ? pbDpadRight : pbDpadUp);
      else PadButton(hover == 9 ? pbA : hover == 10 ? pbDpadLeft : pbDpadDown);
      break;
    case scrRace: PadRaceFrame(); break;
    default: PadButton(pbBack); break;  // back to the main menu
  }
}

void TAutoPlay::Act() {
  if (options_.Pad) {
    PadAct();
    return;
  }
  if (Shell.PopupKind != popNone) {
    AnswerPopup();
    return;
  }
  switch (Shell.CurrentScreen) {
    case scrMainMenu:
      if (Shell.MenuIntroActive) Frame();
      else ClickItem(1);  // PLAY
      break;
    case scrVehicleSelection:
      if (Shell.VehicleSwitchPhase != 0) Frame();
      else ClickItem(Shell.SelectedVehicle != kVehicle ? 8 : 9);  // the next bike, or the start button
      break;
    case scrRace: Frame(); break;
    default: Key(VK_ESCAPE); break;  // back to the main menu
  }
}

int TAutoPlay::Run() {
  Autopilot.On = !options_.Pad;
  Autopilot.Rider = options_.Rider;
  if (std::string problem; options_.Pad && !Sys_HeadlessPadConnect(problem)) {
    std::fprintf(stderr, "zkplay: %s\n", problem.c_str());
    return kPlayExpectFailed;
  }
  long long lastChange = 0;
  int lastScreen = -1, lastPopup = -1, lastLevel = -1;
  for (;;) {
    if (MForm->Terminated) {
      std::fprintf(stderr, "zkplay: the game ended itself during the autopilot's run\n");
      return kPlayExpectFailed;
    }
    NoteGame();
    if (GameOverScreen()) {
      ReportGame();
      if (options_.SoakSeconds < 0) break;
    }
    if (options_.SoakSeconds >= 0 && SimulatedSeconds() >= options_.SoakSeconds) break;
    Act();
    const int level = CurrentRace() != nullptr ? CurrentRace()->Level : 0;
    if (Shell.CurrentScreen != lastScreen || Shell.PopupKind != lastPopup || level != lastLevel) {
      lastScreen = Shell.CurrentScreen;
      lastPopup = Shell.PopupKind;
      lastLevel = level;
      lastChange = frames_;
    } else if (frames_ - lastChange > kStallFrames) {
      std::fprintf(stderr, "zkplay: the autopilot's game made no progress for %lld frames\n%s\n", kStallFrames,
                   StateJson().c_str());
      return kPlayExpectFailed;
    }
  }
  if (options_.SoakSeconds >= 0) {
    const TMemory now = ReadMemory();
    std::printf("soak: %d games in %.0f simulated s (%lld frames); resident memory after the first game %lld kB, "
                "final %lld kB (growth %lld kB), peak %lld kB\n",
                games_, SimulatedSeconds(), frames_, afterFirstGame_.ResidentKb, now.ResidentKb,
                now.ResidentKb - afterFirstGame_.ResidentKb, now.PeakKb);
  }
  std::printf("%s\n", StateJson().c_str());
  std::fflush(stdout);
  return kPlayOk;
}

}  // namespace

int RunAutoPlay(const TAutoPlayOptions& options) { return TAutoPlay(options).Run(); }
