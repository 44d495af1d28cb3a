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
