// Damaged copies of the real MorvantileSetup.exe: one byte of a payload
// stream (or of the payload table) changed inside the built program. Both
// kinds of stream damage are made: streams the decoder rejects, and streams
// it decodes without error to wrong bytes (found with the decoder itself).
// Each copy must show one box and end, with nothing installed.
#include <gtest/gtest.h>
#include <windows.h>
#include <shlobj.h>

#include <fstream>
#include <sstream>
#include <string>

#include "common/memory.h"
#include "common/tests/test_registry.h"
#include "payload/payload_decoder.h"
#include "payload/payload_table.h"
#include "shell/tests/setup_driver.h"

namespace {

const char kProductKey[] = "Software\\Quillfern\\Morvantile";
const char kCompanyKey[] = "Software\\Quillfern";
const char kUninstallKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Morvantile";
const char kCaption[] = "Morvantile - Installation";
const char kDamagedText[] = "The setup program is damaged. Please download it again.";
const WORD kPayloads[] = {101, 102, 116, 118};

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream data;
  data << in.rdbuf();
  return data.str();
}

uint32_t Read32(const std::string& image, size_t at) {
  if (at + 4 > image.size()) return 0;
  return static_cast<uint8_t>(image[at]) | static_cast<uint8_t>(image[at + 1]) << 8 |
         static_cast<uint8_t>(image[at + 2]) << 16 | static_cast<uint32_t>(static_cast<uint8_t>(image[at + 3])) << 24;
}
uint16_t Read16(const std::string& image, size_t at) {
  return at + 2 > image.size() ? 0 : static_cast<uint16_t>(static_cast<uint8_t>(image[at]) | static_cast<uint8_t>(image[at + 1]) << 8);
}

// Where a resource's bytes lie in the program file, found by walking the
// PE headers and the resource directory: type (a name or a number), id,
// first language.
struct Span {
  size_t offset = 0, size = 0;
};

class PeResources {
 public:
  explicit PeResources(const std::string& image) : image_(image) {
    const size_t pe = Read32(image, 0x3C);
    if (Read32(image, pe) != 0x00004550) return;   // "PE\0\0"
    const size_t fileHeader = pe + 4;
    sections_ = Read16(image, fileHeader + 2);
    const size_t optional = fileHeader + 20;
    const bool wide = Read16(image, optional) == 0x20B;
    const uint32_t resourceRva = Read32(image, optional + (wide ? 112 : 96) + 2 * 8);
    sectionTable_ = optional + Read16(image, fileHeader + 16);
    root_ = Offset(resourceRva);
  }

  Span Find(const char* typeName, WORD id) const { return Find(typeName, 0, id); }
  Span Find(WORD typeId, WORD id) const { return Find(nullptr, typeId, id); }

 private:
  Span Find(const char* typeName, WORD typeId, WORD id) const {
    Span span;
    if (!root_) return span;
    size_t typeDir = 0, idDir = 0, languageDir = 0;
    if (!Child(root_, typeName, typeId, &typeDir) || !Child(typeDir, nullptr, id, &idDir) ||
        !Child(idDir, nullptr, 0xFFFF, &languageDir))
      return span;
    // languageDir here is the data entry: RVA and size.
    span.offset = Offset(Read32(image_, languageDir));
    span.size = Read32(image_, languageDir + 4);
    return span;
  }

  size_t Offset(uint32_t rva) const {
    for (unsigned i = 0; i < sections_; ++i) {
      const size_t section = sectionTable_ + 40 * i;
      const uint32_t address = Read32(image_, section + 12), rawSize = Read32(image_, section + 16);
      if (rva >= address && rva < address + rawSize) return rva - address + Read32(image_, section + 20);
    }
    return 0;
  }
  // The entry of directory `dir` named `name` (or numbered `id`; 0xFFFF:
  // the first entry); its target's file offset in *target.
  bool Child(size_t dir, const char* name, WORD id, size_t* target) const {
    const unsigned count = Read16(image_, dir + 12) + Read16(image_, dir + 14);
    for (unsigned i = 0; i < count; ++i) {
      const uint32_t entryName = Read32(image_, dir + 16 + 8 * i);
      const uint32_t entryData = Read32(image_, dir + 20 + 8 * i);
      bool match = id == 0xFFFF;
      if (name && (entryName & 0x80000000u)) {
        const size_t text = root_ + (entryName & 0x7FFFFFFFu);
        std::string found;
        for (unsigned c = 0; c < Read16(image_, text); ++c) found += static_cast<char>(Read16(image_, text + 2 + 2 * c));
        match = found == name;
      } else if (!name && !(entryName & 0x80000000u)) {
        match = match || entryName == id;
      }
      if (match) {
        *target = root_ + (entryData & 0x7FFFFFFFu);
        return true;
      }
    }
    return false;
  }
  const std::string& image_;
  size_t root_ = 0, sectionTable_ = 0;
  unsigned sections_ = 0;
};

// The stream decoded with the setup's own decoder; false when it rejects it.
bool Decode(const std::string& stream, std::string* decoded) {
  unsigned char* bytes = nullptr;
  payloadInputCursor = reinterpret_cast<const unsigned char*>(stream.data());
  payloadInputEnd = payloadInputCursor + stream.size();
  const int ok = DecodePayload(&bytes);
  payloadInputCursor = payloadInputEnd = nullptr;
  if (ok) decoded->assign(reinterpret_cast<char*>(bytes), payloadOutputCount);
  MemFree(bytes);
  return ok != 0;
}

// The position and mask of a one-byte change that the decoder rejects
// (wantAccepted false) or decodes without error to other bytes (true).
bool FindDamage(const std::string& stream, bool wantAccepted, size_t* position, char* mask) {
  std::string good, decoded;
  if (!Decode(stream, &good)) return false;
  for (size_t step = 0; step < stream.size(); ++step) {
    // Rejected changes are likeliest near the end code, accepted ones anywhere.
    const size_t at = wantAccepted ? (stream.size() / 2 + step) % stream.size() : stream.size() - 1 - step;
    for (char bits : {'\x01', '\x10', '\x80', '\xFF'}) {
      std::string damaged = stream;
      damaged[at] ^= bits;
      const bool accepted = Decode(damaged, &decoded);
      if (accepted == wantAccepted && (!accepted || decoded != good)) {
        *position = at;
        *mask = bits;
        return true;
      }
    }
  }
  return false;
}

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

bool KeyExists(HKEY root, const char* path) {
  HKEY key;
  if (RegOpenKeyExA(root, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  RegCloseKey(key);
  return true;
}

class DamagedSetup : public ::testing::Test {
 protected:
  void SetUp() override {
    Clean();
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    base_ = std::string(temp) + "mv-damaged-" + std::to_string(GetCurrentProcessId());
    ASSERT_TRUE(CreateDirectoryA(base_.c_str(), nullptr));
    folder_ = base_ + "\\Morvantile";
    image_ = ReadAll(WindowsPath(MV_SETUP_EXE));
    ASSERT_GT(image_.size(), 10000u);
  }
  void TearDown() override {
    Clean();
    for (const std::string& copy : copies_) DeleteFileA(copy.c_str());
    RemoveDirectoryA(folder_.c_str());
    RemoveDirectoryA(base_.c_str());
  }
  static void Clean() {
    DeleteTestKey(HKEY_CURRENT_USER, kProductKey);
    DeleteTestKey(HKEY_CURRENT_USER, kCompanyKey);
    DeleteTestKey(HKEY_LOCAL_MACHINE, kUninstallKey);
    DeleteFileA(StartupShortcut().c_str());
  }

  // Runs a copy of the setup with one byte changed; expects the box, the
  // end, and nothing installed into the folder it would have proposed.
  void RunDamagedCopy(const std::string& name, size_t position, char mask) {
    SCOPED_TRACE(name);
    std::string damaged = image_;
    damaged[position] ^= mask;
    const std::string copy = base_ + "\\" + name + ".exe";
    copies_.push_back(copy);
    { std::ofstream(copy, std::ios::binary) << damaged; }
    HKEY key;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, kProductKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr), ERROR_SUCCESS);
    RegSetValueExA(key, "LastPath", 0, REG_SZ, reinterpret_cast<const BYTE*>(folder_.c_str()),
                   static_cast<DWORD>(folder_.size() + 1));
    RegCloseKey(key);

    SetupDriver setup(copy);
    ASSERT_TRUE(setup.Start());
    HWND box = setup.WaitForBox(30000, kCaption);
    ASSERT_NE(box, nullptr) << "no message box";
    EXPECT_EQ(SetupDriver::BoxText(box), kDamagedText);
    EXPECT_TRUE(SetupDriver::BoxHasButton(box, IDOK));
    EXPECT_FALSE(SetupDriver::BoxHasButton(box, IDCANCEL));
    EXPECT_EQ(FindProcessWindow(setup.processId(), kCaption, nullptr, true), nullptr) << "no wizard";
    ASSERT_TRUE(SetupDriver::Answer(box, IDOK));
    EXPECT_EQ(setup.WaitForExit(), 0xFFFFFFFFu);

    EXPECT_FALSE(Exists(folder_)) << "no installation folder";
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kUninstallKey)) << "no uninstall entry";
    EXPECT_FALSE(Exists(StartupShortcut())) << "no shortcut";
    DWORD values = 0;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, kProductKey, 0, KEY_READ, &key), ERROR_SUCCESS);
    RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr, nullptr, nullptr, nullptr);
    RegCloseKey(key);
    EXPECT_EQ(values, 1u) << "the settings key holds only the LastPath the test wrote";
  }

  void RunEachPayloadDamaged(bool accepted) {
    const PeResources resources(image_);
    for (WORD id : kPayloads) {
      const Span span = resources.Find("FILE_RESOURCE", id);
      ASSERT_GT(span.size, 100u) << "payload " << id << " not found in the program file";
      size_t at = 0;
      char mask = 0;
      ASSERT_TRUE(FindDamage(image_.substr(span.offset, span.size), accepted, &at, &mask)) << id;
      RunDamagedCopy("setup-" + std::to_string(id) + (accepted ? "-accepted" : "-rejected"), span.offset + at, mask);
    }
  }

  std::string image_, base_, folder_;
  std::vector<std::string> copies_;
};

}  // namespace

TEST_F(DamagedSetup, AStreamTheDecoderRejectsInAnyPayloadIsReportedAndNothingInstalled) {
  RunEachPayloadDamaged(false);
}

TEST_F(DamagedSetup, AStreamThatDecodesToWrongBytesInAnyPayloadIsReportedAndNothingInstalled) {
  RunEachPayloadDamaged(true);
}

TEST_F(DamagedSetup, ADamagedPayloadTableIsReportedAndNothingInstalled) {
  const Span table = PeResources(image_).Find(kPayloadTableResourceType, kPayloadTableId);
  ASSERT_EQ(table.size, 8u + 4 * 12 + 4) << "a table of the four payloads";
  RunDamagedCopy("setup-table-length", table.offset + 8 + 12 + 4, '\x01');   // length of the 2nd entry
  RunDamagedCopy("setup-table-id", table.offset + 8, '\x01');                  // id 101 becomes 100
}

// Unattended, a damaged copy shows nothing and ends with 5.
TEST_F(DamagedSetup, ADamagedCopyRunSilentlyEndsWithFiveAndInstallsNothing) {
  const Span span = PeResources(image_).Find("FILE_RESOURCE", 101);
  ASSERT_GT(span.size, 100u);
  size_t at = 0;
  char mask = 0;
  ASSERT_TRUE(FindDamage(image_.substr(span.offset, span.size), true, &at, &mask));
  std::string damaged = image_;
  damaged[span.offset + at] ^= mask;
  const std::string copy = base_ + "\\silent.exe";
  copies_.push_back(copy);
  { std::ofstream(copy, std::ios::binary) << damaged; }

  SetupDriver setup(copy, "/S /D=" + folder_);
  ASSERT_TRUE(setup.Start());
  EXPECT_EQ(setup.WaitForExit(), 5u);
  EXPECT_FALSE(Exists(folder_)) << "no installation folder";
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kUninstallKey)) << "no uninstall entry";
  EXPECT_FALSE(Exists(StartupShortcut())) << "no shortcut";
}
