// Where the channels of a plain PCM format play, and how a voice is routed to the mastering voice
// when no output matrix is set. Pure functions: any thread.
#pragma once

#include <cstdint>
#include <vector>

namespace audio
{
// The speaker positions a channel can stand for.
enum class Speaker : uint8_t
{
    FrontLeft,
    FrontRight,
    FrontCenter,
    LowFrequency,
    BackLeft,
    BackRight,
    BackCenter,
    SideLeft,
    SideRight,
};

// The speakers of a format of `channels` channels (1 to kMaxChannels) that declares no channel
// mask, in channel order: mono is front centre; 2 stereo; 3 adds the centre; 4 is quad (front and
// back pairs); 5 quad with a centre; 6 is 5.1 (FL FR FC LFE BL BR); 7 is 6.1 (FL FR FC LFE BC SL SR);
// 8 is 7.1 (FL FR FC LFE BL BR SL SR). Empty for other counts.
std::vector<Speaker> SpeakersOf(uint32_t channels);

// The routing a voice starts with, levels[dst * srcChannels + src]. A mono source feeds every output
// channel; a mono output takes the average of all source channels; otherwise each source channel
// goes to the output speaker at its position, or, where the output has none there, to the nearest
// ones on its side at -3 dB (the centre and the low-frequency channel to both front speakers, a
// back or side speaker to the other of the two or to the front on its side, the back centre to
// the back or side pair at -3 dB each or the front pair at -6 dB each).
std::vector<float> DefaultOutputMatrix(uint32_t srcChannels, uint32_t dstChannels);
} // namespace audio
