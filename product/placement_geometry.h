// Where a placement area lies on the screen. Portable: no Windows headers,
// so the rules are built and tested natively as well as in Morvantile.dll.
#pragma once

#include <stdint.h>

struct PlacementRect {
  int32_t left, top, right, bottom;
};

// How the product divides a work area: the margins left out at each edge,
// and the dividers, measured from the work area's left and top edges.
struct CoverageLayout {
  int32_t leftMargin, topMargin, rightMargin, bottomMargin;
  int32_t splitX, splitY;
};

// The layout a fresh installation uses on a work area: a left margin of one
// icon spacing (the desktop icons' column) and dividers in the middle.
CoverageLayout DefaultCoverageLayout(const PlacementRect& workArea, int32_t iconSpacingX);

// The work area shrunk by the margins. Returns 0 when nothing is left.
int CoverageRect(const PlacementRect& workArea, const CoverageLayout& layout,
                 PlacementRect* coverage);

// The rectangle of Area code 1..9 (whole area, sides, halves, quarters) of
// the coverage rectangle, divided at the dividers, which are kept inside it.
// Returns 0 for any other code or an empty coverage rectangle.
int AreaRect(int32_t area, const PlacementRect& workArea, const CoverageLayout& layout,
             PlacementRect* rect);
