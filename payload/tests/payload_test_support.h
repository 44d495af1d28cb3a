// Helpers shared by the codec tests: decoding a byte vector through the
// process-wide decoder interface, and deterministic sample data.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <vector>

struct DecodeResult {
  int ok = 0;
  bool handedBlock = false;       // a block came back through the out parameter
  bool tailZero = true;           // every byte after the decoded ones, to the next 4,096, is zero
  size_t inputConsumed = 0;       // bytes the decoder read from the input
  std::vector<uint8_t> bytes;
};

// Decodes `stream`, held in a heap block of exactly its size so that a read
// past its end is caught by the address sanitizer.
DecodeResult DecodeStream(const std::vector<uint8_t>& stream, size_t inputLength);
inline DecodeResult DecodeStream(const std::vector<uint8_t>& stream) { return DecodeStream(stream, stream.size()); }

std::vector<uint8_t> RandomBytes(size_t size, uint32_t seed);
std::vector<uint8_t> TextLikeBytes(size_t size, uint32_t seed);
// Resembles an executable: code-like records, tables, strings and long zero runs.
std::vector<uint8_t> ExecutableLikeBytes(size_t size, uint32_t seed);
