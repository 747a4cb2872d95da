#include "platform/audio/PcmConversion.h"

#include <immintrin.h>

#include <cstring>

namespace audio
{
namespace
{
// Dividing by 32768 is scaling by a power of two, so the product is the same float as the quotient.
constexpr float kScale = 1.0f / 32768.0f;

// Returns the samples done, a multiple of sixteen.
__attribute__((target("avx512f")))
size_t ConvertSixteen(const uint8_t* bytes, size_t count, float* out)
{
    const __m512 scale = _mm512_set1_ps(kScale);
    // The zero-masking forms with every lane set: the plain ones start from an undefined register,
    // which this compiler's headers warn about.
    constexpr __mmask16 kAll = 0xFFFF;
    size_t s = 0;
    for (; s + 16 <= count; s += 16)
    {
        const __m256i narrow = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(bytes + 2 * s));
        const __m512i wide = _mm512_maskz_cvtepi16_epi32(kAll, narrow);
        _mm512_storeu_ps(out + s, _mm512_mul_ps(_mm512_maskz_cvtepi32_ps(kAll, wide), scale));
    }
    return s;
}

// Returns the samples done, a multiple of eight.
__attribute__((target("avx")))
size_t ConvertEight(const uint8_t* bytes, size_t count, float* out)
{
    const __m256 scale = _mm256_set1_ps(kScale);
    size_t s = 0;
    for (; s + 8 <= count; s += 8)
    {
        const __m128i low = _mm_cvtepi16_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(bytes + 2 * s)));
        const __m128i high = _mm_cvtepi16_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(bytes + 2 * s + 8)));
        const __m256i wide = _mm256_insertf128_si256(_mm256_castsi128_si256(low), high, 1);
        _mm256_storeu_ps(out + s, _mm256_mul_ps(_mm256_cvtepi32_ps(wide), scale));
    }
    return s;
}


// Little-endian samples read as they lie: this stand-in runs on x86-64 only.
inline void ConvertOneByOne(const uint8_t* bytes, size_t count, float* out)
{
    for (size_t s = 0; s < count; ++s)
    {
        int16_t sample;
        std::memcpy(&sample, bytes + 2 * s, 2);
        out[s] = float(sample) * kScale;
    }
}
} // namespace

void Pcm16ToFloat(const uint8_t* bytes, size_t count, float* out, ConversionLanes lanes)
{
    static const bool haveAvx512 = __builtin_cpu_supports("avx512f");
    static const bool haveAvx = __builtin_cpu_supports("avx");
    if (!haveAvx || lanes == ConversionLanes::Sse2 || count < 8)
    {
        ConvertOneByOne(bytes, count, out);
        return;
    }
    // Stores that straddle two cache lines cost twice: one wide store converts the samples up to a
    // boundary of the output as wide as the stores, the rest go from there, and one more converts
    // the last few, some of them again (into the same floats) rather than one by one.
    const bool sixteen = haveAvx512 && lanes == ConversionLanes::Best && count >= 16;
    const size_t width = sixteen ? 64 : 32;
    if (sixteen)
        ConvertSixteen(bytes, 16, out);
    else
        ConvertEight(bytes, 8, out);
    size_t s = ((width - reinterpret_cast<uintptr_t>(out) % width) % width) / sizeof(float);
    if (sixteen)
        s += ConvertSixteen(bytes + 2 * s, count - s, out + s);
    s += ConvertEight(bytes + 2 * s, count - s, out + s);
    if (s < count)
        ConvertEight(bytes + 2 * (count - 8), 8, out + count - 8);
}
} // namespace audio
