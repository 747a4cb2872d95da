// The profiler's render-thread side: its render call's sub-commands, sampling and histories.
#include "core/console/GameConsole.h"
#include "core/threads/CommandRingBuffer.h"
#include "engine/profiler/Profiler.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace
{
template <typename T>
bool ReadValue(CommandRingBuffer& reader, T& value)
{
    return reader.Read(&value, sizeof(T));
}
} // namespace

void Profiler::RenderCall(NorvexRenderer&, uint32_t subCommand, CommandRingBuffer& reader)
{
    Profiler* profiler = nullptr;
    if (!ReadValue(reader, profiler) || profiler == nullptr)
    {
        gConsole.Error(CONSOLE_CHANNEL_RENDER, "Profiler command %u without its profiler", subCommand);
        return;
    }
    profiler->HandleRenderCommand(subCommand, reader);
}

void Profiler::HandleRenderCommand(uint32_t subCommand, CommandRingBuffer& reader)
{
    switch (subCommand)
    {
    case PROFILER_COMMAND_MASK:
    {
        uint32_t words[kMaskWords] = {};
        uint32_t operation = 0;
        bool ok = true;
        for (uint32_t& word : words)
            ok = ok && ReadValue(reader, word);
        if (ok && ReadValue(reader, operation))
            ApplyMask(words, operation);
        break;
    }
    case PROFILER_COMMAND_DRAW:
    {
        uint32_t width = 0;
        uint32_t height = 0;
        if (!ReadValue(reader, width) || !ReadValue(reader, height))
            break;
        SampleRenderChannels();
        DrawOverlay(width, height);
        break;
    }
    case PROFILER_COMMAND_SAMPLES:
    {
        uint32_t count = 0;
        if (!ReadValue(reader, count))
            break;
        for (uint32_t i = 0; i < count; ++i)
        {
            uint32_t channel = 0;
            float value = 0.0f;
            if (!ReadValue(reader, channel) || !ReadValue(reader, value))
                break;
            AddSample(channel, value);
        }
        break;
    }
    case PROFILER_COMMAND_CLEAR:
        ClearHistories();
        break;
    default:
        gConsole.Error(CONSOLE_CHANNEL_RENDER, "Unknown profiler command %u", subCommand);
        break;
    }
}

void Profiler::ApplyMask(const uint32_t words[kMaskWords], uint32_t operation)
{
    for (uint32_t w = 0; w < kMaskWords; ++w)
    {
        const uint32_t old = m_active[w].load(std::memory_order_relaxed);
        uint32_t next = old;
        switch (operation)
        {
        case PROFILER_MASK_OR:
            next = old | words[w];
            break;
        case PROFILER_MASK_AND_NOT:
            next = old & ~words[w];
            break;
        case PROFILER_MASK_SET:
            next = words[w];
            break;
        case PROFILER_MASK_XOR:
            next = old ^ words[w];
            break;
        default:
            gConsole.Error(CONSOLE_CHANNEL_RENDER, "Unknown profiler mask operation %u", operation);
            return;
        }
        m_active[w].store(next, std::memory_order_release);
    }
}

float Profiler::TakeSample(Channel& channel, uint32_t mode)
{
    float sample = channel.value;
    if (mode == PROFILER_MODE_TIMER)
    {
        sample = float(channel.accumulator.ToMilliseconds());
        channel.accumulator = gZeroTime;
    }
    else if (mode == PROFILER_MODE_COUNTER)
        channel.value = 0.0f;
    return sample;
}

void Profiler::SampleRenderChannels()
{
    os::ScopedLock lock(m_lock);
    for (uint32_t i = 0; i < kChannelCount; ++i)
    {
        const ProfilerChannelInfo& info = GetProfilerChannelInfo(i);
        if (info.source != PROFILER_SOURCE_MAIN)
            AddSample(i, TakeSample(m_channels[i], info.mode));
    }
}

void Profiler::AddSample(uint32_t channel, float value)
{
    if (channel >= kChannelCount)
        return;
    const ProfilerChannelInfo& info = GetProfilerChannelInfo(channel);
    Channel& record = m_channels[channel];
    // Channel 0 is fed frame times in milliseconds and graphed as frames per second.
    const float graphed = channel == kProfilerFPSChannel ? 1000.0f / value : value;
    const float position = (graphed - info.graphMinimum) / (info.graphMaximum - info.graphMinimum);
    record.raw[record.writeIndex] = value;
    record.normalized[record.writeIndex] = std::isnan(position) ? 0.0f : std::clamp(position, 0.0f, 1.0f);
    record.writeIndex = (record.writeIndex + 1) % kHistorySize;
    ++record.sampleCount;
}

void Profiler::ClearHistories()
{
    for (Channel& channel : m_channels)
    {
        std::fill(std::begin(channel.raw), std::end(channel.raw), 0.0f);
        std::fill(std::begin(channel.normalized), std::end(channel.normalized), 0.0f);
        channel.writeIndex = 0;
        channel.sampleCount = 0;
    }
}

uint32_t Profiler::GetSampleCount(uint32_t channel) const
{
    return channel < kChannelCount ? m_channels[channel].sampleCount : 0;
}

float Profiler::GetRawSample(uint32_t channel, uint32_t age) const
{
    if (channel >= kChannelCount || age >= std::min(m_channels[channel].sampleCount, kHistorySize))
        return 0.0f;
    const Channel& record = m_channels[channel];
    return record.raw[(record.writeIndex + kHistorySize - 1 - age) % kHistorySize];
}

float Profiler::GetNormalizedSample(uint32_t channel, uint32_t age) const
{
    if (channel >= kChannelCount || age >= std::min(m_channels[channel].sampleCount, kHistorySize))
        return 0.0f;
    const Channel& record = m_channels[channel];
    return record.normalized[(record.writeIndex + kHistorySize - 1 - age) % kHistorySize];
}

std::string Profiler::GetChannelText(uint32_t channel) const
{
    if (channel >= kChannelCount)
        return std::string();
    const uint32_t n = std::min(m_channels[channel].sampleCount, kHistorySize);
    if (n == 0)
        return std::string();
    float minimum = GetRawSample(channel, 0);
    float maximum = minimum;
    double sum = 0.0;
    for (uint32_t age = 0; age < n; ++age)
    {
        const float sample = GetRawSample(channel, age);
        minimum = std::min(minimum, sample);
        maximum = std::max(maximum, sample);
        sum += sample;
    }
    float mean = float(sum / n);
    if (channel == kProfilerFPSChannel)
    {
        // Frame times become rates: the longest frame gives the lowest rate.
        auto rate = [](float milliseconds) { return milliseconds > 0.0f ? 1000.0f / milliseconds : 0.0f; };
        const float lowest = rate(maximum);
        const float highest = rate(minimum);
        mean = rate(mean);
        minimum = lowest;
        maximum = highest;
    }
    const ProfilerChannelInfo& info = GetProfilerChannelInfo(channel);
    char text[128];
    if (info.threeValues != 0)
        std::snprintf(text, sizeof(text), info.format, double(minimum), double(mean), double(maximum));
    else
        std::snprintf(text, sizeof(text), info.format, double(mean), double(maximum));
    return text;
}
