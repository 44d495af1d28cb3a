// What counts as a folder the setup may install into or take from the
// registry. Portable: no Windows headers.
#pragma once

// Nonzero when `path` is a full folder path: a drive letter, a colon and a
// backslash ("C:\Apps"), or a UNC path naming a server and a share
// ("\\server\share\Apps"). A relative path ("Apps", "C:Apps", "\Apps")
// is not one, and neither is a path holding a character that no file name
// may hold: the wildcards * and ?, which a find-first search would match,
// and " < > | : (beyond the drive's colon) and control characters.
int IsFullFolderPath(const char* path);
