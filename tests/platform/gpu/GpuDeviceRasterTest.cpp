#include "GpuRasterTestSupport.h"

#include "support/TempFolder.h"

#include <zlib.h>

#include <cstring>
#include <filesystem>
#include <set>

using namespace gpu;

namespace
{
constexpr uint32_t kRasterBlack = 0xFF000000u;
constexpr uint32_t kRasterRed = 0xFFFF0000u;
constexpr uint32_t kRasterGreen = 0xFF00FF00u;
constexpr uint32_t kBlue = 0xFF0000FFu;
constexpr uint32_t kMagenta = 0xFFFF00FFu;

class GpuDeviceRasterTest : public GpuRasterFixture
{
protected:
    void SetUp() override
    {
        GpuRasterFixture::SetUp();
        UseFamily("FixedPipelineReplacement.hlsl");
        SetIdentity();
        ClearTarget(kRasterBlack);
        m_device->SetRenderState(kRsCullMode, kCullNone);
    }

    // The set of pixels of the back buffer that are not black.
    std::set<std::pair<uint32_t, uint32_t>> Covered()
    {
        std::set<std::pair<uint32_t, uint32_t>> pixels;
        for (uint32_t y = 0; y < 32; ++y)
            for (uint32_t x = 0; x < 64; ++x)
                if (Probe(x, y) != kRasterBlack)
                    pixels.insert({x, y});
        return pixels;
    }
};

// Six vertices along two rows; list, strip and fan read them differently.
TEST_F(GpuDeviceRasterTest, ListsStripsAndFansCoverTheirOwnTriangles)
{
    const std::vector<ProbeVertex> v = {At(0, 0, kRasterRed), At(8, 0, kRasterRed), At(0, 8, kRasterRed), At(8, 8, kRasterRed),
                                        At(16, 0, kRasterRed), At(16, 8, kRasterRed)};
    struct Case
    {
        uint32_t type, primitives;
        std::vector<std::pair<uint32_t, uint32_t>> inside, outside;
    };
    const Case cases[] = {
        // One triangle (0,0)-(8,0)-(0,8) and one (8,8)-(16,0)-(16,8).
        {kPrimitiveTriangleList, 2, {{1, 1}, {14, 6}, {13, 7}}, {{7, 6}, {9, 1}}},
        // Strip: the square (0..8) and then (0,8)-(8,8)-(16,0) and (8,8)-(16,0)-(16,8).
        {kPrimitiveTriangleStrip, 4, {{1, 1}, {7, 6}, {9, 6}, {13, 7}}, {{12, 1}}},
        // Fan around vertex 0: (0,0)-(8,0)-(0,8), (0,0)-(0,8)-(8,8), (0,0)-(8,8)-(16,0), (0,0)-(16,0)-(16,8).
        {kPrimitiveTriangleFan, 4, {{1, 1}, {7, 6}, {9, 2}, {14, 6}}, {{13, 7}}},
    };
    for (const Case& c : cases)
    {
        ClearTarget(kRasterBlack);
        Draw(c.type, c.primitives, v);
        for (auto [x, y] : c.inside)
            EXPECT_EQ(Probe(x, y), kRasterRed) << "type " << c.type << " at " << x << "," << y;
        for (auto [x, y] : c.outside)
            EXPECT_EQ(Probe(x, y), kRasterBlack) << "type " << c.type << " at " << x << "," << y;
    }
}

TEST_F(GpuDeviceRasterTest, AxisAlignedQuadCoversExactlyItsPixelsByTheTopLeftRule)
{
    // Window coordinates are pixel centres: the quad from 2 to 6 covers columns 2..5 and rows 3..4.
    Draw(kPrimitiveTriangleStrip, 2, {At(2, 3, kRasterGreen), At(6, 3, kRasterGreen), At(2, 5, kRasterGreen), At(6, 5, kRasterGreen)});
    std::set<std::pair<uint32_t, uint32_t>> expected;
    for (uint32_t y = 3; y < 5; ++y)
        for (uint32_t x = 2; x < 6; ++x)
            expected.insert({x, y});
    EXPECT_EQ(Covered(), expected);
    EXPECT_EQ(m_device->GetDrawLog().back().pixelsWritten, 8u) << "the shared diagonal is drawn once";
}

// A fan around a point off the pixel grid, its rim at fractional positions and every edge slope sign:
// pixels add up, so a pixel drawn twice or a hole between triangles shows.
TEST_F(GpuDeviceRasterTest, TrianglesSharingEdgesCoverEveryPixelOnce)
{
    m_device->SetRenderState(kRsZEnable, 0);
    m_device->SetRenderState(kRsAlphaBlendEnable, 1);
    m_device->SetRenderState(kRsSrcBlend, kBlendOne);
    m_device->SetRenderState(kRsDestBlend, kBlendOne);
    const uint32_t step = 0xFF101010u;
    const float cx = 31.3f, cy = 15.6f;
    std::vector<ProbeVertex> fan = {At(cx, cy, step)};
    const uint32_t sides = 11;
    for (uint32_t i = 0; i <= sides; ++i)
    {
        const float angle = 6.2831853f * float(i % sides) / float(sides) + 0.1f;
        fan.push_back(At(cx + 27.7f * std::cos(angle), cy + 14.3f * std::sin(angle), step));
    }
    Draw(kPrimitiveTriangleFan, sides, fan);
    uint32_t covered = 0;
    for (uint32_t y = 0; y < 32; ++y)
        for (uint32_t x = 0; x < 64; ++x)
        {
            const uint32_t value = Probe(x, y) & 0xFF;
            EXPECT_TRUE(value == 0 || value == 0x10) << x << "," << y << " drawn " << value / 16 << " times";
            covered += value != 0;
        }
    // The polygon's pixels: no hole inside it, none outside its box.
    for (uint32_t y = 8; y < 24; ++y)
        for (uint32_t x = 18; x < 46; ++x)
            EXPECT_EQ(Probe(x, y) & 0xFF, 0x10u) << "hole at " << x << "," << y;
    EXPECT_EQ(m_device->GetDrawLog().back().pixelsWritten, covered);
}

TEST_F(GpuDeviceRasterTest, CullingFollowsTheWindingOnScreen)
{
    const std::vector<ProbeVertex> clockwise = {At(0, 0, kRasterRed), At(8, 0, kRasterRed), At(0, 8, kRasterRed)};
    const std::vector<ProbeVertex> counter = {At(0, 0, kRasterRed), At(0, 8, kRasterRed), At(8, 0, kRasterRed)};
    struct Case
    {
        uint32_t cull;
        bool clockwiseDrawn, counterDrawn;
    };
    for (const Case& c : {Case{kCullNone, true, true}, Case{kCullClockwise, false, true},
                          Case{kCullCounterClockwise, true, false}})
    {
        m_device->SetRenderState(kRsCullMode, c.cull);
        ClearTarget(kRasterBlack);
        Draw(kPrimitiveTriangleList, 1, clockwise);
        EXPECT_EQ(Probe(1, 1) == kRasterRed, c.clockwiseDrawn) << "cull " << c.cull;
        ClearTarget(kRasterBlack);
        Draw(kPrimitiveTriangleList, 1, counter);
        EXPECT_EQ(Probe(1, 1) == kRasterRed, c.counterDrawn) << "cull " << c.cull;
    }
    // A strip keeps its first triangle's winding: every other triangle is read the other way round.
    m_device->SetRenderState(kRsCullMode, kCullCounterClockwise);
    ClearTarget(kRasterBlack);
    Draw(kPrimitiveTriangleStrip, 2, {At(0, 0, kRasterRed), At(8, 0, kRasterRed), At(0, 8, kRasterRed), At(8, 8, kRasterRed)});
    EXPECT_EQ(Probe(1, 1), kRasterRed);
    EXPECT_EQ(Probe(7, 7), kRasterRed) << "the strip's second triangle is front-facing too";
    // A mirroring matrix (x negated) turns clockwise into counter-clockwise.
    const float mirror[16] = {-1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    SetMatrix("ModelViewProjMatrix", mirror);
    m_device->SetRenderState(kRsCullMode, kCullCounterClockwise);
    ClearTarget(kRasterBlack);
    Draw(kPrimitiveTriangleList, 1, clockwise);
    EXPECT_EQ(Probe(62, 1), kRasterBlack);
    m_device->SetRenderState(kRsCullMode, kCullClockwise);
    Draw(kPrimitiveTriangleList, 1, clockwise);
    EXPECT_EQ(Probe(62, 1), kRasterRed);
}

TEST_F(GpuDeviceRasterTest, MatrixRegistersHoldColumnsAndTranslateGeometry)
{
    // Row vectors times this matrix move x by +0.5 (16 pixels); read transposed it would shear w.
    const float translate[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0.5f, 0, 0, 1};
    SetMatrix("ModelViewProjMatrix", translate);
    Draw(kPrimitiveTriangleList, 1, {At(0, 0, kBlue), At(8, 0, kBlue), At(0, 8, kBlue)});
    EXPECT_EQ(Probe(17, 1), kBlue);
    EXPECT_EQ(Probe(1, 1), kRasterBlack);
    const DrawRecord& draw = m_device->GetDrawLog().back();
    const uint32_t reg = Register(m_vertexShader, "ModelViewProjMatrix");
    ASSERT_NE(draw.VertexConstant(reg), nullptr);
    EXPECT_FLOAT_EQ(draw.VertexConstant(reg)[3], 0.5f) << "column 0 ends with the x translation";
    EXPECT_EQ(draw.VertexConstant(200), nullptr) << "only the registers the shader reads are kept";
}

TEST_F(GpuDeviceRasterTest, ViewportPlacesTheFullClipSquare)
{
    const Viewport viewport = {40, 8, 16, 8, 0.0f, 1.0f};
    ASSERT_EQ(m_device->SetViewport(viewport), kOk);
    const ProbeVertex corners[] = {{-1, 1, 0.5f, 1, kRasterGreen, 0, 0}, {1, 1, 0.5f, 1, kRasterGreen, 0, 0},
                                   {-1, -1, 0.5f, 1, kRasterGreen, 0, 0}, {1, -1, 0.5f, 1, kRasterGreen, 0, 0}};
    Draw(kPrimitiveTriangleStrip, 2, {corners, corners + 4});
    std::set<std::pair<uint32_t, uint32_t>> expected;
    for (uint32_t y = 8; y < 16; ++y)
        for (uint32_t x = 40; x < 56; ++x)
            expected.insert({x, y});
    EXPECT_EQ(Covered(), expected);
}

TEST_F(GpuDeviceRasterTest, ScissorCutsOnlyWhenEnabled)
{
    ASSERT_EQ(m_device->SetScissorRect({4, 4, 6, 6}), kOk);
    const std::vector<ProbeVertex> quad = {At(0, 0, kRasterRed), At(10, 0, kRasterRed), At(0, 10, kRasterRed), At(10, 10, kRasterRed)};
    Draw(kPrimitiveTriangleStrip, 2, quad);
    EXPECT_EQ(Covered().size(), 100u);
    ClearTarget(kRasterBlack);
    m_device->SetRenderState(kRsScissorTestEnable, 1);
    Draw(kPrimitiveTriangleStrip, 2, quad);
    EXPECT_EQ(Covered(), (std::set<std::pair<uint32_t, uint32_t>>{{4, 4}, {5, 4}, {4, 5}, {5, 5}}));
    ASSERT_EQ(m_device->Clear(0, nullptr, kClearTarget, kRasterRed, 1.0f, 0), kOk);
    EXPECT_EQ(Covered().size(), 4u) << "a clear keeps to the scissor rectangle too";
    ASSERT_EQ(m_device->SetScissorRect({0, 6, 10, 6}), kOk);
    ASSERT_EQ(m_device->Clear(0, nullptr, kClearTarget, kRasterRed, 1.0f, 0), kOk);
    EXPECT_EQ(Covered().size(), 4u) << "an empty scissor rectangle clears nothing";
}

// Over black with source-alpha blending, so that the alpha the options leave shows in the colour.
TEST_F(GpuDeviceRasterTest, VertexColourOptionsGreyFadeEncodeOrTakeOnlyTheTexturesAlpha)
{
    m_device->SetRenderState(kRsAlphaBlendEnable, 1);
    m_device->SetRenderState(kRsSrcBlend, kBlendSrcAlpha);
    m_device->SetRenderState(kRsDestBlend, kBlendInvSrcAlpha);
    BindTexture(0, 1, 1, {0x40000000u}, kFilterPoint);
    const float constants[8] = {0.5f, 1, 0.25f, 0.75f, /* grey weights */ 0.5f, 0.3f, 0.2f, 0};
    const std::pair<std::vector<std::string>, uint32_t> cases[] = {
        {{"SATURATION"}, 0xFF434343u},     {{"FADE"}, 0xFF242405u},
        {{"CONVERT_TO_SRGB"}, 0xFF8C664Bu}, {{"TEXTURE", "ALPHA_ONLY_TEXTURE"}, 0xFF180C06u}};
    for (const auto& [defines, expected] : cases)
    {
        UseFamily("FixedPipelineReplacement.hlsl", defines);
        SetIdentity();
        m_device->SetPixelShaderConstantF(0, constants, 2);
        ClearTarget(kRasterBlack);
        const uint32_t c = 0xC0804020u;
        Draw(kPrimitiveTriangleStrip, 2, {At(0, 0, c), At(8, 0, c), At(0, 8, c), At(8, 8, c)});
        EXPECT_EQ(Probe(4, 4), expected) << defines[0];
    }
}

TEST_F(GpuDeviceRasterTest, IndexedDrawsHonourBaseVertexStartIndexOffsetAndStride)
{
    // 32-byte vertices after a 16-byte header: four red vertices, then the green quad that counts.
    struct Padded
    {
        ProbeVertex v;
        float pad[2];
    };
    std::vector<uint8_t> bytes(16 + sizeof(Padded) * 8, 0);
    const ProbeVertex red[] = {At(0, 0, kRasterRed), At(4, 0, kRasterRed), At(0, 4, kRasterRed), At(4, 4, kRasterRed)};
    const ProbeVertex green[] = {At(20, 10, kRasterGreen), At(30, 10, kRasterGreen), At(20, 20, kRasterGreen), At(30, 20, kRasterGreen)};
    for (uint32_t i = 0; i < 4; ++i)
    {
        memcpy(bytes.data() + 16 + sizeof(Padded) * i, &red[i], sizeof(ProbeVertex));
        memcpy(bytes.data() + 16 + sizeof(Padded) * (4 + i), &green[i], sizeof(ProbeVertex));
    }
    GpuVertexBuffer* vb = nullptr;
    GpuIndexBuffer* ib = nullptr;
    ASSERT_EQ(m_device->CreateVertexBuffer(uint32_t(bytes.size()), 0, 0, kPoolManaged, &vb), kOk);
    ASSERT_EQ(m_device->CreateIndexBuffer(12 * 2, 0, kFormatIndex16, kPoolManaged, &ib), kOk);
    void* p = nullptr;
    ASSERT_EQ(vb->Lock(0, 0, &p, 0), kOk);
    memcpy(p, bytes.data(), bytes.size());
    vb->Unlock();
    const uint16_t indices[12] = {9, 9, 9, 9, 9, 9, 0, 1, 2, 2, 1, 3}; // the first six are never read
    ASSERT_EQ(ib->Lock(0, 0, &p, 0), kOk);
    memcpy(p, indices, sizeof(indices));
    ib->Unlock();
    ASSERT_EQ(m_device->SetStreamSource(0, vb, 16, sizeof(Padded)), kOk);
    ASSERT_EQ(m_device->SetIndices(ib), kOk);
    ASSERT_EQ(m_device->DrawIndexedPrimitive(kPrimitiveTriangleList, 4, 0, 4, 6, 2), kOk);
    EXPECT_EQ(Probe(25, 15), kRasterGreen);
    EXPECT_EQ(Probe(2, 2), kRasterBlack);
    EXPECT_EQ(Covered().size(), 100u);
    m_device->SetStreamSource(0, nullptr, 0, 0);
    m_device->SetIndices(nullptr);
    vb->Release();
    ib->Release();

    // The same quad from memory through 32-bit indices.
    ClearTarget(kRasterBlack);
    const ProbeVertex memory[] = {red[0], green[0], green[1], green[2], green[3]};
    const uint32_t wide[6] = {1, 2, 3, 3, 2, 4};
    ASSERT_EQ(m_device->DrawIndexedPrimitiveUP(kPrimitiveTriangleList, 1, 4, 2, wide, kFormatIndex32, memory,
                                               sizeof(ProbeVertex)),
              kOk);
    EXPECT_EQ(Probe(25, 15), kRasterGreen);
    EXPECT_EQ(Probe(2, 2), kRasterBlack);
}

TEST_F(GpuDeviceRasterTest, NearPlaneClipsAndPerspectiveInterpolatesColour)
{
    // A triangle crossing the near plane is cut there, never wrapped through infinity.
    Draw(kPrimitiveTriangleList, 1,
         {{-1, 1, -1, 1, kRasterRed, 0, 0}, {1, 1, 1, 1, kRasterRed, 0, 0}, {-1, -1, 1, 1, kRasterRed, 0, 0}});
    EXPECT_EQ(Probe(1, 1), kRasterBlack) << "the part in front of the near plane is cut";
    EXPECT_EQ(Probe(40, 4), kRasterRed);
    // A vertex behind the eye (negative w) is clipped away, not dropped with its triangle.
    ClearTarget(kRasterBlack);
    Draw(kPrimitiveTriangleList, 1,
         {{-0.5f, 0.5f, 0.5f, 1, kRasterRed, 0, 0}, {0.5f, 0.5f, 0.5f, 1, kRasterRed, 0, 0}, {0, -1, -1, -1, kRasterRed, 0, 0}});
    EXPECT_EQ(Probe(32, 12), kRasterRed);
    EXPECT_EQ(Probe(32, 20), kRasterBlack) << "nothing below the near plane's line";
    // One far vertex (w 3) pulls the interpolation: at the screen midpoint of the edge the colour is
    // 1/4 of the way, not 1/2.
    ClearTarget(kRasterBlack);
    const ProbeVertex near = {-1, -1, 0.5f, 1, 0xFF000000u, 0, 0};
    const ProbeVertex far = {3, -3, 1.5f, 3, 0xFFFF0000u, 0, 0}; // the same screen point as (1, -1)
    const ProbeVertex top = {-1, 1, 0.5f, 1, 0xFF000000u, 0, 0};
    Draw(kPrimitiveTriangleList, 1, {near, far, top});
    const uint32_t red = (Probe(32, 31) >> 16) & 0xFF;
    EXPECT_NEAR(double(red), 255.0 * 0.25, 3.0);
}

TEST_F(GpuDeviceRasterTest, LinesAndPointsCoverTheirPixels)
{
    Draw(kPrimitiveLineList, 3,
         {At(2, 5, kRasterRed), At(7, 5, kRasterRed), At(20, 2, kRasterRed), At(20, 7, kRasterRed), At(30, 2, kRasterRed), At(41, 8, kRasterRed)});
    std::set<std::pair<uint32_t, uint32_t>> line = {{31, 2}, {40, 8}}; // within half a pixel across the slope
    for (uint32_t x = 2; x < 7; ++x)
        line.insert({x, 5}), line.insert({20, x}); // one pixel wide, level or upright
    for (uint32_t x = 30; x < 41; ++x)
        line.insert({x, (x - 29) / 2 + 2});
    EXPECT_EQ(Covered(), line);
    ClearTarget(kRasterBlack);
    Draw(kPrimitivePointList, 1, {At(10.5f, 10.5f, kRasterRed, 1.0f)});
    EXPECT_EQ(Covered(), (std::set<std::pair<uint32_t, uint32_t>>{{10, 10}})) << "one pixel by default";
    const float size = 2.0f;
    uint32_t bits;
    memcpy(&bits, &size, 4);
    m_device->SetRenderState(kRsPointSize, bits);
    for (uint32_t cull : {kCullNone, kCullClockwise, kCullCounterClockwise}) // a point has no back to cull
    {
        ClearTarget(kRasterBlack);
        m_device->SetRenderState(kRsCullMode, cull);
        Draw(kPrimitivePointList, 1, {At(10.5f, 10.5f, kRasterRed, 1.0f)}); // on the far plane
        EXPECT_EQ(Covered(), (std::set<std::pair<uint32_t, uint32_t>>{{10, 10}, {11, 10}, {10, 11}, {11, 11}}))
            << cull;
    }
}

// Depth is interpolated with weights that sum to one only within rounding: a triangle lying on
// either end of the depth range still draws every pixel it covers, one reaching past it is cut.
TEST_F(GpuDeviceRasterTest, SurfacesOnTheEndsOfTheDepthRangeDrawWhole)
{
    const auto triangle = [&](float z0, float z1) {
        ClearTarget(kRasterBlack);
        Draw(kPrimitiveTriangleList, 1, {At(0, 0, kRasterRed, z0), At(60, 0, kRasterRed, z1), At(0, 30, kRasterRed, z0)});
        return Covered();
    };
    const std::set<std::pair<uint32_t, uint32_t>> whole = triangle(0.5f, 0.5f);
    ASSERT_GT(whole.size(), 800u);
    EXPECT_EQ(triangle(1.0f, 1.0f), whole);
    EXPECT_EQ(triangle(0.0f, 0.0f), whole);
    EXPECT_LT(triangle(0.0f, 2.0f).size(), whole.size()) << "past the far plane is cut";
}

TEST_F(GpuDeviceRasterTest, DepthTestKeepsTheNearerSurfaceAndHonoursWriteOff)
{
    const auto quad = [&](float z, uint32_t color) {
        Draw(kPrimitiveTriangleStrip, 2, {At(0, 0, color, z), At(8, 0, color, z), At(0, 8, color, z),
                                          At(8, 8, color, z)});
    };
    m_device->SetRenderState(kRsZEnable, 1);
    quad(0.3f, kRasterRed);
    Draw(kPrimitiveTriangleList, 1, {At(0, 0, kBlue, 0.6f), At(0, 16, kBlue, 0.6f), At(16, 0, kBlue, 0.6f)});
    EXPECT_EQ(Probe(4, 4), kRasterRed) << "the farther triangle fails less-or-equal, counter-clockwise as it is";
    quad(0.3f, kRasterGreen);
    EXPECT_EQ(Probe(4, 4), kRasterGreen) << "equal depth passes less-or-equal";
    // A bias moves the drawn depth away from the viewer by its own amount, a slope-scaled one by
    // the depth's change per pixel.
    const auto bias = [&](float constant, float slope) {
        uint32_t bits[2];
        memcpy(&bits[0], &constant, 4);
        memcpy(&bits[1], &slope, 4);
        m_device->SetRenderState(kRsDepthBias, bits[0]);
        m_device->SetRenderState(kRsSlopeScaleDepthBias, bits[1]);
    };
    bias(0.01f, 0.0f);
    quad(0.3f, kBlue);
    EXPECT_EQ(Probe(4, 4), kRasterGreen) << "pushed behind the equal surface";
    bias(-0.01f, 0.0f);
    quad(0.305f, kBlue);
    EXPECT_EQ(Probe(4, 4), kBlue) << "pulled in front of a slightly nearer surface";
    bias(0.0f, 1.0f);
    Draw(kPrimitiveTriangleStrip, 2, {At(0, 0, kRasterRed, 0.29f), At(8, 0, kRasterRed, 0.37f), At(0, 8, kRasterRed, 0.29f),
                                      At(8, 8, kRasterRed, 0.37f)});
    EXPECT_EQ(Probe(0, 4), kBlue) << "a slope of 0.01 per pixel pushes 0.291 past 0.295";
    bias(0.0f, 0.0f);
    m_device->SetRenderState(kRsZWriteEnable, 0);
    quad(0.1f, kBlue);
    quad(0.2f, kRasterRed);
    EXPECT_EQ(Probe(4, 4), kRasterRed) << "a draw without depth writes leaves the old depth";
    m_device->SetRenderState(kRsZFunc, kCmpGreater);
    quad(0.5f, kBlue);
    EXPECT_EQ(Probe(4, 4), kBlue);
}

TEST_F(GpuDeviceRasterTest, StencilMarksAndMasksLaterDraws)
{
    m_device->SetRenderState(kRsStencilEnable, 1);
    m_device->SetRenderState(kRsStencilFunc, kCmpAlways);
    m_device->SetRenderState(kRsStencilPass, kStencilReplace);
    m_device->SetRenderState(kRsStencilRef, 0x5);
    m_device->SetRenderState(kRsStencilWriteMask, 0x1);
    m_device->SetRenderState(kRsColorWriteEnable, 0);
    Draw(kPrimitiveTriangleStrip, 2, {At(0, 0, kRasterRed), At(4, 0, kRasterRed), At(0, 4, kRasterRed), At(4, 4, kRasterRed)});
    EXPECT_EQ(Probe(1, 1), kRasterBlack) << "colour writes were off";
    GpuSurface* depth = nullptr;
    ASSERT_EQ(m_device->GetDepthStencilSurface(&depth), kOk);
    EXPECT_EQ(depth->ReadPixel(1, 1).g, 1.0f) << "only the write-mask bit of the reference is stored";
    depth->Release();

    m_device->SetRenderState(kRsColorWriteEnable, 0xF);
    m_device->SetRenderState(kRsStencilFunc, kCmpEqual);
    m_device->SetRenderState(kRsStencilRef, 1);
    m_device->SetRenderState(kRsStencilPass, kStencilKeep);
    Draw(kPrimitiveTriangleStrip, 2, {At(0, 0, kRasterGreen), At(8, 0, kRasterGreen), At(0, 8, kRasterGreen), At(8, 8, kRasterGreen)});
    EXPECT_EQ(Probe(1, 1), kRasterGreen);
    EXPECT_EQ(Probe(6, 6), kRasterBlack) << "outside the mark the equal test fails";
}

TEST_F(GpuDeviceRasterTest, TwoSidedStencilGivesBackFacesTheirOwnFunctionAndOperations)
{
    m_device->SetRenderState(kRsCullMode, kCullNone);
    m_device->SetRenderState(kRsColorWriteEnable, 0);
    m_device->SetRenderState(kRsStencilEnable, 1);
    m_device->SetRenderState(kRsStencilRef, 5);
    m_device->SetRenderState(kRsStencilFunc, kCmpAlways);
    m_device->SetRenderState(kRsStencilPass, kStencilReplace);
    m_device->SetRenderState(kRsTwoSidedStencilMode, 1);
    m_device->SetRenderState(kRsCcwStencilFunc, kCmpAlways);
    m_device->SetRenderState(kRsCcwStencilPass, kStencilIncr);
    const auto front = [&] { Draw(kPrimitiveTriangleList, 1, {At(0, 0, kRasterRed), At(8, 0, kRasterRed), At(0, 8, kRasterRed)}); };
    const auto back = [&] { Draw(kPrimitiveTriangleList, 1, {At(10, 0, kRasterRed), At(10, 8, kRasterRed), At(18, 0, kRasterRed)}); };
    GpuSurface* depth = nullptr;
    ASSERT_EQ(m_device->GetDepthStencilSurface(&depth), kOk);
    const auto stencilAt = [&](uint32_t x) { return int(depth->ReadPixel(x, 1).g); };
    front();
    back();
    EXPECT_EQ(stencilAt(1), 5) << "clockwise: the front's replace";
    EXPECT_EQ(stencilAt(11), 1) << "counter-clockwise: the back's increment";
    m_device->SetRenderState(kRsCcwStencilFunc, kCmpNever);
    m_device->SetRenderState(kRsCcwStencilFail, kStencilInvert);
    back();
    EXPECT_EQ(stencilAt(11), 254) << "the back's own function fails and its fail operation inverts";
    m_device->SetRenderState(kRsTwoSidedStencilMode, 0);
    back();
    EXPECT_EQ(stencilAt(11), 5) << "one-sided: back faces take the front's state";
    depth->Release();
}

TEST_F(GpuDeviceRasterTest, ColourWriteMaskAndAlphaTestKeepChannelsAndPixels)
{
    ClearTarget(0xFF102030u);
    m_device->SetRenderState(kRsColorWriteEnable, 0x2); // green only
    Draw(kPrimitiveTriangleStrip, 2, {At(0, 0, kMagenta | 0xFF00u), At(4, 0, 0xFFFFFFFFu), At(0, 4, 0xFFFFFFFFu),
                                      At(4, 4, 0xFFFFFFFFu)});
    EXPECT_EQ(Probe(1, 1), 0xFF10FF30u);
    const std::pair<uint32_t, uint32_t> masks[] = {{0x1, 0xFFFF2030u}, {0x4, 0xFF1020FFu}};
    for (const auto& [mask, expected] : masks)
    {
        ClearTarget(0xFF102030u);
        m_device->SetRenderState(kRsColorWriteEnable, mask);
        Draw(kPrimitiveTriangleStrip, 2, {At(0, 0, 0xFFFFFFFFu), At(4, 0, 0xFFFFFFFFu), At(0, 4, 0xFFFFFFFFu),
                                          At(4, 4, 0xFFFFFFFFu)});
        EXPECT_EQ(Probe(1, 1), expected) << "mask " << mask;
    }
    ClearTarget(0xFF102030u);
    m_device->SetRenderState(kRsColorWriteEnable, 0xF);
    m_device->SetRenderState(kRsAlphaTestEnable, 1);
    m_device->SetRenderState(kRsAlphaFunc, kCmpGreater);
    m_device->SetRenderState(kRsAlphaRef, 0x80);
    Draw(kPrimitiveTriangleStrip, 2, {At(8, 0, 0x80FF0000u), At(12, 0, 0x80FF0000u), At(8, 4, 0x80FF0000u),
                                      At(12, 4, 0x80FF0000u)});
    EXPECT_EQ(Probe(9, 1), 0xFF102030u) << "alpha 0x80 is not greater than 0x80";
    Draw(kPrimitiveTriangleStrip, 2, {At(8, 0, 0x81FF0000u), At(12, 0, 0x81FF0000u), At(8, 4, 0x81FF0000u),
                                      At(12, 4, 0x81FF0000u)});
    EXPECT_EQ(Probe(9, 1), kRasterRed);
}

TEST_F(GpuDeviceRasterTest, ShaderWithoutProgramDrawsMagentaAndIsCounted)
{
    UseShaders("float4x4 ModelViewProjMatrix;\n"
               "float4 vertex(float4 p : POSITION) : POSITION { return mul(p, ModelViewProjMatrix); }\n"
               "float4 pixel() : COLOR0 { return float4(1, 1, 1, 1); }\n");
    SetIdentity();
    Draw(kPrimitiveTriangleList, 1, {At(0, 0, kRasterRed), At(8, 0, kRasterRed), At(0, 8, kRasterRed)});
    EXPECT_EQ(Probe(1, 1), kMagenta);
    EXPECT_EQ(m_device->GetFrameStatistics().drawsWithoutProgram, 1u);
    EXPECT_TRUE(m_device->GetDrawLog().back().withoutProgram);
    EXPECT_TRUE(m_log.Contains("the source names no program"));
    // A known program with a switch it does not know is just as visible.
    UseShaders("#pragma program UI Sparkle\nfloat4x4 ModelViewProjMatrix;\n"
               "float4 vertex(float4 p : POSITION) : POSITION { return mul(p, ModelViewProjMatrix); }\n"
               "float4 pixel() : COLOR0 { return float4(1, 1, 1, 1); }\n");
    EXPECT_EQ(m_vertexShader->Program(), nullptr);
    EXPECT_NE(m_vertexShader->MissingProgramReason().find("no switch Sparkle"), std::string::npos);
    // A fixed vertex format the rasteriser cannot read draws nothing and says so.
    m_device->SetVertexDeclaration(nullptr);
    m_device->SetFVF(kFvfXyz | 0x004);
    Draw(kPrimitiveTriangleList, 1, {At(20, 0, kRasterRed), At(28, 0, kRasterRed), At(20, 8, kRasterRed)});
    EXPECT_NE(Probe(21, 1), kMagenta);
    EXPECT_TRUE(m_log.Contains("fixed vertex format 0x6 is not read by the rasteriser; nothing drawn"));
}

TEST_F(GpuDeviceRasterTest, ClearsAndCopiesAreLoggedInOrderAmongDraws)
{
    GpuSurface* target = nullptr;
    ASSERT_EQ(m_device->CreateRenderTarget(16, 16, kFormatA8R8G8B8, 0, 0, false, &target), kOk);
    Draw(kPrimitiveTriangleList, 1, {At(0, 0, kRasterRed), At(8, 0, kRasterRed), At(0, 8, kRasterRed)});
    const Rect part = {1, 2, 3, 4};
    ASSERT_EQ(m_device->Clear(1, &part, kClearTarget, 0xFF112233u, 1.0f, 0), kOk);
    const Rect from = {0, 0, 8, 8}, to = {4, 4, 12, 12};
    ASSERT_EQ(m_device->StretchRect(BackBuffer(), &from, target, &to, kFilterPoint), kOk);
    const std::vector<SurfaceOpRecord>& ops = m_device->GetSurfaceOpLog();
    ASSERT_EQ(ops.size(), 3u); // the fixture's clear, then these two
    EXPECT_EQ(ops[0].drawsBefore, 0u);
    EXPECT_EQ(ops[1].op, SurfaceOp::Clear);
    EXPECT_EQ(ops[1].drawsBefore, 1u);
    ASSERT_EQ(ops[1].rects.size(), 1u);
    EXPECT_EQ(ops[1].rects[0].top, 2);
    EXPECT_EQ(ops[1].color, 0xFF112233u);
    EXPECT_EQ(ops[1].targetIds[0], BackBuffer()->GetId());
    EXPECT_EQ(ops[2].op, SurfaceOp::StretchRect);
    EXPECT_EQ(ops[2].sourceId, BackBuffer()->GetId());
    EXPECT_EQ(ops[2].targetIds[0], target->GetId());
    ASSERT_EQ(ops[2].rects.size(), 2u);
    EXPECT_EQ(ops[2].rects[1].left, 4);
    EXPECT_EQ(target->ReadPixelArgb(5, 5), kRasterRed);
    target->Release();
}

// The PNG a frame is written to decodes back to the back buffer's pixels.
TEST_F(GpuDeviceRasterTest, EveryNthPresentWritesTheBackBufferAsPng)
{
    TempFolder folder;
    m_device->SetFrameImages(folder.Path(), 2);
    Draw(kPrimitiveTriangleList, 1, {At(0, 0, kRasterRed), At(16, 0, kRasterRed), At(0, 8, kRasterRed)});
    ASSERT_EQ(m_device->EndScene(), kOk);
    for (int i = 0; i < 4; ++i)
        ASSERT_EQ(m_device->Present(), kOk);
    EXPECT_EQ(m_device->GetFrameImagesWritten(), 2u);
    EXPECT_FALSE(std::filesystem::exists(folder / "frame-000001.png"));
    EXPECT_TRUE(std::filesystem::exists(folder / "frame-000004.png"));
    std::ifstream file(folder / "frame-000002.png", std::ios::binary);
    const std::vector<uint8_t> png((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    ASSERT_GT(png.size(), 57u);
    EXPECT_EQ(memcmp(png.data(), "\x89PNG\r\n\x1a\n", 8), 0);
    EXPECT_EQ(memcmp(png.data() + 12, "IHDR", 4), 0);
    EXPECT_EQ(png[19], 64u); // width, big-endian
    EXPECT_EQ(png[23], 32u);
    const auto be32 = [&](size_t i) { return uint32_t(png[i]) << 24 | png[i + 1] << 16 | png[i + 2] << 8 | png[i + 3]; };
    EXPECT_EQ(be32(29), crc32(0L, png.data() + 12, 17)) << "the header chunk's CRC covers its type and data";
    const uint32_t idatLength = be32(33);
    ASSERT_EQ(memcmp(png.data() + 37, "IDAT", 4), 0);
    std::vector<uint8_t> raw(32 * (64 * 3 + 1));
    uLongf rawSize = uLongf(raw.size());
    ASSERT_EQ(uncompress(raw.data(), &rawSize, png.data() + 41, idatLength), Z_OK);
    ASSERT_EQ(rawSize, raw.size());
    EXPECT_EQ(raw[0] + raw[31 * (64 * 3 + 1)], 0) << "rows are stored unfiltered";
    const uint8_t* pixel101 = raw.data() + 1 * (64 * 3 + 1) + 1 + 10 * 3; // (1, 10) is not covered
    EXPECT_EQ(pixel101[0], 0xFF);
    EXPECT_EQ(pixel101[1], 0x00);
    const uint8_t* pixel5020 = raw.data() + 20 * (64 * 3 + 1) + 1 + 50 * 3;
    EXPECT_EQ(pixel5020[0], 0x00);

    // Every 0th frame means every 60th; a folder that cannot take the file counts no image and says so.
    const size_t logged = m_log.Count();
    m_device->SetFrameImages(folder / "missing", 0);
    for (int i = 0; i < 60; ++i)
        ASSERT_EQ(m_device->Present(), kOk);
    EXPECT_EQ(m_device->GetFrameImagesWritten(), 2u);
    EXPECT_TRUE(m_log.Contains("missing/frame-000060.png could not be written"));
    EXPECT_EQ(m_log.Count() - logged, 2u) << "the warning and one refused image";
}
} // namespace
