// Temporary files beside targets of 252 to 259 characters, and a file that
// already bears the temporary name is never touched.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "common/temporary_file.h"

namespace {

std::string ReadAll(const std::string& path) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return "<missing>";
  char buffer[256];
  DWORD got = 0;
  ReadFile(file, buffer, sizeof buffer, &got, nullptr);
  CloseHandle(file);
  return std::string(buffer, got);
}

void WriteAll(const std::string& path, const std::string& bytes) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE) << path;
  DWORD written = 0;
  WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(file);
}

class TemporaryFile : public ::testing::Test {
 protected:
  void SetUp() override {
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    folder_ = std::string(temp) + "mv-temporary-" + std::to_string(GetCurrentProcessId());
    CreateDirectoryA(folder_.c_str(), nullptr);
  }
  void TearDown() override {
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder_ + "\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
      do DeleteFileA((folder_ + "\\" + found.cFileName).c_str());
      while (FindNextFileA(search, &found));
      FindClose(search);
    }
    RemoveDirectoryA(folder_.c_str());
  }
  std::string folder_;
};

}  // namespace

TEST_F(TemporaryFile, IsCreatedBesideTargetsOf252To259Characters) {
  for (size_t length = 252; length <= 259; ++length) {
    const std::string target = folder_ + "\\" + std::string(length - folder_.size() - 1, 'n');
    ASSERT_EQ(target.size(), length);
    char name[MAX_PATH];
    HANDLE file = CreateTemporaryBeside(target.c_str(), ".partial", name);
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << length;
    CloseHandle(file);
    EXPECT_EQ(std::string(name).substr(0, folder_.size() + 1), folder_ + "\\");
    // The whole point: it can then take the target's place.
    EXPECT_TRUE(MoveFileExA(name, target.c_str(), MOVEFILE_REPLACE_EXISTING)) << length;
    EXPECT_EQ(ReadAll(target), "") << length;
    DeleteFileA(target.c_str());
  }
}

TEST_F(TemporaryFile, NeverOpensAFileThatHasTheTemporaryName) {
  const std::string target = folder_ + "\\settings";
  WriteAll(target + ".tmp", "the user's own file");
  WriteAll(target + "~1.tmp", "another of the user's files");
  char name[MAX_PATH];
  HANDLE file = CreateTemporaryBeside(target.c_str(), ".tmp", name);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  CloseHandle(file);
  EXPECT_EQ(std::string(name), target + "~2.tmp");
  EXPECT_EQ(ReadAll(target + ".tmp"), "the user's own file");
  EXPECT_EQ(ReadAll(target + "~1.tmp"), "another of the user's files");
  // A folder that does not exist gives no file, and no endless search.
  EXPECT_EQ(CreateTemporaryBeside((folder_ + "\\missing\\x").c_str(), ".tmp", name), INVALID_HANDLE_VALUE);
}
