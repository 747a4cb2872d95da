#include "engine/TimedFloatTransition.h"
#include "core/time/Time.h"
#include "platform/os/Clock.h"

#include <gtest/gtest.h>

TEST(TimedFloatTransitionTest, EasingsAtAQuarterHalfAndThreeQuarters)
{
    const float ps[] = {0.25f, 0.5f, 0.75f};
    const float sineOut[] = {0.38268343f, 0.70710677f, 0.92387953f};
    const float sineIn[] = {0.07612047f, 0.29289323f, 0.61731657f};
    const float sineInOut[] = {0.14644661f, 0.5f, 0.85355339f};
    for (int i = 0; i < 3; ++i)
    {
        EXPECT_FLOAT_EQ(TimedFloatTransition::Ease(EASING_LINEAR, ps[i]), ps[i]);
        EXPECT_NEAR(TimedFloatTransition::Ease(EASING_SINE_OUT, ps[i]), sineOut[i], 1e-6f);
        EXPECT_NEAR(TimedFloatTransition::Ease(EASING_SINE_IN, ps[i]), sineIn[i], 1e-6f);
        EXPECT_NEAR(TimedFloatTransition::Ease(EASING_SINE_IN_OUT, ps[i]), sineInOut[i], 1e-6f);
        EXPECT_FLOAT_EQ(TimedFloatTransition::Ease(7, ps[i]), ps[i]);
    }
}

TEST(TimedFloatTransitionTest, EasedValueBlendsFromAndToAndEndsPastTheDuration)
{
    TimedFloatTransition transition(1.0f);
    const int64_t second = os::kCounterFrequency;
    transition.Start(Time(0), 3.0f, 2.0f, EASING_SINE_OUT);
    transition.Update(Time(second / 2));
    EXPECT_NEAR(transition.GetCurrent(), 1.0f + 2.0f * 0.38268343f, 1e-5f);
    EXPECT_NEAR(transition.GetProgress(), 0.38268343f, 1e-6f);
    transition.Update(Time(-second));
    EXPECT_FLOAT_EQ(transition.GetCurrent(), 1.0f);
    EXPECT_TRUE(transition.IsActive());
    transition.Update(Time(2 * second));
    EXPECT_TRUE(transition.IsActive());
    transition.Update(Time(3 * second));
    EXPECT_FLOAT_EQ(transition.GetCurrent(), 3.0f);
    EXPECT_FALSE(transition.IsActive());
    EXPECT_FLOAT_EQ(transition.GetProgress(), 1.0f);
}

TEST(TimedFloatTransitionTest, ANewTransitionHalfWayStartsFromTheHalfWayValue)
{
    TimedFloatTransition transition(0.0f);
    const int64_t second = os::kCounterFrequency;
    transition.Start(Time(0), 2.0f, 1.0f, EASING_LINEAR);
    transition.Start(Time(second / 2), 0.0f, 1.0f, EASING_LINEAR);
    EXPECT_FLOAT_EQ(transition.GetCurrent(), 1.0f);
    transition.Update(Time(second));
    EXPECT_FLOAT_EQ(transition.GetCurrent(), 0.5f);
    transition.Update(Time(3 * second));
    EXPECT_FLOAT_EQ(transition.GetCurrent(), 0.0f) << "a frame well past the end lands on the target";
    // Setting a value outright finishes the transition where it stands.
    transition.Set(4.0f);
    EXPECT_FLOAT_EQ(transition.GetProgress(), 1.0f);
    // No duration: the value and the target both jump there, even over a running transition,
    // which a later frame must not resume.
    transition.Start(Time(second), 5.0f, 1.0f, EASING_LINEAR);
    transition.Start(Time(second), -1.0f, 0.0f, EASING_LINEAR);
    EXPECT_EQ(std::vector<float>({transition.GetCurrent(), transition.GetTarget()}),
              std::vector<float>({-1.0f, -1.0f}));
    transition.Update(Time(second * 3 / 2));
    EXPECT_FLOAT_EQ(transition.GetCurrent(), -1.0f);
}
