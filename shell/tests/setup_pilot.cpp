// Walks the real setup through a Typical installation for the scripts:
//   setup-pilot shots SETUP.exe    pauses on every page: prints "PAGE name"
//                                  and waits for a line on stdin (the
//                                  screenshot is taken meanwhile)
//   setup-pilot install SETUP.exe  installs, then prints what was installed
// Both end the setup and report its exit code.
#include <windows.h>
#include <shlobj.h>
#include <stdio.h>

#include <string>

#include "shell/tests/setup_driver.h"

namespace {

const int kNext = 0x3024, kFinish = 0x3025;
const char kProductKey[] = "Software\\Quillfern\\Morvantile";
const char kUninstallKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Morvantile";

bool pauseOnPages = false;

void Page(const char* name) {
  printf("PAGE %s\n", name);
  fflush(stdout);
  if (!pauseOnPages) return;
  char line[64];
  if (!fgets(line, sizeof line, stdin)) return;
}

bool Fail(const char* what) {
  printf("FAILED: %s\n", what);
  fflush(stdout);
  return false;
}

std::string RegistryText(HKEY root, const char* path, const char* name) {
  char value[2048] = "";
  DWORD size = sizeof value - 1;
  if (RegGetValueA(root, path, name, RRF_RT_REG_SZ, nullptr, value, &size) != ERROR_SUCCESS) return "(none)";
  return value;
}

void CloseProduct() {
  HWND product = nullptr;
  WaitUntil([&] { return (product = FindWindowA(nullptr, "Morvantile")) != nullptr; }, 5000);
  if (product) PostMessageA(product, WM_CLOSE, 0, 0);
}

void ReportShortcut(const std::string& path) {
  printf("Startup shortcut: %s\n", path.c_str());
  std::string target, description;
  if (GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES) {
    printf("  (missing)\n");
  } else if (ReadShortcut(path, &target, &description)) {
    printf("  target: %s\n  description: %s\n", target.c_str(), description.c_str());
  } else {
    printf("  (unreadable)\n");
  }
}

void ReportInstallation() {
  std::string command = RegistryText(HKEY_LOCAL_MACHINE, kUninstallKey, "UninstallString");
  printf("Uninstall entry: HKEY_LOCAL_MACHINE\\%s\n", kUninstallKey);
  printf("  UninstallString: %s\n  DisplayName: %s\n", command.c_str(),
         RegistryText(HKEY_LOCAL_MACHINE, kUninstallKey, "DisplayName").c_str());
  std::string folder = command;
  if (!folder.empty() && folder[0] == '"') folder = folder.substr(1, folder.find('"', 1) - 1);
  folder = folder.substr(0, folder.rfind('\\'));
  printf("Installed files in %s:\n", folder.c_str());
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        printf("  %-28s %lu bytes\n", found.cFileName, static_cast<unsigned long>(found.nFileSizeLow));
    } while (FindNextFileA(search, &found));
    FindClose(search);
  }
  char startup[MAX_PATH] = "";
  SHGetFolderPathA(nullptr, CSIDL_STARTUP, nullptr, 0, startup);
  ReportShortcut(std::string(startup) + "\\Morvantile.lnk");
  HKEY key;
  printf("Product settings key HKEY_CURRENT_USER\\%s: %s\n", kProductKey,
         RegOpenKeyExA(HKEY_CURRENT_USER, kProductKey, 0, KEY_READ, &key) == ERROR_SUCCESS
             ? (RegCloseKey(key), "present")
             : "absent (nothing to migrate)");
}

bool WalkThrough(SetupDriver& setup, bool showCustom) {
  if (!setup.Start()) return Fail("the setup program could not be started");
  if (!setup.WaitForWizard(30000) || !setup.WaitForPage(Page::Welcome)) return Fail("no wizard");
  setup.WaitForFocus(kNext);
  Page("welcome");
  setup.Press(kNext);
  if (!setup.WaitForPage(Page::Licence)) return Fail("no Licence page");
  setup.WaitForFocus(kNext);
  Page("licence");
  setup.Press(kNext);
  if (!setup.WaitForPage(Page::Options)) return Fail("no Options page");
  setup.WaitForFocus(kNext);
  Page("options");
  if (showCustom) {
    setup.ClickPageButton(1012);
    WaitUntil([&] { return setup.ButtonText(kNext) == "&Next >"; });
    setup.Press(kNext);
    if (!setup.WaitForPage(Page::Custom)) return Fail("no Custom Options page");
    setup.WaitForFocus(kNext);
    Page("custom");
    setup.Press(0x3023);
    if (!setup.WaitForPage(Page::Options)) return Fail("no way back");
    setup.ClickPageButton(1011);
    WaitUntil([&] { return setup.ButtonText(kNext) == "I&nstall"; });
  }
  setup.Press(kNext);
  if (!setup.WaitForPage(Page::Progress)) return Fail("no Progress page");
  if (!WaitUntil([&] { return setup.ButtonEnabled(kFinish) || setup.FindBox(); }, 60000))
    return Fail("the installation did not end");
  if (HWND box = setup.FindBox()) {
    printf("The setup asks: %s\n", SetupDriver::BoxText(box).c_str());
    return Fail("unexpected question");
  }
  printf("Status: %s\n", setup.PageText(1014).c_str());
  CloseProduct();
  Sleep(500);
  setup.WaitForFocus(kFinish);
  Page("progress");
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3 || (strcmp(argv[1], "shots") != 0 && strcmp(argv[1], "install") != 0)) {
    fprintf(stderr, "usage: setup-pilot shots|install SETUP.exe\n");
    return 2;
  }
  bool shots = strcmp(argv[1], "shots") == 0;
  pauseOnPages = shots;
  SetupDriver setup(argv[2]);
  bool ok = WalkThrough(setup, shots);
  if (ok) {
    setup.Press(kFinish);
    DWORD code = setup.WaitForExit();
    printf("Setup ended with exit code 0x%08lX\n", static_cast<unsigned long>(code));
    if (!shots) ReportInstallation();
  }
  fflush(stdout);
  return ok ? 0 : 1;
}
