// Where the game keeps its save files.
#include "save/save.h"

std::string OptionsFilePath() { return Sys_DataPath("Data/Save/options"); }
std::string HighScoreFilePath() { return Sys_DataPath("Data/Save/hs"); }
TSaveFilePaths GameSaveFilePaths() { return {OptionsFilePath(), HighScoreFilePath()}; }
