#include <gtest/gtest.h>

#include <algorithm>

#include "payload/payload_encoder.h"
#include "payload/tests/payload_test_support.h"

static void ExpectRoundTrip(const std::vector<uint8_t>& data, const PayloadEncoderOptions& options = {}) {
  std::vector<uint8_t> stream = EncodePayload(data.data(), data.size(), options);
  DecodeResult decoded = DecodeStream(stream);
  ASSERT_EQ(decoded.ok, 1) << "size " << data.size();
  EXPECT_EQ(decoded.handedBlock, !data.empty());
  EXPECT_TRUE(decoded.tailZero);
  EXPECT_EQ(decoded.inputConsumed, stream.size());
  ASSERT_EQ(decoded.bytes.size(), data.size());
  EXPECT_TRUE(decoded.bytes == data) << "size " << data.size();
}

TEST(PayloadRoundTrip, SizesAroundTheOutputStep) {
  for (size_t size : {0, 1, 2, 3, 4, 64, 65, 4095, 4096, 4097, 8192, 8193}) {
    ExpectRoundTrip(RandomBytes(size, 7));
    ExpectRoundTrip(TextLikeBytes(size, 8));
    ExpectRoundTrip(std::vector<uint8_t>(size, 0));
  }
}

// Many megabytes from a short stream: 64 literals, then copies of them.
static std::vector<uint8_t> LongRunStream(size_t size, std::vector<uint8_t>* expected) {
  StreamBuilder builder;
  for (size_t i = 0; i < size && i < 64; ++i) builder.Literal(static_cast<uint8_t>('a' + i % 26));
  size_t left = size > 64 ? size - 64 : 0;
  while (left >= 3) {
    // Copies of 3 to 64 bytes; none leaves a remainder too short to copy.
    size_t length = std::min<size_t>(left, 64);
    if (left - length > 0 && left - length < 3) length = 32;
    builder.Copy(static_cast<int>(length), 64);
    left -= length;
  }
  for (; left > 0; --left) builder.Literal('z');
  std::vector<uint8_t> stream = builder.Finish();
  *expected = builder.expected();
  return stream;
}

TEST(PayloadRoundTrip, OutputBlockIsAWholeNumberOfStepsAtEverySize) {
  // However the decoder grows its output, the block handed over is the
  // decoded bytes rounded up to whole 4,096-byte steps, zero after them.
  for (size_t size : {1, 4095, 4096, 4097, 109568}) {
    std::vector<uint8_t> data = TextLikeBytes(size, 9);
    DecodeResult decoded = DecodeStream(EncodePayload(data.data(), data.size()));
    ASSERT_EQ(decoded.ok, 1);
    EXPECT_TRUE(decoded.tailZero);
    if (decoded.capacity) {
      EXPECT_EQ(decoded.capacity, (size + 4095) / 4096 * 4096) << size;
    }
  }
  for (size_t size : {2097152, 2097153, 3 * 1048576 + 5, 7 * 1048576 + 4096}) {
    std::vector<uint8_t> expected;
    DecodeResult decoded = DecodeStream(LongRunStream(size, &expected));
    ASSERT_EQ(decoded.ok, 1);
    EXPECT_TRUE(decoded.tailZero) << size;
    EXPECT_TRUE(decoded.bytes == expected) << size;
    if (decoded.capacity) {
      EXPECT_EQ(decoded.capacity, (size + 4095) / 4096 * 4096) << size;
    }
  }
}

TEST(PayloadRoundTrip, LargeFilesOfEveryKind) {
  const size_t size = 110 * 1024;
  ExpectRoundTrip(RandomBytes(size, 1));
  ExpectRoundTrip(TextLikeBytes(size, 2));
  ExpectRoundTrip(ExecutableLikeBytes(size, 3));
  ExpectRoundTrip(std::vector<uint8_t>(size, 0xAA));
}

TEST(PayloadRoundTrip, GreedyParseToo) {
  PayloadEncoderOptions greedy;
  greedy.optimalParse = false;
  ExpectRoundTrip(ExecutableLikeBytes(60000, 4), greedy);
  ExpectRoundTrip(TextLikeBytes(60000, 5), greedy);
}

// Noise over two or four letters: every three-byte chain is dense and no
// copy reaches the longest length, so the copy search moves to its sparser
// chains. Copies that repeat earlier noise must still be found in full.
TEST(PayloadRoundTrip, NoiseOverFewLettersStillFindsItsRepeats) {
  for (int letters : {2, 4}) {
    std::vector<uint8_t> noise = RandomBytes(9000, static_cast<uint32_t>(letters));
    for (auto& byte : noise) byte = static_cast<uint8_t>('a' + byte % letters);
    std::vector<uint8_t> twice = noise;
    twice.insert(twice.end(), noise.begin(), noise.end());
    ExpectRoundTrip(twice);
    size_t once = EncodePayload(noise.data(), noise.size()).size();
    size_t repeated = EncodePayload(twice.data(), twice.size()).size();
    // 9,000 bytes again from one distance: about 141 copies of 64 bytes.
    EXPECT_LT(repeated, once + 141 * 4) << letters << " letters";
  }
}

// One byte value with rare others (mostly zeros with a few random bytes,
// or mostly one letter): the chains of every span are dense and the copies
// stop at the rare bytes. Long after the start (the search keeps only the
// window's worth of positions), a repeat of earlier bytes must still be
// found in full, by the block parse and the greedy one.
TEST(PayloadRoundTrip, SkewedBytesFarIntoTheInputStillFindTheirRepeats) {
  auto skewed = [](size_t size, uint32_t seed, uint8_t common) {
    std::vector<uint8_t> bytes = RandomBytes(size, seed);
    for (auto& byte : bytes) byte = byte % 16 == 0 ? static_cast<uint8_t>(byte * 7 + 1) : common;
    return bytes;
  };
  PayloadEncoderOptions greedy;
  greedy.optimalParse = false;
  for (uint8_t common : {uint8_t{0}, uint8_t{'a'}}) {
    std::vector<uint8_t> part = skewed(20000, 11, common);   // repeated from near the window's end
    std::vector<uint8_t> data = skewed(50000, 12, common);
    data.insert(data.end(), part.begin(), part.end());
    std::vector<uint8_t> once = data;
    data.insert(data.end(), part.begin(), part.end());
    for (const PayloadEncoderOptions& options : {PayloadEncoderOptions(), greedy}) {
      ExpectRoundTrip(data, options);
      size_t withoutRepeat = EncodePayload(once.data(), once.size(), options).size();
      size_t withRepeat = EncodePayload(data.data(), data.size(), options).size();
      EXPECT_LT(withRepeat, withoutRepeat + 313 * 4) << int(common) << (options.optimalParse ? " blocks" : " greedy");
    }
  }
}

// Copies whose only source is far behind hundreds of nearer candidates
// that match up to a rare byte: the search must not give up before them
// (it goes on along the chain of the rare byte). Each pattern at the end
// then costs one copy, not a copy up to the rare byte and another after.
TEST(PayloadRoundTrip, RareByteCopyBehindManyNearMisses) {
  std::vector<uint8_t> common = RandomBytes(40, 21);
  std::vector<uint8_t> data, patterns;
  for (int p = 0; p < 16; ++p) {
    std::vector<uint8_t> pattern = common;
    pattern.push_back(static_cast<uint8_t>(p));   // the rare byte
    std::vector<uint8_t> tail = RandomBytes(23, 100 + p);
    pattern.insert(pattern.end(), tail.begin(), tail.end());
    data.insert(data.end(), pattern.begin(), pattern.end());
    patterns.insert(patterns.end(), pattern.begin(), pattern.end());
    patterns.push_back(static_cast<uint8_t>(0xF0 + p % 16));   // parts the patterns' copies
  }
  for (int i = 0; i < 440; ++i) {   // near misses: the common bytes, then others
    data.insert(data.end(), common.begin(), common.end());
    data.push_back(static_cast<uint8_t>(16 + i % 200));
    data.push_back(static_cast<uint8_t>(i));
  }
  std::vector<uint8_t> without = data;
  data.insert(data.end(), patterns.begin(), patterns.end());
  ExpectRoundTrip(data);
  size_t cost = EncodePayload(data.data(), data.size()).size() - EncodePayload(without.data(), without.size()).size();
  EXPECT_LE(cost, 16u * 4);
}

// The copy search and the parse take short cuts that must find exactly
// what the plain walk and the plain loops would: a speed-up that changes a
// stream by a byte has changed what is coded. Inputs whose search and
// parse take every short cut (runs of one value of every length, dense
// chains, lengths offered one by one and in long runs), with their
// streams' hashes as the encoder codes them; a change meant to alter
// streams records new ones.
TEST(PayloadRoundTrip, ShortCutsLeaveTheStreamsAsTheyWere) {
  auto fnv = [](const std::vector<uint8_t>& bytes) {
    uint64_t hash = 14695981039346656037ull;
    for (uint8_t byte : bytes) hash = (hash ^ byte) * 1099511628211ull;
    return hash;
  };
  struct Case {
    size_t size;
    uint32_t percent;   // of bytes other than 'a'
    uint32_t others;    // how many other letters; 0: any byte
    uint64_t hash;
  };
  const Case cases[] = {
      {4096, 2, 1, 0x939ad38718faa3a7ull},   {49152, 20, 1, 0xa8b0bda43f1b2af5ull},
      {32768, 10, 1, 0x9ed95a2924bc1b2aull},  {65536, 10, 3, 0x90e9953b1dbcaa0full},
      {100000, 5, 16, 0x4cdb1bfb69421f28ull}, {60000, 3, 0, 0x5ce947d3e8261f63ull},
      {100000, 50, 0, 0xcaed15d16167450bull}, {20000, 1, 2, 0xcccfb7100abbce62ull},
  };
  for (const Case& c : cases) {
    std::vector<uint8_t> data = RandomBytes(c.size, c.size + c.percent);
    std::vector<uint8_t> choice = RandomBytes(c.size, c.size + c.percent + 1);
    for (size_t i = 0; i < data.size(); ++i) {
      if (choice[i] % 100 >= c.percent)
        data[i] = 'a';
      else if (c.others)
        data[i] = static_cast<uint8_t>('b' + data[i] % c.others);
    }
    std::vector<uint8_t> stream = EncodePayload(data.data(), data.size());
    EXPECT_EQ(fnv(stream), c.hash) << c.size << " bytes, " << c.percent << "%";
  }
}
