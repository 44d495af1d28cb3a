// Extraction from this test program's own resources: the four real
// payloads and a few streams of its own, some of them damaged (see
// payload/extraction.cmake), all checked against the payload table.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "common/memory.h"
#include "payload/payload_decoder.h"
#include "payload/payload_extractor.h"

namespace {

const char kType[] = "FILE_RESOURCE";
const WORD kProgram = 101, kLibrary = 102, kLicence = 116, kProcessStatus = 118;
const WORD kPage = 201, kEmpty = 202, kCutShort = 203, kOtherType = 204;
// Each decodes without error, to bytes its table entry does not describe,
// or is not in the table at all.
const WORD kOtherBytes = 205, kFewerBytes = 206, kNotInTable = 207;

std::string TestFolder() {
  char path[MAX_PATH];
  const DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
  std::string folder(path, length);
  return folder.substr(0, folder.find_last_of('\\'));
}

std::string ReadFileBytes(const std::string& path) {
  std::string bytes;
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return "<missing>";
  char buffer[65536];
  DWORD got = 0;
  while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) bytes.append(buffer, got);
  CloseHandle(file);
  return bytes;
}

void WriteFileBytes(const std::string& path, const std::string& bytes) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  DWORD written = 0;
  WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(file);
}

// Names in the folder, to prove that no partial file stays behind.
std::vector<std::string> FolderEntries(const std::string& folder) {
  std::vector<std::string> names;
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    const std::string name = found.cFileName;
    if (name != "." && name != "..") names.push_back(name);
  } while (FindNextFileA(search, &found));
  FindClose(search);
  return names;
}

class Extraction : public ::testing::Test {
 protected:
  void SetUp() override {
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    folder = std::string(temp) + "MorvantileExtractionTest";
    Clean();
    ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
  }
  void TearDown() override {
    Clean();
    EXPECT_EQ(payloadInputCursor, nullptr) << "the input range is none after a call";
    EXPECT_EQ(payloadInputEnd, nullptr);
  }
  void Clean() {
    for (const std::string& name : FolderEntries(folder)) {
      SetFileAttributesA((folder + "\\" + name).c_str(), FILE_ATTRIBUTE_NORMAL);
      DeleteFileA((folder + "\\" + name).c_str());
    }
    RemoveDirectoryA(folder.c_str());
  }
  std::string Target(const char* name) { return folder + "\\" + name; }
  std::string folder;
};

TEST_F(Extraction, EachPayloadFileExtractsToExactlyTheBuiltBytes) {
  const std::string product = TestFolder() + "\\..\\product\\";
  const struct {
    WORD id;
    const char* name;
  } payloads[] = {{kLibrary, "Morvantile.dll"}, {kProgram, "Morvantile.exe"},
                  {kProcessStatus, "psapi.dll"}};
  for (const auto& payload : payloads) {
    const std::string target = Target(payload.name);
    ASSERT_EQ(ExtractPayloadToFile(kType, payload.id, target.c_str()), 1) << payload.name;
    const std::string built = ReadFileBytes(product + payload.name);
    ASSERT_GT(built.size(), 1000u) << payload.name;
    EXPECT_TRUE(ReadFileBytes(target) == built) << payload.name << " differs from the build";
  }
  EXPECT_EQ(FolderEntries(folder).size(), 3u);
}

TEST(PayloadResources, AreTheFourPayloadsInUsEnglish) {
  for (WORD id : {kProgram, kLibrary, kLicence, kProcessStatus}) {
    HRSRC resource = FindResourceExA(nullptr, kType, MAKEINTRESOURCEA(id),
                                     MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US));
    ASSERT_NE(resource, nullptr) << id;
    EXPECT_GT(SizeofResource(nullptr, resource), 1000u) << id;
  }
}

TEST_F(Extraction, ReplacesALargerFileCompletely) {
  const std::string target = Target("Morvantile.dll");
  WriteFileBytes(target, std::string(300000, 'x'));
  ASSERT_EQ(ExtractPayloadToFile(kType, kLibrary, target.c_str()), 1);
  EXPECT_TRUE(ReadFileBytes(target) ==
              ReadFileBytes(TestFolder() + "\\..\\product\\Morvantile.dll"));
}

TEST_F(Extraction, TheLicenceComesBackAsTextEndingInItsNul) {
  const std::string licence = ReadFileBytes(TestFolder() + "\\licence.txt");
  char* text = nullptr;
  ASSERT_EQ(LoadPayloadText(kType, kLicence, &text), 1);
  ASSERT_NE(text, nullptr);
  EXPECT_EQ(std::string(text), licence);
  EXPECT_GE(HeapSize(GetProcessHeap(), 0, text), licence.size() + 1) << "a process-heap block";
  MemFree(text);
}

TEST_F(Extraction, TextOfAWholeNumberOfOutputStepsStillGetsItsNul) {
  const std::string page = ReadFileBytes(TestFolder() + "\\page.txt");
  ASSERT_EQ(page.size(), 4096u);
  char* text = nullptr;
  ASSERT_EQ(LoadPayloadText(kType, kPage, &text), 1);
  EXPECT_GE(HeapSize(GetProcessHeap(), 0, text), 4097u);
  EXPECT_EQ(text[4096], 0);
  EXPECT_EQ(std::string(text), page);
  MemFree(text);
}

TEST_F(Extraction, AnEmptyPayloadIsAnEmptyTextOrAnEmptyFile) {
  char* text = nullptr;
  ASSERT_EQ(LoadPayloadText(kType, kEmpty, &text), 1);
  ASSERT_NE(text, nullptr);
  EXPECT_EQ(text[0], 0);
  MemFree(text);
  const std::string target = Target("empty.txt");
  WriteFileBytes(target, "old contents");
  ASSERT_EQ(ExtractPayloadToFile(kType, kEmpty, target.c_str()), 1);
  EXPECT_EQ(ReadFileBytes(target), "");
}

TEST_F(Extraction, FindsAnIdentifierOnlyUnderItsOwnType) {
  char* text = nullptr;
  EXPECT_EQ(LoadPayloadText(kType, kOtherType, &text), 0);
  EXPECT_EQ(LoadPayloadText("OTHER_RESOURCE", kLicence, &text), 0);
  EXPECT_EQ(LoadPayloadText(kType, 999, &text), 0);
  EXPECT_EQ(text, nullptr) << "a failed call leaves the out parameter alone";
  ASSERT_EQ(LoadPayloadText("OTHER_RESOURCE", kOtherType, &text), 1);
  MemFree(text);
  EXPECT_EQ(ExtractPayloadToFile("OTHER_RESOURCE", kProgram, Target("x.exe").c_str()), 0);
  EXPECT_TRUE(FolderEntries(folder).empty());
}

TEST_F(Extraction, ADamagedStreamFailsAndTheNextExtractionIsCorrect) {
  const std::string target = Target("Morvantile.dll");
  WriteFileBytes(target, "previous library");
  EXPECT_EQ(ExtractPayloadToFile(kType, kCutShort, target.c_str()), 0);
  EXPECT_EQ(ReadFileBytes(target), "previous library");
  char* text = nullptr;
  EXPECT_EQ(LoadPayloadText(kType, kCutShort, &text), 0);
  EXPECT_EQ(text, nullptr);
  EXPECT_EQ(LastPayloadWasDamaged(), 1);
  ASSERT_EQ(ExtractPayloadToFile(kType, kLibrary, target.c_str()), 1);
  EXPECT_EQ(LastPayloadWasDamaged(), 0);
  EXPECT_TRUE(ReadFileBytes(target) ==
              ReadFileBytes(TestFolder() + "\\..\\product\\Morvantile.dll"));
  EXPECT_EQ(FolderEntries(folder).size(), 1u);
}

TEST_F(Extraction, APayloadUnlikeItsTableEntryIsNeverWrittenNorShown) {
  const std::string target = Target("Morvantile.exe");
  for (WORD id : {kOtherBytes, kFewerBytes, kNotInTable, kCutShort}) {
    WriteFileBytes(target, "previous program");
    EXPECT_EQ(ExtractPayloadToFile(kType, id, target.c_str()), 0) << id;
    EXPECT_EQ(LastPayloadWasDamaged(), 1) << id;
    EXPECT_EQ(ReadFileBytes(target), "previous program") << id;
    EXPECT_EQ(FolderEntries(folder), std::vector<std::string>{"Morvantile.exe"}) << "no temporary file";
    DeleteFileA(target.c_str());
    EXPECT_EQ(ExtractPayloadToFile(kType, id, target.c_str()), 0) << id;
    EXPECT_TRUE(FolderEntries(folder).empty()) << id;
    char* text = nullptr;
    EXPECT_EQ(LoadPayloadText(kType, id, &text), 0) << id;
    EXPECT_EQ(text, nullptr);
  }
  // The same page text, well described, passes: the table is what differs.
  char* text = nullptr;
  ASSERT_EQ(LoadPayloadText(kType, kPage, &text), 1);
  MemFree(text);
  // This program's table lists damaged payloads, so the whole check fails.
  EXPECT_EQ(VerifyPayloads(), 0);
}

TEST_F(Extraction, WritesTargetsOf252To259Characters) {
  const std::string built = ReadFileBytes(TestFolder() + "\\..\\product\\Morvantile.dll");
  for (size_t length = 252; length <= 259; ++length) {
    const std::string target = folder + "\\" + std::string(length - folder.size() - 1, 'n');
    ASSERT_EQ(target.size(), length);
    WriteFileBytes(target, "older");
    ASSERT_EQ(ExtractPayloadToFile(kType, kLibrary, target.c_str()), 1) << length;
    EXPECT_TRUE(ReadFileBytes(target) == built) << length;
    EXPECT_EQ(FolderEntries(folder).size(), 1u) << length;
    DeleteFileA(target.c_str());
  }
}

TEST_F(Extraction, ATargetHeldOpenWithoutSharingFailsAndStaysUnchanged) {
  const std::string target = Target("Morvantile.exe");
  WriteFileBytes(target, "running program");
  HANDLE held = CreateFileA(target.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  EXPECT_EQ(ExtractPayloadToFile(kType, kProgram, target.c_str()), 0);
  EXPECT_EQ(LastPayloadWasDamaged(), 0) << "in use, not damaged: worth a retry";
  CloseHandle(held);
  EXPECT_EQ(ReadFileBytes(target), "running program");
  EXPECT_EQ(FolderEntries(folder), std::vector<std::string>{"Morvantile.exe"})
      << "no partial file stays";
  // Once the other program lets go, a retry succeeds.
  ASSERT_EQ(ExtractPayloadToFile(kType, kProgram, target.c_str()), 1);
  EXPECT_TRUE(ReadFileBytes(target) ==
              ReadFileBytes(TestFolder() + "\\..\\product\\Morvantile.exe"));
}

TEST_F(Extraction, AReadOnlyTargetOrAMissingFolderFailsAndLeavesNothing) {
  const std::string target = Target("psapi.dll");
  WriteFileBytes(target, "read-only");
  SetFileAttributesA(target.c_str(), FILE_ATTRIBUTE_READONLY);
  EXPECT_EQ(ExtractPayloadToFile(kType, kProcessStatus, target.c_str()), 0);
  EXPECT_EQ(ReadFileBytes(target), "read-only");
  EXPECT_EQ(ExtractPayloadToFile(kType, kProcessStatus, Target("missing\\psapi.dll").c_str()), 0);
  EXPECT_EQ(FolderEntries(folder), std::vector<std::string>{"psapi.dll"});
}

}  // namespace
