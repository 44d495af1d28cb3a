#include "install/file_helpers.h"

#include <stdarg.h>
#include <shlobj.h>

#include "common/folder_path.h"
#include "common/text_format.h"

#include "common/setup_state.h"
#include "common/system_library.h"
#include "common/types.h"

int FileExists(const char* path) {
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA(path, &found);
  if (search == INVALID_HANDLE_VALUE) return 0;
  FindClose(search);
  return (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? 0 : 1;
}

// The access list of the folders made for the installation, the one Program
// Files hands down: full control for the system, the administrators and the
// folder's owner (the administrators, when elevated), reading and running
// for users and for sandboxed programs, passed on to everything inside, and
// nothing taken from the parent. A folder made under a drive's root would
// otherwise let every user change the files that an elevated setup starts
// and an administrator's uninstall runs. (Self-relative:
// "D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;FA;;;OW)
//  (A;OICI;0x1200a9;;;BU)(A;OICI;0x1200a9;;;S-1-15-2-1)".)
alignas(4) const BYTE kInstallFolderAccess[140] = {
    1, 0, 0x04, 0x90, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 20, 0, 0, 0,   // header, list at 20
    2, 0, 120, 0, 5, 0, 0, 0,                                            // 120 bytes, 5 entries
    0, 3, 20, 0, 0xFF, 0x01, 0x1F, 0, 1, 1, 0, 0, 0, 0, 0, 5, 18, 0, 0, 0,   // SYSTEM
    0, 3, 24, 0, 0xFF, 0x01, 0x1F, 0, 1, 2, 0, 0, 0, 0, 0, 5, 32, 0, 0, 0,   // Administrators
    0x20, 2, 0, 0,
    0, 3, 20, 0, 0xFF, 0x01, 0x1F, 0, 1, 1, 0, 0, 0, 0, 0, 3, 4, 0, 0, 0,    // owner
    0, 3, 24, 0, 0xA9, 0x00, 0x12, 0, 1, 2, 0, 0, 0, 0, 0, 5, 32, 0, 0, 0,   // Users
    0x21, 2, 0, 0,
    0, 3, 24, 0, 0xA9, 0x00, 0x12, 0, 1, 2, 0, 0, 0, 0, 0, 15, 2, 0, 0, 0,   // sandboxed programs
    1, 0, 0, 0,
};

int CreateFolderTree(const char* folder) {
  // The climb works on a MAX_PATH copy; a longer path cannot be created by
  // the ANSI calls anyway, so it is refused before anything is touched.
  char parent[MAX_PATH];
  SECURITY_ATTRIBUTES access;
  access.nLength = sizeof access;
  access.lpSecurityDescriptor = const_cast<BYTE*>(kInstallFolderAccess);
  access.bInheritHandle = FALSE;
  if (lstrlenA(folder) >= MAX_PATH) return 0;
  if (CreateDirectoryA(folder, &access)) return 1;

  lstrcpynA(parent, folder, MAX_PATH);
  char* lastBackslash = LastBackslash(parent);
  if (!lastBackslash) return 0;
  *lastBackslash = '\0';

  if (!CreateFolderTree(parent)) return 0;
  return CreateDirectoryA(folder, &access) ? 1 : 0;
}

int PathInFolder(char* out, int size, const char* folder, const char* name) {
  return FormatText(out, size, "%s\\%s", folder, name);
}

void RemoveTrailingBackslash(char* path) {
  char* last = LastBackslash(path);
  if (last && !last[1]) *last = '\0';
}

int ShellFolderPath(int csidl, char* folder) {
  LPITEMIDLIST location = nullptr;
  if (FAILED(SHGetSpecialFolderLocation(nullptr, csidl, &location))) return 0;
  BOOL found = SHGetPathFromIDListA(location, folder);
  CoTaskMemFree(location);
  if (!found) return 0;
  RemoveTrailingBackslash(folder);
  return 1;
}

namespace {

const UINT kCloseWaitMs = 5000;   // for a running product to take the close request

typedef BOOL(WINAPI* FullImageNameFunction)(HANDLE, DWORD, LPSTR, PDWORD);
typedef DWORD(WINAPI* ImageFileNameFunction)(HANDLE, LPSTR, DWORD);
typedef DWORD(WINAPI* ModuleFileNameFunction)(HANDLE, HMODULE, LPSTR, DWORD);

// 1 when `length`, what a call gave for a buffer of `size`, names a path.
int NameFits(DWORD length, DWORD size) { return length > 0 && length < size; }

// The program file of a process, by whichever call this system has:
// QueryFullProcessImageNameA (Vista on), the process-status functions in
// kernel32 (7 on) or in the system's psapi.dll (earlier NT). All are looked
// up at run time, so that the setup still starts where one is missing.
int ProcessImagePath(HANDLE process, char* path, DWORD size) {
  HMODULE kernel = GetModuleHandleA(kKernelLibraryName);
  auto fullImageName = LibraryEntry<FullImageNameFunction>(kernel, "QueryFullProcessImageNameA");
  DWORD length = size;
  if (fullImageName && fullImageName(process, 0, path, &length) && NameFits(length, size)) return 1;

  // psapi.dll names the kernel32 function without its "K32".
  static const char kImageFileNameInKernel[] = "K32GetProcessImageFileNameA";
  auto imageFileName = LibraryEntry<ImageFileNameFunction>(kernel, kImageFileNameInKernel);
  if (imageFileName && NameFits(imageFileName(process, path, size), size)) return 1;

  HMODULE processStatus = LoadLibraryFromSystemFolder(kProcessStatusFileName);
  if (!processStatus) return 0;
  imageFileName = LibraryEntry<ImageFileNameFunction>(processStatus, kImageFileNameInKernel + 3);
  auto moduleFileName = LibraryEntry<ModuleFileNameFunction>(processStatus, "GetModuleFileNameExA");
  int found = (imageFileName && NameFits(imageFileName(process, path, size), size)) ||
              (moduleFileName && NameFits(moduleFileName(process, nullptr, path, size), size));
  FreeLibrary(processStatus);
  return found;
}

// Nonzero when the window belongs to a process whose program file is named
// Morvantile.exe, as every version of the product is. A window of that
// title in any other program (an Explorer window showing the installation
// folder is one) is not the product's.
int IsProductWindow(HWND window) {
  DWORD processId = 0;
  GetWindowThreadProcessId(window, &processId);
  if (processId == 0) return 0;
  HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId);
  if (!process) process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, processId);
  if (!process) return 0;
  char path[MAX_PATH * 2];
  int found = ProcessImagePath(process, path, sizeof path);
  CloseHandle(process);
  if (!found) return 0;
  const char* name = path;
  for (const char* p = path; *p; p++) {
    if (*p == '\\' || *p == '/') name = p + 1;
  }
  return lstrcmpiA(name, kProgramFileName) == 0;
}

}  // namespace

BOOL CALLBACK CloseRunningProduct(HWND window, LPARAM) {
  char title[32];
  if (GetWindowTextA(window, title, sizeof title) <= 0) title[0] = '\0';
  if (lstrcmpiA(title, kProductName) != 0) return TRUE;
  if (!IsProductWindow(window)) return TRUE;

  // The product ends itself when its main window gets WM_DESTROY. One that
  // has stopped answering must not hold the setup: it is given up on, and
  // its files in use are then asked about like any others.
  SetupState.instanceWasRunning = 1;
  SendMessageTimeoutA(window, WM_DESTROY, 0, 0, SMTO_ABORTIFHUNG, kCloseWaitMs, nullptr);
  return FALSE;
}

int FormatText(char* out, int size, const char* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  int length = FormatStringV(out, (size_t)size, format, arguments);
  va_end(arguments);
  if (length < 0 || length >= size) {
    out[0] = '\0';
    return 0;
  }
  return 1;
}
