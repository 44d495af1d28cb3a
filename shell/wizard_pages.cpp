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

const char kNextText[] = "&Next >";
const char kInstallText[] = "I&nstall";
const char kBackText[] = "< &Back";
const WORD kLicencePayload = 116;
const char kLicenceUnreadable[] =
    "The licence agreement could not be read: the setup program is damaged.\r\n"
    "Please download it again.";

// A ProductVersion compared with this setup's own.
int IsNewerVersion(uint32_t version) { return version > kSetupVersion; }

// The wizard frame's buttons, by the frame (the page's parent).
void ShowButton(HWND frame, int id, int show) { ShowWindow(GetDlgItem(frame, id), show ? SW_SHOW : SW_HIDE); }

int IsChecked(HWND page, int id) {
  return SendDlgItemMessageA(page, id, BM_GETCHECK, 0, 0) == BST_CHECKED ? 1 : 0;
}

void Check(HWND page, int id) { SendDlgItemMessageA(page, id, BM_SETCHECK, BST_CHECKED, 0); }

// Sets the frame's buttons as a page becomes current: which are enabled, the
// texts of Back and Next (null hides the button; Cancel always shows), and
// the one that gets the focus.
void SetButtons(HWND page, DWORD enabled, const char* back, const char* next, int focus) {
  HWND frame = GetParent(page);
  SendMessageA(frame, PSM_SETWIZBUTTONS, 0, static_cast<LPARAM>(enabled));
  ShowButton(frame, IDC_WIZARD_BACK, back != nullptr);
  ShowButton(frame, IDC_WIZARD_NEXT, next != nullptr);
  ShowButton(frame, IDCANCEL, 1);
  if (back) SetDlgItemTextA(frame, IDC_WIZARD_BACK, back);
  if (next) SetDlgItemTextA(frame, IDC_WIZARD_NEXT, next);
  PostMessageA(page, WMU_FOCUSCONTROL, reinterpret_cast<WPARAM>(GetDlgItem(frame, focus)), 0);
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
  if (IsNewerVersion(version))
    return "A newer version of Morvantile is installed on this computer.\n"
           "You can not install an older version after a newer version has been installed.";
  if (version == kSetupVersion)
    return "This version of Morvantile is already installed on this computer.\n"
           "Continue with the installation to rewrite any damaged files.";
  if (version != 0)
    return "An older version of Morvantile is installed on this computer.\n"
           "Continue with the installation to upgrade.";
  return "Thank you for using Morvantile.";
}

void InitWelcome(HWND page) {
  CentreWizard(page);
  SetDlgItemTextA(page, IDC_HEADER, "This program installs Morvantile 3.04 Basic.");
  AttachLinkLabel(page, IDC_LINK);
}

// PSN_SETACTIVE: each page sets itself up and answers 0 to be shown, -1 to
// be skipped.
// Over a newer version there is no Next: only Cancel.
LONG_PTR ActivateWelcome(HWND page) {
  int newer = IsNewerVersion(SetupState.installedVersion);
  SetButtons(page, PSWIZB_NEXT, nullptr, newer ? nullptr : kNextText, newer ? IDCANCEL : IDC_WIZARD_NEXT);
  SetDlgItemTextA(page, IDC_MESSAGE, WelcomeMessage(SetupState.installedVersion));
  return 0;
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

// Custom goes on to its own page; Typical and Upgrade install next and
// always move the settings.
void ChooseKind(HWND page) {
  int custom = IsChecked(page, IDC_CUSTOM);
  SetupState.customInstall = custom;
  if (!custom) SetupState.migrateSettings = 1;
  SetDlgItemTextA(GetParent(page), IDC_WIZARD_NEXT, custom ? kNextText : kInstallText);
}

// The Custom page's check boxes and the choices they hold; all start checked.
struct CustomOption {
  int id;
  int32_t* choice;
};

const CustomOption kCustomOptions[] = {
    {IDC_START_WITH_WINDOWS, &SetupState.startWithWindows},
    {IDC_LAUNCH_AFTER, &SetupState.launchAfterInstall},
    {IDC_MIGRATE, &SetupState.migrateSettings},
};

void InitCustom(HWND page) {
  SetDlgItemTextA(page, IDC_FOLDER, SetupState.customFolder);
  for (const CustomOption& option : kCustomOptions) {
    Check(page, option.id);
    *option.choice = 1;
  }
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
  for (const CustomOption& option : kCustomOptions) {
    if (command == static_cast<WPARAM>(option.id)) {
      *option.choice = IsChecked(page, option.id);
      return TRUE;
    }
  }
  switch (command) {
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

// What every page before Progress does with the wizard's notices and its
// own focus message.
INT_PTR PageMessage(HWND page, UINT message, WPARAM wParam, LPARAM lParam, LONG_PTR (*Activate)(HWND)) {
  if (message == WMU_FOCUSCONTROL) return FocusControl(page, wParam);
  if (message != WM_NOTIFY || reinterpret_cast<const NMHDR*>(lParam)->code != static_cast<UINT>(PSN_SETACTIVE))
    return FALSE;
  SetWindowLongPtrA(page, DWLP_MSGRESULT, Activate(page));
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

// Whether the Licence page shows the real licence text.
int licenceShown = 0;

void InitLicence(HWND page) {
  char* text = nullptr;
  licenceShown = LoadPayloadText(kPayloadType, kLicencePayload, &text) && text && text[0];
  SetDlgItemTextA(page, IDC_LICENCE_TEXT, licenceShown ? text : kLicenceUnreadable);
  MemFree(text);
  LeaveDialogKeysToWizard(GetDlgItem(page, IDC_LICENCE_TEXT));
}

// Nobody can agree to a licence that could not be shown.
LONG_PTR ActivateLicence(HWND page) {
  SetButtons(page, licenceShown ? PSWIZB_BACK | PSWIZB_NEXT : PSWIZB_BACK, "I &Disagree", "I &Agree",
             licenceShown ? IDC_WIZARD_NEXT : IDC_WIZARD_BACK);
  return 0;
}

LONG_PTR ActivateOptions(HWND page) {
  SetButtons(page, PSWIZB_BACK | PSWIZB_NEXT, kBackText, SetupState.customInstall ? kNextText : kInstallText,
             IDC_WIZARD_NEXT);
  return 0;
}

LONG_PTR ActivateCustom(HWND page) {
  if (!SetupState.customInstall) return -1;
  // Typical or Upgrade chosen on the way here set the settings to move:
  // what the boxes show is what runs.
  for (const CustomOption& option : kCustomOptions) *option.choice = IsChecked(page, option.id);
  SetButtons(page, PSWIZB_BACK | PSWIZB_NEXT, kBackText, kInstallText, IDC_WIZARD_NEXT);
  return 0;
}

}  // namespace

INT_PTR CALLBACK WelcomePageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message != WM_INITDIALOG) return PageMessage(page, message, wParam, lParam, ActivateWelcome);
  InitWelcome(page);
  return TRUE;
}

INT_PTR CALLBACK LicencePageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message != WM_INITDIALOG) return PageMessage(page, message, wParam, lParam, ActivateLicence);
  InitLicence(page);
  return TRUE;
}

INT_PTR CALLBACK OptionsPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      InitOptions(page);
      return TRUE;
    case WM_COMMAND:
      if (wParam == IDC_TYPICAL || wParam == IDC_CUSTOM || wParam == IDC_UPGRADE) ChooseKind(page);
      return FALSE;
    default:
      return PageMessage(page, message, wParam, lParam, ActivateOptions);
  }
}

INT_PTR CALLBACK CustomPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      InitCustom(page);
      return TRUE;
    case WM_COMMAND:
      return CustomCommand(page, wParam);
    default:
      return PageMessage(page, message, wParam, lParam, ActivateCustom);
  }
}
