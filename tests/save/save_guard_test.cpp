// Saves among other games and stale files: one game at a time saves into a folder (a second is
// told and saves nothing, so two games never tear the pair), stale temporary names (symbolic
// links, FIFOs) are replaced rather than followed or waited on, and a damaged file is moved
// aside, not copied.
#include <gmock/gmock.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "save_fixture.h"

namespace {

using ::testing::HasSubstr;

// Runs `body` in a child process as another game would, with none of this game's save state;
// returns its exit status.
template <class F>
int InAnotherGame(F body) {
  const pid_t pid = fork();
  if (pid == 0) {
    ForgetSaveState();  // drops this process's copy of the lock without releasing it
    _exit(body());
  }
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 100;
}

void SetTable(const std::string& name) {
  ResetHighScores();
  InsertHighScore(name, 9500);
}

TEST_F(SaveFolderTest, ASecondGameInTheFolderIsToldAndSavesNothing) {
  SetTable("FIRST");
  ASSERT_EQ(SaveSaveFiles(paths_), "");
  const std::string options = ReadBytes(paths_.Options), table = ReadBytes(paths_.HighScores);
  testing::internal::CaptureStderr();
  EXPECT_EQ(LoadSaveFiles(paths_), "");
  const int second = InAnotherGame([&] {
    const std::string notice = LoadSaveFiles(paths_);
    if (notice.find(folder_.string() + ": in use by another game") == std::string::npos) return 1;
    SetTable("SECOND");
    if (SaveSaveFiles(paths_).find("in use by another game") == std::string::npos) return 2;
    return 0;
  });
  testing::internal::GetCapturedStderr();
  EXPECT_EQ(second, 0);
  EXPECT_EQ(ReadBytes(paths_.Options), options);
  EXPECT_EQ(ReadBytes(paths_.HighScores), table);
  ForgetSaveState();
  EXPECT_EQ(InAnotherGame([&] { return LoadSaveFiles(paths_).empty() && SaveSaveFiles(paths_).empty() ? 0 : 1; }), 0)
      << "once the first game has ended, the folder is free";
}

TEST_F(SaveFolderTest, TwoGamesSavingAtOnceNeverTearThePair) {
  SetTable("START");
  ASSERT_EQ(SaveSaveFiles(paths_), "");
  ForgetSaveState();
  const auto game = [&](const std::string& name) {
    return [&, name] {
      testing::internal::CaptureStderr();
      LoadSaveFiles(paths_);
      for (int round = 0; round < 100; ++round) {
        SetTable(name + std::to_string(round % 10));
        SaveSaveFiles(paths_);
      }
      return 0;
    };
  };
  const pid_t a = fork();
  if (a == 0) _exit(InAnotherGame(game("A")));
  InAnotherGame(game("B"));
  waitpid(a, nullptr, 0);
  testing::internal::CaptureStderr();
  const std::string notice = LoadSaveFiles(paths_);
  testing::internal::GetCapturedStderr();
  EXPECT_EQ(notice, "");
  const std::string second = HighScores[2].Name;
  EXPECT_TRUE(second.size() == 2 && (second[0] == 'A' || second[0] == 'B')) << second;
  for (const char* stale : {"options.tmp", "hs.tmp", "hs.bad"}) EXPECT_FALSE(Exists(stale)) << stale;
}

TEST_F(SaveFolderTest, StaleTemporaryNamesAreReplacedNotFollowed) {
  const std::string victim = PathOf("elsewhere"), victimBytes = "the player's other file";
  SetSaveFolder(folder_.string());
  struct Case {
    const char* temporary;
    bool fifo;  // else a symbolic link to the victim
  };
  for (const auto& [temporary, fifo] : {Case{"options.tmp", false}, Case{"hs.tmp", false}, Case{"last.zkreplay.tmp", false},
                                        Case{"hs.tmp", true}}) {
    SCOPED_TRACE(temporary);
    WriteBytes(victim, victimBytes);
    if (fifo) {
      ASSERT_EQ(mkfifo(PathOf(temporary).c_str(), 0600), 0);
    } else {
      std::filesystem::create_symlink(victim, PathOf(temporary));
    }
    SetTable("SAVED");
    EXPECT_EQ(SaveSaveFiles(paths_), "");
    EXPECT_EQ(WriteToSaveFolder("last.zkreplay", "a replay"), "");
    EXPECT_EQ(ReadBytes(victim), victimBytes);
    EXPECT_FALSE(std::filesystem::is_symlink(PathOf(temporary)));
    EXPECT_FALSE(Exists(temporary));
    EXPECT_THAT(ReadBytes(paths_.HighScores), HasSubstr("SAVED"));
    EXPECT_EQ(ReadBytes(PathOf("last.zkreplay")), "a replay");
  }
  SetSaveFolder("");
}

TEST_F(SaveFolderTest, ADamagedFileIsMovedAsideNotCopied) {
  SetTable("KEPT");
  ASSERT_EQ(SaveSaveFiles(paths_), "");
  EditFile(paths_.HighScores, "KEPT", "KEPS");
  struct stat before {};
  ASSERT_EQ(stat(paths_.HighScores.c_str(), &before), 0);
  testing::internal::CaptureStderr();
  EXPECT_THAT(LoadSaveFiles(paths_), HasSubstr("kept as " + PathOf("hs.bad")));
  testing::internal::GetCapturedStderr();
  struct stat aside {};
  ASSERT_EQ(stat(PathOf("hs.bad").c_str(), &aside), 0);
  EXPECT_EQ(aside.st_ino, before.st_ino) << "the same file, renamed";
  EXPECT_FALSE(Exists("hs"));
}

}  // namespace
