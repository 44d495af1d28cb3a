// Which build of the setup an end-to-end run drives, and where that build
// looks on a 64-bit Windows: the x86_64 build beside the test program, or
// the shipped PE32 build (MV_SETUP_BUILD=pe32 in the environment), which
// runs under WoW64 and so uses the 32-bit registry view of
// HKEY_LOCAL_MACHINE\Software, "Program Files (x86)" and the 32-bit system
// folder. One scenario source then serves both builds.
#pragma once

#include <windows.h>

#include <string>

struct SetupBuild {
  bool pe32;
  std::string name;        // "x86_64" or "PE32", for messages
  std::string setup;       // MorvantileSetup.exe
  std::string productExe;  // the built Morvantile.exe, Morvantile.dll, psapi.dll
  std::string productDll;
  std::string processStatusDll;
  REGSAM registryView;     // KEY_WOW64_32KEY or KEY_WOW64_64KEY
};

const SetupBuild& BuildUnderTest();

// The folder the build's programs go to by default ("C:\Program Files" or
// "C:\Program Files (x86)") and the system folder it sees (system32, or
// syswow64 for the PE32 build).
std::string ProgramFilesFor(const SetupBuild& build);
std::string SystemFolderFor(const SetupBuild& build);

// HKEY_LOCAL_MACHINE in a registry view: a text value ("<none>" when
// missing), whether a key exists, deleting a key with its sub-keys.
std::string ReadMachineText(REGSAM view, const char* path, const char* name);
bool MachineKeyExists(REGSAM view, const char* path);
void DeleteMachineKey(REGSAM view, const char* path);

// Whether a running process is a 32-bit one under WoW64.
bool IsWow64(DWORD pid);
