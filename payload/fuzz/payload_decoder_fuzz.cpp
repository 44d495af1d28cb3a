// Any byte string given to the decoder: it must fail or succeed cleanly,
// never read past the input, and hand back a block only on success.
#include <stddef.h>
#include <stdint.h>
#include <stdlib.h>

#include "common/memory.h"
#include "payload/payload_decoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  unsigned char sentinel = 0;
  unsigned char* output = &sentinel;
  payloadInputCursor = data;
  payloadInputEnd = data + size;
  int ok = DecodePayload(&output);
  if (payloadInputCursor > payloadInputEnd) abort();
  payloadInputCursor = payloadInputEnd = nullptr;
  if (!ok) {
    if (output != &sentinel) abort();
    return 0;
  }
  if ((output == nullptr) != (payloadOutputCount == 0)) abort();
  uint32_t capacity = (payloadOutputCount + 4095) / 4096 * 4096;
  for (uint32_t i = payloadOutputCount; i < capacity; ++i)
    if (output[i] != 0) abort();
  MemFree(output);
  return 0;
}
