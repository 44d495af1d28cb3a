#include <gtest/gtest.h>

#include "common/types.h"
#include "product/placement_geometry.h"

bool operator==(const PlacementRect& a, const PlacementRect& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

void PrintTo(const PlacementRect& r, std::ostream* out) {
  *out << "(" << r.left << "," << r.top << "," << r.right << "," << r.bottom << ")";
}

namespace {

// A 1024x768 screen with a 40-pixel task bar at the bottom.
const PlacementRect kWorkArea = {0, 0, 1024, 728};

PlacementRect Area(int32_t area, const CoverageLayout& layout,
                   const PlacementRect& workArea = kWorkArea) {
  PlacementRect r = {-1, -1, -1, -1};
  EXPECT_EQ(AreaRect(area, workArea, layout, &r), 1) << "area " << area;
  return r;
}

TEST(PlacementGeometry, DefaultLayoutLeavesTheIconColumnAndSplitsFromTheWorkAreaEdge) {
  const CoverageLayout layout = DefaultCoverageLayout(kWorkArea, 75);
  EXPECT_EQ(layout.leftMargin, 75);
  EXPECT_EQ(layout.topMargin, 0);
  EXPECT_EQ(layout.rightMargin, 0);
  EXPECT_EQ(layout.bottomMargin, 0);
  EXPECT_EQ(layout.splitX, 512 + 75);
  EXPECT_EQ(layout.splitY, 364);
}

TEST(PlacementGeometry, EachAreaIsItsPartOfTheCoverageRectangle) {
  // Coverage (10, 20)-(1014, 708), dividers at x 400 and y 300.
  const CoverageLayout layout = {10, 20, 10, 20, 400, 300};
  EXPECT_EQ(Area(WholeArea, layout), (PlacementRect{10, 20, 1014, 708}));
  EXPECT_EQ(Area(LeftSide, layout), (PlacementRect{10, 20, 400, 708}));
  EXPECT_EQ(Area(RightSide, layout), (PlacementRect{400, 20, 1014, 708}));
  EXPECT_EQ(Area(TopHalf, layout), (PlacementRect{10, 20, 1014, 300}));
  EXPECT_EQ(Area(BottomHalf, layout), (PlacementRect{10, 300, 1014, 708}));
  EXPECT_EQ(Area(UpperLeft, layout), (PlacementRect{10, 20, 400, 300}));
  EXPECT_EQ(Area(UpperRight, layout), (PlacementRect{400, 20, 1014, 300}));
  EXPECT_EQ(Area(LowerLeft, layout), (PlacementRect{10, 300, 400, 708}));
  EXPECT_EQ(Area(LowerRight, layout), (PlacementRect{400, 300, 1014, 708}));
}

TEST(PlacementGeometry, DividersAreMeasuredFromTheWorkAreaOfTheWindowsMonitor) {
  // A second monitor to the right of the first one.
  const PlacementRect second = {1024, 0, 2048, 768};
  const CoverageLayout layout = {0, 0, 0, 0, 512, 384};
  EXPECT_EQ(Area(UpperRight, layout, second), (PlacementRect{1536, 0, 2048, 384}));
  EXPECT_EQ(Area(LowerLeft, layout, second), (PlacementRect{1024, 384, 1536, 768}));
}

// A divider on or beyond an edge of the coverage would leave a side empty,
// and a window sized to it off the screen: the coverage is halved instead.
TEST(PlacementGeometry, DividersOnOrBeyondTheCoverageEdgesHalveIt) {
  const CoverageLayout stored = {0, 0, 0, 0, 1500, -20};   // for a larger screen
  EXPECT_EQ(Area(LeftSide, stored), (PlacementRect{0, 0, 512, 728}));
  EXPECT_EQ(Area(BottomHalf, stored), (PlacementRect{0, 364, 1024, 728}));
  const CoverageLayout onEdges = {0, 0, 0, 0, 1024, 0};
  EXPECT_EQ(Area(RightSide, onEdges), (PlacementRect{512, 0, 1024, 728}));
  EXPECT_EQ(Area(TopHalf, onEdges), (PlacementRect{0, 0, 1024, 364}));

  // The defaults of a wide primary monitor on a smaller second one: every
  // area has room and lies on that monitor.
  const CoverageLayout defaults = DefaultCoverageLayout({0, 0, 1920, 1040}, 75);
  const PlacementRect second = {1920, 0, 2944, 768};
  for (int32_t area = WholeArea; area <= LowerRight; area++) {
    const PlacementRect r = Area(area, defaults, second);
    EXPECT_LT(r.left, r.right) << area;
    EXPECT_LT(r.top, r.bottom) << area;
    EXPECT_TRUE(r.left >= second.left + 75 && r.right <= second.right && r.top >= second.top &&
                r.bottom <= second.bottom)
        << area;
  }
}

TEST(PlacementGeometry, RefusesOtherCodesAndAnEmptyCoverage) {
  const CoverageLayout layout = DefaultCoverageLayout(kWorkArea, 75);
  PlacementRect r = {1, 2, 3, 4};
  for (int32_t code : {-1, 0, 10, 11, -7}) {
    EXPECT_EQ(AreaRect(code, kWorkArea, layout, &r), 0) << code;
  }
  const CoverageLayout tooWide = {600, 0, 500, 0, 512, 364};
  EXPECT_EQ(AreaRect(WholeArea, kWorkArea, tooWide, &r), 0);
  EXPECT_EQ(CoverageRect(kWorkArea, tooWide, &r), 0);
  EXPECT_EQ(r, (PlacementRect{1, 2, 3, 4})) << "a refused call leaves the output alone";
}

// Margins and dividers from a crafted settings file or registry: sums may
// not wrap round, and no rectangle is wider than a window can be sized.
TEST(PlacementGeometry, ExtremeNumbersNeitherWrapNorOverflow) {
  PlacementRect r = {1, 2, 3, 4};
  const PlacementRect leftMonitor = {-1024, 0, 0, 768};
  const CoverageLayout wrapsToRoom = {INT32_MIN, 0, INT32_MIN + 1, 0, 0, 0};
  EXPECT_EQ(AreaRect(WholeArea, leftMonitor, wrapsToRoom, &r), 0) << "a left edge below the range";

  const PlacementRect huge = {INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX};
  const CoverageLayout extremeSplits = {0, 0, 0, 0, INT32_MAX, INT32_MIN};
  EXPECT_EQ(AreaRect(WholeArea, huge, extremeSplits, &r), 0) << "wider than any window can be";

  // Dividers beyond the range halve the coverage.
  const PlacementRect small = {1, -1, 101, 100};
  EXPECT_EQ(Area(LeftSide, extremeSplits, small), (PlacementRect{1, -1, 51, 100}));
  EXPECT_EQ(Area(TopHalf, extremeSplits, small), (PlacementRect{1, -1, 101, 49}));

  const CoverageLayout defaults = DefaultCoverageLayout(huge, INT32_MAX);
  EXPECT_EQ(defaults.splitX, INT32_MAX);
  EXPECT_EQ(defaults.splitY, INT32_MAX);
}

}  // namespace
