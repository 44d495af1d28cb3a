#include "common/system_library.h"

int SystemFilePath(const char* name, char* path) {
  char folder[MAX_PATH];
  // The system folder is never a drive's root: it has no backslash at its end.
  UINT length = GetSystemDirectoryA(folder, MAX_PATH);
  if (length == 0 || length + 1 + lstrlenA(name) >= MAX_PATH) return 0;
  wsprintfA(path, "%s\\%s", folder, name);
  return 1;
}

HMODULE LoadLibraryFromSystemFolder(const char* name) {
  char path[MAX_PATH];
  return SystemFilePath(name, path) ? LoadLibraryA(path) : nullptr;
}
