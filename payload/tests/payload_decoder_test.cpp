#include <gtest/gtest.h>

#include "payload/payload_decoder.h"
#include "payload/payload_encoder.h"
#include "payload/tests/payload_test_support.h"

TEST(PayloadVectors, EndCodeAloneDecodesToNothing) {
  DecodeResult decoded = DecodeStream({0xBA, 0x80});
  EXPECT_EQ(decoded.ok, 1);
  EXPECT_FALSE(decoded.handedBlock);
  EXPECT_TRUE(decoded.bytes.empty());
  EXPECT_EQ(decoded.inputConsumed, 2u);
}

TEST(PayloadVectors, ThreeLiteralsEncodeToKnownBytes) {
  const uint8_t abc[] = {'a', 'b', 'c'};
  std::vector<uint8_t> stream = EncodePayload(abc, sizeof abc);
  EXPECT_EQ(stream, (std::vector<uint8_t>{0x6B, 0x46, 0xC2, 0xEA}));
  DecodeResult decoded = DecodeStream({0x6B, 0x46, 0xC2, 0xEA});
  ASSERT_EQ(decoded.ok, 1);
  EXPECT_EQ(decoded.bytes, (std::vector<uint8_t>{'a', 'b', 'c'}));
}

TEST(PayloadVectors, CopyCodesFollowTheRangeTable) {
  // Range 0 with gap 0 and length 3 is the first copy symbol.
  PayloadCopyCode first = PayloadCopyCodeFor(3, 3);
  EXPECT_EQ(first.symbol, 257);
  EXPECT_EQ(first.extraBits, 4);
  EXPECT_EQ(first.extraValue, 0u);
  // Gap 79 (distance 143, length 64) is the last of range 1.
  PayloadCopyCode range1 = PayloadCopyCodeFor(64, 143);
  EXPECT_EQ(range1.symbol, 380);
  EXPECT_EQ(range1.extraBits, 6);
  EXPECT_EQ(range1.extraValue, 63u);
  // The whole window: range 5, extra bits all ones.
  PayloadCopyCode farthest = PayloadCopyCodeFor(64, 21903);
  EXPECT_EQ(farthest.symbol, 628);
  EXPECT_EQ(farthest.extraBits, 14);
  EXPECT_EQ(farthest.extraValue, 16383u);
}

TEST(PayloadWindow, CopiesAtTheWindowEdgeAndAcrossItsEnd) {
  StreamBuilder stream;
  for (uint8_t byte : RandomBytes(kPayloadWindowSize, 11)) stream.Literal(byte);
  stream.Copy(64, kPayloadWindowSize);   // oldest byte, at the write position itself
  stream.Copy(64, 100);                  // source runs past the window's end
  for (uint8_t byte : RandomBytes(21890 - 128, 12)) stream.Literal(byte);
  stream.Copy(30, 40);                   // destination runs past the window's end
  stream.Copy(64, 21839 + 64);           // largest gap again, now across the wrap
  stream.Copy(3, 21839 + 3);             // largest gap with the shortest copy
  std::vector<uint8_t> bytes = stream.Finish();
  DecodeResult decoded = DecodeStream(bytes);
  ASSERT_EQ(decoded.ok, 1);
  EXPECT_TRUE(decoded.tailZero);
  ASSERT_EQ(decoded.bytes.size(), stream.expected().size());
  EXPECT_TRUE(decoded.bytes == stream.expected());
  // The first copy repeats the very first bytes of the stream.
  EXPECT_TRUE(std::equal(decoded.bytes.begin(), decoded.bytes.begin() + 64,
                         decoded.bytes.begin() + kPayloadWindowSize));
}

TEST(PayloadWindow, CopyFromBeforeTheFirstByteFails) {
  StreamBuilder good;
  for (uint8_t byte : {'a', 'b', 'c'}) good.Literal(byte);
  good.Copy(3, 3);
  DecodeResult decoded = DecodeStream(good.Finish());
  ASSERT_EQ(decoded.ok, 1);
  EXPECT_EQ(decoded.bytes, (std::vector<uint8_t>{'a', 'b', 'c', 'a', 'b', 'c'}));

  StreamBuilder bad;
  for (uint8_t byte : {'a', 'b', 'c'}) bad.Literal(byte);
  bad.Copy(3, 4);
  decoded = DecodeStream(bad.Finish());
  EXPECT_EQ(decoded.ok, 0);
  EXPECT_FALSE(decoded.handedBlock);

  // The same at the edge of a full window: one byte short of 21,903.
  StreamBuilder edge;
  for (uint8_t byte : RandomBytes(kPayloadWindowSize - 1, 13)) edge.Literal(byte);
  edge.Copy(64, kPayloadWindowSize);
  decoded = DecodeStream(edge.Finish());
  EXPECT_EQ(decoded.ok, 0);
  EXPECT_FALSE(decoded.handedBlock);
}

TEST(PayloadInput, EveryCutShortStreamFailsAndHandsNothingBack) {
  std::vector<uint8_t> data = ExecutableLikeBytes(3000, 21);
  std::vector<uint8_t> text = TextLikeBytes(3000, 22);
  data.insert(data.end(), text.begin(), text.end());
  std::vector<uint8_t> stream = EncodePayload(data.data(), data.size());
  ASSERT_EQ(DecodeStream(stream).bytes, data);
  for (size_t length = 0; length < stream.size(); ++length) {
    DecodeResult decoded = DecodeStream(stream, length);
    ASSERT_EQ(decoded.ok, 0) << "cut at " << length;
    ASSERT_FALSE(decoded.handedBlock) << "cut at " << length;
    ASSERT_EQ(decoded.inputConsumed, length);
  }
}

TEST(PayloadInput, NothingAfterTheEndCodeIsRead) {
  StreamBuilder builder;
  for (uint8_t byte : TextLikeBytes(500, 31)) builder.Literal(byte);
  builder.Copy(20, 100);
  size_t bitCount = 0;
  std::vector<uint8_t> stream = builder.Finish(&bitCount);
  ASSERT_EQ(stream.size(), (bitCount + 7) / 8);

  // Ones in the fill bits and garbage after the last byte change nothing.
  std::vector<uint8_t> noisy = stream;
  noisy.back() = static_cast<uint8_t>(noisy.back() | (0xFF >> (bitCount - (stream.size() - 1) * 8)));
  noisy.insert(noisy.end(), {0xFF, 0x00, 0x5A});
  for (const std::vector<uint8_t>* input : {&stream, &noisy}) {
    DecodeResult decoded = DecodeStream(*input);
    ASSERT_EQ(decoded.ok, 1);
    EXPECT_EQ(decoded.inputConsumed, stream.size());
    EXPECT_TRUE(decoded.bytes == builder.expected());
  }
}

TEST(PayloadInput, EmptyInputFails) {
  DecodeResult decoded = DecodeStream({});
  EXPECT_EQ(decoded.ok, 0);
  EXPECT_FALSE(decoded.handedBlock);
}

TEST(PayloadInput, StateFromAFailedDecodeDoesNotCarryOver) {
  std::vector<uint8_t> data = TextLikeBytes(5000, 41);
  std::vector<uint8_t> stream = EncodePayload(data.data(), data.size());
  EXPECT_EQ(DecodeStream(stream, stream.size() / 2).ok, 0);
  DecodeResult decoded = DecodeStream(stream);
  ASSERT_EQ(decoded.ok, 1);
  EXPECT_TRUE(decoded.bytes == data);
  EXPECT_EQ(DecodeStream({0xBA, 0x80}).bytes.size(), 0u);
}

TEST(PayloadBitWriter, BitsWrittenAfterATruncationReplaceTheDroppedOnes) {
  // A parse taken back truncates the stream at a block's start, mostly
  // inside a byte, and writes other bits from there.
  for (size_t kept : {0, 3, 8, 13}) {
    PayloadBitWriter takenBack, straight;
    takenBack.PutNumberLowFirst(0xFFFFF, 20);
    takenBack.TruncateTo(kept);
    for (size_t i = 0; i < kept; ++i) straight.PutBit(1);
    for (PayloadBitWriter* writer : {&takenBack, &straight}) writer->PutNumberLowFirst(0x2, 5);
    EXPECT_EQ(takenBack.BitCount(), straight.BitCount()) << kept;
    EXPECT_EQ(takenBack.Finish(), straight.Finish()) << kept;
  }
}
