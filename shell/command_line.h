// The setup's command line: /S, /D=FOLDER, /NOLAUNCH, /LOG=FILE and /?,
// in any letter case. Portable: no Windows headers.
#pragma once

const int kCommandPathSize = 2048;

struct SetupOptions {
  int silent;                       // /S: no window at all
  int showHelp;                     // /?
  int noLaunch;                     // /NOLAUNCH
  char folder[kCommandPathSize];    // /D=FOLDER, empty when not given
  char logPath[kCommandPathSize];   // /LOG=FILE, empty when not given
  char fault[128];                  // what made the line bad, for the log
};

// The arguments of a whole command line: what follows the program's own
// name, quoted or not, and the blanks after it.
const char* SkipProgramName(const char* commandLine);

// 1 when `arguments` hold nothing but blanks.
int NoArguments(const char* arguments);

// Reads the arguments into `options` (zeroed first). 1 when the line is
// good; 0 for an unknown switch, a word that is not a switch, an empty or
// unsafe value, or a folder that is not a full path, with `fault` saying
// which. /D= takes the rest of the line, spaces included, and so comes
// last; /LOG= ends at the next blank unless quoted.
int ParseSetupOptions(const char* arguments, SetupOptions* options);
