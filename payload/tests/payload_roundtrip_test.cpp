#include <gtest/gtest.h>

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

#ifdef _WIN32
TEST(PayloadRoundTrip, OutputBlockGrowsInWholeSteps) {
  // The block handed over comes from the process heap and is sized in
  // whole 4,096-byte steps.
  for (size_t size : {1, 4095, 4096, 4097, 109568}) {
    std::vector<uint8_t> data = TextLikeBytes(size, 9);
    DecodeResult decoded = DecodeStream(EncodePayload(data.data(), data.size()));
    ASSERT_EQ(decoded.ok, 1);
    EXPECT_EQ(decoded.capacity, (size + 4095) / 4096 * 4096) << size;
  }
}
#endif

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
