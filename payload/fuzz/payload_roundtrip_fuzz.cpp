// Encode then decode any input: the bytes must come back unchanged. The
// first byte picks the encoder's settings so that every parse is exercised.
#include <stddef.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include "common/memory.h"
#include "payload/payload_decoder.h"
#include "payload/payload_encoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  PayloadEncoderOptions options;
  if (size > 0) {
    options.optimalParse = (data[0] & 1) == 0;
    options.chainDepth = 1 + (data[0] >> 1 & 7) * 16;
    options.blockLength = 64 << (data[0] >> 4 & 7);
    ++data;
    --size;
  }
  std::vector<uint8_t> stream = EncodePayload(data, size, options);
  unsigned char* output = nullptr;
  payloadInputCursor = stream.data();
  payloadInputEnd = stream.data() + stream.size();
  if (!DecodePayload(&output)) abort();
  if (payloadInputCursor != payloadInputEnd) abort();
  if (payloadOutputCount != size) abort();
  if (size > 0 && memcmp(output, data, size) != 0) abort();
  MemFree(output);
  return 0;
}
