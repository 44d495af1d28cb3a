#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "install/file_helpers.h"
#include "common/setup_state.h"
#include "common/system_library.h"
#include "install/tests/engine_test_support.h"

#include <sddl.h>   // after windows.h

TEST(FileExists, TellsFilesFromFoldersAndAbsentPaths) {
  ScratchFolder folder("exists");
  ASSERT_TRUE(WriteBytes(folder / "plain.txt", "x"));
  ASSERT_TRUE(WriteBytes(folder / "locked.txt", "x"));
  ASSERT_TRUE(SetFileAttributesA((folder / "locked.txt").c_str(), FILE_ATTRIBUTE_READONLY));

  EXPECT_EQ(FileExists((folder / "plain.txt").c_str()), 1);
  EXPECT_EQ(FileExists((folder / "locked.txt").c_str()), 1);
  EXPECT_EQ(FileExists(folder.path().c_str()), 0);
  EXPECT_EQ(FileExists((folder / "missing.txt").c_str()), 0);
  EXPECT_EQ(FileExists(""), 0);
}

TEST(CreateFolderTree, CreatesEveryMissingParent) {
  ScratchFolder folder("tree");
  std::string deepest = folder / "A\\B\\C";
  ASSERT_TRUE(CreateDirectoryA((folder / "A").c_str(), nullptr));

  EXPECT_EQ(CreateFolderTree(deepest.c_str()), 1);
  EXPECT_TRUE(IsFolder(folder / "A\\B"));
  EXPECT_TRUE(IsFolder(deepest));
}

namespace {

// Whether the folder's access list names Everyone. Wine keeps no access
// lists, only the Unix mode bits it turns them into, so this is what can be
// observed of one here: a folder made with the default security lets
// everyone read it; one that names only the administrators, the owner and
// users does not.
bool EveryoneMayEnter(const std::string& folder) {
  BYTE descriptor[1024];
  DWORD needed;
  BOOL present, defaulted;
  PACL list;
  BYTE world[SECURITY_MAX_SID_SIZE];
  DWORD worldSize = sizeof world;
  if (!GetFileSecurityA(folder.c_str(), DACL_SECURITY_INFORMATION, descriptor, sizeof descriptor, &needed) ||
      !GetSecurityDescriptorDacl(descriptor, &present, &list, &defaulted) || !present || !list ||
      !CreateWellKnownSid(WinWorldSid, nullptr, world, &worldSize)) {
    ADD_FAILURE() << "no access list read from " << folder;
    return false;
  }
  for (DWORD i = 0; i < list->AceCount; ++i) {
    ACCESS_ALLOWED_ACE* entry;
    if (GetAce(list, i, (void**)&entry) && entry->Header.AceType == ACCESS_ALLOWED_ACE_TYPE &&
        EqualSid(&entry->SidStart, world))
      return true;
  }
  return false;
}

}  // namespace

TEST(CreateFolderTree, GivesEveryFolderItMakesTheInstallationAccessList) {
  PSECURITY_DESCRIPTOR named;
  ULONG size;
  ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorA(
      "D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;FA;;;OW)(A;OICI;0x1200a9;;;BU)"
      "(A;OICI;0x1200a9;;;S-1-15-2-1)",
      SDDL_REVISION_1, &named, &size));
  ASSERT_EQ(size, sizeof kInstallFolderAccess);
  EXPECT_EQ(memcmp(named, kInstallFolderAccess, size), 0);
  LocalFree(named);

  ScratchFolder folder("tree-access");
  ASSERT_TRUE(CreateDirectoryA((folder / "plain").c_str(), nullptr));
  ASSERT_TRUE(EveryoneMayEnter(folder / "plain")) << "the observation sees nothing here";
  ASSERT_EQ(CreateFolderTree((folder / "A\\B").c_str()), 1);
  EXPECT_FALSE(EveryoneMayEnter(folder / "A")) << "a parent it made";
  EXPECT_FALSE(EveryoneMayEnter(folder / "A\\B"));
  EXPECT_TRUE(WriteBytes(folder / "A\\B\\file", "x")) << "the setup itself may still write there";
}

TEST(CreateFolderTree, FailsForFoldersThatCannotBeMadeNew) {
  ScratchFolder folder("tree-fail");
  EXPECT_EQ(CreateFolderTree(folder.path().c_str()), 0) << "an existing folder";

  // No backslash: nothing to climb to. The name holds a character that no
  // folder name may hold, so it cannot be created in the current folder.
  EXPECT_EQ(CreateFolderTree("no*backslash"), 0);

  // A file stands where a parent folder should be.
  ASSERT_TRUE(WriteBytes(folder / "file", "x"));
  EXPECT_EQ(CreateFolderTree((folder / "file\\child").c_str()), 0);
}

TEST(CreateFolderTree, RefusesOverlongPathsWithoutCreatingAnything) {
  ScratchFolder folder("tree-long");
  // Short components, so that only the total length can be the reason.
  std::string path = folder.path();
  while (path.size() < MAX_PATH) path += "\\d";
  EXPECT_EQ(CreateFolderTree(path.c_str()), 0);
  EXPECT_FALSE(IsFolder(folder / "d")) << "no parent may be left behind";

  std::string huge = folder.path() + "\\" + std::string(2040, 'x');
  huge.resize(2047);
  EXPECT_EQ(CreateFolderTree(huge.c_str()), 0);
}

namespace {

struct EnumSearch {
  std::vector<HWND> candidates;
  HWND first;
};

BOOL CALLBACK FindFirstCandidate(HWND window, LPARAM data) {
  EnumSearch* search = (EnumSearch*)data;
  for (HWND candidate : search->candidates) {
    if (candidate == window) {
      search->first = window;
      return FALSE;
    }
  }
  return TRUE;
}

// The first of `candidates` in EnumWindows order.
HWND FirstEnumerated(std::vector<HWND> candidates) {
  EnumSearch search = {candidates, nullptr};
  EnumWindows(FindFirstCandidate, (LPARAM)&search);
  return search.first;
}

}  // namespace

TEST(CloseRunningProduct, ClosesOnlyTheProductsOwnTitleInAnyCase) {
  ScratchFolder folder("close-title");
  std::string product = ProductStandInIn(folder.path());
  SetupState.instanceWasRunning = 0;
  TitledWindowProgram installing(product, "Morvantile - Installation");
  TitledWindowProgram longer(product, "Morvantile2");
  TitledWindowProgram longest(product, "Morvantile and a title longer than the 31 characters read");
  ASSERT_TRUE(installing.window() && longer.window() && longest.window());
  EnumWindows(CloseRunningProduct, 0);
  Sleep(200);
  EXPECT_TRUE(installing.Running() && longer.Running() && longest.Running());
  EXPECT_EQ(SetupState.instanceWasRunning, 0);

  TitledWindowProgram running(product, "MORVANTILE");
  ASSERT_TRUE(running.window());
  EnumWindows(CloseRunningProduct, 0);
  EXPECT_TRUE(running.Ended());
  EXPECT_EQ(SetupState.instanceWasRunning, 1);
}

TEST(CloseRunningProduct, ClosesOnlyTheFirstOfTwoAndStops) {
  ScratchFolder folder("close-first");
  std::string product = ProductStandInIn(folder.path());
  TitledWindowProgram one(product, "Morvantile");
  TitledWindowProgram two(product, "morvantile");
  ASSERT_TRUE(one.window() && two.window());
  HWND first = FirstEnumerated({one.window(), two.window()});
  EnumWindows(CloseRunningProduct, 0);
  const TitledWindowProgram& closed = first == one.window() ? one : two;
  const TitledWindowProgram& kept = first == one.window() ? two : one;
  EXPECT_TRUE(closed.Ended());
  EXPECT_TRUE(kept.Running());
}

static DWORD WINAPI WalkClosingTheProduct(void*) { return EnumWindows(CloseRunningProduct, 0); }

// A product that no longer answers must not hold the setup: the close
// request is given up on, and the walk ends there as for any product.
TEST(CloseRunningProduct, GivesUpOnAProductThatDoesNotAnswer) {
  ScratchFolder folder("close-hung");
  SetupState.instanceWasRunning = 0;
  TitledWindowProgram hung(ProductStandInIn(folder.path()), "Morvantile", "hung-window");
  ASSERT_TRUE(hung.window());
  HANDLE walk = CreateThread(nullptr, 0, WalkClosingTheProduct, nullptr, 0, nullptr);
  ASSERT_TRUE(walk);
  EXPECT_EQ(WaitForSingleObject(walk, 60000), WAIT_OBJECT_0) << "still waiting on the hung window";
  EXPECT_EQ(SetupState.instanceWasRunning, 1);
  EXPECT_TRUE(hung.Running());
  CloseHandle(walk);   // a walk still blocked ends once the probe is ended
}

// Another program's window of that title (an Explorer window showing the
// installation folder has it) is neither closed nor taken for the product.
TEST(CloseRunningProduct, LeavesAnotherProgramsWindowOfThatTitleAlone) {
  ScratchFolder folder("close-foreign");
  SetupState.instanceWasRunning = 0;
  TitledWindowProgram foreign(BesideThisProgram("product_probe.exe"), "Morvantile");
  ASSERT_TRUE(foreign.window());
  EnumWindows(CloseRunningProduct, 0);
  Sleep(200);
  EXPECT_TRUE(foreign.Running());
  EXPECT_TRUE(IsWindow(foreign.window()));
  EXPECT_EQ(SetupState.instanceWasRunning, 0);

  TitledWindowProgram product(ProductStandInIn(folder.path()), "Morvantile");
  ASSERT_TRUE(product.window());
  EnumWindows(CloseRunningProduct, 0);
  EXPECT_TRUE(product.Ended()) << "the product is found behind the foreign window";
  EXPECT_TRUE(foreign.Running());
  EXPECT_EQ(SetupState.instanceWasRunning, 1);
}

// A DLL planted beside the program is never taken for a system DLL.
TEST(LoadLibraryFromSystemFolder, TakesOnlyTheSystemFoldersCopy) {
  std::string planted = BesideThisProgram("mvplanted.dll");
  ASSERT_TRUE(CopyFileA(BesideThisProgram("planted_library.dll").c_str(), planted.c_str(), FALSE));
  HMODULE notInSystem = LoadLibraryFromSystemFolder("mvplanted.dll");
  char mark[16];
  DWORD marked = GetEnvironmentVariableA("MV_PLANTED_DLL", mark, sizeof mark);
  if (notInSystem) FreeLibrary(notInSystem);
  DeleteFileA(planted.c_str());
  EXPECT_EQ(notInSystem, nullptr);
  EXPECT_EQ(marked, 0u) << "the planted DLL was loaded";

  HMODULE version = LoadLibraryFromSystemFolder("version.dll");
  ASSERT_NE(version, nullptr);
  char loaded[MAX_PATH];
  char system[MAX_PATH];
  GetModuleFileNameA(version, loaded, MAX_PATH);
  GetSystemDirectoryA(system, MAX_PATH);
  FreeLibrary(version);
  EXPECT_EQ(_strnicmp(loaded, system, strlen(system)), 0) << loaded;
}
