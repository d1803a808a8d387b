// libFuzzer entry for what the score server reads from the network: the code of a submission
// (decoded, parsed and judged) and the payload parser on raw bytes. Whatever is accepted must
// encode back to the same code, and the world list built from it must escape everything.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "online/score_code.h"
#include "zkscored/scored.h"

namespace {

void Check(bool ok, const char* what) {
  if (ok) return;
  std::fprintf(stderr, "broken: %s\n", what);
  std::abort();
}

void CheckAccepted(std::string_view code, const scored::Submission& entry) {
  const std::string again = BitTextToCode(BytesToBitText(ScorePayload(entry.Name, entry.Score, entry.Country)));
  Check(again == code, "an accepted code encodes back to itself");
  // One row of markup and nothing else: 12 tags between <tbody> and </tbody>.
  const std::string page = scored::WorldPageHtml({{1, entry.Name, entry.Score, entry.Country, 0}}, 0);
  const size_t from = page.find("<tbody>") + 7, to = page.find("</tbody>");
  Check(to != std::string::npos && std::count(page.begin() + from, page.begin() + to, '<') == 12, "every text escaped");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);

  const scored::SubmissionCheck check = scored::CheckSubmission(input);
  Check(check.Valid.has_value() != !check.Error.empty(), "either valid or a reason");
  if (check.Valid) CheckAccepted(input, *check.Valid);

  // The same bytes as a payload, and encoded as the game would send them.
  const ScorePayloadParse parsed = ParseScorePayload(input);
  if (parsed.Fields) Check(parsed.Fields->Name.find('|') == std::string_view::npos, "no | inside a field");
  const std::string code = BitTextToCode(BytesToBitText(input));
  Check(DecodeSubmissionCode(code) == input, "decoding undoes encoding");
  const scored::SubmissionCheck encoded = scored::CheckSubmission(code);
  if (encoded.Valid) CheckAccepted(code, *encoded.Valid);
  return 0;
}
