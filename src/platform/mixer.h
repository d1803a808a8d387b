// The effects mixer: the sound-list items as mono voices, resampled to the device rate at any
// playback rate, panned into stereo, faded in and out so that no start, stop or change clicks.
// No SDL here: the device's callback (audio.cpp) and the tests drive Render.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "platform/platform.h"

class TMixer {
public:
  // Looped items fade in, and every voice that stops fades out, over this long.
  static constexpr int FadeMs = 15;
  // Voices sounding at once: each item's own voice, the fading tails of stopped ones and the
  // free voices (Snd_Voice). A start beyond it takes over the quietest fading tail.
  static constexpr int VoiceCount = 32;

  // The output rate in frames per second; also forgets every voice.
  void Open(int rate);
  int Rate() const { return OutputRate; }
  // Converts the items (an item whose wave cannot be read stays silent); stops every voice.
  void SetItems(const TWaveCollection& waves);

  // Item `index` from its start on the item's own voice; a voice it already had fades out.
  void Play(int index);
  void Stop(int index);
  bool Playing(int index) const;
  // Settings of the item's own voice while it plays; a later Play keeps them.
  void SetItemRate(int index, float rate);
  void SetItemPan(int index, float pan);

  // Free voice `slot` (0 .. FreeVoices-1) sounding item `index` looped at the given settings:
  // started when silent or on another item, else only its settings change (smoothly).
  void SetFreeVoice(int slot, int index, const TVoiceSettings& settings);
  void StopFreeVoice(int slot);

  // Adds the next `frames` stereo frames of every voice onto `out` (interleaved left, right),
  // bending the sum softly into full scale above three quarters of it. Allocates nothing.
  void Render(int16_t* out, int frames);

private:
  struct TSound {
    std::vector<float> Samples;  // mono, -1 .. 1
    int Rate = 0;
    bool Looped = false;
  };
  struct TVoice {
    int Sound = -1;            // the item sounding; -1 = free
    int Owner = -1;            // the item whose own voice this is, FreeOwner + slot, or -1 once stopping
    double Pos = 0;            // frames into the sound
    TVoiceSettings Target;     // where rate, gain and pan glide to
    float Step = 0;            // sound frames per output frame now
    float Left = 0, Right = 0; // channel gains now
    float Fade = 0;            // envelope 0 .. 1
    float FadeStep = 0;        // per output frame; negative while stopping
  };
  static constexpr int FreeOwner = 1 << 20;

  TVoice* OwnVoice(int owner);
  const TVoice* OwnVoice(int owner) const;
  TVoice& FreeSlot();
  void Start(int owner, int index, const TVoiceSettings& settings);
  void Release(TVoice& v);
  float FadeStepPerFrame() const;
  void Settle(TVoice& v) const;
  void RenderVoice(TVoice& v, float* mix, int frames);

  int OutputRate = 44100;
  std::vector<TSound> Sounds;
  std::vector<TVoiceSettings> ItemSettings;
  std::array<TVoice, VoiceCount> Voices{};
};
