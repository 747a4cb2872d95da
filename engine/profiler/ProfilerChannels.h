// The profiler's fixed channel table: names, text formats, graph ranges, sources and sample modes.
// Constant data; any thread.
#pragma once

#include <cstdint>

// Who feeds a channel; channels of sources 1 and 2 are sampled on the render thread.
enum ProfilerSource : uint32_t
{
    PROFILER_SOURCE_MAIN = 0,
    PROFILER_SOURCE_RENDER = 1,
    PROFILER_SOURCE_WORKER = 2,
};

// How a channel's value becomes a sample.
enum ProfilerSampleMode : uint32_t
{
    PROFILER_MODE_TIMER = 0,   // accumulated milliseconds, then the accumulator restarts at 0
    PROFILER_MODE_COUNTER = 1, // the value, then reset to 0
    PROFILER_MODE_GAUGE = 2,   // the value, kept
};

// One row of the channel table.
struct ProfilerChannelInfo
{
    const char* name;
    const char* format;
    float graphMinimum;
    float graphMaximum;
    uint32_t source;
    uint32_t mode;
    uint8_t threeValues; // 1: the text gets minimum, mean and maximum; 0: mean and maximum
};

constexpr uint32_t kProfilerChannelCount = 81;
constexpr uint32_t kProfilerFPSChannel = 0;
constexpr uint32_t kProfilerVideoDecodeChannel = 19;

// The row of a channel index below kProfilerChannelCount.
const ProfilerChannelInfo& GetProfilerChannelInfo(uint32_t channel);
