// Entry of Morvantile.exe. With no arguments it runs the placement program;
// "/uninstall" removes the installation.
#include <windows.h>

#include "product/product_program.h"

namespace {

const char kUninstallSwitch[] = "/uninstall";
const char kCleanupSwitch[] = "/uninstall-cleanup";

// The arguments after the program name, which may be quoted.
const char* SkipProgramName(const char* line) {
  if (*line == '"') {
    line++;
    while (*line && *line != '"') line++;
    if (*line == '"') line++;
  } else {
    while (*line && *line != ' ' && *line != '\t') line++;
  }
  while (*line == ' ' || *line == '\t') line++;
  return line;
}

// Whether the arguments start with a switch, as a whole word, in any case.
int StartsWithSwitch(const char* arguments, const char* name) {
  for (; *name; name++, arguments++) {
    char c = *arguments;
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != *name) return 0;
  }
  return *arguments == 0 || *arguments == ' ' || *arguments == '\t';
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  const char* arguments = SkipProgramName(GetCommandLineA());
  if (StartsWithSwitch(arguments, kCleanupSwitch))
    return RunUninstallCleanup(arguments + lstrlenA(kCleanupSwitch));
  if (StartsWithSwitch(arguments, kUninstallSwitch)) return RunUninstall();
  return RunPlacement(instance);
}
