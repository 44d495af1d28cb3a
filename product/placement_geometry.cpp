#include "product/placement_geometry.h"

#include "common/types.h"

namespace {

// Coordinates come from settings files and the registry as well as from the
// system, so no sum or difference may wrap. The checks stay in 32 bits:
// 64-bit arithmetic costs i686 code twice the size.

// base + offset kept within [low, high]; a sum past the 32-bit range lies
// beyond the end its sign points to.
int32_t ClampedSum(int32_t base, int32_t offset, int32_t low, int32_t high) {
  int32_t sum;
  if (__builtin_add_overflow(base, offset, &sum)) return offset > 0 ? high : low;
  if (sum < low) return low;
  if (sum > high) return high;
  return sum;
}

// Half the distance from one coordinate to another, rounded toward zero:
// it fits 32 bits even where the distance does not.
int32_t HalfDistance(int32_t from, int32_t to) {
  const uint32_t distance = static_cast<uint32_t>(to) - static_cast<uint32_t>(from);
  if (to >= from) return static_cast<int32_t>(distance >> 1);
  return -static_cast<int32_t>((0u - distance) >> 1);
}

// A divider at origin + split between low and high. One on or beyond an edge
// (a split stored for another screen size, or the defaults of a larger
// primary monitor on a smaller one) would leave a side empty, and a window
// sized to it off the screen: such a divider halves the range instead.
int32_t Divider(int32_t origin, int32_t split, int32_t low, int32_t high) {
  const int32_t at = ClampedSum(origin, split, low, high);
  return at > low && at < high ? at : low + HalfDistance(low, high);
}

}  // namespace

CoverageLayout DefaultCoverageLayout(const PlacementRect& workArea, int32_t iconSpacingX) {
  CoverageLayout layout = {};
  layout.leftMargin = iconSpacingX;
  layout.splitX = ClampedSum(HalfDistance(workArea.left, workArea.right), layout.leftMargin,
                             INT32_MIN, INT32_MAX);
  layout.splitY = ClampedSum(HalfDistance(workArea.top, workArea.bottom), layout.topMargin,
                             INT32_MIN, INT32_MAX);
  return layout;
}

// The rectangle must also leave its width and height representable, so
// that whoever sizes a window by it never overflows. Any edge past the
// 32-bit range leaves nothing.
int CoverageRect(const PlacementRect& workArea, const CoverageLayout& layout,
                 PlacementRect* coverage) {
  PlacementRect c;
  int32_t width, height;
  if (__builtin_add_overflow(workArea.left, layout.leftMargin, &c.left) ||
      __builtin_add_overflow(workArea.top, layout.topMargin, &c.top) ||
      __builtin_sub_overflow(workArea.right, layout.rightMargin, &c.right) ||
      __builtin_sub_overflow(workArea.bottom, layout.bottomMargin, &c.bottom))
    return 0;
  if (c.right <= c.left || c.bottom <= c.top) return 0;
  if (__builtin_sub_overflow(c.right, c.left, &width) ||
      __builtin_sub_overflow(c.bottom, c.top, &height))
    return 0;
  *coverage = c;
  return 1;
}

int AreaRect(int32_t area, const PlacementRect& workArea, const CoverageLayout& layout,
             PlacementRect* rect) {
  PlacementRect c;
  if (area < WholeArea || area > LowerRight) return 0;
  if (!CoverageRect(workArea, layout, &c)) return 0;
  const int32_t x = Divider(workArea.left, layout.splitX, c.left, c.right);
  const int32_t y = Divider(workArea.top, layout.splitY, c.top, c.bottom);
  // The sides, halves and quarters end at the dividers on their inner edges.
  const uint32_t is = 1u << area;  // the Area's bit
  if (is & (1u << LeftSide | 1u << UpperLeft | 1u << LowerLeft)) c.right = x;
  if (is & (1u << RightSide | 1u << UpperRight | 1u << LowerRight)) c.left = x;
  if (is & (1u << TopHalf | 1u << UpperLeft | 1u << UpperRight)) c.bottom = y;
  if (is & (1u << BottomHalf | 1u << LowerLeft | 1u << LowerRight)) c.top = y;
  *rect = c;
  return 1;
}
