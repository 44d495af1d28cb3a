// Our psapi.dll forwards every process-status function to kernel32.
#include <gtest/gtest.h>
#include <windows.h>
#include <psapi.h>

#include "product/tests/test_folder.h"

namespace {

const char* const kExports[] = {
    "EmptyWorkingSet",          "EnumDeviceDrivers",        "EnumPageFilesA",
    "EnumPageFilesW",           "EnumProcessModules",       "EnumProcessModulesEx",
    "EnumProcesses",            "GetDeviceDriverBaseNameA", "GetDeviceDriverBaseNameW",
    "GetDeviceDriverFileNameA", "GetDeviceDriverFileNameW", "GetMappedFileNameA",
    "GetMappedFileNameW",       "GetModuleBaseNameA",       "GetModuleBaseNameW",
    "GetModuleFileNameExA",     "GetModuleFileNameExW",     "GetModuleInformation",
    "GetPerformanceInfo",       "GetProcessImageFileNameA", "GetProcessImageFileNameW",
    "GetProcessMemoryInfo",     "GetWsChanges",             "GetWsChangesEx",
    "InitializeProcessForWsWatch", "QueryWorkingSet",       "QueryWorkingSetEx"};

// Wine substitutes its own psapi.dll for any file of that name, so the
// library is loaded here under another name.
class ProcessStatusLibrary : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string copy = folder / "forwarders.dll";
    ASSERT_TRUE(CopyFileA((BuildFolder() + "\\psapi.dll").c_str(), copy.c_str(), FALSE));
    module = LoadLibraryA(copy.c_str());
    ASSERT_NE(module, nullptr);
  }
  void TearDown() override { FreeLibrary(module); }
  template <typename F> F Function(const char* name) {
    return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module, name)));
  }
  ScopedFolder folder{"MorvantileProcessStatusTest"};
  HMODULE module = nullptr;
};

// The export table names exactly these functions, each a forwarder string
// "kernel32.K32<name>", and the loader resolves every one of them.
TEST_F(ProcessStatusLibrary, ForwardsEachFunctionToItsKernelExport) {
  const BYTE* base = reinterpret_cast<const BYTE*>(module);
  const IMAGE_NT_HEADERS* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(
      base + reinterpret_cast<const IMAGE_DOS_HEADER*>(base)->e_lfanew);
  const IMAGE_DATA_DIRECTORY& directory =
      nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
  const IMAGE_EXPORT_DIRECTORY* exports =
      reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(base + directory.VirtualAddress);
  ASSERT_EQ(exports->NumberOfNames, sizeof kExports / sizeof kExports[0]);
  const DWORD* names = reinterpret_cast<const DWORD*>(base + exports->AddressOfNames);
  const WORD* ordinals = reinterpret_cast<const WORD*>(base + exports->AddressOfNameOrdinals);
  const DWORD* functions = reinterpret_cast<const DWORD*>(base + exports->AddressOfFunctions);
  for (DWORD i = 0; i < exports->NumberOfNames; i++) {
    const char* name = reinterpret_cast<const char*>(base + names[i]);
    EXPECT_STREQ(name, kExports[i]) << "names are sorted";
    const DWORD rva = functions[ordinals[i]];
    ASSERT_GE(rva, directory.VirtualAddress) << name << " is code, not a forwarder";
    ASSERT_LT(rva, directory.VirtualAddress + directory.Size) << name;
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(base + rva)),
              std::string("kernel32.K32") + name);
    const std::string target = std::string("K32") + name;
    EXPECT_EQ(GetProcAddress(module, name),
              GetProcAddress(GetModuleHandleA("kernel32.dll"), target.c_str()))
        << name;
  }
}

TEST_F(ProcessStatusLibrary, EnumeratesProcessesAndNamesThisOne) {
  auto enumProcesses = Function<BOOL(WINAPI*)(DWORD*, DWORD, DWORD*)>("EnumProcesses");
  DWORD ids[1024], bytes = 0;
  ASSERT_TRUE(enumProcesses(ids, sizeof ids, &bytes));
  bool foundSelf = false;
  for (DWORD i = 0; i < bytes / sizeof(DWORD); i++) foundSelf |= ids[i] == GetCurrentProcessId();
  EXPECT_TRUE(foundSelf);

  auto baseName =
      Function<DWORD(WINAPI*)(HANDLE, HMODULE, char*, DWORD)>("GetModuleBaseNameA");
  char name[MAX_PATH] = {};
  ASSERT_GT(baseName(GetCurrentProcess(), nullptr, name, sizeof name), 0u);
  EXPECT_EQ(lstrcmpiA(name, "product_test.exe"), 0) << name;

  auto memoryInfo = Function<BOOL(WINAPI*)(HANDLE, PROCESS_MEMORY_COUNTERS*, DWORD)>(
      "GetProcessMemoryInfo");
  PROCESS_MEMORY_COUNTERS counters = {};
  ASSERT_TRUE(memoryInfo(GetCurrentProcess(), &counters, sizeof counters));
  EXPECT_GT(counters.WorkingSetSize, 0u);
}

}  // namespace
