// Small file-system and process helpers shared by the installation sequence,
// the detection routines and the registration. They report through their
// result only.
#pragma once

#include <stdio.h>   // the printf flavour FormatText follows
#include <windows.h>

// Nonzero when an entry of that name exists and is not a folder. The path
// goes to a find-first search, so wildcards in it match.
int FileExists(const char* path);

// Creates the folder and its missing parents, each with
// kInstallFolderAccess; nonzero when the folder was created. An existing
// folder, and a path of MAX_PATH characters or more, give 0.
int CreateFolderTree(const char* folder);
extern const BYTE kInstallFolderAccess[140];

// EnumWindows callback: sends WM_DESTROY to the first top-level window titled
// "Morvantile" (any letter case) whose process runs a program file named
// Morvantile.exe, notes that the product was running, and stops the
// enumeration there. Windows of that title in other programs are left alone.
BOOL CALLBACK CloseRunningProduct(HWND window, LPARAM unused);

// Builds folder\name in `out` of `size` bytes; 0, with `out` empty, when
// it does not fit.
int PathInFolder(char* out, int size, const char* folder, const char* name);

// Ends `path` before a trailing backslash, if it has one.
void RemoveTrailingBackslash(char* path);

// The path of a shell folder (a CSIDL_ number) without a trailing backslash,
// in `folder` (MAX_PATH bytes); 0 when the system gives none.
int ShellFolderPath(int csidl, char* folder);

// Formats into `out` of `size` bytes. Returns 1 when the whole result
// fitted; otherwise 0, with `out` empty: a path is never used cut short.
int FormatText(char* out, int size, const char* format, ...)
    __attribute__((format(__MINGW_PRINTF_FORMAT, 3, 4)));
