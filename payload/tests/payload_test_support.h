// Helpers shared by the codec tests: decoding a byte vector through the
// process-wide decoder interface, and deterministic sample data.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <vector>

#include "payload/payload_decoder.h"
#include "payload/payload_encoder.h"

struct DecodeResult {
  int ok = 0;
  bool handedBlock = false;       // a block came back through the out parameter
  bool tailZero = true;           // every byte after the decoded ones, to the next 4,096, is zero
  size_t inputConsumed = 0;       // bytes the decoder read from the input
  size_t capacity = 0;            // size of the handed-over heap block (0 where it cannot be read)
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

// Builds a stream symbol by symbol, keeping the model in step.
class StreamBuilder {
 public:
  StreamBuilder() { ResetPayloadModel(&model_); }
  void Literal(uint8_t byte) {
    PutPayloadSymbol(&model_, &writer_, byte);
    expected_.push_back(byte);
  }
  void Copy(int length, int distance) {
    PayloadCopyCode code = PayloadCopyCodeFor(length, distance);
    PutPayloadSymbol(&model_, &writer_, code.symbol);
    writer_.PutNumberLowFirst(code.extraValue, code.extraBits);
    for (int i = 0; i < length; ++i) {
      size_t from = expected_.size() - static_cast<size_t>(distance);
      expected_.push_back(from < expected_.size() ? expected_[from] : 0);
    }
  }
  std::vector<uint8_t> Finish(size_t* bitCount = nullptr) {
    PutPayloadSymbol(&model_, &writer_, kPayloadEndSymbol);
    if (bitCount) *bitCount = writer_.BitCount();
    return writer_.Finish();
  }
  const std::vector<uint8_t>& expected() const { return expected_; }

 private:
  PayloadModel model_;
  PayloadBitWriter writer_;
  std::vector<uint8_t> expected_;
};

