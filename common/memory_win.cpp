#include "common/memory.h"

#include <windows.h>

void* MemAlloc(size_t size) { return HeapAlloc(GetProcessHeap(), 0, size); }

void MemFree(void* block) {
  if (block) HeapFree(GetProcessHeap(), 0, block);
}

void MemFill(void* block, unsigned char value, size_t size) {
  unsigned char* p = static_cast<unsigned char*>(block);
  while (size--) *p++ = value;
}

void MemCopy(void* destination, const void* source, size_t size) {
  unsigned char* d = static_cast<unsigned char*>(destination);
  const unsigned char* s = static_cast<const unsigned char*>(source);
  while (size--) *d++ = *s++;
}
