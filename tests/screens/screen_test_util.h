// Helpers shared by the menu-screen tests: reaching a screen from the main menu, tapping keys,
// finding the sprite that shows a given picture.
#pragma once

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "audio/audio.h"
#include "headless_game.h"
#include "screens/screens.h"

namespace screens_test {

// Names the cases of a test over the arrow keys.
inline std::string ArrowKeyName(const testing::TestParamInfo<int>& info) {
  switch (info.param) {
    case VK_UP: return "Up";
    case VK_DOWN: return "Down";
    case VK_LEFT: return "Left";
    case VK_RIGHT: return "Right";
    default: return "Key" + std::to_string(info.param);
  }
}

// The live sprite of the game's engine that shows picture `image` of image list `list`.
inline TMyImageSprite* SpriteShowing(int list, int image) {
  const TPictureCollectionItem* wanted = &GameImageList(list)->Item(image);
  TSprite& engine = GameSpriteEngine();
  for (int i = 0; i < engine.Count(); ++i) {
    auto* s = dynamic_cast<TMyImageSprite*>(engine.Items(i));
    if (s != nullptr && !s->IsDead && s->ImageListNo == list && s->Image == wanted) return s;
  }
  return nullptr;
}

inline bool Showing(int item, int list, int image) {
  auto* s = dynamic_cast<TMyImageSprite*>(Shell.MenuItems[item]);
  return s != nullptr && s->Image == &GameImageList(list)->Item(image);
}

class ScreenGame : public HeadlessGame {
protected:
  // One key press and a frame after it, so that the same key can follow at once.
  void Tap(int vk, int shift = 0) {
    drive.Key(vk, shift);
    drive.Frame();
  }

  // From the title screen: the slide-in, then Down to main-menu item `item` and Enter.
  void OpenFromMainMenu(int item) {
    FinishIntro();
    ASSERT_EQ(Shell.CurrentScreen, scrMainMenu);
    ASSERT_EQ(Shell.HoverItem, 1);
    for (int i = 1; i < item; ++i) Tap(VK_DOWN);
    ASSERT_EQ(Shell.HoverItem, item);
    Tap(VK_RETURN);
  }

  // Moves the mouse onto a spot of the screen where there is no item, tab or button.
  void MouseOffAllItems() {
    drive.MouseMove(250, 70);
    drive.Frame();
  }
};

}  // namespace screens_test
