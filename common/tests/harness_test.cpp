// Proves the Windows test harness: these run under Wine, with a display
// and a private registry.
#include <gtest/gtest.h>
#include <windows.h>

#include "common/memory.h"
#include "common/tests/test_registry.h"

namespace {

const char kKey[] = "Software\\MorvantileHarnessTest";

TEST(Harness, CreatesAWindowOnTheDisplay) {
  HWND window = CreateWindowExA(0, "STATIC", "harness", WS_POPUP, 0, 0, 100, 50,
                                nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
  ASSERT_NE(window, nullptr) << "no display: run Windows tests under Xvfb";
  char title[16] = {};
  EXPECT_EQ(GetWindowTextA(window, title, sizeof title), 7);
  EXPECT_STREQ(title, "harness");
  EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 1024);
  EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), 768);
  DestroyWindow(window);
}

TEST(Harness, ReadsBackARegistryValueItWrote) {
  ScopedTestKey guard(HKEY_CURRENT_USER, kKey);
  HKEY key;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                            nullptr), ERROR_SUCCESS);
  DWORD written = 0x60024;
  ASSERT_EQ(RegSetValueExA(key, "Whole Area", 0, REG_DWORD,
                           reinterpret_cast<const BYTE*>(&written), sizeof written), ERROR_SUCCESS);
  RegCloseKey(key);

  DWORD read = 0, size = sizeof read, type = 0;
  ASSERT_EQ(RegGetValueA(HKEY_CURRENT_USER, kKey, "Whole Area", RRF_RT_ANY, &type, &read, &size),
            ERROR_SUCCESS);
  EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
  EXPECT_EQ(read, written);
}

TEST(Harness, MemoryHelpersUseTheProcessHeap) {
  unsigned char* block = static_cast<unsigned char*>(MemAlloc(64));
  ASSERT_NE(block, nullptr);
  EXPECT_GE(HeapSize(GetProcessHeap(), 0, block), 64u);
  MemFill(block, 0xAB, 64);
  unsigned char copy[64];
  MemCopy(copy, block, sizeof copy);
  for (unsigned char c : copy) ASSERT_EQ(c, 0xAB);
  MemFree(block);
  MemFree(nullptr);
}

}  // namespace
