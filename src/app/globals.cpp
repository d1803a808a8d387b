// The shared game state and frame-timing globals, defined once.
#include "app/app.h"
#include "audio/audio.h"

int32_t RefreshRate = 0;
int32_t MeasuredFrameRate = 0;
int32_t FrameTimeMs = 15;
double SpeedFactor = 1.0;

uint8_t CurrentScreen = 0;
uint8_t PopupKind = 0;
int32_t FirstItem = 0, LastItem = 0, HoverItem = 0;
int32_t SavedHoverItem = 0, SavedFirstItem = 0, SavedLastItem = 0;
int32_t TabHoverItem = 0;
int32_t MenuIntroActive = 0;
std::array<TSprite*, MenuItemCount + 1> MenuItems{};
TScrollBackground* ScreenBackground = nullptr;
TMyImageSprite* PopupPanel = nullptr;
int32_t PopupTimer = 0;
TMyCursor* TextCursor = nullptr;
char LastKeyChar = 0;
int32_t MouseX = 0, MouseY = 0;
bool CountryEditing = false, BossKeyCapture = false;
uint8_t SavedBossKeyShift = 0;
uint16_t SavedBossKey = 0;
int32_t HelpPage = 0;
int32_t VehicleSwitchPhase = 0;
int32_t SelectedVehicle = 1, PendingVehicle = 1;
bool MusicRestartPending = false;
bool SendStarted = false;

TGameOptions Options;
uint8_t BossKeyShift = 0;
uint16_t BossKey = 0;
std::array<THighScore, 12> HighScores{};
std::string PlayerName;

int32_t Score = 0, Lives = 0, Level = 0, RaceTimeLeft = 0;
int32_t ResultTimeLeft = 0, ResultStepTimer = 0, ResultStep = 0, TimeBonus = 0, RankBonus = 0,
        ResultEndTimer = 0;
uint8_t PlayerRank = 0, RacerCount = 0;
TPlayer* Player = nullptr;
TCar* Traffic = nullptr;
TBonus* BonusSprite = nullptr;
TPointer* SpeedNeedle = nullptr;

TMForm* MForm = nullptr;

void App_ResetState() {
  RefreshRate = 0;
  MeasuredFrameRate = 0;
  FrameTimeMs = 15;
  SpeedFactor = 1.0;
  CurrentScreen = PopupKind = 0;
  FirstItem = LastItem = HoverItem = 0;
  SavedHoverItem = SavedFirstItem = SavedLastItem = 0;
  TabHoverItem = MenuIntroActive = 0;
  MenuItems.fill(nullptr);
  ScreenBackground = nullptr;
  PopupPanel = nullptr;
  PopupTimer = 0;
  TextCursor = nullptr;
  LastKeyChar = 0;
  MouseX = MouseY = 0;
  CountryEditing = BossKeyCapture = false;
  SavedBossKeyShift = 0;
  SavedBossKey = 0;
  HelpPage = VehicleSwitchPhase = 0;
  SelectedVehicle = PendingVehicle = 1;
  MusicRestartPending = SendStarted = false;
  Options = TGameOptions{};
  BossKeyShift = 0;
  BossKey = 0;
  HighScores.fill(THighScore{});
  PlayerName.clear();
  Score = Lives = Level = RaceTimeLeft = 0;
  ResultTimeLeft = ResultStepTimer = ResultStep = TimeBonus = RankBonus = ResultEndTimer = 0;
  PlayerRank = RacerCount = 0;
  Player = nullptr;
  Traffic = nullptr;
  BonusSprite = nullptr;
  SpeedNeedle = nullptr;
  CurrentSong = 0;
}
