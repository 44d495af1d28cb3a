#include <gtest/gtest.h>

#include "common/memory.h"

TEST(Memory, FillAndCopyMoveExactlyTheBytesAsked) {
  unsigned char* block = static_cast<unsigned char*>(MemAlloc(16));
  ASSERT_NE(block, nullptr);
  MemFill(block, 0, 16);
  MemFill(block + 4, 0x5A, 8);
  unsigned char copy[16];
  MemFill(copy, 0xFF, sizeof copy);
  MemCopy(copy + 1, block + 3, 10);
  EXPECT_EQ(copy[0], 0xFF);
  EXPECT_EQ(copy[1], 0x00);
  for (int i = 2; i <= 9; ++i) EXPECT_EQ(copy[i], 0x5A) << i;
  EXPECT_EQ(copy[10], 0x00);
  EXPECT_EQ(copy[11], 0xFF);
  MemFree(block);
}
