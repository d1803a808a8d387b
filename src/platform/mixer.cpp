#include "platform/mixer.h"

#include <algorithm>
#include <cmath>
#include <exception>

#include "platform/resfile_local.h"

namespace {

// Frames mixed per pass: the float sum of one pass lives on the stack.
constexpr int BlockFrames = 256;
// Pans beyond this would leave one ear nearly silent.
constexpr float PanLimit = 0.8f;
constexpr float MaxRate = 4.0f;
// Above this level (of full scale) the sum of music and effects is bent softly towards full scale
// instead of clipping where several loud sounds meet.
constexpr float LimiterKnee = 0.75f;

float SoftLimited(float x) {
  const float a = std::fabs(x);
  if (a <= LimiterKnee) return x;
  constexpr float room = 1.0f - LimiterKnee;
  return std::copysign(LimiterKnee + room * std::tanh((a - LimiterKnee) / room), x);
}

// Mono PCM of a wave's RIFF image as -1 .. 1, the channels averaged, and its rate; empty when the
// image cannot be read.
std::vector<float> MonoLevels(const TWave& wave, int& rate) {
  TWave w;
  try {
    w = DecodeRiffWave(wave.Riff.data(), wave.Riff.size(), "sound");
  } catch (const std::exception&) {
    return {};
  }
  const int frames = w.Frames();
  if ((w.Bits != 8 && w.Bits != 16) || w.Rate <= 0 || frames <= 0) return {};
  rate = w.Rate;
  std::vector<float> out(static_cast<size_t>(frames));
  const int bytes = w.Bits / 8;
  for (int f = 0; f < frames; ++f) {
    float sum = 0;
    for (int c = 0; c < w.Channels; ++c) {
      const size_t at = (static_cast<size_t>(f) * w.Channels + c) * bytes;
      sum += bytes == 1 ? (w.Samples[at] - 128) / 128.0f
                        : static_cast<int16_t>(w.Samples[at] | (w.Samples[at + 1] << 8)) / 32768.0f;
    }
    out[static_cast<size_t>(f)] = sum / static_cast<float>(w.Channels);
  }
  return out;
}

// Constant-power pan scaled so that the middle keeps the mono level in both channels.
void PanGains(const TVoiceSettings& s, float& left, float& right) {
  const float pan = std::clamp(s.Pan, -PanLimit, PanLimit);
  const float angle = (pan + 1.0f) * 0.25f * static_cast<float>(M_PI);
  const float gain = std::max(0.0f, s.Gain) * static_cast<float>(M_SQRT2);
  left = gain * std::cos(angle);
  right = gain * std::sin(angle);
}

}  // namespace

void TMixer::Open(int rate) {
  OutputRate = rate > 0 ? rate : 44100;
  Voices.fill(TVoice{});
}

void TMixer::SetItems(const TWaveCollection& waves) {
  Voices.fill(TVoice{});
  Sounds.assign(waves.Items.size(), TSound{});
  ItemSettings.assign(waves.Items.size(), TVoiceSettings{});
  for (size_t i = 0; i < waves.Items.size(); ++i) {
    Sounds[i].Samples = MonoLevels(waves.Items[i].Wave, Sounds[i].Rate);
    Sounds[i].Looped = waves.Items[i].Looped;
  }
}

TMixer::TVoice* TMixer::OwnVoice(int owner) {
  for (TVoice& v : Voices)
    if (v.Sound >= 0 && v.Owner == owner) return &v;
  return nullptr;
}

const TMixer::TVoice* TMixer::OwnVoice(int owner) const {
  for (const TVoice& v : Voices)
    if (v.Sound >= 0 && v.Owner == owner) return &v;
  return nullptr;
}

float TMixer::FadeStepPerFrame() const { return 1000.0f / (FadeMs * static_cast<float>(OutputRate)); }

void TMixer::Release(TVoice& v) {
  v.Owner = -1;
  v.FadeStep = -FadeStepPerFrame();
}

TMixer::TVoice& TMixer::FreeSlot() {
  TVoice* quietest = &Voices[0];
  for (TVoice& v : Voices) {
    if (v.Sound < 0) return v;
    if (v.Owner < 0 && (quietest->Owner >= 0 || v.Fade < quietest->Fade)) quietest = &v;
  }
  return *quietest;  // every voice busy: the quietest tail (or, failing one, the first voice) ends
}

// Rate, gain and pan at their targets at once: a voice starts where it is set.
void TMixer::Settle(TVoice& v) const {
  const TSound& s = Sounds[static_cast<size_t>(v.Sound)];
  v.Step = std::clamp(v.Target.Rate, 0.0f, MaxRate) * static_cast<float>(s.Rate) / static_cast<float>(OutputRate);
  PanGains(v.Target, v.Left, v.Right);
}

void TMixer::Start(int owner, int index, const TVoiceSettings& settings) {
  if (index < 0 || index >= static_cast<int>(Sounds.size()) || Sounds[static_cast<size_t>(index)].Samples.empty()) return;
  TVoice& v = FreeSlot();
  v = TVoice{};
  v.Sound = index;
  v.Owner = owner;
  v.Target = settings;
  Settle(v);
  // A loop fades in so that it takes over from the sound before it; a one-shot keeps its attack.
  const bool looped = Sounds[static_cast<size_t>(index)].Looped;
  v.Fade = looped ? 0.0f : 1.0f;
  v.FadeStep = looped ? FadeStepPerFrame() : 0.0f;
}

void TMixer::Play(int index) {
  if (index < 0 || index >= static_cast<int>(Sounds.size())) return;
  Stop(index);
  Start(index, index, ItemSettings[static_cast<size_t>(index)]);
}

void TMixer::Stop(int index) {
  if (TVoice* v = OwnVoice(index)) Release(*v);
}

bool TMixer::Playing(int index) const { return index >= 0 && OwnVoice(index) != nullptr; }

void TMixer::SetItemRate(int index, float rate) {
  if (index < 0 || index >= static_cast<int>(Sounds.size())) return;
  ItemSettings[static_cast<size_t>(index)].Rate = rate;
  if (TVoice* v = OwnVoice(index)) v->Target.Rate = rate;
}

void TMixer::SetItemPan(int index, float pan) {
  if (index < 0 || index >= static_cast<int>(Sounds.size())) return;
  ItemSettings[static_cast<size_t>(index)].Pan = pan;
  if (TVoice* v = OwnVoice(index)) v->Target.Pan = pan;
}

void TMixer::SetFreeVoice(int slot, int index, const TVoiceSettings& settings) {
  if (slot < 0 || index < 0 || index >= static_cast<int>(Sounds.size())) return;
  TVoice* v = OwnVoice(FreeOwner + slot);
  if (v != nullptr && v->Sound == index) {
    v->Target = settings;
    return;
  }
  if (v != nullptr) Release(*v);
  Start(FreeOwner + slot, index, settings);
}

void TMixer::StopFreeVoice(int slot) {
  if (TVoice* v = OwnVoice(FreeOwner + slot)) Release(*v);
}

void TMixer::RenderVoice(TVoice& v, float* mix, int frames) {
  const TSound& s = Sounds[static_cast<size_t>(v.Sound)];
  const float* samples = s.Samples.data();
  const size_t n = s.Samples.size();
  // Rate, gain and pan glide to their targets across the block, so a change never steps.
  const float step0 = v.Step, left0 = v.Left, right0 = v.Right;
  Settle(v);
  const float inv = 1.0f / static_cast<float>(frames);
  const float dStep = (v.Step - step0) * inv, dLeft = (v.Left - left0) * inv, dRight = (v.Right - right0) * inv;
  float step = step0, left = left0, right = right0;
  for (int f = 0; f < frames; ++f) {
    const size_t i = static_cast<size_t>(v.Pos);
    const float frac = static_cast<float>(v.Pos - static_cast<double>(i));
    const float a = samples[i];
    const float b = i + 1 < n ? samples[i + 1] : (s.Looped ? samples[0] : 0.0f);
    // Equal-power fades: a loop handing over to another keeps the loudness through the change.
    const float envelope = v.Fade >= 1.0f ? 1.0f : std::sin(v.Fade * static_cast<float>(M_PI_2));
    const float x = (a + (b - a) * frac) * envelope;
    mix[2 * f] += x * left;
    mix[2 * f + 1] += x * right;
    v.Fade += v.FadeStep;
    if (v.Fade >= 1.0f) {
      v.Fade = 1.0f;
      v.FadeStep = 0;
    } else if (v.Fade <= 0.0f && v.FadeStep < 0) {
      v.Sound = -1;
      return;
    }
    step += dStep;
    left += dLeft;
    right += dRight;
    v.Pos += step;
    if (v.Pos >= static_cast<double>(n)) {
      if (!s.Looped) {
        v.Sound = -1;
        return;
      }
      v.Pos = std::fmod(v.Pos, static_cast<double>(n));
    }
  }
}

void TMixer::Render(int16_t* out, int frames) {
  float mix[2 * BlockFrames];
  while (frames > 0) {
    const int block = std::min(frames, BlockFrames);
    std::fill(mix, mix + 2 * block, 0.0f);
    for (TVoice& v : Voices)
      if (v.Sound >= 0) RenderVoice(v, mix, block);
    for (int k = 0; k < 2 * block; ++k) {
      const float sum = SoftLimited(static_cast<float>(out[k]) / 32768.0f + mix[k]);
      out[k] = static_cast<int16_t>(std::lrint(std::clamp(sum * 32768.0f, -32768.0f, 32767.0f)));
    }
    out += 2 * block;
    frames -= block;
  }
}
