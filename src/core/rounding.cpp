// The saturating double -> int conversions.
#include <climits>
#include <cmath>

#include "core/core.h"

namespace {

// `whole` is already a whole number (or NaN).
int Saturate(double whole) {
  if (std::isnan(whole)) return 0;
  if (whole >= static_cast<double>(INT_MAX)) return INT_MAX;
  if (whole <= static_cast<double>(INT_MIN)) return INT_MIN;
  return static_cast<int>(whole);
}

}  // namespace

int RoundHalfEven(double v) { return Saturate(std::nearbyint(v)); }
int TruncToInt(double v) { return Saturate(std::trunc(v)); }
