// Where a voice's resampler stands at every output frame of a mix block. Pure computation on the
// caller's arrays: any thread (the mixer calls it with the engine lock held).
//
// Positions are fixed-point numbers of source frames with 32 fraction bits: the step is rounded
// once to a 2^-32 frame (a pitch error of at most 2.3 parts in 10^5 at the smallest step, five
// millionths of a frame, and about one in 10^10 at usual ones), and from then on every position is
// exact, so no error builds up over a block or from block to block, and vector lanes find each
// frame's position without waiting on the frame before.
#pragma once

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
} // namespace audio
