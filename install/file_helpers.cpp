#include "install/file_helpers.h"

#include <stdarg.h>
#include <stdio.h>

#include "common/setup_state.h"

int FileExists(const char* path) {
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA(path, &found);
  if (search == INVALID_HANDLE_VALUE) return 0;
  FindClose(search);
  return (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? 0 : 1;
}

int CreateFolderTree(const char* folder) {
  // The climb works on a MAX_PATH copy; a longer path cannot be created by
  // the ANSI calls anyway, so it is refused before anything is touched.
  char parent[MAX_PATH];
  if (lstrlenA(folder) >= MAX_PATH) return 0;
  if (CreateDirectoryA(folder, nullptr)) return 1;

  lstrcpynA(parent, folder, MAX_PATH);
  char* lastBackslash = nullptr;
  for (char* p = parent; *p; p++) {
    if (*p == '\\') lastBackslash = p;
  }
  if (!lastBackslash) return 0;
  *lastBackslash = '\0';

  if (!CreateFolderTree(parent)) return 0;
  return CreateDirectoryA(folder, nullptr) ? 1 : 0;
}

BOOL CALLBACK CloseRunningProduct(HWND window, LPARAM) {
  char title[32];
  if (GetWindowTextA(window, title, sizeof title) <= 0) title[0] = '\0';
  if (lstrcmpiA(title, "Morvantile") != 0) return TRUE;

  // The product ends itself when its main window gets WM_DESTROY.
  SetupState.instanceWasRunning = 1;
  SendMessageA(window, WM_DESTROY, 0, 0);
  return FALSE;
}

HMODULE LoadLibraryFromSystemFolder(const char* name) {
  char systemFolder[MAX_PATH];
  char path[MAX_PATH];
  UINT length = GetSystemDirectoryA(systemFolder, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return nullptr;
  if (!FormatText(path, MAX_PATH, "%s\\%s", systemFolder, name)) return nullptr;
  return LoadLibraryA(path);
}

int FormatText(char* out, int size, const char* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  int length = vsnprintf(out, (size_t)size, format, arguments);
  va_end(arguments);
  if (length < 0 || length >= size) {
    out[0] = '\0';
    return 0;
  }
  return 1;
}
