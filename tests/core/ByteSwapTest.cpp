#include "core/ByteSwap.h"

#include <gtest/gtest.h>

#include <vector>

TEST(ByteSwapTest, WordsReverseInPlaceAtAnyAlignment)
{
    uint8_t bytes[7] = {0xAA, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66};
    ByteSwap32(bytes + 1);
    EXPECT_EQ(std::vector<uint8_t>(bytes, bytes + 7), (std::vector<uint8_t>{0xAA, 0x44, 0x33, 0x22, 0x11, 0x55, 0x66}));
    ByteSwap16(bytes + 5);
    EXPECT_EQ(bytes[5], 0x66);
    EXPECT_EQ(bytes[6], 0x55);
    EXPECT_EQ(bytes[4], 0x11) << "neighbours stay";

    uint32_t word = 0x01020304u;
    ByteSwap32(&word);
    EXPECT_EQ(word, 0x04030201u);
    ByteSwap32(&word);
    EXPECT_EQ(word, 0x01020304u);
    uint16_t half = 0xBEEF;
    ByteSwap16(&half);
    EXPECT_EQ(half, 0xEFBE);
}
