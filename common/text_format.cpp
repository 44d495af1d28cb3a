#include "common/text_format.h"

namespace {

// Writes what fits, counts everything.
struct Output {
  char* out;
  size_t size;
  size_t length;
  void Put(char c) {
    if (length + 1 < size) out[length] = c;
    ++length;
  }
};

void PutDecimal(Output* output, unsigned int value, bool negative) {
  char digits[12];
  int count = 0;
  do {
    digits[count++] = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value);
  if (negative) output->Put('-');
  while (count) output->Put(digits[--count]);
}

}  // namespace

int FormatStringV(char* out, size_t size, const char* format, va_list arguments) {
  Output output = {out, size, 0};
  for (const char* at = format; *at; ++at) {
    if (*at != '%' || !at[1]) {
      output.Put(*at);
      continue;
    }
    switch (*++at) {
      case 's':
        for (const char* text = va_arg(arguments, const char*); text && *text; ++text) output.Put(*text);
        break;
      case 'd': {
        int value = va_arg(arguments, int);
        // Negated in unsigned arithmetic, so the most negative int prints too.
        unsigned int magnitude = static_cast<unsigned int>(value);
        PutDecimal(&output, value < 0 ? 0u - magnitude : magnitude, value < 0);
        break;
      }
      case 'u':
        PutDecimal(&output, va_arg(arguments, unsigned int), false);
        break;
      case '%':
        output.Put('%');
        break;
      default:   // not ours: copied as it stands
        output.Put('%');
        output.Put(*at);
        break;
    }
  }
  if (size) out[output.length < size ? output.length : size - 1] = '\0';
  return static_cast<int>(output.length);
}

int FormatString(char* out, size_t size, const char* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  int length = FormatStringV(out, size, format, arguments);
  va_end(arguments);
  return length;
}
