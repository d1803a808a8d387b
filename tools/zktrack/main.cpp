// zktrack: generates a level's track as the game does and draws it to a PNG or writes it as text
// (see Usage below).
//
// --png draws the track as the race road does, with the road tile set of the data pack (item 1 of
// Data/Res/Res2.dxg under --data, the game folder by default: each cell's variant in the level's
// look), or with a flat colour per tile code
// when the pack is not there or with --plain. The picture shows the columns and rows the road uses
// (--full: the whole map) at --scale pixels per cell; a green line marks the start row and a red
// line the finish row. --dump writes one line per row 1..1500: "row shape centerx: c1 c2 ... c650".
// Errors: exit status 1 and one line on standard error; a wrong command line: the usage, status 2.
#include <SDL.h>
#include <SDL_image.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "race/race.h"

namespace {

const TProgramInfo Program{
    "zktrack",
    "usage: zktrack [--level L] [--seed S] [--png FILE] [--dump FILE] [--data DIR] [--plain] [--scale N] [--full]\n"
    "Generates a level's track as the game does.\n"
    "\n"
    "  --level L     level 1 to 10 (1)\n"
    "  --seed S      random seed (1)\n"
    "  --png FILE    draws the road (--full: the whole map) with the data pack's tiles\n"
    "  --dump FILE   writes one line per row: \"row shape centerx: c1 c2 ... c650\"\n"
    "  --data DIR    the game folder holding Data/ (the build's own by default)\n"
    "  --plain       flat colours instead of the tile set\n"
    "  --scale N     pixels per cell (4 for the whole map, 8 for the road)\n"
    "  --help, --version\n"};

class ToolError : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};
// A wrong command line.
class UsageError : public ToolError {
public:
  using ToolError::ToolError;
};

struct TOptions {
  int Level = 1;
  uint64_t Seed = 1;
  std::string PngFile, DumpFile;
  std::string DataDir = ZK_GAME_DIR;
  bool Plain = false;
  bool Full = false;
  int Scale = 0;  // 0: 4 for the whole map, 8 for the road
};

constexpr int MaxScale = CellSize;
constexpr int64_t MaxImagePixels = 64 * 1024 * 1024;

template <typename T>
T ParseNumber(std::string_view option, std::string_view text, T low, T high) {
  T value{};
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || value < low || value > high) {
    throw UsageError(std::string(option) + " must be a number from " + std::to_string(low) + " to " +
                    std::to_string(high) + ", not \"" + std::string(text) + "\"");
  }
  return value;
}

TOptions ParseOptions(int argc, char** argv) {
  TOptions options;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    const auto value = [&]() -> std::string_view {
      if (i + 1 >= argc) throw UsageError(std::string(arg) + " needs a value");
      return argv[++i];
    };
    if (arg == "--level") {
      options.Level = ParseNumber<int>(arg, value(), 1, LevelCount);
    } else if (arg == "--seed") {
      options.Seed = ParseNumber<uint64_t>(arg, value(), 0, UINT64_MAX);
    } else if (arg == "--png") {
      options.PngFile = value();
    } else if (arg == "--dump") {
      options.DumpFile = value();
    } else if (arg == "--data") {
      options.DataDir = value();
    } else if (arg == "--scale") {
      options.Scale = ParseNumber<int>(arg, value(), 1, MaxScale);
    } else if (arg == "--plain") {
      options.Plain = true;
    } else if (arg == "--full") {
      options.Full = true;
    } else {
      throw UsageError("unknown option \"" + std::string(arg) + "\"");
    }
  }
  if (options.PngFile.empty() && options.DumpFile.empty()) throw UsageError("nothing to do: give --png FILE or --dump FILE");
  return options;
}

// ---------------------------------------------------------------------------------------------
// Text dump
// ---------------------------------------------------------------------------------------------

void WriteDump(const TRace& race, const std::string& path) {
  std::string text;
  text.reserve(static_cast<size_t>(TrackRows) * (TrackColumns * 3 + 24));
  for (int r = 1; r <= TrackRows; ++r) {
    text += std::to_string(r) + ' ' + std::to_string(race.RowShape[r]) + ' ' + std::to_string(race.RoadCenterX[r]) + ':';
    for (int c = 1; c <= TrackColumns; ++c) {
      text += ' ';
      text += std::to_string(race.TrackMap[r][c]);
    }
    text += '\n';
  }
  std::ofstream out(path, std::ios::binary);
  if (!out || !out.write(text.data(), static_cast<std::streamsize>(text.size())) || !out.flush()) {
    throw ToolError("cannot write " + path);
  }
}

// ---------------------------------------------------------------------------------------------
// Picture
// ---------------------------------------------------------------------------------------------

// Flat colours, 0x00RRGGBB: the parts of the road by kind, so that the drawing reads at any scale.
constexpr uint32_t Grass = 0x3A7D2C, Verge = 0x8B6B3E, RareVerge = 0x6E5230, OuterLane = 0x505050,
                   InnerLane = 0x6A6A6A, Shoulder = 0xB4B4A4, Line = 0xF0F0F0, Missing = 0xFF00FF;

uint32_t FlatColour(int code) {
  // The six parts of a shifted road, left to right.
  constexpr std::array<uint32_t, 6> shiftedParts{Verge, Shoulder, OuterLane, OuterLane, Shoulder, Verge};
  if (code == 0) return Grass;
  if (code == 1 || code == 13) return Verge;
  if ((code >= 2 && code <= 9) || (code >= 14 && code <= 21)) return RareVerge;
  if (code == 10 || code == 12) return OuterLane;
  if (code == 11) return InnerLane;
  if (code == 22 || code == 23) return Shoulder;
  if (code == 24) return Line;
  if (code >= 25 && code <= 48) return shiftedParts[(code - 25) % 6];
  if (code >= 49 && code <= 51) return 0x4E9A3A + 0x080808 * (code - 49);  // decoration
  if (code >= 52 && code <= 54) return 0xC07030;                          // object A
  if (code >= 55 && code <= 59) return 0xD8C050;                          // fence
  if (code >= 60 && code <= 64) return 0x8050A0;                          // object B
  if (code >= 65 && code <= 73) return 0x4070C0;                          // 3 x 3 object
  return Missing;
}

// One scale x scale picture per pattern: flat colours per tile code, or the patterns of a tile set.
class TTilePictures {
public:
  explicit TTilePictures(int scale) : scale_(scale), pixels_(256 * scale * scale) {
    for (int code = 0; code < 256; ++code) FillFlat(code, FlatColour(code));
    // The line checkered so that it stands out from the lanes at any scale.
    const int square = std::max(1, scale_ / 4);
    for (int y = 0; y < scale_; ++y) {
      for (int x = 0; x < scale_; ++x) At(tileStartFinish, x, y) = ((x / square + y / square) % 2) ? 0x202020 : Line;
    }
  }

  // Takes every pattern of the item, averaged down to the scale; the road then draws each cell
  // as the game does, with the variant of its position in the level's look.
  void TakePatterns(const TPictureCollectionItem& item, int level) {
    const uint32_t key = ColorRefToRGB888(item.TransparentColor);
    patterns_ = item.PatternCount();
    lookOffset_ = RoadLookOf(level) * RoadLookPatterns;
    pixels_.resize(static_cast<size_t>(std::max(256, patterns_)) * scale_ * scale_);
    for (int code = 0; code < patterns_; ++code) {
      const TRect src = item.PatternRect(code);
      for (int y = 0; y < scale_; ++y) {
        for (int x = 0; x < scale_; ++x) {
          const int x0 = src.Left + x * src.Width() / scale_, x1 = src.Left + std::max((x + 1) * src.Width() / scale_, x * src.Width() / scale_ + 1);
          const int y0 = src.Top + y * src.Height() / scale_, y1 = src.Top + std::max((y + 1) * src.Height() / scale_, y * src.Height() / scale_ + 1);
          At(code, x, y) = Average(item, x0, y0, x1, y1, key);
        }
      }
    }
  }

  const uint32_t* Row(int pattern, int y) const { return &pixels_[(static_cast<size_t>(pattern) * scale_ + y) * scale_]; }

  // The pattern that shows a track cell.
  int PatternAt(const TRace& race, int row, int column) const {
    const int code = race.TrackMap[row][column];
    if (patterns_ == 0) return code;
    const int variant = RoadTilePattern(race, row, column);
    if (variant + lookOffset_ < patterns_) return variant + lookOffset_;
    return variant < patterns_ ? variant : code;
  }

private:
  uint32_t& At(int code, int x, int y) { return pixels_[(static_cast<size_t>(code) * scale_ + y) * scale_ + x]; }
  void FillFlat(int code, uint32_t colour) { std::fill_n(&At(code, 0, 0), scale_ * scale_, colour); }

  // The mean colour of a block; keyed pixels count as the black the game shows through them.
  static uint32_t Average(const TPictureCollectionItem& item, int x0, int y0, int x1, int y1, uint32_t key) {
    uint64_t r = 0, g = 0, b = 0, n = 0;
    for (int y = y0; y < y1; ++y) {
      for (int x = x0; x < x1; ++x) {
        uint32_t p = item.Picture.Pixels[static_cast<size_t>(y) * item.Picture.Width + x];
        if (item.Transparent && p == key) p = 0;
        r += (p >> 16) & 0xFF;
        g += (p >> 8) & 0xFF;
        b += p & 0xFF;
        ++n;
      }
    }
    if (n == 0) return 0;
    return static_cast<uint32_t>(((r / n) << 16) | ((g / n) << 8) | (b / n));
  }

  int scale_;
  std::vector<uint32_t> pixels_;
  int patterns_ = 0;  // of the tile set; 0 with flat colours
  int lookOffset_ = 0;
};

// Where the tile set comes from, or nothing for flat colours.
std::optional<TPictureCollection> LoadRoadTiles(const TOptions& options) {
  if (options.Plain) return std::nullopt;
  const std::string path = (std::filesystem::path(options.DataDir) / "Data" / "Res" / "Res2.dxg").string();
  if (!std::filesystem::exists(path)) {
    std::cerr << "zktrack: no " << path << ", drawing flat colours\n";
    return std::nullopt;
  }
  TPictureCollection list;
  ReadImageListFile(path, list);  // EGameError names the file
  if (list.Count() < 2) throw ToolError(path + ": no road tile set (item 1)");
  return list;
}

struct TArea {
  int FirstRow, LastRow, FirstColumn, LastColumn;
};

// The road's rows and columns with a margin of ground, or the whole map.
TArea AreaToDraw(const TRace& race, bool full) {
  if (full) return TArea{1, TrackRows, 1, TrackColumns};
  constexpr int margin = 6;
  const int top = TrackRows - race.TrackLength;
  int left = TrackColumns, right = 1;
  for (int r = top; r < TrackRows; ++r) {
    for (int c = 1; c <= TrackColumns; ++c) {
      if (race.TrackMap[r][c] >= 1 && race.TrackMap[r][c] <= 48) {
        left = std::min(left, c);
        right = std::max(right, c);
      }
    }
  }
  return TArea{std::max(1, top - margin), TrackRows, std::max(1, left - margin), std::min(TrackColumns, right + margin)};
}

void WritePng(const TRace& race, const TOptions& options) {
  const TArea area = AreaToDraw(race, options.Full);
  const int scale = options.Scale > 0 ? options.Scale : (options.Full ? 4 : 8);
  const int64_t width = int64_t{area.LastColumn - area.FirstColumn + 1} * scale;
  const int64_t height = int64_t{area.LastRow - area.FirstRow + 1} * scale;
  if (width * height > MaxImagePixels) {
    throw ToolError("a picture of " + std::to_string(width) + " x " + std::to_string(height) +
                    " pixels is too large; give a smaller --scale");
  }

  TTilePictures tiles(scale);
  if (const std::optional<TPictureCollection> tileSet = LoadRoadTiles(options)) tiles.TakePatterns(tileSet->Items[1], options.Level);

  SDL_Surface* const surface = SDL_CreateRGBSurfaceWithFormat(0, static_cast<int>(width), static_cast<int>(height), 32, SDL_PIXELFORMAT_RGB888);
  if (surface == nullptr) throw ToolError(std::string("cannot make the picture: ") + SDL_GetError());
  const auto row = [surface](int y) { return reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(surface->pixels) + static_cast<size_t>(y) * surface->pitch); };

  for (int r = area.FirstRow; r <= area.LastRow; ++r) {
    for (int y = 0; y < scale; ++y) {
      uint32_t* out = row((r - area.FirstRow) * scale + y);
      for (int c = area.FirstColumn; c <= area.LastColumn; ++c, out += scale) std::copy_n(tiles.Row(tiles.PatternAt(race, r, c), y), scale, out);
    }
  }
  // The start and finish rows: a line through the ground on both sides of the road.
  const auto markRow = [&](int r, uint32_t colour) {
    if (r < area.FirstRow || r > area.LastRow) return;
    const int thickness = std::max(3, scale / 2);
    for (int y = 0; y < thickness; ++y) {
      uint32_t* out = row((r - area.FirstRow) * scale + (scale - thickness) / 2 + y);
      for (int c = area.FirstColumn; c <= area.LastColumn; ++c) {
        if (race.TrackMap[r][c] >= 1 && race.TrackMap[r][c] <= 48) continue;
        std::fill_n(out + (c - area.FirstColumn) * scale, scale, colour);
      }
    }
  };
  markRow(StartLineRow, 0x00FF40);
  markRow(FinishRowOf(race.TrackLength), 0xFF0000);

  const int saved = IMG_SavePNG(surface, options.PngFile.c_str());
  SDL_FreeSurface(surface);
  if (saved != 0) throw ToolError("cannot write " + options.PngFile + ": " + IMG_GetError());
}

}  // namespace

int main(int argc, char** argv) {
  if (Sys_AnswerHelpOrVersion(Program, argc, argv)) return 0;
  try {
    const TOptions options = ParseOptions(argc, argv);
    RandSeed(options.Seed);
    const auto race = std::make_unique<TRace>();
    race->SetUpLevel(options.Level);
    if (!options.DumpFile.empty()) WriteDump(*race, options.DumpFile);
    if (!options.PngFile.empty()) WritePng(*race, options);
    return 0;
  } catch (const UsageError& e) {
    return Sys_UsageError(Program, e.what());
  } catch (const std::exception& e) {
    std::cerr << "zktrack: " << e.what() << '\n';
    return 1;
  }
}
