// The end of a game, from the name entry through the send question to the high-score screen,
// and the score reaching a score server on the loopback interface.
#include <string>

#include "loopback.h"
#include "online/online.h"
#include "save/save.h"
#include "screen_test_util.h"

namespace {

using loopback::DecodeSubmission;
using loopback::RecordingServer;
using loopback::SilentSocket;
using screens_test::ScreenGame;

class EndOfGame : public ScreenGame {
protected:
  void SetUp() override {
    ScreenGame::SetUp();
    savedServer_ = ScoreServer();
    FinishIntro();
    // What a plain visit of the high-score screen leaves in the sprite engine, to compare with.
    Tap(VK_DOWN);
    Tap(VK_DOWN);
    Tap(VK_DOWN);
    Tap(VK_RETURN);
    ASSERT_EQ(Shell.CurrentScreen, scrHighScores);
    plainSpriteCount_ = GameSpriteEngine().SpriteCount;
    Tap(VK_ESCAPE);
    ASSERT_EQ(Shell.CurrentScreen, scrMainMenu);
  }
  void TearDown() override {
    SetScoreServer(savedServer_);
    ScreenGame::TearDown();
  }

  // The race is not built yet: take the menu down as a race does, then end the game with `score`
  // the way a race's end does, with the name entry.
  void EndGameWithScore(int score) {
    LeaveMainMenu();
    drive.Frame();
    GameRace().Score = score;
    OpenPopup(8);
    drive.Frame();
    ASSERT_EQ(Shell.PopupKind, 8);
  }

  // Name entry, Enter, and the send question's default selection checked.
  void EnterName(const std::string& name) {
    drive.Type(name);
    ASSERT_EQ(Shell.PlayerName, name);
    drive.Key(VK_RETURN);
    ASSERT_EQ(Shell.PopupKind, 9);
    ASSERT_EQ(Shell.HoverItem, 11) << "Yes is the default";
  }

  void ExpectOnHighScoreScreen() {
    EXPECT_EQ(Shell.PopupKind, 0);
    EXPECT_EQ(Shell.CurrentScreen, scrHighScores);
    EXPECT_EQ(Shell.HoverItem, 9);
    EXPECT_TRUE(Sys_CursorVisible());
    EXPECT_EQ(GameSpriteEngine().SpriteCount, plainSpriteCount_)
        << "a fresh main menu under the high-score screen, and nothing left of the popups";
  }

  std::string savedServer_;
  int plainSpriteCount_ = 0;
};

TEST_F(EndOfGame, NoShowsTheNewEntryBelowAnEqualScore) {
  EndGameWithScore(8000);  // equal to slot 3 of the default table
  EnterName("Rider");
  Tap('N');
  ExpectOnHighScoreScreen();
  EXPECT_EQ(HighScores[3].Name, "ANONYMOUS");
  EXPECT_EQ(HighScores[3].Score, 8000);
  EXPECT_EQ(HighScores[4].Name, "Rider");
  EXPECT_EQ(HighScores[4].Score, 8000);
  EXPECT_EQ(HighScores[5].Score, 7000);
  EXPECT_EQ(HighScores[10].Score, 2000);
  EXPECT_EQ(HighScores[11].Score, 1000) << "the old tenth entry fell out";

  Tap(VK_ESCAPE);
  EXPECT_EQ(Shell.CurrentScreen, scrMainMenu);
  EXPECT_EQ(Shell.HoverItem, 4);
}

TEST_F(EndOfGame, YesShowsSendingForAFrameThenSendsThenShowsTheTable) {
  RecordingServer server;
  SetScoreServer(server.Address());
  EndGameWithScore(12345);
  EnterName("AB");
  drive.Press(VK_RETURN);
  EXPECT_EQ(Shell.PopupKind, 10);
  drive.Frame();
  drive.Release(VK_RETURN);
  EXPECT_EQ(Shell.PopupKind, 10) << "\"Sending...\" stays on the screen for a frame";
  EXPECT_TRUE(server.Received().empty()) << "nothing is sent before that frame";
  drive.Frame();
  ExpectOnHighScoreScreen();
  EXPECT_EQ(HighScores[1].Name, "AB");
  EXPECT_EQ(HighScores[1].Score, 12345);

  const auto received = server.Received();
  ASSERT_EQ(received.size(), 1u);
  const httplib::Request& request = received[0];
  EXPECT_EQ(request.method, "GET");
  const std::string prefix = "/cgi/version.pl?hs&prg=ZuboKranz&inf=";
  ASSERT_EQ(request.target.compare(0, prefix.size(), prefix), 0) << request.target;
  const std::string code = request.target.substr(prefix.size());
  EXPECT_EQ(code.size(), 80u);
  EXPECT_EQ(DecodeSubmission(code), "type=0|name=AB|score=12345|key=X|p=|add=_______|z=");
  EXPECT_EQ(request.get_header_value("Accept"), "text/html, */*");
  EXPECT_EQ(request.get_header_value("User-Agent"), "Mozilla/3.0 (compatible; Indy Library)");
}

TEST_F(EndOfGame, CountryTypedOnTheOptionsScreenGoesWithTheScore) {
  RecordingServer server;
  SetScoreServer(server.Address());
  ASSERT_EQ(Shell.HoverItem, 4);
  Tap(VK_UP);
  Tap(VK_RETURN);
  ASSERT_EQ(Shell.CurrentScreen, scrOptions);
  Tap(VK_UP);
  Tap(VK_UP);
  Tap(VK_RETURN);
  ASSERT_TRUE(Shell.CountryEditing);
  for (int i = 0; i < 7; ++i) drive.Key(VK_BACK);
  drive.Type("Costa Rica");
  Tap(VK_ESCAPE);
  Tap(VK_ESCAPE);
  ASSERT_EQ(Shell.CurrentScreen, scrMainMenu);

  EndGameWithScore(15000);
  EnterName("");
  Tap('Y');
  drive.Frame();
  ASSERT_EQ(Shell.CurrentScreen, scrHighScores);
  const auto received = server.Received();
  ASSERT_EQ(received.size(), 1u);
  const std::string prefix = "/cgi/version.pl?hs&prg=ZuboKranz&inf=";
  EXPECT_EQ(DecodeSubmission(received[0].target.substr(prefix.size())),
            "type=0|name=|score=15000|key=X|p=|add=Costa Rica|z=0000");
}

TEST_F(EndOfGame, RefusedServerStillReachesTheTable) {
  SilentSocket port(false);
  SetScoreServer(port.Address());
  EndGameWithScore(9500);
  EnterName("Lee");
  drive.Key(VK_RETURN);
  drive.Frame();
  ExpectOnHighScoreScreen();
  EXPECT_EQ(HighScores[2].Name, "Lee");
}

TEST_F(EndOfGame, SecondGameOffersTheNameTypedInTheFirst) {
  EndGameWithScore(9500);
  EnterName("Rider");
  Tap('N');
  ASSERT_EQ(Shell.CurrentScreen, scrHighScores);
  Tap(VK_ESCAPE);
  EndGameWithScore(8500);
  EXPECT_EQ(Shell.PlayerName, "Rider");
  drive.Key(VK_BACK);
  drive.Type("a");
  drive.Key(VK_RETURN);
  ASSERT_EQ(Shell.PopupKind, 9);
  Tap('N');
  EXPECT_EQ(HighScores[2].Name, "Rider");
  EXPECT_EQ(HighScores[4].Name, "Ridea");
}

TEST_F(EndOfGame, NameTakesTwelveNameCharactersAtMost) {
  EndGameWithScore(9500);
  drive.Type("Ab-1_c!d efghijklmnop");
  EXPECT_EQ(Shell.PlayerName, "Ab1cd efghij");
}

}  // namespace
