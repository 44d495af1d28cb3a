#include "install/install_sequence.h"

#include <commctrl.h>

#include "common/folder_path.h"
#include "common/types.h"
#include "install/file_helpers.h"
#include "install/registration.h"
#include "install/setup_state.h"
#include "payload/payload_extractor.h"
#include "settings/settings_file.h"
#include "settings/settings_migration.h"
#include "shell/link_label.h"

namespace {

// Controls of the page and buttons of the wizard frame.
const int kProgressBar = 1009;
const int kStatusText = 1014;
const int kLinkText = 1016;
const int kBackButton = 0x3023;
const int kFinishButton = 0x3025;

const int kStepCount = 10;
const UINT kRepaintWaitMs = 1000;   // per window, in step 1
const char kCaption[] = "Morvantile - Installation";
const char kPayloadType[] = "FILE_RESOURCE";
const WORD kLibraryPayload = 102;
const WORD kProgramPayload = 101;
const WORD kProcessStatusPayload = 118;
const char kDamagedSetup[] =
    "Installation Incomplete.\n\nThe setup program is damaged. Please download it again.";

// Room for a status text or question around a folder of 2047 characters.
const int kMessageSize = 2048 + 256;

// A step returns 1 when it succeeded; a step that fails the run returns 0
// and leaves the status text for the page in `failure` (kMessageSize bytes).
int Fail(char* failure, const char* text) {
  lstrcpynA(failure, text, kMessageSize);
  return 0;
}

int Ask(HWND page, const char* text, UINT buttons) {
  return MessageBoxA(page, text, kCaption, buttons);
}

HWND FrameButton(HWND page, int id) { return GetDlgItem(GetParent(page), id); }

// Builds targetFolder\name in scratchPath.
void SetScratchPath(const char* name) {
  FormatText(SetupState.scratchPath, sizeof SetupState.scratchPath, "%s\\%s", SetupState.targetFolder, name);
}

int FixInstallFolder(HWND page, char* failure) {
  const char* chosen = SetupState.customInstall ? SetupState.customFolder : SetupState.defaultFolder;
  lstrcpynA(SetupState.targetFolder, chosen, sizeof SetupState.targetFolder);
  int length = lstrlenA(SetupState.targetFolder);
  if (length > 0 && SetupState.targetFolder[length - 1] == '\\') {
    SetupState.targetFolder[length - 1] = '\0';
  }

  // Only a full path names a folder: a relative one would be taken from the
  // setup's current folder, and a wildcard would let the search below match
  // some other entry. Judged as the files are named, folder\name, so that a
  // drive's root "C:" stands.
  char asUsed[sizeof SetupState.targetFolder + 1];
  int fullPath = FormatText(asUsed, sizeof asUsed, "%s\\", SetupState.targetFolder) && IsFullFolderPath(asUsed);

  WIN32_FIND_DATAA found;
  HANDLE search = fullPath ? FindFirstFileA(SetupState.targetFolder, &found) : INVALID_HANDLE_VALUE;
  if (search != INVALID_HANDLE_VALUE) {
    FindClose(search);
    return 1;
  }

  if (!SetupState.customInstall) {
    if (fullPath && CreateFolderTree(SetupState.targetFolder)) return 1;
    FormatText(failure, kMessageSize,
               "Installation Incomplete.\n\nThe installation folder could not be created.\n%s\n"
               "Go back and try using the Custom installation and specify a different folder.",
               SetupState.targetFolder);
    return 0;
  }

  const char kInvalid[] =
      "Installation Incomplete.\n\nThe installation folder is invalid.  Go back and enter a valid installation folder.";
  if (!fullPath) return Fail(failure, kInvalid);
  char question[kMessageSize];
  FormatText(question, sizeof question, "Create folder?\n\nThe installation folder doesn't exist.\n%s",
             SetupState.targetFolder);
  if (Ask(page, question, MB_YESNO) != IDYES) {
    return Fail(failure, "Installation Incomplete.\n\nThe creation of the installation folder was declined.");
  }
  if (CreateFolderTree(SetupState.targetFolder)) return 1;
  return Fail(failure, kInvalid);
}

int CloseProduct() {
  EnumWindows(CloseRunningProduct, 0);
  // Let the screen repaint where the product's window was. A window that
  // does not answer must not stop the installation here.
  for (int i = 0; i < 2; i++) {
    SendMessageTimeoutA(HWND_BROADCAST, WM_PAINT, 0, 0, SMTO_ABORTIFHUNG, kRepaintWaitMs, nullptr);
    Sleep(100);
  }
  return 1;
}

// The library may still be held by a product that is ending: try four times,
// 100 ms apart, before asking the user.
int WriteProductLibrary(HWND page) {
  SetScratchPath("Morvantile.dll");
  SetFileAttributesA(SetupState.scratchPath, FILE_ATTRIBUTE_NORMAL);
  int attempts = 0;
  for (;;) {
    if (ExtractPayloadToFile(kPayloadType, kLibraryPayload, SetupState.scratchPath)) return 1;
    if (LastPayloadWasDamaged()) return 0;   // no retry can mend it
    Sleep(100);
    if (++attempts <= 3) continue;
    attempts = 0;
    if (Ask(page,
            "Could not write the Morvantile.dll file.\nCheck that it is not currently in use\n"
            "and that no other programs are running.",
            MB_RETRYCANCEL) != IDRETRY) {
      return 0;
    }
  }
}

int WriteProductProgram(HWND page) {
  SetScratchPath("Morvantile.exe");
  SetFileAttributesA(SetupState.scratchPath, FILE_ATTRIBUTE_NORMAL);
  while (!ExtractPayloadToFile(kPayloadType, kProgramPayload, SetupState.scratchPath)) {
    if (LastPayloadWasDamaged()) return 0;
    if (Ask(page,
            "Could not write the Morvantile.exe file.\nCheck that it is not currently in use\n"
            "and that no other programs are running.",
            MB_RETRYCANCEL) != IDRETRY) {
      return 0;
    }
  }
  return 1;
}

// psapi.dll goes along only for NT systems whose system folder lacks it.
int ProcessStatusLibraryNeeded() {
  OSVERSIONINFOA system;
  ZeroMemory(&system, sizeof system);
  system.dwOSVersionInfoSize = sizeof system;
  if (GetVersionExA(&system) && system.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS) return 0;

  char* path = SetupState.scratchPath;
  UINT length = GetSystemDirectoryA(path, sizeof SetupState.scratchPath);
  if (length == 0 || length >= sizeof SetupState.scratchPath) return 1;
  const char* name = path[length - 1] == '\\' ? "psapi.dll" : "\\psapi.dll";
  if ((size_t)length + lstrlenA(name) >= sizeof SetupState.scratchPath) return 1;
  lstrcpyA(path + length, name);
  return FileExists(path) ? 0 : 1;
}

// A damaged payload is never written; the run ends with its own text.
int WriteProductFiles(HWND page, char* failure) {
  if (!WriteProductLibrary(page)) {
    if (LastPayloadWasDamaged()) return Fail(failure, kDamagedSetup);
    return Fail(failure, "Installation Incomplete.\n\nThe Morvantile.dll file could not be written.");
  }
  if (!WriteProductProgram(page)) {
    if (LastPayloadWasDamaged()) return Fail(failure, kDamagedSetup);
    return Fail(failure, "Installation Incomplete.\n\nThe Morvantile.exe file could not be written.");
  }
  if (ProcessStatusLibraryNeeded()) {
    SetScratchPath("psapi.dll");
    if (!FileExists(SetupState.scratchPath)) {
      SetFileAttributesA(SetupState.scratchPath, FILE_ATTRIBUTE_NORMAL);
      if (!ExtractPayloadToFile(kPayloadType, kProcessStatusPayload, SetupState.scratchPath) &&
          LastPayloadWasDamaged())
        return Fail(failure, kDamagedSetup);
    }
  }
  return 1;
}

int MigrateOlderSettings() {
  SetupState.migrationResult = MigrateSettings(SetupState.targetFolder);
  return 1;
}

// An upgrade from before 3.04 keeps the old file's body under a new header.
void StampSettingsHeader(const char* path) {
  HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  const unsigned char header[4] = {'M', 'V', kSetupVersion & 0xFF, kSetupVersion >> 8};
  DWORD written = 0;
  WriteFile(file, header, sizeof header, &written, nullptr);
  CloseHandle(file);
}

int WriteSettings(HWND page, char* failure) {
  SetScratchPath("default.MorvantileSettings");
  char* path = SetupState.scratchPath;
  if (!SetupState.migrateSettings) {
    SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL);
    if (FileExists(path)) DeleteFileA(path);
  }
  SetupState.settingsFileFailed = 0;
  if (SetupState.migrationResult && SetupState.migrateSettings && !WriteSettingsFile(path)) {
    SetupState.settingsFileFailed = 1;
    if (Ask(page, "Could not write the settings file.\nContinue installation with default settings?",
            MB_OKCANCEL) != IDOK) {
      return Fail(failure, "Installation Incomplete.\n\nThe settings file could not be written.");
    }
  }
  unsigned installed = SetupState.installedVersion;
  if (FileExists(path) && installed != 0 && installed < kSetupVersion) StampSettingsHeader(path);
  return 1;
}

// The registry copy goes only once the settings file holds the settings:
// after a failed write it is all the user has left.
int RemoveRegistrySettings() {
  if (SetupState.migrateSettings && !SetupState.settingsFileFailed) RemoveProductSettings();
  return 1;
}

int CreateShortcut() {
  int wanted = SetupState.customInstall ? SetupState.startWithWindows : SetupState.installedVersion == 0;
  if (wanted) CreateStartupShortcut(SetupState.targetFolder);
  return 1;
}

int StartProduct() {
  int wanted = SetupState.customInstall
                   ? SetupState.launchAfterInstall
                   : (SetupState.instanceWasRunning || SetupState.installedVersion == 0);
  if (wanted) LaunchProduct(SetupState.targetFolder);
  return 1;
}

int RegisterForUninstall() {
  WriteUninstallEntry(SetupState.targetFolder);
  return 1;
}

int RunStep(HWND page, int step, char* failure) {
  switch (step) {
    case 0: return FixInstallFolder(page, failure);
    case 1: return CloseProduct();
    case 2: return WriteProductFiles(page, failure);
    case 3: return MigrateOlderSettings();
    case 4: return WriteSettings(page, failure);
    case 5: return RemoveRegistrySettings();
    case 6: return CreateShortcut();
    case 7: return StartProduct();
    default: return RegisterForUninstall();   // step 8
  }
}

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

// Both ends let "OK" close the wizard; a failed run also offers Back.
void EndRun(HWND page, const char* statusText, int failed) {
  SetDlgItemTextA(page, kStatusText, statusText);
  if (failed) ShowWindow(FrameButton(page, kBackButton), SW_SHOW);
  HWND finish = FrameButton(page, kFinishButton);
  EnableWindow(finish, TRUE);
  if (!SetupState.finished) DropInputQueuedDuringTheRun();
  SetupState.finished = 1;
  PostMessageA(page, WMU_FOCUSCONTROL, (WPARAM)finish, 0);
}

void RunStepMessage(HWND page, LPARAM stepNumber) {
  SendDlgItemMessageA(page, kProgressBar, PBM_STEPIT, 0, 0);
  if (stepNumber < 0 || stepNumber >= kStepCount - 1) {
    EndRun(page,
           stepNumber == kStepCount - 1
               ? "Installation complete.\n\nThank you for using Morvantile."
               : "Installation failed.\n\nUnknown fatal error during uninstallation.",
           0);
    return;
  }
  int step = (int)stepNumber;
  char failure[kMessageSize];
  if (RunStep(page, step, failure)) {
    PostMessageA(page, WMU_RUNSTEP, 0, step + 1);
  } else {
    EndRun(page, failure, 1);
  }
}

void SetUpPage(HWND page) {
  SendDlgItemMessageA(page, kProgressBar, PBM_SETRANGE, 0, MAKELPARAM(0, kStepCount));
  SendDlgItemMessageA(page, kProgressBar, PBM_SETSTEP, 1, 0);
  AttachLinkLabel(page, kLinkText);
}

// The frame shows only a disabled "OK" in place of Next while a run works.
void StartRun(HWND page) {
  HWND frame = GetParent(page);
  SendMessageA(frame, PSM_SETWIZBUTTONS, 0, PSWIZB_BACK | PSWIZB_FINISH);
  ShowWindow(FrameButton(page, kBackButton), SW_HIDE);
  HWND finish = FrameButton(page, kFinishButton);
  ShowWindow(finish, SW_SHOW);
  ShowWindow(FrameButton(page, IDCANCEL), SW_HIDE);
  SetWindowTextA(finish, "OK");
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
