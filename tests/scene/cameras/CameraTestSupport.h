// Shared set-up of the camera tests: the manual counter, the three game timers and the frame step
// installed as the camera's clocks, and helpers that advance them like a game frame does.
#pragma once

#include "core/math/Matrix.h"
#include "core/math/Quaternion.h"
#include "core/time/GameTimer.h"
#include "engine/EngineTimer.h"
#include "engine/Game.h"
#include "platform/os/Clock.h"
#include "scene/SceneClassRegistration.h"
#include "scene/cameras/CameraClocks.h"
#include "support/ConsoleCapture.h"

#include <gtest/gtest.h>

#include <cmath>

inline bool IsFinite(const Matrix& m)
{
    for (const Vector& row : m.rows)
        if (!std::isfinite(row.x) || !std::isfinite(row.y) || !std::isfinite(row.z) || !std::isfinite(row.w))
            return false;
    return true;
}

inline void ExpectNear(const Vector& actual, const Vector& expected, float tolerance = 1e-4f)
{
    EXPECT_NEAR(actual.x, expected.x, tolerance);
    EXPECT_NEAR(actual.y, expected.y, tolerance);
    EXPECT_NEAR(actual.z, expected.z, tolerance);
    EXPECT_NEAR(actual.w, expected.w, tolerance);
}

// Same rotation (q and -q are the same).
inline void ExpectSameRotation(const Quaternion& a, const Quaternion& b, float tolerance = 1e-4f)
{
    const float dot = a.x * b.x + a.y * b.y + a.z * b.z + a.w * b.w;
    EXPECT_NEAR(std::fabs(dot), 1.0f, tolerance);
}

// A point transformed as a row vector by m (w = 1 in).
inline Vector TransformPoint(const Vector& p, const Matrix& m)
{
    Vector v(p.x, p.y, p.z, 1.0f);
    v.Transform(m);
    return v;
}

// The clocks of a game frame: the manual counter, the engine timer, the three game timers the camera
// reads and the frame step, installed as the camera's clocks.
class CameraClockRig
{
public:
    static constexpr int64_t kSecond = os::kCounterFrequency;

    void Install()
    {
        os::EnableManualCounter(100 * kSecond);
        gEngineTimer.Reset();
        second.Reset();
        third.Reset();
        fourth.Reset();
        gGame.ResetTimeMultiplier();
        gCameraClocks.Install(&second, &third, &fourth, &frameStep);
    }
    void Remove()
    {
        gCameraClocks.Uninstall();
        gGame.ResetTimeMultiplier();
        os::DisableManualCounter();
    }
    // One frame of `seconds` of real time: the engine timer and the game timers move, the game's
    // frame step is the real step times the multiplier.
    void Frame(float seconds)
    {
        os::AdvanceManualCounter(int64_t(double(seconds) * double(kSecond)));
        gEngineTimer.Advance(false);
        const float step = seconds * gGame.GetTimeMultiplier();
        frameStep = step;
        second.Tick(step);
        third.Tick(step);
        fourth.Tick(step);
    }

    GameTimer second;
    GameTimer third;
    GameTimer fourth;
    float frameStep = 0.0f;
};

class CameraTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        RegisterSceneClasses();
        m_clocks.Install();
    }
    void TearDown() override { m_clocks.Remove(); }
    void Frame(float seconds) { m_clocks.Frame(seconds); }

    CameraClockRig m_clocks;
    GameTimer& m_second = m_clocks.second;
    GameTimer& m_third = m_clocks.third;
    GameTimer& m_fourth = m_clocks.fourth;
    ConsoleCapture m_log;
};
