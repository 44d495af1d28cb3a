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

// The path from the root to an updated leaf: node[0] is the root, node[depth]
// the leaf, and sibling[l] the other child of node[l]'s parent. Sums run
// along it instead of chasing parent links again after every swap. The
// decoder records it on its way down the tree.
struct ModelPath {
  uint16_t node[kPayloadInternalNodes + 1];
  uint16_t sibling[kPayloadInternalNodes + 1];
  int depth;
};

// Sets each node of the path above `level` to the sum of its two children,
// up to the root; then halves every count if the root has reached the limit
// exactly. A root count that jumps past the limit is left alone.
static inline void RecomputeSums(PayloadModel* model, const ModelPath* path, int level) {
  int16_t* count = model->count;
  int16_t sum = count[path->node[level]];   // carried in a register, level by level
  for (int l = level; l > 0; --l) {
    sum = AddCounts(sum, count[path->sibling[l]]);
    count[path->node[l - 1]] = sum;
  }
  if (count[kPayloadRoot] == kPayloadCountLimit) {
    for (int i = 1; i <= kPayloadNodes; ++i) count[i] = static_cast<int16_t>(count[i] >> 1);
  }
}

static inline void UpdateAlongPath(PayloadModel* model, ModelPath* path) {
  int depth = path->depth;
  int leaf = path->node[depth];
  model->count[leaf] = AddCounts(model->count[leaf], 1);
  if (depth == 1) return;   // a child of the root: the root's count is not touched
  RecomputeSums(model, path, depth);

  // Climb from the leaf: whenever a node outweighs its uncle (signed
  // compare; equal counts stay), the two trade places.
  for (int l = depth; l >= 2; --l) {
    int a = path->node[l], ua = path->node[l - 1], uua = path->node[l - 2];
    int uncle = path->sibling[l - 1];
    if (model->count[a] <= model->count[uncle]) continue;
    if (model->left[uua] == ua)
      model->right[uua] = static_cast<uint16_t>(a);
    else
      model->left[uua] = static_cast<uint16_t>(a);
    if (model->left[ua] == a)
      model->left[ua] = static_cast<uint16_t>(uncle);
    else
      model->right[ua] = static_cast<uint16_t>(uncle);
    model->parent[uncle] = static_cast<uint16_t>(ua);
    model->parent[a] = static_cast<uint16_t>(uua);
    // ua now holds uncle and a's old sibling, which stays sibling[l]; the
    // sibling of ua is now a.
    path->node[l] = static_cast<uint16_t>(uncle);
    path->sibling[l - 1] = static_cast<uint16_t>(a);
    RecomputeSums(model, path, l);
  }
}

int UpdatePayloadModel(PayloadModel* model, int symbol) {
  uint16_t upward[kPayloadInternalNodes + 1];
  int depth = 0;
  for (int node = symbol + kPayloadSymbols; node != kPayloadRoot; node = model->parent[node])
    upward[depth++] = static_cast<uint16_t>(node);
  ModelPath path;
  path.depth = depth;
  path.node[0] = kPayloadRoot;
  for (int l = 1; l <= depth; ++l) {
    path.node[l] = upward[depth - l];
    path.sibling[l] = static_cast<uint16_t>(SiblingOf(model, path.node[l]));
  }
  UpdateAlongPath(model, &path);
  return depth;
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

// Returns the symbol, or -1 when the input runs out. The path down the
// tree is recorded for the update that follows.
static int DecodeSymbol() {
  ModelPath path;
  int node = kPayloadRoot;
  int depth = 0;
  path.node[0] = kPayloadRoot;
  do {
    int bit = TakeBit();
    if (!inputIntact) return -1;
    uint16_t zero = decoderModel.left[node], one = decoderModel.right[node];
    ++depth;
    path.node[depth] = bit ? one : zero;
    path.sibling[depth] = bit ? zero : one;
    node = path.node[depth];
  } while (node <= kPayloadInternalNodes);
  path.depth = depth;
  UpdateAlongPath(&decoderModel, &path);
  return node - kPayloadSymbols;
}

// Moves the decoded bytes into a new block of `capacity` bytes; 0 when it
// cannot be had, and then the old block stays.
static int MoveOutput(uint32_t capacity) {
  unsigned char* block = static_cast<unsigned char*>(MemAlloc(capacity));
  if (!block) return 0;
  if (outputBlock) {
    MemCopy(block, outputBlock, payloadOutputCount);
    MemFree(outputBlock);
  }
  outputBlock = block;
  outputCapacity = capacity;
  return 1;
}

// The output grows by doubling its capacity (kept a whole number of steps),
// so a large payload costs a few copies instead of one per step. The tail
// beyond the decoded bytes is zeroed once, by TrimOutput.
static int GrowOutput() {
  // Past 2 GB the decode fails, as a block that large would anyway.
  if (outputCapacity > UINT32_MAX / 2) return 0;
  return MoveOutput(outputCapacity ? outputCapacity * 2 : kPayloadOutputStep);
}

// Receivers get the block that growing by single steps would have left: the
// decoded bytes rounded up to a whole number of steps, zero after them. If
// even that smaller block cannot be had, the larger one, zeroed alike, keeps
// both promises.
static void TrimOutput() {
  if (!outputBlock) return;
  uint32_t steps = payloadOutputCount / kPayloadOutputStep + (payloadOutputCount % kPayloadOutputStep != 0);
  uint32_t size = steps * kPayloadOutputStep;
  if (size != outputCapacity) MoveOutput(size);
  MemFill(outputBlock + payloadOutputCount, 0, outputCapacity - payloadOutputCount);
}

static inline int AppendOutput(unsigned char byte) {
  if (payloadOutputCount >= outputCapacity && !GrowOutput()) return 0;
  outputBlock[payloadOutputCount++] = byte;
  return 1;
}

// The output holds every decoded byte, so copies read their source there:
// the last 21,903 bytes of it are the window that the format describes.
static int AppendCopy(int copySymbol) {
  int range = (copySymbol - kPayloadFirstCopySymbol) / kPayloadLengthsPerRange;
  uint32_t length =
      static_cast<uint32_t>((copySymbol - kPayloadFirstCopySymbol) % kPayloadLengthsPerRange + kPayloadMinCopy);
  uint32_t gap = TakeNumber(kPayloadRangeBits[range]);
  if (!inputIntact) return 0;
  uint32_t distance = gap + rangeBase[range] + length;
  // Nothing was decoded before the stream's start.
  if (distance > payloadOutputCount) return 0;

  // A copy is at most 64 bytes, so one growth always makes room.
  if (outputCapacity - payloadOutputCount < length && !GrowOutput()) return 0;
  unsigned char* out = outputBlock + payloadOutputCount;
  const unsigned char* from = out - distance;   // distance >= length: no overlap
  for (uint32_t i = 0; i < length; ++i) out[i] = from[i];
  payloadOutputCount += length;
  return 1;
}

static int DecodeSymbols() {
  for (;;) {
    int symbol = DecodeSymbol();
    if (symbol < 0) return 0;
    if (symbol == kPayloadEndSymbol) return 1;
    int ok = symbol < kPayloadEndSymbol ? AppendOutput(static_cast<unsigned char>(symbol))
                                        : AppendCopy(symbol);
    if (!ok) return 0;
  }
}

int DecodePayload(unsigned char** output) {
  ResetDecoder();
  int ok = DecodeSymbols();
  if (!ok) {
    MemFree(outputBlock);
    outputBlock = nullptr;
    outputCapacity = 0;
    payloadOutputCount = 0;
    return 0;
  }
  TrimOutput();
  *output = outputBlock;
  outputBlock = nullptr;
  return 1;
}
