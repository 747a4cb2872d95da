// The Vorbis-to-speaker channel order shared by streamed sounds and video sound: every row moves
// each channel exactly once, and counts without a row (which no voice takes) never reach the table.
#include "audio/sound/VorbisChannelOrder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

TEST(VorbisChannelOrderTest, EveryRowIsAPermutationAndOnlyWideCountsReorder)
{
    for (uint32_t channels : {0u, 1u, 2u, audio::kMaxChannels + 1, 255u})
        EXPECT_EQ(VorbisChannelOrder::WaveFromVorbis(channels), nullptr) << channels;
    for (uint32_t channels = 3; channels <= audio::kMaxChannels; ++channels)
    {
        const uint8_t* order = VorbisChannelOrder::WaveFromVorbis(channels);
        ASSERT_NE(order, nullptr) << channels;
        std::vector<uint8_t> taken(order, order + channels);
        std::sort(taken.begin(), taken.end());
        for (uint32_t c = 0; c < channels; ++c)
            EXPECT_EQ(taken[c], c) << channels << " channels";
        // Vorbis puts the centre second from three channels on (four is quadraphonic).
        if (channels != 4)
        {
            EXPECT_EQ(order[2], 1) << "the front centre speaker takes Vorbis channel 1";
        }
    }
    // 5.1 and up: the low-frequency channel is Vorbis's last.
    for (uint32_t channels = 6; channels <= audio::kMaxChannels; ++channels)
        EXPECT_EQ(VorbisChannelOrder::WaveFromVorbis(channels)[3], channels - 1) << channels;
}
