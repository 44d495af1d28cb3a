#include "shell/progress_page.h"

#include <commctrl.h>

#include "common/setup_state.h"
#include "common/types.h"
#include "install/install_sequence.h"
#include "shell/link_label.h"

const char kWizardCaption[] = "Morvantile - Installation";

namespace {

// Controls of the page and buttons of the wizard frame.
const int kProgressBar = 1009;
const int kStatusText = 1014;
const int kLinkText = 1016;
const int kBackButton = 0x3023;
const int kFinishButton = 0x3025;

// Keys and clicks that arrive while the steps work wait behind the posted
// step messages. An Escape or a click on the close box refused during the
// first run would otherwise reach the wizard just after it ends, and close
// it before the user has seen how the installation went.
void DropInputQueuedDuringTheRun() {
  MSG message;
  while (PeekMessageA(&message, nullptr, WM_KEYFIRST, WM_KEYLAST, PM_REMOVE)) {}
  while (PeekMessageA(&message, nullptr, WM_MOUSEFIRST, WM_MOUSELAST, PM_REMOVE)) {}
  while (PeekMessageA(&message, nullptr, WM_NCMOUSEMOVE, WM_NCXBUTTONDBLCLK, PM_REMOVE)) {}
}

void StepStarting(void* context, int) {
  SendDlgItemMessageA((HWND)context, kProgressBar, PBM_STEPIT, 0, 0);
}

int Ask(void* context, InstallQuestion, const char* text, unsigned buttons) {
  return MessageBoxA((HWND)context, text, kWizardCaption, buttons);
}

// Both ends let "OK" close the wizard; a failed run also offers Back.
void RunEnded(void* context, const char* statusText, int failed) {
  HWND page = (HWND)context;
  HWND frame = GetParent(page);
  SetDlgItemTextA(page, kStatusText, statusText);
  if (failed) ShowWindow(GetDlgItem(frame, kBackButton), SW_SHOW);
  HWND finish = GetDlgItem(frame, kFinishButton);
  EnableWindow(finish, TRUE);
  if (!SetupState.finished) DropInputQueuedDuringTheRun();
  SetupState.finished = 1;
  PostMessageA(page, WMU_FOCUSCONTROL, (WPARAM)finish, 0);
}

void RunStepMessage(HWND page, LPARAM stepNumber) {
  const InstallHost host = {page, StepStarting, Ask, RunEnded};
  // Numbers beyond any step end the run as the engine says.
  int step = stepNumber < 0 || stepNumber > kInstallStepCount ? kInstallStepCount : (int)stepNumber;
  if (RunInstallStep(step, &host)) PostMessageA(page, WMU_RUNSTEP, 0, step + 1);
}

void SetUpPage(HWND page) {
  SendDlgItemMessageA(page, kProgressBar, PBM_SETRANGE, 0, MAKELPARAM(0, kInstallStepCount));
  SendDlgItemMessageA(page, kProgressBar, PBM_SETSTEP, 1, 0);
  AttachLinkLabel(page, kLinkText);
}

// The frame shows only a disabled "OK" in place of Next while a run works.
void StartRun(HWND page) {
  HWND frame = GetParent(page);
  SendMessageA(frame, PSM_SETWIZBUTTONS, 0, PSWIZB_BACK | PSWIZB_FINISH);
  ShowWindow(GetDlgItem(frame, kBackButton), SW_HIDE);
  HWND finish = GetDlgItem(frame, kFinishButton);
  ShowWindow(finish, SW_SHOW);
  ShowWindow(GetDlgItem(frame, IDCANCEL), SW_HIDE);
  SetDlgItemTextA(frame, kFinishButton, "OK");
  EnableWindow(finish, FALSE);
  SendDlgItemMessageA(page, kProgressBar, PBM_SETPOS, 0, 0);
  PostMessageA(page, WMU_RUNSTEP, 0, 0);
}

INT_PTR Answer(HWND page, LONG_PTR result) {
  SetWindowLongPtrA(page, DWLP_MSGRESULT, result);
  return TRUE;
}

INT_PTR HandleNotice(HWND page, const NMHDR* notice) {
  switch (notice->code) {
    case PSN_SETACTIVE:
      StartRun(page);
      return Answer(page, 0);
    case PSN_WIZFINISH:
    case PSN_QUERYCANCEL:
      // Refused until the first run has ended.
      return Answer(page, SetupState.finished ? 0 : 1);
    default:
      return FALSE;
  }
}

}  // namespace

INT_PTR CALLBACK ProgressPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      SetUpPage(page);
      return TRUE;
    case WM_NOTIFY:
      return HandleNotice(page, (const NMHDR*)lParam);
    case WMU_RUNSTEP:
      RunStepMessage(page, lParam);
      return TRUE;
    case WMU_FOCUSCONTROL:
      SetFocus((HWND)wParam);
      return TRUE;
    default:
      return FALSE;
  }
}
