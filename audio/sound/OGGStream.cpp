#include "audio/sound/OGGStream.h"

#include "audio/sound/SoundStreamDataSource.h"

#include <climits>
#include <cstring>

OGGStream::OGGStream(SoundStreamDataSource* source) : CompressedSoundStream(source)
{
    std::memset(&m_file, 0, sizeof(m_file));
}

OGGStream::~OGGStream()
{
    Clear();
}

void OGGStream::Clear()
{
    if (m_haveFile)
        ov_clear(&m_file);
    std::memset(&m_file, 0, sizeof(m_file));
    m_haveFile = false;
    m_open = false;
}

size_t OGGStream::ReadCallback(void* buffer, size_t size, size_t count, void* stream)
{
    OGGStream* self = static_cast<OGGStream*>(stream);
    const size_t wanted = size * count;
    if (self->m_source == nullptr || wanted == 0)
        return 0;
    const uint32_t request = wanted > UINT32_MAX ? UINT32_MAX : uint32_t(wanted);
    return self->m_source->Read(buffer, request);
}

bool OGGStream::Open()
{
    Clear();
    // Read callback only: the stream is read front to back, never sought.
    ov_callbacks callbacks{};
    callbacks.read_func = &OGGStream::ReadCallback;
    if (ov_open_callbacks(this, &m_file, nullptr, 0, callbacks) != 0)
    {
        // A failed open has already freed what it built.
        std::memset(&m_file, 0, sizeof(m_file));
        return false;
    }
    m_haveFile = true;
    const vorbis_info* info = ov_info(&m_file, -1);
    if (info == nullptr || info->channels <= 0 || info->channels > int(audio::kMaxChannels) || info->rate <= 0)
    {
        Clear();
        return false;
    }
    m_format = audio::MakePcmFormat(uint32_t(info->channels), uint32_t(info->rate));
    m_open = true;
    return true;
}

uint32_t OGGStream::Read(void* buffer, uint32_t count)
{
    if (!m_open || count == 0)
        return 0;
    char* out = static_cast<char*>(buffer);
    uint32_t produced = 0;
    while (produced < count)
    {
        int section = 0;
        const uint32_t room = count - produced;
        const long got = ov_read(&m_file, out + produced, room > INT_MAX ? INT_MAX : int(room), 0, 2, 1, &section);
        if (got <= 0)
            break;
        produced += uint32_t(got);
    }
    return produced;
}
