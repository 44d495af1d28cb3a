#include "common/memory.h"

#include <stdlib.h>
#include <string.h>

void* MemAlloc(size_t size) { return malloc(size ? size : 1); }
void MemFree(void* block) { free(block); }
void MemFill(void* block, unsigned char value, size_t size) { memset(block, value, size); }
void MemCopy(void* destination, const void* source, size_t size) {
  if (size) memcpy(destination, source, size);
}
