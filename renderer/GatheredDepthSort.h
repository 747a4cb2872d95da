// The depth order of the gathered mesh list: a 128-bin counting sort of the entries' depth keys,
// nearest first and stable, so up to 8192 meshes are ordered without a comparison sort. Pure
// functions: any thread.
#pragma once

#include <cstdint>

namespace GatheredDepthSort
{
constexpr uint32_t kBins = 128;
// A key's bin between the smallest and the largest key: (key - smallest) x 127 / (largest -
// smallest), truncated and clamped to 0..127; every key is in bin 0 when all are equal.
uint32_t Bin(float key, float smallest, float largest);
// Writes into `order` the entry indices 0..count-1 sorted by bin, ascending, equal bins in their
// original order.
void Order(const float* keys, uint32_t count, uint32_t* order);
} // namespace GatheredDepthSort
