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

// The recorder's and the player's state; a fresh one is the state of program start, which every
// run of the game starts from (and the start of a playback).
struct TSession {
  TReplayMode Mode = TReplayMode::Off;
  TReplay Record;
  // Playback: the frame about to be given, the next event, and the frame timing in effect.
  size_t NextFrame = 0, NextEvent = 0;
  bool PlaybackEnded = false;
  std::string PlaybackProblem;
  // Playback: the first frame whose checkpoint differed from the record's (0: none did).
  uint32_t DivergedAtFrame = 0;
  // The frame timing last written to the record (recording) or read from it (playback).
  bool TimingKnown = false;
  int32_t TimingFrameMs = 0;
  double TimingSpeedFactor = 0;
};

TSession session;

const TRunStateRenewal renewal([] { session = TSession{}; });

void ApplyTiming() {
  if (!session.TimingKnown) return;
  FrameTimeMs = session.TimingFrameMs;
  SpeedFactor = session.TimingSpeedFactor;
}

// Recording: stops when the game outgrows what a replay file may hold; the game goes on.
bool RoomFor(size_t frames, size_t events) {
  if (frames <= MaxReplayFrames && events <= MaxReplayEvents) return true;
  std::fprintf(stderr, "This game is too long for a replay; it is not recorded.\n");
  session.Mode = TReplayMode::Off;
  return false;
}

void PushEvent(uint8_t kind, uint8_t popup, int32_t value, double real) {
  if (!RoomFor(session.Record.Frames.size() + 1, session.Record.Events.size() + 1)) return;
  session.Record.Events.push_back(
      TReplayEvent{static_cast<uint32_t>(session.Record.Frames.size()), kind, popup, value, real});
}

// Recording: a timing event when the frame timing differs from the one last recorded.
void NoteTiming() {
  if (session.TimingKnown && session.TimingFrameMs == FrameTimeMs && session.TimingSpeedFactor == SpeedFactor) return;
  session.TimingKnown = true;
  session.TimingFrameMs = FrameTimeMs;
  session.TimingSpeedFactor = SpeedFactor;
  PushEvent(rekTiming, 0, FrameTimeMs, SpeedFactor);
}

}  // namespace

TReplayMode ReplayMode() { return session.Mode; }

void StartReplayGame(int vehicle) {
  if (session.Mode == TReplayMode::Playing) {
    RandSeed(session.Record.Seed);
    // The race is built under the timing its game started with: the record's first.
    if (const TReplayEvent* first = session.Record.Events.empty() ? nullptr : &session.Record.Events.front();
        first != nullptr && first->Frame == 0 && first->Kind == rekTiming) {
      session.TimingKnown = true;
      session.TimingFrameMs = first->Value;
      session.TimingSpeedFactor = first->Real;
      ApplyTiming();
    }
    return;
  }
  const uint64_t seed = RandBits64();
  RandSeed(seed);
  session.Mode = TReplayMode::Recording;
  session.Record.Seed = seed;
  session.Record.Vehicle = static_cast<uint8_t>(vehicle);
  session.Record.RefreshRate = RefreshRate;
  session.Record.Frames.clear();
  session.Record.Events.clear();
  session.Record.Checkpoints.clear();
  session.Record.Frames.reserve(kFramesReserved);
  session.Record.Events.reserve(kEventsReserved);
  session.Record.Checkpoints.reserve(kFramesReserved / ReplayChecksumInterval);
  session.TimingKnown = false;
  // The timing the race is built under comes first (a frame's own follows when it differs).
  NoteTiming();
}

bool EndReplayGame(int32_t score, int32_t lives, int32_t level) {
  if (session.Mode == TReplayMode::Recording) {
    session.Mode = TReplayMode::Off;
    session.Record.FinalScore = score;
    session.Record.FinalLives = lives;
    session.Record.FinalLevel = level;
    if (!session.Record.Frames.empty()) WriteToSaveFolder(ReplayFileName, EncodeReplay(session.Record));
    return false;
  }
  if (session.Mode != TReplayMode::Playing) return false;
  session.PlaybackEnded = true;
  const TReplay& record = session.Record;
  if (session.NextFrame != record.Frames.size() || score != record.FinalScore || lives != record.FinalLives ||
      level != record.FinalLevel) {
    session.PlaybackProblem = "the game ended after " + std::to_string(session.NextFrame) + " frames with score " +
                              std::to_string(score) + ", " + std::to_string(lives) + " lives on level " +
                              std::to_string(level) + ", but was recorded ending after " +
                              std::to_string(record.Frames.size()) + " frames with score " +
                              std::to_string(record.FinalScore) + ", " + std::to_string(record.FinalLives) +
                              " lives on level " + std::to_string(record.FinalLevel);
  }
  return true;
}

void DropReplayGame() {
  if (session.Mode == TReplayMode::Recording) session.Mode = TReplayMode::Off;
}

void RecordReplayFrame(int lagCount, const TRaceInput& raceInput) {
  if (session.Mode != TReplayMode::Recording) return;
  NoteTiming();
  if (session.Mode != TReplayMode::Recording || !RoomFor(session.Record.Frames.size() + 1, session.Record.Events.size()))
    return;
  session.Record.Frames.push_back(TReplayFrame{PackRaceInput(raceInput), PackKeyEdges(),
                                               static_cast<uint16_t>(std::clamp(lagCount, 0, kMaxStoredLag))});
}

bool ReplayCheckpointDue() {
  const size_t frames = session.Mode == TReplayMode::Recording ? session.Record.Frames.size()
                        : session.Mode == TReplayMode::Playing && !session.PlaybackEnded ? session.NextFrame
                                                                                         : 0;
  return frames != 0 && frames % ReplayChecksumInterval == 0;
}

void ReplayCheckpoint(uint32_t raceState) {
  if (session.Mode == TReplayMode::Recording) {
    if (RoomFor(session.Record.Frames.size(), session.Record.Events.size()))
      session.Record.Checkpoints.push_back(raceState);
    return;
  }
  if (session.Mode != TReplayMode::Playing || session.DivergedAtFrame != 0) return;
  const size_t k = session.NextFrame / ReplayChecksumInterval - 1;
  if (k < session.Record.Checkpoints.size() && session.Record.Checkpoints[k] != raceState)
    session.DivergedAtFrame = static_cast<uint32_t>(session.NextFrame);
}

void RecordReplayEvent(uint8_t kind, uint8_t popup, int32_t value) {
  if (session.Mode != TReplayMode::Recording) return;
  NoteTiming();
  if (session.Mode == TReplayMode::Recording) PushEvent(kind, popup, value, 0);
}

void StartPlayback(TReplay replay) {
  session = TSession{};
  session.Record = std::move(replay);
  session.Mode = TReplayMode::Playing;
}

bool NextPlaybackEvent(TReplayEvent& event) {
  if (session.Mode != TReplayMode::Playing || session.PlaybackEnded) return false;
  const std::vector<TReplayEvent>& events = session.Record.Events;
  while (session.NextEvent < events.size() && events[session.NextEvent].Frame == session.NextFrame) {
    event = events[session.NextEvent++];
    if (event.Kind != rekTiming) return true;
    session.TimingKnown = true;
    session.TimingFrameMs = event.Value;
    session.TimingSpeedFactor = event.Real;
    ApplyTiming();
  }
  return false;
}

const TReplayFrame* NextPlaybackFrame(int& lagCount) {
  if (session.Mode != TReplayMode::Playing || session.PlaybackEnded) return nullptr;
  if (session.NextFrame >= session.Record.Frames.size()) {
    session.PlaybackEnded = true;
    session.PlaybackProblem =
        "the record ended after " + std::to_string(session.NextFrame) + " frames, before its game did";
    return nullptr;
  }
  ApplyTiming();
  const TReplayFrame& frame = session.Record.Frames[session.NextFrame++];
  lagCount = frame.Lag;
  return &frame;
}

void ApplyRecordedEdges(const TReplayFrame& frame) { UnpackKeyEdges(frame.Edges); }

bool PlaybackEnded() { return session.Mode == TReplayMode::Playing && session.PlaybackEnded; }

void EndPlayback() {
  if (session.Mode == TReplayMode::Playing && !session.PlaybackEnded) {
    session.PlaybackEnded = true;
    session.PlaybackProblem = "stopped after " + std::to_string(session.NextFrame) + " of " +
                              std::to_string(session.Record.Frames.size()) + " frames";
  }
}

std::string ReplayPlaybackProblem() {
  if (session.DivergedAtFrame == 0) return session.PlaybackProblem;
  const std::string diverged =
      "the race's state first differed from the record at frame " + std::to_string(session.DivergedAtFrame);
  return session.PlaybackProblem.empty() ? diverged : diverged + "; " + session.PlaybackProblem;
}

uint32_t ReplayFrameCount() {
  return static_cast<uint32_t>(session.Mode == TReplayMode::Playing ? session.NextFrame
                                                                     : session.Record.Frames.size());
}
