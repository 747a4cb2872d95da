// ctest-labels: thread
// The shader manager over a kit-made data root: its tables after Init, pairs by name and option
// words, a second Init and ReloadShaders keeping the manager usable, and depth option rewriting.
#include "engine/scripting/LuaWrapper.h"
#include "renderer/ShaderManager.h"
#include "renderer/PixelShaderObject.h"
#include "renderer/VertexShaderObject.h"
#include "core/reflection/ObjectRecord.h"
#include "renderer/resources/ResourceFont.h"
#include "renderer/resources/ResourceList.h"
#include "renderer/resources/ResourceManager.h"
#include "renderer/resources/ResourceShader.h"
#include "renderer/resources/ResourceTexture.h"
#include "support/ConsoleCapture.h"
#include "support/RenderDataHarness.h"
#include "support/RenderThreadCall.h"
#include "support/SystemTextures.h"
#include "tools/datakit/FontWriter.h"
#include "tools/datakit/TextureFileWriter.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>

namespace
{
const char* const kZeros = "00000000000000000000000000000000";

class ShaderManagerTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        DataRoot data;
        const std::string white = AddSystemTextures(data);
        ASSERT_FALSE(white.empty());
        SyntheticFontMetrics outlined;
        outlined.outlined = true;
        const std::vector<uint8_t> font = FontWriter::EncodeBinaryFont(FontWriter::MakeSyntheticFont(u"A", outlined));
        data.AddFile("common", "Fonts/edge~010.BinFont", std::string(font.begin(), font.end()));
        ASSERT_TRUE(m_harness.WriteAndMount(data));
        ASSERT_TRUE(m_harness.Start());
        m_hardwareDepth = m_harness.GetRenderer().HasDepthTextureSupport();
    }
    void TearDown() override { m_harness.Stop(); }

    // The option text as the manager keys it on this device.
    std::string DeviceOptions(const std::string& options) const
    {
        std::string text = options;
        if (m_hardwareDepth)
            text += " HARDWARE_DEPTH";
        if (m_harness.GetRendererConst().HasRawzDepthTextureSupport())
            text += " HARDWARE_DEPTH_RAWZ";
        return text;
    }

    ConsoleCapture m_log;
    RenderDataHarness m_harness;
    bool m_hardwareDepth = false;
};
} // namespace

TEST_F(ShaderManagerTest, InitFillsTheSystemLightAndShadowMapTables)
{
    ASSERT_TRUE(gShaderManager.Init(true));
    EXPECT_TRUE(m_log.Contains("ShaderManager::Init"));
    for (uint32_t slot = 0; slot < ShaderManager::kSystemShaderCount; ++slot)
        EXPECT_EQ(gShaderManager.GetSystemShader(slot).IsValid(), slot != 2) << slot;
    EXPECT_EQ(gShaderManager.GetSystemShader(2).m_vertexResource, nullptr);

    const uint32_t filled[ShaderManager::kLightRows][12] = {
        {0, 1, 8, 9}, {0, 1, 8, 9}, {0, 8}, {0, 1}, {0, 1, 2, 3, 6, 7, 8, 9, 10, 11, 14, 15}};
    const uint32_t counts[ShaderManager::kLightRows] = {4, 4, 2, 2, 12};
    for (uint32_t row = 0; row < ShaderManager::kLightRows; ++row)
        for (uint32_t mask = 0; mask < ShaderManager::kLightMasks; ++mask)
        {
            bool expected = false;
            for (uint32_t i = 0; i < counts[row]; ++i)
                expected |= filled[row][i] == mask;
            EXPECT_EQ(gShaderManager.GetLightShader(row, mask).IsValid(), expected) << row << " " << mask;
        }
    for (uint32_t mask = 0; mask < ShaderManager::kShadowMapMasks; ++mask)
        EXPECT_TRUE(gShaderManager.GetShadowMapShader(mask).IsValid()) << mask;
    // Slots 16 and 0 share their resources, each holding its own reference.
    EXPECT_EQ(gShaderManager.GetShadowMapShader(16).m_vertexResource, gShaderManager.GetShadowMapShader(0).m_vertexResource);
    // Sixteen slots per option text, and four texts differ only in the other stage's options.
    EXPECT_EQ(gShaderManager.GetShadowMapShader(0).m_pixelResource->GetReferenceCount(), 64);

    EXPECT_NE(gShaderManager.GetSystemTexture(0).texture, nullptr);
    EXPECT_NE(gShaderManager.GetSystemTexture(2).texture, nullptr);
    EXPECT_EQ(gShaderManager.GetSystemTexture(3).texture, nullptr) << "no such file in the root";
    for (uint32_t slot : {3u, 4u, 5u})
        EXPECT_NE(gShaderManager.GetSystemTexture(slot).resource, nullptr) << slot;

    // Every shader object got its device shader on the render thread.
    const ShaderPair& font = gShaderManager.GetSystemShader(16);
    EXPECT_TRUE(RenderDataHarness::WaitUntil([&] {
        m_harness.GetRenderer().SubmitCommands(true);
        return font.m_vertexObject->GetDeviceShader() != nullptr && font.m_pixelObject->GetDeviceShader() != nullptr;
    }));
    EXPECT_EQ(font.m_pixelObject->GetDeviceShader()->GetStage(), gpu::ShaderStage::Pixel);
    EXPECT_FALSE(m_log.Contains("HLSL error"));
    Resource* const held[] = {gShaderManager.GetShadowMapShader(0).m_pixelResource,
                              gShaderManager.GetLightShader(4, 15).m_pixelResource, font.m_vertexResource};
    gShaderManager.Close();
    for (Resource* resource : held)
        EXPECT_EQ(resource->GetReferenceCount(), 0) << resource->GetDisplayName() << ": the tables let go of every reference";
}

TEST_F(ShaderManagerTest, SecondInitKeepsTheWorkingManager)
{
    ASSERT_TRUE(gShaderManager.Init(true));
    const ShaderPair& font = gShaderManager.GetSystemShader(15);
    Resource* vertex = font.m_vertexResource;
    const int32_t references = vertex->GetReferenceCount();
    EXPECT_TRUE(gShaderManager.Init(true));
    EXPECT_TRUE(gShaderManager.IsInitialised());
    EXPECT_EQ(font.m_vertexResource, vertex);
    EXPECT_EQ(vertex->GetReferenceCount(), references) << "the tables take no second reference";
    EXPECT_TRUE(font.IsValid());
    ShaderPair oneStage[2] = {font, font};
    oneStage[0].m_vertexObject = oneStage[1].m_pixelObject = nullptr;
    EXPECT_FALSE(oneStage[0].IsValid() || oneStage[1].IsValid()) << "a pair draws only with both stages";
    EXPECT_GT(gShaderManager.GetFamilyCount(), 0);
    EXPECT_FALSE(m_log.Contains("ShaderManager closing..."));
}

TEST_F(ShaderManagerTest, GetShaderGivesTheVariantPairByNameAndOptionWords)
{
    ASSERT_TRUE(gShaderManager.Init(true));
    Resource* vertex = nullptr;
    Resource* pixel = nullptr;
    // Found without case; OUTLINES touches only the pixel shader; HARDWARE_DEPTH is no Font option.
    ASSERT_TRUE(gShaderManager.GetShader("font", "OUTLINES", &vertex, &pixel, 1, true, 0));
    EXPECT_EQ(std::string(vertex->GetName()), std::string("Font/") + kZeros + ".vs_3_0");
    EXPECT_EQ(std::string(pixel->GetName()), std::string("Font/1") + (kZeros + 1) + ".ps_3_0");
    EXPECT_TRUE(vertex->IsLoaded());
    EXPECT_TRUE(pixel->IsLoaded());
    EXPECT_NE(static_cast<ResourceShader*>(vertex)->GetVertexShader(), nullptr);
    EXPECT_EQ(static_cast<ResourceShader*>(vertex)->GetPixelShader(), nullptr);
    // The pair an outlined font draws with; a plain font's pixel shader has no outline.
    EXPECT_EQ(gShaderManager.GetSystemShader(ResourceFont::kOutlinedShaderSlot).m_pixelResource, pixel);
    EXPECT_NE(gShaderManager.GetSystemShader(ResourceFont::kPlainShaderSlot).m_pixelResource, pixel);
    // An outlined font draws with that pair.
    ResourceFont font("edge~010");
    ASSERT_TRUE(font.DoLoad());
    uint64_t drawnWith = 0;
    RunOnRenderThread(m_harness.GetRenderer(), [&](NorvexRenderer& renderer) {
        const Vector white(1.0f, 1.0f, 1.0f, 1.0f);
        renderer.GetDevice()->BeginScene();
        font.DrawText(u"A", Matrix::ONE, white, white, white, 0, 0, false, gpu::kCmpAlways, -1, 0.0f, 1.0f);
        renderer.GetDevice()->EndScene();
        if (!renderer.GetDevice()->GetDrawLog().empty())
            drawnWith = renderer.GetDevice()->GetDrawLog().back().pixelShaderId;
    });
    EXPECT_EQ(drawnWith, static_cast<ResourceShader*>(pixel)->GetPixelShader()->GetDeviceShader()->GetId());
    font.FreeData();
    vertex->Release();
    pixel->Release();

    // Unknown family: false, the outputs untouched.
    Resource* untouched = reinterpret_cast<Resource*>(uintptr_t(16));
    Resource* untouchedPixel = untouched;
    EXPECT_FALSE(gShaderManager.GetShader("NoSuchFamily", "A B", &untouched, &untouchedPixel, 1, false, 0));
    EXPECT_EQ(untouched, reinterpret_cast<Resource*>(uintptr_t(16)));
    EXPECT_TRUE(m_log.Contains("Cannot load shader NoSuchFamily with options " + DeviceOptions("A B"), CONSOLE_ERROR));

    // The option names of a resource name, per stage.
    Dynarray<ShaderOptionName> names;
    Resource* lightVertex = nullptr;
    Resource* lightPixel = nullptr;
    ASSERT_TRUE(gShaderManager.GetShader("Light", "SPOT MASK", &lightVertex, &lightPixel, 1, true, 0));
    ASSERT_TRUE(gShaderManager.GetVariantOptionNames(lightPixel->GetName(), names, true));
    ASSERT_EQ(names.Count(), 2);
    EXPECT_STREQ(names[0].text, "MASK");
    EXPECT_STREQ(names[1].text, "SPOT");
    ASSERT_TRUE(gShaderManager.GetVariantOptionNames(lightVertex->GetName(), names, false));
    EXPECT_EQ(names.Count(), 0);
    EXPECT_FALSE(gShaderManager.GetVariantOptionNames("Unknown/00.ps_3_0", names, false));
    lightVertex->Release();
    lightPixel->Release();
}

TEST_F(ShaderManagerTest, GetShaderFailsWhenTheResourcesCannotBeHad)
{
    ASSERT_TRUE(gShaderManager.Init(true));
    // The plain iPhoneUI variant is not loaded yet; its source now lacks the pixel entry point.
    std::ofstream(m_harness.Path("common/Shaders/iPhoneUI.hlsl"))
        << "float4 vertex(float4 p : POSITION) : POSITION { return p; }\n";
    Resource* vertex = nullptr;
    Resource* pixel = nullptr;
    EXPECT_FALSE(gShaderManager.GetShader("iPhoneUI", nullptr, &vertex, &pixel, 1, true, 0));
    EXPECT_EQ(vertex, nullptr);
    EXPECT_EQ(pixel, nullptr);
    EXPECT_TRUE(m_log.Contains("Resource loading failed (iPhoneUI/", CONSOLE_ERROR));

    // Without a resource manager there are no resources to hand out.
    gShaderManager.Close();
    m_harness.GetManager().Close();
    ASSERT_TRUE(gShaderManager.LoadDefinitions());
    EXPECT_FALSE(gShaderManager.GetShader("Font", nullptr, &vertex, &pixel, 1, false, 0));
    EXPECT_EQ(vertex, nullptr);
    EXPECT_EQ(pixel, nullptr);
}

TEST_F(ShaderManagerTest, ReloadShadersKeepsTheFamiliesAndRecompilesWhatChanged)
{
    ASSERT_TRUE(gShaderManager.Init(true));
    const uint64_t stamp = gShaderManager.GetDefinitionStamp();
    const int32_t families = gShaderManager.GetFamilyCount();
    m_harness.Touch("common/Shaders/Font.hlsl");
    m_log.Clear();
    gShaderManager.ReloadShaders();
    EXPECT_TRUE(m_log.Contains("Reloading shaders - begin"));
    EXPECT_TRUE(m_log.Contains("Reloading shaders - end"));
    EXPECT_EQ(gShaderManager.GetFamilyCount(), families);
    EXPECT_EQ(gShaderManager.GetDefinitionStamp(), stamp);
    EXPECT_TRUE(m_log.Contains("Compiling shader Common/Shaders/Font.hlsl"));
    EXPECT_FALSE(m_log.Contains("Compiling shader Common/Shaders/Upscale.hlsl"));
    EXPECT_FALSE(m_log.Contains("definition file has changed"));

    Resource* vertex = nullptr;
    Resource* pixel = nullptr;
    ASSERT_TRUE(gShaderManager.GetShader("Upscale", nullptr, &vertex, &pixel, 1, true, 0));
    EXPECT_TRUE(pixel->IsLoaded());
    vertex->Release();
    pixel->Release();
    EXPECT_TRUE(gShaderManager.GetSystemShader(15).IsValid());
}

TEST_F(ShaderManagerTest, ScriptsReloadThroughTheGlobal)
{
    ASSERT_TRUE(gShaderManager.Init(true));
    ASSERT_TRUE(gLua.Init());
    EXPECT_TRUE(gLua.LoadAndCall("gShaderManager:ReloadShaders()", 0));
    gLua.Close();
    EXPECT_TRUE(m_log.Contains("Reloading shaders - end"));
    Resource* vertex = nullptr;
    Resource* pixel = nullptr;
    ASSERT_TRUE(gShaderManager.GetShader("Font", nullptr, &vertex, &pixel, 1, false, 0));
    vertex->Release();
    pixel->Release();
}

TEST_F(ShaderManagerTest, ReloadReadsEditedTextDefinitionsOrKeepsTheLoadedOnes)
{
    ASSERT_TRUE(gShaderManager.Init(true));
    const uint64_t stamp = gShaderManager.GetDefinitionStamp();
    // Binary data only: the binary form is read again, with the same stamp.
    std::filesystem::rename(m_harness.Path("common/Shaders/Shaders.Def"), m_harness.Path("common/Shaders/Saved.Def"));
    gShaderManager.ReloadShaders();
    EXPECT_EQ(gShaderManager.GetDefinitionStamp(), stamp);
    // Neither form reads: the loaded families stay.
    std::filesystem::rename(m_harness.Path("common/Shaders/Shaders.DefBin"), m_harness.Path("common/Shaders/Saved.DefBin"));
    gShaderManager.ReloadShaders();
    EXPECT_TRUE(m_log.Contains("could not be read again; keeping the loaded ones", CONSOLE_WARNING));
    EXPECT_EQ(gShaderManager.GetDefinitionStamp(), stamp);
    Resource* vertex = nullptr;
    Resource* pixel = nullptr;
    ASSERT_TRUE(gShaderManager.GetShader("Font", "OUTLINES", &vertex, &pixel, 1, false, 0));
    vertex->Release();
    pixel->Release();
    // An edited text adds its family; the loaded shaders were built against the old definitions.
    std::filesystem::rename(m_harness.Path("common/Shaders/Saved.Def"), m_harness.Path("common/Shaders/Shaders.Def"));
    std::ofstream(m_harness.Path("common/Shaders/Shaders.Def"), std::ios::app) << "Family Extra\nEnd\n";
    gShaderManager.ReloadShaders();
    EXPECT_NE(gShaderManager.GetDefinitionStamp(), stamp);
    EXPECT_TRUE(m_log.Contains("because definition file has changed. Please restart the application.", CONSOLE_ERROR));
    ASSERT_TRUE(gShaderManager.GetShader("Extra", nullptr, &vertex, &pixel, 1, false, 0));
    vertex->Release();
    pixel->Release();
}

TEST_F(ShaderManagerTest, TextDefinitionsInitAndReloadAlike)
{
    ASSERT_TRUE(gShaderManager.Init(false));
    const uint64_t stamp = gShaderManager.GetDefinitionStamp();
    gShaderManager.ReloadShaders();
    EXPECT_EQ(gShaderManager.GetDefinitionStamp(), stamp);
    // Without its file the text form fails and leaves the manager closed.
    gShaderManager.Close();
    std::filesystem::remove(m_harness.Path("common/Shaders/Shaders.Def"));
    EXPECT_FALSE(gShaderManager.Init(false));
    EXPECT_TRUE(m_log.Contains("Unable to load shader definition file", CONSOLE_ERROR));
    EXPECT_FALSE(gShaderManager.IsInitialised());
    EXPECT_EQ(gShaderManager.GetFamilyCount(), 0);
    // Definitions loaded before do not outlive a failed read.
    ASSERT_TRUE(gShaderManager.LoadDefinitions());
    EXPECT_FALSE(gShaderManager.LoadSourceDefinitions());
    EXPECT_EQ(gShaderManager.GetFamilyCount(), 0);
}

TEST_F(ShaderManagerTest, OversizedDefinitionFileIsRefusedUnread)
{
    // A sparse 80 MB file: refused by its size before anything is allocated or read.
    std::filesystem::resize_file(m_harness.Path("common/Shaders/Shaders.Def"), 80u << 20);
    EXPECT_FALSE(gShaderManager.Init(false));
    EXPECT_TRUE(m_log.Contains("is too large", CONSOLE_ERROR));
    EXPECT_FALSE(gShaderManager.IsInitialised());
}

TEST_F(ShaderManagerTest, DepthOptionBitsFollowTheDevice)
{
    ASSERT_TRUE(gShaderManager.Init(true));
    // Light's options sorted: HARDWARE_DEPTH is 0, HARDWARE_DEPTH_RAWZ 1, both pixel only.
    char pixel[128];
    std::snprintf(pixel, sizeof(pixel), "Light/%s.ps_3_0", kZeros);
    gShaderManager.AdjustDepthOptionBits(pixel);
    const bool rawz = m_harness.GetRendererConst().HasRawzDepthTextureSupport();
    const char expected = char('0' + (m_hardwareDepth ? 1 : 0) + (rawz ? 2 : 0));
    EXPECT_EQ(pixel[6], expected);
    char vertex[128];
    std::snprintf(vertex, sizeof(vertex), "Light/F%s.vs_3_0", kZeros + 1);
    gShaderManager.AdjustDepthOptionBits(vertex);
    EXPECT_EQ(vertex[6], 'F') << "not vertex options";
    char unknown[] = "Nothing/FFFFFFFF000000000000000000000000.ps_3_0";
    gShaderManager.AdjustDepthOptionBits(unknown);
    EXPECT_STREQ(unknown, "Nothing/FFFFFFFF000000000000000000000000.ps_3_0");
    char noSlash[] = "Light.ps_3_0";
    gShaderManager.AdjustDepthOptionBits(noSlash);
    EXPECT_STREQ(noSlash, "Light.ps_3_0");
}

TEST_F(ShaderManagerTest, PreloadedShaderNamesTakeThisDevicesDepthVariant)
{
    ASSERT_TRUE(gShaderManager.Init(true));
    ResourceList list;
    ResourceEntry entry;
    entry.m_name = (std::string("Light/") + kZeros + ".ps_3_0").c_str();
    list.m_shaders.Add(entry);
    Dynarray<uint8_t> record;
    ASSERT_TRUE(BuildObjectRecord(list, 0, record));
    std::filesystem::create_directories(m_harness.Path("scenes"));
    std::ofstream(m_harness.Path("scenes/level.ResList"), std::ios::binary)
        .write(reinterpret_cast<const char*>(record.Data()), std::streamsize(record.Count()));

    m_harness.GetManager().PostPreloadResourceList("level", "ResList", "scenes");
    m_harness.GetManager().Flush();
    const bool rawz = m_harness.GetRendererConst().HasRawzDepthTextureSupport();
    std::string adjusted = std::string("Light/") + kZeros + ".ps_3_0";
    ASSERT_TRUE(m_hardwareDepth) << "the stand-in device offers INTZ depth textures";
    adjusted[6] = char('0' + (m_hardwareDepth ? 1 : 0) + (rawz ? 2 : 0));
    EXPECT_TRUE(m_log.Contains(("Loading shader resource: " + adjusted).c_str()));
    gShaderManager.Close();
}
