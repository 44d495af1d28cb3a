// Settings files are built here byte by byte in the documented layout.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/types.h"
#include "product/product_settings.h"

namespace {

typedef std::vector<unsigned char> Bytes;

const PlacementRect kWorkArea = {0, 0, 1024, 728};
const int32_t kSpacing = 75;

void Put16(Bytes& b, uint32_t v) {
  b.push_back(v & 0xFF);
  b.push_back((v >> 8) & 0xFF);
}
void Put32(Bytes& b, uint32_t v) {
  Put16(b, v & 0xFFFF);
  Put16(b, v >> 16);
}
void PutText(Bytes& b, const std::string& text) {
  b.insert(b.end(), text.begin(), text.end());
  b.push_back(0);
}
void PutChunk(Bytes& file, uint16_t type, const Bytes& payload) {
  Put16(file, type);
  file.push_back(1);
  file.push_back(0);
  Put32(file, static_cast<uint32_t>(payload.size()));
  file.insert(file.end(), payload.begin(), payload.end());
}

// code 0/1 with a pixel coordinate, or a coordinate in icon-spacing steps.
Bytes Edge(uint16_t code, uint32_t pixels, uint32_t hundredths) {
  Bytes e;
  Put16(e, 243);
  Put16(e, code);
  e.resize(12, 0);
  Put32(e, pixels);
  e.resize(32, 0);
  Put32(e, hundredths);
  e.resize(44, 0);
  return e;
}

struct AppRecord {
  uint16_t id, index, code;
  std::string text1, text2;
};

struct FileSpec {
  uint32_t hotKeys[9] = {0x60024, 0x60025, 0x60026, 0x60027, 0x60028,
                         0x60031, 0x60032, 0x60033, 0x60034};
  bool snap = true;
  int32_t splitX = 587, splitY = 364;
  Bytes edges[4] = {Edge(0, 0, 100), Edge(1, 0, 0), Edge(2, 0, 0), Edge(3, 0, 0)};
  std::vector<AppRecord> apps = {{1, 0, 0x0001, "*", ""}};
};

Bytes BuildFile(const FileSpec& spec) {
  Bytes file = {'M', 'V', 0x00, 0x03};
  PutChunk(file, 3, Bytes(16, 0));
  PutChunk(file, 6, Bytes(72, 0));
  PutChunk(file, 1, Bytes(12, 0));
  Bytes area;
  area.push_back(0);
  Put16(area, 1);
  PutText(area, "Default");
  for (uint32_t key : spec.hotKeys) Put32(area, key);
  Put32(area, spec.snap ? 7 : 6);
  Put32(area, 1);
  Put32(area, static_cast<uint32_t>(spec.splitX));
  Put32(area, static_cast<uint32_t>(spec.splitY));
  for (int i = 0; i < 4; i++) Put32(area, 0);   // coverage rectangle at writing time
  for (const Bytes& edge : spec.edges) area.insert(area.end(), edge.begin(), edge.end());
  EXPECT_EQ(area.size(), 255u);
  PutChunk(file, 5, area);
  Bytes apps(8, 0);
  for (const AppRecord& app : spec.apps) {
    Put16(apps, app.id);
    Put16(apps, app.index);
    Put16(apps, app.code);
    PutText(apps, app.text1);
    PutText(apps, app.text2);
    Put16(apps, 0);
  }
  PutChunk(file, 7, apps);
  return file;
}

class SettingsFileReader : public ::testing::Test {
 protected:
  void SetUp() override { DefaultProductSettings(kWorkArea, kSpacing, &settings); }
  void TearDown() override { FreeProductSettings(&settings); }
  int Read(const Bytes& file) {
    return ReadSettingsFileImage(file.data(), file.size(), kWorkArea, kSpacing, 75, &settings);
  }
  ProductSettings settings;
};

TEST_F(SettingsFileReader, AFreshFileGivesTheDefaultLayout) {
  const Bytes file = BuildFile(FileSpec());
  ASSERT_EQ(file.size(), 418u) << "a file without applications";
  ProductSettings defaults;
  DefaultProductSettings(kWorkArea, kSpacing, &defaults);
  settings.layout = CoverageLayout{};
  ASSERT_EQ(Read(file), 1);
  EXPECT_EQ(memcmp(&settings.layout, &defaults.layout, sizeof defaults.layout), 0);
  for (int i = 0; i < 9; i++) EXPECT_EQ(settings.hotKeys[i], DefaultHotKey(i + 1)) << i;
  EXPECT_EQ(settings.snapToIconGrid, 1);
  EXPECT_EQ(settings.catchAllArea, WholeArea);
  EXPECT_EQ(settings.appCount, 0u);
}

TEST_F(SettingsFileReader, ReadsHotKeysDividersAndEdgesInPixelsOrIconSteps) {
  FileSpec spec;
  for (uint32_t i = 0; i < 9; i++) spec.hotKeys[i] = 0x30041 + i;   // Ctrl+Alt+A..I
  spec.snap = false;
  spec.splitX = 500;
  spec.splitY = 300;
  // Left at two icon steps, top at 12 pixels, right at 1000, bottom on the work area's edge.
  spec.edges[0] = Edge(0, 0, 200);
  spec.edges[1] = Edge(1, 12, 0);
  spec.edges[2] = Edge(0, 1000, 0);
  spec.edges[3] = Edge(3, 0, 0);
  ASSERT_EQ(Read(BuildFile(spec)), 1);
  for (uint32_t i = 0; i < 9; i++) EXPECT_EQ(settings.hotKeys[i], 0x30041 + i);
  EXPECT_EQ(settings.snapToIconGrid, 0);
  EXPECT_EQ(settings.layout.leftMargin, 150);
  EXPECT_EQ(settings.layout.topMargin, 12);
  EXPECT_EQ(settings.layout.rightMargin, 24);
  EXPECT_EQ(settings.layout.bottomMargin, 0);
  EXPECT_EQ(settings.layout.splitX, 500);
  EXPECT_EQ(settings.layout.splitY, 300);
}

TEST_F(SettingsFileReader, ReadsTheApplicationListAndTheCatchAllEntry) {
  FileSpec spec;
  spec.apps = {{1, 3, 0x4001, "*", ""},
               {4, 2, 0x0000, "", "C:\\TOOLS\\CUSTOM~1.EXE"},
               {3, 1, 0x8001, "", "C:\\PROGRA~1\\EDITOR\\EDIT.EXE"},
               {2, 0, 0x1001, "", "C:\\WINDOWS\\NOTEPAD.EXE"}};
  ASSERT_EQ(Read(BuildFile(spec)), 1);
  EXPECT_EQ(settings.catchAllArea, BottomHalf);
  ASSERT_EQ(settings.appCount, 3u);
  EXPECT_STREQ(settings.apps[0].path, "C:\\TOOLS\\CUSTOM~1.EXE");
  EXPECT_EQ(settings.apps[0].area, None) << "a custom placement is stored without its rectangle";
  EXPECT_STREQ(settings.apps[1].path, "C:\\PROGRA~1\\EDITOR\\EDIT.EXE");
  EXPECT_EQ(settings.apps[1].area, LowerRight);
  EXPECT_STREQ(settings.apps[2].path, "C:\\WINDOWS\\NOTEPAD.EXE");
  EXPECT_EQ(settings.apps[2].area, LeftSide);
}

TEST_F(SettingsFileReader, RefusesEveryCutShortOrDamagedFileAndKeepsTheSettings) {
  FileSpec spec;
  spec.apps.push_back({2, 0, 0x1001, "", "C:\\WINDOWS\\NOTEPAD.EXE"});
  const Bytes good = BuildFile(spec);
  settings.layout.splitX = 1234;
  for (size_t length = 0; length < good.size(); length++) {
    Bytes cut(good.begin(), good.begin() + length);
    ASSERT_EQ(Read(cut), 0) << "cut at " << length;
  }
  Bytes badMagic = good;
  badMagic[0] = 'X';
  EXPECT_EQ(Read(badMagic), 0);
  Bytes overlong = good;
  overlong[4 + 4] = 0xFF;   // the first chunk claims more bytes than the file has
  EXPECT_EQ(Read(overlong), 0);
  Bytes unterminated = good;
  unterminated[unterminated.size() - 3] = 'X';   // the last path loses its NUL
  EXPECT_EQ(Read(unterminated), 0);
  EXPECT_EQ(settings.layout.splitX, 1234);
  EXPECT_EQ(settings.appCount, 0u);
}

// Edges at the ends of the 32-bit range, against a work area on a monitor
// left of and above the primary one: nothing wraps round into a plausible
// margin, and the geometry then finds no room rather than a wrong one.
TEST_F(SettingsFileReader, EdgesNearTheEndsOfTheRangeSaturateInsteadOfWrapping) {
  const PlacementRect leftMonitor = {-1024, -768, 0, 0};
  FileSpec spec;
  spec.edges[0] = Edge(0, 0x7FFFFFFF, 0);
  spec.edges[1] = Edge(1, 0, 0xFFFFFFFF);   // hundredths of an icon step, far too many
  spec.edges[2] = Edge(0, 0x80000000, 0);
  spec.edges[3] = Edge(1, 0x80000001, 0);
  const Bytes file = BuildFile(spec);
  ASSERT_EQ(ReadSettingsFileImage(file.data(), file.size(), leftMonitor, kSpacing, 75, &settings), 1);
  EXPECT_EQ(settings.layout.leftMargin, INT32_MAX);
  EXPECT_EQ(settings.layout.topMargin, INT32_MAX);
  EXPECT_EQ(settings.layout.rightMargin, INT32_MAX);
  EXPECT_EQ(settings.layout.bottomMargin, INT32_MAX);
  PlacementRect r;
  EXPECT_EQ(AreaRect(WholeArea, leftMonitor, settings.layout, &r), 0);
  EXPECT_EQ(settings.hotKeys[0], 0x60024u) << "the rest of the file still counts";
}

TEST(PlacementCode, MapsTheNineAreasAndNothingElse) {
  for (int32_t area = WholeArea; area <= LowerRight; area++)
    EXPECT_EQ(AreaFromPlacementCode(static_cast<uint32_t>((area - 1) * 4096 + 1)), area);
  for (uint32_t code : {0x0000u, 0x0002u, 0x9001u, 0xF001u, 0x1000u})
    EXPECT_EQ(AreaFromPlacementCode(code), None) << code;
}

TEST(DefaultHotKeys, AreCtrlShiftWithHomeArrowsAndDigits) {
  EXPECT_EQ(DefaultHotKey(WholeArea), 0x60024u);
  EXPECT_EQ(DefaultHotKey(LeftSide), 0x60025u);
  EXPECT_EQ(DefaultHotKey(BottomHalf), 0x60028u);
  EXPECT_EQ(DefaultHotKey(LowerRight), 0x60034u);
  EXPECT_EQ(DefaultHotKey(None), 0u);
  EXPECT_EQ(DefaultHotKey(Custom), 0u);
}

}  // namespace
