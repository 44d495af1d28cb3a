#include <gtest/gtest.h>

#include "common/setup_state.h"

TEST(SetupState, StartsWithTheDocumentedValues) {
  // The static initialiser and the reset must agree, field by field.
  SetupStateRecord atStart = SetupState;
  ResetSetupState();
  EXPECT_EQ(memcmp(&atStart, &SetupState, sizeof SetupState), 0);
  EXPECT_STREQ(SetupState.settingsKeyPath, "Software\\Quillfern\\Morvantile");
  EXPECT_STREQ(SetupState.defaultFolder, "");
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
