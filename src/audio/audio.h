// Music and sound effects: the game's two tunes and the numbered sound-list items, obeying the
// player's music and sound switches.
#pragma once

#include <cstdint>
#include <string>

#include "platform/platform.h"

// Sound-list items by the event they accompany.
enum : int {
  sndIntro = 0,        // main menu slide-in
  sndSelect = 1,       // selected menu item changed
  sndClick = 2,        // an item activated
  sndBlip = 3,         // vehicle previous/next, tally lines
  sndIdle = 4,         // looped engine sounds 4 .. 13
  sndGearShift = 5,
  sndRollOff = 6,
  sndSkid = 7,
  sndHorn = 8,         // looped, while H is held
  sndGear1 = 9,
  sndGear2 = 10,
  sndGear3 = 11,
  sndGear4 = 12,
  sndTopEnd = 13,
  sndScoreBonus = 14,
  sndLifeBonus = 15,
  sndUnused = 16,
  sndBump = 17,
  sndClockTick = 18,
  sndShiftChirp = 19,
  sndCrash = 20,
  sndCongratulations = 21,
  SoundItemCount = 22,
};

// The module now loaded and playing; 0 = none.
extern int32_t CurrentSong;

// Where the player's switches live (the game points them at its options). Until bound, both are
// on. The referenced flags must outlive every call below.
void BindSoundSwitches(const bool& music, const bool& sound);
// Forgets the song without freeing it (the mixer that held it is gone) and unbinds the switches:
// the state of program start.
void ForgetAudioState();

// Replaces the current song by the named module and starts it from its beginning. Does nothing
// at all while the music switch is off. A module that cannot be loaded leaves CurrentSong 0.
void PlayMusic(const std::string& FileName);
// Stops and frees the current song; CurrentSong becomes 0.
void StopMusic();
// PlayMusic with the race tune, or else the menu tune.
void PlayGameTune(bool raceTune);

// While the sound switch is on: stops item Index and plays it from its start (looping items go on
// until stopped). Otherwise nothing reaches the sound device.
void PlaySound(int Index);
// While the sound switch is on: stops item Index. Otherwise nothing.
void StopSound(int Index);

// While the sound switch is on, PlaySound with the item panned (-1 left .. 1 right) to where its
// event happens.
void PlaySoundAt(int Index, double pan);
// While the sound switch is on: the playback rate (1 = as recorded) and pan of item Index, now
// and for its next starts.
void TuneSound(int Index, double rate, double pan);

// The rivals' engines: at most RivalEngineVoices at once, each a looped item at its own settings.
// While the sound switch is on, voice `slot` sounds `Index` (restarting only on another item);
// StopRivalEngines silences them all.
constexpr int RivalEngineVoices = 2;
void SoundRivalEngine(int slot, int Index, const TVoiceSettings& settings);
void StopRivalEngine(int slot);
void StopRivalEngines();

// The module player. SongLoadFromFile returns 0 when the module could not be loaded, else a
// handle for SongPlay and SongFree; SongPlay plays in the background, following the module's own
// loop, until SongFree stops and releases it.
int32_t SongLoadFromFile(const std::string& FileName);
void SongPlay(int32_t Song);
void SongFree(int32_t Song);
