#include "shell/command_line.h"

#include <string.h>

#include "common/folder_path.h"

namespace {

int IsBlank(char c) { return c == ' ' || c == '\t'; }

char Lower(char c) { return c >= 'A' && c <= 'Z' ? (char)(c - 'A' + 'a') : c; }

// What follows `prefix` (lower case) at the start of `text`, in any letter
// case; null when `text` does not start with it.
const char* AfterPrefix(const char* text, const char* prefix) {
  for (; *prefix; text++, prefix++) {
    if (Lower(*text) != *prefix) return nullptr;
  }
  return text;
}

// 1 when `word` is the switch `name` (lower case), any letter case.
int IsSwitch(const char* word, const char* name) {
  const char* rest = AfterPrefix(word, name);
  return rest && !*rest;
}

void SetFault(SetupOptions* options, const char* what, const char* word) {
  size_t room = sizeof options->fault;
  size_t used = strlen(what);
  if (used >= room) used = room - 1;
  memcpy(options->fault, what, used);
  size_t i = 0;
  while (word && word[i] && !IsBlank(word[i]) && used + 1 < room) options->fault[used++] = word[i++];
  options->fault[used] = '\0';
}

// Copies one word from `at` into `word` (quotes group and are dropped).
// Returns where the word ends, or null when it does not fit.
const char* ReadWord(const char* at, char* word, size_t size) {
  size_t length = 0;
  int quoted = 0;
  for (; *at && (quoted || !IsBlank(*at)); at++) {
    if (*at == '"') {
      quoted = !quoted;
      continue;
    }
    if (length + 1 >= size) return nullptr;
    word[length++] = *at;
  }
  word[length] = '\0';
  return at;
}

int IsUnsafePathChar(char c) {
  return (unsigned char)c < 32 || c == '"' || c == '*' || c == '?' || c == '<' || c == '>' || c == '|';
}

// A full folder path (see IsFullFolderPath) with at least one folder below
// its root: installing into a drive's or a share's root is refused.
int IsInstallableFolder(const char* path) {
  if (!IsFullFolderPath(path)) return 0;
  const char* below = path + 3;   // after "X:\"
  if (path[0] == '\\') {
    const char* share = NextBackslash(path + 2);
    below = share ? NextBackslash(share + 1) : nullptr;
    if (!below) return 0;
    below++;
  }
  return *below != '\0' && *below != '\\';
}

int ReadFolder(const char* value, SetupOptions* options) {
  size_t length = strlen(value);
  while (length > 0 && IsBlank(value[length - 1])) length--;
  // Quotes are never part of a path: /D="C:\My Apps" means the same.
  if (length >= 2 && value[0] == '"' && value[length - 1] == '"') {
    value++;
    length -= 2;
  }
  if (length == 0 || length >= sizeof options->folder) return 0;
  memcpy(options->folder, value, length);
  options->folder[length] = '\0';
  return IsInstallableFolder(options->folder);
}

int ReadLogPath(const char* value, SetupOptions* options) {
  if (!value[0] || strlen(value) >= sizeof options->logPath) return 0;
  for (const char* at = value; *at; at = NextCharacter(at)) {
    if (IsUnsafePathChar(*at)) return 0;
  }
  strcpy(options->logPath, value);
  return 1;
}

}  // namespace

const char* SkipProgramName(const char* commandLine) {
  const char* at = commandLine;
  if (*at == '"') {
    at++;
    while (*at && *at != '"') at++;
    if (*at == '"') at++;
  }
  while (*at && !IsBlank(*at)) at++;
  while (IsBlank(*at)) at++;
  return at;
}

int NoArguments(const char* arguments) {
  if (!arguments) return 1;
  while (IsBlank(*arguments) || *arguments == '\r' || *arguments == '\n') arguments++;
  return *arguments == '\0';
}

int ParseSetupOptions(const char* arguments, SetupOptions* options) {
  memset(options, 0, sizeof *options);
  const char* at = arguments;
  for (;;) {
    while (IsBlank(*at)) at++;
    if (!*at) return 1;
    if (const char* folder = AfterPrefix(at, "/d=")) {
      // The rest of the line: spaces belong to the folder, so /D= comes last.
      if (!ReadFolder(folder, options)) {
        SetFault(options, "not a full folder path: ", folder);
        return 0;
      }
      return 1;
    }
    char word[kCommandPathSize + 8];
    const char* end = ReadWord(at, word, sizeof word);
    if (!end) {
      SetFault(options, "too long: ", at);
      return 0;
    }
    if (const char* folder = AfterPrefix(word, "/d=")) {
      // The whole switch quoted ("/D=C:\My Apps"), as many launchers pass
      // an argument with spaces: still the last thing on the line.
      while (IsBlank(*end)) end++;
      if (*end || !ReadFolder(folder, options)) {
        SetFault(options, "not a full folder path, or not last: ", word);
        return 0;
      }
      return 1;
    }
    if (const char* logPath = AfterPrefix(word, "/log=")) {
      if (!ReadLogPath(logPath, options)) {
        SetFault(options, "bad log file: ", word);
        return 0;
      }
    } else if (IsSwitch(word, "/s")) {
      options->silent = 1;
    } else if (IsSwitch(word, "/nolaunch")) {
      options->noLaunch = 1;
    } else if (IsSwitch(word, "/?")) {
      options->showHelp = 1;
    } else {
      SetFault(options, "unknown switch: ", word);
      return 0;
    }
    at = end;
  }
}
