#include "platform/audio/Positioner3D.h"

#include <gtest/gtest.h>

#include <cmath>

namespace
{
constexpr float kSpeedOfSound = 343.5f;

class Positioner3DTest : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_positioner.Init(audio::kSpeakerFrontLeft | audio::kSpeakerFrontRight, kSpeedOfSound));
    }

    // Output levels (left, right) of a mono emitter at `position`.
    std::pair<float, float> Levels(audio::Vec3 position, const audio::Listener& listener = {})
    {
        m_emitter.position = position;
        float matrix[2] = {};
        audio::DspSettings dsp;
        dsp.matrixCoefficients = matrix;
        EXPECT_TRUE(m_positioner.Calculate(listener, m_emitter, audio::kCalculateMatrix, dsp));
        return {matrix[0], matrix[1]};
    }

    float Doppler(audio::Vec3 position, audio::Vec3 velocity, uint32_t flags = audio::kCalculateDoppler,
                  const audio::Listener& listener = {})
    {
        m_emitter.position = position;
        m_emitter.velocity = velocity;
        m_emitter.dopplerScaler = 1.0f;
        audio::DspSettings dsp;
        EXPECT_TRUE(m_positioner.Calculate(listener, m_emitter, flags, dsp));
        return dsp.dopplerFactor;
    }

    audio::Positioner3D m_positioner;
    audio::Emitter m_emitter;
};

TEST_F(Positioner3DTest, DistanceAttenuationFallsMonotonically)
{
    m_emitter.curveDistanceScaler = 3.0f;
    auto [nearLeft, nearRight] = Levels({0.0f, 0.0f, 1.0f});
    auto [fullLeft, fullRight] = Levels({0.0f, 0.0f, 3.0f});
    EXPECT_FLOAT_EQ(nearLeft, fullLeft);
    EXPECT_FLOAT_EQ(nearLeft, nearRight);
    EXPECT_FLOAT_EQ(Levels({0.0f, 0.0f, 6.0f}).first, nearLeft * 0.5f) << "twice the scaled distance";
    float previous = nearLeft + nearRight;
    for (float distance = 4.0f; distance < 200.0f; distance *= 1.5f)
    {
        auto [left, right] = Levels({0.0f, 0.0f, distance});
        EXPECT_LT(left + right, previous) << distance;
        previous = left + right;
    }
    EXPECT_GT(previous, 0.0f);
}

TEST_F(Positioner3DTest, VolumeCurveIsFollowedLinearlyAndHoldsItsEnds)
{
    // Full volume up to 3, silent from 10.
    m_emitter.volumeCurvePointCount = 2;
    m_emitter.volumeCurve[0] = {3.0f, 1.0f};
    m_emitter.volumeCurve[1] = {10.0f, 0.0f};
    const float centre = Levels({0.0f, 0.0f, 1.0f}).first;
    EXPECT_FLOAT_EQ(Levels({0.0f, 0.0f, 3.0f}).first, centre);
    EXPECT_FLOAT_EQ(Levels({0.0f, 0.0f, 6.5f}).first, centre * 0.5f);
    EXPECT_EQ(Levels({0.0f, 0.0f, 10.0f}).first, 0.0f);
    EXPECT_EQ(Levels({0.0f, 0.0f, 30.0f}).second, 0.0f);
    // The distance is the emitter's from the listener, wherever the listener stands.
    audio::Listener moved;
    moved.position = {0.0f, 0.0f, 20.0f};
    EXPECT_FLOAT_EQ(Levels({0.0f, 0.0f, 26.5f}, moved).first, centre * 0.5f);
}

TEST_F(Positioner3DTest, PanningFollowsTheListenerOrientation)
{
    auto [leftOfLeft, rightOfLeft] = Levels({-5.0f, 0.0f, 0.0f});
    EXPECT_GT(leftOfLeft, rightOfLeft);
    auto [leftOfRight, rightOfRight] = Levels({5.0f, 0.0f, 0.0f});
    EXPECT_GT(rightOfRight, leftOfRight);
    auto [aheadLeft, aheadRight] = Levels({0.0f, 0.0f, 5.0f});
    EXPECT_FLOAT_EQ(aheadLeft, aheadRight);
    // Equal power: the sum of squares stays the same wherever the sound is.
    EXPECT_NEAR(leftOfLeft * leftOfLeft + rightOfLeft * rightOfLeft, aheadLeft * aheadLeft + aheadRight * aheadRight,
                1e-4f);

    audio::Listener turned;
    turned.front = {0.0f, 0.0f, -1.0f};
    auto [left, right] = Levels({5.0f, 0.0f, 0.0f}, turned);
    EXPECT_GT(left, right);
}

TEST_F(Positioner3DTest, StereoEmitterKeepsItsLeftChannelOnTheLeft)
{
    m_emitter.channelCount = 2;
    m_emitter.channelAzimuths[0] = 1.5707964f;
    m_emitter.channelAzimuths[1] = 4.712389f;
    m_emitter.position = {0.0f, 0.0f, 3.0f};
    float matrix[4] = {};
    audio::DspSettings dsp;
    dsp.matrixCoefficients = matrix;
    dsp.srcChannelCount = 2;
    // Without a radius both channels sit on the emitter, straight ahead.
    ASSERT_TRUE(m_positioner.Calculate({}, m_emitter, audio::kCalculateMatrix, dsp));
    EXPECT_FLOAT_EQ(matrix[0], matrix[3]);
    EXPECT_FLOAT_EQ(matrix[0], matrix[2]);
    m_emitter.channelRadius = 1.0f;
    ASSERT_TRUE(m_positioner.Calculate({}, m_emitter, audio::kCalculateMatrix, dsp));
    // levels[dst * 2 + src]
    EXPECT_GT(matrix[0], matrix[2]) << "source left is louder on the left output";
    EXPECT_GT(matrix[3], matrix[1]) << "source right is louder on the right output";
}

TEST_F(Positioner3DTest, DopplerRisesOnApproachAndFallsWhenReceding)
{
    const audio::Vec3 ahead{0.0f, 0.0f, 50.0f};
    EXPECT_GT(Doppler(ahead, {0.0f, 0.0f, -30.0f}), 1.0f);
    EXPECT_LT(Doppler(ahead, {0.0f, 0.0f, 30.0f}), 1.0f);
    EXPECT_FLOAT_EQ(Doppler(ahead, {0.0f, 0.0f, -30.0f}), kSpeedOfSound / (kSpeedOfSound - 30.0f));
    EXPECT_FLOAT_EQ(Doppler(ahead, {10.0f, 0.0f, 0.0f}), 1.0f) << "crossing motion";
    EXPECT_FLOAT_EQ(Doppler(ahead, {}, audio::kCalculateDoppler, {.position = {}, .velocity = {0.0f, 0.0f, 30.0f}}),
                    (kSpeedOfSound + 30.0f) / kSpeedOfSound) << "the listener approaching";
    EXPECT_EQ(Doppler(ahead, {0.0f, 0.0f, -30.0f}, 0u), 1.0f) << "Doppler not asked for";
    // A source faster than sound stays finite.
    const float supersonic = Doppler(ahead, {0.0f, 0.0f, -1000.0f});
    EXPECT_TRUE(std::isfinite(supersonic));
    EXPECT_GT(supersonic, 1.0f);
}

TEST_F(Positioner3DTest, RefusesUnusableSetups)
{
    audio::Positioner3D uninitialised;
    float matrix[2];
    audio::DspSettings dsp;
    dsp.matrixCoefficients = matrix;
    EXPECT_FALSE(uninitialised.Calculate({}, m_emitter, audio::kCalculateMatrix, dsp));
    EXPECT_FALSE(uninitialised.Init(0, kSpeedOfSound));
    EXPECT_FALSE(uninitialised.Init(0x4, kSpeedOfSound));
    EXPECT_FALSE(uninitialised.Init(audio::kSpeakerFrontLeft, 0.0f));
    dsp.matrixCoefficients = nullptr;
    EXPECT_FALSE(m_positioner.Calculate({}, m_emitter, audio::kCalculateMatrix, dsp));
    dsp.srcChannelCount = 9;
    dsp.matrixCoefficients = matrix;
    EXPECT_FALSE(m_positioner.Calculate({}, m_emitter, audio::kCalculateMatrix, dsp));
    float widest[8 * 2]; // seven-point-one sources are the widest
    dsp.srcChannelCount = 8;
    dsp.matrixCoefficients = widest;
    EXPECT_TRUE(m_positioner.Calculate({}, m_emitter, audio::kCalculateMatrix, dsp));

    // A mono output gets the attenuated level without panning.
    ASSERT_TRUE(uninitialised.Init(audio::kSpeakerFrontLeft, kSpeedOfSound));
    audio::DspSettings mono;
    mono.matrixCoefficients = matrix;
    mono.dstChannelCount = 1;
    m_emitter.position = {-2.0f, 0.0f, 0.0f};
    ASSERT_TRUE(uninitialised.Calculate({}, m_emitter, audio::kCalculateMatrix, mono));
    EXPECT_FLOAT_EQ(matrix[0], 0.5f);
    EXPECT_FLOAT_EQ(mono.emitterToListenerDistance, 2.0f);
}
} // namespace
