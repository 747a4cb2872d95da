// Vorbis channel order against the speaker-position order of wave formats, shared by every
// decoder that hands Vorbis sound to a voice (streamed sounds and video sound). Constant data;
// any thread.
#pragma once

#include "platform/audio/WaveFormat.h"

#include <cstdint>

namespace VorbisChannelOrder
{
// Vorbis orders three or more channels with the centre second and the LFE last; a wave format
// declares speaker-position order (FL FR FC LFE BL BR BC SL SR). Row n-1: for each wave channel,
// the Vorbis channel it takes.
inline constexpr uint8_t kWaveFromVorbis[audio::kMaxChannels][audio::kMaxChannels] = {
    {0},
    {0, 1},
    {0, 2, 1},
    {0, 1, 2, 3},
    {0, 2, 1, 3, 4},
    {0, 2, 1, 5, 3, 4},
    {0, 2, 1, 6, 5, 3, 4},
    {0, 2, 1, 7, 5, 6, 3, 4},
};

// The row for `channels`, or null when nothing moves: one or two channels, or a count no voice
// can take (none, or more than audio::kMaxChannels), which must not index the table.
inline const uint8_t* WaveFromVorbis(uint32_t channels)
{
    return channels >= 3 && channels <= audio::kMaxChannels ? kWaveFromVorbis[channels - 1] : nullptr;
}
} // namespace VorbisChannelOrder
