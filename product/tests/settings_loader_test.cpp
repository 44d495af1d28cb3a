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

// Each "AutoApps" value names a program: a number is its area, a text
// "left,top,right,bottom" a rectangle of its own; anything else is left out.
TEST(ProductRegistrySettings, ApplicationListTakesAreasAndRectanglesOnly) {
  ScopedTestKey guard(HKEY_CURRENT_USER, "Software\\Quillfern\\Morvantile");
  const char kApps[] = "Software\\Quillfern\\Morvantile\\AutoApps";
  const DWORD rightSide = 4;
  SetValue(kApps, "C:\\AREA.EXE", REG_DWORD, &rightSide, 4);
  SetValue(kApps, "C:\\BINARY.EXE", REG_BINARY, &rightSide, 4);
  const char* const texts[][2] = {{"C:\\RECT.EXE", "-10,20,300,-5"},
                                  {"C:\\SHORT.EXE", "1,2,3"},
                                  {"C:\\LONGER.EXE", "1,2,3,4,"},
                                  {"C:\\SIGN.EXE", "1,-,3,4"},
                                  {"C:\\HUGE.EXE", "1,2,3,1234567"}};
  for (const auto& text : texts)
    SetValue(kApps, text[0], REG_SZ, text[1], static_cast<DWORD>(strlen(text[1]) + 1));

  const PlacementLibrary library = {sizeof(PlacementLibrary), AreaRect, DefaultProductSettings,
                                    ReadSettingsFileImage, FreeProductSettings};
  ScopedFolder noSettingsFile("MorvantileLoaderTest");
  ProductSettings settings;
  LoadProductSettings(&library, noSettingsFile.path().c_str(), &settings);
  ASSERT_EQ(settings.appCount, 2u);
  const int rect = lstrcmpA(settings.apps[0].path, "C:\\RECT.EXE") == 0 ? 0 : 1;
  EXPECT_STREQ(settings.apps[1 - rect].path, "C:\\AREA.EXE");
  EXPECT_EQ(settings.apps[1 - rect].area, 4);
  EXPECT_STREQ(settings.apps[rect].path, "C:\\RECT.EXE");
  EXPECT_EQ(settings.apps[rect].area, 10);
  const PlacementRect& r = settings.apps[rect].customRect;
  EXPECT_EQ(r.left, -10);
  EXPECT_EQ(r.top, 20);
  EXPECT_EQ(r.right, 300);
  EXPECT_EQ(r.bottom, -5);
  FreeProductSettings(&settings);
}

}  // namespace
