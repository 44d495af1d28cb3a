#include <string.h>

#include <fstream>
#include <iterator>

#include "settings/app_list.h"
#include "settings/settings_file.h"
#include "settings/settings_store.h"
#include "settings/tests/settings_fixture.h"

namespace {

class SettingsFile : public SettingsTest {
 protected:
  void SetUp() override {
    SettingsTest::SetUp();
    target_ = files_.folder() + "\\default.MorvantileSettings";
  }
  std::vector<uint8_t> Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
  }
  bool Exists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
  }
  TempFiles files_;
  std::string target_;
};

uint16_t U16(const std::vector<uint8_t>& file, size_t at) {
  return static_cast<uint16_t>(file[at] | file[at + 1] << 8);
}
uint32_t U32(const std::vector<uint8_t>& file, size_t at) {
  return U16(file, at) | static_cast<uint32_t>(U16(file, at + 2)) << 16;
}

TEST_F(SettingsFile, WritesThe418ByteFileFromDefaultsAndCompletesTheRegistry) {
  SetText(Join(kCurrentKey, "ClipPrint"), "FaceName", "Arial");
  ASSERT_EQ(WriteSettingsFile(target_.c_str()), 1);
  std::vector<uint8_t> file = Read(target_);
  ASSERT_EQ(file.size(), 418u);
  const uint8_t header[] = {'M', 'V', 0, 3, 3, 0, 1, 0, 0x10, 0, 0, 0};
  EXPECT_EQ(0, memcmp(file.data(), header, sizeof header));
  EXPECT_EQ(U32(file, 28 + 4), 72u);
  EXPECT_EQ(U32(file, 128 + 4), 255u);
  EXPECT_EQ(U32(file, 391 + 4), 19u);
  // Chunk 6 holds the record as read, the default name's tail included.
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&file[36]), 16),
            std::string("Arial\0New Roman\0", 16));
  // Chunk 5 on Wine's 1024 x 768 work area with 75-pixel icon spacing:
  // split 587/384, coverage (75, 0, 1024, 768); the left edge lies one
  // icon step in (100 hundredths), right and bottom on the work area.
  EXPECT_EQ(U32(file, 136 + 55), 587u);
  EXPECT_EQ(U32(file, 136 + 59), 384u);
  EXPECT_EQ(U32(file, 136 + 63), 75u);
  EXPECT_EQ(U32(file, 136 + 71), 1024u);
  EXPECT_EQ(U32(file, 136 + 79 + 32), 100u);
  EXPECT_EQ(U16(file, 136 + 79 + 88 + 2), 2);
  EXPECT_EQ(U16(file, 136 + 79 + 132 + 2), 3);

  EXPECT_EQ(GetDword(kCurrentKey, "AlwaysMove"), 0x10001u);
  EXPECT_EQ(GetDword(Join(kCurrentKey, "Screensaver"), "Position"), 0x90006u);
  EXPECT_EQ(GetDword(Join(kCurrentKey, "HotKeys"), "Lower-Right"), 0x60034u);
  EXPECT_FALSE(Exists(target_ + ".tmp"));
}

TEST_F(SettingsFile, ListsThreeApplicationsByEnumerationPosition) {
  std::string paths[3] = {ShortPathOf(files_.Create("First Application.exe")),
                          ShortPathOf(files_.Create("Second Application.exe")),
                          ShortPathOf(files_.Create("Third Application.exe"))};
  WriteAppEntry(paths[0].c_str(), LeftSide, nullptr);
  WriteAppEntry(paths[1].c_str(), Custom, nullptr);
  WriteAppEntry(paths[2].c_str(), LowerRight, nullptr);
  WriteAlwaysMove(0x30001);
  // The positions are the registry's enumeration order.
  std::string byPosition[3];
  Area areas[3];
  for (DWORD k = 0; k < 3; ++k) {
    ASSERT_NE(ReadAppEntryAt(k), nullptr);
    byPosition[k] = currentAppEntry.path;
    areas[k] = currentAppEntry.area;
  }
  ASSERT_EQ(WriteSettingsFile(target_.c_str()), 1);
  std::vector<uint8_t> file = Read(target_);
  size_t at = 399 + 8;
  EXPECT_EQ(U16(file, at), 1);
  EXPECT_EQ(U16(file, at + 2), 3);
  EXPECT_EQ(U16(file, at + 4), 0x2001);  // AlwaysMove's TopHalf
  at += 6 + 2 + 1 + 2;
  for (int k = 2; k >= 0; --k) {
    EXPECT_EQ(U16(file, at), k + 2);
    EXPECT_EQ(U16(file, at + 2), k);
    EXPECT_EQ(U16(file, at + 4), areas[k] == LeftSide ? 0x1001 : areas[k] == LowerRight ? 0x8001 : 0);
    EXPECT_EQ(file[at + 6], 0);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&file[at + 7])), byPosition[k]);
    at += 7 + byPosition[k].size() + 1 + 2;
  }
  EXPECT_EQ(at, file.size());
}

// Values the walk cannot read are left out without a gap in the numbering,
// and every readable one after them is listed.
TEST_F(SettingsFile, ListsEveryReadableApplicationPastOnesItCannotRead) {
  const std::string apps = Join(kCurrentKey, "AutoApps");
  SetValue(apps, "C:\\A.EXE", REG_BINARY, "\x02\x00\x00\x00", 4);
  SetDword(apps, "C:\\B.EXE", LeftSide);
  SetText(apps, "C:\\C.EXE", std::string(70, '1'));
  SetDword(apps, "C:\\D.EXE", TopHalf);
  ASSERT_EQ(WriteSettingsFile(target_.c_str()), 1);
  std::vector<uint8_t> file = Read(target_);
  size_t at = 399 + 8;
  EXPECT_EQ(U16(file, at + 2), 2) << "two applications";
  at += 11;
  const struct { int id, index, code; const char* path; } records[] = {
      {3, 1, 0x2001, "C:\\D.EXE"}, {2, 0, 0x1001, "C:\\B.EXE"}};
  for (const auto& record : records) {
    ASSERT_LT(at + 7, file.size());
    EXPECT_EQ(U16(file, at), record.id);
    EXPECT_EQ(U16(file, at + 2), record.index);
    EXPECT_EQ(U16(file, at + 4), record.code);
    EXPECT_STREQ(reinterpret_cast<const char*>(&file[at + 7]), record.path);
    at += 7 + strlen(record.path) + 1 + 2;
  }
  EXPECT_EQ(at, file.size());
}

TEST_F(SettingsFile, ReplacesAnExistingFileWhole) {
  { std::ofstream(target_, std::ios::binary) << std::string(1000, 'o'); }
  ASSERT_EQ(WriteSettingsFile(target_.c_str()), 1);
  EXPECT_EQ(Read(target_).size(), 418u);
}

// Near the path limit the temporary name is shortened, and a file of the
// user's that bears it is left alone.
TEST_F(SettingsFile, WritesTargetsOf252To259CharactersAndSparesAUsersTmpFile) {
  for (size_t length = 252; length <= 259; ++length) {
    const std::string target = files_.folder() + "\\" + std::string(length - files_.folder().size() - 1, 's');
    ASSERT_EQ(target.size(), length);
    ASSERT_EQ(WriteSettingsFile(target.c_str()), 1) << length;
    EXPECT_EQ(Read(target).size(), 418u) << length;
    DeleteFileA(target.c_str());
  }
  { std::ofstream(target_ + ".tmp", std::ios::binary) << "mine"; }
  ASSERT_EQ(WriteSettingsFile(target_.c_str()), 1);
  EXPECT_EQ(Read(target_ + ".tmp"), (std::vector<uint8_t>{'m', 'i', 'n', 'e'}));
  DeleteFileA((target_ + ".tmp").c_str());
}

TEST_F(SettingsFile, AFailureLeavesTheOldFileAndNoTemporaryFile) {
  EXPECT_EQ(WriteSettingsFile((files_.folder() + "\\missing\\default.MorvantileSettings").c_str()),
            0);
  // A target that cannot be replaced: a folder of that name.
  ASSERT_TRUE(CreateDirectoryA(target_.c_str(), nullptr));
  EXPECT_EQ(WriteSettingsFile(target_.c_str()), 0);
  EXPECT_FALSE(Exists(target_ + ".tmp"));
  RemoveDirectoryA(target_.c_str());

  // A target held open without sharing keeps its bytes.
  { std::ofstream(target_, std::ios::binary) << "old"; }
  HANDLE held = CreateFileA(target_.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  EXPECT_EQ(WriteSettingsFile(target_.c_str()), 0);
  CloseHandle(held);
  EXPECT_EQ(Read(target_), (std::vector<uint8_t>{'o', 'l', 'd'}));
  EXPECT_FALSE(Exists(target_ + ".tmp"));
}

}  // namespace
