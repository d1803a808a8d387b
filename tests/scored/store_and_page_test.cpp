// The SQLite store's files it cannot use (see store_test.cpp for what every store does) and the
// world list's page and JSON.
#include <gmock/gmock.h>

#include "scored_test_util.h"

namespace {

using ::testing::HasSubstr;
using ::testing::Not;
using scored_test::TempDir;
const auto Sql = scored_test::SqliteValue;

TEST(SqliteStore, RefusesFilesItCannotUseAndNamesThem) {
  const TempDir dir;
  const auto write = [&](const char* name, const std::string& text) {
    std::ofstream((dir.Path() / name).string()) << text;
    return (dir.Path() / name).string();
  };
  const std::string newer = (dir.Path() / "newer.db").string();
  scored::OpenSqliteStore(newer).reset();
  Sql(newer, "PRAGMA user_version = 99");
  const std::string foreign = (dir.Path() / "foreign.db").string();
  Sql(foreign, "CREATE TABLE other (x)");

  const std::string paths[] = {
      write("text.db", "these are not the scores you are looking for\n" + std::string(200, 'x')),
      newer,
      foreign,
      (dir.Path() / "missing-folder" / "scores.db").string(),
  };
  for (const std::string& path : paths) {
    try {
      scored::OpenSqliteStore(path);
      ADD_FAILURE() << path << " opened";
    } catch (const scored::StoreError& e) {
      EXPECT_THAT(e.what(), HasSubstr(path));
    }
  }
  EXPECT_EQ(Sql(newer, "PRAGMA user_version"), 99) << "a newer file is left as it was";
}

std::vector<scored::ScoreRow> Rows(std::initializer_list<std::tuple<int64_t, const char*, int64_t, int64_t>> rows) {
  std::vector<scored::ScoreRow> out;
  for (const auto& [id, name, score, at] : rows) out.push_back({id, name, score, "_______", at});
  return out;
}

TEST(WorldPage, RanksSharedByEqualScoresAndTheNewestOfTheLastMinuteMarked) {
  const int64_t now = 1'800'000'000;
  const auto rows = Rows({{4, "A", 900, now - 500}, {2, "B", 800, now - 30}, {5, "C", 800, now - 10}, {1, "D", 700, now - 5},
                          {3, "E", 600, now - 90}});
  const JsonValue list = ParseJson(scored::WorldPageJson(rows, now));
  const std::vector<JsonValue>& scores = list.Find("scores")->Array;
  ASSERT_EQ(scores.size(), 5u);
  const double ranks[] = {1, 2, 2, 4, 5};
  const bool marked[] = {false, false, true, false, false};  // C: the highest id of the last minute
  for (size_t i = 0; i < 5; ++i) {
    EXPECT_EQ(scores[i].Find("rank")->Number, ranks[i]) << i;
    EXPECT_EQ(scores[i].Find("new")->Bool, marked[i]) << i;
  }
  EXPECT_EQ(scores[0].Find("received")->String, "2027-01-15T07:51:40Z");

  const std::string page = scored::WorldPageHtml(rows, now);
  EXPECT_THAT(page, HasSubstr("<tr class=\"new\"><td class=\"rank\">2</td><td class=\"name\">C</td>"));
  EXPECT_THAT(page, HasSubstr("<td class=\"date\">2027-01-15</td>"));

  EXPECT_THAT(scored::WorldPageJson(rows, now + 61), Not(HasSubstr("\"new\":true"))) << "a minute later";
  EXPECT_THAT(scored::WorldPageHtml({}, now), HasSubstr("No scores yet"));
}

TEST(WorldPage, EveryTextIsEscaped) {
  const std::vector<scored::ScoreRow> rows = {{1, "<b>&'\"", 5, "<script>x</script>", 0}};
  const std::string page = scored::WorldPageHtml(rows, 0);
  EXPECT_THAT(page, HasSubstr("<td class=\"name\">&lt;b&gt;&amp;&#39;&quot;</td>"));
  EXPECT_THAT(page, HasSubstr("&lt;script&gt;x&lt;/script&gt;"));
  EXPECT_THAT(page, Not(HasSubstr("<script")));
  EXPECT_EQ(scored::HtmlEscape("a\x01\x7F\xE9"), "a\xEF\xBF\xBD\xEF\xBF\xBD&#233;");
  const JsonValue list = ParseJson(scored::WorldPageJson(rows, 0));
  EXPECT_EQ(list.Find("scores")->Array[0].Find("name")->String, "<b>&'\"");
}

TEST(WorldPage, IsOneSelfContainedPageForPhonesAndDarkThemes) {
  const std::string page = scored::WorldPageHtml({}, 0);
  EXPECT_EQ(page.rfind("<!DOCTYPE html>", 0), 0u);
  EXPECT_THAT(page, HasSubstr("name=\"viewport\""));
  EXPECT_THAT(page, HasSubstr("prefers-color-scheme: dark"));
  EXPECT_THAT(page, HasSubstr("@media (max-width"));
  for (const char* external : {"src=", "href=", "@import", "url("}) EXPECT_THAT(page, Not(HasSubstr(external))) << external;
}

}  // namespace
