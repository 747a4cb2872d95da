// The profiler (script global gProfiler): 81 named statistics channels fed by every subsystem,
// each with a history of 209 samples, drawn as graphs with a text line per channel.
//
// Which channels are active is an 81-bit mask kept in the user configuration; the active copy is
// changed only on the render thread, through sub-command 0 of the profiler's render call, and read
// anywhere without a lock. Main-thread channels (source 0) are sampled by Render on the main thread
// and sent to the render thread as (channel, value) pairs (sub-command 2); channels of sources 1
// and 2 are sampled on the render thread at the start of the draw (sub-command 1). Histories
// belong to the render thread. Mode-2 value updates (callers on worker threads) and the render
// thread's sampling take the profiler's critical section.
//
// Threads: Init, LoadOverlayFont, Close, EnableProfiler and Render on the main thread; the graph
// geometry on the render thread;
// StartTimer, StopTimer, AddValue and SetValue on the thread that feeds the channel (mode 2 from
// any thread, also several at once); HandleRenderCommand and the history getters on the render thread (tests read them
// after a synchronous submit).
#pragma once

#include "core/math/Vector3.h"
#include "core/reflection/RTTIBlockProperties.h"
#include "core/time/Time.h"
#include "engine/profiler/ProfilerChannels.h"
#include "platform/os/Sync.h"

#include <atomic>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <string>

class CommandRingBuffer;
class NorvexRenderer;
namespace gpu
{
class GpuVertexBuffer;
}
class Resource;

// Sub-commands of the profiler's render call.
enum ProfilerSubCommand : uint32_t
{
    PROFILER_COMMAND_MASK = 0,    // three u32 mask words, u32 operation
    PROFILER_COMMAND_DRAW = 1,    // u32 width, u32 height
    PROFILER_COMMAND_SAMPLES = 2, // u32 n, then n x {u32 channel, f32 value}
    PROFILER_COMMAND_CLEAR = 3,   // none
};

// Operations of sub-command 0 on the active mask.
enum ProfilerMaskOperation : uint32_t
{
    PROFILER_MASK_OR = 0,
    PROFILER_MASK_AND_NOT = 1,
    PROFILER_MASK_SET = 2,
    PROFILER_MASK_XOR = 3,
};

// Callers on other threads pass this mode to the value and timer calls.
constexpr uint32_t kProfilerCallerOtherThread = 2;

// Statistics channels with histories and their render-thread overlay.
class Profiler
{
public:
    static constexpr uint32_t kChannelCount = kProfilerChannelCount;
    static constexpr uint32_t kHistorySize = 209;
    static constexpr uint32_t kMaskWords = 3;
    static constexpr size_t kMaxPatternLength = 255;
    using Mask = StaticBitVector<kChannelCount>;

    Profiler();
    Profiler(const Profiler&) = delete;
    Profiler& operator=(const Profiler&) = delete;

    // Keeps the configuration's mask; when there is one, the render thread takes it as the active
    // mask and clears the histories.
    void Init(Mask* configMask);
    // Requests the overlay font and loads it, blocking (engine start-up, before Init).
    void LoadOverlayFont();
    // Releases the overlay font.
    void Close();

    // Null pattern: every channel; else the channels whose lower-cased name contains the
    // lower-cased pattern. Nothing without a configuration mask.
    void EnableProfiler(const char* pattern, bool enable);
    void DisableProfiler(const char* pattern) { EnableProfiler(pattern, false); }

    // Sections nest: only the outermost pair of a channel is timed. With kProfilerCallerOtherThread
    // the nesting is counted per thread, so several threads may time one channel at once; their
    // times add up.
    void StartTimer(uint32_t channel, uint32_t callerMode);
    void StopTimer(uint32_t channel, uint32_t callerMode);
    void AddValue(uint32_t channel, float value, uint32_t callerMode);
    void SetValue(uint32_t channel, float value, uint32_t callerMode);

    // Sends the main-thread samples, then sets the screen camera and posts the draw.
    void Render(uint32_t width, uint32_t height);

    // Render thread: one profiler sub-command with the reader at its payload.
    void HandleRenderCommand(uint32_t subCommand, CommandRingBuffer& reader);
    void AddSample(uint32_t channel, float value);

    bool IsActive(uint32_t channel) const;
    float GetCurrentValue(uint32_t channel) const;
    uint32_t GetSampleCount(uint32_t channel) const;
    // Sample `age` steps back from the newest (0 = newest); 0 when out of range.
    float GetRawSample(uint32_t channel, uint32_t age) const;
    float GetNormalizedSample(uint32_t channel, uint32_t age) const;
    // The channel's text line ("" with no samples).
    std::string GetChannelText(uint32_t channel) const;
    bool IsOverlayFontLoaded() const;

    // Render thread, made and released with the renderer's shared device objects: the graph's
    // vertex buffer (its scale, kGraphScaleBytes of a static table) and its tick-mark line list, one
    // pair per history sample from (i, 0, 0) down to (i, kGraphTickLength, 0).
    static constexpr uint32_t kGraphScaleBytes = 132;
    // 1/59 of the graph's unit height, exactly as these bits give it.
    static constexpr float kGraphTickLength = std::bit_cast<float>(0xBC8AD8F3u);
    void CreateGraphGeometry();
    void ReleaseGraphGeometry();
    gpu::GpuVertexBuffer* GetGraphVertexBuffer() const { return m_graphBuffer; }
    const Vector3* GetGraphTickMarks() const { return m_graphTicks; }

private:
    struct Channel
    {
        uint32_t nesting = 0;
        uint32_t running = 0;
        Time timerStart;
        Time accumulator;
        float value = 0.0f;
        float raw[kHistorySize] = {};
        float normalized[kHistorySize] = {};
        uint32_t writeIndex = 0;
        uint32_t sampleCount = 0;
    };

    // One thread's open section of a channel timed with kProfilerCallerOtherThread.
    struct ThreadSection
    {
        uint32_t nesting = 0;
        bool running = false;
        Time start;
    };
    static ThreadSection* ThreadSections();

    static void RenderCall(NorvexRenderer& renderer, uint32_t subCommand, CommandRingBuffer& reader);
    void PostMask(const Mask& mask, uint32_t operation);
    void PostClear();
    void SendMainThreadSamples(NorvexRenderer& renderer);
    void ApplyMask(const uint32_t words[kMaskWords], uint32_t operation);
    void SampleRenderChannels();
    void ClearHistories();
    // The value a channel's sample takes (timers in milliseconds), leaving it as its mode asks.
    float TakeSample(Channel& channel, uint32_t mode);
    // Render thread: the graphs and text lines of the active channels (ProfilerOverlay.cpp).
    void DrawOverlay(uint32_t width, uint32_t height);

    Channel m_channels[kChannelCount];
    Mask* m_configMask = nullptr;
    std::atomic<uint32_t> m_active[kMaskWords] = {};
    os::CriticalSection m_lock;
    Resource* m_overlayFont = nullptr;
    gpu::GpuVertexBuffer* m_graphBuffer = nullptr;
    Vector3 m_graphTicks[2 * kHistorySize];
};

extern Profiler gProfiler;
