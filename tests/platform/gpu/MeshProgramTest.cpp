// Pixel probes of the lit mesh program (data/shaders/MeshSolid.hlsl): the sun between its side and
// secondary colours, the constant colour, the texture transform, two-sided back faces, the deferred
// normal, skinning, and the shadow map, vertex lighting, specular and refraction options.
#include "GpuRasterTestSupport.h"

#include <gtest/gtest.h>

namespace
{
struct MeshVertex
{
    float x, y, z;
    float nx, ny, nz;
    float u, v;
    float weights[4];
    uint8_t bones[4];
};

class MeshProgramTest : public GpuRasterFixture
{
protected:
    static constexpr gpu::VertexElement kMeshLayout[] = {
        {0, 0, gpu::kDeclFloat3, 0, gpu::kDeclUsagePosition, 0},
        {0, 12, gpu::kDeclFloat3, 0, gpu::kDeclUsageNormal, 0},
        {0, 24, gpu::kDeclFloat2, 0, gpu::kDeclUsageTexCoord, 0},
        {0, 32, gpu::kDeclFloat4, 0, gpu::kDeclUsageBlendWeight, 0},
        {0, 48, gpu::kDeclUByte4, 0, gpu::kDeclUsageBlendIndices, 0},
        gpu::kDeclEnd};

    void SetUp() override
    {
        GpuRasterFixture::SetUp();
        ASSERT_EQ(m_device->CreateVertexDeclaration(kMeshLayout, &m_meshDeclaration), gpu::kOk);
        ASSERT_EQ(m_device->SetVertexDeclaration(m_meshDeclaration), gpu::kOk);
        m_device->SetRenderState(gpu::kRsZEnable, 0);
        m_device->SetRenderState(gpu::kRsCullMode, gpu::kCullNone);
    }
    void TearDown() override
    {
        if (m_device)
        {
            TearDownTextures();
            m_device->SetVertexDeclaration(nullptr);
        }
        gpu::SafeRelease(m_meshDeclaration);
        GpuRasterFixture::TearDown();
    }

    void Use(const std::vector<std::string>& defines)
    {
        UseFamily("MeshSolid.hlsl", defines);
        SetIdentity();
        SetIdentity("ModelMatrix");
        SetVertex("ConstantColor", {1, 1, 1, 1});
        SetVertex("TextureTransform", {1, 1, 0, 0});
        for (const char* unlit : {"DEFERRED", "VERTEX_LIGHTING"})
            if (std::find(defines.begin(), defines.end(), unlit) != defines.end())
                return;
        // The sun towards +z (a surface facing +z faces it): sun 0.75, side and secondary 0.25.
        SetPixel("SunDirection", {0, 0, 1, 0});
        SetPixel("SunColor", {0.75f, 0.75f, 0.75f, 1});
        SetPixel("SideColor", {0.25f, 0.25f, 0.25f, 1});
        SetPixel("SecondaryColor", {0.25f, 0.25f, 0.25f, 1});
    }
    void SetVertex(const char* name, std::initializer_list<float> v)
    {
        ASSERT_EQ(m_device->SetVertexShaderConstantF(Register(m_vertexShader, name), v.begin(), 1), gpu::kOk);
    }
    void SetPixel(const char* name, std::initializer_list<float> v)
    {
        ASSERT_EQ(m_device->SetPixelShaderConstantF(Register(m_pixelShader, name), v.begin(), 1), gpu::kOk);
    }

    // A triangle over window pixels (8, 4) to (40, 28) with one normal, clockwise on screen (front).
    void DrawTriangle(float nx, float ny, float nz, bool front = true, float u = 0.5f, float v = 0.5f)
    {
        MeshVertex a{ClipX(8), ClipY(4), 0.5f, nx, ny, nz, u, v, {1, 0, 0, 0}, {0, 0, 0, 0}};
        MeshVertex b{ClipX(40), ClipY(4), 0.5f, nx, ny, nz, u, v, {1, 0, 0, 0}, {0, 0, 0, 0}};
        MeshVertex c{ClipX(8), ClipY(28), 0.5f, nx, ny, nz, u, v, {1, 0, 0, 0}, {0, 0, 0, 0}};
        const MeshVertex vertices[3] = {a, front ? b : c, front ? c : b};
        ASSERT_EQ(m_device->DrawPrimitiveUP(gpu::kPrimitiveTriangleList, 1, vertices, sizeof(MeshVertex)), gpu::kOk);
    }

    gpu::GpuVertexDeclaration* m_meshDeclaration = nullptr;
};

TEST_F(MeshProgramTest, TheSunLightsByTheAngleFromTheSideColour)
{
    struct Case
    {
        float normal[3];
        uint32_t expected; // ARGB at a covered pixel
    };
    // 255 x (0.25 + 0.5 x cos): facing the sun 0.75, at 60 degrees 0.5, edge-on and away 0.25.
    const Case cases[] = {
        {{0, 0, 1}, 0xFFBFBFBF},
        {{0, 0.8660254f, 0.5f}, 0xFF808080},
        {{1, 0, 0}, 0xFF404040},
        {{0, 0, -1}, 0xFF404040},
        {{0, 0, 3}, 0xFFBFBFBF}, // normals are normalised per pixel
    };
    for (const Case& c : cases)
    {
        ClearTarget(0xFF000000);
        Use({});
        DrawTriangle(c.normal[0], c.normal[1], c.normal[2]);
        EXPECT_EQ(Probe(12, 8), c.expected) << c.normal[0] << " " << c.normal[1] << " " << c.normal[2];
        EXPECT_EQ(Probe(50, 20), 0xFF000000u) << "outside the triangle";
    }
}

TEST_F(MeshProgramTest, FacesTurnedAwayBlendTowardsTheSecondaryColourAndWrapWidensTheSun)
{
    struct Case
    {
        float wrap;
        float normal[3];
        uint32_t expected;
    };
    // Side 0.25 (0x40), sun 0.75 (0xBF), secondary 1.0 (0xFF); d' = (d + wrap) / (1 + wrap).
    const Case cases[] = {
        {0.0f, {0, 0, -1}, 0xFFFFFFFF},            // d' = -1: the secondary colour
        {0.0f, {0, 0.8660254f, -0.5f}, 0xFF9F9F9F}, // d' = -0.5: half way from side to secondary
        {1.0f, {0, 0, -1}, 0xFF404040},            // wrap 1 turns the far side into the side band
        {1.0f, {1, 0, 0}, 0xFF808080},             // edge-on with wrap 1: d' = 0.5
        {1.0f, {0, 0, 1}, 0xFFBFBFBF},             // facing the sun stays the sun colour
    };
    for (const Case& c : cases)
    {
        ClearTarget(0xFF000000);
        Use({});
        SetPixel("SecondaryColor", {1, 1, 1, 1});
        SetPixel("SunDirection", {0, 0, 1, c.wrap});
        DrawTriangle(c.normal[0], c.normal[1], c.normal[2]);
        EXPECT_EQ(Probe(12, 8), c.expected) << c.wrap << ": " << c.normal[0] << " " << c.normal[1] << " " << c.normal[2];
    }
}

TEST_F(MeshProgramTest, ConstantColourTintsTheLitColour)
{
    ClearTarget(0xFF000000);
    Use({});
    SetVertex("ConstantColor", {1, 0, 0.5f, 1});
    DrawTriangle(0, 0, 1);
    EXPECT_EQ(Probe(12, 8), 0xFFBF0060u);
    // Blending takes the colour as written, saturated: an alpha of two counts as one, and so does a
    // colour of four.
    ClearTarget(0xFF808080);
    SetVertex("ConstantColor", {1, 1, 1, 2});
    m_device->SetRenderState(gpu::kRsAlphaBlendEnable, 1);
    m_device->SetRenderState(gpu::kRsSrcBlend, gpu::kBlendSrcAlpha);
    m_device->SetRenderState(gpu::kRsDestBlend, gpu::kBlendInvSrcAlpha);
    DrawTriangle(0, 0, 1);
    EXPECT_EQ(Probe(12, 8), 0xFFBFBFBFu);
    SetVertex("ConstantColor", {4, 4, 4, 0.5f});
    DrawTriangle(0, 0, 1);
    EXPECT_EQ(Probe(12, 8), 0xFFDFDFDFu);
}

TEST_F(MeshProgramTest, TwoSidedFlipsTheNormalOfBackFacesOnly)
{
    for (bool twoSided : {false, true})
    {
        ClearTarget(0xFF000000);
        Use(twoSided ? std::vector<std::string>{"TWO_SIDED"} : std::vector<std::string>{});
        DrawTriangle(0, 0, -1, false);
        EXPECT_EQ(Probe(12, 8), twoSided ? 0xFFBFBFBFu : 0xFF404040u) << twoSided;
        DrawTriangle(0, 0, 1, true);
        EXPECT_EQ(Probe(12, 8), 0xFFBFBFBFu) << twoSided;
    }
}

TEST_F(MeshProgramTest, TextureIsSampledThroughTheTextureTransform)
{
    // Red and blue over green and white; every vertex at (0.25, 0.25), moved by the transform's offset.
    BindTexture(0, 2, 2, {0xFFFF0000, 0xFF0000FF, 0xFF00FF00, 0xFFFFFFFF}, gpu::kFilterPoint);
    const struct
    {
        float u, v;
        uint32_t expected;
    } cases[] = {{0.0f, 0.0f, 0xFFBF0000u}, {0.5f, 0.0f, 0xFF0000BFu}, {0.0f, 0.5f, 0xFF00BF00u}};
    for (const auto& c : cases)
    {
        ClearTarget(0xFF000000);
        Use({"DIFFUSE_TEXTURE"});
        SetVertex("TextureTransform", {1, 1, c.u, c.v});
        DrawTriangle(0, 0, 1, true, 0.25f, 0.25f);
        EXPECT_EQ(Probe(12, 8), c.expected) << c.u << " " << c.v;
    }
}

// The lit family's deferred option, and the deferred family's normals pass through its view matrix
// (here one turning x into y).
TEST_F(MeshProgramTest, DeferredWritesTheNormalAsAColour)
{
    ClearTarget(0xFF000000);
    Use({"DEFERRED"});
    DrawTriangle(1, 0, 0);
    EXPECT_EQ(Probe(12, 8), 0xFFFF8080u);
    UseFamily("MeshDeferred.hlsl");
    SetIdentity();
    const float turn[16] = {0, 1, 0, 0, -1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    SetMatrix("ModelViewMatrix", turn);
    DrawTriangle(1, 0, 0);
    EXPECT_EQ(Probe(12, 8), 0xFF80FF80u);
}

TEST_F(MeshProgramTest, SkinningMovesThePositionByTheWeightedBoneInEveryFamilyThatSkins)
{
    // The lit, deferred, shadow-depth and fixed-function families each draw a skinned mesh posed.
    const struct
    {
        const char* family;
        std::vector<std::string> defines;
    } cases[] = {
        {"MeshSolid.hlsl", {"SKINNING"}},
        {"MeshDeferred.hlsl", {"SKINNING"}},
        {"MeshShadowMap.hlsl", {"SKINNING"}},
        {"FixedPipelineReplacement.hlsl", {"SKINNING", "DENORMALIZATION"}},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.family);
        // Blue is no colour any of them writes here (the fixed-function one draws black).
        ClearTarget(0xFF0000FF);
        std::vector<std::string> defines = c.defines;
        defines.push_back("MAX_SHADER_SKINNING_BONES=4");
        if (std::string(c.family) == "MeshSolid.hlsl")
            Use(defines);
        else
        {
            UseFamily(c.family, defines);
            ASSERT_NE(m_vertexShader->Program(), nullptr) << m_vertexShader->MissingProgramReason();
            SetIdentity();
            for (const gpu::ShaderConstant& constant : m_vertexShader->Code().constants)
                if (constant.name == "ConstantColor" || constant.name == "TextureTransform")
                    SetVertex(constant.name.c_str(), {1, 1, 1, 1});
        }
        // Bone 0 moves x by +0.5 clip units (16 pixels); rows of the 3x4 bone form from register 0.
        const float bone[12] = {1, 0, 0, 0.5f, 0, 1, 0, 0, 0, 0, 1, 0};
        ASSERT_EQ(m_device->SetVertexShaderConstantF(0, bone, 3), gpu::kOk);
        DrawTriangle(0, 0, 1);
        EXPECT_EQ(Probe(12, 8), 0xFF0000FFu) << "the left edge moved right";
        EXPECT_NE(Probe(28, 8), 0xFF0000FFu);
        EXPECT_NE(Probe(48, 8), 0xFF0000FFu) << "the right edge moved too";
    }
}
// SHADOWMAP: the world position through the shadow matrix (map u = x / 2 + 0.5, v 0.5, depth the
// position's z, 0.5) picks a map texel; where the map holds a nearer depth (0.25) the sun gives way
// to the side colour, where it holds a farther one (1) the sun stays; faces turned from the sun
// keep the secondary colour either way.
TEST_F(MeshProgramTest, TheShadowMapTakesTheSunWhereItHoldsANearerDepth)
{
    BindTexture(5, 2, 1, {0xFF400000u, 0xFFFF0000u}, gpu::kFilterPoint);
    for (float nz : {1.0f, -1.0f})
    {
        ClearTarget(0xFF000000);
        Use({"SHADOWMAP"});
        SetPixel("SecondaryColor", {1, 1, 1, 1});
        const float rows[16] = {0.5f, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0.5f, 0.5f, 0, 1};
        SetMatrix("ShadowMatrix", rows);
        DrawTriangle(0, 0, nz);
        EXPECT_EQ(Probe(12, 8), nz > 0 ? 0xFF404040u : 0xFFFFFFFFu) << "over the nearer depth, " << nz;
        EXPECT_EQ(Probe(34, 6), nz > 0 ? 0xFFBFBFBFu : 0xFFFFFFFFu) << "over the farther depth, " << nz;
    }
}

// VERTEX_LIGHTING: the sun of the vertex registers lights each vertex (sun (0.5, 0.25, 1), secondary
// red), and the pixel takes that light; the pixel's own sun registers are not read.
TEST_F(MeshProgramTest, VertexLightingLightsEachVertexFromTheVertexSun)
{
    struct Case
    {
        float normal[3];
        uint32_t expected;
    };
    const Case cases[] = {
        {{0, 0, 1}, 0xFF8040FF},          // facing the sun: its colour
        {{0, 0.8660254f, 0.5f}, 0xFF402080}, // at 60 degrees: half of it
        {{0, 0, -1}, 0xFFFF0000},         // turned away: the secondary colour
    };
    for (const Case& c : cases)
    {
        ClearTarget(0xFF000000);
        Use({"VERTEX_LIGHTING"});
        SetVertex("VertexSunDirection", {0, 0, 1, 0});
        SetVertex("VertexSunColor", {0.5f, 0.25f, 1, 1});
        SetVertex("VertexSecondaryColor", {1, 0, 0, 1});
        DrawTriangle(c.normal[0], c.normal[1], c.normal[2]);
        EXPECT_EQ(Probe(12, 8), c.expected) << c.normal[1] << " " << c.normal[2];
    }
}

// SPECULAR: exp2(x k1 + k2) of the cosine x between the normal and the half way of the camera's
// direction and the specular light's, in the specular colour (0.25 red), added to the lit colour;
// with k1 = 2, k2 = -2 the highlight is whole at x = 1, 0.666 at 45 degrees and 0.25 at x <= 0.
TEST_F(MeshProgramTest, SpecularAddsAHighlightAtTheHalfWayOfCameraAndLight)
{
    struct Case
    {
        float camera[3], light[3], nz;
        uint32_t expected;
    };
    const Case cases[] = {
        {{0, 0, 100}, {0, 0, 1}, 1, 0xFFFFBFBF},   // camera and light both along the normal
        {{0, 100, 0.5f}, {0, 0, 1}, 1, 0xFFEABFBF}, // the camera above: half way at 45 degrees
        {{0, 0, 100}, {0, 1, 0}, 1, 0xFFEABFBF},    // the light above
        {{0, 0, 100}, {0, 0, 1}, -1, 0xFF504040},   // the normal turned away: x clamps to 0
    };
    for (const Case& c : cases)
    {
        ClearTarget(0xFF000000);
        Use({"SPECULAR"});
        SetVertex("CameraPosition", {c.camera[0], c.camera[1], c.camera[2], 1});
        SetPixel("SpecularDirection", {c.light[0], c.light[1], c.light[2], 0});
        SetPixel("SpecularVector", {2, -2, 0, 0});
        SetPixel("SpecularColor", {0.25f, 0, 0, 1});
        DrawTriangle(0, 0, c.nz);
        EXPECT_EQ(Probe(12, 8), c.expected) << c.camera[1] << " " << c.light[1] << " " << c.nz;
    }
}

// REFRACTION: the screen copy (s9) at the pixel's centre, moved by the noise (s8: red bends u, green
// v, by (n x 2 - 1) x 0.02), under the lit colour (0.75 grey) by its alpha. The copy is 50 texels
// wide and one high with ScreenToView 1/50, so a pixel's centre is its texel's and 0.02 is one
// texel; columns below 20 are red, from 20 blue, filtered linearly (a corner between two texels
// would mix them).
TEST_F(MeshProgramTest, RefractionShowsTheBentScreenCopyUnderTheLitColour)
{
    std::vector<uint32_t> copy(50, 0xFF0000FFu);
    std::fill_n(copy.begin(), 20, 0xFFFF0000u);
    BindTexture(9, 50, 1, copy, gpu::kFilterLinear);
    struct Case
    {
        uint32_t noise;
        float alpha;
        uint32_t x, expected;
    };
    const Case cases[] = {
        {0xFF00FF00, 0, 20, 0xFFFF0000},   // red 0 bends one texel left (green bends v: one row only)
        {0xFF00FF00, 0, 21, 0xFF0000FF},   // a texel's centre, not a corner between two
        {0xFFFF0000, 0, 18, 0xFFFF0000},   // red 1 bends one texel right
        {0xFFFF0000, 0, 19, 0xFF0000FF},
        {0xFF00FF00, 0.25f, 21, 0xFF3030EF}, // a quarter of the lit grey over the blue
        {0xFF00FF00, 1, 21, 0xFFBFBFBF},   // opaque: only the lit colour
    };
    for (const Case& c : cases)
    {
        BindTexture(8, 1, 1, {c.noise}, gpu::kFilterPoint);
        ClearTarget(0xFF000000);
        Use({"REFRACTION"});
        SetVertex("ConstantColor", {1, 1, 1, c.alpha});
        SetPixel("ScreenToView", {1.0f / 50, 1.0f / 32, 0, 0});
        DrawTriangle(0, 0, 1);
        EXPECT_EQ(Probe(c.x, 6), c.expected) << std::hex << c.noise << " alpha " << c.alpha << " at " << std::dec << c.x;
    }
}
} // namespace
