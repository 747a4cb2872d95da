#include "effects/TEnvelope.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <memory>
#include <vector>

namespace
{
Vector V(float x)
{
    return Vector(x, 2.0f * x, -x, 1.0f);
}

EnvelopePlayback At(float seconds)
{
    EnvelopePlayback state;
    state.time = seconds;
    return state;
}

float ValueAt(const TEnvelope<Vector>& envelope, float seconds)
{
    Vector out(-99.0f, -99.0f, -99.0f, -99.0f);
    EnvelopeTrack::Evaluate(envelope, At(seconds), out);
    return out.x;
}

TEST(TEnvelopeTest, KeysAreAddedInStrictTimeOrderOnly)
{
    TEnvelope<Vector> envelope;
    EXPECT_EQ(envelope.AddKey(V(0), 0.0f, -1), 0);
    EXPECT_EQ(envelope.AddKey(V(1), 1.0f, -1), 1);
    // Equal to the last key, negative, or not a number: refused.
    EXPECT_EQ(envelope.AddKey(V(9), 1.0f, -1), -1);
    EXPECT_EQ(envelope.AddKey(V(9), -0.5f, -1), -1);
    EXPECT_EQ(envelope.AddKey(V(9), std::nanf(""), -1), -1);
    EXPECT_EQ(envelope.AddKey(V(9), 5.0e6f, -1), -1);
    // An index past the end appends too.
    EXPECT_EQ(envelope.AddKey(V(3), 3.0f, 7), 2);
    // Inserting needs a time strictly between the neighbours.
    EXPECT_EQ(envelope.AddKey(V(9), 1.0f, 2), -1);
    EXPECT_EQ(envelope.AddKey(V(9), 3.0f, 2), -1);
    EXPECT_EQ(envelope.AddKey(V(9), 4.0f, 2), -1);
    EXPECT_EQ(envelope.AddKey(V(2), 2.0f, 2), 2);
    EXPECT_EQ(envelope.AddKey(V(9), 0.0f, 0), -1);
    ASSERT_EQ(envelope.GetKeyCount(), 4);
    const uint32_t times[] = {0, 1024, 2048, 3072};
    for (int32_t i = 0; i < 4; ++i)
    {
        EXPECT_EQ(envelope.GetKeyTime(i), times[i]);
        EXPECT_EQ(envelope.GetKeyFlags(i), 0);
        EXPECT_FLOAT_EQ(envelope.GetKeyValue(i).x, float(i));
    }
    // Times are truncated to 1/1024 s.
    TEnvelope<Vector> fine;
    EXPECT_EQ(fine.AddKey(V(0), 0.0009f, -1), 0);
    EXPECT_EQ(fine.GetKeyTime(0), 0u);
    EXPECT_EQ(fine.AddKey(V(0), 0.9999f, -1), 1);
    EXPECT_EQ(fine.GetKeyTime(1), 1023u);
    // Before the first key when it is later than the new one.
    EXPECT_EQ(fine.AddKey(V(0), 0.5f, 1), 1);
}

TEST(TEnvelopeTest, EvaluationHoldsAtTheEndsAndBlendsBetweenKeysByMode)
{
    TEnvelope<Vector> envelope(Envelope::INTERPOLATION_LINEAR, Vector(7.0f, 7.0f, 7.0f, 7.0f));
    EXPECT_FLOAT_EQ(ValueAt(envelope, 0.5f), 7.0f);
    envelope.AddKey(V(10), 1.0f, -1);
    envelope.AddKey(V(20), 2.0f, -1);
    envelope.AddKey(V(40), 3.0f, -1);
    EXPECT_FLOAT_EQ(ValueAt(envelope, 0.0f), 10.0f);
    EXPECT_FLOAT_EQ(ValueAt(envelope, 1.5f), 15.0f);
    EXPECT_FLOAT_EQ(ValueAt(envelope, 2.25f), 25.0f);
    EXPECT_FLOAT_EQ(ValueAt(envelope, 9.0f), 40.0f);
    Vector whole;
    EnvelopeTrack::Evaluate(envelope, At(1.5f), whole);
    EXPECT_FLOAT_EQ(whole.y, 30.0f);
    EXPECT_FLOAT_EQ(whole.z, -15.0f);
    EXPECT_FLOAT_EQ(whole.w, 1.0f);

    envelope.SetInterpolation(Envelope::INTERPOLATION_SMOOTH);
    EXPECT_FLOAT_EQ(ValueAt(envelope, 1.25f), 10.0f + 10.0f * 0.15625f);
    EXPECT_FLOAT_EQ(ValueAt(envelope, 1.5f), 15.0f);
    envelope.SetInterpolation(Envelope::INTERPOLATION_STEP);
    EXPECT_FLOAT_EQ(ValueAt(envelope, 1.99f), 10.0f);
    EXPECT_FLOAT_EQ(ValueAt(envelope, 2.0f), 20.0f);

    envelope.SetEnabled(false);
    EXPECT_FLOAT_EQ(ValueAt(envelope, 1.5f), 7.0f);
}

TEST(TEnvelopeTest, ColourEnvelopesBlendChannelsAndMultiplier)
{
    TEnvelope<HDRColor> envelope(Envelope::INTERPOLATION_LINEAR, HDRColor(255, 255, 255, 255, 1.0f));
    HDRColor out;
    EnvelopeTrack::Evaluate(envelope, At(0.0f), out);
    EXPECT_EQ(out.r, 255);
    EXPECT_FLOAT_EQ(out.multiplier, 1.0f);
    envelope.AddKey(HDRColor(0, 0, 0, 0, 1.0f), 0.0f, -1);
    envelope.AddKey(HDRColor(200, 100, 0, 255, 3.0f), 1.0f, -1);
    EnvelopeTrack::Evaluate(envelope, At(0.5f), out);
    EXPECT_EQ(out.r, 100);
    EXPECT_EQ(out.g, 50);
    EXPECT_FLOAT_EQ(out.multiplier, 2.0f);
}

TEST(TEnvelopeTest, PlaybackHoldsAtTheEndWrapsInRepeatingLoopsAndSkipsMaskedLoops)
{
    TEnvelope<Vector> envelope;
    for (int i = 0; i <= 4; ++i)
        envelope.AddKey(V(float(i)), float(i), -1);
    EnvelopePlayback state;
    EXPECT_TRUE(Envelope::FindKeySegment(envelope, state, 1.5f));
    EXPECT_EQ(state.key, 1u);
    EXPECT_TRUE(Envelope::FindKeySegment(envelope, state, 1.0f));
    EXPECT_EQ(state.key, 2u);
    EXPECT_FALSE(Envelope::FindKeySegment(envelope, state, 5.0f));
    EXPECT_FLOAT_EQ(state.time, 4.0f);
    EXPECT_EQ(state.key, 4u);

    // Loop 0 holds keys 0-1, loop 1 repeats keys 1-3.
    envelope.GetLoops().Resize(2);
    envelope.GetLoops()[0].m_lastKey = 1;
    envelope.GetLoops()[0].m_repeat = false;
    envelope.GetLoops()[1].m_firstKey = 1;
    envelope.GetLoops()[1].m_lastKey = 3;
    Envelope::ResetPlayback(state);
    EXPECT_EQ(state.loop, 0u);
    EXPECT_FLOAT_EQ(state.time, 0.0f);
    EXPECT_FALSE(Envelope::FindKeySegment(envelope, state, 3.0f));
    EXPECT_FLOAT_EQ(state.time, 1.0f);

    state.loopMask = ~1u;
    Envelope::ResetPlayback(state);
    EXPECT_EQ(state.loop, 1u);
    EXPECT_EQ(state.key, 0u);
    EXPECT_TRUE(Envelope::FindKeySegment(envelope, state, 3.5f));
    EXPECT_FLOAT_EQ(state.time, 1.5f);
    EXPECT_EQ(state.key, 1u);
    EXPECT_FLOAT_EQ(ValueAt(envelope, state.time), 1.5f);

    // Loop bounds past the keys are kept inside them.
    envelope.GetLoops()[1].m_lastKey = 99;
    EXPECT_TRUE(Envelope::FindKeySegment(envelope, state, 2.0f));
    EXPECT_FLOAT_EQ(state.time, 3.5f);
    EXPECT_EQ(state.key, 3u);
    EXPECT_TRUE(Envelope::FindKeySegment(envelope, state, 1.0f));
    EXPECT_FLOAT_EQ(state.time, 1.5f);
    EXPECT_EQ(state.key, 1u);
    TEnvelope<Vector> empty;
    EnvelopePlayback idle;
    EXPECT_FALSE(Envelope::FindKeySegment(empty, idle, 1.0f));
}

TEST(TEnvelopeTest, RecordsRoundTripAndUnevenStoredArraysPlayOnlyWholeKeys)
{
    TEnvelope<Vector> source(Envelope::INTERPOLATION_SMOOTH, V(5));
    source.AddKey(V(1), 0.0f, -1);
    source.AddKey(V(2), 0.5f, -1);
    source.AddKey(V(3), 2.0f, -1);
    source.GetLoops().Resize(1);
    source.GetLoops()[0].m_name.Set("Idle");
    source.GetLoops()[0].m_lastKey = 2;
    std::vector<uint8_t> bytes(source.SerializeToMemory(nullptr, 0, 0));
    ASSERT_EQ(source.SerializeToMemory(bytes.data(), bytes.size(), 0), bytes.size());
    TEnvelope<Vector> copy;
    ASSERT_TRUE(copy.DeserializeFromMemory(bytes.data(), bytes.size(), 0));
    EXPECT_TRUE(copy.GetClassProperties()->AreObjectsEqual(&source, &copy));
    EXPECT_EQ(copy.GetInterpolation(), 1u);
    EXPECT_EQ(copy.GetKeyTime(1), 512u);
    EXPECT_STREQ(copy.GetLoops()[0].m_name.CStr(), "Idle");
    Vector constant;
    copy.GetConstantValue(constant);
    EXPECT_FLOAT_EQ(constant.x, 5.0f);

    // Clone and CopyFrom carry the curve, the constant and the values.
    std::unique_ptr<TEnvelope<Vector>> clone(copy.Clone());
    EXPECT_TRUE(clone->GetClassProperties()->AreObjectsEqual(&source, clone.get()));

    // A hand-made record: three key times and flags but two values. Only whole keys play, and a
    // new key goes after them.
    std::vector<uint8_t> uneven;
    auto u32 = [&uneven](uint32_t v) {
        for (int i = 0; i < 4; ++i)
            uneven.push_back(uint8_t(v >> (8 * i)));
    };
    auto f32 = [&u32](float f) { u32(std::bit_cast<uint32_t>(f)); };
    u32(3), u32(0), u32(1024), u32(2048);             // "Key times"
    u32(3), uneven.insert(uneven.end(), {0, 0, 0});   // "Key flags"
    u32(0);                                           // "Interpolation": linear
    u32(0);                                           // "Loops"
    uneven.push_back(1);                              // "Enabled"
    u32(2), f32(1), f32(2), f32(-1), f32(1), f32(2), f32(4), f32(-2), f32(1); // "Keys"
    f32(5), f32(10), f32(-5), f32(1);                 // "Constant value"
    TEnvelope<Vector> read;
    ASSERT_TRUE(read.DeserializeFromMemory(uneven.data(), uneven.size(), 0));
    EXPECT_EQ(read.GetKeyCount(), 2);
    EXPECT_FLOAT_EQ(ValueAt(read, 0.5f), 1.5f);
    EXPECT_FLOAT_EQ(ValueAt(read, 5.0f), 2.0f);
    EXPECT_EQ(read.AddKey(V(3), 1.5f, -1), 2);
    EXPECT_EQ(read.GetKeyCount(), 3);
    EXPECT_EQ(read.GetKeyTime(2), 1536u);
    EXPECT_FLOAT_EQ(ValueAt(read, 1.25f), 2.5f);
    // Cut anywhere, the record is refused and the envelope kept.
    for (size_t cut = 0; cut < uneven.size(); cut += 7)
        EXPECT_FALSE(read.DeserializeFromMemory(uneven.data(), cut, 0)) << cut;
    EXPECT_EQ(read.GetKeyCount(), 3);
}
} // namespace
