// Replays: every game the player rides is recorded, frame by frame, and a record plays the game
// back exactly (same track, same rivals, same score). This header owns the replay file format.
//
// What a game's course depends on, and so what a record holds: the seed the random generator is
// given at the game's start (StartReplayGame reseeds it), the vehicle, and per frame of the game
// the race's input, the frame's key edges, the frame's lag count and the frame
// timing in use (SpeedFactor, FrameTimeMs). What the window's events did between two frames to
// the race's popups (a mouse hover, an activation by Enter or a click, a popup opened by the
// boss key, a minimise, Alt+Enter or the close button) is kept as events.
//
// The file `last.zkreplay` in the save folder (written when a game ends with its game over or
// its congratulations; a game left through "Exit to menu?" is not kept), version 2. All numbers
// are little-endian; signed ones two's complement, the real one IEEE 754 binary64.
//
//   offset  size  field
//   0       8     magic "ZKREPLAY"
//   8       4     format version, 1 or 2 (a file of a later version is refused)
//   12      8     the game's random seed
//   20      1     vehicle model, 1..5
//   21      3     zero
//   24      4     the display's refresh rate when the game started (Hz), 0..1000
//   28      4     the game's final score
//   32      4     lives at the end
//   36      4     level at the end, 1..255
//   40      4     frame count F, 1..MaxReplayFrames
//   44      4     event count E, 0..MaxReplayEvents
//   48      4 F   frames, in order:
//                   +0 the race's input (TRaceInput; 0 in a frame that does not run the race):
//                      bit 0 Left, 1 Right, 2 Up, 3 Down, 4 Space, 5 Horn; bits 6, 7 zero (files
//                      of older games may repeat Left and Right there; they are not read)
//                   +1 key edges: bit 0 Up, 1 Down, 2 Left, 3 Right, 4 Pause, 5 Yes, 6 No, 7 Esc
//                   +2 lag count, u16 (larger counts are kept as 65535)
//   48+4F   20 E  events, in the order they happened:
//                   +0  frame: the event comes before this frame runs (0..F-1, never decreasing)
//                   +4  kind (TReplayEventKind)  +5 popup number  +6 two zero bytes
//                   +8  value, i32   +12 real, f64
//                 kinds: 1 timing from this frame on (value FrameTimeMs 1..1000, real SpeedFactor
//                 in (0, 100]); 2 hover (value the item now selected, 0..17); 3 activation of
//                 the item selected (value that item, 0..17); 4 popup opened (popup number;
//                 value 1 when the level caption was closed for it first, else 0)
//   48+4F+20E  4  (version 2 only) checkpoint count C, 0..F / ReplayChecksumInterval
//   52+4F+20E 4 C checkpoints: checkpoint k is the race's state (RaceStateChecksum) after frame
//                 (k + 1) x ReplayChecksumInterval of the record ran; 0 where no race existed
//   end-4      4  CRC-32 (as zlib computes it) of every byte before it
// Version 1 files (no checkpoints) still play; only their end is checked.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/core.h"
#include "platform/platform.h"

constexpr const char* ReplayFileName = "last.zkreplay";
constexpr uint32_t ReplayFormatVersion = 2;
// Frames between two checkpoints of the race's state.
constexpr uint32_t ReplayChecksumInterval = 256;
// About five hours at 85 Hz; a longer game is not kept.
constexpr uint32_t MaxReplayFrames = 1'600'000;
constexpr uint32_t MaxReplayEvents = 200'000;

struct TReplayFrame {
  uint8_t Keys = 0, Edges = 0;
  uint16_t Lag = 0;
};

enum TReplayEventKind : uint8_t { rekTiming = 1, rekHover = 2, rekActivate = 3, rekPopup = 4 };

struct TReplayEvent {
  uint32_t Frame = 0;
  uint8_t Kind = 0, Popup = 0;
  int32_t Value = 0;
  double Real = 0;
};

struct TReplay {
  uint64_t Seed = 0;
  uint8_t Vehicle = 1;
  int32_t RefreshRate = 0;
  int32_t FinalScore = 0, FinalLives = 0, FinalLevel = 0;
  std::vector<TReplayFrame> Frames;
  std::vector<TReplayEvent> Events;
  std::vector<uint32_t> Checkpoints;  // see the format above
};

// The file's bytes.
std::string EncodeReplay(const TReplay& replay);
// Reads a file's bytes into `out`; false with the problem in `problem` (without a file name) when
// they are not a complete, undamaged replay of a version this game reads.
bool DecodeReplay(std::string_view bytes, TReplay& out, std::string& problem);
// Reads a replay file; throws EGameError "<path>: <problem>" for a file that is missing, not a
// regular file, unreadable or not a replay DecodeReplay accepts.
TReplay ReadReplayFile(const std::string& path);

// Packing of the race's input and the frame's key edges into a frame's two bytes.
uint8_t PackRaceInput(const TRaceInput& input);  // bits 0..5
TRaceInput UnpackRaceInput(uint8_t bits);        // bits 6, 7 ignored
uint8_t PackKeyEdges();              // from the core's *Pressed flags
void UnpackKeyEdges(uint8_t bits);   // into them

// ---------------------------------------------------------------------------------------------
// The game's recorder and player: at most one game is recorded or played back at a time.
// ---------------------------------------------------------------------------------------------

enum class TReplayMode { Off, Recording, Playing };
// Off at the start of every run of the game, with no record kept.
TReplayMode ReplayMode();

// A game starts: reseeds the random generator, with the replay's seed while playing one (and
// sets the frame timing the record starts with, so the race is built as it was), otherwise with a
// fresh seed drawn from the generator, and starts recording it (the timing in use first).
void StartReplayGame(int vehicle);
// The game ended by its game over or congratulations. Recording: the record is written to the
// save folder as ReplayFileName (a failure goes to standard error and is returned; the game goes
// on) and recording stops. Playing: the playback ends and is checked against the record's end
// (ReplayPlaybackProblem). Returns true while playing: the game must stop there.
bool EndReplayGame(int32_t score, int32_t lives, int32_t level);
// The game was left without its end (Exit to menu): the record is dropped.
void DropReplayGame();

// Recording: a frame of the game begins, after the key poll (its edges are read here), with the
// race's input of the frame (empty when the frame does not run the race).
void RecordReplayFrame(int lagCount, const TRaceInput& raceInput);
// Recording or playing: whether the frame that just ran ends a span of ReplayChecksumInterval
// frames, so that the race's state is due (ReplayCheckpoint).
bool ReplayCheckpointDue();
// The race's state after that frame: recording keeps it; playback compares it with the record's
// and remembers the first frame where they differ (ReplayPlaybackProblem names it).
void ReplayCheckpoint(uint32_t raceState);
// Recording: something the window's events did before the next frame.
void RecordReplayEvent(uint8_t kind, uint8_t popup, int32_t value);

// Playback of `replay` (the game itself is started by the shell, through StartReplayGame).
void StartPlayback(TReplay replay);
// Playback: the next recorded window event before the coming frame (hover, activation, popup;
// timing events are taken here and applied by NextPlaybackFrame); false when there is none.
bool NextPlaybackEvent(TReplayEvent& event);
// Playback: the coming frame's record, with the frame timing it was recorded under set and its
// lag count in `lagCount`; nullptr once the playback has ended.
const TReplayFrame* NextPlaybackFrame(int& lagCount);
// Playback, after the frame's key poll: the key edges the poll found when the frame was recorded.
void ApplyRecordedEdges(const TReplayFrame& frame);
// Playback has ended: the game's end was reached, the record ran out or EndPlayback was called.
bool PlaybackEnded();
void EndPlayback();
// After the playback: what did not match the record (empty when the run was reproduced), with the
// first frame whose checkpoint differed from the record's when one did.
std::string ReplayPlaybackProblem();
// Frames recorded in the current recording, or played so far.
uint32_t ReplayFrameCount();
