#include "platform/audio/PhaseTrack.h"

#include <immintrin.h>

namespace audio
{
namespace
{
// Each fills `length` frames, a multiple of kPhaseGroupFrames.
__attribute__((target("avx512f")))
void TrackSixteen(const PhaseTrack& track, uint32_t length)
{
    const LaneStart<16> start(track);
    float* const t = track.t;
    int32_t* const advance = track.advance;
    __m512i whole = _mm512_load_si512(start.whole);
    __m512i flipped = _mm512_load_si512(start.flipped);
    const __m512i stepWhole = _mm512_set1_epi32(start.stepWhole);
    const __m512i stepFlipped = _mm512_set1_epi32(start.stepFlipped);
    const __m512i one = _mm512_set1_epi32(1);
    const __m512 scale = _mm512_set1_ps(1.0f / 16777216.0f);
    const __m512 half = _mm512_set1_ps(0.5f);
    // The zero-masking forms with every lane set: the plain ones start from an undefined register,
    // which this compiler's headers warn about.
    constexpr __mmask16 kAll = 0xFFFF;
    for (uint32_t i = 0; i < length; i += 16)
    {
        const __m512 below = _mm512_maskz_cvtepi32_ps(kAll, _mm512_maskz_srai_epi32(kAll, flipped, 8));
        _mm512_storeu_ps(t + i, _mm512_add_ps(_mm512_mul_ps(below, scale), half));
        _mm512_storeu_si512(advance + i, whole);
        const __m512i next = _mm512_add_epi32(flipped, stepFlipped);
        const __mmask16 carried = _mm512_cmplt_epi32_mask(next, flipped);
        flipped = next;
        whole = _mm512_add_epi32(whole, stepWhole);
        whole = _mm512_mask_add_epi32(whole, carried, whole, one);
    }
}

__attribute__((target("avx2")))
void TrackEight(const PhaseTrack& track, uint32_t length)
{
    EightPositions positions(track);
    for (uint32_t i = 0; i < length; i += 8)
    {
        _mm256_storeu_ps(track.t + i, positions.T());
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(track.advance + i), positions.whole);
        positions.Step();
    }
}

void TrackFour(const PhaseTrack& track, uint32_t length)
{
    const LaneStart<4> start(track);
    float* const t = track.t;
    int32_t* const advance = track.advance;
    __m128i whole = _mm_load_si128(reinterpret_cast<const __m128i*>(start.whole));
    __m128i flipped = _mm_load_si128(reinterpret_cast<const __m128i*>(start.flipped));
    const __m128i stepWhole = _mm_set1_epi32(start.stepWhole);
    const __m128i stepFlipped = _mm_set1_epi32(start.stepFlipped);
    const __m128 scale = _mm_set1_ps(1.0f / 16777216.0f);
    const __m128 half = _mm_set1_ps(0.5f);
    for (uint32_t i = 0; i < length; i += 4)
    {
        const __m128 below = _mm_cvtepi32_ps(_mm_srai_epi32(flipped, 8));
        _mm_storeu_ps(t + i, _mm_add_ps(_mm_mul_ps(below, scale), half));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(advance + i), whole);
        const __m128i next = _mm_add_epi32(flipped, stepFlipped);
        const __m128i carried = _mm_cmpgt_epi32(flipped, next);
        flipped = next;
        whole = _mm_sub_epi32(_mm_add_epi32(whole, stepWhole), carried);
    }
}
} // namespace

void TrackPhase(PhaseTrack& track, uint32_t frames, PhaseTrackLanes lanes)
{
    static const bool haveAvx512 = __builtin_cpu_supports("avx512f");
    static const bool haveAvx2 = __builtin_cpu_supports("avx2");
    const uint32_t length = PhaseTrackLength(frames);
    if (haveAvx512 && lanes == PhaseTrackLanes::Best)
        TrackSixteen(track, length);
    else if (haveAvx2 && lanes != PhaseTrackLanes::Sse2)
        TrackEight(track, length);
    else
        TrackFour(track, length);
    EndTrack(track, frames);
}

void EndTrack(PhaseTrack& track, uint32_t frames)
{
    const uint64_t end = track.fraction + frames * track.step;
    track.endAdvance = uint32_t(end >> 32);
    track.endFraction = uint32_t(end);
}
} // namespace audio
