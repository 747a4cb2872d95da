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

// The channels fed from code, by their index in the table; callers name a channel, never its number.
enum ProfilerChannelId : uint32_t
{
    PROFILER_FPS = 0,
    PROFILER_FRAME_TIME = 1,
    PROFILER_MAIN_FRAME_TIME = 2,
    PROFILER_MAIN_IDLE = 3,
    PROFILER_RENDER_IDLE = 4,
    PROFILER_RENDER_FRAME = 5,
    PROFILER_PRESENT = 6,
    PROFILER_RENDER_ROUND = 7,
    PROFILER_GPU_SYNC = 8,
    PROFILER_DRAW_CALLS = 9,
    PROFILER_TRIANGLES = 10,
    PROFILER_PARTICLE_RENDER_TIME = 12,
    PROFILER_PARTICLE_MULTIPLIER = 13,
    PROFILER_PARTICLES_ON_SCREEN = 14,
    PROFILER_SFX_TIME = 15,
    PROFILER_VISIBLE_ENTITIES = 16,
    PROFILER_DYNAMIC_GEOMETRY = 17,
    PROFILER_UI_INSTANCES = 18,
    PROFILER_TOTAL_FRAME_TIME = 22,
    PROFILER_GAME_TICK_COUNT = 23,
    PROFILER_GAME_TICK = 24,
    PROFILER_LOS = 26,
    PROFILER_LOS_TRIANGLES = 27,
    PROFILER_PATHFINDING = 28,
    PROFILER_CPU_SKINNING = 29,
    PROFILER_LUA_GC_TIME = 32,
    PROFILER_LUA_GC_MEM = 33,
    PROFILER_LUA_MEM = 34,
    PROFILER_ENTITY_INST = 35,
    PROFILER_PHYSICS_TIME = 36,
    PROFILER_SOUND_INSTANCES = 39,
    PROFILER_ZOMBIE_SOUND_INSTANCES = 40,
    PROFILER_SOUND_ROUND_TIME = 41,
    PROFILER_SOUND_TICK = 42,
    PROFILER_SOUND_DECODE_TIME = 43,
    PROFILER_SOUND_UPLOAD_TIME = 44,
    PROFILER_SOUND_BYTES_DECODED = 45,
    PROFILER_NET_TICK_MAIN = 46,
    PROFILER_NET_SENT_ENTITY = 50,
    PROFILER_NET_DYNAMIC_MID = 63,
    PROFILER_NET_STATIC_MID = 64,
    PROFILER_MP_PROPS_ENTITY_TICK_NUM = 65,
    PROFILER_RESOURCE_LOADING = 67,
    PROFILER_TEST_B = 69,
    PROFILER_TEST_C = 70,
    PROFILER_TEST_D = 71,
    PROFILER_TEST_E = 72,
    PROFILER_TEST_F = 73,
    PROFILER_TEST_G = 74,
    PROFILER_TEST_H = 75,
    PROFILER_TEST_I = 76,
    PROFILER_TEST_J = 77,
    PROFILER_TEST_L = 79,
};

// The row of a channel index below kProfilerChannelCount.
const ProfilerChannelInfo& GetProfilerChannelInfo(uint32_t channel);
