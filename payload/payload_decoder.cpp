#include "payload/payload_decoder.h"

#include "common/memory.h"

const uint16_t kPayloadRangeBits[kPayloadRanges] = {4, 6, 8, 10, 12, 14};

// ---------------------------------------------------------------------------
// The adaptive model

void ResetPayloadModel(PayloadModel* model) {
  // A complete binary heap; every count 1, internal nodes included. The
  // root's count is left alone: the first update recomputes it.
  for (int node = 2; node <= kPayloadNodes; ++node) {
    model->parent[node] = static_cast<uint16_t>(node / 2);
    model->count[node] = 1;
  }
  for (int node = 1; node <= kPayloadInternalNodes; ++node) {
    model->left[node] = static_cast<uint16_t>(2 * node);
    model->right[node] = static_cast<uint16_t>(2 * node + 1);
  }
}

static inline int16_t AddCounts(int16_t a, int16_t b) {
  return static_cast<int16_t>(static_cast<uint16_t>(a) + static_cast<uint16_t>(b));
}

static inline int SiblingOf(const PayloadModel* model, int node) {
  int up = model->parent[node];
  return model->left[up] == node ? model->right[up] : model->left[up];
}

// Sets each ancestor of `node` to the sum of its two children, `sibling`
// being node's sibling, up to the root; then halves every count if the root
// has reached the limit exactly.
static void RecomputeSums(PayloadModel* model, int node, int sibling) {
  for (;;) {
    int up = model->parent[node];
    model->count[up] = AddCounts(model->count[node], model->count[sibling]);
    node = up;
    if (node == kPayloadRoot) break;
    sibling = SiblingOf(model, node);
  }
  if (model->count[kPayloadRoot] == kPayloadCountLimit) {
    for (int i = 1; i <= kPayloadNodes; ++i)
      model->count[i] = static_cast<int16_t>(model->count[i] >> 1);
  }
}

void UpdatePayloadModel(PayloadModel* model, int symbol) {
  int a = symbol + kPayloadSymbols;
  model->count[a] = AddCounts(model->count[a], 1);
  if (model->parent[a] == kPayloadRoot) return;

  int ua = model->parent[a];
  RecomputeSums(model, a, SiblingOf(model, a));
  do {
    int uua = model->parent[ua];
    int uncle = model->left[uua] == ua ? model->right[uua] : model->left[uua];
    if (model->count[a] > model->count[uncle]) {
      // a trades places with its uncle: a moves up beside ua.
      if (model->left[uua] == ua)
        model->right[uua] = static_cast<uint16_t>(a);
      else
        model->left[uua] = static_cast<uint16_t>(a);
      int other;
      if (model->left[ua] == a) {
        model->left[ua] = static_cast<uint16_t>(uncle);
        other = model->right[ua];
      } else {
        model->right[ua] = static_cast<uint16_t>(uncle);
        other = model->left[ua];
      }
      model->parent[uncle] = static_cast<uint16_t>(ua);
      model->parent[a] = static_cast<uint16_t>(uua);
      RecomputeSums(model, uncle, other);
      a = uncle;
    }
    a = model->parent[a];
    ua = model->parent[a];
  } while (ua != kPayloadRoot);
}

// ---------------------------------------------------------------------------
// The decoder. Its state is process-wide and reset by every decode.

const unsigned char* payloadInputCursor;
const unsigned char* payloadInputEnd;
uint32_t payloadOutputCount;

static PayloadModel decoderModel;
static uint32_t rangeBase[kPayloadRanges];
static uint32_t bitBuffer;
static int32_t bitsLeft;
static int inputIntact;              // cleared when the input runs out
static unsigned char* window;
static uint32_t windowPosition;
static unsigned char* outputBlock;
static uint32_t outputCapacity;

static void ResetDecoder() {
  ResetPayloadModel(&decoderModel);
  uint32_t base = 0;
  for (int i = 0; i < kPayloadRanges; ++i) {
    rangeBase[i] = base;
    base += 1u << kPayloadRangeBits[i];
  }
  bitBuffer = 0;
  bitsLeft = 0;
  payloadOutputCount = 0;
  inputIntact = 1;
  window = nullptr;
  windowPosition = 0;
  outputBlock = nullptr;
  outputCapacity = 0;
}

// Bits come from each byte most significant first; the next byte is loaded
// only when a bit is wanted, so nothing past the end code is ever read.
static inline int TakeBit() {
  if (bitsLeft == 0) {
    if (payloadInputCursor >= payloadInputEnd) {
      inputIntact = 0;
      return 0;
    }
    bitBuffer = *payloadInputCursor++;
    bitsLeft = 7;
  } else {
    --bitsLeft;
  }
  int bit = (bitBuffer >> 7) & 1;
  bitBuffer <<= 1;
  return bit;
}

// Extra bits of a copy, least significant first.
static uint32_t TakeNumber(int bits) {
  uint32_t value = 0;
  for (int i = 0; i < bits; ++i) {
    int bit = TakeBit();
    if (!inputIntact) return 0;
    value |= static_cast<uint32_t>(bit) << i;
  }
  return value;
}

// Returns the symbol, or -1 when the input runs out.
static int DecodeSymbol() {
  int node = kPayloadRoot;
  do {
    int bit = TakeBit();
    if (!inputIntact) return -1;
    node = bit ? decoderModel.right[node] : decoderModel.left[node];
  } while (node <= kPayloadInternalNodes);
  int symbol = node - kPayloadSymbols;
  UpdatePayloadModel(&decoderModel, symbol);
  return symbol;
}

// The output grows by fixed steps into a fresh zero-filled block, so every
// byte after the decoded ones is zero.
static int GrowOutput() {
  if (outputCapacity > UINT32_MAX - kPayloadOutputStep) return 0;
  uint32_t capacity = outputCapacity + kPayloadOutputStep;
  unsigned char* block = static_cast<unsigned char*>(MemAlloc(capacity));
  if (!block) return 0;
  MemFill(block + outputCapacity, 0, kPayloadOutputStep);
  if (outputBlock) {
    MemCopy(block, outputBlock, outputCapacity);
    MemFree(outputBlock);
  }
  outputBlock = block;
  outputCapacity = capacity;
  return 1;
}

static inline int AppendOutput(unsigned char byte) {
  if (payloadOutputCount >= outputCapacity && !GrowOutput()) return 0;
  outputBlock[payloadOutputCount++] = byte;
  return 1;
}

static int AppendLiteral(unsigned char byte) {
  if (!AppendOutput(byte)) return 0;
  window[windowPosition] = byte;
  if (++windowPosition == static_cast<uint32_t>(kPayloadWindowSize)) windowPosition = 0;
  return 1;
}

static int AppendCopy(int copySymbol) {
  int range = (copySymbol - kPayloadFirstCopySymbol) / kPayloadLengthsPerRange;
  uint32_t length =
      static_cast<uint32_t>((copySymbol - kPayloadFirstCopySymbol) % kPayloadLengthsPerRange + kPayloadMinCopy);
  uint32_t gap = TakeNumber(kPayloadRangeBits[range]);
  if (!inputIntact) return 0;
  uint32_t distance = gap + rangeBase[range] + length;
  // The window holds no bytes from before the stream's start.
  if (distance > payloadOutputCount) return 0;

  uint32_t source = windowPosition >= distance ? windowPosition - distance
                                               : windowPosition + kPayloadWindowSize - distance;
  uint32_t destination = windowPosition;
  for (uint32_t i = 0; i < length; ++i) {
    unsigned char byte = window[source];   // read before writing: distance may be the whole window
    if (!AppendOutput(byte)) return 0;
    window[destination] = byte;
    if (++source == static_cast<uint32_t>(kPayloadWindowSize)) source = 0;
    if (++destination == static_cast<uint32_t>(kPayloadWindowSize)) destination = 0;
  }
  windowPosition = destination;
  return 1;
}

static int DecodeSymbols() {
  for (;;) {
    int symbol = DecodeSymbol();
    if (symbol < 0) return 0;
    if (symbol == kPayloadEndSymbol) return 1;
    int ok = symbol < kPayloadEndSymbol ? AppendLiteral(static_cast<unsigned char>(symbol))
                                        : AppendCopy(symbol);
    if (!ok) return 0;
  }
}

int DecodePayload(unsigned char** output) {
  ResetDecoder();
  window = static_cast<unsigned char*>(MemAlloc(kPayloadWindowSize));
  int ok = window != nullptr && DecodeSymbols();
  MemFree(window);
  window = nullptr;
  if (!ok) {
    MemFree(outputBlock);
    outputBlock = nullptr;
    outputCapacity = 0;
    payloadOutputCount = 0;
    return 0;
  }
  *output = outputBlock;
  outputBlock = nullptr;
  return 1;
}
