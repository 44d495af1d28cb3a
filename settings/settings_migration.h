// Brings the settings of every older version and product generation into
// the current schema ("UpgradeVer" 206) under the current product key, and
// the registry tree utilities that this and the installation need.
#pragma once

#include <windows.h>

// Under HKEY_CURRENT_USER: where the product generation before this one
// kept its settings. Under HKEY_LOCAL_MACHINE: the uninstall entry.
extern const char kOlderProductKeyPath[];
extern const char kUninstallKeyPath[];

// Names and texts of the uninstall entry that the installation writes too;
// inline, so the program holds each once.
inline constexpr char kQuietUninstallStringValue[] = "QuietUninstallString";
// "UninstallString": the quiet name's tail, so its letters are stored once.
inline constexpr const char* kUninstallStringValue = kQuietUninstallStringValue + 5;
inline constexpr char kDisplayNameValue[] = "DisplayName";
// Quoted, so that a folder with spaces cannot start another program.
inline constexpr char kUninstallCommandFormat[] = "\"%s\\Morvantile.exe\" /uninstall";

// 1 when the settings stand in the current schema under the current key
// (or already did), 0 when neither key holds an "UpgradeVer".
int MigrateSettings(const char* targetFolder);

// Records the folder as "LastPath" under settingsKeyPath and writes the
// uninstall entry; one leading double quote of the folder is skipped.
void RegisterUninstall(const char* folder);

// Copies a key with all its values and sub-keys, whatever their size.
// 0 when everything was copied, else the first registry error met.
LONG CopyRegistryTree(HKEY destinationRoot, const char* destinationPath, HKEY sourceRoot,
                      const char* sourcePath);

// Deletes a key with its values and sub-keys. Stops at the first sub-key
// that cannot be deleted, so it always ends.
void DeleteRegistryTree(HKEY root, const char* path);

// Deletes the settingsKeyPath tree and then its parent when nothing else
// is left under it.
void RemoveProductKey();

// Removes the product's registry settings once the settings file holds
// them: like RemoveProductKey, except that "AutoApps" values the file could
// not list (unreadable ones) stay where they are, with the keys above them.
void RemoveProductSettings();
