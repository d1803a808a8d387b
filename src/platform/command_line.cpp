// What every program of the game answers on its command line: --help, --version, usage errors.
#include <cstdio>
#include <cstring>

#include "platform/platform.h"

const char* Sys_Version() { return ZK_VERSION; }

bool Sys_AnswerHelpOrVersion(const TProgramInfo& program, int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
      std::fputs(program.Usage, stdout);
      return true;
    }
    if (std::strcmp(argv[i], "--version") == 0) {
      std::printf("%s %s\n", program.Name, Sys_Version());
      return true;
    }
  }
  return false;
}

int Sys_UsageError(const TProgramInfo& program, const std::string& problem) {
  std::fprintf(stderr, "%s: %s\n%s", program.Name, problem.c_str(), program.Usage);
  return UsageExitStatus;
}
