// The payload stream: adaptive-Huffman-coded literals, LZ77 copies into a
// 21,903-byte window, and one end code. No header, no length, no checksum.
// Portable: no Windows headers. The decoded block comes from MemAlloc, so
// on Windows it is a process-heap block that its receiver releases.
#pragma once

#include <stdint.h>

// Constants of the stream format; none of them is stored in a stream.
const int kPayloadEndSymbol = 256;
const int kPayloadFirstCopySymbol = 257;
const int kPayloadMinCopy = 3;
const int kPayloadMaxCopy = 64;
const int kPayloadLengthsPerRange = kPayloadMaxCopy - kPayloadMinCopy + 1;  // 62
const int kPayloadRanges = 6;
const int kPayloadSymbols = kPayloadFirstCopySymbol + kPayloadRanges * kPayloadLengthsPerRange;
const int kPayloadInternalNodes = kPayloadSymbols - 1;                     // 628, node 1 is the root
const int kPayloadNodes = 2 * kPayloadSymbols - 1;                         // 1,257
const int kPayloadRoot = 1;
const int kPayloadCountLimit = 2000;
const int kPayloadWindowSize = 21903;
const uint32_t kPayloadOutputStep = 4096;
static_assert(kPayloadSymbols == 629, "alphabet of 629 symbols");

// Extra bits that follow a copy symbol of each distance range.
extern const uint16_t kPayloadRangeBits[kPayloadRanges];

// The adaptive model shared by decoder and encoder. Counts are signed
// 16-bit values: sums and increments wrap, comparisons are signed, and the
// counts are halved only when the root count is exactly 2,000. Streams
// depend on every one of these details. Leaf of symbol s: node s + 629.
struct PayloadModel {
  uint16_t left[kPayloadInternalNodes + 1];   // child on bit 0, entries 1..628
  uint16_t right[kPayloadInternalNodes + 1];  // child on bit 1, entries 1..628
  uint16_t parent[kPayloadNodes + 1];         // entries 2..1,257
  int16_t count[kPayloadNodes + 1];           // entries 1..1,257
};

void ResetPayloadModel(PayloadModel* model);
// Returns the symbol's code length (its leaf's depth) before the update.
int UpdatePayloadModel(PayloadModel* model, int symbol);

// Decoder interface. The caller points the input range at one stream, calls
// DecodePayload, reads payloadOutputCount and clears the range again.
extern const unsigned char* payloadInputCursor;   // next unread input byte
extern const unsigned char* payloadInputEnd;      // one past the last input byte
extern uint32_t payloadOutputCount;               // bytes decoded by the last call

// 1 on success: *output receives the decoded block (a multiple of 4,096
// bytes, zero after the decoded ones; null when the stream holds only the
// end code) and the receiver releases it with MemFree. 0 on a cut-short
// stream, a copy reaching back before the first decoded byte, or a failed
// allocation; then nothing is handed over and *output is left untouched.
// Bytes after the one holding the end code's last bit are never read.
int DecodePayload(unsigned char** output);
