// The one export of Morvantile.dll: a table of its placement routines.
// Morvantile.exe loads the library at run time from its own folder, so the
// uninstaller, which never loads it, can remove it.
#pragma once

#include <stdint.h>

#include "product/product_settings.h"

struct PlacementLibrary {
  uint32_t size;   // sizeof(PlacementLibrary) of the library's build
  int (*AreaRect)(int32_t area, const PlacementRect& workArea, const CoverageLayout& layout,
                  PlacementRect* rect);
  void (*DefaultProductSettings)(const PlacementRect& workArea, int32_t iconSpacingX,
                                 ProductSettings* settings);
  int (*ReadSettingsFileImage)(const unsigned char* bytes, size_t size,
                               const PlacementRect& workArea, int32_t iconSpacingX,
                               int32_t iconSpacingY, ProductSettings* settings);
  void (*FreeProductSettings)(ProductSettings* settings);
};

#define MORVANTILE_LIBRARY_EXPORT "MorvantilePlacementLibrary"
typedef const PlacementLibrary* (*PlacementLibraryEntry)();
