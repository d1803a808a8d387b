// Backend selection, data paths and the OS services shared by both backends.
#include <sys/resource.h>
#include <sys/stat.h>

#include <cerrno>
#include <unistd.h>

#include <bitset>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <memory>

#include "platform/sys_local.h"

namespace {

std::unique_ptr<SysBackendImpl> backend;
SysBackend backendKind = SysBackend::Headless;
std::string configuredDataRoot;
std::vector<std::string> dataFolders;
int cursorCount = 0;  // as on Windows: the cursor shows while the count is >= 0
std::bitset<256> keyTaps;
volatile std::sig_atomic_t quitSignalled = 0;
TDisplayLostHandler displayLostHandler = nullptr;

constexpr const char* InstalledDataFolder = "/" ZK_DATA_FROM_BIN;  // <prefix>/share/zubokranz

bool IsDirectory(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool IsFile(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

std::string ExecutableDir() {
  char buf[4096];
  const ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0) return ".";
  std::string path(buf, static_cast<size_t>(n));
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? "." : path.substr(0, slash);
}

// A folder as the player would look for it: absolute, without "..".
std::string Readable(const std::string& folder) {
  std::error_code ec;
  const std::filesystem::path p = std::filesystem::weakly_canonical(folder, ec);
  return ec ? folder : p.string();
}

const std::vector<std::string>& Folders() {
  if (dataFolders.empty()) {
    if (!configuredDataRoot.empty()) {
      dataFolders = {configuredDataRoot};
    } else {
      const std::string exeDir = ExecutableDir();
      dataFolders = {Readable(exeDir), Readable(exeDir + InstalledDataFolder), Readable(".")};
    }
  }
  return dataFolders;
}

std::string Join(const std::string& folder, std::string_view relative) {
  std::string path = folder;
  if (!path.empty() && path.back() != '/') path += '/';
  for (const char c : relative) path += (c == '\\') ? '/' : c;
  return path;
}

void OnQuitSignal(int) { quitSignalled = 1; }

// Said when a file is missing from a --data folder that is itself a Data folder (it holds
// Res/Res1.dxg): the option wants the folder above it.
std::string DataFolderHint(std::string_view relative) {
  if (configuredDataRoot.empty() || relative.substr(0, 5) != "Data/") return "";
  const std::string root = Readable(configuredDataRoot);
  if (!IsFile(Join(root, relative.substr(5)))) return "";
  const size_t slash = root.rfind('/');
  const std::string parent = slash == 0 ? "/" : root.substr(0, slash);
  return " (" + root + " is a Data folder itself: give the folder that holds it, --data " + parent + ")";
}

}  // namespace

void Sys_NoteKeyDown(int vk) {
  if (vk >= 0 && vk < static_cast<int>(keyTaps.size())) keyTaps.set(static_cast<size_t>(vk));
}

SysBackendImpl& Sys_Impl() {
  if (!backend) backend.reset(Sys_CreateHeadlessBackend(60));
  return *backend;
}

void Sys_Init(const SysConfig& config) {
  backend.reset();
  backendKind = config.Backend;
  configuredDataRoot = config.DataRoot;
  dataFolders.clear();
  keyTaps.reset();
  cursorCount = 0;
  backend.reset(config.Backend == SysBackend::Sdl ? Sys_CreateSdlBackend(config)
                                                  : Sys_CreateHeadlessBackend(config.HeadlessRefreshRate));
}

void Sys_Shutdown() { backend.reset(); }

SysBackend Sys_Backend() { return backendKind; }

std::vector<std::string> Sys_DataFolders() { return Folders(); }

std::string Sys_DataRoot() {
  for (const std::string& folder : Folders())
    if (IsDirectory(folder + "/Data")) return folder;
  return Folders().front();
}

bool Sys_DataRootInstalled() {
  return configuredDataRoot.empty() && Sys_DataRoot() == Readable(ExecutableDir() + InstalledDataFolder);
}

std::string Sys_DataPath(std::string_view relative) {
  for (const std::string& folder : Folders())
    if (IsFile(Join(folder, relative))) return Join(folder, relative);
  return Join(Sys_DataRoot(), relative);
}

std::string Sys_RequireDataFile(std::string_view relative) {
  const std::string path = Sys_DataPath(relative);
  if (IsFile(path)) return path;
  std::string tried;
  for (const std::string& folder : Folders()) tried += (tried.empty() ? "" : ", ") + folder;
  throw EGameError(Join("", relative) + ": not found in " + tried + DataFolderHint(Join("", relative)));
}

void Sys_CatchQuitSignals() {
  struct sigaction action {};
  action.sa_handler = OnQuitSignal;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
  // A write to a display server or peer that has gone must fail, not end the game unsaved.
  std::signal(SIGPIPE, SIG_IGN);
}

void Sys_SetDisplayLostHandler(TDisplayLostHandler handler) { displayLostHandler = handler; }

void Sys_EndForLostDisplay(const char* display) {
  static bool ending = false;  // the handler itself may meet the broken connection again
  if (!ending) {
    ending = true;
    if (displayLostHandler != nullptr) displayLostHandler();
  }
  std::fprintf(stderr, "zubokranz: lost the display %s: its server closed the connection\n",
               display != nullptr && *display != '\0' ? display : "(unnamed)");
  std::fflush(nullptr);
  _exit(1);
}

bool Sys_QuitRequested() { return quitSignalled != 0; }

bool Sys_TakeKeyTap(int vk) {
  if (vk < 0 || vk >= static_cast<int>(keyTaps.size()) || !keyTaps.test(static_cast<size_t>(vk))) return false;
  keyTaps.reset(static_cast<size_t>(vk));
  return true;
}

void Sys_ClearKeyTaps() { keyTaps.reset(); }

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

void Sys_SetWindowIcon(const std::string& pngPath) { Sys_Impl().SetWindowIcon(pngPath); }
void Sys_ShowMessageBox(const std::string& message) { Sys_Impl().ShowErrorBox(message); }
