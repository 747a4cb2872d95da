// WAV images through the checked reader and, when they parse, through a mixer voice.
#include "fuzz/support/PlayThroughMixer.h"
#include "platform/audio/WavFile.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    audio::WavData wav;
    if (!audio::ParseWav(data, size, wav) || audio::WhyUndecodable(wav.format) || wav.samples.empty())
        return 0;
    PlayThroughMixer(wav.format, wav.samples.data(), uint32_t(wav.samples.size()));
    return 0;
}
