// Shared set-up of the input tests: the simulated hardware back at its start (keyboard and mouse
// only), the manual clock, and the log captured.
#pragma once

#include "core/time/Time.h"
#include "platform/input/InputHardware.h"
#include "platform/os/Clock.h"
#include "support/ConsoleCapture.h"

#include <gtest/gtest.h>

#include <cstdint>

class InputTest : public testing::Test
{
protected:
    static constexpr int64_t kSecond = os::kCounterFrequency;

    void SetUp() override
    {
        input::ResetInputHardware();
        os::EnableManualCounter(1000 * kSecond);
        m_log.Clear();
    }
    void TearDown() override
    {
        os::DisableManualCounter();
        input::ResetInputHardware();
    }

    // Advances the clock and returns the new time.
    Time Advance(double seconds)
    {
        os::AdvanceManualCounter(int64_t(seconds * double(kSecond)));
        return Time::Now();
    }
    size_t CountMessages(const std::string& text) const
    {
        size_t count = 0;
        for (const CapturedMessage& message : m_log.Messages())
            count += message.text == text;
        return count;
    }

    ConsoleCapture m_log;
};
