// Backend selection, data paths and the OS services shared by both backends.
#include <sys/resource.h>
#include <sys/stat.h>

#include <cerrno>
#include <unistd.h>

#include <cstdio>
#include <memory>

#include "platform/sys_local.h"

namespace {

std::unique_ptr<SysBackendImpl> backend;
SysBackend backendKind = SysBackend::Headless;
std::string dataRoot;
int cursorCount = 0;  // as on Windows: the cursor shows while the count is >= 0

bool IsDirectory(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string ExecutableDir() {
  char buf[4096];
  const ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0) return ".";
  std::string path(buf, static_cast<size_t>(n));
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? "." : path.substr(0, slash);
}

std::string FindDataRoot() {
  if (IsDirectory("Data")) return ".";
  const std::string exeDir = ExecutableDir();
  if (IsDirectory(exeDir + "/Data")) return exeDir;
  return ".";
}

}  // namespace

SysBackendImpl& Sys_Impl() {
  if (!backend) backend.reset(Sys_CreateHeadlessBackend(60));
  return *backend;
}

void Sys_Init(const SysConfig& config) {
  backend.reset();
  backendKind = config.Backend;
  backend.reset(config.Backend == SysBackend::Sdl ? Sys_CreateSdlBackend(config)
                                                  : Sys_CreateHeadlessBackend(config.HeadlessRefreshRate));
  dataRoot = config.DataRoot.empty() ? FindDataRoot() : config.DataRoot;
  cursorCount = 0;
}

void Sys_Shutdown() { backend.reset(); }

SysBackend Sys_Backend() { return backendKind; }

std::string Sys_DataRoot() {
  if (dataRoot.empty()) dataRoot = FindDataRoot();
  return dataRoot;
}

std::string Sys_DataPath(std::string_view relative) {
  std::string path = Sys_DataRoot();
  if (!path.empty() && path.back() != '/') path += '/';
  for (const char c : relative) path += (c == '\\') ? '/' : c;
  return path;
}

bool Sys_PollEvent(SysEvent& ev) { return Sys_Impl().PollEvent(ev); }
void Sys_WaitEvent(int timeoutMs) { Sys_Impl().WaitEvent(timeoutMs); }
bool Sys_KeyHeld(int vk) { return Sys_Impl().KeyHeld(vk); }
uint32_t Sys_Milliseconds() { return Sys_Impl().Milliseconds(); }
int Sys_RefreshRate() { return Sys_Impl().RefreshRate(); }

int Sys_ShowCursor(bool show) {
  cursorCount += show ? 1 : -1;
  Sys_Impl().SetCursorVisible(cursorCount >= 0);
  return cursorCount;
}

bool Sys_CursorVisible() { return cursorCount >= 0; }

bool Sys_OpenURL(const std::string& address) { return Sys_Impl().OpenURL(address); }

void Sys_RaisePriority() {
  // Best effort: an unprivileged process may not raise its priority, which is no error.
  errno = 0;
  const int current = getpriority(PRIO_PROCESS, 0);
  if (errno == 0 && current > -5) (void)setpriority(PRIO_PROCESS, 0, -5);
}

void Sys_MinimizeWindow() { Sys_Impl().Minimize(); }

void Sys_ShowError(const std::string& message) {
  std::fprintf(stderr, "zubokranz: %s\n", message.c_str());
  Sys_Impl().ShowErrorBox(message);
}
