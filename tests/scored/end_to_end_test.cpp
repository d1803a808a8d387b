// End to end: the real game, run headless by zkplay, finishes a game, enters a name, sends the
// score to a real zkscored, and the entry shows on the world list.
#include <gmock/gmock.h>

#include "scored_test_util.h"

namespace {

using scored_test::ServerProcess;
using scored_test::TempDir;
namespace fs = std::filesystem;

TEST(EndToEnd, ScoreSentFromTheGameAppearsOnTheWorldList) {
  const TempDir dir;
  ServerProcess server({"--listen", "127.0.0.1:0", "--db", (dir.Path() / "scores.db").string()}, dir.Path() / "log.txt");
  const int port = server.WaitForPort();
  ASSERT_GT(port, 0) << server.Log();

  // A copy of the game folder, so the run's saved files stay in this test.
  const fs::path game = dir.Path() / "game";
  fs::copy(ZK_GAME_DIR, game, fs::copy_options::recursive);
  const fs::path script = dir.Path() / "send.zk";
  std::ofstream(script) << R"(wait 300
endgame 23456        # a finished game whose score makes the table
expect PopupKind 8
type Net Rider
key enter
expect PopupKind 9
key enter            # send: Yes
expect PopupKind 10
wait 3
expect CurrentScreen 4
)";
  const std::string command = std::string(ZK_BIN_DIR) + "/zkplay --data " + game.string() +
                              " --score-server http://127.0.0.1:" + std::to_string(port) + " " + script.string() +
                              " >" + (dir.Path() / "zkplay.txt").string() + " 2>&1";
  const int status = std::system(command.c_str());
  std::ifstream out(dir.Path() / "zkplay.txt");
  const std::string output((std::istreambuf_iterator<char>(out)), std::istreambuf_iterator<char>());
  ASSERT_EQ(status, 0) << output;

  httplib::Client client("127.0.0.1", port);
  const std::vector<JsonValue> list = scored_test::JsonList(client);
  ASSERT_EQ(list.size(), 1u) << server.Log();
  EXPECT_EQ(list[0].Find("name")->String, "Net Rider");
  EXPECT_EQ(list[0].Find("score")->Number, 23456);
  EXPECT_EQ(list[0].Find("country")->String, "_______");
  EXPECT_TRUE(list[0].Find("new")->Bool);
}

}  // namespace
