// The ten installation steps, in order. A host runs them one at a time,
// from step 0, for as long as RunInstallStep returns 1; every question and
// the end of the run go to the host. Nothing is undone at a failure.
#pragma once

#include "install/install_host.h"

const int kInstallStepCount = 10;

// Runs step `step` (0..9). 1: the host runs step + 1 next. 0: the run has
// ended and host->RunEnded has been told how. A step number outside 0..8
// ends the run (9 completes it).
int RunInstallStep(int step, const InstallHost* host);
