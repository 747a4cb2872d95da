// RIFF sound images through the sound resource parser and, when they parse as PCM or ADPCM, through
// a mixer voice that reads every sample byte.
#include "fuzz/support/PlayThroughMixer.h"
#include "renderer/resources/ResourceSound.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    RiffSoundImage image;
    if (size > 0xFFFFFFFFu || !ResourceSound::ParseRiffImage(data, uint32_t(size), "fuzz", image))
        return 0;
    if (image.sampleData < data || image.sampleData + image.sampleSize > data + size)
        __builtin_trap();
    if (image.kind == SOUND_KIND_XWMA || audio::WhyUndecodable(image.format) != nullptr || image.sampleSize == 0)
        return 0;
    PlayThroughMixer(image.format, image.sampleData, image.sampleSize);
    return 0;
}
