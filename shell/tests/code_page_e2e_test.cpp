// The real setup and product in the Japanese code page (932), as on a
// Japanese Windows: its two-byte characters may end in the byte of a
// backslash ("ソ" is 0x83 0x5C, "表" 0x95 0x5C) or of a bar ("ポ" is
// 0x83 0x7C). Run with LC_ALL=ja_JP.UTF-8 and a locale made in the build
// tree (see CMakeLists.txt): this program and the ones it starts then get
// that code page from Wine.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "common/tests/test_registry.h"
#include "shell/tests/setup_driver.h"

namespace {

const char kUninstallKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Morvantile";
const char kSoftware[] = "\x83\x5C\x83\x74\x83\x67";             // ソフト
const char kPortable[] = "\x83\x7C\x81\x5B\x83\x5E\x83\x75\x83\x8B";   // ポータブル
const char kTable[] = "\x95\x5C";                                // 表

std::string UninstallValue(const char* name) {
  char value[2048] = "";
  DWORD size = sizeof value;
  if (RegGetValueA(HKEY_LOCAL_MACHINE, kUninstallKey, name, RRF_RT_REG_SZ, nullptr, value, &size) != ERROR_SUCCESS)
    return "<none>";
  return value;
}

// The one entry of a folder, by its UTF-16 name: what the file system holds.
std::wstring OnlyEntry(const std::string& folder) {
  WIN32_FIND_DATAW found;
  wchar_t pattern[MAX_PATH];
  if (!MultiByteToWideChar(CP_ACP, 0, (folder + "\\*").c_str(), -1, pattern, MAX_PATH)) return L"<none>";
  HANDLE search = FindFirstFileW(pattern, &found);
  std::wstring name;
  int entries = 0;
  if (search == INVALID_HANDLE_VALUE) return L"<none>";
  do {
    if (wcscmp(found.cFileName, L".") && wcscmp(found.cFileName, L"..")) {
      name = found.cFileName;
      ++entries;
    }
  } while (FindNextFileW(search, &found));
  FindClose(search);
  return entries == 1 ? name : L"<" + std::to_wstring(entries) + L" entries>";
}

void Clean() {
  DeleteTestKey(HKEY_CURRENT_USER, "Software\\Quillfern");
  DeleteTestKey(HKEY_LOCAL_MACHINE, kUninstallKey);
  DeleteFileA(StartupShortcut().c_str());
}

}  // namespace

TEST(JapaneseCodePage, InstallIntoNewFoldersWhoseNamesEndInBackslashAndBarBytesThenUninstall) {
  ASSERT_EQ(GetACP(), 932u) << "run with LC_ALL=ja_JP.UTF-8 and LOCPATH naming the build tree's locales";
  Clean();
  char temp[MAX_PATH];
  GetTempPathA(MAX_PATH, temp);
  const std::string base = std::string(temp) + "mv-code-page";
  RemoveTree(base);
  ASSERT_TRUE(CreateDirectoryA(base.c_str(), nullptr));
  const std::string folder = base + "\\" + kSoftware + "\\" + kPortable + "\\" + kTable;

  ASSERT_EQ(RunToEnd("\"" + WindowsPath(MV_SETUP_EXE) + "\" /S /NOLAUNCH /D=" + folder), 0u);
  EXPECT_TRUE(FileThere(folder + "\\Morvantile.exe"));
  EXPECT_TRUE(FileThere(folder + "\\Morvantile.dll"));
  EXPECT_EQ(OnlyEntry(base), L"\u30BD\u30D5\u30C8");
  EXPECT_EQ(OnlyEntry(base + "\\" + kSoftware), L"\u30DD\u30FC\u30BF\u30D6\u30EB");
  EXPECT_EQ(OnlyEntry(base + "\\" + kSoftware + "\\" + kPortable), L"\u8868");
  const std::string program = folder + "\\Morvantile.exe";
  EXPECT_EQ(UninstallValue("InstallLocation"), folder);
  const std::string quiet = UninstallValue("QuietUninstallString");
  EXPECT_EQ(quiet, "\"" + program + "\" /uninstall /S");

  ASSERT_EQ(RunToEnd(quiet), 0u);
  EXPECT_TRUE(WaitUntil([&] { return GetFileAttributesA(folder.c_str()) == INVALID_FILE_ATTRIBUTES; }, 60000))
      << "the helper copy removes the folder once the uninstaller has ended";
  EXPECT_EQ(OnlyEntry(base + "\\" + kSoftware), L"\u30DD\u30FC\u30BF\u30D6\u30EB") << "its parents stay";
  Clean();
  RemoveTree(base);
}
