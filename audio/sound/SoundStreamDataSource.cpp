#include "audio/sound/SoundStreamDataSource.h"

#include "core/filesystem/StreamingFileReader.h"

#include <algorithm>
#include <cstring>

uint32_t SoundStreamStaticDataSource::Read(void* buffer, uint32_t count)
{
    uint8_t* out = static_cast<uint8_t*>(buffer);
    uint32_t copied = 0;
    while (copied < count && m_ranges.Count() > 0)
    {
        Range& range = m_ranges[0];
        const uint32_t take = std::min(range.bytesLeft, count - copied);
        std::memcpy(out + copied, range.next, take);
        copied += take;
        range.next += take;
        range.bytesLeft -= take;
        if (range.bytesLeft == 0)
            m_ranges.RemoveAt(0);
    }
    return copied;
}

void SoundStreamStaticDataSource::AddRange(const uint8_t* data, uint32_t size)
{
    if (size != 0 && data != nullptr)
        m_ranges.Add(Range{data, size});
}

uint32_t SoundStreamStreamedDataSource::Read(void* buffer, uint32_t count)
{
    return m_reader != nullptr ? m_reader->Read(buffer, count) : 0;
}
