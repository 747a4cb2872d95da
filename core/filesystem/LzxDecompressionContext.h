// LZX frame stream of one container entry: splits the stored bytes into frames, decodes them with
// LzxDecoder, undoes the E8 call translation and hands the bytes out in pieces of any size. Input
// and output may arrive in chunks of any size; partial frames and undelivered output are staged.
// Owned and used by one thread (the thread reading the entry).
#pragma once

#include "core/filesystem/LzxDecoder.h"

#include <cstddef>
#include <cstdint>
#include <memory>

// What a decompression context is made with; a window size of 0 asks for the default window.
struct LZXDecompressionParameters
{
    uint32_t flags = 0;
    uint32_t windowSize = 0;
};

// Creation flag: reset the decoder at once (otherwise Reset must run before the first frame).
constexpr uint32_t kLzxCreateResetNow = 1;
constexpr uint32_t kLzxResultOk = 0;
constexpr uint32_t kLzxResultOutOfMemory = 0x8007000E;
// Refused codec numbers, window sizes and missing out-parameters.
constexpr uint32_t kLzxResultInvalidArgument = 0x80070057;

// Decoder context of one LZX stream with its input and output staging buffers, all in one block of
// the process heap: this object, then the window, then the two staging buffers.
class LZXDecompressionContext
{
public:
    static constexpr uint32_t kTypeTag = 0x76C3F251;
    static constexpr uint32_t kVersion = 1;
    static constexpr uint32_t kDefaultWindowSize = 131072;
    static constexpr uint32_t kMaxFrameBytes = 5 + 0xFFFF + 5; // header, payload, trailing bytes
    static constexpr uint32_t kE8FrameLimit = 32768;

    // Bytes of the one block a context with this window needs (this object included).
    static size_t RequiredSize(uint32_t windowSize);

    LZXDecompressionContext(const LZXDecompressionContext&) = delete;
    LZXDecompressionContext& operator=(const LZXDecompressionContext&) = delete;

    void Reset();

    // Consumes input and produces output; on return inputSize and outputSize hold the bytes used.
    // False for a frame that cannot be decoded (also on every later call) and before the first Reset.
    bool Decompress(const uint8_t* input, uint32_t& inputSize, uint8_t* output, uint32_t& outputSize);

    uint32_t GetTypeTag() const { return m_typeTag; }
    uint32_t GetFlags() const { return m_flags; }
    uint32_t GetWindowSize() const { return m_windowSize; }

private:
    friend uint32_t LZXCreateDecompressionContext(uint32_t, const LZXDecompressionParameters*, uint32_t,
                                                  LZXDecompressionContext**, size_t*);
    friend void LZXDestroyDecompressionContext(LZXDecompressionContext*);

    LZXDecompressionContext(uint8_t* block, uint32_t windowSize, uint32_t flags);
    ~LZXDecompressionContext();

    bool DecodeFrame(const uint8_t* frame, uint8_t* output, uint32_t outputSpace, uint32_t& produced);
    void UndoE8Translation(uint8_t* data, uint32_t size);

    const uint32_t m_typeTag = kTypeTag;
    const uint32_t m_version = kVersion;
    const uint32_t m_flags;
    const uint32_t m_windowSize;
    LzxDecoder m_decoder;
    uint8_t* const m_inputStaging;
    uint32_t m_inputFill = 0;
    uint8_t* const m_outputStaging;
    uint32_t m_stagedOffset = 0;
    uint32_t m_stagedCount = 0;
    uint64_t m_decodedBytes = 0; // position of the next frame in the entry's decoded data
    uint32_t m_framesDecoded = 0;
    bool m_ended = false;
    bool m_failed = false;
    bool m_wasReset = false;
};

// Makes a context for codec 0 or 1 with the parameters' window (0: kDefaultWindowSize; else a power
// of two from 32768 to 2 MiB). Reports the block size it needs in *contextSize (when given) even when
// the allocation then fails. Answers kLzxResultOk with *context set, kLzxResultOutOfMemory, or
// kLzxResultInvalidArgument.
uint32_t LZXCreateDecompressionContext(uint32_t codec, const LZXDecompressionParameters* parameters,
                                       uint32_t creationFlags, LZXDecompressionContext** context,
                                       size_t* contextSize);
// Frees a context made by LZXCreateDecompressionContext; null does nothing.
void LZXDestroyDecompressionContext(LZXDecompressionContext* context);

struct LZXDecompressionContextDeleter
{
    void operator()(LZXDecompressionContext* context) const { LZXDestroyDecompressionContext(context); }
};
using LZXDecompressionContextPtr = std::unique_ptr<LZXDecompressionContext, LZXDecompressionContextDeleter>;

// Runs one step of the stream (see LZXDecompressionContext::Decompress).
bool LZXDecompressStream(LZXDecompressionContext* context, const uint8_t* input, uint32_t& inputSize, uint8_t* output,
                         uint32_t& outputSize);
