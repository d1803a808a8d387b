// Replays in the shell: what the window's events do to a recorded game, the playback's frames and
// the window while a replay plays (the player watches; Esc, the close button or a quit end it).
#include "app/app.h"
#include "replay/replay.h"
#include "save/save.h"

namespace {

// What a window event did to the race's popups, for the record. Only these reach the game's
// course between two frames; the keys themselves are read by the frame's key poll.
void RecordWindowEvent(const SysEvent& ev, uint8_t popupBefore, int32_t hoverBefore) {
  switch (ev.Type) {
    case SysEventType::Char:
      if (ev.Char == 13) RecordReplayEvent(rekActivate, 0, hoverBefore);
      break;
    case SysEventType::MouseClick:
    case SysEventType::MouseDoubleClick:
      RecordReplayEvent(rekActivate, 0, hoverBefore);
      break;
    case SysEventType::MouseMove:
      if (Shell.HoverItem != hoverBefore) RecordReplayEvent(rekHover, 0, Shell.HoverItem);
      break;
    default:
      // The boss key, a minimise, Alt+Enter and the close button open a popup over the race.
      if (Shell.PopupKind != popupBefore && Shell.PopupKind != popNone)
        RecordReplayEvent(rekPopup, Shell.PopupKind, popupBefore == popLevelCaption ? 1 : 0);
      break;
  }
}

void ApplyReplayEvent(const TReplayEvent& e) {
  switch (e.Kind) {
    case rekHover: Shell.HoverItem = e.Value; break;
    case rekActivate: ActivateItem(e.Value); break;
    case rekPopup:
      if (e.Value == 1 && Shell.PopupKind == popLevelCaption) ClosePopup();
      OpenPopup(e.Popup);
      break;
    default: break;
  }
}

// A recorded game lives on the race screen: a record that leaves it (through "Exit to menu?",
// which no kept record does) would go on to drive the menus, so the playback ends there.
bool InRecordedGame() { return Shell.CurrentScreen == scrRace; }

// While a replay plays, the window's events reach only the window: the game follows the record.
void DispatchDuringPlayback(const SysEvent& ev) {
  switch (ev.Type) {
    case SysEventType::KeyDown:
      if (ev.Key == VK_ESCAPE) EndPlayback();
      break;
    case SysEventType::CloseRequest:
    case SysEventType::Quit:
      EndPlayback();
      break;
    case SysEventType::Minimized:
      MForm->MDXTimer.Deactivate();
      break;
    case SysEventType::Activated:
    case SysEventType::Deactivated:
    case SysEventType::Restored:
      App_DispatchWindowEvent(ev);
      break;
    default:
      break;
  }
}

}  // namespace

void App_DispatchEvent(const SysEvent& ev) {
  if (ReplayMode() == TReplayMode::Playing) {
    DispatchDuringPlayback(ev);
    return;
  }
  const bool recording = ReplayMode() == TReplayMode::Recording;
  const uint8_t popupBefore = Shell.PopupKind;
  const int32_t hoverBefore = Shell.HoverItem;
  App_DispatchWindowEvent(ev);
  // Only an event inside a game being recorded: the one that starts (or ends) a game is not part of it.
  if (recording && ReplayMode() == TReplayMode::Recording) RecordWindowEvent(ev, popupBefore, hoverBefore);
}

void App_StartReplay(TReplay replay) {
  // Replays are files people share: what one plays must not reach the player's files.
  SetSaveWritesAllowed(false);
  Shell.SelectedVehicle = replay.Vehicle;
  StartPlayback(std::move(replay));
  if (Shell.PopupKind != popNone) ClosePopup();
  LeaveMainMenu();
  StartRaceScreen();
}

TRaceInput App_RaceInput(const TReplayFrame* replayed) {
  if (replayed != nullptr) return UnpackRaceInput(replayed->Keys);
  const TRace* const race = CurrentRace();
  if (Autopilot.On && race != nullptr) return Autopilot.Keys(*race);
  return KeyboardRaceInput();
}

const TReplayFrame* App_ReplayFrameBegins(int& lagCount) {
  if (ReplayMode() != TReplayMode::Playing) return nullptr;
  TReplayEvent e;
  while (InRecordedGame() && NextPlaybackEvent(e)) ApplyReplayEvent(e);
  if (!InRecordedGame()) {
    EndPlayback();
    return nullptr;
  }
  return NextPlaybackFrame(lagCount);
}

bool App_PlayingReplay() { return ReplayMode() == TReplayMode::Playing; }
