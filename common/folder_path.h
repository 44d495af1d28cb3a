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

// Lead bytes of the ANSI code page's two-byte characters (its Chinese,
// Japanese and Korean code pages): the byte after one is the second half of
// a character and may be 0x5C or 0x7C without being a backslash or a bar
// (Japanese "ソ" is 0x83 0x5C, "ポ" 0x83 0x7C). Nonzero for a lead byte. The
// setup fills it from the system at start; until then every byte is a
// character of its own.
extern unsigned char AnsiLeadBytes[256];

// The character after the one `text` points at: two bytes on from a lead
// byte, one at a lead byte that ends the text.
const char* NextCharacter(const char* text);

// The first backslash at or after `text` that is a character of its own;
// null when there is none.
const char* NextBackslash(const char* text);

// The last backslash of `path` that is a character of its own; null when
// there is none.
char* LastBackslash(char* path);
