#include <string.h>

#include "settings/tests/settings_fixture.h"
#include "settings/settings_store.h"

namespace {

const std::string kClipPrint = Join(kCurrentKey, "ClipPrint");
const std::string kCoverage = Join(kCurrentKey, "CoverageArea");
const std::string kHotKeys = Join(kCurrentKey, "HotKeys");
const std::string kScreensaver = Join(kCurrentKey, "Screensaver");

using SettingsStore = SettingsTest;
using SettingsStoreShortValues = SettingsTest;

std::string FaceNameBytes(const ClipPrintSettings& settings) {
  return std::string(settings.faceName, sizeof settings.faceName);
}

TEST_F(SettingsStore, ClipPrintStartsFromItsDefaultsAndStoresThem) {
  ClipPrintSettings settings;
  memset(&settings, 0xCC, sizeof settings);
  ReadClipPrint(&settings);
  EXPECT_EQ(FaceNameBytes(settings), std::string("Times New Roman") + std::string(17, '\0'));
  EXPECT_EQ(settings.fontSize, 10);
  EXPECT_EQ(settings.hotKey, 0x60050u);
  EXPECT_EQ(settings.marginLeft | settings.marginTop | settings.marginRight | settings.marginBottom,
            0);
  EXPECT_EQ(settings.formatCount, 1);
  EXPECT_EQ(settings.zero[0] | settings.zero[1] | settings.zero[2], 0);
  EXPECT_EQ(settings.formatBit0 | settings.formatBit1 | settings.formatBit2, 0);

  EXPECT_EQ(GetDword(kClipPrint, "HotKey"), 0x60050u);
  EXPECT_EQ(GetDword(kClipPrint, "SizeFormat"), 0xA10u);
  EXPECT_EQ(GetText(kClipPrint, "FaceName"), std::string("Times New Roman", 16));
}

TEST_F(SettingsStore, SizeFormatUnpacksEveryFieldAndRaisesAZeroCount) {
  SetDword(kClipPrint, "HotKey", 0x70051);
  SetDword(kClipPrint, "SizeFormat", 0x12345A07);
  SetText(kClipPrint, "FaceName", "Arial");
  ClipPrintSettings settings;
  ReadClipPrint(&settings);
  EXPECT_EQ(settings.marginLeft, 1);
  EXPECT_EQ(settings.marginTop, 2);
  EXPECT_EQ(settings.marginRight, 3);
  EXPECT_EQ(settings.marginBottom, 4);
  EXPECT_EQ(settings.fontSize, 0x5A);
  EXPECT_EQ(settings.formatCount, 1);
  EXPECT_EQ(settings.formatBit0, 1);
  EXPECT_EQ(settings.formatBit1, 1);
  EXPECT_EQ(settings.formatBit2, 1);
  EXPECT_EQ(settings.hotKey, 0x70051u);
  // A short name leaves the rest of the default name behind its NUL.
  EXPECT_EQ(FaceNameBytes(settings), std::string("Arial\0New Roman", 15) + std::string(17, '\0'));
  // Nothing was missing, so nothing was written back.
  EXPECT_EQ(GetDword(kClipPrint, "SizeFormat"), 0x12345A07u);

  settings.formatCount = 2;
  WriteClipPrint(&settings);
  EXPECT_EQ(GetDword(kClipPrint, "SizeFormat"), 0x12345A27u);
}

TEST_F(SettingsStore, WriteClipPrintClampsTheCallersRecord) {
  ClipPrintSettings settings;
  ReadClipPrint(&settings);
  settings.fontSize = 300;
  settings.marginLeft = 20;
  settings.marginBottom = 16;
  settings.formatCount = 200;
  WriteClipPrint(&settings);
  EXPECT_EQ(settings.fontSize, 255);
  EXPECT_EQ(settings.marginLeft, 15);
  EXPECT_EQ(settings.marginBottom, 15);
  EXPECT_EQ(settings.formatCount, 15);
  EXPECT_EQ(GetDword(kClipPrint, "SizeFormat"), 0xF00FFFF0u);
}

TEST_F(SettingsStore, WriteClipPrintLeavesTheRecordAloneWhenItsKeyCannotBeMade) {
  memset(SetupState.settingsKeyPath, 'k', 250);  // "%s\\ClipPrint" does not fit
  SetupState.settingsKeyPath[250] = '\0';
  ClipPrintSettings settings;
  memset(&settings, 0, sizeof settings);
  settings.fontSize = 300;
  settings.marginTop = 20;
  settings.formatCount = 200;
  WriteClipPrint(&settings);
  EXPECT_EQ(settings.fontSize, 300);
  EXPECT_EQ(settings.marginTop, 20);
  EXPECT_EQ(settings.formatCount, 200);
}

TEST_F(SettingsStore, ALongFaceNameIsReplacedByTheDefault) {
  SetDword(kClipPrint, "HotKey", 0x60050);
  SetDword(kClipPrint, "SizeFormat", 0xA10);
  SetText(kClipPrint, "FaceName", std::string(32, 'x'));
  ClipPrintSettings settings;
  ReadClipPrint(&settings);
  EXPECT_STREQ(settings.faceName, "Times New Roman");
  EXPECT_EQ(GetText(kClipPrint, "FaceName"), std::string("Times New Roman", 16));

  SetText(kClipPrint, "FaceName", std::string(31, 'y'));  // fits with its NUL
  ReadClipPrint(&settings);
  EXPECT_EQ(std::string(settings.faceName), std::string(31, 'y'));
}

TEST_F(SettingsStore, AFaceNameFillingTheBufferWithoutTerminatorCountsAsMissing) {
  SetDword(kClipPrint, "HotKey", 0x60050);
  SetDword(kClipPrint, "SizeFormat", 0xA10);
  std::string full(32, 'z');
  SetValue(kClipPrint, "FaceName", REG_SZ, full.data(), 32);
  ClipPrintSettings settings;
  ReadClipPrint(&settings);
  EXPECT_STREQ(settings.faceName, "Times New Roman");
  EXPECT_EQ(GetText(kClipPrint, "FaceName"), std::string("Times New Roman", 16));

  // A shorter text stored without its NUL is still a whole name.
  SetValue(kClipPrint, "FaceName", REG_SZ, "Arial", 5);
  ReadClipPrint(&settings);
  EXPECT_EQ(FaceNameBytes(settings), std::string("Arial\0New Roman", 15) + std::string(17, '\0'));
}

TEST_F(SettingsStore, HotKeysDefaultPerAreaAndAreaZeroTouchesNothing) {
  EXPECT_EQ(ReadHotKey(None), 0u);
  EXPECT_FALSE(KeyExists(kCurrentKey));

  EXPECT_EQ(ReadHotKey(UpperRight), 0x60032u);
  EXPECT_EQ(GetDword(kHotKeys, "Upper-Right"), 0x60032u);
  EXPECT_EQ(CountValues(kHotKeys), 1u);

  const uint32_t defaults[] = {0x60024, 0x60025, 0x60026, 0x60027, 0x60028,
                               0x60031, 0x60032, 0x60033, 0x60034};
  for (int area = 1; area <= 9; ++area)
    EXPECT_EQ(ReadHotKey(static_cast<Area>(area)), defaults[area - 1]) << area;
  WriteHotKey(LeftSide, 0x30041);
  EXPECT_EQ(ReadHotKey(LeftSide), 0x30041u);
  EXPECT_EQ(GetDword(kHotKeys, "Left Side"), 0x30041u);
}

TEST_F(SettingsStore, AreaNamesFollowTheCodes) {
  EXPECT_STREQ(AreaName(RemoveFromList), "* Remove From List");
  EXPECT_STREQ(AreaName(None), "None");
  EXPECT_STREQ(AreaName(WholeArea), "Whole Area");
  EXPECT_STREQ(AreaName(BottomHalf), "Bottom Half");
  EXPECT_STREQ(AreaName(LowerLeft), "Lower-Left");
  EXPECT_STREQ(AreaName(Custom), "Custom");
  EXPECT_STREQ(AreaName(static_cast<Area>(11)), "");
  EXPECT_STREQ(AreaName(static_cast<Area>(-2)), "");
}

TEST_F(SettingsStore, ScalarsAreRepairedWithTheirDefaultsButUpgradeVerIsNot) {
  EXPECT_EQ(ReadUpgradeVer(), 0u);
  EXPECT_FALSE(KeyExists(kCurrentKey));
  EXPECT_EQ(ReadColors(), 0u);
  EXPECT_EQ(GetDword(kCurrentKey, "Colors"), 0u);
  EXPECT_EQ(ReadAlwaysMove(), 0x10001u);
  EXPECT_EQ(GetDword(kCurrentKey, "AlwaysMove"), 0x10001u);
  EXPECT_EQ(ReadAutoPos(), 26u);
  EXPECT_EQ(GetDword(kCurrentKey, "AutoPos"), 26u);
  EXPECT_FALSE(HasValue(kCurrentKey, "UpgradeVer"));

  WriteUpgradeVer(204);
  WriteColors(0x50003);
  EXPECT_EQ(ReadUpgradeVer(), 204u);
  EXPECT_EQ(ReadColors(), 0x50003u);
  // Numbers are read whatever their stored type.
  SetValue(kCurrentKey, "AutoPos", REG_BINARY, "\x01\x02\x03\x04", 4);
  EXPECT_EQ(ReadAutoPos(), 0x04030201u);
}

TEST_F(SettingsStore, AccessorsFollowTheKeyPathOfTheMoment) {
  strcpy(SetupState.settingsKeyPath, kOlderKey);
  EXPECT_EQ(ReadColors(), 0u);
  EXPECT_TRUE(HasValue(kOlderKey, "Colors"));
  EXPECT_FALSE(KeyExists(kCurrentKey));
}

TEST_F(SettingsStore, CoverageAreaDefaultsComeFromTheScreen) {
  // Wine's 1024 x 768 display, icon spacing 75.
  CoverageAreaSettings coverage;
  ReadCoverageArea(&coverage);
  EXPECT_EQ(coverage.leftMargin, 75);
  EXPECT_EQ(coverage.topMargin, 0);
  EXPECT_EQ(coverage.rightMargin, 0);
  EXPECT_EQ(coverage.bottomMargin, 0);
  EXPECT_EQ(coverage.splitX, 512 + 75);
  EXPECT_EQ(coverage.splitY, 384);
  EXPECT_EQ(coverage.snapToIconGrid, 1);
  EXPECT_EQ(coverage.snapsHigh, 0);
  EXPECT_EQ(GetDword(kCoverage, "LeftTop"), 75u);
  EXPECT_EQ(GetDword(kCoverage, "VertHorz"), 384u << 16 | 587u);
  EXPECT_EQ(GetDword(kCoverage, "Snaps"), 1u);
}

TEST_F(SettingsStore, CoverageAreaKeepsWhatWasReadAndRewritesTheGroup) {
  SetDword(kCoverage, "LeftTop", 0x00200010);
  SetDword(kCoverage, "RightBottom", 0x00400030);
  SetDword(kCoverage, "VertHorz", 0x01000200);
  CoverageAreaSettings coverage;
  ReadCoverageArea(&coverage);
  EXPECT_EQ(coverage.leftMargin, 0x10);
  EXPECT_EQ(coverage.topMargin, 0x20);
  EXPECT_EQ(coverage.rightMargin, 0x30);
  EXPECT_EQ(coverage.bottomMargin, 0x40);
  EXPECT_EQ(coverage.splitX, 0x200);
  EXPECT_EQ(coverage.splitY, 0x100);
  EXPECT_EQ(coverage.snapToIconGrid, 1);
  EXPECT_EQ(coverage.snapsHigh, 0);
  EXPECT_EQ(GetDword(kCoverage, "Snaps"), 1u);
  EXPECT_EQ(GetDword(kCoverage, "LeftTop"), 0x00200010u);
}

TEST_F(SettingsStore, NegativeMarginsAreStoredAsHalvesAndReadBackZeroExtended) {
  CoverageAreaSettings coverage = {-5, 7, -1, 0, -2, 3, 0, 0xABCD};
  WriteCoverageArea(&coverage);
  EXPECT_EQ(GetDword(kCoverage, "LeftTop"), 0x0007FFFBu);
  EXPECT_EQ(GetDword(kCoverage, "RightBottom"), 0x0000FFFFu);
  EXPECT_EQ(GetDword(kCoverage, "VertHorz"), 0x0003FFFEu);
  EXPECT_EQ(GetDword(kCoverage, "Snaps"), 0xABCD0000u);
  CoverageAreaSettings read;
  ReadCoverageArea(&read);
  EXPECT_EQ(read.leftMargin, 65531);
  EXPECT_EQ(read.topMargin, 7);
  EXPECT_EQ(read.rightMargin, 65535);
  EXPECT_EQ(read.splitX, 65534);
  EXPECT_EQ(read.snapToIconGrid, 0);
  EXPECT_EQ(read.snapsHigh, 0xABCD);
}

TEST_F(SettingsStore, ScreensaverDefaultsAndHalves) {
  ScreensaverSettings settings;
  ReadScreensaver(&settings);
  EXPECT_EQ(settings.enabled, 0);
  EXPECT_EQ(settings.firstCorner, 6);
  EXPECT_EQ(settings.secondCorner, 9);
  EXPECT_EQ(settings.size, 4);
  EXPECT_EQ(settings.delay, 2);
  EXPECT_EQ(GetDword(kScreensaver, "EnableSize"), 0x40000u);
  EXPECT_EQ(GetDword(kScreensaver, "Position"), 0x90006u);
  EXPECT_EQ(GetDword(kScreensaver, "Delay"), 2u);

  SetDword(kScreensaver, "EnableSize", 0xFFFF0001);
  SetDword(kScreensaver, "Position", 0x00070008);
  SetDword(kScreensaver, "Delay", 0x12345);
  ReadScreensaver(&settings);
  EXPECT_EQ(settings.enabled, 1);
  EXPECT_EQ(settings.size, 0xFFFF);
  EXPECT_EQ(settings.firstCorner, 8);
  EXPECT_EQ(settings.secondCorner, 7);
  EXPECT_EQ(settings.delay, 0x12345);
}

TEST_F(SettingsStore, SizeFormatPackingDoesNotMaskTheFields) {
  ClipPrintSettings settings;
  memset(&settings, 0, sizeof settings);
  settings.formatBit0 = 5;  // any nonzero flag counts as set
  settings.formatCount = 1;
  settings.fontSize = 10;
  EXPECT_EQ(PackSizeFormat(&settings), 0xA11u);
  settings.fontSize = -1;  // not clamped and not masked: spills upwards
  EXPECT_EQ(PackSizeFormat(&settings), 0xFFFFFF11u);
}

}  // namespace

namespace {

// Numbers ignore the stored type but not the size: a value shorter than four
// bytes is its number zero-extended, whatever default the reader started from;
// a longer one (a REG_QWORD) does not fit and is repaired.
TEST_F(SettingsStoreShortValues, ShortNumbersAreZeroExtendedAndLongOnesRepaired) {
  SetValue(kCurrentKey, "AlwaysMove", REG_BINARY, "\x05", 1);
  EXPECT_EQ(ReadAlwaysMove(), 5u);
  SetValue(kHotKeys, "Upper-Right", REG_BINARY, "\x41\x00", 2);
  EXPECT_EQ(ReadHotKey(UpperRight), 0x41u);
  SetValue(kClipPrint, "HotKey", REG_BINARY, "\x51\x00\x07", 3);
  SetDword(kClipPrint, "SizeFormat", 0xA10);
  SetText(kClipPrint, "FaceName", "Arial");
  ClipPrintSettings clip;
  ReadClipPrint(&clip);
  EXPECT_EQ(clip.hotKey, 0x70051u);

  SetValue(kCurrentKey, "Colors", REG_QWORD, "\x03\0\0\0\0\0\0\0", 8);
  EXPECT_EQ(ReadColors(), 0u);
  EXPECT_EQ(GetDword(kCurrentKey, "Colors"), 0u);
}

// A face name is a text of either text type, taken as stored; anything else
// is unreadable, so the group is repaired with the default name.
TEST_F(SettingsStoreShortValues, AFaceNameIsReadFromEitherTextTypeOnly) {
  SetDword(kClipPrint, "HotKey", 0x60050);
  SetDword(kClipPrint, "SizeFormat", 0xA10);
  SetValue(kClipPrint, "FaceName", REG_EXPAND_SZ, "%Arial%", 8);
  ClipPrintSettings clip;
  ReadClipPrint(&clip);
  EXPECT_STREQ(clip.faceName, "%Arial%");
  DWORD type = 0;
  EXPECT_EQ(GetValue(kClipPrint, "FaceName", &type), std::vector<BYTE>({'%', 'A', 'r', 'i', 'a', 'l', '%', 0}))
      << "a readable name is not repaired";
  EXPECT_EQ(type, static_cast<DWORD>(REG_EXPAND_SZ));

  SetValue(kClipPrint, "FaceName", REG_BINARY, "Arial", 6);
  ReadClipPrint(&clip);
  EXPECT_STREQ(clip.faceName, "Times New Roman");
  EXPECT_EQ(GetText(kClipPrint, "FaceName"), std::string("Times New Roman", 16));
}

}  // namespace
