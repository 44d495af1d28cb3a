// A new temporary file beside a target, created exclusively: it never
// replaces or opens a file that already has its name.
#pragma once

#include <windows.h>

// Creates a temporary file for writing beside `target` (see
// TemporaryNameBeside) and leaves its name in `name` (MAX_PATH bytes).
// The open file, or INVALID_HANDLE_VALUE when none could be created.
HANDLE CreateTemporaryBeside(const char* target, const char* suffix, char* name);

// Writes the bytes to a new temporary file beside `target`, flushes them
// and only then moves the file over the target, if `mayReplace` (when not
// null) allows it at that moment. A failure at any point leaves the target
// as it was and removes the temporary file. 1 when the target holds the bytes.
int ReplaceFileSafely(const char* target, const char* suffix, const void* bytes, DWORD count,
                      int (*mayReplace)(const char* target));
