// Image lists and the sound list as the game holds them: loaded from their files at start-up, or
// an image list later, on a thread of its own while the game goes on.
#include <atomic>
#include <exception>
#include <thread>

#include "platform/platform.h"

namespace {

// The file's items, prepared; throws EGameError naming the file for any problem, a list shorter
// than `itemsNeeded` included.
TPictureCollection LoadItems(const std::string& fileName, int itemsNeeded, bool keepSource) {
  TPictureCollection items;
  ReadImageListFile(fileName, items, keepSource ? TPictureKeeping::Source : TPictureKeeping::SurfaceOnly);
  if (items.Count() < itemsNeeded) {
    throw EGameError(fileName + ": the list has " + std::to_string(items.Count()) + " items, the game needs " +
                     std::to_string(itemsNeeded));
  }
  if (keepSource) {
    for (TPictureCollectionItem& item : items.Items) item.Prepare();
  }
  return items;
}

}  // namespace

// A loading LoadLater set up: run on its thread or by the list itself, never both.
struct TDXImageList::Loading {
  std::string FileName;
  int ItemsNeeded = 0;
  bool KeepSource = false;
  std::thread Thread;
  std::atomic<bool> Ended{false};
  TPictureCollection Items;
  std::exception_ptr Error;

  void Run() {
    try {
      Items = LoadItems(FileName, ItemsNeeded, KeepSource);
    } catch (...) {
      Error = std::current_exception();
    }
    Ended.store(true, std::memory_order_release);
  }
};

TDXImageList::TDXImageList() = default;

TDXImageList::~TDXImageList() {
  if (loading_ && loading_->Thread.joinable()) loading_->Thread.join();
}

void TDXImageList::LoadFromFile(const std::string& fileName, int itemsNeeded) {
  LoadLater(fileName, itemsNeeded);
  WaitLoaded();
}

void TDXImageList::LoadLater(const std::string& fileName, int itemsNeeded) {
  if (loading_ && loading_->Thread.joinable()) loading_->Thread.join();
  loading_ = std::make_unique<Loading>();
  loading_->FileName = fileName;
  loading_->ItemsNeeded = itemsNeeded;
  loading_->KeepSource = KeepSource;
  fileName_ = fileName;
  Items.Items.clear();
}

void TDXImageList::GoOnLoading() {
  if (!loading_) return;
#ifdef __EMSCRIPTEN__
  WaitLoaded();
#else
  if (loading_->Ended.load(std::memory_order_acquire)) WaitLoaded();
  else if (!loading_->Thread.joinable()) loading_->Thread = std::thread([&loading = *loading_] { loading.Run(); });
#endif
}

void TDXImageList::WaitLoaded() {
  if (!loading_) return;
  if (loading_->Thread.joinable()) loading_->Thread.join();
  else if (!loading_->Ended.load(std::memory_order_acquire)) loading_->Run();
  const std::unique_ptr<Loading> loading = std::move(loading_);
  if (loading->Error) std::rethrow_exception(loading->Error);
  Items = std::move(loading->Items);
}

void TDXImageList::PrepareAll() {
  WaitLoaded();
  for (TPictureCollectionItem& item : Items.Items) item.Prepare();
}

TPictureCollectionItem& TDXImageList::Item(int index) {
  WaitLoaded();
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
