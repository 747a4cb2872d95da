#include "platform/gpu/ShaderProgram.h"

#include "support/ShaderSourceFolder.h"

#include <gtest/gtest.h>

using namespace gpu;

namespace
{
ShaderCode Read(const std::vector<uint8_t>& bytes)
{
    ShaderCode code;
    EXPECT_TRUE(ReadShaderCode(bytes.data(), bytes.size(), &code));
    return code;
}

// Which words each stage of a family records, from the option macros the engine passes.
TEST(ShaderProgramTest, ActiveProgramLinesGiveTheWordsInSourceOrder)
{
    struct Case
    {
        const char* file;
        std::vector<std::string> defines;
        const char* words;
    };
    const Case cases[] = {
        {"FixedPipelineReplacement.hlsl", {}, "VertexColor"},
        {"FixedPipelineReplacement.hlsl", {"TEXTURE", "FADE"}, "VertexColor Texture Fade"},
        {"FixedPipelineReplacement.hlsl", {"ALPHA_ONLY_TEXTURE"}, "VertexColor"}, // only inside TEXTURE
        {"FixedPipelineReplacement.hlsl", {"TEXTURE", "ALPHA_ONLY_TEXTURE"}, "VertexColor Texture AlphaTexture"},
        {"Font.hlsl", {"OUTLINES"}, "Font Outlines"},
        {"iPhoneUI.hlsl", {"NO_TEXTURE"}, "UI NoTexture"},
        {"Upscale.hlsl", {}, "Copy"},
        {"Light.hlsl", {"SPOT", "MASK"}, "LightVolume Spot Mask"},
        {"LightFinalComponents.hlsl", {"SHADOWMAP", "SHADOWMAP_FILTERING"}, "LightFullScreen Shadow Filtered"},
        {"MeshDeferred.hlsl", {"DIFFUSE_TEXTURE"}, "DeferredMesh"}, // the texture only composes
        {"MeshDeferred.hlsl", {"DEFERRED", "DIFFUSE_TEXTURE"}, "DeferredMesh Compose Texture"},
    };
    for (const Case& c : cases)
    {
        const std::string source = ShaderFolderIncludes::ReadShaderSource(c.file);
        for (const char* profile : {"vs_3_0", "ps_3_0"})
        {
            const ShaderCode code = Read(CompileShaderText(source, profile[0] == 'v' ? "vertex" : "pixel", profile,
                                                           c.defines));
            EXPECT_EQ(code.program, c.words) << c.file << " " << profile;
        }
    }
}

TEST(ShaderProgramTest, ProgramsNeedTheirNameTheirSwitchesAndTheirConstants)
{
    struct Case
    {
        const char* source;
        const char* why; // empty when both programs are made
    };
    const char* const body = "float4x4 ModelViewProjMatrix;\nsampler2D UITexture : register(s0);\n"
                             "float4 vertex(float4 p : POSITION) : POSITION { return mul(p, ModelViewProjMatrix); }\n"
                             "float4 pixel(float2 uv : TEXCOORD0) : COLOR0 { return tex2D(UITexture, uv); }\n";
    const Case cases[] = {
        {"#pragma program UI\n", ""},
        {"", "the source names no program"},
        {"#pragma program Shiny\n", "no program Shiny"},
        {"#pragma program UI Sparkle\n", "program UI has no switch Sparkle"},
        {"#pragma program Font\n", "program Font reads FontPage, which the shader does not use"},
    };
    for (const Case& c : cases)
    {
        const std::string source = std::string(c.source) + body;
        std::string vertexWhy, pixelWhy;
        const auto vertex = MakeVertexProgram(Read(CompileShaderText(source, "vertex", "vs_3_0")), &vertexWhy);
        const auto pixel = MakePixelProgram(Read(CompileShaderText(source, "pixel", "ps_3_0")), &pixelWhy);
        EXPECT_EQ(pixel == nullptr, *c.why != 0) << c.source;
        EXPECT_EQ(pixelWhy, c.why) << c.source;
        if (std::string(c.source).find("Font") == std::string::npos)
        {
            EXPECT_EQ(vertex == nullptr, *c.why != 0) << c.source;
            EXPECT_EQ(vertexWhy, c.why) << c.source;
        }
    }
    // A float of the sampler's name does not stand in for the sampler.
    std::string why;
    EXPECT_EQ(MakePixelProgram(Read(CompileShaderText("#pragma program UI\nfloat4 UITexture;\n"
                                                      "float4 pixel() : COLOR0 { return UITexture; }\n",
                                                      "pixel", "ps_3_0")), &why), nullptr);
    EXPECT_EQ(why, "program UI reads UITexture, which the shader does not use");
}

// Every variant the post-processing chain and the UI blur draw with runs on a program: none reads a
// constant or sampler its source leaves out, or names a switch its program lacks.
TEST(ShaderProgramTest, EveryPostProcessingVariantMakesBothPrograms)
{
    struct Case
    {
        const char* file;
        std::vector<std::string> defines;
    };
    const Case cases[] = {
        {"FixedPipelineReplacement.hlsl", {"TEXTURE", "SCREEN_BLUR"}},
        {"Postprocess.hlsl", {}},
        {"Postprocess.hlsl", {"ENABLED", "LOCAL_CONTRAST", "LOW_SPEC_MODE"}},
        {"Postprocess.hlsl", {"ENABLED", "OUTLINES", "LUM_IN_ALPHA"}},
        {"FXAA.hlsl", {}},
        {"FXAA.hlsl", {"CONSOLE"}},
        {"GlowSource.hlsl", {}},
        {"GaussBlur.hlsl", {}},
        {"DownscaleLuminance.hlsl", {}},
        {"ZoomBlur.hlsl", {}},
        {"RGBShift.hlsl", {}},
        {"SSAOPrepare.hlsl", {}},
        {"SSAOPrepare.hlsl", {"USE_NORMAL_MAPS", "HARDWARE_DEPTH"}},
        {"SSAOBlur.hlsl", {}},
        {"SSAOBlur.hlsl", {"FINAL_PASS"}},
        {"iPhonePostprocess.hlsl", {}},
        {"iPhonePostprocess.hlsl", {"ENABLED"}},
        {"iPhonePostprocess.hlsl", {"ENABLED", "ZOOM_BLUR", "IPAD2", "RGB_SHIFT"}},
        {"iPhonePostprocess2.hlsl", {}},
        {"iPhonePostprocess2.hlsl", {"ENABLED", "SCREEN_CURVE"}},
    };
    for (const Case& c : cases)
    {
        const std::string source = ShaderFolderIncludes::ReadShaderSource(c.file);
        std::string vertexWhy, pixelWhy;
        EXPECT_NE(MakeVertexProgram(Read(CompileShaderText(source, "vertex", "vs_3_0", c.defines)), &vertexWhy), nullptr)
            << c.file << ": " << vertexWhy;
        EXPECT_NE(MakePixelProgram(Read(CompileShaderText(source, "pixel", "ps_3_0", c.defines)), &pixelWhy), nullptr)
            << c.file << ": " << pixelWhy;
    }
}

// The effect, video and masked-light variants run on programs too.
TEST(ShaderProgramTest, EveryEffectVideoMaskedLightAndMeshOptionVariantMakesBothPrograms)
{
    const std::pair<const char*, std::vector<std::string>> cases[] = {
        {"FixedPipelineReplacement.hlsl", {"VIDEO"}},
        {"FixedPipelineReplacement.hlsl", {"TEXTURE", "TEXTURE_ANIMATION", "SOFTNESS"}},
        {"FixedPipelineReplacement.hlsl", {"TEXTURE", "TEXTURE_ANIMATION", "SOFTNESS", "REFRACTION"}},
        {"Particle.hlsl", {"SOFTNESS", "FOG"}},
        {"Particle.hlsl", {"TEXTURE_FRAME_INTERPOLATION", "BLEND_ALPHA", "FOG"}},
        {"Video.hlsl", {}},
        {"Light.hlsl", {"MASK"}},
        {"Light.hlsl", {"SPOT", "MASK", "LOWSPEC"}},
        {"LightCubeGeneration.hlsl", {"MASK"}},
        {"MeshSolid.hlsl", {"DIFFUSE_TEXTURE", "SHADOWMAP", "SPECULAR", "REFRACTION", "TWO_SIDED"}},
        {"MeshSolid.hlsl", {"VERTEX_LIGHTING", "SHADOWMAP", "SPECULAR", "INSTANCING"}},
        {"MeshSolid.hlsl", {"DEFERRED", "SHADOWMAP", "VERTEX_LIGHTING", "SPECULAR", "REFRACTION"}},
    };
    for (const auto& [file, defines] : cases)
    {
        const std::string source = ShaderFolderIncludes::ReadShaderSource(file);
        std::string vertexWhy, pixelWhy;
        EXPECT_NE(MakeVertexProgram(Read(CompileShaderText(source, "vertex", "vs_3_0", defines)), &vertexWhy), nullptr)
            << file << ": " << vertexWhy;
        EXPECT_NE(MakePixelProgram(Read(CompileShaderText(source, "pixel", "ps_3_0", defines)), &pixelWhy), nullptr)
            << file << ": " << pixelWhy;
    }
}

// Code written before programs existed (version 1) still loads, with no program.
TEST(ShaderProgramTest, VersionOneCodeLoadsWithoutProgramWords)
{
    const uint8_t bytes[] = {'N', 'V', 'S', 'C', 1, 0, 1, 0, 6, 0, 'v', 's', '_', '3', '_', '0', 1, 0, 'v',
                             0x78, 0x56, 0x34, 0x12, 0, 0, 0, 0};
    ShaderCode code;
    code.program = "left over";
    EXPECT_FALSE(ReadShaderCode(nullptr, sizeof(bytes), &code) || ReadShaderCode(bytes, sizeof(bytes), nullptr));
    std::vector<uint8_t> spoiled(bytes, bytes + sizeof(bytes));
    spoiled[4] = 9; // an unknown version
    EXPECT_FALSE(ReadShaderCode(spoiled.data(), spoiled.size(), &code));
    spoiled[4] = 1, spoiled[3] = 'X'; // not this system's magic
    EXPECT_FALSE(ReadShaderCode(spoiled.data(), spoiled.size(), &code));
    ASSERT_TRUE(ReadShaderCode(bytes, sizeof(bytes), &code));
    EXPECT_EQ(code.entryPoint, "v");
    EXPECT_EQ(code.sourceHash, 0x12345678u);
    EXPECT_EQ(code.program, "");
    code.program = "UI NoTexture";
    ShaderCode back;
    ASSERT_TRUE(ReadShaderCode(WriteShaderCode(code).data(), WriteShaderCode(code).size(), &back));
    EXPECT_EQ(back.program, "UI NoTexture");
}
} // namespace
