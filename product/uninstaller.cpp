// "/uninstall": removes what the setup created. It asks first, closes a
// running copy, removes the Startup shortcut, the uninstall entry, the
// settings in the registry and in the folder, the installed files, and
// finally (through a helper copy in the temporary folder, which waits for
// this process to end) the program file itself and the folder when empty.
#include <windows.h>
#include <objbase.h>
#include <objidl.h>
#include <shellapi.h>
#include <shlobj.h>
#include <shobjidl.h>

#include "common/memory.h"
#include "common/system_library.h"
#include "product/product_program.h"

const char kUninstallKeyPath[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Morvantile";

namespace {

const char kCaption[] = "Morvantile - Uninstall";
const char kParentKeyPath[] = "Software\\Quillfern";
const char kShortcutName[] = "Morvantile.lnk";
// The switches of the copy started with administrator rights.
const char kElevatedSwitches[] = "/S /uninstall /elevated";
const DWORD kCloseWaitMs = 5000;
const int kReportSize = 2048;

struct UninstallRun {
  char folder[MAX_PATH];
  char programPath[MAX_PATH + 32];
  char report[kReportSize];   // items that could not be removed, one a line
};

UninstallRun Run;

void ReportFailure(const char* item) {
  if (lstrlenA(Run.report) + lstrlenA(item) + 4 >= kReportSize) return;
  lstrcatA(Run.report, "\n");
  lstrcatA(Run.report, item);
}

int PathInFolder(char* path, const char* name) {
  if (lstrlenA(Run.folder) + lstrlenA(name) + 2 > MAX_PATH) return 0;
  wsprintfA(path, "%s\\%s", Run.folder, name);
  return 1;
}

// Deletes a file of the folder; a file that is not there is fine.
void RemoveFile(const char* name) {
  char path[MAX_PATH + 32];
  if (!PathInFolder(path, name)) return;
  if (GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES) return;
  SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL);
  for (int attempt = 0; attempt < 10; attempt++) {
    if (DeleteFileA(path)) return;
    Sleep(100);
  }
  ReportFailure(path);
}

typedef DWORD(WINAPI* VersionSizeFn)(LPCSTR, LPDWORD);
typedef BOOL(WINAPI* VersionInfoFn)(LPCSTR, DWORD, DWORD, LPVOID);
typedef BOOL(WINAPI* VersionValueFn)(LPCVOID, LPCSTR, LPVOID*, PUINT);

// The setup writes psapi.dll only where the system lacks one; ours carries
// our own version strings, so any other psapi.dll stays. version.dll is
// loaded by its full path, not imported: the cleanup helper runs from the
// temporary folder, where other users may leave a version.dll for the loader
// to find first.
int HasOurVersionStrings(const char* path) {
  HMODULE version = LoadLibraryFromSystemFolder("version.dll");
  if (!version) return 0;
  auto versionSize = LibraryEntry<VersionSizeFn>(version, "GetFileVersionInfoSizeA");
  auto versionInfo = LibraryEntry<VersionInfoFn>(version, "GetFileVersionInfoA");
  auto versionValue = LibraryEntry<VersionValueFn>(version, "VerQueryValueA");
  DWORD ignored = 0;
  const DWORD size = versionSize && versionInfo && versionValue ? versionSize(path, &ignored) : 0;
  char* block = size && size <= 65536 ? static_cast<char*>(MemAlloc(size)) : nullptr;
  int ours = 0;
  char* company = nullptr;
  char* product = nullptr;
  UINT length = 0;
  if (block && versionInfo(path, 0, size, block) &&
      versionValue(block, "\\StringFileInfo\\040904E4\\CompanyName", reinterpret_cast<void**>(&company),
                   &length) &&
      versionValue(block, "\\StringFileInfo\\040904E4\\ProductName", reinterpret_cast<void**>(&product),
                   &length))
    ours = lstrcmpA(company, "Quillfern") == 0 && lstrcmpA(product, "Morvantile") == 0;
  MemFree(block);
  FreeLibrary(version);
  return ours;
}

// The access list of the copies made in the temporary folder: full control
// for the system and the administrators, reading and running for the
// owner, nothing for anyone else, nothing inherited. Elevated, the owner is
// the administrators, not the user whose unelevated programs share the
// temporary folder; unelevated, the owner may still read and run the copy.
// (Self-relative: "D:P(A;;FA;;;SY)(A;;FA;;;BA)(A;;FRFX;;;OW)".)
alignas(4) const BYTE kCopyAccess[] = {
    1, 0, 0x04, 0x90, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 20, 0, 0, 0,   // header, list at 20
    2, 0, 72, 0, 3, 0, 0, 0,                                             // 72 bytes, 3 entries
    0, 0, 20, 0, 0xFF, 0x01, 0x1F, 0, 1, 1, 0, 0, 0, 0, 0, 5, 18, 0, 0, 0,   // SYSTEM
    0, 0, 24, 0, 0xFF, 0x01, 0x1F, 0, 1, 2, 0, 0, 0, 0, 0, 5, 32, 0, 0, 0,   // Administrators
    0x20, 2, 0, 0,
    0, 0, 20, 0, 0xA9, 0x00, 0x12, 0, 1, 1, 0, 0, 0, 0, 0, 3, 4, 0, 0, 0,   // owner
};

int CopyBytes(HANDLE from, HANDLE to) {
  char buffer[2048];
  DWORD got, written;
  do {
    if (!ReadFile(from, buffer, sizeof buffer, &got, nullptr) ||
        !WriteFile(to, buffer, got, &written, nullptr) || written != got)
      return 0;
  } while (got);
  return 1;
}

// Copies a file into a new file of the temporary folder that no one but
// this process may change: created under a new name (never an existing
// file), with kCopyAccess (which keeps everyone else from writing it), and
// written here. Returns a handle that reads the copy: while it is open, the
// copy cannot be renamed or deleted, which the user's own programs may do to
// any file in the temporary folder. INVALID_HANDLE_VALUE, with nothing
// left behind, when it cannot be made. tempFolder takes MAX_PATH bytes,
// copy MAX_PATH + 32.
HANDLE CreateTemporaryCopy(const char* source, const char* prefix, char* tempFolder, char* copy) {
  const DWORD length = GetTempPathA(MAX_PATH, tempFolder);
  if (length == 0 || length >= MAX_PATH) return INVALID_HANDLE_VALUE;
  wsprintfA(copy, "%s%s%lx.tmp", tempFolder, prefix, GetTickCount());
  SECURITY_ATTRIBUTES access;
  access.nLength = sizeof access;
  access.lpSecurityDescriptor = const_cast<BYTE*>(kCopyAccess);
  access.bInheritHandle = FALSE;
  HANDLE writer = CreateFileA(copy, GENERIC_WRITE, FILE_SHARE_READ, &access, CREATE_NEW, 0, nullptr);
  if (writer == INVALID_HANDLE_VALUE) return writer;
  HANDLE from = CreateFileA(source, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  HANDLE reader = INVALID_HANDLE_VALUE;
  if (CopyBytes(from, writer))
    reader = CreateFileA(copy, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, 0, nullptr);
  CloseHandle(from);
  CloseHandle(writer);
  if (reader == INVALID_HANDLE_VALUE) DeleteFileA(copy);
  return reader;
}

// The version strings are read from a copy under another name: Wine answers
// for its own psapi.dll when asked about any file of that name.
int IsOurProcessStatusLibrary(const char* path) {
  char tempFolder[MAX_PATH];
  char copy[MAX_PATH + 32];
  HANDLE held = CreateTemporaryCopy(path, "mvp", tempFolder, copy);
  if (held == INVALID_HANDLE_VALUE) return 0;
  const int ours = HasOurVersionStrings(copy);
  CloseHandle(held);
  DeleteFileA(copy);
  return ours;
}

// Nonzero when the process runs a program file named Morvantile.exe.
int RunsTheProduct(DWORD processId) {
  char path[MAX_PATH * 2];
  if (!GetProcessProgramPath(processId, path, sizeof path)) return 0;
  const char* name = path;
  for (const char* p = path; *p; p++)
    if (*p == '\\') name = p + 1;
  return lstrcmpiA(name, "Morvantile.exe") == 0;
}

// Ends a running copy the way the setup does, and waits until it has gone,
// so that its library can be deleted. A window of that title in another
// program (an Explorer window showing the folder) is left alone.
BOOL CALLBACK CloseRunningCopy(HWND window, LPARAM) {
  char title[32];
  GetWindowTextA(window, title, sizeof title);
  if (lstrcmpiA(title, kProductWindowTitle) != 0) return TRUE;
  DWORD processId = 0;
  GetWindowThreadProcessId(window, &processId);
  if (processId == GetCurrentProcessId() || !RunsTheProduct(processId)) return TRUE;
  HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, processId);
  // A copy that has stopped answering must not hold the uninstaller: it is
  // given up on, and its files in use are then reported.
  SendMessageTimeoutA(window, WM_DESTROY, 0, 0, SMTO_ABORTIFHUNG, kCloseWaitMs, nullptr);
  if (process) {
    WaitForSingleObject(process, kCloseWaitMs);
    CloseHandle(process);
  }
  return FALSE;
}

// The target of a shell link, or 0 when it cannot be read.
int ReadShortcutTarget(const char* linkPath, char* target, int size) {
  int ok = 0;
  IShellLinkA* link = nullptr;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                              reinterpret_cast<void**>(&link))))
    return 0;
  IPersistFile* file = nullptr;
  if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
    WCHAR widePath[MAX_PATH];
    if (MultiByteToWideChar(CP_ACP, 0, linkPath, -1, widePath, MAX_PATH) &&
        SUCCEEDED(file->Load(widePath, STGM_READ)) &&
        link->GetPath(target, size, nullptr, 0) == S_OK)
      ok = 1;
    file->Release();
  }
  link->Release();
  return ok;
}

// The shortcut goes when it starts this installation's program, or when
// its target cannot be read at all.
void RemoveStartupShortcut() {
  char path[MAX_PATH + 32];
  if (!SHGetSpecialFolderPathA(nullptr, path, CSIDL_STARTUP, FALSE)) return;
  const int length = lstrlenA(path);
  if (length == 0 || length + 16 > MAX_PATH) return;
  if (path[length - 1] != '\\') lstrcatA(path, "\\");
  lstrcatA(path, kShortcutName);
  if (GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES) return;
  const HRESULT com = CoInitialize(nullptr);
  char target[MAX_PATH];
  const int known = ReadShortcutTarget(path, target, sizeof target);
  if (SUCCEEDED(com)) CoUninitialize();
  if (known && lstrcmpiA(target, Run.programPath) != 0) return;
  if (!DeleteFileA(path)) ReportFailure(path);
}

int KeyExists(HKEY root, const char* path) {
  HKEY key;
  if (RegOpenKeyExA(root, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return 0;
  RegCloseKey(key);
  return 1;
}

// Deletes a key with everything below it; 1 when it is gone.
int DeleteKeyTree(HKEY root, const char* path) {
  RegDeleteTreeA(root, path);
  RegDeleteKeyA(root, path);
  return !KeyExists(root, path);
}

// Nonzero when the command is this installation's own: its program, quoted
// (as the setup writes it) or bare (as older setups did), then "/uninstall".
int IsOwnUninstallCommand(char* command) {
  char* path = command;
  const int quoted = path[0] == '"';
  if (quoted) ++path;
  const int length = lstrlenA(Run.programPath);
  if (lstrlenA(path) < length) return 0;
  const char* rest = path + length;
  if (quoted && *rest++ != '"') return 0;
  if (lstrcmpiA(rest, " /uninstall") != 0) return 0;
  path[length] = 0;
  return lstrcmpiA(path, Run.programPath) == 0;
}

// The uninstall entry goes only when it holds this installation's own
// command. One that cannot be read (another type, too long) or names
// another program belongs to someone else and stays.
void RemoveUninstallEntry() {
  HKEY key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kUninstallKeyPath, 0, KEY_READ, &key) != ERROR_SUCCESS)
    return;
  char command[2048];
  DWORD size = sizeof command - 1;
  DWORD type = 0;
  const LONG read = RegQueryValueExA(key, "UninstallString", nullptr, &type,
                                     reinterpret_cast<BYTE*>(command), &size);
  RegCloseKey(key);
  if (read != ERROR_SUCCESS || type != REG_SZ) return;
  command[size] = 0;
  if (!IsOwnUninstallCommand(command)) return;
  if (!DeleteKeyTree(HKEY_LOCAL_MACHINE, kUninstallKeyPath))
    ReportFailure("the entry in the list of installed programs");
}

int KeyIsEmpty(HKEY root, const char* path) {
  HKEY key;
  if (RegOpenKeyExA(root, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return 0;
  DWORD subKeys = 1, values = 1;
  const LONG info = RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr,
                                     &values, nullptr, nullptr, nullptr, nullptr);
  RegCloseKey(key);
  return info == ERROR_SUCCESS && subKeys == 0 && values == 0;
}

void RemoveRegistrySettings() {
  if (KeyExists(HKEY_CURRENT_USER, kProductKeyPath) &&
      !DeleteKeyTree(HKEY_CURRENT_USER, kProductKeyPath))
    ReportFailure("the settings in the registry");
  if (KeyIsEmpty(HKEY_CURRENT_USER, kParentKeyPath))
    RegDeleteKeyA(HKEY_CURRENT_USER, kParentKeyPath);
}

void RemoveInstalledFiles() {
  RemoveFile(kSettingsFileName);
  RemoveFile("Morvantile.dll");
  char path[MAX_PATH + 32];
  if (PathInFolder(path, "psapi.dll") && IsOurProcessStatusLibrary(path)) RemoveFile("psapi.dll");
}

// A copy of this program in the temporary folder waits for this process to
// end, then deletes the program file and the folder, when empty. The copy
// itself is removed when the system restarts. The program file is first
// moved aside: a setup run right after this one (a script that uninstalls,
// then installs) writes a new Morvantile.exe, which the helper must leave.
// Where it cannot be moved, the helper deletes it under its own name.
int StartCleanupHelper() {
  char tempFolder[MAX_PATH];
  char helper[MAX_PATH + 32];
  HANDLE held = CreateTemporaryCopy(Run.programPath, "mvu", tempFolder, helper);
  if (held == INVALID_HANDLE_VALUE) return 0;
  char leftover[MAX_PATH + 32];
  wsprintfA(leftover, "%s.uninstall", Run.programPath);
  const BOOL movedAside = MoveFileA(Run.programPath, leftover);
  if (!movedAside) lstrcpyA(leftover, Run.programPath);
  HANDLE self = OpenProcess(SYNCHRONIZE, TRUE, GetCurrentProcessId());   // inherited by the helper
  BOOL started = FALSE;
  if (self) {
    char commandLine[3 * MAX_PATH + 96];
    wsprintfA(commandLine, "\"%s\" /uninstall-cleanup %lu \"%s\"", helper,
              static_cast<unsigned long>(reinterpret_cast<ULONG_PTR>(self)), leftover);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    started = CreateProcessA(helper, commandLine, nullptr, nullptr, TRUE, 0, nullptr, tempFolder,
                             &startup, &process);
    CloseHandle(self);
    if (started) {
      CloseHandle(process.hThread);
      CloseHandle(process.hProcess);
    }
  }
  CloseHandle(held);
  if (!started) {
    DeleteFileA(helper);
    if (movedAside) MoveFileA(leftover, Run.programPath);
  }
  return started;
}

// Nonzero unless the uninstall entry is there and this process may not
// delete it (the rights that deleting the key with its values takes): then
// it has no administrator rights, and could remove neither the entry nor
// the files. Started from the list of installed programs the
// uninstaller runs without them, and would otherwise remove the user's
// shortcut and settings and then fail on the rest.
int MayRemoveMachineParts() {
  HKEY key;
  const LONG opened = RegOpenKeyExA(HKEY_LOCAL_MACHINE, kUninstallKeyPath, 0,
                                    DELETE | KEY_QUERY_VALUE | KEY_ENUMERATE_SUB_KEYS, &key);
  if (opened == ERROR_SUCCESS) RegCloseKey(key);
  return opened != ERROR_ACCESS_DENIED;
}

}  // namespace

int RunUninstall(int silent, int elevated) {
  const int kRemoved = 0, kDeclined = 1, kPartlyRemoved = 2, kNotRemoved = 3;
  if (!GetProgramFolder(Run.folder, sizeof Run.folder)) return silent ? kPartlyRemoved : kDeclined;
  wsprintfA(Run.programPath, "%s\\Morvantile.exe", Run.folder);
  Run.report[0] = 0;
  if (!MayRemoveMachineParts()) {
    // Once more with administrator rights, as the system asks the user;
    // that copy asks and reports itself, and never starts another.
    if (!elevated) {
      SHELLEXECUTEINFOA start = {};
      start.cbSize = sizeof start;
      start.fMask = SEE_MASK_NOCLOSEPROCESS;
      start.lpVerb = "runas";
      start.lpFile = Run.programPath;
      start.lpParameters = silent ? kElevatedSwitches : kElevatedSwitches + 3;   // without "/S "
      start.nShow = SW_SHOWNORMAL;
      if (ShellExecuteExA(&start) && start.hProcess) {
        DWORD code = kNotRemoved;
        WaitForSingleObject(start.hProcess, INFINITE);
        GetExitCodeProcess(start.hProcess, &code);
        CloseHandle(start.hProcess);
        return static_cast<int>(code);
      }
      if (GetLastError() == ERROR_CANCELLED) return kDeclined;
    }
    if (!silent)
      MessageBoxA(nullptr, "Removing Morvantile needs administrator rights. Nothing was removed.",
                  kCaption, MB_OK | MB_ICONWARNING);
    return kNotRemoved;
  }
  if (!silent &&
      MessageBoxA(nullptr,
                  "Do you want to remove Morvantile 3.04 Basic and all of its settings from this "
                  "computer?",
                  kCaption, MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) != IDYES)
    return kDeclined;

  EnumWindows(CloseRunningCopy, 0);
  RemoveStartupShortcut();
  RemoveUninstallEntry();
  RemoveRegistrySettings();
  RemoveInstalledFiles();
  const int cleanup = StartCleanupHelper();
  if (!cleanup) ReportFailure(Run.programPath);

  if (Run.report[0] == 0) {
    if (!silent)
      MessageBoxA(nullptr, "Morvantile was removed from this computer.", kCaption,
                  MB_OK | MB_ICONINFORMATION);
    return kRemoved;
  }
  if (!silent) {
    char text[kReportSize + 128];
    wsprintfA(text, "Morvantile was removed, but these items could not be removed:%s",
              Run.report);
    MessageBoxA(nullptr, text, kCaption, MB_OK | MB_ICONWARNING);
  }
  return kPartlyRemoved;
}

int RunUninstallCleanup(const char* arguments) {
  // Arguments: the handle of the uninstalling process, then the quoted path
  // of the program file to delete, in the installation folder.
  while (*arguments == ' ') arguments++;
  ULONG_PTR handleValue = 0;
  while (*arguments >= '0' && *arguments <= '9') handleValue = handleValue * 10 + (*arguments++ - '0');
  while (*arguments == ' ') arguments++;
  if (*arguments++ != '"') return 1;
  char program[MAX_PATH + 32];
  char folder[MAX_PATH + 32];
  int length = 0, folderLength = 0;
  for (; *arguments && *arguments != '"' && length < MAX_PATH + 31; length++) {
    program[length] = folder[length] = *arguments++;
    if (program[length] == '\\') folderLength = length;
  }
  program[length] = 0;
  folder[folderLength] = 0;
  if (*arguments != '"' || folderLength == 0) return 1;

  // The uninstaller ends once its last box is closed, however long that
  // stays open: until then its program file cannot be deleted.
  HANDLE uninstaller = reinterpret_cast<HANDLE>(handleValue);
  if (uninstaller) {
    WaitForSingleObject(uninstaller, INFINITE);
    CloseHandle(uninstaller);
  }
  for (int attempt = 0; attempt < 50; attempt++) {
    if (DeleteFileA(program) || GetFileAttributesA(program) == INVALID_FILE_ATTRIBUTES) break;
    Sleep(100);
  }
  // Only when empty: anything of the user's stays. Never a junction or link,
  // which would go whatever it leads to, nor a drive ("D:" alone names the
  // current folder of that drive).
  const DWORD attributes = GetFileAttributesA(folder);
  if (folderLength > 2 && attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_REPARSE_POINT))
    RemoveDirectoryA(folder);

  char self[MAX_PATH];
  const DWORD selfLength = GetModuleFileNameA(nullptr, self, sizeof self);
  if (selfLength > 0 && selfLength < sizeof self)
    MoveFileExA(self, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
  return 0;
}
