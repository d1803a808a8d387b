// The game's command line.
#include <gtest/gtest.h>

#include <vector>

#include "app/app.h"
#include "headless_game.h"
#include "save/save.h"

namespace {

struct CommandLineCase {
  std::vector<const char*> Args;
  bool Valid;
  TDisplayModeOverride DisplayMode = TDisplayModeOverride::None;
  const char* SaveDir = "";
  const char* DataDir = "";
  TRendererChoice Renderer = TRendererChoice::Auto;
  bool FrameStats = false;
};

TEST(CommandLine, Table) {
  using enum TDisplayModeOverride;
  const CommandLineCase cases[] = {
      {{}, true},
      {{"--fullscreen"}, true, FullScreen},
      {{"--windowed"}, true, Windowed},
      {{"--fullscreen", "--windowed"}, true, Windowed},  // the last one counts
      {{"--save-dir", "/s", "--data", "/d"}, true, None, "/s", "/d"},
      {{"--save-dir", "--windowed"}, true, None, "--windowed"},  // a folder may look like an option
      {{"--save-dir"}, false},
      {{"--data", ""}, false},
      {{"--frobnicate"}, false},
      {{"level2"}, false},
      {{"-f"}, false},
      {{"--renderer", "software", "--frame-stats"}, true, None, "", "", TRendererChoice::Software, true},
      {{"--renderer", "gpu"}, true, None, "", "", TRendererChoice::Gpu},
      {{"--renderer", "auto"}, true, None, "", "", TRendererChoice::Auto},
      {{"--renderer", "opengl"}, false},
      {{"--renderer"}, false},
  };
  for (const CommandLineCase& c : cases) {
    std::vector<char*> argv{const_cast<char*>("zubokranz")};
    std::string shown;
    for (const char* a : c.Args) {
      argv.push_back(const_cast<char*>(a));
      shown += std::string(a) + " ";
    }
    TCommandLine out;
    std::string problem;
    const bool valid = App_ParseCommandLine(static_cast<int>(argv.size()), argv.data(), out, problem);
    EXPECT_EQ(valid, c.Valid) << shown;
    if (!valid) {
      EXPECT_FALSE(problem.empty()) << shown;
      continue;
    }
    EXPECT_EQ(out.DisplayMode, c.DisplayMode) << shown;
    EXPECT_EQ(out.SaveDir, c.SaveDir) << shown;
    EXPECT_EQ(out.DataDir, c.DataDir) << shown;
    EXPECT_EQ(out.Renderer, c.Renderer) << shown;
    EXPECT_EQ(out.FrameStats, c.FrameStats) << shown;
  }
}

// --windowed over a saved full screen: the game starts in its window and keeps it so.
class WindowedOverSavedFullScreen : public HeadlessGame {
  void BeforeStart() override {
    ResetOptions();
    ResetHighScores();
    Options.FullScreen = true;
    ASSERT_EQ(SaveGameFiles(), "");
    App_SetDisplayModeOverride(TDisplayModeOverride::Windowed);
  }
  void TearDown() override {
    App_SetDisplayModeOverride(TDisplayModeOverride::None);
    HeadlessGame::TearDown();
  }
};

TEST_F(WindowedOverSavedFullScreen, StartsWindowedAndSavesIt) {
  EXPECT_FALSE(Options.FullScreen);
  EXPECT_FALSE(Form().MDXDraw.FullScreen);
  Form().SaveAllAndExit();
  LoadOptions();
  EXPECT_FALSE(Options.FullScreen);
}

}  // namespace
