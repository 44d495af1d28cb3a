// What the installation asks of the program that runs it. The engine has no
// windows: every question a step asks and every report of progress goes to
// the host, which is the wizard's Progress page or the unattended runner.
#pragma once

// The questions a step can ask, with the buttons each offers.
enum InstallQuestion {
  kAskCreateFolder,            // MB_YESNO: a Custom folder is missing
  kAskLibraryInUse,            // MB_RETRYCANCEL: Morvantile.dll cannot be written
  kAskProgramInUse,            // MB_RETRYCANCEL: Morvantile.exe cannot be written
  kAskContinueWithoutSettings  // MB_OKCANCEL: the settings file cannot be written
};

struct InstallHost {
  void* context;
  // A step begins (the bar advances once per step, 0..9).
  void (*StepStarting)(void* context, int step);
  // Answers `text` with one of the buttons in `buttons` (IDYES, IDRETRY, ...).
  int (*Ask)(void* context, InstallQuestion question, const char* text, unsigned buttons);
  // The run ended: completed (failed 0) or at a failing step (failed 1).
  void (*RunEnded)(void* context, const char* statusText, int failed);
};
