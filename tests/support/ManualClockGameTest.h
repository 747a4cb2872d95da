// The Game started over a scene fixture, with the engine's counter in the test's hands so that each
// frame advances by an exact amount. Test thread only; the Game closes before the scene fixture.
#pragma once

#include "engine/EngineClock.h"
#include "engine/EngineTimer.h"
#include "engine/Game.h"
#include "platform/os/Clock.h"
#include "support/RecordingGameDelegate.h"

template <typename SceneFixture>
class ManualClockGameTest : public SceneFixture
{
protected:
    void SetUp() override
    {
        SceneFixture::SetUp();
        os::EnableManualCounter(os::QueryCounter());
        gEngineTimer.Reset();
        gEngineClock.Reset();
        gGame.Init(&m_delegate);
    }
    void TearDown() override
    {
        gGame.Close();
        os::DisableManualCounter();
        SceneFixture::TearDown();
    }
    // One frame of a thirtieth of a second.
    void Frame()
    {
        os::AdvanceManualCounter(os::kCounterFrequency / 30);
        gGame.Update(true);
    }

    RecordingGameDelegate m_delegate;
};
