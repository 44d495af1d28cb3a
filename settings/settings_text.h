// Text forms used by the settings: decimal numbers and the "l,t,r,b"
// rectangle text of custom placements. Portable: no Windows headers.
#pragma once

#include <stdint.h>

// A rectangle of four signed 32-bit numbers, laid out like a Windows RECT.
struct SettingsRect {
  int32_t left;
  int32_t top;
  int32_t right;
  int32_t bottom;
};
static_assert(sizeof(SettingsRect) == 16, "four 32-bit numbers");

const unsigned kRectTextSize = 64;  // buffer of a rectangle text, NUL included

// Digits to a number modulo 65536. Nothing is rejected: every character
// counts as (signed code - '0'), so "-5" gives 65511.
uint16_t ParseDecimal(const char* text);

// "left,top,right,bottom"; at most 63 characters are looked at. Each piece
// goes through ParseDecimal and is zero-extended; the last piece runs to the
// end, further commas included. Fewer than three commas give (0, 0, 0, 0).
void ParseRectText(const char* text, SettingsRect* rect);

// Writes "%d,%d,%d,%d" into a buffer of kRectTextSize bytes.
void FormatRectText(const SettingsRect* rect, char* text);
