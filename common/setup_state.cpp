#include "common/setup_state.h"

#include <string.h>

const char kProductKeyPath[] = "Software\\Quillfern\\Morvantile";

// Zero until ResetSetupState fills it, first thing at program entry: an
// initialiser here would store the four path buffers in the program file.
SetupStateRecord SetupState;

void ResetSetupState() {
  memset(&SetupState, 0, sizeof SetupState);
  strcpy(SetupState.settingsKeyPath, kProductKeyPath);
  SetupState.launchAfterInstall = 1;
  SetupState.startWithWindows = 1;
  SetupState.migrateSettings = 1;
}
