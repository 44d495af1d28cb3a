#include "install/detection.h"

#include <shlobj.h>

#include "common/folder_path.h"
#include "common/memory.h"
#include "common/setup_state.h"
#include "common/system_library.h"
#include "common/types.h"
#include "install/file_helpers.h"
#include "settings/settings_migration.h"
#include "settings/settings_store.h"

namespace {

const int kPathSize = 2048;

// Reads a REG_SZ value of at most kPathSize - 1 characters into `text`
// (kPathSize + 1 bytes). A stored value need not carry its terminator, so
// the text is ended here, and one that would not fit a path buffer is refused.
int ReadRegistryText(HKEY root, const char* keyPath, const char* name, char* text) {
  HKEY key;
  if (RegOpenKeyExA(root, keyPath, 0, KEY_READ, &key) != ERROR_SUCCESS) return 0;
  DWORD type = 0;
  DWORD size = kPathSize;
  LONG status = RegQueryValueExA(key, name, nullptr, &type, (BYTE*)text, &size);
  RegCloseKey(key);
  if (status != ERROR_SUCCESS || type != REG_SZ) return 0;
  text[size] = '\0';
  return lstrlenA(text) < kPathSize;
}

int FolderFromLastPath(char* folder) {
  char text[kPathSize + 1];
  if (!ReadRegistryText(HKEY_CURRENT_USER, SetupState.settingsKeyPath, kLastPathValue, text)) return 0;
  // A relative folder would be taken from the setup's own current folder.
  if (!IsFullFolderPath(text)) return 0;
  RemoveTrailingBackslash(text);
  if (text[0] == '\0') return 0;
  lstrcpynA(folder, text, kPathSize);
  return 1;
}

// The uninstall command names folder\Morvantile.exe: cut it at the last
// backslash. Entries are written quoted now and were written bare before.
int FolderFromUninstallEntry(char* folder) {
  char command[kPathSize + 1];
  if (!ReadRegistryText(HKEY_LOCAL_MACHINE, kUninstallKeyPath, kUninstallStringValue, command))
    return 0;

  char* lastBackslash = LastBackslash(command);
  if (!lastBackslash) return 0;
  // Judged with its backslash, so that "C:\Morvantile.exe" gives C:.
  lastBackslash[1] = '\0';
  const char* start = command[0] == '"' ? command + 1 : command;
  if (!IsFullFolderPath(start)) return 0;
  *lastBackslash = '\0';
  lstrcpynA(folder, start, kPathSize);
  return 1;
}

int FolderUnderProgramFiles(char* folder) {
  char programFiles[MAX_PATH];
  return ShellFolderPath(CSIDL_PROGRAM_FILES, programFiles) &&
         PathInFolder(folder, kPathSize, programFiles, kProductName);
}

// "UpgradeVer" holds major * 100 + minor.
ProductVersion UpgradeVersionUnder(const char* keyPath) {
  HKEY key;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, keyPath, 0, KEY_READ, &key) != ERROR_SUCCESS) return 0;
  uint32_t number = 0;   // stays 0 when missing
  QueryNumber(key, kUpgradeVerValue, &number);
  RegCloseKey(key);
  return (ProductVersion)((((number / 100) % 256) << 8) | (number % 100));
}

// The version functions live in version.dll, which is not one of the DLLs
// Windows always takes from the system folder: a static import would load
// a planted copy from the setup's own folder.
typedef DWORD(WINAPI* VersionInfoSizeFunction)(LPCSTR, LPDWORD);
typedef BOOL(WINAPI* VersionInfoFunction)(LPCSTR, DWORD, DWORD, LPVOID);
typedef BOOL(WINAPI* QueryValueFunction)(LPCVOID, LPCSTR, LPVOID*, PUINT);

ProductVersion ProductVersionOf(const char* program, HMODULE library) {
  auto infoSize = LibraryEntry<VersionInfoSizeFunction>(library, "GetFileVersionInfoSizeA");
  auto info = LibraryEntry<VersionInfoFunction>(library, "GetFileVersionInfoA");
  auto queryValue = LibraryEntry<QueryValueFunction>(library, "VerQueryValueA");
  if (!infoSize || !info || !queryValue) return 0;

  DWORD handle = 0;
  DWORD size = infoSize(program, &handle);
  if (size == 0) return 0;
  void* block = MemAlloc(size);
  if (!block) return 0;
  MemFill(block, 0, size);

  ProductVersion version = 0;
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT fixedSize = 0;
  if (info(program, 0, size, block) && queryValue(block, "\\", (void**)&fixed, &fixedSize) &&
      fixed && fixedSize >= sizeof *fixed) {
    DWORD major = HIWORD(fixed->dwProductVersionMS) % 256;
    DWORD minor = LOWORD(fixed->dwProductVersionMS) % 256;
    version = (ProductVersion)((major << 8) | minor);
  }
  MemFree(block);
  return version;
}

ProductVersion ProgramVersionIn(const char* folder) {
  char program[kPathSize];
  if (!PathInFolder(program, sizeof program, folder, kProgramFileName)) return 0;
  if (!FileExists(program)) return 0;
  HMODULE library = LoadLibraryFromSystemFolder("version.dll");
  if (!library) return 0;
  ProductVersion version = ProductVersionOf(program, library);
  FreeLibrary(library);
  return version;
}

// The settings file starts with "MV" and its 16-bit little-endian version.
ProductVersion SettingsFileVersionIn(const char* folder) {
  char path[kPathSize];
  if (!PathInFolder(path, sizeof path, folder, kSettingsFileName)) return 0;
  // Only an existing file opens, never a folder of that name.
  HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 0;
  ProductVersion version = 0;
  unsigned char header[4];
  DWORD read = 0;   // fewer than 4 when the file is shorter
  if (ReadFile(file, header, sizeof header, &read, nullptr) && read == sizeof header &&
      header[0] == 'M' && header[1] == 'V') {
    version = (ProductVersion)(header[2] | (header[3] << 8));
  }
  CloseHandle(file);
  return version;
}

}  // namespace

void FindInstallFolder(char* folder) {
  if (FolderFromLastPath(folder)) return;
  if (FolderFromUninstallEntry(folder)) return;
  if (FolderUnderProgramFiles(folder)) return;
  lstrcpynA(folder, "C:\\Program Files\\Morvantile", kPathSize);
}

ProductVersion DetectInstalledVersion(const char* folder) {
  ProductVersion version = UpgradeVersionUnder(SetupState.settingsKeyPath);
  if (version == 0) version = UpgradeVersionUnder(kOlderProductKeyPath);
  if (version == 0) version = ProgramVersionIn(folder);
  if (version == 0) version = SettingsFileVersionIn(folder);
  return version;
}
