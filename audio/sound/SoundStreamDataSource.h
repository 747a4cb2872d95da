// Where a sound decoder gets its encoded bytes: memory ranges of loaded sound resources, or a
// streaming file reader. Sound thread only.
#pragma once

#include "core/containers/Dynarray.h"

#include <cstdint>

class StreamingFileReader;

// Encoded bytes for a decoder, read front to back.
class SoundStreamDataSource
{
public:
    virtual ~SoundStreamDataSource() = default;
    // Copies up to `count` bytes; returns the bytes copied (0 at the end).
    virtual uint32_t Read(void* buffer, uint32_t count) = 0;
};

// Bytes already in memory, as a queue of ranges; it owns only its range array.
class SoundStreamStaticDataSource : public SoundStreamDataSource
{
public:
    uint32_t Read(void* buffer, uint32_t count) override;
    // Appends a range (nothing for size 0). The memory must outlive the range.
    void AddRange(const uint8_t* data, uint32_t size);
    int32_t GetRangeCount() const { return m_ranges.Count(); }
    uint32_t GetRangeBytesLeft(int32_t index) const { return m_ranges[index].bytesLeft; }

private:
    struct Range
    {
        const uint8_t* next = nullptr;
        uint32_t bytesLeft = 0;
    };
    Dynarray<Range> m_ranges;
};

// Bytes of a streaming file reader (not owned); none without a reader.
class SoundStreamStreamedDataSource : public SoundStreamDataSource
{
public:
    explicit SoundStreamStreamedDataSource(StreamingFileReader* reader = nullptr) : m_reader(reader) {}
    uint32_t Read(void* buffer, uint32_t count) override;
    void SetReader(StreamingFileReader* reader) { m_reader = reader; }

private:
    StreamingFileReader* m_reader;
};
