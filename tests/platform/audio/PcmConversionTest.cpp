#include "platform/audio/PcmConversion.h"

#include <gtest/gtest.h>

#include <vector>

namespace
{
// Extremes and signs by hand, then every length and output alignment around the eight-sample
// lanes with both kinds of lanes: each float is the sample over 32768, and nothing outside the
// `count` floats is written.
TEST(PcmConversionTest, SamplesBecomeTheirQuotientBy32768)
{
    const uint8_t extremes[] = {0x00, 0x80, 0xFF, 0x7F, 0xFF, 0xFF, 0x01, 0x00, 0x00, 0x00};
    float out[5] = {};
    audio::Pcm16ToFloat(extremes, 5, out);
    EXPECT_EQ(out[0], -1.0f);
    EXPECT_EQ(out[1], 32767.0f / 32768.0f);
    EXPECT_EQ(out[2], -1.0f / 32768.0f);
    EXPECT_EQ(out[3], 1.0f / 32768.0f);
    EXPECT_EQ(out[4], 0.0f);

    std::vector<uint8_t> bytes(2 * 72 + 1);
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = uint8_t(i * 97 + 13);
    for (const audio::ConversionLanes lanes :
         {audio::ConversionLanes::Best, audio::ConversionLanes::Avx, audio::ConversionLanes::Sse2})
    for (const size_t count : {0u, 1u, 7u, 8u, 9u, 16u, 23u, 40u, 47u, 72u})
    for (const size_t skew : {0u, 1u, 3u, 5u, 8u, 13u})
    for (const size_t odd : {0u, 1u})
    {
        SCOPED_TRACE(testing::Message() << count << " samples, output skewed by " << skew << ", input by " << odd);
        std::vector<float> floats(count + 2 * 16 + 16, 9.0f);
        float* const at = floats.data() + 8 + skew;
        audio::Pcm16ToFloat(bytes.data() + odd, count, at, lanes);
        for (size_t s = 0; s < count; ++s)
            ASSERT_EQ(at[s], float(int16_t(uint16_t(bytes[odd + 2 * s] | bytes[odd + 2 * s + 1] << 8))) / 32768.0f) << s;
        for (float* p = floats.data(); p < at; ++p)
            ASSERT_EQ(*p, 9.0f);
        for (float* p = at + count; p < floats.data() + floats.size(); ++p)
            ASSERT_EQ(*p, 9.0f);
    }
}
} // namespace
