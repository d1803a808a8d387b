// The three pattern drawing operations against SDL's software equivalents on the same RGB565
// surfaces, one plain copy of the back surface as the floor, and the per-frame cost of cached text.
#include <SDL.h>
#include <benchmark/benchmark.h>

#include <array>
#include <cstdlib>
#include <iterator>
#include <cstring>
#include <vector>

#include "platform/platform.h"

namespace {

constexpr int kSurfW = TDXDraw::SurfaceWidth, kSurfH = TDXDraw::SurfaceHeight;
constexpr int kSprite = 64;
constexpr uint32_t kKeyRGB = 0xFF00FF;  // magenta, 0x00RRGGBB and 0x00BBGGRR alike

// A sprite-like picture: a wheel-shaped body with spokes cut out, about 40% keyed.
uint32_t SpritePixel(int x, int y) {
  const int dx = 2 * x - (kSprite - 1), dy = 2 * y - (kSprite - 1);  // twice the offset from the centre
  const int r2 = dx * dx + dy * dy;
  const bool body = r2 < 58 * 58;
  const bool window = r2 > 22 * 22 && r2 < 40 * 40 && (std::abs(dx) > 8 && std::abs(dy) > 8);
  if (!body || window) return kKeyRGB;
  return (static_cast<uint32_t>(40 + 3 * x) << 16) | (static_cast<uint32_t>(60 + 2 * y) << 8) | 0x30;
}

TPicture MakeSpritePicture() {
  TPicture pic;
  pic.Width = pic.Height = kSprite;
  pic.BitsPerPixel = 24;
  pic.Pixels.resize(kSprite * kSprite);
  for (int y = 0; y < kSprite; ++y)
    for (int x = 0; x < kSprite; ++x) pic.Pixels[y * kSprite + x] = SpritePixel(x, y);
  return pic;
}

TPictureCollectionItem MakeSpriteItem() {
  TPictureCollectionItem item;
  item.Picture = MakeSpritePicture();
  item.Transparent = true;
  item.TransparentColor = kKeyRGB;
  item.Prepare();
  return item;
}

// Where the sprites go: spread over the surface, some crossing its edges.
struct Placement {
  int x, y, angle;
};

template <size_t N>
std::array<Placement, N> MakePlacements() {
  std::array<Placement, N> out{};
  uint32_t seed = 12345;
  const auto next = [&seed](int range) {
    seed = seed * 1664525u + 1013904223u;
    return static_cast<int>((seed >> 8) % static_cast<uint32_t>(range));
  };
  for (Placement& p : out) p = Placement{next(kSurfW + 64) - 48, next(kSurfH + 64) - 48, next(256)};
  return out;
}

const auto kKeyedPlacements = MakePlacements<200>();
const auto kPlacements = MakePlacements<100>();

// SDL's side: RGB565 surfaces holding the same pixels.
struct SdlSurfaces {
  SDL_Surface* sprite = nullptr;
  SDL_Surface* target = nullptr;
  SdlSurfaces() {
    sprite = SDL_CreateRGBSurfaceWithFormat(0, kSprite, kSprite, 16, SDL_PIXELFORMAT_RGB565);
    target = SDL_CreateRGBSurfaceWithFormat(0, kSurfW, kSurfH, 16, SDL_PIXELFORMAT_RGB565);
    for (int y = 0; y < kSprite; ++y) {
      auto* row = reinterpret_cast<uint16_t*>(static_cast<uint8_t*>(sprite->pixels) + y * sprite->pitch);
      for (int x = 0; x < kSprite; ++x) row[x] = RGB888To565(SpritePixel(x, y));
    }
    SDL_SetColorKey(sprite, SDL_TRUE, RGB888To565(kKeyRGB));
  }
  ~SdlSurfaces() {
    SDL_FreeSurface(sprite);
    SDL_FreeSurface(target);
  }
};

// ---------------------------------------------------------------------------------------------

void BM_DrawKeyed_Ours(benchmark::State& state) {
  const TPictureCollectionItem item = MakeSpriteItem();
  TDirectDrawSurface surface(kSurfW, kSurfH);
  for (auto _ : state) {
    for (const Placement& p : kKeyedPlacements) item.Draw(&surface, p.x, p.y, 0);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * kKeyedPlacements.size());
}
BENCHMARK(BM_DrawKeyed_Ours);

void BM_DrawKeyed_SDL(benchmark::State& state) {
  SdlSurfaces sdl;
  SDL_SetSurfaceRLE(sdl.sprite, 1);
  SDL_BlitSurface(sdl.sprite, nullptr, sdl.target, nullptr);  // encodes the runs once
  for (auto _ : state) {
    for (const Placement& p : kKeyedPlacements) {
      SDL_Rect at{p.x, p.y, kSprite, kSprite};
      SDL_BlitSurface(sdl.sprite, nullptr, sdl.target, &at);
    }
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * kKeyedPlacements.size());
}
BENCHMARK(BM_DrawKeyed_SDL);

// ---------------------------------------------------------------------------------------------

constexpr int kBlendW = 96, kBlendH = 80, kAlpha = 128;

void BM_DrawBlended_Ours(benchmark::State& state) {
  const TPictureCollectionItem item = MakeSpriteItem();
  TDirectDrawSurface surface(kSurfW, kSurfH);
  for (auto _ : state) {
    for (const Placement& p : kPlacements) item.DrawBlended(&surface, Bounds(p.x, p.y, kBlendW, kBlendH), 0, kAlpha);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * kPlacements.size());
}
BENCHMARK(BM_DrawBlended_Ours);

void BM_DrawBlended_SDL(benchmark::State& state) {
  SdlSurfaces sdl;
  SDL_SetSurfaceBlendMode(sdl.sprite, SDL_BLENDMODE_BLEND);
  SDL_SetSurfaceAlphaMod(sdl.sprite, kAlpha);
  for (auto _ : state) {
    for (const Placement& p : kPlacements) {
      SDL_Rect at{p.x, p.y, kBlendW, kBlendH};
      SDL_BlitScaled(sdl.sprite, nullptr, sdl.target, &at);
    }
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * kPlacements.size());
}
BENCHMARK(BM_DrawBlended_SDL);

// ---------------------------------------------------------------------------------------------

constexpr int kRotated = 96;

void BM_DrawRotated_Ours(benchmark::State& state) {
  const TPictureCollectionItem item = MakeSpriteItem();
  TDirectDrawSurface surface(kSurfW, kSurfH);
  for (auto _ : state) {
    for (const Placement& p : kPlacements) item.DrawRotated(&surface, p.x, p.y, kRotated, kRotated, 0, 0.5, 0.5, p.angle);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * kPlacements.size());
}
BENCHMARK(BM_DrawRotated_Ours);

void BM_DrawRotated_SDL(benchmark::State& state) {
  SdlSurfaces sdl;
  SDL_Renderer* renderer = SDL_CreateSoftwareRenderer(sdl.target);
  SDL_Texture* texture = SDL_CreateTextureFromSurface(renderer, sdl.sprite);
  if (renderer == nullptr || texture == nullptr) {
    state.SkipWithError(SDL_GetError());
    return;
  }
  const SDL_Point centre{kRotated / 2, kRotated / 2};
  for (auto _ : state) {
    for (const Placement& p : kPlacements) {
      const SDL_Rect at{p.x - kRotated / 2, p.y - kRotated / 2, kRotated, kRotated};
      SDL_RenderCopyEx(renderer, texture, nullptr, &at, p.angle * 360.0 / 256, &centre, SDL_FLIP_NONE);
    }
    SDL_RenderFlush(renderer);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * kPlacements.size());
  SDL_DestroyTexture(texture);
  SDL_DestroyRenderer(renderer);
}
BENCHMARK(BM_DrawRotated_SDL);

// ---------------------------------------------------------------------------------------------

void BM_Memcpy565(benchmark::State& state) {
  std::vector<uint16_t> from(kSurfW * kSurfH, 0x1234), to(kSurfW * kSurfH);
  for (auto _ : state) {
    std::memcpy(to.data(), from.data(), from.size() * sizeof(uint16_t));
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * from.size() * sizeof(uint16_t));
}
BENCHMARK(BM_Memcpy565);

// ---------------------------------------------------------------------------------------------
// Text redrawn every frame: the race HUD's six strings, each measured for centring and drawn.

void BM_TextHudCached(benchmark::State& state) {
  TDirectDrawSurface surface(kSurfW, kSurfH);
  TCanvas canvas;
  TFontStyle hud;
  hud.R = 66, hud.G = 252, hud.B = 202;
  struct Line {
    const char* text;
    int size, x, y;
  };
  constexpr Line kLines[] = {{"LEVEL 3 / 10", 16, 714, 20}, {"01 : 07", 22, 87, 23}, {"12345", 22, 84, 218},
                             {"3", 22, 113, 342},           {"191", 22, 91, 578},    {"2/6", 14, 635, 185}};
  for (auto _ : state) {
    for (const Line& l : kLines) {
      hud.Size = l.size;
      canvas.SetFont(hud);
      const int x = l.x - canvas.TextWidth(l.text) / 2, y = l.y - canvas.TextHeight(l.text) / 2;
      canvas.TextOut(&surface, x, y, l.text);
    }
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * std::size(kLines));
}
BENCHMARK(BM_TextHudCached);

}  // namespace
