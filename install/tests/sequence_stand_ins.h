// Recording stand-ins for what the installation sequence calls in the other
// subsystems and in registration, so that its tests see every call and can
// make the calls fail.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

struct StandInLog {
  // Settings: results to give and calls seen.
  int migrationResult = 0;
  int settingsFileWrites = 1;        // 0: WriteSettingsFile fails
  std::string settingsFileBytes = std::string("MV\x00\x03" "body", 8);
  std::vector<std::string> migratedFolders;
  std::vector<std::string> settingsFilePaths;
  int productKeyRemovals = 0;

  // Payloads: every attempt, by id; a real file is written, so a folder or a
  // locked file in the way makes the attempt fail as it would for real.
  std::vector<int> payloadAttempts;
  std::vector<std::string> payloadPaths;
  int damagedPayload = 0;            // this id fails its check: nothing written
  int lastPayloadDamaged = 0;

  // Registration and the link label.
  std::vector<std::string> shortcuts;
  std::vector<std::string> launches;
  std::vector<std::string> uninstallEntries;
  int registrationsDone = 1;         // 0: the three fail, as they may
  int linkLabelStatic = 0;
};

extern StandInLog standIns;
