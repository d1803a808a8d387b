// Helpers shared by the audio tests.
#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <vector>

#include "audio_xm.h"

// The smallest playable module: one channel, one pattern with one note of a looped square wave.
inline std::vector<uint8_t> TinyModule() {
  TXmModule m;
  m.Name = "tiny";
  m.Channels = 1;
  m.Orders = {0};
  TXmPattern p;
  p.Rows = 16;
  p.Cells.resize(16);
  p.Cells[0] = TXmCell{49, 1, 0, 0, 0};
  m.Patterns.push_back(p);
  TXmInstrument in;
  in.Name = "square";
  for (int i = 0; i < 64; ++i) in.Sample.push_back(i < 32 ? 8000 : -8000);
  in.Loop = true;
  m.Instruments.push_back(in);
  return WriteXm(m);
}

inline void WriteBytes(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
  std::filesystem::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}
