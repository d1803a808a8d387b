// The pack as a whole: building the three lists, the contact sheet and the per-item export.
#include "pack.h"

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "canvas.h"
#include "style.h"

using namespace art;

TImagePack BuildImagePack() {
  TImagePack pack;
  pack.Lists[0] = BuildMenuImages();
  pack.Lists[1] = BuildRaceImages();
  pack.Lists[2] = BuildMinimapImages();
  return pack;
}

namespace {

constexpr int SheetWidth = 1640;
constexpr int Gap = 10;
constexpr int LabelHeight = 16;

Rgba Checker(float x, float y) {
  return ((static_cast<int>(x) / 8 + static_cast<int>(y) / 8) % 2) ? Hex(0x9A9AA8) : Hex(0x6E6E7C);
}

struct Cell {
  std::string Label;
  Canvas Picture;
};

// Every pattern of every item of one list, in index order.
std::vector<Cell> CellsOf(const TPictureCollection& list, int listNumber) {
  std::vector<Cell> cells;
  for (int index = 0; index < list.Count(); ++index) {
    const TPictureCollectionItem& item = list.Items[index];
    const Canvas whole = FromPicture(item.Picture, item.Transparent);
    const int count = item.PatternCount();
    for (int p = 0; p < count; ++p) {
      const TRect r = item.PatternRect(p);
      std::string label = std::to_string(listNumber) + ":" + std::to_string(index);
      if (count > 1) label += " p" + std::to_string(p);
      cells.push_back(Cell{label, whole.Cut(r.Left, r.Top, r.Width(), r.Height())});
    }
  }
  return cells;
}

struct Placed {
  int X, Y;
};

}  // namespace

void WriteContactSheet(const TImagePack& pack, const std::string& path) {
  TextStyle labelStyle;
  labelStyle.Size = 12;
  labelStyle.Fill = Solid(Hex(0xFFFFFF));
  TextStyle headerStyle;
  headerStyle.Size = 22;
  headerStyle.Fill = Solid(Hex(0xFFDE00));

  // First pass: positions; second pass: drawing.
  struct Entry {
    Cell C;
    Placed At;
  };
  std::vector<Entry> entries;
  std::vector<std::pair<std::string, int>> headers;
  int y = Gap;
  for (int l = 0; l < 3; ++l) {
    headers.emplace_back("Res" + std::to_string(l + 1) + ".dxg", y);
    y += 34;
    int x = Gap, rowHeight = 0;
    for (Cell& cell : CellsOf(pack.Lists[l], l + 1)) {
      const int w = std::max(cell.Picture.Width(), MeasureText(cell.Label, labelStyle).first);
      const int h = cell.Picture.Height() + LabelHeight;
      if (x + w > SheetWidth - Gap && x > Gap) {
        x = Gap;
        y += rowHeight + Gap;
        rowHeight = 0;
      }
      entries.push_back(Entry{std::move(cell), Placed{x, y}});
      x += w + Gap;
      rowHeight = std::max(rowHeight, h);
    }
    y += rowHeight + 2 * Gap;
  }

  Canvas sheet(SheetWidth, y, Hex(0x1C1C24));
  for (const auto& [text, top] : headers) DrawText(sheet, text, Gap, static_cast<float>(top + 4), Anchor::TopLeft, headerStyle);
  for (const Entry& e : entries) {
    const int w = e.C.Picture.Width(), h = e.C.Picture.Height();
    Canvas backing(w, h);
    backing.Generate(Checker);
    backing.Draw(e.C.Picture, 0, 0);
    sheet.Draw(backing, e.At.X, e.At.Y + LabelHeight);
    DrawText(sheet, e.C.Label, static_cast<float>(e.At.X), static_cast<float>(e.At.Y + 1), Anchor::TopLeft, labelStyle);
  }
  SavePng(ToOpaquePicture(sheet), path, false);
}

void ExportItems(const TImagePack& pack, const std::string& folder) {
  std::filesystem::create_directories(folder);
  for (int l = 0; l < 3; ++l)
    for (int index = 0; index < pack.Lists[l].Count(); ++index) {
      const TPictureCollectionItem& item = pack.Lists[l].Items[index];
      const std::string name = std::to_string(l + 1) + "_" + std::to_string(index) + ".png";
      SavePng(item.Picture, (std::filesystem::path(folder) / name).string(), item.Transparent);
    }
}
