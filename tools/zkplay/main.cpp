// zkplay: runs the real game headless from a script, with a simulated clock and a fixed seed
// (see the usage below).
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <string>

#include "app/app.h"
#include "autoplay.h"
#include "online/online.h"
#include "save/save.h"
#include "script.h"
#include "storm.h"

namespace {

const TProgramInfo Program{
    "zkplay",
    "usage: zkplay [--data DIR] [--save-dir DIR] [--seed N] [--rate HZ] [--score-server URL] SCRIPT\n"
    "       zkplay [--data DIR] [--seed N] [--rate HZ] --storm EVENTS\n"
    "       zkplay [--data DIR] [--save-dir DIR] [--seed N] [--rate HZ] [--score-server URL] --autopilot\n"
    "              [--pad] [--rider expert|human] [--soak SECONDS]\n"
    "       zkplay [--data DIR] [--save-dir DIR] --replay FILE\n"
    "Runs the real game headless from a script, with a simulated clock and a fixed seed.\n"
    "SCRIPT - reads the commands from standard input and runs each line as it arrives.\n"
    "\n"
    "  --data DIR            the game folder holding Data/ (the build's own by default)\n"
    "  --save-dir DIR        the folder the game reads and writes its saves in (the game's own\n"
    "                        choice by default; a storm always plays in a fresh one)\n"
    "  --seed N              random seed (1)\n"
    "  --rate HZ             refresh rate of the simulated display, 1 to 1000 (60)\n"
    "  --score-server URL    where scores are sent\n"
    "  --storm EVENTS        sends EVENTS random events of every kind and checks the game's\n"
    "                        state after each one (status 1 on an invalid state)\n"
    "  --autopilot           plays a whole game from the main menu, the races ridden by the\n"
    "                        autopilot and the popups answered at once (the name \"Autopilot\",\n"
    "                        \"No\" to sending the score unless --score-server is given); ends at\n"
    "                        the high-score table (or the main menu when the score misses the\n"
    "                        table) and prints the final state line; status 1 when the game stops\n"
    "                        making progress\n"
    "  --pad                 with --autopilot: everything through a virtual game controller,\n"
    "                        the autopilot's race keys included (the name \"AUTOPILOT\" taken\n"
    "                        from the letter picker)\n"
    "  --rider expert|human  with --autopilot: who rides, the expert (the default), who sees the\n"
    "                        whole race at once, or the human rider, who sees only the screen a\n"
    "                        quarter of a second late and holds its keys for at least four frames\n"
    "  --soak SECONDS        with --autopilot: plays games back to back for SECONDS of simulated\n"
    "                        time and prints the resident memory after the first game, at the\n"
    "                        end and at its peak\n"
    "  --replay FILE         plays the recorded game in FILE (a .zkreplay) headless and prints\n"
    "                        its final state line (status 1 when the file is refused or the\n"
    "                        game did not end as recorded)\n"
    "  --help, --version\n"
    "\n"
    "Script commands, one a line, # starts a comment:\n"
    "  wait N                run N frames\n"
    "  key KEY               press KEY, run one frame, release it\n"
    "  down KEY | up KEY     press or release KEY alone (no frame)\n"
    "                        KEY: a letter or digit, f1..f12, up, down, left, right, return, enter,\n"
    "                        escape, esc, space, backspace, tab, pause, shift, ctrl, alt, with any\n"
    "                        of the prefixes alt+, ctrl+, shift+\n"
    "  pad connect|disconnect  attaches one more virtual game controller, or pulls out the\n"
    "                        newest (one frame)\n"
    "  pad button B          presses pad button B, runs one frame, releases it; B: a, b, x,\n"
    "                        y, back, guide, start, leftstick, rightstick, leftshoulder,\n"
    "                        rightshoulder, dpup, dpdown, dpleft, dpright\n"
    "  pad down B | pad up B presses or releases pad button B alone (no frame)\n"
    "  pad axis AXIS V       moves AXIS (leftx, lefty, rightx, righty: -1..1, down and right\n"
    "                        positive; lefttrigger, righttrigger: 0..1) to V (no frame)\n"
    "  type TEXT             types TEXT, one frame a character\n"
    "  char N                types the character with code N (1 to 255)\n"
    "  mouse X Y             moves the mouse to surface pixel X, Y\n"
    "  click | dblclick      clicks (a double click activates twice)\n"
    "  focus on|off          the window gains or loses the focus\n"
    "  minimize | restore    the window is minimised or restored\n"
    "  close                 the window's close button\n"
    "  shot FILE.png         writes the back surface as a PNG\n"
    "  record FILE.wav       records the sound effects from here on (stereo, 44100 Hz) into\n"
    "                        FILE.wav, written at 'record end' or the end of the script\n"
    "  endgame N             from the main menu, ends a game with N points (name entry)\n"
    "  state                 prints the shared game state as one line of JSON\n"
    "  replay FILE           from the main menu, plays the recorded game in FILE to its end\n"
    "  track                 prints the current level's track as one line of JSON\n"
    "  autopilot on|off|pad  the autopilot rides the races instead of the race keys (popups\n"
    "                        still take the script's keys); on is the expert rider;\n"
    "                        pad: its keys are put on the virtual pads each frame of a wait\n"
    "  autopilot expert|human  the autopilot on, with that rider (see --rider)\n"
    "  expect FIELD VALUE    ends with status 1 unless the state's FIELD (a.b for nested\n"
    "                        fields) is VALUE; VALUE may start with >, <, >= or <=\n"
    "Exit status: 0 when the script ran through, 1 when an expect failed, 2 for a wrong\n"
    "command line or script.\n"};

int Usage(const std::string& message) { return Sys_UsageError(Program, message); }

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

// --replay FILE: the file read first (a refused file ends with status 1), then played in a game
// at the refresh rate it was recorded at, then the final state.
int RunReplayOption(const std::string& path, const PlayOptions& options) {
  TGameRun game;
  try {
    TReplay replay = ReadReplayFile(path);
    const int rate = replay.RefreshRate > 0 ? replay.RefreshRate : options.RefreshRate;
    SysConfig config;
    config.Backend = SysBackend::Headless;
    config.HeadlessRefreshRate = rate;
    config.DataRoot = options.DataDir;
    game.Start(config);
    const int status = PlayReplay(std::move(replay), path, rate);
    std::printf("%s\n", StateJson().c_str());
    return status;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "zkplay: %s\n", e.what());
    return kPlayExpectFailed;
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (Sys_AnswerHelpOrVersion(Program, argc, argv)) return 0;
  PlayOptions options;
  options.DataDir = DefaultGameDir(argv[0]);
  long long seed = 1, stormEvents = -1, soakSeconds = -1;
  bool autopilot = false, pad = false;
  TRider rider = TRider::Expert;
  bool riderGiven = false;
  std::string scorServer, scriptPath, replayPath, saveDir;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool hasValue = i + 1 < argc;
    long long n = 0;
    if (arg == "--data" && hasValue) {
      options.DataDir = argv[++i];
    } else if (arg == "--save-dir" && hasValue) {
      saveDir = argv[++i];
    } else if (arg == "--seed" && hasValue) {
      if (!ParseInt(argv[++i], seed)) return Usage("--seed takes a whole number");
    } else if (arg == "--rate" && hasValue) {
      if (!ParseInt(argv[++i], n) || n < 1 || n > 1000) return Usage("--rate takes a refresh rate from 1 to 1000");
      options.RefreshRate = static_cast<int>(n);
    } else if (arg == "--storm" && hasValue) {
      if (!ParseInt(argv[++i], stormEvents) || stormEvents < 0) return Usage("--storm takes a number of events");
    } else if (arg == "--autopilot") {
      autopilot = true;
    } else if (arg == "--pad") {
      pad = true;
    } else if (arg == "--rider" && hasValue) {
      const std::string name = argv[++i];
      if (name != "expert" && name != "human") return Usage("--rider takes expert or human");
      rider = name == "human" ? TRider::Human : TRider::Expert;
      riderGiven = true;
    } else if (arg == "--soak" && hasValue) {
      if (!ParseInt(argv[++i], soakSeconds) || soakSeconds < 0) return Usage("--soak takes a number of seconds");
    } else if (arg == "--replay" && hasValue) {
      replayPath = argv[++i];
    } else if (arg == "--score-server" && hasValue) {
      scorServer = argv[++i];
    } else if (arg.size() > 1 && arg[0] == '-') {
      return Usage("unknown option " + arg);
    } else if (scriptPath.empty()) {
      scriptPath = arg;
    } else {
      return Usage("only one script");
    }
  }
  if (stormEvents >= 0) {
    if (!scriptPath.empty()) return Usage("a storm takes no script");
    if (!saveDir.empty()) return Usage("a storm plays in a save folder of its own: no --save-dir");
    return RunStorm(TStormOptions{stormEvents, static_cast<uint64_t>(seed), options.DataDir, options.RefreshRate});
  }
  SetSaveFolder(saveDir);
  if (!replayPath.empty()) {
    if (!scriptPath.empty() || autopilot) return Usage("a replay takes no script and no autopilot");
    return RunReplayOption(replayPath, options);
  }
  if (soakSeconds >= 0 && !autopilot) return Usage("--soak needs --autopilot");
  if (pad && !autopilot) return Usage("--pad needs --autopilot");
  if (riderGiven && !autopilot) return Usage("--rider needs --autopilot");
  if (autopilot && !scriptPath.empty()) return Usage("--autopilot takes no script");
  if (scriptPath.empty() && !autopilot) return Usage("no script given");
  const bool fromStdin = scriptPath == "-";
  std::ifstream file;
  if (!fromStdin && !autopilot) {
    file.open(scriptPath);
    if (!file) return Usage("cannot read " + scriptPath);
  }
  std::istream& script = fromStdin ? std::cin : file;

  int status = kPlayOk;
  TGameRun game;
  try {
    SysConfig config;
    config.Backend = SysBackend::Headless;
    config.HeadlessRefreshRate = options.RefreshRate;
    config.DataRoot = options.DataDir;
    if (!scorServer.empty()) SetScoreServer(scorServer);
    game.Start(config, static_cast<uint64_t>(seed));
    status = autopilot ? RunAutoPlay(TAutoPlayOptions{options.RefreshRate, !scorServer.empty(), soakSeconds, pad, rider})
                       : RunScript(script, fromStdin ? "<stdin>" : scriptPath, options);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "zkplay: %s\n", e.what());
    status = kPlayScriptError;
  }
  return status;
}
