#include "common/setup_state.h"

#include <string.h>

const char kProductKeyPath[] = "Software\\Quillfern\\Morvantile";

SetupStateRecord SetupState = {
    "Software\\Quillfern\\Morvantile",
    nullptr, "", "", "", "",
    0,   // installedVersion
    0,   // customInstall
    1,   // launchAfterInstall
    1,   // startWithWindows
    1,   // migrateSettings
    0,   // instanceWasRunning
    0,   // migrationResult
    0,   // finished
    0,   // settingsFileFailed
    0,   // noLaunch
};

void ResetSetupState() {
  memset(&SetupState, 0, sizeof SetupState);
  strcpy(SetupState.settingsKeyPath, kProductKeyPath);
  SetupState.launchAfterInstall = 1;
  SetupState.startWithWindows = 1;
  SetupState.migrateSettings = 1;
}
