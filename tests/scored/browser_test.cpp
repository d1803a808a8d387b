// The world page in a real browser: headless Chromium loads the page zkscored serves, the test
// reads the rendered DOM and keeps screenshots (wide, phone, dark) in the test output folder.
// Skipped only when no Chromium is installed.
#include <gmock/gmock.h>

#include <cstdio>

#include "scored_test_util.h"

namespace {

using ::testing::HasSubstr;
using ::testing::Not;
using scored_test::ServerProcess;
using scored_test::StatusOf;
using scored_test::TempDir;
namespace fs = std::filesystem;

std::string FindChromium() {
  const char* path = std::getenv("PATH");
  std::string dirs = path != nullptr ? path : "/usr/bin:/bin";
  for (size_t start = 0; start <= dirs.size();) {
    const size_t end = std::min(dirs.find(':', start), dirs.size());
    for (const char* name : {"chromium", "chromium-browser"}) {
      const fs::path candidate = fs::path(dirs.substr(start, end - start)) / name;
      if (access(candidate.c_str(), X_OK) == 0) return candidate.string();
    }
    start = end + 1;
  }
  return {};
}

// Runs Chromium headless with a fresh profile and `extra` arguments on `url`; returns its
// standard output. Bounded by `timeout`, its errors kept in the profile folder.
std::string RunChromium(const std::string& chromium, const TempDir& dir, const std::string& extra, const std::string& url) {
  static int run = 0;
  const fs::path profile = dir.Path() / ("profile" + std::to_string(++run));
  fs::create_directories(profile);
  const std::string command = "timeout 180 " + chromium +
                              " --headless --no-sandbox --disable-gpu --disable-quic --no-first-run"
                              " --disable-background-networking --disable-component-update --disable-sync"
                              " --user-data-dir=" + profile.string() + " " + extra + " '" + url + "' 2>" +
                              (profile / "stderr.txt").string();
  std::FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return {};
  std::string out;
  char buffer[4096];
  for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
  pclose(pipe);
  return out;
}

TEST(WorldPageInBrowser, ShowsSubmittedTextEscapedAndLooksRight) {
  const std::string chromium = FindChromium();
  if (chromium.empty()) GTEST_SKIP() << "chromium is not installed";
  const TempDir dir;
  ServerProcess server({"--listen", "127.0.0.1:0", "--db", (dir.Path() / "scores.db").string(), "--rate-limit", "0/MIN"},
                       dir.Path() / "log.txt");
  const int port = server.WaitForPort();
  ASSERT_GT(port, 0) << server.Log();
  httplib::Client client("127.0.0.1", port);
  // Names take only letters, digits and spaces: markup can come only in the country.
  ASSERT_EQ(StatusOf(client, scored_test::SubmissionTarget("<b>X</b>", 9000, "")), 400);
  ASSERT_EQ(StatusOf(client, scored_test::SubmissionTarget("X", 9000, "<b>X</b>")), 200);
  ASSERT_EQ(StatusOf(client, scored_test::SubmissionTarget("Y", 8000, "<img src=x>")), 200);
  for (int i = 1; i <= 6; ++i)
    ASSERT_EQ(StatusOf(client, scored_test::SubmissionTarget("Rider " + std::to_string(i), 1234 * i, "Czech Republic")), 200);

  const std::string url = "http://127.0.0.1:" + std::to_string(port) + std::string(WorldHighScoresPathAndQuery);
  const std::string dom = RunChromium(chromium, dir, "--dump-dom", url);
  ASSERT_THAT(dom, HasSubstr("</table>")) << "no page rendered";
  EXPECT_THAT(dom, HasSubstr("<td class=\"name\">X</td><td class=\"score\">9000</td><td class=\"country\">&lt;b&gt;X&lt;/b&gt;</td>"));
  EXPECT_THAT(dom, HasSubstr("<td class=\"country\">&lt;img src=x&gt;</td>"));
  EXPECT_THAT(dom, Not(HasSubstr("<b>"))) << "no element was injected";
  EXPECT_THAT(dom, Not(HasSubstr("<img")));
  EXPECT_THAT(dom, HasSubstr("<tr class=\"new\"><td class=\"rank\">3</td><td class=\"name\">Rider 6</td>"));

  const fs::path output = ZK_TEST_OUTPUT_DIR;
  fs::create_directories(output);
  struct Shot { const char* file; const char* options; };
  for (const Shot& shot : {Shot{"world-page-wide.png", "--window-size=900,1000"},
                           Shot{"world-page-phone.png", "--window-size=390,844"},
                           Shot{"world-page-dark.png", "--window-size=900,1000 --force-dark-mode"}}) {
    const fs::path file = output / shot.file;
    fs::remove(file);
    RunChromium(chromium, dir, std::string(shot.options) + " --screenshot=" + file.string(), url);
    EXPECT_TRUE(fs::exists(file) && fs::file_size(file) > 1000) << file;
  }
}

}  // namespace
