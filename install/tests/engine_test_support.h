// Test support for the engine: scratch folders under %TEMP%, small files,
// and the paths of the helper programs built next to the tests.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

inline void DeleteTree(const std::string& path) {
  DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return;
  SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    DeleteFileA(path.c_str());
    return;
  }
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((path + "\\*").c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      std::string name = found.cFileName;
      if (name != "." && name != "..") DeleteTree(path + "\\" + name);
    } while (FindNextFileA(search, &found));
    FindClose(search);
  }
  RemoveDirectoryA(path.c_str());
}

// A fresh, empty folder for one test, removed with everything in it after.
class ScratchFolder {
 public:
  explicit ScratchFolder(const char* name) {
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    path_ = std::string(temp) + "mv-engine-" + name;
    DeleteTree(path_);
    CreateDirectoryA(path_.c_str(), nullptr);
  }
  ~ScratchFolder() { DeleteTree(path_); }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  const std::string& path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "\\" + name; }

 private:
  std::string path_;
};

inline bool WriteBytes(const std::string& path, const std::string& bytes) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  BOOL ok = WriteFile(file, bytes.data(), (DWORD)bytes.size(), &written, nullptr);
  CloseHandle(file);
  return ok && written == bytes.size();
}

inline std::string ReadBytes(const std::string& path) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return std::string();
  std::string bytes;
  char block[4096];
  DWORD read = 0;
  while (ReadFile(file, block, sizeof block, &read, nullptr) && read > 0) bytes.append(block, read);
  CloseHandle(file);
  return bytes;
}

inline bool IsFolder(const std::string& path) {
  DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// A file built next to the running test program (same build folder).
inline std::string BesideThisProgram(const char* name) {
  char path[MAX_PATH];
  DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string folder(path, length);
  return folder.substr(0, folder.find_last_of('\\') + 1) + name;
}

inline const char* kUninstallKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Morvantile";

// A program with a hidden top-level window of a given title: product_probe
// with "window TITLE", which ends when that window gets WM_DESTROY. Started
// from a copy named Morvantile.exe it stands for the product, under its own
// name for another program. Ended with the test if it still runs.
class TitledWindowProgram {
 public:
  // `mode` "hung-window" gives a window that never answers.
  TitledWindowProgram(const std::string& program, const std::string& title, const char* mode = "window")
      : title_(title) {
    std::string command = "\"" + program + "\" " + mode + " " + title;
    std::vector<char> line(command.begin(), command.end());
    line.push_back('\0');
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started = {};
    if (!CreateProcessA(program.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &started)) {
      return;
    }
    CloseHandle(started.hThread);
    process_ = started.hProcess;
    processId_ = started.dwProcessId;
    for (int i = 0; i < 600 && !window_ && Running(); i++) {
      EnumWindows(MatchOwnWindow, (LPARAM)this);
      if (!window_) Sleep(50);
    }
  }
  ~TitledWindowProgram() {
    if (!process_) return;
    TerminateProcess(process_, 1);
    WaitForSingleObject(process_, 5000);
    CloseHandle(process_);
  }
  TitledWindowProgram(const TitledWindowProgram&) = delete;
  TitledWindowProgram& operator=(const TitledWindowProgram&) = delete;

  HWND window() const { return window_; }
  bool Running() const { return process_ && WaitForSingleObject(process_, 0) == WAIT_TIMEOUT; }
  bool Ended(DWORD timeoutMs = 5000) const { return process_ && WaitForSingleObject(process_, timeoutMs) == WAIT_OBJECT_0; }

 private:
  static BOOL CALLBACK MatchOwnWindow(HWND window, LPARAM data) {
    TitledWindowProgram* self = (TitledWindowProgram*)data;
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    char title[256] = "";
    GetWindowTextA(window, title, sizeof title);
    if (processId != self->processId_ || self->title_ != title) return TRUE;
    self->window_ = window;
    return FALSE;
  }
  std::string title_;
  HANDLE process_ = nullptr;
  DWORD processId_ = 0;
  HWND window_ = nullptr;
};

// A copy of product_probe named Morvantile.exe in `folder`: the product as
// the setup recognises it.
inline std::string ProductStandInIn(const std::string& folder) {
  std::string copy = folder + "\\Morvantile.exe";
  CopyFileA(BesideThisProgram("product_probe.exe").c_str(), copy.c_str(), FALSE);
  return copy;
}
