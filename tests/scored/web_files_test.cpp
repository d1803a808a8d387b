// zkscored --web: the browser version's files at /play/ with their types, compression and
// caching headers, and the world page's link to them.
#include <gmock/gmock.h>

#include <fstream>

#include "scored_test_util.h"

namespace {

using ::testing::HasSubstr;
using ::testing::Not;
using scored_test::InProcessServer;
using scored_test::TempDir;

void Write(const std::filesystem::path& file, const std::string& bytes) {
  std::ofstream(file, std::ios::binary) << bytes;
}

// A folder as scripts/build-web.sh leaves it, with a file that is not the game's beside.
class WebFolder : public ::testing::Test {
protected:
  void SetUp() override {
    for (int i = 0; i < 4000; ++i) wasm_ += std::string("\0asm block ", 11) + std::to_string(i % 17);
    Write(dir_.Path() / "zubokranz.html", "<html><script src=\"zubokranz.js\"></script></html>");
    Write(dir_.Path() / "zubokranz.js", "var Module = {};");
    Write(dir_.Path() / "zubokranz.wasm", wasm_);
    Write(dir_.Path() / "zubokranz.data", std::string(1000, 'd'));
    Write(dir_.Path() / "notes.txt", "private");
  }
  std::shared_ptr<const scored::WebFiles> Load() const {
    return std::make_shared<const scored::WebFiles>(scored::WebFiles::Load(dir_.Path().string()));
  }
  scored::ServerSettings WithWeb() const {
    scored::ServerSettings settings;
    settings.RateLimitPerMinute = 0;
    settings.Web = Load();
    return settings;
  }

  TempDir dir_;
  TempDir db_;
  std::string wasm_;
};

TEST_F(WebFolder, ServedAtPlayWithTypesAndRevalidation) {
  InProcessServer server(WithWeb(), db_.Path() / "scores.db");
  httplib::Client client = server.Client();

  const httplib::Result bare = client.Get("/play");
  ASSERT_TRUE(bare);
  EXPECT_EQ(bare->status, 302);
  EXPECT_EQ(bare->get_header_value("Location"), "/play/");

  struct Case { const char* target; const char* type; };
  for (const Case& c : {Case{"/play/", "text/html; charset=utf-8"}, Case{"/play/zubokranz.js", "text/javascript; charset=utf-8"},
                        Case{"/play/zubokranz.wasm", "application/wasm"},
                        Case{"/play/zubokranz.data", "application/octet-stream"}}) {
    SCOPED_TRACE(c.target);
    const httplib::Result first = client.Get(c.target);
    ASSERT_TRUE(first);
    EXPECT_EQ(first->status, 200);
    EXPECT_EQ(first->get_header_value("Content-Type"), c.type);
    EXPECT_EQ(first->get_header_value("Cache-Control"), "no-cache");
    const std::string tag = first->get_header_value("ETag");
    ASSERT_FALSE(tag.empty());
    // The browser asks again with the tag it has: nothing to send while the file is the same.
    const httplib::Result again = client.Get(c.target, {{"If-None-Match", tag}});
    ASSERT_TRUE(again);
    EXPECT_EQ(again->status, 304);
    EXPECT_TRUE(again->body.empty());
  }
  for (const char* target : {"/play/notes.txt", "/play/missing.wasm", "/play/..%2Fnotes.txt", "/play/sub/zubokranz.js"}) {
    const httplib::Result result = client.Get(target);
    ASSERT_TRUE(result);
    EXPECT_EQ(result->status, 404) << target;
  }
}

TEST_F(WebFolder, WasmGzippedOnlyForBrowsersThatTakeIt) {
  InProcessServer server(WithWeb(), db_.Path() / "scores.db");
  httplib::Client plain = server.Client();
  plain.set_decompress(false);  // sends no Accept-Encoding and keeps what comes
  const httplib::Result raw = plain.Get("/play/zubokranz.wasm");
  ASSERT_TRUE(raw);
  EXPECT_EQ(raw->get_header_value("Content-Encoding"), "");
  EXPECT_EQ(raw->body, wasm_);

  const httplib::Result packed = plain.Get("/play/zubokranz.wasm", {{"Accept-Encoding", "gzip, deflate"}});
  ASSERT_TRUE(packed);
  EXPECT_EQ(packed->get_header_value("Content-Encoding"), "gzip");
  EXPECT_EQ(packed->get_header_value("Vary"), "Accept-Encoding");
  EXPECT_LT(packed->body.size(), wasm_.size() / 4);

  httplib::Client browser = server.Client();  // decompresses as a browser does
  const httplib::Result unpacked = browser.Get("/play/zubokranz.wasm");
  ASSERT_TRUE(unpacked);
  EXPECT_EQ(unpacked->body, wasm_);
}

TEST_F(WebFolder, WorldPageLinksToTheGameOnlyWhenServed) {
  const std::string page = std::string(WorldHighScoresPathAndQuery);
  {
    InProcessServer server(WithWeb(), db_.Path() / "scores.db");
    httplib::Client client = server.Client();
    EXPECT_THAT(client.Get(page.c_str())->body, HasSubstr("<a href=\"/play/\">"));
  }
  InProcessServer server(0, db_.Path() / "other.db");
  httplib::Client client = server.Client();
  EXPECT_THAT(client.Get(page.c_str())->body, Not(HasSubstr("/play/")));
  EXPECT_EQ(client.Get("/play/")->status, 404);
}

TEST_F(WebFolder, FolderWithoutThePageOrNoFolderIsRefusedByName) {
  std::filesystem::remove(dir_.Path() / "zubokranz.html");
  for (const std::string& folder : {dir_.Path().string(), (dir_.Path() / "none").string()}) {
    try {
      scored::WebFiles::Load(folder);
      ADD_FAILURE() << folder << " was taken";
    } catch (const std::runtime_error& e) {
      EXPECT_THAT(e.what(), HasSubstr(folder));
    }
  }
}

}  // namespace
