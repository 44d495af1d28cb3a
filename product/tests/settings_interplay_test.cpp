// The product reads the settings file that the setup's settings subsystem
// writes: both sides of the file's layout, end to end under Wine.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "common/tests/test_registry.h"
#include "common/setup_state.h"
#include "product/product_settings.h"
#include "settings/app_list.h"
#include "settings/settings_file.h"
#include "settings/settings_store.h"

namespace {

const char kCompanyKey[] = "Software\\Quillfern";

std::string ReadAll(const char* path) {
  std::string bytes;
  HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                            nullptr);
  char buffer[4096];
  DWORD got = 0;
  while (file != INVALID_HANDLE_VALUE && ReadFile(file, buffer, sizeof buffer, &got, nullptr) &&
         got > 0)
    bytes.append(buffer, got);
  if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
  return bytes;
}

TEST(SettingsInterplay, TheProductReadsWhatTheSetupWrote) {
  ScopedTestKey guard(HKEY_CURRENT_USER, kCompanyKey);
  ResetSetupState();
  // Margins: two icon steps at the left (stored in icon steps), 12 and 24
  // pixels at the top and right, none at the bottom.
  CoverageAreaSettings coverage = {150, 12, 24, 0, 500, 300, 1, 0};
  WriteCoverageArea(&coverage);
  for (int area = WholeArea; area <= LowerRight; area++)
    WriteHotKey(static_cast<Area>(area), 0x30041u + static_cast<uint32_t>(area));
  WriteAlwaysMove((BottomHalf << 16) | 1);
  char program[MAX_PATH], shortProgram[MAX_PATH];
  GetModuleFileNameA(nullptr, program, sizeof program);
  GetShortPathNameA(program, shortProgram, sizeof shortProgram);
  WriteAppEntry(program, UpperRight, nullptr);

  char temp[MAX_PATH];
  GetTempPathA(sizeof temp, temp);
  const std::string path = std::string(temp) + "interplay.MorvantileSettings";
  ASSERT_EQ(WriteSettingsFile(path.c_str()), 1);
  const std::string file = ReadAll(path.c_str());
  DeleteFileA(path.c_str());

  RECT work;
  SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
  const PlacementRect workArea = {work.left, work.top, work.right, work.bottom};
  ProductSettings settings;
  DefaultProductSettings(workArea, 75, &settings);
  ASSERT_EQ(ReadSettingsFileImage(reinterpret_cast<const unsigned char*>(file.data()),
                                  file.size(), workArea, GetSystemMetrics(SM_CXICONSPACING),
                                  GetSystemMetrics(SM_CYICONSPACING), &settings),
            1);
  for (int area = WholeArea; area <= LowerRight; area++)
    EXPECT_EQ(settings.hotKeys[area - 1], 0x30041u + static_cast<uint32_t>(area)) << area;
  EXPECT_EQ(settings.layout.leftMargin, 150);
  EXPECT_EQ(settings.layout.topMargin, 12);
  EXPECT_EQ(settings.layout.rightMargin, 24);
  EXPECT_EQ(settings.layout.bottomMargin, 0);
  EXPECT_EQ(settings.layout.splitX, 500);
  EXPECT_EQ(settings.layout.splitY, 300);
  EXPECT_EQ(settings.snapToIconGrid, 1);
  EXPECT_EQ(settings.catchAllArea, BottomHalf);
  ASSERT_EQ(settings.appCount, 1u);
  EXPECT_STREQ(settings.apps[0].path, shortProgram);
  EXPECT_EQ(settings.apps[0].area, UpperRight);
  FreeProductSettings(&settings);
}

}  // namespace
