// Loads the product's settings: the settings file in the program's folder
// when there is a readable one, else the registry, with defaults for
// anything missing. The product only reads here; it never repairs.
#include <windows.h>

#include "common/memory.h"
#include "common/types.h"
#include "product/product_program.h"

const char kProductKeyPath[] = "Software\\Quillfern\\Morvantile";

namespace {

const DWORD kLargestAppData = 64;   // the setup's readers accept no more
const char kAreaNames[9][12] = {"Whole Area",  "Left Side",   "Top Half",
                                "Right Side",  "Bottom Half", "Upper-Left",
                                "Upper-Right", "Lower-Left",  "Lower-Right"};

PlacementRect PrimaryWorkArea() {
  RECT r;
  if (!SystemParametersInfoA(SPI_GETWORKAREA, 0, &r, 0)) {
    r.left = r.top = 0;
    r.right = GetSystemMetrics(SM_CXFULLSCREEN);
    r.bottom = GetSystemMetrics(SM_CYFULLSCREEN);
  }
  return PlacementRect{r.left, r.top, r.right, r.bottom};
}

int ReadSettingsFile(const PlacementLibrary* library, const char* path,
                     const PlacementRect& workArea, ProductSettings* settings) {
  HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 0;
  int ok = 0;
  const DWORD size = GetFileSize(file, nullptr);
  if (size != INVALID_FILE_SIZE && size <= kLargestSettingsFile) {
    unsigned char* bytes = static_cast<unsigned char*>(MemAlloc(size ? size : 1));
    DWORD read = 0;
    if (bytes && ReadFile(file, bytes, size, &read, nullptr) && read == size)
      ok = library->ReadSettingsFileImage(bytes, size, workArea,
                                         GetSystemMetrics(SM_CXICONSPACING),
                                         GetSystemMetrics(SM_CYICONSPACING), settings);
    MemFree(bytes);
  }
  CloseHandle(file);
  return ok;
}

// A number stored in fewer than 4 bytes reads zero-extended, as the setup
// reads it: the bytes it does not fill must not keep what was there.
int QueryNumber(HKEY key, const char* name, DWORD* value) {
  *value = 0;
  DWORD size = sizeof *value;
  return RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(value), &size) ==
         ERROR_SUCCESS;
}

int OpenKeyToRead(const char* path, HKEY* key) {
  return RegOpenKeyExA(HKEY_CURRENT_USER, path, 0, KEY_READ, key) == ERROR_SUCCESS;
}

int OpenSettingsKey(const char* subKey, HKEY* key) {
  char path[256];
  wsprintfA(path, "%s\\%s", kProductKeyPath, subKey);
  return OpenKeyToRead(path, key);
}

// Registry halves are 16 bits; screen coordinates fit them signed.
int32_t LowHalf(DWORD value) { return static_cast<int16_t>(value & 0xFFFF); }
int32_t HighHalf(DWORD value) { return static_cast<int16_t>(value >> 16); }

void ReadCoverage(ProductSettings* settings) {
  HKEY key;
  if (!OpenSettingsKey("CoverageArea", &key)) return;
  CoverageLayout& layout = settings->layout;
  DWORD value;
  if (QueryNumber(key, "LeftTop", &value)) {
    layout.leftMargin = LowHalf(value);
    layout.topMargin = HighHalf(value);
  }
  if (QueryNumber(key, "RightBottom", &value)) {
    layout.rightMargin = LowHalf(value);
    layout.bottomMargin = HighHalf(value);
  }
  if (QueryNumber(key, "VertHorz", &value)) {
    layout.splitX = LowHalf(value);
    layout.splitY = HighHalf(value);
  }
  if (QueryNumber(key, "Snaps", &value)) settings->snapToIconGrid = (value & 0xFFFF) != 0;
  RegCloseKey(key);
}

void ReadHotKeys(ProductSettings* settings) {
  HKEY key;
  if (!OpenSettingsKey("HotKeys", &key)) return;
  for (int i = 0; i < 9; i++) {
    DWORD value;
    if (QueryNumber(key, kAreaNames[i], &value)) settings->hotKeys[i] = value;
  }
  RegCloseKey(key);
}

// "left,top,right,bottom"; anything else gives 0.
int ParseRect(const char* text, PlacementRect* rect) {
  int32_t numbers[4];
  for (int i = 0; i < 4; i++) {
    const int32_t sign = *text == '-' ? -1 : 1;
    if (sign < 0) text++;
    if (*text < '0' || *text > '9') return 0;
    int32_t n = 0;
    while (*text >= '0' && *text <= '9' && n < 100000) n = n * 10 + (*text++ - '0');
    numbers[i] = sign * n;
    if (i < 3 && *text++ != ',') return 0;
  }
  if (*text) return 0;
  *rect = PlacementRect{numbers[0], numbers[1], numbers[2], numbers[3]};
  return 1;
}

void ReadApplications(ProductSettings* settings) {
  HKEY key;
  if (!OpenSettingsKey("AutoApps", &key)) return;
  DWORD count = 0;
  if (RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count,
                       nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS ||
      count == 0) {
    RegCloseKey(key);
    return;
  }
  AppPlacement* apps = count <= SIZE_MAX / sizeof(AppPlacement)
                           ? static_cast<AppPlacement*>(MemAlloc(count * sizeof(AppPlacement)))
                           : nullptr;
  if (!apps) {
    RegCloseKey(key);
    return;
  }
  uint32_t used = 0;
  for (DWORD index = 0; index < count; index++) {
    AppPlacement& app = apps[used];
    DWORD nameSize = sizeof app.path, type = 0;
    char data[kLargestAppData + 1];
    DWORD dataSize = kLargestAppData;
    if (RegEnumValueA(key, index, app.path, &nameSize, nullptr, &type,
                      reinterpret_cast<BYTE*>(data), &dataSize) != ERROR_SUCCESS)
      continue;
    app.customRect = PlacementRect{0, 0, 0, 0};
    if (type == REG_DWORD && dataSize == 4) {
      app.area = *reinterpret_cast<int32_t*>(data);
    } else if (type == REG_SZ) {
      data[dataSize] = 0;
      app.area = Custom;
      if (!ParseRect(data, &app.customRect)) continue;
    } else {
      continue;
    }
    used++;
  }
  RegCloseKey(key);
  settings->apps = apps;
  settings->appCount = used;
}

// The settings file gives a program with a rectangle of its own as "none";
// the setup leaves those entries in "AutoApps", and they are taken there.
void TakeRectanglesFromRegistry(ProductSettings* settings) {
  HKEY key;
  if (!OpenSettingsKey("AutoApps", &key)) return;
  for (uint32_t i = 0; i < settings->appCount; i++) {
    AppPlacement& app = settings->apps[i];
    char data[kLargestAppData + 1];
    DWORD type = 0, dataSize = kLargestAppData;
    if (app.area != None ||
        RegQueryValueExA(key, app.path, nullptr, &type, reinterpret_cast<BYTE*>(data), &dataSize) !=
            ERROR_SUCCESS ||
        type != REG_SZ)
      continue;
    data[dataSize] = 0;
    if (ParseRect(data, &app.customRect)) app.area = Custom;
  }
  RegCloseKey(key);
}

void ReadRegistrySettings(ProductSettings* settings) {
  ReadHotKeys(settings);
  ReadCoverage(settings);
  HKEY key;
  if (OpenKeyToRead(kProductKeyPath, &key)) {
    DWORD value;
    if (QueryNumber(key, "AlwaysMove", &value)) settings->catchAllArea = HighHalf(value);
    RegCloseKey(key);
  }
  ReadApplications(settings);
}

}  // namespace

int GetProgramFolder(char* folder, DWORD size) {
  const DWORD length = GetModuleFileNameA(nullptr, folder, size);
  if (length == 0 || length >= size) return 0;
  char* lastSlash = nullptr;
  for (char* p = folder; *p; p++)
    if (*p == '\\') lastSlash = p;
  if (!lastSlash) return 0;
  *lastSlash = 0;
  return 1;
}

void LoadProductSettings(const PlacementLibrary* library, const char* folder,
                         ProductSettings* settings) {
  const PlacementRect workArea = PrimaryWorkArea();
  library->DefaultProductSettings(workArea, GetSystemMetrics(SM_CXICONSPACING), settings);
  char path[MAX_PATH + 32];
  if (lstrlenA(folder) < MAX_PATH) {
    wsprintfA(path, "%s\\%s", folder, kSettingsFileName);
    if (ReadSettingsFile(library, path, workArea, settings)) {
      TakeRectanglesFromRegistry(settings);
      return;
    }
  }
  ReadRegistrySettings(settings);
}
