#include "settings/settings_file.h"

#include <windows.h>
#include <string.h>

#include "common/memory.h"
#include "common/temporary_file.h"
#include "settings/app_list.h"
#include "settings/settings_file_layout.h"
#include "settings/settings_store.h"

namespace {

// The applications as the registry enumerates them, copied out of
// currentAppEntry, which every read overwrites.
struct AppCollection {
  SettingsFileApp* apps;
  uint32_t count;
  uint32_t capacity;
};

void FreeApps(AppCollection* collection) {
  for (uint32_t k = 0; k < collection->count; ++k)
    MemFree(const_cast<char*>(collection->apps[k].path));
  MemFree(collection->apps);
  collection->apps = nullptr;
  collection->count = collection->capacity = 0;
}

int AppendApp(AppCollection* collection, const AppEntry* entry) {
  if (collection->count == collection->capacity) {
    uint32_t capacity = collection->capacity ? collection->capacity * 2 : 16;
    SettingsFileApp* grown = static_cast<SettingsFileApp*>(MemAlloc(capacity * sizeof *grown));
    if (!grown) return 0;
    if (collection->count) MemCopy(grown, collection->apps, collection->count * sizeof *grown);
    MemFree(collection->apps);
    collection->apps = grown;
    collection->capacity = capacity;
  }
  size_t length = strlen(entry->path) + 1;
  char* path = static_cast<char*>(MemAlloc(length));
  if (!path) return 0;
  MemCopy(path, entry->path, length);
  collection->apps[collection->count].path = path;
  collection->apps[collection->count].area = entry->area;
  ++collection->count;
  return 1;
}

// Every entry a walk can read, in enumeration order; the records are
// numbered by this order, so a skipped value leaves no gap.
int CollectApps(AppCollection* collection) {
  DWORD index = 0;
  while (AppEntry* entry = ReadNextAppEntry(&index))
    if (!AppendApp(collection, entry)) return 0;
  return 1;
}

void GetWorkArea(SettingsRect* area) {
  RECT work;
  if (!SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0)) {
    work.left = 0;
    work.top = 0;
    work.right = GetSystemMetrics(SM_CXFULLSCREEN);
    work.bottom = GetSystemMetrics(SM_CYFULLSCREEN);
  }
  area->left = work.left;
  area->top = work.top;
  area->right = work.right;
  area->bottom = work.bottom;
}

// Writes the bytes to a new file beside the target, flushes it and moves
// it over the target; the temporary file never survives a failure.
int ReplaceFile(const char* path, const uint8_t* bytes, size_t size) {
  char temporary[MAX_PATH];
  HANDLE file = CreateTemporaryBeside(path, ".tmp", temporary);
  if (file == INVALID_HANDLE_VALUE) return 0;
  DWORD written = 0;
  int ok = size <= 0xFFFFFFFFu &&
           WriteFile(file, bytes, static_cast<DWORD>(size), &written, nullptr) &&
           written == size && FlushFileBuffers(file);
  ok = CloseHandle(file) && ok;
  ok = ok && MoveFileExA(temporary, path, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
  if (!ok) DeleteFileA(temporary);
  return ok;
}

}  // namespace

int WriteSettingsFile(const char* path) {
  // Everything is read before any file is touched.
  SettingsFileInputs in;
  MemFill(&in, 0, sizeof in);
  ReadScreensaver(&in.screensaver);
  ReadClipPrint(&in.clipPrint);
  ReadCoverageArea(&in.coverage);
  GetWorkArea(&in.workArea);
  in.iconSpacingX = static_cast<uint32_t>(GetSystemMetrics(SM_CXICONSPACING));
  in.iconSpacingY = static_cast<uint32_t>(GetSystemMetrics(SM_CYICONSPACING));
  for (int area = WholeArea; area <= LowerRight; ++area)
    in.hotKeys[area - WholeArea] = ReadHotKey(static_cast<Area>(area));

  AppCollection collection = {nullptr, 0, 0};
  int ok = CollectApps(&collection);
  in.apps = collection.apps;
  in.appCount = collection.count;
  in.alwaysMove = ReadAlwaysMove();
  in.colors = ReadColors();

  if (ok) {
    size_t size = 0;
    uint8_t* bytes = AssembleSettingsFile(&in, &size);
    ok = bytes && ReplaceFile(path, bytes, size);
    MemFree(bytes);
  }
  FreeApps(&collection);
  return ok;
}
