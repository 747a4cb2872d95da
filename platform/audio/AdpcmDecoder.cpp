#include "platform/audio/AdpcmDecoder.h"

#include <immintrin.h>

#include <algorithm>
#include <cstdint>
#include <cstring>

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

// Byte i of every block in one pass, one block per vector lane: the decoders depend only on their
// own previous samples. Each byte holds two nibbles: two mono frames, or the left and right of one
// stereo frame. Every lane does Expand's integer arithmetic exactly (the products fit 32 bits: the
// step is capped and samples are 16-bit), so the frames are the one-block decoder's.
// kAdaptation split into its low and high bytes, for byte-wide table lookups.
struct AdaptationBytes
{
    alignas(16) uint8_t low[16];
    alignas(16) uint8_t high[16];
};

constexpr AdaptationBytes MakeAdaptationBytes()
{
    AdaptationBytes bytes{};
    for (int i = 0; i < 16; ++i)
    {
        bytes.low[i] = uint8_t(kAdaptation[i]);
        bytes.high[i] = uint8_t(kAdaptation[i] >> 8);
    }
    return bytes;
}

constexpr AdaptationBytes kAdaptationBytes = MakeAdaptationBytes();

struct LaneState
{
    __m128i coefficient1;
    __m128i coefficient2;
    __m128i delta;
    __m128i sample1;
    __m128i sample2;
};

__attribute__((target("sse4.1")))
inline __m128i ExpandLanes(LaneState& state, __m128i nibble)
{
    // Low and high bytes of the adaptation table, looked up by each lane's nibble in its low byte.
    const __m128i adaptLow = _mm_load_si128(reinterpret_cast<const __m128i*>(kAdaptationBytes.low));
    const __m128i adaptHigh = _mm_load_si128(reinterpret_cast<const __m128i*>(kAdaptationBytes.high));
    const __m128i signedNibble = _mm_srai_epi32(_mm_slli_epi32(nibble, 28), 28);
    __m128i predicted = _mm_add_epi32(_mm_mullo_epi32(state.sample1, state.coefficient1),
                                      _mm_mullo_epi32(state.sample2, state.coefficient2));
    // Division by 256 truncating towards zero: negative sums are raised by 255 before the shift.
    predicted = _mm_srai_epi32(_mm_add_epi32(predicted, _mm_and_si128(_mm_srai_epi32(predicted, 31), _mm_set1_epi32(255))), 8);
    predicted = _mm_add_epi32(predicted, _mm_mullo_epi32(signedNibble, state.delta));
    predicted = _mm_min_epi32(_mm_max_epi32(predicted, _mm_set1_epi32(-32768)), _mm_set1_epi32(32767));
    state.sample2 = state.sample1;
    state.sample1 = predicted;
    const __m128i index = _mm_or_si128(nibble, _mm_set1_epi32(int32_t(0x80808000u)));
    const __m128i adaptation = _mm_or_si128(_mm_shuffle_epi8(adaptLow, index), _mm_slli_epi32(_mm_shuffle_epi8(adaptHigh, index), 8));
    const __m128i delta = _mm_srai_epi32(_mm_mullo_epi32(adaptation, state.delta), 8);
    state.delta = _mm_min_epi32(_mm_max_epi32(delta, _mm_set1_epi32(16)), _mm_set1_epi32(kMaxDelta));
    return predicted;
}

template <uint32_t kChannels>
__attribute__((target("sse4.1")))
void DecodeSideBySide(const uint8_t* blocks, uint32_t bytes, const ChannelState (&headers)[kAdpcmBlocksAtOnce][kChannels],
                      int16_t* frames, uint32_t framesPerBlock)
{
    static_assert(kAdpcmBlocksAtOnce == 4, "one block per 32-bit lane of a 128-bit register");
    LaneState lanes[kChannels];
    for (uint32_t c = 0; c < kChannels; ++c)
    {
        const auto column = [&](int32_t ChannelState::*field) {
            return _mm_setr_epi32(headers[0][c].*field, headers[1][c].*field, headers[2][c].*field, headers[3][c].*field);
        };
        lanes[c] = LaneState{column(&ChannelState::coefficient1), column(&ChannelState::coefficient2),
                             column(&ChannelState::delta), column(&ChannelState::sample1), column(&ChannelState::sample2)};
    }
    int16_t* out[kAdpcmBlocksAtOnce];
    for (uint32_t b = 0; b < kAdpcmBlocksAtOnce; ++b)
        out[b] = frames + size_t(b) * framesPerBlock * kChannels + 2 * kChannels;
    const uint8_t* const in1 = blocks + bytes;
    const uint8_t* const in2 = blocks + 2 * size_t(bytes);
    const uint8_t* const in3 = blocks + 3 * size_t(bytes);
    for (uint32_t i = kHeaderBytes * kChannels; i < bytes; ++i)
    {
        const __m128i byte = _mm_setr_epi32(blocks[i], in1[i], in2[i], in3[i]);
        const __m128i first = ExpandLanes(lanes[0], _mm_srli_epi32(byte, 4));
        const __m128i second = ExpandLanes(lanes[kChannels - 1], _mm_and_si128(byte, _mm_set1_epi32(15)));
        // Each lane's two 16-bit samples side by side: one 32-bit store per block.
        const __m128i pairs = _mm_blend_epi16(first, _mm_slli_epi32(second, 16), 0xAA);
        alignas(16) uint32_t pair[kAdpcmBlocksAtOnce];
        _mm_store_si128(reinterpret_cast<__m128i*>(pair), pairs);
        for (uint32_t b = 0; b < kAdpcmBlocksAtOnce; ++b)
        {
            std::memcpy(out[b], &pair[b], 4);
            out[b] += 2;
        }
    }
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
    ChannelState headers[kAdpcmBlocksAtOnce][2] = {};
    for (uint32_t b = 0; b < kAdpcmBlocksAtOnce; ++b)
        if (!ReadHeader(blocks + size_t(b) * bytes, channels, headers[b]))
            return false;
    static const bool haveSse41 = __builtin_cpu_supports("sse4.1");
    if (!haveSse41)
    {
        for (uint32_t b = 0; b < kAdpcmBlocksAtOnce; ++b)
            DecodeAdpcmBlock(blocks + size_t(b) * bytes, bytes, channels, frames + size_t(b) * framesPerBlock * channels,
                             framesPerBlock);
        return true;
    }
    for (uint32_t b = 0; b < kAdpcmBlocksAtOnce; ++b)
        WriteHeaderFrames(headers[b], channels, frames + size_t(b) * framesPerBlock * channels);
    if (channels == 1)
    {
        ChannelState mono[kAdpcmBlocksAtOnce][1];
        for (uint32_t b = 0; b < kAdpcmBlocksAtOnce; ++b)
            mono[b][0] = headers[b][0];
        DecodeSideBySide<1>(blocks, bytes, mono, frames, framesPerBlock);
    }
    else
        DecodeSideBySide<2>(blocks, bytes, headers, frames, framesPerBlock);
    return true;
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
