#include "core/filesystem/LzxDecompressionContext.h"

#include "core/console/GameConsole.h"
#include "platform/os/Heap.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace
{
// Bytes needed to know a frame's total size (the first byte tells the header length).
uint32_t HeaderLength(uint8_t first)
{
    return first == 0xFF ? 5 : 2;
}

// Total bytes of a frame whose header is complete.
uint32_t FrameLength(const uint8_t* header)
{
    if (header[0] == 0xFF)
        return (uint32_t(header[3]) << 8 | header[4]) + 10;
    return (uint32_t(header[0]) << 8 | header[1]) + 2;
}

// Staging buffers and the window follow the object, each on a 16-byte boundary.
constexpr size_t kBlockAlignment = 16;

size_t AlignUp(size_t value)
{
    return (value + kBlockAlignment - 1) & ~(kBlockAlignment - 1);
}
} // namespace

size_t LZXDecompressionContext::RequiredSize(uint32_t windowSize)
{
    return AlignUp(sizeof(LZXDecompressionContext)) + AlignUp(windowSize) + AlignUp(kMaxFrameBytes) + LzxDecoder::kFrameSize;
}

uint32_t LZXCreateDecompressionContext(uint32_t codec, const LZXDecompressionParameters* parameters,
                                       uint32_t creationFlags, LZXDecompressionContext** context, size_t* contextSize)
{
    if (context == nullptr)
        return kLzxResultInvalidArgument;
    *context = nullptr;
    const uint32_t windowSize =
        parameters == nullptr || parameters->windowSize == 0 ? LZXDecompressionContext::kDefaultWindowSize : parameters->windowSize;
    if (codec > 1 || !LzxDecoder::IsValidWindowSize(windowSize))
        return kLzxResultInvalidArgument;
    const size_t size = LZXDecompressionContext::RequiredSize(windowSize);
    if (contextSize != nullptr)
        *contextSize = size;
    void* block = os::HeapAllocate(size);
    if (block == nullptr)
        return kLzxResultOutOfMemory;
    auto* created = new (block) LZXDecompressionContext(static_cast<uint8_t*>(block), windowSize,
                                                        parameters == nullptr ? 0 : parameters->flags);
    if (creationFlags & kLzxCreateResetNow)
        created->Reset();
    *context = created;
    return kLzxResultOk;
}

void LZXDestroyDecompressionContext(LZXDecompressionContext* context)
{
    if (context == nullptr)
        return;
    context->~LZXDecompressionContext();
    os::HeapFree(context);
}

LZXDecompressionContext::LZXDecompressionContext(uint8_t* block, uint32_t windowSize, uint32_t flags)
    : m_flags(flags), m_windowSize(windowSize),
      m_decoder(block + AlignUp(sizeof(LZXDecompressionContext)), windowSize),
      m_inputStaging(block + AlignUp(sizeof(LZXDecompressionContext)) + AlignUp(windowSize)),
      m_outputStaging(m_inputStaging + AlignUp(kMaxFrameBytes))
{
}

LZXDecompressionContext::~LZXDecompressionContext() = default;

void LZXDecompressionContext::Reset()
{
    m_decoder.Reset();
    m_inputFill = 0;
    m_stagedOffset = 0;
    m_stagedCount = 0;
    m_decodedBytes = 0;
    m_framesDecoded = 0;
    m_ended = false;
    m_failed = false;
    m_wasReset = true;
}

bool LZXDecompressionContext::Decompress(const uint8_t* input, uint32_t& inputSize, uint8_t* output, uint32_t& outputSize)
{
    const uint32_t inputAvailable = input ? inputSize : 0;
    const uint32_t outputSpace = output ? outputSize : 0;
    inputSize = 0;
    outputSize = 0;
    if (m_failed)
        return false;
    if (!m_wasReset)
    {
        gConsole.Error(CONSOLE_CHANNEL_CORE, "LZX context used before its decoder was reset");
        m_failed = true;
        return false;
    }

    uint32_t consumed = 0;
    uint32_t produced = 0;
    if (m_stagedCount > 0)
    {
        const uint32_t count = std::min(m_stagedCount, outputSpace);
        std::memcpy(output, m_outputStaging + m_stagedOffset, count);
        m_stagedOffset += count;
        m_stagedCount -= count;
        produced = count;
        if (m_stagedCount > 0)
        {
            outputSize = produced;
            return true;
        }
    }

    while (!m_ended && produced < outputSpace)
    {
        const uint8_t* frame = nullptr;
        const uint32_t left = inputAvailable - consumed;
        if (m_inputFill == 0 && left > 0 && left >= HeaderLength(input[consumed]) &&
            left >= FrameLength(input + consumed))
        {
            frame = input + consumed;
            consumed += FrameLength(frame);
        }
        else
        {
            // Gather a frame that arrives over several calls: the header first, then the rest.
            if (m_inputFill == 0 && left == 0)
                break;
            uint8_t* staging = m_inputStaging;
            uint32_t wanted = m_inputFill == 0 ? HeaderLength(input[consumed]) : HeaderLength(staging[0]);
            if (m_inputFill >= wanted)
                wanted = FrameLength(staging);
            while (m_inputFill < wanted && consumed < inputAvailable)
            {
                const uint32_t take = std::min(wanted - m_inputFill, inputAvailable - consumed);
                std::memcpy(staging + m_inputFill, input + consumed, take);
                m_inputFill += take;
                consumed += take;
                if (m_inputFill == HeaderLength(staging[0]))
                    wanted = FrameLength(staging);
            }
            if (m_inputFill < wanted)
                break;
            frame = staging;
            m_inputFill = 0;
        }

        uint32_t frameProduced = 0;
        if (!DecodeFrame(frame, output + produced, outputSpace - produced, frameProduced))
        {
            m_failed = true;
            inputSize = consumed;
            outputSize = produced;
            return false;
        }
        produced += frameProduced;
        if (m_stagedCount > 0)
            break;
    }
    inputSize = consumed;
    outputSize = produced;
    return true;
}

bool LZXDecompressionContext::DecodeFrame(const uint8_t* frame, uint8_t* output, uint32_t outputSpace, uint32_t& produced)
{
    const bool last = frame[0] == 0xFF;
    const uint8_t* payload = frame + (last ? 5 : 2);
    const uint32_t payloadSize = FrameLength(frame) - (last ? 10 : 2);
    const uint32_t frameSize = last ? (uint32_t(frame[1]) << 8 | frame[2]) : LzxDecoder::kFrameSize;
    // The output staging buffer holds one frame; a larger announced size is corrupt data.
    if (frameSize > LzxDecoder::kFrameSize)
        return false;
    if (!m_decoder.DecodeFrame(payload, payloadSize, frameSize))
        return false;
    if (last)
        m_ended = true;

    uint8_t* target = frameSize <= outputSpace ? output : m_outputStaging;
    std::memcpy(target, m_decoder.GetFrameData(), frameSize);
    UndoE8Translation(target, frameSize);
    m_decodedBytes += frameSize;
    ++m_framesDecoded;

    if (target == output)
    {
        produced = frameSize;
        return true;
    }
    produced = outputSpace;
    std::memcpy(output, target, outputSpace);
    m_stagedOffset = outputSpace;
    m_stagedCount = frameSize - outputSpace;
    return true;
}

void LZXDecompressionContext::UndoE8Translation(uint8_t* data, uint32_t size)
{
    const uint32_t translationSize = m_decoder.GetE8TranslationSize();
    if (translationSize == 0 || m_framesDecoded >= kE8FrameLimit || size < 7)
        return;
    for (uint32_t i = 0; i + 10 < size;)
    {
        if (data[i] != 0xE8)
        {
            ++i;
            continue;
        }
        const int64_t position = static_cast<int64_t>(m_decodedBytes + i);
        const uint32_t raw = uint32_t(data[i + 1]) | uint32_t(data[i + 2]) << 8 | uint32_t(data[i + 3]) << 16 |
                             uint32_t(data[i + 4]) << 24;
        const int64_t value = static_cast<int32_t>(raw);
        int64_t result = value;
        if (raw < translationSize)
            result = value - position;
        else if (value < 0 && value >= -position)
            result = value + translationSize;
        const uint32_t out = static_cast<uint32_t>(result);
        data[i + 1] = static_cast<uint8_t>(out);
        data[i + 2] = static_cast<uint8_t>(out >> 8);
        data[i + 3] = static_cast<uint8_t>(out >> 16);
        data[i + 4] = static_cast<uint8_t>(out >> 24);
        i += 5;
    }
}

bool LZXDecompressStream(LZXDecompressionContext* context, const uint8_t* input, uint32_t& inputSize, uint8_t* output,
                         uint32_t& outputSize)
{
    if (context == nullptr)
    {
        inputSize = 0;
        outputSize = 0;
        return false;
    }
    return context->Decompress(input, inputSize, output, outputSize);
}
