// Program entry and RunSetup.
#include "shell/run_setup.h"

#include <commctrl.h>
#include <prsht.h>
#include <stddef.h>

#include "install/detection.h"
#include "install/install_sequence.h"
#include "install/setup_state.h"
#include "payload/payload_extractor.h"
#include "shell/system_libraries.h"
#include "shell/wizard_ids.h"
#include "shell/wizard_pages.h"

namespace {

const char kMutexName[] = "SetupMorvantile - Ostrand";
const char kWizardCaption[] = "Morvantile - Installation";
const char kErrorCaption[] = "Morvantile - Error";
const char kDamagedMessage[] = "The setup program is damaged. Please download it again.";
const char kUpdaterMessage[] =
    "Please upgrade your control libraries with Microsoft's updater located at\n"
    "ftp://ftp.microsoft.com/Softlib/MSLFILES/50comupd.exe";
const int kPageCount = 5;

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

void ReportWizardFailure() {
  DWORD error = GetLastError();
  char* systemText = nullptr;
  FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM, nullptr, error,
                 MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<char*>(&systemText),
                 0, nullptr);
  char text[2048];
  // wsprintfA stops at 1024 characters, well inside the buffer.
  wsprintfA(text, "PropertySheet failed!\n%s", systemText ? systemText : "");
  MessageBoxA(nullptr, text, kErrorCaption, MB_ICONERROR);
  LocalFree(systemText);
  MessageBoxA(nullptr, kUpdaterMessage, kErrorCaption, MB_ICONERROR);
}

}  // namespace

int RunSetup(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  SetupState.instance = instance;
  HANDLE mutex = CreateMutexA(nullptr, TRUE, kMutexName);
  if (GetLastError() == ERROR_ALREADY_EXISTS) return -1;   // another copy: silently
  // Every payload is decoded and checked before anything is shown or
  // changed: a damaged download must never install a damaged product.
  if (!VerifyPayloads()) {
    MessageBoxA(nullptr, kDamagedMessage, kWizardCaption, MB_OK);
    if (mutex) {
      ReleaseMutex(mutex);
      CloseHandle(mutex);
    }
    return -1;
  }
  InitCommonControlsOnce();
  FindInstallFolder(SetupState.defaultFolder);
  lstrcpynA(SetupState.customFolder, SetupState.defaultFolder, sizeof SetupState.customFolder);
  SetupState.installedVersion = DetectInstalledVersion(SetupState.defaultFolder);

  HPROPSHEETPAGE pages[kPageCount];
  if (!CreatePages(pages)) {
    MessageBoxA(nullptr, "CreatePropertySheetPage failed!", kErrorCaption, MB_ICONERROR);
    for (int i = 0; i < kPageCount; ++i) DestroyPropertySheetPageSafe(pages[i]);
  } else if (ShowWizard(pages) == -1) {
    ReportWizardFailure();
  }
  if (mutex) {
    ReleaseMutex(mutex);
    CloseHandle(mutex);
  }
  return -1;
}

// The program's entry point: the C runtime's start-up code is not linked
// (nothing here needs it), so the process ends here with ExitProcess.
extern "C" void WINAPI SetupEntry() {
  // Before anything can load a DLL: a planted one in our folder must never run.
  RestrictDllSearchPath();
  ResetSetupState();
  ExitProcess(static_cast<UINT>(RunSetup(GetModuleHandleA(nullptr), nullptr, nullptr, SW_SHOWDEFAULT)));
}
