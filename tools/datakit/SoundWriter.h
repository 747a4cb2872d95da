// Test sounds: tones, stereo tones and clicks as 16-bit PCM, encoded to Ogg Vorbis with
// libvorbisenc or written as RIFF WAVE files. Any thread; no shared state.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Interleaved 16-bit PCM and its layout.
struct SoundSamples
{
    uint32_t channels = 1;
    uint32_t sampleRate = 44100;
    std::vector<int16_t> samples; // interleaved

    uint32_t FrameCount() const { return channels != 0 ? uint32_t(samples.size() / channels) : 0; }
};

namespace SoundWriter
{
// A sine per channel (frequencies.size() channels), amplitude 0..1 of full scale.
SoundSamples MakeTone(const std::vector<double>& frequencies, uint32_t sampleRate, double seconds, double amplitude);
// Mono clicks: `clickFrames` frames at full amplitude every `interval` frames, silence between.
SoundSamples MakeClicks(uint32_t sampleRate, double seconds, uint32_t interval, uint32_t clickFrames);

// Ogg Vorbis at the given VBR quality (-0.1 .. 1.0) as one logical stream with the given serial
// number. False when the encoder refuses the layout.
constexpr uint32_t kDefaultOggSerial = 0x50A7D5E1;
bool EncodeOggVorbis(const SoundSamples& sound, float quality, std::vector<uint8_t>& out,
                     uint32_t serial = kDefaultOggSerial);
// A chained file: each sound encoded as a stream of its own (serial numbers counting up from the
// default), one after the other, as concatenating encoder outputs gives.
bool EncodeOggVorbisChain(const std::vector<SoundSamples>& sounds, float quality, std::vector<uint8_t>& out);
// The Ogg pages of a file image: offset and size of each, in order; stops at bytes that are not a
// whole page.
struct OggPageSpan
{
    size_t offset;
    size_t bytes;
};
std::vector<OggPageSpan> ListOggPages(const std::vector<uint8_t>& file);
// Damages page `index` as a bad disk or transfer does: one body byte changes and the checksum no
// longer matches, so a reader drops the page. False when there is no such page or it has no body.
bool DamageOggPage(std::vector<uint8_t>& file, size_t index);
// The RIFF WAVE image of PCM samples.
std::vector<uint8_t> EncodeWav(const SoundSamples& sound);
// A RIFF WAVE image with any fmt fields and raw data bytes (for ADPCM and damaged test files).
std::vector<uint8_t> EncodeWavRaw(uint16_t formatTag, uint16_t channels, uint32_t sampleRate, uint16_t blockAlign,
                                  uint16_t bitsPerSample, const std::vector<uint8_t>& data);

bool WriteFile(const std::string& path, const std::vector<uint8_t>& bytes);
bool WriteOggVorbis(const std::string& path, const SoundSamples& sound, float quality = 0.6f);
bool WriteWav(const std::string& path, const SoundSamples& sound);
} // namespace SoundWriter
