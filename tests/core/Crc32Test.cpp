#include "core/Crc32.h"

#include <gtest/gtest.h>

#include <cstring>

TEST(Crc32Test, KnownValuesAndChaining)
{
    const char* digits = "123456789";
    EXPECT_EQ(ComputeCrc32(digits, 9), 0x89A1897Fu);
    EXPECT_EQ(ComputeCrc32(nullptr, 0), 0u);
    EXPECT_EQ(ComputeCrc32(digits, 4, ComputeCrc32(digits + 4, 0)), ComputeCrc32(digits, 4));
    EXPECT_EQ(ComputeCrc32(digits + 4, 5, ComputeCrc32(digits, 4)), 0x89A1897Fu);
    // MSB-first without reflection: a single 0x80 byte gives the polynomial shifted to the top.
    const unsigned char high = 0x80;
    EXPECT_EQ(ComputeCrc32(&high, 1), 0x690CE0EEu);
    EXPECT_TRUE(CheckCrc32(nullptr, 0, 0));
    EXPECT_FALSE(CheckCrc32(nullptr, 0, 1));
    EXPECT_TRUE(CheckCrc32(digits, 9, 0x89A1897Fu));
}
