#include <gtest/gtest.h>

#include <string.h>

#include <string>
#include <vector>

#include "common/memory.h"
#include "settings/settings_file_layout.h"

namespace {

const size_t kScreensaverAt = 4 + 8;
const size_t kClipPrintAt = 28 + 8;
const size_t kColourAt = 108 + 8;
const size_t kAreaAt = 128 + 8;
const size_t kEdgesAt = kAreaAt + 79;
const size_t kAppListAt = 391 + 8;

// Every setting at its default on a 1024 x 768 work area with 75 x 75 icons.
SettingsFileInputs DefaultInputs() {
  SettingsFileInputs in;
  memset(&in, 0, sizeof in);
  in.screensaver = {0, UpperLeft, LowerRight, 4, 2};
  strcpy(in.clipPrint.faceName, "Times New Roman");
  in.clipPrint.fontSize = 10;
  in.clipPrint.hotKey = 0x60050;
  in.clipPrint.formatCount = 1;
  in.coverage = {75, 0, 0, 0, 587, 384, 1, 0};
  in.workArea = {0, 0, 1024, 768};
  in.iconSpacingX = in.iconSpacingY = 75;
  const uint32_t hotKeys[9] = {0x60024, 0x60025, 0x60026, 0x60027, 0x60028,
                               0x60031, 0x60032, 0x60033, 0x60034};
  memcpy(in.hotKeys, hotKeys, sizeof hotKeys);
  in.alwaysMove = 0x10001;
  return in;
}

std::vector<uint8_t> Assemble(const SettingsFileInputs& in) {
  size_t size = 0;
  uint8_t* bytes = AssembleSettingsFile(&in, &size);
  EXPECT_NE(bytes, nullptr);
  std::vector<uint8_t> file(bytes, bytes + size);
  MemFree(bytes);
  return file;
}

uint32_t U32(const std::vector<uint8_t>& file, size_t at) {
  return file[at] | file[at + 1] << 8 | file[at + 2] << 16 | static_cast<uint32_t>(file[at + 3]) << 24;
}
uint16_t U16(const std::vector<uint8_t>& file, size_t at) {
  return static_cast<uint16_t>(file[at] | file[at + 1] << 8);
}
std::vector<uint8_t> Slice(const std::vector<uint8_t>& file, size_t at, size_t count) {
  return std::vector<uint8_t>(file.begin() + at, file.begin() + at + count);
}

struct Edge {
  uint16_t code;
  uint32_t pixels;
  uint32_t iconSteps;
};

Edge EdgeAt(const std::vector<uint8_t>& file, int which) {
  size_t at = kEdgesAt + which * 44;
  EXPECT_EQ(U16(file, at), 243);
  for (size_t zero : {4, 5, 6, 7, 8, 9, 10, 11, 36, 37, 38, 39, 40, 41, 42, 43}) EXPECT_EQ(file[at + zero], 0);
  for (size_t zero = 16; zero < 32; ++zero) EXPECT_EQ(file[at + zero], 0);
  return {U16(file, at + 2), U32(file, at + 12), U32(file, at + 32)};
}

void ExpectEdge(const Edge& edge, uint16_t code, uint32_t pixels, uint32_t iconSteps) {
  EXPECT_EQ(edge.code, code);
  EXPECT_EQ(edge.pixels, pixels);
  EXPECT_EQ(edge.iconSteps, iconSteps);
}

TEST(SettingsFileLayout, WithoutApplicationsIs418BytesInFiveChunks) {
  std::vector<uint8_t> file = Assemble(DefaultInputs());
  ASSERT_EQ(file.size(), 418u);
  EXPECT_EQ(Slice(file, 0, 4), (std::vector<uint8_t>{'M', 'V', 0x00, 0x03}));
  EXPECT_EQ(Slice(file, 4, 8), (std::vector<uint8_t>{3, 0, 1, 0, 0x10, 0, 0, 0}));
  EXPECT_EQ(Slice(file, 28, 8), (std::vector<uint8_t>{6, 0, 1, 0, 0x48, 0, 0, 0}));
  EXPECT_EQ(Slice(file, 108, 8), (std::vector<uint8_t>{1, 0, 1, 0, 0x0C, 0, 0, 0}));
  EXPECT_EQ(Slice(file, 128, 8), (std::vector<uint8_t>{5, 0, 1, 0, 0xFF, 0, 0, 0}));
  EXPECT_EQ(Slice(file, 391, 8), (std::vector<uint8_t>{7, 0, 1, 0, 19, 0, 0, 0}));
  // The catch-all entry alone: identifier 1, index 0, AlwaysMove's Area 1.
  EXPECT_EQ(Slice(file, kAppListAt, 19),
            (std::vector<uint8_t>{0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 1, 0, '*', 0, 0, 0, 0}));
}

TEST(SettingsFileLayout, DisabledScreensaverStoresTheFixedSizeAndDelay) {
  SettingsFileInputs in = DefaultInputs();
  in.screensaver = {0, UpperRight, LowerLeft, 7, 9};
  std::vector<uint8_t> file = Assemble(in);
  EXPECT_EQ(Slice(file, kScreensaverAt, 16),
            (std::vector<uint8_t>{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 10, 0, 2, 0}));

  in.screensaver = {1, UpperRight, LowerLeft, 0x10007, 0x20009};
  file = Assemble(in);
  EXPECT_EQ(Slice(file, kScreensaverAt, 16),
            (std::vector<uint8_t>{2, 4, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 7, 0, 9, 0}));
  in.screensaver = {1, Custom, UpperLeft, 4, 2};  // no bit for an Area outside 6..9
  EXPECT_EQ(Assemble(in)[kScreensaverAt], 0);
  EXPECT_EQ(Assemble(in)[kScreensaverAt + 1], 1);
}

TEST(SettingsFileLayout, StoresTheClipPrintRecordByteForByte) {
  SettingsFileInputs in = DefaultInputs();
  memset(in.clipPrint.faceName, 0, sizeof in.clipPrint.faceName);
  strcpy(in.clipPrint.faceName, "Times New Roman");
  memcpy(in.clipPrint.faceName, "Arial", 6);  // the default's tail stays behind
  in.clipPrint.marginBottom = 7;
  std::vector<uint8_t> file = Assemble(in);
  EXPECT_EQ(0, memcmp(&file[kClipPrintAt], &in.clipPrint, 72));
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&file[kClipPrintAt + 6])), "New Roman");
  EXPECT_EQ(U32(file, kClipPrintAt + 60), 7u);
  EXPECT_EQ(U32(file, kClipPrintAt + 64), 1u);  // formatCount and three zeros
}

TEST(SettingsFileLayout, MapsColoursByTheLow16Bits) {
  SettingsFileInputs in = DefaultInputs();
  const uint32_t codes[] = {101, 111, 109, 106, 103, 105, 102, 104, 108};
  for (uint32_t colors = 0; colors <= 8; ++colors) EXPECT_EQ(ColourCode(colors), codes[colors]);
  in.colors = 0x70003;
  std::vector<uint8_t> file = Assemble(in);
  EXPECT_EQ(U32(file, kColourAt), 0u);
  EXPECT_EQ(U32(file, kColourAt + 4), 106u);
  EXPECT_EQ(U32(file, kColourAt + 8), 0u);
  EXPECT_EQ(ColourCode(9), 0u);
  EXPECT_EQ(ColourCode(0xFFFF), 0u);
}

TEST(SettingsFileLayout, AreaRecordCarriesHotKeysSplitsAndCoverage) {
  SettingsFileInputs in = DefaultInputs();
  in.workArea = {0, 30, 1024, 738};
  in.coverage = {75, 5, 10, 20, 400, 300, 1, 0};
  std::vector<uint8_t> file = Assemble(in);
  EXPECT_EQ(file[kAreaAt], 0);
  EXPECT_EQ(U16(file, kAreaAt + 1), 1);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&file[kAreaAt + 3])), "Default");
  for (int k = 0; k < 9; ++k) EXPECT_EQ(U32(file, kAreaAt + 11 + 4 * k), in.hotKeys[k]);
  EXPECT_EQ(U32(file, kAreaAt + 47), 7u);
  EXPECT_EQ(U32(file, kAreaAt + 51), 1u);
  EXPECT_EQ(U32(file, kAreaAt + 55), 400u);
  EXPECT_EQ(U32(file, kAreaAt + 59), 300u);
  EXPECT_EQ(U32(file, kAreaAt + 63), 75u);
  EXPECT_EQ(U32(file, kAreaAt + 67), 35u);
  EXPECT_EQ(U32(file, kAreaAt + 71), 1014u);
  EXPECT_EQ(U32(file, kAreaAt + 75), 718u);
  in.coverage.snapToIconGrid = 0;
  EXPECT_EQ(U32(Assemble(in), kAreaAt + 47), 6u);
}

TEST(SettingsFileLayout, EdgesOnTheWorkAreaCarryCodesOrPixels) {
  SettingsFileInputs in = DefaultInputs();
  in.coverage = {0, 0, 0, 0, 512, 384, 1, 0};  // the whole work area
  std::vector<uint8_t> file = Assemble(in);
  ExpectEdge(EdgeAt(file, 0), 0, 0, 0);
  ExpectEdge(EdgeAt(file, 1), 1, 0, 0);
  ExpectEdge(EdgeAt(file, 2), 2, 0, 0);
  ExpectEdge(EdgeAt(file, 3), 3, 0, 0);

  in.workArea = {10, 20, 1024, 768};  // left and top on the work area: pixels
  file = Assemble(in);
  ExpectEdge(EdgeAt(file, 0), 0, 10, 0);
  ExpectEdge(EdgeAt(file, 1), 1, 20, 0);
}

TEST(SettingsFileLayout, AnEdgeOnTheWorkAreaIsNeverCountedInIconSteps) {
  SettingsFileInputs in = DefaultInputs();
  in.workArea = {150, 100, 1024, 768};  // both on the icon grid
  in.coverage = {0, 0, 0, 0, 512, 384, 1, 0};
  std::vector<uint8_t> file = Assemble(in);
  ExpectEdge(EdgeAt(file, 0), 0, 150, 0);
  ExpectEdge(EdgeAt(file, 1), 1, 100, 0);
  // The far edges take their codes before the grid is looked at.
  in.coverage.snapToIconGrid = 0;
  file = Assemble(in);
  ExpectEdge(EdgeAt(file, 2), 2, 0, 0);
  ExpectEdge(EdgeAt(file, 3), 3, 0, 0);
}

TEST(SettingsFileLayout, SnappedEdgesOnTheIconGridCountHundredthsOfASpacing) {
  SettingsFileInputs in = DefaultInputs();
  in.iconSpacingY = 50;
  in.coverage = {150, 100, 100, 68, 0, 0, 1, 0};
  std::vector<uint8_t> file = Assemble(in);
  ExpectEdge(EdgeAt(file, 0), 0, 0, 200);   // 150 = 2 steps of 75
  ExpectEdge(EdgeAt(file, 1), 1, 0, 200);   // 100 = 2 steps of 50
  ExpectEdge(EdgeAt(file, 2), 0, 924, 0);   // 924 is no multiple of 75: pixels
  ExpectEdge(EdgeAt(file, 3), 1, 0, 1400);  // 700 = 14 steps of 50

  in.coverage.snapToIconGrid = 0;  // unsnapped: always pixels, even on the grid
  file = Assemble(in);
  ExpectEdge(EdgeAt(file, 0), 0, 150, 0);
  ExpectEdge(EdgeAt(file, 1), 1, 100, 0);
  ExpectEdge(EdgeAt(file, 3), 1, 700, 0);
}

TEST(SettingsFileLayout, ASnappedEdgeWithoutAnIconSpacingStoresPixels) {
  SettingsFileInputs in = DefaultInputs();
  in.iconSpacingX = 0;
  in.coverage = {150, 0, 0, 0, 0, 0, 1, 0};
  std::vector<uint8_t> file = Assemble(in);
  ExpectEdge(EdgeAt(file, 0), 0, 150, 0);  // never divided by a spacing of 0
}

TEST(SettingsFileLayout, NegativeEdgesAreTestedAsUnsignedNumbers) {
  SettingsFileInputs in = DefaultInputs();
  in.coverage = {-75, 0, 0, 0, 0, 0, 1, 0};
  std::vector<uint8_t> file = Assemble(in);
  // 0xFFFFFFB5 is no multiple of 75 (as an unsigned number): pixels.
  ExpectEdge(EdgeAt(file, 0), 0, 0xFFFFFFB5u, 0);
}

TEST(SettingsFileLayout, ListsApplicationsLastFirstBehindTheCatchAll) {
  SettingsFileInputs in = DefaultInputs();
  const SettingsFileApp apps[] = {
      {"C:\\A.EXE", LeftSide}, {"C:\\PROG~1\\BB.EXE", Custom}, {"C:\\C.EXE", LowerRight}};
  in.apps = apps;
  in.appCount = 3;
  in.alwaysMove = 0x0A0001;  // Custom: no placement code
  std::vector<uint8_t> file = Assemble(in);
  size_t length = 8 + 11 + (8 + 10) + (16 + 10) + (8 + 10);
  ASSERT_EQ(file.size(), 391 + 8 + length);
  EXPECT_EQ(U32(file, 395), length);

  size_t at = kAppListAt + 8;
  struct Expected {
    uint16_t identifier, index, code;
    std::string text1, text2;
  } expected[] = {{1, 3, 0, "*", ""},
                  {4, 2, 0x8001, "", "C:\\C.EXE"},
                  {3, 1, 0, "", "C:\\PROG~1\\BB.EXE"},
                  {2, 0, 0x1001, "", "C:\\A.EXE"}};
  for (const Expected& record : expected) {
    EXPECT_EQ(U16(file, at), record.identifier);
    EXPECT_EQ(U16(file, at + 2), record.index);
    EXPECT_EQ(U16(file, at + 4), record.code);
    at += 6;
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&file[at])), record.text1);
    at += record.text1.size() + 1;
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&file[at])), record.text2);
    at += record.text2.size() + 1;
    EXPECT_EQ(U16(file, at), 0);
    at += 2;
  }
  EXPECT_EQ(at, file.size());
}

// No file larger than the product reads: the step that writes it fails
// instead, and the registry keeps the settings.
TEST(SettingsFileLayout, NoFileLargerThanTheProductReads) {
  SettingsFileInputs in = DefaultInputs();
  std::string longPath = "C:\\" + std::string(2034, 'X');   // a record of 2,047 bytes
  std::vector<SettingsFileApp> apps(513, SettingsFileApp{longPath.c_str(), LeftSide});
  std::string last(84, 'Y');   // 418 + 512 * 2,047 + 94 bytes: 1 MiB exactly
  apps.back().path = last.c_str();
  in.apps = apps.data();
  in.appCount = static_cast<uint32_t>(apps.size());
  EXPECT_EQ(Assemble(in).size(), kLargestSettingsFile);

  last += 'Y';
  apps.back().path = last.c_str();
  size_t size = 0;
  EXPECT_EQ(AssembleSettingsFile(&in, &size), nullptr);
}

TEST(SettingsFileLayout, PlacementCodesCoverTheNineAreasOnly) {
  EXPECT_EQ(PlacementCode(WholeArea), 0x0001);
  EXPECT_EQ(PlacementCode(TopHalf), 0x2001);
  EXPECT_EQ(PlacementCode(UpperLeft), 0x5001);
  EXPECT_EQ(PlacementCode(LowerRight), 0x8001);
  for (int32_t other : {0, 10, -1, 11, 0x7FFFFFFF}) EXPECT_EQ(PlacementCode(other), 0) << other;

  SettingsFileInputs in = DefaultInputs();
  for (uint32_t high : {0u, 10u, 0xFFFFu}) {
    in.alwaysMove = high << 16 | 1;
    EXPECT_EQ(U16(Assemble(in), kAppListAt + 12), 0) << high;
  }
}

}  // namespace
