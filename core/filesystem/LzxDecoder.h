// LZX frame decoder: a window of 2^15 to 2^21 bytes (containers use 65536, with 32 position slots),
// verbatim, aligned-offset and uncompressed blocks. The state (window, repeated offsets, tree lengths, current block) carries
// over from frame to frame of one entry. Owned and used by one thread at a time.
#pragma once

#include "core/filesystem/LzxBitReader.h"
#include "core/filesystem/LzxHuffmanTable.h"

#include <cstdint>

// Decodes the frames of one LZX stream into its sliding window.
class LzxDecoder
{
public:
    static constexpr uint32_t kContainerWindowSize = 65536;
    static constexpr uint32_t kMinWindowSize = 1u << 15;
    static constexpr uint32_t kMaxWindowSize = 1u << 21;
    static constexpr uint32_t kFrameSize = 32768;
    static constexpr uint32_t kMaxPositionSlots = 50;
    static constexpr uint32_t kMaxMainSymbols = 256 + 8 * kMaxPositionSlots;
    static constexpr uint32_t kLengthSymbols = 249;
    static constexpr uint32_t kAlignedSymbols = 8;
    static constexpr uint32_t kPretreeSymbols = 20;
    static constexpr uint32_t kMaxMatch = 257;

    // A power of two from kMinWindowSize to kMaxWindowSize.
    static bool IsValidWindowSize(uint32_t windowSize);
    // Position slots of a window: 32 for 65536 bytes, 34 for 131072, 50 for 2 MiB.
    static uint32_t PositionSlotCount(uint32_t windowSize);

    // `window` (windowSize bytes, a valid size) belongs to the caller and outlives the decoder.
    LzxDecoder(uint8_t* window, uint32_t windowSize);

    void Reset();

    // Decodes one frame of `frameSize` bytes (at most kFrameSize) from its payload into the window.
    // False on corrupt data; the decoder then stays failed.
    bool DecodeFrame(const uint8_t* payload, uint32_t payloadSize, uint32_t frameSize);

    // The bytes of the frame decoded last.
    const uint8_t* GetFrameData() const { return m_window + m_frameStart; }
    // Size of the E8 call translation announced at the start of the stream (0: off).
    uint32_t GetE8TranslationSize() const { return m_e8TranslationSize; }

private:
    enum BlockType : uint32_t
    {
        BLOCK_NONE = 0,
        BLOCK_VERBATIM = 1,
        BLOCK_ALIGNED = 2,
        BLOCK_UNCOMPRESSED = 3,
    };

    bool ReadStreamHeader();
    bool ReadBlockHeader(const uint8_t* payload, uint32_t payloadSize);
    bool ReadLengths(uint8_t* lengths, uint32_t first, uint32_t last);
    bool DecodeSymbols(uint32_t count);
    bool CopyRaw(const uint8_t* payload, uint32_t payloadSize, uint32_t count);
    int DecodeSymbol(const LzxHuffmanTable& table);

    uint8_t* const m_window;
    const uint32_t m_windowSize;
    const uint32_t m_mainSymbols;
    uint32_t m_windowPosition = 0;
    uint32_t m_frameStart = 0;

    LzxBitReader m_bits;
    LzxHuffmanTable m_mainTable{10};
    LzxHuffmanTable m_lengthTable{8};
    LzxHuffmanTable m_alignedTable{7};
    LzxHuffmanTable m_pretreeTable{6};
    uint8_t m_mainLengths[kMaxMainSymbols] = {};
    uint8_t m_lengthLengths[kLengthSymbols] = {};
    uint8_t m_alignedLengths[kAlignedSymbols] = {};

    uint32_t m_repeated[3] = {1, 1, 1};
    BlockType m_blockType = BLOCK_NONE;
    uint32_t m_blockRemaining = 0;
    uint32_t m_rawPosition = 0; // payload byte of the next raw byte in an uncompressed block
    uint32_t m_e8TranslationSize = 0;
    bool m_streamHeaderRead = false;
    bool m_failed = false;
};
