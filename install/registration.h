// Ties the installed product into the system: the Startup-folder shortcut,
// the start of the product, and the machine-wide uninstall entry. Each
// returns 1 when it was done, 0 when not; a failure shows nothing and
// cannot fail the installation (the log notes it).
#pragma once

// Puts "Morvantile.lnk" to targetFolder\Morvantile.exe, described
// "Morvantile", into the user's Startup folder, replacing one of that name.
int CreateStartupShortcut(const char* targetFolder);

// Starts targetFolder\Morvantile.exe with no arguments, in targetFolder.
int LaunchProduct(const char* targetFolder);

// Writes HKLM\...\Uninstall\Morvantile: "UninstallString"
// "\"targetFolder\Morvantile.exe\" /uninstall" and "DisplayName" "Morvantile",
// and for Apps & Features and deployment tools "QuietUninstallString" (the
// same with /S), "DisplayVersion", "Publisher", "DisplayIcon",
// "InstallLocation", "EstimatedSize" (KB of the installed files),
// "URLInfoAbout", "NoModify" and "NoRepair".
int WriteUninstallEntry(const char* targetFolder);
