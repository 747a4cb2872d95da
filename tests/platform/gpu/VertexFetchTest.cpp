#include "platform/gpu/VertexFetch.h"

#include <gtest/gtest.h>

using namespace gpu;

// Packed vertex bytes decode to the four floats the programs read (signed normalised minimums hold at
// -1), and only formats and usages the programs read are accepted.
TEST(VertexFetchTest, ElementsDecodeToFourFloatsInTheSlotsProgramsRead)
{
    const struct { uint8_t type; uint8_t bytes[8]; float expected[4]; } cases[] = {
        {kDeclColor, {0x00, 0x33, 0xFF, 0x80}, {1.0f, 0.2f, 0.0f, 128 / 255.0f}},
        {kDeclUByte4, {1, 2, 3, 250}, {1.0f, 2.0f, 3.0f, 250.0f}},
        {kDeclShort2N, {0x00, 0x80, 0xFF, 0x7F}, {-1.0f, 1.0f, 0.0f, 1.0f}},
        {kDeclUShort2N, {0xFF, 0xFF, 0x00, 0x00}, {1.0f, 0.0f, 0.0f, 1.0f}},
        {kDeclDec3N, {0x00, 0xFE, 0x07, 0x00}, {-1.0f, 1.0f, 0.0f, 1.0f}}, // x -512, y 511
        {kDeclFloat16x2, {0x00, 0x3C, 0x00, 0xC0}, {1.0f, -2.0f, 0.0f, 1.0f}},
        {7, {0x01, 0x00, 0xFF, 0xFF, 0x00, 0x80, 0xFF, 0x7F}, {1.0f, -1.0f, -32768.0f, 32767.0f}}, // short4 as files store it
    };
    for (const auto& c : cases)
    {
        float out[4];
        DecodeElement(c.type, c.bytes, out);
        for (int i = 0; i < 4; ++i)
            EXPECT_FLOAT_EQ(out[i], c.expected[i]) << "type " << int(c.type) << ", component " << i;
    }
    std::vector<VertexElement> elements;
    ASSERT_TRUE(FvfElements(kFvfXyz | kFvfDiffuse | 4 * kFvfTex1 | FvfTexCoordSize3(3), &elements));
    ASSERT_EQ(elements.size(), 6u);
    EXPECT_EQ(elements[5].offset, 12 + 4 + 3 * 8);
    EXPECT_EQ(elements[5].type, kDeclFloat3);
    EXPECT_FALSE(FvfElements(kFvfXyz | 5 * kFvfTex1, &elements)) << "five texture sets";
    EXPECT_EQ(AttributeSlot({0, 0, kDeclColor, 0, kDeclUsageColor, 1}), uint32_t(kAttrColor1));
    EXPECT_EQ(AttributeSlot({0, 0, kDeclColor, 0, kDeclUsageColor, 2}), uint32_t(kAttributeCount));
    EXPECT_EQ(AttributeSlot({0, 0, kDeclFloat2, 0, 5, 2}), uint32_t(kAttrTex2)) << "texture set 2 as files store it";
}
