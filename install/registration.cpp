#include "install/registration.h"

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include "common/setup_state.h"
#include "common/types.h"
#include "install/file_helpers.h"
#include "settings/settings_migration.h"
#include "settings/settings_store.h"

namespace {


// The shell link and the process start take paths of less than MAX_PATH
// characters; a longer product path is skipped rather than cut.
int BuildProductProgramPath(const char* targetFolder) {
  return PathInFolder(SetupState.scratchPath, sizeof SetupState.scratchPath, targetFolder, kProgramFileName) &&
         lstrlenA(SetupState.scratchPath) < MAX_PATH;
}

int StartupShortcutPath(WCHAR* linkPath /* MAX_PATH */) {
  char folder[MAX_PATH];
  char path[MAX_PATH];
  if (!ShellFolderPath(CSIDL_STARTUP, folder) || !PathInFolder(path, MAX_PATH, folder, "Morvantile.lnk"))
    return 0;
  return MultiByteToWideChar(CP_ACP, 0, path, -1, linkPath, MAX_PATH) != 0;
}

int SaveStartupLink(IShellLinkA* link) {
  IPersistFile* file = nullptr;
  if (FAILED(link->QueryInterface(IID_IPersistFile, (void**)&file))) return 0;
  WCHAR linkPath[MAX_PATH];
  int saved = StartupShortcutPath(linkPath) && SUCCEEDED(file->Save(linkPath, TRUE));
  file->Release();
  return saved;
}

}  // namespace

int CreateStartupShortcut(const char* targetFolder) {
  if (!BuildProductProgramPath(targetFolder)) return 0;
  HRESULT com = CoInitialize(nullptr);
  IShellLinkA* link = nullptr;
  int saved = 0;
  if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                 (void**)&link))) {
    link->SetPath(SetupState.scratchPath);
    link->SetDescription(kProductName);
    saved = SaveStartupLink(link);
    link->Release();
  }
  // Balance only an initialisation of our own; a failed one owes nothing.
  if (SUCCEEDED(com)) CoUninitialize();
  return saved;
}

int LaunchProduct(const char* targetFolder) {
  if (!BuildProductProgramPath(targetFolder) || lstrlenA(targetFolder) >= MAX_PATH) return 0;
  STARTUPINFOA startup;
  PROCESS_INFORMATION process;
  ZeroMemory(&startup, sizeof startup);
  startup.cb = sizeof startup;
  ZeroMemory(&process, sizeof process);
  if (!CreateProcessA(SetupState.scratchPath, nullptr, nullptr, nullptr, FALSE,
                      CREATE_DEFAULT_ERROR_MODE | NORMAL_PRIORITY_CLASS, nullptr, targetFolder,
                      &startup, &process))
    return 0;
  // Nothing of the new process is used: do not keep its handles open.
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return 1;
}

namespace {

// KB (rounded up) of what the installation placed in the folder.
DWORD InstalledSizeKb(const char* targetFolder) {
  static const char* const kInstalledFiles[] = {kProgramFileName, kLibraryFileName, kProcessStatusFileName,
                                                kSettingsFileName};
  unsigned long long bytes = 0;
  static char path[2048];   // static: see WriteUninstallEntry
  for (const char* name : kInstalledFiles) {
    WIN32_FILE_ATTRIBUTE_DATA found;
    if (PathInFolder(path, sizeof path, targetFolder, name) &&
        GetFileAttributesExA(path, GetFileExInfoStandard, &found) &&
        !(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
      bytes += ((unsigned long long)found.nFileSizeHigh << 32) | found.nFileSizeLow;
    }
  }
  return (DWORD)((bytes + 1023) / 1024);
}

}  // namespace

int WriteUninstallEntry(const char* targetFolder) {
  // Static, not on the stack: one thread installs, and every frame stays
  // within the stack's guard page (the build does not probe the stack).
  static char command[2048];
  static char quietCommand[2048];
  static char program[2048];
  if (!FormatText(command, sizeof command, kUninstallCommandFormat, targetFolder) ||
      !FormatText(quietCommand, sizeof quietCommand, "%s /S", command) ||
      !PathInFolder(program, sizeof program, targetFolder, kProgramFileName)) {
    return 0;
  }

  HKEY key;
  if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, kUninstallKeyPath, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE,
                      nullptr, &key, nullptr) != ERROR_SUCCESS) {
    return 0;
  }
  SetTextValue(key, kUninstallStringValue, command);
  SetTextValue(key, kDisplayNameValue, kProductName);
  // What Apps & Features and deployment tools read besides.
  SetTextValue(key, kQuietUninstallStringValue, quietCommand);
  SetTextValue(key, "DisplayVersion", "3.04");
  SetTextValue(key, "Publisher", "Quillfern");
  SetTextValue(key, "DisplayIcon", program);
  SetTextValue(key, "InstallLocation", targetFolder);
  SetNumberValue(key, "EstimatedSize", InstalledSizeKb(targetFolder));
  SetTextValue(key, "URLInfoAbout", kProductWebPage);
  SetNumberValue(key, "NoModify", 1);
  SetNumberValue(key, "NoRepair", 1);
  RegCloseKey(key);
  return 1;
}
