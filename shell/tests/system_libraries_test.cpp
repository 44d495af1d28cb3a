#include "shell/system_libraries.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string OwnFolder() {
  char path[MAX_PATH];
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string folder(path);
  return folder.substr(0, folder.rfind('\\'));
}

std::string ModulePath(HMODULE module) {
  char path[MAX_PATH] = "";
  GetModuleFileNameA(module, path, MAX_PATH);
  return path;
}

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
  return text;
}

std::string SystemFolder() {
  char path[MAX_PATH];
  GetSystemDirectoryA(path, MAX_PATH);
  return Lower(path);
}

}  // namespace

// A DLL of a system name planted in the program's folder loads from there,
// and runs, by default (measured under Wine with dwmapi.dll); once the
// search is restricted, the system's copy loads.
TEST(SystemLibraries, PlantedDllInOwnFolderIsNeverLoaded) {
  std::string folder = OwnFolder();
  std::string planted = folder + "\\dwmapi.dll";
  std::string marker = planted + ".loaded";
  ASSERT_TRUE(CopyFileA((folder + "\\planted.dll").c_str(), planted.c_str(), FALSE));
  DeleteFileA(marker.c_str());

  RestrictDllSearchPath();
  HMODULE module = LoadSystemLibrary("dwmapi.dll");
  ASSERT_NE(module, nullptr);
  EXPECT_EQ(Lower(ModulePath(module)).rfind(SystemFolder(), 0), 0u) << ModulePath(module);
  EXPECT_EQ(GetFileAttributesA(marker.c_str()), INVALID_FILE_ATTRIBUTES);

  FreeLibrary(module);
  DeleteFileA(planted.c_str());
  DeleteFileA(marker.c_str());
}

// The restriction holds for every later load of the process too, such as
// the ones the common controls make by bare name.
TEST(SystemLibraries, RestrictionCoversLoadsByBareName) {
  std::string folder = OwnFolder();
  std::string planted = folder + "\\propsys.dll";
  std::string marker = planted + ".loaded";
  ASSERT_TRUE(CopyFileA((folder + "\\planted.dll").c_str(), planted.c_str(), FALSE));
  DeleteFileA(marker.c_str());

  RestrictDllSearchPath();
  HMODULE module = LoadLibraryA("propsys.dll");
  ASSERT_NE(module, nullptr);
  EXPECT_EQ(Lower(ModulePath(module)).rfind(SystemFolder(), 0), 0u) << ModulePath(module);
  EXPECT_EQ(GetFileAttributesA(marker.c_str()), INVALID_FILE_ATTRIBUTES);

  FreeLibrary(module);
  DeleteFileA(planted.c_str());
  DeleteFileA(marker.c_str());
}

// The manifest asks for Common Controls 6: the comctl32 loaded is the one
// of that assembly in the system's side-by-side store, not the system
// folder's older one (whose version resource the store's copy may share).
TEST(SystemLibraries, CommonControlsComeFromTheVersionSixAssembly) {
  HMODULE module = CommonControlsModule();
  ASSERT_NE(module, nullptr);
  std::string path = Lower(ModulePath(module));
  EXPECT_NE(path.find("\\winsxs\\"), std::string::npos) << path;
  EXPECT_NE(path.find("microsoft.windows.common-controls_6595b64144ccf1df_6."), std::string::npos) << path;
}

TEST(SystemLibraries, CommonControlEntryPointsResolve) {
  InitCommonControlsOnce();
  WNDCLASSA progress;
  EXPECT_TRUE(GetClassInfoA(nullptr, "msctls_progress32", &progress));
  EXPECT_TRUE(GetClassInfoA(nullptr, "tooltips_class32", &progress));
}
