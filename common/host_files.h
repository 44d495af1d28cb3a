// Whole-file reading and safe replacing for the build's host tools
// (payload-tool, pe-compact); POSIX only, never in a Windows program.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <vector>

// 1 and the file's bytes in *bytes, or 0.
int ReadWholeFile(const char* path, std::vector<uint8_t>* bytes);

// 1 when nothing is at `path` or a regular file is (not followed if a link).
int IsRegularOrAbsent(const char* path);

// Writes a new file beside `path` (created exclusively, so it never takes
// the place of a file that happens to bear its name) and renames it over
// `path`, only if `path` is still a regular file or absent. On failure
// `path` is as it was and nothing is left beside it.
int WriteFileAtomically(const char* path, const uint8_t* bytes, size_t size);
