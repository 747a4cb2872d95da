#include "renderer/GatheredDepthSort.h"

#include <algorithm>

uint32_t GatheredDepthSort::Bin(float key, float smallest, float largest)
{
    const float range = largest - smallest;
    if (!(range > 0.0f))
        return 0;
    const float scaled = (key - smallest) * float(kBins - 1) / range;
    if (!(scaled > 0.0f))
        return 0;
    return std::min(uint32_t(scaled), kBins - 1);
}

void GatheredDepthSort::Order(const float* keys, uint32_t count, uint32_t* order)
{
    if (count == 0)
        return;
    const auto [low, high] = std::minmax_element(keys, keys + count);
    const float smallest = *low, largest = *high;
    uint32_t starts[kBins + 1] = {};
    for (uint32_t i = 0; i < count; ++i)
        ++starts[Bin(keys[i], smallest, largest) + 1];
    for (uint32_t b = 0; b < kBins; ++b)
        starts[b + 1] += starts[b];
    for (uint32_t i = 0; i < count; ++i)
        order[starts[Bin(keys[i], smallest, largest)]++] = i;
}
