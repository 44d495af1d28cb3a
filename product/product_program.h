// The units of Morvantile.exe: the placement program and the uninstaller.
#pragma once

#include <windows.h>

#include "common/types.h"
#include "product/placement_library.h"

// The product's texts and names that other programs rely on.
extern const char kProductWindowTitle[];     // the setup finds the running copy by it
extern const char kProductKeyPath[];         // HKCU settings key
extern const char kUninstallKeyPath[];       // HKLM uninstall entry
// kSettingsFileName: common/types.h

// The folder of the running program, without a trailing backslash.
int GetProgramFolder(char* folder, DWORD size);

// The full path of the program file a process runs; 0 when it cannot be read.
int GetProcessProgramPath(DWORD processId, char* path, DWORD size);

// Settings file in the folder first, the registry otherwise, defaults last.
void LoadProductSettings(const PlacementLibrary* library, const char* folder,
                         ProductSettings* settings);

// The placement program: one copy per session, hot keys, placing the windows
// of listed applications. Returns the process exit code.
int RunPlacement(HINSTANCE instance);

// "/uninstall": removes the installation after asking the user, and reports
// the result in a box. "/uninstall /S" (silent) asks nothing and shows
// nothing. Without the rights to remove it, it starts itself again with
// administrator rights ("/elevated": the copy that never does so again)
// and returns that copy's code. Exit code 0 removed, 2 partly removed; 1
// when the user said No or refused the rights; 3 when nothing was removed
// for want of administrator rights.
int RunUninstall(int silent, int elevated);

// The helper copy that removes the program file and its folder once the
// uninstalling process has ended. Arguments: the rest of the command line.
int RunUninstallCleanup(const char* arguments);
