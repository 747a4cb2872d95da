// ctest-labels: thread
// Shader resources over a kit-made data root: compiled on first use with their option macros,
// taken from the compiled cache afterwards, recompiled when their source or an include changed.
#include "core/filesystem/FileReader.h"
#include "renderer/NorvexRenderer.h"
#include "renderer/ShaderManager.h"
#include "renderer/PixelShaderObject.h"
#include "renderer/VertexShaderObject.h"
#include "renderer/resources/ResourceShader.h"
#include "support/ConsoleCapture.h"
#include "support/RenderDataHarness.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>

namespace
{
const char* const kZeros = "00000000000000000000000000000000";

class ResourceShaderTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        DataRoot data;
        ASSERT_TRUE(m_harness.WriteAndMount(data));
        ASSERT_TRUE(m_harness.Start());
        ASSERT_TRUE(gShaderManager.LoadDefinitions());
        // Font with OUTLINES: option 0, pixel shader only.
        m_pixelName = std::string("Font/1") + (kZeros + 1) + ".ps_3_0";
        m_vertexName = std::string("Font/") + kZeros + ".vs_3_0";
    }
    void TearDown() override
    {
        m_shaders.clear();
        m_harness.Stop();
    }

    ResourceShader* Load(const std::string& name, bool expectLoaded = true)
    {
        m_shaders.push_back(std::make_unique<ResourceShader>(name.c_str()));
        ResourceShader* shader = m_shaders.back().get();
        // Through the load path: a shader's objects are handed out only once its load completed.
        shader->Load(false);
        EXPECT_EQ(shader->IsLoaded(), expectLoaded) << name;
        return shader;
    }
    size_t Compiles(const std::string& fragment) const
    {
        size_t count = 0;
        for (const CapturedMessage& message : m_log.Messages())
            count += message.text.rfind("Compiling shader", 0) == 0 && message.text.find(fragment) != std::string::npos;
        return count;
    }
    std::string CachePath(const std::string& name) const { return m_harness.Path("common/Shaders/Compiled/" + name); }

    ConsoleCapture m_log;
    RenderDataHarness m_harness;
    std::vector<std::unique_ptr<ResourceShader>> m_shaders;
    std::string m_pixelName;
    std::string m_vertexName;
};
} // namespace

TEST_F(ResourceShaderTest, FirstUseCompilesWithItsOptionsAndTheSecondReadsTheCache)
{
    ResourceShader* first = Load(m_pixelName);
    EXPECT_EQ(first->GetKind(), uint32_t(ResourceShader::KIND_PIXEL));
    for (const auto& [name, kind] : {std::pair<const char*, uint32_t>{"Font/0.PS_3_0", ResourceShader::KIND_PIXEL},
                                     {"Font/0.Vs_3_0", ResourceShader::KIND_VERTEX},
                                     {"Font/0.gs_4_0", ResourceShader::KIND_UNKNOWN},
                                     {"Font/0.p", ResourceShader::KIND_UNKNOWN}, {"Font/0", ResourceShader::KIND_UNKNOWN}})
        EXPECT_EQ(ResourceShader(name).GetKind(), kind) << name;
    EXPECT_STREQ(ResourceShader(nullptr).GetDisplayName(), "") << "log lines print it";
    EXPECT_EQ(Compiles(m_pixelName), 1u);
    EXPECT_TRUE(m_log.Contains("Compiling shader Common/Shaders/Font.hlsl (pixel) with options 'OUTLINES' to file " +
                               m_pixelName));
    EXPECT_TRUE(m_log.Contains("Shader Common/Shaders/Font.hlsl (pixel) compiled successfully"));
    ASSERT_TRUE(std::filesystem::exists(CachePath(m_pixelName)));
    EXPECT_FALSE(m_log.Contains("Cannot write the compiled shader"));
    // The compiler opened the shared include; the list records it.
    EXPECT_EQ(first->GetIncludeList().GetText(), "|Common.hlsl");
    EXPECT_EQ(first->GetIncludeList().GetCount(), 1u);
    // The OUTLINES path reads the outline's colour, at the register the font drawing sets.
    PixelShaderObject* object = first->GetPixelShader();
    ASSERT_NE(object, nullptr);
    ASSERT_TRUE(RenderDataHarness::WaitUntil([&] {
        m_harness.GetRenderer().SubmitCommands(true);
        return object->GetDeviceShader() != nullptr;
    }));
    bool outline = false;
    for (const gpu::ShaderConstant& constant : object->GetDeviceShader()->Code().constants)
        outline |= constant.name == "EffectColor" && constant.registerIndex == 200;
    EXPECT_TRUE(outline);

    ResourceShader* second = Load(m_pixelName);
    EXPECT_EQ(Compiles(m_pixelName), 1u) << "taken from the compiled file";
    EXPECT_EQ(second->GetIncludeList().GetText(), "|Common.hlsl");
}

TEST_F(ResourceShaderTest, VertexShadersKnowTheirConstantRegisters)
{
    ResourceShader* shader = Load(m_vertexName);
    VertexShaderObject* vertex = shader->GetVertexShader();
    ASSERT_NE(vertex, nullptr);
    EXPECT_EQ(shader->GetPixelShader(), nullptr);
    EXPECT_GE(vertex->GetConstant(VertexShaderObject::MODEL_VIEW_PROJ_MATRIX).index, 0);
    EXPECT_EQ(vertex->GetConstant(VertexShaderObject::MODEL_VIEW_PROJ_MATRIX).count, 4u);
    // Glyph colours come with the vertices: the font reads no constant colour.
    EXPECT_EQ(vertex->GetConstant(VertexShaderObject::CONSTANT_COLOR).index, -1);
    EXPECT_EQ(vertex->GetConstant(VertexShaderObject::MODEL_MATRIX).index, -1);
    EXPECT_EQ(vertex->GetConstant(VertexShaderObject::LIGHT_PROBE).index, -1);
    // MeshShadowMap's options sort ALPHA_TEST, DISTORTION, INSTANCING, SKINNING: bit 3 skins.
    ResourceShader* skinned = Load(std::string("MeshShadowMap/") + "8" + (kZeros + 1) + ".vs_3_0");
    ASSERT_TRUE(RenderDataHarness::WaitUntil([&] {
        m_harness.GetRenderer().SubmitCommands(true);
        return skinned->GetVertexShader()->GetDeviceShader() != nullptr;
    }));
    bool bones = false;
    for (const gpu::ShaderConstant& constant : skinned->GetVertexShader()->GetDeviceShader()->Code().constants)
        bones |= constant.name == "BoneMatrices" && constant.registerIndex == 0 && constant.registerCount == 192;
    EXPECT_TRUE(bones);
}

TEST_F(ResourceShaderTest, ChangedSourceOrIncludeRecompilesAndUntouchedDoesNot)
{
    ResourceShader* shader = Load(m_pixelName);
    ASSERT_EQ(Compiles(m_pixelName), 1u);
    const auto cachedBytes = std::filesystem::file_size(CachePath(m_pixelName));
    shader->Reload();
    EXPECT_EQ(Compiles(m_pixelName), 1u) << "nothing changed";
    EXPECT_EQ(std::filesystem::file_size(CachePath(m_pixelName)), cachedBytes) << "and the compiled file stays";

    m_harness.Touch("common/Shaders/Common.hlsl");
    shader->Reload();
    EXPECT_EQ(Compiles(m_pixelName), 2u) << "the include changed";
    shader->Reload();
    EXPECT_EQ(Compiles(m_pixelName), 2u);

    m_harness.Touch("common/Shaders/Font.hlsl");
    shader->Reload();
    EXPECT_EQ(Compiles(m_pixelName), 3u) << "the source changed";

    // A later first use finds the cache up to date, until the include changes again.
    Load(m_pixelName);
    EXPECT_EQ(Compiles(m_pixelName), 3u);
    m_harness.Touch("common/Shaders/Common.hlsl");
    Load(m_pixelName);
    EXPECT_EQ(Compiles(m_pixelName), 4u) << "a stale compiled file is not used";
    m_harness.Touch("common/Shaders/Font.hlsl");
    Load(m_pixelName);
    EXPECT_EQ(Compiles(m_pixelName), 5u);
}

TEST_F(ResourceShaderTest, CompiledFilesAreCheckedAgainstTheDefinitionsAndTheirOwnHeader)
{
    Load(m_pixelName);
    const std::string path = CachePath(m_pixelName);
    std::string bytes;
    {
        std::ifstream in(path, std::ios::binary);
        bytes.assign(std::istreambuf_iterator<char>(in), {});
    }
    ASSERT_GT(bytes.size(), 24u);
    EXPECT_EQ(bytes.substr(0, 8), std::string("\xD6\x1B\x98\xF3\x04\0\0\0", 8)) << "magic and format version";
    auto write = [&](const std::string& content) {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(content.data(), std::streamsize(content.size()));
    };

    // Another stamp: ignored, compiled again and rewritten with the current stamp.
    std::string otherStamp = bytes;
    otherStamp[8] ^= 0x5A;
    write(otherStamp);
    Load(m_pixelName);
    EXPECT_EQ(Compiles(m_pixelName), 2u);

    // With no definitions loaded any stamp goes, but not a file of another kind or a cut one.
    gShaderManager.ClearDefinitions();
    write(otherStamp);
    Load(m_pixelName);
    std::string wrongMagic = bytes;
    wrongMagic[0] ^= 1;
    write(wrongMagic);
    Load(m_pixelName, false);
    std::string wrongVersion = bytes;
    wrongVersion[4] = 3;
    write(wrongVersion);
    Load(m_pixelName, false);
    write(bytes.substr(0, bytes.size() - 3));
    Load(m_pixelName, false);
    std::ofstream(CachePath(m_vertexName), std::ios::binary) << bytes; // pixel code under a vertex name
    Load(m_vertexName, false);
    // Without definitions nothing compiles either.
    EXPECT_EQ(Compiles(m_pixelName), 2u);
}

TEST_F(ResourceShaderTest, MissingSourcesAndEntryPointsFailTheLoad)
{
    Load(std::string("NoFamily/") + kZeros + ".ps_3_0", false);
    Load(std::string("Font/") + kZeros, false); // no stage, so no source path or profile
    EXPECT_FALSE(m_log.Contains("Cannot load shader source")) << "both refused before any source is looked for";
    std::filesystem::remove(m_harness.Path("common/Shaders/Upscale.hlsl"));
    Load(std::string("Upscale/") + kZeros + ".ps_3_0", false);
    EXPECT_TRUE(m_log.Contains("Cannot load shader source Common/Shaders/Upscale.hlsl", CONSOLE_ERROR));
    std::filesystem::remove(m_harness.Path("common/Shaders/Font.hlsl"));
    Load(m_pixelName, false);
    EXPECT_TRUE(m_log.Contains("Option 00: OUTLINES", CONSOLE_ERROR)) << "the variant that could not be built";
    std::ofstream(m_harness.Path("common/Shaders/iPhoneUI.hlsl")) << "float4 vertex() : POSITION { return 0; }\n";
    Load(std::string("iPhoneUI/") + kZeros + ".ps_3_0", false);
    EXPECT_FALSE(m_log.Contains("HLSL error"));
    std::ofstream(m_harness.Path("common/Shaders/iPhoneUI.hlsl")) << "#error broken\nfloat4 pixel() : COLOR0 { return 0; }\n";
    Load(std::string("iPhoneUI/") + kZeros + ".ps_3_0", false);
    EXPECT_TRUE(m_log.Contains("HLSL error while compiling pixel shader Common/Shaders/iPhoneUI.hlsl", CONSOLE_ERROR));
    // A message cut at the compiler's line length ends without a newline: still logged, and the end.
    const std::string longName(180, 'n');
    std::ofstream(m_harness.Path("common/Shaders/" + longName + ".h")) << "#error " << std::string(600, 'e') << "\n";
    std::ofstream(m_harness.Path("common/Shaders/iPhoneUI.hlsl")) << "#include \"" << longName << ".h\"\npixel(\n";
    Load(std::string("iPhoneUI/") + kZeros + ".ps_3_0", false);
    EXPECT_TRUE(m_log.Contains(std::string(400, 'e'), CONSOLE_ERROR));
    m_log.Clear();
    Load(std::string("iPhoneUI/") + kZeros + ".gs_4_0", false);
    EXPECT_FALSE(m_log.Contains("HLSL error")) << "neither vertex nor pixel: refused before compiling";
    // The source's last byte counts too.
    std::ofstream(m_harness.Path("common/Shaders/iPhoneUI.hlsl")) << "float4 pixel() : COLOR0 { return 0; }";
    Load(std::string("iPhoneUI/") + kZeros + ".ps_3_0");
    // Code that no renderer takes makes no loaded shader.
    NorvexRenderer* const renderer = gRenderer;
    gRenderer = nullptr;
    Load(std::string("iPhoneUI/") + kZeros + ".ps_3_0", false);
    gRenderer = renderer;
    EXPECT_TRUE(m_log.Contains("could not be handed to the renderer", CONSOLE_ERROR));
}
