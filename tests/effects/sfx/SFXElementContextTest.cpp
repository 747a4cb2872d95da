#include "effects/sfx/SFXElementContext.h"

#include "support/ConsoleCapture.h"

#include <gtest/gtest.h>

namespace
{
// A kind with one keyed envelope of its own behind the base states.
class KeyedElement : public SFXElementDefinition
{
public:
    static constexpr uint32_t kOwnState = BASE_STATE_COUNT;

    void ResolveResources(bool load) override
    {
        SFXElementDefinition::ResolveResources(load);
        Bind(curve, kOwnState);
    }
    void BindPast() { Bind(curve, kMaxEnvelopeStates); }
    TEnvelope<Vector> curve;
};

class BusyContext : public SFXElementContext
{
public:
    bool IsBusy() const override { return true; }
};

template <typename T>
T& Edit(const T& envelope)
{
    return const_cast<T&>(envelope);
}

Vector Place(const Matrix& m, const Vector& p)
{
    Vector out(0.0f, 0.0f, 0.0f, 0.0f);
    for (int c = 0; c < 4; ++c)
        (&out.x)[c] = p.x * m.At(0, c) + p.y * m.At(1, c) + p.z * m.At(2, c) + p.w * m.At(3, c);
    return out;
}

void ExpectPoint(const Vector& expected, const Vector& actual)
{
    EXPECT_NEAR(expected.x, actual.x, 1e-4f);
    EXPECT_NEAR(expected.y, actual.y, 1e-4f);
    EXPECT_NEAR(expected.z, actual.z, 1e-4f);
}

TEST(SFXElementContextTest, UpdatePlacesThePivotFirstThenScaleRotationAndPosition)
{
    struct Case
    {
        Vector position, rotation, scale, pivot, point, expected;
    } const cases[] = {
        // pivot (1, 0, 0) scaled by 2 then moved by 10: the origin lands at 12.
        {{10, 0, 0, 1}, {0, 0, 0, 0}, {2, 2, 2, 0}, {1, 0, 0, 0}, {0, 0, 0, 1}, {12, 0, 0, 1}},
        // A quarter turn about z takes the pivoted x axis to y, before the position.
        {{0, 5, 0, 1}, {0, 0, 90, 0}, {1, 1, 1, 0}, {3, 0, 0, 0}, {0, 0, 0, 1}, {0, 8, 0, 1}},
        // Scale is per axis and applies to the point and the pivot alike.
        {{0, 0, 0, 1}, {0, 0, 0, 0}, {1, 3, 1, 0}, {0, 1, 0, 0}, {0, 1, 0, 1}, {0, 6, 0, 1}},
    };
    for (const Case& c : cases)
    {
        SFXElementDefinition element;
        Edit(element.GetPosition()).SetConstantValue(c.position);
        Edit(element.GetRotation()).SetConstantValue(c.rotation);
        Edit(element.GetScale()).SetConstantValue(c.scale);
        element.GetPivot().SetConstantValue(c.pivot);
        element.ResolveResources(false);
        SFXElementContext context;
        context.Init(element, Matrix::ONE, 0, 0);
        // Init leaves the pivot out: only the update applies it.
        ExpectPoint(Vector(c.position.x, c.position.y, c.position.z, 1), Place(context.GetLocalMatrix(), Vector(0, 0, 0, 1)));
        context.Update(0.0, 0.0f, element, Matrix::ONE);
        ExpectPoint(c.expected, Place(context.GetLocalMatrix(), c.point));
    }
}

TEST(SFXElementContextTest, WorldMatrixAppliesTheLocalMatrixBeforeTheParent)
{
    SFXElementDefinition element;
    Edit(element.GetPosition()).SetConstantValue(Vector(1, 0, 0, 1));
    element.ResolveResources(false);
    SFXElementContext context;
    context.Update(0.0, 0.0f, element, Matrix::ONE);
    Matrix parent;
    parent.LoadUniformScale(4.0f);
    parent.rows[3] = Vector(0, 0, 7, 1);
    ExpectPoint(Vector(4, 0, 7, 1), Place(context.GetWorldMatrix(parent), Vector(0, 0, 0, 1)));
}

TEST(SFXElementContextTest, AdvanceTimeTracksRunningAndLoopsOverEveryBoundState)
{
    KeyedElement element;
    element.curve.AddKey(Vector(0, 0, 0, 0), 0.0f, -1);
    element.curve.AddKey(Vector(1, 0, 0, 0), 1.0f, -1);
    element.ResolveResources(false);
    SFXElementContext context;
    context.AdvanceTime(element, 0.5f);
    EXPECT_TRUE(context.IsRunning());
    EXPECT_TRUE(context.AreLoopsDone());
    EXPECT_FLOAT_EQ(0.5f, context.GetState(KeyedElement::kOwnState).time);
    // Unkeyed base envelopes advance too.
    EXPECT_FLOAT_EQ(0.5f, context.GetState(SFXElementDefinition::STATE_COLOR).time);
    context.AdvanceTime(element, 0.6f);
    EXPECT_FALSE(context.IsRunning());

    EnvelopeLoop loop;
    loop.m_start = 0;
    loop.m_end = 512;
    element.curve.GetLoops().Add(loop);
    SFXElementContext looping;
    looping.AdvanceTime(element, 3.0f);
    EXPECT_TRUE(looping.IsRunning());
    EXPECT_FALSE(looping.AreLoopsDone());
    element.curve.BreakLoop(looping.GetState(KeyedElement::kOwnState), nullptr);
    looping.AdvanceTime(element, 3.0f);
    EXPECT_FALSE(looping.IsRunning());
    EXPECT_TRUE(looping.AreLoopsDone());

    // A busy kind runs and loops without touching its states.
    BusyContext busy;
    busy.AdvanceTime(element, 5.0f);
    EXPECT_TRUE(busy.IsRunning());
    EXPECT_FALSE(busy.AreLoopsDone());
    EXPECT_EQ(0.0f, busy.GetState(KeyedElement::kOwnState).time);
}

TEST(SFXElementContextTest, ResetRewindsBoundStatesAndTheLocalMatrix)
{
    KeyedElement element;
    Edit(element.GetPosition()).AddKey(Vector(0, 0, 0, 0), 0.0f, -1);
    Edit(element.GetPosition()).AddKey(Vector(4, 0, 0, 0), 2.0f, -1);
    element.ResolveResources(false);
    SFXElementContext context;
    context.Update(0.0, 1.0f, element, Matrix::ONE);
    ExpectPoint(Vector(2, 0, 0, 1), Place(context.GetLocalMatrix(), Vector(0, 0, 0, 1)));
    context.GetState(SFXElementDefinition::kMaxEnvelopeStates - 1).time = 9.0f;
    context.Reset(element);
    for (uint32_t state = 0; state <= KeyedElement::kOwnState; ++state)
        EXPECT_EQ(0.0f, context.GetState(state).time) << state;
    // States no envelope is bound to are left alone.
    EXPECT_EQ(9.0f, context.GetState(SFXElementDefinition::kMaxEnvelopeStates - 1).time);
    ExpectPoint(Vector(0, 0, 0, 1), Place(context.GetLocalMatrix(), Vector(0, 0, 0, 1)));
}

TEST(SFXElementContextTest, ABindingPastTheLastStateIsRefused)
{
    ConsoleCapture capture;
    KeyedElement element;
    element.ResolveResources(false);
    const int32_t bound = element.GetEnvelopeBindings().Count();
    element.BindPast();
    EXPECT_EQ(bound, element.GetEnvelopeBindings().Count());
    EXPECT_TRUE(capture.Contains("binds envelope state 8 past the last (7)"));
}
} // namespace
