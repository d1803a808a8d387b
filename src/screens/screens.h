// The main menu's sub-screens: options, high scores, help and about.
#pragma once

#include <string>

// Options
void OpenOptionsScreen();
void UpdateOptionsScreen(int lagCount);
// Draws the labels and values and updates the three option pictures (also under a popup).
void DrawOptionsScreen();
std::string BossKeyText();
void ToggleCountryEditing();
void ToggleBossKeyCapture();
void LeaveOptionsScreen();

// High scores
void OpenHighScoreScreen();
void UpdateHighScoreScreen(int lagCount);
void DrawHighScoreTable();
void LeaveHighScoreScreen();

// Help and about
void OpenHelpScreen();
void UpdateHelpScreen(int lagCount);
void DrawHelpPage();
void PreviousHelpPage();
void NextHelpPage();
void LeaveHelpScreen();
