// The game's command line.
#include <string_view>

#include "app/app.h"

const TProgramInfo GameProgramInfo{
    "zubokranz",
    "usage: zubokranz [OPTION]...\n"
    "Zubo Kranz, a motorbike racing game seen from above.\n"
    "\n"
    "  --fullscreen     start full screen (kept for the next start, like Alt+Enter)\n"
    "  --windowed       start in an 800x600 window (kept likewise)\n"
    "  --save-dir DIR   keep the settings and high scores in DIR\n"
    "  --data DIR       read the game's data from DIR/Data\n"
    "  --replay FILE    play back the game recorded in FILE (Esc ends it); the last\n"
    "                   game played is kept as last.zkreplay in the save folder\n"
    "  --renderer auto|gpu|software\n"
    "                   how frames reach the screen: auto uses the graphics driver\n"
    "                   unless it is a software rasteriser (default: auto)\n"
    "  --frame-stats    print the renderer and frame counts when the game ends\n"
    "  --help           show this help and end\n"
    "  --version        show the version and end\n"
    "\n"
    "Settings and high scores live in Data/Save beside the game when that folder is\n"
    "writable, else in $XDG_DATA_HOME/zubokranz (~/.local/share/zubokranz).\n"
    "SIGINT and SIGTERM end the game like its own Exit, saving first.\n"};

bool App_ParseCommandLine(int argc, char** argv, TCommandLine& out, std::string& problem) {
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--fullscreen") {
      out.DisplayMode = TDisplayModeOverride::FullScreen;
    } else if (arg == "--windowed") {
      out.DisplayMode = TDisplayModeOverride::Windowed;
    } else if (arg == "--save-dir" || arg == "--data" || arg == "--replay") {
      if (i + 1 >= argc || argv[i + 1][0] == '\0') {
        problem = std::string(arg) + (arg == "--replay" ? " needs a file" : " needs a folder");
        return false;
      }
      (arg == "--data" ? out.DataDir : arg == "--replay" ? out.ReplayFile : out.SaveDir) = argv[++i];
    } else if (arg == "--renderer") {
      if (i + 1 >= argc || !ParseRendererChoice(argv[i + 1], out.Renderer)) {
        problem = "--renderer takes auto, gpu or software";
        if (i + 1 < argc) problem += std::string(", not \"") + argv[i + 1] + "\"";
        return false;
      }
      ++i;
    } else if (arg == "--frame-stats") {
      out.FrameStats = true;
    } else {
      problem = (arg.rfind("-", 0) == 0 ? "unknown option " : "unexpected argument ") + std::string(arg);
      return false;
    }
  }
  return true;
}
