// Stand-in for the engine's detection header (only while it is not in the tree).
#pragma once
#include <windows.h>
#include "common/types.h"
void FindInstallFolder(char* folder);
ProductVersion DetectInstalledVersion(const char* folder);
