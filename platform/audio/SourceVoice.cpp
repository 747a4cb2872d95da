#include "platform/audio/SourceVoice.h"

#include "platform/audio/AdpcmDecoder.h"
#include "platform/audio/AudioEngine.h"

#include <algorithm>
#include <cmath>

namespace audio
{
SourceVoice::SourceVoice(Engine& engine, const WaveFormat& format, uint32_t flags, float maxFrequencyRatio,
                         uint32_t outputChannels)
    : m_engine(engine), m_format(format), m_flags(flags), m_maxFrequencyRatio(maxFrequencyRatio),
      m_outputChannels(outputChannels), m_matrix(size_t(format.channels) * outputChannels, 0.0f),
      m_pcm16(format.formatTag == kFormatPcm && format.bitsPerSample == 16)
{
    // Default routing: a mono source feeds every output channel, a wider one maps channel n to
    // output n, and a mono output takes the average of all source channels.
    const uint32_t channels = format.channels;
    for (uint32_t d = 0; d < outputChannels; ++d)
        for (uint32_t c = 0; c < channels; ++c)
        {
            float level = 0.0f;
            if (channels == 1)
                level = 1.0f;
            else if (outputChannels == 1)
                level = 1.0f / float(channels);
            else if (c == d)
                level = 1.0f;
            m_matrix[d * channels + c] = level;
        }
    if (format.formatTag == kFormatAdpcm)
    {
        m_adpcmFramesPerBlock = AdpcmSamplesPerBlock(format);
        m_blockCache.resize(size_t(m_adpcmFramesPerBlock) * format.channels);
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

void SourceVoice::ApplyExitLoop()
{
    if (!m_queue.empty())
        m_queue.front().loopsLeft = 0;
}

void SourceVoice::ApplyOutputMatrix(const float* levels)
{
    std::copy(levels, levels + m_matrix.size(), m_matrix.begin());
}

void SourceVoice::Mix(float* bus, uint32_t frames, uint32_t busChannels, uint32_t busRate)
{
    if (!m_running)
        return;
    const uint32_t channels = m_format.channels;
    float gains[kMaxChannels * kMaxOutputChannels];
    for (uint32_t i = 0; i < m_matrix.size(); ++i)
        gains[i] = m_matrix[i] * m_volume;
    const double step = double(m_frequencyRatio) * m_format.samplesPerSec / busRate;
    // The usual shapes get loops with their channel counts fixed; the sums are taken in the same
    // order either way, so every shape mixes the same values.
    if (busChannels == 2 && channels == 1)
        MixFrames<1, 2>(bus, frames, 1, 2, gains, step);
    else if (busChannels == 2 && channels == 2)
        MixFrames<2, 2>(bus, frames, 2, 2, gains, step);
    else
        MixFrames<0, 0>(bus, frames, channels, busChannels, gains, step);
}

template <uint32_t kChannels, uint32_t kBusChannels>
void SourceVoice::MixFrames(float* bus, uint32_t frames, uint32_t anyChannels, uint32_t anyBusChannels,
                            const float* gains, double step)
{
    const uint32_t channels = kChannels != 0 ? kChannels : anyChannels;
    const uint32_t busChannels = kBusChannels != 0 ? kBusChannels : anyBusChannels;
    float sample[kMaxChannels];
    // Kept in locals across the loop; written back at the end.
    double phase = m_phase;
    bool haveCurrent = m_haveCurrent;
    bool haveNext = m_haveNext;
    for (uint32_t i = 0; i < frames; ++i)
    {
        if (!haveCurrent)
        {
            // Starved (or not begun): silence until a buffer brings a frame.
            haveCurrent = FetchFrame(m_current);
            phase = 0.0;
            if (!haveCurrent)
                continue;
        }
        if (!haveNext)
            haveNext = FetchFrame(m_next);
        const float t = float(phase);
        for (uint32_t c = 0; c < channels; ++c)
            sample[c] = haveNext ? m_current[c] + (m_next[c] - m_current[c]) * t : m_current[c];
        float* out = bus + size_t(i) * busChannels;
        for (uint32_t d = 0; d < busChannels; ++d)
        {
            float sum = out[d];
            for (uint32_t c = 0; c < channels; ++c)
                sum += sample[c] * gains[d * channels + c];
            out[d] = sum;
        }

        phase += step;
        while (phase >= 1.0 && haveCurrent)
        {
            phase -= 1.0;
            ++m_samplesPlayed;
            if (!haveNext)
                haveNext = FetchFrame(m_next);
            if (haveNext)
            {
                for (uint32_t c = 0; c < channels; ++c)
                    m_current[c] = m_next[c];
                haveNext = FetchFrame(m_next);
            }
            else
            {
                haveCurrent = false;
                phase = 0.0;
            }
        }
    }
    m_phase = phase;
    m_haveCurrent = haveCurrent;
    m_haveNext = haveNext;
}

bool SourceVoice::FetchFrame(float* frame)
{
    while (!m_queue.empty())
    {
        QueuedBuffer& queued = m_queue.front();
        if (queued.cursor < queued.frames)
        {
            // 16-bit PCM, the common case, is converted here without a call.
            if (m_pcm16)
            {
                const uint8_t* p = queued.buffer.audioData + size_t(queued.cursor) * m_format.blockAlign;
                for (uint32_t c = 0; c < m_format.channels; ++c)
                    frame[c] = float(int16_t(uint16_t(p[2 * c] | (p[2 * c + 1] << 8)))) / 32768.0f;
            }
            else
                ReadFrame(queued, queued.cursor, frame);
            ++queued.cursor;
            if (queued.loopsLeft > 0 && queued.cursor == queued.loopEnd)
            {
                queued.cursor = queued.buffer.loopBegin;
                if (queued.loopsLeft != kLoopInfinite)
                    --queued.loopsLeft;
            }
            // Retire at once: the frame is copied, so the caller may reuse the memory now.
            if (queued.cursor >= queued.frames)
                RetireFront();
            return true;
        }
        RetireFront();
    }
    return false;
}

void SourceVoice::RetireFront()
{
    if (m_queue.front().buffer.flags & kBufferEndOfStream)
        m_streamEnded = true;
    m_queue.pop_front();
}

void SourceVoice::ReadFrame(const QueuedBuffer& queued, uint32_t index, float* frame)
{
    const uint32_t channels = m_format.channels;
    const uint8_t* data = queued.buffer.audioData;
    if (m_format.formatTag == kFormatPcm)
    {
        const uint8_t* p = data + size_t(index) * m_format.blockAlign;
        if (m_format.bitsPerSample == 8)
        {
            for (uint32_t c = 0; c < channels; ++c)
                frame[c] = (float(p[c]) - 128.0f) / 128.0f;
        }
        else
        {
            for (uint32_t c = 0; c < channels; ++c)
                frame[c] = float(int16_t(uint16_t(p[2 * c] | (p[2 * c + 1] << 8)))) / 32768.0f;
        }
        return;
    }
    // Frames of the cached block need no division to be found.
    uint32_t within = index - m_cachedFirstFrame;
    if (m_cachedSequence != queued.sequence || index < m_cachedFirstFrame || within >= m_adpcmFramesPerBlock)
    {
        const uint32_t block = index / m_adpcmFramesPerBlock;
        const uint32_t offset = block * m_format.blockAlign;
        const uint32_t bytes = std::min<uint32_t>(m_format.blockAlign, queued.buffer.audioBytes - offset);
        m_cachedFrames =
            DecodeAdpcmBlock(data + offset, bytes, channels, m_blockCache.data(), m_adpcmFramesPerBlock);
        m_cachedSequence = queued.sequence;
        m_cachedFirstFrame = block * m_adpcmFramesPerBlock;
        within = index - m_cachedFirstFrame;
    }
    for (uint32_t c = 0; c < channels; ++c)
        frame[c] = within < m_cachedFrames ? float(m_blockCache[within * channels + c]) / 32768.0f : 0.0f;
}
} // namespace audio
