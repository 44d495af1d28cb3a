#include <gtest/gtest.h>

#include "common/folder_path.h"

TEST(IsFullFolderPath, TakesDrivePathsAndUncShares) {
  for (const char* path : {"C:\\", "c:\\Apps\\Morvantile", "Z:\\a b\\c.d\\", "D:\\Tools",
                           "\\\\server\\share", "\\\\server\\share\\", "\\\\srv\\share\\Apps\\Morvantile"}) {
    EXPECT_EQ(IsFullFolderPath(path), 1) << path;
  }
}

TEST(IsFullFolderPath, RefusesRelativeAndIncompletePaths) {
  for (const char* path : {"", "Morvrel", "Morvrel\\Sub", ".\\Apps", "..\\Apps", "\\Apps", "C:", "C:Apps",
                           "1:\\Apps", "CC:\\Apps", "/usr/apps", "C:/Apps", "\\\\", "\\\\server",
                           "\\\\server\\", "\\\\\\share", "\\\\.\\C:\\Apps"}) {
    EXPECT_EQ(IsFullFolderPath(path), 0) << path;
  }
  EXPECT_EQ(IsFullFolderPath(nullptr), 0);
}

TEST(IsFullFolderPath, RefusesCharactersNoFolderNameHolds) {
  for (const char* path : {"C:\\Apps\\*", "C:\\Ap?s", "\\\\server\\sh*re", "\\\\ser?er\\share",
                           "C:\\\"Apps\"", "C:\\a<b", "C:\\a>b", "C:\\a|b", "C:\\Apps:stream",
                           "C:\\Apps\tTab", "\\\\?\\C:\\Apps"}) {
    EXPECT_EQ(IsFullFolderPath(path), 0) << path;
  }
}

// Paths in a two-byte code page, here Japanese (932): the second byte of
// "ソ" (0x83 0x5C) is a backslash's, that of "ポ" (0x83 0x7C) a bar's.
class ShiftJisPaths : public ::testing::Test {
 protected:
  void SetUp() override {
    for (int byte = 0x81; byte <= 0xFC; ++byte) AnsiLeadBytes[byte] = byte <= 0x9F || byte >= 0xE0;
  }
  void TearDown() override {
    for (unsigned char& lead : AnsiLeadBytes) lead = 0;
  }
};

TEST_F(ShiftJisPaths, SecondBytesAreNeitherBackslashesNorBars) {
  const char* portable = "D:\\\x83\x7C\x81\x5B\x83\x5E\x83\x75\x83\x8B";   // D:\ポータブル
  EXPECT_EQ(IsFullFolderPath(portable), 1);
  EXPECT_EQ(IsFullFolderPath("\\\\server\\\x83\x5C\x83\x74\x83\x67"), 1) << "a share named ソフト";
  EXPECT_EQ(IsFullFolderPath("D:\\\x83\x7C|"), 0) << "a bar of its own is still refused";

  char folder[] = "D:\\\x83\x5C\\\x95\x5C";   // D:\ソ\表
  EXPECT_EQ(LastBackslash(folder), folder + 5);
  char single[] = "D:\\\x95\x5C";
  EXPECT_EQ(LastBackslash(single), single + 2);
  EXPECT_EQ(NextBackslash("\x83\x5C"), nullptr);
  const char* cut = "a\x83";   // a lead byte that ends the text
  EXPECT_EQ(NextCharacter(cut + 1), cut + 2);

  TearDown();   // read byte by byte, as in a one-byte code page
  EXPECT_EQ(IsFullFolderPath(portable), 0);
  EXPECT_EQ(LastBackslash(single), single + 4);
}
