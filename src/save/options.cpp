// The options file: the settings, the boss key and the high-score digest.
#include <array>

#include "save/save.h"
#include "save/save_local.h"

namespace {

// Line 5 of the file: the code of each modifier, in the order the writer tests them.
constexpr std::array<uint8_t, 4> BossKeyShiftByCode = {0, ssAlt, ssCtrl, ssShift};
// Line 6: 0 none, 1..12 the function keys.
constexpr int FunctionKeyCount = 12;

int BossKeyShiftCode(uint8_t shift) {
  for (int code = 1; code < static_cast<int>(BossKeyShiftByCode.size()); ++code)
    if (shift & BossKeyShiftByCode[code]) return code;
  return 0;
}

int BossKeyCode(uint16_t key) { return key >= VK_F1 && key <= VK_F12 ? key - VK_F1 + 1 : 0; }

// The state before the file is read: everything off, empty or none.
void ClearOptions() {
  Options = TGameOptions{false, false, false, ""};
  BossKeyShift = 0;
  BossKey = 0;
}

const char* FlagText(bool flag) { return flag ? "1" : "0"; }

}  // namespace

std::string OptionsFileText() {
  std::string text;
  AppendLine(text, FlagText(Options.FullScreen));
  AppendLine(text, FlagText(Options.Music));
  AppendLine(text, FlagText(Options.Sound));
  AppendLine(text, Options.Country);
  AppendLine(text, std::to_string(BossKeyShiftCode(BossKeyShift)));
  AppendLine(text, std::to_string(BossKeyCode(BossKey)));
  AppendLine(text, HighScoreDigest());
  return text;
}

void ResetOptions() {
  Options = TGameOptions{false, true, true, DefaultCountry};
  BossKeyShift = DefaultBossKeyShift;
  BossKey = DefaultBossKey;
}

void LoadOptions(const std::string& path) {
  StoredHighScoreDigest.clear();
  std::optional<TSaveReader> file = TSaveReader::Open(path);
  if (!file) {
    ResetOptions();
    return;
  }
  ClearOptions();
  TSaveReader& reader = *file;
  Options.FullScreen = reader.ReadInteger() != 0;
  Options.Music = reader.ReadInteger() != 0;
  Options.Sound = reader.ReadInteger() != 0;
  Options.Country = reader.ReadLine();
  const int32_t shiftCode = reader.ReadInteger();
  if (shiftCode >= 0 && shiftCode < static_cast<int32_t>(BossKeyShiftByCode.size()))
    BossKeyShift = BossKeyShiftByCode[shiftCode];
  const int32_t keyCode = reader.ReadInteger();
  if (keyCode >= 0 && keyCode <= FunctionKeyCount) BossKey = keyCode == 0 ? 0 : VK_F1 + keyCode - 1;
  StoredHighScoreDigest = reader.ReadLine();
}

void SaveOptions(const std::string& path) { WriteSaveFile(path, OptionsFileText()); }
