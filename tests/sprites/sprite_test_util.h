// Helpers shared by the sprite tests: pictures built in memory and a sprite that logs its walks.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "sprites/sprites.h"

// An item of w x h patterns stacked top to bottom, pattern n filled with colours[n] (0x00RRGGBB).
// Opaque (no colour key) and prepared.
inline TPictureCollectionItem MakeSolidPatterns(int w, int h, const std::vector<uint32_t>& colours) {
  TPictureCollectionItem item;
  item.PatternWidth = w;
  item.PatternHeight = h;
  item.Transparent = false;
  item.Picture.Width = w;
  item.Picture.Height = h * static_cast<int>(colours.size());
  item.Picture.BitsPerPixel = 24;
  for (const uint32_t colour : colours) item.Picture.Pixels.insert(item.Picture.Pixels.end(), static_cast<size_t>(w) * h, colour);
  item.Prepare();
  return item;
}

inline uint16_t PixelAt(const TDirectDrawSurface& surface, int x, int y) { return surface.Row(y)[x]; }

// What the log sprites did, in order, by name.
struct TWalkLog {
  std::vector<std::string> Renders, Steps, Destroyed;
};

// A plain sprite that records its renders, steps and destruction. The log must outlive it.
class TLogSprite : public TSprite {
public:
  TLogSprite(TSprite* parent, std::string name, TWalkLog& log, int32_t z = 0)
      : TSprite(parent), name_(std::move(name)), log_(log) {
    SetZ(z);
  }
  ~TLogSprite() override { log_.Destroyed.push_back(name_); }

  void Render() override { log_.Renders.push_back(name_); }
  void Step(int /*elapsed*/) override { log_.Steps.push_back(name_); }

private:
  std::string name_;
  TWalkLog& log_;
};
