// What the save files hold while the game runs, as one object that every run starts afresh.
#include "core/core.h"
#include "save/save.h"
#include "save/save_local.h"

namespace {

// The state at program start, before any file is read.
struct TSaveState {
  TGameOptions Options;
  uint8_t BossKeyShift = 0;
  uint16_t BossKey = 0;
  std::array<THighScore, 12> HighScores{};
  std::string StoredHighScoreDigest;
  TControls Controls = DefaultControls;
};

TSaveState saveState;

const TRunStateRenewal renewal(ForgetSaveState);

}  // namespace

TGameOptions& Options = saveState.Options;
uint8_t& BossKeyShift = saveState.BossKeyShift;
uint16_t& BossKey = saveState.BossKey;
std::array<THighScore, 12>& HighScores = saveState.HighScores;
std::string& StoredHighScoreDigest = saveState.StoredHighScoreDigest;
TControls& Controls = saveState.Controls;

void ForgetSaveState() {
  ForgetSaveFiles();
  saveState = TSaveState{};
}
