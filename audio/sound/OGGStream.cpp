#include "audio/sound/OGGStream.h"

#include "audio/sound/SoundStreamDataSource.h"
#include "audio/sound/VorbisChannelOrder.h"
#include "core/console/GameConsole.h"

#include <algorithm>
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
    m_heldSize = 0;
    m_heldOffset = 0;
    m_linkChanged = false;
    m_openError = nullptr;
}

namespace
{
const char* OpenErrorText(int code)
{
    switch (code)
    {
    case OV_ENOTVORBIS:
        return "not an Ogg Vorbis stream";
    case OV_EBADHEADER:
        return "its Vorbis headers are damaged";
    case OV_EVERSION:
        return "its Vorbis version is not supported";
    default:
        return "its headers cannot be read";
    }
}
} // namespace

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
    if (const int code = ov_open_callbacks(this, &m_file, nullptr, 0, callbacks); code != 0)
    {
        // A failed open has already freed what it built.
        std::memset(&m_file, 0, sizeof(m_file));
        m_openError = OpenErrorText(code);
        return false;
    }
    m_haveFile = true;
    const vorbis_info* info = ov_info(&m_file, -1);
    if (info == nullptr || info->channels <= 0 || info->channels > int(audio::kMaxChannels) || info->rate <= 0)
    {
        Clear();
        m_openError = "its channel count or rate cannot be played";
        return false;
    }
    m_format = audio::MakePcmFormat(uint32_t(info->channels), uint32_t(info->rate));
    m_open = true;
    return true;
}

namespace
{
void ToWaveOrder(char* data, uint32_t bytes, uint32_t channels)
{
    const uint8_t* const order = VorbisChannelOrder::WaveFromVorbis(channels);
    if (order == nullptr)
        return;
    const uint32_t frameBytes = channels * 2;
    int16_t frame[audio::kMaxChannels];
    for (uint32_t at = 0; at + frameBytes <= bytes; at += frameBytes)
    {
        std::memcpy(frame, data + at, frameBytes);
        for (uint32_t c = 0; c < channels; ++c)
            std::memcpy(data + at + c * 2, &frame[order[c]], 2);
    }
}
} // namespace

bool OGGStream::LinkKeepsFormat()
{
    const vorbis_info* info = ov_info(&m_file, -1);
    if (info != nullptr && uint32_t(info->channels) == m_format.channels &&
        uint32_t(info->rate) == m_format.samplesPerSec)
        return true;
    gConsole.Warning(CONSOLE_CHANNEL_SOUND,
                     "Ogg stream changes to %d channels at %ld Hz after %u channels at %u Hz: the rest is not played",
                     info != nullptr ? info->channels : 0, info != nullptr ? info->rate : 0L,
                     uint32_t(m_format.channels), m_format.samplesPerSec);
    m_linkChanged = true;
    return false;
}

long OGGStream::Decode(char* out, uint32_t room)
{
    for (;;)
    {
        if (m_linkChanged)
            return 0;
        int section = 0;
        const long got = ov_read(&m_file, out, room > INT_MAX ? INT_MAX : int(room), 0, 2, 1, &section);
        // A hole is a lost or damaged page, or the seam of a chain: what follows still decodes. The
        // next stream of a chain plays on only in the format the voice was made for.
        if (got != OV_HOLE && got <= 0)
            return got;
        if (!LinkKeepsFormat())
            return 0;
        if (got == OV_HOLE)
            continue;
        ToWaveOrder(out, uint32_t(got), m_format.channels);
        return got;
    }
}

uint32_t OGGStream::Read(void* buffer, uint32_t count)
{
    if (!m_open || count == 0)
        return 0;
    char* out = static_cast<char*>(buffer);
    uint32_t produced = 0;
    const uint32_t frameBytes = m_format.blockAlign;
    while (produced < count)
    {
        // What is left of a frame split by an earlier short read goes first.
        if (m_heldOffset < m_heldSize)
        {
            const uint32_t take = std::min(count - produced, m_heldSize - m_heldOffset);
            std::memcpy(out + produced, m_held + m_heldOffset, take);
            m_heldOffset += take;
            produced += take;
            continue;
        }
        const uint32_t room = count - produced;
        if (room < frameBytes)
        {
            // Too little room for a whole frame: decode one aside rather than report a false end.
            const long got = Decode(m_held, frameBytes);
            if (got <= 0)
                break;
            m_heldSize = uint32_t(got);
            m_heldOffset = 0;
            continue;
        }
        const long got = Decode(out + produced, room - room % frameBytes);
        if (got <= 0)
            break;
        produced += uint32_t(got);
    }
    return produced;
}
