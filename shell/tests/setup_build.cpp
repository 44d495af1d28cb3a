#include "shell/tests/setup_build.h"

#include <stdlib.h>

#include "shell/tests/setup_driver.h"

namespace {

SetupBuild MakeBuild() {
  SetupBuild build;
  const char* which = getenv("MV_SETUP_BUILD");
  build.pe32 = which && lstrcmpiA(which, "pe32") == 0;
  build.name = build.pe32 ? "PE32" : "x86_64";
  if (build.pe32) {
    const std::string tree = MV_PE32_TREE;
    build.setup = WindowsPath(tree + "/MorvantileSetup.exe");
    build.productExe = WindowsPath(tree + "/product/Morvantile.exe");
    build.productDll = WindowsPath(tree + "/product/Morvantile.dll");
    build.processStatusDll = WindowsPath(tree + "/product/psapi.dll");
    build.registryView = KEY_WOW64_32KEY;
  } else {
    build.setup = WindowsPath(MV_SETUP_EXE);
    build.productExe = WindowsPath(MV_PRODUCT_EXE);
    build.productDll = WindowsPath(MV_PRODUCT_DLL);
    build.processStatusDll = WindowsPath(MV_PSAPI_DLL);
    build.registryView = KEY_WOW64_64KEY;
  }
  return build;
}

}  // namespace

const SetupBuild& BuildUnderTest() {
  static const SetupBuild build = MakeBuild();
  return build;
}

std::string ProgramFilesFor(const SetupBuild& build) {
  // What a program of that build finds in its own environment.
  char folder[MAX_PATH] = "";
  GetEnvironmentVariableA(build.pe32 ? "ProgramFiles(x86)" : "ProgramFiles", folder, MAX_PATH);
  return folder;
}

std::string SystemFolderFor(const SetupBuild& build) {
  char folder[MAX_PATH] = "";
  if (build.pe32)
    GetSystemWow64DirectoryA(folder, MAX_PATH);
  else
    GetSystemDirectoryA(folder, MAX_PATH);
  return folder;
}

std::string ReadMachineText(REGSAM view, const char* path, const char* name) {
  HKEY key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_QUERY_VALUE | view, &key) != ERROR_SUCCESS)
    return "<none>";
  char value[2048] = "";
  DWORD size = sizeof value - 1;
  LONG status = RegGetValueA(key, nullptr, name, RRF_RT_REG_SZ, nullptr, value, &size);
  RegCloseKey(key);
  return status == ERROR_SUCCESS ? value : "<none>";
}

bool MachineKeyExists(REGSAM view, const char* path) {
  HKEY key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_READ | view, &key) != ERROR_SUCCESS) return false;
  RegCloseKey(key);
  return true;
}

void DeleteMachineKey(REGSAM view, const char* path) {
  HKEY key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_ALL_ACCESS | view, &key) == ERROR_SUCCESS) {
    RegDeleteTreeA(key, nullptr);
    RegCloseKey(key);
  }
  RegDeleteKeyExA(HKEY_LOCAL_MACHINE, path, view, 0);
}

bool IsWow64(DWORD pid) {
  HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
  if (!process) return false;
  BOOL wow64 = FALSE;
  IsWow64Process(process, &wow64);
  CloseHandle(process);
  return wow64 != FALSE;
}
