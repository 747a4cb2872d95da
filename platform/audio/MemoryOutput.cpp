#include "platform/audio/MemoryOutput.h"

namespace audio
{
void MemoryOutput::Append(const float* interleaved, uint32_t frames, uint32_t channels, uint32_t sampleRate)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    // A new bus layout starts a new capture: mixed layouts could not be told apart afterwards.
    if (channels != m_channels || sampleRate != m_sampleRate)
    {
        m_samples.clear();
        m_channels = channels;
        m_sampleRate = sampleRate;
    }
    m_samples.insert(m_samples.end(), interleaved, interleaved + size_t(frames) * channels);
}

std::vector<float> MemoryOutput::Take()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    std::vector<float> taken;
    taken.swap(m_samples);
    return taken;
}

uint64_t MemoryOutput::FrameCount() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_channels ? m_samples.size() / m_channels : 0;
}

uint32_t MemoryOutput::GetChannelCount() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_channels;
}

uint32_t MemoryOutput::GetSampleRate() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_sampleRate;
}
} // namespace audio
