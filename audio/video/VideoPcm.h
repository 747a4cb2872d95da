// Turning the Vorbis decoder's float samples into the 16-bit PCM of the video's voice. Any thread;
// no shared state.
#pragma once

#include <cstdint>

// Interleaves `frames` frames of `channels` planar float channels into `out`, in the wave
// format's speaker order: each sample x becomes x * 32767 + 0.5 truncated towards zero, clamped
// to the 16-bit range.
void ConvertVideoPcm(const float* const* pcm, uint32_t frames, uint32_t channels, int16_t* out);
