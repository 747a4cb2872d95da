#include "platform/audio/SourceVoice.h"

#include "platform/audio/AdpcmDecoder.h"
#include "platform/audio/AudioEngine.h"
#include "platform/audio/InterpolatedMix.h"
#include "platform/audio/PcmConversion.h"
#include "platform/audio/PhaseTrack.h"
#include "platform/audio/SpeakerLayout.h"

#include <algorithm>
#include <cmath>

namespace audio
{
SourceVoice::SourceVoice(Engine& engine, const WaveFormat& format, uint32_t flags, float maxFrequencyRatio,
                         uint32_t outputChannels)
    : m_engine(engine), m_format(format), m_flags(flags), m_maxFrequencyRatio(maxFrequencyRatio),
      m_outputChannels(outputChannels), m_matrix(DefaultOutputMatrix(format.channels, outputChannels))
{
    if (format.formatTag == kFormatAdpcm)
    {
        m_adpcmFramesPerBlock = AdpcmSamplesPerBlock(format);
        m_blockCache.resize(size_t(kAdpcmBlocksAtOnce) * m_adpcmFramesPerBlock * format.channels);
    }
}

bool SourceVoice::Start(uint32_t operationSet)
{
    std::lock_guard<std::mutex> lock(m_engine.m_lock);
    if (operationSet == kCommitNow)
        ApplyStart();
    else
        m_engine.Defer({this, operationSet, Engine::ChangeKind::Start, 0.0f, {}});
    return true;
}

bool SourceVoice::Stop(uint32_t operationSet)
{
    std::lock_guard<std::mutex> lock(m_engine.m_lock);
    if (operationSet == kCommitNow)
        ApplyStop();
    else
        m_engine.Defer({this, operationSet, Engine::ChangeKind::Stop, 0.0f, {}});
    return true;
}

bool SourceVoice::ExitLoop(uint32_t operationSet)
{
    std::lock_guard<std::mutex> lock(m_engine.m_lock);
    if (operationSet == kCommitNow)
        ApplyExitLoop();
    else
        m_engine.Defer({this, operationSet, Engine::ChangeKind::ExitLoop, 0.0f, {}});
    return true;
}

bool SourceVoice::IsRunning() const
{
    std::lock_guard<std::mutex> lock(m_engine.m_lock);
    return m_running;
}

bool SourceVoice::SubmitBuffer(const AudioBuffer& buffer)
{
    std::lock_guard<std::mutex> lock(m_engine.m_lock);
    if (buffer.audioData == nullptr || buffer.audioBytes == 0)
    {
        m_engine.SetError("empty buffer");
        return false;
    }
    if ((buffer.flags & ~kBufferEndOfStream) != 0)
    {
        m_engine.SetError("unknown buffer flags");
        return false;
    }
    if (buffer.packetTable != nullptr || buffer.packetCount != 0)
    {
        m_engine.SetError("packet table for a voice that does not decode xWMA");
        return false;
    }
    if (m_queue.size() >= kMaxQueuedBuffers)
    {
        m_engine.SetError("too many queued buffers");
        return false;
    }
    const uint64_t frameCount = FramesInBytes(m_format, buffer.audioBytes);
    if (frameCount == 0)
    {
        m_engine.SetError("buffer holds no whole sample frame");
        return false;
    }
    if (frameCount > UINT32_MAX)
    {
        m_engine.SetError("buffer holds more sample frames than a voice can count");
        return false;
    }
    const uint32_t frames = uint32_t(frameCount);
    if (m_format.formatTag == kFormatAdpcm && !AdpcmBlocksValid(m_format, buffer.audioData, buffer.audioBytes))
    {
        m_engine.SetError("malformed ADPCM block");
        return false;
    }
    QueuedBuffer queued{buffer, m_nextSequence++, frames, 0, frames, 0};
    if (buffer.loopCount != 0)
    {
        const uint64_t loopEnd = buffer.loopLength ? uint64_t(buffer.loopBegin) + buffer.loopLength : frames;
        if (buffer.loopCount > kMaxLoopCount && buffer.loopCount != kLoopInfinite)
        {
            m_engine.SetError("loop count out of range");
            return false;
        }
        if (buffer.loopBegin >= loopEnd || loopEnd > frames)
        {
            m_engine.SetError("loop region outside the buffer");
            return false;
        }
        queued.loopEnd = uint32_t(loopEnd);
        queued.loopsLeft = buffer.loopCount;
    }
    m_queue.push_back(queued);
    m_streamEnded = false;
    return true;
}

VoiceState SourceVoice::GetState() const
{
    std::lock_guard<std::mutex> lock(m_engine.m_lock);
    VoiceState state;
    state.buffersQueued = uint32_t(m_queue.size());
    state.samplesPlayed = m_samplesPlayed;
    state.streamEnded = m_streamEnded;
    return state;
}

bool SourceVoice::SetVolume(float volume, uint32_t operationSet)
{
    std::lock_guard<std::mutex> lock(m_engine.m_lock);
    if (!std::isfinite(volume))
    {
        m_engine.SetError("volume is not a finite number");
        return false;
    }
    volume = std::clamp(volume, -kMaxVolume, kMaxVolume);
    if (operationSet == kCommitNow)
        ApplyVolume(volume);
    else
        m_engine.Defer({this, operationSet, Engine::ChangeKind::Volume, volume, {}});
    return true;
}

float SourceVoice::GetVolume() const
{
    std::lock_guard<std::mutex> lock(m_engine.m_lock);
    return m_volume;
}

bool SourceVoice::SetFrequencyRatio(float ratio, uint32_t operationSet)
{
    std::lock_guard<std::mutex> lock(m_engine.m_lock);
    if (!std::isfinite(ratio))
    {
        m_engine.SetError("frequency ratio is not a finite number");
        return false;
    }
    ratio = std::clamp(ratio, kMinFrequencyRatio, m_maxFrequencyRatio);
    if (operationSet == kCommitNow)
        ApplyFrequencyRatio(ratio);
    else
        m_engine.Defer({this, operationSet, Engine::ChangeKind::FrequencyRatio, ratio, {}});
    return true;
}

float SourceVoice::GetFrequencyRatio() const
{
    std::lock_guard<std::mutex> lock(m_engine.m_lock);
    return m_frequencyRatio;
}

bool SourceVoice::SetOutputMatrix(uint32_t srcChannels, uint32_t dstChannels, const float* levels,
                                  uint32_t operationSet)
{
    std::lock_guard<std::mutex> lock(m_engine.m_lock);
    if (srcChannels != m_format.channels || dstChannels != m_outputChannels || levels == nullptr)
    {
        m_engine.SetError("output matrix does not match the voice and the mastering voice");
        return false;
    }
    const size_t count = size_t(srcChannels) * dstChannels;
    if (!std::all_of(levels, levels + count, [](float level) { return std::isfinite(level); }))
    {
        m_engine.SetError("output matrix holds a value that is not a finite number");
        return false;
    }
    if (operationSet == kCommitNow)
        ApplyOutputMatrix(levels);
    else
        m_engine.Defer({this, operationSet, Engine::ChangeKind::OutputMatrix, 0.0f,
                        std::vector<float>(levels, levels + count)});
    return true;
}

std::vector<float> SourceVoice::GetOutputMatrix() const
{
    std::lock_guard<std::mutex> lock(m_engine.m_lock);
    return m_matrix;
}

void SourceVoice::Destroy()
{
    std::lock_guard<std::mutex> lock(m_engine.m_lock);
    m_engine.DestroyVoiceLocked(this);
}

void SourceVoice::FlushSourceBuffers()
{
    std::lock_guard<std::mutex> lock(m_engine.m_lock);
    const bool underWay = !m_queue.empty() && (m_running || m_queue.front().cursor != 0);
    m_queue.erase(m_queue.begin() + (underWay ? 1 : 0), m_queue.end());
}

void SourceVoice::ApplyExitLoop()
{
    if (!m_queue.empty())
        m_queue.front().loopsLeft = 0;
}

void SourceVoice::ApplyOutputMatrix(const float* levels)
{
    std::copy(levels, levels + m_matrix.size(), m_matrix.begin());
}

void SourceVoice::MixBlock(float* bus, uint32_t frames, uint32_t busChannels, uint32_t busRate, MixScratch& scratch)
{
    if (!m_running)
        return;
    if (!m_haveCurrent)
    {
        // Starved (or not begun): silence until a buffer brings a frame. Nothing is queued while a
        // block mixes, so a voice that finds nothing now stays silent for the whole block.
        m_fraction = 0;
        if (FetchFrames(m_current, 1) == 0)
            return;
        m_haveCurrent = true;
    }
    float gains[kMaxChannels * kMaxOutputChannels];
    for (uint32_t i = 0; i < m_matrix.size(); ++i)
        gains[i] = m_matrix[i] * m_volume;
    const double step = double(m_frequencyRatio) * m_format.samplesPerSec / busRate;
    if (step >= kMaxTrackedStep)
        MixFrameByFrame(bus, frames, busChannels, FixedStep(step), gains);
    else
        MixTracked(bus, frames, busChannels, FixedStep(step), gains, scratch);
}

void SourceVoice::MixTracked(float* bus, uint32_t frames, uint32_t busChannels, uint64_t step, const float* gains,
                             MixScratch& scratch)
{
    const size_t length = PhaseTrackLength(frames);
    CacheLineVector<float>& trackT = scratch.trackT;
    CacheLineVector<int32_t>& trackAdvance = scratch.trackAdvance;
    trackT.resize(length);
    trackAdvance.resize(length);
    const uint32_t channels = m_format.channels;
    // At most one (two) source frames per output frame no step passes more than one (two) frames.
    const AdvanceSteps steps = step <= uint64_t(1) << 32   ? AdvanceSteps::OneAtMost
                               : step <= uint64_t(2) << 32 ? AdvanceSteps::TwoAtMost
                                                           : AdvanceSteps::Any;
    // Such a mono source on a stereo bus finds its positions as it mixes.
    const bool tracksWhileMixing = channels == 1 && busChannels == 2 && steps != AdvanceSteps::Any;
    PhaseTrack track;
    track.fraction = m_fraction;
    track.step = step;
    track.t = trackT.data();
    track.advance = trackAdvance.data();
    if (tracksWhileMixing)
        EndTrack(track, frames);
    else
        TrackPhase(track, frames);

    const uint32_t endAdvance = track.endAdvance;
    // The block reads the current frame, every frame it passes and the one after the last.
    const uint32_t wanted = endAdvance + 2;
    // The scratch only grows: shrinking and growing again would clear memory every block. The mix
    // may read a few floats past the frame after the last.
    std::vector<float>& raw = scratch.frames;
    if (raw.size() < (size_t(wanted) + 1) * channels + kPickReadsPast)
        raw.resize((size_t(wanted) + 1) * channels + kPickReadsPast);
    std::copy(m_current, m_current + channels, raw.begin());
    uint32_t have = 1;
    if (m_haveNext)
        std::copy(m_next, m_next + channels, raw.begin() + channels);
    have += m_haveNext ? 1 : 0;
    have += FetchFrames(raw.data() + size_t(have) * channels, wanted - have);
    // A frame with nothing after it plays as it is: the frame after it repeats it.
    std::copy_n(raw.begin() + size_t(have - 1) * channels, channels, raw.begin() + size_t(have) * channels);

    uint32_t playing = frames;
    if (have + 1 >= wanted)
    {
        const float* reached = raw.data() + size_t(endAdvance) * channels;
        std::copy(reached, reached + channels, m_current);
        m_haveNext = have == wanted;
        if (m_haveNext)
            std::copy(reached + channels, reached + 2 * channels, m_next);
        m_fraction = track.endFraction;
        m_samplesPlayed += endAdvance;
    }
    else
    {
        // Ran out: silence from the frame whose step passes the last source frame.
        if (tracksWhileMixing)
            TrackPhase(track, frames);
        playing = uint32_t(std::lower_bound(trackAdvance.begin(), trackAdvance.begin() + frames, int32_t(have)) -
                           trackAdvance.begin());
        m_haveCurrent = false;
        m_haveNext = false;
        m_fraction = 0;
        m_samplesPlayed += have;
    }
    if (tracksWhileMixing)
        MixTrackedMono(raw.data(), track, playing, gains, bus, frames, steps);
    else
        MixInterpolated(raw.data(), channels, trackT.data(), trackAdvance.data(), playing, gains, bus, frames,
                        busChannels, steps);
}

void SourceVoice::MixFrameByFrame(float* bus, uint32_t frames, uint32_t busChannels, uint64_t step, const float* gains)
{
    const uint32_t channels = m_format.channels;
    float sample[kMaxChannels];
    const uint32_t start = m_fraction;
    uint32_t fraction = start;
    uint64_t passed = 0;
    bool haveCurrent = m_haveCurrent;
    bool haveNext = m_haveNext;
    for (uint32_t i = 0; i < frames && haveCurrent; ++i)
    {
        if (!haveNext)
            haveNext = FetchFrames(m_next, 1) == 1;
        const float t = FractionT(fraction);
        for (uint32_t c = 0; c < channels; ++c)
            sample[c] = haveNext ? m_current[c] + (m_next[c] - m_current[c]) * t : m_current[c];
        for (uint32_t d = 0; d < busChannels; ++d)
        {
            float sum = bus[size_t(d) * frames + i];
            for (uint32_t c = 0; c < channels; ++c)
                sum += sample[c] * gains[d * channels + c];
            bus[size_t(d) * frames + i] = sum;
        }

        const uint64_t position = start + (i + 1) * step;
        fraction = uint32_t(position);
        for (; passed < position >> 32 && haveCurrent; ++passed)
        {
            ++m_samplesPlayed;
            if (!haveNext)
                haveNext = FetchFrames(m_next, 1) == 1;
            if (haveNext)
            {
                std::copy(m_next, m_next + channels, m_current);
                haveNext = FetchFrames(m_next, 1) == 1;
            }
            else
            {
                haveCurrent = false;
                fraction = 0;
            }
        }
    }
    m_fraction = fraction;
    m_haveCurrent = haveCurrent;
    m_haveNext = haveNext;
}

uint32_t SourceVoice::FetchFrames(float* frames, uint32_t count)
{
    const uint32_t channels = m_format.channels;
    uint32_t got = 0;
    while (got < count && !m_queue.empty())
    {
        QueuedBuffer& queued = m_queue.front();
        if (queued.cursor >= queued.frames)
        {
            RetireFront();
            continue;
        }
        // A run ends where the loop turns back or the buffer ends.
        const uint32_t runEnd = queued.loopsLeft > 0 ? queued.loopEnd : queued.frames;
        const uint32_t run = std::min(count - got, runEnd - queued.cursor);
        ReadFrames(queued, queued.cursor, run, frames + size_t(got) * channels);
        got += run;
        queued.cursor += run;
        if (queued.loopsLeft > 0 && queued.cursor == queued.loopEnd)
        {
            queued.cursor = queued.buffer.loopBegin;
            if (queued.loopsLeft != kLoopInfinite)
                --queued.loopsLeft;
        }
        // Retire at once: the frames are copied, so the caller may reuse the memory now.
        if (queued.cursor >= queued.frames)
            RetireFront();
    }
    return got;
}

void SourceVoice::RetireFront()
{
    if (m_queue.front().buffer.flags & kBufferEndOfStream)
        m_streamEnded = true;
    m_queue.pop_front();
}

void SourceVoice::ReadFrames(const QueuedBuffer& queued, uint32_t first, uint32_t count, float* frames)
{
    const uint32_t channels = m_format.channels;
    const uint8_t* data = queued.buffer.audioData;
    if (m_format.formatTag == kFormatPcm)
    {
        const uint8_t* p = data + size_t(first) * m_format.blockAlign;
        const size_t samples = size_t(count) * channels;
        if (m_format.bitsPerSample == 8)
        {
            for (size_t s = 0; s < samples; ++s)
                frames[s] = (float(p[s]) - 128.0f) / 128.0f;
        }
        else
            Pcm16ToFloat(p, samples, frames);
        return;
    }
    while (count > 0)
    {
        // Frames of the cached blocks need no division to be found.
        uint32_t within = first - m_cachedFirstFrame;
        if (m_cachedSequence != queued.sequence || first < m_cachedFirstFrame || within >= m_cachedSpan)
        {
            DecodeBlocksAt(queued, first / m_adpcmFramesPerBlock);
            within = first - m_cachedFirstFrame;
        }
        const uint32_t run = std::min(count, m_cachedSpan - within);
        // A block that decoded short reads as silence past its end.
        const uint32_t decoded = within < m_cachedFrames ? std::min(run, m_cachedFrames - within) : 0;
        Pcm16ToFloat(reinterpret_cast<const uint8_t*>(m_blockCache.data() + size_t(within) * channels),
                     size_t(decoded) * channels, frames);
        std::fill(frames + size_t(decoded) * channels, frames + size_t(run) * channels, 0.0f);
        frames += size_t(run) * channels;
        first += run;
        count -= run;
    }
}

void SourceVoice::DecodeBlocksAt(const QueuedBuffer& queued, uint32_t block)
{
    const uint32_t channels = m_format.channels;
    const uint32_t offset = block * m_format.blockAlign;
    const uint8_t* data = queued.buffer.audioData + offset;
    m_cachedSequence = queued.sequence;
    m_cachedFirstFrame = block * m_adpcmFramesPerBlock;
    // Several whole blocks at once where the buffer has them: their decoders run side by side.
    if ((queued.buffer.audioBytes - offset) / m_format.blockAlign >= kAdpcmBlocksAtOnce &&
        DecodeAdpcmBlocks(data, m_format.blockAlign, channels, m_blockCache.data(), m_adpcmFramesPerBlock))
    {
        m_cachedSpan = kAdpcmBlocksAtOnce * m_adpcmFramesPerBlock;
        m_cachedFrames = m_cachedSpan;
        return;
    }
    const uint32_t bytes = std::min<uint32_t>(m_format.blockAlign, queued.buffer.audioBytes - offset);
    m_cachedSpan = m_adpcmFramesPerBlock;
    m_cachedFrames = DecodeAdpcmBlock(data, bytes, channels, m_blockCache.data(), m_adpcmFramesPerBlock);
}
} // namespace audio
