// The whole engine started over a kit-made data root, with the Game started on top of it and a
// recording delegate. Test thread only; the Game closes before the engine.
#pragma once

#include "engine/Game.h"
#include "support/EngineStartupFixture.h"
#include "support/RecordingGameDelegate.h"

class GameEngineFixture : public EngineStartupFixture
{
protected:
    void SetUp() override
    {
        EngineStartupFixture::SetUp();
        ASSERT_TRUE(MakeDataRoot(false));
        ASSERT_TRUE(Init());
        gGame.Init(&m_window, 320, 240, &m_delegate, nullptr, 0);
        m_delegate.calls.clear();
        m_log.Clear();
    }
    void TearDown() override
    {
        gGame.Close();
        EngineStartupFixture::TearDown();
    }

    RecordingGameDelegate m_delegate;
};
