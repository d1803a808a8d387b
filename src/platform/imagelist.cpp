// Image lists and the sound list as the game holds them: loaded from their files at start-up.
#include "platform/platform.h"

void TDXImageList::LoadFromFile(const std::string& fileName, int itemsNeeded) {
  fileName_ = fileName;
  ReadImageListFile(fileName, Items);
  if (Items.Count() < itemsNeeded) {
    const int count = Items.Count();
    Items.Items.clear();
    throw EGameError(fileName + ": the list has " + std::to_string(count) + " items, the game needs " +
                     std::to_string(itemsNeeded));
  }
  PrepareAll();
  if (KeepSource) return;
  for (TPictureCollectionItem& item : Items.Items) item.ReleaseSource();
}

void TDXImageList::PrepareAll() {
  for (TPictureCollectionItem& item : Items.Items) item.Prepare();
}

TPictureCollectionItem& TDXImageList::Item(int index) {
  if (index < 0 || index >= Items.Count()) {
    throw EGameError(fileName_ + ": image list index out of bounds (" + std::to_string(index) + ", the list has " +
                     std::to_string(Items.Count()) + " items)");
  }
  return Items.Items[static_cast<size_t>(index)];
}

void TDXWaveList::LoadFromFile(const std::string& fileName) {
  ReadWaveListFile(fileName, Items);
  Snd_SetWaves(Items);
}
