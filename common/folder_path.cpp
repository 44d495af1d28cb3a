#include "common/folder_path.h"

unsigned char AnsiLeadBytes[256];

const char* NextCharacter(const char* text) {
  return text + (AnsiLeadBytes[static_cast<unsigned char>(*text)] && text[1] ? 2 : 1);
}

const char* NextBackslash(const char* text) {
  for (; *text; text = NextCharacter(text))
    if (*text == '\\') return text;
  return nullptr;
}

char* LastBackslash(char* path) {
  char* last = nullptr;
  for (const char* at = path; (at = NextBackslash(at)) != nullptr; ++at) last = const_cast<char*>(at);
  return last;
}

namespace {

int IsLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

int IsForbiddenInName(char c) {
  const unsigned char byte = static_cast<unsigned char>(c);
  return byte < 32 || c == '*' || c == '?' || c == '"' || c == '<' || c == '>' || c == '|' ||
         c == ':';
}

// The characters from `text` on may all stand in a path.
int NamesOnly(const char* text) {
  for (; *text; text = NextCharacter(text))
    if (IsForbiddenInName(*text)) return 0;
  return 1;
}

// "server\share" and what follows, after the leading two backslashes. The
// server "." would name the device namespace, not a machine.
int IsUncRest(const char* rest) {
  const char* server = rest;
  rest = NextBackslash(server);
  if (!rest || rest == server) return 0;
  if (rest - server == 1 && server[0] == '.') return 0;
  const char* share = rest + 1;
  if (*share == '\\' || *share == '\0') return 0;
  return NamesOnly(server);
}

}  // namespace

int IsFullFolderPath(const char* path) {
  if (!path) return 0;
  if (IsLetter(path[0]) && path[1] == ':' && path[2] == '\\') return NamesOnly(path + 3);
  if (path[0] == '\\' && path[1] == '\\') return IsUncRest(path + 2);
  return 0;
}
