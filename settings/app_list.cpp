#include "settings/app_list.h"

#include <string.h>

#include "common/memory.h"
#include "settings/settings_store.h"

const char kAutoAppsSubKey[] = "AutoApps";
AppEntry currentAppEntry;

namespace {

AppEntry* listHead = nullptr;

// Fills currentAppEntry from a value of the opened "AutoApps" key; null
// when the value is missing or cannot be read.
AppEntry* ReadEntryFromKey(HKEY key, const char* name) {
  MemFill(&currentAppEntry, 0, sizeof currentAppEntry);
  unsigned char data[kAppDataSize] = {};
  DWORD type = REG_NONE;
  DWORD size = sizeof data;
  LONG status = RegQueryValueExA(key, name, nullptr, &type, data, &size);
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
    currentAppEntry.hasRectText = 1;
    lstrcpynA(currentAppEntry.rectText, text, sizeof currentAppEntry.rectText);
  } else if (type == REG_DWORD) {
    DWORD number;  // the first four bytes; a shorter value is zero-filled
    MemCopy(&number, data, sizeof number);
    currentAppEntry.area = static_cast<Area>(static_cast<int32_t>(number));
  } else {
    return nullptr;
  }
  lstrcpynA(currentAppEntry.path, name, sizeof currentAppEntry.path);
  return &currentAppEntry;
}

int ValueExists(HKEY key, const char* name) {
  return RegQueryValueExA(key, name, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

// The name at an enumeration position: 1 fetched, 0 a name too long for
// the buffer (the position holds a value all the same), -1 the end, or an
// error after which the walk cannot go on.
int ValueNameAt(HKEY key, DWORD index, char* name) {
  DWORD length = kAppPathSize;
  LONG status = RegEnumValueA(key, index, name, &length, nullptr, nullptr, nullptr, nullptr);
  if (status == ERROR_SUCCESS) return 1;
  return status == ERROR_MORE_DATA ? 0 : -1;
}

}  // namespace

int AppShortPath(const char* path, char* shortPath) {
  DWORD length = GetShortPathNameA(path, shortPath, kAppPathSize);
  return length != 0 && length < kAppPathSize;
}

AppEntry* ReadAppEntry(const char* name) {
  MemFill(&currentAppEntry, 0, sizeof currentAppEntry);
  HKEY key;
  if (!OpenSettingsKey(kAutoAppsSubKey, KEY_READ, &key)) return nullptr;
  AppEntry* entry = ReadEntryFromKey(key, name);
  RegCloseKey(key);
  return entry;
}

AppEntry* ReadAppEntryAt(DWORD index) {
  MemFill(&currentAppEntry, 0, sizeof currentAppEntry);
  HKEY key;
  if (!OpenSettingsKey(kAutoAppsSubKey, KEY_READ, &key)) return nullptr;
  char name[kAppPathSize];
  AppEntry* entry = ValueNameAt(key, index, name) > 0 ? ReadEntryFromKey(key, name) : nullptr;
  RegCloseKey(key);
  return entry;
}

AppEntry* ReadNextAppEntry(DWORD* index) {
  HKEY key;
  if (!OpenSettingsKey(kAutoAppsSubKey, KEY_READ, &key)) return nullptr;
  char name[kAppPathSize];
  AppEntry* entry = nullptr;
  for (;;) {
    int fetched = ValueNameAt(key, *index, name);
    if (fetched < 0) break;
    ++*index;
    if (fetched && (entry = ReadEntryFromKey(key, name)) != nullptr) break;
  }
  RegCloseKey(key);
  return entry;
}

int AppValueUnreadable(const char* name) {
  HKEY key;
  if (!OpenSettingsKey(kAutoAppsSubKey, KEY_READ, &key)) return 0;
  int unreadable = ValueExists(key, name) && !ReadEntryFromKey(key, name);
  RegCloseKey(key);
  return unreadable;
}

int DeleteReadableAppValues(int (*keep)(const AppEntry* entry)) {
  HKEY key;
  if (!OpenSettingsKey(kAutoAppsSubKey, KEY_READ | KEY_SET_VALUE, &key)) return 0;
  char name[kAppPathSize];
  for (DWORD index = 0;;) {
    int fetched = ValueNameAt(key, index, name);
    if (fetched < 0) break;
    // A deleted value gives its position to the next one.
    const AppEntry* entry = fetched ? ReadEntryFromKey(key, name) : nullptr;
    if (!entry || (keep && keep(entry)) || RegDeleteValueA(key, name) != ERROR_SUCCESS) ++index;
  }
  DWORD subKeys = 1, values = 1;
  RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr, &values, nullptr,
                   nullptr, nullptr, nullptr);
  RegCloseKey(key);
  if (values) return 1;
  char path[kKeyPathSize];
  if (!subKeys && SettingsKeyPath(kAutoAppsSubKey, path)) RegDeleteKeyA(HKEY_CURRENT_USER, path);
  return 0;
}

namespace {

// An entry named by its parts, for the callers that hold no entry. A path
// that does not fit an entry is refused: 0.
int EntryFromParts(AppEntry* entry, const char* path, Area area, const SettingsRect* rect) {
  MemFill(entry, 0, sizeof *entry);
  size_t length = strlen(path);
  if (length >= sizeof entry->path) return 0;
  MemCopy(entry->path, path, length + 1);
  entry->area = area;
  if (rect) entry->customRect = *rect;
  return 1;
}

}  // namespace

void WriteAppEntry(const AppEntry* entry) {
  char shortPath[kAppPathSize];
  if (!AppShortPath(entry->path, shortPath)) return;
  HKEY key;
  if (!CreateSettingsKey(kAutoAppsSubKey, &key)) return;
  if (entry->area == RemoveFromList) {
    RegDeleteValueA(key, shortPath);
  } else if (entry->area == Custom) {
    char text[kRectTextSize];
    if (entry->hasRectText)
      lstrcpynA(text, entry->rectText, sizeof text);
    else
      FormatRectText(&entry->customRect, text);
    SetTextValue(key, shortPath, text);
  } else {
    SetNumberValue(key, shortPath, static_cast<uint32_t>(static_cast<int32_t>(entry->area)));
  }
  RegCloseKey(key);
}

void WriteAppEntry(const char* path, Area area, const SettingsRect* rect) {
  AppEntry entry;
  if (EntryFromParts(&entry, path, area, rect)) WriteAppEntry(&entry);
}

AppEntry* AppListAdd(const AppEntry* entry) {
  AppEntry* node = static_cast<AppEntry*>(MemAlloc(sizeof(AppEntry)));
  if (!node) return nullptr;
  MemFill(node, 0, sizeof *node);
  if (!AppShortPath(entry->path, node->path)) {
    MemFree(node);
    return nullptr;
  }
  node->area = entry->area;
  if (entry->area == Custom) {
    node->customRect = entry->customRect;
    if (entry->hasRectText) {
      node->hasRectText = 1;
      lstrcpynA(node->rectText, entry->rectText, sizeof node->rectText);
    }
  }

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

AppEntry* AppListAdd(const char* path, Area area, const SettingsRect* rect) {
  AppEntry entry;
  return EntryFromParts(&entry, path, area, rect) ? AppListAdd(&entry) : nullptr;
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
