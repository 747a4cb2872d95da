// Base of the sound engine fixtures: captures the log and starts a harness with "tone.ogg", half a
// second of 440 Hz at half level.
#pragma once

#include "support/ConsoleCapture.h"
#include "support/SoundTestHarness.h"

#include <gtest/gtest.h>

class SoundTestBase : public ::testing::Test
{
protected:
    static constexpr uint32_t kRate = 48000;

    void Start(SoundTestHarness& sound)
    {
        sound.WriteOgg("tone.ogg", SoundWriter::MakeTone({440.0}, kRate, 0.5, 0.5));
        ASSERT_TRUE(sound.Start());
    }

    ConsoleCapture m_log;
};
