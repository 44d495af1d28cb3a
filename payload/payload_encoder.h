// Build-time encoder of the payload stream (host only; may use the
// standard library). Its streams decode with DecodePayload.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <vector>

struct PayloadEncoderOptions {
  int chainDepth = 512;     // most hash-chain candidates examined per position
  int blockLength = 4096;   // bytes parsed per block before prices are refreshed
  int plansPerBlock = 7;    // most parses tried per block with differently blended prices
  bool optimalParse = true; // false: greedy longest match, one symbol at a time
};

// `size` must be below 2^31.
std::vector<uint8_t> EncodePayload(const uint8_t* data, size_t size,
                                   const PayloadEncoderOptions& options = PayloadEncoderOptions());

// Appends bits most significant first and pads the last byte with zeros.
// Exposed so that tests can build streams of their own by hand.
class PayloadBitWriter {
 public:
  void PutBit(int bit);
  void PutNumberLowFirst(uint32_t value, int bits);   // extra bits of a copy
  std::vector<uint8_t> Finish();                       // zero-fills the last byte
  size_t BitCount() const { return bytes_.size() * 8 - (pending_ ? 8 - pending_ : 0); }
  void TruncateTo(size_t bits);                        // drops the bits written after the first `bits`

 private:
  std::vector<uint8_t> bytes_;
  int pending_ = 0;   // bits used in the last byte, 0 when it is full or absent
};

// Writes `symbol` as its path in `model` (root side first, 1 = right child),
// then updates the model with it, as the decoder will.
struct PayloadModel;
void PutPayloadSymbol(PayloadModel* model, PayloadBitWriter* writer, int symbol);

// The copy symbol and extra-bits value for a copy of `length` bytes from
// `distance` back (length <= distance <= window size, and distance - length
// at most 21,839, so a copy from the full window is 64 bytes long).
struct PayloadCopyCode {
  int symbol;
  int extraBits;
  uint32_t extraValue;
};
PayloadCopyCode PayloadCopyCodeFor(int length, int distance);
