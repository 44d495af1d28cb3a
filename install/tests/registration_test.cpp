#include <gtest/gtest.h>

#include <objbase.h>
#include <shlobj.h>

#include <string>

#include "common/tests/test_registry.h"
#include "install/registration.h"
#include "common/setup_state.h"
#include "install/tests/engine_test_support.h"

namespace {

std::string ReadText(HKEY root, const char* keyPath, const char* name, DWORD* storedSize = nullptr) {
  HKEY key;
  if (RegOpenKeyExA(root, keyPath, 0, KEY_READ, &key) != ERROR_SUCCESS) return "<no key>";
  char text[4096];
  DWORD type = 0;
  DWORD size = sizeof text - 1;
  LONG status = RegQueryValueExA(key, name, nullptr, &type, (BYTE*)text, &size);
  RegCloseKey(key);
  if (status != ERROR_SUCCESS || type != REG_SZ) return "<no text>";
  if (storedSize) *storedSize = size;
  text[size] = '\0';
  return text;
}

}  // namespace

TEST(UninstallEntry, QuotedCommandAndDisplayName) {
  ScopedTestKey entry(HKEY_LOCAL_MACHINE, kUninstallKey);
  EXPECT_EQ(WriteUninstallEntry("E:\\Apps Folder\\Morvantile"), 1);

  DWORD commandSize = 0;
  DWORD nameSize = 0;
  std::string command = ReadText(HKEY_LOCAL_MACHINE, kUninstallKey, "UninstallString", &commandSize);
  EXPECT_EQ(command, "\"E:\\Apps Folder\\Morvantile\\Morvantile.exe\" /uninstall");
  EXPECT_EQ(commandSize, command.size() + 1) << "stored with its terminator";
  EXPECT_EQ(ReadText(HKEY_LOCAL_MACHINE, kUninstallKey, "DisplayName", &nameSize), "Morvantile");
  EXPECT_EQ(nameSize, 11u);
}

TEST(UninstallEntry, OverlongFolderWritesNoTruncatedCommand) {
  ScopedTestKey entry(HKEY_LOCAL_MACHINE, kUninstallKey);
  std::string folder(2047, 'f');
  EXPECT_EQ(WriteUninstallEntry(folder.c_str()), 0);
  EXPECT_EQ(ReadText(HKEY_LOCAL_MACHINE, kUninstallKey, "UninstallString"), "<no key>");
}

// HKEY_LOCAL_MACHINE redirected to a key that has been deleted: nothing can
// be created under it (Wine lets a read-only handle create sub-keys, so a
// read-only key would not do).
TEST(UninstallEntry, UnwritableMachineKeyLeavesNoEntryQuietly) {
  ScopedTestKey entry(HKEY_LOCAL_MACHINE, kUninstallKey);
  const char* sandbox = "Software\\MorvantileTest\\DeletedMachine";
  ScopedTestKey sandboxKey(HKEY_CURRENT_USER, sandbox);
  HKEY deleted;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, sandbox, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &deleted, nullptr),
            ERROR_SUCCESS);
  ASSERT_EQ(RegDeleteKeyA(HKEY_CURRENT_USER, sandbox), ERROR_SUCCESS);

  ASSERT_EQ(RegOverridePredefKey(HKEY_LOCAL_MACHINE, deleted), ERROR_SUCCESS);
  EXPECT_EQ(WriteUninstallEntry("E:\\Apps\\Morvantile"), 0);
  RegOverridePredefKey(HKEY_LOCAL_MACHINE, nullptr);
  RegCloseKey(deleted);

  EXPECT_FALSE(TestKeyExists(HKEY_CURRENT_USER, sandbox));
  EXPECT_FALSE(TestKeyExists(HKEY_LOCAL_MACHINE, kUninstallKey));
}

namespace {

std::string StartupLinkPath() {
  char folder[MAX_PATH];
  EXPECT_TRUE(SHGetSpecialFolderPathA(nullptr, folder, CSIDL_STARTUP, TRUE));
  return std::string(folder) + "\\Morvantile.lnk";
}

struct LinkContents {
  bool loaded = false;
  std::string target;
  std::string description;
};

LinkContents ReadLink(const std::string& path) {
  LinkContents contents;
  CoInitialize(nullptr);
  IShellLinkA* link = nullptr;
  if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA, (void**)&link))) {
    IPersistFile* file = nullptr;
    if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, (void**)&file))) {
      WCHAR widePath[MAX_PATH];
      MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, widePath, MAX_PATH);
      if (SUCCEEDED(file->Load(widePath, STGM_READ))) {
        char text[MAX_PATH] = "";
        contents.loaded = true;
        if (SUCCEEDED(link->GetPath(text, MAX_PATH, nullptr, SLGP_RAWPATH))) contents.target = text;
        text[0] = '\0';
        if (SUCCEEDED(link->GetDescription(text, MAX_PATH))) contents.description = text;
      }
      file->Release();
    }
    link->Release();
  }
  CoUninitialize();
  return contents;
}

class StartupShortcut : public ::testing::Test {
 protected:
  void SetUp() override { DeleteFileA(link_.c_str()); }
  void TearDown() override { DeleteFileA(link_.c_str()); }
  std::string link_ = StartupLinkPath();
  ScratchFolder first_{"link-first"};
  ScratchFolder second_{"link-second"};
};

}  // namespace

TEST_F(StartupShortcut, PointsAtTheProductProgram) {
  ASSERT_TRUE(WriteBytes(first_ / "Morvantile.exe", "program"));
  EXPECT_EQ(CreateStartupShortcut(first_.path().c_str()), 1);
  LinkContents contents = ReadLink(link_);
  ASSERT_TRUE(contents.loaded);
  EXPECT_EQ(contents.target, first_ / "Morvantile.exe");
  EXPECT_EQ(contents.description, "Morvantile");
}

TEST_F(StartupShortcut, ReplacesAnExistingShortcut) {
  ASSERT_TRUE(WriteBytes(first_ / "Morvantile.exe", "program"));
  ASSERT_TRUE(WriteBytes(second_ / "Morvantile.exe", "program"));
  CreateStartupShortcut(first_.path().c_str());
  CreateStartupShortcut(second_.path().c_str());
  EXPECT_EQ(ReadLink(link_).target, second_ / "Morvantile.exe");

  ASSERT_TRUE(WriteBytes(link_, "not a shell link"));
  CreateStartupShortcut(first_.path().c_str());
  EXPECT_EQ(ReadLink(link_).target, first_ / "Morvantile.exe");
}

TEST_F(StartupShortcut, SkipsAFolderTooLongForALink) {
  std::string folder(MAX_PATH, 'f');
  EXPECT_EQ(CreateStartupShortcut(folder.c_str()), 0);
  EXPECT_EQ(GetFileAttributesA(link_.c_str()), INVALID_FILE_ATTRIBUTES);
}

namespace {

// Waits for the probe's note of its current directory.
std::string WaitForNote(const std::string& note) {
  for (int i = 0; i < 200; i++) {
    std::string text = ReadBytes(note);
    if (!text.empty()) return text;
    Sleep(50);
  }
  return "<no note>";
}

}  // namespace

TEST(LaunchProduct, StartsTheProgramInTheInstallationFolder) {
  ScratchFolder folder("launch with blanks");
  ASSERT_TRUE(CopyFileA(BesideThisProgram("product_probe.exe").c_str(), (folder / "Morvantile.exe").c_str(), FALSE));
  char own[MAX_PATH];
  GetCurrentDirectoryA(MAX_PATH, own);
  char windows[MAX_PATH];
  GetWindowsDirectoryA(windows, MAX_PATH);
  SetCurrentDirectoryA(windows);

  EXPECT_EQ(LaunchProduct(folder.path().c_str()), 1);
  std::string note = WaitForNote(folder / "probe-cwd.txt");
  SetCurrentDirectoryA(own);
  EXPECT_EQ(lstrcmpiA(note.c_str(), folder.path().c_str()), 0) << note;

  // The probe may still be ending: wait until its program can be removed.
  for (int i = 0; i < 40 && !DeleteFileA((folder / "Morvantile.exe").c_str()); i++) Sleep(50);
  EXPECT_EQ(LaunchProduct((folder / "nothing here").c_str()), 0) << "no program to start";
}
