#include "platform/audio/PhaseTrack.h"

#include <immintrin.h>

#include <algorithm>
#include <vector>

namespace audio
{
namespace
{
// Sixteen voices side by side: each position takes about eight cycles to follow from the one
// before, so this many independent chains keep the vector units full.
constexpr uint32_t kLanes = 16;
constexpr uint32_t kPairs = kLanes / 2;
constexpr uint32_t kQuads = kLanes / 4;

// One step of eight lane pairs. Subtracting whole frames from a position below 2^31 is exact, so
// dropping them all at once gives the same double as dropping them one by one.
template <bool kSeveralPerStep>
inline void Step(__m128d (&position)[kPairs], const __m128d (&step)[kPairs], __m128i (&advance)[kQuads])
{
    const __m128d one = _mm_set1_pd(1.0);
    for (uint32_t q = 0; q < kQuads; ++q)
    {
        const __m128d a = _mm_add_pd(position[2 * q], step[2 * q]);
        const __m128d b = _mm_add_pd(position[2 * q + 1], step[2 * q + 1]);
        if constexpr (kSeveralPerStep)
        {
            const __m128i wholeA = _mm_cvttpd_epi32(a);
            const __m128i wholeB = _mm_cvttpd_epi32(b);
            position[2 * q] = _mm_sub_pd(a, _mm_cvtepi32_pd(wholeA));
            position[2 * q + 1] = _mm_sub_pd(b, _mm_cvtepi32_pd(wholeB));
            advance[q] = _mm_add_epi32(advance[q], _mm_unpacklo_epi64(wholeA, wholeB));
        }
        else
        {
            // Below one frame per step at most one frame is passed: subtract 1 where the mask is set.
            const __m128d passedA = _mm_cmpge_pd(a, one);
            const __m128d passedB = _mm_cmpge_pd(b, one);
            position[2 * q] = _mm_sub_pd(a, _mm_and_pd(passedA, one));
            position[2 * q + 1] = _mm_sub_pd(b, _mm_and_pd(passedB, one));
            const __m128 masks = _mm_shuffle_ps(_mm_castpd_ps(passedA), _mm_castpd_ps(passedB), _MM_SHUFFLE(2, 0, 2, 0));
            advance[q] = _mm_sub_epi32(advance[q], _mm_castps_si128(masks));
        }
    }
}

template <bool kSeveralPerStep>
void TrackGroup(PhaseTrack* const* lanes, uint32_t used, uint32_t frames)
{
    alignas(16) double start[kLanes] = {};
    alignas(16) double steps[kLanes] = {};
    float* tOut[kLanes];
    int32_t* advanceOut[kLanes];
    for (uint32_t lane = 0; lane < used; ++lane)
    {
        start[lane] = lanes[lane]->phase;
        steps[lane] = lanes[lane]->step;
        tOut[lane] = lanes[lane]->t;
        advanceOut[lane] = lanes[lane]->advance;
    }
    __m128d position[kPairs];
    __m128d step[kPairs];
    for (uint32_t p = 0; p < kPairs; ++p)
    {
        position[p] = _mm_load_pd(start + 2 * p);
        step[p] = _mm_load_pd(steps + 2 * p);
    }
    __m128i advance[kQuads];
    for (__m128i& a : advance)
        a = _mm_setzero_si128();

    alignas(16) double endPhase[kLanes];
    alignas(16) int32_t endAdvance[kLanes];
    const auto keepEnd = [&]() {
        for (uint32_t p = 0; p < kPairs; ++p)
            _mm_store_pd(endPhase + 2 * p, position[p]);
        for (uint32_t q = 0; q < kQuads; ++q)
            _mm_store_si128(reinterpret_cast<__m128i*>(endAdvance + 4 * q), advance[q]);
    };

    const uint32_t length = PhaseTrackLength(frames);
    for (uint32_t i = 0; i < length; i += kPhaseGroupFrames)
    {
        // Four frames of every lane, then turned so each lane's four frames go out in one store.
        __m128 t[kPhaseGroupFrames][kQuads];
        __m128 a[kPhaseGroupFrames][kQuads];
        for (uint32_t f = 0; f < kPhaseGroupFrames; ++f)
        {
            if (i + f == frames)
                keepEnd();
            for (uint32_t q = 0; q < kQuads; ++q)
            {
                t[f][q] = _mm_movelh_ps(_mm_cvtpd_ps(position[2 * q]), _mm_cvtpd_ps(position[2 * q + 1]));
                a[f][q] = _mm_castsi128_ps(advance[q]);
            }
            Step<kSeveralPerStep>(position, step, advance);
        }
        for (uint32_t q = 0; q < kQuads; ++q)
        {
            _MM_TRANSPOSE4_PS(t[0][q], t[1][q], t[2][q], t[3][q]);
            _MM_TRANSPOSE4_PS(a[0][q], a[1][q], a[2][q], a[3][q]);
            for (uint32_t r = 0; r < 4 && 4 * q + r < used; ++r)
            {
                _mm_storeu_ps(tOut[4 * q + r] + i, t[r][q]);
                _mm_storeu_si128(reinterpret_cast<__m128i*>(advanceOut[4 * q + r] + i), _mm_castps_si128(a[r][q]));
            }
        }
    }
    if (frames == length)
        keepEnd();
    for (uint32_t lane = 0; lane < used; ++lane)
    {
        lanes[lane]->endPhase = endPhase[lane];
        lanes[lane]->endAdvance = uint32_t(endAdvance[lane]);
    }
}

// The same tracking four lanes to a register, for processors that have AVX (checked at run time).
template <bool kSeveralPerStep>
__attribute__((target("avx")))
void TrackGroupAvx(PhaseTrack* const* lanes, uint32_t used, uint32_t frames)
{
    alignas(32) double start[kLanes] = {};
    alignas(32) double steps[kLanes] = {};
    float* tOut[kLanes];
    int32_t* advanceOut[kLanes];
    for (uint32_t lane = 0; lane < used; ++lane)
    {
        start[lane] = lanes[lane]->phase;
        steps[lane] = lanes[lane]->step;
        tOut[lane] = lanes[lane]->t;
        advanceOut[lane] = lanes[lane]->advance;
    }
    const __m256d one = _mm256_set1_pd(1.0);
    __m256d position[kQuads];
    __m256d step[kQuads];
    __m128i advance[kQuads];
    for (uint32_t q = 0; q < kQuads; ++q)
    {
        position[q] = _mm256_load_pd(start + 4 * q);
        step[q] = _mm256_load_pd(steps + 4 * q);
        advance[q] = _mm_setzero_si128();
    }
    alignas(32) double endPhase[kLanes];
    alignas(16) int32_t endAdvance[kLanes];
    const auto keepEnd = [&]() __attribute__((target("avx"))) {
        for (uint32_t q = 0; q < kQuads; ++q)
        {
            _mm256_store_pd(endPhase + 4 * q, position[q]);
            _mm_store_si128(reinterpret_cast<__m128i*>(endAdvance + 4 * q), advance[q]);
        }
    };

    const uint32_t length = PhaseTrackLength(frames);
    for (uint32_t i = 0; i < length; i += kPhaseGroupFrames)
    {
        __m128 t[kPhaseGroupFrames][kQuads];
        __m128 a[kPhaseGroupFrames][kQuads];
        for (uint32_t f = 0; f < kPhaseGroupFrames; ++f)
        {
            if (i + f == frames)
                keepEnd();
            for (uint32_t q = 0; q < kQuads; ++q)
            {
                t[f][q] = _mm256_cvtpd_ps(position[q]);
                a[f][q] = _mm_castsi128_ps(advance[q]);
                const __m256d x = _mm256_add_pd(position[q], step[q]);
                if constexpr (kSeveralPerStep)
                {
                    const __m128i whole = _mm256_cvttpd_epi32(x);
                    position[q] = _mm256_sub_pd(x, _mm256_cvtepi32_pd(whole));
                    advance[q] = _mm_add_epi32(advance[q], whole);
                }
                else
                {
                    const __m256d passed = _mm256_cmp_pd(x, one, _CMP_GE_OQ);
                    position[q] = _mm256_sub_pd(x, _mm256_and_pd(passed, one));
                    const __m256 masks = _mm256_castpd_ps(passed);
                    const __m128 packed = _mm_shuffle_ps(_mm256_castps256_ps128(masks), _mm256_extractf128_ps(masks, 1),
                                                         _MM_SHUFFLE(2, 0, 2, 0));
                    advance[q] = _mm_sub_epi32(advance[q], _mm_castps_si128(packed));
                }
            }
        }
        for (uint32_t q = 0; q < kQuads; ++q)
        {
            _MM_TRANSPOSE4_PS(t[0][q], t[1][q], t[2][q], t[3][q]);
            _MM_TRANSPOSE4_PS(a[0][q], a[1][q], a[2][q], a[3][q]);
            for (uint32_t r = 0; r < 4 && 4 * q + r < used; ++r)
            {
                _mm_storeu_ps(tOut[4 * q + r] + i, t[r][q]);
                _mm_storeu_si128(reinterpret_cast<__m128i*>(advanceOut[4 * q + r] + i), _mm_castps_si128(a[r][q]));
            }
        }
    }
    if (frames == length)
        keepEnd();
    for (uint32_t lane = 0; lane < used; ++lane)
    {
        lanes[lane]->endPhase = endPhase[lane];
        lanes[lane]->endAdvance = uint32_t(endAdvance[lane]);
    }
}

template <bool kSeveralPerStep>
void TrackGroups(PhaseTrack* const* tracks, size_t count, uint32_t frames, bool avx)
{
    for (size_t first = 0; first < count; first += kLanes)
    {
        const uint32_t used = uint32_t(std::min<size_t>(kLanes, count - first));
        if (avx)
            TrackGroupAvx<kSeveralPerStep>(tracks + first, used, frames);
        else
            TrackGroup<kSeveralPerStep>(tracks + first, used, frames);
    }
}
} // namespace

void TrackPhases(PhaseTrack* const* tracks, size_t count, uint32_t frames, PhaseTrackLanes lanes)
{
    static const bool haveAvx = __builtin_cpu_supports("avx");
    const bool avx = haveAvx && lanes == PhaseTrackLanes::Best;
    // Steps below one frame take the cheaper step in whole groups; the rest share the general one.
    std::vector<PhaseTrack*> order(tracks, tracks + count);
    const auto general = std::stable_partition(order.begin(), order.end(), [](const PhaseTrack* track) { return track->step < 1.0; });
    const size_t below = size_t(general - order.begin()) / kLanes * kLanes;
    TrackGroups<false>(order.data(), below, frames, avx);
    TrackGroups<true>(order.data() + below, order.size() - below, frames, avx);
}
} // namespace audio
