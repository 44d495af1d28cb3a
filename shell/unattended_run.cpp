#include "shell/unattended_run.h"

#include <windows.h>
#include <winternl.h>

#include <cstddef>

#include "common/setup_state.h"
#include "common/types.h"
#include "install/install_log.h"
#include "install/install_sequence.h"

namespace {

const DWORD kRetryPauseMs = 250;

struct UnattendedRun {
  DWORD firstInUse[2];   // when the library, the program was first in use
  int failed;
};

int AnswerFileInUse(UnattendedRun* run, int which) {
  DWORD now = GetTickCount();
  if (!run->firstInUse[which]) run->firstInUse[which] = now ? now : 1;
  if (now - run->firstInUse[which] >= kFileInUseRetryMs) return IDCANCEL;
  Sleep(kRetryPauseMs);   // the program's box comes at every failure: pace it
  return IDRETRY;
}

void StepStarting(void*, int) {}

int Ask(void* context, InstallQuestion question, const char*, unsigned) {
  UnattendedRun* run = (UnattendedRun*)context;
  switch (question) {
    case kAskCreateFolder: return IDYES;
    case kAskLibraryInUse:
    case kAskProgramInUse: return AnswerFileInUse(run, question == kAskProgramInUse);
    case kAskContinueWithoutSettings: return IDOK;
  }
  return IDCANCEL;
}

void RunEnded(void* context, const char*, int failed) { ((UnattendedRun*)context)->failed = failed; }

// Session 0 is the services' (an endpoint manager or a start-up script run
// as the system account): nobody works there, and a copy of the product
// started there would hold its files against every later upgrade from a
// user's session, which cannot see its window to close it.
static_assert(offsetof(PEB, SessionId) == (sizeof(void*) == 8 ? 0x2C0 : 0x1D4),
              "the session number where Windows keeps it");
// (The headers read the thread block through a constant address, which the
// compiler's bounds check takes for an empty array.)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Warray-bounds"
int RunsInServiceSession() { return NtCurrentTeb()->ProcessEnvironmentBlock->SessionId == 0; }
#pragma GCC diagnostic pop

}  // namespace

int RunUnattended(const SetupOptions* options) {
  unsigned installed = SetupState.installedVersion;
  if (installed > kSetupVersion) {
    char line[128];
    wsprintfA(line, "result 1: version %u.%02u is installed, newer than 3.04; nothing changed", installed >> 8,
              installed & 0xFF);
    WriteInstallLogLine(line);
    return kExitNewerInstalled;
  }
  // The wizard's preselected kind (Typical or Upgrade); a folder makes it a
  // Custom installation with the Custom page's defaults.
  SetupState.customInstall = options->folder[0] ? 1 : 0;
  SetupState.noLaunch = options->noLaunch || RunsInServiceSession();

  UnattendedRun run = {{0, 0}, 0};
  const InstallHost host = {&run, StepStarting, Ask, RunEnded};
  int step = 0;
  while (RunInstallStep(step, &host)) step++;
  WriteInstallLogLine(run.failed ? "result 2: the installation failed" : "result 0: installed");
  return run.failed ? kExitFailed : kExitInstalled;
}
