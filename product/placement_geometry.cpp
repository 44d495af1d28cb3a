#include "product/placement_geometry.h"

#include "common/types.h"

namespace {

// Coordinates come from settings files and the registry as well as from the
// system: sums and differences are taken in 64 bits, and a result that does
// not fit 32 bits is saturated, never wrapped.
int32_t Saturate(int64_t value) {
  if (value < INT32_MIN) return INT32_MIN;
  if (value > INT32_MAX) return INT32_MAX;
  return static_cast<int32_t>(value);
}

int64_t Clamp(int64_t value, int64_t low, int64_t high) {
  if (value < low) return low;
  if (value > high) return high;
  return value;
}

}  // namespace

CoverageLayout DefaultCoverageLayout(const PlacementRect& workArea, int32_t iconSpacingX) {
  CoverageLayout layout = {};
  layout.leftMargin = iconSpacingX;
  const int64_t width = static_cast<int64_t>(workArea.right) - workArea.left;
  const int64_t height = static_cast<int64_t>(workArea.bottom) - workArea.top;
  layout.splitX = Saturate(width / 2 + layout.leftMargin);
  layout.splitY = Saturate(height / 2 + layout.topMargin);
  return layout;
}

// The rectangle must also leave its width and height representable, so
// that whoever sizes a window by it never overflows.
int CoverageRect(const PlacementRect& workArea, const CoverageLayout& layout,
                 PlacementRect* coverage) {
  const int64_t left = static_cast<int64_t>(workArea.left) + layout.leftMargin;
  const int64_t top = static_cast<int64_t>(workArea.top) + layout.topMargin;
  const int64_t right = static_cast<int64_t>(workArea.right) - layout.rightMargin;
  const int64_t bottom = static_cast<int64_t>(workArea.bottom) - layout.bottomMargin;
  if (right <= left || bottom <= top) return 0;
  if (left < INT32_MIN || top < INT32_MIN || right > INT32_MAX || bottom > INT32_MAX) return 0;
  if (right - left > INT32_MAX || bottom - top > INT32_MAX) return 0;
  *coverage = PlacementRect{static_cast<int32_t>(left), static_cast<int32_t>(top),
                            static_cast<int32_t>(right), static_cast<int32_t>(bottom)};
  return 1;
}

int AreaRect(int32_t area, const PlacementRect& workArea, const CoverageLayout& layout,
             PlacementRect* rect) {
  PlacementRect c;
  if (area < WholeArea || area > LowerRight) return 0;
  if (!CoverageRect(workArea, layout, &c)) return 0;
  // A divider outside the coverage rectangle (a stored split from another
  // screen size) would give an empty side: keep it on the rectangle.
  const int32_t x = static_cast<int32_t>(
      Clamp(static_cast<int64_t>(workArea.left) + layout.splitX, c.left, c.right));
  const int32_t y = static_cast<int32_t>(
      Clamp(static_cast<int64_t>(workArea.top) + layout.splitY, c.top, c.bottom));
  PlacementRect r = c;
  switch (area) {
    case WholeArea: break;
    case LeftSide: r.right = x; break;
    case RightSide: r.left = x; break;
    case TopHalf: r.bottom = y; break;
    case BottomHalf: r.top = y; break;
    case UpperLeft: r.right = x; r.bottom = y; break;
    case UpperRight: r.left = x; r.bottom = y; break;
    case LowerLeft: r.right = x; r.top = y; break;
    case LowerRight: r.left = x; r.top = y; break;
  }
  *rect = r;
  return 1;
}
