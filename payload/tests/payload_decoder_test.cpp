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
