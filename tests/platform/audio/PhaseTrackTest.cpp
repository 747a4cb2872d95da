#include "platform/audio/PhaseTrack.h"

#include <gtest/gtest.h>

#include <random>
#include <utility>
#include <vector>

namespace
{
// Steps from the smallest to just below four frames, exactly one frame, and steps whose lane
// strides carry into the whole frames at every other group; starts at zero, mid-way and one unit
// short of the next frame; lengths around the groups and a long block; every kind of lanes: each
// t and whole count is the plain fixed-point formula's, the end is output frame `frames`'s
// position, nothing is written past the rounded-up length, and the positions stay within a
// millionth of a frame of the ideal ones.
TEST(PhaseTrackTest, EveryLaneIsTheExactFixedPointPosition)
{
    std::mt19937 random(7);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    std::vector<std::pair<double, uint32_t>> starts = {
        {5.09e-6, 0u}, {0.5, 0x40000000u}, {1.0 - 1e-12, 0u}, {0.6875 * 44100 / 48000, 0xFFFFFFFFu}, {1.0, 0x80000000u},
        {1.5, 0u}, {3.999999, 0xC0000000u}, {2.0 / 3.0, 123456789u}, {1.0 / 16 + 1e-9, 0xFFFFFF00u}};
    while (starts.size() < 24)
        starts.emplace_back(starts.size() % 3 ? unit(random) : 1.0 + 3.0 * unit(random), uint32_t(random()));
    for (const audio::PhaseTrackLanes lanes :
         {audio::PhaseTrackLanes::Best, audio::PhaseTrackLanes::Avx2, audio::PhaseTrackLanes::Sse2})
    for (const uint32_t frames : {1u, 3u, 4u, 7u, 8u, 15u, 16u, 17u, 441u, 480u, 1920u})
    for (const auto& [step, fraction] : starts)
    {
        SCOPED_TRACE(testing::Message() << "lanes " << int(lanes) << ", " << frames << " frames, step " << step
                                        << ", fraction " << fraction);
        const uint32_t length = audio::PhaseTrackLength(frames);
        ASSERT_EQ(length % audio::kPhaseGroupFrames, 0u);
        ASSERT_GE(length, frames);
        std::vector<float> t(length + 4, -1.0f);
        std::vector<int32_t> advance(length + 4, -1);
        audio::PhaseTrack track;
        track.fraction = fraction;
        track.step = audio::FixedStep(step);
        track.t = t.data();
        track.advance = advance.data();
        audio::TrackPhase(track, frames, lanes);

        for (uint32_t f = 0; f <= frames; ++f)
        {
            const uint64_t position = fraction + uint64_t(f) * track.step;
            if (f == frames)
            {
                EXPECT_EQ(track.endAdvance, uint32_t(position >> 32));
                EXPECT_EQ(track.endFraction, uint32_t(position));
                break;
            }
            ASSERT_EQ(advance[f], int32_t(position >> 32)) << "frame " << f;
            ASSERT_EQ(t[f], float(uint32_t(position) >> 8) / 16777216.0f) << "frame " << f;
            ASSERT_NEAR(advance[f] + double(t[f]), fraction / 4294967296.0 + f * step, 1e-6) << "frame " << f;
        }
        EXPECT_EQ(t[length], -1.0f);
        EXPECT_EQ(advance[length], -1);
    }
}
} // namespace
