// The video sound's float-to-16-bit conversion: rounding, clamping and the speaker order.
#include "audio/video/VideoPcm.h"

#include <gtest/gtest.h>

#include <vector>

namespace
{
TEST(VideoPcmTest, SamplesRoundHalfUpTowardsZeroAndClampToSixteenBits)
{
    const struct
    {
        float sample;
        int16_t expected;
    } cases[] = {
        {0.0f, 0},
        {1.0f, 32767},
        {-1.0f, -32766}, // -32766.5 truncates towards zero
        {0.6f / 32767.0f, 1},
        {-0.6f / 32767.0f, 0},
        {2.0f, 32767},
        {-2.0f, -32768},
    };
    for (const auto& c : cases)
    {
        const float* channels[1] = {&c.sample};
        int16_t out = 12345;
        ConvertVideoPcm(channels, 1, 1, &out);
        EXPECT_EQ(out, c.expected) << c.sample;
    }
}

// Vorbis puts the centre second; the voice takes speaker order, so three channels (L C R) come out
// as L R C, interleaved frame by frame.
TEST(VideoPcmTest, ChannelsInterleaveInSpeakerOrder)
{
    const std::vector<float> left = {0.1f, 0.2f}, centre = {0.3f, 0.4f}, right = {0.5f, 0.6f};
    const float* planar[3] = {left.data(), centre.data(), right.data()};
    int16_t out[6] = {};
    ConvertVideoPcm(planar, 2, 3, out);
    const float expected[6] = {0.1f, 0.5f, 0.3f, 0.2f, 0.6f, 0.4f};
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(out[i], int16_t(expected[i] * 32767.0f + 0.5f)) << i;

    const float* stereo[2] = {left.data(), right.data()};
    int16_t two[4] = {};
    ConvertVideoPcm(stereo, 2, 2, two);
    EXPECT_EQ(two[1], int16_t(0.5f * 32767.0f + 0.5f)) << "two channels keep their order";
}
} // namespace
