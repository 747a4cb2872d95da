// The Ogg decoder against vorbisfile, on clean and damaged streams.
#include "audio/sound/OGGStream.h"
#include "audio/sound/SoundStreamDataSource.h"
#include "support/ConsoleCapture.h"
#include "tools/datakit/SoundWriter.h"

#include <vorbis/vorbisfile.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

TEST(OGGStreamTest, OpensWithTheStreamFormatAndDecodesAsVorbisfileDoes)
{
    std::vector<uint8_t> file;
    ASSERT_TRUE(SoundWriter::EncodeOggVorbis(SoundWriter::MakeTone({440.0}, 22050, 0.5, 0.5), 0.4f, file));
    SoundStreamStaticDataSource source;
    source.AddRange(file.data(), uint32_t(file.size()));
    OGGStream stream(&source);
    uint8_t pcm[4096];
    EXPECT_EQ(stream.Read(pcm, sizeof(pcm)), 0u); // closed
    ASSERT_TRUE(stream.Open());
    EXPECT_EQ(stream.GetFormat().channels, 1);
    EXPECT_EQ(stream.GetFormat().samplesPerSec, 22050u);
    EXPECT_EQ(stream.GetFormat().blockAlign, 2);
    EXPECT_EQ(stream.GetFormat().avgBytesPerSec, 44100u);
    std::vector<uint8_t> ours;
    for (uint32_t got; (got = stream.Read(pcm, sizeof(pcm))) > 0;)
        ours.insert(ours.end(), pcm, pcm + got);

    // vorbisfile straight from memory.
    FILE* memory = fmemopen(file.data(), file.size(), "rb");
    OggVorbis_File direct;
    ASSERT_EQ(ov_open_callbacks(memory, &direct, nullptr, 0, OV_CALLBACKS_DEFAULT), 0);
    std::vector<uint8_t> theirs;
    int section = 0;
    for (long got; (got = ov_read(&direct, reinterpret_cast<char*>(pcm), sizeof(pcm), 0, 2, 1, &section)) > 0;)
        theirs.insert(theirs.end(), pcm, pcm + got);
    ov_clear(&direct);
    EXPECT_EQ(ours.size(), 22050u * 2 / 2);
    EXPECT_EQ(ours, theirs);

    // Opening again starts on what the source holds next: nothing.
    EXPECT_FALSE(stream.Open());
    EXPECT_EQ(stream.Read(pcm, sizeof(pcm)), 0u);
}

TEST(OGGStreamTest, DamagedStreamsFailToOpenOrEndEarly)
{
    std::vector<uint8_t> file;
    // Dense clicks encode to many pages.
    ASSERT_TRUE(SoundWriter::EncodeOggVorbis(SoundWriter::MakeClicks(22050, 3.0, 97, 3), 0.8f, file));
    std::vector<uint8_t> garbage(4000, 0xA5);
    SoundStreamStaticDataSource source;
    source.AddRange(garbage.data(), uint32_t(garbage.size()));
    OGGStream stream(&source);
    EXPECT_FALSE(stream.Open());

    // Cut inside the last page: decodes the pages before it and stops.
    size_t lastPage = file.size() - 4;
    while (lastPage > 0 && std::memcmp(file.data() + lastPage, "OggS", 4) != 0)
        --lastPage;
    SoundStreamStaticDataSource cut;
    cut.AddRange(file.data(), uint32_t(lastPage + 10));
    OGGStream partial(&cut);
    ASSERT_TRUE(partial.Open());
    uint8_t pcm[4096];
    uint32_t total = 0;
    for (uint32_t got; (got = partial.Read(pcm, sizeof(pcm))) > 0;)
        total += got;
    EXPECT_GT(total, 0u);
    EXPECT_LT(total, 22050u * 2 * 3);

    // More channels than the mixer takes are refused at open.
    std::vector<uint8_t> nine;
    ASSERT_TRUE(SoundWriter::EncodeOggVorbis(SoundWriter::MakeTone(std::vector<double>(9, 440.0), 22050, 0.1, 0.5),
                                             0.4f, nine));
    SoundStreamStaticDataSource wide;
    wide.AddRange(nine.data(), uint32_t(nine.size()));
    OGGStream tooWide(&wide);
    EXPECT_FALSE(tooWide.Open());
    EXPECT_EQ(tooWide.Read(pcm, sizeof(pcm)), 0u);
    std::vector<uint8_t> none = {1};
    EXPECT_FALSE(SoundWriter::EncodeOggVorbis(SoundWriter::MakeTone({}, 22050, 0.1, 0.5), 0.4f, none));
    EXPECT_TRUE(none.empty());
}

namespace
{
// Strength of `frequency` in one channel of 16-bit interleaved PCM (one DFT bin).
double StreamToneLevel(const std::vector<int16_t>& pcm, uint32_t channels, uint32_t channel, double frequency, uint32_t rate)
{
    double re = 0.0;
    double im = 0.0;
    const size_t frames = pcm.size() / channels;
    for (size_t i = 0; i < frames; ++i)
    {
        const double phase = 2.0 * 3.14159265358979 * frequency * double(i) / rate;
        re += pcm[i * channels + channel] * std::cos(phase);
        im += pcm[i * channels + channel] * std::sin(phase);
    }
    return std::sqrt(re * re + im * im) / double(frames);
}
} // namespace

TEST(OGGStreamTest, ChannelsComeInWaveSpeakerOrderAndShortReadsAreNoFalseEnd)
{
    // Vorbis orders the encoder's channels; each wave channel must carry the tone of its speaker.
    struct Layout
    {
        std::vector<double> vorbisTones;
        std::vector<double> waveTones;
    };
    const Layout layouts[] = {
        {{300, 500, 700}, {300, 700, 500}},                                     // L C R -> FL FR FC
        {{300, 500, 700, 900}, {300, 500, 700, 900}},                           // quad is the same
        {{300, 500, 700, 900, 1100, 1300}, {300, 700, 500, 1300, 900, 1100}},   // 5.1 -> FL FR FC LFE BL BR
        {{300, 500, 700, 900, 1100, 1300, 1500, 1700}, {300, 700, 500, 1700, 1300, 1500, 900, 1100}}, // 7.1
    };
    const uint32_t rate = 16000;
    for (const Layout& layout : layouts)
    {
        const uint32_t channels = uint32_t(layout.vorbisTones.size());
        SCOPED_TRACE(channels);
        std::vector<uint8_t> file;
        ASSERT_TRUE(SoundWriter::EncodeOggVorbis(SoundWriter::MakeTone(layout.vorbisTones, rate, 0.25, 0.5), 0.4f, file));
        SoundStreamStaticDataSource source;
        source.AddRange(file.data(), uint32_t(file.size()));
        OGGStream stream(&source);
        ASSERT_TRUE(stream.Open());
        ASSERT_EQ(stream.GetFormat().channels, channels);

        // Reads of 1 to 7 bytes, mostly shorter than a frame, must still see every byte.
        std::vector<uint8_t> bytes;
        uint8_t piece[8];
        uint32_t shortReads = 0;
        for (uint32_t step = 1, got; (got = stream.Read(piece, step)) > 0; step = step % 7 + 1)
        {
            shortReads += got < step ? 1 : 0;
            bytes.insert(bytes.end(), piece, piece + got);
        }
        EXPECT_LE(shortReads, 1u); // only at the very end
        ASSERT_EQ(bytes.size(), size_t(rate / 4) * channels * 2);
        std::vector<int16_t> pcm(bytes.size() / 2);
        std::memcpy(pcm.data(), bytes.data(), bytes.size());
        for (uint32_t c = 0; c < channels; ++c)
            for (const double tone : layout.vorbisTones)
            {
                const double level = StreamToneLevel(pcm, channels, c, tone, rate);
                if (tone == layout.waveTones[c])
                    EXPECT_GT(level, 3000.0) << "channel " << c << " tone " << tone;
                else
                    EXPECT_LT(level, 300.0) << "channel " << c << " tone " << tone;
            }
    }
}

namespace
{
// What an OGGStream gives for `file` in reads of 4096 bytes, up to the first short read, which a
// sound instance takes for the end.
std::vector<uint8_t> DecodeAll(const std::vector<uint8_t>& file)
{
    SoundStreamStaticDataSource source;
    source.AddRange(file.data(), uint32_t(file.size()));
    OGGStream stream(&source);
    std::vector<uint8_t> out;
    if (!stream.Open())
        return out;
    uint8_t pcm[4096];
    uint32_t got = 0;
    do
    {
        got = stream.Read(pcm, sizeof(pcm));
        out.insert(out.end(), pcm, pcm + got);
    } while (got == sizeof(pcm));
    EXPECT_EQ(stream.Read(pcm, sizeof(pcm)), 0u) << "an ended stream stays ended";
    return out;
}

// vorbisfile read front to back straight from memory, reading on past its holes, as the
// reference decoder's tools do.
std::vector<uint8_t> ReferenceDecode(const std::vector<uint8_t>& file, uint32_t* holes)
{
    FILE* memory = fmemopen(const_cast<uint8_t*>(file.data()), file.size(), "rb");
    OggVorbis_File direct;
    ov_callbacks callbacks{};
    callbacks.read_func = [](void* out, size_t size, size_t count, void* from) {
        return std::fread(out, size, count, static_cast<FILE*>(from));
    };
    std::vector<uint8_t> out;
    *holes = 0;
    if (ov_open_callbacks(memory, &direct, nullptr, 0, callbacks) == 0)
    {
        char pcm[4096];
        int section = 0;
        for (long got; (got = ov_read(&direct, pcm, sizeof(pcm), 0, 2, 1, &section)) != 0;)
        {
            if (got == OV_HOLE)
                ++*holes;
            else if (got < 0)
                break;
            else
                out.insert(out.end(), pcm, pcm + got);
        }
        ov_clear(&direct);
    }
    std::fclose(memory);
    return out;
}

std::vector<int16_t> Samples(const std::vector<uint8_t>& bytes, size_t from, size_t to)
{
    std::vector<int16_t> pcm((to - from) / 2);
    std::memcpy(pcm.data(), bytes.data() + from, pcm.size() * 2);
    return pcm;
}
} // namespace

// A damaged page is a hole: the reference decoder goes on after it, and so do we, to the same bytes.
TEST(OGGStreamTest, ADamagedPageLosesOnlyItsOwnSound)
{
    std::vector<uint8_t> file;
    ASSERT_TRUE(SoundWriter::EncodeOggVorbis(SoundWriter::MakeClicks(22050, 3.0, 97, 3), 0.8f, file));
    ASSERT_GE(SoundWriter::ListOggPages(file).size(), 8u);
    EXPECT_EQ(SoundWriter::ListOggPages({file.begin(), file.end() - 1}).size() + 1, SoundWriter::ListOggPages(file).size());
    ASSERT_TRUE(SoundWriter::DamageOggPage(file, 3));
    uint32_t holes = 0;
    const std::vector<uint8_t> reference = ReferenceDecode(file, &holes);
    ASSERT_EQ(holes, 1u) << "the fixture has one hole";
    const std::vector<uint8_t> ours = DecodeAll(file);
    EXPECT_GT(ours.size(), 22050u * 2 * 2) << "more than two of the three seconds";
    EXPECT_EQ(ours, reference);
}

// Chains: a stream in the same format plays on; one that changes channels or rate ends the sound
// where it starts, with a message, since the voice was made for the first format.
TEST(OGGStreamTest, AChainPlaysOnUntilAStreamChangesFormat)
{
    const struct
    {
        const char* name;
        std::vector<SoundSamples> links;
        size_t bytes;
        const char* warning;
    } cases[] = {
        {"same format", {SoundWriter::MakeTone({440.0}, 22050, 1.0, 0.5), SoundWriter::MakeTone({660.0}, 22050, 1.0, 0.5)},
         2 * 44100, nullptr},
        {"three streams",
         {SoundWriter::MakeTone({440.0}, 22050, 0.5, 0.5), SoundWriter::MakeTone({660.0}, 22050, 0.5, 0.5),
          SoundWriter::MakeTone({660.0}, 22050, 0.5, 0.5)},
         3 * 22050, nullptr},
        {"mono then stereo",
         {SoundWriter::MakeTone({440.0}, 22050, 1.0, 0.5), SoundWriter::MakeTone({660.0, 330.0}, 22050, 1.0, 0.5)},
         44100, "Ogg stream changes to 2 channels at 22050 Hz after 1 channels at 22050 Hz: the rest is not played"},
        {"another rate",
         {SoundWriter::MakeTone({440.0}, 22050, 1.0, 0.5), SoundWriter::MakeTone({660.0}, 44100, 1.0, 0.5)},
         44100, "Ogg stream changes to 1 channels at 44100 Hz after 1 channels at 22050 Hz: the rest is not played"},
    };
    std::vector<uint8_t> file; // one buffer for every case: each encoding replaces what it held
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        ConsoleCapture log;
        ASSERT_TRUE(SoundWriter::EncodeOggVorbisChain(c.links, 0.4f, file));
        const std::vector<uint8_t> ours = DecodeAll(file);
        EXPECT_EQ(ours.size(), c.bytes);
        // The first stream's tone, then (where it plays) the second's.
        ASSERT_GE(ours.size(), 44100u);
        EXPECT_GT(StreamToneLevel(Samples(ours, 2000, 20000), 1, 0, 440.0, 22050), 3000.0);
        if (c.bytes > 44100)
        {
            const std::vector<int16_t> second = Samples(ours, ours.size() - 36000, ours.size() - 4000);
            EXPECT_GT(StreamToneLevel(second, 1, 0, 660.0, 22050), 3000.0);
            EXPECT_LT(StreamToneLevel(second, 1, 0, 440.0, 22050), 300.0);
        }
        EXPECT_EQ(log.CountOfKind(CONSOLE_WARNING), c.warning != nullptr ? 1u : 0u);
        EXPECT_TRUE(c.warning == nullptr || log.Contains(c.warning, CONSOLE_WARNING));
    }
}
