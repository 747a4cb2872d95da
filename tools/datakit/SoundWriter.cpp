#include "tools/datakit/SoundWriter.h"

#include <vorbis/vorbisenc.h>

#include <cmath>
#include <cstdio>
#include <algorithm>
#include <numbers>

namespace
{
void PutU16(std::vector<uint8_t>& out, uint16_t value)
{
    out.push_back(uint8_t(value));
    out.push_back(uint8_t(value >> 8));
}

void PutU32(std::vector<uint8_t>& out, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(uint8_t(value >> (8 * i)));
}

void PutTag(std::vector<uint8_t>& out, const char* tag)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(uint8_t(tag[i]));
}

void AppendPage(const ogg_page& page, std::vector<uint8_t>& out)
{
    out.insert(out.end(), page.header, page.header + page.header_len);
    out.insert(out.end(), page.body, page.body + page.body_len);
}
} // namespace

namespace SoundWriter
{
SoundSamples MakeTone(const std::vector<double>& frequencies, uint32_t sampleRate, double seconds, double amplitude)
{
    SoundSamples sound;
    sound.channels = uint32_t(frequencies.size());
    sound.sampleRate = sampleRate;
    const uint32_t frames = uint32_t(seconds * sampleRate);
    sound.samples.resize(size_t(frames) * sound.channels);
    for (uint32_t frame = 0; frame < frames; ++frame)
        for (uint32_t channel = 0; channel < sound.channels; ++channel)
        {
            const double phase = 2.0 * std::numbers::pi * frequencies[channel] * frame / sampleRate;
            sound.samples[size_t(frame) * sound.channels + channel] = int16_t(std::lround(32767.0 * amplitude * std::sin(phase)));
        }
    return sound;
}

SoundSamples MakeClicks(uint32_t sampleRate, double seconds, uint32_t interval, uint32_t clickFrames)
{
    SoundSamples sound;
    sound.channels = 1;
    sound.sampleRate = sampleRate;
    const uint32_t frames = uint32_t(seconds * sampleRate);
    sound.samples.assign(frames, 0);
    for (uint32_t frame = 0; interval != 0 && frame < frames; frame += interval)
        for (uint32_t i = 0; i < clickFrames && frame + i < frames; ++i)
            sound.samples[frame + i] = 30000;
    return sound;
}

bool EncodeOggVorbis(const SoundSamples& sound, float quality, std::vector<uint8_t>& out, uint32_t serial)
{
    out.clear();
    vorbis_info info;
    vorbis_info_init(&info);
    if (sound.channels == 0 || vorbis_encode_init_vbr(&info, long(sound.channels), long(sound.sampleRate), quality) != 0)
    {
        vorbis_info_clear(&info);
        return false;
    }
    vorbis_comment comment;
    vorbis_comment_init(&comment);
    vorbis_dsp_state dsp;
    vorbis_block block;
    vorbis_analysis_init(&dsp, &info);
    vorbis_block_init(&dsp, &block);
    ogg_stream_state stream;
    ogg_stream_init(&stream, int(serial));

    ogg_packet header, headerComment, headerCode;
    vorbis_analysis_headerout(&dsp, &comment, &header, &headerComment, &headerCode);
    ogg_stream_packetin(&stream, &header);
    ogg_stream_packetin(&stream, &headerComment);
    ogg_stream_packetin(&stream, &headerCode);
    ogg_page page;
    while (ogg_stream_flush(&stream, &page) != 0)
        AppendPage(page, out);

    const uint32_t frames = sound.FrameCount();
    const uint32_t step = 1024;
    for (uint32_t start = 0;; start += step)
    {
        const uint32_t count = start < frames ? std::min(step, frames - start) : 0;
        if (count == 0)
            vorbis_analysis_wrote(&dsp, 0);
        else
        {
            float** buffer = vorbis_analysis_buffer(&dsp, int(count));
            for (uint32_t i = 0; i < count; ++i)
                for (uint32_t c = 0; c < sound.channels; ++c)
                    buffer[c][i] = float(sound.samples[size_t(start + i) * sound.channels + c]) / 32768.0f;
            vorbis_analysis_wrote(&dsp, int(count));
        }
        while (vorbis_analysis_blockout(&dsp, &block) == 1)
        {
            vorbis_analysis(&block, nullptr);
            vorbis_bitrate_addblock(&block);
            ogg_packet packet;
            while (vorbis_bitrate_flushpacket(&dsp, &packet) != 0)
            {
                ogg_stream_packetin(&stream, &packet);
                while (ogg_stream_pageout(&stream, &page) != 0)
                    AppendPage(page, out);
            }
        }
        if (count == 0)
            break;
    }
    while (ogg_stream_flush(&stream, &page) != 0)
        AppendPage(page, out);

    ogg_stream_clear(&stream);
    vorbis_block_clear(&block);
    vorbis_dsp_clear(&dsp);
    vorbis_comment_clear(&comment);
    vorbis_info_clear(&info);
    return true;
}

bool EncodeOggVorbisChain(const std::vector<SoundSamples>& sounds, float quality, std::vector<uint8_t>& out)
{
    out.clear();
    std::vector<uint8_t> link;
    for (size_t i = 0; i < sounds.size(); ++i)
    {
        if (!EncodeOggVorbis(sounds[i], quality, link, kDefaultOggSerial + uint32_t(i)))
            return false;
        out.insert(out.end(), link.begin(), link.end());
    }
    return true;
}

std::vector<OggPageSpan> ListOggPages(const std::vector<uint8_t>& file)
{
    constexpr size_t kHeaderBytes = 27;
    std::vector<OggPageSpan> pages;
    size_t at = 0;
    while (at + kHeaderBytes <= file.size() && std::equal(file.begin() + long(at), file.begin() + long(at) + 4, "OggS"))
    {
        const size_t segments = file[at + 26];
        if (at + kHeaderBytes + segments > file.size())
            break;
        size_t body = 0;
        for (size_t i = 0; i < segments; ++i)
            body += file[at + kHeaderBytes + i];
        const size_t bytes = kHeaderBytes + segments + body;
        if (at + bytes > file.size())
            break;
        pages.push_back({at, bytes});
        at += bytes;
    }
    return pages;
}

bool DamageOggPage(std::vector<uint8_t>& file, size_t index)
{
    const std::vector<OggPageSpan> pages = ListOggPages(file);
    if (index >= pages.size())
        return false;
    const OggPageSpan& page = pages[index];
    const size_t headerBytes = 27 + size_t(file[page.offset + 26]);
    if (page.bytes == headerBytes)
        return false;
    file[page.offset + headerBytes + (page.bytes - headerBytes) / 2] ^= 0xFF;
    return true;
}

std::vector<uint8_t> EncodeWavRaw(uint16_t formatTag, uint16_t channels, uint32_t sampleRate, uint16_t blockAlign,
                                  uint16_t bitsPerSample, const std::vector<uint8_t>& data)
{
    std::vector<uint8_t> out;
    PutTag(out, "RIFF");
    PutU32(out, uint32_t(4 + 8 + 16 + 8 + data.size()));
    PutTag(out, "WAVE");
    PutTag(out, "fmt ");
    PutU32(out, 16);
    PutU16(out, formatTag);
    PutU16(out, channels);
    PutU32(out, sampleRate);
    PutU32(out, sampleRate * blockAlign);
    PutU16(out, blockAlign);
    PutU16(out, bitsPerSample);
    PutTag(out, "data");
    PutU32(out, uint32_t(data.size()));
    out.insert(out.end(), data.begin(), data.end());
    return out;
}

std::vector<uint8_t> EncodeWav(const SoundSamples& sound)
{
    std::vector<uint8_t> data;
    data.reserve(sound.samples.size() * 2);
    for (int16_t sample : sound.samples)
        PutU16(data, uint16_t(sample));
    return EncodeWavRaw(1, uint16_t(sound.channels), sound.sampleRate, uint16_t(sound.channels * 2), 16, data);
}

bool WriteFile(const std::string& path, const std::vector<uint8_t>& bytes)
{
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr)
        return false;
    const bool written = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && written;
}

bool WriteOggVorbis(const std::string& path, const SoundSamples& sound, float quality)
{
    std::vector<uint8_t> bytes;
    return EncodeOggVorbis(sound, quality, bytes) && WriteFile(path, bytes);
}

bool WriteWav(const std::string& path, const SoundSamples& sound)
{
    return WriteFile(path, EncodeWav(sound));
}
} // namespace SoundWriter
