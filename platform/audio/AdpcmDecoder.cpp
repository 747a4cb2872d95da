#include "platform/audio/AdpcmDecoder.h"

#include <algorithm>
#include <cstdint>

namespace audio
{
namespace
{
constexpr int32_t kAdaptation[16] = {230, 230, 230, 230, 307, 409, 512, 614,
                                     768, 614, 512, 409, 307, 230, 230, 230};
constexpr int32_t kCoefficient1[7] = {256, 512, 0, 192, 240, 460, 392};
constexpr int32_t kCoefficient2[7] = {0, -256, 0, 64, 0, -208, -232};
constexpr uint32_t kPredictorCount = 7;
constexpr uint32_t kHeaderBytes = 7;
constexpr int32_t kMaxDelta = INT32_MAX / 768;

struct ChannelState
{
    int32_t coefficient1;
    int32_t coefficient2;
    int32_t delta;
    int32_t sample1;
    int32_t sample2;
};

int16_t ReadI16(const uint8_t* p)
{
    return int16_t(uint16_t(p[0] | (p[1] << 8)));
}

inline int16_t Expand(ChannelState& state, uint32_t nibble)
{
    const int32_t signedNibble = nibble >= 8 ? int32_t(nibble) - 16 : int32_t(nibble);
    int32_t predicted = (state.sample1 * state.coefficient1 + state.sample2 * state.coefficient2) / 256;
    predicted = std::clamp(predicted + signedNibble * state.delta, -32768, 32767);
    state.sample2 = state.sample1;
    state.sample1 = predicted;
    // Corrupt data can grow the step without end; the cap keeps the next product in range. A shift
    // rounds a negative product (only a damaged header's step) down where division rounds it
    // towards zero, but the floor of 16 takes both to 16, so the result is the division's.
    state.delta = std::clamp((kAdaptation[nibble] * state.delta) >> 8, 16, kMaxDelta);
    return int16_t(predicted);
}

// Reads the header of a block; false when it names an unknown predictor.
bool ReadHeader(const uint8_t* block, uint32_t channels, ChannelState* state)
{
    // Header fields are grouped by field, each field once per channel.
    for (uint32_t c = 0; c < channels; ++c)
    {
        const uint8_t predictor = block[c];
        if (predictor >= kPredictorCount)
            return false;
        state[c].coefficient1 = kCoefficient1[predictor];
        state[c].coefficient2 = kCoefficient2[predictor];
        state[c].delta = ReadI16(block + channels + 2 * c);
        state[c].sample1 = ReadI16(block + 3 * channels + 2 * c);
        state[c].sample2 = ReadI16(block + 5 * channels + 2 * c);
    }
    return true;
}

// The older header sample plays first.
void WriteHeaderFrames(const ChannelState* state, uint32_t channels, int16_t* frames)
{
    for (uint32_t c = 0; c < channels; ++c)
    {
        frames[c] = int16_t(state[c].sample2);
        frames[channels + c] = int16_t(state[c].sample1);
    }
}

// Byte i of every block in one pass: the decoders depend only on their own previous samples, so
// the processor runs them side by side. Each byte holds two nibbles: two mono frames, or the left
// and right of one stereo frame.
template <uint32_t kChannels>
bool DecodeSideBySide(const uint8_t* blocks, uint32_t bytes, int16_t* frames, uint32_t framesPerBlock)
{
    constexpr uint32_t kBlocks = kAdpcmBlocksAtOnce;
    ChannelState state[kBlocks][kChannels] = {};
    for (uint32_t b = 0; b < kBlocks; ++b)
    {
        if (!ReadHeader(blocks + size_t(b) * bytes, kChannels, state[b]))
            return false;
        WriteHeaderFrames(state[b], kChannels, frames + size_t(b) * framesPerBlock * kChannels);
    }
    size_t written = 2 * kChannels;
    for (uint32_t i = kHeaderBytes * kChannels; i < bytes; ++i, written += 2)
        for (uint32_t b = 0; b < kBlocks; ++b)
        {
            const uint8_t byte = blocks[size_t(b) * bytes + i];
            int16_t* out = frames + size_t(b) * framesPerBlock * kChannels + written;
            out[0] = Expand(state[b][0], byte >> 4);
            out[1] = Expand(state[b][kChannels - 1], byte & 0x0F);
        }
    return true;
}
} // namespace

uint32_t DecodeAdpcmBlock(const uint8_t* block, uint32_t bytes, uint32_t channels, int16_t* frames,
                          uint32_t maxFrames)
{
    if (channels == 0 || channels > 2 || bytes < kHeaderBytes * channels || maxFrames < 2)
        return 0;
    ChannelState state[2] = {};
    if (!ReadHeader(block, channels, state))
        return 0;
    WriteHeaderFrames(state, channels, frames);
    uint32_t written = 2 * channels;
    const uint32_t limit = maxFrames * channels;
    // High nibble first; with two channels the nibbles alternate left, right, so each byte holds
    // one frame. Each loop stops at the block's end or the frames asked for.
    uint32_t i = kHeaderBytes * channels;
    if (channels == 1)
    {
        for (; i < bytes && written + 2 <= limit; ++i)
        {
            const uint8_t byte = block[i];
            frames[written] = Expand(state[0], byte >> 4);
            frames[written + 1] = Expand(state[0], byte & 0x0F);
            written += 2;
        }
        if (i < bytes && written < limit)
            frames[written++] = Expand(state[0], block[i] >> 4);
    }
    else
    {
        for (; i < bytes && written + 2 <= limit; ++i)
        {
            const uint8_t byte = block[i];
            frames[written] = Expand(state[0], byte >> 4);
            frames[written + 1] = Expand(state[1], byte & 0x0F);
            written += 2;
        }
    }
    return written / channels;
}

bool DecodeAdpcmBlocks(const uint8_t* blocks, uint32_t bytes, uint32_t channels, int16_t* frames,
                       uint32_t framesPerBlock)
{
    if (channels == 0 || channels > 2 || bytes < kHeaderBytes * channels ||
        framesPerBlock != 2 + (bytes - kHeaderBytes * channels) * 2 / channels)
        return false;
    return channels == 1 ? DecodeSideBySide<1>(blocks, bytes, frames, framesPerBlock)
                         : DecodeSideBySide<2>(blocks, bytes, frames, framesPerBlock);
}

bool AdpcmBlocksValid(const WaveFormat& format, const uint8_t* data, uint32_t bytes)
{
    const uint32_t channels = format.channels;
    // 64-bit so the step past the last block cannot wrap to the start of a buffer near 4 GB.
    for (uint64_t offset = 0; offset < bytes; offset += format.blockAlign)
    {
        if (bytes - offset < kHeaderBytes * channels)
            return false;
        for (uint32_t c = 0; c < channels; ++c)
            if (data[offset + c] >= kPredictorCount)
                return false;
    }
    return true;
}
} // namespace audio
