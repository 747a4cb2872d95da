// The wave format a source voice is created from, and what the mixer can decode of it.
// Plain data: any thread.
#pragma once

#include <cstdint>

namespace audio
{
// Format tags of the wave "fmt " chunk that the mixer decodes.
constexpr uint16_t kFormatPcm = 1;
constexpr uint16_t kFormatAdpcm = 2;

constexpr uint32_t kMaxChannels = 8;
// The widest mastering voice.
constexpr uint32_t kMaxOutputChannels = 8;
constexpr uint32_t kMinSampleRate = 1000;
constexpr uint32_t kMaxSampleRate = 200000;

// The first 16 bytes of a wave "fmt " chunk plus its extra-size word. ADPCM needs no extra bytes:
// the mixer uses the seven standard coefficient pairs and derives the samples per block.
struct WaveFormat
{
    uint16_t formatTag = kFormatPcm;
    uint16_t channels = 0;
    uint32_t samplesPerSec = 0;
    uint32_t avgBytesPerSec = 0;
    uint16_t blockAlign = 0;
    uint16_t bitsPerSample = 0;
    uint16_t extraSize = 0;
};

// 16-bit PCM (what the decoders produce).
WaveFormat MakePcmFormat(uint32_t channels, uint32_t samplesPerSec, uint32_t bitsPerSample = 16);

// Null when the mixer can play the format, else why not (static text).
const char* WhyUndecodable(const WaveFormat& format);

// Sample frames in one ADPCM block of the format (0 when the block align cannot hold a header).
uint32_t AdpcmSamplesPerBlock(const WaveFormat& format);

// Whole sample frames in `bytes` of data of a decodable format (a short last ADPCM block counts).
// 64-bit: mono ADPCM holds nearly two frames per byte, more than 32 bits count past 2 GB.
uint64_t FramesInBytes(const WaveFormat& format, uint32_t bytes);
} // namespace audio
