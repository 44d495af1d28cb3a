// The settings the running product works with, whichever store they came
// from: the settings file in its folder, the registry, or the defaults.
// Portable: no Windows headers.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "product/placement_geometry.h"

// One application whose windows are placed when they appear.
struct AppPlacement {
  char path[2048];            // short path of the program, NUL-terminated
  int32_t area;               // Area code; Custom uses customRect
  PlacementRect customRect;   // screen coordinates, for Custom only
};

struct ProductSettings {
  uint32_t hotKeys[9];        // Areas 1..9: low word key, high word modifiers
  CoverageLayout layout;
  int32_t snapToIconGrid;
  int32_t catchAllArea;       // the "*" entry; kept, not applied by itself
  uint32_t appCount;
  AppPlacement* apps;         // MemAlloc block of appCount entries, or null
};

// Hot-key modifier flags in the high word of a hot-key code.
enum : uint32_t { kHotKeyAlt = 1, kHotKeyCtrl = 2, kHotKeyShift = 4, kHotKeyWin = 8 };

// The hot key of each Area 1..9 when nothing is stored: Ctrl+Shift with
// Home, the arrows, and the digits 1 to 4.
uint32_t DefaultHotKey(int32_t area);

// Everything at its default for a work area and icon spacing; no apps.
void DefaultProductSettings(const PlacementRect& workArea, int32_t iconSpacingX,
                            ProductSettings* settings);

// Releases the application list and empties it.
void FreeProductSettings(ProductSettings* settings);

// Reads a settings file image ("default.MorvantileSettings") into settings,
// resolving its edges against the current work area and icon spacing.
// Returns 1 on success. On a malformed file returns 0 and leaves settings
// as they were.
int ReadSettingsFileImage(const unsigned char* bytes, size_t size, const PlacementRect& workArea,
                          int32_t iconSpacingX, int32_t iconSpacingY, ProductSettings* settings);

// The Area code of a placement code of the settings file; 0 for none.
int32_t AreaFromPlacementCode(uint32_t code);
