// Morvantile.exe as the setup meets it, in a private folder under Wine:
// its window, its ending on WM_DESTROY, one copy at a time, its version,
// and placing windows with the settings it loads.
#include <gtest/gtest.h>
#include <windows.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "common/tests/test_keyboard.h"
#include "common/tests/test_registry.h"
#include "product/product_program.h"
#include "product/tests/product_runner.h"

namespace {

const char kProductKey[] = "Software\\Quillfern\\Morvantile";

void Put16(std::string& b, uint32_t v) {
  b.push_back(static_cast<char>(v & 0xFF));
  b.push_back(static_cast<char>((v >> 8) & 0xFF));
}
void Put32(std::string& b, uint32_t v) {
  Put16(b, v & 0xFFFF);
  Put16(b, v >> 16);
}
void PutChunk(std::string& file, uint16_t type, const std::string& payload) {
  Put16(file, type);
  file += std::string("\x01\x00", 2);
  Put32(file, static_cast<uint32_t>(payload.size()));
  file += payload;
}
std::string Edge(uint16_t code, uint32_t pixels) {
  std::string e;
  Put16(e, 243);
  Put16(e, code);
  e.resize(12, 0);
  Put32(e, pixels);
  e.resize(44, 0);
  return e;
}

// A settings file in the documented layout: hot keys, dividers, a coverage
// rectangle from (left, top) to the work area's right and bottom edges, and
// one application entry.
std::string SettingsFile(const uint32_t hotKeys[9], int32_t splitX, int32_t splitY,
                         uint32_t left, uint32_t top, const std::string& app, uint16_t code) {
  std::string file("MV\x00\x03", 4);
  PutChunk(file, 3, std::string(16, '\0'));
  PutChunk(file, 6, std::string(72, '\0'));
  PutChunk(file, 1, std::string(12, '\0'));
  std::string area(1, '\0');
  Put16(area, 1);
  area += std::string("Default", 8);
  for (int i = 0; i < 9; i++) Put32(area, hotKeys[i]);
  Put32(area, 6);
  Put32(area, 1);
  Put32(area, static_cast<uint32_t>(splitX));
  Put32(area, static_cast<uint32_t>(splitY));
  area += std::string(16, '\0');
  area += Edge(0, left) + Edge(1, top) + Edge(2, 0) + Edge(3, 0);
  PutChunk(file, 5, area);
  std::string apps(8, '\0');
  Put16(apps, 1);
  Put16(apps, 1);
  Put16(apps, 0x0001);
  apps += std::string("*\0\0", 3);
  Put16(apps, 0);
  Put16(apps, 2);
  Put16(apps, 0);
  Put16(apps, code);
  apps += std::string("\0", 1) + app + std::string("\0", 1);
  Put16(apps, 0);
  PutChunk(file, 7, apps);
  return file;
}

std::string ShortPathOfThisProgram() {
  char path[MAX_PATH], shortPath[MAX_PATH];
  GetModuleFileNameA(nullptr, path, sizeof path);
  GetShortPathNameA(path, shortPath, sizeof shortPath);
  return shortPath;
}

// Lists this test program in "AutoApps" with the given placement.
void ListThisProgram(DWORD type, const void* data, DWORD size) {
  HKEY apps;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Quillfern\\Morvantile\\AutoApps", 0,
                            nullptr, 0, KEY_WRITE, nullptr, &apps, nullptr), ERROR_SUCCESS);
  RegSetValueExA(apps, ShortPathOfThisProgram().c_str(), 0, type, static_cast<const BYTE*>(data), size);
  RegCloseKey(apps);
}

// A window of the test that the product is to move.
HWND CreateTestWindow() {
  WNDCLASSA windowClass = {};
  windowClass.lpfnWndProc = DefWindowProcA;
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.lpszClassName = "MorvantileTestWindow";
  RegisterClassA(&windowClass);
  return CreateWindowExA(0, "MorvantileTestWindow", "Placed by the test", WS_OVERLAPPEDWINDOW,
                         300, 200, 200, 150, nullptr, nullptr, GetModuleHandleA(nullptr),
                         nullptr);
}

// Waits, handling this thread's messages, until the window has the rectangle.
bool WaitForRect(HWND window, const RECT& expected, RECT* actual) {
  for (int waited = 0; waited < 5000; waited += 20) {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
    GetWindowRect(window, actual);
    if (EqualRect(actual, &expected)) return true;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
  }
  return false;
}

class ProductProgram : public ::testing::Test {
 protected:
  void SetUp() override {
    DeleteTestKey(HKEY_CURRENT_USER, kProductKey);
    ASSERT_TRUE(CopyProductInto(folder.path()));
  }
  void TearDown() override {
    EndProduct(product);
    DeleteTestKey(HKEY_CURRENT_USER, kProductKey);
  }
  HWND Start() {
    product = StartProduct(folder.path());
    if (!product.hProcess) return nullptr;
    return WaitForWindow(product.dwProcessId, "Morvantile");
  }
  // The product, then a window of the test (nullptr when either fails).
  HWND StartThenShowTestWindow() {
    if (!Start()) return nullptr;
    Sleep(300 * kWaitScale);
    HWND window = CreateTestWindow();
    if (window) ShowWindow(window, SW_SHOWNOACTIVATE);
    return window;
  }
  ScopedFolder folder{"MorvantileProductTest"};
  PROCESS_INFORMATION product = {};
};

TEST_F(ProductProgram, ShowsItsWindowAndEndsWhenTheWindowGetsWmDestroy) {
  HWND window = Start();
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(GetAncestor(window, GA_ROOT), window) << "a top-level window";
  EXPECT_EQ(FindWindowA(nullptr, "Morvantile"), window);
  DWORD_PTR result = 0;
  ASSERT_TRUE(SendMessageTimeoutA(window, WM_DESTROY, 0, 0, SMTO_ABORTIFHUNG, 5000, &result));
  ASSERT_EQ(WaitForSingleObject(product.hProcess, 5000), WAIT_OBJECT_0);
  DWORD exitCode = 99;
  GetExitCodeProcess(product.hProcess, &exitCode);
  EXPECT_EQ(exitCode, 0u);
}

TEST_F(ProductProgram, ASecondCopyShowsNothingAndEnds) {
  ASSERT_NE(Start(), nullptr);
  PROCESS_INFORMATION second = StartProduct(folder.path());
  ASSERT_NE(second.hProcess, nullptr);
  EXPECT_EQ(WaitForSingleObject(second.hProcess, 5000), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForWindow(second.dwProcessId, "Morvantile", 0), nullptr);
  EXPECT_EQ(WaitForSingleObject(product.hProcess, 0), static_cast<DWORD>(WAIT_TIMEOUT))
      << "the first copy keeps running";
  EndProduct(second);
}

TEST_F(ProductProgram, CarriesProductVersion304AndADifferentFileVersion) {
  const std::string path = BuildFolder() + "\\Morvantile.exe";
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeA(path.c_str(), &ignored);
  ASSERT_GT(size, 0u);
  std::vector<char> block(size);
  ASSERT_TRUE(GetFileVersionInfoA(path.c_str(), 0, size, block.data()));
  VS_FIXEDFILEINFO* info = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&info), &length));
  EXPECT_EQ(info->dwProductVersionMS, 0x00030004u);
  EXPECT_EQ(info->dwProductVersionLS, 0u);
  EXPECT_TRUE(info->dwFileVersionMS != info->dwProductVersionMS ||
              info->dwFileVersionLS != info->dwProductVersionLS);
}

TEST_F(ProductProgram, MovesTheForegroundWindowOnTheHotKeysOfItsSettingsFile) {
  // Right side = Ctrl+Alt+R, upper-left = Ctrl+Alt+U.
  uint32_t hotKeys[9] = {0x60024, 0x60025, 0x60026, 0x30052, 0x60028,
                         0x30055, 0x60032, 0x60033, 0x60034};
  std::string file = SettingsFile(hotKeys, 600, 400, 100, 10, "C:\\NONE\\NONE.EXE", 0x1001);
  HANDLE out = CreateFileA((folder / "default.MorvantileSettings").c_str(), GENERIC_WRITE, 0,
                           nullptr, CREATE_ALWAYS, 0, nullptr);
  DWORD written = 0;
  WriteFile(out, file.data(), static_cast<DWORD>(file.size()), &written, nullptr);
  CloseHandle(out);
  ASSERT_NE(Start(), nullptr);
  Sleep(300 * kWaitScale);   // the hot keys are registered after the window appears

  HWND window = CreateTestWindow();
  ASSERT_NE(window, nullptr);
  ShowWindow(window, SW_SHOW);
  SetForegroundWindow(window);
  RECT work, actual;
  SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);

  PressKeys({VK_CONTROL, VK_MENU, 'R'});
  const RECT right = {600, 10, work.right, work.bottom};
  EXPECT_TRUE(WaitForRect(window, right, &actual))
      << actual.left << "," << actual.top << "," << actual.right << "," << actual.bottom;
  PressKeys({VK_CONTROL, VK_MENU, 'U'});
  const RECT upperLeft = {100, 10, 600, 400};
  EXPECT_TRUE(WaitForRect(window, upperLeft, &actual))
      << actual.left << "," << actual.top << "," << actual.right << "," << actual.bottom;
  // A maximized window is restored, then placed.
  ShowWindow(window, SW_MAXIMIZE);
  SetForegroundWindow(window);
  PressKeys({VK_CONTROL, VK_MENU, 'R'});
  EXPECT_TRUE(WaitForRect(window, right, &actual))
      << actual.left << "," << actual.top << "," << actual.right << "," << actual.bottom;
  EXPECT_FALSE(IsZoomed(window));
  DestroyWindow(window);
}

// The settings file gives a program with a rectangle of its own as "none"
// (code 0). The setup leaves its "AutoApps" entry in the registry, and the
// rectangle is taken from there; a "none" without such an entry stays none.
TEST(ProductSettingsFile, RectanglesOfProgramsListedAsNoneComeFromTheRegistry) {
  ScopedTestKey key(HKEY_CURRENT_USER, kProductKey);
  ScopedFolder folder("MorvantileRectangles");
  const uint32_t hotKeys[9] = {};
  const std::string file = SettingsFile(hotKeys, 600, 400, 100, 10, "C:\\APPS\\RECT.EXE", 0);
  HANDLE out = CreateFileA((folder / "default.MorvantileSettings").c_str(), GENERIC_WRITE, 0,
                           nullptr, CREATE_ALWAYS, 0, nullptr);
  DWORD written = 0;
  WriteFile(out, file.data(), static_cast<DWORD>(file.size()), &written, nullptr);
  CloseHandle(out);
  const PlacementLibrary library = {sizeof(PlacementLibrary), AreaRect, DefaultProductSettings,
                                    ReadSettingsFileImage, FreeProductSettings};
  ProductSettings settings;
  LoadProductSettings(&library, folder.path().c_str(), &settings);
  ASSERT_EQ(settings.appCount, 1u);
  EXPECT_EQ(settings.apps[0].area, None);
  FreeProductSettings(&settings);

  HKEY apps;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Quillfern\\Morvantile\\AutoApps", 0,
                            nullptr, 0, KEY_WRITE, nullptr, &apps, nullptr), ERROR_SUCCESS);
  RegSetValueExA(apps, "C:\\APPS\\RECT.EXE", 0, REG_SZ, reinterpret_cast<const BYTE*>("10,20,800,600"), 14);
  RegCloseKey(apps);
  LoadProductSettings(&library, folder.path().c_str(), &settings);
  ASSERT_EQ(settings.appCount, 1u);
  EXPECT_EQ(settings.apps[0].area, Custom);
  const PlacementRect& rect = settings.apps[0].customRect;
  EXPECT_EQ(rect.left, 10);
  EXPECT_EQ(rect.top, 20);
  EXPECT_EQ(rect.right, 800);
  EXPECT_EQ(rect.bottom, 600);
  FreeProductSettings(&settings);
}

TEST_F(ProductProgram, WithoutASettingsFileUsesTheRegistryAndPlacesListedApplications) {
  // No settings file: the registry holds the coverage area and the list.
  ScopedTestKey key(HKEY_CURRENT_USER, kProductKey);
  HKEY coverage;
  const DWORD lowerRight = 9;
  ListThisProgram(REG_DWORD, &lowerRight, sizeof lowerRight);
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Quillfern\\Morvantile\\CoverageArea",
                            0, nullptr, 0, KEY_WRITE, nullptr, &coverage, nullptr), ERROR_SUCCESS);
  const DWORD leftTop = (20 << 16) | 50, rightBottom = (30 << 16) | 40, split = (300 << 16) | 500;
  RegSetValueExA(coverage, "LeftTop", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&leftTop), 4);
  RegSetValueExA(coverage, "RightBottom", 0, REG_DWORD,
                 reinterpret_cast<const BYTE*>(&rightBottom), 4);
  RegSetValueExA(coverage, "VertHorz", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&split), 4);
  RegCloseKey(coverage);
  HKEY hotKeys;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Quillfern\\Morvantile\\HotKeys", 0,
                            nullptr, 0, KEY_WRITE, nullptr, &hotKeys, nullptr), ERROR_SUCCESS);
  const DWORD ctrlAltU = 0x30055;
  RegSetValueExA(hotKeys, "Upper-Left", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&ctrlAltU), 4);
  RegCloseKey(hotKeys);
  HWND window = StartThenShowTestWindow();
  ASSERT_NE(window, nullptr);
  RECT work, actual;
  SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
  const RECT lowerRightArea = {work.left + 500, work.top + 300, work.right - 40,
                               work.bottom - 30};
  EXPECT_TRUE(WaitForRect(window, lowerRightArea, &actual))
      << actual.left << "," << actual.top << "," << actual.right << "," << actual.bottom;
  // The hot key stored in the registry works too.
  SetForegroundWindow(window);
  PressKeys({VK_CONTROL, VK_MENU, 'U'});
  const RECT upperLeftArea = {work.left + 50, work.top + 20, work.left + 500, work.top + 300};
  EXPECT_TRUE(WaitForRect(window, upperLeftArea, &actual))
      << actual.left << "," << actual.top << "," << actual.right << "," << actual.bottom;
  DestroyWindow(window);
}

// A Custom rectangle saved with a monitor that is no longer there would put
// the window off the screen: it stays where it opened.
TEST_F(ProductProgram, ACustomRectangleOnNoMonitorLeavesTheWindowWhereItIs) {
  ScopedTestKey key(HKEY_CURRENT_USER, kProductKey);
  const char offScreen[] = "5000,100,5600,700";
  ListThisProgram(REG_SZ, offScreen, sizeof offScreen);
  HWND window = StartThenShowTestWindow();
  ASSERT_NE(window, nullptr);
  RECT opened, actual;
  GetWindowRect(window, &opened);
  const RECT moved = {5000, 100, 5600, 700};
  EXPECT_FALSE(WaitForRect(window, moved, &actual)) << "moved off the screen";
  EXPECT_TRUE(EqualRect(&actual, &opened));
  DestroyWindow(window);
}

}  // namespace
