// The unattended runner (/S): the installation with no window at all, the
// wizard's preselected choice on this machine (or a Custom installation into
// /D=FOLDER), fixed answers to every question, and an exit code.
#pragma once

#include "shell/command_line.h"

enum SetupExitCode {
  kExitInstalled = 0,
  kExitNewerInstalled = 1,    // nothing changed
  kExitFailed = 2,            // the log names the step
  kExitAnotherSetup = 3,
  kExitBadCommandLine = 4,
  kExitDamaged = 5,
};

// How long a file in use is retried before the run fails.
const unsigned kFileInUseRetryMs = 10000;

// Runs the installation for `options` once detection has filled SetupState
// (the caller holds the single-instance mutex). Returns an exit code.
int RunUnattended(const SetupOptions* options);
