// The script commands of zkplay and the `state` line.
#include "script.h"

#include <SDL.h>
#include <SDL_image.h>

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <vector>

#include "app/app.h"
#include "audio/audio.h"
#include "race/player.h"
#include "save/save.h"
#include "sprites/sprites.h"

namespace {

struct KeyName {
  const char* Name;
  int Vk;
};

constexpr KeyName kKeyNames[] = {
    {"up", VK_UP},         {"down", VK_DOWN},     {"left", VK_LEFT},     {"right", VK_RIGHT},
    {"return", VK_RETURN}, {"enter", VK_RETURN},  {"escape", VK_ESCAPE}, {"esc", VK_ESCAPE},
    {"space", VK_SPACE},   {"backspace", VK_BACK}, {"tab", VK_TAB},      {"pause", VK_PAUSE},
    {"shift", VK_SHIFT},   {"ctrl", VK_CONTROL},  {"alt", VK_MENU},
};

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

// "pad connect", "pad disconnect", "pad button B" (press, one frame, release), "pad down B",
// "pad up B", "pad axis AXIS VALUE": the virtual pads. The problem in words, or empty.
std::string PadCommand(std::istream& in, THeadlessDriver& run) {
  std::string what, name;
  in >> what;
  if (what == "connect") {
    std::string problem;
    if (!Sys_HeadlessPadConnect(problem)) return problem;
    run.Frame();
    return {};
  }
  if (what == "disconnect") {
    Sys_HeadlessPadDisconnect();
    run.Frame();
    return {};
  }
  if (what == "axis") {
    double value = 0;
    if (!(in >> name >> value) || PadAxisByName(Lower(name)) < 0 || value < -1 || value > 1)
      return "pad axis takes an axis (leftx, lefty, rightx, righty, lefttrigger, righttrigger) and a value -1..1";
    Sys_HeadlessPadAxis(PadAxisByName(Lower(name)), static_cast<float>(value));
    return {};
  }
  if (what == "button" || what == "down" || what == "up") {
    const int button = (in >> name) ? PadButtonByName(Lower(name)) : -1;
    if (button < 0) return "unknown pad button '" + name + "'";
    if (what != "up") Sys_HeadlessPadButton(button, true);
    if (what == "button") run.Frame();
    if (what != "down") Sys_HeadlessPadButton(button, false);
    return {};
  }
  return "pad takes connect, disconnect, button, down, up or axis";
}

// Parses "[alt+][ctrl+][shift+]NAME" into a virtual-key code and a shift state; false when unknown.
bool ParseKey(const std::string& text, int& vk, int& shift) {
  std::string rest = Lower(text);
  shift = 0;
  for (;;) {
    if (rest.rfind("alt+", 0) == 0) { shift |= ssAlt; rest.erase(0, 4); }
    else if (rest.rfind("ctrl+", 0) == 0) { shift |= ssCtrl; rest.erase(0, 5); }
    else if (rest.rfind("shift+", 0) == 0) { shift |= ssShift; rest.erase(0, 6); }
    else break;
  }
  for (const KeyName& k : kKeyNames)
    if (rest == k.Name) { vk = k.Vk; return true; }
  if (rest.size() == 1 && std::isalnum(static_cast<unsigned char>(rest[0]))) {
    vk = std::toupper(static_cast<unsigned char>(rest[0]));
    return true;
  }
  if (rest.size() >= 2 && rest[0] == 'f') {
    const int n = std::atoi(rest.c_str() + 1);
    if (n >= 1 && n <= 12 && rest == "f" + std::to_string(n)) { vk = VK_F1 + n - 1; return true; }
  }
  return false;
}

bool WriteShot(const std::string& path) {
  TDirectDrawSurface* s = MForm->MDXDraw.Surface();
  if (s == nullptr) return false;
  SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormatFrom(s->Pixels(), s->Width(), s->Height(), 16,
                                                            s->Width() * 2, SDL_PIXELFORMAT_RGB565);
  if (surface == nullptr) return false;
  SDL_Surface* rgb = SDL_ConvertSurfaceFormat(surface, SDL_PIXELFORMAT_RGB24, 0);
  SDL_FreeSurface(surface);
  if (rgb == nullptr) return false;
  const bool ok = IMG_SavePNG(rgb, path.c_str()) == 0;
  SDL_FreeSurface(rgb);
  return ok;
}

void AppendJsonString(std::string& out, const std::string& text) {
  out += '"';
  for (const char c : text) {
    const unsigned char u = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (u < 0x20 || u >= 0x7F) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\u%04x", u);
      out += buf;
    } else {
      out += c;
    }
  }
  out += '"';
}

class JsonObject {
public:
  void Field(const char* name, long long v) { Key(name) += std::to_string(v); }
  void Field(const char* name, int v) { Key(name) += std::to_string(v); }
  void Field(const char* name, bool v) { Key(name) += v ? "true" : "false"; }
  void Field(const char* name, double v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.10g", v);
    Key(name) += buf;
  }
  void Field(const char* name, const std::string& v) { AppendJsonString(Key(name), v); }
  void Raw(const char* name, const std::string& json) { Key(name) += json; }
  std::string Close() { return out_ + "}"; }

private:
  std::string& Key(const char* name) {
    out_ += out_.size() > 1 ? "," : "";
    AppendJsonString(out_, name);
    out_ += ':';
    return out_;
  }
  std::string out_ = "{";
};

std::string HighScoresJson() {
  std::string out = "[";
  for (int n = 1; n <= 10; ++n) {
    JsonObject entry;
    entry.Field("Name", HighScores[n].Name);
    entry.Field("Score", static_cast<long long>(HighScores[n].Score));
    out += (n > 1 ? "," : "") + entry.Close();
  }
  return out + "]";
}

// The end of the JSON value that starts at `start`: the index of the comma or closing bracket
// after it (or the text's end).
size_t ValueEnd(const std::string& json, size_t start) {
  int depth = 0;
  bool inString = false;
  size_t i = start;
  for (; i < json.size(); ++i) {
    const char c = json[i];
    if (inString) {
      if (c == '\\') ++i;
      else if (c == '"') inString = false;
      continue;
    }
    if (c == '"') inString = true;
    else if (c == '{' || c == '[') ++depth;
    else if (c == '}' || c == ']') {
      if (depth == 0) break;
      --depth;
    } else if (c == ',' && depth == 0) break;
  }
  return i;
}

// The text of the value of field `name` in a JSON object; empty when there is none.
std::string FieldOf(const std::string& json, const std::string& name) {
  const std::string key = "\"" + name + "\":";
  const size_t at = json.find(key);
  if (at == std::string::npos) return {};
  const size_t start = at + key.size();
  return json.substr(start, ValueEnd(json, start) - start);
}

// Element k (counted from 1, as the game numbers its rivals and bonus kinds) of a JSON array;
// empty when there is no such element.
std::string ElementOf(const std::string& array, int k) {
  if (array.size() < 2 || array.front() != '[' || k < 1) return {};
  size_t start = 1;
  for (int i = 1; i < k; ++i) {
    start = ValueEnd(array, start);
    if (start >= array.size() || array[start] != ',') return {};
    ++start;
  }
  return array.substr(start, ValueEnd(array, start) - start);
}

// A number compared with "> N", "< N", ">= N" or "<= N".
bool NumberCompares(const std::string& actual, const std::string& expected) {
  const size_t opLength = expected.size() > 1 && expected[1] == '=' ? 2 : 1;
  const std::string op = expected.substr(0, opLength);
  char* end = nullptr;
  const double bound = std::strtod(expected.c_str() + opLength, &end);
  if (end == expected.c_str() + opLength) return false;
  const double value = std::strtod(actual.c_str(), &end);
  if (end == actual.c_str()) return false;
  if (op == ">") return value > bound;
  if (op == "<") return value < bound;
  if (op == ">=") return value >= bound;
  return op == "<=" && value <= bound;
}

// The value at a path of field names, each optionally followed by [k]: "Race.Rivals[2].Racing".
std::string ValueAt(std::string json, const std::string& path) {
  for (size_t from = 0; !json.empty();) {
    const size_t dot = path.find('.', from);
    std::string name = path.substr(from, dot == std::string::npos ? std::string::npos : dot - from);
    int index = 0;
    if (const size_t open = name.find('['); open != std::string::npos && name.back() == ']') {
      index = std::atoi(name.c_str() + open + 1);
      name.erase(open);
    }
    json = FieldOf(json, name);
    if (index != 0) json = ElementOf(json, index);
    if (dot == std::string::npos) break;
    from = dot + 1;
  }
  return json;
}

bool ValuesMatch(const std::string& actual, const std::string& expected) {
  if (actual == expected) return true;
  if (!expected.empty() && (expected[0] == '>' || expected[0] == '<')) return NumberCompares(actual, expected);
  // A string field may be expected without its quotes.
  return actual.size() >= 2 && actual.front() == '"' && actual.substr(1, actual.size() - 2) == expected;
}

std::string RivalsJson(const TCar& rivals) {
  std::string out = "[";
  for (int i = 1; i <= RivalCount; ++i) {
    JsonObject r;
    r.Field("Racing", rivals.Racing[i]);
    r.Field("Model", rivals.Model[i]);
    r.Field("PosX", rivals.PosX[i]);
    r.Field("PosY", rivals.PosY[i]);
    r.Field("CenterX", rivals.CenterX[i]);
    r.Field("CenterY", rivals.CenterY[i]);
    r.Field("Heading", rivals.Heading[i]);
    r.Field("Speed", rivals.Speed[i]);
    r.Field("InView", rivals.InView[i]);
    r.Field("Lean", rivals.Lean[i]);
    r.Field("Crashed", rivals.Crashed[i]);
    r.Field("Contacts", rivals.Contacts[i]);
    r.Field("LaneOffset", rivals.LaneOffset[i]);
    out += (i > 1 ? "," : "") + r.Close();
  }
  return out + "]";
}

// The race's figures while a race exists (the bike, the view, the clock, the rivals, the bonuses).
std::string RaceJson(const TRace& race, const TPlayer& bike) {
  const double roadX = race.Road != nullptr ? race.Road->X : 0;
  const double roadY = race.Road != nullptr ? race.Road->Y : 0;
  JsonObject r;
  r.Field("Speed", bike.Speed);
  r.Field("ScrollSpeed", bike.ScrollSpeed);
  r.Field("Heading", bike.Heading);
  r.Field("HeadingAcc", bike.HeadingAcc);
  r.Field("CenterX", bike.CenterX);
  r.Field("CenterY", bike.CenterY);
  r.Field("WorldX", bike.CenterX + race.ScreenOrigin().X);
  r.Field("WorldY", bike.CenterY + race.ScreenOrigin().Y);
  r.Field("Lean", bike.Lean);
  r.Field("FramePos", bike.FramePos);
  r.Field("OnRoad", bike.OnRoad);
  r.Field("HitPoints", bike.HitPoints);
  r.Field("Crashed", bike.Crashed);
  r.Field("CrashTimer", bike.CrashTimer);
  r.Field("TimeUp", bike.TimeUp);
  r.Field("Finished", bike.Finished);
  r.Field("EndSequenceStarted", bike.EndSequenceStarted);
  r.Field("EngineSound", std::string(EngineSoundName(bike.EngineSound)));
  r.Field("HornOn", bike.HornOn);
  r.Field("ViewCol", race.ViewCol);
  r.Field("ViewRow", race.ViewRow);
  r.Field("RoadX", roadX);
  r.Field("RoadY", roadY);
  r.Field("TrackLength", race.TrackLength);
  r.Field("RaceTimeLeft", race.RaceTimeLeft);
  r.Field("PlayerRank", race.PlayerRank);
  r.Field("RacerCount", race.RacerCount);
  r.Field("MarksUsed", bike.MarksUsed());
  r.Field("LastMark", bike.LastMark);
  r.Field("BumpBoost", bike.BumpBoost);
  r.Field("NeedleAngle", race.SpeedNeedle != nullptr ? race.SpeedNeedle->Angle : 0);
  if (race.Traffic != nullptr) r.Raw("Rivals", RivalsJson(*race.Traffic));
  JsonObject bonuses;
  bonuses.Field("Count", race.BonusCount);
  bonuses.Field("Active", race.BonusSprite != nullptr ? race.BonusSprite->ActiveCount() : 0);
  std::string kinds = "[";
  for (int kind = 1; kind <= TBonus::KindCount; ++kind) {
    kinds += (kind > 1 ? "," : "") + std::to_string(race.BonusSprite != nullptr ? race.BonusSprite->ActiveOfKind(kind) : 0);
  }
  bonuses.Raw("Kinds", kinds + "]");
  r.Raw("Bonuses", bonuses.Close());
  return r.Close();
}

// Appends `values[1..TrackRows]` as a JSON array with entry 0 = 0.
template <typename Values>
void AppendRowArray(std::string& out, const Values& values) {
  out += "[0";
  for (int row = 1; row <= TrackRows; ++row) {
    out += ',';
    out += std::to_string(values[row]);
  }
  out += ']';
}

}  // namespace

std::string TrackJson() {
  static const TRace noRace;
  const TRace& race = CurrentRace() != nullptr ? *CurrentRace() : noRace;
  JsonObject t;
  t.Field("Level", race.Level);
  t.Field("TrackLength", race.TrackLength);
  t.Field("FinishRow", FinishRowOf(race.TrackLength));
  t.Field("ViewCol", race.ViewCol);
  t.Field("ViewRow", race.ViewRow);
  std::string shapes, centres;
  AppendRowArray(shapes, race.RowShape);
  AppendRowArray(centres, race.RoadCenterX);
  t.Raw("RowShape", shapes);
  t.Raw("RoadCenterX", centres);
  return t.Close();
}

std::string KeyScriptName(int vk, int shift) {
  std::string name = (shift & ssAlt ? "alt+" : "") + std::string(shift & ssCtrl ? "ctrl+" : "") +
                     (shift & ssShift ? "shift+" : "");
  for (const KeyName& k : kKeyNames)
    if (k.Vk == vk) return name + k.Name;
  if (vk >= VK_F1 && vk <= VK_F12) return name + "f" + std::to_string(vk - VK_F1 + 1);
  return name + static_cast<char>(std::tolower(vk));
}

// "STEER LEFT" as a field name: "SteerLeft".
std::string ActionFieldName(int action) {
  std::string name;
  bool upper = true;
  for (const char* c = ControlActionName(action); *c != '\0'; ++c) {
    if (*c == ' ') {
      upper = true;
      continue;
    }
    name += upper ? *c : static_cast<char>(std::tolower(static_cast<unsigned char>(*c)));
    upper = false;
  }
  return name;
}

std::string StateJson() {
  JsonObject s;
  s.Field("CurrentScreen", static_cast<long long>(Shell.CurrentScreen));
  s.Field("PopupKind", static_cast<long long>(Shell.PopupKind));
  s.Field("FirstItem", static_cast<long long>(Shell.FirstItem));
  s.Field("LastItem", static_cast<long long>(Shell.LastItem));
  s.Field("HoverItem", static_cast<long long>(Shell.HoverItem));
  s.Field("TabHoverItem", static_cast<long long>(Shell.TabHoverItem));
  s.Field("MenuIntroActive", static_cast<long long>(Shell.MenuIntroActive));
  s.Field("SpeedFactor", SpeedFactor);
  s.Field("FrameTimeMs", static_cast<long long>(FrameTimeMs));
  s.Field("MeasuredFrameRate", static_cast<long long>(MeasuredFrameRate));
  s.Field("RefreshRate", static_cast<long long>(RefreshRate));
  s.Field("SpriteCount", static_cast<long long>(GameSpriteEngine().SpriteCount));
  s.Field("PopupTimer", static_cast<long long>(Shell.PopupTimer));
  // The figures of the game in progress; 0 outside a game.
  const TRace* race = CurrentRace();
  s.Field("Score", static_cast<long long>(race != nullptr ? race->Score : 0));
  s.Field("Lives", static_cast<long long>(race != nullptr ? race->Lives : 0));
  s.Field("Level", static_cast<long long>(race != nullptr ? race->Level : 0));
  s.Field("ResultStep", race != nullptr ? race->ResultStep : 0);
  s.Field("TimeBonus", race != nullptr ? race->TimeBonus : 0);
  s.Field("RankBonus", race != nullptr ? race->RankBonus : 0);
  s.Field("PlayerName", Shell.PlayerName);
  JsonObject options;
  options.Field("FullScreen", Options.FullScreen);
  options.Field("Music", Options.Music);
  options.Field("Sound", Options.Sound);
  options.Field("Country", Options.Country);
  s.Raw("Options", options.Close());
  s.Field("BossKeyShift", static_cast<long long>(BossKeyShift));
  s.Field("BossKey", static_cast<long long>(BossKey));
  s.Field("MusicRestartPending", Shell.MusicRestartPending);
  s.Field("CurrentSong", static_cast<long long>(CurrentSong != 0 ? 1 : 0));
  s.Raw("HighScores", HighScoresJson());
  s.Field("HelpPage", static_cast<long long>(Shell.HelpPage));
  s.Field("CountryEditing", Shell.CountryEditing);
  s.Field("BossKeyCapture", Shell.BossKeyCapture);
  s.Field("SelectedVehicle", static_cast<long long>(Shell.SelectedVehicle));
  s.Field("VehicleSwitchPhase", static_cast<long long>(Shell.VehicleSwitchPhase));
  s.Field("MouseX", static_cast<long long>(Shell.MouseX));
  s.Field("MouseY", static_cast<long long>(Shell.MouseY));
  s.Field("CursorVisible", Sys_CursorVisible());
  s.Field("FullScreenDisplay", MForm->MDXDraw.FullScreen);
  s.Field("Terminated", MForm->Terminated);
  s.Field("ReplayFrames", static_cast<long long>(ReplayFrameCount()));
  // The player's race keys at the last poll, as a replay packs them (1 left, 2 right, 4 up,
  // 8 down, 16 space, 32 horn), and the pads' rumbles so far.
  s.Field("PlayerKeys", static_cast<long long>(PackRaceInput(PlayerRaceInput())));
  s.Field("Rumbles", static_cast<long long>(Sys_HeadlessRumbleCount()));
  JsonObject controls;
  for (int a = 0; a < ControlActionCount; ++a)
    controls.Field(ActionFieldName(a).c_str(), ControlKeyName(Controls.Keys[a]) + " " + PadButtonName(Controls.PadButtons[a]));
  controls.Field("Rumble", Controls.Rumble);
  s.Raw("Controls", controls.Close());
  if (Shell.CurrentScreen == scrRace && race != nullptr && race->Player != nullptr)
    s.Raw("Race", RaceJson(*race, *race->Player));
  return s.Close();
}

void PutRaceKeysOnPad(const TRaceInput& keys) {
  Sys_HeadlessPadAxis(paLeftX, keys.Left ? -1.0f : keys.Right ? 1.0f : 0.0f);
  Sys_HeadlessPadAxis(paTriggerRight, keys.Up ? 1.0f : 0.0f);
  Sys_HeadlessPadAxis(paTriggerLeft, keys.Down ? 1.0f : 0.0f);
  Sys_HeadlessPadButton(pbX, keys.Space);
  Sys_HeadlessPadButton(pbY, keys.Horn);
}

TRaceInput AutopilotKeysNow() {
  const TRace* const race = CurrentRace();
  return race != nullptr && RaceFrameDue() ? Autopilot.Keys(*race) : TRaceInput{};
}

int PlayReplay(TReplay replay, const std::string& name, int refreshRate) {
  // Every frame runs one recorded frame; the bound only stops a game whose timer stands still.
  const size_t frameBound = replay.Frames.size() * 4 + 1000;
  THeadlessDriver run(refreshRate);
  App_StartReplay(std::move(replay));
  for (size_t n = 0; n < frameBound && !PlaybackEnded() && !MForm->Terminated; ++n) run.Frame();
  EndPlayback();
  const std::string problem = ReplayPlaybackProblem();
  if (problem.empty()) return kPlayOk;
  std::fprintf(stderr, "%s: %s\n", name.c_str(), problem.c_str());
  return kPlayExpectFailed;
}

namespace {

constexpr int kRecordRate = 44100;

// The effects recorded since `record FILE` as a 16-bit stereo WAV file.
bool WriteRecording(const std::string& path) {
  const std::vector<int16_t> samples = Snd_StopRecording();
  std::vector<uint8_t> bytes(samples.size() * 2);
  for (size_t i = 0; i < samples.size(); ++i) {
    bytes[2 * i] = static_cast<uint8_t>(samples[i] & 0xFF);
    bytes[2 * i + 1] = static_cast<uint8_t>((samples[i] >> 8) & 0xFF);
  }
  try {
    WriteFileAtomic(path, MakeRiffWave(2, kRecordRate, 16, bytes));
  } catch (const std::exception& e) {
    std::fprintf(stderr, "zkplay: %s\n", e.what());
    return false;
  }
  return true;
}

}  // namespace

int RunScript(std::istream& script, const std::string& scriptName, const PlayOptions& options) {
  // "autopilot pad": each frame of `wait` puts the autopilot's keys on the virtual pads.
  bool autopilotOnPad = false;
  THeadlessDriver run(options.RefreshRate);
  std::string recordPath;  // the recording running, if any
  std::string line;
  int lineNo = 0;
  auto fail = [&](const std::string& message) {
    std::fprintf(stderr, "%s:%d: %s\n", scriptName.c_str(), lineNo, message.c_str());
    return kPlayScriptError;
  };
  while (std::getline(script, line)) {
    ++lineNo;
    if (MForm->Terminated) break;
    const size_t hash = line.find('#');
    std::string body = line.substr(0, hash);
    std::istringstream in(body);
    std::string cmd;
    if (!(in >> cmd)) continue;
    cmd = Lower(cmd);
    if (cmd == "wait") {
      long n = -1;
      if (!(in >> n) || n < 0) return fail("wait takes a number of frames");
      for (long i = 0; i < n; ++i) {
        if (autopilotOnPad) PutRaceKeysOnPad(AutopilotKeysNow());
        run.Frame();
      }
    } else if (cmd == "key" || cmd == "down" || cmd == "up") {
      std::string name;
      int vk = 0, shift = 0;
      if (!(in >> name) || !ParseKey(name, vk, shift)) return fail("unknown key '" + name + "'");
      if (cmd != "up") run.Press(vk, shift);
      if (cmd == "key") run.Frame();
      if (cmd != "down") run.Release(vk, shift);
    } else if (cmd == "pad") {
      if (const std::string problem = PadCommand(in, run); !problem.empty()) return fail(problem);
    } else if (cmd == "type") {
      // Everything after the command word, leading blank removed.
      std::string text = body.substr(body.find("type") + 4);
      if (!text.empty() && text[0] == ' ') text.erase(0, 1);
      run.Type(text);
    } else if (cmd == "char") {
      // A typed character by its code, for the ones "type" cannot send.
      int ch = 0;
      if (!(in >> ch) || ch < 1 || ch > 255) return fail("char takes a character code from 1 to 255");
      run.Send(SysEventType::Char, 0, 0, ch);
    } else if (cmd == "mouse") {
      int x = 0, y = 0;
      if (!(in >> x >> y)) return fail("mouse takes X and Y");
      run.MouseMove(x, y);
    } else if (cmd == "click") {
      run.Click();
    } else if (cmd == "dblclick") {
      run.DoubleClick();
    } else if (cmd == "focus") {
      std::string state;
      in >> state;
      if (state == "on") run.Send(SysEventType::Activated);
      else if (state == "off") run.Send(SysEventType::Deactivated);
      else return fail("focus takes on or off");
    } else if (cmd == "minimize") {
      run.Send(SysEventType::Minimized);
    } else if (cmd == "restore") {
      run.Send(SysEventType::Restored);
    } else if (cmd == "close") {
      run.Send(SysEventType::CloseRequest);
    } else if (cmd == "endgame") {
      // Ends a game with N points the way the end of a race does, from the main menu: the menu is
      // taken down as a race start takes it, then the name entry opens (the score must make the
      // table).
      long long n = 0;
      if (!(in >> n) || n < INT32_MIN || n > INT32_MAX) return fail("endgame takes a whole number");
      if (Shell.CurrentScreen != scrMainMenu || Shell.PopupKind != popNone) return fail("endgame starts from the main menu");
      if (!ScoreQualifies(static_cast<int32_t>(n))) return fail("endgame: the score does not make the table");
      LeaveMainMenu();
      run.Frame();
      TRace* race = CurrentRace();
      (race != nullptr ? *race : StartRace(1)).Score = static_cast<int32_t>(n);
      OpenPopup(popNameEntry);
      run.Frame();
    } else if (cmd == "replay") {
      // Plays a recorded game from the main menu to its end; its final state can then be expected.
      std::string path;
      if (!(in >> path)) return fail("replay takes a file name");
      if (Shell.CurrentScreen != scrMainMenu || Shell.PopupKind != popNone) return fail("replay starts from the main menu");
      TReplay replay;
      try {
        replay = ReadReplayFile(path);
      } catch (const std::exception& e) {
        return fail(e.what());
      }
      if (const int status = PlayReplay(std::move(replay), path, options.RefreshRate); status != kPlayOk) return status;
    } else if (cmd == "record") {
      std::string path;
      if (!(in >> path)) return fail("record takes a file name or 'end'");
      if (path == "end") {
        if (recordPath.empty()) return fail("record end without a recording");
        if (!WriteRecording(recordPath)) return fail("cannot write " + recordPath);
        recordPath.clear();
      } else {
        recordPath = path;
        Snd_StartRecording(kRecordRate);
      }
    } else if (cmd == "shot") {
      std::string path;
      if (!(in >> path)) return fail("shot takes a file name");
      if (!WriteShot(path)) return fail("cannot write " + path);
    } else if (cmd == "state" || cmd == "track") {
      std::printf("%s\n", (cmd == "state" ? StateJson() : TrackJson()).c_str());
      std::fflush(stdout);
    } else if (cmd == "level") {
      int level = 0;
      TRace* const race = CurrentRace();
      if (!(in >> level) || level < 1 || level > LevelCount) return fail("level takes a level number 1.." + std::to_string(LevelCount));
      if (race == nullptr || race->Player == nullptr) return fail("level needs a race");
      race->Level = level - 1;  // the next level is the one asked for
      race->Player->StartLevel(true);
      run.Frame();
    } else if (cmd == "autopilot") {
      std::string state;
      in >> state;
      if (state != "on" && state != "off" && state != "pad" && state != "expert" && state != "human") {
        return fail("autopilot takes on, off, pad, expert or human");
      }
      Autopilot.On = state != "off" && state != "pad";
      autopilotOnPad = state == "pad";
      if (Autopilot.On) Autopilot.Rider = state == "human" ? TRider::Human : TRider::Expert;
    } else if (cmd == "expect") {
      std::string name, expected;
      if (!(in >> name)) return fail("expect takes a field name and a value");
      std::getline(in, expected);
      while (!expected.empty() && expected.front() == ' ') expected.erase(0, 1);
      while (!expected.empty() && (expected.back() == ' ' || expected.back() == '\r')) expected.pop_back();
      const std::string actual = ValueAt(StateJson(), name);
      if (actual.empty()) return fail("no state field " + name);
      if (!ValuesMatch(actual, expected)) {
        std::fprintf(stderr, "%s:%d: expected %s to be %s, but it is %s\n", scriptName.c_str(), lineNo,
                     name.c_str(), expected.c_str(), actual.c_str());
        return kPlayExpectFailed;
      }
    } else {
      return fail("unknown command '" + cmd + "'");
    }
  }
  if (!recordPath.empty() && !WriteRecording(recordPath)) return fail("cannot write " + recordPath);
  return kPlayOk;
}
