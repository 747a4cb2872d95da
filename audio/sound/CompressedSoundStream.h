// Decoders that turn a data source's encoded bytes into 16-bit PCM. Sound thread only.
#pragma once

#include "platform/audio/WaveFormat.h"

#include <cstdint>

class SoundStreamDataSource;

// A decoder over a data source (not owned): Open reads the headers, Read produces PCM.
class CompressedSoundStream
{
public:
    explicit CompressedSoundStream(SoundStreamDataSource* source) : m_source(source) {}
    virtual ~CompressedSoundStream() = default;
    CompressedSoundStream(const CompressedSoundStream&) = delete;
    CompressedSoundStream& operator=(const CompressedSoundStream&) = delete;

    // Starts decoding at wherever the data source now stands; true on success.
    virtual bool Open() = 0;
    // Interleaved 16-bit PCM bytes, at most `count`; fewer only at the end or on a decoding error.
    virtual uint32_t Read(void* buffer, uint32_t count) = 0;

    const audio::WaveFormat& GetFormat() const { return m_format; }
    bool IsOpen() const { return m_open; }
    // Why the last Open failed (null: it did not, or no reason is known).
    const char* GetOpenError() const { return m_openError; }
    SoundStreamDataSource* GetDataSource() const { return m_source; }

protected:
    audio::WaveFormat m_format;
    SoundStreamDataSource* m_source;
    bool m_open = false;
    const char* m_openError = nullptr;
};
