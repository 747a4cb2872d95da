// The mixer's inner loop: resampled source frames times the gain matrix, added into a bus held as
// one row per channel. Pure computation on the caller's arrays: any thread.
#pragma once

#include "platform/audio/PhaseTrack.h"

#include <cstddef>
#include <cstdint>

namespace audio
{
// `frames` holds interleaved source frames. For output frame i < count, with j = advance[i]:
// value[c] = a[c] + (n[c] - a[c]) * t[i] where a is frame j and n frame j + 1 (which must exist),
// then bus[b * busStride + i] += value[c] * gains[b * channels + c] for c in order. Every vector lane
// is the plain float arithmetic of one frame, so the sums are the same as a frame-by-frame loop's.
// The vector lanes MixInterpolated uses for mono and stereo sources on a stereo bus: sixteen frames
// at a time where the processor has AVX-512 (mono sources whose steps pass at most two frames),
// eight where it has AVX (both checked at run time), at most AVX, or the SSE2 lanes every x86-64
// processor has. All give the same sums.
enum class MixLanes
{
    Best,
    Avx,
    Sse2,
};

// How far `advance` moves from one frame to the next. With at most one (a step of at most one
// source frame per output frame) or two, mono sources on a stereo bus load a few neighbouring
// frames at once and pick each output frame's pair from them: `frames` must then be readable for
// kPickReadsPast floats past frame advance[count - 1] + 1 (their values are never used).
enum class AdvanceSteps
{
    Any,
    TwoAtMost,
    OneAtMost,
};
constexpr uint32_t kPickReadsPast = 30;

void MixInterpolated(const float* frames, uint32_t channels, const float* t, const int32_t* advance, uint32_t count,
                     const float* gains, float* bus, size_t busStride, uint32_t busChannels,
                     AdvanceSteps steps = AdvanceSteps::Any, MixLanes lanes = MixLanes::Best);

// TrackPhase(track, count) and then MixInterpolated of a mono source on a stereo bus with the
// track's arrays, for steps of at most two frames (`steps` says which): the same sums, but with AVX2
// the lanes find the positions as they mix and only the last few frames go through the arrays.
void MixTrackedMono(const float* frames, const PhaseTrack& track, uint32_t count, const float* gains, float* bus,
                    size_t busStride, AdvanceSteps steps, MixLanes lanes = MixLanes::Best);
} // namespace audio
