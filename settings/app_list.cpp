#include "settings/app_list.h"

#include <string.h>

#include "common/memory.h"
#include "settings/settings_store.h"

AppEntry currentAppEntry;

namespace {

AppEntry* listHead = nullptr;

const char kAutoApps[] = "AutoApps";

// The short form of an existing file's path; 0 for a missing file or a
// result that would not fit.
int ShortPath(const char* path, char* shortPath) {
  DWORD length = GetShortPathNameA(path, shortPath, kAppPathSize);
  return length != 0 && length < kAppPathSize;
}

}  // namespace

AppEntry* ReadAppEntry(const char* name) {
  MemFill(&currentAppEntry, 0, sizeof currentAppEntry);
  HKEY key;
  if (!OpenSettingsKey(kAutoApps, KEY_READ, &key)) return nullptr;
  unsigned char data[kAppDataSize] = {};
  DWORD type = REG_NONE;
  DWORD size = sizeof data;
  LONG status = RegQueryValueExA(key, name, nullptr, &type, data, &size);
  RegCloseKey(key);
  if (status != ERROR_SUCCESS || size > sizeof data) return nullptr;

  if (type == REG_SZ) {
    // Only a terminated text is parsed; one that fills the buffer without
    // its NUL counts as too long.
    char* text = reinterpret_cast<char*>(data);
    if (!memchr(text, '\0', size)) {
      if (size == sizeof data) return nullptr;
      text[size] = '\0';
    }
    currentAppEntry.area = Custom;
    ParseRectText(text, &currentAppEntry.customRect);
  } else if (type == REG_DWORD) {
    DWORD number;  // the first four bytes; a shorter value is zero-filled
    MemCopy(&number, data, sizeof number);
    currentAppEntry.area = static_cast<Area>(static_cast<int32_t>(number));
  } else {
    return nullptr;
  }
  size_t length = strnlen(name, kAppPathSize - 1);
  MemCopy(currentAppEntry.path, name, length);
  currentAppEntry.path[length] = '\0';
  return &currentAppEntry;
}

AppEntry* ReadAppEntryAt(DWORD index) {
  HKEY key;
  if (!OpenSettingsKey(kAutoApps, KEY_READ, &key)) return nullptr;
  char name[kAppPathSize];
  DWORD length = sizeof name;
  LONG status = RegEnumValueA(key, index, name, &length, nullptr, nullptr, nullptr, nullptr);
  RegCloseKey(key);
  // Past the end, or a name that did not fit: either way there is no entry.
  if (status != ERROR_SUCCESS) return nullptr;
  return ReadAppEntry(name);
}

void WriteAppEntry(const char* path, Area area, const SettingsRect* rect) {
  char shortPath[kAppPathSize];
  if (!ShortPath(path, shortPath)) return;
  HKEY key;
  if (!CreateSettingsKey(kAutoApps, &key)) return;
  if (area == RemoveFromList) {
    RegDeleteValueA(key, shortPath);
  } else if (area == Custom) {
    char text[kRectTextSize];
    SettingsRect none = {0, 0, 0, 0};
    FormatRectText(rect ? rect : &none, text);
    RegSetValueExA(key, shortPath, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                   static_cast<DWORD>(strlen(text) + 1));
  } else {
    DWORD number = static_cast<DWORD>(static_cast<int32_t>(area));
    RegSetValueExA(key, shortPath, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number),
                   sizeof number);
  }
  RegCloseKey(key);
}

void WriteAppEntry(const AppEntry* entry) {
  WriteAppEntry(entry->path, entry->area, &entry->customRect);
}

AppEntry* AppListAdd(const char* path, Area area, const SettingsRect* rect) {
  AppEntry* node = static_cast<AppEntry*>(MemAlloc(sizeof(AppEntry)));
  if (!node) return nullptr;
  MemFill(node, 0, sizeof *node);
  if (!ShortPath(path, node->path)) {
    MemFree(node);
    return nullptr;
  }
  node->area = area;
  if (area == Custom && rect) node->customRect = *rect;

  AppEntry** link = &listHead;
  for (; *link; link = &(*link)->next) {
    if (lstrcmpiA((*link)->path, node->path) == 0) {
      MemFree(node);
      return nullptr;
    }
  }
  *link = node;
  return node;
}

AppEntry* AppListAdd(const AppEntry* entry) {
  return AppListAdd(entry->path, entry->area, &entry->customRect);
}

AppEntry* AppListAt(uint32_t index) {
  AppEntry* node = listHead;
  while (node && index--) node = node->next;
  return node;
}

void AppListClear() {
  while (listHead) {
    AppEntry* next = listHead->next;
    MemFree(listHead);
    listHead = next;
  }
}
