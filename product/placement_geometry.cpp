#include "product/placement_geometry.h"

#include "common/types.h"

namespace {

int32_t Clamp(int32_t value, int32_t low, int32_t high) {
  if (value < low) return low;
  if (value > high) return high;
  return value;
}

}  // namespace

CoverageLayout DefaultCoverageLayout(const PlacementRect& workArea, int32_t iconSpacingX) {
  CoverageLayout layout = {};
  layout.leftMargin = iconSpacingX;
  layout.splitX = (workArea.right - workArea.left) / 2 + layout.leftMargin;
  layout.splitY = (workArea.bottom - workArea.top) / 2 + layout.topMargin;
  return layout;
}

int CoverageRect(const PlacementRect& workArea, const CoverageLayout& layout,
                 PlacementRect* coverage) {
  PlacementRect r;
  r.left = workArea.left + layout.leftMargin;
  r.top = workArea.top + layout.topMargin;
  r.right = workArea.right - layout.rightMargin;
  r.bottom = workArea.bottom - layout.bottomMargin;
  if (r.right <= r.left || r.bottom <= r.top) return 0;
  *coverage = r;
  return 1;
}

int AreaRect(int32_t area, const PlacementRect& workArea, const CoverageLayout& layout,
             PlacementRect* rect) {
  PlacementRect c;
  if (area < WholeArea || area > LowerRight) return 0;
  if (!CoverageRect(workArea, layout, &c)) return 0;
  // A divider outside the coverage rectangle (a stored split from another
  // screen size) would give an empty side: keep it on the rectangle.
  const int32_t x = Clamp(workArea.left + layout.splitX, c.left, c.right);
  const int32_t y = Clamp(workArea.top + layout.splitY, c.top, c.bottom);
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
