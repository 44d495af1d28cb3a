// A new temporary file beside a target, created exclusively: it never
// replaces or opens a file that already has its name.
#pragma once

#include <windows.h>

// Creates a temporary file for writing beside `target` (see
// TemporaryNameBeside) and leaves its name in `name` (MAX_PATH bytes).
// The open file, or INVALID_HANDLE_VALUE when none could be created.
HANDLE CreateTemporaryBeside(const char* target, const char* suffix, char* name);
