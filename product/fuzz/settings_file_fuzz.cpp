// Any bytes as a settings file, on any work area and icon spacing: the
// reader must refuse it or read it without reading past it, and every area
// the geometry then gives must lie inside the work area's coverage, with a
// width and height a window can be sized to.
//
// Input: 24 bytes of work area (left, top, right, bottom) and icon spacing
// (x, y), little-endian 32-bit numbers, then the file.
#include <stddef.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include "common/types.h"
#include "product/product_settings.h"

namespace {

int32_t Take32(const uint8_t* p) {
  return static_cast<int32_t>(p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24));
}

void CheckAreas(const PlacementRect& workArea, const CoverageLayout& layout) {
  PlacementRect coverage;
  const int haveRoom = CoverageRect(workArea, layout, &coverage);
  for (int32_t area = None; area <= Custom; area++) {
    PlacementRect r;
    if (!AreaRect(area, workArea, layout, &r)) continue;
    if (!haveRoom || area < WholeArea || area > LowerRight) abort();
    if (r.left < coverage.left || r.right > coverage.right || r.top < coverage.top ||
        r.bottom > coverage.bottom || r.left > r.right || r.top > r.bottom)
      abort();
    if (static_cast<int64_t>(r.right) - r.left > INT32_MAX ||
        static_cast<int64_t>(r.bottom) - r.top > INT32_MAX)
      abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 24) return 0;
  const PlacementRect workArea = {Take32(data), Take32(data + 4), Take32(data + 8), Take32(data + 12)};
  const int32_t spacingX = Take32(data + 16), spacingY = Take32(data + 20);

  ProductSettings settings;
  DefaultProductSettings(workArea, spacingX, &settings);
  CheckAreas(workArea, settings.layout);

  // The file in a block of its own size, so that AddressSanitizer sees any
  // read past its end.
  const size_t fileSize = size - 24;
  unsigned char* file = static_cast<unsigned char*>(malloc(fileSize ? fileSize : 1));
  if (fileSize) memcpy(file, data + 24, fileSize);
  if (ReadSettingsFileImage(file, fileSize, workArea, spacingX, spacingY, &settings)) {
    if (settings.appCount > 0 && settings.apps == nullptr) abort();
    for (uint32_t i = 0; i < settings.appCount; i++) {
      if (memchr(settings.apps[i].path, 0, sizeof settings.apps[i].path) == nullptr) abort();
      if (settings.apps[i].path[0] == 0) abort();
    }
    CheckAreas(workArea, settings.layout);
  }
  free(file);
  FreeProductSettings(&settings);
  return 0;
}
