// Captured mixer output for tests: interleaved float frames of the mastering bus. The mixer appends
// (from its own thread in real-time mode); any thread may read or take the frames.
#pragma once

#include <cstdint>
#include <mutex>
#include <vector>

namespace audio
{
// Thread-safe store of everything the mixer produced since the last Take.
class MemoryOutput
{
public:
    void Append(const float* interleaved, uint32_t frames, uint32_t channels, uint32_t sampleRate);
    // Moves the captured samples out and starts again empty.
    std::vector<float> Take();
    uint64_t FrameCount() const;
    uint32_t GetChannelCount() const;
    uint32_t GetSampleRate() const;

private:
    mutable std::mutex m_mutex;
    std::vector<float> m_samples;
    uint32_t m_channels = 0;
    uint32_t m_sampleRate = 0;
};
} // namespace audio
