// A small formatter for the few texts the programs build: %s, %d, %u and
// %%, nothing else (no widths, no flags). Portable: no Windows headers.
// It replaces the C runtime's printf family, which drags a good part of
// that runtime into a program that otherwise needs none of it.
#pragma once

#include <stdarg.h>
#include <stddef.h>

// As snprintf: writes at most size - 1 characters and a NUL (nothing when
// size is 0) and returns the length the whole text has, so a result of
// size or more means the text was cut. A null %s argument prints nothing;
// any other conversion is copied as it stands.
int FormatString(char* out, size_t size, const char* format, ...);
int FormatStringV(char* out, size_t size, const char* format, va_list arguments);
