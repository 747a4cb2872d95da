// Instances that feed a mixer voice, either whole in-memory buffers or decoded halves of a decode
// buffer. Sound thread only.
#pragma once

#include "audio/sound/SoundInstanceBase.h"

#include <memory>

class CompressedSoundStream;
namespace audio
{
struct WaveFormat;
}

// Format kinds of a sound's data.
enum SoundFormatKind : int32_t
{
    SOUND_FORMAT_NONE = 0,
    SOUND_FORMAT_PCM = 1,
    SOUND_FORMAT_ADPCM = 2,
    SOUND_FORMAT_XWMA = 3,
    SOUND_FORMAT_OGG = 4,
};

// A real instance with a voice fed from whole buffers or from a decoder.
class SoundInstanceDecodableBase : public SoundInstanceBase
{
public:
    using SoundInstanceBase::SoundInstanceBase;
    ~SoundInstanceDecodableBase() override;

    void ExitLoop() override;

protected:
    // Prepares the decoder for the next play; first is true for the first play.
    virtual bool OpenDecoder(bool first) = 0;
    // Queues a whole in-memory file; false when nothing was queued.
    virtual bool SubmitWholeBuffer(bool) { return false; }

    // Creates the voice (music flag, maximum ratio 2); false (logged) when the mixer refuses.
    bool CreateVoice(const audio::WaveFormat& format);
    // Voice from the decoder's format, a decode buffer, one decoded half queued and the voice started.
    bool StartDecodedVoice();
    // Starts the voice unless the sound is paused (then Resume starts it).
    bool StartVoice();
    // Decodes the next half and queues it; false when nothing was queued.
    bool Refill();
    // Keeps the voice fed; false when it has played everything.
    bool Feed();
    // Why a start failed, from what it left behind (for the line naming the file).
    const char* DescribeStartFailure() const;

    int32_t m_kind = SOUND_FORMAT_NONE;
    std::unique_ptr<CompressedSoundStream> m_decoder;
    uint8_t* m_decodeBuffer = nullptr;
    bool m_nextHalf = false; // false: first half, true: second
    bool m_ended = false;
};
