// Track generation: a four-lane road that starts straight at the bottom of the map, runs upward
// in random segments that drift left and right, and ends at a finish line; verges, decoration and
// objects on the ground around it.
#include <algorithm>
#include <bit>
#include <cstring>

#include "race/race.h"

namespace {

constexpr int StartAreaTop = 1460;
constexpr int StartAreaBottom = 1499;
constexpr int StartAreaLeft = 319;
constexpr int FinalRowsWithoutShift = 99;

constexpr std::array<bool, 256> RoadCodes = [] {
  std::array<bool, 256> road{};
  for (const int code : {10, 11, 12, 24, 27, 28, 29, 32, 33, 34, 38, 39, 40, 45, 46, 47}) road[code] = true;
  return road;
}();


// ---------------------------------------------------------------------------------------------
// Segment rules: how each cell of the row below carries up into the new row.
// ---------------------------------------------------------------------------------------------

// Besides tile codes, a rule's codes and results may be one of these.
enum : int16_t {
  NO = -1,          // no code / no write
  LV = -2,          // any left verge; as a result, a random left verge
  RV = -3,          // any right verge; as a result, a random right verge
  KEEP = -4,        // as a result: the code below, unchanged
};

// What a rule needs of the neighbours (l, r) of the code below.
enum class TBeside : uint8_t { Any, LeftIsRightLane, LeftIsLeftVerge, NextToLane };

struct TSegmentRule {
  uint8_t Kind;
  std::array<int16_t, 5> Below;  // codes of the cell below the rule applies to, NO-padded
  TBeside When;
  int16_t Left, Same, Right;     // results for columns k - 1, k, k + 1, written in that order
};

constexpr auto Any = TBeside::Any;

constexpr TSegmentRule SegmentRules[] = {
  // 1 straight
  {segStraight, {0, 22, 23, NO, NO}, Any, NO, 0, NO},
  {segStraight, {10, 11, 12, NO, NO}, Any, NO, KEEP, NO},
  {segStraight, {LV, NO, NO, NO, NO}, Any, NO, LV, NO},
  {segStraight, {RV, NO, NO, NO, NO}, Any, NO, RV, NO},
  // 2 straight with marked shoulders
  {segMarked, {0, NO, NO, NO, NO}, TBeside::LeftIsRightLane, NO, 23, NO},
  {segMarked, {0, NO, NO, NO, NO}, TBeside::LeftIsLeftVerge, NO, 22, NO},
  {segMarked, {10, 11, 12, 22, 23}, Any, NO, KEEP, NO},
  {segMarked, {LV, NO, NO, NO, NO}, Any, NO, LV, NO},
  {segMarked, {RV, NO, NO, NO, NO}, Any, NO, RV, NO},
  // 3 shift left: a row half-way (31..36), then a row displaced one cell left (25..30)
  {segShiftLeft, {10, 27, NO, NO, NO}, Any, NO, 33, NO},
  {segShiftLeft, {11, NO, NO, NO, NO}, Any, NO, KEEP, NO},
  {segShiftLeft, {12, 28, NO, NO, NO}, Any, NO, 34, NO},
  {segShiftLeft, {22, 26, NO, NO, NO}, Any, NO, 32, NO},
  {segShiftLeft, {23, 29, NO, NO, NO}, Any, NO, 35, NO},
  {segShiftLeft, {25, LV, NO, NO, NO}, Any, NO, 31, NO},
  {segShiftLeft, {30, RV, NO, NO, NO}, Any, NO, 36, NO},
  {segShiftLeft, {31, NO, NO, NO, NO}, Any, 25, NO, NO},
  {segShiftLeft, {32, NO, NO, NO, NO}, Any, 26, NO, NO},
  {segShiftLeft, {33, NO, NO, NO, NO}, Any, 27, 11, 11},
  {segShiftLeft, {34, NO, NO, NO, NO}, Any, 28, NO, NO},
  {segShiftLeft, {35, NO, NO, NO, NO}, Any, 29, NO, NO},
  {segShiftLeft, {36, NO, NO, NO, NO}, Any, 30, NO, NO},
  // 4 shift right: a row half-way (43..48), then a row displaced one cell right (37..42)
  {segShiftRight, {10, 39, NO, NO, NO}, Any, NO, 45, NO},
  {segShiftRight, {11, NO, NO, NO, NO}, TBeside::NextToLane, NO, KEEP, NO},
  {segShiftRight, {12, 40, NO, NO, NO}, Any, NO, 46, NO},
  {segShiftRight, {22, 38, NO, NO, NO}, Any, NO, 44, NO},
  {segShiftRight, {23, 41, NO, NO, NO}, Any, NO, 47, NO},
  {segShiftRight, {37, LV, NO, NO, NO}, Any, NO, 43, NO},
  {segShiftRight, {42, RV, NO, NO, NO}, Any, NO, 48, NO},
  {segShiftRight, {43, NO, NO, NO, NO}, Any, NO, NO, 37},
  {segShiftRight, {44, NO, NO, NO, NO}, Any, NO, NO, 38},
  {segShiftRight, {45, NO, NO, NO, NO}, Any, NO, NO, 39},
  {segShiftRight, {46, NO, NO, NO, NO}, Any, 11, 11, 40},
  {segShiftRight, {47, NO, NO, NO, NO}, Any, NO, NO, 41},
  {segShiftRight, {48, NO, NO, NO, NO}, Any, NO, NO, 42},
  // 5 straighten: every displaced part back to the plain road
  {segStraighten, {10, 27, 39, NO, NO}, Any, NO, 10, NO},
  {segStraighten, {11, NO, NO, NO, NO}, Any, NO, KEEP, NO},
  {segStraighten, {12, 28, 40, NO, NO}, Any, NO, 12, NO},
  {segStraighten, {22, 26, 38, NO, NO}, Any, NO, 22, NO},
  {segStraighten, {23, 29, 41, NO, NO}, Any, NO, 23, NO},
  {segStraighten, {25, 37, LV, NO, NO}, Any, NO, LV, NO},
  {segStraighten, {30, 42, RV, NO, NO}, Any, NO, RV, NO},
};
constexpr int SegmentKindCount = 5;
constexpr int RuleCount = static_cast<int>(std::size(SegmentRules));

// The rules that may apply to one code below under one kind, tried in order (-1 = none).
struct TRuleChoice {
  std::array<int8_t, 2> Rules;
};
using TRuleLookup = std::array<std::array<TRuleChoice, 256>, SegmentKindCount + 1>;

constexpr void AddRuleChoice(TRuleChoice& choice, int rule) {
  for (int8_t& slot : choice.Rules) {
    if (slot < 0) {
      slot = static_cast<int8_t>(rule);
      return;
    }
  }
  throw "more than two rules for one code";  // reached while building the table: stops the build
}

constexpr TRuleLookup BuildRuleLookup() {
  // Filled here, not by a member initializer of TRuleChoice: when a loop writes into the table
  // during constant evaluation, GCC 12 leaves the elements it did not touch zeroed, and 0 is a rule.
  TRuleLookup lookup{};
  for (auto& kind : lookup) {
    for (TRuleChoice& choice : kind) choice.Rules = {-1, -1};
  }
  for (int i = 0; i < RuleCount; ++i) {
    const TSegmentRule& rule = SegmentRules[i];
    for (const int16_t below : rule.Below) {
      for (int code = 0; code < 256; ++code) {
        const bool matches = below == code || (below == LV && IsLeftVerge(code)) ||
                             (below == RV && IsRightVerge(code));
        if (matches) AddRuleChoice(lookup[rule.Kind][code], i);
      }
    }
  }
  return lookup;
}
constexpr TRuleLookup RuleLookup = BuildRuleLookup();
static_assert(RuleLookup[segShiftRight][tileInnerLane].Rules[1] == -1, "a code without a second rule has none");

constexpr bool BesideHolds(TBeside when, int l, int r) {
  switch (when) {
    case TBeside::Any: return true;
    case TBeside::LeftIsRightLane: return l == tileRightLane;
    case TBeside::LeftIsLeftVerge: return IsLeftVerge(l);
    case TBeside::NextToLane: return l == tileLeftLane || l == 39 || r == tileRightLane || r == 40;
  }
  return false;
}

// The rows each kind produces.
constexpr std::array<int32_t, SegmentKindCount + 1> SegmentRows{0, 8, 10, 6, 6, 4};

// The kind that follows each kind: the first when the draw gives 0, else the second; no draw when
// both are the same.
struct TSegmentSuccessor {
  uint8_t OnZero, Otherwise;
};
constexpr std::array<TSegmentSuccessor, SegmentKindCount + 1> NextSegment{{
    {0, 0},
    {segStraight, segMarked},
    {segShiftLeft, segShiftRight},
    {segShiftLeft, segStraighten},
    {segShiftRight, segStraighten},
    {segStraight, segStraight},
}};
// Near the finish no new shift starts: one under way is straightened and the road stays straight.
constexpr std::array<uint8_t, SegmentKindCount + 1> NextSegmentNearFinish{
    0, segStraight, segStraight, segStraighten, segStraighten, segStraight};

// ---------------------------------------------------------------------------------------------
// Ground objects, top-left cell first, row by row
// ---------------------------------------------------------------------------------------------

struct TGroundObject {
  int Size;
  std::array<uint8_t, 16> Tiles;
};
constexpr std::array<TGroundObject, 4> GroundObjects{{
    {4, {0, 55, 55, 55, 56, 60, 61, 59, 56, 63, 64, 59, 56, 57, 57, 58}},  // fenced enclosure
    {3, {65, 66, 67, 68, 69, 70, 71, 72, 73}},
    {2, {60, 61, 63, 64}},
    {2, {52, 0, 53, 54}},
}};
constexpr int GroundObjectDraw = 12;  // draws 0..3 pick an object, the rest leave the cell alone
constexpr int LargestObject = 4;
// The size of the object each draw picks; 0: none.
constexpr std::array<uint8_t, GroundObjectDraw> ObjectSizeOfPick = [] {
  std::array<uint8_t, GroundObjectDraw> sizes{};
  for (size_t pick = 0; pick < GroundObjects.size(); ++pick) sizes[pick] = static_cast<uint8_t>(GroundObjects[pick].Size);
  return sizes;
}();
// The columns whose cells may draw an object; it takes the cell's column and those to its right.
constexpr int FirstObjectColumn = 3, LastObjectColumn = TrackColumns - 5;
constexpr int ObjectColumnsPadded = (LastObjectColumn - FirstObjectColumn + 1 + 63) / 64 * 64;
// A free cell left by the objects is plain ground or, as often, one of the decorations 49..51.
constexpr std::array<uint8_t, 6> FreeCellCodes{tileGround, tileGround, tileGround, 49, 50, 51};

// The ground's draws: about two per cell of the map, too many for the road's draw function. A
// splitmix64 stream seeded from two of the road's draws. A draw of 0 .. n-1 is the top of a word
// multiplied by n, the rest of the product feeding the next draw; ranges up to 16 wear away so
// few low bits that a word gives ten draws whose values stay equally likely to within 2^-22.
class TGroundDraws {
public:
  static constexpr int DrawsPerWord = 10;

  explicit TGroundDraws(uint64_t seed) : state_(seed) {}

  // One uniform integer 0 .. n-1.
  template <int n>
  int Draw() {
    static_assert(n >= 1 && n <= 16);
    if (digitsLeft_ == 0) {
      word_ = NextWord();
      digitsLeft_ = DrawsPerWord;
    }
    --digitsLeft_;
    const unsigned __int128 product = static_cast<unsigned __int128>(word_) * n;
    word_ = static_cast<uint64_t>(product);
    return static_cast<int>(product >> 64);
  }
  // DrawsPerWord uniform integers 0 .. n-1 from a word of their own, half from each half-word.
  template <int n>
  std::array<uint8_t, DrawsPerWord> DrawTen() {
    static_assert(n >= 1 && n <= 16);
    std::array<uint8_t, DrawsPerWord> digits;
    const uint64_t word = NextWord();
    uint32_t low = static_cast<uint32_t>(word), high = static_cast<uint32_t>(word >> 32);
    constexpr int half = DrawsPerWord / 2;
    for (int k = 0; k < half; ++k) {
      const uint64_t fromLow = uint64_t{low} * n, fromHigh = uint64_t{high} * n;
      low = static_cast<uint32_t>(fromLow);
      high = static_cast<uint32_t>(fromHigh);
      digits[k] = static_cast<uint8_t>(fromLow >> 32);
      digits[k + half] = static_cast<uint8_t>(fromHigh >> 32);
    }
    return digits;
  }

private:
  uint64_t NextWord() {
    uint64_t z = state_ += 0x9E3779B97F4A7C15ull;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }

  uint64_t state_;
  uint64_t word_ = 0;
  int digitsLeft_ = 0;
};

using TFreeDepths = std::array<uint8_t, TrackColumns + 2>;

// The columns object `pick` takes when drawn at `column`, or 0 if it is none or does not fit:
// it fits where each of its columns has at least its size of free cells below. Reads four depths
// as one word: each depth is at most LargestObject, so adding 0x80 - size to a byte sets its top
// bit, without a carry, exactly when the depth is at least the size.
inline int FittingSize(const TFreeDepths& freeBelow, int column, int pick) {
  static_assert(LargestObject <= 4 && FirstObjectColumn >= 1 && LastObjectColumn + 3 <= TrackColumns + 1);
  constexpr std::array<uint32_t, LargestObject + 1> TopBitsOfColumns{0, 0x80, 0x8080, 0x808080, 0x80808080};
  const uint32_t size = ObjectSizeOfPick[pick];
  uint32_t depths;
  std::memcpy(&depths, &freeBelow[column], sizeof depths);
  const uint32_t tops = TopBitsOfColumns[size];
  const bool fits = ((depths + 0x80808080u - size * 0x01010101u) & tops) == tops;
  return fits ? static_cast<int>(size) : 0;
}

// Marks of 0 or 1 a byte each, packed a bit each, the first mark in a word's lowest bit.
template <size_t n>
std::array<uint64_t, n / 64> PackMarks(const std::array<uint8_t, n>& marks) {
  static_assert(n % 64 == 0 && std::endian::native == std::endian::little, "a word's first byte is its lowest");
  std::array<uint64_t, n / 64> words{};
  for (size_t i = 0; i < n; i += 8) {
    uint64_t bytes;
    std::memcpy(&bytes, &marks[i], sizeof bytes);
    // Byte k (0 or 1) times 2^(56 - 7k) lands in bit 56 + k; no other product reaches bits 56..63.
    words[i / 64] |= (bytes * 0x0102040810204080ull >> 56) << (i % 64);
  }
  return words;
}

// An object drawn in a row, laid when the row is done.
struct TPlacement {
  int16_t Column;
  uint8_t Pick;
};

// The columns a row's road occupies (First > Last: none).
struct TRoadExtent {
  int16_t First = 1, Last = 0;
};

// ---------------------------------------------------------------------------------------------

class TTrackBuilder {
public:
  TTrackBuilder(TRace& race, TRandomDraw draw)
      : TrackMap(race.TrackMap), RowShape(race.RowShape), RoadCenterX(race.RoadCenterX),
        TrackLength(race.TrackLength), SegmentKind(race.SegmentKind), SegmentRowsLeft(race.SegmentRowsLeft),
        ViewCol(race.ViewCol), ViewRow(race.ViewRow), draw_(draw) {}

  void Build();

private:
  int RandomLeftVerge() const { return draw_(4) != 0 ? 1 : 2 + draw_(8); }
  int RandomRightVerge() const { return draw_(4) != 0 ? 13 : 14 + draw_(8); }

  // The road's last row; TrackLength is kept to what the map can hold.
  int TopRoadRow() const { return std::clamp(TrackRows - TrackLength, 1, StartAreaTop); }
  void SetSegment(int kind) {
    SegmentKind = kind;
    SegmentRowsLeft = SegmentRows[kind];
  }
  void LayStartArea();
  void ChooseNextSegment(bool nearFinish);
  void BuildRoadRow(int row);
  int Resolve(int16_t result, int below) const;
  void LayFinishLine();
  void PlaceObjects(TGroundDraws& ground);
  void PlaceObjectAt(int row, int column, int pick, TFreeDepths& freeBelow);
  // Lays object `pick`, of `size` cells square, with its top-left cell at row, column; its
  // columns have no free cells below the drawing row any more.
  template <int size>
  void StampObject(int pick, int row, int column, TFreeDepths& freeBelow) {
    for (int r = 0; r < size; ++r) {
      std::copy_n(&GroundObjects[pick].Tiles[r * size], size, &TrackMap[row + r][column]);
    }
    std::fill_n(&freeBelow[column], size, 0);
  }
  void FillGround(TGroundDraws& ground);
  void FindCentres();
  TGroundDraws SeedGroundDraws() const;

  // The race's track, worked on in place.
  std::array<TTrackRow, TrackRows + 2>& TrackMap;
  std::array<uint8_t, TrackRows + 2>& RowShape;
  std::array<int32_t, TrackRows + 2>& RoadCenterX;
  const int32_t& TrackLength;
  int32_t& SegmentKind;
  int32_t& SegmentRowsLeft;
  int32_t& ViewCol;
  int32_t& ViewRow;
  TRandomDraw draw_;
  std::array<TRoadExtent, TrackRows + 2> roadExtent_{};
};

void TTrackBuilder::LayStartArea() {
  // LV 0 10 11 11 12 0 RV; the start line covers the four lanes.
  for (int row = StartAreaBottom; row >= StartAreaTop; --row) {
    TTrackRow& cells = TrackMap[row];
    cells[StartAreaLeft] = static_cast<uint8_t>(RandomLeftVerge());
    cells[StartAreaLeft + 1] = tileGround;
    cells[StartAreaLeft + 2] = tileLeftLane;
    cells[StartAreaLeft + 3] = tileInnerLane;
    cells[StartAreaLeft + 4] = tileInnerLane;
    cells[StartAreaLeft + 5] = tileRightLane;
    cells[StartAreaLeft + 6] = tileGround;
    cells[StartAreaLeft + 7] = static_cast<uint8_t>(RandomRightVerge());
    RowShape[row] = segStraight;
    roadExtent_[row] = {StartAreaLeft, StartAreaLeft + 7};
  }
  std::fill_n(&TrackMap[StartLineRow][StartAreaLeft + 2], 4, tileStartFinish);
}

void TTrackBuilder::ChooseNextSegment(bool nearFinish) {
  if (nearFinish) {
    SetSegment(NextSegmentNearFinish[SegmentKind]);
    return;
  }
  const TSegmentSuccessor next = NextSegment[SegmentKind];
  if (next.OnZero == next.Otherwise) {
    SetSegment(next.OnZero);
  } else {
    SetSegment(draw_(2) == 0 ? next.OnZero : next.Otherwise);
  }
}

int TTrackBuilder::Resolve(int16_t result, int below) const {
  switch (result) {
    case KEEP: return below;
    case LV: return RandomLeftVerge();
    case RV: return RandomRightVerge();
    default: return result;
  }
}

void TTrackBuilder::BuildRoadRow(int row) {
  const TTrackRow& below = TrackMap[row + 1];
  TTrackRow& cells = TrackMap[row];
  const auto& choices = RuleLookup[SegmentKind];
  const auto put = [&cells](int column, int code) {
    if (column >= 1 && column <= TrackColumns) cells[column] = static_cast<uint8_t>(code);
  };
  // Only the road carries up: the cells beside the road below are unfilled and match no rule.
  const TRoadExtent from = roadExtent_[row + 1];
  for (int k = from.First; k <= from.Last; ++k) {
    const int b = below[k];
    for (const int8_t index : choices[b].Rules) {
      if (index < 0) break;
      const TSegmentRule& rule = SegmentRules[index];
      if (!BesideHolds(rule.When, below[k - 1], below[k + 1])) continue;
      if (rule.Left != NO) put(k - 1, Resolve(rule.Left, b));
      if (rule.Same != NO) put(k, Resolve(rule.Same, b));
      if (rule.Right != NO) put(k + 1, Resolve(rule.Right, b));
      break;
    }
  }
  RowShape[row] = static_cast<uint8_t>(SegmentKind);
  TRoadExtent& extent = roadExtent_[row];
  for (int k = std::max(from.First - 1, 1); k <= std::min(from.Last + 1, TrackColumns); ++k) {
    if (cells[k] == tileUnfilled) continue;
    if (extent.First > extent.Last) extent.First = static_cast<int16_t>(k);
    extent.Last = static_cast<int16_t>(k);
  }
}

void TTrackBuilder::LayFinishLine() {
  const int row = FinishRowOf(TrackLength);
  if (row < 1 || row > TrackRows) return;
  TTrackRow& cells = TrackMap[row];
  const auto inner = std::find(cells.begin() + 1, cells.begin() + TrackColumns + 1, tileInnerLane);
  if (inner == cells.begin() + TrackColumns + 1) return;
  const int k = static_cast<int>(inner - cells.begin());
  for (int c = std::max(k - 1, 1); c <= std::min(k + 2, TrackColumns); ++c) cells[c] = tileStartFinish;
}

void TTrackBuilder::PlaceObjects(TGroundDraws& ground) {
  // An object is placed below the row whose cell drew it, so that it never reaches row TrackRows.
  // freeBelow[c]: how many cells below the current row in column c are unfilled, counted up to
  // the largest object's size, with row TrackRows counting as filled. An object fits where it
  // is at least the object's size in each of its columns.
  TFreeDepths freeBelow{};
  for (int c = 1; c <= TrackColumns; ++c) freeBelow[c] = TrackMap[TrackRows - 1][c] == tileUnfilled;
  for (int i = TrackRows - 2; i >= TopRoadRow(); --i) {
    const TTrackRow& cells = TrackMap[i];
    // Only the cells where at least the smallest object fits and whose left neighbour is free
    // draw: elsewhere the draw would decide nothing. The candidates are marked a byte each, packed
    // a bit each into words and visited a word at a time; an object placed clears the marks of the
    // cells it covers.
    std::array<uint8_t, ObjectColumnsPadded> candidate{};
    for (int j = FirstObjectColumn; j <= LastObjectColumn; ++j) {
      candidate[j - FirstObjectColumn] =
          (freeBelow[j] >= 2) & (freeBelow[j + 1] >= 2) & (cells[j - 1] == tileUnfilled);
    }
    const std::array<uint64_t, ObjectColumnsPadded / 64> words = PackMarks(candidate);
    // The objects are laid once the row is drawn for (they go below it and change nothing a
    // later draw of the row looks at), so that the draw loop does not branch on the outcome.
    std::array<TPlacement, ObjectColumnsPadded / 2 + 1> placed;
    int placedCount = 0;
    uint64_t spill = 0;  // marks of the next word covered by an object
    for (size_t w = 0; w < words.size(); ++w) {
      uint64_t marks = words[w] & ~spill;
      spill = 0;
      while (marks != 0) {
        const int bit = std::countr_zero(marks);
        const int column = FirstObjectColumn + static_cast<int>(w) * 64 + bit;
        const int pick = ground.Draw<GroundObjectDraw>();
        const int size = FittingSize(freeBelow, column, pick);
        placed[placedCount] = {static_cast<int16_t>(column), static_cast<uint8_t>(pick)};
        placedCount += size != 0;
        marks &= marks - 1;
        const auto covered = static_cast<unsigned __int128>((uint64_t{1} << size) - 1) << bit;
        marks &= ~static_cast<uint64_t>(covered);
        spill = static_cast<uint64_t>(covered >> 64);
      }
    }
    for (int k = 0; k < placedCount; ++k) PlaceObjectAt(i, placed[k].Column, placed[k].Pick, freeBelow);
    // Row i itself holds only road so far: objects drawn in rows above it land in it later.
    for (int c = 1; c <= TrackColumns; ++c) {
      freeBelow[c] = cells[c] == tileUnfilled ? static_cast<uint8_t>(std::min(freeBelow[c] + 1, LargestObject)) : 0;
    }
  }
}

// Lays object `pick` below cell (row, column), where it fits.
void TTrackBuilder::PlaceObjectAt(int row, int column, int pick, TFreeDepths& freeBelow) {
  switch (ObjectSizeOfPick[pick]) {
    case 2: StampObject<2>(pick, row + 1, column, freeBelow); break;
    case 3: StampObject<3>(pick, row + 1, column, freeBelow); break;
    default: StampObject<4>(pick, row + 1, column, freeBelow); break;
  }
}

void TTrackBuilder::FillGround(TGroundDraws& ground) {
  // Every cell takes a draw, filled or not, and a mask picks what it keeps, so that the loop need
  // not guess which cells are free. A row's draws come first, then the row is filled in one pass
  // that needs no table.
  constexpr int block = TGroundDraws::DrawsPerWord;
  static_assert(TrackColumns % block == 0, "rows are drawn for in whole blocks");
  constexpr int codeCount = static_cast<int>(FreeCellCodes.size());
  constexpr int firstDecoration = 3, decorationOffset = 46;
  static_assert([] {
    for (int pick = 0; pick < codeCount; ++pick) {
      if (FreeCellCodes[pick] != (pick < firstDecoration ? tileGround : pick + decorationOffset)) return false;
    }
    return tileGround == 0;
  }(), "draws below firstDecoration give ground, the rest a decoration decorationOffset above the draw");
  std::array<uint8_t, TrackColumns> picks;
  for (int r = 1; r <= TrackRows; ++r) {
    for (int c = 0; c < TrackColumns; c += block) {
      const std::array<uint8_t, block> ten = ground.DrawTen<codeCount>();
      std::copy(ten.begin(), ten.end(), &picks[c]);
    }
    uint8_t* const cells = &TrackMap[r][1];
    for (int c = 0; c < TrackColumns; ++c) {
      const uint8_t pick = picks[c];
      const uint8_t code = pick >= firstDecoration ? static_cast<uint8_t>(pick + decorationOffset) : uint8_t{0};
      cells[c] = cells[c] == tileUnfilled ? code : cells[c];
    }
  }
}

void TTrackBuilder::FindCentres() {
  for (int r = 1; r <= TrackRows; ++r) {
    const TTrackRow& cells = TrackMap[r];
    for (int c = roadExtent_[r].First; c <= roadExtent_[r].Last; ++c) {
      const uint8_t code = cells[c];
      if (code == tileInnerLane) {
        // The centre line between the two inner lanes; in rows half-way through a shift it lies
        // 20 pixels to the side.
        switch (cells[c - 1]) {
          case tileLeftLane: RoadCenterX[r] = (c + 1) * CellSize; break;
          case 27: case 45: RoadCenterX[r] = c * CellSize + 92; break;
          case 33: case 39: RoadCenterX[r] = c * CellSize + 52; break;
          default: break;
        }
      } else if (code == tileStartFinish) {
        RoadCenterX[r] = (c - 1) * CellSize;
      }
    }
  }
}

TGroundDraws TTrackBuilder::SeedGroundDraws() const {
  constexpr int HalfSeedBits = 30;
  const auto half = [this] { return static_cast<uint64_t>(draw_(1 << HalfSeedBits)); };
  const uint64_t high = half();
  return TGroundDraws(high << HalfSeedBits | half());
}

void TTrackBuilder::Build() {
  ViewCol = StartViewCol;
  ViewRow = StartViewRow;
  for (int r = 1; r <= TrackRows; ++r) {
    std::fill_n(&TrackMap[r][1], TrackColumns, tileUnfilled);
  }
  RowShape.fill(0);

  LayStartArea();
  SetSegment(segStraight);
  const int topRow = TopRoadRow();
  const int nearFinishFrom = topRow + FinalRowsWithoutShift - 1;
  for (int row = StartAreaTop - 1; row >= topRow; --row) {
    if (SegmentRowsLeft == 0) ChooseNextSegment(row <= nearFinishFrom);
    BuildRoadRow(row);
    --SegmentRowsLeft;
  }
  LayFinishLine();
  TGroundDraws ground = SeedGroundDraws();
  PlaceObjects(ground);
  FillGround(ground);
  FindCentres();
}

}  // namespace

bool TRace::IsRoadTile(int x, int y) const {
  const int col = x / CellSize, row = y / CellSize;
  if (col < 1 || row < 1 || col > TrackColumns || row > TrackRows) return false;
  return RoadCodes[TrackMap[row][col]];
}

void TRace::GenerateTrack(TRandomDraw draw) {
  TTrackBuilder(*this, draw).Build();
  CopyViewToRoad();
}

void TRace::SetUpLevel(int level, TRandomDraw draw) {
  static_cast<TRaceLevel&>(*this) = TRaceLevel{};
  Level = level;
  const int tableLevel = std::clamp(level, 1, LevelCount);
  TrackLength = TrackLengthOfLevel(tableLevel);
  RaceTimeLeft = LevelTimeLimit[tableLevel] * 1000;
  BonusCount = 10 * tableLevel;
  GenerateTrack(draw);
}
