// Samples to the mixer's floats: a 16-bit sample s becomes s / 32768. Pure computation on the
// caller's arrays: any thread.
#pragma once

#include <cstddef>
#include <cstdint>

namespace audio
{
// The vector lanes Pcm16ToFloat uses: sixteen samples at a time where the processor has AVX-512,
// eight where it has AVX (both checked at run time), at most AVX, or the SSE2 lanes every x86-64
// processor has. All give the same floats.
enum class ConversionLanes
{
    Best,
    Avx,
    Sse2,
};

// `count` little-endian 16-bit samples read as they lie in `bytes` (no alignment needed).
void Pcm16ToFloat(const uint8_t* bytes, size_t count, float* out, ConversionLanes lanes = ConversionLanes::Best);
} // namespace audio
