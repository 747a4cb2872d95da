#include "effects/TEnvelope.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <vector>

namespace
{
Vector V(float x)
{
    return Vector(x, 2.0f * x, -x, 1.0f);
}

EnvelopePlayState At(float seconds, uint32_t key = 0)
{
    EnvelopePlayState state;
    state.time = seconds;
    state.key = key;
    return state;
}

float ValueAt(const TEnvelope<Vector>& envelope, float seconds)
{
    Vector out(-99.0f, -99.0f, -99.0f, -99.0f);
    envelope.Evaluate(At(seconds), out);
    return out.x;
}

// Keys (seconds, x) appended in order.
TEnvelope<Vector> Curve(std::initializer_list<std::pair<float, float>> keys, uint32_t interpolation)
{
    TEnvelope<Vector> envelope;
    envelope.SetInterpolation(interpolation);
    for (const auto& [seconds, x] : keys)
        EXPECT_GE(envelope.AddKey(V(x), seconds, -1), 0);
    return envelope;
}

EnvelopeLoop& AddLoop(Envelope& envelope, const char* name, uint32_t start, uint32_t end)
{
    EnvelopeLoop& loop = envelope.GetLoops()[envelope.GetLoops().Add(EnvelopeLoop())];
    loop.m_name.Set(name);
    loop.m_start = start;
    loop.m_end = end;
    return loop;
}

TEST(TEnvelopeTest, KeysAreAddedInStrictTimeOrderOnly)
{
    TEnvelope<Vector> envelope;
    EXPECT_EQ(envelope.AddKey(V(0), 0.0f, -1), 0);
    EXPECT_EQ(envelope.AddKey(V(1), 1.0f, -1), 1);
    // Equal to the last key, negative, not a number or past the stored range: refused.
    EXPECT_EQ(envelope.AddKey(V(9), 1.0f, -1), -1);
    EXPECT_EQ(envelope.AddKey(V(9), -0.5f, -1), -1);
    EXPECT_EQ(envelope.AddKey(V(9), std::nanf(""), -1), -1);
    EXPECT_EQ(envelope.AddKey(V(9), 5.0e6f, -1), -1);
    EXPECT_EQ(envelope.AddKey(V(3), 3.0f, 7), 2);
    // Inserting needs a time strictly between the neighbours.
    EXPECT_EQ(envelope.AddKey(V(9), 1.0f, 2), -1);
    EXPECT_EQ(envelope.AddKey(V(9), 3.0f, 2), -1);
    EXPECT_EQ(envelope.AddKey(V(2), 2.0f, 2), 2);
    EXPECT_EQ(envelope.AddKey(V(9), 0.0f, 0), -1);
    ASSERT_EQ(envelope.GetKeyCount(), 4);
    for (int32_t i = 0; i < 4; ++i)
    {
        EXPECT_EQ(envelope.GetKeyTime(i), uint32_t(1024 * i));
        EXPECT_EQ(envelope.GetKeyFlags(i), 0);
        EXPECT_FLOAT_EQ(envelope.GetKeyValue(i).x, float(i));
    }
    EXPECT_EQ(Envelope::ToKeyTime(0.9999f), 1023u);
}

TEST(TEnvelopeTest, ANewEnvelopeIsLinearEnabledAndKeepsItsCombineMode)
{
    const TEnvelope<Vector> envelope(Envelope::COMBINE_ADD, V(1));
    EXPECT_EQ(envelope.GetInterpolation(), uint32_t(Envelope::INTERPOLATION_LINEAR));
    EXPECT_TRUE(envelope.IsEnabled());
    EXPECT_EQ(envelope.GetCombineMode(), Envelope::COMBINE_ADD);
    // Copies carry the combine mode, which is no property.
    const TEnvelope<Vector> copy(envelope);
    EXPECT_EQ(copy.GetCombineMode(), Envelope::COMBINE_ADD);
    TEnvelope<Vector> assigned;
    assigned = envelope;
    EXPECT_EQ(assigned.GetCombineMode(), Envelope::COMBINE_ADD);
}

TEST(TEnvelopeTest, FindKeySegmentClassifiesTimes)
{
    const TEnvelope<Vector> envelope = Curve({{1, 0}, {2, 0}, {3, 0}, {4, 0}}, Envelope::INTERPOLATION_LINEAR);
    struct Case
    {
        uint32_t time;
        int result;
        int32_t previous;
        int32_t next;
    } const cases[] = {
        {0, Envelope::SEGMENT_BEFORE_FIRST, -1, 0},  {1024, Envelope::SEGMENT_BEFORE_FIRST, -1, 0},
        {1025, Envelope::SEGMENT_BETWEEN, 0, 1},     {2048, Envelope::SEGMENT_BETWEEN, 0, 1},
        {2049, Envelope::SEGMENT_BETWEEN, 1, 2},     {4095, Envelope::SEGMENT_BETWEEN, 2, 3},
        {4096, Envelope::SEGMENT_AFTER_LAST, 3, -1}, {99999, Envelope::SEGMENT_AFTER_LAST, 3, -1},
    };
    for (const Case& c : cases)
    {
        int32_t previous = -1;
        int32_t next = -1;
        EXPECT_EQ(envelope.FindKeySegment(c.time, previous, next), c.result) << c.time;
        EXPECT_EQ(previous, c.previous) << c.time;
        EXPECT_EQ(next, c.next) << c.time;
    }
    int32_t previous = 0;
    int32_t next = 0;
    EXPECT_EQ(TEnvelope<Vector>().FindKeySegment(5, previous, next), Envelope::SEGMENT_NO_KEYS);
}

TEST(TEnvelopeTest, EvaluationHoldsTheEndKeysAndInterpolatesByType)
{
    // Four keys form one Bezier segment whose handles lie on the line of the linear curve.
    struct Case
    {
        uint32_t interpolation;
        float seconds;
        float expected;
        float tolerance;
    } const cases[] = {
        {Envelope::INTERPOLATION_NONE, 0.0f, 0.0f, 0.0f},
        {Envelope::INTERPOLATION_NONE, 1.5f, 10.0f, 0.0f},
        {Envelope::INTERPOLATION_NONE, 9.0f, 30.0f, 0.0f},
        {Envelope::INTERPOLATION_LINEAR, 0.0f, 0.0f, 0.0f},
        {Envelope::INTERPOLATION_LINEAR, 0.5f, 5.0f, 1e-5f},
        {Envelope::INTERPOLATION_LINEAR, 2.25f, 22.5f, 1e-4f},
        {Envelope::INTERPOLATION_LINEAR, 9.0f, 30.0f, 0.0f},
        {Envelope::INTERPOLATION_CUBIC_BEZIER, 0.0f, 0.0f, 0.0f},
        {Envelope::INTERPOLATION_CUBIC_BEZIER, 0.5f, 5.0f, 0.1f},
        {Envelope::INTERPOLATION_CUBIC_BEZIER, 1.75f, 17.5f, 0.1f},
        {Envelope::INTERPOLATION_CUBIC_BEZIER, 2.9f, 29.0f, 0.1f},
        {Envelope::INTERPOLATION_CUBIC_BEZIER, 9.0f, 30.0f, 0.0f},
    };
    for (const Case& c : cases)
    {
        const TEnvelope<Vector> envelope = Curve({{0, 0}, {1, 10}, {2, 20}, {3, 30}}, c.interpolation);
        // The state's key is trusted only where it holds the time: key 0 is stale past 1 s.
        EXPECT_NEAR(ValueAt(envelope, c.seconds), c.expected, c.tolerance) << c.interpolation << " " << c.seconds;
    }
    // Every component is interpolated.
    const TEnvelope<Vector> linear = Curve({{0, 0}, {1, 10}}, Envelope::INTERPOLATION_LINEAR);
    Vector out;
    linear.Evaluate(At(0.5f), out);
    EXPECT_FLOAT_EQ(out.y, 10.0f);
    EXPECT_FLOAT_EQ(out.z, -5.0f);
    EXPECT_FLOAT_EQ(out.w, 1.0f);
}

TEST(TEnvelopeTest, BezierHandlesShapeTheCurveAndTheSolverInvertsTime)
{
    // Evenly spread control times: X(u) is linear, so u is the time fraction.
    EXPECT_NEAR(Envelope::SolveBezierParameter(0.0f, 1.0f, 2.0f, 3.0f, 0.75f), 0.25f, 1e-6f);
    // Crowded handles: Newton steps pull the parameter to the time within 0.01 s.
    const float u = Envelope::SolveBezierParameter(0.0f, 0.0f, 3.0f, 3.0f, 0.6f);
    const float x = 3.0f * 3.0f * u * u * (1.0f - u) + 3.0f * u * u * u;
    EXPECT_NEAR(x, 0.6f, 0.01f);
    EXPECT_EQ(Envelope::SolveBezierParameter(2.0f, 2.0f, 2.0f, 2.0f, 2.0f), 1.0f);

    // Values 0, 30, 30, 0 at even times: the middle of the segment is 3/4 of the handles' 30.
    const TEnvelope<Vector> hump = Curve({{0, 0}, {1, 30}, {2, 30}, {3, 0}}, Envelope::INTERPOLATION_CUBIC_BEZIER);
    EXPECT_NEAR(ValueAt(hump, 1.5f), 22.5f, 1e-3f);
    // The first key weighs in with its own eighth: 8 lifts the middle by one.
    const TEnvelope<Vector> lifted = Curve({{0, 8}, {1, 30}, {2, 30}, {3, 0}}, Envelope::INTERPOLATION_CUBIC_BEZIER);
    EXPECT_NEAR(ValueAt(lifted, 1.5f), 23.5f, 1e-3f);
}

TEST(TEnvelopeTest, CombineModesMeetTheConstantAndDisabledGivesIt)
{
    struct Case
    {
        uint8_t mode;
        float expected;
    } const cases[] = {{Envelope::COMBINE_KEYS, 4.0f}, {Envelope::COMBINE_MULTIPLY, 12.0f}, {Envelope::COMBINE_ADD, 7.0f}};
    for (const Case& c : cases)
    {
        TEnvelope<Vector> envelope(c.mode, Vector(3.0f, 0.0f, 2.0f, 1.0f));
        envelope.AddKey(Vector(4.0f, 5.0f, 6.0f, 7.0f), 0.0f, -1);
        Vector out;
        envelope.Evaluate(At(0.0f), out);
        EXPECT_FLOAT_EQ(out.x, c.expected) << int(c.mode);
        envelope.SetEnabled(false);
        envelope.Evaluate(At(0.0f), out);
        EXPECT_FLOAT_EQ(out.x, 3.0f) << int(c.mode);
    }
    // The example of an added unit x: every evaluated vector moves by one along x only.
    TEnvelope<Vector> shift(Envelope::COMBINE_ADD, Vector(1.0f, 0.0f, 0.0f, 0.0f));
    shift.AddKey(V(0), 0.0f, -1);
    shift.AddKey(V(10), 1.0f, -1);
    Vector out;
    shift.Evaluate(At(0.5f), out);
    EXPECT_FLOAT_EQ(out.x, 6.0f);
    EXPECT_FLOAT_EQ(out.y, 10.0f);
    EXPECT_FLOAT_EQ(out.w, 1.0f);

    // Colours: the lerp, then the colour product with the constant.
    TEnvelope<HDRColor> color(Envelope::COMBINE_MULTIPLY, HDRColor(255, 0, 255, 255, 2.0f));
    HDRColor c;
    color.Evaluate(At(0.0f), c);
    EXPECT_EQ(c.g, 0);
    EXPECT_FLOAT_EQ(c.multiplier, 2.0f);
    color.AddKey(HDRColor(0, 200, 0, 0, 1.0f), 0.0f, -1);
    color.AddKey(HDRColor(200, 100, 100, 255, 3.0f), 1.0f, -1);
    color.Evaluate(At(0.5f), c);
    EXPECT_EQ(c.r, 100);
    EXPECT_EQ(c.g, 0);
    EXPECT_EQ(c.b, 50);
    EXPECT_FLOAT_EQ(c.multiplier, 4.0f);
    // An added colour on one Bezier segment: the middle weighs the keys 1, 3, 3, 1 (eighths).
    TEnvelope<HDRColor> glow(Envelope::COMBINE_ADD, HDRColor(10, 0, 0, 0, 1.0f));
    glow.SetInterpolation(Envelope::INTERPOLATION_CUBIC_BEZIER);
    for (const float m : {8.0f, 16.0f, 16.0f, 8.0f})
        glow.AddKey(HDRColor(uint8_t(m * 5), 0, 0, 0, m), float(glow.GetKeyCount()), -1);
    glow.Evaluate(At(1.5f), c);
    EXPECT_NEAR(c.multiplier, 15.0f, 1e-3f);
    EXPECT_NEAR(c.r, 80, 1);
}

TEST(TEnvelopeTest, LoopsWrapUntilBrokenThenPlaybackRunsToTheEnd)
{
    TEnvelope<Vector> envelope = Curve({{0, 0}, {1, 10}, {2, 20}, {3, 30}}, Envelope::INTERPOLATION_LINEAR);
    AddLoop(envelope, "Idle", 1024, 2048);
    EnvelopePlayState state;
    Envelope::ResetPlayback(state);
    EXPECT_FALSE(envelope.Advance(state, 1.9f));
    EXPECT_EQ(state.key, 1u);
    EXPECT_FALSE(envelope.Advance(state, 0.2f));
    EXPECT_NEAR(state.time, 1.1f, 1.0f / 1024.0f);
    EXPECT_EQ(state.key, 1u);
    EXPECT_NEAR(ValueAt(envelope, state.time), 11.0f, 0.02f);

    envelope.BreakLoop(state, "Unknown");
    EXPECT_EQ(state.releasedLoops, 0u);
    EXPECT_EQ(state.loop, 0u);
    envelope.BreakLoop(state, "Idle");
    EXPECT_EQ(state.releasedLoops, 1u);
    EXPECT_EQ(state.loop, 1u);
    EXPECT_FALSE(envelope.Advance(state, 1.0f));
    EXPECT_GT(state.time, 2.0f);
    EXPECT_EQ(state.key, 2u);
    EXPECT_TRUE(envelope.Advance(state, 1.0f));

    // Re-armed by name, the loop holds a restarted player again.
    envelope.ActivateLoop(state, "Idle");
    EXPECT_EQ(state.releasedLoops, 0u);
    EXPECT_EQ(state.time, 0.0f);
    EXPECT_FALSE(envelope.Advance(state, 5.0f));
    EXPECT_LT(state.time, 2.0f);
}

TEST(TEnvelopeTest, BreakingAndActivatingWithoutANameActOnEveryLoop)
{
    TEnvelope<Vector> envelope = Curve({{0, 0}, {4, 40}}, Envelope::INTERPOLATION_LINEAR);
    AddLoop(envelope, "A", 0, 1024);
    AddLoop(envelope, "B", 1024, 2048);
    AddLoop(envelope, "A", 2048, 3072);
    EXPECT_EQ(envelope.FindLoop("A"), 0);
    EXPECT_EQ(envelope.FindLoop("B"), 1);
    EXPECT_EQ(envelope.FindLoop("b"), -1);
    EXPECT_EQ(envelope.FindLoop(nullptr), -1);

    EnvelopePlayState state;
    envelope.BreakLoop(state, nullptr);
    EXPECT_EQ(state.releasedLoops, 0xFFFFFFFFu);
    EXPECT_EQ(state.loop, Envelope::kNoLoop);
    EXPECT_FALSE(envelope.Advance(state, 3.5f));
    EXPECT_TRUE(envelope.Advance(state, 1.0f));

    // Releasing the current loop moves the player past every released one.
    Envelope::ReleaseLoop(state, 40);
    envelope.ActivateLoop(state, nullptr);
    EXPECT_EQ(state.releasedLoops, 0u);
    EXPECT_EQ(state.loop, 0u);
    EXPECT_EQ(state.time, 0.0f);
    state.releasedLoops = 2;
    Envelope::ReleaseLoop(state, 0);
    EXPECT_EQ(state.loop, 2u);
    Envelope::ResetPlayback(state);
    EXPECT_EQ(state.loop, 2u);
    EXPECT_EQ(state.key, 0u);
}

TEST(TEnvelopeTest, MalformedCurvesNeverDivideByZeroOrReadPastTheKeys)
{
    // A loop without length holds the player at its start instead of wrapping.
    TEnvelope<Vector> envelope = Curve({{0, 0}, {2, 20}}, Envelope::INTERPOLATION_LINEAR);
    AddLoop(envelope, "Empty", 1024, 1024);
    EnvelopePlayState state;
    EXPECT_FALSE(envelope.Advance(state, 1.5f));
    EXPECT_FLOAT_EQ(state.time, 1.0f);
    AddLoop(envelope, "Backwards", 1024, 512);
    envelope.BreakLoop(state, "Empty");
    EXPECT_FALSE(envelope.Advance(state, 0.5f));
    EXPECT_FLOAT_EQ(state.time, 1.0f);

    // Five Bezier keys: the last segment has no four control points and is finished linearly.
    const TEnvelope<Vector> bezier =
        Curve({{0, 0}, {1, 10}, {2, 20}, {3, 30}, {4, 50}}, Envelope::INTERPOLATION_CUBIC_BEZIER);
    Vector out;
    bezier.Evaluate(At(3.5f, 3), out);
    EXPECT_FLOAT_EQ(out.x, 40.0f);

    // A state whose key lies past the keys is not trusted.
    const TEnvelope<Vector> linear = Curve({{0, 0}, {1, 10}, {2, 20}}, Envelope::INTERPOLATION_LINEAR);
    linear.Evaluate(At(1.5f, 77), out);
    EXPECT_FLOAT_EQ(out.x, 15.0f);

    // Stored keys at one time: the later key's value, never a division by zero.
    std::vector<uint8_t> bytes;
    auto u32 = [&bytes](uint32_t v) {
        for (int i = 0; i < 4; ++i)
            bytes.push_back(uint8_t(v >> (8 * i)));
    };
    auto f32 = [&u32](float f) { u32(std::bit_cast<uint32_t>(f)); };
    auto vec = [&f32](float x) { f32(x), f32(0), f32(0), f32(0); };
    // Envelope: "Interpolation type", "Envelope enabled", "KeyTimes", "KeyFlags", "Loops".
    u32(1), bytes.push_back(1), u32(3), u32(0), u32(1024), u32(1024), u32(0), u32(0);
    // TEnvelopeVector: "Constant value", "Keys".
    vec(0), u32(3), vec(1), vec(2), vec(3);
    TEnvelope<Vector> flat;
    ASSERT_TRUE(flat.DeserializeFromMemory(bytes.data(), bytes.size(), 0));
    ASSERT_EQ(flat.GetKeyCount(), 3);
    EXPECT_EQ(flat.GetKeyFlags(2), 0);
    for (const uint32_t interpolation : {Envelope::INTERPOLATION_LINEAR, Envelope::INTERPOLATION_CUBIC_BEZIER})
    {
        flat.SetInterpolation(interpolation);
        for (const float seconds : {0.5f, 1.0f, 1.5f})
        {
            EnvelopePlayState at;
            flat.Advance(at, seconds);
            flat.Evaluate(at, out);
            EXPECT_FLOAT_EQ(out.x, seconds < 1.0f ? 1.5f : 3.0f) << interpolation << " " << seconds;
        }
    }
}

TEST(TEnvelopeTest, RecordsKeepTheStoredOrderAndTrimUnevenKeys)
{
    TEnvelope<Vector> source(Envelope::COMBINE_ADD, V(5));
    source.SetInterpolation(Envelope::INTERPOLATION_CUBIC_BEZIER);
    source.AddKey(V(1), 0.0f, -1);
    source.AddKey(V(2), 0.5f, -1);
    AddLoop(source, "Idle", 100, 512);
    std::vector<uint8_t> bytes(source.SerializeToMemory(nullptr, 0, 0));
    ASSERT_EQ(source.SerializeToMemory(bytes.data(), bytes.size(), 0), bytes.size());
    // Hand-built: the base table first, then the typed one.
    std::vector<uint8_t> expected;
    auto u32 = [&expected](uint32_t v) {
        for (int i = 0; i < 4; ++i)
            expected.push_back(uint8_t(v >> (8 * i)));
    };
    auto f32 = [&u32](float f) { u32(std::bit_cast<uint32_t>(f)); };
    auto vec = [&f32](const Vector& v) { f32(v.x), f32(v.y), f32(v.z), f32(v.w); };
    u32(2), expected.push_back(1);                 // "Interpolation type", "Envelope enabled"
    u32(2), u32(0), u32(512);                      // "KeyTimes"
    u32(2), expected.push_back(0), expected.push_back(0); // "KeyFlags"
    u32(1), u32(100), u32(512);                    // "Loops": "Start", "End",
    expected.insert(expected.end(), {1, 'I', 'd', 'l', 'e', 0}); // "Name"
    vec(V(5));                                     // "Constant value"
    u32(2), vec(V(1)), vec(V(2));                  // "Keys"
    EXPECT_EQ(bytes, expected);

    TEnvelope<Vector> copy;
    ASSERT_TRUE(copy.DeserializeFromMemory(bytes.data(), bytes.size(), 0));
    EXPECT_TRUE(copy.GetClassProperties()->AreObjectsEqual(&source, &copy));
    EXPECT_STREQ(copy.GetLoops()[0].m_name.CStr(), "Idle");

    // Three key times but two values: cut to two whole keys, and the next key goes after them.
    std::vector<uint8_t> uneven;
    auto w32 = [&uneven](uint32_t v) {
        for (int i = 0; i < 4; ++i)
            uneven.push_back(uint8_t(v >> (8 * i)));
    };
    auto wf = [&w32](float f) { w32(std::bit_cast<uint32_t>(f)); };
    w32(1), uneven.push_back(1), w32(3), w32(0), w32(1024), w32(2048), w32(1), uneven.push_back(7), w32(0);
    wf(0), wf(0), wf(0), wf(0), w32(2), wf(1), wf(2), wf(-1), wf(1), wf(2), wf(4), wf(-2), wf(1);
    TEnvelope<Vector> read;
    ASSERT_TRUE(read.DeserializeFromMemory(uneven.data(), uneven.size(), 0));
    EXPECT_EQ(read.GetKeyCount(), 2);
    EXPECT_EQ(read.GetKeyFlags(0), 7);
    EXPECT_EQ(read.GetKeyFlags(1), 0);
    EXPECT_FLOAT_EQ(ValueAt(read, 0.5f), 1.5f);
    EXPECT_EQ(read.AddKey(V(3), 1.5f, -1), 2);
    EXPECT_EQ(read.GetKeyTime(2), 1536u);
    // Cut anywhere, the record is refused and the envelope kept.
    for (size_t cut = 0; cut < uneven.size(); cut += 5)
        EXPECT_FALSE(read.DeserializeFromMemory(uneven.data(), cut, 0)) << cut;
    EXPECT_EQ(read.GetKeyCount(), 3);
}
} // namespace
