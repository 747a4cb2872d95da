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

// One block per 32-bit lane. The two samples before the next are kept as 16-bit halves of one
// lane (the newer low) beside the predictor's coefficients likewise, so one multiply-add of pairs
// gives the prediction's sum exactly (16-bit samples times coefficients within 16 bits) in a
// fraction of the time two 32-bit products take: each sample waits on the one before it.
struct LaneState
{
    __m128i coefficients;
    __m128i delta;
    __m128i samples;
};

struct WideLaneState
{
    __m256i coefficients;
    __m256i delta;
    __m256i samples;
};

inline int32_t PackPair(int32_t newer, int32_t older)
{
    return int32_t((uint32_t(newer) & 0xFFFFu) | (uint32_t(older) << 16));
}

__attribute__((target("sse4.1")))
inline __m128i ExpandLanes(LaneState& state, __m128i nibble)
{
    // Low and high bytes of the adaptation table, looked up by each lane's nibble in its low byte.
    const __m128i adaptLow = _mm_load_si128(reinterpret_cast<const __m128i*>(kAdaptationBytes.low));
    const __m128i adaptHigh = _mm_load_si128(reinterpret_cast<const __m128i*>(kAdaptationBytes.high));
    const __m128i signedNibble = _mm_srai_epi32(_mm_slli_epi32(nibble, 28), 28);
    __m128i predicted = _mm_madd_epi16(state.samples, state.coefficients);
    // Division by 256 truncating towards zero: negative sums are raised by 255 before the shift.
    predicted = _mm_srai_epi32(_mm_add_epi32(predicted, _mm_and_si128(_mm_srai_epi32(predicted, 31), _mm_set1_epi32(255))), 8);
    predicted = _mm_add_epi32(predicted, _mm_mullo_epi32(signedNibble, state.delta));
    predicted = _mm_min_epi32(_mm_max_epi32(predicted, _mm_set1_epi32(-32768)), _mm_set1_epi32(32767));
    state.samples = _mm_blend_epi16(_mm_slli_epi32(state.samples, 16), predicted, 0x55);
    const __m128i index = _mm_or_si128(nibble, _mm_set1_epi32(int32_t(0x80808000u)));
    const __m128i adaptation = _mm_or_si128(_mm_shuffle_epi8(adaptLow, index), _mm_slli_epi32(_mm_shuffle_epi8(adaptHigh, index), 8));
    const __m128i delta = _mm_srai_epi32(_mm_mullo_epi32(adaptation, state.delta), 8);
    state.delta = _mm_min_epi32(_mm_max_epi32(delta, _mm_set1_epi32(16)), _mm_set1_epi32(kMaxDelta));
    return predicted;
}

// ExpandLanes on eight lanes.
__attribute__((target("avx2")))
inline __m256i ExpandLanes(WideLaneState& state, __m256i nibble)
{
    const __m256i adaptLow = _mm256_broadcastsi128_si256(_mm_load_si128(reinterpret_cast<const __m128i*>(kAdaptationBytes.low)));
    const __m256i adaptHigh = _mm256_broadcastsi128_si256(_mm_load_si128(reinterpret_cast<const __m128i*>(kAdaptationBytes.high)));
    const __m256i signedNibble = _mm256_srai_epi32(_mm256_slli_epi32(nibble, 28), 28);
    __m256i predicted = _mm256_madd_epi16(state.samples, state.coefficients);
    predicted = _mm256_srai_epi32(
        _mm256_add_epi32(predicted, _mm256_and_si256(_mm256_srai_epi32(predicted, 31), _mm256_set1_epi32(255))), 8);
    predicted = _mm256_add_epi32(predicted, _mm256_mullo_epi32(signedNibble, state.delta));
    predicted = _mm256_min_epi32(_mm256_max_epi32(predicted, _mm256_set1_epi32(-32768)), _mm256_set1_epi32(32767));
    state.samples = _mm256_blend_epi16(_mm256_slli_epi32(state.samples, 16), predicted, 0x55);
    const __m256i index = _mm256_or_si256(nibble, _mm256_set1_epi32(int32_t(0x80808000u)));
    const __m256i adaptation =
        _mm256_or_si256(_mm256_shuffle_epi8(adaptLow, index), _mm256_slli_epi32(_mm256_shuffle_epi8(adaptHigh, index), 8));
    const __m256i delta = _mm256_srai_epi32(_mm256_mullo_epi32(adaptation, state.delta), 8);
    state.delta = _mm256_min_epi32(_mm256_max_epi32(delta, _mm256_set1_epi32(16)), _mm256_set1_epi32(kMaxDelta));
    return predicted;
}

// The lane state of one channel of `count` blocks.
template <uint32_t kChannels>
inline void ColumnsOf(const ChannelState (*headers)[kChannels], uint32_t count, uint32_t c, int32_t* coefficients,
                      int32_t* delta, int32_t* samples)
{
    for (uint32_t b = 0; b < count; ++b)
    {
        const ChannelState& state = headers[b][c];
        coefficients[b] = PackPair(state.coefficient1, state.coefficient2);
        delta[b] = state.delta;
        samples[b] = PackPair(state.sample1, state.sample2);
    }
}

// Four blocks side by side; `headers` and `frames` start at the first of them.
template <uint32_t kChannels>
__attribute__((target("sse4.1")))
void DecodeFourSideBySide(const uint8_t* blocks, uint32_t bytes, const ChannelState (*headers)[kChannels],
                          int16_t* frames, uint32_t framesPerBlock)
{
    LaneState lanes[kChannels];
    for (uint32_t c = 0; c < kChannels; ++c)
    {
        alignas(16) int32_t coefficients[4];
        alignas(16) int32_t delta[4];
        alignas(16) int32_t samples[4];
        ColumnsOf<kChannels>(headers, 4, c, coefficients, delta, samples);
        lanes[c] = {_mm_load_si128(reinterpret_cast<const __m128i*>(coefficients)),
                    _mm_load_si128(reinterpret_cast<const __m128i*>(delta)),
                    _mm_load_si128(reinterpret_cast<const __m128i*>(samples))};
    }
    int16_t* out[4];
    for (uint32_t b = 0; b < 4; ++b)
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
        alignas(16) uint32_t pair[4];
        _mm_store_si128(reinterpret_cast<__m128i*>(pair), pairs);
        for (uint32_t b = 0; b < 4; ++b)
        {
            std::memcpy(out[b], &pair[b], 4);
            out[b] += 2;
        }
    }
}

// Eight blocks side by side.
template <uint32_t kChannels>
__attribute__((target("avx2")))
void DecodeEightSideBySide(const uint8_t* blocks, uint32_t bytes, const ChannelState (*headers)[kChannels],
                           int16_t* frames, uint32_t framesPerBlock)
{
    WideLaneState lanes[kChannels];
    for (uint32_t c = 0; c < kChannels; ++c)
    {
        alignas(32) int32_t coefficients[8];
        alignas(32) int32_t delta[8];
        alignas(32) int32_t samples[8];
        ColumnsOf<kChannels>(headers, 8, c, coefficients, delta, samples);
        lanes[c] = {_mm256_load_si256(reinterpret_cast<const __m256i*>(coefficients)),
                    _mm256_load_si256(reinterpret_cast<const __m256i*>(delta)),
                    _mm256_load_si256(reinterpret_cast<const __m256i*>(samples))};
    }
    int16_t* out[8];
    const uint8_t* in[8];
    for (uint32_t b = 0; b < 8; ++b)
    {
        out[b] = frames + size_t(b) * framesPerBlock * kChannels + 2 * kChannels;
        in[b] = blocks + size_t(b) * bytes;
    }
    for (uint32_t i = kHeaderBytes * kChannels; i < bytes; ++i)
    {
        const __m256i byte = _mm256_setr_epi32(in[0][i], in[1][i], in[2][i], in[3][i], in[4][i], in[5][i], in[6][i], in[7][i]);
        const __m256i first = ExpandLanes(lanes[0], _mm256_srli_epi32(byte, 4));
        const __m256i second = ExpandLanes(lanes[kChannels - 1], _mm256_and_si256(byte, _mm256_set1_epi32(15)));
        const __m256i pairs = _mm256_blend_epi16(first, _mm256_slli_epi32(second, 16), 0xAA);
        alignas(32) uint32_t pair[8];
        _mm256_store_si256(reinterpret_cast<__m256i*>(pair), pairs);
        for (uint32_t b = 0; b < 8; ++b)
        {
            std::memcpy(out[b], &pair[b], 4);
            out[b] += 2;
        }
    }
}

template <uint32_t kChannels>
void DecodeSideBySide(const uint8_t* blocks, uint32_t bytes, const ChannelState (&headers)[kAdpcmBlocksAtOnce][kChannels],
                      int16_t* frames, uint32_t framesPerBlock, bool eightLanes)
{
    static_assert(kAdpcmBlocksAtOnce == 8, "eight 32-bit lanes of a 256-bit register, or two 128-bit passes");
    if (eightLanes)
    {
        DecodeEightSideBySide<kChannels>(blocks, bytes, headers, frames, framesPerBlock);
        return;
    }
    for (uint32_t first = 0; first < kAdpcmBlocksAtOnce; first += 4)
        DecodeFourSideBySide<kChannels>(blocks + size_t(first) * bytes, bytes, headers + first,
                                        frames + size_t(first) * framesPerBlock * kChannels, framesPerBlock);
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
                       uint32_t framesPerBlock, AdpcmLanes lanes)
{
    if (channels == 0 || channels > 2 || bytes < kHeaderBytes * channels ||
        framesPerBlock != 2 + (bytes - kHeaderBytes * channels) * 2 / channels)
        return false;
    ChannelState headers[kAdpcmBlocksAtOnce][2] = {};
    for (uint32_t b = 0; b < kAdpcmBlocksAtOnce; ++b)
        if (!ReadHeader(blocks + size_t(b) * bytes, channels, headers[b]))
            return false;
    static const bool haveSse41 = __builtin_cpu_supports("sse4.1");
    static const bool haveAvx2 = __builtin_cpu_supports("avx2");
    if (!haveSse41 || lanes == AdpcmLanes::OneByOne)
    {
        for (uint32_t b = 0; b < kAdpcmBlocksAtOnce; ++b)
            DecodeAdpcmBlock(blocks + size_t(b) * bytes, bytes, channels, frames + size_t(b) * framesPerBlock * channels,
                             framesPerBlock);
        return true;
    }
    for (uint32_t b = 0; b < kAdpcmBlocksAtOnce; ++b)
        WriteHeaderFrames(headers[b], channels, frames + size_t(b) * framesPerBlock * channels);
    const bool eightLanes = haveAvx2 && lanes == AdpcmLanes::Best;
    if (channels == 1)
    {
        ChannelState mono[kAdpcmBlocksAtOnce][1];
        for (uint32_t b = 0; b < kAdpcmBlocksAtOnce; ++b)
            mono[b][0] = headers[b][0];
        DecodeSideBySide<1>(blocks, bytes, mono, frames, framesPerBlock, eightLanes);
    }
    else
        DecodeSideBySide<2>(blocks, bytes, headers, frames, framesPerBlock, eightLanes);
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
