// The product's reading of the registry settings, in process.
#include <gtest/gtest.h>
#include <windows.h>

#include "common/tests/test_registry.h"
#include "product/product_program.h"
#include "product/tests/test_folder.h"

namespace {

void SetValue(const char* path, const char* name, DWORD type, const void* data, DWORD size) {
  HKEY key;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, path, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), size);
  RegCloseKey(key);
}

// Numbers stored in fewer than 4 bytes read zero-extended, as the setup
// reads them: nothing of what the buffer held before the read is kept.
TEST(ProductRegistrySettings, ShortNumbersReadZeroExtended) {
  ScopedTestKey guard(HKEY_CURRENT_USER, "Software\\Quillfern\\Morvantile");
  const char kHotKeys[] = "Software\\Quillfern\\Morvantile\\HotKeys";
  const unsigned char letterA = 0x41, letterB[2] = {0x42, 0x00};
  const DWORD shiftWinHome = 0x000C0024;
  SetValue(kHotKeys, "Whole Area", REG_BINARY, &letterA, 1);
  SetValue(kHotKeys, "Left Side", REG_DWORD, &shiftWinHome, 4);
  SetValue(kHotKeys, "Top Half", REG_BINARY, letterB, 2);
  const unsigned char fifty = 50;
  SetValue("Software\\Quillfern\\Morvantile\\CoverageArea", "LeftTop", REG_BINARY, &fifty, 1);

  const PlacementLibrary library = {sizeof(PlacementLibrary), AreaRect, DefaultProductSettings,
                                    ReadSettingsFileImage, FreeProductSettings};
  ScopedFolder noSettingsFile("MorvantileLoaderTest");
  ProductSettings settings;
  LoadProductSettings(&library, noSettingsFile.path().c_str(), &settings);
  EXPECT_EQ(settings.hotKeys[0], 0x41u);
  EXPECT_EQ(settings.hotKeys[1], 0x000C0024u);
  EXPECT_EQ(settings.hotKeys[2], 0x42u);
  EXPECT_EQ(settings.layout.leftMargin, 50);
  EXPECT_EQ(settings.layout.topMargin, 0);
  FreeProductSettings(&settings);
}

}  // namespace
