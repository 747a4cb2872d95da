#include "platform/audio/PhaseTrack.h"

#include <immintrin.h>

namespace audio
{
namespace
{
// Compilers may fuse a product and the sum after it into one multiply-add (AVX-512 brings one),
// which rounds once where TrackedPosition rounds twice; passing the product through this keeps both.
template <typename Vector>
inline void KeepRounded(Vector& product)
{
    __asm__("" : "+v"(product));
}

// Each fills `length` frames, a multiple of eight.
__attribute__((target("avx512f")))
void TrackEight(const PhaseTrack& track, uint32_t length)
{
    float* const t = track.t;
    int32_t* const advance = track.advance;
    const __m512d phase = _mm512_set1_pd(track.phase);
    const __m512d step = _mm512_set1_pd(track.step);
    const __m512d eight = _mm512_set1_pd(8.0);
    __m512d index = _mm512_setr_pd(0.0, 1.0, 2.0, 3.0, 4.0, 5.0, 6.0, 7.0);
    // The zero-masking forms with every lane set: the plain ones start from an undefined register,
    // which this compiler's headers warn about.
    constexpr __mmask8 kAll = 0xFF;
    for (uint32_t i = 0; i < length; i += 8)
    {
        __m512d product = _mm512_mul_pd(index, step);
        KeepRounded(product);
        const __m512d position = _mm512_add_pd(phase, product);
        const __m512d whole = _mm512_maskz_roundscale_pd(kAll, position, _MM_FROUND_TO_ZERO | _MM_FROUND_NO_EXC);
        _mm256_storeu_ps(t + i, _mm512_maskz_cvtpd_ps(kAll, _mm512_sub_pd(position, whole)));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(advance + i), _mm512_maskz_cvttpd_epi32(kAll, whole));
        index = _mm512_add_pd(index, eight);
    }
}

__attribute__((target("avx")))
void TrackFour(const PhaseTrack& track, uint32_t length)
{
    float* const t = track.t;
    int32_t* const advance = track.advance;
    const __m256d phase = _mm256_set1_pd(track.phase);
    const __m256d step = _mm256_set1_pd(track.step);
    const __m256d four = _mm256_set1_pd(4.0);
    __m256d index = _mm256_setr_pd(0.0, 1.0, 2.0, 3.0);
    for (uint32_t i = 0; i < length; i += 4)
    {
        __m256d product = _mm256_mul_pd(index, step);
        KeepRounded(product);
        const __m256d position = _mm256_add_pd(phase, product);
        const __m256d whole = _mm256_round_pd(position, _MM_FROUND_TO_ZERO | _MM_FROUND_NO_EXC);
        _mm_storeu_ps(t + i, _mm256_cvtpd_ps(_mm256_sub_pd(position, whole)));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(advance + i), _mm256_cvttpd_epi32(whole));
        index = _mm256_add_pd(index, four);
    }
}

// SSE2 has no rounding to whole numbers: positions stay below 2^31, so truncating to an integer
// and back gives the same double.
void TrackTwo(const PhaseTrack& track, uint32_t length)
{
    float* const t = track.t;
    int32_t* const advance = track.advance;
    const __m128d phase = _mm_set1_pd(track.phase);
    const __m128d step = _mm_set1_pd(track.step);
    const __m128d two = _mm_set1_pd(2.0);
    __m128d index = _mm_setr_pd(0.0, 1.0);
    for (uint32_t i = 0; i < length; i += 2)
    {
        __m128d product = _mm_mul_pd(index, step);
        KeepRounded(product);
        const __m128d position = _mm_add_pd(phase, product);
        const __m128i passed = _mm_cvttpd_epi32(position);
        _mm_storel_pi(reinterpret_cast<__m64*>(t + i), _mm_cvtpd_ps(_mm_sub_pd(position, _mm_cvtepi32_pd(passed))));
        _mm_storel_epi64(reinterpret_cast<__m128i*>(advance + i), passed);
        index = _mm_add_pd(index, two);
    }
}
} // namespace

void TrackPhase(PhaseTrack& track, uint32_t frames, PhaseTrackLanes lanes)
{
    static const bool haveAvx512 = __builtin_cpu_supports("avx512f");
    static const bool haveAvx = __builtin_cpu_supports("avx");
    const uint32_t length = PhaseTrackLength(frames);
    if (haveAvx512 && lanes == PhaseTrackLanes::Best)
        TrackEight(track, length);
    else if (haveAvx && lanes != PhaseTrackLanes::Sse2)
        TrackFour(track, length);
    else
        TrackTwo(track, length);
    const double end = TrackedPosition(track.phase, track.step, frames);
    track.endAdvance = uint32_t(end);
    track.endPhase = end - double(track.endAdvance);
}
} // namespace audio
