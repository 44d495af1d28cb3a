// CRC-32 of decoded payload bytes (the common reflected polynomial
// 0xEDB88320, initial value and final XOR 0xFFFFFFFF). Portable: no Windows
// headers.
#pragma once

#include <stddef.h>
#include <stdint.h>

// The CRC-32 of `size` bytes. To continue over more bytes, pass the result
// of the previous call as `crc`; start with 0.
uint32_t PayloadCrc32(const unsigned char* bytes, size_t size, uint32_t crc = 0);
