// The game's music rules over the module player.
#include "app/app.h"
#include "audio/audio.h"

int32_t CurrentSong = 0;

namespace {
constexpr const char* MenuTune = "Data/Music/Menu.xm";
constexpr const char* RaceTune = "Data/Music/Race.xm";
}  // namespace

int32_t SongLoadFromFile(const std::string& FileName) { return Mus_Load(FileName); }
void SongPlay(int32_t Song) { Mus_Play(Song); }
void SongFree(int32_t Song) { Mus_Free(Song); }

void PlayMusic(const std::string& FileName) {
  if (!Options.Music) return;
  if (CurrentSong != 0) SongFree(CurrentSong);
  CurrentSong = SongLoadFromFile(FileName);
  if (CurrentSong != 0) SongPlay(CurrentSong);
}

void StopMusic() {
  if (CurrentSong != 0) SongFree(CurrentSong);
  CurrentSong = 0;
}

void PlayScreenMusic() {
  PlayMusic(Sys_DataPath(CurrentScreen == scrRace ? RaceTune : MenuTune));
}
