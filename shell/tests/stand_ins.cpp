// Stand-ins for the engine and the payload extraction, linked only into
// setup-preview.exe while those subsystems are not in the tree: the pages
// can then be run and looked at on their own.
#include <windows.h>
#include <commctrl.h>
#include <prsht.h>

#include "common/memory.h"
#include "common/types.h"
#include "install/detection.h"
#include "install/install_sequence.h"
#include "install/setup_state.h"
#include "payload/payload_extractor.h"
#include "shell/link_label.h"
#include "shell/wizard_ids.h"

void FindInstallFolder(char* folder) { lstrcpyA(folder, "C:\\Program Files\\Morvantile"); }

ProductVersion DetectInstalledVersion(const char*) { return 0; }

int LoadPayloadText(const char*, WORD, char** text) {
  static const char kText[] = "Licence text of the preview build.";
  char* block = static_cast<char*>(MemAlloc(sizeof kText));
  if (!block) return 0;
  MemCopy(block, kText, sizeof kText);
  *text = block;
  return 1;
}

INT_PTR CALLBACK ProgressPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
  HWND sheet = GetParent(page);
  switch (message) {
    case WM_INITDIALOG:
      SendDlgItemMessageA(page, IDC_PROGRESS_BAR, PBM_SETRANGE, 0, MAKELPARAM(0, 10));
      AttachLinkLabel(page, IDC_LINK);
      return TRUE;
    case WM_NOTIFY:
      if (reinterpret_cast<NMHDR*>(lParam)->code != static_cast<UINT>(PSN_SETACTIVE)) return FALSE;
      SendMessageA(sheet, PSM_SETWIZBUTTONS, 0, PSWIZB_BACK | PSWIZB_FINISH);
      ShowWindow(GetDlgItem(sheet, IDC_WIZARD_BACK), SW_HIDE);
      ShowWindow(GetDlgItem(sheet, IDCANCEL), SW_HIDE);
      SetDlgItemTextA(sheet, IDC_WIZARD_FINISH, "OK");
      SendDlgItemMessageA(page, IDC_PROGRESS_BAR, PBM_SETPOS, 10, 0);
      SetDlgItemTextA(page, IDC_MESSAGE, "Installation complete.\n\nThank you for using Morvantile.");
      SetWindowLongPtrA(page, DWLP_MSGRESULT, 0);
      return TRUE;
    default:
      (void)wParam;
      return FALSE;
  }
}
