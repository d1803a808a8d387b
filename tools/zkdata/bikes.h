// The five bikes, seen from above with the front pointing up: upright, leaning, crashing, and
// the large preview of the vehicle selection screen. One renderer serves every model.
#pragma once

#include <array>
#include <cstdint>

#include "canvas.h"

namespace art {

enum class Fairing { Sport, Hyper, Tourer, Naked, Supermoto };

struct BikeModel {
  const char* Name;
  // Sizes the game draws them at (the upright and lean patterns, the crash patterns).
  int RiderWidth, RiderHeight, CrashWidth, CrashHeight, CrashFrames;
  int HullWidth;  // the collision hull's width
  Fairing Style;
  uint32_t Body, Accent, Suit, Helmet;
  float BodyWidth;  // half width of the fairing or tank
  float BarWidth;   // half width of the handlebars
  float TyreWidth;
};

constexpr std::array<BikeModel, 5> BikeModels{{
    {"RAPTOR", 63, 68, 64, 152, 5, 23, Fairing::Sport, 0xE8202A, 0xFFFFFF, 0xB0101A, 0xFFFFFF, 8.5f, 12.5f, 5.5f},
    {"THUNDER", 60, 67, 72, 158, 7, 28, Fairing::Hyper, 0x1F5BFF, 0xFFD21F, 0x1638A8, 0xFFD21F, 10.0f, 12.0f, 7.0f},
    {"BISON", 68, 69, 88, 204, 5, 34, Fairing::Tourer, 0x17A34A, 0xF2E6B8, 0xB88A4A, 0xFFFFFF, 11.0f, 15.0f, 6.5f},
    {"VIPER", 60, 62, 86, 154, 5, 24, Fairing::Naked, 0xFF8A00, 0xE6E9EE, 0x58606E, 0xFF8A00, 7.5f, 14.5f, 6.5f},
    {"HORNET", 56, 68, 68, 184, 5, 28, Fairing::Supermoto, 0x9A3DFF, 0xFFFFFF, 0x5A1FB0, 0xFFFFFF, 6.5f, 14.0f, 4.5f},
}};

constexpr int LeanPatterns = 6;

// A rival's paint: bodywork, stripe, suit and helmet. Each of the five rivals wears its own on
// whatever model it rides, in colours no model wears as it comes, so that the player's bike is
// never mistaken for a rival's.
struct Livery {
  uint32_t Body, Accent, Suit, Helmet;
};
constexpr std::array<Livery, 5> RivalLiveries{{
    {0xEDEEF2, 0x1C1C22, 0x4A505E, 0xEDEEF2},  // white
    {0xFFD21F, 0x1C1C22, 0x3C3C44, 0xFFD21F},  // yellow
    {0x18B8B0, 0xFFFFFF, 0x0D6B66, 0xFFFFFF},  // teal
    {0xF0509A, 0x23232A, 0x8A1F58, 0xF0509A},  // pink
    {0xA8E023, 0x1C1C22, 0x466E10, 0xFFFFFF},  // lime
}};
constexpr BikeModel InLivery(BikeModel m, const Livery& l) {
  m.Body = l.Body;
  m.Accent = l.Accent;
  m.Suit = l.Suit;
  m.Helmet = l.Helmet;
  return m;
}

// One lean pattern: 5 almost upright down to 0 the deepest lean; `left` leans to the left.
Canvas DrawLeanPattern(const BikeModel& model, int pattern, bool left);
Canvas DrawUpright(const BikeModel& model);
// Crash pattern `frame` of model.CrashFrames: the bike slides ahead on its side, the rider
// tumbles behind it; the last pattern is the still scene.
Canvas DrawCrashPattern(const BikeModel& model, int frame);
// The bike and rider `scale` times their race size, centred on (cx, cy) and turned clockwise.
void DrawBikeAt(Canvas& canvas, const BikeModel& model, float cx, float cy, float scale, float turn);
// The big picture of the vehicle selection screen, with the model's name.
Canvas DrawBikePreview(const BikeModel& model, int width, int height);

}  // namespace art
