// The Ogg stream against an independent decoder: Debian's oggdec (vorbis-tools) must give the same
// samples, as many, with each speaker's channel where the wave speaker order puts it, for files made
// by our encoder and by Debian's oggenc: tones, sweeps and noise, 1 to 6 channels, 22.05 to 48 kHz.
// oggdec's raw output keeps the Vorbis channel order (its WAV output reorders five channels not at
// all and six wrongly), so channels are matched by speaker name here.
#include "audio/sound/OGGStream.h"
#include "audio/sound/SoundStreamDataSource.h"
#include "support/TempFolder.h"
#include "tools/datakit/SoundWriter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>

namespace
{
std::vector<uint8_t> ReadBytes(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// The speakers of Vorbis channels in stream order, as the Vorbis I format defines them.
std::vector<std::string> VorbisSpeakers(uint32_t channels)
{
    switch (channels)
    {
    case 1: return {"FC"};
    case 2: return {"FL", "FR"};
    case 3: return {"FL", "FC", "FR"};
    case 4: return {"FL", "FR", "BL", "BR"};
    case 5: return {"FL", "FC", "FR", "BL", "BR"};
    case 6: return {"FL", "FC", "FR", "BL", "BR", "LFE"};
    default: return {};
    }
}

// For each channel in wave speaker order (FL FR FC LFE BL BR ...), its Vorbis channel.
std::vector<uint32_t> VorbisChannelOfWaveChannel(uint32_t channels)
{
    const std::vector<std::string> waveOrder = {"FL", "FR", "FC", "LFE", "BL", "BR"};
    const std::vector<std::string> vorbis = VorbisSpeakers(channels);
    std::vector<uint32_t> map;
    for (const std::string& speaker : waveOrder)
        for (uint32_t c = 0; c < vorbis.size(); ++c)
            if (vorbis[c] == speaker)
                map.push_back(c);
    return map;
}

// A sine per channel sweeping from 100 Hz to near half the rate, each channel a little apart.
SoundSamples MakeSweep(uint32_t channels, uint32_t rate, double seconds)
{
    SoundSamples sound{channels, rate, {}};
    const size_t frames = size_t(rate * seconds);
    for (size_t i = 0; i < frames; ++i)
        for (uint32_t c = 0; c < channels; ++c)
        {
            const double t = double(i) / rate;
            const double top = 0.45 * rate * (1.0 - 0.05 * c);
            const double phase = 2.0 * M_PI * (100.0 * t + (top - 100.0) * t * t / (2.0 * seconds));
            sound.samples.push_back(int16_t(std::lrint(14000.0 * std::sin(phase))));
        }
    return sound;
}

// White noise, a different sequence on each channel.
SoundSamples MakeNoise(uint32_t channels, uint32_t rate, double seconds)
{
    SoundSamples sound{channels, rate, {}};
    uint32_t seed = 12345;
    for (size_t i = 0; i < size_t(rate * seconds) * channels; ++i)
    {
        seed = seed * 1664525u + 1013904223u;
        sound.samples.push_back(int16_t(int32_t(seed >> 16) - 32768) / 3);
    }
    return sound;
}

// The whole stream read through OGGStream in pieces of irregular size.
bool DecodeWithStream(const std::vector<uint8_t>& file, uint32_t& channels, std::vector<int16_t>& pcm)
{
    SoundStreamStaticDataSource source;
    source.AddRange(file.data(), uint32_t(file.size()));
    OGGStream stream(&source);
    if (!stream.Open())
        return false;
    channels = stream.GetFormat().channels;
    std::vector<uint8_t> bytes;
    std::vector<uint8_t> piece(9000);
    uint32_t step = 1;
    for (uint32_t got; (got = stream.Read(piece.data(), step)) > 0; step = step * 7 % 8999 + 1)
        bytes.insert(bytes.end(), piece.begin(), piece.begin() + got);
    pcm.resize(bytes.size() / 2);
    std::memcpy(pcm.data(), bytes.data(), pcm.size() * 2);
    return true;
}

bool RunCommand(const std::string& command)
{
    return std::system(command.c_str()) == 0;
}

TEST(OGGStreamOggdecTest, EveryFileDecodesSampleForSampleAsOggdecDecodesIt)
{
    ASSERT_TRUE(RunCommand("command -v oggdec >/dev/null && command -v oggenc >/dev/null"))
        << "oggdec and oggenc come from Debian's vorbis-tools, which scripts/install-deps installs";
    struct Case
    {
        const char* name;
        SoundSamples sound;
        bool madeByOggenc;
    };
    const Case cases[] = {
        {"tone-mono-22k", SoundWriter::MakeTone({440.0}, 22050, 0.6, 0.5), false},
        {"sweep-stereo-44k", MakeSweep(2, 44100, 0.5), true},
        {"noise-3ch-32k", MakeNoise(3, 32000, 0.4), true},
        {"tones-quad-48k", SoundWriter::MakeTone({300.0, 500.0, 700.0, 900.0}, 48000, 0.4, 0.4), false},
        {"sweep-5ch-24k", MakeSweep(5, 24000, 0.4), true},
        {"noise-5.1-48k", MakeNoise(6, 48000, 0.3), false},
        {"sweep-5.1-48k", MakeSweep(6, 48000, 0.3), true},
    };
    TempFolder folder;
    for (const Case& test : cases)
    {
        SCOPED_TRACE(test.name);
        const std::string ogg = folder / (std::string(test.name) + ".ogg");
        const std::string decoded = folder / (std::string(test.name) + ".raw");
        if (test.madeByOggenc)
        {
            const std::string wav = folder / (std::string(test.name) + ".wav");
            ASSERT_TRUE(SoundWriter::WriteWav(wav, test.sound));
            ASSERT_TRUE(RunCommand("oggenc -Q -q 3 -o '" + ogg + "' '" + wav + "'"));
        }
        else
            ASSERT_TRUE(SoundWriter::WriteOggVorbis(ogg, test.sound, 0.4f));
        ASSERT_TRUE(RunCommand("oggdec -Q -R -b 16 -e 0 -s 1 -o '" + decoded + "' '" + ogg + "'"));

        const std::vector<uint8_t> raw = ReadBytes(decoded);
        std::vector<int16_t> theirs(raw.size() / 2);
        std::memcpy(theirs.data(), raw.data(), theirs.size() * 2);
        uint32_t channels = 0;
        std::vector<int16_t> ours;
        ASSERT_TRUE(DecodeWithStream(ReadBytes(ogg), channels, ours));
        ASSERT_EQ(channels, test.sound.channels);
        ASSERT_EQ(ours.size(), theirs.size());
        ASSERT_EQ(ours.size(), test.sound.samples.size());
        const std::vector<uint32_t> vorbisChannel = VorbisChannelOfWaveChannel(channels);
        ASSERT_EQ(vorbisChannel.size(), channels);
        for (size_t frame = 0; frame < ours.size() / channels; ++frame)
            for (uint32_t c = 0; c < channels; ++c)
                ASSERT_EQ(ours[frame * channels + c], theirs[frame * channels + vorbisChannel[c]])
                    << "frame " << frame << ", wave channel " << c;
    }
}
} // namespace
