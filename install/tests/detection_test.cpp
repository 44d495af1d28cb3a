#include <gtest/gtest.h>

#include <shlobj.h>

#include <string>

#include "common/tests/test_registry.h"
#include "install/detection.h"
#include "install/registration.h"
#include "common/setup_state.h"
#include "install/tests/engine_test_support.h"

namespace {

const char kCurrentKey[] = "Software\\Quillfern\\Morvantile";
const char kOlderKey[] = "Software\\Vorn\\Brastock";

void SetValue(HKEY root, const char* keyPath, const char* name, DWORD type, const void* data, DWORD size) {
  HKEY key;
  ASSERT_EQ(RegCreateKeyExA(root, keyPath, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr), ERROR_SUCCESS);
  ASSERT_EQ(RegSetValueExA(key, name, 0, type, (const BYTE*)data, size), ERROR_SUCCESS);
  RegCloseKey(key);
}

void SetText(HKEY root, const char* keyPath, const char* name, const std::string& text) {
  SetValue(root, keyPath, name, REG_SZ, text.c_str(), (DWORD)text.size() + 1);
}

void SetNumber(const char* keyPath, const char* name, DWORD number) {
  SetValue(HKEY_CURRENT_USER, keyPath, name, REG_DWORD, &number, sizeof number);
}

std::string ProgramFilesFolder() {
  char path[MAX_PATH];
  EXPECT_TRUE(SHGetSpecialFolderPathA(nullptr, path, CSIDL_PROGRAM_FILES, FALSE));
  return path;
}

std::string FoundFolder() {
  char folder[2048];
  memset(folder, 0x55, sizeof folder);
  FindInstallFolder(folder);
  EXPECT_LT(strnlen(folder, sizeof folder), sizeof folder) << "unterminated result";
  return folder;
}

// Each test starts with neither product key nor uninstall entry.
class InstallFolder : public ::testing::Test {
 protected:
  void SetUp() override { ResetSetupState(); }
  ScopedTestKey current_{HKEY_CURRENT_USER, kCurrentKey};
  ScopedTestKey uninstall_{HKEY_LOCAL_MACHINE, kUninstallKey};
};

}  // namespace

TEST_F(InstallFolder, LastPathComesFirstWithoutItsTrailingBackslash) {
  SetText(HKEY_CURRENT_USER, kCurrentKey, "LastPath", "D:\\Tools\\");
  SetText(HKEY_LOCAL_MACHINE, kUninstallKey, "UninstallString", "\"E:\\Apps\\Morvantile.exe\" /uninstall");
  EXPECT_EQ(FoundFolder(), "D:\\Tools");
}

TEST_F(InstallFolder, SkipsLastPathThatIsNoFolderText) {
  SetNumber(kCurrentKey, "LastPath", 7);
  SetText(HKEY_LOCAL_MACHINE, kUninstallKey, "UninstallString", "\"E:\\Apps\\Morvantile\\Morvantile.exe\" /uninstall");
  EXPECT_EQ(FoundFolder(), "E:\\Apps\\Morvantile") << "REG_DWORD LastPath";

  SetText(HKEY_CURRENT_USER, kCurrentKey, "LastPath", "");
  EXPECT_EQ(FoundFolder(), "E:\\Apps\\Morvantile") << "empty LastPath";
}

TEST_F(InstallFolder, LastPathStoredWithoutTerminatorIsEndedSafely) {
  // Stored without its NUL and filling the whole 2048-byte buffer: refused.
  std::string full(2048, 'p');
  SetValue(HKEY_CURRENT_USER, kCurrentKey, "LastPath", REG_SZ, full.data(), (DWORD)full.size());
  EXPECT_EQ(FoundFolder(), ProgramFilesFolder() + "\\Morvantile");

  // Shorter, still without NUL: taken as it is.
  SetValue(HKEY_CURRENT_USER, kCurrentKey, "LastPath", REG_SZ, "F:\\Short", 8);
  EXPECT_EQ(FoundFolder(), "F:\\Short");

  // The longest text that fits, 2047 characters and its NUL, is accepted.
  std::string longest = "G:\\" + std::string(2044, 'q');
  SetText(HKEY_CURRENT_USER, kCurrentKey, "LastPath", longest);
  EXPECT_EQ(FoundFolder(), longest);
}

TEST_F(InstallFolder, UninstallCommandQuotedOrBare) {
  SetText(HKEY_LOCAL_MACHINE, kUninstallKey, "UninstallString",
          "\"E:\\Apps Folder\\Morvantile\\Morvantile.exe\" /uninstall");
  EXPECT_EQ(FoundFolder(), "E:\\Apps Folder\\Morvantile");

  SetText(HKEY_LOCAL_MACHINE, kUninstallKey, "UninstallString", "E:\\Older\\Morvantile.exe /uninstall");
  EXPECT_EQ(FoundFolder(), "E:\\Older");
}

TEST_F(InstallFolder, UninstallCommandWithoutFolderFallsBackToProgramFiles) {
  std::string fallback = ProgramFilesFolder() + "\\Morvantile";
  EXPECT_EQ(FoundFolder(), fallback) << "no entry at all";

  SetText(HKEY_LOCAL_MACHINE, kUninstallKey, "UninstallString", "Morvantile.exe /uninstall");
  EXPECT_EQ(FoundFolder(), fallback) << "no backslash";

  SetText(HKEY_LOCAL_MACHINE, kUninstallKey, "UninstallString", "\"\\Morvantile.exe\" /uninstall");
  EXPECT_EQ(FoundFolder(), fallback) << "nothing before the backslash";

  std::string unterminated(2048, '\\');
  SetValue(HKEY_LOCAL_MACHINE, kUninstallKey, "UninstallString", REG_SZ, unterminated.data(), 2048);
  EXPECT_EQ(FoundFolder(), fallback) << "too long for the buffer";
}

// A relative folder would make the setup install into its own current
// folder; a wildcard would let a search match some other entry.
TEST_F(InstallFolder, OnlyFullPathsCountAsFound) {
  SetText(HKEY_LOCAL_MACHINE, kUninstallKey, "UninstallString", "\"Morvrel\\Morvantile.exe\" /uninstall");
  std::string fallback = ProgramFilesFolder() + "\\Morvantile";
  EXPECT_EQ(FoundFolder(), fallback) << "relative uninstall command";

  SetText(HKEY_LOCAL_MACHINE, kUninstallKey, "UninstallString", "\"\\\\server\\share\\Morvantile.exe\" /uninstall");
  for (const char* lastPath : {"Morvrel", "Morvrel\\", "C:Morvrel", "\\Morvrel", "D:\\Tools\\*", "D:\\T?ols"}) {
    SetText(HKEY_CURRENT_USER, kCurrentKey, "LastPath", lastPath);
    EXPECT_EQ(FoundFolder(), "\\\\server\\share") << lastPath;
  }

  SetText(HKEY_LOCAL_MACHINE, kUninstallKey, "UninstallString", "C:\\Morvantile.exe /uninstall");
  EXPECT_EQ(FoundFolder(), "C:") << "a drive's root, written without its backslash";
}

TEST_F(InstallFolder, ReadsBackTheEntryThatRegistrationWrites) {
  WriteUninstallEntry("E:\\Apps\\Morvantile");
  EXPECT_EQ(FoundFolder(), "E:\\Apps\\Morvantile");
}

TEST_F(InstallFolder, LooksUnderTheKeyThatSettingsKeyPathNames) {
  SetText(HKEY_CURRENT_USER, kCurrentKey, "LastPath", "D:\\Current");
  ScopedTestKey other(HKEY_CURRENT_USER, "Software\\MorvantileTest\\Other");
  SetText(HKEY_CURRENT_USER, "Software\\MorvantileTest\\Other", "LastPath", "D:\\Other");
  lstrcpyA(SetupState.settingsKeyPath, "Software\\MorvantileTest\\Other");
  EXPECT_EQ(FoundFolder(), "D:\\Other");
  ResetSetupState();
}

namespace {

class InstalledVersion : public ::testing::Test {
 protected:
  void SetUp() override { ResetSetupState(); }
  ScopedTestKey current_{HKEY_CURRENT_USER, kCurrentKey};
  ScopedTestKey older_{HKEY_CURRENT_USER, kOlderKey};
  ScratchFolder folder_{"version"};
};

}  // namespace

TEST_F(InstalledVersion, UpgradeVerUnderTheCurrentThenTheOlderKey) {
  EXPECT_EQ(DetectInstalledVersion(folder_.path().c_str()), 0) << "nothing anywhere";

  SetNumber(kOlderKey, "UpgradeVer", 150);
  EXPECT_EQ(DetectInstalledVersion(folder_.path().c_str()), 0x0132);

  SetNumber(kCurrentKey, "UpgradeVer", 0);
  EXPECT_EQ(DetectInstalledVersion(folder_.path().c_str()), 0x0132) << "0 falls through";

  SetNumber(kCurrentKey, "UpgradeVer", 206);
  EXPECT_EQ(DetectInstalledVersion(folder_.path().c_str()), 0x0206);

  SetNumber(kCurrentKey, "UpgradeVer", 304);
  EXPECT_EQ(DetectInstalledVersion(folder_.path().c_str()), 0x0304);
}

TEST_F(InstalledVersion, ProductVersionOfTheProgramNotItsFileVersion) {
  ASSERT_TRUE(CopyFileA(BesideThisProgram("product_probe.exe").c_str(), (folder_ / "Morvantile.exe").c_str(), FALSE));
  ASSERT_TRUE(WriteBytes(folder_ / "default.MorvantileSettings", std::string("MV\x00\x02", 4)));
  EXPECT_EQ(DetectInstalledVersion(folder_.path().c_str()), 0x0304);

  SetNumber(kCurrentKey, "UpgradeVer", 204);
  EXPECT_EQ(DetectInstalledVersion(folder_.path().c_str()), 0x0204) << "the registry comes first";
}

TEST_F(InstalledVersion, ProgramWithoutVersionResourceFallsThroughToTheSettingsFile) {
  ASSERT_TRUE(WriteBytes(folder_ / "Morvantile.exe", "not a program"));
  ASSERT_TRUE(WriteBytes(folder_ / "default.MorvantileSettings", std::string("MV\x00\x03rest", 8)));
  EXPECT_EQ(DetectInstalledVersion(folder_.path().c_str()), 0x0300);
}

TEST_F(InstalledVersion, SettingsFileHeaderMustBeCompleteAndCarryTheMagic) {
  std::string settings = folder_ / "default.MorvantileSettings";
  ASSERT_TRUE(WriteBytes(settings, std::string("MV\x00", 3)));
  EXPECT_EQ(DetectInstalledVersion(folder_.path().c_str()), 0) << "3 bytes";
  ASSERT_TRUE(WriteBytes(settings, std::string("VM\x00\x03", 4)));
  EXPECT_EQ(DetectInstalledVersion(folder_.path().c_str()), 0) << "other magic";
  ASSERT_TRUE(WriteBytes(settings, std::string("MV\x04\x03", 4)));
  EXPECT_EQ(DetectInstalledVersion(folder_.path().c_str()), 0x0304);
}

TEST_F(InstalledVersion, OverlongFolderYieldsNothingAndOverrunsNothing) {
  std::string folder(2047, 'f');
  EXPECT_EQ(DetectInstalledVersion(folder.c_str()), 0);
}

// Statically imported DLLs are resolved before any code runs, from the
// program's folder first: only DLLs that Windows always takes from the
// system folder may be imported.
TEST(EngineImports, OnlyDllsThatAlwaysComeFromTheSystemFolder) {
  const char* allowed[] = {"kernel32.dll", "user32.dll", "gdi32.dll", "advapi32.dll", "shell32.dll",
                           "ole32.dll",    "msvcrt.dll", "comctl32.dll"};
  BYTE* image = (BYTE*)GetModuleHandleA(nullptr);
  IMAGE_NT_HEADERS* headers = (IMAGE_NT_HEADERS*)(image + ((IMAGE_DOS_HEADER*)image)->e_lfanew);
  IMAGE_DATA_DIRECTORY imports = headers->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  ASSERT_NE(imports.VirtualAddress, 0u);
  int count = 0;
  for (IMAGE_IMPORT_DESCRIPTOR* entry = (IMAGE_IMPORT_DESCRIPTOR*)(image + imports.VirtualAddress); entry->Name;
       entry++, count++) {
    const char* name = (const char*)(image + entry->Name);
    bool known = false;
    for (const char* system : allowed) known = known || lstrcmpiA(name, system) == 0;
    EXPECT_TRUE(known) << name;
  }
  EXPECT_GT(count, 0);
}
