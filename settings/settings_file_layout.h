// The byte layout of the product's settings file "default.MorvantileSettings":
// a 4-byte header ("MV", version 0x0300) and five chunks in the order 3, 6,
// 1, 5, 7, little-endian and packed. Portable: the Windows side gathers the
// settings into SettingsFileInputs, this code turns them into bytes.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "common/types.h"
#include "settings/settings_store.h"
#include "settings/settings_text.h"

const uint16_t kSettingsFileVersion = 0x0300;

// One application of the list, in the order the registry enumerated it.
struct SettingsFileApp {
  const char* path;  // short path
  Area area;
};

struct SettingsFileInputs {
  ScreensaverSettings screensaver;
  ClipPrintSettings clipPrint;
  CoverageAreaSettings coverage;
  SettingsRect workArea;
  uint32_t iconSpacingX;
  uint32_t iconSpacingY;
  uint32_t hotKeys[9];  // Areas 1..9
  uint32_t colors;
  uint32_t alwaysMove;  // high 16 bits: the catch-all entry's Area
  const SettingsFileApp* apps;
  uint32_t appCount;
};

// The code an Area is stored with: (area - 1) * 4096 + 1 for 1..9, else 0.
uint16_t PlacementCode(int32_t area);
// The colour code of a Colors setting (its low 16 bits 0..8), else 0.
uint32_t ColourCode(uint32_t colors);

// The whole file in one heap block (MemAlloc; the caller frees it with
// MemFree) and its size; null when memory ran out or a length overflows.
uint8_t* AssembleSettingsFile(const SettingsFileInputs* inputs, size_t* size);
