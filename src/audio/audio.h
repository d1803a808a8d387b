// Music and sound effects: the tune of the current screen and the numbered sound-list items,
// obeying Options.Music and Options.Sound.
#pragma once

#include <cstdint>
#include <string>

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

// Replaces the current song by the named module and starts it from its beginning. Does nothing
// at all while Options.Music is false. A module that cannot be loaded leaves CurrentSong 0.
void PlayMusic(const std::string& FileName);
// Stops and frees the current song; CurrentSong becomes 0.
void StopMusic();
// PlayMusic with the race tune on the race screen, the menu tune everywhere else.
void PlayScreenMusic();

// While Options.Sound is true: stops item Index and plays it from its start (looping items go on
// until stopped). Otherwise nothing reaches the sound device.
void PlaySound(int Index);
// While Options.Sound is true: stops item Index. Otherwise nothing.
void StopSound(int Index);

// The module player. SongLoadFromFile returns 0 when the module could not be loaded, else a
// handle for SongPlay and SongFree; SongPlay plays in the background, following the module's own
// loop, until SongFree stops and releases it.
int32_t SongLoadFromFile(const std::string& FileName);
void SongPlay(int32_t Song);
void SongFree(int32_t Song);
