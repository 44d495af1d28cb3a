#include "common/temporary_name.h"

namespace {

size_t Length(const char* text) {
  size_t length = 0;
  while (text[length]) ++length;
  return length;
}

// Appends `text` at name[*used], at most up to `limit` characters in all.
void Append(char* name, size_t* used, size_t limit, const char* text, size_t count) {
  for (size_t i = 0; i < count && *used < limit; ++i) name[(*used)++] = text[i];
}

// "~" and the attempt in base 36 (0-9, a-z): short, and distinct for every
// attempt.
size_t AttemptTag(unsigned attempt, char* tag) {
  char reversed[16];
  size_t count = 0;
  do {
    unsigned digit = attempt % 36;
    reversed[count++] = static_cast<char>(digit < 10 ? '0' + digit : 'a' + digit - 10);
    attempt /= 36;
  } while (attempt);
  tag[0] = '~';
  for (size_t i = 0; i < count; ++i) tag[1 + i] = reversed[count - 1 - i];
  return count + 1;
}

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

int SameNameIgnoringCase(const char* a, const char* b) {
  for (;; ++a, ++b) {
    if (Lower(*a) != Lower(*b)) return 0;
    if (!*a) return 1;
  }
}

}  // namespace

int TemporaryNameBeside(const char* target, const char* suffix, unsigned attempt, char* name,
                        size_t nameSize) {
  const size_t targetLength = Length(target);
  if (targetLength == 0 || targetLength > kLongestPath || nameSize <= kLongestPath) return 0;
  size_t folderLength = targetLength;
  while (folderLength > 0 && target[folderLength - 1] != '\\' && target[folderLength - 1] != '/' &&
         target[folderLength - 1] != ':')
    --folderLength;
  if (folderLength == targetLength) return 0;   // no name part
  const size_t suffixLength = Length(suffix);
  char tag[16];
  size_t tagLength = attempt ? AttemptTag(attempt, tag) : 0;

  size_t used = 0;
  if (targetLength + tagLength + suffixLength <= kLongestPath) {
    // The plain form: the whole target, the attempt's tag, the suffix.
    Append(name, &used, kLongestPath, target, targetLength);
    Append(name, &used, kLongestPath, tag, tagLength);
    Append(name, &used, kLongestPath, suffix, suffixLength);
  } else {
    // Near the limit: the folder, as much of the name as leaves room for
    // the tag (always there, so the result differs from the target) and
    // the suffix. With almost no room, the tag's last characters alone.
    if (!attempt) tagLength = AttemptTag(0, tag);
    const size_t room = kLongestPath - folderLength;
    Append(name, &used, folderLength, target, folderLength);
    if (room <= tagLength) {
      Append(name, &used, kLongestPath, tag + tagLength - room, room);
    } else {
      const size_t kept = room > tagLength + suffixLength ? room - tagLength - suffixLength : 0;
      Append(name, &used, folderLength + kept, target + folderLength, kept);
      Append(name, &used, kLongestPath, tag, tagLength);
      Append(name, &used, kLongestPath, suffix, suffixLength);
    }
  }
  name[used] = '\0';
  return SameNameIgnoringCase(name, target) ? 0 : 1;
}
