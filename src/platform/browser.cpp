// What the game needs of the browser beyond SDL's own Emscripten support: the frame loop driven by
// the page's animation frames, the save files kept in IndexedDB, the page being hidden or closed,
// and the score server's HTTP requests made by the page itself.
#include <emscripten.h>

#include <cstdio>
#include <cstdlib>

#include "platform/sys_local.h"

namespace {

bool (*frameStep)() = nullptr;
uint32_t framesRun = 0;

void RunOneFrame() {
  const bool goOn = frameStep != nullptr && frameStep();
  if (++framesRun == 1) EM_ASM(Module.zkFirstFrameMs = performance.now(););
  if (goOn) return;
  emscripten_cancel_main_loop();
  // The game's exit has saved; leaving the page later must not write its state again over saves
  // that another tab or a later game has made since.
  Sys_SetDisplayLostHandler(nullptr);
  std::fflush(nullptr);
  EM_ASM(if (Module.zkGameEnded) Module.zkGameEnded(););
}

// Copies the in-memory save folder to IndexedDB; a failure is said on the console and changes
// nothing for the game (the files stay in memory until the page closes).
void SyncSavesToStorage() {
  EM_ASM({
    if (Module.zkSyncing) {
      Module.zkSyncAgain = true;
      return;
    }
    Module.zkSyncing = true;
    const done = function(err) {
      if (err) console.error('zubokranz: the saves could not be stored in the browser: ' + err);
      Module.zkSyncing = false;
      Module.zkSavesStored = (Module.zkSavesStored || 0) + 1;
      if (Module.zkSyncAgain) {
        Module.zkSyncAgain = false;
        Module.zkSyncing = true;
        FS.syncfs(false, done);
      }
    };
    FS.syncfs(false, done);
  });
}

}  // namespace

// Animation frames the game has run, for the page (and its tests) to watch.
extern "C" EMSCRIPTEN_KEEPALIVE uint32_t zk_frame_count() { return framesRun; }

// The page calls this when it is hidden or closed: the game's saves run (as for a lost display),
// and the game goes on should the player come back.
extern "C" EMSCRIPTEN_KEEPALIVE void zk_page_hidden() {
  if (TDisplayLostHandler save = Sys_DisplayLostHandler(); save != nullptr) save();
}

void Sys_RunFrameLoop(bool (*step)()) {
  frameStep = step;
  EM_ASM({
    const hidden = function() {
      if (document.visibilityState === 'hidden') Module._zk_page_hidden();
    };
    document.addEventListener('visibilitychange', hidden);
    window.addEventListener('pagehide', function() { Module._zk_page_hidden(); });
  });
  // 0 frames per second: one frame per animation frame of the browser, which is the display's
  // refresh; never returns.
  emscripten_set_main_loop(RunOneFrame, 0, 1);
}

void Sys_FilesSaved() { SyncSavesToStorage(); }

// clang-format off
// A synchronous request through XMLHttpRequest to the page's own server (a relative address
// stays on it). Headers the browser keeps for itself (User-Agent) are left to it. Returns the
// status (0 when no answer came) and the body in a buffer of malloc'd memory.
EM_JS(int, zk_http_get, (const char* url, const char* headers, char** body, char** error), {
  const xhr = new XMLHttpRequest();
  let status = 0;
  let text = "";
  let problem = "";
  try {
    xhr.open("GET", UTF8ToString(url), false);
    for (const line of UTF8ToString(headers).split("\n")) {
      const colon = line.indexOf(":");
      if (colon <= 0) continue;
      try { xhr.setRequestHeader(line.slice(0, colon).trim(), line.slice(colon + 1).trim()); } catch (e) {}
    }
    xhr.send();
    status = xhr.status;
    text = xhr.responseText || "";
    if (status === 0) problem = "no answer from the server";
  } catch (e) {
    problem = String(e.message || e);
  }
  const put = function(value, where) {
    const size = lengthBytesUTF8(value) + 1;
    const p = _malloc(size);
    stringToUTF8(value, p, size);
    HEAPU32[where >> 2] = p;
  };
  put(text.length > (1 << 20) ? "" : text, body);
  put(problem, error);
  return status;
});
// clang-format on

HttpGetResult Net_HttpGet(const HttpGetRequest& request) {
  std::string headers;
  for (const std::string& header : request.Headers) headers += header + "\n";
  char* body = nullptr;
  char* error = nullptr;
  HttpGetResult result;
  result.Status = zk_http_get(request.Url.c_str(), headers.c_str(), &body, &error);
  result.Ok = result.Status != 0;
  result.Body = body != nullptr ? body : "";
  result.Error = error != nullptr ? error : "";
  std::free(body);
  std::free(error);
  return result;
}
