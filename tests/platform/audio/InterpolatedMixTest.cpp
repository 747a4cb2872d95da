#include "platform/audio/InterpolatedMix.h"

#include <gtest/gtest.h>

#include <limits>
#include <random>
#include <vector>

namespace
{
// The frame-by-frame loop the vector lanes must match float for float.
void MixFrameByFrame(const float* frames, uint32_t channels, const float* t, const int32_t* advance, uint32_t count,
                     const float* gains, float* bus, size_t busStride, uint32_t busChannels)
{
    for (uint32_t i = 0; i < count; ++i)
    {
        const float* frame = frames + size_t(advance[i]) * channels;
        for (uint32_t b = 0; b < busChannels; ++b)
        {
            float sum = bus[b * busStride + i];
            for (uint32_t c = 0; c < channels; ++c)
            {
                const float value = frame[c] + (frame[channels + c] - frame[c]) * t[i];
                sum += value * gains[b * channels + c];
            }
            bus[b * busStride + i] = sum;
        }
    }
}

// Every source width with every bus width, lengths around the four-, eight- and sixteen-frame
// groups, frames that stand still, step by one or two or skip (or, promised, never pass more than
// one or two), with every kind of lanes: the same bus floats as the frame-by-frame loop, and nothing
// written past the rows' `count` frames. The floats a promised mix may read past the last frame are
// NaN, so a sum that took one would show.
TEST(InterpolatedMixTest, EveryLaneKindSumsAsTheFrameByFrameLoop)
{
    std::mt19937 random(11);
    std::uniform_real_distribution<float> sample(-1.0f, 1.0f);
    std::uniform_real_distribution<float> unit(0.0f, 0.999f);
    std::uniform_int_distribution<int32_t> skip(0, 3);
    for (const audio::AdvanceSteps steps :
         {audio::AdvanceSteps::Any, audio::AdvanceSteps::TwoAtMost, audio::AdvanceSteps::OneAtMost})
    for (const audio::MixLanes lanes : {audio::MixLanes::Best, audio::MixLanes::Avx, audio::MixLanes::Sse2})
    for (const uint32_t channels : {1u, 2u, 3u})
    for (const uint32_t busChannels : {1u, 2u, 6u})
    for (const uint32_t count : {0u, 1u, 3u, 4u, 5u, 7u, 8u, 9u, 12u, 15u, 16u, 17u, 31u, 32u, 33u, 40u, 480u})
    {
        const uint32_t most = steps == audio::AdvanceSteps::OneAtMost ? 1 : steps == audio::AdvanceSteps::TwoAtMost ? 2 : 0;
        SCOPED_TRACE(::testing::Message() << "lanes " << int(lanes) << ", " << channels << " channels on " << busChannels
                                          << ", " << count << " frames, steps of at most " << most);
        std::vector<float> t(count);
        std::vector<int32_t> advance(count);
        int32_t at = 0;
        for (uint32_t i = 0; i < count; ++i)
        {
            at += most ? skip(random) % int32_t(most + 1) : i % 3 == 0 ? skip(random) : int32_t(i % 2);
            advance[i] = at;
            t[i] = unit(random);
        }
        std::vector<float> frames((size_t(at) + 2) * channels + (most ? audio::kPickReadsPast : 0),
                                  std::numeric_limits<float>::quiet_NaN());
        for (size_t i = 0; i < (size_t(at) + 2) * channels; ++i)
            frames[i] = sample(random);
        std::vector<float> gains(channels * busChannels);
        for (float& gain : gains)
            gain = sample(random);
        const size_t stride = count + 3;
        std::vector<float> expected(stride * busChannels);
        for (float& value : expected)
            value = sample(random);
        std::vector<float> bus = expected;
        MixFrameByFrame(frames.data(), channels, t.data(), advance.data(), count, gains.data(), expected.data(), stride,
                        busChannels);
        audio::MixInterpolated(frames.data(), channels, t.data(), advance.data(), count, gains.data(), bus.data(),
                               stride, busChannels, steps, lanes);
        for (size_t i = 0; i < bus.size(); ++i)
            ASSERT_EQ(bus[i], expected[i]) << "bus value " << i;
    }
}

// A mono source on a stereo bus mixed from a track's start and step, steps of up to one and two
// frames, lengths around the eight-frame groups, every kind of lanes: the same bus floats as the
// track's arrays through the frame-by-frame loop, with NaN in the floats past the last frame.
TEST(InterpolatedMixTest, MonoMixedFromItsTrackSumsAsFromTheArrays)
{
    std::mt19937 random(5);
    std::uniform_real_distribution<float> sample(-1.0f, 1.0f);
    for (const audio::MixLanes lanes : {audio::MixLanes::Best, audio::MixLanes::Avx, audio::MixLanes::Sse2})
    for (const double step : {0.37, 1.0, 1.37, 2.0})
    for (const uint32_t count : {0u, 7u, 8u, 9u, 17u, 480u})
    {
        SCOPED_TRACE(::testing::Message() << "lanes " << int(lanes) << ", step " << step << ", " << count << " frames");
        std::vector<float> t(audio::PhaseTrackLength(count));
        std::vector<int32_t> advance(t.size());
        audio::PhaseTrack track;
        track.fraction = uint32_t(random());
        track.step = audio::FixedStep(step);
        track.t = t.data();
        track.advance = advance.data();
        const size_t ends = size_t((track.fraction + count * track.step) >> 32) + 2;
        std::vector<float> frames(ends + audio::kPickReadsPast, std::numeric_limits<float>::quiet_NaN());
        for (size_t i = 0; i < ends; ++i)
            frames[i] = sample(random);
        const float gains[2] = {sample(random), sample(random)};
        std::vector<float> bus(2 * size_t(count));
        for (float& value : bus)
            value = sample(random);
        std::vector<float> expected = bus;
        audio::MixTrackedMono(frames.data(), track, count, gains, bus.data(), count,
                              step > 1.0 ? audio::AdvanceSteps::TwoAtMost : audio::AdvanceSteps::OneAtMost, lanes);
        audio::TrackPhase(track, count);
        MixFrameByFrame(frames.data(), 1, t.data(), advance.data(), count, gains, expected.data(), count, 2);
        for (size_t i = 0; i < bus.size(); ++i)
            ASSERT_EQ(bus[i], expected[i]) << "bus value " << i;
    }
}
} // namespace
