// The display, sprite engine and image lists of a game without its form, handed to the sprite
// layer for as long as the object lives: sprite and race tests build their sprites on it.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "sprites/sprites.h"

struct TTestGraphics {
  TDXDraw Draw;
  TDXImageList ImageList1, ImageList2, ImageList3;
  TDXSpriteEngine SpriteEngine{&Draw};

  TTestGraphics() { UseGameGraphics(TGameGraphics{&Draw, &SpriteEngine, {&ImageList1, &ImageList2, &ImageList3}}); }
  ~TTestGraphics() { UseGameGraphics(TGameGraphics{}); }
  TTestGraphics(const TTestGraphics&) = delete;
  TTestGraphics& operator=(const TTestGraphics&) = delete;
};

// Tests that draw text and sprites on an opened headless display and read the pixels back.
class DrawingTest : public ::testing::Test {
protected:
  DrawingTest() {
    Sys_Init(SysConfig{SysBackend::Headless, 60, {}});
    graphics.Draw.Initialize();
    graphics.SpriteEngine.SurfaceInitialized();
  }

  struct Region {
    int Left, Top, Right, Bottom;
  };

  TDirectDrawSurface& Surface() { return *graphics.Draw.Surface(); }
  void Clear() { Surface().Fill(0); }

  std::vector<uint16_t> Pixels(const Region& r) {
    std::vector<uint16_t> out;
    for (int y = std::max(r.Top, 0); y < std::min(r.Bottom, Surface().Height()); ++y)
      for (int x = std::max(r.Left, 0); x < std::min(r.Right, Surface().Width()); ++x)
        out.push_back(Surface().Row(y)[x]);
    return out;
  }

  static bool AnyLit(const std::vector<uint16_t>& px) {
    for (const uint16_t p : px)
      if (p != 0) return true;
    return false;
  }

  TTestGraphics graphics;
};
