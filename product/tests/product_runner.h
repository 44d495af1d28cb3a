// Test support: starting Morvantile.exe from a private folder and finding
// its window, the way the setup does.
#pragma once

#include <windows.h>

#include <string>

#include "product/tests/test_folder.h"

inline bool CopyProductInto(const std::string& folder) {
  const std::string build = BuildFolder();
  return CopyFileA((build + "\\Morvantile.exe").c_str(), (folder + "\\Morvantile.exe").c_str(),
                   FALSE) &&
         CopyFileA((build + "\\Morvantile.dll").c_str(), (folder + "\\Morvantile.dll").c_str(),
                   FALSE);
}

// Starts the program with the folder as current directory, as the setup
// does, with a command line as given, or the quoted path and arguments.
inline PROCESS_INFORMATION StartProduct(const std::string& folder, const char* arguments = "",
                                        const char* wholeCommandLine = nullptr) {
  const std::string program = folder + "\\Morvantile.exe";
  std::string commandLine =
      wholeCommandLine ? wholeCommandLine : "\"" + program + "\" " + arguments;
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessA(program.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                      folder.c_str(), &startup, &process))
    process.hProcess = nullptr;
  if (process.hThread) CloseHandle(process.hThread);
  return process;
}

struct WindowSearch {
  DWORD processId;
  const char* title;
  HWND found;
};

inline BOOL CALLBACK MatchWindow(HWND window, LPARAM parameter) {
  WindowSearch* search = reinterpret_cast<WindowSearch*>(parameter);
  char title[64];
  DWORD processId = 0;
  GetWindowThreadProcessId(window, &processId);
  if (processId != search->processId) return TRUE;
  GetWindowTextA(window, title, sizeof title);
  if (lstrcmpA(title, search->title) != 0) return TRUE;
  search->found = window;
  return FALSE;
}

// A 32-bit test here runs under emulated Wine, where starting a process
// takes about a minute: its waits for other processes are that much longer.
constexpr DWORD kWaitScale = sizeof(void*) == 4 ? 20 : 1;

// The top-level window of a process with a title, waiting up to a timeout
// (scaled by kWaitScale).
inline HWND WaitForWindow(DWORD processId, const char* title, DWORD timeoutMs = 10000) {
  timeoutMs *= kWaitScale;
  for (DWORD waited = 0; waited <= timeoutMs; waited += 50) {
    WindowSearch search = {processId, title, nullptr};
    EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&search));
    if (search.found) return search.found;
    Sleep(50);
  }
  return nullptr;
}

// Ends a product started by a test, whatever state it is in.
inline void EndProduct(PROCESS_INFORMATION& process) {
  if (!process.hProcess) return;
  if (WaitForSingleObject(process.hProcess, 0) == WAIT_TIMEOUT) {
    TerminateProcess(process.hProcess, 99);
    WaitForSingleObject(process.hProcess, 5000);
  }
  CloseHandle(process.hProcess);
  process.hProcess = nullptr;
}
