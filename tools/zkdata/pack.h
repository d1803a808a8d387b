// The three image lists of the default data pack.
#pragma once

#include <string>

#include "platform/platform.h"

// Data/Res/Res1.dxg: the menus.
TPictureCollection BuildMenuImages();
// Data/Res/Res2.dxg: the race.
TPictureCollection BuildRaceImages();
// Data/Res/Res3.dxg: the minimap pieces.
TPictureCollection BuildMinimapImages();

struct TImagePack {
  TPictureCollection Lists[3];
};
TImagePack BuildImagePack();

// One picture of every pattern of every item, each labelled with its list and index.
void WriteContactSheet(const TImagePack& pack, const std::string& path);
// Every item as its own PNG (key colour transparent) named <list>_<index>.png.
void ExportItems(const TImagePack& pack, const std::string& folder);
