// The audio device: sound-list items on SDL_mixer channels, XM music decoded by libxmp and fed
// to the mixer through its music hook.
//
// Item n of the sound list owns mixer channel n, so playing an item first stops its own running
// instance and never touches another item. Modules are loaded by libxmp even when no device is
// open (the headless backend, no sound card): a module that loads gets a handle, one that does
// not gets 0, so the game's music rules behave the same everywhere. Every call is recorded in the
// call log, device or not.
#include <SDL.h>
#include <SDL_mixer.h>
#include <xmp.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <mutex>

#include "platform/platform.h"

namespace {

constexpr int OutputRate = 44100;
constexpr int LoopFadeMs = 15;
constexpr int OutputChannels = 2;
constexpr int OutputChunkFrames = 1024;

struct TSoundItem {
  bool Looped = false;
  std::vector<uint8_t> Riff;   // kept only when the wave arrived while the device was closed
  Mix_Chunk* Chunk = nullptr;  // null when the device is closed or the wave could not be read
};

struct TAudioDevice {
  bool Open = false;
  int Rate = OutputRate;
  std::vector<TSoundItem> Items;

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

void FreeChunks(TAudioDevice& d) {
  for (TSoundItem& item : d.Items) {
    if (item.Chunk != nullptr) Mix_FreeChunk(item.Chunk);
    item.Chunk = nullptr;
  }
}

Mix_Chunk* LoadChunk(const std::vector<uint8_t>& riff) {
  if (riff.empty()) return nullptr;
  SDL_RWops* rw = SDL_RWFromConstMem(riff.data(), static_cast<int>(riff.size()));
  return rw != nullptr ? Mix_LoadWAV_RW(rw, 1) : nullptr;
}

// Converts every item for the open device; an item whose wave cannot be read stays silent.
void PrepareChunks(TAudioDevice& d) {
  if (!d.Open) return;
  Mix_HaltChannel(-1);
  FreeChunks(d);
  Mix_AllocateChannels(static_cast<int>(d.Items.size()));
  for (TSoundItem& item : d.Items) item.Chunk = LoadChunk(item.Riff);
}

bool ValidItem(const TAudioDevice& d, int index) {
  return index >= 0 && index < static_cast<int>(d.Items.size());
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
  PrepareChunks(d);
  Mix_HookMusic(MusicHook, nullptr);
}

void Snd_Shutdown() {
  TAudioDevice& d = Device();
  if (d.Open) {
    Mix_HookMusic(nullptr, nullptr);
    Mix_HaltChannel(-1);
  }
  {
    std::lock_guard<std::mutex> lock(d.MusicLock);
    d.Playing = nullptr;
    for (auto& [handle, ctx] : d.Modules) ReleaseModule(ctx);
    d.Modules.clear();
  }
  if (d.Open) {
    FreeChunks(d);
    Mix_CloseAudio();
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    d.Open = false;
  }
}

void Snd_SetWaves(const TWaveCollection& waves) {
  TAudioDevice& d = Device();
  if (d.Open) {
    Mix_HaltChannel(-1);
    FreeChunks(d);
  }
  d.Items.assign(waves.Items.size(), TSoundItem{});
  if (d.Open) Mix_AllocateChannels(static_cast<int>(d.Items.size()));
  for (size_t i = 0; i < waves.Items.size(); ++i) {
    d.Items[i].Looped = waves.Items[i].Looped;
    // An open device converts the wave at once; a closed one keeps it for when it opens.
    if (d.Open) d.Items[i].Chunk = LoadChunk(waves.Items[i].Wave.Riff);
    else d.Items[i].Riff = waves.Items[i].Wave.Riff;
  }
}

void Snd_Play(int index) {
  Log("play " + std::to_string(index));
  TAudioDevice& d = Device();
  if (!d.Open || !ValidItem(d, index) || d.Items[index].Chunk == nullptr) return;
  Mix_HaltChannel(index);
  // A loop (the engine's sounds, the horn) fades in, so that one engine sound taking over from
  // another does not start with a click.
  if (d.Items[index].Looped) Mix_FadeInChannel(index, d.Items[index].Chunk, -1, LoopFadeMs);
  else Mix_PlayChannel(index, d.Items[index].Chunk, 0);
}

void Snd_Stop(int index) {
  Log("stop " + std::to_string(index));
  TAudioDevice& d = Device();
  if (d.Open && ValidItem(d, index)) Mix_HaltChannel(index);
}

bool Snd_Playing(int index) {
  TAudioDevice& d = Device();
  return d.Open && ValidItem(d, index) && Mix_Playing(index) != 0;
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
