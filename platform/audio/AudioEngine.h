// platform/audio: the software mixer that stands in for the system's audio device.
//
// An Engine has one MasteringVoice (the float bus: channel count and sample rate) and any number of
// SourceVoices. A source voice is created from a wave format (PCM 8/16-bit, or ADPCM which it
// decodes while mixing; anything else is refused), is fed AudioBuffers that stay the caller's
// memory until the voice stops counting them as queued, and is started, stopped, told to exit its
// loop, and given a volume, a frequency ratio and an output matrix. Those changes either apply at
// once (operation set 0) or wait for CommitChanges of their operation set, which applies them all
// between two mix blocks.
//
// Every 10 ms of audio the mixer reads each running voice's buffers, resamples them linearly to the
// bus rate (frequency ratio x source rate / bus rate), multiplies by volume and matrix, sums into
// the bus, and hands the block to the output: a MemoryOutput (tests), a WAV file (the default
// engine writes one when NORVEX_AUDIO_WAV names it) or nowhere. A block is mixed voice by voice, in
// creation order, into one row per bus channel: each voice finds where its resampler stands at
// every output frame of the block (PhaseTrack: exact fixed-point positions, the block's start plus
// the frame's index times the step), reads the source frames it passes in runs and adds them with
// vector arithmetic (InterpolatedMix). Every value is the one a frame-by-frame loop using those
// positions gives: the same float operations in the same order. In RealTime mode the engine's own
// "AudioMixer" thread does this at wall-clock pace and counts a glitch whenever it falls more
// than one block behind; in Manual mode there is no thread and RenderBlocks steps the mix.
//
// Threads: one lock guards the engine, its voices and the deferred changes, so any thread may call
// them; the mixing thread takes it for one block at a time. Positioner3D (the 3D calculation) and
// the WAV helpers are separate and need no engine. Failures return false or null; GetLastError
// says why.
#pragma once

#include "platform/audio/MixerConfig.h"
#include "platform/audio/SourceVoice.h"
#include "platform/audio/WavFile.h"
#include "platform/os/Thread.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace audio
{
constexpr uint32_t kBlockMilliseconds = 10;
constexpr uint32_t kDefaultChannels = 2;
constexpr uint32_t kDefaultSampleRate = 48000;

struct PerformanceData
{
    uint32_t glitchesSinceEngineStarted = 0;
    uint32_t activeSourceVoiceCount = 0;
    uint32_t totalSourceVoiceCount = 0;
    uint64_t blocksMixed = 0;
};

// The output bus every source voice mixes into; made and owned by its Engine.
class MasteringVoice
{
public:
    uint32_t GetChannelCount() const { return m_channels; }
    uint32_t GetSampleRate() const { return m_sampleRate; }
    // Refused while source voices exist.
    bool Destroy();

private:
    friend class Engine;
    MasteringVoice(Engine& engine, uint32_t channels, uint32_t sampleRate)
        : m_engine(engine), m_channels(channels), m_sampleRate(sampleRate) {}

    Engine& m_engine;
    const uint32_t m_channels;
    const uint32_t m_sampleRate;
};

// The mixer: voices, deferred changes, the mix loop and its output.
class Engine
{
public:
    // Null when the configuration makes the device fail.
    static std::unique_ptr<Engine> Create();
    static std::unique_ptr<Engine> Create(const MixerConfig& config);
    // Stops the mixing thread, destroys every voice and closes the output.
    ~Engine();
    Engine(const Engine&) = delete;
    Engine& operator=(const Engine&) = delete;

    // 0 picks the defaults (2 channels, 48000 Hz); the rate must be a multiple of 100 Hz.
    MasteringVoice* CreateMasteringVoice(uint32_t channels = 0, uint32_t sampleRate = 0);
    MasteringVoice* GetMasteringVoice() const;
    // Null when there is no mastering voice or the format cannot be decoded.
    SourceVoice* CreateSourceVoice(const WaveFormat& format, uint32_t flags = 0,
                                   float maxFrequencyRatio = kDefaultMaxFrequencyRatio);

    // Applies the deferred changes of one operation set (kCommitAll: of every set), in call order.
    bool CommitChanges(uint32_t operationSet);
    PerformanceData GetPerformanceData() const;
    std::string GetLastError() const;

    EngineMode GetMode() const { return m_config.mode; }
    // The capture when the output is memory, else null.
    std::shared_ptr<MemoryOutput> GetMemoryOutput() const { return m_memory; }
    // Manual mode only: mixes `count` blocks of 10 ms now. False without a mastering voice.
    bool RenderBlocks(uint32_t count);
    // Counts glitches as if the mixer had fallen behind (for tests of glitch reporting).
    void SimulateGlitches(uint32_t count);

private:
    friend class SourceVoice;
    friend class MasteringVoice;

    enum class ChangeKind { Start, Stop, ExitLoop, Volume, FrequencyRatio, OutputMatrix };
    struct PendingChange
    {
        SourceVoice* voice;
        uint32_t operationSet;
        ChangeKind kind;
        float value;
        std::vector<float> levels;
    };

    explicit Engine(const MixerConfig& config);

    // Lock held from here on.
    void SetError(std::string text);
    void Defer(PendingChange change);
    static void Apply(const PendingChange& change);
    void DestroyVoiceLocked(SourceVoice* voice);
    bool DestroyMasteringLocked();
    void MixBlockLocked();

    static void MixThreadEntry(void* engine);
    void MixThreadMain();

    const MixerConfig m_config;
    std::shared_ptr<MemoryOutput> m_memory;
    mutable std::mutex m_lock;
    std::unique_ptr<MasteringVoice> m_mastering;
    std::vector<SourceVoice*> m_voices;
    std::vector<PendingChange> m_pending;
    std::vector<float> m_bus;
    // The block as the voices mix it: one row of frames per bus channel.
    CacheLineVector<float> m_rows;
    MixScratch m_scratch;
    WavWriter m_wav;
    std::string m_lastError;
    uint32_t m_glitches = 0;
    uint64_t m_blocksMixed = 0;

    os::Thread m_thread;
    std::atomic<bool> m_stopThread{false};
};
} // namespace audio
