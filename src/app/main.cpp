// Program entry of zubokranz.
#include "app/app.h"

int main() {
  int status = 0;
  try {
    Sys_Init(SysConfig{});
    Snd_Init();
    TMForm form;
    MForm = &form;
    form.FormCreate();
    while (App_RunOnce()) {
    }
    MForm = nullptr;
  } catch (const std::exception& e) {
    Sys_ShowError(e.what());
    status = 1;
  }
  Snd_Shutdown();
  Sys_Shutdown();
  return status;
}
