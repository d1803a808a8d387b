// The world list as a page for the browser and as JSON.
#include <ctime>

#include "scored.h"
#include "zkres/json.h"

namespace scored {
namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD for control characters

constexpr std::string_view kPageHead = R"(<!DOCTYPE html>
<html lang="en">
<head>
<meta charset="utf-8">
<meta name="viewport" content="width=device-width, initial-scale=1">
<title>Zubo Kranz &middot; World High Scores</title>
<style>
:root { color-scheme: light dark; --bg: #eef1f5; --fg: #1b1f24; --panel: #ffffff; --line: #d6dbe1;
  --muted: #5f6b78; --accent: #d9480f; --new: #fff1b8; --new-fg: #5c3d00; }
@media (prefers-color-scheme: dark) {
  :root { --bg: #101318; --fg: #e6e9ee; --panel: #181c23; --line: #2a313b; --muted: #95a1af;
    --accent: #ff8a4c; --new: #4a3a0c; --new-fg: #ffe08a; }
}
* { box-sizing: border-box; }
body { margin: 0; background: var(--bg); color: var(--fg);
  font: 16px/1.4 system-ui, -apple-system, "Segoe UI", Roboto, "DejaVu Sans", sans-serif; }
main { max-width: 48rem; margin: 0 auto; padding: 2rem 1rem 3rem; }
h1 { margin: 0 0 .25rem; font-size: 1.9rem; letter-spacing: .02em; }
h1 span { color: var(--accent); }
p.note { margin: 0 0 1.5rem; color: var(--muted); }
p.play { margin: -1rem 0 1.5rem; font-weight: 600; }
p.play a { color: var(--accent); }
table { width: 100%; border-collapse: collapse; background: var(--panel); border-radius: .5rem;
  overflow: hidden; box-shadow: 0 1px 3px rgba(0, 0, 0, .15); }
th, td { padding: .55rem .8rem; text-align: left; border-bottom: 1px solid var(--line); }
th { font-size: .8rem; text-transform: uppercase; letter-spacing: .06em; color: var(--muted); }
tr:last-child td { border-bottom: 0; }
.rank, .score { text-align: right; font-variant-numeric: tabular-nums; }
.rank { width: 3.5rem; color: var(--muted); }
.score { font-weight: 600; }
.date { color: var(--muted); white-space: nowrap; }
td.name { word-break: break-all; }
tr.new { background: var(--new); }
tr.new td { color: var(--new-fg); }
tr.new td.name::after { content: "new"; margin-left: .5rem; padding: 0 .4rem; border-radius: .3rem;
  font-size: .7rem; text-transform: uppercase; background: var(--accent); color: #fff; }
td.empty { text-align: center; color: var(--muted); padding: 2rem; }
@media (max-width: 36rem) {
  main { padding: 1rem .5rem 2rem; }
  h1 { font-size: 1.5rem; }
  thead { display: none; }
  table, tbody { display: block; }
  tr { display: grid; grid-template-columns: 2.75rem 1fr auto; column-gap: .5rem;
    padding: .5rem .6rem; border-bottom: 1px solid var(--line); }
  tr:last-child { border-bottom: 0; }
  td { display: block; padding: 0; border: 0; }
  td.rank { grid-row: span 2; align-self: center; width: auto; text-align: left; }
  td.country, td.date { font-size: .85rem; color: var(--muted); }
  td.country { grid-column: 2; }
  td.date { grid-column: 3; text-align: right; }
}
</style>
</head>
<body>
<main>
<h1>Zubo Kranz <span>World High Scores</span></h1>
<p class="note">The best 100 results sent from the game.</p>
)";
constexpr std::string_view kPlayLink = R"(<p class="play"><a href="/play/">Play Zubo Kranz in your browser</a></p>
)";
constexpr std::string_view kTableHead = R"(<table>
<thead><tr><th class="rank">Rank</th><th class="name">Name</th><th class="score">Score</th><th class="country">Country</th><th class="date">Date</th></tr></thead>
<tbody>
)";

constexpr std::string_view kPageTail = R"(</tbody>
</table>
</main>
</body>
</html>
)";

struct ListEntry {
  int Rank;
  bool New;
};

// Ranks shared by equal scores (1, 2, 2, 4), and which row is the newest entry of the last minute.
std::vector<ListEntry> RankRows(const std::vector<ScoreRow>& rows, int64_t now) {
  std::vector<ListEntry> entries(rows.size(), ListEntry{0, false});
  size_t newest = rows.size();
  for (size_t i = 0; i < rows.size(); ++i) {
    entries[i].Rank = i > 0 && rows[i].Score == rows[i - 1].Score ? entries[i - 1].Rank : static_cast<int>(i) + 1;
    if (rows[i].ReceivedAt > now - NewEntrySeconds && rows[i].ReceivedAt <= now &&
        (newest == rows.size() || rows[i].Id > rows[newest].Id))
      newest = i;
  }
  if (newest < rows.size()) entries[newest].New = true;
  return entries;
}

std::string FormatTime(int64_t seconds, const char* format) {
  const std::time_t t = static_cast<std::time_t>(seconds);
  std::tm utc{};
  char text[32] = "";
  if (gmtime_r(&t, &utc) != nullptr) std::strftime(text, sizeof text, format, &utc);
  return text;
}

void AppendCell(std::string& out, const char* cls, std::string_view escapedText) {
  out.append("<td class=\"").append(cls).append("\">").append(escapedText).append("</td>");
}

}  // namespace

std::string HtmlEscape(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    const auto u = static_cast<unsigned char>(c);
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&#39;"; break;
      default:
        if (u < 0x20 || u == 0x7F) out += kReplacement;
        else if (u >= 0x80) out += "&#" + std::to_string(u) + ";";  // a single byte read as Latin-1
        else out += c;
    }
  }
  return out;
}

std::string WorldPageHtml(const std::vector<ScoreRow>& rows, int64_t now, bool linkToGame) {
  const std::vector<ListEntry> entries = RankRows(rows, now);
  std::string out(kPageHead);
  out.reserve(out.size() + kPlayLink.size() + kTableHead.size() + rows.size() * 220 + kPageTail.size());
  if (linkToGame) out += kPlayLink;
  out += kTableHead;
  for (size_t i = 0; i < rows.size(); ++i) {
    out += entries[i].New ? "<tr class=\"new\">" : "<tr>";
    AppendCell(out, "rank", std::to_string(entries[i].Rank));
    AppendCell(out, "name", HtmlEscape(rows[i].Name));
    AppendCell(out, "score", std::to_string(rows[i].Score));
    AppendCell(out, "country", HtmlEscape(rows[i].Country));
    AppendCell(out, "date", FormatTime(rows[i].ReceivedAt, "%Y-%m-%d"));
    out += "</tr>\n";
  }
  if (rows.empty()) out += "<tr><td class=\"empty\" colspan=\"5\">No scores yet: be the first!</td></tr>\n";
  out += kPageTail;
  return out;
}

std::string WorldPageJson(const std::vector<ScoreRow>& rows, int64_t now) {
  const std::vector<ListEntry> entries = RankRows(rows, now);
  std::string out = "{\"scores\":[";
  for (size_t i = 0; i < rows.size(); ++i) {
    if (i > 0) out += ',';
    out += "{\"rank\":" + std::to_string(entries[i].Rank);
    out += ",\"name\":" + JsonQuote(rows[i].Name);
    out += ",\"score\":" + std::to_string(rows[i].Score);
    out += ",\"country\":" + JsonQuote(rows[i].Country);
    out += ",\"received\":\"" + FormatTime(rows[i].ReceivedAt, "%Y-%m-%dT%H:%M:%SZ") + "\"";
    out += std::string(",\"new\":") + (entries[i].New ? "true" : "false") + "}";
  }
  return out + "]}\n";
}

}  // namespace scored
