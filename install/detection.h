// Where to install and which version is already there, found before the
// wizard opens. Both routines only read, and fall through to their next
// source on every failure.
#pragma once

#include <windows.h>

#include "common/types.h"

// Fills `folder` (2048 bytes) with the proposed installation folder, without
// a trailing backslash: "LastPath", then the uninstall entry, then Program
// Files + "\Morvantile", then "C:\Program Files\Morvantile".
void FindInstallFolder(char* folder /* 2048 bytes */);

// The installed ProductVersion, 0 when none is found: "UpgradeVer" under the
// current and the older product key, the product version of
// folder\Morvantile.exe, the header of folder\default.MorvantileSettings.
ProductVersion DetectInstalledVersion(const char* folder);
