// Where a voice's resampler stands at every output frame of a mix block. Pure computation on the
// caller's arrays: any thread (the mixer calls it with the engine lock held).
#pragma once

#include <cstddef>
#include <cstdint>

namespace audio
{
// Output frames are tracked in groups of this many; t and advance arrays hold a whole number of
// groups past the frame count.
constexpr uint32_t kPhaseGroupFrames = 8;

// Steps at or above this take the frame-by-frame loop, which reads only the frames it skips over.
constexpr double kMaxTrackedStep = 4.0;

// One voice's resampler over a block. Output frame i stands at position p = phase + i x step
// source frames past the voice's first frame (the product and the sum each rounded to double, no
// fused multiply-add), so no frame's position waits on the one before it and no rounding error
// builds up over the block: `advance[i]` is p's whole frames and `t[i]` the float of what is left.
struct PhaseTrack
{
    // In: position between the first frame and the next (0 <= phase < 1) and the step (< kMaxTrackedStep).
    double phase = 0.0;
    double step = 0.0;
    // Out, for frames rounded up to kPhaseGroupFrames.
    float* t = nullptr;
    int32_t* advance = nullptr;
    // Out: the position after the block, output frame `frames`'s.
    double endPhase = 0.0;
    uint32_t endAdvance = 0;
};

// Frames rounded up to whole groups: the length the t and advance arrays need.
inline uint32_t PhaseTrackLength(uint32_t frames)
{
    return (frames + kPhaseGroupFrames - 1) / kPhaseGroupFrames * kPhaseGroupFrames;
}

// The vector lanes TrackPhase uses: the widest the processor has (eight doubles with AVX-512, four
// with AVX, checked at run time), at most AVX, or the SSE2 lanes every x86-64 processor has. All
// give the same results.
enum class PhaseTrackLanes
{
    Best,
    Avx,
    Sse2,
};

// Output frame `frame`'s position: the product and the sum each rounded to double. The empty
// statement keeps a compiler from fusing them into one multiply-add, which would round once.
inline double TrackedPosition(double phase, double step, uint32_t frame)
{
    double product = double(frame) * step;
    __asm__("" : "+x"(product));
    return phase + product;
}

// Fills the track over `frames` output frames.
void TrackPhase(PhaseTrack& track, uint32_t frames, PhaseTrackLanes lanes = PhaseTrackLanes::Best);
} // namespace audio
