#include <string.h>

#include "settings/app_list.h"
#include "settings/settings_store.h"
#include "settings/tests/settings_fixture.h"

namespace {

const char kFolder[] = "C:\\Program Files\\Morvantile";
const std::string kOlderCoverage = Join(kOlderKey, "CoverageArea");
const std::string kCurrentCoverage = Join(kCurrentKey, "CoverageArea");

using Migration = SettingsTest;

std::string Text(const char* text) { return std::string(text, strlen(text) + 1); }

std::string UninstallText(const char* name) {
  return GetText(kUninstallKeyPath, name, HKEY_LOCAL_MACHINE);
}

TEST_F(Migration, WithoutUpgradeVerAnywhereChangesNothing) {
  SetDword(kOlderKey, "Colors", 3);
  EXPECT_EQ(MigrateSettings(kFolder), 0);
  EXPECT_STREQ(SetupState.settingsKeyPath, kCurrentKey);
  EXPECT_FALSE(KeyExists(kCurrentKey));
  EXPECT_FALSE(HasValue(kOlderKey, "LastPath"));
  EXPECT_EQ(CountValues(kOlderKey), 1u);
  EXPECT_EQ(CountSubKeys(kOlderKey), 0u);
  EXPECT_FALSE(TestKeyExists(HKEY_LOCAL_MACHINE, kUninstallKeyPath));
}

TEST_F(Migration, CurrentSchemaIsLeftAlone) {
  SetDword(kCurrentKey, "UpgradeVer", 206);
  EXPECT_EQ(MigrateSettings(kFolder), 1);
  EXPECT_EQ(CountValues(kCurrentKey), 1u);
  EXPECT_EQ(CountSubKeys(kCurrentKey), 0u);
  EXPECT_FALSE(KeyExists(kOlderCompanyKey));
  EXPECT_FALSE(TestKeyExists(HKEY_LOCAL_MACHINE, kUninstallKeyPath));
  SetDword(kCurrentKey, "UpgradeVer", 0xFFFFFFFF);  // compared unsigned
  EXPECT_EQ(MigrateSettings(kFolder), 1);
  EXPECT_FALSE(KeyExists(kOlderCompanyKey));
}

TEST_F(Migration, From204OnlyRecordsTheFolderAndTheVersion) {
  SetDword(kCurrentKey, "UpgradeVer", 204);
  SetDword(kCurrentKey, "Colors", 5);
  EXPECT_EQ(MigrateSettings(kFolder), 1);
  EXPECT_STREQ(SetupState.settingsKeyPath, kCurrentKey);
  EXPECT_EQ(GetDword(kCurrentKey, "UpgradeVer"), 206u);
  EXPECT_EQ(GetDword(kCurrentKey, "Colors"), 5u);
  EXPECT_EQ(CountValues(kCurrentKey), 2u);
  EXPECT_EQ(CountSubKeys(kCurrentKey), 0u);
  // "LastPath" lands in the older key, which is created for it and kept.
  EXPECT_EQ(GetText(kOlderKey, "LastPath"), Text(kFolder));
  EXPECT_EQ(CountValues(kOlderKey), 1u);
  EXPECT_EQ(UninstallText("DisplayName"), Text("Morvantile"));
}

TEST_F(Migration, From150ConvertsThePackedCoverageAreaAndMovesTheTree) {
  SetDword(kOlderKey, "UpgradeVer", 150);
  SetDword(kOlderKey, "CoverageArea", 0x01020304);
  SetDword(kOlderKey, "Colors", 7);
  EXPECT_EQ(MigrateSettings(kFolder), 1);
  EXPECT_STREQ(SetupState.settingsKeyPath, kCurrentKey);

  // 1024 x 768 screen, 75 x 75 icons: 14 columns, 11 rows; margins 75, 150,
  // 199, 243; splits 450 and 337.
  EXPECT_EQ(GetDword(kCurrentCoverage, "LeftTop"), 0x96004Bu);
  EXPECT_EQ(GetDword(kCurrentCoverage, "RightBottom"), 0xF300C7u);
  EXPECT_EQ(GetDword(kCurrentCoverage, "VertHorz"), 0x15101C2u);
  EXPECT_EQ(GetDword(kCurrentCoverage, "Snaps"), 1u);
  EXPECT_FALSE(HasValue(kCurrentKey, "CoverageArea"));
  EXPECT_EQ(GetDword(kCurrentKey, "UpgradeVer"), 206u);
  EXPECT_EQ(GetDword(kCurrentKey, "Colors"), 7u);
  EXPECT_EQ(GetDword(kCurrentKey, "AutoPos"), 26u);
  EXPECT_EQ(GetText(kCurrentKey, "LastPath"), Text(kFolder));
  EXPECT_EQ(GetDword(Join(kCurrentKey, "ClipPrint"), "SizeFormat"), 0xA10u);
  EXPECT_FALSE(KeyExists(kOlderKey));
  EXPECT_FALSE(KeyExists(kOlderCompanyKey));  // no other sub-key was left
}

TEST_F(Migration, APackedCoverageOfZeroRaisesNegativeMarginsToZero) {
  SetDword(kOlderKey, "UpgradeVer", 150);
  SetDword(kOlderKey, "CoverageArea", 0);
  SetDword(std::string(kOlderCompanyKey) + "\\Other", "Keep", 1);
  EXPECT_EQ(MigrateSettings(kFolder), 1);
  EXPECT_EQ(GetDword(kCurrentCoverage, "LeftTop"), 0u);
  EXPECT_EQ(GetDword(kCurrentCoverage, "RightBottom"), 0u);
  EXPECT_EQ(GetDword(kCurrentCoverage, "VertHorz"), 384u << 16 | 512u);
  EXPECT_FALSE(KeyExists(kOlderKey));
  EXPECT_TRUE(KeyExists(kOlderCompanyKey));  // still holds another sub-key
}

TEST_F(Migration, ConvertsTheOldSizeFormat) {
  SetDword(kOlderKey, "UpgradeVer", 185);
  const std::string oldClipPrint = Join(kOlderKey, "ClipPrint");
  SetDword(oldClipPrint, "SizeFormat", 0x2301000C);
  SetDword(oldClipPrint, "HotKey", 0x20041);
  SetText(oldClipPrint, "FaceName", "Arial");
  EXPECT_EQ(MigrateSettings(kFolder), 1);
  const std::string clipPrint = Join(kCurrentKey, "ClipPrint");
  EXPECT_EQ(GetDword(clipPrint, "SizeFormat"), 0x33330C25u);
  EXPECT_EQ(GetDword(clipPrint, "HotKey"), 0x20041u);
  EXPECT_EQ(GetText(clipPrint, "FaceName"), Text("Arial"));
}

TEST_F(Migration, OldClipPrintTakesShortNumbersZeroExtendedAndOnlyATextFaceName) {
  SetDword(kOlderKey, "UpgradeVer", 185);
  const std::string oldClipPrint = Join(kOlderKey, "ClipPrint");
  SetValue(oldClipPrint, "HotKey", REG_BINARY, "\x41\x00", 2);
  SetValue(oldClipPrint, "FaceName", REG_BINARY, "Arial", 6);
  EXPECT_EQ(MigrateSettings(kFolder), 1);
  const std::string clipPrint = Join(kCurrentKey, "ClipPrint");
  EXPECT_EQ(GetDword(clipPrint, "HotKey"), 0x41u);
  EXPECT_EQ(GetText(clipPrint, "FaceName"), Text("Times New Roman"));
}

TEST_F(Migration, AnOldFontSizeOver255IsClamped) {
  SetDword(kOlderKey, "UpgradeVer", 100);
  SetDword(Join(kOlderKey, "ClipPrint"), "SizeFormat", 300);
  EXPECT_EQ(MigrateSettings(kFolder), 1);
  // Size 255, count 0 raised to 1, no flags, margins 0.
  EXPECT_EQ(GetDword(Join(kCurrentKey, "ClipPrint"), "SizeFormat"), 0xFF10u);
}

TEST_F(Migration, RekeysAutoAppsByShortPathKeepingTheFirstEnumerated) {
  TempFiles files;
  std::string longPath = files.Create("Long Application Name.exe");
  std::string shortPath = ShortPathOf(longPath);
  std::string gone = files.Missing("Gone Application.exe");
  const std::string oldApps = Join(kOlderKey, "AutoApps");
  SetDword(kOlderKey, "UpgradeVer", 170);
  SetDword(oldApps, longPath.c_str(), LeftSide);
  SetDword(oldApps, shortPath.c_str(), RightSide);
  SetDword(oldApps, gone.c_str(), TopHalf);

  // Which of the two names comes first is the registry's business.
  strcpy(SetupState.settingsKeyPath, kOlderKey);
  Area firstArea = None;
  for (DWORD k = 0; ReadAppEntryAt(k); ++k) {
    if (currentAppEntry.area != TopHalf) {
      firstArea = currentAppEntry.area;
      break;
    }
  }
  ResetSetupState();
  ASSERT_NE(firstArea, None);

  EXPECT_EQ(MigrateSettings(kFolder), 1);
  const std::string apps = Join(kCurrentKey, "AutoApps");
  EXPECT_EQ(CountValues(apps), 1u);
  EXPECT_EQ(GetDword(apps, shortPath.c_str()), static_cast<DWORD>(firstArea));
  EXPECT_EQ(AppListAt(0), nullptr);  // the list is left empty
}

// A value the walk cannot read, placed before good ones, is kept as it is,
// and so is a readable one whose short name such a value holds.
TEST_F(Migration, RekeyingMovesEveryReadableEntryAndKeepsTheRestAsItWas) {
  TempFiles files;
  std::string plain = files.Create("Long Application Name.exe");
  std::string custom = files.Create("Custom Application.exe");
  std::string blocked = files.Create("Blocked Application.exe");
  const std::string oldApps = Join(kOlderKey, "AutoApps");
  SetDword(kOlderKey, "UpgradeVer", 170);
  SetValue(oldApps, "C:\\0 Odd", REG_BINARY, "\x02\x00\x00\x00", 4);
  const std::string longText = "1,2,3," + std::string(64, '4');
  SetText(oldApps, "C:\\1 Long Text", longText);
  SetDword(oldApps, plain.c_str(), LeftSide);
  SetText(oldApps, custom.c_str(), "5,10,300,400");
  SetDword(oldApps, blocked.c_str(), RightSide);
  SetValue(oldApps, ShortPathOf(blocked).c_str(), REG_BINARY, "\x09", 1);

  EXPECT_EQ(MigrateSettings(kFolder), 1);
  const std::string apps = Join(kCurrentKey, "AutoApps");
  DWORD type = 0;
  EXPECT_EQ(GetValue(apps, "C:\\0 Odd", &type), std::vector<BYTE>({2, 0, 0, 0}));
  EXPECT_EQ(type, static_cast<DWORD>(REG_BINARY));
  EXPECT_EQ(GetText(apps, "C:\\1 Long Text"), Text(longText.c_str()));
  EXPECT_EQ(GetDword(apps, ShortPathOf(plain).c_str()), static_cast<DWORD>(LeftSide));
  EXPECT_EQ(GetText(apps, ShortPathOf(custom).c_str()), Text("5,10,300,400"));
  EXPECT_EQ(GetDword(apps, blocked.c_str()), static_cast<DWORD>(RightSide));
  EXPECT_EQ(GetValue(apps, ShortPathOf(blocked).c_str(), &type), std::vector<BYTE>({9}));
  EXPECT_EQ(CountValues(apps), 6u) << "the long names of moved entries are gone";
  EXPECT_FALSE(KeyExists(kOlderKey));
}

// Negative coordinates are ordinary left of or above the primary monitor;
// a text is carried as it was stored, odd ones included.
TEST_F(Migration, RekeyingKeepsRectangleTextsAsStored) {
  TempFiles files;
  const char* texts[] = {"-5,-10,300,400", "-1920,0,-1,1080", "1,2,3,4,5", " 7, 8 ,9,10"};
  const std::string oldApps = Join(kOlderKey, "AutoApps");
  SetDword(kOlderKey, "UpgradeVer", 180);
  std::vector<std::string> paths;
  for (const char* text : texts) {
    paths.push_back(files.Create(("Application " + std::to_string(paths.size()) + ".exe").c_str()));
    SetText(oldApps, paths.back().c_str(), text);
  }
  EXPECT_EQ(MigrateSettings(kFolder), 1);
  const std::string apps = Join(kCurrentKey, "AutoApps");
  for (size_t i = 0; i < paths.size(); ++i)
    EXPECT_EQ(GetText(apps, ShortPathOf(paths[i]).c_str()), Text(texts[i]));
}

// The re-keying deletes the old "AutoApps" key as a plain key: one that holds
// a sub-key stays, with its long names, beside the new short ones.
TEST_F(Migration, RekeyingLeavesAnAutoAppsKeyThatHoldsASubKey) {
  TempFiles files;
  std::string longPath = files.Create("Long Application Name.exe");
  const std::string oldApps = Join(kOlderKey, "AutoApps");
  SetDword(kOlderKey, "UpgradeVer", 170);
  SetDword(oldApps, longPath.c_str(), LeftSide);
  SetDword(oldApps + "\\Nested", "Inside", 1);

  EXPECT_EQ(MigrateSettings(kFolder), 1);
  const std::string apps = Join(kCurrentKey, "AutoApps");
  EXPECT_EQ(GetDword(apps, longPath.c_str()), static_cast<DWORD>(LeftSide));
  EXPECT_EQ(GetDword(apps, ShortPathOf(longPath).c_str()), static_cast<DWORD>(LeftSide));
  EXPECT_EQ(GetDword(apps + "\\Nested", "Inside"), 1u);
}

TEST_F(Migration, From190OnlyUpdatesClipPrintAndAutoPos) {
  TempFiles files;
  std::string longPath = files.Create("Long Application Name.exe");
  SetDword(kOlderKey, "UpgradeVer", 190);
  SetDword(kOlderKey, "AutoPosDisplay", 1);
  SetDword(kOlderKey, "CoverageArea", 0x01020304);
  SetDword(Join(kOlderKey, "AutoApps"), longPath.c_str(), LeftSide);
  const std::string oldClipPrint = Join(kOlderKey, "ClipPrint");
  SetDword(oldClipPrint, "SizeFormat", 0x2301000C);  // already the new layout here
  SetDword(oldClipPrint, "HotKey", 0x60050);
  SetText(oldClipPrint, "FaceName", "Arial");

  EXPECT_EQ(MigrateSettings(kFolder), 1);
  EXPECT_FALSE(HasValue(kCurrentKey, "AutoPosDisplay"));
  EXPECT_EQ(GetDword(kCurrentKey, "AutoPos"), 26u);
  EXPECT_EQ(GetDword(kCurrentKey, "CoverageArea"), 0x01020304u);  // not converted
  EXPECT_FALSE(KeyExists(kCurrentCoverage));
  EXPECT_EQ(GetDword(Join(kCurrentKey, "AutoApps"), longPath.c_str()),
            static_cast<DWORD>(LeftSide));  // not re-keyed
  // New layout 0x2301000C: margins 2,3,0,1, size 0, count 0 -> 1, no flags;
  // bit 2 follows bit 0 (clear).
  EXPECT_EQ(GetDword(Join(kCurrentKey, "ClipPrint"), "SizeFormat"), 0x23010010u);
  EXPECT_EQ(GetDword(kCurrentKey, "UpgradeVer"), 206u);
  EXPECT_FALSE(KeyExists(kOlderCompanyKey));
}

TEST_F(Migration, Bit2FollowsBit0Before192) {
  SetDword(kOlderKey, "UpgradeVer", 191);
  const std::string oldClipPrint = Join(kOlderKey, "ClipPrint");
  SetDword(oldClipPrint, "SizeFormat", 0xA11);
  EXPECT_EQ(MigrateSettings(kFolder), 1);
  EXPECT_EQ(GetDword(Join(kCurrentKey, "ClipPrint"), "SizeFormat"), 0xA15u);
}

TEST_F(Migration, RecordsAQuotedFolderWithoutTheQuoteAndQuotesTheCommand) {
  SetDword(kCurrentKey, "UpgradeVer", 205);
  EXPECT_EQ(MigrateSettings("\"C:\\Program Files\\Morvantile"), 1);
  EXPECT_EQ(GetText(kOlderKey, "LastPath"), Text(kFolder));
  EXPECT_EQ(UninstallText("UninstallString"),
            Text("\"C:\\Program Files\\Morvantile\\Morvantile.exe\" /uninstall"));
  EXPECT_EQ(UninstallText("DisplayName"), Text("Morvantile"));
}

// A volatile key takes no lasting sub-keys: copying a lasting tree into it fails.
void CreateVolatileKey(const std::string& path) {
  HKEY key;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, REG_OPTION_VOLATILE,
                            KEY_WRITE, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  RegCloseKey(key);
}

// A copy that fails keeps the older key, converted once and marked so; the
// current key is not stamped, so a later setup moves the settings then.
TEST_F(Migration, KeepsTheOlderKeyWhenItsTreeCouldNotBeCopiedAndMovesItLater) {
  SetDword(kOlderKey, "UpgradeVer", 185);
  SetDword(kOlderKey, "Colors", 4);
  SetDword(Join(kOlderKey, "ClipPrint"), "SizeFormat", 0x2301000C);
  CreateVolatileKey(kCurrentCompanyKey);
  EXPECT_EQ(MigrateSettings(kFolder), 1);
  EXPECT_STREQ(SetupState.settingsKeyPath, kCurrentKey);
  EXPECT_FALSE(KeyExists(kCurrentKey));
  EXPECT_EQ(GetDword(kOlderKey, "UpgradeVer"), 192u);
  EXPECT_EQ(GetDword(kOlderKey, "Colors"), 4u);

  DeleteTestKey(HKEY_CURRENT_USER, kCurrentCompanyKey);
  EXPECT_EQ(MigrateSettings(kFolder), 1);
  EXPECT_EQ(GetDword(Join(kCurrentKey, "ClipPrint"), "SizeFormat"), 0x33330C25u)
      << "converted once only";
  EXPECT_EQ(GetDword(kCurrentKey, "Colors"), 4u);
  EXPECT_EQ(GetDword(kCurrentKey, "UpgradeVer"), 206u);
  EXPECT_FALSE(KeyExists(kOlderKey));
}

TEST_F(Migration, KeepsTheOlderKeyWhenPartOfItsTreeCouldNotBeCopiedAndMovesItLater) {
  SetDword(kOlderKey, "UpgradeVer", 195);
  SetDword(Join(kOlderKey, "HotKeys\\Nested"), "Kept", 9);
  SetDword(kCurrentKey, "Other", 1);
  CreateVolatileKey(Join(kCurrentKey, "HotKeys"));
  EXPECT_EQ(MigrateSettings(kFolder), 1);
  EXPECT_EQ(GetDword(Join(kOlderKey, "HotKeys\\Nested"), "Kept"), 9u);
  EXPECT_NE(GetDword(kCurrentKey, "UpgradeVer"), 206u);

  DeleteTestKey(HKEY_CURRENT_USER, Join(kCurrentKey, "HotKeys").c_str());
  EXPECT_EQ(MigrateSettings(kFolder), 1);
  EXPECT_EQ(GetDword(Join(kCurrentKey, "HotKeys\\Nested"), "Kept"), 9u);
  EXPECT_EQ(GetDword(kCurrentKey, "Other"), 1u);
  EXPECT_EQ(GetDword(kCurrentKey, "UpgradeVer"), 206u);
  EXPECT_FALSE(KeyExists(kOlderKey));
}

// A sub-key that cannot be deleted keeps the older key after its tree was
// moved. Step 5 later removes the current key; the next setup must not move
// the remnant over the settings it wrote into the file. (A name outside the
// ANSI code page enumerates as "?": beside a real "?" key it is copied from
// that one, and it can never be deleted through the ANSI calls.)
TEST_F(Migration, WhatSurvivesOfAMovedOlderKeyNamesNoSchema) {
  SetDword(kOlderKey, "UpgradeVer", 195);
  SetDword(Join(kOlderKey, "?"), "Kept", 7);
  HKEY key;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Vorn\\Brastock\\\x4E2D", 0, nullptr, 0,
                            KEY_WRITE, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  RegCloseKey(key);
  EXPECT_EQ(MigrateSettings(kFolder), 1);
  EXPECT_EQ(GetDword(Join(kCurrentKey, "?"), "Kept"), 7u);
  EXPECT_EQ(GetDword(kCurrentKey, "UpgradeVer"), 206u);
  ASSERT_TRUE(KeyExists(kOlderKey));
  EXPECT_FALSE(HasValue(kOlderKey, "UpgradeVer"));

  DeleteTestKey(HKEY_CURRENT_USER, kCurrentKey);
  EXPECT_EQ(MigrateSettings(kFolder), 0) << "nothing left to move";
  RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Vorn");
  RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\Vorn");
}

TEST_F(Migration, CopyRegistryTreeCopiesLongNamesAndLargeDataWhole) {
  const std::string source = Join(kOlderKey, "Source");
  const std::string destination = Join(kCurrentKey, "Copy");
  std::string longName(3000, 'n');
  std::vector<BYTE> large(10000);
  for (size_t i = 0; i < large.size(); ++i) large[i] = static_cast<BYTE>(i * 7);
  SetValue(source, longName.c_str(), REG_BINARY, large.data(), static_cast<DWORD>(large.size()));
  SetText(source, "Text", std::string(5000, 't'));
  SetDword(source + "\\Sub\\Deeper", "Number", 42);
  SetDword(destination, "Existing", 1);

  EXPECT_EQ(CopyRegistryTree(HKEY_CURRENT_USER, destination.c_str(), HKEY_CURRENT_USER,
                             source.c_str()),
            ERROR_SUCCESS);
  DWORD type = 0;
  EXPECT_EQ(GetValue(destination, longName.c_str(), &type), large);
  EXPECT_EQ(type, static_cast<DWORD>(REG_BINARY));
  EXPECT_EQ(GetText(destination, "Text"), Text(std::string(5000, 't').c_str()));
  EXPECT_EQ(GetDword(destination + "\\Sub\\Deeper", "Number"), 42u);
  EXPECT_EQ(GetDword(destination, "Existing"), 1u);

  EXPECT_EQ(CopyRegistryTree(HKEY_CURRENT_USER, destination.c_str(), HKEY_CURRENT_USER,
                             "Software\\Vorn\\Missing"),
            ERROR_FILE_NOT_FOUND);
}

TEST_F(Migration, DeleteRegistryTreeRemovesNestedKeys) {
  SetDword(Join(kOlderKey, "A\\B\\C"), "x", 1);
  SetDword(Join(kOlderKey, "A\\D"), "x", 1);
  SetDword(Join(kOlderKey, "E"), "x", 1);
  DeleteRegistryTree(HKEY_CURRENT_USER, kOlderKey);
  EXPECT_FALSE(KeyExists(kOlderKey));
  EXPECT_TRUE(KeyExists(kOlderCompanyKey));
  DeleteRegistryTree(HKEY_CURRENT_USER, "Software\\Vorn\\Missing");  // nothing to do
}

DWORD WINAPI DeleteOlderKey(void*) {
  DeleteRegistryTree(HKEY_CURRENT_USER, kOlderKey);
  return 0;
}

TEST_F(Migration, DeleteRegistryTreeEndsAtASubKeyItCannotDelete) {
  // A name outside the ANSI code page enumerates as "?", which names no key:
  // that sub-key can never be deleted through the ANSI calls.
  HKEY key;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Vorn\\Brastock\\\x4E2D\\Inner", 0,
                            nullptr, 0, KEY_WRITE, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  RegCloseKey(key);
  SetDword(Join(kOlderKey, "Plain"), "x", 1);

  HANDLE worker = CreateThread(nullptr, 0, DeleteOlderKey, nullptr, 0, nullptr);
  ASSERT_NE(worker, nullptr);
  DWORD waited = WaitForSingleObject(worker, 20000);
  if (waited != WAIT_OBJECT_0) TerminateThread(worker, 1);
  CloseHandle(worker);
  ASSERT_EQ(waited, static_cast<DWORD>(WAIT_OBJECT_0)) << "DeleteRegistryTree did not end";
  EXPECT_TRUE(KeyExists(kOlderKey));  // still holds the sub-key
  RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Vorn");
  RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\Vorn");
}

// Installation step 5: the settings file could not list an unreadable
// "AutoApps" value, so that value stays; everything else goes.
TEST_F(Migration, RemoveProductSettingsKeepsOnlyWhatTheFileCouldNotList) {
  const std::string apps = Join(kCurrentKey, "AutoApps");
  SetDword(kCurrentKey, "UpgradeVer", 206);
  SetDword(Join(kCurrentKey, "HotKeys"), "Whole Area", 1);
  SetValue(apps, "C:\\A.EXE", REG_BINARY, "\x02", 1);
  SetDword(apps, "C:\\B.EXE", LeftSide);
  // The file gives these two only "none": a rectangle, and no area's code.
  SetValue(apps, "C:\\C.EXE", REG_SZ, "10,20,300,400", 14);
  SetDword(apps, "C:\\D.EXE", 11);
  RemoveProductSettings();
  EXPECT_EQ(CountValues(kCurrentKey), 0u);
  EXPECT_EQ(CountSubKeys(kCurrentKey), 1u);
  EXPECT_EQ(CountValues(apps), 3u);
  EXPECT_EQ(GetValue(apps, "C:\\A.EXE"), std::vector<BYTE>({2}));
  EXPECT_EQ(GetValue(apps, "C:\\C.EXE").size(), 14u);
  EXPECT_EQ(GetValue(apps, "C:\\D.EXE"), std::vector<BYTE>({11, 0, 0, 0}));

  DeleteTestKey(HKEY_CURRENT_USER, apps.c_str());
  SetDword(apps, "C:\\B.EXE", LeftSide);
  SetDword(apps + "\\Nested", "Inside", 1);
  RemoveProductSettings();
  EXPECT_FALSE(KeyExists(kCurrentCompanyKey)) << "with nothing odd, all goes";
}

TEST_F(Migration, RemoveProductKeyKeepsACompanyKeyThatHoldsMore) {
  SetDword(Join(kCurrentKey, "HotKeys"), "Whole Area", 1);
  SetDword(Join(kCurrentCompanyKey, "Other"), "x", 1);
  RemoveProductKey();
  EXPECT_FALSE(KeyExists(kCurrentKey));
  EXPECT_TRUE(KeyExists(kCurrentCompanyKey));

  DeleteTestKey(HKEY_CURRENT_USER, Join(kCurrentCompanyKey, "Other").c_str());
  SetDword(kCurrentKey, "UpgradeVer", 206);
  SetDword(kCurrentCompanyKey, "Value", 1);  // values do not keep it
  RemoveProductKey();
  EXPECT_FALSE(KeyExists(kCurrentCompanyKey));
  EXPECT_TRUE(KeyExists("Software"));
}

}  // namespace
