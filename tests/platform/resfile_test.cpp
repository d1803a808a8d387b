// Image-list and sound-list files: the stream format's edge cases, the writer's round trips,
// every error naming the file, and truncated files.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "platform/platform.h"
#include "resfile_builder.h"

namespace {

TPicture MakePicture(int w, int h, uint32_t seed) {
  TPicture p;
  p.Width = w;
  p.Height = h;
  p.BitsPerPixel = 24;
  for (int i = 0; i < w * h; i++) p.Pixels.push_back((static_cast<uint32_t>(i) * 2654435761u + seed) & 0xFFFFFF);
  return p;
}

std::vector<uint8_t> Pcm(size_t n) {
  std::vector<uint8_t> s(n);
  for (size_t i = 0; i < n; i++) s[i] = static_cast<uint8_t>(i * 37 + 11);
  return s;
}

TPictureCollection SampleImageList() {
  TPictureCollection list;
  for (int i = 0; i < 256; i++) list.ColorTable[i * 4] = static_cast<uint8_t>(i);
  list.HasColorTable = true;
  TPictureCollectionItem& a = list.Items.emplace_back();
  a.Name = "buttons";
  a.PatternWidth = 32;
  a.PatternHeight = 16;
  a.SkipWidth = 2;
  a.SkipHeight = 300;
  a.TransparentColor = 0x00FF00FF;  // clFuchsia, written as an identifier
  a.Picture = MakePicture(98, 33, 1);
  TPictureCollectionItem& b = list.Items.emplace_back();  // no picture, long name
  b.Name = std::string(300, 'n');
  b.Transparent = false;
  b.SystemMemory = true;
  b.PatternWidth = -70000;
  b.TransparentColor = 0x00123456;  // no name: an integer
  TPictureCollectionItem& c = list.Items.emplace_back();
  c.Picture = MakePicture(1, 1, 7);
  return list;
}

void ExpectSameItem(const TPictureCollectionItem& a, const TPictureCollectionItem& b) {
  EXPECT_EQ(a.Name, b.Name);
  EXPECT_EQ(a.PatternWidth, b.PatternWidth);
  EXPECT_EQ(a.PatternHeight, b.PatternHeight);
  EXPECT_EQ(a.SkipWidth, b.SkipWidth);
  EXPECT_EQ(a.SkipHeight, b.SkipHeight);
  EXPECT_EQ(a.SystemMemory, b.SystemMemory);
  EXPECT_EQ(a.Transparent, b.Transparent);
  EXPECT_EQ(a.TransparentColor, b.TransparentColor);
  EXPECT_EQ(a.Picture.Width, b.Picture.Width);
  EXPECT_EQ(a.Picture.Height, b.Picture.Height);
  EXPECT_EQ(a.Picture.Pixels, b.Picture.Pixels);
}

TWaveCollection SampleWaveList() {
  TWaveCollection list;
  TWaveCollectionItem& a = list.Items.emplace_back();
  a.Name = "engine";
  a.Looped = true;
  a.MaxPlayingCount = 3;
  a.Wave.Riff = MakeRiffWave(1, 22050, 8, Pcm(101));  // odd length: padded chunk
  TWaveCollectionItem& b = list.Items.emplace_back();
  b.MaxPlayingCount = -1;
  b.Wave.Channels = 2;
  b.Wave.Rate = 44100;
  b.Wave.Bits = 16;
  b.Wave.Samples = Pcm(400);  // no image yet: the writer builds it
  list.Items.emplace_back();  // no wave at all
  return list;
}

// The message of the EGameError that `read` throws, or "" when it does not throw.
template <typename F>
std::string ErrorOf(F&& read) {
  try {
    read();
  } catch (const EGameError& e) {
    return e.what();
  }
  return "";
}

std::string ImageListError(const std::vector<uint8_t>& file, TPictureKeeping keeping = TPictureKeeping::Source) {
  return ErrorOf([&] {
    TPictureCollection list;
    ReadImageList(file.data(), file.size(), "Data/Res/Res1.dxg", list, keeping);
  });
}

// The root object of an image list with `props` as its properties.
std::vector<uint8_t> ImageListRoot(const Bytes& props) {
  Bytes obj;
  obj.Short("TPictureCollectionComponent").Short("MDXImageList1").Raw(props.b).U8(0).U8(0);
  return WrapResource(obj.b);
}

std::vector<uint8_t> SmallDib() { return EncodeDib24(MakePicture(3, 2, 5)); }

}  // namespace

TEST(ResFileWriter, ImageListRoundTrip) {
  const TPictureCollection list = SampleImageList();
  TPictureCollection back;
  const std::vector<uint8_t> file = WriteImageList(list);
  ReadImageList(file.data(), file.size(), "mem", back);
  ASSERT_EQ(back.Count(), list.Count());
  for (int i = 0; i < list.Count(); i++) ExpectSameItem(list.Items[i], back.Items[i]);
  EXPECT_TRUE(back.HasColorTable);
  EXPECT_EQ(back.ColorTable, list.ColorTable);
  EXPECT_EQ(back.Items[0].Picture.BitsPerPixel, 24);
  EXPECT_TRUE(back.Items[1].Picture.Empty());
  // The writer is deterministic: writing what was read gives the same bytes.
  EXPECT_EQ(WriteImageList(back), file);
}

TEST(ResFileWriter, WaveListRoundTrip) {
  const TWaveCollection list = SampleWaveList();
  TWaveCollection back;
  const std::vector<uint8_t> file = WriteWaveList(list);
  ReadWaveList(file.data(), file.size(), "mem", back);
  ASSERT_EQ(back.Count(), 3);
  EXPECT_EQ(back.Items[0].Name, "engine");
  EXPECT_TRUE(back.Items[0].Looped);
  EXPECT_EQ(back.Items[0].MaxPlayingCount, 3);
  EXPECT_EQ(back.Items[0].Wave.Riff, list.Items[0].Wave.Riff);
  EXPECT_EQ(back.Items[0].Wave.Samples, Pcm(101));
  EXPECT_EQ(back.Items[0].Wave.Channels, 1);
  EXPECT_EQ(back.Items[0].Wave.Rate, 22050);
  EXPECT_EQ(back.Items[0].Wave.Bits, 8);
  EXPECT_EQ(back.Items[0].Wave.Frames(), 101);
  EXPECT_EQ(back.Items[1].MaxPlayingCount, -1);
  EXPECT_EQ(back.Items[1].Wave.Samples, Pcm(400));
  EXPECT_EQ(back.Items[1].Wave.Channels, 2);
  EXPECT_EQ(back.Items[1].Wave.Bits, 16);
  EXPECT_EQ(back.Items[1].Wave.Frames(), 100);
  EXPECT_TRUE(back.Items[2].Wave.Empty());
}

TEST(ResFileWriter, EncodersRejectWhatTheyCannotStore) {
  TPicture bad = MakePicture(4, 4, 0);
  bad.Pixels.pop_back();
  EXPECT_THROW(EncodeDib24(bad), EGameError);
  EXPECT_THROW(EncodeDib24(TPicture{}), EGameError);
  EXPECT_THROW(MakeRiffWave(1, 8000, 12, Pcm(3)), EGameError);
  EXPECT_THROW(MakeRiffWave(2, 8000, 16, Pcm(3)), EGameError);  // not whole frames
  EXPECT_THROW(MakeRiffWave(0, 8000, 8, Pcm(3)), EGameError);
}

TEST(ResFileReader, StreamFeatures) {
  Bytes props;
  props.Short("Tag").U8(1).U8(2).U8(5).U8(11).Short("a").Short("b").U8(0).U8(13).U8(0);  // unknown: skipped
  props.Short("List").U8(14).U8(1).Str("Name", "dropped").U8(0).U8(0);  // replaced by the next "List"
  props.Short("list").U8(14);
  // Item 0: order index (8-bit), long-text name, colour identifier, nil picture.
  props.U8(2).U8(0).U8(1);
  props.Short("Name").U8(12).U32(3).Raw("abc");
  props.Ident("TransparentColor", "clMoneyGreen").Short("Picture.Data").U8(13);
  props.Bool("Transparent", false).Ident("SystemMemory", "True").U8(0);
  // Item 1: 16-bit order index, a picture, 16- and 32-bit integers, an empty picture class.
  props.U8(3).U16(7).U8(1).Int16("PatternWidth", 300).Int32("PatternHeight", -2).Int8("SkipWidth", 4);
  props.Binary("Picture.Data", DibPictureData(SmallDib())).Ident("TransparentColor", "CLWHITE").U8(0);
  // Item 2: 32-bit order index, no properties but an empty picture class.
  props.U8(4).U32(1).U8(1).Binary("Picture.Data", {0}).U8(0);
  props.U8(0);

  TPictureCollection list;
  const std::vector<uint8_t> file = ImageListRoot(props);
  ReadImageList(file.data(), file.size(), "mem", list);
  ASSERT_EQ(list.Count(), 3);
  EXPECT_FALSE(list.HasColorTable);
  EXPECT_EQ(list.Items[0].Name, "abc");
  EXPECT_EQ(list.Items[0].TransparentColor, 0xC0DCC0u);
  EXPECT_TRUE(list.Items[0].Picture.Empty());
  EXPECT_FALSE(list.Items[0].Transparent);
  EXPECT_TRUE(list.Items[0].SystemMemory);
  EXPECT_EQ(list.Items[1].PatternWidth, 300);
  EXPECT_EQ(list.Items[1].PatternHeight, -2);
  EXPECT_EQ(list.Items[1].SkipWidth, 4);
  EXPECT_EQ(list.Items[1].TransparentColor, 0xFFFFFFu);
  EXPECT_TRUE(list.Items[1].Transparent);
  EXPECT_EQ(list.Items[1].Picture.Pixels, MakePicture(3, 2, 5).Pixels);
  EXPECT_TRUE(list.Items[2].Picture.Empty());
}

TEST(ResFileReader, OptionalPrefixByte) {
  for (const bool withPosition : {false, true}) {
    Bytes obj;
    obj.U8(withPosition ? 0xF2 : 0xF1);
    if (withPosition) obj.U8(3).U16(1234);
    obj.Short("TWaveCollectionComponent").Short("").Short("List").U8(14).U8(1);
    obj.Bool("Looped", true).Int8("MaxPlayingCount", 2).Binary("Wave.WAVE", MakeRiffWave(1, 8000, 16, Pcm(8))).U8(0);
    obj.U8(0).U8(0).U8(0);
    const std::vector<uint8_t> file = WrapResource(obj.b);
    TWaveCollection list;
    ReadWaveList(file.data(), file.size(), "mem", list);
    ASSERT_EQ(list.Count(), 1);
    EXPECT_TRUE(list.Items[0].Looped);
    EXPECT_EQ(list.Items[0].Wave.Frames(), 4);
  }
}

TEST(ResFileReader, ColorNames) {
  const struct {
    const char* name;
    uint32_t value;
  } cases[] = {
      {"clBlack", 0x000000},    {"clMaroon", 0x000080}, {"clGreen", 0x008000},     {"clOlive", 0x008080},
      {"clNavy", 0x800000},     {"clPurple", 0x800080}, {"clTeal", 0x808000},      {"clGray", 0x808080},
      {"clSilver", 0xC0C0C0},   {"clRed", 0x0000FF},    {"clLime", 0x00FF00},      {"clYellow", 0x00FFFF},
      {"clBlue", 0xFF0000},     {"clFuchsia", 0xFF00FF}, {"clAqua", 0xFFFF00},     {"clWhite", 0xFFFFFF},
      {"clSkyBlue", 0xF0CAA6},  {"clCream", 0xF0FBFF},  {"clMedGray", 0xA4A0A0},   {"clNone", 0x1FFFFFFF},
      {"clDefault", 0x20000000}, {"clBtnFace", 0xFF00000F},
  };
  for (const auto& c : cases) {
    Bytes props;
    props.Short("List").U8(14).U8(1).Ident("TransparentColor", c.name).U8(0).U8(0);
    TPictureCollection list;
    const std::vector<uint8_t> file = ImageListRoot(props);
    ReadImageList(file.data(), file.size(), "mem", list);
    EXPECT_EQ(list.Items.at(0).TransparentColor, c.value) << c.name;
  }
}

TEST(ResFileReader, ErrorsNameTheFileAndTheProblem) {
  const std::vector<uint8_t> valid = WriteImageList(SampleImageList());
  const auto withByte = [&](size_t at, uint8_t v) {
    std::vector<uint8_t> f = valid;
    f[at] = v;
    return f;
  };
  const size_t signatureAt = static_cast<size_t>(
      std::search(valid.begin(), valid.end(), std::begin("TPF0"), std::begin("TPF0") + 4) - valid.begin());
  const auto item = [](const Bytes& itemProps) {
    Bytes props;
    props.Short("List").U8(14).U8(1).Raw(itemProps.b).U8(0).U8(0);
    return ImageListRoot(props);
  };
  const auto picture = [&](const std::vector<uint8_t>& dib) { return ImageListWithPictureData(DibPictureData(dib)); };
  std::vector<uint8_t> dib108 = SmallDib();
  dib108[0] = 108;
  std::vector<uint8_t> huge = SmallDib();
  huge[4] = 0x00, huge[5] = 0x50;  // 20480 wide
  std::vector<uint8_t> shortPixels = SmallDib();
  shortPixels.pop_back();
  const std::vector<uint8_t> shortHeader(shortPixels.begin(), shortPixels.begin() + 20);
  std::vector<uint8_t> badCompression = SmallDib();
  badCompression[16] = 1;  // run-length with 24 bits per pixel
  Bytes wrongClass, rootWithChild;
  wrongClass.Short("TWaveCollectionComponent").Short("").U8(0).U8(0);
  rootWithChild.Short("TPictureCollectionComponent").Short("").U8(0).Short("TChild").Short("").U8(0).U8(0).U8(0);

  const struct {
    const char* what;
    std::vector<uint8_t> file;
    const char* message;
  } cases[] = {
      {"empty file", {}, "Invalid stream format"},
      {"first byte", withByte(0, 0xFE), "Invalid stream format"},
      {"header value", withByte(1, 11), "Invalid stream format"},
      {"signature", withByte(signatureAt, 'X'), "Invalid stream format"},
      {"root class", WrapResource(wrongClass.b), "Invalid stream format"},
      {"child object", WrapResource(rootWithChild.b), "Invalid stream format"},
      {"boolean as integer", item(Bytes().Int8("Transparent", 1)), "Invalid property value"},
      {"integer as text", item(Bytes().Str("PatternWidth", "32")), "Invalid property value"},
      {"name as boolean", item(Bytes().Bool("Name", true)), "Invalid property value"},
      {"unknown colour", item(Bytes().Ident("TransparentColor", "clPlaid")), "Invalid property value"},
      {"colour as text", item(Bytes().Str("TransparentColor", "clRed")), "Invalid property value"},
      {"negative skip", item(Bytes().Int8("SkipWidth", -1)), "Invalid property value"},
      {"huge pattern", item(Bytes().Int32("PatternWidth", 1 << 20)), "Invalid property value"},
      {"picture as integer", item(Bytes().Int8("Picture.Data", 0)), "Invalid property value"},
      {"unknown tag", item(Bytes().Short("Other").U8(99)), "Invalid property value"},
      {"list not a collection", ImageListRoot(Bytes().Int8("List", 1)), "Invalid property value"},
      {"item without list tag", ImageListRoot(Bytes().Short("List").U8(14).U8(2).U8(0).U8(6)), "Invalid property value"},
      {"colour table size", ImageListRoot(Bytes().Binary("List.ColorTable", std::vector<uint8_t>(1000))),
       "Invalid property value"},
      {"picture class", ImageListWithPictureData(Bytes().Short("TBitmap").U32(0).b), "Invalid property value"},
      {"class name cut off", ImageListWithPictureData({9, 'T'}), "Invalid property value"},
      {"dib header size", picture(dib108), "DIB is invalid"},
      {"dib short header", picture(shortHeader), "DIB is invalid"},
      {"dib no header", picture({40, 0}), "DIB is invalid"},
      {"dib too large", picture(huge), "DIB is invalid"},
      {"dib pixels missing", picture(shortPixels), "DIB is invalid"},
      {"dib compression", picture(badCompression), "DIB is invalid"},
      {"long text past the end", item(Bytes().Short("Name").U8(12).U32(0xFFFFFFFF)), "Stream read error"},
      {"binary past the end", item(Bytes().Short("Picture.Data").U8(10).U32(0x7FFFFFFF)), "Stream read error"},
  };
  for (const auto& c : cases) {
    // Read as the tools read (keeping the decoded pictures) and as the game reads.
    for (const TPictureKeeping keeping : {TPictureKeeping::Source, TPictureKeeping::SurfaceOnly}) {
      const std::string message = ImageListError(c.file, keeping);
      EXPECT_EQ(message.rfind("Data/Res/Res1.dxg: ", 0), 0u) << c.what << ": " << message;
      EXPECT_NE(message.find(c.message), std::string::npos) << c.what << ": " << message;
    }
  }
}

TEST(ResFileReader, WaveErrors) {
  std::vector<uint8_t> riff = MakeRiffWave(1, 8000, 8, Pcm(10));
  std::vector<uint8_t> longChunk = riff;
  longChunk[40] = 0xFF;  // "data" chunk size beyond the image
  std::vector<uint8_t> noWave = riff;
  noWave[8] = 'X';
  for (const auto& wave : {longChunk, noWave, std::vector<uint8_t>(riff.begin(), riff.begin() + 30)}) {
    Bytes obj;
    obj.Short("TWaveCollectionComponent").Short("").Short("List").U8(14).U8(1).Binary("Wave.WAVE", wave);
    obj.U8(0).U8(0).U8(0).U8(0);
    const std::vector<uint8_t> file = WrapResource(obj.b);
    const std::string message = ErrorOf([&] {
      TWaveCollection list;
      ReadWaveList(file.data(), file.size(), "Data/Res/Sounds.dxw", list);
    });
    EXPECT_EQ(message.rfind("Data/Res/Sounds.dxw: Wave is invalid", 0), 0u) << message;
  }
}

TEST(ResFileReader, DeepNestingIsAnErrorNotAStackOverflow) {
  Bytes props;
  props.Short("Deep");
  for (int i = 0; i < 100000; i++) props.U8(1);
  EXPECT_NE(ImageListError(ImageListRoot(props)).find("Invalid stream format"), std::string::npos);
}

TEST(ResFileReader, EveryTruncationIsAnError) {
  const std::vector<uint8_t> images = WriteImageList(SampleImageList());
  for (size_t n = 0; n < images.size(); n++) {
    TPictureCollection list;
    list.Items.resize(2);
    EXPECT_THROW(ReadImageList(images.data(), n, "cut.dxg", list), EGameError) << n;
    EXPECT_THROW(ReadImageList(images.data(), n, "cut.dxg", list, TPictureKeeping::SurfaceOnly), EGameError) << n;
    EXPECT_EQ(list.Count(), 2) << "a failed read leaves the list alone";
  }
  const std::vector<uint8_t> waves = WriteWaveList(SampleWaveList());
  for (size_t n = 0; n < waves.size(); n++) {
    TWaveCollection list;
    EXPECT_THROW(ReadWaveList(waves.data(), n, "cut.dxw", list), EGameError) << n;
  }
}

TEST(ResFileFiles, WriteAtomicallyThenRead) {
  const std::filesystem::path dir = std::filesystem::temp_directory_path() / ("zk_resfile_" + std::to_string(getpid()));
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  const std::string path = (dir / "Res1.dxg").string();
  WriteFileAtomic(path, {1, 2, 3});
  WriteFileAtomic(path, WriteImageList(SampleImageList()));  // replaces
  TPictureCollection list;
  ReadImageListFile(path, list);
  EXPECT_EQ(list.Count(), 3);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), {}), 1) << "no temporary file left behind";

  const std::string missing = (dir / "Sounds.dxw").string();
  TWaveCollection waves;
  const std::string message = ErrorOf([&] { ReadWaveListFile(missing, waves); });
  EXPECT_EQ(message.rfind(missing + ": ", 0), 0u) << message;
  EXPECT_NE(ErrorOf([&] { WriteFileAtomic((dir / "no/such/folder").string(), {1}); }), "");
  EXPECT_NE(ErrorOf([&] { ReadWholeFile(dir.string()); }), "") << "a folder is not a file";
  std::filesystem::remove_all(dir);
}
