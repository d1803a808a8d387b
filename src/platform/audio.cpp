// Placeholder audio device: silent until the mixer backend lands. Records every call.
#include "platform/platform.h"

namespace {
std::vector<std::string> callLog;
}

void Snd_Init() {}
void Snd_Shutdown() {}
void Snd_SetWaves(const TWaveCollection&) {}
void Snd_Play(int index) { callLog.push_back("play " + std::to_string(index)); }
void Snd_Stop(int index) { callLog.push_back("stop " + std::to_string(index)); }
bool Snd_Playing(int) { return false; }
int Mus_Load(const std::string&) { return 0; }
void Mus_Play(int) {}
void Mus_Stop() {}
void Mus_Free(int) {}
std::vector<std::string>& Snd_CallLog() { return callLog; }
