// Per-application placements: the values of the "AutoApps" sub-key, named by
// an application's short path, and AppList, an in-memory list of them that
// refuses a second entry for the same file.
#pragma once

#include <windows.h>
#include <stdint.h>

#include "common/types.h"
#include "settings/settings_text.h"

const unsigned kAppPathSize = 2048;
const unsigned kAppDataSize = 64;  // largest "AutoApps" data a reader accepts

struct AppEntry {
  char path[kAppPathSize];  // in list nodes always the short form
  Area area;
  SettingsRect customRect;  // (0, 0, 0, 0) unless area is Custom
  AppEntry* next;           // list nodes only
};

// Filled and handed out by the readers; overwritten by the next read.
extern AppEntry currentAppEntry;

// The entry stored under a value name, or null (missing key or value, data
// over 64 bytes, a type other than REG_SZ and REG_DWORD).
AppEntry* ReadAppEntry(const char* name);
// The entry at an enumeration position, or null: past the end, and also on
// any other enumeration failure, so a walk always ends.
AppEntry* ReadAppEntryAt(DWORD index);

// Stores a placement under the short path of an existing file; does nothing
// for a missing file. RemoveFromList deletes the value, Custom stores the
// rectangle text ("0,0,0,0" without a rectangle), any other code a number.
void WriteAppEntry(const char* path, Area area, const SettingsRect* rect);
void WriteAppEntry(const AppEntry* entry);

// Appends a node for the short path of an existing file. Null when that file
// is already listed (names compared without regard to case; the listed entry
// wins) and also when the path has no short form: such an entry names no
// existing file and could never be stored again.
AppEntry* AppListAdd(const char* path, Area area, const SettingsRect* rect);
AppEntry* AppListAdd(const AppEntry* entry);
AppEntry* AppListAt(uint32_t index);  // null past the end
void AppListClear();
