// zk_web_low_table FOLDER: writes the options and high-score files of a fresh game whose table
// holds only low scores (100 down to 10), with the game's own save code, so the browser test can
// put them into the page's save folder and reach the name entry with any finished game.
#include <cstdio>

#include "save/save.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: zk_web_low_table FOLDER\n");
    return 2;
  }
  ResetOptions();
  for (int n = 1; n <= HighScoreTableSize; ++n) HighScores[n] = THighScore{DefaultHighScoreName, 10 * (11 - n)};
  const std::string problem = SaveSaveFiles(SaveFilePathsIn(argv[1]));
  if (!problem.empty()) return 1;  // SaveSaveFiles has said why
  return 0;
}
