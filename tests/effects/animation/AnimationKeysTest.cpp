// Key decoding and the key pair search of one channel, against values worked out by hand on a
// range of times [0, 1] and values [0, 10].
#include "effects/animation/AnimationKeys.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

namespace
{
AnimationRange UnitTimes()
{
    AnimationRange range;
    range.minimum = Vector(0.0f, -1.0f, 0.0f, 0.0f);
    range.maximum = Vector(10.0f, 1.0f, 0.0f, 1.0f);
    return range;
}

AnimationKey Key(int16_t x, int16_t t)
{
    AnimationKey key;
    key.x = x;
    key.t = t;
    return key;
}
} // namespace

TEST(AnimationKeysTest, ComponentsDequantiseAsymmetricallyIntoTheirRange)
{
    EXPECT_FLOAT_EQ(AnimationKeys::Dequantise(-32768, 2.0f, 6.0f), 2.0f);
    EXPECT_FLOAT_EQ(AnimationKeys::Dequantise(0, 2.0f, 6.0f), 4.0f);
    EXPECT_FLOAT_EQ(AnimationKeys::Dequantise(32767, 2.0f, 6.0f), 6.0f);
    EXPECT_FLOAT_EQ(AnimationKeys::Dequantise(-16384, 2.0f, 6.0f), 3.0f);

    const Vector decoded = AnimationKeys::DecodeKey(Key(32767, -32768), UnitTimes());
    EXPECT_FLOAT_EQ(decoded.x, 10.0f);
    EXPECT_FLOAT_EQ(decoded.w, 0.0f);

    // x = 0.6, y = 0.8 (on [-1, 1]): w is rebuilt as 0; a unit-length x alone also gives w 0, and a
    // zero vector part gives w 1.
    AnimationRange rotations;
    rotations.minimum = Vector(-1.0f, -1.0f, -1.0f, 0.0f);
    rotations.maximum = Vector(1.0f, 1.0f, 1.0f, 1.0f);
    AnimationKey key;
    key.x = 0;
    key.y = 0;
    key.z = 0;
    EXPECT_FLOAT_EQ(AnimationKeys::DecodeRotation(key, rotations).w, 1.0f);
    key.x = 32767;
    key.y = 32767;
    const Quaternion over = AnimationKeys::DecodeRotation(key, rotations);
    EXPECT_FLOAT_EQ(over.w, 0.0f) << "1 - x² - y² is negative";
    key.x = int16_t(std::lround(0.6 * 32767));
    key.y = 0;
    EXPECT_NEAR(AnimationKeys::DecodeRotation(key, rotations).w, 0.8f, 1e-4f);
}

TEST(AnimationKeysTest, ProgressQuantisesIntoKeyTimesAndClampsAtTwiceTheRange)
{
    const AnimationRange range = UnitTimes();
    EXPECT_EQ(AnimationKeys::QuantiseProgress(0.0f, range), -32768);
    EXPECT_EQ(AnimationKeys::QuantiseProgress(0.5f, range), 0);
    EXPECT_EQ(AnimationKeys::QuantiseProgress(1.0f, range), 32767);
    EXPECT_EQ(AnimationKeys::QuantiseProgress(0.75f, range), 16383);
    EXPECT_EQ(AnimationKeys::QuantiseProgress(9.0f, range), 65534);
    EXPECT_EQ(AnimationKeys::QuantiseProgress(-9.0f, range), -65536);
    AnimationRange flat = range;
    flat.maximum.w = flat.minimum.w;
    EXPECT_EQ(AnimationKeys::QuantiseProgress(0.5f, flat), 65534) << "no width: after every key, not NaN";
}

TEST(AnimationKeysTest, KeyPairsInterpolateInsideAndAcrossTheSeamOrHoldTheEnds)
{
    // Keys at times 0.25 (x 0) and about 0.75 (x 10).
    const std::vector<AnimationKey> keys = {Key(-32768, -16384), Key(32767, 16384)};
    const AnimationRange range = UnitTimes();
    struct Case
    {
        float progress;
        bool loop;
        float x;
    };
    const Case cases[] = {
        {0.25f, false, 0.0f}, {0.5f, false, 5.0f}, {0.9f, false, 10.0f}, {0.1f, false, 0.0f},
        // Across the seam: from the last key (0.75) to the first (0.25 of the next cycle), 0.5 long.
        {0.9f, true, 7.0f},   {0.1f, true, 3.0f},  {0.5f, true, 5.0f},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(testing::Message() << c.progress << (c.loop ? " loop" : ""));
        uint16_t cursor = 0;
        const AnimationKeys::KeyPair pair = AnimationKeys::FindKeys(
            keys.data(), 2, cursor, c.progress, AnimationKeys::QuantiseProgress(c.progress, range), range, c.loop);
        EXPECT_NEAR(AnimationKeys::InterpolateVector(pair, range).x, c.x, 2e-3f);
    }
}

TEST(AnimationKeysTest, TheCursorMovesOnAndRestartsOnlyWhenTimeWentBack)
{
    const std::vector<AnimationKey> keys = {Key(-32768, -16384), Key(0, 0), Key(32767, 16384)};
    const AnimationRange range = UnitTimes();
    uint16_t cursor = 0;
    const float sequence[] = {0.3f, 0.6f, 0.9f, 0.1f, 0.6f};
    const float expected[] = {1.0f, 7.0f, 7.0f, 3.0f, 7.0f};
    const uint16_t cursors[] = {1, 2, 2, 0, 2};
    for (int i = 0; i < 5; ++i)
    {
        SCOPED_TRACE(sequence[i]);
        const AnimationKeys::KeyPair pair = AnimationKeys::FindKeys(
            keys.data(), 3, cursor, sequence[i], AnimationKeys::QuantiseProgress(sequence[i], range), range, true);
        EXPECT_NEAR(AnimationKeys::InterpolateVector(pair, range).x, expected[i], 2e-3f);
        EXPECT_EQ(cursor, cursors[i]);
    }
}

TEST(AnimationKeysTest, OneKeyHoldsAndCollapsedIntervalsNeverGiveNaN)
{
    const AnimationRange range = UnitTimes();
    const AnimationKey single[] = {Key(0, 32767)};
    for (const float progress : {0.0f, 0.5f, 1.0f})
    {
        uint16_t cursor = 0;
        const AnimationKeys::KeyPair pair = AnimationKeys::FindKeys(
            single, 1, cursor, progress, AnimationKeys::QuantiseProgress(progress, range), range, true);
        EXPECT_FLOAT_EQ(AnimationKeys::InterpolateVector(pair, range).x, 5.0f);
        EXPECT_FLOAT_EQ(AnimationKeys::InterpolateRotation(pair, range).x, 5.0f);
    }
    // A channel without keys has nothing to hold.
    uint16_t none = 0;
    EXPECT_EQ(AnimationKeys::FindKeys(single, 0, none, 0.5f, 0, range, true).a, nullptr);
    // Equal key times and a range of no width: every sample stays finite.
    const AnimationKey equal[] = {Key(-32768, 0), Key(32767, 0), Key(0, 0)};
    AnimationRange flat = range;
    flat.maximum.w = 0.0f;
    for (const AnimationRange& r : {range, flat})
        for (const float progress : {0.0f, 0.5f, 1.0f})
            for (const bool loop : {false, true})
            {
                uint16_t cursor = 0;
                const AnimationKeys::KeyPair pair = AnimationKeys::FindKeys(
                    equal, 3, cursor, progress, AnimationKeys::QuantiseProgress(progress, r), r, loop);
                EXPECT_TRUE(std::isfinite(AnimationKeys::InterpolateVector(pair, r).x));
                EXPECT_TRUE(std::isfinite(AnimationKeys::InterpolateRotation(pair, r).w));
            }
}

TEST(AnimationKeysTest, FourLaneSharesEqualTheScalarShareBitForBit)
{
    using Seam = AnimationKeys::KeyIndices::Seam;
    struct Case
    {
        int32_t b;
        Seam seam;
        float progress, ta, tb;
    };
    const std::vector<Case> cases = {
        {1, Seam::NONE, 0.3f, 0.2f, 0.7f},          {1, Seam::NONE, 0.1f, 0.2f, 0.7f}, // before a: 0
        {1, Seam::NONE, 0.9f, 0.2f, 0.7f},          {1, Seam::NONE, 0.2f, 0.2f, 0.7f}, // at a: +0
        {1, Seam::NONE, 0.4f, 0.4f, 0.4f},          {1, Seam::NONE, 0.4f, 0.4f, 0.4f + 1e-10f},
        {0, Seam::BEFORE_FIRST, 0.05f, 0.9f, 0.1f}, {0, Seam::AFTER_LAST, 0.95f, 0.9f, 0.1f},
        {0, Seam::AFTER_LAST, 0.95f, 1.0f, 0.0f},   {-1, Seam::NONE, 0.5f, 0.2f, 0.7f},
        {1, Seam::NONE, 0.6f, -0.5f, 1.5f},         {0, Seam::BEFORE_FIRST, 0.0f, 0.5f, 0.0f},
    };
    for (size_t first = 0; first < cases.size(); first += 4)
    {
        alignas(16) float progress[4], ta[4], tb[4], shares[4];
        alignas(16) int32_t bits[4];
        for (size_t lane = 0; lane < 4; ++lane)
        {
            const Case& c = cases[first + lane];
            AnimationKeys::KeyIndices found;
            found.a = 0;
            found.b = c.b;
            found.seam = c.seam;
            progress[lane] = c.progress;
            ta[lane] = c.ta;
            tb[lane] = c.tb;
            bits[lane] = AnimationKeys::LaneBits(found);
        }
        _mm_store_ps(shares, AnimationKeys::KeyShare4(_mm_load_ps(progress), _mm_load_ps(ta), _mm_load_ps(tb),
                                                      _mm_load_si128(reinterpret_cast<const __m128i*>(bits))));
        for (size_t lane = 0; lane < 4; ++lane)
        {
            const Case& c = cases[first + lane];
            AnimationKeys::KeyIndices found;
            found.a = 0;
            found.b = c.b;
            found.seam = c.seam;
            const float expected = AnimationKeys::KeyShare(found, c.progress, c.ta, c.tb);
            EXPECT_EQ(std::memcmp(&shares[lane], &expected, sizeof(float)), 0)
                << "case " << first + lane << ": " << shares[lane] << " against " << expected;
        }
    }
}
