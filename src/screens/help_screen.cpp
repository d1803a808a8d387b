// The help and about screen: five pages of text, the bonus pictures and the about picture.
#include <array>
#include <string>

#include "screens/screens.h"
#include "sprites/sprites.h"

namespace {

constexpr int kTitleStyle = stHelpTitle, kTextStyle = stHelpText, kHeadingStyle = stHelpHeading, kAboutTitleStyle = stAboutTitle;
constexpr int kTextX = 380, kTitleY = 160;

constexpr const char* kPageTitles[6] = {"", "GAME OVERVIEW", "BONUSES", "CONTROLS", "CONTROLS", "ABOUT"};

constexpr const char* kOverview[10] = {
    "  The game \"Zubo Kranz\" welcomes you to the world of",
    "breathtaking motor-cycle races and formidable opponents.",
    "Various effects, splendid graphics and many fantastic",
    "routes will not leave you indifferent.",
    "  You can choose one of the fastest superbikes and drive",
    "a race. Don't think it's so easy. Increasing number of",
    "strong opponents will stand on your way to the finish",
    "The obstacles will take the time, that's limited. Pick up",
    "bonuses and life.",
    "  Are you ready for a race? Go!",
};

constexpr const char* kMenuControls[6] = {
    "Use the cursor keys or mouse to move the menu cursor",
    "up and down. Press the \"Enter\" key or any mouse button",
    "to enter menu options. Press the \"Left Arrow\",",
    "\"Right Arrow\", \"Enter\" keys or any mouse button to",
    "change a menu option. Press \"Esc\" to back from the",
    "submenu to Main Menu.",
};

constexpr const char* kGameControls[8] = {
    "Use the keys \"Arrow Left\" and \"Arrow Right\" to move the",
    "bike rightwards or leftwards. Use the keys \"Arrow Up\"",
    "and \"Arrow Down\" to speed up and reduce the speed of the",
    "bike. Press the \"Space\" key to use Extra brake.",
    "Use \"P\" to pause or resume the game.",
    "Use \"Escape\" key to quit the game to Main Menu.",
    "Use \"Alt\"+\"Enter\" keys to change screen modes.",
    "Use Boss key to hide the game.",
};

struct BonusLine {
  const char* Name;
  int Image;  // in the race image list
  int Y;
};
// BonusPictures[1..5] in creation order.
constexpr BonusLine kBonuses[5] = {
    {"Life", imgHelpBonuses + 4, 470}, {"10 score", imgHelpBonuses + 3, 230}, {"20 score", imgHelpBonuses + 2, 290},
    {"50 score", imgHelpBonuses + 1, 350}, {"100 score", imgHelpBonuses, 410},
};
constexpr int kBonusPictureX = 398, kBonusTextX = 430;

constexpr TScreenButton kButtons[3] = {{7, imgPreviousPage, 360, 542}, {8, imgNextPage, 513, 542}, {9, imgBack, 661, 542}};
// Left on PREVIOUS turns the page back.
constexpr TArrowMoves kArrowMoves[] = {
    // item, up, down, left, right
    {7, 0, 0, -7, 8}, {8, 0, 0, 7, 9}, {9, 0, 0, 8, 0},
};

std::array<TMyImageSprite*, 5> BonusPictures{};
TMyImageSprite* AboutPicture = nullptr;

void DrawLeft(std::string_view text, int x, int y) { DrawText(text, x, y, false, true); }

template <size_t N>
void DrawLines(const char* const (&lines)[N], int firstY) {
  for (size_t k = 0; k < N; ++k) DrawLeft(lines[k], kTextX, firstY + 30 * static_cast<int>(k));
}

const std::string& AboutPublisherLine() {
  static const std::string line = std::string("    2006 ") + ZK_PUBLISHER_NAME;
  return line;
}

const std::string& AboutAddressLine() {
  static const std::string line = "  " + HomePageAddress();
  return line;
}

}  // namespace

void OpenHelpScreen() {
  BeginSubScreen(scrHelp, 9, 9);
  Shell.HelpPage = 1;
  Shell.MenuItems[16] = TMyImageSprite::CreateAt(MenuImageList, imgHelpTitle, 479, 42, 3);
  Shell.MenuItems[17] = TMyImageSprite::CreateAt(MenuImageList, imgOptionsPanel, 358, 130, 3);
  CreateScreenButtons(kButtons);
  for (int i = 0; i < 5; ++i) {
    BonusPictures[i] = TMyImageSprite::CreateCentered(RaceImageList, kBonuses[i].Image, kBonusPictureX, kBonuses[i].Y, 5);
    BonusPictures[i]->Visible = false;
  }
  AboutPicture = TMyImageSprite::CreateAt(MenuImageList, imgAbout, 440, 300, 5);
  AboutPicture->Visible = false;
}

void UpdateHelpScreen(int lagCount) {
  UpdateItemHighlight(true);
  MoveByArrows(kArrowMoves, TArrowOrder::LeftRightFirst);
  if (UpPressed || DownPressed || LeftPressed || RightPressed) ClampToLow(Shell.HoverItem, Shell.FirstItem, Shell.LastItem);
  if (EscapePressed) ActivateItem(9);
  if (Shell.CurrentScreen != scrHelp) return;
  DrawHelpPage();
  GameSpriteEngine().Move(lagCount);
}

void DrawHelpPage() {
  SetTextStyle(kTitleStyle);
  DrawLeft(kPageTitles[Shell.HelpPage >= 1 && Shell.HelpPage <= 5 ? Shell.HelpPage : 1], kTextX, kTitleY);
  SetTextStyle(kTextStyle);
  if (Shell.HelpPage == 1) DrawLines(kOverview, 200);
  const bool bonuses = Shell.HelpPage == 2;
  if (bonuses) {
    SetTextStyle(kHeadingStyle);
    for (const BonusLine& b : kBonuses) DrawLeft(b.Name, kBonusTextX, b.Y);
  }
  for (TMyImageSprite* p : BonusPictures)
    if (p != nullptr) p->Visible = bonuses;
  if (Shell.HelpPage == 3 || Shell.HelpPage == 4) {
    SetTextStyle(kHeadingStyle);
    DrawLeft(Shell.HelpPage == 3 ? "MENU NAVIGATIONS" : "GAME NAVIGATIONS", kTextX, 200);
    SetTextStyle(kTextStyle);
    if (Shell.HelpPage == 3) DrawLines(kMenuControls, 230);
    else DrawLines(kGameControls, 230);
  }
  const bool about = Shell.HelpPage == 5;
  if (about) {
    SetTextStyle(kAboutTitleStyle);
    DrawLeft("ZUBO KRANZ", 550, 285);
    SetTextStyle(kHeadingStyle);
    DrawLeft(AboutPublisherLine(), 542, 325);
    DrawLeft(AboutAddressLine(), 540, 360);
  }
  if (AboutPicture != nullptr) AboutPicture->Visible = about;
}

void PreviousHelpPage() { StepDownWrapped(Shell.HelpPage, 1, 5); }
void NextHelpPage() { StepUpWrapped(Shell.HelpPage, 1, 5); }

void LeaveHelpScreen() {
  Shell.CurrentScreen = scrNone;
  KillScreenBackground();
  KillItems();
  for (TMyImageSprite*& p : BonusPictures) {
    KillSpriteOnce(p);
    p = nullptr;
  }
  KillSpriteOnce(AboutPicture);
  AboutPicture = nullptr;
  KillSpriteOnce(Shell.MenuItems[16]);
  KillSpriteOnce(Shell.MenuItems[17]);
}
