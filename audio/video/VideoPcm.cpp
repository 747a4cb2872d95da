#include "audio/video/VideoPcm.h"

#include "audio/sound/VorbisChannelOrder.h"

#include <algorithm>
#include <cstddef>

void ConvertVideoPcm(const float* const* pcm, uint32_t frames, uint32_t channels, int16_t* out)
{
    // The voice's format declares speaker-position order, as for streamed sounds.
    const uint8_t* const order = VorbisChannelOrder::WaveFromVorbis(channels);
    for (uint32_t i = 0; i < frames; ++i)
        for (uint32_t c = 0; c < channels; ++c)
        {
            const float sample = pcm[order != nullptr ? order[c] : c][i];
            const int value = int(sample * 32767.0f + 0.5f);
            out[size_t(i) * channels + c] = int16_t(std::clamp(value, -32768, 32767));
        }
}
