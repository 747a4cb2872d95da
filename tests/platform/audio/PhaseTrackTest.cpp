#include "platform/audio/PhaseTrack.h"

#include <gtest/gtest.h>

#include <random>
#include <utility>
#include <vector>

namespace
{
// Steps below, at and above one frame, starting phases, lengths around the groups and a long block,
// with every kind of lanes: each t and whole count is the plain double formula's, the end is output
// frame `frames`'s position, nothing is written past the rounded-up length, and the positions stay
// within a hair of a resampler that adds the step frame after frame.
TEST(PhaseTrackTest, EveryLaneIsThePositionReckonedFromTheBlockStart)
{
    std::mt19937 random(7);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    // Steps and starting phases; the first three give, by frame 480, a t that one fused multiply-add
    // would round differently from the product and the sum rounded apart.
    std::vector<std::pair<double, double>> starts = {
        {1.9970340988817785, 0.81694938978969556}, {3.3078371243355038, 0.97674149646272024},
        {3.8399472509929669, 0.5929930739072119}, {5.08e-6, 0.0}, {0.5, 0.25}, {1.0 - 1e-12, 0.0},
        {0.6875 * 44100 / 48000, 0.0}, {1.0, 0.5}, {1.5, 0.0}, {3.999999, 0.75}, {2.0 / 3.0, 0.0}};
    while (starts.size() < 24)
        starts.emplace_back(starts.size() % 3 ? unit(random) : 1.0 + 3.0 * unit(random), unit(random));
    for (const audio::PhaseTrackLanes lanes :
         {audio::PhaseTrackLanes::Best, audio::PhaseTrackLanes::Avx, audio::PhaseTrackLanes::Sse2})
    for (const uint32_t frames : {1u, 3u, 4u, 7u, 8u, 9u, 441u, 480u, 1920u})
    for (const auto& [step, phase] : starts)
    {
        SCOPED_TRACE(testing::Message() << "lanes " << int(lanes) << ", " << frames << " frames, step " << step
                                        << ", phase " << phase);
        const uint32_t length = audio::PhaseTrackLength(frames);
        ASSERT_EQ(length % audio::kPhaseGroupFrames, 0u);
        ASSERT_GE(length, frames);
        std::vector<float> t(length + 4, -1.0f);
        std::vector<int32_t> advance(length + 4, -1);
        audio::PhaseTrack track;
        track.phase = phase;
        track.step = step;
        track.t = t.data();
        track.advance = advance.data();
        audio::TrackPhase(track, frames, lanes);

        double chained = phase;
        for (uint32_t f = 0; f <= frames; ++f)
        {
            const double position = phase + double(f) * step;
            const int32_t whole = int32_t(position);
            if (f == frames)
            {
                EXPECT_EQ(track.endAdvance, uint32_t(whole));
                EXPECT_EQ(track.endPhase, position - whole);
                break;
            }
            ASSERT_EQ(t[f], float(position - whole)) << "frame " << f;
            ASSERT_EQ(advance[f], whole) << "frame " << f;
            ASSERT_NEAR(advance[f] + double(t[f]), chained, 1e-6) << "frame " << f;
            chained += step;
        }
        EXPECT_EQ(t[length], -1.0f);
        EXPECT_EQ(advance[length], -1);
    }
}
} // namespace
