// Sound resources in sound memory, with hand-written RIFF images.
#include "audio/sound/SoundEngine.h"
#include "audio/sound/SoundInstanceDecodableBase.h"
#include "core/filesystem/FileSystem.h"
#include "renderer/resources/ResourceManager.h"
#include "renderer/resources/ResourceSound.h"
#include "renderer/resources/SoundMemoryPool.h"
#include "support/ConsoleCapture.h"
#include "support/TempFolder.h"
#include "support/UnreadablePackedEntry.h"
#include "tools/datakit/SoundWriter.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <vector>

namespace
{
// SoundBytes of a little RIFF file, written out field by field.
struct SoundBytes
{
    std::vector<uint8_t> data;
    SoundBytes& Tag(const char* tag)
    {
        for (int i = 0; i < 4; ++i)
            data.push_back(uint8_t(tag[i]));
        return *this;
    }
    SoundBytes& U32(uint32_t v) { for (int i = 0; i < 4; ++i) data.push_back(uint8_t(v >> (8 * i))); return *this; }
    SoundBytes& U16(uint16_t v) { data.push_back(uint8_t(v)); data.push_back(uint8_t(v >> 8)); return *this; }
    SoundBytes& Fill(size_t n, uint8_t value) { data.insert(data.end(), n, value); return *this; }
};

// "RIFF" <size> WAVE "fmt " 16: PCM stereo 8000 Hz 16-bit, then the given chunks.
SoundBytes WaveHead(uint32_t riffSize, uint16_t tag = 1)
{
    SoundBytes b;
    b.Tag("RIFF").U32(riffSize).Tag("WAVE").Tag("fmt ").U32(16).U16(tag).U16(2).U32(8000).U32(32000).U16(4).U16(16);
    return b;
}

class ResourceSoundTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        std::filesystem::create_directories(m_folder / "sounds");
        ASSERT_TRUE(gFileSystem.MountDirectory("sounds", (m_folder / "sounds").c_str()));
        ASSERT_TRUE(m_manager.Init());
    }
    void TearDown() override
    {
        m_manager.Close();
        gFileSystem.UnmountAll();
    }
    void Write(const std::string& name, const std::vector<uint8_t>& bytes)
    {
        ASSERT_TRUE(SoundWriter::WriteFile(m_folder / ("sounds/" + name), bytes));
    }
    ResourceSound* Load(const char* name)
    {
        Resource* resource = m_manager.GetResource(RESOURCE_TYPE_SOUND, name, 0, true, 0);
        m_manager.SetPrefetchResource(resource); // a file that opens starts the pending prefetch
        resource->Load(true);
        EXPECT_TRUE(!resource->IsLoaded() || resource->GetReferenceCount() == 1) << name;
        return static_cast<ResourceSound*>(resource);
    }
    static uint32_t FreeBytes()
    {
        uint32_t free = 0;
        for (const SystemMemoryChunk* chunk = gSoundMemoryPool.GetFirstFreeChunk(); chunk != nullptr;
             chunk = chunk->GetNextFree())
            free += chunk->GetLength();
        return free;
    }

    ConsoleCapture m_log;
    TempFolder m_folder;
    ResourceManager m_manager;
};

TEST_F(ResourceSoundTest, WaveFilesParseInPlaceAndPreferTheirAdpcmTwin)
{
    SoundBytes pcm = WaveHead(36 + 8);
    pcm.Tag("data").U32(8).U16(1).U16(2).U16(3).U16(4);
    Write("a.wav", pcm.data);
    ResourceSound* a = Load("a.WAV"); // an extension in capitals is the same
    ASSERT_TRUE(a->IsLoaded());
    EXPECT_EQ(a->GetKind(), uint32_t(SOUND_FORMAT_PCM)) << "the number the sound instances play by";
    const audio::WaveFormat& f = a->GetFormat();
    EXPECT_EQ((std::vector<uint32_t>{f.channels, f.samplesPerSec, f.avgBytesPerSec, f.blockAlign, f.bitsPerSample}),
              (std::vector<uint32_t>{2, 8000, 32000, 4, 16}));
    ASSERT_EQ(a->GetSampleSize(), 8u);
    EXPECT_EQ(a->GetSampleData()[2], 2);
    EXPECT_EQ(a->GetSize(), uint32_t(pcm.data.size()));
    for (const SystemMemoryChunk* chunk = gSoundMemoryPool.GetFirstChunk(); chunk != nullptr; chunk = chunk->GetNext())
        EXPECT_FALSE(chunk->IsLoading()) << "a parsed file's chunk is no longer loading";
    EXPECT_TRUE(m_log.Contains("Playing WAV sound file", CONSOLE_WARNING));
    a->Release();

    m_log.Clear();
    SoundBytes adpcm;
    adpcm.Tag("RIFF").U32(36 + 8).Tag("WAVE").Tag("fmt ").U32(16).U16(2).U16(1).U32(8000).U32(4000).U16(256).U16(4);
    adpcm.Tag("data").U32(4).Fill(4, 7);
    Write("b.wav.adpcm", adpcm.data);
    Write("b.wav", std::vector<uint8_t>(10, 0)); // never opened
    ResourceSound* b = Load("b.wav");
    ASSERT_TRUE(b->IsLoaded());
    EXPECT_EQ(b->GetKind(), uint32_t(SOUND_FORMAT_ADPCM));
    EXPECT_FALSE(m_log.Contains("Playing WAV sound file"));
    b->Release();

    SoundBytes xwma;
    xwma.Tag("RIFF").U32(0).Tag("XWMA").Tag("fmt ").U32(18).U16(0x161).U16(2).U32(44100).U32(16000).U16(4459).U16(16)
        .U16(0).Tag("data").U32(6).Fill(6, 9);
    Write("c.wav", xwma.data);
    ResourceSound* c = Load("c.wav");
    ASSERT_TRUE(c->IsLoaded());
    EXPECT_EQ(c->GetKind(), uint32_t(SOUND_FORMAT_XWMA));
    EXPECT_EQ(c->GetSeekTable(), nullptr);
    EXPECT_EQ(c->GetSampleSize(), 6u);
    // A seek table before the data is kept in place; a wave read after it has none.
    SoundBytes seekable;
    seekable.data.assign(xwma.data.begin(), xwma.data.begin() + 38); // up to the end of the format chunk
    Write("d.wav", seekable.Tag("dpds").U32(4).U32(6).Tag("data").U32(6).Fill(6, 9).data);
    Write("e.wav", pcm.data);
    ResourceSound* d = Load("d.wav");
    ASSERT_EQ(d->GetSeekTableSize(), 4u);
    EXPECT_EQ(d->GetSeekTable(), d->GetSampleData() - 12);
    EXPECT_EQ(Load("e.wav")->GetSeekTable(), nullptr);
    // A sound still held at close gives its chunk back before the pool's block goes.
    m_manager.Close();
    EXPECT_FALSE(m_log.Contains("still in use"));
}

TEST_F(ResourceSoundTest, MalformedFilesFailAndGiveTheirMemoryBack)
{
    const uint32_t freeBefore = FreeBytes();
    SoundBytes list = WaveHead(100);
    list.Tag("LIST").U32(4).Tag("INFO").Tag("data").U32(2).U16(0);
    Write("list.wav", list.data);
    SoundBytes overlong = WaveHead(100);
    overlong.Tag("data").U32(4).U16(0); // claims two bytes more than the file holds
    Write("long.wav", overlong.data);
    Write("long1.wav", WaveHead(100).Tag("data").U32(3).U16(0).data); // one byte more than it holds
    SoundBytes tag3 = WaveHead(100, 3);
    tag3.Tag("data").U32(2).U16(0);
    Write("float.wav", tag3.data);
    SoundBytes shortFmt; // a format chunk two bytes short of the sample width
    shortFmt.Tag("RIFF").U32(100).Tag("WAVE").Tag("fmt ").U32(14).U16(1).U16(1).U32(8000).U32(16000).U16(2);
    shortFmt.Tag("data").U32(2).U16(0);
    Write("fmt14.wav", shortFmt.data);
    SoundBytes tail = WaveHead(100); // six bytes after the format chunk: too few for a chunk header
    tail.Tag("data").U16(0);
    Write("tail.wav", tail.data);
    Write("short.wav", {'R', 'I', 'F', 'F', 3, 0, 0, 0, 'W', 'A', 'V'}); // one byte short of its form
    SoundBytes form = WaveHead(100); // a RIFF form other than WAVE
    form.data[8] = 'X';
    Write("form.wav", form.Tag("data").U32(2).U16(0).data);
    Write("big.ogg", std::vector<uint8_t>(gSoundMemoryPool.GetSize() + 16, 1));
    Write("x.mp3", {1, 2, 3});

    for (const char* name : {"list.wav", "long.wav", "long1.wav", "float.wav", "fmt14.wav", "tail.wav", "short.wav",
                             "form.wav", "big.ogg", "x.mp3", "missing.ogg", "noext"})
    {
        ResourceSound* sound = Load(name);
        sound->Prefetch(); // preheating what cannot load does nothing
        EXPECT_EQ(sound->GetState(), uint32_t(RESOURCE_STATE_DONE)) << name;
        EXPECT_TRUE(sound->HasLoadFailed()) << name;
        EXPECT_EQ(sound->GetKind(), uint32_t(SOUND_KIND_NONE)) << name;
        sound->Release();
    }
    // A packed entry that opens, but whose compressed bytes do not read.
    MountUnreadablePackedEntry("sounds", "cut.ogg", m_folder / "packed.dat");
    ResourceSound* cut = Load("cut.ogg");
    EXPECT_TRUE(cut->HasLoadFailed() && m_log.Contains("Cannot read sound file: cut.ogg", CONSOLE_ERROR));
    cut->Release();
    EXPECT_EQ(FreeBytes(), freeBefore);
    EXPECT_TRUE(m_log.Contains("Unsupported wave format: 3", CONSOLE_ERROR));
    EXPECT_TRUE(m_log.Contains("Unknown RIFF form in sound file: form.wav", CONSOLE_ERROR));
    EXPECT_TRUE(m_log.Contains("Not a RIFF sound file: short.wav", CONSOLE_ERROR));
    EXPECT_TRUE(m_log.Contains("Out of sound memory.", CONSOLE_ERROR));
    EXPECT_TRUE(m_log.Contains("Resource loading failed (long.wav)", CONSOLE_ERROR));
}

TEST_F(ResourceSoundTest, OggFilesAreKeptWholeAndEvictionFreesThem)
{
    std::vector<uint8_t> ogg;
    ASSERT_TRUE(SoundWriter::EncodeOggVorbis(SoundWriter::MakeTone({440.0}, 22050, 0.2, 0.5), 0.4f, ogg));
    Write("Tone.OGG", ogg);
    const uint32_t freeBefore = FreeBytes();
    ResourceSound* tone = Load("Tone.OGG");
    ASSERT_TRUE(tone->IsLoaded());
    EXPECT_EQ(tone->GetKind(), uint32_t(SOUND_FORMAT_OGG));
    ASSERT_EQ(tone->GetSampleSize(), ogg.size());
    EXPECT_EQ(std::memcmp(tone->GetSampleData(), ogg.data(), ogg.size()), 0);
    EXPECT_LT(FreeBytes(), freeBefore);
    for (const SystemMemoryChunk* chunk = gSoundMemoryPool.GetFirstChunk(); chunk != nullptr; chunk = chunk->GetNext())
        EXPECT_FALSE(chunk->IsLoading()) << "a read file's chunk is no longer loading";
    tone->Release();
    // The sound engine's script calls reach the manager's pool of sounds.
    SoundEngine sounds;
    sounds.EvictSoundMemoryPool();
    sounds.LogSoundMemoryPool();
    m_manager.Flush();
    EXPECT_EQ(FreeBytes(), freeBefore);
    EXPECT_TRUE(m_log.Contains("Dump of memory pool of size"));
    EXPECT_TRUE(m_manager.IsInitialised()) << "a dump leaves the pools in place";
}
} // namespace
