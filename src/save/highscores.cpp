// The high-score table, its digest and its file.
#include <algorithm>
#include <utility>

#include "save/save.h"
#include "save/save_local.h"

namespace {

constexpr int32_t DefaultScore(int slot) { return 11000 - 1000 * slot; }

}  // namespace

void ResetHighScores() {
  for (int n = 1; n <= HighScoreTableSize; ++n) HighScores[n] = THighScore{DefaultHighScoreName, DefaultScore(n)};
}

std::string HighScoreDigest() {
  size_t length = 0;
  for (int n = 1; n <= HighScoreTableSize; ++n)
    length = std::max({length, HighScores[n].Name.size(), std::to_string(HighScores[n].Score).size()});
  std::string digest(length, ' ');
  const auto fold = [&digest](const std::string& text) {
    for (size_t j = 0; j < text.size(); ++j)
      digest[j] = static_cast<char>(DigestStep(static_cast<uint8_t>(digest[j]), static_cast<uint8_t>(text[j])));
  };
  for (int n = 1; n <= HighScoreTableSize; ++n) {
    fold(HighScores[n].Name);
    fold(std::to_string(HighScores[n].Score));
  }
  return digest;
}

bool HighScoreDigestValid() { return HighScoreDigest() == StoredHighScoreDigest; }

bool ScoreQualifies(int32_t score) {
  return std::any_of(HighScores.begin() + 1, HighScores.begin() + 1 + HighScoreTableSize,
                     [score](const THighScore& entry) { return score > entry.Score; });
}

void InsertHighScore(const std::string& name, int32_t score) {
  HighScores[HighScoreSlotCount] = THighScore{name, score};
  SortHighScores();
}

void SortHighScores() {
  for (int pass = 1; pass < HighScoreSlotCount; ++pass)
    for (int k = 1; k <= HighScoreSlotCount - pass; ++k)
      if (HighScores[k].Score < HighScores[k + 1].Score) SwapHighScores(k, k + 1);
}

void SwapHighScores(int a, int b) { std::swap(HighScores[a], HighScores[b]); }

std::string HighScoreFileText() {
  std::string text;
  for (int n = 1; n <= HighScoreTableSize; ++n) {
    AppendLine(text, HighScores[n].Name);
    AppendLine(text, std::to_string(HighScores[n].Score));
  }
  return text;
}

void LoadHighScores(const std::string& path) {
  std::optional<TSaveReader> reader = TSaveReader::Open(path);
  if (!reader) {
    ResetHighScores();
    return;
  }
  for (int n = 1; n <= HighScoreTableSize; ++n) {
    HighScores[n].Name = reader->ReadLine();
    HighScores[n].Score = reader->ReadInteger();
  }
}

void SaveHighScores(const std::string& path) { WriteSaveFile(path, HighScoreFileText()); }
