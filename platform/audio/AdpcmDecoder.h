// Decoder of 4-bit adaptive delta PCM wave blocks (format tag 2, standard coefficients).
// Pure functions: any thread.
#pragma once

#include "platform/audio/WaveFormat.h"

#include <cstdint>

namespace audio
{
// Decodes one block (whole, or the short last block of a buffer) of one or two channels into
// interleaved 16-bit frames. Returns the frames written; 0 when the block is too short for its
// header or names a predictor outside the seven standard ones.
uint32_t DecodeAdpcmBlock(const uint8_t* block, uint32_t bytes, uint32_t channels, int16_t* frames,
                          uint32_t maxFrames);

// Blocks decoded side by side by DecodeAdpcmBlocks.
constexpr uint32_t kAdpcmBlocksAtOnce = 8;

// The vector lanes DecodeAdpcmBlocks uses: all eight blocks at once where the processor has AVX2,
// four at a time with SSE4.1 (both checked at run time), or one block after another. All give the
// same frames.
enum class AdpcmLanes
{
    Best,
    Sse41,
    OneByOne,
};

// Decodes kAdpcmBlocksAtOnce whole blocks of `bytes` each, lying one after another, into
// `frames` (`framesPerBlock` frames for each block, the frames a whole block holds). Each block
// starts afresh from its header, so the blocks' decoders run side by side and give the same frames
// as one DecodeAdpcmBlock call per block, in less time. False when a header is bad.
bool DecodeAdpcmBlocks(const uint8_t* blocks, uint32_t bytes, uint32_t channels, int16_t* frames,
                       uint32_t framesPerBlock, AdpcmLanes lanes = AdpcmLanes::Best);

// True when every block header in the data names a valid predictor and the last block holds at
// least its header.
bool AdpcmBlocksValid(const WaveFormat& format, const uint8_t* data, uint32_t bytes);
} // namespace audio
