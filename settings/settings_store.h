// The product's per-user settings in the registry: one reader and one writer
// per settings group. Readers never fail: they start from the group's
// defaults, overlay what they can read and, when anything was missing,
// write the whole group back. Every call builds its key path from
// SetupState.settingsKeyPath under HKEY_CURRENT_USER and keeps no key open.
//
// This header is portable (the records are also laid out in the settings
// file); the accessors themselves exist only in the Windows build.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "common/types.h"

// Values of the product key that the installation reads too; inline, so
// the program holds each name once.
inline constexpr char kLastPathValue[] = "LastPath";
inline constexpr char kUpgradeVerValue[] = "UpgradeVer";
inline constexpr char kCoverageAreaValue[] = "CoverageArea";   // a sub-key now, a value in old layouts

// Eight 32-bit fields; each registry value carries two of them as 16-bit
// halves, the earlier field in the low word.
struct CoverageAreaSettings {
  int32_t leftMargin;      // "LeftTop" low
  int32_t topMargin;       // "LeftTop" high
  int32_t rightMargin;     // "RightBottom" low
  int32_t bottomMargin;    // "RightBottom" high
  int32_t splitX;          // "VertHorz" low
  int32_t splitY;          // "VertHorz" high
  int32_t snapToIconGrid;  // "Snaps" low
  int32_t snapsHigh;       // "Snaps" high, kept as found
};
static_assert(sizeof(CoverageAreaSettings) == 32, "coverage record");

// Stored byte for byte in the settings file: the layout is fixed.
struct ClipPrintSettings {
  char faceName[32];        // behind the NUL: the tail of the default name, or zeros
  int32_t fontSize;         // 0..255
  int32_t formatBit2;
  int32_t formatBit0;
  uint32_t hotKey;
  int32_t marginLeft;       // margins 0..15
  int32_t marginTop;
  int32_t marginRight;
  int32_t marginBottom;
  uint8_t formatCount;      // 1..15
  uint8_t zero[3];          // so bytes 64..67 read as formatCount
  int32_t formatBit1;
};
static_assert(sizeof(ClipPrintSettings) == 72, "clip print record is 72 bytes");
static_assert(offsetof(ClipPrintSettings, fontSize) == 32, "layout");
static_assert(offsetof(ClipPrintSettings, formatBit2) == 36, "layout");
static_assert(offsetof(ClipPrintSettings, formatBit0) == 40, "layout");
static_assert(offsetof(ClipPrintSettings, hotKey) == 44, "layout");
static_assert(offsetof(ClipPrintSettings, marginLeft) == 48, "layout");
static_assert(offsetof(ClipPrintSettings, marginTop) == 52, "layout");
static_assert(offsetof(ClipPrintSettings, marginRight) == 56, "layout");
static_assert(offsetof(ClipPrintSettings, marginBottom) == 60, "layout");
static_assert(offsetof(ClipPrintSettings, formatCount) == 64, "layout");
static_assert(offsetof(ClipPrintSettings, formatBit1) == 68, "layout");

struct ScreensaverSettings {
  int32_t enabled;       // "EnableSize" low
  int32_t firstCorner;   // "Position" low, an Area
  int32_t secondCorner;  // "Position" high, an Area
  int32_t size;          // "EnableSize" high
  int32_t delay;         // "Delay"
};
static_assert(sizeof(ScreensaverSettings) == 20, "screensaver record");

const char kDefaultFaceName[] = "Times New Roman";
const uint32_t kDefaultClipPrintHotKey = 0x60050;

// The name of an Area ("Whole Area", ...); the empty text for unknown codes.
// For the Areas 1..9 it names the value in "HotKeys".
const char* AreaName(Area area);

// "SizeFormat" of "ClipPrint". Unpacking raises a formatCount of 0 to 1;
// packing does not mask the fields.
void UnpackSizeFormat(uint32_t packed, ClipPrintSettings* settings);
uint32_t PackSizeFormat(const ClipPrintSettings* settings);

// Builds "<settingsKeyPath>\<subKey>" (or the product key itself for a null
// subKey) into a buffer of kKeyPathSize bytes; 0 when it does not fit.
const unsigned kKeyPathSize = 256;
int SettingsKeyPath(const char* subKey, char* path);

uint32_t ReadUpgradeVer();  // 0 when missing; never repaired
void WriteUpgradeVer(uint32_t version);
uint32_t ReadAutoPos();
void WriteAutoPos(uint32_t value);
uint32_t ReadColors();
void WriteColors(uint32_t value);
uint32_t ReadAlwaysMove();
void WriteAlwaysMove(uint32_t value);
uint32_t ReadHotKey(Area area);
void WriteHotKey(Area area, uint32_t hotKey);
void ReadCoverageArea(CoverageAreaSettings* settings);
void WriteCoverageArea(const CoverageAreaSettings* settings);
void ReadClipPrint(ClipPrintSettings* settings);
void WriteClipPrint(ClipPrintSettings* settings);  // clamps the caller's record
void ReadScreensaver(ScreensaverSettings* settings);
void WriteScreensaver(const ScreensaverSettings* settings);

#ifdef _WIN32
#include <windows.h>

// Shared with the application list and the migration.
// Opens the settings key (or its sub-key) with the given rights.
int OpenSettingsKey(const char* subKey, REGSAM access, HKEY* key);
// Creates or opens the settings key (or its sub-key) for writing.
int CreateSettingsKey(const char* subKey, HKEY* key);
// Fills the record with the "ClipPrint" defaults and overlays "HotKey",
// "SizeFormat" (unpacked by `unpack`, which differs between layouts) and
// "FaceName" of the "ClipPrint" key, each tried even after one is missing;
// 1 when all were there. A shorter face name leaves the tail of the default
// name behind its NUL. Writes nothing.
int QueryClipPrint(void (*unpack)(uint32_t packed, ClipPrintSettings* settings),
                   ClipPrintSettings* record);
// Writes a REG_SZ value with its NUL, or a REG_DWORD value.
void SetTextValue(HKEY key, const char* name, const char* text);
void SetNumberValue(HKEY key, const char* name, uint32_t number);
// A number is read as four bytes whatever the value's type; a shorter value
// is its number zero-extended, so it never mixes with a default.
int QueryNumber(HKEY key, const char* name, uint32_t* value);
// The work area of the primary display (the full screen when unknown).
void GetWorkArea(RECT* area);
#endif
