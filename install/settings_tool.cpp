// settings-tool: runs the settings routines of the setup program on the
// registry of the prefix or machine it runs in, for developers and support.
//   settings-tool migrate FOLDER      MigrateSettings; prints 1 or 0
//   settings-tool write-file PATH     WriteSettingsFile; prints 1 or 0
//   settings-tool remove-key          RemoveProductSettings (installation step 5)
//   settings-tool detect FOLDER       DetectInstalledVersion; four hex digits
//   settings-tool find-folder         FindInstallFolder
#include <stdio.h>
#include <string.h>

#include "install/detection.h"
#include "common/setup_state.h"
#include "settings/settings_file.h"
#include "settings/settings_migration.h"

namespace {

int RunMigrate(char** args) {
  printf("%d\n", MigrateSettings(args[0]));
  return 0;
}

int RunWriteFile(char** args) {
  printf("%d\n", WriteSettingsFile(args[0]));
  return 0;
}

int RunRemoveKey(char**) {
  RemoveProductSettings();
  return 0;
}

int RunDetect(char** args) {
  printf("%04X\n", (unsigned)DetectInstalledVersion(args[0]));
  return 0;
}

int RunFindFolder(char**) {
  char folder[2048];
  FindInstallFolder(folder);
  printf("%s\n", folder);
  return 0;
}

struct Command {
  const char* name;
  const char* arguments;  // for the usage text
  int argumentCount;
  int (*run)(char** args);
};

// One line per command; new commands go here.
const Command kCommands[] = {
    {"migrate", "FOLDER", 1, RunMigrate},
    {"write-file", "PATH", 1, RunWriteFile},
    {"remove-key", "", 0, RunRemoveKey},
    {"detect", "FOLDER", 1, RunDetect},
    {"find-folder", "", 0, RunFindFolder},
};

int Usage() {
  fprintf(stderr, "usage: settings-tool COMMAND [ARGUMENT]\n");
  for (const Command& command : kCommands)
    fprintf(stderr, "  settings-tool %s %s\n", command.name, command.arguments);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  ResetSetupState();
  if (argc < 2) return Usage();
  for (const Command& command : kCommands) {
    if (strcmp(argv[1], command.name) != 0) continue;
    if (argc - 2 != command.argumentCount) return Usage();
    int status = command.run(argv + 2);
    fflush(stdout);
    return status;
  }
  return Usage();
}
