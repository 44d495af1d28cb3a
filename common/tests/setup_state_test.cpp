#include <gtest/gtest.h>
#include <string.h>

#include "common/setup_state.h"

TEST(SetupState, ResetGivesTheDocumentedValuesWhateverWasThere) {
  // Programs start with the record zeroed and call the reset at entry; a
  // reset after any use must give the same values.
  memset(&SetupState, 0xCC, sizeof SetupState);
  ResetSetupState();
  EXPECT_STREQ(SetupState.settingsKeyPath, "Software\\Quillfern\\Morvantile");
  EXPECT_EQ(SetupState.instance, nullptr);
  EXPECT_STREQ(SetupState.defaultFolder, "");
  EXPECT_STREQ(SetupState.customFolder, "");
  EXPECT_STREQ(SetupState.targetFolder, "");
  EXPECT_STREQ(SetupState.scratchPath, "");
  EXPECT_EQ(SetupState.installedVersion, 0u);
  EXPECT_EQ(SetupState.customInstall, 0);
  EXPECT_EQ(SetupState.launchAfterInstall, 1);
  EXPECT_EQ(SetupState.startWithWindows, 1);
  EXPECT_EQ(SetupState.migrateSettings, 1);
  EXPECT_EQ(SetupState.instanceWasRunning, 0);
  EXPECT_EQ(SetupState.migrationResult, 0);
  EXPECT_EQ(SetupState.finished, 0);
  EXPECT_EQ(SetupState.noLaunch, 0);
}
