// libFuzzer entry for the resource-file readers. Every input goes through both readers; whatever
// reads without error must also survive the writer and read back to the same items.
#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "platform/platform.h"

namespace {

[[noreturn]] void Broken(const char* what) {
  std::fprintf(stderr, "round trip broken: %s\n", what);
  std::abort();
}

void Check(bool ok, const char* what) {
  if (!ok) Broken(what);
}

void CheckImages(const TPictureCollection& list) {
  for (const TPictureCollectionItem& item : list.Items) {
    const int count = item.PatternCount();
    for (int n = 0; n < count && n < 4; n++) item.PatternRect(n);
  }
  const std::vector<uint8_t> bytes = WriteImageList(list);
  TPictureCollection back;
  try {
    ReadImageList(bytes.data(), bytes.size(), "rewritten.dxg", back);
  } catch (const EGameError& e) {
    Broken(e.what());
  }
  Check(back.Count() == list.Count(), "image count");
  for (int i = 0; i < list.Count(); i++) {
    const TPictureCollectionItem &a = list.Items[i], &b = back.Items[i];
    Check(a.Name == b.Name && a.PatternWidth == b.PatternWidth && a.PatternHeight == b.PatternHeight &&
              a.SkipWidth == b.SkipWidth && a.SkipHeight == b.SkipHeight && a.Transparent == b.Transparent &&
              a.TransparentColor == b.TransparentColor && a.SystemMemory == b.SystemMemory,
          "image properties");
    Check(a.Picture.Width == b.Picture.Width && a.Picture.Height == b.Picture.Height &&
              a.Picture.Pixels == b.Picture.Pixels,
          "picture");
  }
}

// The game's reading (pictures straight to the surface format, no source kept) fails where the
// lossless reading fails, and otherwise draws what the lossless items draw once prepared.
void CheckGameReading(const uint8_t* data, size_t size, TPictureCollection* lossless) {
  TPictureCollection game;
  bool read = true;
  try {
    ReadImageList(data, size, "fuzz.dxg", game, TPictureKeeping::SurfaceOnly);
  } catch (const EGameError&) {
    read = false;
  }
  Check(read == (lossless != nullptr), "the game's reading fails alike");
  if (lossless == nullptr) return;
  Check(game.Count() == lossless->Count(), "the game's image count");
  TDirectDrawSurface a(48, 48), b(48, 48);
  for (int i = 0; i < game.Count(); i++) {
    TPictureCollectionItem& source = lossless->Items[i];
    source.Prepare();
    const TPictureCollectionItem& prepared = game.Items[i];
    Check(source.Prepared() == prepared.Prepared(), "prepared alike");
    for (int n = 0; n < source.PatternCount() && n < 4; n++) {
      a.Fill(0x1234);
      b.Fill(0x1234);
      source.Draw(&a, -1, -1, n);
      prepared.Draw(&b, -1, -1, n);
      Check(std::equal(a.Pixels(), a.Pixels() + 48 * 48, b.Pixels()), "the game's pictures draw alike");
    }
  }
}

void CheckWaves(const TWaveCollection& list) {
  const std::vector<uint8_t> bytes = WriteWaveList(list);
  TWaveCollection back;
  try {
    ReadWaveList(bytes.data(), bytes.size(), "rewritten.dxw", back);
  } catch (const EGameError& e) {
    Broken(e.what());
  }
  Check(back.Count() == list.Count(), "wave count");
  for (int i = 0; i < list.Count(); i++) {
    const TWaveCollectionItem &a = list.Items[i], &b = back.Items[i];
    Check(a.Name == b.Name && a.Looped == b.Looped && a.MaxPlayingCount == b.MaxPlayingCount, "wave properties");
    Check(a.Wave.Riff == b.Wave.Riff && a.Wave.Samples == b.Wave.Samples, "wave");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TPictureCollection images;
  bool imagesRead = true;
  try {
    ReadImageList(data, size, "fuzz.dxg", images);
  } catch (const EGameError&) {
    imagesRead = false;
  }
  if (imagesRead) CheckImages(images);
  CheckGameReading(data, size, imagesRead ? &images : nullptr);

  TWaveCollection waves;
  bool wavesRead = true;
  try {
    ReadWaveList(data, size, "fuzz.dxw", waves);
  } catch (const EGameError&) {
    wavesRead = false;
  }
  if (wavesRead) CheckWaves(waves);
  return 0;
}
