#include "core/SimpleGUID.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <set>
#include <string>

namespace
{
SimpleGUID Counting()
{
    SimpleGUID guid;
    for (int i = 0; i < 16; ++i)
        guid.bytes[i] = uint8_t(i);
    return guid;
}

SimpleGUID WithTopByte(uint8_t top, uint8_t low = 0)
{
    SimpleGUID guid;
    guid.bytes[15] = top;
    guid.bytes[0] = low;
    return guid;
}
} // namespace

TEST(SimpleGUIDTest, PrintsFromByte15DownAndParsesBack)
{
    const SimpleGUID guid = Counting();
    char text[64];
    guid.ToString(text, sizeof(text));
    EXPECT_STREQ(text, "0F0E0D0C-0B0A-0908-0706-050403020100");
    EXPECT_STREQ(guid.ToStringUnsafe(), text);
    guid.ToString(nullptr, sizeof(text)); // no buffer: nothing is written

    SimpleGUID parsed;
    ASSERT_TRUE(parsed.FromString(text));
    EXPECT_EQ(parsed, guid);
    ASSERT_TRUE(parsed.FromString("0f0e0d0c-0b0a-0908-0706-050403020100"));
    EXPECT_EQ(parsed, guid);
}

TEST(SimpleGUIDTest, IncompleteTextLeavesTheGUIDUnchanged)
{
    SimpleGUID guid = Counting();
    EXPECT_FALSE(guid.FromString("0F0E0D0C-0B0A-0908-0706-0504030201"));
    EXPECT_FALSE(guid.FromString("not a guid"));
    EXPECT_FALSE(guid.FromString(""));
    EXPECT_FALSE(guid.FromString(nullptr));
    EXPECT_EQ(guid, Counting());
}

TEST(SimpleGUIDTest, ComparesFromTheMostSignificantByte)
{
    EXPECT_GT(SimpleGUID::Compare(WithTopByte(2, 0), WithTopByte(1, 255)), 0);
    EXPECT_EQ(SimpleGUID::Compare(WithTopByte(1, 7), WithTopByte(1, 7)), 0);
    EXPECT_EQ(SimpleGUID::Compare(WithTopByte(1, 3), WithTopByte(1, 7)), -4);
    SimpleGUID guid = Counting();
    guid.Clear();
    EXPECT_TRUE(guid.IsNull());
}

TEST(SimpleGUIDTest, GeneratedGUIDsCarryVersionAndVariantBits)
{
    std::srand(12345);
    std::set<std::string> seen;
    for (int i = 0; i < 200; ++i)
    {
        SimpleGUID guid;
        guid.Generate();
        EXPECT_EQ(guid.bytes[9] >> 4, 4);
        EXPECT_EQ(guid.bytes[7] >> 6, 2);
        seen.insert(guid.ToStringUnsafe());
    }
    EXPECT_EQ(seen.size(), 200u);
}

TEST(SimpleGUIDTest, HexWordsRoundTripLeastSignificantNibbleFirst)
{
    const uint32_t words[3] = {0x12345678u, 0xDEADBEEFu, 0x1u};
    char text[3 * 8 + 1];
    WordsToHexString(words, 3, text);
    EXPECT_STREQ(text, "87654321FEEBDAED10000000");

    uint32_t back[3] = {};
    ASSERT_TRUE(HexStringToWords(back, 3, "87654321feebdaed10000000"));
    EXPECT_EQ(back[0], words[0]);
    EXPECT_EQ(back[1], words[1]);
    EXPECT_EQ(back[2], words[2]);
    EXPECT_FALSE(HexStringToWords(back, 1, "8765432G"));
}

TEST(SimpleGUIDTest, HexDigitValueKnowsOnlyTheSixteenDigitsInEitherCase)
{
    EXPECT_EQ(HexDigitValue('0'), 0);
    EXPECT_EQ(HexDigitValue('9'), 9);
    EXPECT_EQ(HexDigitValue('a'), 10);
    EXPECT_EQ(HexDigitValue('f'), 15);
    EXPECT_EQ(HexDigitValue('A'), 10);
    EXPECT_EQ(HexDigitValue('F'), 15);
    // The neighbours of each range are not digits.
    for (const char c : {'/', ':', '@', 'G', '`', 'g', ' ', '\0', '\xFF'})
        EXPECT_EQ(HexDigitValue(c), -1) << int(c);
}
