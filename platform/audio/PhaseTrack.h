// Where each voice's resampler stands at every output frame of a mix block. Pure computation on
// the caller's arrays: any thread (the mixer calls it with the engine lock held).
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

// One voice's resampler over a block. Before output frame i the voice stands `advance[i]` source
// frames past its first frame, `t[i]` of the way to the next one; after each frame the position
// moves on by `step` source frames. The position is a double that drops whole frames as it passes
// them, exactly as the frame-by-frame loop does, so every t is the same float.
struct PhaseTrack
{
    // In: position between the first frame and the next (0 <= phase < 1) and the step (< kMaxTrackedStep).
    double phase = 0.0;
    double step = 0.0;
    // Out, for frames rounded up to kPhaseGroupFrames.
    float* t = nullptr;
    int32_t* advance = nullptr;
    // Out: the position after the block.
    double endPhase = 0.0;
    uint32_t endAdvance = 0;
};

// Frames rounded up to whole groups: the length the t and advance arrays need.
inline uint32_t PhaseTrackLength(uint32_t frames)
{
    return (frames + kPhaseGroupFrames - 1) / kPhaseGroupFrames * kPhaseGroupFrames;
}

// The vector lanes TrackPhases uses: the widest the processor has (AVX, checked at run time), or the
// SSE2 lanes every x86-64 processor has. Both give the same results.
enum class PhaseTrackLanes
{
    Best,
    Sse2,
};

// Tracks every voice over `frames` output frames. Each position depends on the one before it, so
// voices are tracked side by side in vector lanes to keep the processor busy.
void TrackPhases(PhaseTrack* const* tracks, size_t count, uint32_t frames,
                 PhaseTrackLanes lanes = PhaseTrackLanes::Best);
} // namespace audio
