#include "install/install_sequence.h"

#include <windows.h>

#include "common/folder_path.h"
#include "common/setup_state.h"
#include "common/system_library.h"
#include "common/types.h"
#include "install/file_helpers.h"
#include "install/install_log.h"
#include "install/registration.h"
#include "payload/payload_extractor.h"
#include "settings/settings_file.h"
#include "settings/settings_migration.h"

namespace {

const UINT kRepaintWaitMs = 1000;   // per window, in step 1
const WORD kLibraryPayload = 102;
const WORD kProgramPayload = 101;
const WORD kProcessStatusPayload = 118;
const char kIncomplete[] = "Installation Incomplete.\n\n";

// Room for a status text or question around a folder of 2047 characters.
const int kMessageSize = 2048 + 256;

// A step returns 1 when it succeeded; a step that fails the run returns 0
// and leaves the status text for the host in `failure` (kMessageSize bytes):
// "Installation Incomplete." and the reason.
int Fail(char* failure, const char* reason) {
  FormatText(failure, kMessageSize, "%s%s", kIncomplete, reason);
  return 0;
}

// What the log says of the step that runs: its result and the questions
// asked with the answers taken. A question asked again and answered alike
// (the retries of a file in use) is counted, not repeated.
struct StepRecord {
  const InstallHost* host;
  const char* result;     // "done" unless a step says otherwise
  char questions[3072];   // "; asked \"...\": Yes" per question
  int lastEntry;          // where the last question's entry starts
  int lastQuestion;
  int lastAnswer;
  int times;              // how often the last question was answered alike
  // Working texts of the step, kept here rather than on the stack: one
  // thread runs the steps, and every frame stays within the stack's guard
  // page (the build does not probe the stack).
  char question[kMessageSize];   // the question being asked
  char failure[kMessageSize];    // the status text of a failed step
  char logLine[4096];
  char logStatus[1100];
};

StepRecord current;

const char* ButtonName(int button) {
  switch (button) {
    case IDYES: return "Yes";
    case IDNO: return "No";
    case IDOK: return "OK";
    case IDRETRY: return "Retry";
    case IDCANCEL: return "Cancel";
    default: return "none";
  }
}

void NoteQuestion(InstallQuestion question, const char* text, int answer) {
  if (current.times > 0 && current.lastQuestion == question && current.lastAnswer == answer) {
    current.times++;
  } else {
    current.lastEntry = lstrlenA(current.questions);
    current.lastQuestion = question;
    current.lastAnswer = answer;
    current.times = 1;
  }
  int room = (int)sizeof current.questions - current.lastEntry;
  if (room <= 1) return;
  // wsprintfA stops at 1024 characters, inside the entry's buffer.
  char entry[1100];
  const char* format = current.times == 1 ? "; asked \"%.900s\": %s" : "; asked \"%.900s\": %s (%d times)";
  wsprintfA(entry, format, text, ButtonName(answer), current.times);
  lstrcpynA(current.questions + current.lastEntry, entry, room);
}

int Ask(InstallQuestion question, const char* text, UINT buttons) {
  int answer = current.host->Ask(current.host->context, question, text, buttons);
  NoteQuestion(question, text, answer);
  return answer;
}

int Skipped() {
  current.result = "skipped";
  return 1;
}

// Builds targetFolder\name in scratchPath.
void SetScratchPath(const char* name) {
  PathInFolder(SetupState.scratchPath, sizeof SetupState.scratchPath, SetupState.targetFolder, name);
}

// A typed folder in the form Windows gives back: slashes become
// backslashes (the uninstaller compares its own path, as Windows reports it,
// with the entry written from this folder), and blanks and backslashes at
// the end go. Windows drops blanks only from a path's last name: "D:\Tools "
// would be found or made as D:\Tools, but "D:\Tools \Morvantile.exe" could
// then not be written. A second backslash would make an existing folder
// look missing. Read by character: the second byte of a two-byte
// character may look like a backslash.
void TidyFolder(char* folder) {
  char* end = folder;   // after the last character that stays
  for (char* at = folder; *at;) {
    if (*at == '/') *at = '\\';
    char* next = const_cast<char*>(NextCharacter(at));
    if (*at != ' ' && *at != '\\') end = next;
    at = next;
  }
  *end = '\0';
}

int FixInstallFolder(char* failure) {
  const char* chosen = SetupState.customInstall ? SetupState.customFolder : SetupState.defaultFolder;
  lstrcpynA(SetupState.targetFolder, chosen, sizeof SetupState.targetFolder);
  TidyFolder(SetupState.targetFolder);

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
               "%sThe installation folder could not be created.\n%s\n"
               "Go back and try using the Custom installation and specify a different folder.",
               kIncomplete, SetupState.targetFolder);
    return 0;
  }

  static const char kInvalid[] =
      "The installation folder is invalid.  Go back and enter a valid installation folder.";
  if (!fullPath) return Fail(failure, kInvalid);
  char* question = current.question;
  FormatText(question, kMessageSize, "Create folder?\n\nThe installation folder doesn't exist.\n%s",
             SetupState.targetFolder);
  if (Ask(kAskCreateFolder, question, MB_YESNO) != IDYES) {
    return Fail(failure, "The creation of the installation folder was declined.");
  }
  if (CreateFolderTree(SetupState.targetFolder)) return 1;
  return Fail(failure, kInvalid);
}

// Lets the screen repaint where the product's window was. A window that
// does not answer must not stop the installation here.
void LetScreenRepaint() {
  SendMessageTimeoutA(HWND_BROADCAST, WM_PAINT, 0, 0, SMTO_ABORTIFHUNG, kRepaintWaitMs, nullptr);
  Sleep(100);
}

int CloseProduct() {
  EnumWindows(CloseRunningProduct, 0);
  LetScreenRepaint();
  LetScreenRepaint();
  return 1;
}

// Writes a product file from its payload, asking whether to try again while
// it cannot be written. A file still held by a product that is ending is
// first tried `quietRetries` more times, 100 ms apart.
int WriteProductFile(const char* name, WORD payload, InstallQuestion question, int quietRetries) {
  SetScratchPath(name);
  SetFileAttributesA(SetupState.scratchPath, FILE_ATTRIBUTE_NORMAL);
  char* text = current.question;
  FormatText(text, kMessageSize,
             "Could not write the %s file.\nCheck that it is not currently in use\n"
             "and that no other programs are running.",
             name);
  for (int attempts = 0;;) {
    if (ExtractPayloadToFile(kPayloadType, payload, SetupState.scratchPath)) return 1;
    if (LastPayloadWasDamaged()) return 0;   // no retry can mend it
    if (quietRetries) {
      Sleep(100);
      if (++attempts <= quietRetries) continue;
      attempts = 0;
    }
    if (Ask(question, text, MB_RETRYCANCEL) != IDRETRY) return 0;
  }
}

// The library may still be held by a product that is ending: it is tried
// four times before the user is asked.
int WriteProductLibrary() {
  return WriteProductFile(kLibraryFileName, kLibraryPayload, kAskLibraryInUse, 3);
}

int WriteProductProgram() {
  return WriteProductFile(kProgramFileName, kProgramPayload, kAskProgramInUse, 0);
}

// psapi.dll goes along only for NT systems whose system folder lacks it.
int ProcessStatusLibraryNeeded() {
  OSVERSIONINFOA system;
  ZeroMemory(&system, sizeof system);
  system.dwOSVersionInfoSize = sizeof system;
  if (GetVersionExA(&system) && system.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS) return 0;

  char path[MAX_PATH];
  return !SystemFilePath(kProcessStatusFileName, path) || !FileExists(path);
}

// A damaged payload is never written; the run ends with its own text.
int WriteProductFiles(char* failure) {
  if (!WriteProductLibrary()) {
    if (LastPayloadWasDamaged()) return Fail(failure, kDamagedSetupText);
    return Fail(failure, "The Morvantile.dll file could not be written.");
  }
  if (!WriteProductProgram()) {
    if (LastPayloadWasDamaged()) return Fail(failure, kDamagedSetupText);
    return Fail(failure, "The Morvantile.exe file could not be written.");
  }
  if (ProcessStatusLibraryNeeded()) {
    SetScratchPath(kProcessStatusFileName);
    if (!FileExists(SetupState.scratchPath)) {
      SetFileAttributesA(SetupState.scratchPath, FILE_ATTRIBUTE_NORMAL);
      if (!ExtractPayloadToFile(kPayloadType, kProcessStatusPayload, SetupState.scratchPath) &&
          LastPayloadWasDamaged())
        return Fail(failure, kDamagedSetupText);
    }
  }
  return 1;
}

int MigrateOlderSettings() {
  SetupState.migrationResult = MigrateSettings(SetupState.targetFolder);
  return 1;
}

// An upgrade from before 3.04 keeps the old file's body under a new header.
// Only a settings file of ours is stamped: no file, a folder, a link (opened
// as itself, it holds no data) or any other file of that name in a folder
// others may write is left as it is.
void StampSettingsHeader(const char* path) {
  HANDLE file = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                            FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  unsigned char header[4] = {};
  DWORD done = 0;
  OVERLAPPED atStart = {};
  if (ReadFile(file, header, 2, &done, nullptr) && header[0] == 'M' && header[1] == 'V') {
    header[2] = kSetupVersion & 0xFF;
    header[3] = kSetupVersion >> 8;
    WriteFile(file, header, sizeof header, &done, &atStart);
  }
  CloseHandle(file);
}

int WriteSettings(char* failure) {
  SetScratchPath(kSettingsFileName);
  char* path = SetupState.scratchPath;
  // Settings not moved stay in the registry, where the product reads them
  // only when no file hides them. With none there to move, the file is what
  // the user has (the settings of an earlier run) and stays.
  if (!SetupState.migrateSettings && SetupState.migrationResult) {
    SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL);
    DeleteFileA(path);   // nothing there, or a folder: it stays as it is
  }
  SetupState.settingsFileFailed = 0;
  if (SetupState.migrationResult && SetupState.migrateSettings && !WriteSettingsFile(path)) {
    SetupState.settingsFileFailed = 1;
    current.result = "failed";
    if (Ask(kAskContinueWithoutSettings, "Could not write the settings file.\nContinue installation with default settings?",
            MB_OKCANCEL) != IDOK) {
      return Fail(failure, "The settings file could not be written.");
    }
  }
  unsigned installed = SetupState.installedVersion;
  if (installed != 0 && installed < kSetupVersion) StampSettingsHeader(path);
  return 1;
}

// The registry copy goes only once the settings file holds the settings:
// after a failed write it is all the user has left. Settings whose schema
// could not be read (no readable "UpgradeVer") were not migrated, so no file
// holds them either.
int RemoveRegistrySettings() {
  if (!SetupState.migrateSettings) return Skipped();
  if (!SetupState.migrationResult || SetupState.settingsFileFailed) {
    current.result = "skipped, the registry settings kept (no settings file was written)";
    return 1;
  }
  RemoveProductSettings();
  return 1;
}

// A registration that could not be made fails nothing and shows nothing;
// only the log says so.
int Registered(int done) {
  if (!done) current.result = "failed";
  return 1;
}

int CreateShortcut() {
  int wanted = SetupState.customInstall ? SetupState.startWithWindows : SetupState.installedVersion == 0;
  if (!wanted) return Skipped();
  return Registered(CreateStartupShortcut(SetupState.targetFolder));
}

int StartProduct() {
  int wanted = SetupState.customInstall
                   ? SetupState.launchAfterInstall
                   : (SetupState.instanceWasRunning || SetupState.installedVersion == 0);
  // /NOLAUNCH leaves the product not started, whatever the kind chose.
  if (!wanted || SetupState.noLaunch) return Skipped();
  return Registered(LaunchProduct(SetupState.targetFolder));
}

int RegisterForUninstall() { return Registered(WriteUninstallEntry(SetupState.targetFolder)); }

const char* const kStepNames[kInstallStepCount] = {
    "prepare the installation folder", "close a running Morvantile", "write the program files",
    "migrate older settings",          "write the settings file",   "remove the registry settings",
    "create the Startup shortcut",     "start Morvantile",          "write the uninstall entry",
    "finish",
};

int RunStep(int step, char* failure) {
  switch (step) {
    case 0: return FixInstallFolder(failure);
    case 1: return CloseProduct();
    case 2: return WriteProductFiles(failure);
    case 3: return MigrateOlderSettings();
    case 4: return WriteSettings(failure);
    case 5: return RemoveRegistrySettings();
    case 6: return CreateShortcut();
    case 7: return StartProduct();
    default: return RegisterForUninstall();   // step 8
  }
}

void LogStep(int step, const char* result, const char* status) {
  if (!InstallLogChosen()) return;
  char* line = current.logLine;
  const int lineSize = (int)sizeof current.logLine;
  const char* name = step >= 0 && step < kInstallStepCount ? kStepNames[step] : "unknown step";
  int used = wsprintfA(line, "step %d (%s): %s", step, name, result);
  lstrcpynA(line + used, current.questions, lineSize - used);
  if (status) {
    used = lstrlenA(line);
    char* tail = current.logStatus;
    wsprintfA(tail, "; status \"%.1000s\"", status);
    lstrcpynA(line + used, tail, lineSize - used);
  }
  WriteInstallLogLine(line);
}

void EndRun(int step, const char* statusText, int failed) {
  LogStep(step, failed ? "failed" : current.result, statusText);
  current.host->RunEnded(current.host->context, statusText, failed);
}

}  // namespace

int RunInstallStep(int step, const InstallHost* host) {
  current.host = host;
  current.result = "done";
  current.questions[0] = '\0';
  current.times = 0;
  host->StepStarting(host->context, step);
  if (step < 0 || step >= kInstallStepCount - 1) {
    if (step == kInstallStepCount - 1) {
      EndRun(step, "Installation complete.\n\nThank you for using Morvantile.", 0);
    } else {
      current.result = "unknown step";
      EndRun(step, "Installation failed.\n\nUnknown fatal error during uninstallation.", 0);
    }
    return 0;
  }
  char* failure = current.failure;
  if (RunStep(step, failure)) {
    LogStep(step, current.result, nullptr);
    return 1;
  }
  EndRun(step, failure, 1);
  return 0;
}
