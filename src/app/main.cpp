// Program entry of zubokranz.
#include <cstdio>
#include <cstring>

#include "app/app.h"

int main(int argc, char** argv) {
  SysConfig config;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--renderer") == 0 && i + 1 < argc) {
      if (!ParseRendererChoice(argv[++i], config.Renderer)) {
        std::fprintf(stderr, "zubokranz: --renderer takes auto, gpu or software, not \"%s\"\n", argv[i]);
        return 2;
      }
    } else if (std::strcmp(argv[i], "--frame-stats") == 0) {
      config.FrameStats = true;
    }
  }
  int status = 0;
  TGameRun game;
  try {
    game.Start(config);
    while (App_RunOnce()) {
    }
  } catch (const std::exception& e) {
    Sys_ShowError(e.what());
    status = 1;
  }
  return status;
}
