// Animation file images as the resource loader reads them: an accepted clip's tracks must address
// keys that are really there, and a refused one must leave nothing behind.
#include "renderer/resources/ResourceAnimation.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    AnimationData clip;
    uint32_t words[2] = {};
    if (!ResourceAnimation::ReadImage(data, size, "fuzz", clip, words))
    {
        if (!clip.GetTracks().empty() || !clip.GetKeys().empty())
            __builtin_trap();
        return 0;
    }
    volatile int32_t sum = 0;
    for (const AnimationTrack& track : clip.GetTracks())
        for (uint32_t channel = 0; channel < ANIMCHANNEL_COUNT; ++channel)
        {
            const uint64_t end = uint64_t(track.firstKeys[channel]) + track.keyCounts[channel];
            if (end > clip.GetKeys().size())
                __builtin_trap();
            if (track.keyCounts[channel] != 0)
                sum = sum + clip.GetKeys()[end - 1].t;
        }
    return 0;
}
