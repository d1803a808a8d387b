// The mixer device on SDL's dummy driver: channels per item, looping, music under the mixer thread.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "audio_test_util.h"
#include "platform/platform.h"
#include "test_names.h"

namespace fs = std::filesystem;

namespace {

// A quiet 16-bit mono wave of `frames` frames.
TWaveCollectionItem Item(bool looped, int frames) {
  TWaveCollectionItem item;
  item.Looped = looped;
  item.Wave.Channels = 1;
  item.Wave.Rate = 22050;
  item.Wave.Bits = 16;
  item.Wave.Samples.assign(static_cast<size_t>(frames) * 2, 0);
  item.Wave.Riff = MakeRiffWave(1, 22050, 16, item.Wave.Samples);
  return item;
}

// Opens the device on the driver SDL_AUDIODRIVER names; a driver that cannot open must fall back
// to the dummy driver rather than leave the game silent.
class MixerDevice : public ::testing::TestWithParam<const char*> {
protected:
  void SetUp() override {
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    setenv("SDL_AUDIODRIVER", GetParam(), 1);
    SysConfig config;
    config.Backend = SysBackend::Sdl;
    try {
      Sys_Init(config);
    } catch (const EGameError& e) {
      GTEST_SKIP() << "SDL does not start here: " << e.what();
    }
    Snd_Init();
    TWaveCollection waves;
    waves.Items = {Item(true, 2205), Item(false, 22050), Item(true, 2205)};
    waves.Items[1].Wave.Riff = {'R', 'I', 'F', 'F', 0, 0};  // unreadable: stays silent
    Snd_SetWaves(waves);
  }
  void TearDown() override {
    Snd_Shutdown();
    Sys_Shutdown();
    Snd_CallLog().clear();
    unsetenv("SDL_AUDIODRIVER");
  }
};

TEST_P(MixerDevice, EachItemHasItsOwnChannelAndLoopsUntilStopped) {
  Snd_Play(0);
  Snd_Play(2);
  ASSERT_TRUE(Snd_Playing(0));
  ASSERT_TRUE(Snd_Playing(2));
  Snd_Play(0);  // restarts item 0 only
  EXPECT_TRUE(Snd_Playing(0));
  EXPECT_TRUE(Snd_Playing(2));
  Snd_Stop(2);
  EXPECT_TRUE(Snd_Playing(0));
  EXPECT_FALSE(Snd_Playing(2));
  Snd_Stop(0);
  EXPECT_FALSE(Snd_Playing(0));
}

TEST_P(MixerDevice, ABrokenOrUnknownItemStaysSilent) {
  for (int index : {1, 3, -1}) {
    Snd_Play(index);
    EXPECT_FALSE(Snd_Playing(index)) << index;
  }
}

TEST_P(MixerDevice, MusicCanBeReplacedAndFreedWhilePlaying) {
  const fs::path file = fs::temp_directory_path() / ("zk_audio_device_" + std::to_string(::getpid()) + ".xm");
  WriteBytes(file, TinyModule());
  for (int round = 0; round < 3; ++round) {
    const int song = Mus_Load(file.string());
    ASSERT_NE(song, 0);
    Mus_Play(song);
    Mus_Free(song);
  }
  const int playing = Mus_Load(file.string());
  Mus_Play(playing);  // left playing: shutting the device down frees it
  fs::remove(file);
}

INSTANTIATE_TEST_SUITE_P(Drivers, MixerDevice, ::testing::Values("dummy", "no-such-driver"), test_names::Printed());

}  // namespace
