// The setup program's one top-level routine: the command line, the
// single-instance guard, detection, then the five-page wizard (exit code -1
// on every path) or, with /S, the unattended runner (its exit codes). An
// empty command line gives the wizard exactly.
#pragma once

#include <windows.h>

int RunSetup(HINSTANCE instance, HINSTANCE previous, LPSTR arguments, int showCommand);
