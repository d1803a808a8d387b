// The bonuses lying on the road: placing them for a level, their animation, the pickup by the
// bike and their drawing.
#include <algorithm>

#include "audio/audio.h"
#include "race/player.h"

namespace {

constexpr int kFirstPicture = imgBonuses - 1;  // list 2 item of kind k (1..5) is kFirstPicture + k
constexpr int kBoxOffset = 19;     // from the cell's top-left to the picture and pickup box
constexpr int kBoxWidth = 35, kBoxHeight = 34;
constexpr double kLastFrame = 4;

// What a kind gives: points, a life, and the sound of its pickup.
struct TBonusKind {
  int Score;
  bool Life;
  int Sound;
};
constexpr std::array<TBonusKind, TBonus::KindCount + 1> BonusKinds{{
    {0, false, sndScoreBonus},
    {10, false, sndScoreBonus},
    {20, false, sndScoreBonus},
    {50, false, sndScoreBonus},
    {100, false, sndScoreBonus},
    {50, true, sndLifeBonus},
}};

}  // namespace

TBonus::TBonus(TRace& race) : TMyImageSprite(2), Race(race) {
  PlaceAt(kFirstPicture + kScore10, 0, 0, 5);
  GenerateBonuses();
}

int TBonus::UsedSlots() const { return std::clamp<int>(Race.BonusCount, 0, BonusSlots); }

// A slot whose random row holds no straight road stays empty; a row with several straight pieces
// keeps the last. Every kind drawn counts toward the one life, kept or not.
void TBonus::GenerateBonuses() {
  for (TSlot& s : Slots) s.Active = false;
  const int lo = 1549 - Race.TrackLength, hi = 1495;
  int lifeCount = 0;
  for (int i = 1; i <= UsedSlots(); ++i) {
    const int row = RandInt(hi - lo) + lo;
    for (int c = 1; c <= TrackColumns; ++c) {
      if (Race.TrackCode(row, c) != tileLeftLane) continue;
      TSlot& s = Slots[i];
      s.Active = true;
      s.Col = c + RandInt(4);
      s.Row = row;
      s.Kind = static_cast<uint8_t>(RandInt(KindCount) + 1);
      while (lifeCount > 0 && s.Kind == kLife) s.Kind = static_cast<uint8_t>(RandInt(KindCount) + 1);
      if (s.Kind == kLife) ++lifeCount;
      s.Frame = RandInt(40) / 10.0;
    }
  }
}

int TBonus::ActiveCount() const {
  return static_cast<int>(std::count_if(Slots.begin() + 1, Slots.begin() + 1 + UsedSlots(), [](const TSlot& s) { return s.Active; }));
}

int TBonus::ActiveOfKind(int kind) const {
  return static_cast<int>(std::count_if(Slots.begin() + 1, Slots.begin() + 1 + UsedSlots(),
                                        [kind](const TSlot& s) { return s.Active && s.Kind == kind; }));
}

int TBonus::ScreenX(const TSlot& s) const {
  const double roadX = Race.Road != nullptr ? Race.Road->X : 0;
  return RoundHalfEven((s.Col - Race.ViewCol) * CellSize + roadX) + kBoxOffset;
}

int TBonus::ScreenY(const TSlot& s) const {
  const double roadY = Race.Road != nullptr ? Race.Road->Y : 0;
  return RoundHalfEven((s.Row - Race.ViewRow) * CellSize + roadY) + kBoxOffset;
}

// The sprite engine's own query decides: a corner where a deeper sprite lies over the bike's
// rectangle does not count. The tree is walked only for corners on the bike's rectangle.
bool TBonus::BikeCoversBox(int x, int y) {
  if (Race.Player == nullptr || Engine == nullptr) return false;
  const std::array<std::array<int, 2>, 4> corners{{{x, y}, {x + kBoxWidth, y}, {x, y + kBoxHeight}, {x + kBoxWidth, y + kBoxHeight}}};
  return std::any_of(corners.begin(), corners.end(), [&](const auto& p) {
    return Race.Player->MayBeAt(p[0], p[1]) && Engine->SpriteAt(p[0], p[1]) == Race.Player;
  });
}

void TBonus::Take(TSlot& s) {
  s.Active = false;
  const TBonusKind& kind = BonusKinds[s.Kind <= KindCount ? s.Kind : 0];
  Race.Player->AddScore(kind.Score);
  if (kind.Life) Race.Player->AddLife(1);
  PlaySoundAt(kind.Sound, Race.Player->OwnPan());
}

void TBonus::Step(int /*elapsed*/) {
  for (int i = 1; i <= UsedSlots(); ++i) {
    TSlot& s = Slots[i];
    if (!s.Active) continue;
    s.Frame += 0.1 * SpeedFactor;
    if (s.Frame > kLastFrame) s.Frame = 0;
    const int x = ScreenX(s), y = ScreenY(s);
    if (x < -20 || x > 720 || y < -20 || y > 620) continue;
    if (BikeCoversBox(x, y)) Take(s);
  }
}

void TBonus::Render() {
  TDXImageList* const list2 = GameImageList(2);
  if (list2 == nullptr) return;
  TDirectDrawSurface* const surface = GameSurface();
  if (surface == nullptr) return;
  // Only where the road shows: the side panels, drawn later, paint over the rest.
  const TRect area = Race.Road != nullptr ? Race.Road->DrawArea : surface->ClientRect();
  for (int i = 1; i <= UsedSlots(); ++i) {
    const TSlot& s = Slots[i];
    if (!s.Active || s.Col < Race.ViewCol || s.Col > Race.ViewCol + RoadWindowColumns || s.Row < Race.ViewRow ||
        s.Row > Race.ViewRow + RoadWindowRows)
      continue;
    list2->Item(kFirstPicture + s.Kind).Draw(surface, ScreenX(s), ScreenY(s), static_cast<int>(s.Frame), area);
  }
}
