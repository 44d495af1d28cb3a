// System libraries loaded by their full path, and entry points taken from
// them; shared by the setup and the product, which both load DLLs that no
// copy beside the program (or in the temporary folder) may stand in for.
#pragma once

#include <windows.h>

// Builds the full path of `name` in the system folder in `path` (MAX_PATH
// bytes); 0 when there is none that fits.
int SystemFilePath(const char* name, char* path);

// Loads a DLL by its full path in the system folder, so that a planted copy
// beside the program or in the current folder is never taken.
HMODULE LoadLibraryFromSystemFolder(const char* name);

// An entry point of a loaded library as the function type it has, or null.
template <typename Function>
Function LibraryEntry(HMODULE library, const char* name) {
  return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(library, name)));
}
