// Small helpers shared by the shell tests: pointing the mouse at items and reading the sound log.
#pragma once

#include <algorithm>
#include <string>
#include <vector>

#include "app/app.h"
#include "audio/audio.h"
#include "headless_game.h"
#include "sprites/sprites.h"

namespace shell {

// The centre of menu item `item` on the surface.
inline int CentreX(int item) { return static_cast<int>(Shell.MenuItems[item]->X) + Shell.MenuItems[item]->Width / 2; }
inline int CentreY(int item) { return static_cast<int>(Shell.MenuItems[item]->Y) + Shell.MenuItems[item]->Height / 2; }

inline void PointAt(THeadlessDriver& drive, int item) { drive.MouseMove(CentreX(item), CentreY(item)); }

// Points at the item, lets one frame see it (sub-screens find the tab under the mouse in their
// frame), then clicks.
inline void ClickItem(THeadlessDriver& drive, int item) {
  PointAt(drive, item);
  drive.Frame();
  drive.Click();
}

inline int Count(const std::string& call) {
  const auto& log = Snd_CallLog();
  return static_cast<int>(std::count(log.begin(), log.end(), call));
}

inline std::vector<std::string> Calls() { return Snd_CallLog(); }

// Calls that start or stop music.
inline std::vector<std::string> MusicCalls() {
  std::vector<std::string> out;
  for (const std::string& c : Snd_CallLog())
    if (c.rfind("music", 0) == 0) out.push_back(c);
  return out;
}

inline bool IsHoverLook(int item) {
  auto* b = static_cast<TMenuButton*>(Shell.MenuItems[item]);
  return b->Image == &GameImageList(1)->Item(b->HoverImage);
}

}  // namespace shell
