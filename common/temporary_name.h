// Names for a temporary file beside a target, for writing a file whole and
// then renaming it into place. Portable: no Windows headers.
//
// Attempt 0 is the target's path plus the suffix ("C:\x\Morvantile.dll"
// gives "C:\x\Morvantile.dll.partial"), later attempts add a number. When
// that would be longer than the longest path the system accepts, the name
// part is shortened to fit: a temporary name exists whenever the target
// itself fits. The caller creates the file only if nothing has that name
// and moves on to the next attempt otherwise, so the name never takes the
// place of a file of the user's.
#pragma once

#include <stddef.h>

// The longest path in characters, without its NUL (MAX_PATH - 1).
const size_t kLongestPath = 259;
const unsigned kTemporaryNameAttempts = 64;

// Writes attempt `attempt`'s name into `name` (nameSize bytes, at least
// kLongestPath + 1). 1 on success; 0 when the target is empty or too long,
// ends in a separator, or this attempt cannot give a name other than the
// target's (then try the next attempt).
int TemporaryNameBeside(const char* target, const char* suffix, unsigned attempt, char* name,
                        size_t nameSize);
