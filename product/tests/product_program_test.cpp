// Morvantile.exe as the setup meets it, in a private folder under Wine:
// its window, its ending on WM_DESTROY, one copy at a time, its version,
// and placing windows with the settings it loads.
#include <gtest/gtest.h>
#include <windows.h>

#include <vector>

#include "common/tests/test_registry.h"
#include "product/tests/product_runner.h"

namespace {

const char kProductKey[] = "Software\\Quillfern\\Morvantile";

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

}  // namespace
