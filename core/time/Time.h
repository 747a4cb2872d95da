// The system clock: Time values count 10 MHz hardware-counter ticks since the core started.
// Any thread may read the clock; InitHardwareTimer runs once at core start-up, before other threads.
#pragma once

#include <cstdint>

// A signed tick count of the hardware counter, measured from the core's start.
class Time
{
public:
    constexpr Time() = default;
    constexpr explicit Time(int64_t ticks) : m_ticks(ticks) {}

    // Takes the counter's current value as the start and reads its frequency.
    static void InitHardwareTimer();
    static int64_t GetFrequency();

    // Now, in ticks since the start.
    void LoadHardwareTime();
    static Time Now();

    double ToSeconds() const;
    double ToMilliseconds() const;
    // Only defined for non-negative values (differences of a later minus an earlier time).
    uint64_t ToMicroseconds() const;

    // Logs "label seconds" ("%s %.6f"), or the seconds alone when label is null.
    void Log(uint32_t kind, uint8_t channel, const char* label) const;

    constexpr int64_t GetTicks() const { return m_ticks; }
    constexpr Time operator-(const Time& other) const { return Time(m_ticks - other.m_ticks); }
    constexpr Time operator+(const Time& other) const { return Time(m_ticks + other.m_ticks); }
    Time& operator+=(const Time& other)
    {
        m_ticks += other.m_ticks;
        return *this;
    }
    constexpr bool operator==(const Time& other) const = default;

private:
    int64_t m_ticks = 0;
};

// The reset value of timers and accumulators.
inline constexpr Time gZeroTime{};
