#include "settings/settings_text.h"

#include <string.h>

#include "common/text_format.h"

namespace {

// One more character of a decimal number, modulo 65536.
uint16_t AddDigit(uint16_t value, char character) {
  int digit = static_cast<int8_t>(character) - '0';
  return static_cast<uint16_t>(value * 10u + static_cast<unsigned>(digit));
}

}  // namespace

uint16_t ParseDecimal(const char* text) {
  uint16_t value = 0;
  for (; *text; ++text) value = AddDigit(value, *text);
  return value;
}

void ParseRectText(const char* text, SettingsRect* rect) {
  // The first three commas end a number; any later one is a digit of the
  // last, as ParseDecimal would take it.
  uint16_t numbers[4] = {0, 0, 0, 0};
  int piece = 0;
  size_t length = strnlen(text, kRectTextSize - 1);
  for (size_t i = 0; i < length; ++i) {
    if (text[i] == ',' && piece < 3)
      ++piece;
    else
      numbers[piece] = AddDigit(numbers[piece], text[i]);
  }
  if (piece < 3) numbers[0] = numbers[1] = numbers[2] = 0;
  rect->left = numbers[0];
  rect->top = numbers[1];
  rect->right = numbers[2];
  rect->bottom = numbers[3];
}

void FormatRectText(const SettingsRect* rect, char* text) {
  FormatString(text, kRectTextSize, "%d,%d,%d,%d", static_cast<int>(rect->left),
           static_cast<int>(rect->top), static_cast<int>(rect->right),
           static_cast<int>(rect->bottom));
}
