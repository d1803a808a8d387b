// The audio device: SDL_mixer opens it and takes XM music decoded by libxmp through its music
// hook; the sound-list items are mixed over the music by our own mixer (mixer.h) in the post-mix
// hook, which resamples, pans and fades every voice.
//
// Item n of the sound list owns voice n, so playing an item first stops its own running
// instance and never touches another item. Modules are loaded by libxmp even when no device is
// open (the headless backend, no sound card): a module that loads gets a handle, one that does
// not gets 0, so the game's music rules behave the same everywhere. Every call is recorded in the
// call log, device or not.
#include <SDL.h>
#include <SDL_mixer.h>
#ifdef __EMSCRIPTEN__
#include <emscripten.h>  // before xmp.h, which includes it inside its extern "C"
#endif
#include <xmp.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <mutex>

#include "platform/mixer.h"
#include "platform/platform.h"
#include "platform/sys_local.h"

namespace {

constexpr int OutputRate = 44100;
constexpr int OutputChannels = 2;
constexpr int OutputChunkFrames = 1024;

struct TAudioDevice {
  bool Open = false;     // SDL_mixer's device
  bool Offline = false;  // the mixer without a device, recording (tests)
  std::vector<int16_t> Recording;
  double RecordedMs = 0;
  int Rate = OutputRate;
  // The sound list as last handed over, kept for a device that opens later.
  TWaveCollection Waves;

  // Effects. The mixer thread renders them; everything else that touches `Mixer` holds `EffectsLock`.
  std::mutex EffectsLock;
  TMixer Mixer;

  // Music. `Playing` is read by the mixer thread; everything that changes it or frees a module
  // holds `MusicLock`.
  std::mutex MusicLock;
  std::map<int, xmp_context> Modules;
  xmp_context Playing = nullptr;
  int NextHandle = 1;
};

TAudioDevice& Device() {
  static TAudioDevice device;
  return device;
}

std::vector<std::string>& CallLog() {
  static std::vector<std::string> log;
  return log;
}

// The log is a test aid: only the headless backend (tests and zkplay) records, so the real game
// neither allocates for it nor lets it grow. It keeps the newest CallLogLimit entries at most.
constexpr size_t CallLogLimit = 4096;

void Log(std::string entry) {
  if (Sys_Backend() != SysBackend::Headless) return;
  std::vector<std::string>& log = CallLog();
  if (log.size() >= CallLogLimit) log.erase(log.begin(), log.begin() + CallLogLimit / 2);
  log.push_back(std::move(entry));
}

// Runs on the mixer thread: fills the whole buffer with music, or with silence.
void MusicHook(void*, Uint8* stream, int len) {
  TAudioDevice& d = Device();
  std::lock_guard<std::mutex> lock(d.MusicLock);
  if (d.Playing == nullptr || xmp_play_buffer(d.Playing, stream, len, 0) != 0)
    std::memset(stream, 0, static_cast<size_t>(len));
}

// Runs on the mixer thread, after the music: adds the effects.
void EffectsHook(void*, Uint8* stream, int len) {
  TAudioDevice& d = Device();
  std::lock_guard<std::mutex> lock(d.EffectsLock);
  d.Mixer.Render(reinterpret_cast<int16_t*>(stream), len / static_cast<int>(OutputChannels * sizeof(int16_t)));
}

bool Mixing(const TAudioDevice& d) { return d.Open || d.Offline; }

bool OpenMixer(TAudioDevice& d) {
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;
  // Only the rate may differ from the request: the music hook writes 16-bit stereo.
  if (Mix_OpenAudioDevice(OutputRate, AUDIO_S16SYS, OutputChannels, OutputChunkFrames, nullptr,
                          SDL_AUDIO_ALLOW_FREQUENCY_CHANGE) != 0) {
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    return false;
  }
  int rate = 0, channels = 0;
  Uint16 format = 0;
  Mix_QuerySpec(&rate, &format, &channels);
  d.Rate = rate > 0 ? rate : OutputRate;
  return true;
}

// A sound server's socket, or an ALSA sound card.
bool SoundOutputExists() {
#ifdef __EMSCRIPTEN__
  return true;  // the browser's Web Audio
#endif
  std::error_code ec;
  if (const char* runtime = SDL_getenv("XDG_RUNTIME_DIR")) {
    const std::filesystem::path dir(runtime);
    if (std::filesystem::exists(dir / "pulse" / "native", ec) || std::filesystem::exists(dir / "pipewire-0", ec))
      return true;
  }
  if (SDL_getenv("PULSE_SERVER") != nullptr) return true;
  std::FILE* const cards = std::fopen("/proc/asound/cards", "r");
  if (cards == nullptr) return false;
  char line[128] = {};
  const bool any = std::fgets(line, sizeof line, cards) != nullptr && std::strstr(line, "no soundcards") == nullptr;
  std::fclose(cards);
  return any;
}

// Opens the mixer at the device's rate with the sound list; an item whose wave cannot be read
// stays silent.
void PrepareMixer(TAudioDevice& d) {
  std::lock_guard<std::mutex> lock(d.EffectsLock);
  d.Mixer.Open(d.Rate);
  d.Mixer.SetItems(d.Waves);
}

void ReleaseModule(xmp_context ctx) {
  xmp_end_player(ctx);
  xmp_release_module(ctx);
  xmp_free_context(ctx);
}

}  // namespace

void Snd_Init() {
  TAudioDevice& d = Device();
  if (d.Open || Sys_Backend() == SysBackend::Headless) return;
  // Without a sound card or server the sound libraries only fill standard error; go silent at once.
  const char* const requested = SDL_getenv("SDL_AUDIODRIVER");
  const bool driverRequested = requested != nullptr && *requested != '\0';
  bool opened = false;
  if (driverRequested || SoundOutputExists()) {
    opened = OpenMixer(d);
    if (!opened) std::fprintf(stderr, "zubokranz: no sound (%s); playing silently\n", SDL_GetError());
  } else {
    std::fprintf(stderr, "zubokranz: no sound card; playing silently\n");
  }
  if (!opened) {
    // SDL's dummy driver still runs the mixer, so timing and looping work. The override wins
    // over an SDL_AUDIODRIVER naming a driver that failed.
    SDL_SetHintWithPriority(SDL_HINT_AUDIODRIVER, "dummy", SDL_HINT_OVERRIDE);
    if (!OpenMixer(d)) return;  // the game runs silent
  }
  d.Open = true;
  Mix_AllocateChannels(0);
  PrepareMixer(d);
  Mix_HookMusic(MusicHook, nullptr);
  Mix_SetPostMix(EffectsHook, nullptr);
}

void Snd_Shutdown() {
  TAudioDevice& d = Device();
  if (d.Open) {
    Mix_SetPostMix(nullptr, nullptr);
    Mix_HookMusic(nullptr, nullptr);
  }
  d.Offline = false;
  {
    std::lock_guard<std::mutex> lock(d.MusicLock);
    d.Playing = nullptr;
    for (auto& [handle, ctx] : d.Modules) ReleaseModule(ctx);
    d.Modules.clear();
  }
  if (d.Open) {
    Mix_CloseAudio();
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    d.Open = false;
  }
}

void Snd_SetWaves(const TWaveCollection& waves) {
  TAudioDevice& d = Device();
  d.Waves = waves;
  if (Mixing(d)) PrepareMixer(d);
}

void Snd_StartRecording(int rate) {
  TAudioDevice& d = Device();
  if (d.Open) return;
  d.Offline = true;
  d.Rate = rate;
  d.Recording.clear();
  d.RecordedMs = 0;
  PrepareMixer(d);
}

std::vector<int16_t> Snd_StopRecording() {
  TAudioDevice& d = Device();
  d.Offline = false;
  return std::move(d.Recording);
}

void Snd_AdvanceRecording(double ms) {
  TAudioDevice& d = Device();
  if (!d.Offline || ms <= 0) return;
  // Whole frames, the fractions carried on, so the recording keeps pace with the clock.
  const auto framesAt = [&](double t) { return static_cast<size_t>(t * d.Rate / 1000.0); };
  const size_t frames = framesAt(d.RecordedMs + ms) - framesAt(d.RecordedMs);
  d.RecordedMs += ms;
  const size_t at = d.Recording.size();
  d.Recording.resize(at + 2 * frames, 0);
  std::lock_guard<std::mutex> lock(d.EffectsLock);
  d.Mixer.Render(d.Recording.data() + at, static_cast<int>(frames));
}

void Snd_Play(int index) {
  Log("play " + std::to_string(index));
  TAudioDevice& d = Device();
  if (!Mixing(d)) return;
  std::lock_guard<std::mutex> lock(d.EffectsLock);
  d.Mixer.Play(index);
}

void Snd_Stop(int index) {
  Log("stop " + std::to_string(index));
  TAudioDevice& d = Device();
  if (!Mixing(d)) return;
  std::lock_guard<std::mutex> lock(d.EffectsLock);
  d.Mixer.Stop(index);
}

bool Snd_Playing(int index) {
  TAudioDevice& d = Device();
  if (!Mixing(d)) return false;
  std::lock_guard<std::mutex> lock(d.EffectsLock);
  return d.Mixer.Playing(index);
}

// Settings change every frame: they are not logged.
void Snd_SetRate(int index, float rate) {
  TAudioDevice& d = Device();
  if (!Mixing(d)) return;
  std::lock_guard<std::mutex> lock(d.EffectsLock);
  d.Mixer.SetItemRate(index, rate);
}

void Snd_SetPan(int index, float pan) {
  TAudioDevice& d = Device();
  if (!Mixing(d)) return;
  std::lock_guard<std::mutex> lock(d.EffectsLock);
  d.Mixer.SetItemPan(index, pan);
}

void Snd_SetVoice(int slot, int index, const TVoiceSettings& settings) {
  TAudioDevice& d = Device();
  if (!Mixing(d) || slot < 0 || slot >= FreeVoiceCount) return;
  std::lock_guard<std::mutex> lock(d.EffectsLock);
  d.Mixer.SetFreeVoice(slot, index, settings);
}

void Snd_StopVoice(int slot) {
  TAudioDevice& d = Device();
  if (!Mixing(d)) return;
  std::lock_guard<std::mutex> lock(d.EffectsLock);
  d.Mixer.StopFreeVoice(slot);
}

int Mus_Load(const std::string& path) {
  Log("music-load " + std::filesystem::path(path).filename().string());
  std::vector<uint8_t> bytes;
  try {
    bytes = ReadWholeFile(path);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "zubokranz: %s; playing without this music\n", e.what());
    return 0;
  }
  xmp_context ctx = xmp_create_context();
  if (ctx == nullptr) return 0;
  if (const int error = xmp_load_module_from_memory(ctx, bytes.data(), static_cast<long>(bytes.size())); error != 0) {
    std::fprintf(stderr, "zubokranz: %s: not a music module that can be played (%s); playing without this music\n",
                 path.c_str(), error == -XMP_ERROR_FORMAT ? "unknown format" : "damaged");
    xmp_free_context(ctx);
    return 0;
  }
  TAudioDevice& d = Device();
  std::lock_guard<std::mutex> lock(d.MusicLock);
  const int handle = d.NextHandle++;
  d.Modules[handle] = ctx;
  return handle;
}

void Mus_Play(int handle) {
  Log("music-play");
  TAudioDevice& d = Device();
  std::lock_guard<std::mutex> lock(d.MusicLock);
  auto it = d.Modules.find(handle);
  if (it == d.Modules.end()) return;
  if (d.Playing != nullptr) xmp_end_player(d.Playing);
  d.Playing = nullptr;
  if (!d.Open) return;
  if (xmp_start_player(it->second, d.Rate, 0) == 0) d.Playing = it->second;
}

void Mus_Stop() {
  Log("music-stop");
  TAudioDevice& d = Device();
  std::lock_guard<std::mutex> lock(d.MusicLock);
  if (d.Playing != nullptr) xmp_end_player(d.Playing);
  d.Playing = nullptr;
}

void Mus_Free(int handle) {
  Log("music-free");
  TAudioDevice& d = Device();
  std::lock_guard<std::mutex> lock(d.MusicLock);
  auto it = d.Modules.find(handle);
  if (it == d.Modules.end()) return;
  if (d.Playing == it->second) d.Playing = nullptr;
  ReleaseModule(it->second);
  d.Modules.erase(it);
}

std::vector<std::string>& Snd_CallLog() { return CallLog(); }
