// The game's icon: the window's icon and the desktop entry's, drawn from the menu logo's colours.
#pragma once

#include <string>

// Side of the square icon in pixels.
constexpr int IconSize = 128;

// Writes the icon as a PNG with a transparent outside. Throws EGameError naming the file.
void WriteIcon(const std::string& path);
