// Memory helpers shared by every subsystem. On Windows a block comes from
// the process heap, so a block handed across subsystems is released by its
// receiver with MemFree; the host build (portable code, tests, tools) uses
// malloc and free instead.
#pragma once

#include <stddef.h>

void* MemAlloc(size_t size);          // not zero-filled; null on failure
void MemFree(void* block);            // null is accepted
void MemFill(void* block, unsigned char value, size_t size);
void MemCopy(void* destination, const void* source, size_t size);
