// Image lists and the sound list loaded from their files as the game does at start-up.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "platform/platform.h"

namespace {

namespace fs = std::filesystem;

class ImageListLoading : public ::testing::Test {
protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("zk_imagelist_" + std::to_string(getpid()));
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  std::string Path(const char* name) const { return (dir_ / name).string(); }
  fs::path dir_;
};

}  // namespace

TEST_F(ImageListLoading, LoadsPreparesAndChecksIndexes) {
  TPictureCollection written;
  TPictureCollectionItem& item = written.Items.emplace_back();
  item.PatternWidth = 32;
  item.PatternHeight = 32;
  item.Picture.Width = 96;
  item.Picture.Height = 32;
  item.Picture.Pixels.assign(96 * 32, 0x123456);
  written.Items.emplace_back();  // no picture: prepared as nothing to draw
  WriteFileAtomic(Path("Res1.dxg"), WriteImageList(written));

  TDXImageList list;
  list.Items.Items.resize(5);  // loading replaces what was there
  list.LoadFromFile(Path("Res1.dxg"));
  ASSERT_EQ(list.Items.Count(), 2);
  EXPECT_TRUE(list.Item(0).Prepared());
  EXPECT_EQ(list.Item(0).PatternCount(), 3);
  EXPECT_EQ(&list.Item(1), &list.Items.Items[1]);
  for (const int outside : {2, -1}) {
    try {
      list.Item(outside);
      ADD_FAILURE() << "no error for " << outside;
    } catch (const EGameError& e) {
      EXPECT_EQ(std::string(e.what()).rfind(Path("Res1.dxg") + ": ", 0), 0u) << e.what();
    }
  }

  // A list shorter than the game needs is refused at loading, not at its first drawing.
  try {
    list.LoadFromFile(Path("Res1.dxg"), 3);
    FAIL() << "no error";
  } catch (const EGameError& e) {
    EXPECT_EQ(std::string(e.what()), Path("Res1.dxg") + ": the list has 2 items, the game needs 3");
  }
  list.LoadFromFile(Path("Res1.dxg"), 2);
  EXPECT_EQ(list.Items.Count(), 2);
}

// The game frees each decoded picture once it is prepared; only a list loaded to be written again
// keeps them, and a list without them refuses to be written rather than losing its pictures.
TEST_F(ImageListLoading, PicturesAreFreedAfterPreparationUnlessKept) {
  TPictureCollection written;
  TPictureCollectionItem& item = written.Items.emplace_back();
  item.Name = "tiles";
  item.PatternWidth = 2;
  item.Picture.Width = 4;
  item.Picture.Height = 2;
  item.Picture.Pixels = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF, 0, 0, 0, 0};
  item.Transparent = false;
  WriteFileAtomic(Path("Res3.dxg"), WriteImageList(written));

  TDXImageList game;
  game.LoadFromFile(Path("Res3.dxg"));
  TPictureCollectionItem& freed = game.Item(0);
  EXPECT_TRUE(freed.SourceReleased());
  EXPECT_TRUE(freed.Picture.Pixels.empty());
  EXPECT_EQ(freed.Picture.Width, 4);
  EXPECT_EQ(freed.PatternCount(), 2);
  freed.Prepare();  // as after the display is initialised again
  TDirectDrawSurface s(2, 1);
  freed.Draw(&s, 0, 0, 1);
  EXPECT_EQ(s.Pixels()[0], RGB565(0, 0, 255)) << "pattern 1 still draws";
  EXPECT_EQ(s.Pixels()[1], RGB565(255, 255, 255));
  try {
    WriteImageList(game.Items);
    FAIL() << "a list without its pictures was written";
  } catch (const EGameError& e) {
    EXPECT_NE(std::string(e.what()).find("\"tiles\""), std::string::npos) << e.what();
  }

  TDXImageList writer;
  writer.KeepSource = true;
  writer.LoadFromFile(Path("Res3.dxg"));
  EXPECT_TRUE(writer.Item(0).Prepared());
  EXPECT_EQ(writer.Item(0).Picture.Pixels, item.Picture.Pixels);
  EXPECT_EQ(WriteImageList(writer.Items), WriteImageList(written));
}

TEST_F(ImageListLoading, ErrorsNameTheFile) {
  WriteFileAtomic(Path("Res2.dxg"), {0xFF, 10, 0, 'X'});
  TDXImageList images;
  try {
    images.LoadFromFile(Path("Res2.dxg"));
    FAIL() << "no error";
  } catch (const EGameError& e) {
    EXPECT_EQ(std::string(e.what()).rfind(Path("Res2.dxg") + ": ", 0), 0u) << e.what();
  }
  TDXWaveList waves;
  try {
    waves.LoadFromFile(Path("Sounds.dxw"));
    FAIL() << "no error";
  } catch (const EGameError& e) {
    EXPECT_EQ(std::string(e.what()).rfind(Path("Sounds.dxw") + ": ", 0), 0u) << e.what();
  }
}

// A list loaded later (the race's pictures, after the first frame) gives the same items at its
// first use, and its errors then, naming the file, once.
TEST_F(ImageListLoading, LoadedLaterOnItsOwnThread) {
  TPictureCollection written;
  TPictureCollectionItem& item = written.Items.emplace_back();
  item.Picture.Width = 3;
  item.Picture.Height = 2;
  item.Picture.Pixels = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF, 0x808080, 0x102030};
  item.Transparent = false;
  WriteFileAtomic(Path("Res2.dxg"), WriteImageList(written));
  WriteFileAtomic(Path("Bad.dxg"), {0xFF, 10, 0, 'X'});

  for (const bool started : {false, true}) {
    SCOPED_TRACE(started ? "started on its thread" : "loaded at the first use");
    TDXImageList list;
    list.LoadLater(Path("Res2.dxg"), 1);
    if (started) list.GoOnLoading();
    TDirectDrawSurface s(3, 2);
    list.Item(0).Draw(&s, 0, 0, 0);
    EXPECT_EQ(s.Pixels()[5], RGB565(0x10, 0x20, 0x30));
    EXPECT_EQ(list.Items.Count(), 1);

    list.LoadLater(Path("Bad.dxg"));
    if (started) list.GoOnLoading();
    try {
      list.WaitLoaded();
      FAIL() << "no error";
    } catch (const EGameError& e) {
      EXPECT_EQ(std::string(e.what()).rfind(Path("Bad.dxg") + ": ", 0), 0u) << e.what();
    }
    EXPECT_NO_THROW(list.WaitLoaded()) << "the error is thrown once";
    EXPECT_EQ(list.Items.Count(), 0);
  }

  // A list whose loading is still going on when it goes waits for it.
  TDXImageList leaving;
  leaving.LoadLater(Path("Res2.dxg"), 5);
  leaving.GoOnLoading();
}

TEST_F(ImageListLoading, SoundListLoads) {
  TWaveCollection written;
  TWaveCollectionItem& item = written.Items.emplace_back();
  item.Looped = true;
  item.Wave.Riff = MakeRiffWave(1, 22050, 16, std::vector<uint8_t>(200, 0));
  WriteFileAtomic(Path("Sounds.dxw"), WriteWaveList(written));
  TDXWaveList list;
  list.LoadFromFile(Path("Sounds.dxw"));
  ASSERT_EQ(list.Items.Count(), 1);
  EXPECT_TRUE(list.Items.Items[0].Looped);
  EXPECT_EQ(list.Items.Items[0].Wave.Frames(), 100);
}
