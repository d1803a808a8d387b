// A temporary save folder and a clean start for the shared globals.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "save/save.h"
#include "save/save_local.h"

class SaveFolderTest : public ::testing::Test {
protected:
  void SetUp() override {
    char pattern[] = "/tmp/zk_save_XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    folder_ = pattern;
    paths_ = SaveFilePathsIn(folder_.string());
    // The state before start-up.
    Options = TGameOptions{false, false, false, ""};
    BossKeyShift = 0;
    BossKey = 0;
    HighScores.fill(THighScore{});
    StoredHighScoreDigest.clear();
  }
  void TearDown() override {
    SetSaveStepHook(nullptr);
    std::error_code ec;
    std::filesystem::remove_all(folder_, ec);
  }

  std::string PathOf(const std::string& name) const { return (folder_ / name).string(); }
  bool Exists(const std::string& name) const { return std::filesystem::exists(folder_ / name); }

  static std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
  }
  static void WriteBytes(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
  }
  // Replaces the first `from` in the file by `to`.
  static void EditFile(const std::string& path, const std::string& from, const std::string& to) {
    std::string bytes = ReadBytes(path);
    const size_t at = bytes.find(from);
    ASSERT_NE(at, std::string::npos) << from << " not in " << path;
    WriteBytes(path, bytes.replace(at, from.size(), to));
  }

  std::filesystem::path folder_;
  TSaveFilePaths paths_;
};

// The default files, byte for byte.
inline const std::string DefaultHighScoreDigestBytes = "\x38\x8C\x96\x8C\xCA\xE2\xF6\x52\x3E";
inline const std::string DefaultOptionsFile =
    "0\r\n1\r\n1\r\n_______\r\n1\r\n9\r\n" + DefaultHighScoreDigestBytes + "\r\n";
inline const std::string DefaultHighScoreFile =
    "ANONYMOUS\r\n10000\r\nANONYMOUS\r\n9000\r\nANONYMOUS\r\n8000\r\nANONYMOUS\r\n7000\r\n"
    "ANONYMOUS\r\n6000\r\nANONYMOUS\r\n5000\r\nANONYMOUS\r\n4000\r\nANONYMOUS\r\n3000\r\n"
    "ANONYMOUS\r\n2000\r\nANONYMOUS\r\n1000\r\n";
