// zkdata: generates the game's default data pack.
//
//   zkdata --out GAMEDIR       writes GAMEDIR/Data/Res/Res1.dxg, Res2.dxg, Res3.dxg, Sounds.dxw
//                              and GAMEDIR/Data/Music/Menu.xm, Race.xm
//   zkdata --sheet FILE.png    writes a contact sheet of every picture and pattern
//   zkdata --export FOLDER     writes every picture as its own PNG
//
// The options may be combined. Every run produces the same bytes. Errors: exit status 1 and one
// line on standard error.
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <string>
#include <string_view>

#include "audio.h"
#include "canvas.h"
#include "pack.h"

namespace {

struct TOptions {
  std::string OutDir, SheetFile, ExportDir;
};

TOptions ParseOptions(int argc, char** argv) {
  TOptions options;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (i + 1 >= argc) throw EGameError("zkdata: " + std::string(arg) + " needs a value");
    const std::string value = argv[++i];
    if (arg == "--out") {
      options.OutDir = value;
    } else if (arg == "--sheet") {
      options.SheetFile = value;
    } else if (arg == "--export") {
      options.ExportDir = value;
    } else {
      throw EGameError("zkdata: unknown option " + std::string(arg));
    }
  }
  if (options.OutDir.empty() && options.SheetFile.empty() && options.ExportDir.empty())
    throw EGameError("usage: zkdata [--out GAMEDIR] [--sheet FILE.png] [--export FOLDER]");
  return options;
}

void WriteIfNotEmpty(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
  if (!bytes.empty()) WriteFileAtomic(path.string(), bytes);
}

void WriteGameData(const TImagePack& pack, const std::filesystem::path& gameDir) {
  const auto res = gameDir / "Data" / "Res";
  const auto music = gameDir / "Data" / "Music";
  std::filesystem::create_directories(res);
  std::filesystem::create_directories(music);
  const char* listFiles[3] = {"Res1.dxg", "Res2.dxg", "Res3.dxg"};
  for (int i = 0; i < 3; ++i) WriteFileAtomic((res / listFiles[i]).string(), WriteImageList(pack.Lists[i]));
  const TWaveCollection sounds = BuildSoundList();
  if (sounds.Count() > 0) WriteFileAtomic((res / "Sounds.dxw").string(), WriteWaveList(sounds));
  WriteIfNotEmpty(music / "Menu.xm", ComposeMenuTune());
  WriteIfNotEmpty(music / "Race.xm", ComposeRaceTune());
}

}  // namespace

int main(int argc, char** argv) {
  try {
    const TOptions options = ParseOptions(argc, argv);
    const TImagePack pack = BuildImagePack();
    if (!options.OutDir.empty()) WriteGameData(pack, options.OutDir);
    if (!options.SheetFile.empty()) WriteContactSheet(pack, options.SheetFile);
    if (!options.ExportDir.empty()) ExportItems(pack, options.ExportDir);
    art::CloseFonts();
    return 0;
  } catch (const std::exception& e) {
    std::cerr << e.what() << "\n";
    art::CloseFonts();
    return 1;
  }
}
