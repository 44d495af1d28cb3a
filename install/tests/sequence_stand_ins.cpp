#include "install/tests/sequence_stand_ins.h"

#include "install/registration.h"
#include "payload/payload_extractor.h"
#include "settings/settings_file.h"
#include "settings/settings_migration.h"
#include "install/tests/engine_test_support.h"

StandInLog standIns;

int MigrateSettings(const char* targetFolder) {
  standIns.migratedFolders.push_back(targetFolder);
  return standIns.migrationResult;
}

void RemoveProductSettings() { standIns.productKeyRemovals++; }

int WriteSettingsFile(const char* path) {
  standIns.settingsFilePaths.push_back(path);
  return standIns.settingsFileWrites && WriteBytes(path, standIns.settingsFileBytes);
}

int ExtractPayloadToFile(const char*, WORD id, const char* targetPath) {
  standIns.payloadAttempts.push_back(id);
  standIns.payloadPaths.push_back(targetPath);
  standIns.lastPayloadDamaged = id == standIns.damagedPayload;
  if (standIns.lastPayloadDamaged) return 0;
  return WriteBytes(targetPath, "payload " + std::to_string(id));
}

int LastPayloadWasDamaged() { return standIns.lastPayloadDamaged; }
const char kPayloadType[] = "FILE_RESOURCE";
const char kDamagedSetupText[] = "The setup program is damaged. Please download it again.";

int CreateStartupShortcut(const char* targetFolder) {
  standIns.shortcuts.push_back(targetFolder);
  return standIns.registrationsDone;
}
int LaunchProduct(const char* targetFolder) {
  standIns.launches.push_back(targetFolder);
  return standIns.registrationsDone;
}
int WriteUninstallEntry(const char* targetFolder) {
  standIns.uninstallEntries.push_back(targetFolder);
  return standIns.registrationsDone;
}
