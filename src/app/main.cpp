// Program entry of zubokranz.
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
  try {
    SysConfig config;
    config.DataRoot = commandLine.DataDir;
    Sys_Init(config);
    Snd_Init();
    TMForm form;
    MForm = &form;
    form.FormCreate();
    while (App_RunOnce()) {
    }
    MForm = nullptr;
  } catch (const std::exception& e) {
    MForm = nullptr;
    Sys_ShowError(e.what());
    status = 1;
  }
  Snd_Shutdown();
  Sys_Shutdown();
  return status;
}
