// Test support for the settings code: the product keys of both generations
// and the uninstall entry are deleted before and after every test, and the
// registry is read and written directly to set up and check states.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "common/tests/test_registry.h"
#include "common/setup_state.h"
#include "settings/settings_migration.h"

const char kCurrentKey[] = "Software\\Quillfern\\Morvantile";
const char kCurrentCompanyKey[] = "Software\\Quillfern";
const char kOlderKey[] = "Software\\Vorn\\Brastock";
const char kOlderCompanyKey[] = "Software\\Vorn";

inline void DeleteSettingsKeys() {
  DeleteTestKey(HKEY_CURRENT_USER, kCurrentCompanyKey);
  DeleteTestKey(HKEY_CURRENT_USER, kOlderCompanyKey);
  DeleteTestKey(HKEY_LOCAL_MACHINE, kUninstallKeyPath);
}

class SettingsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetSetupState();
    DeleteSettingsKeys();
  }
  void TearDown() override {
    DeleteSettingsKeys();
    ResetSetupState();
  }
};

inline std::string Join(const char* key, const char* subKey) {
  return subKey ? std::string(key) + "\\" + subKey : std::string(key);
}

inline void SetValue(const std::string& path, const char* name, DWORD type, const void* data,
                     DWORD size, HKEY root = HKEY_CURRENT_USER) {
  HKEY key;
  ASSERT_EQ(RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  ASSERT_EQ(RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), size),
            ERROR_SUCCESS);
  RegCloseKey(key);
}

inline void SetDword(const std::string& path, const char* name, DWORD value) {
  SetValue(path, name, REG_DWORD, &value, sizeof value);
}

inline void SetText(const std::string& path, const char* name, const std::string& text) {
  SetValue(path, name, REG_SZ, text.c_str(), static_cast<DWORD>(text.size() + 1));
}

// The raw value, or an empty vector with *found false.
inline std::vector<BYTE> GetValue(const std::string& path, const char* name, DWORD* type = nullptr,
                                  bool* found = nullptr, HKEY root = HKEY_CURRENT_USER) {
  std::vector<BYTE> data;
  if (found) *found = false;
  HKEY key;
  if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return data;
  DWORD size = 0;
  DWORD valueType = 0;
  if (RegQueryValueExA(key, name, nullptr, &valueType, nullptr, &size) == ERROR_SUCCESS) {
    data.resize(size);
    if (RegQueryValueExA(key, name, nullptr, &valueType, data.data(), &size) == ERROR_SUCCESS) {
      data.resize(size);
      if (found) *found = true;
      if (type) *type = valueType;
    }
  }
  RegCloseKey(key);
  return data;
}

inline bool HasValue(const std::string& path, const char* name, HKEY root = HKEY_CURRENT_USER) {
  bool found = false;
  GetValue(path, name, nullptr, &found, root);
  return found;
}

// The REG_DWORD stored, or 0xDEADBEEF when missing or of another type.
inline DWORD GetDword(const std::string& path, const char* name) {
  DWORD type = 0;
  bool found = false;
  std::vector<BYTE> data = GetValue(path, name, &type, &found);
  if (!found || type != REG_DWORD || data.size() != 4) return 0xDEADBEEF;
  DWORD value;
  memcpy(&value, data.data(), 4);
  return value;
}

inline std::string GetText(const std::string& path, const char* name,
                           HKEY root = HKEY_CURRENT_USER) {
  DWORD type = 0;
  bool found = false;
  std::vector<BYTE> data = GetValue(path, name, &type, &found, root);
  if (!found || type != REG_SZ) return "<missing>";
  return std::string(data.begin(), data.end());  // terminator included
}

inline DWORD CountValues(const std::string& path) {
  HKEY key;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return 0;
  DWORD values = 0;
  RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr,
                   nullptr, nullptr, nullptr);
  RegCloseKey(key);
  return values;
}

inline DWORD CountSubKeys(const std::string& path) {
  HKEY key;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return 0;
  DWORD subKeys = 0;
  RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr, nullptr, nullptr,
                   nullptr, nullptr, nullptr);
  RegCloseKey(key);
  return subKeys;
}

inline bool KeyExists(const std::string& path) { return TestKeyExists(HKEY_CURRENT_USER, path.c_str()); }

// A folder of real files under the temporary folder, with long names so
// that their short forms differ; removed again at the end.
class TempFiles {
 public:
  TempFiles() {
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    folder_ = std::string(temp) + "Morvantile Settings Test Folder";
    Remove();
    CreateDirectoryA(folder_.c_str(), nullptr);
  }
  ~TempFiles() { Remove(); }
  std::string Create(const char* name) {
    std::string path = folder_ + "\\" + name;
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    EXPECT_NE(file, INVALID_HANDLE_VALUE);
    CloseHandle(file);
    files_.push_back(path);
    return path;
  }
  std::string Missing(const char* name) const { return folder_ + "\\" + name; }
  const std::string& folder() const { return folder_; }

 private:
  void Remove() {
    for (const std::string& file : files_) DeleteFileA(file.c_str());
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA((folder_ + "\\*").c_str(), &found);
    if (find != INVALID_HANDLE_VALUE) {
      do DeleteFileA((folder_ + "\\" + found.cFileName).c_str());
      while (FindNextFileA(find, &found));
      FindClose(find);
    }
    RemoveDirectoryA(folder_.c_str());
  }
  std::string folder_;
  std::vector<std::string> files_;
};

inline std::string ShortPathOf(const std::string& path) {
  char shortPath[2048];
  DWORD length = GetShortPathNameA(path.c_str(), shortPath, sizeof shortPath);
  return length ? std::string(shortPath) : std::string();
}
