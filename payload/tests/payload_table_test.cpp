// The CRC-32 against published check values, and the payload table:
// what payload-tool stores is what the setup reads, and any damage to the
// table makes it no table at all.
#include <gtest/gtest.h>

#include <string.h>

#include <vector>

#include "payload/payload_checksum.h"
#include "payload/payload_table.h"

namespace {

uint32_t Crc(const char* text) {
  return PayloadCrc32(reinterpret_cast<const unsigned char*>(text), strlen(text));
}

std::vector<unsigned char> Table(const std::vector<PayloadCheck>& checks) {
  std::vector<unsigned char> table(PayloadTableSize(static_cast<uint32_t>(checks.size())));
  StorePayloadTable(checks.data(), static_cast<uint32_t>(checks.size()), table.data());
  return table;
}

const std::vector<PayloadCheck> kChecks = {
    {101, 28160, 0x12345678u}, {102, 6144, 0xCAFEF00Du}, {116, 4297, 0}, {118, 5120, 0xFFFFFFFFu}};

}  // namespace

TEST(PayloadCrc32, MatchesKnownCheckValues) {
  EXPECT_EQ(Crc(""), 0x00000000u);
  EXPECT_EQ(Crc("a"), 0xE8B7BE43u);
  EXPECT_EQ(Crc("123456789"), 0xCBF43926u);
  EXPECT_EQ(Crc("The quick brown fox jumps over the lazy dog"), 0x414FA339u);
  const unsigned char zeros[32] = {};
  EXPECT_EQ(PayloadCrc32(zeros, sizeof zeros), 0x190A55ADu);
  // Continued over two pieces, the same as over the whole.
  const unsigned char* digits = reinterpret_cast<const unsigned char*>("123456789");
  EXPECT_EQ(PayloadCrc32(digits + 4, 5, PayloadCrc32(digits, 4)), 0xCBF43926u);
}

TEST(PayloadTable, StoresEachCheckAndFindsItById) {
  std::vector<unsigned char> table = Table(kChecks);
  ASSERT_EQ(table.size(), 8u + 4 * 12 + 4);
  EXPECT_EQ(memcmp(table.data(), "MVPT\x04\0\0\0\x65\0\0\0\0\x6E\0\0", 16), 0);
  ASSERT_EQ(PayloadTableEntries(table.data(), table.size()), 4);
  for (const PayloadCheck& expected : kChecks) {
    PayloadCheck found = {0, 0, 0};
    ASSERT_EQ(FindPayloadCheck(table.data(), table.size(), expected.id, &found), 1) << expected.id;
    EXPECT_EQ(found.id, expected.id);
    EXPECT_EQ(found.length, expected.length);
    EXPECT_EQ(found.crc, expected.crc);
  }
  PayloadCheck untouched = {7, 7, 7};
  EXPECT_EQ(FindPayloadCheck(table.data(), table.size(), 103, &untouched), 0);
  EXPECT_EQ(untouched.id, 7);
  std::vector<unsigned char> empty = Table({});
  EXPECT_EQ(PayloadTableEntries(empty.data(), empty.size()), 0);
}

TEST(PayloadTable, AnyChangedByteOrWrongSizeIsNoTable) {
  const std::vector<unsigned char> good = Table(kChecks);
  for (size_t i = 0; i < good.size(); ++i) {
    std::vector<unsigned char> damaged = good;
    damaged[i] ^= 0x10;
    PayloadCheck check;
    EXPECT_EQ(PayloadTableEntries(damaged.data(), damaged.size()), -1) << "byte " << i;
    for (const PayloadCheck& entry : kChecks)
      EXPECT_EQ(FindPayloadCheck(damaged.data(), damaged.size(), entry.id, &check), 0) << "byte " << i;
  }
  EXPECT_EQ(PayloadTableEntries(good.data(), good.size() - 1), -1);
  std::vector<unsigned char> longer = good;
  longer.push_back(0);
  EXPECT_EQ(PayloadTableEntries(longer.data(), longer.size()), -1);
  EXPECT_EQ(PayloadTableEntries(good.data(), 3), -1);
  EXPECT_EQ(PayloadTableEntries(nullptr, 0), -1);
  // A well-sealed table that lists an id twice is refused too.
  std::vector<unsigned char> twice = Table({{101, 1, 1}, {101, 2, 2}});
  EXPECT_EQ(PayloadTableEntries(twice.data(), twice.size()), -1);
}
