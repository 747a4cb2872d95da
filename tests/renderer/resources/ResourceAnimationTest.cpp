// Animation files: a hand-written image of each version, empty clips and names, refusal of
// truncated or over-counted files, and the resource loading one written by the data kit.
#include "core/filesystem/FileSystem.h"
#include "renderer/resources/ResourceAnimation.h"
#include "renderer/resources/ResourceManager.h"
#include "support/ConsoleCapture.h"
#include "support/TempFolder.h"
#include "support/UnreadablePackedEntry.h"
#include "tools/datakit/AnimationFileWriter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <vector>

namespace
{
struct Bytes
{
    std::vector<uint8_t> data;
    Bytes& U16(uint16_t v)
    {
        data.push_back(uint8_t(v));
        data.push_back(uint8_t(v >> 8));
        return *this;
    }
    Bytes& U32(uint32_t v)
    {
        for (int i = 0; i < 4; ++i)
            data.push_back(uint8_t(v >> (8 * i)));
        return *this;
    }
    Bytes& F32(float f)
    {
        uint32_t bits;
        std::memcpy(&bits, &f, 4);
        return U32(bits);
    }
    Bytes& Text(const char* text)
    {
        U32(uint32_t(std::strlen(text)));
        data.insert(data.end(), text, text + std::strlen(text));
        return *this;
    }
};

// Two tracks: "Hips" with one rotation and two position keys, an unnamed one with one scale key;
// ranges with distinct values; a first value 1.5 and, from version 4, a second value 2.5.
std::vector<uint8_t> HandWritten(uint32_t version)
{
    Bytes b;
    b.U32(0xA3B9550F).U32(version).U32(7).U32(9).U32(2);
    b.Text("Hips").U16(1).U16(2).U16(0);
    b.Text("").U16(0).U16(0).U16(1);
    b.U32(4);
    b.U16(1).U16(2).U16(3).U16(0x8000);
    b.U16(0x7FFF).U16(0).U16(0xFFFF).U16(4);
    b.U16(5).U16(6).U16(7).U16(8);
    b.U16(9).U16(10).U16(11).U16(12);
    for (int range = 0; range < 3; ++range)
        for (int i = 0; i < 8; ++i)
            b.F32(float(range * 10 + i));
    b.F32(1.5f);
    if (version >= 4)
        b.F32(2.5f);
    return b.data;
}

bool ReadImage(const std::vector<uint8_t>& image, AnimationData& data, uint32_t (&words)[2])
{
    return ResourceAnimation::ReadImage(image.data(), image.size(), "test", data, words);
}
} // namespace

TEST(ResourceAnimationFileTest, HandWrittenImagesOfVersionThreeAndFourRead)
{
    for (const uint32_t version : {3u, 4u})
    {
        SCOPED_TRACE(version);
        AnimationData data;
        uint32_t words[2] = {};
        ASSERT_TRUE(ReadImage(HandWritten(version), data, words));
        EXPECT_EQ(words[0], 7u);
        EXPECT_EQ(words[1], 9u);
        ASSERT_EQ(data.GetTracks().size(), 2u);
        const AnimationTrack& hips = data.GetTracks()[0];
        EXPECT_STREQ(hips.name.CStr(), "Hips");
        EXPECT_EQ(hips.keyCounts[ANIMCHANNEL_POSITION], 2);
        EXPECT_EQ(hips.firstKeys[ANIMCHANNEL_POSITION], 1u);
        EXPECT_TRUE(data.GetTracks()[1].name.IsEmpty());
        EXPECT_EQ(data.GetTracks()[1].firstKeys[ANIMCHANNEL_SCALE], 3u);
        ASSERT_EQ(data.GetKeys().size(), 4u);
        EXPECT_EQ(data.GetKeys()[0].t, -32768);
        EXPECT_EQ(data.GetKeys()[1].x, 32767);
        EXPECT_EQ(data.GetKeys()[1].z, -1);
        EXPECT_EQ(data.GetKeys()[3].t, 12);
        EXPECT_FLOAT_EQ(data.GetRange(ANIMCHANNEL_ROTATION).maximum.w, 7.0f);
        EXPECT_FLOAT_EQ(data.GetRange(ANIMCHANNEL_POSITION).minimum.x, 10.0f);
        EXPECT_FLOAT_EQ(data.GetRange(ANIMCHANNEL_SCALE).maximum.x, 24.0f);
        ASSERT_EQ(data.GetDecodedKeys().size(), 4u);
        EXPECT_NEAR(data.GetDecodedKeys()[3].x, 22.0f, 0.01f) << "the scale key decodes too: 9 is mid-range";
        EXPECT_FLOAT_EQ(data.GetValue(0), 1.5f);
        EXPECT_FLOAT_EQ(data.GetValue(1), version >= 4 ? 2.5f : 0.0f);
        EXPECT_EQ(data.FindTrack(NameString("Hips")), 0);
        EXPECT_EQ(data.FindTrack(NameString("Spine")), -1);
        EXPECT_EQ(data.FindTrack(NameString()), 1) << "the last track is searched too";
    }
}

TEST(ResourceAnimationFileTest, ZeroTracksAndKeysGiveAnEmptyClip)
{
    Bytes b;
    b.U32(0xA3B9550F).U32(4).U32(0).U32(0).U32(0).U32(0);
    for (int i = 0; i < 26; ++i)
        b.F32(0.0f);
    AnimationData data;
    uint32_t words[2] = {};
    ASSERT_TRUE(ReadImage(b.data, data, words));
    EXPECT_TRUE(data.GetTracks().empty());
    EXPECT_TRUE(data.GetKeys().empty());
}

TEST(ResourceAnimationFileTest, CutOrOverCountedFilesAreRefusedAndLeaveNoClip)
{
    ConsoleCapture console;
    const std::vector<uint8_t> whole = HandWritten(4);
    // Every cut, down to the magic: a version 4 file without its second value is cut too.
    for (size_t size = 0; size < whole.size(); ++size)
    {
        AnimationData data;
        uint32_t words[2] = {5, 5};
        const std::vector<uint8_t> cut(whole.begin(), whole.begin() + std::ptrdiff_t(size));
        ASSERT_FALSE(ReadImage(cut, data, words)) << size;
        EXPECT_TRUE(data.GetTracks().empty());
        EXPECT_EQ(words[0], 5u) << "a refused file leaves the header words alone";
    }
    EXPECT_TRUE(console.Contains("Animation test ends early", 4));

    struct Case
    {
        const char* name;
        size_t offset;
        uint32_t value;
        const char* message;
    };
    const Case cases[] = {
        {"wrong magic", 0, 0xA3B95510, nullptr},
        {"more tracks than the bytes left can hold", 16, 20, "20 tracks cannot fit"},
        {"key count past the file", 44, 0x01000000, "keys, the tracks need"},
        {"fewer keys than the tracks use", 44, 3, "3 keys, the tracks need 4"},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        std::vector<uint8_t> bad = whole;
        std::memcpy(&bad[c.offset], &c.value, 4);
        AnimationData data;
        uint32_t words[2] = {};
        EXPECT_FALSE(ReadImage(bad, data, words));
        if (c.message != nullptr)
        {
            EXPECT_TRUE(console.Contains(c.message, 4));
        }
    }
}

TEST(ResourceAnimationFileTest, ClipsKeyedAtOneSetOfTimesGetKeyBlocksOfFourTracks)
{
    // Five tracks, three rotation and position keys each at the same times, one scale key.
    AnimationClipSpec baked;
    for (int track = 0; track < 5; ++track)
    {
        AnimationClipSpec::Track t;
        t.name = "T" + std::to_string(track);
        for (int key = 0; key < 3; ++key)
        {
            const float time = 0.1f + 0.4f * float(key);
            t.rotation.push_back({time, Vector(0.1f * float(track), -0.2f * float(key), 0.3f, 0.0f)});
            t.position.push_back({time, Vector(float(track), float(key), -1.0f, 0.0f)});
        }
        t.scale.push_back({0.0f, Vector(2.0f, 2.0f, 2.0f, 0.0f)});
        baked.tracks.push_back(t);
    }
    struct Case
    {
        const char* name;
        void (*change)(AnimationClipSpec&);
        bool blocks;
    };
    const Case cases[] = {
        {"one set of times", [](AnimationClipSpec&) {}, true},
        {"a position key at another time", [](AnimationClipSpec& c) { c.tracks[3].position[1].time = 0.6f; }, false},
        {"a rotation key at another time", [](AnimationClipSpec& c) { c.tracks[4].rotation[2].time = 0.8f; }, false},
        // Keys at the same fractions of time ranges that start or end elsewhere quantise alike.
        {"position keys starting earlier", [](AnimationClipSpec& c) {
             for (AnimationClipSpec::Track& t : c.tracks)
                 t.position[0].time = 0.0f, t.position[1].time = 0.45f;
         }, false},
        {"position keys ending later", [](AnimationClipSpec& c) {
             for (AnimationClipSpec::Track& t : c.tracks)
                 t.position[1].time = 0.6f, t.position[2].time = 1.1f;
         }, false},
        {"a track with a key less", [](AnimationClipSpec& c) {
             c.tracks[2].rotation.pop_back();
             c.tracks[2].position.pop_back();
         }, false},
        // No key at all: equal (zero) ranges, and nothing for the first track's times to point at.
        {"tracks without keys", [](AnimationClipSpec& c) {
             for (AnimationClipSpec::Track& t : c.tracks)
                 t.rotation.clear(), t.position.clear(), t.scale.clear();
         }, false},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        AnimationClipSpec spec = baked;
        c.change(spec);
        AnimationData data;
        uint32_t words[2] = {};
        ASSERT_TRUE(ReadImage(AnimationFileWriter::Build(spec), data, words));
        if (!c.blocks)
        {
            EXPECT_TRUE(data.GetKeyBlocks().empty());
            EXPECT_EQ(data.GetBlockKeyCount(), 0u);
            continue;
        }
        ASSERT_EQ(data.GetBlockKeyCount(), 3u);
        ASSERT_EQ(data.GetKeyBlocks().size(), 2u * 3u) << "two groups of four tracks";
        // Block [group * 3 + key], lane = track % 4: the decoded keys with w rebuilt from x, y, z.
        for (const int track : {1, 4})
            for (const int key : {0, 2})
            {
                const AnimationTrack& t = data.GetTracks()[size_t(track)];
                const Vector& rotation = data.GetDecodedKeys()[t.firstKeys[ANIMCHANNEL_ROTATION] + uint32_t(key)];
                const Vector& position = data.GetDecodedKeys()[t.firstKeys[ANIMCHANNEL_POSITION] + uint32_t(key)];
                EXPECT_NEAR(position.x + position.y, float(track + key), 1e-3f) << "decoded back into the clip's range";
                const AnimationKeyBlock& block = data.GetKeyBlocks()[size_t(track / 4 * 3 + key)];
                alignas(16) float rows[8][4];
                for (int row = 0; row < 4; ++row)
                {
                    _mm_store_ps(rows[row], block.rotation[row]);
                    _mm_store_ps(rows[4 + row], block.position[row]);
                }
                const int lane = track % 4;
                EXPECT_EQ(rows[0][lane], rotation.x);
                EXPECT_EQ(rows[2][lane], rotation.z);
                EXPECT_EQ(rows[3][lane],
                          std::sqrt(1.0f - rotation.x * rotation.x - rotation.y * rotation.y - rotation.z * rotation.z));
                EXPECT_EQ(rows[4][lane], position.x);
                EXPECT_EQ(rows[6][lane], position.z);
                EXPECT_EQ(rows[7][lane], position.w) << "the key time";
                EXPECT_EQ(rows[7][lane], rotation.w);
                // Lanes past the fifth track: no keys, w rebuilt as 1.
                EXPECT_EQ(rows[0][3], track < 4 ? data.GetDecodedKeys()[data.GetTracks()[3].firstKeys[0] + uint32_t(key)].x
                                                : 0.0f);
                if (track == 4)
                {
                    EXPECT_EQ(rows[3][1], 1.0f);
                }
            }
        std::vector<uint8_t> cut = AnimationFileWriter::Build(spec);
        cut.resize(cut.size() - 4);
        EXPECT_FALSE(ReadImage(cut, data, words));
        EXPECT_EQ(data.GetBlockKeyCount(), 0u) << "a failed read into a used clip leaves no block count behind";
    }
}

class ResourceAnimationTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        std::filesystem::create_directories(m_folder / "Animations");
        ASSERT_TRUE(gFileSystem.MountDirectory("Animations", (m_folder / "Animations").c_str()));
        ASSERT_TRUE(m_manager.Init());
    }
    void TearDown() override
    {
        m_manager.Close();
        gFileSystem.UnmountAll();
    }
    ResourceAnimation* Load(const char* name)
    {
        Resource* resource = m_manager.GetResource(RESOURCE_TYPE_ANIMATION, name, 0, true, 0);
        resource->Load(true);
        resource->WaitUntilLoaded(false);
        return static_cast<ResourceAnimation*>(resource);
    }

    ConsoleCapture m_log;
    TempFolder m_folder;
    ResourceManager m_manager;
};

TEST_F(ResourceAnimationTest, TheResourceThreadLoadsAWrittenClipAndAMissingOneFails)
{
    AnimationClipSpec clip;
    clip.headerWords[1] = 3;
    AnimationClipSpec::Track track;
    track.name = "Spine";
    track.position = {{0.0f, Vector(0, 0, 0, 0)}, {1.0f, Vector(0, 2, 0, 0)}};
    clip.tracks.push_back(track);
    ASSERT_TRUE(AnimationFileWriter::Write(m_folder / "Animations/walk.bin", clip));

    ResourceAnimation* walk = Load("walk");
    ASSERT_TRUE(walk->IsLoaded());
    EXPECT_EQ(walk->GetHeaderWord(1), 3u);
    ASSERT_EQ(walk->GetData().GetTracks().size(), 1u);
    EXPECT_STREQ(walk->GetData().GetTracks()[0].name.CStr(), "Spine");
    EXPECT_EQ(walk->GetData().GetKeys().size(), 2u);
    EXPECT_FLOAT_EQ(walk->GetData().GetRange(ANIMCHANNEL_POSITION).maximum.y, 2.0f);
    walk->Release();

    ResourceAnimation* missing = Load("run");
    EXPECT_TRUE(missing->HasLoadFailed());
    EXPECT_TRUE(m_log.Contains("Resource loading failed (run)"));
    missing->Release();

    // A packed entry that opens, but whose compressed bytes do not read.
    MountUnreadablePackedEntry("Animations", "cut.bin", m_folder / "packed.dat");
    ResourceAnimation* cut = Load("cut");
    EXPECT_TRUE(cut->HasLoadFailed() && m_log.Contains("Animation cut cannot be read", CONSOLE_ERROR));
    cut->Release();
}
