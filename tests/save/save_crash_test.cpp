// The exit's save sequence cut short at every one of its file-system calls, by a crash (the
// process dies right there, like a power cut or a kill) or by the call failing: the next start
// loads the old pair of files or the new pair, never a mix and never the default table.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cerrno>
#include <string>

#include <sys/wait.h>
#include <unistd.h>

#include "save_fixture.h"

namespace {

enum class TCut { Crash, Failure };

// Settings and a table that tell the two pairs apart.
void SetState(const std::string& tag) {
  for (int n = 1; n <= HighScoreTableSize; ++n) HighScores[n] = THighScore{tag + " " + std::to_string(n), 900 - n};
  Options = TGameOptions{tag == "NEW", true, false, tag};
  BossKeyShift = ssShift;
  BossKey = VK_F1;
}

bool StateIs(const std::string& tag) {
  for (int n = 1; n <= HighScoreTableSize; ++n)
    if (HighScores[n].Name != tag + " " + std::to_string(n) || HighScores[n].Score != 900 - n) return false;
  return Options.Country == tag && Options.FullScreen == (tag == "NEW") && BossKeyShift == ssShift;
}

// Runs the exit's save with its file-system call number `step` (from 1) cut short; false when
// the sequence made fewer calls and so ran to its end.
bool SaveCutShortAt(const TSaveFilePaths& paths, int step, TCut cut) {
  int calls = 0;
  if (cut == TCut::Crash) {
    const pid_t child = fork();
    if (child == 0) {
      SetSaveStepHook([&calls, step](TSaveStep, const std::string&) -> int {
        if (++calls == step) _exit(1);
        return 0;
      });
      SaveSaveFiles(paths);
      _exit(0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 1;
  }
  SetSaveStepHook([&calls, step](TSaveStep, const std::string&) { return ++calls == step ? EIO : 0; });
  testing::internal::CaptureStderr();
  SaveSaveFiles(paths);
  testing::internal::GetCapturedStderr();
  SetSaveStepHook(nullptr);
  return calls >= step;
}

class SaveCutShortTest : public SaveFolderTest, public ::testing::WithParamInterface<TCut> {};

TEST_P(SaveCutShortTest, NextStartLoadsTheOldPairOrTheNewPair) {
  bool sawNew = false, sawTornPairOnDisk = false;
  int step = 1;
  for (;; ++step) {
    SCOPED_TRACE("cut at call " + std::to_string(step));
    for (const auto& entry : std::filesystem::directory_iterator(folder_)) std::filesystem::remove_all(entry.path());
    SetState("OLD");
    SaveSaveFiles(paths_);
    const std::string oldTable = ReadBytes(paths_.HighScores);
    SetState("NEW");
    if (!SaveCutShortAt(paths_, step, GetParam())) break;
    sawTornPairOnDisk |= ReadBytes(paths_.HighScores) == oldTable && StateIs("NEW") &&
                         ReadBytes(paths_.Options) == OptionsFileText();

    SetState("NONE");
    testing::internal::CaptureStderr();
    LoadSaveFiles(paths_);
    testing::internal::GetCapturedStderr();
    const bool loadedNew = StateIs("NEW");
    EXPECT_TRUE(StateIs("OLD") || loadedNew);
    sawNew |= loadedNew;

    // The start settled the files: the next one finds the same pair without a word.
    SetState("NONE");
    testing::internal::CaptureStderr();
    const std::string notice = LoadSaveFiles(paths_);
    EXPECT_THAT(testing::internal::GetCapturedStderr(), ::testing::IsEmpty());
    EXPECT_THAT(notice, ::testing::IsEmpty());
    EXPECT_TRUE(StateIs(loadedNew ? "NEW" : "OLD"));
  }
  EXPECT_GT(step, 10) << "the seam saw the save sequence";
  EXPECT_TRUE(sawNew);
  if (GetParam() == TCut::Crash) {
    EXPECT_TRUE(sawTornPairOnDisk) << "a crash between the two renames was tried";
  }
}

INSTANTIATE_TEST_SUITE_P(SaveFiles, SaveCutShortTest, ::testing::Values(TCut::Crash, TCut::Failure),
                         [](const ::testing::TestParamInfo<TCut>& info) {
                           return info.param == TCut::Crash ? std::string("Crash") : std::string("Failure");
                         });

}  // namespace
