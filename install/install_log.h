// The optional log of a run (/LOG=FILE): one line per step and one for the
// outcome, appended with the local time. A log that cannot be written never
// stops the installation.
#pragma once

// Chooses the log file and checks that it can be appended to (creating it
// when missing). 1 when it can; 0 leaves no log chosen.
int OpenInstallLog(const char* path);

// 1 when a log file is chosen.
int InstallLogChosen();

// Appends `text` as one line: "YYYY-MM-DD hh:mm:ss text". Line breaks in the
// text become spaces; a line is cut at 4095 characters.
void WriteInstallLogLine(const char* text);
