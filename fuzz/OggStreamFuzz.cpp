// Ogg Vorbis bytes through the sound decoder, split into two ranges of a static data source.
#include "audio/sound/OGGStream.h"
#include "audio/sound/SoundStreamDataSource.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1 || size > (1u << 24))
        return 0;
    const uint32_t split = uint32_t(data[0]) * uint32_t(size - 1) / 255u;
    SoundStreamStaticDataSource source;
    source.AddRange(data + 1, split);
    source.AddRange(data + 1 + split, uint32_t(size - 1 - split));
    OGGStream stream(&source);
    if (!stream.Open())
        return 0;
    static uint8_t pcm[16384];
    // At most about 10 s of sound per input, so huge declared lengths cannot stall the run.
    for (int i = 0; i < 64 && stream.Read(pcm, sizeof(pcm)) > 0; ++i)
    {
    }
    return 0;
}
