// Program entry of zubokranz.
#include "app/app.h"

int main() {
  int status = 0;
  TGameRun game;
  try {
    game.Start(SysConfig{});
    while (App_RunOnce()) {
    }
  } catch (const std::exception& e) {
    Sys_ShowError(e.what());
    status = 1;
  }
  return status;
}
