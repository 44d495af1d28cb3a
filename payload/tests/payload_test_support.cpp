#include "payload/tests/payload_test_support.h"

#include <stdlib.h>
#include <string.h>

#include <string>

#ifdef _WIN32
#include <windows.h>
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#include <sanitizer/allocator_interface.h>
#define MV_BLOCK_SIZE_KNOWN 1
#endif
#endif

#include "common/memory.h"
#include "payload/payload_decoder.h"

DecodeResult DecodeStream(const std::vector<uint8_t>& stream, size_t inputLength) {
  DecodeResult result;
  unsigned char* input = static_cast<unsigned char*>(malloc(inputLength ? inputLength : 1));
  if (inputLength) memcpy(input, stream.data(), inputLength);
  unsigned char sentinel = 0;
  unsigned char* output = &sentinel;
  payloadInputCursor = input;
  payloadInputEnd = input + inputLength;
  result.ok = DecodePayload(&output);
  result.inputConsumed = static_cast<size_t>(payloadInputCursor - input);
  payloadInputCursor = payloadInputEnd = nullptr;
  if (result.ok) {
    result.handedBlock = output != nullptr;
    if (output) {
#ifdef _WIN32
      result.capacity = HeapSize(GetProcessHeap(), 0, output);
#elif defined(MV_BLOCK_SIZE_KNOWN)
      result.capacity = __sanitizer_get_allocated_size(output);
#endif
      result.bytes.assign(output, output + payloadOutputCount);
      size_t capacity = (payloadOutputCount + 4095) / 4096 * 4096;
      for (size_t i = payloadOutputCount; i < capacity; ++i)
        if (output[i] != 0) result.tailZero = false;
      MemFree(output);
    }
  } else {
    result.handedBlock = output != &sentinel;
  }
  free(input);
  return result;
}

namespace {
struct Lcg {
  uint32_t state;
  uint32_t Next() {
    state = state * 1664525u + 1013904223u;
    return state >> 8;
  }
};
}  // namespace

std::vector<uint8_t> RandomBytes(size_t size, uint32_t seed) {
  Lcg lcg{seed};
  std::vector<uint8_t> bytes(size);
  for (auto& b : bytes) b = static_cast<uint8_t>(lcg.Next());
  return bytes;
}

std::vector<uint8_t> TextLikeBytes(size_t size, uint32_t seed) {
  static const char* const kWords[] = {
      "the", "window", "placement", "of", "each", "application", "is", "kept", "in", "a",
      "list", "and", "restored", "when", "it", "opens", "again", "Licence", "terms", "you",
      "may", "copy", "this", "program", "under", "conditions", "stated", "below", "without",
      "warranty", "screen", "area", "settings", "user", "Morvantile"};
  Lcg lcg{seed};
  std::string text;
  while (text.size() < size) {
    text += kWords[lcg.Next() % (sizeof kWords / sizeof kWords[0])];
    uint32_t r = lcg.Next() % 16;
    text += r == 0 ? ".\n" : r == 1 ? ", " : " ";
  }
  return std::vector<uint8_t>(text.begin(), text.begin() + static_cast<ptrdiff_t>(size));
}

std::vector<uint8_t> ExecutableLikeBytes(size_t size, uint32_t seed) {
  Lcg lcg{seed};
  std::vector<uint8_t> bytes;
  std::vector<uint8_t> opcodes = RandomBytes(48, seed ^ 0x5bd1e995u);
  while (bytes.size() < size) {
    switch (lcg.Next() % 5) {
      case 0:   // a run of zeros, as between sections
        bytes.insert(bytes.end(), 16 + lcg.Next() % 1500, 0);
        break;
      case 1: { // a table of little-endian addresses
        uint32_t address = 0x401000 + lcg.Next() % 0x10000;
        for (uint32_t n = 4 + lcg.Next() % 40; n > 0; --n, address += 4 + lcg.Next() % 64)
          for (int k = 0; k < 4; ++k) bytes.push_back(static_cast<uint8_t>(address >> (8 * k)));
        break;
      }
      case 2: { // strings
        std::vector<uint8_t> words = TextLikeBytes(20 + lcg.Next() % 200, lcg.Next());
        bytes.insert(bytes.end(), words.begin(), words.end());
        bytes.push_back(0);
        break;
      }
      default:  // code: a small set of opcodes with random operands
        for (uint32_t n = 50 + lcg.Next() % 400; n > 0; --n) {
          bytes.push_back(opcodes[lcg.Next() % opcodes.size()]);
          if (lcg.Next() % 3 == 0) bytes.push_back(static_cast<uint8_t>(lcg.Next()));
        }
        break;
    }
  }
  bytes.resize(size);
  return bytes;
}
