// The Ogg decoder against vorbisfile, on clean and damaged streams.
#include "audio/sound/OGGStream.h"
#include "audio/sound/SoundStreamDataSource.h"
#include "tools/datakit/SoundWriter.h"

#include <vorbis/vorbisfile.h>

#include <gtest/gtest.h>

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
}
