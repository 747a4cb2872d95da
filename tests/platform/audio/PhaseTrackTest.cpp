#include "platform/audio/PhaseTrack.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace
{
// Tracks in several groups of lanes, both kinds of step and a partly filled last group (41, 6 and 3
// tracks take every width of group), against the frame-by-frame double, with the widest lanes and
// with SSE2 alone: the same t floats, the same whole frames passed, the same end, and nothing
// written past the rounded-up length.
TEST(PhaseTrackTest, EveryLaneFollowsTheFrameByFrameDouble)
{
    std::mt19937 random(7);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    std::vector<double> steps = {5.08e-6, 0.5, 1.0 - 1e-12, 0.6875 * 44100 / 48000, 1.0, 1.5, 3.999999, 2.0 / 3.0};
    while (steps.size() < 41)
        steps.push_back(steps.size() % 3 ? unit(random) : 1.0 + 3.0 * unit(random));
    for (const size_t count : {41u, 6u, 3u})
    for (const audio::PhaseTrackLanes lanes : {audio::PhaseTrackLanes::Best, audio::PhaseTrackLanes::Sse2})
    for (const uint32_t frames : {1u, 3u, 4u, 7u, 441u, 480u})
    {
        SCOPED_TRACE(testing::Message() << count << " tracks, " << (lanes == audio::PhaseTrackLanes::Best ? "best" : "SSE2")
                                        << " lanes");
        const uint32_t length = audio::PhaseTrackLength(frames);
        ASSERT_EQ(length % audio::kPhaseGroupFrames, 0u);
        ASSERT_GE(length, frames);
        std::vector<std::vector<float>> t(count, std::vector<float>(length + 4, -1.0f));
        std::vector<std::vector<int32_t>> advance(count, std::vector<int32_t>(length + 4, -1));
        std::vector<audio::PhaseTrack> tracks(count);
        std::vector<audio::PhaseTrack*> pointers;
        for (size_t i = 0; i < count; ++i)
        {
            tracks[i].phase = i % 5 ? unit(random) : 0.0;
            tracks[i].step = steps[i];
            tracks[i].t = t[i].data();
            tracks[i].advance = advance[i].data();
            pointers.push_back(&tracks[i]);
        }
        audio::TrackPhases(pointers.data(), pointers.size(), frames, lanes);
        for (size_t i = 0; i < count; ++i)
        {
            double phase = tracks[i].phase;
            int32_t passed = 0;
            for (uint32_t f = 0; f < frames; ++f)
            {
                ASSERT_EQ(t[i][f], float(phase)) << "track " << i << ", frame " << f << " of " << frames;
                ASSERT_EQ(advance[i][f], passed) << "track " << i << ", frame " << f << " of " << frames;
                phase += steps[i];
                while (phase >= 1.0)
                {
                    phase -= 1.0;
                    ++passed;
                }
            }
            EXPECT_EQ(tracks[i].endPhase, phase) << "track " << i;
            EXPECT_EQ(tracks[i].endAdvance, uint32_t(passed)) << "track " << i;
            EXPECT_EQ(t[i][length], -1.0f);
            EXPECT_EQ(advance[i][length], -1);
        }
    }
}
} // namespace
