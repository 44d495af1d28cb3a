#include "payload/payload_encoder.h"

#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <cstddef>
#include <deque>
#include <limits>

#include "payload/payload_decoder.h"

// ---------------------------------------------------------------------------
// Bits and symbols

void PayloadBitWriter::PutBit(int bit) {
  if (pending_ == 0) bytes_.push_back(0);
  if (bit) bytes_.back() = static_cast<uint8_t>(bytes_.back() | (0x80 >> pending_));
  pending_ = (pending_ + 1) & 7;
}

void PayloadBitWriter::PutNumberLowFirst(uint32_t value, int bits) {
  for (int i = 0; i < bits; ++i) PutBit((value >> i) & 1);
}

void PayloadBitWriter::TruncateTo(size_t bits) {
  bytes_.resize((bits + 7) / 8);
  pending_ = static_cast<int>(bits % 8);
  if (pending_) bytes_.back() = static_cast<uint8_t>(bytes_.back() & (0xFF00 >> pending_));
}

std::vector<uint8_t> PayloadBitWriter::Finish() {
  pending_ = 0;
  return std::move(bytes_);
}

void PutPayloadSymbol(PayloadModel* model, PayloadBitWriter* writer, int symbol) {
  int path[kPayloadNodes];
  int depth = 0;
  for (int node = symbol + kPayloadSymbols; node != kPayloadRoot;) {
    int up = model->parent[node];
    path[depth++] = model->right[up] == node;
    node = up;
  }
  while (depth > 0) writer->PutBit(path[--depth]);
  UpdatePayloadModel(model, symbol);
}

static uint32_t RangeBase(int range) {
  uint32_t base = 0;
  for (int i = 0; i < range; ++i) base += 1u << kPayloadRangeBits[i];
  return base;
}

// The largest gap (distance minus length) that a copy can express.
static constexpr int kMaxGap = kPayloadWindowSize - kPayloadMaxCopy;   // 21,839

// The smallest gap of each range, and one past the largest.
static constexpr uint32_t kFirstGap[kPayloadRanges + 1] = {0, 16, 80, 336, 1360, 5456, kMaxGap + 1};

// The range of every gap, built by the compiler: the parser looks one up
// for every run of lengths of every copy it prices.
struct GapRanges {
  uint8_t range[kMaxGap + 1];
  constexpr GapRanges() : range() {
    int r = 0;
    for (uint32_t g = 0; g <= static_cast<uint32_t>(kMaxGap); ++g) {
      while (g >= kFirstGap[r + 1]) ++r;
      range[g] = static_cast<uint8_t>(r);
    }
  }
};
static constexpr GapRanges kGapRanges;

static int RangeOfGap(uint32_t gap) { return kGapRanges.range[gap]; }

PayloadCopyCode PayloadCopyCodeFor(int length, int distance) {
  uint32_t gap = static_cast<uint32_t>(distance - length);
  int range = RangeOfGap(gap);
  PayloadCopyCode code;
  code.symbol = kPayloadFirstCopySymbol + kPayloadLengthsPerRange * range + (length - kPayloadMinCopy);
  code.extraBits = kPayloadRangeBits[range];
  code.extraValue = gap - RangeBase(range);
  return code;
}

// ---------------------------------------------------------------------------
// Finding copies: hash chains over every earlier position in the window

namespace {

// Kept for every position of a block (dozens of them a byte in runs):
// four bytes each.
struct Match {
  uint16_t length;
  uint16_t distance;
};
static_assert(kPayloadWindowSize <= 0xFFFF, "a distance fits a Match");

// Each copy found at a position is longer than the one before.
const int kMostMatches = kPayloadMaxCopy - kPayloadMinCopy + 1;

class MatchFinder {
 public:
  // `lookAhead`: how far past the earliest position still to be searched
  // positions may have been added (a block and its look-ahead). Positions
  // before `first` are never chained: searches start a window after it.
  MatchFinder(const uint8_t* data, size_t size, int chainDepth, size_t lookAhead, size_t first)
      : data_(data), size_(size), chainDepth_(chainDepth), first_(first), added_(first) {
    // The chains live in a ring that holds the window and the look-ahead:
    // memory and cache footprint stay small whatever the input's size.
    // A small input needs neither a slot for more positions than it has
    // nor many more buckets than positions: filling the full tables would
    // cost a 6 KB input more time than finding its copies.
    size_t ring = 1;
    while (ring < std::min(static_cast<size_t>(kPayloadWindowSize) + lookAhead + 1, size)) ring <<= 1;
    ringMask_ = ring - 1;
    while (hashBits_ > kFewestHashBits && (size_t{1} << (hashBits_ - 2)) >= size) --hashBits_;
    for (int level = 0; level < kLevels; ++level) {
      head_[level].assign(size_t{1} << hashBits_, -1);
      previous_[level].assign(ring, -1);
      uint32_t power = 1;   // kRollFactor^(span - 1): the leaving byte's weight
      for (size_t i = 1; i < kLevelSpan[level]; ++i) power *= kRollFactor;
      leavingWeight_[level] = power;
      rollingAt_[level] = std::numeric_limits<size_t>::max();
    }
  }

  // Chains every position up to `last` into the levels it fits.
  void AddThrough(size_t last) {
    for (; added_ <= last && added_ < size_; ++added_) {
      const size_t i = added_;
      for (int level = 0; level < kLevels; ++level) {
        const size_t span = kLevelSpan[level];
        int32_t& link = previous_[level][i & ringMask_];
        link = -1;
        if (i + span > size_) continue;
        uint32_t hash = Bucket(level, i);
        link = head_[level][hash];
        head_[level][hash] = static_cast<int32_t>(i);
      }
    }
  }

  // Copies usable at `position` (already added), into `matches` (room for
  // kMostMatches), longest last; returns their count. Each entry
  // is longer than the one before and comes from a farther distance. A
  // copy never reaches into the bytes that it produces (length <=
  // distance), and from the farthest distances only the longer lengths can
  // be expressed (length >= distance - kMaxGap).
  //
  // Earlier positions are walked nearest first along chains of positions
  // that start with the same bytes. Once the best copy is as long as a
  // longer level's span less one, only candidates sharing that longer span
  // can beat it, so the walk carries on along that level's sparser chain
  // from the same distance: the copies found are those of a walk along the
  // densest chain, at a fraction of the candidates. The spans grow by about
  // half at each level, so that a step up asks for only a few more equal
  // bytes. Noise over a few letters, whose short chains are dense and whose
  // copies never reach the longest length, then costs a few dozen
  // candidates a byte instead of the full depth. On one value with rare
  // others every candidate matches as far as the next rare byte; the walk
  // then goes on along the chain of that byte (ChainOfBytesBeyond), which
  // holds only the candidates that have it.
  int Find(size_t position, Match* matches) const {
    // The ring must still hold the window behind `position`: positions
    // chained further ahead than the look-ahead given to the constructor
    // would have taken over its slots, and the chains would point forward
    // (walks could then circle). That is a fault of the caller; stop.
    if (added_ > ringMask_ + 1 && added_ - position + kPayloadWindowSize > ringMask_ + 1) abort();
    int found = 0;
    size_t available = std::min<size_t>(kPayloadMaxCopy, size_ - position);
    if (available < static_cast<size_t>(kPayloadMinCopy)) return found;
    const uint8_t* here = data_ + position;
    int best = kPayloadMinCopy - 1;
    int level = 0;
    size_t reached = 0;   // distance of the last candidate walked
    int32_t candidate = Previous(0, position);
    int fruitless = 0;       // candidates walked since the last longer copy
    size_t anchor = 0;       // nonzero: walking by the bytes at here + anchor
    int budget = chainDepth_;
    if (int run = RunCopies(position, available)) {
      // The walk would visit distance 1, 2, 3 and on, each a copy as long
      // as its distance, every level's chain going back one position at a
      // time: it takes up from where those copies end (inside a run as
      // long as the longest copy both ways, at the one that ends it).
      for (int distance = kPayloadMinCopy; distance <= run; ++distance)
        matches[found++] = {static_cast<uint16_t>(distance), static_cast<uint16_t>(distance)};
      best = run;
      reached = static_cast<size_t>(run);
      level = HighestLevelFor(0, best, position);
      candidate = static_cast<int32_t>(position) - run - 1;
      budget -= run;
    }
    for (; candidate >= 0 && budget > 0; --budget) {
      size_t distance = position - static_cast<size_t>(candidate);
      if (distance > static_cast<size_t>(kPayloadWindowSize)) break;
      reached = distance;
      size_t limit = std::min(available, distance);
      const uint8_t* source = data_ + candidate;
      if (limit > static_cast<size_t>(best) && source[best] == here[best]) {
        size_t length = CommonLength(source, here, limit);
        if (length > static_cast<size_t>(best) && length + kMaxGap >= distance) {
          best = static_cast<int>(length);
          matches[found++] = {static_cast<uint16_t>(best), static_cast<uint16_t>(distance)};
          if (length == available) break;
          fruitless = -1;
        }
      }
      ++fruitless;
      if (anchor && fruitless > 0) {
        candidate = Anchored(Previous(0, static_cast<size_t>(candidate) + anchor), anchor);
        continue;
      }
      // After a longer copy the walk goes back to the level's chain: the
      // copy is on it, and the candidates between could not have beaten it.
      anchor = 0;
      candidate = Previous(level, static_cast<size_t>(candidate));
      // Still nothing longer well after that, on a chain of 8 or more
      // equal bytes: the longer copies left are too rare to pay for the
      // walk (on real files this loses nothing measurable).
      if (level >= kFirstLevelGivenUp && fruitless >= kWalkGivenUp) break;
      if (fruitless == kStalledWalk && best >= kPayloadMinCopy) {
        size_t offset = static_cast<size_t>(best) - 2;
        if (ChainOfBytesBeyond(position + offset, reached, &candidate)) {
          anchor = offset;
          candidate = Anchored(candidate, offset);
          continue;
        }
      }
      // Only a longer copy can take the walk to another level.
      int higher = fruitless == 0 ? HighestLevelFor(level, best, position) : level;
      if (higher > level) {
        // Move up to the sparser chain, past the distances already walked.
        level = higher;
        // The last candidate is on that chain too when its bytes go on
        // equal (its copy was cut short by its distance, as in a run):
        // the chain goes on from it, which spares walking a run's every
        // position again at each level.
        size_t last = position - reached;
        if (memcmp(data_ + last, here, kLevelSpan[level]) == 0) {
          candidate = Previous(level, last);
        } else {
          candidate = Previous(level, position);
          while (candidate >= 0 && position - static_cast<size_t>(candidate) <= reached)
            candidate = Previous(level, static_cast<size_t>(candidate));
        }
      }
    }
    return found;
  }

 private:
  static const int kMostHashBits = 16;
  static const int kFewestHashBits = 8;
  static const int kLevels = 7;
  static constexpr size_t kLevelSpan[kLevels] = {kPayloadMinCopy, 5, 8, 12, 18, 27, 40};
  static const uint32_t kRollFactor = 0x01000193u;
  static const int kStalledWalk = 8;       // candidates without a longer copy before trying the byte's chain
  static const int kStepsPastWalked = 8;   // steps that chain may take to pass the distances walked
  static const int kWalkGivenUp = 32;      // candidates without a longer copy before the walk ends,
  static const int kFirstLevelGivenUp = 2; // on chains of kLevelSpan[2] bytes or more

  // A longer copy must match the byte after the best copy, so every
  // candidate that can beat it is on the chain of the three bytes ending
  // there. When the walk stalls (the candidates stop at a rare byte), it
  // goes on along that chain, if a few steps take it past the distances
  // already walked (the chain is sparse near here): sets `candidate` to
  // the chain's first position farther than `reached` from `head`.
  bool ChainOfBytesBeyond(size_t head, size_t reached, int32_t* candidate) const {
    if (head >= added_) return false;
    int32_t q = Previous(0, head);
    for (int steps = 0; q >= 0 && head - static_cast<size_t>(q) <= reached; ++steps) {
      if (steps == kStepsPastWalked) return false;
      q = Previous(0, static_cast<size_t>(q));
    }
    *candidate = q;
    return true;
  }

  // Inside a run of one value, m bytes of it both before `position` and
  // from it on (up to `available`): the walk's first candidates are the
  // m - 1 nearest, each a copy as long as its distance, found in a row
  // (every chain holds the run's positions next to each other). Returns
  // m - 1 when that gives copies and the walk may take those steps; else 0.
  int RunCopies(size_t position, size_t available) const {
    if (position == 0 || position - 1 < first_ || data_[position - 1] != data_[position]) return 0;
    const uint8_t* here = data_ + position;
    size_t ahead = 1 + CommonLength(here, here + 1, available - 1);
    size_t most = std::min(ahead, position - first_);
    size_t behind = 1;
    if (CommonLength(here - most, here - most + 1, most) == most) {
      behind = most;   // the whole run behind: the usual case in a long run
    } else {
      while (behind < most && here[-1 - static_cast<std::ptrdiff_t>(behind)] == here[0]) ++behind;
    }
    int run = static_cast<int>(std::min(ahead, behind)) - 1;
    return run >= kPayloadMinCopy && run < chainDepth_ ? run : 0;
  }

  // The sparsest level from `level` up whose span a copy longer than
  // `best` fills and that fits in the input from `position`.
  int HighestLevelFor(int level, int best, size_t position) const {
    while (level + 1 < kLevels && best + 1 >= static_cast<int>(kLevelSpan[level + 1]) &&
           position + kLevelSpan[level + 1] <= size_)
      ++level;
    return level;
  }

  // The candidate whose bytes at `offset` are those at chain position `q`.
  static int32_t Anchored(int32_t q, size_t offset) {
    return q >= static_cast<int32_t>(offset) ? q - static_cast<int32_t>(offset) : -1;
  }

  // Only positions within the window are ever looked up, and the ring
  // holds the window and the look-ahead, so a position's slot is its own.
  int32_t Previous(int level, size_t i) const { return previous_[level][i & ringMask_]; }

  // The level's bucket for the `span` bytes at `i`. Positions are added in
  // order, so each level's hash rolls along: one byte leaves, one enters.
  uint32_t Bucket(int level, size_t i) {
    const size_t span = kLevelSpan[level];
    uint32_t hash;
    if (span == static_cast<size_t>(kPayloadMinCopy)) {
      hash = data_[i] | (data_[i + 1] << 8) | (data_[i + 2] << 16);
    } else if (i == 0 || rollingAt_[level] != i - 1) {
      hash = 0;
      for (size_t k = 0; k < span; ++k) hash = hash * kRollFactor + data_[i + k];
      rolling_[level] = hash;
    } else {
      hash = (rolling_[level] - data_[i - 1] * leavingWeight_[level]) * kRollFactor + data_[i + span - 1];
      rolling_[level] = hash;
    }
    rollingAt_[level] = i;
    return (hash * 2654435761u) >> (32 - hashBits_);
  }

  static size_t CommonLength(const uint8_t* a, const uint8_t* b, size_t limit) {
    size_t length = 0;
    while (length + 8 <= limit) {
      uint64_t x, y;
      memcpy(&x, a + length, 8);
      memcpy(&y, b + length, 8);
      if (x != y) {
#if defined(__GNUC__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
        return length + static_cast<size_t>(__builtin_ctzll(x ^ y)) / 8;   // the first byte that differs
#else
        break;   // the bytes below find where
#endif
      }
      length += 8;
    }
    while (length < limit && a[length] == b[length]) ++length;
    return length;
  }

  const uint8_t* data_;
  size_t size_;
  int chainDepth_;
  size_t first_;                               // positions before it are never chained
  size_t ringMask_;
  int hashBits_ = kMostHashBits;               // buckets per level: 2 to 4 per position for small inputs
  size_t added_;                               // positions chained so far
  std::vector<int32_t> head_[kLevels];         // per level: the latest position of each bucket
  std::vector<int32_t> previous_[kLevels];     // per level, by ring slot: the previous position of its bucket
  uint32_t rolling_[kLevels] = {};             // per level: the hash of the last position added
  size_t rollingAt_[kLevels];                  // per level: that position, none at first
  uint32_t leavingWeight_[kLevels];
};

// Lengths from `first` to `last` of a copy from `distance` back, whose
// gaps fall in one range.
struct LengthRun {
  uint8_t first;
  uint8_t last;
  uint8_t range;
  int distance;
};

// A step of a parse in four bytes: distance << 10 | range << 7 | length,
// a literal being a length of 1 from distance 0. The parse's inner loops
// store it without a branch, and its low ten bits index the price of a
// copy (PlanBlock).
using PackedStep = uint32_t;
const int kPackedRangeShift = 7;
const int kPackedDistanceShift = 10;
const uint32_t kPackedLengthMask = (1u << kPackedRangeShift) - 1;
const uint32_t kPackedPriceMask = (1u << kPackedDistanceShift) - 1;
static_assert(kPayloadMaxCopy <= static_cast<int>(kPackedLengthMask), "a length fits below the range");
static_assert(kPayloadRanges <= 1 << (kPackedDistanceShift - kPackedRangeShift), "a range fits below the distance");
static_assert(kPayloadWindowSize < 1 << (32 - kPackedDistanceShift), "a distance fits");

static PackedStep Packed(int length, int distance, int range) {
  return static_cast<uint32_t>(distance) << kPackedDistanceShift | static_cast<uint32_t>(range) << kPackedRangeShift |
         static_cast<uint32_t>(length);
}

// One step of a parse: a literal (length 1, distance 0) or a copy.
struct Step {
  int length;
  int distance;
};

class Encoder {
 public:
  Encoder(const uint8_t* data, size_t size, const PayloadEncoderOptions& options)
      : data_(data), size_(size), options_(options), finder_(FinderFrom(0)) {
    ResetPayloadModel(&model_);
  }

  std::vector<uint8_t> Run() {
    size_t position = 0;
    while (position < size_) {
      position = options_.optimalParse ? ParseBlockInStep(position) : ParseGreedily(position);
    }
    PutPayloadSymbol(&model_, &writer_, kPayloadEndSymbol);
    return writer_.Finish();
  }

 private:
  // Blocks taken back when one jumps, counting that one.
  static const size_t kBlocksTakenBack = 16;
  // Block lengths tried, in percent of the chosen one, when a block jumps.
  static constexpr int kOtherBlockLengths[] = {75, 125, 50, 150, 25};

  static int BlockLength(const PayloadEncoderOptions& options, int percent) {
    return std::max(64, options.blockLength * percent / 100);
  }

  static int LongestBlock(const PayloadEncoderOptions& options) {
    int longest = std::max(options.blockLength, 1);
    for (int percent : kOtherBlockLengths) longest = std::max(longest, BlockLength(options, percent));
    return longest;
  }

  // A match finder for searches from `position` on.
  MatchFinder FinderFrom(size_t position) const {
    size_t first = position > static_cast<size_t>(kPayloadWindowSize) ? position - kPayloadWindowSize : 0;
    return MatchFinder(data_, size_, options_.chainDepth, static_cast<size_t>(LongestBlock(options_)) + kPayloadMaxCopy,
                       first);
  }

  // Where a parse can be taken back to: a block's start.
  struct Checkpoint {
    size_t position;
    size_t bits;
    PayloadModel model;
  };

  // Parses and emits a block. If that makes the root count jump past the
  // limit (no step near that point could avoid it: see NearTheCountLimit),
  // the last blocks, up to kBlocksTakenBack, are parsed again with other
  // block lengths, which shifts where their symbols fall and usually lets
  // the count meet the limit exactly; the jump is often set up several
  // blocks before it shows. That costs at most the search of those blocks
  // and six parses of them, whatever the input's size. If every length
  // jumps, the blocks are parsed again with the chosen one: as they were
  // but for a few copies near the ends of the first searches (a stalled
  // walk follows only chains of positions already added, and more are by
  // now).
  size_t ParseBlockInStep(size_t start) {
    if (checkpoints_.size() == kBlocksTakenBack) checkpoints_.pop_front();
    checkpoints_.push_back({start, writer_.BitCount(), model_});
    jumpedPastTheLimit_ = false;
    size_t end = ParseBlockOptimally(start, options_.blockLength);
    if (!jumpedPastTheLimit_) return end;
    const size_t jumpedBlockEnd = end;
    // The blocks' copies were not kept: they are found again, by a finder
    // whose chains reach back a window from the first checkpoint, and kept
    // while the lengths are tried. The finder then carries on.
    keepFrom_ = checkpoints_.front().position;
    finder_ = FinderFrom(keepFrom_);
    for (int percent : kOtherBlockLengths) {
      end = ParseAgain(jumpedBlockEnd, BlockLength(options_, percent));
      if (!jumpedPastTheLimit_) break;
    }
    if (jumpedPastTheLimit_) end = ParseAgain(jumpedBlockEnd, options_.blockLength);
    checkpoints_.clear();
    keepFrom_ = kKeepFromBlockStart;
    return end;
  }

  // Takes the parse back to the first checkpoint and parses blocks of
  // `blockLength` until `end` is passed; returns where they end.
  size_t ParseAgain(size_t end, int blockLength) {
    const Checkpoint& from = checkpoints_.front();
    model_ = from.model;
    writer_.TruncateTo(from.bits);
    jumpedPastTheLimit_ = false;
    size_t position = from.position;
    while (position < end) position = ParseBlockOptimally(position, blockLength);
    return position;
  }

  void Emit(size_t position, Step step) {
    int rootBefore = model_.count[kPayloadRoot];
    if (step.distance == 0) {
      PutPayloadSymbol(&model_, &writer_, data_[position]);
    } else {
      PayloadCopyCode code = PayloadCopyCodeFor(step.length, step.distance);
      PutPayloadSymbol(&model_, &writer_, code.symbol);
      writer_.PutNumberLowFirst(code.extraValue, code.extraBits);
    }
    if (rootBefore < kPayloadCountLimit && model_.count[kPayloadRoot] > kPayloadCountLimit) jumpedPastTheLimit_ = true;
  }

  size_t ParseGreedily(size_t position) {
    finder_.AddThrough(position);
    Match matches[kMostMatches];
    int found = finder_.Find(position, matches);
    Step step = {1, 0};
    if (found > 0) step = {matches[found - 1].length, matches[found - 1].distance};
    Emit(position, step);
    return position + static_cast<size_t>(step.length);
  }

  // Prices are in quarter bits, so that two trees' prices can be blended.
  static const int kPriceScale = 4;

  // Code length of every symbol in `model`'s tree.
  static void MeasurePrices(const PayloadModel& model, int* price) {
    int depth[kPayloadNodes + 1];
    depth[kPayloadRoot] = 0;
    int stack[kPayloadNodes];
    int top = 0;
    stack[top++] = kPayloadRoot;
    while (top > 0) {
      int node = stack[--top];
      if (node > kPayloadInternalNodes) {
        price[node - kPayloadSymbols] = depth[node] * kPriceScale;
        continue;
      }
      int left = model.left[node], right = model.right[node];
      depth[left] = depth[right] = depth[node] + 1;
      stack[top++] = left;
      stack[top++] = right;
    }
  }

  // Copies at every position from `start` to `end`, as found, kept from
  // one block to the next: a block that starts inside the last one's
  // look-ahead, or again inside the last block after a detour around the
  // count limit, searches only the positions not searched yet. While blocks
  // are parsed again, they are kept from the first of them on.
  void FindRawMatches(size_t start, size_t end) {
    size_t searched = rawStart_.size() - 1;   // positions from rawFrom_ on
    size_t keep = std::min(start, keepFrom_);
    if (keep < rawFrom_ || keep > rawFrom_ + searched) {
      rawMatches_.clear();
      rawStart_.assign(1, 0);
      rawFrom_ = keep;
      searched = 0;
    } else if (keep > rawFrom_) {
      size_t dropped = keep - rawFrom_;
      size_t firstKept = rawStart_[dropped];
      rawMatches_.erase(rawMatches_.begin(), rawMatches_.begin() + static_cast<std::ptrdiff_t>(firstKept));
      rawStart_.erase(rawStart_.begin(), rawStart_.begin() + static_cast<std::ptrdiff_t>(dropped));
      for (size_t& first : rawStart_) first -= firstKept;
      rawFrom_ = keep;
      searched -= dropped;
    }
    finder_.AddThrough(end - 1);
    Match matches[kMostMatches];
    for (size_t position = rawFrom_ + searched; position < end; ++position) {
      int found = finder_.Find(position, matches);
      rawMatches_.insert(rawMatches_.end(), matches, matches + found);
      rawStart_.push_back(rawMatches_.size());
    }
  }

  // The copies offered to the block's plans, at every position of the
  // block and its look-ahead, as runs of lengths priced alike: the plans
  // walk these, so what the runs take to work out is done once a block.
  void FindBlockMatches(size_t start, size_t end) {
    FindRawMatches(start, end);
    lengthRuns_.clear();
    lengthRunStart_.assign(1, 0);
    loneLengths_.clear();
    loneLengthStart_.assign(1, 0);
    size_t insideLongestCopy = start;
    for (size_t position = start; position < end; ++position) {
      const Match* first = rawMatches_.data() + rawStart_[position - rawFrom_];
      const Match* last = rawMatches_.data() + rawStart_[position - rawFrom_ + 1];
      // Within a copy of the longest length the parse nearly always goes
      // on with the longest copies: the shorter ones there are not offered,
      // which spares pricing dozens of them at every byte of a long run.
      if (position < insideLongestCopy && last - first > 1) first = last - 1;
      if (first != last && (last - 1)->length == kPayloadMaxCopy) insideLongestCopy = position + kPayloadMaxCopy;
      AddLengthRuns(first, last, end - position);
      lengthRunStart_.push_back(lengthRuns_.size());
      loneLengthStart_.push_back(loneLengths_.size());
    }
  }

  // Each length of a position is offered once, by the nearest copy that
  // reaches it (a longer copy comes from farther), and priced by the gap
  // range it falls in (a longer copy has a smaller gap); lengths past the
  // parse's end (`room` bytes on) are not offered.
  void AddLengthRuns(const Match* first, const Match* last, size_t room) {
    int length = kPayloadMinCopy;
    for (const Match* m = first; m != last; ++m) {
      const Match& match = *m;
      int longest = static_cast<int>(std::min(static_cast<size_t>(match.length), room));
      length = std::max(length, match.distance - kMaxGap);
      if (length > longest) continue;
      for (int range = RangeOfGap(static_cast<uint32_t>(match.distance - length)); length <= longest; --range) {
        int lastInRange = std::min(longest, match.distance - static_cast<int>(kFirstGap[range]));
        if (length > lastInRange) continue;
        if (lastInRange - length < kLongestLoneRun) {
          for (; length <= lastInRange; ++length) loneLengths_.push_back(Packed(length, match.distance, range));
          continue;
        }
        lengthRuns_.push_back({static_cast<uint8_t>(length), static_cast<uint8_t>(lastInRange),
                               static_cast<uint8_t>(range), match.distance});
        length = lastInRange + 1;
      }
    }
  }

  // Cheapest parse of the bytes from `start` to `end` under price_, into
  // steps_ (last step first). The parse runs one longest copy beyond the
  // block so that the block's end does not force its last steps.
  void PlanBlock(size_t start, size_t end) {
    // Price of every copy symbol with its extra bits, by range << 7 | length.
    int32_t copyPrice[kPayloadRanges << kPackedRangeShift];
    for (int range = 0; range < kPayloadRanges; ++range)
      for (int length = kPayloadMinCopy; length <= kPayloadMaxCopy; ++length)
        copyPrice[range << kPackedRangeShift | length] =
            price_[kPayloadFirstCopySymbol + kPayloadLengthsPerRange * range + (length - kPayloadMinCopy)] +
            kPayloadRangeBits[range] * kPriceScale;
    size_t span = end - start;
    cost_.assign(span + 1, std::numeric_limits<int32_t>::max());
    choice_.assign(span + 1, 0);
    cost_[0] = 0;
    for (size_t i = 0; i < span; ++i) {
      int32_t here = cost_[i];
      int32_t literal = here + price_[data_[start + i]];
      if (literal < cost_[i + 1]) {
        cost_[i + 1] = literal;
        choice_[i + 1] = Packed(1, 0, 0);
      }
      int32_t* __restrict cost = &cost_[i];
      PackedStep* __restrict choice = &choice_[i];
      // These loops run for every length of every copy offered, dozens a
      // byte in runs: without branches, whose outcome is a coin toss here.
      // A position offers each length once, so the order they are weighed
      // in does not matter.
      for (size_t l = loneLengthStart_[i]; l < loneLengthStart_[i + 1]; ++l) {
        const PackedStep lone = loneLengths_[l];
        const uint32_t length = lone & kPackedLengthMask;
        int32_t total = here + copyPrice[lone & kPackedPriceMask];
        bool cheaper = total < cost[length];
        cost[length] = cheaper ? total : cost[length];
        choice[length] = cheaper ? lone : choice[length];
      }
      for (size_t r = lengthRunStart_[i]; r < lengthRunStart_[i + 1]; ++r) {
        const LengthRun& run = lengthRuns_[r];
        const int32_t* price = copyPrice + (run.range << kPackedRangeShift);
        const PackedStep from = Packed(0, run.distance, run.range);
        for (int length = run.first; length <= run.last; ++length) {
          int32_t total = here + price[length];
          bool cheaper = total < cost[length];
          cost[length] = cheaper ? total : cost[length];
          choice[length] = cheaper ? (from | static_cast<uint32_t>(length)) : choice[length];
        }
      }
    }
    steps_.clear();
    for (size_t i = span; i > 0; i -= static_cast<size_t>(steps_.back().length)) steps_.push_back(Unpacked(choice_[i]));
  }

  static Step Unpacked(PackedStep packed) {
    return {static_cast<int>(packed & kPackedLengthMask), static_cast<int>(packed >> kPackedDistanceShift)};
  }

  static bool SameSteps(const std::vector<Step>& a, const std::vector<Step>& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
      if (a[i].length != b[i].length || a[i].distance != b[i].distance) return false;
    return true;
  }

  // Codes steps_ up to the block's end on a copy of the model: returns the
  // bits per byte that they would really cost and leaves the model after them.
  double TryPlan(size_t start, size_t blockEnd, PayloadModel* after) const {
    *after = model_;
    size_t position = start;
    int64_t bits = 0;
    for (auto step = steps_.rbegin(); step != steps_.rend() && position < blockEnd; ++step) {
      bits += UpdatePayloadModel(after, SymbolOf(position, *step));
      if (step->distance != 0) bits += PayloadCopyCodeFor(step->length, step->distance).extraBits;
      position += static_cast<size_t>(step->length);
    }
    return static_cast<double>(bits) / static_cast<double>(position - start);
  }

  // Parses a block and emits it. Prices from the tree at the block's start
  // ignore how the tree adapts within the block; so the block is parsed
  // again with prices blended towards the tree that the last plan would
  // leave behind, each plan is tried on a copy of the model, and the one
  // that really costs least is emitted. Returns where the emitted part ends.
  size_t ParseBlockOptimally(size_t start, int blockLength) {
    size_t blockEnd = std::min(size_, start + static_cast<size_t>(blockLength));
    size_t end = std::min(size_, blockEnd + kPayloadMaxCopy);
    FindBlockMatches(start, end);
    int startPrice[kPayloadSymbols];
    MeasurePrices(model_, startPrice);
    std::copy(startPrice, startPrice + kPayloadSymbols, price_);
    PlanBlock(start, end);
    if (options_.plansPerBlock > 1) {
      PayloadModel after;
      double bestCost = TryPlan(start, blockEnd, &after);
      bestSteps_ = steps_;
      triedPlans_ = 0;
      RememberPlan(after);
      // Weight, in quarters, of the later tree in each further plan.
      static const int kLaterWeight[] = {2, 4, 1, 3};
      for (int plan = 1; plan < options_.plansPerBlock; ++plan) {
        int laterPrice[kPayloadSymbols];
        MeasurePrices(after, laterPrice);
        int weight = kLaterWeight[(plan - 1) % 4];
        for (int s = 0; s < kPayloadSymbols; ++s)
          price_[s] = (startPrice[s] * (4 - weight) + laterPrice[s] * weight + 2) / 4;
        previousSteps_.swap(steps_);
        PlanBlock(start, end);
        // Blending moved nothing: the prices are settled for this block,
        // and further plans would mostly repeat this one.
        if (SameSteps(steps_, previousSteps_)) break;
        // A plan that comes round again costs what it did, which was not
        // less than the best: only the model it leaves is wanted.
        if (const PayloadModel* seen = ModelAfterTriedPlan()) {
          after = *seen;
          continue;
        }
        double cost = TryPlan(start, blockEnd, &after);
        RememberPlan(after);
        if (cost < bestCost) {
          bestCost = cost;
          bestSteps_ = steps_;
        }
      }
      steps_.swap(bestSteps_);
    }

    size_t position = start;
    size_t landingLookedThrough = 0;   // a block may meet the limit more than once
    for (auto step = steps_.rbegin(); step != steps_.rend() && position < blockEnd; ++step) {
      if (position >= landingLookedThrough && LimitWithinLanding()) {
        if (!PlanLandsOnTheLimit(position, step, &landingLookedThrough) && FindPathOntoTheLimit()) {
          size_t planned = position;
          for (const Step& landing : landingPath_) {
            Emit(position, landing);
            position += static_cast<size_t>(landing.length);
          }
          // The plan goes on where it meets the landing's end; if it does
          // not, the next block parses on from there.
          for (; step != steps_.rend() && planned < position; ++step) planned += static_cast<size_t>(step->length);
          if (planned != position || step == steps_.rend() || position >= blockEnd) return position;
        }
      }
      if (NearTheCountLimit()) {
        const Step* next = step + 1 != steps_.rend() ? &*(step + 1) : nullptr;
        Step safe;
        if (!PlanKeepsHalving(position, *step, next) && FindStepThatKeepsHalving(position, *step, &safe)) {
          // The plan is left here; the next block parses on from the detour.
          Emit(position, safe);
          return position + static_cast<size_t>(safe.length);
        }
      }
      Emit(position, *step);
      position += static_cast<size_t>(step->length);
    }
    return position;
  }

  // The plans tried for the current block, with the model each leaves.
  struct TriedPlan {
    std::vector<Step> steps;
    PayloadModel after;
  };

  void RememberPlan(const PayloadModel& after) {
    if (triedPlans_ == tried_.size()) tried_.emplace_back();
    tried_[triedPlans_].steps = steps_;
    tried_[triedPlans_].after = after;
    ++triedPlans_;
  }

  const PayloadModel* ModelAfterTriedPlan() const {
    for (size_t i = 0; i < triedPlans_; ++i)
      if (SameSteps(tried_[i].steps, steps_)) return &tried_[i].after;
    return nullptr;
  }

  // Steering around the count limit. The counts are halved only when the
  // root count equals 2,000 exactly. If it jumps past 2,000 instead (a
  // symbol whose leaf hangs from the root does not update the root, so the
  // root's children can outgrow it between two updates), the model stops
  // adapting for tens of thousands of symbols and codes cost several
  // percent more. So, near the limit, each planned symbol is tried on a
  // copy of the model first, and one that would leave the model past the
  // limit gives way to another way of coding the same bytes.
  static int RootChildrenSum(const PayloadModel& model) {
    return model.count[model.left[kPayloadRoot]] + model.count[model.right[kPayloadRoot]];
  }

  // Past the limit, or bound to jump past it at the next root update.
  static bool PastTheLimit(const PayloadModel& model) {
    int root = model.count[kPayloadRoot];
    return root > kPayloadCountLimit || (root < kPayloadCountLimit && RootChildrenSum(model) >= kPayloadCountLimit);
  }

  bool NearTheCountLimit() const {
    int root = model_.count[kPayloadRoot];
    if (root >= kPayloadCountLimit || PastTheLimit(model_)) return false;   // nothing to keep, or too late
    return root >= kPayloadCountLimit - 300 || RootChildrenSum(model_) >= kPayloadCountLimit - 300;
  }

  int SymbolOf(size_t position, Step step) const {
    return step.distance == 0 ? data_[position] : PayloadCopyCodeFor(step.length, step.distance).symbol;
  }

  bool Misses(const PayloadModel& from, size_t position, Step step, PayloadModel* after) const {
    *after = from;
    UpdatePayloadModel(after, SymbolOf(position, step));
    return PastTheLimit(*after);
  }

  // Every way to code the bytes at `position` (inside the block or its
  // look-ahead, whose copies FindRawMatches holds): the copies, longest
  // first, then the literal.
  void StepsAt(size_t position, std::vector<Step>* steps) const {
    steps->clear();
    int length = kPayloadMinCopy;
    size_t at = position - rawFrom_;
    for (size_t m = rawStart_[at]; m < rawStart_[at + 1]; ++m) {
      const Match& match = rawMatches_[m];
      for (length = std::max(length, match.distance - kMaxGap); length <= match.length; ++length)
        steps->push_back({length, match.distance});
    }
    std::reverse(steps->begin(), steps->end());
    steps->push_back({1, 0});
  }

  bool SomeStepKeepsHalving(const PayloadModel& from, size_t position) const {
    if (position >= size_) return true;
    std::vector<Step> steps;
    StepsAt(position, &steps);
    PayloadModel after;
    for (const Step& step : steps)
      if (!Misses(from, position, step, &after)) return true;
    return false;
  }

  // The planned step, and the next one or a replacement for it, stay short
  // of the limit. Looking two steps ahead catches a jump that no choice at
  // the second step could avoid any more.
  bool PlanKeepsHalving(size_t position, Step step, const Step* next) const {
    PayloadModel after, afterNext;
    if (Misses(model_, position, step, &after)) return false;
    size_t nextPosition = position + static_cast<size_t>(step.length);
    if (!next || nextPosition >= size_) return true;
    return !Misses(after, nextPosition, *next, &afterNext) || SomeStepKeepsHalving(after, nextPosition);
  }

  // The longest step other than `planned` that keeps the model short of the
  // limit for two steps, else for one; false when there is none.
  bool FindStepThatKeepsHalving(size_t position, Step planned, Step* safe) const {
    std::vector<Step> steps;
    StepsAt(position, &steps);
    PayloadModel after;
    const Step* fallback = nullptr;
    for (const Step& step : steps) {
      if ((step.length == planned.length && step.distance == planned.distance) ||
          Misses(model_, position, step, &after))
        continue;
      if (SomeStepKeepsHalving(after, position + static_cast<size_t>(step.length))) {
        *safe = step;
        return true;
      }
      if (!fallback) fallback = &step;
    }
    if (!fallback) return false;
    *safe = *fallback;
    return true;
  }

  // Landing on the limit. A symbol whose leaf hangs from the root passes
  // the root by, so the root count meets the limit only if the symbol that
  // takes the children's sum to it is another one. When one symbol is most
  // of the input (a byte that is most of noise), its leaf hangs from the
  // root and most steps are that symbol: two steps of look-ahead then
  // often find no way round, and each jump costs parsing the last blocks
  // again, or, if that fails too, the model. So once a block comes within
  // this many symbols of the limit, its plan is tried up to the limit, and
  // if it would jump, the latest change to it that meets the limit is
  // searched for.
  static const int kLandingSteps = 32;
  // Steps a landing may take after the change (the literal wherever it
  // does not jump), and the plan's steps tried: about as many as there
  // were to the limit (a symbol does not always add exactly one to the
  // children's sum: after a halving an update can leave it as it was, and
  // one whose path first passes a node the model started with at 1 brings
  // that node up to its children's sum).
  static const int kLandingWalk = kLandingSteps + 8;
  // Steps tried on a copy of the model in one search, at most: a search
  // costs a small part of what coding the thousand or so symbols between
  // two halvings does, whether it finds a landing or not.
  static const int kLandingTrials = 256;

  // A leaf hangs from the root, and the children's sum is this close to
  // the limit (not past it).
  bool LimitWithinLanding() const {
    if (model_.left[kPayloadRoot] <= kPayloadInternalNodes && model_.right[kPayloadRoot] <= kPayloadInternalNodes)
      return false;
    int sum = RootChildrenSum(model_);
    return model_.count[kPayloadRoot] < kPayloadCountLimit && sum < kPayloadCountLimit &&
           sum >= kPayloadCountLimit - kLandingSteps;
  }

  // Codes the plan from `step` on copies of the model until the counts are
  // halved (true) or the root jumps (false); keeps each step's position and
  // the model before it, and in `lookedThrough` the position after the
  // last step tried. Undecided (true) when the plan or the steps tried end
  // first: the plan is looked at again from there, or the next block's.
  bool PlanLandsOnTheLimit(size_t position, std::vector<Step>::const_reverse_iterator step, size_t* lookedThrough) {
    landingPlan_.clear();
    landingPositions_.clear();
    landingModels_.resize(1);
    landingModels_[0] = model_;
    for (int tried = 0; tried < kLandingWalk && step != steps_.crend() && position < size_; ++tried, ++step) {
      landingPlan_.push_back(*step);
      landingPositions_.push_back(position);
      landingModels_.push_back(landingModels_.back());
      PayloadModel& after = landingModels_.back();
      int root = after.count[kPayloadRoot];
      UpdatePayloadModel(&after, SymbolOf(position, *step));
      position += static_cast<size_t>(step->length);
      bool halved = after.count[kPayloadRoot] < root;
      if (halved || PastTheLimit(after)) {
        *lookedThrough = position;
        return halved;
      }
    }
    *lookedThrough = position;
    return true;
  }

  // From `position` on `model`: the literal wherever it does not jump,
  // else the shortest copy that does not; into landingPath_ until the
  // counts are halved (true) or no step is left.
  bool WalkOntoTheLimit(PayloadModel model, size_t position) {
    std::vector<Step> steps;
    PayloadModel after;
    for (int walked = 0; walked < kLandingWalk && position < size_; ++walked) {
      StepsWithin(position, &steps);
      const Step* taken = nullptr;
      for (auto step = steps.rbegin(); step != steps.rend() && !taken && landingTrials_ > 0; ++step)   // the literal first
        if (--landingTrials_, !Misses(model, position, *step, &after)) taken = &*step;
      if (!taken) return false;
      int root = model.count[kPayloadRoot];
      landingPath_.push_back(*taken);
      model = after;
      position += static_cast<size_t>(taken->length);
      if (model.count[kPayloadRoot] < root) return true;
    }
    return false;
  }

  // The latest change to the plan tried by PlanLandsOnTheLimit after which
  // a walk meets the limit: the plan up to there, the change and the walk,
  // into landingPath_. False when there is none.
  bool FindPathOntoTheLimit() {
    std::vector<Step> steps;
    PayloadModel after;
    landingTrials_ = kLandingTrials;
    for (size_t changed = landingPlan_.size(); changed-- > 0 && landingTrials_ > 0;) {
      const size_t position = landingPositions_[changed];
      const PayloadModel& before = landingModels_[changed];
      StepsWithin(position, &steps);
      for (const Step& step : steps) {
        if (step.length == landingPlan_[changed].length && step.distance == landingPlan_[changed].distance) continue;
        if (landingTrials_-- <= 0) return false;
        if (Misses(before, position, step, &after)) continue;
        landingPath_.assign(landingPlan_.begin(), landingPlan_.begin() + static_cast<std::ptrdiff_t>(changed));
        landingPath_.push_back(step);
        if (after.count[kPayloadRoot] < before.count[kPayloadRoot] ||
            WalkOntoTheLimit(after, position + static_cast<size_t>(step.length)))
          return true;
      }
    }
    return false;
  }

  // StepsAt, where the copies are known; beyond them, the literal.
  void StepsWithin(size_t position, std::vector<Step>* steps) const {
    if (position - rawFrom_ + 1 < rawStart_.size()) {
      StepsAt(position, steps);
    } else {
      steps->assign(1, Step{1, 0});
    }
  }

  const uint8_t* data_;
  size_t size_;
  PayloadEncoderOptions options_;
  MatchFinder finder_;
  PayloadModel model_;
  bool jumpedPastTheLimit_ = false;   // in the block being parsed
  PayloadBitWriter writer_;
  std::vector<Match> rawMatches_;         // FindRawMatches: copies of the positions from rawFrom_ on
  std::vector<size_t> rawStart_ = {0};    // where each of those positions' copies start, and the end
  size_t rawFrom_ = 0;
  static constexpr size_t kKeepFromBlockStart = std::numeric_limits<size_t>::max();
  size_t keepFrom_ = kKeepFromBlockStart;   // while blocks are parsed again: the first one's start
  std::deque<Checkpoint> checkpoints_;   // the last blocks' starts
  int price_[kPayloadSymbols];
  std::vector<int32_t> cost_;   // quarter bits; a block stays far below 2^31
  std::vector<PackedStep> choice_;   // the cheapest step to each position
  std::vector<Step> steps_;
  std::vector<Step> bestSteps_;
  std::vector<Step> previousSteps_;
  std::vector<TriedPlan> tried_;   // room kept from block to block
  std::vector<Step> landingPlan_;            // the plan's steps up to the limit...
  std::vector<size_t> landingPositions_;     // ...their positions...
  std::vector<PayloadModel> landingModels_;  // ...and the model before each, and after the last
  std::vector<Step> landingPath_;            // the steps onto the limit
  int landingTrials_ = 0;                    // left to the search
  size_t triedPlans_ = 0;
  std::vector<LengthRun> lengthRuns_;     // the lengths offered at every position of the block...
  std::vector<size_t> lengthRunStart_;    // ...where each position's begin
  std::vector<PackedStep> loneLengths_;   // the lengths of runs up to kLongestLoneRun, one by one...
  std::vector<size_t> loneLengthStart_;   // ...where each position's begin
  // Runs of at most this many lengths are offered length by length: most
  // runs are a few lengths, and one flat loop weighs those faster.
  static const int kLongestLoneRun = 8;
};

}  // namespace

std::vector<uint8_t> EncodePayload(const uint8_t* data, size_t size, const PayloadEncoderOptions& options) {
  Encoder encoder(data, size, options);
  return encoder.Run();
}
