#include "core/filesystem/ContainerStreamDecompressor.h"

#include "core/console/GameConsole.h"
#include "core/filesystem/FileSystemTimes.h"
#include "core/filesystem/LzxDecoder.h"

#include <zlib.h>

namespace
{
constexpr int kGzipWindowBits = 31; // 15-bit window, gzip wrapper required
} // namespace

ContainerStreamDecompressor::ContainerStreamDecompressor() = default;

ContainerStreamDecompressor::~ContainerStreamDecompressor()
{
    Release();
}

bool ContainerStreamDecompressor::Init(uint32_t method)
{
    Release();
    m_failed = false;
    m_zlibEnded = false;
    if (method == 1)
    {
        m_zlib = std::make_unique<z_stream_s>();
        if (inflateInit2(m_zlib.get(), kGzipWindowBits) != Z_OK)
        {
            m_zlib.reset();
            return false;
        }
    }
    else if (method == 2)
    {
        LZXDecompressionParameters parameters;
        parameters.windowSize = LzxDecoder::kContainerWindowSize;
        LZXDecompressionContext* context = nullptr;
        const uint32_t result = LZXCreateDecompressionContext(0, &parameters, kLzxCreateResetNow, &context, nullptr);
        if (result != kLzxResultOk)
        {
            gConsole.Error(CONSOLE_CHANNEL_CORE, "Unable to create an LZX context (0x%08X)", result);
            return false;
        }
        m_lzx.reset(context);
    }
    else
    {
        return false;
    }
    m_method = method;
    return true;
}

uint64_t ContainerStreamDecompressor::GetMaxOutputSize(uint32_t method, uint32_t storedSize)
{
    switch (method)
    {
    case 0: return storedSize;
    // Deflate's densest code is a 258-byte match in a one-bit length and a one-bit distance code:
    // 1032 bytes per stored byte, the gzip header and trailer counted as if they were data too.
    case 1: return uint64_t(storedSize) * 1032;
    // Every LZX frame takes at least its 2-byte header and gives at most one frame of output.
    case 2: return uint64_t(storedSize / 2) * LzxDecoder::kFrameSize;
    default: return 0;
    }
}

bool ContainerStreamDecompressor::Decompress(const uint8_t* input, uint32_t& inputSize, uint8_t* output, uint32_t& outputSize)
{
    FileSystemTimer timer(FILESYSTEM_TIME_DECOMPRESSION);
    if (m_failed || m_method == 0)
    {
        inputSize = 0;
        outputSize = 0;
        return false;
    }
    if (m_method == 2)
    {
        m_failed = !m_lzx->Decompress(input, inputSize, output, outputSize);
        return !m_failed;
    }

    if (m_zlibEnded || outputSize == 0)
    {
        inputSize = 0;
        outputSize = 0;
        return true;
    }
    const uint32_t given = input ? inputSize : 0;
    m_zlib->next_in = const_cast<Bytef*>(input);
    m_zlib->avail_in = given;
    m_zlib->next_out = output;
    m_zlib->avail_out = outputSize;
    const int result = inflate(m_zlib.get(), Z_SYNC_FLUSH);
    inputSize = given - m_zlib->avail_in;
    outputSize -= m_zlib->avail_out;
    if (result == Z_STREAM_END)
        m_zlibEnded = true;
    else if (result != Z_OK && result != Z_BUF_ERROR)
        m_failed = true;
    return !m_failed;
}

bool ContainerStreamDecompressor::HasGzipEnded() const
{
    return m_method == 1 && m_zlibEnded;
}

void ContainerStreamDecompressor::Release()
{
    if (m_zlib)
        inflateEnd(m_zlib.get());
    m_zlib.reset();
    m_lzx.reset();
    m_method = 0;
}
