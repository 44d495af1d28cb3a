#include <string.h>

#include "settings/app_list.h"
#include "settings/settings_store.h"
#include "settings/tests/settings_fixture.h"

namespace {

const std::string kAutoApps = Join(kCurrentKey, "AutoApps");

class AppList : public SettingsTest {
 protected:
  void TearDown() override {
    AppListClear();
    SettingsTest::TearDown();
  }
  TempFiles files_;
};

void ExpectRect(const SettingsRect& rect, int32_t left, int32_t top, int32_t right,
                int32_t bottom) {
  EXPECT_EQ(rect.left, left);
  EXPECT_EQ(rect.top, top);
  EXPECT_EQ(rect.right, right);
  EXPECT_EQ(rect.bottom, bottom);
}

uint32_t ListLength() {
  uint32_t count = 0;
  while (AppListAt(count)) ++count;
  return count;
}

TEST_F(AppList, ReadsNumbersAndRectangleTexts) {
  SetText(kAutoApps, "C:\\CUSTOM.EXE", "10,20,300,400");
  SetText(kAutoApps, "C:\\TWO.EXE", "10,20,30");
  SetDword(kAutoApps, "C:\\LEFT.EXE", LeftSide);

  AppEntry* entry = ReadAppEntry("C:\\CUSTOM.EXE");
  ASSERT_EQ(entry, &currentAppEntry);
  EXPECT_STREQ(entry->path, "C:\\CUSTOM.EXE");
  EXPECT_EQ(entry->area, Custom);
  ExpectRect(entry->customRect, 10, 20, 300, 400);

  // A number clears the rectangle of the read before.
  entry = ReadAppEntry("C:\\LEFT.EXE");
  ASSERT_NE(entry, nullptr);
  EXPECT_EQ(entry->area, LeftSide);
  ExpectRect(entry->customRect, 0, 0, 0, 0);

  entry = ReadAppEntry("C:\\TWO.EXE");
  ASSERT_NE(entry, nullptr);
  EXPECT_EQ(entry->area, Custom);
  ExpectRect(entry->customRect, 0, 0, 0, 0);

  EXPECT_EQ(ReadAppEntry("C:\\NONE.EXE"), nullptr);
}

TEST_F(AppList, RefusesOtherTypesAndOverlongOrUnterminatedData) {
  SetValue(kAutoApps, "C:\\BINARY.EXE", REG_BINARY, "\x01\x00\x00\x00", 4);
  EXPECT_EQ(ReadAppEntry("C:\\BINARY.EXE"), nullptr);

  std::string longest(63, '1');  // 63 characters and the NUL: 64 bytes
  SetText(kAutoApps, "C:\\FITS.EXE", longest);
  EXPECT_NE(ReadAppEntry("C:\\FITS.EXE"), nullptr);
  SetText(kAutoApps, "C:\\LONG.EXE", std::string(64, '1'));
  EXPECT_EQ(ReadAppEntry("C:\\LONG.EXE"), nullptr);

  // 64 bytes with no terminator would be parsed past the buffer.
  std::string unterminated = "1,2,3," + std::string(58, '4');
  SetValue(kAutoApps, "C:\\FULL.EXE", REG_SZ, unterminated.data(), 64);
  EXPECT_EQ(ReadAppEntry("C:\\FULL.EXE"), nullptr);
  SetValue(kAutoApps, "C:\\SHORT.EXE", REG_SZ, "1,2,3,4", 7);
  AppEntry* entry = ReadAppEntry("C:\\SHORT.EXE");
  ASSERT_NE(entry, nullptr);
  ExpectRect(entry->customRect, 1, 2, 3, 4);
}

TEST_F(AppList, AWalkEndsAtTheEndAndAtANameTooLongToFetch) {
  EXPECT_EQ(ReadAppEntryAt(0), nullptr);  // no key
  SetDword(kAutoApps, "C:\\A.EXE", WholeArea);
  SetDword(kAutoApps, "C:\\B.EXE", TopHalf);
  ASSERT_NE(ReadAppEntryAt(0), nullptr);
  EXPECT_STREQ(currentAppEntry.path, "C:\\A.EXE");  // Wine enumerates names sorted
  ASSERT_NE(ReadAppEntryAt(1), nullptr);
  EXPECT_STREQ(currentAppEntry.path, "C:\\B.EXE");
  EXPECT_EQ(ReadAppEntryAt(2), nullptr);

  // A name over 2047 characters cannot be fetched whole: no entry, and the
  // walk ends there rather than using a cut name.
  std::string longName = "C:\\C" + std::string(3000, 'x');
  SetDword(kAutoApps, longName.c_str(), LeftSide);
  EXPECT_EQ(ReadAppEntryAt(2), nullptr);
}

// Wine enumerates the names sorted: the odd values come before good ones.
TEST_F(AppList, AWalkSkipsWhatItCannotReadAndOnlyReadValuesAreDeleted) {
  SetValue(kAutoApps, "C:\\A.EXE", REG_BINARY, "\x02\x00\x00\x00", 4);
  SetDword(kAutoApps, "C:\\B.EXE", LeftSide);
  SetDword(kAutoApps, ("C:\\C" + std::string(3000, 'x')).c_str(), TopHalf);  // name too long
  SetText(kAutoApps, "C:\\D.EXE", std::string(64, '1'));
  SetText(kAutoApps, "C:\\E.EXE", "-5,-10,300,400");
  SetValue(kAutoApps, "C:\\F.EXE", REG_EXPAND_SZ, "1,2,3,4", 8);

  DWORD index = 0;
  AppEntry* entry = ReadNextAppEntry(&index);
  ASSERT_NE(entry, nullptr);
  EXPECT_STREQ(entry->path, "C:\\B.EXE");
  EXPECT_EQ(index, 2u);
  entry = ReadNextAppEntry(&index);
  ASSERT_NE(entry, nullptr);
  EXPECT_STREQ(entry->path, "C:\\E.EXE");
  EXPECT_STREQ(entry->rectText, "-5,-10,300,400");
  EXPECT_EQ(ReadNextAppEntry(&index), nullptr);

  EXPECT_EQ(DeleteReadableAppValues(nullptr), 1);
  EXPECT_EQ(CountValues(kAutoApps), 4u);
  EXPECT_FALSE(HasValue(kAutoApps, "C:\\B.EXE"));
  EXPECT_FALSE(HasValue(kAutoApps, "C:\\E.EXE"));
  index = 0;
  EXPECT_EQ(ReadNextAppEntry(&index), nullptr);
}

TEST_F(AppList, MergesLongShortAndCaseDuplicatesIntoTheFirstAdded) {
  std::string longPath = files_.Create("Long Application Name.exe");
  std::string shortPath = ShortPathOf(longPath);
  ASSERT_FALSE(shortPath.empty());
  ASSERT_NE(shortPath, longPath);

  AppEntry* first = AppListAdd(longPath.c_str(), LeftSide, nullptr);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(std::string(first->path), shortPath);
  EXPECT_EQ(AppListAdd(shortPath.c_str(), RightSide, nullptr), nullptr);
  std::string lower = longPath;
  for (char& c : lower) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
  EXPECT_EQ(AppListAdd(lower.c_str(), TopHalf, nullptr), nullptr);
  ASSERT_EQ(ListLength(), 1u);
  EXPECT_EQ(AppListAt(0)->area, LeftSide);

  std::string other = files_.Create("Another Application.exe");
  AppEntry* second = AppListAdd(other.c_str(), WholeArea, nullptr);
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(AppListAt(1), second);
  EXPECT_EQ(AppListAt(2), nullptr);
  AppListClear();
  EXPECT_EQ(AppListAt(0), nullptr);
}

TEST_F(AppList, KeepsARectangleOnlyForCustom) {
  std::string one = files_.Create("One Application.exe");
  std::string two = files_.Create("Two Application.exe");
  SettingsRect rect = {1, 2, 3, 4};
  AppEntry* custom = AppListAdd(one.c_str(), Custom, nullptr);
  ASSERT_NE(custom, nullptr);
  ExpectRect(custom->customRect, 0, 0, 0, 0);
  AppEntry* whole = AppListAdd(two.c_str(), WholeArea, &rect);
  ASSERT_NE(whole, nullptr);
  ExpectRect(whole->customRect, 0, 0, 0, 0);
  AppListClear();
  custom = AppListAdd(one.c_str(), Custom, &rect);
  ASSERT_NE(custom, nullptr);
  ExpectRect(custom->customRect, 1, 2, 3, 4);
}

TEST_F(AppList, RefusesAPathWithoutShortForm) {
  EXPECT_EQ(AppListAdd(files_.Missing("Gone Application.exe").c_str(), WholeArea, nullptr), nullptr);
  EXPECT_EQ(ListLength(), 0u);
}

TEST_F(AppList, WritesUnderTheShortPathAndSkipsMissingFiles) {
  std::string path = files_.Create("Long Application Name.exe");
  std::string shortPath = ShortPathOf(path);
  WriteAppEntry(path.c_str(), Custom, nullptr);
  EXPECT_EQ(GetText(kAutoApps, shortPath.c_str()), std::string("0,0,0,0", 8));
  SettingsRect rect = {-1, 2, 300, 400};
  WriteAppEntry(path.c_str(), Custom, &rect);
  EXPECT_EQ(GetText(kAutoApps, shortPath.c_str()), std::string("-1,2,300,400", 13));
  WriteAppEntry(path.c_str(), BottomHalf, &rect);
  EXPECT_EQ(GetDword(kAutoApps, shortPath.c_str()), static_cast<DWORD>(BottomHalf));
  EXPECT_EQ(CountValues(kAutoApps), 1u);

  WriteAppEntry(path.c_str(), RemoveFromList, nullptr);
  EXPECT_EQ(CountValues(kAutoApps), 0u);

  DeleteTestKey(HKEY_CURRENT_USER, kCurrentCompanyKey);
  WriteAppEntry(path.c_str(), RemoveFromList, nullptr);
  EXPECT_TRUE(KeyExists(kAutoApps));  // created empty
  DeleteTestKey(HKEY_CURRENT_USER, kCurrentCompanyKey);
  WriteAppEntry(files_.Missing("Gone.exe").c_str(), WholeArea, nullptr);
  EXPECT_FALSE(KeyExists(kCurrentKey));
}

}  // namespace
