// Program entry of zubokranz.
#include <cstdio>

#include "app/app.h"
#include "save/save.h"

int main(int argc, char** argv) {
  if (Sys_AnswerHelpOrVersion(GameProgramInfo, argc, argv)) return 0;
  TCommandLine commandLine;
  std::string problem;
  if (!App_ParseCommandLine(argc, argv, commandLine, problem)) return Sys_UsageError(GameProgramInfo, problem);
  Sys_CatchQuitSignals();
  App_SetDisplayModeOverride(commandLine.DisplayMode);
  SetSaveFolder(commandLine.SaveDir);

  int status = 0;
  TGameRun game;
  try {
    SysConfig config;
    config.DataRoot = commandLine.DataDir;
    config.Renderer = commandLine.Renderer;
    config.FrameStats = commandLine.FrameStats;
    game.Start(config);
    while (App_RunOnce()) {
    }
  } catch (const std::exception& e) {
    Sys_ShowError(e.what());
    status = 1;
  }
  return status;
}
