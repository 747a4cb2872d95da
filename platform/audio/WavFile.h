// WAV files: the writer behind the mixer's file output, and a checked reader for tests and tools.
// A WavWriter is used by one thread at a time (the mixer holds its lock while writing).
#pragma once

#include "platform/audio/WaveFormat.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace audio
{
// Format and sample bytes of a RIFF WAVE image.
struct WavData
{
    WaveFormat format;
    std::vector<uint8_t> samples;
};

// Reads a RIFF WAVE image; every chunk size is checked against the image. On failure `error`
// (when given) says why and `out` is left unspecified.
bool ParseWav(const uint8_t* data, size_t size, WavData& out, std::string* error = nullptr);
bool ReadWavFile(const std::string& path, WavData& out, std::string* error = nullptr);

// Streams float frames into a 16-bit PCM WAV file. The header's sizes are patched after every
// append, so the file is a valid WAV even when the program stops without closing it.
class WavWriter
{
public:
    WavWriter() = default;
    ~WavWriter();
    WavWriter(const WavWriter&) = delete;
    WavWriter& operator=(const WavWriter&) = delete;

    bool Open(const std::string& path, uint32_t channels, uint32_t samplesPerSec);
    // Samples are clamped to -1..1. False once the file cannot take more (write error, 4 GB).
    bool Append(const float* interleaved, uint32_t frames);
    void Close();
    bool IsOpen() const { return m_file != nullptr; }

private:
    bool PatchSizes();

    std::FILE* m_file = nullptr;
    uint32_t m_channels = 0;
    uint32_t m_dataBytes = 0;
    std::vector<uint8_t> m_scratch;
};
} // namespace audio
