// Turns the stored bytes of a compressed container entry into the entry's bytes while they arrive in
// read-ahead blocks: method 1 is a gzip member inflated by zlib, method 2 our LZX frame stream.
// Owned and used by the thread that reads the entry.
#pragma once

#include "core/filesystem/LzxDecompressionContext.h"

#include <cstdint>
#include <memory>

struct z_stream_s;

// Incremental decompressor of one container entry.
class ContainerStreamDecompressor
{
public:
    ContainerStreamDecompressor();
    ~ContainerStreamDecompressor();
    ContainerStreamDecompressor(const ContainerStreamDecompressor&) = delete;
    ContainerStreamDecompressor& operator=(const ContainerStreamDecompressor&) = delete;

    // 1 gzip, 2 LZX; false (nothing set up) for other methods or when set-up fails.
    bool Init(uint32_t method);
    // Consumes input and produces output; inputSize and outputSize return the bytes used. False when
    // the data is corrupt (and on every later call).
    bool Decompress(const uint8_t* input, uint32_t& inputSize, uint8_t* output, uint32_t& outputSize);
    // True once a gzip member has ended, its trailer (the entry's CRC and size) checked by zlib.
    bool HasGzipEnded() const;
    void Release();

    uint32_t GetMethod() const { return m_method; }

    // The most bytes that `storedSize` stored bytes can give under a method (0 stored, 1 gzip, 2 LZX):
    // a size above it is no damage of the data but a record that cannot be true. 0 for other methods.
    static uint64_t GetMaxOutputSize(uint32_t method, uint32_t storedSize);

private:
    uint32_t m_method = 0;
    std::unique_ptr<z_stream_s> m_zlib;
    LZXDecompressionContextPtr m_lzx;
    bool m_zlibEnded = false;
    bool m_failed = false;
};
