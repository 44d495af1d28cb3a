// Test support: registry keys that a test owns. Each test deletes its keys
// before and after, so the order in which tests run never matters.
#pragma once

#include <windows.h>

inline void DeleteTestKey(HKEY root, const char* path) {
  RegDeleteTreeA(root, path);
  RegDeleteKeyA(root, path);
}

inline bool TestKeyExists(HKEY root, const char* path) {
  HKEY key;
  if (RegOpenKeyExA(root, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  RegCloseKey(key);
  return true;
}

class ScopedTestKey {
 public:
  ScopedTestKey(HKEY root, const char* path) : root_(root), path_(path) { DeleteTestKey(root_, path_); }
  ~ScopedTestKey() { DeleteTestKey(root_, path_); }
  ScopedTestKey(const ScopedTestKey&) = delete;
  ScopedTestKey& operator=(const ScopedTestKey&) = delete;

 private:
  HKEY root_;
  const char* path_;
};
