// zkdata: generates the game's default data pack (see Usage below). Every run produces the same
// bytes. Errors: exit status 1 and one line on standard error; a wrong command line: status 2.
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <string>
#include <string_view>

#include "audio.h"
#include "canvas.h"
#include "icon.h"
#include "pack.h"

namespace {

const TProgramInfo Program{
    "zkdata",
    "usage: zkdata [--out GAMEDIR] [--sheet FILE.png] [--export FOLDER] [--icon FILE.png]\n"
    "Generates the game's default data pack.\n"
    "\n"
    "  --out GAMEDIR      writes GAMEDIR/Data/Res/Res1.dxg, Res2.dxg, Res3.dxg, Sounds.dxw,\n"
    "                     GAMEDIR/Data/Music/Menu.xm, Race.xm and the icon GAMEDIR/Data/zubokranz.png\n"
    "  --sheet FILE.png   writes a contact sheet of every picture and pattern\n"
    "  --export FOLDER    writes every picture as its own PNG\n"
    "  --icon FILE.png    writes the game's icon alone\n"
    "  --help, --version\n"
    "The options may be combined.\n"};

struct TOptions {
  std::string OutDir, SheetFile, ExportDir, IconFile;
};

struct TUsageError {
  std::string Problem;
};

TOptions ParseOptions(int argc, char** argv) {
  TOptions options;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    std::string* const target = arg == "--out"      ? &options.OutDir
                                : arg == "--sheet"  ? &options.SheetFile
                                : arg == "--export" ? &options.ExportDir
                                : arg == "--icon"   ? &options.IconFile
                                                    : nullptr;
    if (target == nullptr) throw TUsageError{"unknown option " + std::string(arg)};
    if (i + 1 >= argc) throw TUsageError{std::string(arg) + " needs a value"};
    *target = argv[++i];
  }
  if (options.OutDir.empty() && options.SheetFile.empty() && options.ExportDir.empty() && options.IconFile.empty())
    throw TUsageError{"nothing to do"};
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
  WriteIcon((gameDir / "Data" / "zubokranz.png").string());
}

}  // namespace

int main(int argc, char** argv) {
  if (Sys_AnswerHelpOrVersion(Program, argc, argv)) return 0;
  try {
    const TOptions options = ParseOptions(argc, argv);
    if (!options.IconFile.empty()) WriteIcon(options.IconFile);
    if (!options.OutDir.empty() || !options.SheetFile.empty() || !options.ExportDir.empty()) {
      const TImagePack pack = BuildImagePack();
      if (!options.OutDir.empty()) WriteGameData(pack, options.OutDir);
      if (!options.SheetFile.empty()) WriteContactSheet(pack, options.SheetFile);
      if (!options.ExportDir.empty()) ExportItems(pack, options.ExportDir);
    }
    art::CloseFonts();
    return 0;
  } catch (const TUsageError& e) {
    return Sys_UsageError(Program, e.Problem);
  } catch (const std::exception& e) {
    std::cerr << e.what() << "\n";
    art::CloseFonts();
    return 1;
  }
}
