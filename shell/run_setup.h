// The setup program's one top-level routine: single-instance guard,
// detection, then the five-page wizard. Returns -1 on every path.
#pragma once

#include <windows.h>

int RunSetup(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int showCommand);
