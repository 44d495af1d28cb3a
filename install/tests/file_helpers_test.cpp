#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "install/file_helpers.h"
#include "common/setup_state.h"
#include "install/tests/engine_test_support.h"

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

std::vector<HWND> destroyedWindows;

LRESULT CALLBACK RecordingWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_DESTROY) {
    destroyedWindows.push_back(window);
    return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

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

// Top-level windows of this process with the given titles.
class TestWindows {
 public:
  TestWindows() {
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = RecordingWindowProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "MvCloseProductTest";
    RegisterClassA(&windowClass);
    destroyedWindows.clear();
    SetupState.instanceWasRunning = 0;
  }
  ~TestWindows() {
    // The recording procedure ignored the WM_DESTROY sent by the test.
    for (HWND window : windows_) DestroyWindow(window);
  }
  HWND Add(const char* title) {
    HWND window = CreateWindowExA(0, "MvCloseProductTest", title, WS_OVERLAPPEDWINDOW, 0, 0, 100, 100,
                                  nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    windows_.push_back(window);
    return window;
  }
  // The first of `candidates` in EnumWindows order.
  static HWND FirstEnumerated(std::vector<HWND> candidates) {
    EnumSearch search = {candidates, nullptr};
    EnumWindows(FindFirstCandidate, (LPARAM)&search);
    return search.first;
  }

 private:
  std::vector<HWND> windows_;
};

}  // namespace

TEST(CloseRunningProduct, ClosesOnlyTheProductsOwnTitleInAnyCase) {
  TestWindows windows;
  ASSERT_TRUE(windows.Add("Morvantile - Installation"));
  ASSERT_TRUE(windows.Add("Morvantile2"));
  ASSERT_TRUE(windows.Add("Morvantile and a title longer than the 31 characters read"));
  EnumWindows(CloseRunningProduct, 0);
  EXPECT_TRUE(destroyedWindows.empty());
  EXPECT_EQ(SetupState.instanceWasRunning, 0);

  HWND product = windows.Add("MORVANTILE");
  ASSERT_TRUE(product);
  EnumWindows(CloseRunningProduct, 0);
  ASSERT_EQ(destroyedWindows.size(), 1u);
  EXPECT_EQ(destroyedWindows[0], product);
  EXPECT_EQ(SetupState.instanceWasRunning, 1);
}

TEST(CloseRunningProduct, ClosesOnlyTheFirstOfTwoAndStops) {
  TestWindows windows;
  HWND one = windows.Add("Morvantile");
  HWND two = windows.Add("morvantile");
  ASSERT_TRUE(one && two);
  HWND first = TestWindows::FirstEnumerated({one, two});

  EXPECT_FALSE(CloseRunningProduct(first, 0)) << "a match stops the enumeration";
  destroyedWindows.clear();
  EnumWindows(CloseRunningProduct, 0);
  ASSERT_EQ(destroyedWindows.size(), 1u);
  EXPECT_EQ(destroyedWindows[0], first);
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
