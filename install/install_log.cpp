#include "install/install_log.h"

#include <windows.h>

#include "install/file_helpers.h"

namespace {

char logPath[2048];
const int kLineSize = 4096;
// Kept off the stack: one thread writes the log, and every frame stays
// within the stack's guard page (the build does not probe the stack).
char line[kLineSize + 2];

HANDLE OpenForAppending(const char* path) {
  // Other programs may read the log while we write it.
  return CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                     FILE_ATTRIBUTE_NORMAL, nullptr);
}

}  // namespace

int OpenInstallLog(const char* path) {
  logPath[0] = '\0';
  if (!path || !path[0] || lstrlenA(path) >= (int)sizeof logPath) return 0;
  HANDLE file = OpenForAppending(path);
  if (file == INVALID_HANDLE_VALUE) return 0;
  CloseHandle(file);
  lstrcpynA(logPath, path, sizeof logPath);
  return 1;
}

int InstallLogChosen() { return logPath[0] != '\0'; }

void WriteInstallLogLine(const char* text) {
  if (!logPath[0]) return;
  SYSTEMTIME now;
  GetLocalTime(&now);
  int length = wsprintfA(line, "%04u-%02u-%02u %02u:%02u:%02u ", now.wYear, now.wMonth, now.wDay, now.wHour,
                         now.wMinute, now.wSecond);
  for (const char* at = text; *at && length < kLineSize - 1; at++) {
    line[length++] = (*at == '\n' || *at == '\r') ? ' ' : *at;
  }
  line[length++] = '\r';
  line[length++] = '\n';
  // Opened per line: a killed run keeps every line written before.
  HANDLE file = OpenForAppending(logPath);
  if (file == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  WriteFile(file, line, (DWORD)length, &written, nullptr);
  CloseHandle(file);
}
