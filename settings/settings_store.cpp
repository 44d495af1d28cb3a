#include "settings/settings_store.h"

#include <string.h>

#include "common/memory.h"
#include "common/setup_state.h"
#include "common/text_format.h"

namespace {

const uint32_t kDefaultAutoPos = 26;
const uint32_t kDefaultColors = 0;
const uint32_t kDefaultAlwaysMove = 0x10001;

const char* const kAreaNames[] = {
    "None",       "Whole Area", "Left Side",   "Top Half",   "Right Side", "Bottom Half",
    "Upper-Left", "Upper-Right", "Lower-Left", "Lower-Right", "Custom",
};

// Hot keys of the Areas 1..9: modifier value 6 with Home, the arrows, 1..4.
const uint32_t kDefaultHotKeys[] = {
    0x60024, 0x60025, 0x60026, 0x60027, 0x60028, 0x60031, 0x60032, 0x60033, 0x60034,
};

uint32_t PackHalves(int32_t low, int32_t high) {
  return (static_cast<uint32_t>(high) << 16) | (static_cast<uint32_t>(low) & 0xFFFF);
}

void WriteScalar(const char* subKey, const char* name, uint32_t value) {
  HKEY key;
  if (!CreateSettingsKey(subKey, &key)) return;
  SetNumberValue(key, name, value);
  RegCloseKey(key);
}

// A value that stands alone (a scalar of the product key, a hot key): read,
// or repaired with its default.
uint32_t ReadScalar(const char* subKey, const char* name, uint32_t fallback) {
  uint32_t value = fallback;
  HKEY key;
  int found = 0;
  if (OpenSettingsKey(subKey, KEY_READ, &key)) {
    found = QueryNumber(key, name, &value);
    RegCloseKey(key);
  }
  if (found) return value;
  WriteScalar(subKey, name, fallback);
  return fallback;
}

// The groups "CoverageArea" and "Screensaver" are records of 32-bit fields.
// Each value of theirs carries two fields as 16-bit halves (the earlier
// field in the low word, each zero-extended when read), or one field whole.
struct GroupValue {
  const char* name;
  uint8_t low, high;  // field indexes in the record; high is kWhole for a whole field
};
const uint8_t kWhole = 0xFF;
#define FIELD(Record, field) static_cast<uint8_t>(offsetof(Record, field) / sizeof(int32_t))

const GroupValue kCoverageValues[] = {
    {"LeftTop", FIELD(CoverageAreaSettings, leftMargin), FIELD(CoverageAreaSettings, topMargin)},
    {"RightBottom", FIELD(CoverageAreaSettings, rightMargin),
     FIELD(CoverageAreaSettings, bottomMargin)},
    {"VertHorz", FIELD(CoverageAreaSettings, splitX), FIELD(CoverageAreaSettings, splitY)},
    {"Snaps", FIELD(CoverageAreaSettings, snapToIconGrid), FIELD(CoverageAreaSettings, snapsHigh)},
};
const GroupValue kScreensaverValues[] = {
    {"EnableSize", FIELD(ScreensaverSettings, enabled), FIELD(ScreensaverSettings, size)},
    {"Position", FIELD(ScreensaverSettings, firstCorner), FIELD(ScreensaverSettings, secondCorner)},
    {"Delay", FIELD(ScreensaverSettings, delay), kWhole},
};
#undef FIELD
const size_t kCoverageValueCount = sizeof kCoverageValues / sizeof *kCoverageValues;
const size_t kScreensaverValueCount = sizeof kScreensaverValues / sizeof *kScreensaverValues;

// Overlays the group's values on the record, each tried even after one is
// missing; 1 when all were there.
int ReadGroup(const char* subKey, const GroupValue* values, size_t count, void* record) {
  int32_t* fields = static_cast<int32_t*>(record);
  HKEY key;
  if (!OpenSettingsKey(subKey, KEY_READ, &key)) return 0;
  int complete = 1;
  for (size_t i = 0; i < count; ++i) {
    uint32_t number = 0;
    if (!QueryNumber(key, values[i].name, &number)) {
      complete = 0;
    } else if (values[i].high == kWhole) {
      fields[values[i].low] = static_cast<int32_t>(number);
    } else {
      fields[values[i].low] = static_cast<int32_t>(number & 0xFFFF);
      fields[values[i].high] = static_cast<int32_t>(number >> 16);
    }
  }
  RegCloseKey(key);
  return complete;
}

void WriteGroup(const char* subKey, const GroupValue* values, size_t count, const void* record) {
  const int32_t* fields = static_cast<const int32_t*>(record);
  HKEY key;
  if (!CreateSettingsKey(subKey, &key)) return;
  for (size_t i = 0; i < count; ++i) {
    const GroupValue& value = values[i];
    SetNumberValue(key, value.name,
              value.high == kWhole ? static_cast<uint32_t>(fields[value.low])
                                   : PackHalves(fields[value.low], fields[value.high]));
  }
  RegCloseKey(key);
}

// Queries a value into a caller's buffer as NUL-terminated text. Fails when
// the value is missing, longer than the buffer, or fills the buffer without
// a terminator, so the caller never sees an unterminated text. A text stored
// without its NUL but shorter than the buffer gets one. The type goes to
// *type when that is not null.
int QueryTextValue(HKEY key, const char* name, char* text, DWORD size, DWORD* type) {
  DWORD length = size;
  if (RegQueryValueExA(key, name, nullptr, type, reinterpret_cast<BYTE*>(text), &length) !=
      ERROR_SUCCESS)
    return 0;
  if (length > size) return 0;
  if (memchr(text, '\0', length)) return 1;
  if (length == size) return 0;  // fills the buffer with no room for a NUL
  text[length] = '\0';
  return 1;
}

// "FaceName" of "ClipPrint" into a 32-byte buffer. A REG_SZ or REG_EXPAND_SZ
// text counts, taken as stored (a face name holds no variables); other
// types do not, since only numbers are read whatever their stored type.
int QueryFaceName(HKEY key, char* faceName) {
  DWORD type = REG_NONE;
  return QueryTextValue(key, "FaceName", faceName, sizeof(ClipPrintSettings::faceName), &type) &&
         (type == REG_SZ || type == REG_EXPAND_SZ);
}

}  // namespace

void SetTextValue(HKEY key, const char* name, const char* text) {
  RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                 static_cast<DWORD>(strlen(text) + 1));
}

void SetNumberValue(HKEY key, const char* name, uint32_t value) {
  DWORD number = value;
  RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof number);
}

int QueryNumber(HKEY key, const char* name, uint32_t* value) {
  DWORD number = 0;
  DWORD size = sizeof number;
  if (RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(&number), &size) !=
      ERROR_SUCCESS)
    return 0;
  *value = number;
  return 1;
}

void GetWorkArea(RECT* area) {
  if (!SystemParametersInfoA(SPI_GETWORKAREA, 0, area, 0)) {
    area->left = 0;
    area->top = 0;
    area->right = GetSystemMetrics(SM_CXFULLSCREEN);
    area->bottom = GetSystemMetrics(SM_CYFULLSCREEN);
  }
}

const char* AreaName(Area area) {
  if (area == RemoveFromList) return "* Remove From List";
  if (area >= None && area <= Custom) return kAreaNames[area];
  return "";
}

void UnpackSizeFormat(uint32_t packed, ClipPrintSettings* settings) {
  settings->formatBit0 = packed & 1;
  settings->formatBit1 = (packed >> 1) & 1;
  settings->formatBit2 = (packed >> 2) & 1;
  settings->formatCount = static_cast<uint8_t>((packed >> 4) & 0xF);
  if (settings->formatCount == 0) settings->formatCount = 1;
  settings->fontSize = static_cast<int32_t>((packed >> 8) & 0xFF);
  settings->marginBottom = static_cast<int32_t>((packed >> 16) & 0xF);
  settings->marginRight = static_cast<int32_t>((packed >> 20) & 0xF);
  settings->marginTop = static_cast<int32_t>((packed >> 24) & 0xF);
  settings->marginLeft = static_cast<int32_t>(packed >> 28);
}

uint32_t PackSizeFormat(const ClipPrintSettings* settings) {
  uint32_t packed = 0;
  if (settings->formatBit0) packed |= 1;
  if (settings->formatBit1) packed |= 2;
  if (settings->formatBit2) packed |= 4;
  packed |= static_cast<uint32_t>(settings->formatCount) << 4;
  packed |= static_cast<uint32_t>(settings->fontSize) << 8;
  packed |= static_cast<uint32_t>(settings->marginBottom) << 16;
  packed |= static_cast<uint32_t>(settings->marginRight) << 20;
  packed |= static_cast<uint32_t>(settings->marginTop) << 24;
  packed |= static_cast<uint32_t>(settings->marginLeft) << 28;
  return packed;
}

int SettingsKeyPath(const char* subKey, char* path) {
  // "%s" leaves the missing sub-key unread.
  int length = FormatString(path, kKeyPathSize, subKey ? "%s\\%s" : "%s", SetupState.settingsKeyPath,
                            subKey);
  return length >= 0 && static_cast<unsigned>(length) < kKeyPathSize;
}

int OpenSettingsKey(const char* subKey, REGSAM access, HKEY* key) {
  char path[kKeyPathSize];
  if (!SettingsKeyPath(subKey, path)) return 0;
  return RegOpenKeyExA(HKEY_CURRENT_USER, path, 0, access, key) == ERROR_SUCCESS;
}

int CreateSettingsKey(const char* subKey, HKEY* key) {
  char path[kKeyPathSize];
  if (!SettingsKeyPath(subKey, path)) return 0;
  return RegCreateKeyExA(HKEY_CURRENT_USER, path, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE,
                         nullptr, key, nullptr) == ERROR_SUCCESS;
}

int QueryClipPrint(void (*unpack)(uint32_t packed, ClipPrintSettings* settings),
                   ClipPrintSettings* record) {
  MemFill(record, 0, sizeof *record);
  MemCopy(record->faceName, kDefaultFaceName, sizeof kDefaultFaceName);
  record->fontSize = 10;
  record->hotKey = kDefaultClipPrintHotKey;
  record->formatCount = 1;

  HKEY key;
  if (!OpenSettingsKey("ClipPrint", KEY_READ, &key)) return 0;
  int complete = QueryNumber(key, "HotKey", &record->hotKey);
  uint32_t packed = 0;
  if (QueryNumber(key, "SizeFormat", &packed))
    unpack(packed, record);
  else
    complete = 0;
  char faceName[sizeof record->faceName];
  if (QueryFaceName(key, faceName))
    MemCopy(record->faceName, faceName, strlen(faceName) + 1);
  else
    complete = 0;
  RegCloseKey(key);
  return complete;
}

uint32_t ReadUpgradeVer() {
  uint32_t version = 0;
  HKEY key;
  if (!OpenSettingsKey(nullptr, KEY_READ, &key)) return 0;
  QueryNumber(key, kUpgradeVerValue, &version);  // stays 0 when missing
  RegCloseKey(key);
  return version;
}

void WriteUpgradeVer(uint32_t version) { WriteScalar(nullptr, kUpgradeVerValue, version); }

uint32_t ReadAutoPos() { return ReadScalar(nullptr, "AutoPos", kDefaultAutoPos); }
void WriteAutoPos(uint32_t value) { WriteScalar(nullptr, "AutoPos", value); }

uint32_t ReadColors() { return ReadScalar(nullptr, "Colors", kDefaultColors); }
void WriteColors(uint32_t value) { WriteScalar(nullptr, "Colors", value); }

uint32_t ReadAlwaysMove() { return ReadScalar(nullptr, "AlwaysMove", kDefaultAlwaysMove); }
void WriteAlwaysMove(uint32_t value) { WriteScalar(nullptr, "AlwaysMove", value); }

uint32_t ReadHotKey(Area area) {
  if (area == None) return 0;
  uint32_t fallback = (area >= WholeArea && area <= LowerRight) ? kDefaultHotKeys[area - 1] : 0;
  return ReadScalar("HotKeys", AreaName(area), fallback);
}

void WriteHotKey(Area area, uint32_t hotKey) { WriteScalar("HotKeys", AreaName(area), hotKey); }

void ReadCoverageArea(CoverageAreaSettings* settings) {
  RECT area;
  GetWorkArea(&area);
  MemFill(settings, 0, sizeof *settings);
  settings->leftMargin = GetSystemMetrics(SM_CXICONSPACING);
  settings->snapToIconGrid = 1;
  settings->splitX = (area.right - area.left) / 2 + settings->leftMargin;
  settings->splitY = (area.bottom - area.top) / 2;  // below a top margin of 0

  if (!ReadGroup(kCoverageAreaValue, kCoverageValues, kCoverageValueCount, settings))
    WriteCoverageArea(settings);
}

void WriteCoverageArea(const CoverageAreaSettings* settings) {
  WriteGroup(kCoverageAreaValue, kCoverageValues, kCoverageValueCount, settings);
}

void ReadClipPrint(ClipPrintSettings* settings) {
  if (!QueryClipPrint(UnpackSizeFormat, settings)) WriteClipPrint(settings);  // clamped as stored
}

void WriteClipPrint(ClipPrintSettings* settings) {
  HKEY key;
  if (!CreateSettingsKey("ClipPrint", &key)) return;
  SetNumberValue(key, "HotKey", settings->hotKey);
  if (settings->marginLeft > 15) settings->marginLeft = 15;
  if (settings->marginTop > 15) settings->marginTop = 15;
  if (settings->marginRight > 15) settings->marginRight = 15;
  if (settings->marginBottom > 15) settings->marginBottom = 15;
  if (settings->formatCount > 15) settings->formatCount = 15;
  if (settings->fontSize > 255) settings->fontSize = 255;
  SetNumberValue(key, "SizeFormat", PackSizeFormat(settings));
  // The record's name is terminated within its 32 bytes by every reader;
  // a caller's unterminated name is cut rather than read past.
  char faceName[sizeof settings->faceName];
  lstrcpynA(faceName, settings->faceName, sizeof faceName);
  SetTextValue(key, "FaceName", faceName);
  RegCloseKey(key);
}

void ReadScreensaver(ScreensaverSettings* settings) {
  // Copied from read-only data: an initialiser list (or a plain structure
  // copy) makes i686 GCC keep its own template in a writable section, which
  // costs the program a whole section of its file.
  static const ScreensaverSettings kDefaults = {0, UpperLeft, LowerRight, 4, 2};
  MemCopy(settings, &kDefaults, sizeof *settings);
  if (!ReadGroup("Screensaver", kScreensaverValues, kScreensaverValueCount, settings))
    WriteScreensaver(settings);
}

void WriteScreensaver(const ScreensaverSettings* settings) {
  WriteGroup("Screensaver", kScreensaverValues, kScreensaverValueCount, settings);
}
