// The music and sound-effect rules, seen through the calls that reach the sound device.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "audio/audio.h"
#include "save/save.h"
#include "screens/screens.h"
#include "audio_test_util.h"

namespace fs = std::filesystem;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

class MusicRules : public ::testing::Test {
protected:
  fs::path root = fs::temp_directory_path() / ("zk_audio_rules_" + std::to_string(::getpid()));
  fs::path music = root / "Data" / "Music";

  void SetUp() override {
    fs::remove_all(root);
    fs::create_directories(music);
    SysConfig config;
    config.Backend = SysBackend::Headless;
    config.DataRoot = root.string();
    Sys_Init(config);
    BindSoundSwitches(Options.Music, Options.Sound);
    Options.Music = true;
    Options.Sound = true;
    Shell.CurrentScreen = scrMainMenu;
    CurrentSong = 0;
    Snd_CallLog().clear();
  }
  void TearDown() override {
    StopMusic();
    Snd_CallLog().clear();
    Sys_Shutdown();
    fs::remove_all(root);
  }
  void InstallTunes() {
    WriteBytes(music / "Menu.xm", TinyModule());
    WriteBytes(music / "Race.xm", TinyModule());
  }
  // The calls made since the last look.
  static std::vector<std::string> Calls() {
    std::vector<std::string> calls;
    calls.swap(Snd_CallLog());
    return calls;
  }
  // What the options screen's Music item does.
  static void ToggleMusicOption() {
    Options.Music = !Options.Music;
    StopMusic();
    PlayScreenMusic();
  }
};

TEST_F(MusicRules, TurningMusicOffAndOnRestartsTheMenuTune) {
  InstallTunes();
  PlayScreenMusic();
  EXPECT_NE(CurrentSong, 0);
  EXPECT_THAT(Calls(), ElementsAre("music-load Menu.xm", "music-play"));

  ToggleMusicOption();
  EXPECT_EQ(CurrentSong, 0);
  EXPECT_THAT(Calls(), ElementsAre("music-free"));

  ToggleMusicOption();
  EXPECT_NE(CurrentSong, 0);
  EXPECT_THAT(Calls(), ElementsAre("music-load Menu.xm", "music-play"));
}

TEST_F(MusicRules, EveryRaceStartRestartsTheRaceTune) {
  InstallTunes();
  Shell.CurrentScreen = scrRace;
  PlayScreenMusic();
  PlayScreenMusic();
  EXPECT_THAT(Calls(), ElementsAre("music-load Race.xm", "music-play", "music-free", "music-load Race.xm",
                                   "music-play"));
}

TEST_F(MusicRules, OnlyTheRaceScreenHasTheRaceTune) {
  InstallTunes();
  const struct { uint8_t Screen; const char* Load; } cases[] = {
      {scrNone, "music-load Menu.xm"},    {scrMainMenu, "music-load Menu.xm"},
      {scrVehicleSelection, "music-load Menu.xm"}, {scrOptions, "music-load Menu.xm"},
      {scrHighScores, "music-load Menu.xm"}, {scrHelp, "music-load Menu.xm"},
      {scrRace, "music-load Race.xm"},
  };
  for (const auto& c : cases) {
    Shell.CurrentScreen = c.Screen;
    StopMusic();
    Calls();
    PlayScreenMusic();
    EXPECT_THAT(Calls(), ElementsAre(c.Load, "music-play")) << "screen " << int(c.Screen);
  }
}

// With music off no song is loaded, so finishing a race and going back to the menu is silent.
TEST_F(MusicRules, WithMusicOffNothingReachesThePlayer) {
  InstallTunes();
  Options.Music = false;
  for (uint8_t screen : {scrRace, scrMainMenu}) {
    Shell.CurrentScreen = screen;
    StopMusic();
    PlayScreenMusic();
  }
  EXPECT_EQ(CurrentSong, 0);
  EXPECT_THAT(Calls(), IsEmpty());
}

TEST_F(MusicRules, AMissingModuleLeavesNoSongAndTheNextCallTriesAgain) {
  PlayScreenMusic();
  EXPECT_EQ(CurrentSong, 0);
  EXPECT_THAT(Calls(), ElementsAre("music-load Menu.xm"));

  StopMusic();  // nothing to free
  EXPECT_THAT(Calls(), IsEmpty());

  InstallTunes();
  PlayScreenMusic();
  EXPECT_NE(CurrentSong, 0);
  EXPECT_THAT(Calls(), ElementsAre("music-load Menu.xm", "music-play"));
}

TEST_F(MusicRules, ABrokenModuleIsLikeAMissingOne) {
  const std::vector<uint8_t> good = TinyModule();
  const std::vector<std::vector<uint8_t>> broken = {
      {},                                                    // empty file
      std::vector<uint8_t>(good.begin(), good.begin() + 60),  // header cut short
      std::vector<uint8_t>(400, 0xA5),                        // not a module
  };
  for (const auto& bytes : broken) {
    WriteBytes(music / "Menu.xm", bytes);
    PlayScreenMusic();
    EXPECT_EQ(CurrentSong, 0);
    EXPECT_THAT(Calls(), ElementsAre("music-load Menu.xm"));
  }
}

TEST_F(MusicRules, SoundEffectsReachTheDeviceOnlyWhileSoundIsOn) {
  PlaySound(sndScoreBonus);
  PlaySound(sndScoreBonus);  // a second pickup restarts the sound: the device stops it first
  PlaySound(sndHorn);
  StopSound(sndHorn);
  EXPECT_THAT(Calls(), ElementsAre("play 14", "play 14", "play 8", "stop 8"));

  Options.Sound = false;
  PlaySound(sndHorn);
  StopSound(sndHorn);
  StopSound(sndHorn);
  EXPECT_THAT(Calls(), IsEmpty());
}

// Without an open device (no sound card, headless) every call is harmless and nothing plays.
TEST_F(MusicRules, WithoutADeviceCallsAreHarmless) {
  InstallTunes();
  TWaveCollection waves;
  waves.Items.resize(2);
  waves.Items[0].Looped = true;
  waves.Items[0].Wave.Riff = {1, 2, 3};
  Snd_SetWaves(waves);
  for (int index : {-1, 0, 1, 2, 1000}) {
    Snd_Play(index);
    Snd_Stop(index);
    EXPECT_FALSE(Snd_Playing(index)) << index;
  }
  const int song = Mus_Load((music / "Menu.xm").string());
  EXPECT_NE(song, 0);
  Mus_Play(song);
  Mus_Play(song + 1);  // never loaded
  Mus_Stop();
  Mus_Free(song);
  Mus_Free(song);  // already freed
  Mus_Free(0);
  Snd_SetWaves(TWaveCollection{});
}

}  // namespace
