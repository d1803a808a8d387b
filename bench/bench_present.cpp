// Presenting a frame: our RGB565 conversion to the window's 32-bit pixels against SDL's own
// (SDL_ConvertPixels) on the same back surface, for the layout SIMD handles and for one that goes
// through the lookup table; and the comparison that lets an unchanged frame go unpresented.
#include <SDL.h>
#include <benchmark/benchmark.h>

#include <vector>

#include "platform/platform.h"

namespace {

constexpr int kW = TDXDraw::SurfaceWidth, kH = TDXDraw::SurfaceHeight;

// A busy frame: every pixel value differs from its neighbours.
TDirectDrawSurface MakeFrame() {
  TDirectDrawSurface s(kW, kH);
  uint32_t seed = 2024;
  for (int i = 0; i < kW * kH; ++i) {
    seed = seed * 1664525u + 1013904223u;
    s.Pixels()[i] = static_cast<uint16_t>(seed >> 16);
  }
  return s;
}

struct Target {
  Uint32 SdlFormat;
  TPixelLayout32 Layout;
};
const Target kXrgb{SDL_PIXELFORMAT_ARGB8888, {16, 8, 0, 24}};
const Target kXbgr{SDL_PIXELFORMAT_ABGR8888, {0, 8, 16, 24}};

void ConvertOurs(benchmark::State& state, const Target& target) {
  const TDirectDrawSurface frame = MakeFrame();
  const TRgb565Converter converter(target.Layout);
  std::vector<uint32_t> out(static_cast<size_t>(kW) * kH);
  for (auto _ : state) {
    converter.Convert(frame.Pixels(), out.data(), out.size());
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
}

void ConvertSdl(benchmark::State& state, const Target& target) {
  const TDirectDrawSurface frame = MakeFrame();
  std::vector<uint32_t> out(static_cast<size_t>(kW) * kH);
  for (auto _ : state) {
    SDL_ConvertPixels(kW, kH, SDL_PIXELFORMAT_RGB565, frame.Pixels(), kW * 2, target.SdlFormat, out.data(), kW * 4);
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
}

void BM_Present565ToXrgb_Ours(benchmark::State& state) { ConvertOurs(state, kXrgb); }
void BM_Present565ToXrgb_SDL(benchmark::State& state) { ConvertSdl(state, kXrgb); }
void BM_Present565ToXbgr_Ours(benchmark::State& state) { ConvertOurs(state, kXbgr); }
void BM_Present565ToXbgr_SDL(benchmark::State& state) { ConvertSdl(state, kXbgr); }
BENCHMARK(BM_Present565ToXrgb_Ours);
BENCHMARK(BM_Present565ToXrgb_SDL);
BENCHMARK(BM_Present565ToXbgr_Ours);
BENCHMARK(BM_Present565ToXbgr_SDL);

// A whole frame through SDL's software renderer into a window-like XRGB8888 surface: our
// conversion into a locked streaming texture, then the renderer's copy. The texture either has
// an alpha channel (the renderer blends and converts every pixel) or the window's own format with
// blending off (the renderer copies rows), the latter being what the game creates.
void PresentThroughRenderer(benchmark::State& state, Uint32 textureFormat, SDL_BlendMode mode, const Target& target) {
  const TDirectDrawSurface frame = MakeFrame();
  const TRgb565Converter converter(target.Layout);
  SDL_Surface* window = SDL_CreateRGBSurfaceWithFormat(0, kW, kH, 32, SDL_PIXELFORMAT_RGB888);
  SDL_Renderer* renderer = window != nullptr ? SDL_CreateSoftwareRenderer(window) : nullptr;
  SDL_Texture* texture =
      renderer != nullptr ? SDL_CreateTexture(renderer, textureFormat, SDL_TEXTUREACCESS_STREAMING, kW, kH) : nullptr;
  if (texture == nullptr) {
    state.SkipWithError(SDL_GetError());
  } else {
    SDL_SetTextureBlendMode(texture, mode);
    for (auto _ : state) {
      void* pixels = nullptr;
      int pitch = 0;
      SDL_LockTexture(texture, nullptr, &pixels, &pitch);
      for (int y = 0; y < kH; ++y)
        converter.Convert(frame.Row(y), reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(pixels) + y * pitch), kW);
      SDL_UnlockTexture(texture);
      SDL_RenderCopy(renderer, texture, nullptr, nullptr);
      SDL_RenderFlush(renderer);
      benchmark::ClobberMemory();
    }
  }
  if (texture != nullptr) SDL_DestroyTexture(texture);
  if (renderer != nullptr) SDL_DestroyRenderer(renderer);
  SDL_FreeSurface(window);
}

void BM_PresentSoftware_ArgbTexture(benchmark::State& state) {
  PresentThroughRenderer(state, SDL_PIXELFORMAT_ARGB8888, SDL_BLENDMODE_BLEND, kXrgb);
}
void BM_PresentSoftware_WindowFormat(benchmark::State& state) {
  PresentThroughRenderer(state, SDL_PIXELFORMAT_RGB888, SDL_BLENDMODE_NONE, kXrgb);
}
BENCHMARK(BM_PresentSoftware_ArgbTexture);
BENCHMARK(BM_PresentSoftware_WindowFormat);

// The idle case: a frame equal to the last one, found unchanged.
void BM_PresentUnchangedFrame(benchmark::State& state) {
  const TDirectDrawSurface frame = MakeFrame();
  TFrameChanges changes;
  changes.Update(frame);
  for (auto _ : state) benchmark::DoNotOptimize(changes.Update(frame));
}
BENCHMARK(BM_PresentUnchangedFrame);

}  // namespace
