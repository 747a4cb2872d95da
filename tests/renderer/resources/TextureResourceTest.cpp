// ctest-labels: thread
// Texture resources from a kit-made data root, loaded on the resource thread into device textures
// of the graphics stand-in, with patch overlays and cube maps; damaged files fail cleanly.
#include "platform/gpu/GpuEnvironment.h"
#include "platform/gpu/GpuTexture.h"
#include "renderer/jobs/TextureHolder.h"
#include "renderer/resources/ResourceTexture.h"
#include "renderer/resources/TextureFile.h"
#include "support/ConsoleCapture.h"
#include "support/RenderDataHarness.h"
#include "support/RenderThreadCall.h"
#include "tools/datakit/TextureFileWriter.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>

namespace
{
uint32_t Pattern(uint32_t face, uint32_t level, uint32_t x, uint32_t y)
{
    return 0xFF000000u | (face * 40 + 10) << 16 | (level * 50 + 20) << 8 | (x * 16 + y);
}

std::string Texture(uint32_t width, uint32_t height, bool cube, uint32_t levels, uint32_t format = 21)
{
    TextureFileSpec spec;
    spec.width = width;
    spec.height = height;
    spec.cube = cube;
    spec.levels = levels;
    spec.format = format;
    spec.texel = Pattern;
    std::string bytes;
    EXPECT_TRUE(BuildTextureFile(spec, bytes));
    return bytes;
}

class TextureResourceTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        DataRoot data;
        data.AddFile("textures", "ui/plain.texture", Texture(4, 2, false, 3));
        data.AddFile("textures", "sky/box.texture", Texture(4, 4, true, 2));
        data.AddFile("textures", "ui/patched.texture", Texture(2, 2, false, 1));
        // Overwrites texel (1, 0) of the only level and runs past the image's end.
        std::string overwrite = "\x01\x02\x03\x04";
        std::string beyond(20, '\x77');
        data.AddFile("textures", "ui/patched.tga.07.patch",
                     BuildTexturePatch({{TextureFileHeader::kSize + 4, overwrite}, {2, beyond}, {0, "\x55"}}));
        // A zero-length run (as patches past 64 KB need) does not end the patch; a skip past the
        // image's end does.
        data.AddFile("textures", "ui/patched.tga.09.patch",
                     BuildTexturePatch({{TextureFileHeader::kSize + 4, ""}, {0, overwrite}, {9, "\x66"}}));
        // Halves the header's height, which no longer matches the level table.
        data.AddFile("textures", "ui/patched.tga.10.patch", BuildTexturePatch({{4, "\x01"}}));
        // Taller than wide and odd: the edges halve rounding down, and the width stays 1.
        data.AddFile("scenes", "lightmaps/lm.texture", Texture(3, 6, false, 3));
        data.AddFile("textures", "noext", Texture(1, 1, false, 1));
        data.AddFile("textures", "ui/alpha.texture", Texture(4, 2, false, 1, 28));
        data.AddFile("textures", "ui/grey.texture", Texture(4, 2, false, 1, 50));
        ASSERT_TRUE(m_harness.WriteAndMount(data));
        ASSERT_TRUE(m_harness.Start());
    }
    void TearDown() override { m_harness.Stop(); }

    // Loads on the resource thread and waits.
    ResourceTexture* Load(const char* name, uint32_t flags = 0)
    {
        Resource* resource = m_harness.GetManager().GetResource(RESOURCE_TYPE_TEXTURE, name, 0, true, flags);
        EXPECT_NE(resource, nullptr);
        resource->Load(true);
        m_loaded.push_back(resource);
        return static_cast<ResourceTexture*>(resource);
    }
    void WriteTexture(const std::string& relative, const std::string& bytes)
    {
        const std::filesystem::path path = m_harness.Path("textures/" + relative);
        std::filesystem::create_directories(path.parent_path());
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), std::streamsize(bytes.size()));
    }
    static gpu::GpuBaseTexture* DeviceTexture(const ResourceTexture* texture)
    {
        return texture->GetTextureHolder() != nullptr ? texture->GetTextureHolder()->GetTexture() : nullptr;
    }
    // Reads a texel once the render thread is idle.
    uint32_t Texel(gpu::GpuBaseTexture* texture, bool cube, uint32_t face, uint32_t level, uint32_t x, uint32_t y)
    {
        m_harness.GetRenderer().SubmitCommands(true);
        gpu::GpuSurface* surface = nullptr;
        const gpu::Result got = cube ? static_cast<gpu::GpuCubeTexture*>(texture)->GetCubeMapSurface(face, level, &surface)
                                     : static_cast<gpu::GpuTexture*>(texture)->GetSurfaceLevel(level, &surface);
        if (got != gpu::kOk)
            return 0;
        const uint32_t texel = surface->ReadPixelArgb(x, y);
        surface->Release();
        return texel;
    }
    void ReleaseAll()
    {
        for (Resource* resource : m_loaded)
            resource->Release();
        m_loaded.clear();
    }

    ConsoleCapture m_log;
    RenderDataHarness m_harness;
    std::vector<Resource*> m_loaded;
};
} // namespace

TEST_F(TextureResourceTest, EveryLevelReadsBackFromTheDevice)
{
    ResourceTexture* texture = Load("ui/plain.tga");
    ASSERT_TRUE(texture->IsLoaded());
    gpu::GpuBaseTexture* device = DeviceTexture(texture);
    ASSERT_NE(device, nullptr);
    EXPECT_EQ(device->GetLevelCount(), 3u);
    EXPECT_EQ(texture->GetSize(), TextureFileHeader::kSize + (8 + 2 + 1) * 4);
    EXPECT_EQ(Texel(device, false, 0, 0, 3, 1), Pattern(0, 0, 3, 1));
    EXPECT_EQ(Texel(device, false, 0, 1, 1, 0), Pattern(0, 1, 1, 0));
    EXPECT_EQ(Texel(device, false, 0, 2, 0, 0), Pattern(0, 2, 0, 0));
    EXPECT_TRUE(m_log.Contains("Texture size: 4x2, skipped mipmaps: 0 out of 3 (res mode: 4), Format:21"));
    // One-byte texels: A8 keeps the alpha, L8 the red channel as its grey.
    EXPECT_EQ(Texel(DeviceTexture(Load("ui/alpha.tga")), false, 0, 0, 3, 1), 0xFF000000u);
    EXPECT_EQ(Texel(DeviceTexture(Load("ui/grey.tga")), false, 0, 0, 3, 1), 0xFF0A0A0Au);
    ReleaseAll();
}

TEST_F(TextureResourceTest, CubeMapFacesAndLevelsLandInTheirPlaces)
{
    ResourceTexture* texture = Load("sky/box.dds");
    ASSERT_TRUE(texture->IsLoaded());
    gpu::GpuBaseTexture* device = DeviceTexture(texture);
    ASSERT_NE(device, nullptr);
    for (uint32_t face = 0; face < 6; ++face)
    {
        EXPECT_EQ(Texel(device, true, face, 0, 3, 2), Pattern(face, 0, 3, 2)) << face;
        EXPECT_EQ(Texel(device, true, face, 1, 1, 1), Pattern(face, 1, 1, 1)) << face;
    }
    // The cube's width stands for its height.
    EXPECT_TRUE(m_log.Contains("Texture size: 4x4, skipped mipmaps: 0 out of 2"));
    ReleaseAll();
}

TEST_F(TextureResourceTest, PatchOverlaysTheImageAndStopsAtItsEnd)
{
    ResourceTexture* texture = Load("ui/patched.tga|07.patch");
    ASSERT_TRUE(texture->IsLoaded());
    gpu::GpuBaseTexture* device = DeviceTexture(texture);
    ASSERT_NE(device, nullptr);
    EXPECT_EQ(Texel(device, false, 0, 0, 0, 0), Pattern(0, 0, 0, 0));
    EXPECT_EQ(Texel(device, false, 0, 0, 1, 0), 0x04030201u);
    EXPECT_EQ(Texel(device, false, 0, 0, 1, 1), 0x77777777u);
    ResourceTexture* runs = Load("ui/patched.tga|09.patch");
    ASSERT_TRUE(runs->IsLoaded());
    EXPECT_EQ(Texel(DeviceTexture(runs), false, 0, 0, 1, 0), 0x04030201u);
    EXPECT_EQ(Texel(DeviceTexture(runs), false, 0, 0, 1, 1), Pattern(0, 0, 1, 1));
    // A name whose patch file is missing loads the plain texture.
    ResourceTexture* unpatched = Load("ui/patched.tga|08.patch");
    ASSERT_TRUE(unpatched->IsLoaded());
    EXPECT_EQ(Texel(DeviceTexture(unpatched), false, 0, 0, 1, 0), Pattern(0, 0, 1, 0));
    EXPECT_FALSE(Load("ui/patched.tga|10.patch")->IsLoaded()) << "the patched header is checked again";
    EXPECT_FALSE(m_log.Contains("Renderer job not run")) << "and its job ends at once";
    ReleaseAll();
}

TEST_F(TextureResourceTest, SceneTexturesComeFromScenesAndNamesWithoutDotKeepNoExtension)
{
    EXPECT_TRUE(Load("lightmaps/lm.png", RESOURCE_FLAG_SCENE_TEXTURE)->IsLoaded());
    EXPECT_FALSE(Load("lightmaps/lm.jpg")->IsLoaded());
    EXPECT_TRUE(m_log.Contains("Unable to open texture file lightmaps/lm.texture", CONSOLE_ERROR));
    EXPECT_TRUE(Load("noext")->IsLoaded());
    ReleaseAll();
}

TEST_F(TextureResourceTest, RefreshRefillsTheSameHolderAndUnloadEmptiesIt)
{
    ResourceTexture* texture = Load("ui/plain.tga");
    ASSERT_TRUE(texture->IsLoaded());
    TextureHolder* holder = texture->GetTextureHolder();
    ASSERT_TRUE(Load("sky/box.tga")->IsLoaded());
    const uint32_t live = m_harness.GetRenderer().GetDevice()->GetLiveResourceCount();
    std::string changed = Texture(4, 2, false, 3);
    changed[changed.size() - 4] = '\x33'; // texel (3, 1): the largest level comes last
    WriteTexture("ui/plain.texture", changed);
    m_harness.GetManager().PostRefreshResources(RESOURCE_POOL_TEXTURES);
    EXPECT_EQ(m_harness.GetRenderer().GetDevice()->GetLiveResourceCount(), live) << "a refill replaces, cubes too";
    EXPECT_EQ(texture->GetTextureHolder(), holder);
    ASSERT_NE(holder->GetTexture(), nullptr);
    EXPECT_EQ(Texel(holder->GetTexture(), false, 0, 0, 3, 1), (Pattern(0, 0, 3, 1) & ~0xFFu) | 0x33u);
    texture->UnloadData();
    EXPECT_TRUE(RenderDataHarness::WaitUntil([&] {
        m_harness.GetRenderer().SubmitCommands(true);
        return holder->GetTexture() == nullptr;
    }));
    m_harness.GetRenderer().SubmitCommands(true);
    EXPECT_FALSE(m_log.Contains("Renderer job not run", CONSOLE_ERROR)) << "nobody waits for the unload";
    EXPECT_EQ(texture->GetTextureHolder(), holder);
    ReleaseAll();
}

TEST_F(TextureResourceTest, PoolPassesFirstFinishTheRenderWorkAlreadyGiven)
{
    // A pass may free data that render commands still in the stream read.
    ResourceManager& manager = m_harness.GetManager();
    const std::function<void()> passes[] = {[&] { manager.PostReloadResources(RESOURCE_POOL_SOUNDS, false); },
                                            [&] { manager.PostDumpResources(RESOURCE_POOL_SOUNDS, false); },
                                            [&] { manager.PostUnloadResourceData(RESOURCE_POOL_SOUNDS, false); },
                                            [&] { manager.PostRefreshResources(RESOURCE_POOL_SOUNDS); }};
    for (size_t i = 0; i < std::size(passes); ++i)
    {
        std::atomic<bool> ran{false};
        const std::function<void(NorvexRenderer&)> slow = [&](NorvexRenderer&) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            ran = true;
        };
        PostToRenderThread(m_harness.GetRenderer(), slow);
        passes[i]();
        EXPECT_TRUE(ran) << i;
        m_harness.GetRenderer().SubmitCommands(true);
        manager.Flush();
    }
}

TEST_F(TextureResourceTest, DamagedFilesFailWithTheirReason)
{
    const std::string good = Texture(4, 2, false, 3);
    // A header alone is no texture, without a message; a file cut inside its header says so.
    WriteTexture("bad/header.texture", good.substr(0, TextureFileHeader::kSize));
    EXPECT_FALSE(Load("bad/header.tga")->IsLoaded());
    EXPECT_FALSE(m_log.Contains("Texture bad/header.texture"));
    for (const size_t cut : {size_t(0), size_t(100)})
    {
        WriteTexture("bad/cut" + std::to_string(cut) + ".texture", good.substr(0, cut));
        EXPECT_FALSE(Load(("bad/cut" + std::to_string(cut) + ".tga").c_str())->IsLoaded());
        EXPECT_TRUE(m_log.Contains("Texture bad/cut" + std::to_string(cut) + ".texture: " + std::to_string(cut) +
                                       " bytes, shorter than its 144-byte header",
                                   CONSOLE_ERROR));
    }
    // Short or long by one byte.
    WriteTexture("bad/short.texture", good.substr(0, good.size() - 1));
    EXPECT_FALSE(Load("bad/short.tga")->IsLoaded());
    EXPECT_TRUE(m_log.Contains("Texture bad/short.texture: levels need 188 bytes but the file holds 187", CONSOLE_ERROR));
    WriteTexture("bad/long.texture", good + '\0');
    EXPECT_FALSE(Load("bad/long.tga")->IsLoaded());
    EXPECT_TRUE(m_log.Contains("levels need 188 bytes but the file holds 189", CONSOLE_ERROR));
    // A mip count the table cannot hold.
    std::string levels = good;
    levels[12] = 17;
    WriteTexture("bad/levels.texture", levels);
    EXPECT_FALSE(Load("bad/levels.tga")->IsLoaded());
    EXPECT_TRUE(m_log.Contains("bad/levels.texture: 17 mip levels", CONSOLE_ERROR));
    // A level whose size disagrees with its format.
    std::string size = good;
    size[16 + 4] = 3;
    WriteTexture("bad/size.texture", size);
    EXPECT_FALSE(Load("bad/size.tga")->IsLoaded());
    EXPECT_TRUE(m_log.Contains("bad/size.texture: level 0 is 1x1 with 3 bytes, expected 1x1 with 4", CONSOLE_ERROR));
    // An unknown pixel format.
    std::string format = good;
    format[8] = 99;
    WriteTexture("bad/format.texture", format);
    EXPECT_FALSE(Load("bad/format.tga")->IsLoaded());
    EXPECT_TRUE(m_log.Contains("unsupported pixel format 99", CONSOLE_ERROR));
    gpu::Faults().FailResourceCreation(1, gpu::ObjectKind::Texture);
    EXPECT_FALSE(Load("ui/plain.tga")->IsLoaded()) << "the device refused the texture";
    for (Resource* resource : m_loaded)
    {
        EXPECT_EQ(resource->GetSize(), 0u);
        EXPECT_EQ(static_cast<ResourceTexture*>(resource)->GetTextureHolder(), nullptr);
    }
    EXPECT_TRUE(m_log.Contains("Resource loading failed (bad/size.tga)", CONSOLE_ERROR));
    ReleaseAll();
}

TEST_F(TextureResourceTest, HandWrittenSmallestFileLoads)
{
    // 1x1 L8, one level of one byte: 145 bytes in all.
    std::string file(TextureFileHeader::kSize + 1, '\0');
    file[0] = 1;
    file[4] = 1;
    file[8] = 50;
    file[12] = 1;
    file[16] = 1;
    file[18] = 1;
    file[20] = 1;
    file[TextureFileHeader::kSize] = '\x80';
    WriteTexture("tiny.texture", file);
    ResourceTexture* texture = Load("tiny.bmp");
    ASSERT_TRUE(texture->IsLoaded());
    EXPECT_EQ(Texel(DeviceTexture(texture), false, 0, 0, 0, 0), 0xFF808080u);
    ReleaseAll();
}

TEST_F(TextureResourceTest, CompressedLevelsCountWholeBlocks)
{
    // DXT1 5x4: two blocks of 8 bytes across, one block row, so 16 bytes and not 10.
    std::string file(TextureFileHeader::kSize, '\0');
    file[0] = 5;
    file[4] = 4;
    file[8] = 'D';
    file[9] = 'X';
    file[10] = 'T';
    file[11] = '1';
    file[12] = 1;
    file[16] = 5;
    file[18] = 4;
    file[20] = 10;
    WriteTexture("dxt/short.texture", file + std::string(10, '\x11'));
    EXPECT_FALSE(Load("dxt/short.dds")->IsLoaded());
    EXPECT_TRUE(m_log.Contains("level 0 is 5x4 with 10 bytes, expected 5x4 with 16", CONSOLE_ERROR));
    file[20] = 16;
    WriteTexture("dxt/whole.texture", file + std::string(16, '\x11'));
    EXPECT_TRUE(Load("dxt/whole.dds")->IsLoaded());
    ReleaseAll();
}

TEST(TextureFileNamesTest, PathsAndPatchNames)
{
    char path[260];
    BuildTextureFilePath(path, sizeof(path), "ui/button.tga");
    EXPECT_STREQ(path, "ui/button.texture");
    BuildTextureFilePath(path, sizeof(path), "foo.v2.tga|07.patch");
    EXPECT_STREQ(path, "foo.v2.texture") << "the extension after the last dot is replaced";
    BuildTextureFilePath(path, 6, "plain"); // an exact fit
    EXPECT_STREQ(path, "plain");
    const std::string longest(251, 'a'); // its texture path fills a whole path
    BuildTextureFilePath(path, sizeof(path), (longest + ".tga").c_str());
    EXPECT_EQ(path, longest + ".texture");
    EXPECT_TRUE(BuildTexturePatchPath(path, sizeof(path), "foo.tga|07.patch"));
    EXPECT_STREQ(path, "foo.tga.07.patch");
    EXPECT_FALSE(BuildTexturePatchPath(path, sizeof(path), "foo.tga|7.patch"));
    EXPECT_FALSE(BuildTexturePatchPath(path, sizeof(path), "foo.tga|07.patchy"));
    EXPECT_FALSE(BuildTexturePatchPath(path, sizeof(path), "foo.tga"));
    EXPECT_STREQ(path, "");
}

TEST(TextureFileHeaderTest, TheLevelTableKeepsItsLastEntry)
{
    TextureFileHeader header;
    header.levels[TextureFileHeader::kMaxLevels - 1] = {1, 300, 8};
    header.flags = 5;
    uint8_t bytes[TextureFileHeader::kSize] = {};
    header.Write(bytes);
    TextureFileHeader back;
    ASSERT_TRUE(TextureFileHeader::Parse(bytes, sizeof(bytes), &back));
    EXPECT_EQ(back.levels[TextureFileHeader::kMaxLevels - 1].faceBytes, 8u);
    EXPECT_EQ(back.levels[TextureFileHeader::kMaxLevels - 1].height, 300u) << "both bytes of a 16-bit edge";
    EXPECT_EQ(back.flags, 5u);
}
