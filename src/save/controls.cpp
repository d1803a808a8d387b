// The controls file: one line per race action, "<action> <key code> <pad button>", and a line
// "rumble 0|1"; text with CR LF line ends like the other save files.
#include <array>
#include <charconv>
#include <string_view>

#include "save/save.h"
#include "save/save_local.h"

namespace {

constexpr std::array<const char*, ControlActionCount> kActionNames = {
    "STEER LEFT", "STEER RIGHT", "ACCELERATE", "BRAKE", "HANDBRAKE", "HORN", "PAUSE"};
// How the file names the actions.
constexpr std::array<std::string_view, ControlActionCount> kActionWords = {
    "steerleft", "steerright", "accelerate", "brake", "handbrake", "horn", "pause"};
constexpr std::string_view kRumbleWord = "rumble";

int ActionOfWord(std::string_view word) {
  for (int a = 0; a < ControlActionCount; ++a)
    if (kActionWords[a] == word) return a;
  return -1;
}

// The line's blank-separated words (at most `max`).
template <size_t N>
size_t SplitWords(std::string_view line, std::array<std::string_view, N>& words) {
  size_t count = 0;
  while (!line.empty()) {
    const size_t start = line.find_first_not_of(" \t");
    if (start == std::string_view::npos) break;
    line.remove_prefix(start);
    const size_t end = line.find_first_of(" \t");
    if (count == N) return N + 1;
    words[count++] = line.substr(0, end);
    line.remove_prefix(end == std::string_view::npos ? line.size() : end);
  }
  return count;
}

bool ParseInt(std::string_view text, int& out) {
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), out);
  return error == std::errc() && end == text.data() + text.size();
}

// Reads one line into `controls`; the problem in words when it does not read.
std::string ReadControlLine(std::string_view line, TControls& controls, std::array<bool, ControlActionCount + 1>& seen) {
  std::array<std::string_view, 3> words;
  const size_t count = SplitWords(line, words);
  if (count == 2 && words[0] == kRumbleWord) {
    if (seen[ControlActionCount]) return "rumble is given twice";
    if (words[1] != "0" && words[1] != "1") return "rumble must be 0 or 1";
    controls.Rumble = words[1] == "1";
    seen[ControlActionCount] = true;
    return {};
  }
  const int action = count == 3 ? ActionOfWord(words[0]) : -1;
  if (action < 0) return "not a control: \"" + std::string(line) + "\"";
  if (seen[action]) return std::string(words[0]) + " is given twice";
  int key = 0;
  if (!ParseInt(words[1], key) || !BindableKey(key)) return "no action may take the key " + std::string(words[1]);
  const int button = PadButtonByName(words[2]);
  if (!BindablePadButton(button)) return "no action may take the pad button " + std::string(words[2]);
  if (const int other = ActionWithKey(controls, key, action); other >= 0 && seen[other])
    return std::string(words[0]) + " has the key of " + std::string(kActionWords[other]);
  if (const int other = ActionWithPadButton(controls, button, action); other >= 0 && seen[other])
    return std::string(words[0]) + " has the pad button of " + std::string(kActionWords[other]);
  controls.Keys[action] = static_cast<uint16_t>(key);
  controls.PadButtons[action] = static_cast<uint8_t>(button);
  seen[action] = true;
  return {};
}

}  // namespace

const char* ControlActionName(int action) {
  return action >= 0 && action < ControlActionCount ? kActionNames[action] : "";
}

std::string ControlKeyName(int vk) {
  switch (vk) {
    case VK_LEFT: return "LEFT";
    case VK_RIGHT: return "RIGHT";
    case VK_UP: return "UP";
    case VK_DOWN: return "DOWN";
    case VK_SPACE: return "SPACE";
    case VK_TAB: return "TAB";
    case VK_SHIFT: return "SHIFT";
    case VK_CONTROL: return "CTRL";
    default: break;
  }
  if ((vk >= 'A' && vk <= 'Z') || (vk >= '0' && vk <= '9')) return std::string(1, static_cast<char>(vk));
  return "?";
}

bool BindableKey(int vk) { return ControlKeyName(vk) != "?"; }

bool BindablePadButton(int button) {
  return button >= 0 && button < PadButtonCount && button != pbBack && button != pbGuide;
}

int ActionWithKey(const TControls& controls, int vk, int except) {
  for (int a = 0; a < ControlActionCount; ++a)
    if (a != except && controls.Keys[a] == vk) return a;
  return -1;
}

int ActionWithPadButton(const TControls& controls, int button, int except) {
  for (int a = 0; a < ControlActionCount; ++a)
    if (a != except && controls.PadButtons[a] == button) return a;
  return -1;
}

void ResetControls() { Controls = DefaultControls; }

std::string ControlsFileText() {
  std::string text;
  for (int a = 0; a < ControlActionCount; ++a)
    AppendLine(text, std::string(kActionWords[a]) + " " + std::to_string(Controls.Keys[a]) + " " +
                         PadButtonName(Controls.PadButtons[a]));
  AppendLine(text, std::string(kRumbleWord) + (Controls.Rumble ? " 1" : " 0"));
  return text;
}

void LoadControls(const std::string& path) {
  std::optional<TSaveReader> file = TSaveReader::Open(path);
  if (!file) {
    ResetControls();
    return;
  }
  // Keys and buttons no action has, so that a conflict is only ever with a line already read.
  TControls read{};
  read.Keys.fill(0);
  read.PadButtons.fill(PadButtonCount);
  std::array<bool, ControlActionCount + 1> seen{};
  int lineNumber = 0;
  for (;;) {
    const std::string line = file->ReadLine();
    ++lineNumber;
    if (line.find_first_not_of(" \t") == std::string::npos) {
      if (file->AtEnd()) break;
      continue;
    }
    if (const std::string problem = ReadControlLine(line, read, seen); !problem.empty())
      throw EGameError(path + ": line " + std::to_string(lineNumber) + ": " + problem);
  }
  for (int a = 0; a < ControlActionCount; ++a)
    if (!seen[a]) throw EGameError(path + ": " + std::string(kActionWords[a]) + " is missing");
  if (!seen[ControlActionCount]) read.Rumble = DefaultControls.Rumble;
  Controls = read;
}

void SaveControls(const std::string& path) { WriteSaveFile(path, ControlsFileText()); }
