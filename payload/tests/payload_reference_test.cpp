// A second, deliberately plain implementation of the payload stream, written
// from the format's description alone and sharing no code with the codec:
// its own model tables, update, bit reader, decoder and an encoder that
// picks literals and copies by simple or random strategies. The codec's
// decoder and encoder are cross-checked against it in both directions.

#include <gtest/gtest.h>
#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#endif

#include "payload/payload_decoder.h"
#include "payload/payload_encoder.h"
#include "payload/tests/payload_test_support.h"

namespace {
namespace ref {

const int kRoot = 1;
const int kLastInner = 628;
const int kLastNode = 1257;
const int kLeafOffset = 629;
const int kEnd = 256;
const int kWindow = 21903;
const int kExtraBits[6] = {4, 6, 8, 10, 12, 14};
const int kLargestGap = 21839;   // so a copy from the full window is 64 bytes long

int Base(int range) {
  int base = 0;
  for (int i = 0; i < range; ++i) base += 1 << kExtraBits[i];
  return base;
}

// What the model went through, so that tests can show they reached the
// cases that matter.
struct RootHistory {
  bool seen = false;
  int16_t last = 0;
  int halvings = 0;
  int jumpsOver2000 = 0;       // from below 2,000 to above it in one recomputation
  bool wentNegative = false;
  bool halvedAfterNegative = false;
  int leafUnderRootUpdates = 0;  // updates that end at once: the leaf's parent is the root
};

struct Tree {
  uint16_t left[kLastInner + 1];
  uint16_t right[kLastInner + 1];
  uint16_t parent[kLastNode + 1];
  int16_t count[kLastNode + 1];
  RootHistory history;
};

void Reset(Tree* t) {
  // The root count is left as it was: it must be recomputed before it is read.
  for (int i = 2; i <= kLastNode; ++i) {
    t->parent[i] = static_cast<uint16_t>(i / 2);
    t->count[i] = 1;
  }
  for (int i = 1; i <= kLastInner; ++i) {
    t->left[i] = static_cast<uint16_t>(2 * i);
    t->right[i] = static_cast<uint16_t>(2 * i + 1);
  }
  t->history = RootHistory();
}

int16_t Wrap(int value) { return static_cast<int16_t>(static_cast<uint16_t>(value)); }

int OtherChild(const Tree* t, int p, int x) { return t->left[p] == x ? t->right[p] : t->left[p]; }

void RecomputeSums(Tree* t, int a, int b) {
  for (;;) {
    t->count[t->parent[a]] = Wrap(t->count[a] + t->count[b]);
    a = t->parent[a];
    if (a == kRoot) break;
    b = OtherChild(t, t->parent[a], a);
  }
  int16_t root = t->count[kRoot];
  RootHistory& h = t->history;
  if (h.seen && h.last < 2000 && root > 2000) h.jumpsOver2000++;
  if (root < 0) h.wentNegative = true;
  h.seen = true;
  h.last = root;
  if (root == 2000) {
    if (h.wentNegative) h.halvedAfterNegative = true;
    h.halvings++;
    for (int i = 1; i <= kLastNode; ++i) t->count[i] = static_cast<int16_t>(t->count[i] >> 1);
    h.last = t->count[kRoot];
  }
}

void Update(Tree* t, int symbol) {
  int a = symbol + kLeafOffset;
  t->count[a] = Wrap(t->count[a] + 1);
  if (t->parent[a] == kRoot) {
    t->history.leafUnderRootUpdates++;
    return;
  }
  int ua = t->parent[a];
  RecomputeSums(t, a, OtherChild(t, ua, a));
  do {
    int uua = t->parent[ua];
    int b = OtherChild(t, uua, ua);
    if (t->count[a] > t->count[b]) {
      if (t->left[uua] == ua)
        t->right[uua] = static_cast<uint16_t>(a);
      else
        t->left[uua] = static_cast<uint16_t>(a);
      int e;
      if (t->left[ua] == a) {
        t->left[ua] = static_cast<uint16_t>(b);
        e = t->right[ua];
      } else {
        t->right[ua] = static_cast<uint16_t>(b);
        e = t->left[ua];
      }
      t->parent[b] = static_cast<uint16_t>(ua);
      t->parent[a] = static_cast<uint16_t>(uua);
      RecomputeSums(t, b, e);
      a = b;
    }
    a = t->parent[a];
    ua = t->parent[a];
  } while (ua != kRoot);
}

// ---- decoding ----

struct Reader {
  const uint8_t* cursor;
  const uint8_t* end;
  uint32_t buffer = 0;
  int32_t left = 0;
  int ok = 1;
};

int TakeBit(Reader* r) {
  if (r->left == 0) {
    if (r->cursor == r->end) {
      r->ok = 0;
      return 0;
    }
    r->buffer = (r->buffer & ~0xFFu) | *r->cursor++;
    r->left = 7;
  } else {
    r->left--;
  }
  int bit = (r->buffer >> 7) & 1;
  r->buffer <<= 1;
  return bit;
}

uint32_t TakeNumber(Reader* r, int bits) {
  uint32_t value = 0;
  for (int i = 0; i < bits; ++i) {
    int bit = TakeBit(r);
    if (!r->ok) return 0;
    value |= static_cast<uint32_t>(bit) << i;
  }
  return value;
}

struct Decoded {
  int ok = 0;
  std::vector<uint8_t> bytes;
  size_t consumed = 0;
  size_t capacity = 0;
  RootHistory history;
  int copiesFromFullDistance = 0;
  int sourceWraps = 0;
  int destinationWraps = 0;
};

Decoded Decode(const std::vector<uint8_t>& stream) {
  static Tree t;
  t.count[kRoot] = 1999;  // stale, as left by an earlier decode
  Reset(&t);
  Reader r{stream.data(), stream.data() + stream.size()};
  std::vector<uint8_t> window(kWindow, 0xA5);
  int n = 0;
  Decoded d;
  for (;;) {
    int node = kRoot;
    while (node <= kLastInner) {
      int bit = TakeBit(&r);
      if (!r.ok) break;
      node = bit ? t.right[node] : t.left[node];
    }
    if (!r.ok) break;
    int v = node - kLeafOffset;
    Update(&t, v);
    if (v == kEnd) {
      d.ok = 1;
      break;
    }
    if (v < 256) {
      d.bytes.push_back(static_cast<uint8_t>(v));
      window[n] = static_cast<uint8_t>(v);
      if (++n == kWindow) n = 0;
      continue;
    }
    int range = (v - 257) / 62;
    int length = (v - 257) % 62 + 3;
    uint32_t g = TakeNumber(&r, kExtraBits[range]);
    if (!r.ok) break;
    int distance = static_cast<int>(g) + Base(range) + length;
    if (static_cast<size_t>(distance) > d.bytes.size()) break;  // before the first byte
    if (distance == kWindow) d.copiesFromFullDistance++;
    int k = n - distance;
    if (k < 0) k += kWindow;
    if (k + length > kWindow) d.sourceWraps++;
    if (n + length > kWindow) d.destinationWraps++;
    int j = n;
    for (int i = 0; i < length; ++i) {
      uint8_t byte = window[k];
      d.bytes.push_back(byte);
      window[j] = byte;
      if (++j == kWindow) j = 0;
      if (++k == kWindow) k = 0;
    }
    n += length;
    if (n >= kWindow) n -= kWindow;
  }
  d.consumed = static_cast<size_t>(r.cursor - stream.data());
  d.history = t.history;
  if (!d.ok) {
    d.bytes.clear();
  } else {
    d.capacity = (d.bytes.size() + 4095) / 4096 * 4096;
  }
  return d;
}

// ---- encoding ----

class Encoder {
 public:
  Encoder() { Reset(&tree_); }

  void Literal(uint8_t byte) {
    PutSymbol(byte);
    data_.push_back(byte);
  }

  void Copy(int length, int distance) {
    ASSERT_GE(length, 3);
    ASSERT_LE(length, 64);
    ASSERT_GE(distance, length);
    ASSERT_LE(distance, kWindow);
    ASSERT_LE(static_cast<size_t>(distance), data_.size());
    int gap = distance - length;
    ASSERT_LE(gap, kLargestGap);
    int range = 0;
    while (gap > Base(range) + (1 << kExtraBits[range]) - 1) range++;
    ASSERT_LT(range, 6);
    PutSymbol(257 + 62 * range + (length - 3));
    uint32_t g = static_cast<uint32_t>(gap - Base(range));
    for (int i = 0; i < kExtraBits[range]; ++i) PutBit((g >> i) & 1);
    for (int i = 0; i < length; ++i) data_.push_back(data_[data_.size() - static_cast<size_t>(distance)]);
  }

  std::vector<uint8_t> Finish() {
    PutSymbol(kEnd);
    return bytes_;   // the unused low bits of the last byte are already zero
  }

  int FillBits() const { return (8 - used_) & 7; }   // zero bits that end the last byte
  const std::vector<uint8_t>& data() const { return data_; }
  const RootHistory& history() const { return tree_.history; }

 private:
  void PutBit(int bit) {
    if (used_ == 0) bytes_.push_back(0);
    if (bit) bytes_.back() = static_cast<uint8_t>(bytes_.back() | (0x80 >> used_));
    used_ = (used_ + 1) & 7;
  }

  void PutSymbol(int symbol) {
    std::vector<int> path;
    for (int node = symbol + kLeafOffset; node != kRoot; node = tree_.parent[node])
      path.push_back(tree_.left[tree_.parent[node]] == node ? 0 : 1);
    for (size_t i = path.size(); i > 0; --i) PutBit(path[i - 1]);
    Update(&tree_, symbol);
  }

  Tree tree_;
  std::vector<uint8_t> bytes_;
  int used_ = 0;
  std::vector<uint8_t> data_;
};

}  // namespace ref

struct Random {
  std::mt19937 engine;
  explicit Random(uint32_t seed) : engine(seed) {}
  uint32_t Below(uint32_t n) { return static_cast<uint32_t>(engine() % n); }
  bool OneIn(uint32_t n) { return Below(n) == 0; }
};

// Literals and copies drawn at random; the input is whatever they produce.
// Copies favour the longest distance, the ends of each range's gaps and
// full lengths, so that wraps of source and destination come up often.
void EncodeRandomTokens(ref::Encoder* e, size_t size, uint32_t seed, int copyPercent, int alphabet) {
  Random rnd(seed);
  while (e->data().size() < size) {
    size_t produced = e->data().size();
    int reach = static_cast<int>(std::min<size_t>(produced, ref::kWindow));
    if (reach < 3 || rnd.Below(100) >= static_cast<uint32_t>(copyPercent)) {
      e->Literal(static_cast<uint8_t>(rnd.Below(static_cast<uint32_t>(alphabet)) * 7));
      continue;
    }
    int length = 3 + static_cast<int>(rnd.Below(static_cast<uint32_t>(std::min(64, reach) - 2)));
    if (rnd.OneIn(3)) length = std::min(64, reach);
    int distance;
    switch (rnd.Below(4)) {
      case 0:
        distance = reach;
        break;
      case 1: {   // an end of one of the ranges' gaps
        int range = static_cast<int>(rnd.Below(6));
        int gap = ref::Base(range) + (rnd.OneIn(2) ? 0 : (1 << ref::kExtraBits[range]) - 1);
        distance = std::min(gap + length, reach);
        break;
      }
      default:
        distance = length + static_cast<int>(rnd.Below(static_cast<uint32_t>(reach - length + 1)));
        break;
    }
    distance = std::min(distance, length + ref::kLargestGap);
    e->Copy(length, distance);
    if (testing::Test::HasFatalFailure()) return;
  }
}

// Copies found in given data with hash chains. `randomness` 0 takes the
// longest copy; above 0 the choice of copy, its length and whether to take
// one at all are sometimes random.
std::vector<uint8_t> EncodeByMatching(const std::vector<uint8_t>& data, uint32_t seed, int randomness,
                                      int depth, ref::RootHistory* history = nullptr) {
  ref::Encoder e;
  Random rnd(seed);
  std::vector<int> head(1 << 16, -1), previous(data.size(), -1);
  auto hash = [&](size_t i) { return (data[i] | data[i + 1] << 8 | data[i + 2] << 16) * 2654435761u >> 16; };
  auto insert = [&](size_t i) {
    if (i + 3 > data.size()) return;
    uint32_t h = hash(i);
    previous[i] = head[h];
    head[h] = static_cast<int>(i);
  };
  size_t pos = 0;
  while (pos < data.size()) {
    int bestLength = 0, bestDistance = 0;
    std::vector<std::pair<int, int>> found;
    if (depth > 0 && pos + 3 <= data.size()) {
      int tries = depth;
      for (int c = head[hash(pos)]; c >= 0 && tries-- > 0; c = previous[static_cast<size_t>(c)]) {
        int distance = static_cast<int>(pos) - c;
        if (distance > ref::kWindow) break;
        int limit = static_cast<int>(std::min<size_t>({64, static_cast<size_t>(distance), data.size() - pos}));
        int length = 0;
        while (length < limit && data[static_cast<size_t>(c) + static_cast<size_t>(length)] ==
                                     data[pos + static_cast<size_t>(length)])
          length++;
        if (length < 3 || distance - length > ref::kLargestGap) continue;
        found.push_back({length, distance});
        if (length > bestLength) bestLength = length, bestDistance = distance;
      }
    }
    if (bestLength >= 3 && randomness > 0 && rnd.Below(100) < static_cast<uint32_t>(randomness)) {
      auto pick = found[rnd.Below(static_cast<uint32_t>(found.size()))];
      int shortest = std::max(3, pick.second - ref::kLargestGap);
      bestLength = shortest + static_cast<int>(rnd.Below(static_cast<uint32_t>(pick.first - shortest + 1)));
      bestDistance = pick.second;
      if (rnd.OneIn(4)) bestLength = 0;
    }
    if (bestLength >= 3) {
      e.Copy(bestLength, bestDistance);
      for (int i = 0; i < bestLength; ++i) insert(pos++);
    } else {
      e.Literal(data[pos]);
      insert(pos++);
    }
  }
  EXPECT_TRUE(e.data() == data);
  if (history) *history = e.history();
  return e.Finish();
}

std::vector<uint8_t> Bytes(const char* text) {
  return std::vector<uint8_t>(text, text + strlen(text));
}

std::vector<uint8_t> ThisExecutable(size_t limit) {
  std::string path;
#ifdef _WIN32
  char name[MAX_PATH];
  DWORD length = GetModuleFileNameA(nullptr, name, sizeof name);
  path.assign(name, length < sizeof name ? length : 0);
#else
  path = "/proc/self/exe";
#endif
  std::vector<uint8_t> bytes;
  FILE* f = fopen(path.c_str(), "rb");
  if (!f) return bytes;
  bytes.resize(limit);
  bytes.resize(fread(bytes.data(), 1, limit, f));
  fclose(f);
  return bytes;
}

// The codec's decoder against the reference decoder on one stream: same
// verdict, same bytes, same input consumed, and a well-formed output block.
void ExpectDecodersAgree(const std::vector<uint8_t>& stream, const std::string& what) {
  ref::Decoded expected = ref::Decode(stream);
  DecodeResult got = DecodeStream(stream);
  ASSERT_EQ(got.ok, expected.ok) << what;
  ASSERT_EQ(got.inputConsumed, expected.consumed) << what;
  if (!expected.ok) {
    EXPECT_FALSE(got.handedBlock) << what;
    return;
  }
  ASSERT_EQ(got.bytes.size(), expected.bytes.size()) << what;
  ASSERT_TRUE(got.bytes == expected.bytes) << what;
  EXPECT_EQ(got.handedBlock, !expected.bytes.empty()) << what;
  EXPECT_TRUE(got.tailZero) << what;
#ifdef _WIN32
  if (got.handedBlock) {
    EXPECT_EQ(got.capacity, expected.capacity) << what;
  }
#endif
}

// A reference stream decodes in the codec to the reference encoder's input,
// ends where the stream ends, and bytes after it are never read.
void ExpectReferenceStreamDecodes(const std::vector<uint8_t>& stream, const std::vector<uint8_t>& data,
                                  const std::string& what) {
  DecodeResult got = DecodeStream(stream);
  ASSERT_EQ(got.ok, 1) << what;
  ASSERT_EQ(got.inputConsumed, stream.size()) << what;
  ASSERT_TRUE(got.bytes == data) << what << ": " << got.bytes.size() << " of " << data.size() << " bytes";
  EXPECT_TRUE(got.tailZero) << what;
  EXPECT_EQ(got.handedBlock, !data.empty()) << what;
#ifdef _WIN32
  if (got.handedBlock) {
    EXPECT_EQ(got.capacity, (data.size() + 4095) / 4096 * 4096) << what;
  }
#endif
  std::vector<uint8_t> followed = stream;
  followed.insert(followed.end(), {0xFF, 0x00, 0x5A});
  DecodeResult again = DecodeStream(followed);
  ASSERT_EQ(again.ok, 1) << what;
  EXPECT_EQ(again.inputConsumed, stream.size()) << what;
}

TEST(PayloadReference, LiteralVectorsBothWays) {
  ref::Encoder empty;
  EXPECT_EQ(empty.Finish(), std::vector<uint8_t>({0xBA, 0x80}));
  ref::Encoder abc;
  for (uint8_t c : Bytes("abc")) abc.Literal(c);
  EXPECT_EQ(abc.Finish(), std::vector<uint8_t>({0x6B, 0x46, 0xC2, 0xEA}));

  ref::Decoded decoded = ref::Decode({0xBA, 0x80});
  EXPECT_EQ(decoded.ok, 1);
  EXPECT_TRUE(decoded.bytes.empty());
  decoded = ref::Decode({0x6B, 0x46, 0xC2, 0xEA});
  EXPECT_EQ(decoded.ok, 1);
  EXPECT_EQ(decoded.bytes, Bytes("abc"));

  EXPECT_EQ(EncodePayload(nullptr, 0), std::vector<uint8_t>({0xBA, 0x80}));
  std::vector<uint8_t> text = Bytes("abc");
  EXPECT_EQ(EncodePayload(text.data(), text.size()), std::vector<uint8_t>({0x6B, 0x46, 0xC2, 0xEA}));
  ExpectDecodersAgree({0xBA, 0x80}, "end only");
  ExpectDecodersAgree({0x6B, 0x46, 0xC2, 0xEA}, "abc");
  ExpectDecodersAgree({}, "empty input");
}

TEST(PayloadReference, RandomTokenStreamsDecodeInTheCodec) {
  // size, copy percentage, literal alphabet
  const struct { size_t size; int copies; int alphabet; } shapes[] = {
      {0, 0, 1},       {1, 0, 256},     {3, 50, 2},       {70, 90, 3},     {4095, 30, 256},
      {4096, 60, 16},  {4097, 80, 4},   {30000, 95, 2},   {50000, 50, 256}, {70000, 99, 1},
      {120000, 70, 8}, {300000, 85, 37}};
  int fullDistance = 0, sourceWraps = 0, destinationWraps = 0;
  uint32_t seed = 100;
  for (const auto& shape : shapes) {
    ref::Encoder e;
    EncodeRandomTokens(&e, shape.size, ++seed, shape.copies, shape.alphabet);
    std::vector<uint8_t> data = e.data();
    std::vector<uint8_t> stream = e.Finish();
    std::string what = "tokens, " + std::to_string(shape.size) + " bytes, seed " + std::to_string(seed);
    ExpectReferenceStreamDecodes(stream, data, what);
    if (e.FillBits() > 0) {   // the fill bits are never examined
      std::vector<uint8_t> filled = stream;
      filled.back() = static_cast<uint8_t>(filled.back() | ((1u << e.FillBits()) - 1));
      ExpectReferenceStreamDecodes(filled, data, what + ", fill bits set");
    }
    ref::Decoded own = ref::Decode(stream);
    ASSERT_EQ(own.ok, 1) << what;
    ASSERT_TRUE(own.bytes == data) << what;
    fullDistance += own.copiesFromFullDistance;
    sourceWraps += own.sourceWraps;
    destinationWraps += own.destinationWraps;
  }
  EXPECT_GT(fullDistance, 100);
  EXPECT_GT(sourceWraps, 10);
  EXPECT_GT(destinationWraps, 10);
}

TEST(PayloadReference, MatchedStreamsOfManyShapesDecodeInTheCodec) {
  std::vector<std::pair<std::string, std::vector<uint8_t>>> inputs = {
      {"zeros 300000", std::vector<uint8_t>(300000, 0)},
      {"random 20000", RandomBytes(20000, 3)},
      {"text 40000", TextLikeBytes(40000, 4)},
      {"text 110000", TextLikeBytes(110000, 4)},
      {"executable-like 250000", ExecutableLikeBytes(250000, 5)},
      {"this executable", ThisExecutable(300000)},
  };
  std::vector<uint8_t> runs;
  for (int i = 0; runs.size() < 100000; ++i) runs.insert(runs.end(), static_cast<size_t>(1 + i * 37 % 3000), static_cast<uint8_t>(i % 3 ? 0 : i));
  inputs.push_back({"runs", runs});
  ASSERT_GT(inputs.back().second.size(), 0u);
  uint32_t seed = 200;
  for (const auto& input : inputs) {
    // Longest copies; copies of random choice and length; literals only.
    const int plans[][2] = {{0, 8}, {40, 4}, {0, 0}};
    for (const auto& plan : plans) {
      if (plan[1] == 0 && input.second.size() > 50000) continue;
      std::string what = input.first + ", randomness " + std::to_string(plan[0]) + ", depth " + std::to_string(plan[1]);
      ExpectReferenceStreamDecodes(EncodeByMatching(input.second, ++seed, plan[0], plan[1]), input.second, what);
    }
  }
}

TEST(PayloadReference, RootCountPassing2000StaysInStep) {
  // A long executable-like input, coded with literals only and with short
  // copies: after a halving the root count passes 2,000 without equalling
  // it, climbs past 32,767 into negative values and wraps round to exactly
  // 2,000 again; some leaves also end up as children of the root.
  bool jumped = false, negative = false, halvedAgain = false, leafUnderRoot = false;
  std::vector<uint8_t> data = ExecutableLikeBytes(300000, 11);
  for (int depth : {0, 4}) {
    ref::RootHistory history;
    std::vector<uint8_t> stream = EncodeByMatching(data, 7, 0, depth, &history);
    ExpectReferenceStreamDecodes(stream, data, "depth " + std::to_string(depth));
    jumped |= history.jumpsOver2000 > 0;
    negative |= history.wentNegative;
    halvedAgain |= history.halvedAfterNegative;
    leafUnderRoot |= history.leafUnderRootUpdates > 0;
  }
  EXPECT_TRUE(jumped);
  EXPECT_TRUE(negative);
  EXPECT_TRUE(halvedAgain);
  EXPECT_TRUE(leafUnderRoot);
}

TEST(PayloadReference, CodecStreamsDecodeInTheReference) {
  std::vector<std::pair<std::string, std::vector<uint8_t>>> inputs = {
      {"one byte", {42}},
      {"random", RandomBytes(30000, 21)},
      {"text", TextLikeBytes(60000, 22)},
      {"executable-like", ExecutableLikeBytes(120000, 23)},
      {"this executable", ThisExecutable(150000)},
  };
  for (size_t size : {4095, 4096, 4097}) inputs.push_back({"text " + std::to_string(size), TextLikeBytes(size, 24)});
  {
    ref::Encoder e;   // copies at the full distance and across the window's end
    EncodeRandomTokens(&e, 80000, 25, 90, 3);
    inputs.push_back({"random tokens", e.data()});
  }
  {
    // A long zero run makes the root count jump past 2,000 (greedy parse);
    // the varied bytes after it push the count past 32,767.
    std::vector<uint8_t> data(200000, 0);
    std::vector<uint8_t> tail = RandomBytes(40000, 26);
    data.insert(data.end(), tail.begin(), tail.end());
    inputs.push_back({"zeros then random", data});
  }
  PayloadEncoderOptions greedy;
  greedy.optimalParse = false;
  bool jumpedAndWentNegative = false;
  for (const auto& input : inputs) {
    for (const PayloadEncoderOptions& options : {PayloadEncoderOptions(), greedy}) {
      if (!options.optimalParse && input.second.size() > 50000 && input.first != "zeros then random") continue;
      std::string what = input.first + (options.optimalParse ? ", optimal" : ", greedy");
      std::vector<uint8_t> stream = EncodePayload(input.second.data(), input.second.size(), options);
      ref::Decoded decoded = ref::Decode(stream);
      ASSERT_EQ(decoded.ok, 1) << what;
      ASSERT_EQ(decoded.consumed, stream.size()) << what;
      ASSERT_TRUE(decoded.bytes == input.second) << what;
      DecodeResult codec = DecodeStream(stream);
      ASSERT_EQ(codec.ok, 1) << what;
      EXPECT_EQ(codec.inputConsumed, decoded.consumed) << what;
      // The end code's last bit lies in the last byte.
      EXPECT_EQ(ref::Decode(std::vector<uint8_t>(stream.begin(), stream.end() - 1)).ok, 0) << what;
      jumpedAndWentNegative |= decoded.history.jumpsOver2000 > 0 && decoded.history.wentNegative;
    }
  }
  EXPECT_TRUE(jumpedAndWentNegative);
}

TEST(PayloadReference, DecodersAgreeOnArbitraryBytes) {
  Random rnd(31);
  std::vector<std::vector<uint8_t>> valid;
  for (uint32_t i = 0; i < 12; ++i) {
    ref::Encoder e;
    EncodeRandomTokens(&e, 200 + 600 * i, 40 + i, static_cast<int>(10 * i), 1 + static_cast<int>(20 * i));
    valid.push_back(e.Finish());
  }
  int successes = 0, failures = 0;
  for (int trial = 0; trial < 4000; ++trial) {
    std::vector<uint8_t> stream;
    const std::vector<uint8_t>& base = valid[rnd.Below(static_cast<uint32_t>(valid.size()))];
    switch (trial % 4) {
      case 0:   // plain random bytes
        stream = RandomBytes(rnd.Below(300), static_cast<uint32_t>(trial));
        break;
      case 1:   // a valid stream with a few bits flipped
        stream = base;
        for (uint32_t flips = 1 + rnd.Below(3); flips > 0; --flips)
          stream[rnd.Below(static_cast<uint32_t>(stream.size()))] ^= static_cast<uint8_t>(1u << rnd.Below(8));
        break;
      case 2:   // a valid stream cut short, or followed by other bytes
        stream = base;
        if (rnd.OneIn(2))
          stream.resize(rnd.Below(static_cast<uint32_t>(stream.size())));
        else
          for (uint32_t k = rnd.Below(5); k > 0; --k) stream.push_back(static_cast<uint8_t>(rnd.Below(256)));
        break;
      default: {  // a valid prefix followed by random bytes
        stream.assign(base.begin(), base.begin() + rnd.Below(static_cast<uint32_t>(base.size())));
        std::vector<uint8_t> tail = RandomBytes(rnd.Below(400), static_cast<uint32_t>(trial) * 7);
        stream.insert(stream.end(), tail.begin(), tail.end());
        break;
      }
    }
    ExpectDecodersAgree(stream, "trial " + std::to_string(trial));
    if (HasFatalFailure()) return;
    (ref::Decode(stream).ok ? successes : failures)++;
  }
  // Both verdicts must be well represented for the comparison to mean much.
  EXPECT_GT(successes, 500);
  EXPECT_GT(failures, 500);
}

}  // namespace
