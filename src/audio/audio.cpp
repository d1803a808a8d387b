// The game's music and sound-effect rules over the module player and the sound device, and the
// player's switches.
#include "audio/audio.h"
#include "core/core.h"

int32_t CurrentSong = 0;

namespace {

constexpr const char* MenuTune = "Data/Music/Menu.xm";
constexpr const char* RaceTune = "Data/Music/Race.xm";

constexpr bool kOn = true;
const bool* musicSwitch = &kOn;
const bool* soundSwitch = &kOn;

const TRunStateRenewal renewal(ForgetAudioState);

}  // namespace

void BindSoundSwitches(const bool& music, const bool& sound) {
  musicSwitch = &music;
  soundSwitch = &sound;
}

void ForgetAudioState() {
  CurrentSong = 0;
  musicSwitch = soundSwitch = &kOn;
}

int32_t SongLoadFromFile(const std::string& FileName) { return Mus_Load(FileName); }
void SongPlay(int32_t Song) { Mus_Play(Song); }
void SongFree(int32_t Song) { Mus_Free(Song); }

void PlayMusic(const std::string& FileName) {
  if (!*musicSwitch) return;
  if (CurrentSong != 0) SongFree(CurrentSong);
  CurrentSong = SongLoadFromFile(FileName);
  if (CurrentSong != 0) SongPlay(CurrentSong);
}

void StopMusic() {
  if (CurrentSong != 0) SongFree(CurrentSong);
  CurrentSong = 0;
}

void PlayGameTune(bool raceTune) { PlayMusic(Sys_DataPath(raceTune ? RaceTune : MenuTune)); }

// Snd_Play stops the item's running instance before starting it again, so a retriggered effect
// restarts instead of doubling.
void PlaySound(int Index) {
  if (*soundSwitch) Snd_Play(Index);
}

void StopSound(int Index) {
  if (*soundSwitch) Snd_Stop(Index);
}

void PlaySoundAt(int Index, double pan) {
  if (!*soundSwitch) return;
  Snd_SetPan(Index, static_cast<float>(pan));
  Snd_Play(Index);
}

void TuneSound(int Index, double rate, double pan) {
  if (!*soundSwitch) return;
  Snd_SetRate(Index, static_cast<float>(rate));
  Snd_SetPan(Index, static_cast<float>(pan));
}

static_assert(RivalEngineVoices <= FreeVoiceCount);

void SoundRivalEngine(int slot, int Index, const TVoiceSettings& settings) {
  if (*soundSwitch) Snd_SetVoice(slot, Index, settings);
}

void StopRivalEngine(int slot) {
  if (*soundSwitch) Snd_StopVoice(slot);
}

void StopRivalEngines() {
  for (int slot = 0; slot < RivalEngineVoices; ++slot) StopRivalEngine(slot);
}
