// Finding out whether the graphics driver is a software rasteriser. Asking means creating an
// OpenGL context, which loads the driver (for Mesa's llvmpipe, LLVM: tens of megabytes and a
// tenth of a second). Without a GPU device node no hardware driver can exist, so nothing is
// asked; otherwise a child process asks, so that the game never carries that weight and the
// question is answered while the game loads its data.
#include <SDL.h>
#include <glob.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/sys_local.h"

namespace {

constexpr int ProbeTimeoutMs = 3000;
constexpr unsigned GlRenderer = 0x1F01;  // glGetString's name for the renderer string

// Runs in the child: the driver's renderer string, empty when there is no OpenGL at all.
std::string AskDriver() {
  if (SDL_Init(SDL_INIT_VIDEO) != 0) return {};
  SDL_Window* window = SDL_CreateWindow("", 0, 0, 1, 1, SDL_WINDOW_HIDDEN | SDL_WINDOW_OPENGL);
  if (window == nullptr || SDL_GL_CreateContext(window) == nullptr) return {};
  using GetString = const unsigned char* (*)(unsigned);
  const auto getString = reinterpret_cast<GetString>(SDL_GL_GetProcAddress("glGetString"));
  const unsigned char* name = getString != nullptr ? getString(GlRenderer) : nullptr;
  return name != nullptr ? std::string(reinterpret_cast<const char*>(name)) : std::string();
}

// Device nodes of GPU drivers: DRM render nodes (Mesa's hardware drivers, and most others) and
// the proprietary NVIDIA driver's own.
bool HaveGpuDevice() {
  for (const char* pattern : {"/dev/dri/renderD*", "/dev/nvidia[0-9]*"}) {
    glob_t found{};
    const bool any = glob(pattern, 0, nullptr, &found) == 0 && found.gl_pathc > 0;
    globfree(&found);
    if (any) return true;
  }
  return false;
}

}  // namespace

bool IsSoftwareRasteriser(std::string_view rendererName) {
  if (rendererName.empty()) return true;
  for (const std::string_view soft : {"llvmpipe", "softpipe", "swrast", "Software Rasterizer"}) {
    if (rendererName.find(soft) != std::string_view::npos) return true;
  }
  return false;
}

void TRendererProbe::Start() {
  if (!HaveGpuDevice()) return;  // Finish() answers "no driver"
  int fds[2];
  if (pipe(fds) != 0) return;
  const pid_t pid = fork();
  if (pid == 0) {
    close(fds[0]);
    const std::string name = AskDriver();
    const ssize_t written = write(fds[1], name.data(), name.size());
    (void)written;
    _exit(0);  // no exit handlers: they belong to the parent
  }
  close(fds[1]);
  if (pid < 0) {
    close(fds[0]);
    return;
  }
  pid_ = pid;
  fd_ = fds[0];
}

std::string TRendererProbe::Finish() {
  if (pid_ <= 0) return {};
  std::string name;
  char buf[256];
  pollfd p{fd_, POLLIN, 0};
  while (poll(&p, 1, ProbeTimeoutMs) > 0) {
    const ssize_t n = read(fd_, buf, sizeof buf);
    if (n <= 0) break;
    name.append(buf, static_cast<size_t>(n));
  }
  Stop();
  return name;
}

void TRendererProbe::Stop() {
  if (pid_ <= 0) return;
  close(fd_);
  kill(pid_, SIGKILL);  // harmless once it has ended; ends it when the driver hangs
  while (waitpid(pid_, nullptr, 0) < 0 && errno == EINTR) {
  }
  pid_ = -1;
  fd_ = -1;
}

TRendererProbe::~TRendererProbe() { Stop(); }
