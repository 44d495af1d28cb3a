// Per-application placements: the values of the "AutoApps" sub-key, named by
// an application's short path, and AppList, an in-memory list of them that
// refuses a second entry for the same file.
#pragma once

#include <windows.h>
#include <stdint.h>

#include "common/types.h"
#include "settings/settings_text.h"

// The sub-key of the product key that holds the placements.
extern const char kAutoAppsSubKey[];

const unsigned kAppPathSize = 2048;
const unsigned kAppDataSize = 64;  // largest "AutoApps" data a reader accepts

struct AppEntry {
  char path[kAppPathSize];  // in list nodes always the short form
  Area area;
  SettingsRect customRect;  // (0, 0, 0, 0) unless area is Custom
  // A Custom entry read from the registry keeps its text as stored, so that
  // writing it again gives back the very numbers read ("-5,-10,300,400"
  // would not survive ParseRectText and FormatRectText).
  int32_t hasRectText;
  char rectText[kRectTextSize];
  AppEntry* next;           // list nodes only
};

// Filled and handed out by the readers; overwritten by the next read.
extern AppEntry currentAppEntry;

// The entry stored under a value name, or null (missing key or value, data
// over 64 bytes, a type other than REG_SZ and REG_DWORD).
AppEntry* ReadAppEntry(const char* name);
// The entry at an enumeration position, or null: past the end, a value it
// cannot read, or a name too long to fetch.
AppEntry* ReadAppEntryAt(DWORD index);

// A walk of "AutoApps": the next entry that can be read at position *index
// or after it, with *index moved past it; null once the values run out.
// Values that cannot be read are skipped, never taken for the end.
AppEntry* ReadNextAppEntry(DWORD* index);

// 1 when "AutoApps" holds a value of that name that a walk cannot read.
int AppValueUnreadable(const char* name);

// Deletes the "AutoApps" values that a walk reads, except those for which
// `keep` (may be null) answers 1 given the entry read, and then the key when
// it is left without values and sub-keys. Values a walk cannot read always
// stay. 1 when any value is left.
int DeleteReadableAppValues(int (*keep)(const AppEntry* entry));

// The short form of an existing file's path into kAppPathSize bytes; 0 for
// a missing file or a result that would not fit.
int AppShortPath(const char* path, char* shortPath);

// Stores a placement under the short path of an existing file; does nothing
// for a missing file. RemoveFromList deletes the value, Custom stores the
// rectangle text ("0,0,0,0" without a rectangle), any other code a number.
// An entry that carries its stored rectangle text is written with that text.
// The forms that take the parts refuse a path of kAppPathSize bytes or more.
void WriteAppEntry(const char* path, Area area, const SettingsRect* rect);
void WriteAppEntry(const AppEntry* entry);

// Appends a node for the short path of an existing file. Null when that file
// is already listed (names compared without regard to case; the listed entry
// wins) and also when the path has no short form: such an entry names no
// existing file and could never be stored again.
AppEntry* AppListAdd(const char* path, Area area, const SettingsRect* rect);
AppEntry* AppListAdd(const AppEntry* entry);  // keeps a Custom entry's text
AppEntry* AppListAt(uint32_t index);  // null past the end
void AppListClear();
