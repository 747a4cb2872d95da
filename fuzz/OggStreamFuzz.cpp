// Ogg Vorbis bytes through the sound decoder, split into two ranges of a static data source. The
// last byte picks the split but stays in the stream, so a stored seed reaches the decoder whole.
#include "audio/sound/OGGStream.h"
#include "audio/sound/SoundStreamDataSource.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1 || size > (1u << 24))
        return 0;
    const uint32_t split = uint32_t(data[size - 1]) * uint32_t(size) / 255u;
    SoundStreamStaticDataSource source;
    source.AddRange(data, split);
    source.AddRange(data + split, uint32_t(size - split));
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
