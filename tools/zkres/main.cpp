// zkres: lists, extracts and packs the game's image lists (.dxg) and sound lists (.dxw); see its usage below.
//
// Every failure prints one line "zkres: <file>: <problem>" on standard error and exits with 1; a
// wrong command line prints the usage and exits with 2.
#include <SDL.h>
#include <SDL_image.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "json.h"
#include "platform/platform.h"

namespace {

namespace fs = std::filesystem;

constexpr int MaxPictureSide = 16384;
constexpr std::string_view WaveListClass = "TWaveCollectionComponent";
const TProgramInfo Program{
    "zkres",
    "usage: zkres list [--json] FILE | zkres extract FILE DIR | zkres pack DIR FILE\n"
    "Lists, extracts and packs the game's image lists (.dxg) and sound lists (.dxw).\n"
    "\n"
    "  list [--json] FILE   every item with its index, name and fields\n"
    "  extract FILE DIR     pictures as DIR/NNN.png, sounds as DIR/NNN.wav, DIR/manifest.json\n"
    "  pack DIR FILE        the reverse of extract\n"
    "  --help, --version\n"};

[[noreturn]] void Fail(const std::string& message) { throw EGameError(message); }

// A wrong command line.
struct TUsageError {
  std::string Problem;
};

struct SurfaceDeleter {
  void operator()(SDL_Surface* s) const { SDL_FreeSurface(s); }
};
using SurfacePtr = std::unique_ptr<SDL_Surface, SurfaceDeleter>;

// ---------------------------------------------------------------------------------------------
// Resource files of either kind
// ---------------------------------------------------------------------------------------------

struct ResourceFile {
  bool IsWaveList = false;
  TPictureCollection Images;
  TWaveCollection Waves;
};

// The root class name sits a few bytes after the resource header; a sound list names its class
// there, anything else is read as an image list (which reports what is wrong with it).
bool NamesWaveList(const std::vector<uint8_t>& bytes) {
  std::string needle(1, static_cast<char>(WaveListClass.size()));
  needle += WaveListClass;
  const std::string_view head(reinterpret_cast<const char*>(bytes.data()), std::min<size_t>(bytes.size(), 512));
  return head.find(needle) != std::string_view::npos;
}

ResourceFile LoadResourceFile(const std::string& path) {
  const std::vector<uint8_t> bytes = ReadWholeFile(path);
  ResourceFile file;
  file.IsWaveList = NamesWaveList(bytes);
  if (file.IsWaveList) {
    ReadWaveList(bytes.data(), bytes.size(), path, file.Waves);
  } else {
    ReadImageList(bytes.data(), bytes.size(), path, file.Images);
  }
  return file;
}

// ---------------------------------------------------------------------------------------------
// JSON fields of items
// ---------------------------------------------------------------------------------------------

class JsonFields {
public:
  JsonFields& Int(std::string_view key, int64_t v) { return Raw(key, std::to_string(v)); }
  JsonFields& Bool(std::string_view key, bool v) { return Raw(key, v ? "true" : "false"); }
  JsonFields& Str(std::string_view key, std::string_view v) { return Raw(key, JsonQuote(v)); }
  JsonFields& Raw(std::string_view key, std::string_view json) {
    if (!body_.empty()) body_ += ", ";
    body_ += JsonQuote(key) + ": " + std::string(json);
    return *this;
  }
  std::string Text() const { return "{" + body_ + "}"; }

private:
  std::string body_;
};

JsonFields PictureFields(int index, const TPictureCollectionItem& item) {
  JsonFields f;
  f.Int("index", index).Str("name", item.Name);
  f.Int("width", item.Picture.Width).Int("height", item.Picture.Height).Int("bitsPerPixel", item.Picture.BitsPerPixel);
  f.Int("patternWidth", item.PatternWidth).Int("patternHeight", item.PatternHeight);
  f.Int("skipWidth", item.SkipWidth).Int("skipHeight", item.SkipHeight).Int("patternCount", item.PatternCount());
  f.Bool("transparent", item.Transparent).Int("transparentColor", item.TransparentColor);
  f.Bool("systemMemory", item.SystemMemory);
  return f;
}

JsonFields WaveFields(int index, const TWaveCollectionItem& item) {
  JsonFields f;
  f.Int("index", index).Str("name", item.Name).Bool("looped", item.Looped).Int("maxPlayingCount", item.MaxPlayingCount);
  f.Int("channels", item.Wave.Channels).Int("rate", item.Wave.Rate).Int("bits", item.Wave.Bits);
  f.Int("frames", item.Wave.Frames());
  return f;
}

std::string JsonArray(const std::vector<std::string>& elements, std::string_view indent) {
  if (elements.empty()) return "[]";
  std::string out = "[\n";
  for (size_t i = 0; i < elements.size(); i++) {
    out += std::string(indent) + elements[i] + (i + 1 < elements.size() ? ",\n" : "\n");
  }
  return out + std::string(indent.substr(2)) + "]";
}

std::string ItemFileName(int index, const char* extension) {
  char name[32];
  std::snprintf(name, sizeof name, "%03d.%s", index, extension);
  return name;
}

// ---------------------------------------------------------------------------------------------
// PNG pictures
// ---------------------------------------------------------------------------------------------

void SavePng(const TPicture& picture, const std::string& path) {
  const SurfacePtr s(SDL_CreateRGBSurfaceWithFormat(0, picture.Width, picture.Height, 24, SDL_PIXELFORMAT_RGB24));
  if (!s) Fail(path + ": cannot make the picture (" + SDL_GetError() + ")");
  for (int y = 0; y < picture.Height; y++) {
    uint8_t* row = static_cast<uint8_t*>(s->pixels) + static_cast<size_t>(y) * s->pitch;
    const uint32_t* src = picture.Pixels.data() + static_cast<size_t>(y) * picture.Width;
    for (int x = 0; x < picture.Width; x++) {
      row[x * 3] = static_cast<uint8_t>(src[x] >> 16);
      row[x * 3 + 1] = static_cast<uint8_t>(src[x] >> 8);
      row[x * 3 + 2] = static_cast<uint8_t>(src[x]);
    }
  }
  if (IMG_SavePNG(s.get(), path.c_str()) != 0) Fail(path + ": cannot write the picture (" + IMG_GetError() + ")");
}

// A PNG's size from its header, checked before any decoder allocates the pixels.
void CheckPngSize(const std::string& path) {
  const std::vector<uint8_t> head = ReadWholeFile(path);
  static constexpr uint8_t Signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  if (head.size() < 24 || !std::equal(Signature, Signature + 8, head.begin())) return;  // not a PNG
  const auto be32 = [&](size_t at) {
    return (static_cast<uint32_t>(head[at]) << 24) | (head[at + 1] << 16) | (head[at + 2] << 8) | head[at + 3];
  };
  if (be32(16) > MaxPictureSide || be32(20) > MaxPictureSide) {
    Fail(path + ": picture larger than " + std::to_string(MaxPictureSide) + " pixels a side");
  }
}

TPicture LoadPicture(const std::string& path) {
  CheckPngSize(path);
  const SurfacePtr loaded(IMG_Load(path.c_str()));
  if (!loaded) Fail(path + ": cannot read the picture (" + IMG_GetError() + ")");
  if (loaded->w > MaxPictureSide || loaded->h > MaxPictureSide) {
    Fail(path + ": picture larger than " + std::to_string(MaxPictureSide) + " pixels a side");
  }
  const SurfacePtr rgb(SDL_ConvertSurfaceFormat(loaded.get(), SDL_PIXELFORMAT_RGB24, 0));
  if (!rgb) Fail(path + ": cannot convert the picture (" + SDL_GetError() + ")");
  TPicture picture;
  picture.Width = rgb->w;
  picture.Height = rgb->h;
  picture.BitsPerPixel = 24;
  picture.Pixels.reserve(static_cast<size_t>(rgb->w) * rgb->h);
  for (int y = 0; y < rgb->h; y++) {
    const uint8_t* row = static_cast<const uint8_t*>(rgb->pixels) + static_cast<size_t>(y) * rgb->pitch;
    for (int x = 0; x < rgb->w; x++) {
      picture.Pixels.push_back((static_cast<uint32_t>(row[x * 3]) << 16) | (row[x * 3 + 1] << 8) | row[x * 3 + 2]);
    }
  }
  return picture;
}

// ---------------------------------------------------------------------------------------------
// Commands
// ---------------------------------------------------------------------------------------------

void ListText(const std::string& path, const ResourceFile& file) {
  if (file.IsWaveList) {
    std::printf("%s: sound list, %d items\n", path.c_str(), file.Waves.Count());
    for (int i = 0; i < file.Waves.Count(); i++) {
      const TWaveCollectionItem& item = file.Waves.Items[i];
      std::printf("%3d %-20s %s, max playing %d, %d channels, %d Hz, %d bits, %d frames\n", i,
                  JsonQuote(item.Name).c_str(), item.Looped ? "looped" : "once", item.MaxPlayingCount,
                  item.Wave.Channels, item.Wave.Rate, item.Wave.Bits, item.Wave.Frames());
    }
    return;
  }
  std::printf("%s: image list, %d items\n", path.c_str(), file.Images.Count());
  for (int i = 0; i < file.Images.Count(); i++) {
    const TPictureCollectionItem& item = file.Images.Items[i];
    std::printf("%3d %-20s %dx%d %d bpp, pattern %dx%d, skip %dx%d, %d patterns, %s 0x%08X%s\n", i,
                JsonQuote(item.Name).c_str(), item.Picture.Width, item.Picture.Height, item.Picture.BitsPerPixel,
                item.PatternWidth, item.PatternHeight, item.SkipWidth, item.SkipHeight, item.PatternCount(),
                item.Transparent ? "transparent" : "opaque, key", item.TransparentColor,
                item.SystemMemory ? ", system memory" : "");
  }
}

void ListJson(const ResourceFile& file) {
  std::vector<std::string> items;
  for (int i = 0; i < file.Images.Count(); i++) items.push_back(PictureFields(i, file.Images.Items[i]).Text());
  for (int i = 0; i < file.Waves.Count(); i++) items.push_back(WaveFields(i, file.Waves.Items[i]).Text());
  std::printf("%s\n", JsonArray(items, "  ").c_str());
}

void WriteText(const std::string& path, const std::string& text) {
  WriteFileAtomic(path, std::vector<uint8_t>(text.begin(), text.end()));
}

void Extract(const std::string& path, const std::string& dir) {
  const ResourceFile file = LoadResourceFile(path);
  std::error_code ec;
  fs::create_directories(dir, ec);
  if (ec) Fail(dir + ": cannot make the folder (" + ec.message() + ")");
  std::vector<std::string> items;
  std::string manifest = "{\n  \"kind\": ";
  if (file.IsWaveList) {
    manifest += "\"wavelist\",\n";
    for (int i = 0; i < file.Waves.Count(); i++) {
      const TWaveCollectionItem& item = file.Waves.Items[i];
      JsonFields f = WaveFields(i, item);
      if (item.Wave.Empty()) {
        f.Raw("file", "null");
      } else {
        const std::string name = ItemFileName(i, "wav");
        WriteFileAtomic((fs::path(dir) / name).string(), item.Wave.Riff);
        f.Str("file", name);
      }
      items.push_back(f.Text());
    }
  } else {
    manifest += "\"imagelist\",\n  \"colorTable\": ";
    if (file.Images.HasColorTable) {
      std::string hex;
      for (const uint8_t b : file.Images.ColorTable) {
        char digits[3];
        std::snprintf(digits, sizeof digits, "%02x", b);
        hex += digits;
      }
      manifest += JsonQuote(hex) + ",\n";
    } else {
      manifest += "null,\n";
    }
    for (int i = 0; i < file.Images.Count(); i++) {
      const TPictureCollectionItem& item = file.Images.Items[i];
      JsonFields f = PictureFields(i, item);
      if (item.Picture.Empty()) {
        f.Raw("file", "null");
      } else {
        const std::string name = ItemFileName(i, "png");
        SavePng(item.Picture, (fs::path(dir) / name).string());
        f.Str("file", name);
      }
      items.push_back(f.Text());
    }
  }
  manifest += "  \"items\": " + JsonArray(items, "    ") + "\n}\n";
  WriteText((fs::path(dir) / "manifest.json").string(), manifest);
}

// Reads members of one manifest item, naming the manifest and the item in every error.
class ManifestItem {
public:
  ManifestItem(const JsonValue& value, const std::string& manifest, size_t index)
      : value_(value), where_(manifest + ": item " + std::to_string(index)) {
    if (value.Type != JsonValue::Kind::Object) Fail(where_ + " is not an object");
  }
  int64_t Int(std::string_view key, int64_t fallback, int64_t lowest, int64_t highest) const {
    const JsonValue* v = value_.Find(key);
    if (v == nullptr) return fallback;
    if (v->Type != JsonValue::Kind::Number || v->Number != std::floor(v->Number) || v->Number < lowest ||
        v->Number > highest) {
      Fail(where_ + ": \"" + std::string(key) + "\" must be a whole number from " + std::to_string(lowest) + " to " +
           std::to_string(highest));
    }
    return static_cast<int64_t>(v->Number);
  }
  bool Bool(std::string_view key, bool fallback) const {
    const JsonValue* v = value_.Find(key);
    if (v == nullptr) return fallback;
    if (v->Type != JsonValue::Kind::Bool) Fail(where_ + ": \"" + std::string(key) + "\" must be true or false");
    return v->Bool;
  }
  // A string member; "" when it is missing or null.
  std::string Str(std::string_view key) const {
    const JsonValue* v = value_.Find(key);
    if (v == nullptr || v->Type == JsonValue::Kind::Null) return "";
    if (v->Type != JsonValue::Kind::String) Fail(where_ + ": \"" + std::string(key) + "\" must be a string");
    return v->String;
  }

private:
  const JsonValue& value_;
  std::string where_;
};

TPictureCollectionItem PackPicture(const ManifestItem& m, const fs::path& dir) {
  TPictureCollectionItem item;
  item.Name = m.Str("name");
  item.PatternWidth = static_cast<int32_t>(m.Int("patternWidth", 0, INT32_MIN, MaxPictureSide));
  item.PatternHeight = static_cast<int32_t>(m.Int("patternHeight", 0, INT32_MIN, MaxPictureSide));
  item.SkipWidth = static_cast<int32_t>(m.Int("skipWidth", 0, 0, MaxPictureSide));
  item.SkipHeight = static_cast<int32_t>(m.Int("skipHeight", 0, 0, MaxPictureSide));
  item.Transparent = m.Bool("transparent", true);
  item.TransparentColor = static_cast<uint32_t>(m.Int("transparentColor", 0, INT32_MIN, UINT32_MAX));
  item.SystemMemory = m.Bool("systemMemory", false);
  const std::string file = m.Str("file");
  if (!file.empty()) item.Picture = LoadPicture((dir / file).string());
  return item;
}

TWaveCollectionItem PackWave(const ManifestItem& m, const fs::path& dir) {
  TWaveCollectionItem item;
  item.Name = m.Str("name");
  item.Looped = m.Bool("looped", false);
  item.MaxPlayingCount = static_cast<int32_t>(m.Int("maxPlayingCount", 0, INT32_MIN, INT32_MAX));
  const std::string file = m.Str("file");
  if (!file.empty()) {
    // Checked by reading it back as a one-item list, so that its problems name the .wav file.
    const std::string path = (dir / file).string();
    TWaveCollection one;
    one.Items.emplace_back().Wave.Riff = ReadWholeFile(path);
    const std::vector<uint8_t> bytes = WriteWaveList(one);
    ReadWaveList(bytes.data(), bytes.size(), path, one);
    item.Wave = std::move(one.Items[0].Wave);
  }
  return item;
}

void Pack(const std::string& dir, const std::string& path) {
  const std::string manifestPath = (fs::path(dir) / "manifest.json").string();
  const std::vector<uint8_t> text = ReadWholeFile(manifestPath);
  JsonValue manifest;
  try {
    manifest = ParseJson(std::string_view(reinterpret_cast<const char*>(text.data()), text.size()));
  } catch (const std::runtime_error& e) {
    Fail(manifestPath + ": " + e.what());
  }
  const JsonValue* kind = manifest.Find("kind");
  const JsonValue* items = manifest.Find("items");
  if (kind == nullptr || kind->Type != JsonValue::Kind::String || (kind->String != "imagelist" && kind->String != "wavelist")) {
    Fail(manifestPath + ": \"kind\" must be \"imagelist\" or \"wavelist\"");
  }
  if (items == nullptr || items->Type != JsonValue::Kind::Array) Fail(manifestPath + ": \"items\" must be an array");

  std::vector<uint8_t> bytes;
  if (kind->String == "wavelist") {
    TWaveCollection list;
    for (size_t i = 0; i < items->Array.size(); i++) list.Items.push_back(PackWave(ManifestItem(items->Array[i], manifestPath, i), dir));
    bytes = WriteWaveList(list);
  } else {
    TPictureCollection list;
    const JsonValue* table = manifest.Find("colorTable");
    if (table != nullptr && table->Type == JsonValue::Kind::String) {
      if (table->String.size() != list.ColorTable.size() * 2 ||
          table->String.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) {
        Fail(manifestPath + ": \"colorTable\" must be 2048 hexadecimal digits");
      }
      for (size_t i = 0; i < list.ColorTable.size(); i++) {
        list.ColorTable[i] = static_cast<uint8_t>(std::stoul(table->String.substr(i * 2, 2), nullptr, 16));
      }
      list.HasColorTable = true;
    }
    for (size_t i = 0; i < items->Array.size(); i++) list.Items.push_back(PackPicture(ManifestItem(items->Array[i], manifestPath, i), dir));
    bytes = WriteImageList(list);
  }
  WriteFileAtomic(path, bytes);
}

int Run(const std::vector<std::string>& args) {
  if (args.size() >= 2 && args[0] == "list") {
    const bool json = args[1] == "--json";
    if (args.size() != (json ? 3u : 2u)) throw TUsageError{"list takes one file"};
    const ResourceFile file = LoadResourceFile(args.back());
    if (json) {
      ListJson(file);
    } else {
      ListText(args.back(), file);
    }
    return 0;
  }
  if (args.size() == 3 && args[0] == "extract") {
    Extract(args[1], args[2]);
    return 0;
  }
  if (args.size() == 3 && args[0] == "pack") {
    Pack(args[1], args[2]);
    return 0;
  }
  throw TUsageError{args.empty() ? "no command given" : "unknown command line: " + args[0]};
}

}  // namespace

int main(int argc, char** argv) {
  if (Sys_AnswerHelpOrVersion(Program, argc, argv)) return 0;
  try {
    return Run(std::vector<std::string>(argv + 1, argv + argc));
  } catch (const TUsageError& e) {
    return Sys_UsageError(Program, e.Problem);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "zkres: %s\n", e.what());
    return 1;
  }
}
