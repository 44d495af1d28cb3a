// The handful of C library string and memory functions that the shipped
// setup calls, or that the compiler calls for it (memset, memcpy for
// records). Linked only into programs that start without the C runtime, so
// that they import nothing from msvcrt.dll. Plain loops: the texts are
// short, and this file is built so that the compiler cannot turn a loop
// back into a call of the function it implements.
#include <stddef.h>

extern "C" {

void* memset(void* block, int value, size_t size) {
  unsigned char* at = static_cast<unsigned char*>(block);
  while (size--) *at++ = static_cast<unsigned char>(value);
  return block;
}

void* memcpy(void* destination, const void* source, size_t size) {
  unsigned char* to = static_cast<unsigned char*>(destination);
  const unsigned char* from = static_cast<const unsigned char*>(source);
  while (size--) *to++ = *from++;
  return destination;
}

void* memmove(void* destination, const void* source, size_t size) {
  unsigned char* to = static_cast<unsigned char*>(destination);
  const unsigned char* from = static_cast<const unsigned char*>(source);
  if (to <= from || to >= from + size) return memcpy(destination, source, size);
  while (size--) to[size] = from[size];
  return destination;
}

int memcmp(const void* a, const void* b, size_t size) {
  const unsigned char* x = static_cast<const unsigned char*>(a);
  const unsigned char* y = static_cast<const unsigned char*>(b);
  for (; size; --size, ++x, ++y)
    if (*x != *y) return *x - *y;
  return 0;
}

void* memchr(const void* block, int value, size_t size) {
  const unsigned char* at = static_cast<const unsigned char*>(block);
  for (; size; --size, ++at)
    if (*at == static_cast<unsigned char>(value)) return const_cast<unsigned char*>(at);
  return nullptr;
}

size_t strlen(const char* text) {
  const char* end = text;
  while (*end) ++end;
  return static_cast<size_t>(end - text);
}

size_t strnlen(const char* text, size_t limit) {
  size_t length = 0;
  while (length < limit && text[length]) ++length;
  return length;
}

char* strchr(const char* text, int value) {
  for (;; ++text) {
    if (*text == static_cast<char>(value)) return const_cast<char*>(text);
    if (!*text) return nullptr;
  }
}

char* strcpy(char* destination, const char* source) {
  char* to = destination;
  while ((*to++ = *source++) != 0) {
  }
  return destination;
}

}  // extern "C"
