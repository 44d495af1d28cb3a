// Entry of Morvantile.exe. With no arguments it runs the placement program;
// "/uninstall" removes the installation, "/uninstall /S" without a window.
#include <windows.h>

#include "product/product_program.h"

namespace {

const char kUninstallSwitch[] = "/uninstall";
const char kCleanupSwitch[] = "/uninstall-cleanup";
const char kSilentSwitch[] = "/s";
const char kElevatedSwitch[] = "/elevated";   // the uninstaller's own copy with administrator rights

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// Finds a switch as a word of its own, in any case, and returns what follows
// it. The command line is searched whole: the uninstall entry holds the
// program's path unquoted, so a path with spaces cannot be skipped reliably.
const char* FindSwitch(const char* line, const char* name) {
  for (const char* at = line; *at; at++) {
    if (at != line && at[-1] != ' ' && at[-1] != '\t' && at[-1] != '"') continue;
    const char* p = at;
    const char* n = name;
    while (*n && Lower(*p) == *n) p++, n++;
    if (!*n && (*p == 0 || *p == ' ' || *p == '\t' || *p == '"')) return p;
  }
  return nullptr;
}

int RunProduct() {
  const char* line = GetCommandLineA();
  if (const char* arguments = FindSwitch(line, kCleanupSwitch))
    return RunUninstallCleanup(arguments);
  if (FindSwitch(line, kUninstallSwitch))
    return RunUninstall(FindSwitch(line, kSilentSwitch) != nullptr,
                        FindSwitch(line, kElevatedSwitch) != nullptr);
  return RunPlacement(GetModuleHandleA(nullptr));
}

}  // namespace

// The program's entry point: no C runtime start-up code is linked.
extern "C" void WINAPI ProductEntry() { ExitProcess(static_cast<UINT>(RunProduct())); }
