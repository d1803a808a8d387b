// Program entry of zubokranz.
#include <cstdio>
#include <optional>

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

  // A replay that cannot be played is refused before any window opens.
  std::optional<TReplay> replay;
  try {
    if (!commandLine.ReplayFile.empty()) replay = ReadReplayFile(commandLine.ReplayFile);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "zubokranz: %s\n", e.what());
    return 1;
  }

  int status = 0;
  TGameRun game;
  try {
    SysConfig config;
    config.DataRoot = commandLine.DataDir;
    config.Renderer = commandLine.Renderer;
    config.FrameStats = commandLine.FrameStats;
    // A replay's run leaves the save folder as it is from the start: not even a damaged file is
    // moved aside.
    game.Start(config, std::nullopt, [&] {
      if (replay) SetSaveWritesAllowed(false);
    });
    if (replay) App_StartReplay(std::move(*replay));
    while (App_RunOnce() && !PlaybackEnded()) {
    }
    if (const std::string mismatch = ReplayPlaybackProblem(); replay && !mismatch.empty()) {
      std::fprintf(stderr, "zubokranz: %s: %s\n", commandLine.ReplayFile.c_str(), mismatch.c_str());
    }
  } catch (const std::exception& e) {
    Sys_ShowError(e.what());
    status = 1;
  }
  return status;
}
