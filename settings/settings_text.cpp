#include "settings/settings_text.h"

#include <string.h>

#include "common/text_format.h"

uint16_t ParseDecimal(const char* text) {
  uint16_t value = 0;
  for (; *text; ++text) {
    int digit = static_cast<int8_t>(*text) - '0';
    value = static_cast<uint16_t>(value * 10u + static_cast<unsigned>(digit));
  }
  return value;
}

void ParseRectText(const char* text, SettingsRect* rect) {
  char work[kRectTextSize];
  size_t length = strnlen(text, kRectTextSize - 1);
  memcpy(work, text, length);
  work[length] = '\0';

  // Cut the copy at its first three commas.
  char* pieces[4] = {work, nullptr, nullptr, nullptr};
  char* cursor = work;
  for (int i = 1; i < 4; ++i) {
    char* comma = strchr(cursor, ',');
    if (!comma) {
      rect->left = rect->top = rect->right = rect->bottom = 0;
      return;
    }
    *comma = '\0';
    cursor = comma + 1;
    pieces[i] = cursor;
  }
  rect->left = ParseDecimal(pieces[0]);
  rect->top = ParseDecimal(pieces[1]);
  rect->right = ParseDecimal(pieces[2]);
  rect->bottom = ParseDecimal(pieces[3]);
}

void FormatRectText(const SettingsRect* rect, char* text) {
  FormatString(text, kRectTextSize, "%d,%d,%d,%d", static_cast<int>(rect->left),
           static_cast<int>(rect->top), static_cast<int>(rect->right),
           static_cast<int>(rect->bottom));
}
