#include "platform/audio/WaveFormat.h"

namespace audio
{
namespace
{
// Each ADPCM channel header: predictor index (1 byte), delta, sample 1, sample 2 (2 bytes each).
constexpr uint32_t kAdpcmHeaderBytes = 7;
} // namespace

WaveFormat MakePcmFormat(uint32_t channels, uint32_t samplesPerSec, uint32_t bitsPerSample)
{
    WaveFormat format;
    format.formatTag = kFormatPcm;
    format.channels = uint16_t(channels);
    format.samplesPerSec = samplesPerSec;
    format.bitsPerSample = uint16_t(bitsPerSample);
    format.blockAlign = uint16_t(channels * bitsPerSample / 8);
    format.avgBytesPerSec = format.blockAlign * samplesPerSec;
    return format;
}

const char* WhyUndecodable(const WaveFormat& format)
{
    if (format.channels == 0 || format.channels > kMaxChannels)
        return "unsupported channel count";
    if (format.samplesPerSec < kMinSampleRate || format.samplesPerSec > kMaxSampleRate)
        return "unsupported sample rate";
    switch (format.formatTag)
    {
    case kFormatPcm:
        if (format.bitsPerSample != 8 && format.bitsPerSample != 16)
            return "unsupported PCM sample size";
        if (format.blockAlign != format.channels * format.bitsPerSample / 8)
            return "PCM block align does not match channels and sample size";
        return nullptr;
    case kFormatAdpcm:
        if (format.channels > 2)
            return "ADPCM supports one or two channels";
        if (format.bitsPerSample != 4)
            return "ADPCM needs 4 bits per sample";
        if (AdpcmSamplesPerBlock(format) < 2)
            return "ADPCM block align too small";
        return nullptr;
    default:
        return "unsupported format tag";
    }
}

uint32_t AdpcmSamplesPerBlock(const WaveFormat& format)
{
    const uint32_t header = kAdpcmHeaderBytes * format.channels;
    if (format.channels == 0 || format.blockAlign <= header)
        return 0;
    // Two samples per channel sit in the header, then two 4-bit samples per byte.
    return 2 + (format.blockAlign - header) * 2 / format.channels;
}

uint64_t FramesInBytes(const WaveFormat& format, uint32_t bytes)
{
    if (format.formatTag == kFormatPcm)
        return format.blockAlign ? bytes / format.blockAlign : 0;
    const uint32_t perBlock = AdpcmSamplesPerBlock(format);
    if (perBlock == 0)
        return 0;
    const uint32_t wholeBlocks = bytes / format.blockAlign;
    const uint32_t rest = bytes % format.blockAlign;
    uint64_t frames = uint64_t(wholeBlocks) * perBlock;
    const uint32_t header = kAdpcmHeaderBytes * format.channels;
    if (rest >= header)
        frames += 2 + (rest - header) * 2 / format.channels;
    return frames;
}
} // namespace audio
