#include "common/temporary_file.h"

#include "common/temporary_name.h"

static_assert(kLongestPath + 1 == MAX_PATH, "the longest path is MAX_PATH less the NUL");

HANDLE CreateTemporaryBeside(const char* target, const char* suffix, char* name) {
  for (unsigned attempt = 0; attempt < kTemporaryNameAttempts; ++attempt) {
    if (!TemporaryNameBeside(target, suffix, attempt, name, MAX_PATH)) continue;
    HANDLE file = CreateFileA(name, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) return file;
    // Something of that name is there: leave it and try another name.
    // Anything else (no such folder, no right to write) ends the search.
    if (GetFileAttributesA(name) == INVALID_FILE_ATTRIBUTES) break;
  }
  return INVALID_HANDLE_VALUE;
}
