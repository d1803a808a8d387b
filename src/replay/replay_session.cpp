// The game's recorder and player.
#include <algorithm>
#include <cstdio>

#include "replay/replay.h"
#include "save/save.h"

namespace {

// Room for a long game (about 25 minutes at 85 Hz) reserved when the first game starts, so that
// recording a frame does not allocate; a longer game grows the buffer now and then.
constexpr size_t kFramesReserved = 131072, kEventsReserved = 4096;
constexpr int kMaxStoredLag = 65535;
TReplayMode mode = TReplayMode::Off;
TReplay record;
// Playback: the frame about to be given, the next event, and the frame timing in effect.
size_t nextFrame = 0, nextEvent = 0;
bool playbackEnded = false;
std::string playbackProblem;
// The frame timing last written to the record (recording) or read from it (playback).
bool timingKnown = false;
int32_t timingFrameMs = 0;
double timingSpeedFactor = 0;

void ApplyTiming() {
  if (!timingKnown) return;
  FrameTimeMs = timingFrameMs;
  SpeedFactor = timingSpeedFactor;
}

// Recording: stops when the game outgrows what a replay file may hold; the game goes on.
bool RoomFor(size_t frames, size_t events) {
  if (frames <= MaxReplayFrames && events <= MaxReplayEvents) return true;
  std::fprintf(stderr, "This game is too long for a replay; it is not recorded.\n");
  mode = TReplayMode::Off;
  return false;
}

void PushEvent(uint8_t kind, uint8_t popup, int32_t value, double real) {
  if (!RoomFor(record.Frames.size() + 1, record.Events.size() + 1)) return;
  record.Events.push_back(TReplayEvent{static_cast<uint32_t>(record.Frames.size()), kind, popup, value, real});
}

// Recording: a timing event when the frame timing differs from the one last recorded.
void NoteTiming() {
  if (timingKnown && timingFrameMs == FrameTimeMs && timingSpeedFactor == SpeedFactor) return;
  timingKnown = true;
  timingFrameMs = FrameTimeMs;
  timingSpeedFactor = SpeedFactor;
  PushEvent(rekTiming, 0, FrameTimeMs, SpeedFactor);
}

}  // namespace

TReplayMode ReplayMode() { return mode; }

void ForgetReplay() {
  mode = TReplayMode::Off;
  record = TReplay{};
  nextFrame = nextEvent = 0;
  playbackEnded = false;
  playbackProblem.clear();
  timingKnown = false;
}

void StartReplayGame(int vehicle) {
  if (mode == TReplayMode::Playing) {
    RandSeed(record.Seed);
    return;
  }
  const uint64_t seed = RandBits64();
  RandSeed(seed);
  mode = TReplayMode::Recording;
  record.Seed = seed;
  record.Vehicle = static_cast<uint8_t>(vehicle);
  record.RefreshRate = RefreshRate;
  record.Frames.clear();
  record.Events.clear();
  record.Frames.reserve(kFramesReserved);
  record.Events.reserve(kEventsReserved);
  timingKnown = false;
}

bool EndReplayGame(int32_t score, int32_t lives, int32_t level) {
  if (mode == TReplayMode::Recording) {
    mode = TReplayMode::Off;
    record.FinalScore = score;
    record.FinalLives = lives;
    record.FinalLevel = level;
    if (!record.Frames.empty()) WriteToSaveFolder(ReplayFileName, EncodeReplay(record));
    return false;
  }
  if (mode != TReplayMode::Playing) return false;
  playbackEnded = true;
  if (nextFrame != record.Frames.size() || score != record.FinalScore || lives != record.FinalLives ||
      level != record.FinalLevel) {
    playbackProblem = "the game ended after " + std::to_string(nextFrame) + " frames with score " +
                      std::to_string(score) + ", " + std::to_string(lives) + " lives on level " +
                      std::to_string(level) + ", but was recorded ending after " +
                      std::to_string(record.Frames.size()) + " frames with score " +
                      std::to_string(record.FinalScore) + ", " + std::to_string(record.FinalLives) +
                      " lives on level " + std::to_string(record.FinalLevel);
  }
  return true;
}

void DropReplayGame() {
  if (mode == TReplayMode::Recording) mode = TReplayMode::Off;
}

void RecordReplayFrame(int lagCount, const TRaceInput& raceInput) {
  if (mode != TReplayMode::Recording) return;
  NoteTiming();
  if (mode != TReplayMode::Recording || !RoomFor(record.Frames.size() + 1, record.Events.size())) return;
  record.Frames.push_back(
      TReplayFrame{PackRaceInput(raceInput), PackKeyEdges(), static_cast<uint16_t>(std::clamp(lagCount, 0, kMaxStoredLag))});
}

void RecordReplayEvent(uint8_t kind, uint8_t popup, int32_t value) {
  if (mode != TReplayMode::Recording) return;
  NoteTiming();
  if (mode == TReplayMode::Recording) PushEvent(kind, popup, value, 0);
}

void StartPlayback(TReplay replay) {
  ForgetReplay();
  record = std::move(replay);
  mode = TReplayMode::Playing;
}

bool NextPlaybackEvent(TReplayEvent& event) {
  if (mode != TReplayMode::Playing || playbackEnded) return false;
  while (nextEvent < record.Events.size() && record.Events[nextEvent].Frame == nextFrame) {
    event = record.Events[nextEvent++];
    if (event.Kind != rekTiming) return true;
    timingKnown = true;
    timingFrameMs = event.Value;
    timingSpeedFactor = event.Real;
    ApplyTiming();
  }
  return false;
}

const TReplayFrame* NextPlaybackFrame(int& lagCount) {
  if (mode != TReplayMode::Playing || playbackEnded) return nullptr;
  if (nextFrame >= record.Frames.size()) {
    playbackEnded = true;
    playbackProblem = "the record ended after " + std::to_string(nextFrame) + " frames, before its game did";
    return nullptr;
  }
  ApplyTiming();
  const TReplayFrame& frame = record.Frames[nextFrame++];
  lagCount = frame.Lag;
  return &frame;
}

void ApplyRecordedEdges(const TReplayFrame& frame) { UnpackKeyEdges(frame.Edges); }

bool PlaybackEnded() { return mode == TReplayMode::Playing && playbackEnded; }

void EndPlayback() {
  if (mode == TReplayMode::Playing && !playbackEnded) {
    playbackEnded = true;
    playbackProblem = "stopped after " + std::to_string(nextFrame) + " of " + std::to_string(record.Frames.size()) + " frames";
  }
}

std::string ReplayPlaybackProblem() { return playbackProblem; }

uint32_t ReplayFrameCount() {
  return static_cast<uint32_t>(mode == TReplayMode::Playing ? nextFrame : record.Frames.size());
}
