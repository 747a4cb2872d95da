// Where a voice's resampler stands at every output frame of a mix block. Pure computation on the
// caller's arrays: any thread (the mixer calls it with the engine lock held).
//
// Positions are fixed-point numbers of source frames with 32 fraction bits: the step is rounded
// once to a 2^-32 frame (a pitch error of at most 2.3 parts in 10^5 at the smallest step, five
// millionths of a frame, and about one in 10^10 at usual ones), and from then on every position is
// exact, so no error builds up over a block or from block to block, and vector lanes find each
// frame's position without waiting on the frame before.
#pragma once

#include <immintrin.h>

#include <cstddef>
#include <cstdint>

namespace audio
{
// Output frames are tracked in groups of this many; t and advance arrays hold a whole number of
// groups past the frame count.
constexpr uint32_t kPhaseGroupFrames = 16;

// Steps at or above this take the frame-by-frame loop, which reads only the frames it skips over.
constexpr double kMaxTrackedStep = 4.0;

// Fixed-point units per source frame.
constexpr double kPhaseUnits = 4294967296.0;

// A step in source frames per output frame as fixed point, rounded to the nearest unit.
inline uint64_t FixedStep(double step)
{
    return uint64_t(step * kPhaseUnits + 0.5);
}

// The t of a position's fraction: its top 24 bits, which a float holds exactly.
inline float FractionT(uint32_t fraction)
{
    return float(fraction >> 8) * (1.0f / 16777216.0f);
}

// One voice's resampler over a block. Output frame i stands at p = fraction + i x step (in units):
// `advance[i]` is p's whole frames past the voice's first frame and `t[i]` FractionT of the rest.
struct PhaseTrack
{
    // In: where the block starts between the first frame and the next, and the step (below
    // kMaxTrackedStep frames).
    uint32_t fraction = 0;
    uint64_t step = 0;
    // Out, for frames rounded up to kPhaseGroupFrames.
    float* t = nullptr;
    int32_t* advance = nullptr;
    // Out: output frame `frames`'s position, where the next block starts.
    uint32_t endFraction = 0;
    uint32_t endAdvance = 0;
};

// Frames rounded up to whole groups: the length the t and advance arrays need.
inline uint32_t PhaseTrackLength(uint32_t frames)
{
    return (frames + kPhaseGroupFrames - 1) / kPhaseGroupFrames * kPhaseGroupFrames;
}

// The vector lanes TrackPhase uses: the widest the processor has (sixteen frames with AVX-512,
// eight with AVX2, checked at run time), at most AVX2, or the SSE2 lanes every x86-64 processor
// has. All give the same results.
enum class PhaseTrackLanes
{
    Best,
    Avx2,
    Sse2,
};

// Fills the track over `frames` output frames.
void TrackPhase(PhaseTrack& track, uint32_t frames, PhaseTrackLanes lanes = PhaseTrackLanes::Best);

// Sets only the track's end, for a mix that finds the positions as it goes.
void EndTrack(PhaseTrack& track, uint32_t frames);

// Where `kLanes` lanes start: output frames 0 .. kLanes - 1 of the track, and the step that moves
// each on by kLanes frames. Each lane keeps a position's whole frames and its fraction. The fraction
// is held with its top bit flipped so that a signed compare tells when adding the step carried into
// the whole frames; shifted down it is then (fraction >> 8) - 2^23, so FractionT is that times 2^-24
// plus one half, both exact.
template <uint32_t kLanes>
struct LaneStart
{
    alignas(64) int32_t whole[kLanes];
    alignas(64) int32_t flipped[kLanes];
    int32_t stepWhole;
    int32_t stepFlipped;

    explicit LaneStart(const PhaseTrack& track)
    {
        for (uint32_t lane = 0; lane < kLanes; ++lane)
        {
            const uint64_t position = track.fraction + lane * track.step;
            whole[lane] = int32_t(position >> 32);
            flipped[lane] = int32_t(uint32_t(position) ^ 0x80000000u);
        }
        const uint64_t step = kLanes * track.step;
        stepWhole = int32_t(step >> 32);
        stepFlipped = int32_t(uint32_t(step));
    }
};

// Eight output frames' positions in AVX2 lanes, eight frames on at each step: what TrackPhase
// stores, and what a mix that finds the positions as it goes reads straight from the registers.
struct EightPositions
{
    __m256i whole;
    __m256i flipped;
    __m256i stepWhole;
    __m256i stepFlipped;

    __attribute__((target("avx2"))) explicit EightPositions(const PhaseTrack& track)
    {
        const LaneStart<8> start(track);
        whole = _mm256_load_si256(reinterpret_cast<const __m256i*>(start.whole));
        flipped = _mm256_load_si256(reinterpret_cast<const __m256i*>(start.flipped));
        stepWhole = _mm256_set1_epi32(start.stepWhole);
        stepFlipped = _mm256_set1_epi32(start.stepFlipped);
    }

    __attribute__((target("avx2"))) __m256 T() const
    {
        const __m256 below = _mm256_cvtepi32_ps(_mm256_srai_epi32(flipped, 8));
        return _mm256_add_ps(_mm256_mul_ps(below, _mm256_set1_ps(1.0f / 16777216.0f)), _mm256_set1_ps(0.5f));
    }

    __attribute__((target("avx2"))) void Step()
    {
        const __m256i next = _mm256_add_epi32(flipped, stepFlipped);
        // All ones (minus one) where the fraction carried.
        const __m256i carried = _mm256_cmpgt_epi32(flipped, next);
        flipped = next;
        whole = _mm256_sub_epi32(_mm256_add_epi32(whole, stepWhole), carried);
    }
};
} // namespace audio
