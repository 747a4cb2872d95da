// LZX encoder for container entries: a 65536-byte window (or any other LZX window), frames of 32768 bytes
// (the last one with its own size). Makes verbatim, aligned-offset and uncompressed blocks with real
// matches and repeated offsets, blocks that span frames, and optional E8 call translation. Written
// for test data and the datakit command; any thread, no shared state.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

enum class LzxBlockKind
{
    Verbatim,
    Aligned,
    Uncompressed,
    Mixed, // verbatim, aligned, uncompressed, verbatim, ...
};

struct LzxEncoderOptions
{
    LzxBlockKind blockKind = LzxBlockKind::Verbatim;
    uint32_t blockSize = 32768;       // decoded bytes per block; blocks may span frames; an inner uncompressed block is made even-sized
    uint32_t e8TranslationSize = 0;   // 0: no call translation; else below 2^31
    uint32_t windowSize = 65536;      // a power of two from 2^15 to 2^21
};

// Compresses whole buffers into an LZX frame stream.
class LzxEncoder
{
public:
    // False when the window size is not one LZX has or a frame's payload would not fit its 16-bit size field.
    static bool Encode(const uint8_t* data, size_t size, const LzxEncoderOptions& options, std::vector<uint8_t>& out);
};
