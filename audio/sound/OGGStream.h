// Ogg Vorbis decoding with vorbisfile, reading its input front to back from a data source.
// Sound thread only.
#pragma once

#include "audio/sound/CompressedSoundStream.h"

#include <vorbis/vorbisfile.h>

// Decodes one Ogg Vorbis stream at a time; opening again starts on the source's next bytes.
class OGGStream : public CompressedSoundStream
{
public:
    explicit OGGStream(SoundStreamDataSource* source);
    ~OGGStream() override;

    bool Open() override;
    uint32_t Read(void* buffer, uint32_t count) override;

private:
    static size_t ReadCallback(void* buffer, size_t size, size_t count, void* stream);
    void Clear();
    // Decodes whole frames into `out`, in wave channel order, reading on past holes; the bytes
    // made, or 0/negative at the end.
    long Decode(char* out, uint32_t room);
    // False (logged once) when the current stream of a chain has another channel count or rate.
    bool LinkKeepsFormat();

    OggVorbis_File m_file;
    bool m_haveFile = false; // m_file holds state that ov_clear must free
    char m_held[audio::kMaxChannels * 2]; // one decoded frame that a short read could not take whole
    uint32_t m_heldSize = 0;
    uint32_t m_heldOffset = 0;
    bool m_linkChanged = false; // a chained stream changed format: nothing more is read
};
