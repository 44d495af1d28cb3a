#include "shell/wizard_pages.h"

#include <commctrl.h>
#include <prsht.h>
#include <shlobj.h>

#include "common/memory.h"
#include "common/types.h"
#include "common/setup_state.h"
#include "payload/payload_extractor.h"
#include "shell/link_label.h"
#include "shell/wizard_ids.h"

namespace {

const char kProductEdition[] = "Morvantile 3.04 Basic";
const char kNextText[] = "&Next >";
const char kInstallText[] = "I&nstall";
const char kBackText[] = "< &Back";
const WORD kLicencePayload = 116;
const char kLicenceUnreadable[] =
    "The licence agreement could not be read: the setup program is damaged.\r\n"
    "Please download it again.";

// A ProductVersion compared with this setup's own.
int IsNewerVersion(uint32_t version) { return version != 0 && version > kSetupVersion; }

HWND WizardButton(HWND page, int id) { return GetDlgItem(GetParent(page), id); }

void SetWizardButtons(HWND page, DWORD buttons) {
  SendMessageA(GetParent(page), PSM_SETWIZBUTTONS, 0, static_cast<LPARAM>(buttons));
}

void ShowButton(HWND page, int id, int show) { ShowWindow(WizardButton(page, id), show ? SW_SHOW : SW_HIDE); }

void NameButton(HWND page, int id, const char* text) { SetDlgItemTextA(GetParent(page), id, text); }

void FocusLater(HWND page, int buttonId) {
  PostMessageA(page, WMU_FOCUSCONTROL, reinterpret_cast<WPARAM>(WizardButton(page, buttonId)), 0);
}

// PSN_SETACTIVE answer: 0 shows the page, -1 skips it.
INT_PTR AnswerActivation(HWND page, LONG_PTR answer) {
  SetWindowLongPtrA(page, DWLP_MSGRESULT, answer);
  return TRUE;
}

int IsActivation(LPARAM lParam) {
  return reinterpret_cast<const NMHDR*>(lParam)->code == static_cast<UINT>(PSN_SETACTIVE);
}

int IsChecked(HWND page, int id) {
  return SendDlgItemMessageA(page, id, BM_GETCHECK, 0, 0) == BST_CHECKED ? 1 : 0;
}

void Check(HWND page, int id) { SendDlgItemMessageA(page, id, BM_SETCHECK, BST_CHECKED, 0); }

// The buttons of every page after the Welcome page and before Progress.
void ShowMiddleButtons(HWND page, const char* back, const char* next) {
  SetWizardButtons(page, PSWIZB_BACK | PSWIZB_NEXT);
  ShowButton(page, IDC_WIZARD_BACK, 1);
  ShowButton(page, IDC_WIZARD_NEXT, 1);
  ShowButton(page, IDCANCEL, 1);
  NameButton(page, IDC_WIZARD_BACK, back);
  NameButton(page, IDC_WIZARD_NEXT, next);
  FocusLater(page, IDC_WIZARD_NEXT);
}

// The client rectangle is centred, not the frame: the wizard sits a little
// low and to the right, and above every other window for its whole life.
void CentreWizard(HWND page) {
  HWND sheet = GetParent(page);
  RECT client;
  GetClientRect(sheet, &client);
  int x = (GetSystemMetrics(SM_CXSCREEN) - client.right) / 2;
  int y = (GetSystemMetrics(SM_CYSCREEN) - client.bottom) / 2;
  SetWindowPos(sheet, HWND_TOPMOST, x, y, 0, 0, SWP_NOSIZE);
}

const char* WelcomeMessage(uint32_t version) {
  if (version == kSetupVersion)
    return "This version of Morvantile is already installed on this computer.\n"
           "Continue with the installation to rewrite any damaged files.";
  if (version != 0)
    return "An older version of Morvantile is installed on this computer.\n"
           "Continue with the installation to upgrade.";
  return "Thank you for using Morvantile.";
}

void ActivateWelcome(HWND page) {
  SetWizardButtons(page, PSWIZB_NEXT);
  ShowButton(page, IDC_WIZARD_BACK, 0);
  ShowButton(page, IDCANCEL, 1);
  if (IsNewerVersion(SetupState.installedVersion)) {
    SetDlgItemTextA(page, IDC_MESSAGE,
                    "A newer version of Morvantile is installed on this computer.\n"
                    "You can not install an older version after a newer version has been installed.");
    ShowButton(page, IDC_WIZARD_NEXT, 0);
    FocusLater(page, IDCANCEL);
    return;
  }
  ShowButton(page, IDC_WIZARD_NEXT, 1);
  NameButton(page, IDC_WIZARD_NEXT, kNextText);
  FocusLater(page, IDC_WIZARD_NEXT);
  SetDlgItemTextA(page, IDC_MESSAGE, WelcomeMessage(SetupState.installedVersion));
}

void InitOptions(HWND page) {
  int recommended = IDC_UPGRADE;
  if (SetupState.installedVersion == 0) {
    EnableWindow(GetDlgItem(page, IDC_UPGRADE), FALSE);
    recommended = IDC_TYPICAL;
  }
  Check(page, recommended);
  SetupState.migrateSettings = 1;
  char text[512];
  const char suffix[] = " (recommended)";
  int length = GetDlgItemTextA(page, recommended, text, sizeof text - (sizeof suffix - 1));
  lstrcpynA(text + length, suffix, sizeof suffix);
  SetDlgItemTextA(page, recommended, text);
}

void ChooseKind(HWND page) {
  SetupState.customInstall = IsChecked(page, IDC_CUSTOM);
  if (SetupState.customInstall) {
    NameButton(page, IDC_WIZARD_NEXT, kNextText);
  } else {
    SetupState.migrateSettings = 1;
    NameButton(page, IDC_WIZARD_NEXT, kInstallText);
  }
}

void InitCustom(HWND page) {
  SetDlgItemTextA(page, IDC_FOLDER, SetupState.customFolder);
  Check(page, IDC_LAUNCH_AFTER);
  SetupState.launchAfterInstall = 1;
  Check(page, IDC_START_WITH_WINDOWS);
  SetupState.startWithWindows = 1;
  Check(page, IDC_MIGRATE);
  SetupState.migrateSettings = 1;
}

// The browser writes its display-name buffer even when it is cancelled (as
// Wine's does, with whatever the buffer then holds), so it gets a buffer of
// its own: customFolder changes only when a folder was chosen.
void BrowseForFolder(HWND page) {
  char displayName[MAX_PATH];
  char chosenPath[MAX_PATH];
  BROWSEINFOA browse;
  MemFill(&browse, 0, sizeof browse);
  browse.hwndOwner = page;
  browse.pszDisplayName = displayName;
  browse.lpszTitle = "Select the folder to install into.";
  browse.ulFlags = BIF_RETURNONLYFSDIRS;
  LPITEMIDLIST chosen = SHBrowseForFolderA(&browse);
  if (!chosen) return;
  BOOL havePath = SHGetPathFromIDListA(chosen, chosenPath);
  CoTaskMemFree(chosen);
  if (!havePath) return;
  lstrcpynA(SetupState.customFolder, chosenPath, sizeof SetupState.customFolder);
  SetDlgItemTextA(page, IDC_FOLDER, SetupState.customFolder);
}

INT_PTR CustomCommand(HWND page, WPARAM command) {
  switch (command) {
    case IDC_START_WITH_WINDOWS:
      SetupState.startWithWindows = IsChecked(page, IDC_START_WITH_WINDOWS);
      return TRUE;
    case IDC_LAUNCH_AFTER:
      SetupState.launchAfterInstall = IsChecked(page, IDC_LAUNCH_AFTER);
      return TRUE;
    case IDC_MIGRATE:
      SetupState.migrateSettings = IsChecked(page, IDC_MIGRATE);
      return TRUE;
    case IDC_BROWSE:
      BrowseForFolder(page);
      return TRUE;
    case MAKEWPARAM(IDC_FOLDER, EN_CHANGE):
      GetDlgItemTextA(page, IDC_FOLDER, SetupState.customFolder, sizeof SetupState.customFolder);
      return TRUE;
    default:
      return FALSE;
  }
}

// Focus through the wizard's dialog manager, not SetFocus: a focused push
// button then also becomes the default one, so Enter presses the button
// that has the focus (Cancel on a Welcome page whose Next is hidden, never
// the hidden Next).
INT_PTR FocusControl(HWND page, WPARAM control) {
  SendMessageA(GetParent(page), WM_NEXTDLGCTL, control, TRUE);
  return TRUE;
}

// The licence box is a multi-line edit, which asks the dialog manager for
// every key: Tab could not leave it, Enter not agree, Escape not cancel. It
// is read-only, so it keeps only what it needs to scroll and select.
WNDPROC licenceEditProc;

LRESULT CALLBACK LicenceTextProc(HWND edit, UINT message, WPARAM wParam, LPARAM lParam) {
  LRESULT result = CallWindowProcA(licenceEditProc, edit, message, wParam, lParam);
  if (message == WM_GETDLGCODE) result &= ~static_cast<LRESULT>(DLGC_WANTALLKEYS | DLGC_WANTTAB);
  return result;
}

void LeaveDialogKeysToWizard(HWND edit) {
  if (!edit) return;
  licenceEditProc = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrA(edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(LicenceTextProc)));
}

}  // namespace

INT_PTR CALLBACK WelcomePageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: {
      CentreWizard(page);
      char header[2048];
      wsprintfA(header, "This program installs %s.", kProductEdition);
      SetDlgItemTextA(page, IDC_HEADER, header);
      AttachLinkLabel(page, IDC_LINK);
      return TRUE;
    }
    case WM_NOTIFY:
      if (!IsActivation(lParam)) return FALSE;
      ActivateWelcome(page);
      return AnswerActivation(page, 0);
    case WMU_FOCUSCONTROL:
      return FocusControl(page, wParam);
    default:
      return FALSE;
  }
}

// Whether the Licence page shows the real licence text.
static int licenceShown = 0;

INT_PTR CALLBACK LicencePageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: {
      char* text = nullptr;
      licenceShown = LoadPayloadText(kPayloadType, kLicencePayload, &text) && text && text[0];
      SetDlgItemTextA(page, IDC_LICENCE_TEXT, licenceShown ? text : kLicenceUnreadable);
      MemFree(text);
      LeaveDialogKeysToWizard(GetDlgItem(page, IDC_LICENCE_TEXT));
      return TRUE;
    }
    case WM_NOTIFY:
      if (!IsActivation(lParam)) return FALSE;
      ShowMiddleButtons(page, "I &Disagree", "I &Agree");
      // Nobody can agree to a licence that could not be shown.
      if (!licenceShown) {
        SetWizardButtons(page, PSWIZB_BACK);
        FocusLater(page, IDC_WIZARD_BACK);
      }
      return AnswerActivation(page, 0);
    case WMU_FOCUSCONTROL:
      return FocusControl(page, wParam);
    default:
      return FALSE;
  }
}

INT_PTR CALLBACK OptionsPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      InitOptions(page);
      return TRUE;
    case WM_COMMAND:
      if (wParam == IDC_TYPICAL || wParam == IDC_CUSTOM || wParam == IDC_UPGRADE) ChooseKind(page);
      return FALSE;
    case WM_NOTIFY:
      if (!IsActivation(lParam)) return FALSE;
      ShowMiddleButtons(page, kBackText, SetupState.customInstall ? kNextText : kInstallText);
      return AnswerActivation(page, 0);
    case WMU_FOCUSCONTROL:
      return FocusControl(page, wParam);
    default:
      return FALSE;
  }
}

INT_PTR CALLBACK CustomPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      InitCustom(page);
      return TRUE;
    case WM_COMMAND:
      return CustomCommand(page, wParam);
    case WM_NOTIFY:
      if (!IsActivation(lParam)) return FALSE;
      if (!SetupState.customInstall) return AnswerActivation(page, -1);
      ShowMiddleButtons(page, kBackText, kInstallText);
      return AnswerActivation(page, 0);
    case WMU_FOCUSCONTROL:
      return FocusControl(page, wParam);
    default:
      return FALSE;
  }
}
