// Program entry and RunSetup.
#include "shell/run_setup.h"

#include <commctrl.h>
#include <prsht.h>
#include <stddef.h>

#include "common/folder_path.h"
#include "common/setup_state.h"
#include "install/detection.h"
#include "install/install_log.h"
#include "payload/payload_extractor.h"
#include "shell/command_line.h"
#include "shell/progress_page.h"
#include "shell/system_libraries.h"
#include "shell/unattended_run.h"
#include "shell/wizard_ids.h"
#include "shell/wizard_pages.h"

namespace {

const char kMutexName[] = "SetupMorvantile - Ostrand";
const char kErrorCaption[] = "Morvantile - Error";
const char kUpdaterMessage[] =
    "Please upgrade your control libraries with Microsoft's updater located at\n"
    "ftp://ftp.microsoft.com/Softlib/MSLFILES/50comupd.exe";
const int kPageCount = 5;

const char kHelpText[] =
    "Morvantile 3.04 Basic Setup\n\n"
    "/S\tsilent, no window\n"
    "/D=FOLDER\tinstall there, created (last on the line, no quotes)\n"
    "/NOLAUNCH\tdo not start Morvantile\n"
    "/LOG=FILE\tlog each step to FILE\n"
    "/?\tthis help\n\n"
    "/S exit codes: 0 installed; 1 newer version present, nothing changed; 2 failed (see log); "
    "3 another setup running; 4 bad command line; 5 setup damaged\n\n"
    "Remove: \"FOLDER\\Morvantile.exe\" /uninstall /S (0 removed, 2 partly)";

// The first-generation page and sheet records: what every comctl32 accepts.
const UINT kPageRecordSize = PROPSHEETPAGEA_V1_SIZE;
const UINT kSheetRecordSize = PROPSHEETHEADERA_V1_SIZE;
#ifndef _WIN64
static_assert(offsetof(PROPSHEETPAGEA, pcRefParent) + sizeof(UINT*) == 40, "page record of 40 bytes");
static_assert(offsetof(PROPSHEETHEADERA, pfnCallback) + sizeof(PFNPROPSHEETCALLBACK) == 40,
              "sheet record of 40 bytes");
#endif

struct PageEntry {
  WORD templateId;
  DLGPROC procedure;
};

// Page order; the template numbers are not in that order.
const PageEntry kPages[kPageCount] = {
    {IDD_WELCOME, WelcomePageProc},
    {IDD_LICENCE, LicencePageProc},
    {IDD_OPTIONS, OptionsPageProc},
    {IDD_CUSTOM, CustomPageProc},
    {IDD_PROGRESS, ProgressPageProc},
};

// Creates all five pages whatever happens to each; 1 when all exist.
int CreatePages(HPROPSHEETPAGE* pages) {
  PROPSHEETPAGEA page;
  ZeroMemory(&page, sizeof page);
  page.dwSize = kPageRecordSize;
  page.dwFlags = PSP_DEFAULT;
  page.hInstance = SetupState.instance;
  int complete = 1;
  for (int i = 0; i < kPageCount; ++i) {
    page.pszTemplate = MAKEINTRESOURCEA(kPages[i].templateId);
    page.pfnDlgProc = kPages[i].procedure;
    pages[i] = CreatePropertySheetPageSafe(&page);
    if (!pages[i]) complete = 0;
  }
  return complete;
}

INT_PTR ShowWizard(HPROPSHEETPAGE* pages) {
  PROPSHEETHEADERA sheet;
  ZeroMemory(&sheet, sizeof sheet);
  sheet.dwSize = kSheetRecordSize;
  sheet.dwFlags = PSH_WIZARD | PSH_USEICONID;
  sheet.hwndParent = nullptr;
  sheet.hInstance = SetupState.instance;
  sheet.pszIcon = MAKEINTRESOURCEA(IDI_SETUP);
  sheet.pszCaption = kWizardCaption;
  sheet.nPages = kPageCount;
  sheet.nStartPage = 0;
  sheet.phpage = pages;
  return PropertySheetSafe(&sheet);
}

// The boxes of a wizard that cannot be shown: no owner, the error icon.
void ShowError(const char* text) { MessageBoxA(nullptr, text, kErrorCaption, MB_ICONERROR); }

void ReportWizardFailure() {
  DWORD error = GetLastError();
  char* systemText = nullptr;
  FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM, nullptr, error,
                 MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<char*>(&systemText),
                 0, nullptr);
  char text[2048];
  // wsprintfA stops at 1024 characters, well inside the buffer.
  wsprintfA(text, "PropertySheet failed!\n%s", systemText ? systemText : "");
  ShowError(text);
  LocalFree(systemText);
  ShowError(kUpdaterMessage);
}


// The wizard, exactly as with no command line: the exit code is -1.
int RunWizard() {
  HPROPSHEETPAGE pages[kPageCount];
  if (!CreatePages(pages)) {
    ShowError("CreatePropertySheetPage failed!");
    for (int i = 0; i < kPageCount; ++i) DestroyPropertySheetPageSafe(pages[i]);
  } else if (ShowWizard(pages) == -1) {
    ReportWizardFailure();
  }
  return -1;
}

// Detection before any window: a folder from the command line takes the
// place of the proposed one.
void DetectInstallation(const SetupOptions* options) {
  FindInstallFolder(SetupState.defaultFolder);
  if (options->folder[0]) {
    lstrcpynA(SetupState.defaultFolder, options->folder, sizeof SetupState.defaultFolder);
  }
  lstrcpynA(SetupState.customFolder, SetupState.defaultFolder, sizeof SetupState.customFolder);
  SetupState.installedVersion = DetectInstalledVersion(SetupState.defaultFolder);
}

// With switches: reads them, answers /? and a bad line, and opens the log.
// Returns -2 to go on, otherwise the exit code to end with.
int ReadCommandLine(const char* arguments, SetupOptions* options) {
  if (!ParseSetupOptions(arguments, options)) {
    // No window: a script must never wait on a box it cannot see.
    if (options->logPath[0] && OpenInstallLog(options->logPath)) {
      char line[256];
      wsprintfA(line, "result 4: bad command line (%.200s); nothing changed", options->fault);
      WriteInstallLogLine(line);
    }
    return kExitBadCommandLine;
  }
  if (options->showHelp) {
    MessageBoxA(nullptr, kHelpText, kWizardCaption, MB_OK | MB_ICONINFORMATION);
    return 0;
  }
  if (options->logPath[0] && !OpenInstallLog(options->logPath)) return kExitBadCommandLine;
  return -2;
}

}  // namespace

int RunSetup(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int) {
  SetupState.instance = instance;
  // Two 2 KB paths: static, so that no frame outgrows the stack's guard
  // page (the build does not probe the stack). Without switches they stay
  // all zero, which is the wizard with nothing chosen beforehand.
  static SetupOptions options;
  if (!NoArguments(commandLine)) {
    int ended = ReadCommandLine(commandLine, &options);
    if (ended != -2) return ended;
  }
  const int silent = options.silent;
  // The log lines go nowhere unless the command line opened a log.
  HANDLE mutex = CreateMutexA(nullptr, TRUE, kMutexName);
  if (GetLastError() == ERROR_ALREADY_EXISTS) {   // another copy: silently
    WriteInstallLogLine("result 3: another setup is running; nothing changed");
    return silent ? kExitAnotherSetup : -1;
  }
  WriteInstallLogLine(silent ? "Morvantile 3.04 setup started, unattended" : "Morvantile 3.04 setup started");
  SetupState.noLaunch = options.noLaunch;
  int exitCode;
  // Every payload is decoded and checked before anything is shown or
  // changed: a damaged download must never install a damaged product.
  if (!VerifyPayloads()) {
    WriteInstallLogLine("result 5: the setup program is damaged; nothing changed");
    if (!silent) MessageBoxA(nullptr, kDamagedSetupText, kWizardCaption, MB_OK);
    exitCode = silent ? kExitDamaged : -1;
  } else {
    if (!silent) InitCommonControlsOnce();
    DetectInstallation(&options);
    exitCode = silent ? RunUnattended(&options) : RunWizard();
  }
  if (mutex) {
    ReleaseMutex(mutex);
    CloseHandle(mutex);
  }
  return exitCode;
}

// The program's entry point: the C runtime's start-up code is not linked
// (nothing here needs it), so the process ends here with ExitProcess.
extern "C" void WINAPI SetupEntry() {
  // Before anything can load a DLL: a planted one in our folder must never run.
  RestrictDllSearchPath();
  // A folder on an empty card reader or disc drive (a "LastPath" of long
  // ago, a typed folder) must fail as missing, not stop the setup behind
  // the system's "No disk" box. The product is started without this mode.
  SetErrorMode(SEM_FAILCRITICALERRORS);
  // Paths are read by character in the Chinese, Japanese and Korean code
  // pages too.
  for (int byte = 0x80; byte < 0x100; ++byte) AnsiLeadBytes[byte] = IsDBCSLeadByte(static_cast<BYTE>(byte)) != 0;
  ResetSetupState();
  // The arguments come from the whole command line: there is no C runtime
  // start-up code to split it.
  char* arguments = const_cast<char*>(SkipProgramName(GetCommandLineA()));
  ExitProcess(static_cast<UINT>(RunSetup(GetModuleHandleA(nullptr), nullptr, arguments, SW_SHOWDEFAULT)));
}
