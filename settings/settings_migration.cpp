#include "settings/settings_migration.h"

#include <string.h>

#include "common/memory.h"
#include "common/setup_state.h"
#include "common/text_format.h"
#include "settings/app_list.h"
#include "settings/settings_file_layout.h"
#include "settings/settings_store.h"

const char kOlderProductKeyPath[] = "Software\\Vorn\\Brastock";
const char kUninstallKeyPath[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Morvantile";

namespace {

const uint32_t kCurrentSchema = 206;
const uint32_t kConvertedLayout = 192;  // the layout the conversions leave behind
const DWORD kNameBufferSize = 2048;
const DWORD kDataBufferSize = 2048;
const REGSAM kReadAndSetValue = KEY_READ | KEY_SET_VALUE;  // 0x2001B

// Opens the settings key to read and delete values.
int OpenForValueChanges(HKEY* key) { return OpenSettingsKey(nullptr, kReadAndSetValue, key); }

void DeleteProductValue(const char* name) {
  HKEY key;
  if (!OpenForValueChanges(&key)) return;
  RegDeleteValueA(key, name);
  RegCloseKey(key);
}

int CeilDivide(int value, int step) { return value / step + (value % step != 0 ? 1 : 0); }

// An icon spacing to divide by: never a missing one.
int IconSpacing(int metric) {
  int spacing = GetSystemMetrics(metric);
  return spacing > 0 ? spacing : 1;
}

// What is left of the screen's extent beyond the icon cells that stay when
// `cellsLeftOut` of them are left out at the far side; never below 0.
int FarMargin(int extent, int spacing, int cellsLeftOut) {
  int margin = extent - (CeilDivide(extent, spacing) - cellsLeftOut) * spacing;
  return margin < 0 ? 0 : margin;
}

// The middle of what the margins leave of the screen's extent.
int SplitBetween(int extent, int nearMargin, int farMargin) {
  return (extent - nearMargin - farMargin) / 2 + nearMargin;
}

// Versions below 1.60 kept the margins as icon cells packed into one number
// of the product key: columns left out at the left (bits 24-31), rows at the
// top, columns at the right, rows at the bottom (bits 0-7).
void ConvertPackedCoverageArea() {
  HKEY key;
  if (!OpenForValueChanges(&key)) return;
  uint32_t packed = 0;
  if (!QueryNumber(key, kCoverageAreaValue, &packed)) {
    RegCloseKey(key);
    return;
  }
  int b0 = packed & 0xFF, b1 = (packed >> 8) & 0xFF, b2 = (packed >> 16) & 0xFF, b3 = packed >> 24;

  int cx = IconSpacing(SM_CXICONSPACING);
  int cy = IconSpacing(SM_CYICONSPACING);
  int width = GetSystemMetrics(SM_CXSCREEN);
  int height = GetSystemMetrics(SM_CYSCREEN);

  CoverageAreaSettings coverage;
  MemFill(&coverage, 0, sizeof coverage);
  coverage.leftMargin = cx * b3;
  coverage.topMargin = cy * b2;
  coverage.rightMargin = FarMargin(width, cx, b1);
  coverage.bottomMargin = FarMargin(height, cy, b0);
  coverage.snapToIconGrid = 1;
  coverage.splitX = SplitBetween(width, coverage.leftMargin, coverage.rightMargin);
  coverage.splitY = SplitBetween(height, coverage.topMargin, coverage.bottomMargin);
  WriteCoverageArea(&coverage);
  // The packed number goes only now: a setup ended before this point finds
  // it again and converts it then.
  RegDeleteValueA(key, kCoverageAreaValue);
  RegCloseKey(key);
}

// A readable value whose short name is held by a value that a walk cannot
// read is not moved: writing it there would replace that value.
int ShortNameHeldByUnreadableValue(const AppEntry* entry) {
  char shortPath[kAppPathSize];
  return AppShortPath(entry->path, shortPath) && AppValueUnreadable(shortPath);
}

// The number of sub-keys of HKEY_CURRENT_USER\path, or `unknown` when the
// key cannot be opened or asked.
DWORD SubKeyCount(const char* path, DWORD unknown) {
  HKEY key;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return unknown;
  DWORD subKeys = unknown;
  if (RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr, nullptr,
                       nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
    subKeys = unknown;
  RegCloseKey(key);
  return subKeys;
}

int AutoAppsHasSubKeys() {
  char path[kKeyPathSize];
  return SettingsKeyPath(kAutoAppsSubKey, path) && SubKeyCount(path, 0) != 0;
}

// Versions up to 1.80 could name an application by its long path, or twice:
// read every entry into the list, which keeps the first of each file, and
// write the list back under short paths. Values the walk cannot read stay
// as they are, and the copy of the tree carries them along.
void RekeyAutoApps() {
  AppListClear();
  DWORD index = 0;
  while (AppEntry* entry = ReadNextAppEntry(&index)) AppListAdd(entry);
  // A key that holds a sub-key (never written by the product) keeps its
  // values, as a plain delete of the key would.
  if (!AutoAppsHasSubKeys()) DeleteReadableAppValues(ShortNameHeldByUnreadableValue);
  for (AppEntry* node = AppListAt(0); node; node = node->next)
    if (!AppValueUnreadable(node->path)) WriteAppEntry(node);
  AppListClear();
}

// Versions below 1.88 packed "SizeFormat" otherwise: the font size in bits
// 0-15, two flags in bits 16 and 17, one margin for all four sides in bits
// 24-27 and the count in bits 28-31.
void UnpackOldSizeFormat(uint32_t number, ClipPrintSettings* record) {
  record->fontSize = static_cast<int32_t>(number & 0xFFFF);
  record->formatBit0 = (number >> 16) & 1;
  record->formatBit1 = (number >> 17) & 1;
  int margin = static_cast<int>((number >> 24) & 0xF);
  record->marginLeft = record->marginTop = record->marginRight = record->marginBottom = margin;
  record->formatCount = static_cast<uint8_t>(number >> 28);
  if (record->formatCount == 0) record->formatCount = 1;
}

// Whatever of the old values is there is taken; the rest are defaults.
// (settingsKeyPath names the older product's key while it is converted.)
void ConvertOldClipPrint() {
  ClipPrintSettings record;
  QueryClipPrint(UnpackOldSizeFormat, &record);
  WriteClipPrint(&record);
}

// Versions below 1.92: the third format flag follows the first, and
// "AutoPosDisplay" gives way to "AutoPos".
void UpdateFrom191() {
  ClipPrintSettings record;
  ReadClipPrint(&record);
  record.formatBit2 = record.formatBit0;
  WriteClipPrint(&record);
  DeleteProductValue("AutoPosDisplay");
  ReadAutoPos();
}

struct Buffer {
  char* bytes;
  DWORD size;
};

// Makes the buffer at least `needed` bytes long (never below `minimum`).
int Reserve(Buffer* buffer, DWORD needed, DWORD minimum) {
  if (needed < minimum) needed = minimum;
  if (buffer->bytes && buffer->size >= needed) return 1;
  MemFree(buffer->bytes);
  buffer->bytes = static_cast<char*>(MemAlloc(needed));
  buffer->size = buffer->bytes ? needed : 0;
  return buffer->bytes != nullptr;
}

// Sizes the name and data buffers from the key's own maxima. The A calls
// may report lengths in characters; one spare byte per unit covers both.
int ReserveForKey(HKEY key, Buffer* name, Buffer* data) {
  DWORD maxValueName = 0, maxData = 0;
  if (RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                       &maxValueName, &maxData, nullptr, nullptr) != ERROR_SUCCESS)
    return 0;
  return Reserve(name, maxValueName * 2 + 2, kNameBufferSize) &&
         Reserve(data, maxData + 2, kDataBufferSize);
}

// A sub-key's name: key names are at most 255 characters, so a buffer of
// kNameBufferSize bytes always holds one. On the heap, as trees nest deep.
char* NewSubKeyName() { return static_cast<char*>(MemAlloc(kNameBufferSize)); }

// Copies every value of source into destination. 0 or the first error.
LONG CopyValues(HKEY destination, HKEY source, Buffer* name, Buffer* data) {
  LONG result = ERROR_SUCCESS;
  for (DWORD index = 0;;) {
    DWORD nameLength = name->size;
    DWORD dataLength = data->size;
    DWORD type = REG_NONE;
    LONG status = RegEnumValueA(source, index, name->bytes, &nameLength, nullptr, &type,
                                reinterpret_cast<BYTE*>(data->bytes), &dataLength);
    if (status == ERROR_NO_MORE_ITEMS) break;
    if (status == ERROR_MORE_DATA) {
      // The key grew since its maxima were taken: grow and try again.
      if (name->size >= 0x10000000 || data->size >= 0x10000000 ||
          !Reserve(name, name->size * 2, kNameBufferSize) ||
          !Reserve(data, data->size * 2, kDataBufferSize))
        return status;
      continue;
    }
    if (status != ERROR_SUCCESS) return status;
    status = RegSetValueExA(destination, name->bytes, 0, type,
                            reinterpret_cast<const BYTE*>(data->bytes), dataLength);
    if (result == ERROR_SUCCESS) result = status;  // the first error stays
    ++index;
  }
  return result;
}

LONG CopyOpenedTree(HKEY destination, HKEY source) {
  Buffer name = {nullptr, 0}, data = {nullptr, 0};
  char* subKey = NewSubKeyName();
  LONG result = ERROR_OUTOFMEMORY;
  if (subKey && ReserveForKey(source, &name, &data)) {
    result = CopyValues(destination, source, &name, &data);
    LONG walk = ERROR_SUCCESS;
    for (DWORD index = 0;; ++index) {
      DWORD length = kNameBufferSize;
      walk = RegEnumKeyExA(source, index, subKey, &length, nullptr, nullptr, nullptr, nullptr);
      if (walk != ERROR_SUCCESS || subKey[0] == '\0') break;
      LONG copied = CopyRegistryTree(destination, subKey, source, subKey);
      if (result == ERROR_SUCCESS) result = copied;
    }
    if (walk != ERROR_NO_MORE_ITEMS && result == ERROR_SUCCESS) result = walk;
  }
  MemFree(name.bytes);
  MemFree(data.bytes);
  MemFree(subKey);
  return result;
}

// Deletes a tree; 1 when the key itself is gone.
int DeleteTree(HKEY root, const char* path) {
  if (!path[0]) return 0;  // an empty path would name the root itself
  HKEY key;
  if (RegOpenKeyExA(root, path, 0, KEY_READ, &key) == ERROR_SUCCESS) {
    // Always the first sub-key; one that survives its deletion ends the walk.
    if (char* name = NewSubKeyName()) {
      for (;;) {
        DWORD length = kNameBufferSize;
        if (RegEnumKeyExA(key, 0, name, &length, nullptr, nullptr, nullptr, nullptr) !=
                ERROR_SUCCESS ||
            name[0] == '\0')
          break;
        if (!DeleteTree(key, name)) break;
      }
      MemFree(name);
    }
    RegCloseKey(key);
  }
  return RegDeleteKeyA(root, path) == ERROR_SUCCESS;
}

}  // namespace

LONG CopyRegistryTree(HKEY destinationRoot, const char* destinationPath, HKEY sourceRoot,
                      const char* sourcePath) {
  HKEY source;
  LONG status = RegOpenKeyExA(sourceRoot, sourcePath, 0, KEY_READ, &source);
  if (status != ERROR_SUCCESS) return status;
  HKEY destination;
  status = RegCreateKeyExA(destinationRoot, destinationPath, 0, nullptr, REG_OPTION_NON_VOLATILE,
                           KEY_WRITE, nullptr, &destination, nullptr);
  if (status != ERROR_SUCCESS) {
    RegCloseKey(source);
    return status;
  }
  status = CopyOpenedTree(destination, source);
  RegCloseKey(destination);
  RegCloseKey(source);
  return status;
}

void DeleteRegistryTree(HKEY root, const char* path) { DeleteTree(root, path); }

void RemoveProductKey() {
  DeleteRegistryTree(HKEY_CURRENT_USER, SetupState.settingsKeyPath);

  char parent[kKeyPathSize];
  MemCopy(parent, SetupState.settingsKeyPath, sizeof parent);
  parent[sizeof parent - 1] = '\0';
  size_t cut = strlen(parent);
  while (cut > 1 && parent[cut - 1] != '\\') --cut;
  parent[cut > 1 ? cut - 1 : 0] = '\0';
  if (!parent[0]) return;  // never the root itself

  if (SubKeyCount(parent, 1) == 0) RegDeleteKeyA(HKEY_CURRENT_USER, parent);
}

namespace {

// The settings file gives each application only an area code: a Custom
// rectangle, or a code outside the nine areas, would come back as "none".
// Such entries stay in the registry.
int PlacementNotInTheFile(const AppEntry* entry) {
  return entry->area != None && PlacementCode(entry->area) == 0;
}

}  // namespace

void RemoveProductSettings() {
  if (!DeleteReadableAppValues(PlacementNotInTheFile)) {
    RemoveProductKey();
    return;
  }
  // "AutoApps" keeps values the settings file could not list: everything
  // else of the product key goes, but that key and the keys above it stay.
  HKEY key;
  if (!OpenSettingsKey(nullptr, KEY_READ | KEY_SET_VALUE, &key)) return;
  char name[kNameBufferSize];
  for (DWORD index = 0;;) {
    DWORD length = sizeof name;
    if (RegEnumKeyExA(key, index, name, &length, nullptr, nullptr, nullptr, nullptr) !=
        ERROR_SUCCESS)
      break;
    if (lstrcmpiA(name, kAutoAppsSubKey) == 0 || !DeleteTree(key, name)) ++index;
  }
  for (DWORD index = 0;;) {
    DWORD length = sizeof name;
    LONG status = RegEnumValueA(key, index, name, &length, nullptr, nullptr, nullptr, nullptr);
    if (status != ERROR_SUCCESS && status != ERROR_MORE_DATA) break;
    if (status == ERROR_MORE_DATA || RegDeleteValueA(key, name) != ERROR_SUCCESS) ++index;
  }
  RegCloseKey(key);
}

void RegisterUninstall(const char* folder) {
  if (folder[0] == '"') ++folder;

  HKEY key;
  if (CreateSettingsKey(nullptr, &key)) {
    SetTextValue(key, kLastPathValue, folder);
    RegCloseKey(key);
  }

  if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, kUninstallKeyPath, 0, nullptr, REG_OPTION_NON_VOLATILE,
                      KEY_WRITE, nullptr, &key, nullptr) != ERROR_SUCCESS)
    return;
  char command[kAppPathSize + 32];
  int length = FormatString(command, sizeof command, kUninstallCommandFormat, folder);
  if (length > 0 && static_cast<size_t>(length) < sizeof command)
    SetTextValue(key, kUninstallStringValue, command);
  SetTextValue(key, kDisplayNameValue, kProductName);
  RegCloseKey(key);
}

int MigrateSettings(const char* targetFolder) {
  uint32_t version = ReadUpgradeVer();
  if (version >= kCurrentSchema) return 1;

  char savedKeyPath[kKeyPathSize];
  MemCopy(savedKeyPath, SetupState.settingsKeyPath, sizeof savedKeyPath);
  static_assert(sizeof kOlderProductKeyPath <= sizeof SetupState.settingsKeyPath, "key path");
  MemCopy(SetupState.settingsKeyPath, kOlderProductKeyPath, sizeof kOlderProductKeyPath);

  if (version == 0) {
    version = ReadUpgradeVer();
    if (version == 0) {
      MemCopy(SetupState.settingsKeyPath, savedKeyPath, sizeof savedKeyPath);
      return 0;
    }
  }

  RegisterUninstall(targetFolder);
  if (version < 160) ConvertPackedCoverageArea();
  if (version < 181) RekeyAutoApps();
  if (version < 188) ConvertOldClipPrint();
  if (version < 192) UpdateFrom191();
  int moved = 1;
  if (version < 200) {
    // The older key now holds the layout of 1.92: say so, so that a later
    // run that has to try the copy again does not convert it twice.
    if (version < kConvertedLayout) WriteUpgradeVer(kConvertedLayout);
    // The older key goes only once its whole tree stands under the current one.
    moved = CopyRegistryTree(HKEY_CURRENT_USER, savedKeyPath, HKEY_CURRENT_USER,
                             SetupState.settingsKeyPath) == ERROR_SUCCESS;
    if (moved) {
      // What survives of the older key (a sub-key the user may not delete)
      // must no longer name a schema: the next setup would take it for
      // settings still to be moved and write the remnant over the file.
      DeleteProductValue(kUpgradeVerValue);
      RemoveProductKey();
    }
  }

  MemCopy(SetupState.settingsKeyPath, savedKeyPath, sizeof savedKeyPath);
  // Settings left behind in the older key must not be covered by the
  // stamp: without it, the next setup finds them there and moves them then.
  if (moved) WriteUpgradeVer(kCurrentSchema);
  return 1;
}
