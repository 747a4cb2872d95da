#include "platform/audio/WavFile.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace audio
{
namespace
{
constexpr uint32_t kRiffHeaderBytes = 12;
constexpr uint32_t kChunkHeaderBytes = 8;
constexpr uint32_t kFmtBodyBytes = 16;
// RIFF header, "fmt " chunk with a 16-byte body, "data" chunk header.
constexpr uint32_t kWriterHeaderBytes = kRiffHeaderBytes + kChunkHeaderBytes + kFmtBodyBytes + kChunkHeaderBytes;

uint16_t GetU16(const uint8_t* p)
{
    return uint16_t(p[0] | (p[1] << 8));
}

uint32_t GetU32(const uint8_t* p)
{
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}

void PutU16(uint8_t* p, uint32_t v)
{
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
}

void PutU32(uint8_t* p, uint32_t v)
{
    PutU16(p, v & 0xFFFF);
    PutU16(p + 2, v >> 16);
}

bool Fail(std::string* error, const char* text)
{
    if (error)
        *error = text;
    return false;
}
} // namespace

bool ParseWav(const uint8_t* data, size_t size, WavData& out, std::string* error)
{
    if (size < kRiffHeaderBytes || std::memcmp(data, "RIFF", 4) != 0 || std::memcmp(data + 8, "WAVE", 4) != 0)
        return Fail(error, "not a RIFF WAVE image");
    bool haveFormat = false;
    bool haveData = false;
    size_t position = kRiffHeaderBytes;
    while (size - position >= kChunkHeaderBytes)
    {
        const uint8_t* chunk = data + position;
        const uint32_t chunkSize = GetU32(chunk + 4);
        position += kChunkHeaderBytes;
        if (chunkSize > size - position)
            return Fail(error, "chunk size exceeds the file");
        const uint8_t* body = data + position;
        if (std::memcmp(chunk, "fmt ", 4) == 0)
        {
            if (chunkSize < kFmtBodyBytes)
                return Fail(error, "format chunk too short");
            out.format.formatTag = GetU16(body);
            out.format.channels = GetU16(body + 2);
            out.format.samplesPerSec = GetU32(body + 4);
            out.format.avgBytesPerSec = GetU32(body + 8);
            out.format.blockAlign = GetU16(body + 12);
            out.format.bitsPerSample = GetU16(body + 14);
            out.format.extraSize = chunkSize >= kFmtBodyBytes + 2 ? GetU16(body + 16) : 0;
            haveFormat = true;
        }
        else if (std::memcmp(chunk, "data", 4) == 0)
        {
            out.samples.assign(body, body + chunkSize);
            haveData = true;
        }
        // Chunks are padded to an even size; the pad byte may be missing at the very end.
        position += std::min<size_t>(size - position, size_t(chunkSize) + (chunkSize & 1));
    }
    if (!haveFormat)
        return Fail(error, "no format chunk");
    if (!haveData)
        return Fail(error, "no data chunk");
    return true;
}

bool ReadWavFile(const std::string& path, WavData& out, std::string* error)
{
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file)
        return Fail(error, "cannot open the file");
    std::vector<uint8_t> image;
    uint8_t block[65536];
    size_t got;
    while ((got = std::fread(block, 1, sizeof(block), file)) > 0)
        image.insert(image.end(), block, block + got);
    const bool readError = std::ferror(file) != 0;
    std::fclose(file);
    if (readError)
        return Fail(error, "read error");
    return ParseWav(image.data(), image.size(), out, error);
}

WavWriter::~WavWriter()
{
    Close();
}

bool WavWriter::Open(const std::string& path, uint32_t channels, uint32_t samplesPerSec)
{
    Close();
    if (channels == 0 || channels > kMaxChannels)
        return false;
    m_file = std::fopen(path.c_str(), "wb");
    if (!m_file)
        return false;
    m_channels = channels;
    m_dataBytes = 0;
    uint8_t header[kWriterHeaderBytes];
    std::memcpy(header, "RIFF", 4);
    PutU32(header + 4, kWriterHeaderBytes - 8);
    std::memcpy(header + 8, "WAVE", 4);
    std::memcpy(header + 12, "fmt ", 4);
    PutU32(header + 16, kFmtBodyBytes);
    PutU16(header + 20, kFormatPcm);
    PutU16(header + 22, channels);
    PutU32(header + 24, samplesPerSec);
    PutU32(header + 28, samplesPerSec * channels * 2);
    PutU16(header + 32, channels * 2);
    PutU16(header + 34, 16);
    std::memcpy(header + 36, "data", 4);
    PutU32(header + 40, 0);
    if (std::fwrite(header, 1, sizeof(header), m_file) != sizeof(header))
    {
        Close();
        return false;
    }
    return true;
}

bool WavWriter::Append(const float* interleaved, uint32_t frames)
{
    if (!m_file)
        return false;
    const uint64_t bytes = uint64_t(frames) * m_channels * 2;
    if (m_dataBytes + bytes > 0xFFFFFFFFull - kWriterHeaderBytes)
        return false;
    m_scratch.resize(size_t(bytes));
    for (uint32_t i = 0; i < frames * m_channels; ++i)
    {
        const float clamped = std::clamp(interleaved[i], -1.0f, 1.0f);
        const int32_t value = int32_t(std::lrintf(clamped * 32767.0f));
        PutU16(m_scratch.data() + 2 * i, uint16_t(int16_t(value)));
    }
    if (std::fwrite(m_scratch.data(), 1, m_scratch.size(), m_file) != m_scratch.size())
        return false;
    m_dataBytes += uint32_t(bytes);
    return PatchSizes();
}

bool WavWriter::PatchSizes()
{
    uint8_t size[4];
    PutU32(size, kWriterHeaderBytes - 8 + m_dataBytes);
    bool ok = std::fseek(m_file, 4, SEEK_SET) == 0 && std::fwrite(size, 1, 4, m_file) == 4;
    PutU32(size, m_dataBytes);
    ok = ok && std::fseek(m_file, 40, SEEK_SET) == 0 && std::fwrite(size, 1, 4, m_file) == 4;
    ok = ok && std::fseek(m_file, 0, SEEK_END) == 0 && std::fflush(m_file) == 0;
    return ok;
}

void WavWriter::Close()
{
    if (!m_file)
        return;
    std::fclose(m_file);
    m_file = nullptr;
}
} // namespace audio
