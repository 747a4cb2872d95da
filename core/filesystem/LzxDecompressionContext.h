// LZX frame stream of one container entry: splits the stored bytes into frames, decodes them with
// LzxDecoder, undoes the E8 call translation and hands the bytes out in pieces of any size. Input
// and output may arrive in chunks of any size; partial frames and undelivered output are staged.
// Owned and used by one thread (the thread reading the entry).
#pragma once

#include "core/filesystem/LzxDecoder.h"

#include <cstdint>
#include <memory>
#include <vector>

// Decoder context of one LZX stream with its input and output staging buffers.
class LZXDecompressionContext
{
public:
    static constexpr uint32_t kDefaultWindowSize = 131072;
    static constexpr uint32_t kMaxFrameBytes = 5 + 0xFFFF + 5; // header, payload, trailing bytes
    static constexpr uint32_t kE8FrameLimit = 32768;

    // Codec 0 or 1; a window size of 0 means kDefaultWindowSize. Only the 65536-byte window that
    // containers use is decodable; other requests give null.
    static std::unique_ptr<LZXDecompressionContext> Create(uint32_t codec, uint32_t windowSize);

    void Reset();

    // Consumes input and produces output; on return inputSize and outputSize hold the bytes used.
    // False for a frame that cannot be decoded (also on every later call).
    bool Decompress(const uint8_t* input, uint32_t& inputSize, uint8_t* output, uint32_t& outputSize);

    // True once the last frame was decoded and all its bytes handed out.
    bool IsFinished() const { return m_ended && m_stagedCount == 0; }

private:
    LZXDecompressionContext();

    bool DecodeFrame(const uint8_t* frame, uint8_t* output, uint32_t outputSpace, uint32_t& produced);
    void UndoE8Translation(uint8_t* data, uint32_t size);

    LzxDecoder m_decoder;
    std::vector<uint8_t> m_inputStaging;
    uint32_t m_inputFill = 0;
    std::vector<uint8_t> m_outputStaging;
    uint32_t m_stagedOffset = 0;
    uint32_t m_stagedCount = 0;
    uint64_t m_decodedBytes = 0; // position of the next frame in the entry's decoded data
    uint32_t m_framesDecoded = 0;
    bool m_ended = false;
    bool m_failed = false;
};

// Runs one step of the stream (see LZXDecompressionContext::Decompress).
bool LZXDecompressStream(LZXDecompressionContext* context, const uint8_t* input, uint32_t& inputSize, uint8_t* output,
                         uint32_t& outputSize);
