// The quad collision test by angle sums, shared by the bike, the rivals and the road.
#include <algorithm>
#include <cmath>
#include <numbers>

#include "race/race.h"

namespace {

// Seen from inside, the corners turn through a full circle; a little is given away to rounding.
constexpr double InsideAngleSum = 355.0;

// The angle between two unit vectors, in degrees. Rounding can carry the dot product of two unit
// vectors just past +-1, where acos has no value.
double DegreesBetween(const TPointF& u, const TPointF& v) {
  const double dot = std::clamp(u.X * v.X + u.Y * v.Y, -1.0, 1.0);
  return std::acos(dot) * (180.0 / std::numbers::pi);
}

// Seen from a point farther than this many times the radius of a circle around the corners, the
// corners lie within a cone narrower than 88.75 degrees (asin(1 / 1.5) / 2 < 44.375 degrees), so
// four angles between them add up to less than InsideAngleSum: the point is outside, whatever
// the quad's shape.
constexpr double FarRadii = 1.5;

bool FarFromCorners(const TPointF& p, const TPointF* const (&corners)[4]) {
  double cx = 0, cy = 0;
  for (const TPointF* c : corners) {
    cx += c->X / 4;
    cy += c->Y / 4;
  }
  double radius2 = 0;
  for (const TPointF* c : corners) radius2 = std::max(radius2, (c->X - cx) * (c->X - cx) + (c->Y - cy) * (c->Y - cy));
  const double distance2 = (p.X - cx) * (p.X - cx) + (p.Y - cy) * (p.Y - cy);
  return distance2 > FarRadii * FarRadii * radius2;
}

}  // namespace

bool PointInQuad(const TPointF& p, const TPointF& a, const TPointF& b, const TPointF& c, const TPointF& d) {
  const TPointF* const corners[4] = {&a, &b, &c, &d};
  if (FarFromCorners(p, corners)) return false;
  TPointF toCorner[4];
  for (int i = 0; i < 4; ++i) {
    const double dx = corners[i]->X - p.X;
    const double dy = corners[i]->Y - p.Y;
    const double length = std::hypot(dx, dy);
    if (length == 0.0) return true;  // the point is a corner
    toCorner[i] = TPointF{dx / length, dy / length};
  }
  double sum = 0;
  for (int i = 0; i < 4; ++i) sum += DegreesBetween(toCorner[i], toCorner[(i + 1) % 4]);
  return sum >= InsideAngleSum;
}

bool PointInQuad(const TPointF& p, const TQuad& q) { return PointInQuad(p, q[0], q[1], q[2], q[3]); }

bool QuadsOverlap(const TQuad& a, const TQuad& b) {
  const auto anyCornerIn = [](const TQuad& corners, const TQuad& quad) {
    return std::any_of(corners.begin(), corners.end(), [&quad](const TPointF& p) { return PointInQuad(p, quad); });
  };
  return anyCornerIn(a, b) || anyCornerIn(b, a);
}
