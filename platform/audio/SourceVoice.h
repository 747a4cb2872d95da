// A source voice: plays queued buffers of one wave format into the mastering bus. Made and
// destroyed through its Engine; its calls may come from any thread (they take the engine's lock),
// normally the one thread that drives the engine.
#pragma once

#include "platform/audio/CacheLineVector.h"
#include "platform/audio/WaveFormat.h"

#include <cstdint>
#include <deque>
#include <vector>

namespace audio
{
class Engine;

// Operation set 0 applies a change at once; any other number defers it to Engine::CommitChanges.
constexpr uint32_t kCommitNow = 0;
constexpr uint32_t kCommitAll = 0xFFFFFFFFu;

// Source voice creation flag: a music voice (kept for queries; mixed like any other).
constexpr uint32_t kVoiceMusic = 0x10;

constexpr float kMinFrequencyRatio = 1.0f / 1024.0f;
constexpr float kMaxFrequencyRatio = 1024.0f;
constexpr float kDefaultMaxFrequencyRatio = 2.0f;
constexpr float kMaxVolume = 16777216.0f;

constexpr uint32_t kMaxQueuedBuffers = 64;
// Buffer flag: the last buffer of the stream.
constexpr uint32_t kBufferEndOfStream = 0x40;
constexpr uint32_t kLoopInfinite = 255;
constexpr uint32_t kMaxLoopCount = 254;

// One submitted buffer. The bytes stay the caller's and must not change until the voice no
// longer counts the buffer as queued. Loop positions count sample frames; a loop length of 0 runs
// to the end of the buffer; loopCount 0 plays once, n repeats the region n more times.
struct AudioBuffer
{
    const uint8_t* audioData = nullptr;
    uint32_t audioBytes = 0;
    uint32_t flags = 0;
    uint32_t loopBegin = 0;
    uint32_t loopLength = 0;
    uint32_t loopCount = 0;
    // xWMA only: the decoded byte count at the end of each packet, packetCount u32 little-endian
    // values (the file's seek table). The mixer decodes no xWMA, so a voice refuses a buffer that
    // carries one.
    const uint8_t* packetTable = nullptr;
    uint32_t packetCount = 0;
};

struct VoiceState
{
    // Buffers not yet finished, the one playing included.
    uint32_t buffersQueued = 0;
    // Source sample frames played since the voice was created.
    uint64_t samplesPlayed = 0;
    // The last buffer played carried kBufferEndOfStream (cleared by the next submit).
    bool streamEnded = false;
};

// Working memory the engine lends each voice while it mixes a block. One set for all voices stays in
// the first-level cache from voice to voice, where arrays of each voice's own would not.
struct MixScratch
{
    // Source frames of the block, interleaved.
    std::vector<float> frames;
    // Where the resampler stands at each output frame of the block (PhaseTrack.h).
    CacheLineVector<float> trackT;
    CacheLineVector<int32_t> trackAdvance;
};

// Reads its buffers (PCM 8/16-bit or ADPCM), resamples linearly and mixes with volume and matrix.
class SourceVoice
{
public:
    SourceVoice(const SourceVoice&) = delete;
    SourceVoice& operator=(const SourceVoice&) = delete;

    bool Start(uint32_t operationSet = kCommitNow);
    // Pauses where it is; Start resumes from there.
    bool Stop(uint32_t operationSet = kCommitNow);
    // The playing buffer finishes its current loop pass, then plays to its end.
    bool ExitLoop(uint32_t operationSet = kCommitNow);
    // False (nothing queued) when the buffer is empty, malformed, or the queue is full.
    bool SubmitBuffer(const AudioBuffer& buffer);
    // At once: drops the queued buffers after the one under way (the first, once the voice runs or
    // has played part of it); a voice that never began loses them all.
    void FlushSourceBuffers();
    VoiceState GetState() const;

    bool SetVolume(float volume, uint32_t operationSet = kCommitNow);
    float GetVolume() const;
    // Clamped to kMinFrequencyRatio .. the voice's maximum.
    bool SetFrequencyRatio(float ratio, uint32_t operationSet = kCommitNow);
    float GetFrequencyRatio() const;
    // levels[dst * srcChannels + src]; the counts must be the voice's and the mastering voice's.
    bool SetOutputMatrix(uint32_t srcChannels, uint32_t dstChannels, const float* levels,
                         uint32_t operationSet = kCommitNow);
    std::vector<float> GetOutputMatrix() const;

    const WaveFormat& GetFormat() const { return m_format; }
    uint32_t GetFlags() const { return m_flags; }
    float GetMaxFrequencyRatio() const { return m_maxFrequencyRatio; }
    bool IsRunning() const;

    // Destroys the voice and drops its queued buffers and deferred changes.
    void Destroy();

private:
    friend class Engine;

    struct QueuedBuffer
    {
        AudioBuffer buffer;
        uint64_t sequence;
        uint32_t frames;
        uint32_t cursor;
        uint32_t loopEnd;
        uint32_t loopsLeft;
    };

    SourceVoice(Engine& engine, const WaveFormat& format, uint32_t flags, float maxFrequencyRatio,
                uint32_t outputChannels);
    ~SourceVoice() = default;

    // Engine lock held from here on.
    void ApplyStart() { m_running = true; }
    void ApplyStop() { m_running = false; }
    void ApplyExitLoop();
    void ApplyVolume(float volume) { m_volume = volume; }
    void ApplyFrequencyRatio(float ratio) { m_frequencyRatio = ratio; }
    void ApplyOutputMatrix(const float* levels);
    // Adds the voice into the bus (one row of `frames` floats per bus channel); a voice that starts
    // or resumes takes its first frame here.
    void MixBlock(float* bus, uint32_t frames, uint32_t busChannels, uint32_t busRate, MixScratch& scratch);
    // `step` in fixed point (PhaseTrack.h).
    void MixTracked(float* bus, uint32_t frames, uint32_t busChannels, uint64_t step, const float* gains,
                    MixScratch& scratch);
    // For steps of kMaxTrackedStep source frames or more, which would stage too many frames.
    void MixFrameByFrame(float* bus, uint32_t frames, uint32_t busChannels, uint64_t step, const float* gains);
    // Takes up to `count` frames off the queue (as many as it holds), retiring finished buffers.
    uint32_t FetchFrames(float* frames, uint32_t count);
    void ReadFrames(const QueuedBuffer& queued, uint32_t first, uint32_t count, float* frames);
    // Fills the ADPCM cache from the given block of the buffer on.
    void DecodeBlocksAt(const QueuedBuffer& queued, uint32_t block);
    void RetireFront();

    Engine& m_engine;
    const WaveFormat m_format;
    const uint32_t m_flags;
    const float m_maxFrequencyRatio;
    const uint32_t m_outputChannels;

    bool m_running = false;
    float m_volume = 1.0f;
    float m_frequencyRatio = 1.0f;
    std::vector<float> m_matrix;
    std::deque<QueuedBuffer> m_queue;
    uint64_t m_nextSequence = 1;
    uint64_t m_samplesPlayed = 0;
    bool m_streamEnded = false;

    // Resampler: the frame being played, the one after it and the position between them (0..1).
    float m_current[kMaxChannels] = {};
    float m_next[kMaxChannels] = {};
    bool m_haveCurrent = false;
    bool m_haveNext = false;
    // Fixed point (PhaseTrack.h): 2^-32 frames.
    uint32_t m_fraction = 0;

    // The last decoded ADPCM blocks, keyed by buffer sequence and their first frame: they stand for
    // `span` frames, of which the first `frames` decoded (a short or damaged block reads as silence).
    std::vector<int16_t> m_blockCache;
    uint64_t m_cachedSequence = 0;
    uint32_t m_cachedFirstFrame = 0;
    uint32_t m_cachedSpan = 0;
    uint32_t m_cachedFrames = 0;
    uint32_t m_adpcmFramesPerBlock = 0;
};
} // namespace audio
