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
    for (uint32_t i = 0; i < length; i += 4)
    {
        // Four frames of every lane, then turned so each lane's four frames go out in one store.
        __m128 t[4][kQuads];
        __m128 a[4][kQuads];
        for (uint32_t f = 0; f < 4; ++f)
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

// Turns eight frames of four lanes (t of frame f in ts[f], its whole frames passed in the low
// halves of the doubles of counts[f]) into each lane's eight frames and stores them.
__attribute__((target("avx")))
inline void StoreEightFrames(const __m128* ts, const __m256d* counts, float* const* tOut, int32_t* const* advanceOut,
                             uint32_t i)
{
    // t: frames f and f + 4 share a register, then each half turns from frames to lanes.
    __m256 r[4];
    for (uint32_t f = 0; f < 4; ++f)
        r[f] = _mm256_insertf128_ps(_mm256_castps128_ps256(ts[f]), ts[f + 4], 1);
    const __m256 lo01 = _mm256_unpacklo_ps(r[0], r[1]); // f0l0 f1l0 f0l1 f1l1
    const __m256 hi01 = _mm256_unpackhi_ps(r[0], r[1]); // f0l2 f1l2 f0l3 f1l3
    const __m256 lo23 = _mm256_unpacklo_ps(r[2], r[3]);
    const __m256 hi23 = _mm256_unpackhi_ps(r[2], r[3]);
    const __m256 tLanes[4] = {_mm256_shuffle_ps(lo01, lo23, _MM_SHUFFLE(1, 0, 1, 0)),
                              _mm256_shuffle_ps(lo01, lo23, _MM_SHUFFLE(3, 2, 3, 2)),
                              _mm256_shuffle_ps(hi01, hi23, _MM_SHUFFLE(1, 0, 1, 0)),
                              _mm256_shuffle_ps(hi01, hi23, _MM_SHUFFLE(3, 2, 3, 2))};
    // Counts: the low halves of two frames side by side, then each lane's four frames gathered.
    __m256 pairs[4];
    for (uint32_t f = 0; f < 4; ++f)
        pairs[f] = _mm256_shuffle_ps(_mm256_castpd_ps(counts[2 * f]), _mm256_castpd_ps(counts[2 * f + 1]),
                                     _MM_SHUFFLE(2, 0, 2, 0)); // f0l0 f0l1 f1l0 f1l1 | f0l2 f0l3 f1l2 f1l3
    const __m256 even0 = _mm256_shuffle_ps(pairs[0], pairs[1], _MM_SHUFFLE(2, 0, 2, 0)); // l0 f0-3 | l2 f0-3
    const __m256 odd0 = _mm256_shuffle_ps(pairs[0], pairs[1], _MM_SHUFFLE(3, 1, 3, 1));  // l1 f0-3 | l3 f0-3
    const __m256 even1 = _mm256_shuffle_ps(pairs[2], pairs[3], _MM_SHUFFLE(2, 0, 2, 0)); // l0 f4-7 | l2 f4-7
    const __m256 odd1 = _mm256_shuffle_ps(pairs[2], pairs[3], _MM_SHUFFLE(3, 1, 3, 1));
    const __m256 aLanes[4] = {_mm256_permute2f128_ps(even0, even1, 0x20), _mm256_permute2f128_ps(odd0, odd1, 0x20),
                              _mm256_permute2f128_ps(even0, even1, 0x31), _mm256_permute2f128_ps(odd0, odd1, 0x31)};
    for (uint32_t r = 0; r < 4; ++r)
    {
        _mm256_storeu_ps(tOut[r] + i, tLanes[r]);
        _mm256_storeu_ps(reinterpret_cast<float*>(advanceOut[r] + i), aLanes[r]);
    }
}

// The same tracking four lanes to a register, kQuads registers side by side, for processors that
// have AVX (checked at run time). Every step drops the whole frames it passed by truncation,
// whatever the step: positions stay below 2^31, so that subtraction is exact and gives the same
// double as dropping frames one by one, and one loop serves every voice. Lanes past `used` follow
// lane 0 and store the same values to the same place, so no store needs a lane check.
template <uint32_t kQuads>
__attribute__((target("avx")))
void TrackGroupAvx(PhaseTrack* const* lanes, uint32_t used, uint32_t frames)
{
    static_assert(kPhaseGroupFrames == 8, "StoreEightFrames turns groups of eight frames");
    constexpr uint32_t kLaneCount = 4 * kQuads;
    alignas(32) double start[kLaneCount];
    alignas(32) double steps[kLaneCount];
    float* tOut[kLaneCount];
    int32_t* advanceOut[kLaneCount];
    for (uint32_t lane = 0; lane < kLaneCount; ++lane)
    {
        const PhaseTrack& track = *lanes[lane < used ? lane : 0];
        start[lane] = track.phase;
        steps[lane] = track.step;
        tOut[lane] = track.t;
        advanceOut[lane] = track.advance;
    }
    __m256d position[kQuads];
    for (uint32_t q = 0; q < kQuads; ++q)
        position[q] = _mm256_load_pd(start + 4 * q);
    // Whole frames passed are counted in doubles biased by 2^52, whose low 32 bits are then the count.
    constexpr double kBias = 4503599627370496.0;
    __m256d passed[kQuads];
    for (__m256d& count : passed)
        count = _mm256_set1_pd(kBias);
    alignas(32) double endPhase[kLaneCount];
    alignas(32) double endPassed[kLaneCount];

    const uint32_t length = PhaseTrackLength(frames);
    for (uint32_t i = 0; i < length; i += kPhaseGroupFrames)
    {
        // Only the positions chain from frame to frame; counting the frames passed waits for the turns.
        __m128 t[kQuads][kPhaseGroupFrames];
        __m256d whole[kQuads][kPhaseGroupFrames];
        for (uint32_t f = 0; f < kPhaseGroupFrames; ++f)
        {
            if (i + f == frames)
                for (uint32_t q = 0; q < kQuads; ++q)
                    _mm256_store_pd(endPhase + 4 * q, position[q]);
            for (uint32_t q = 0; q < kQuads; ++q)
            {
                t[q][f] = _mm256_cvtpd_ps(position[q]);
                const __m256d x = _mm256_add_pd(position[q], _mm256_load_pd(steps + 4 * q));
                whole[q][f] = _mm256_round_pd(x, _MM_FROUND_TO_ZERO | _MM_FROUND_NO_EXC);
                position[q] = _mm256_sub_pd(x, whole[q][f]);
            }
        }
        for (uint32_t q = 0; q < kQuads; ++q)
        {
            __m256d counts[kPhaseGroupFrames];
            for (uint32_t f = 0; f < kPhaseGroupFrames; ++f)
            {
                counts[f] = passed[q];
                passed[q] = _mm256_add_pd(passed[q], whole[q][f]);
            }
            if (frames - i < kPhaseGroupFrames)
                _mm256_store_pd(endPassed + 4 * q, counts[frames - i]);
            StoreEightFrames(t[q], counts, tOut + 4 * q, advanceOut + 4 * q, i);
        }
    }
    if (frames == length)
        for (uint32_t q = 0; q < kQuads; ++q)
        {
            _mm256_store_pd(endPhase + 4 * q, position[q]);
            _mm256_store_pd(endPassed + 4 * q, passed[q]);
        }
    for (uint32_t lane = 0; lane < used; ++lane)
    {
        lanes[lane]->endPhase = endPhase[lane];
        lanes[lane]->endAdvance = uint32_t(endPassed[lane] - kBias);
    }
}

template <bool kSeveralPerStep>
void TrackGroups(PhaseTrack* const* tracks, size_t count, uint32_t frames)
{
    for (size_t first = 0; first < count; first += kLanes)
        TrackGroup<kSeveralPerStep>(tracks + first, uint32_t(std::min<size_t>(kLanes, count - first)), frames);
}
} // namespace

void TrackPhases(PhaseTrack* const* tracks, size_t count, uint32_t frames, PhaseTrackLanes lanes)
{
    static const bool haveAvx = __builtin_cpu_supports("avx");
    if (haveAvx && lanes == PhaseTrackLanes::Best)
    {
        // Eight registers of four voices keep the processor busy while each position waits on the
        // one before; fewer voices take fewer registers.
        for (size_t first = 0; first < count;)
        {
            const size_t left = count - first;
            const uint32_t quads = left > 16 ? 8 : left > 8 ? 4 : left > 4 ? 2 : 1;
            const uint32_t used = uint32_t(std::min<size_t>(4 * quads, left));
            switch (quads)
            {
            case 8: TrackGroupAvx<8>(tracks + first, used, frames); break;
            case 4: TrackGroupAvx<4>(tracks + first, used, frames); break;
            case 2: TrackGroupAvx<2>(tracks + first, used, frames); break;
            default: TrackGroupAvx<1>(tracks + first, used, frames); break;
            }
            first += used;
        }
        return;
    }
    // Steps below one frame take the cheaper step in whole groups; the rest share the general one.
    std::vector<PhaseTrack*> order(tracks, tracks + count);
    const auto general = std::stable_partition(order.begin(), order.end(), [](const PhaseTrack* track) { return track->step < 1.0; });
    const size_t below = size_t(general - order.begin()) / kLanes * kLanes;
    TrackGroups<false>(order.data(), below, frames);
    TrackGroups<true>(order.data() + below, order.size() - below, frames);
}
} // namespace audio
