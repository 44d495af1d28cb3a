// The one process-wide record of the setup program: the user's choices,
// what detection found, the progress of the installation, and the registry
// key every settings accessor works under. Only the GUI thread touches it.
#pragma once

#include <windows.h>
#include <stdint.h>

struct SetupStateRecord {
  char settingsKeyPath[256];   // under HKEY_CURRENT_USER
  HINSTANCE instance;          // source of dialogs, icon, cursor, payloads
  char defaultFolder[2048];    // proposed folder, no trailing backslash
  char customFolder[2048];     // the Custom Options page's folder box
  char targetFolder[2048];     // fixed by installation step 0
  char scratchPath[2048];      // one file path at a time, within a step
  uint32_t installedVersion;   // ProductVersion in the low 16 bits; 0 = none
  int32_t customInstall;
  int32_t launchAfterInstall;
  int32_t startWithWindows;
  int32_t migrateSettings;
  int32_t instanceWasRunning;
  int32_t migrationResult;
  int32_t finished;
  int32_t settingsFileFailed;  // step 4 tried to write the settings file and could not
  int32_t noLaunch;            // /NOLAUNCH: step 7 never starts the product
};

static_assert(sizeof(int32_t) == 4 && sizeof(uint32_t) == 4, "32-bit flags");
static_assert(sizeof(((SetupStateRecord*)nullptr)->settingsKeyPath) == 256, "key path buffer");
static_assert(sizeof(((SetupStateRecord*)nullptr)->scratchPath) == 2048, "path buffer");

extern SetupStateRecord SetupState;

// The key of the current product generation: the initial settingsKeyPath.
extern const char kProductKeyPath[];

// Puts every field back to its initial value. Every program that uses the
// record calls it first (the record itself starts out all zero); tests
// start from it too.
void ResetSetupState();
