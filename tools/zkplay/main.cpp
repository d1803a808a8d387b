// zkplay: runs the real game headless from a script, with a simulated clock and a fixed seed.
//   zkplay [--data DIR] [--seed N] [--rate HZ] [--score-server URL] SCRIPT
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "app/app.h"
#include "online/online.h"
#include "script.h"

namespace {

int Usage(const char* message) {
  std::fprintf(stderr, "zkplay: %s\nusage: zkplay [--data DIR] [--seed N] [--rate HZ] [--score-server URL] SCRIPT\n",
               message);
  return kPlayScriptError;
}

bool ParseInt(const char* text, long long& out) {
  char* end = nullptr;
  out = std::strtoll(text, &end, 10);
  return end != text && *end == '\0';
}

std::string DefaultGameDir(const char* argv0) {
  // zkplay lives in <build>/bin; the game folder is <build>/game.
  std::string self = argv0;
  const size_t slash = self.rfind('/');
  const std::string binDir = slash == std::string::npos ? "." : self.substr(0, slash);
  return binDir + "/../game";
}

}  // namespace

int main(int argc, char** argv) {
  PlayOptions options;
  options.DataDir = DefaultGameDir(argv[0]);
  long long seed = 1;
  std::string scorServer, scriptPath;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool hasValue = i + 1 < argc;
    long long n = 0;
    if (arg == "--data" && hasValue) {
      options.DataDir = argv[++i];
    } else if (arg == "--seed" && hasValue) {
      if (!ParseInt(argv[++i], seed)) return Usage("--seed takes a whole number");
    } else if (arg == "--rate" && hasValue) {
      if (!ParseInt(argv[++i], n) || n < 1 || n > 1000) return Usage("--rate takes a refresh rate from 1 to 1000");
      options.RefreshRate = static_cast<int>(n);
    } else if (arg == "--score-server" && hasValue) {
      scorServer = argv[++i];
    } else if (!arg.empty() && arg[0] == '-') {
      return Usage(("unknown option " + arg).c_str());
    } else if (scriptPath.empty()) {
      scriptPath = arg;
    } else {
      return Usage("only one script");
    }
  }
  if (scriptPath.empty()) return Usage("no script given");
  std::ifstream script(scriptPath);
  if (!script) return Usage(("cannot read " + scriptPath).c_str());

  int status = kPlayOk;
  TGameRun game;
  try {
    SysConfig config;
    config.Backend = SysBackend::Headless;
    config.HeadlessRefreshRate = options.RefreshRate;
    config.DataRoot = options.DataDir;
    if (!scorServer.empty()) SetScoreServer(scorServer);
    game.Start(config, static_cast<uint64_t>(seed));
    status = RunScript(script, scriptPath, options);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "zkplay: %s\n", e.what());
    status = kPlayScriptError;
  }
  return status;
}
