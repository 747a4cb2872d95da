// A whole frame through the rasteriser against a stored image: the demo's checker texture on a
// ground plane in perspective (linear filtering, wrap, mip levels), depth-tested vertex-coloured
// triangles crossing each other, an alpha-blended pane, a minimum-blended stripe and an alpha-only
// glyph quad through the font family. NORVEX_UPDATE_GOLDEN=1 rewrites the stored image instead.
#include "GpuRasterTestSupport.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>

using namespace gpu;

namespace
{
const char* const kGolden = "tests/platform/gpu/golden/SceneFrame.ppm";

// The demo data's checker: 8-texel squares of light grey and dark blue.
uint32_t Checker(uint32_t x, uint32_t y) { return ((x / 8 + y / 8) % 2) != 0 ? 0xFFE0E0E0u : 0xFF303070u; }

class GpuGoldenFrameTest : public GpuRasterFixture
{
protected:
    GpuTexture* MakeChecker()
    {
        GpuTexture* texture = nullptr;
        EXPECT_EQ(m_device->CreateTexture(64, 64, 0, 0, kFormatA8R8G8B8, kPoolManaged, &texture), kOk);
        for (uint32_t level = 0; level < texture->GetLevelCount(); ++level)
        {
            LockedRect locked;
            EXPECT_EQ(texture->LockRect(level, &locked, nullptr, 0), kOk);
            const uint32_t edge = 64 >> level, step = 1u << level;
            for (uint32_t y = 0; y < edge; ++y)
                for (uint32_t x = 0; x < edge; ++x)
                {
                    // Box-filtered levels, as a mip chain generator makes them.
                    uint32_t sum[3] = {};
                    for (uint32_t j = 0; j < step; ++j)
                        for (uint32_t i = 0; i < step; ++i)
                            for (uint32_t c = 0; c < 3; ++c)
                                sum[c] += (Checker(x * step + i, y * step + j) >> (c * 8)) & 0xFF;
                    uint32_t argb = 0xFF000000u;
                    for (uint32_t c = 0; c < 3; ++c)
                        argb |= (sum[c] / (step * step)) << (c * 8);
                    memcpy(static_cast<uint8_t*>(locked.bits) + y * locked.pitch + x * 4, &argb, 4);
                }
            texture->UnlockRect(level);
        }
        return texture;
    }

    std::vector<uint8_t> Pixels()
    {
        std::vector<uint8_t> rgb;
        for (uint32_t y = 0; y < 32; ++y)
            for (uint32_t x = 0; x < 64; ++x)
            {
                const uint32_t argb = Probe(x, y);
                rgb.insert(rgb.end(), {uint8_t(argb >> 16), uint8_t(argb >> 8), uint8_t(argb)});
            }
        return rgb;
    }
};

TEST_F(GpuGoldenFrameTest, SceneFrameMatchesTheStoredImage)
{
    ClearTarget(0xFF4060A0u);
    m_device->SetRenderState(kRsCullMode, kCullNone);

    // The ground: a plane y = -1 seen from the origin through a 90-degree perspective (z in 0..1
    // between 0.5 and 50), its texture repeated eight times.
    GpuTexture* checker = MakeChecker();
    UseFamily("FixedPipelineReplacement.hlsl", {"TEXTURE"});
    const float n = 0.5f, f = 50.0f;
    const float projection[16] = {0.5f, 0, 0, 0, 0, 1, 0, 0, 0, 0, f / (f - n), 1, 0, 0, -n * f / (f - n), 0};
    SetMatrix("ModelViewProjMatrix", projection);
    m_device->SetTexture(0, checker);
    for (uint32_t s : {kSsMagFilter, kSsMinFilter, kSsMipFilter})
        m_device->SetSamplerState(0, s, kFilterLinear);
    const uint32_t white = 0xFFFFFFFFu;
    Draw(kPrimitiveTriangleStrip, 2,
         {{-8, -1, 1, 1, white, 0, 0}, {8, -1, 1, 1, white, 8, 0}, {-8, -1, 17, 1, white, 0, 8},
          {8, -1, 17, 1, white, 8, 8}});
    m_device->SetTexture(0, nullptr);

    // Two triangles crossing in depth: each wins where it is nearer.
    UseFamily("FixedPipelineReplacement.hlsl");
    SetIdentity();
    Draw(kPrimitiveTriangleList, 2,
         {At(4, 4, 0xFFFF0000u, 0.2f), At(30, 4, 0xFFFF0000u, 0.6f), At(4, 20, 0xFFFF0000u, 0.2f),
          At(6, 6, 0xFF00C000u, 0.6f), At(28, 8, 0xFF00C000u, 0.2f), At(10, 22, 0xFF00C000u, 0.6f)});

    // A half-transparent pane and a minimum stripe, without depth.
    m_device->SetRenderState(kRsZEnable, 0);
    m_device->SetRenderState(kRsAlphaBlendEnable, 1);
    m_device->SetRenderState(kRsSrcBlend, kBlendSrcAlpha);
    m_device->SetRenderState(kRsDestBlend, kBlendInvSrcAlpha);
    const uint32_t pane = 0x80FFFF00u;
    Draw(kPrimitiveTriangleStrip, 2, {At(36, 2, pane), At(60, 2, pane), At(36, 14, pane), At(60, 14, pane)});
    m_device->SetRenderState(kRsBlendOp, kBlendOpMin);
    m_device->SetRenderState(kRsSrcBlend, kBlendOne);
    m_device->SetRenderState(kRsDestBlend, kBlendOne);
    const uint32_t stripe = 0xFF60FF60u;
    Draw(kPrimitiveTriangleStrip, 2, {At(0, 26, stripe), At(64, 26, stripe), At(0, 29, stripe), At(64, 29, stripe)});

    // A glyph: the font family draws the vertex colour with the page's alpha.
    m_device->SetRenderState(kRsBlendOp, kBlendOpAdd);
    m_device->SetRenderState(kRsSrcBlend, kBlendSrcAlpha);
    m_device->SetRenderState(kRsDestBlend, kBlendInvSrcAlpha);
    GpuTexture* page = nullptr;
    ASSERT_EQ(m_device->CreateTexture(8, 8, 1, 0, kFormatA8, kPoolManaged, &page), kOk);
    LockedRect locked;
    ASSERT_EQ(page->LockRect(0, &locked, nullptr, 0), kOk);
    for (uint32_t y = 0; y < 8; ++y)
        for (uint32_t x = 0; x < 8; ++x)
            static_cast<uint8_t*>(locked.bits)[y * locked.pitch + x] = (x == 2 || y == 6) ? 0xFF : 0x00;
    page->UnlockRect(0);
    UseFamily("Font.hlsl");
    // Font vertices: whole pixels and texels as shorts, the colour as normalized shorts.
    struct GlyphVertex
    {
        int16_t x, y, u, v, color[4];
    };
    static constexpr VertexElement kGlyphLayout[] = {{0, 0, kDeclShort2, 0, kDeclUsagePosition, 0},
                                                     {0, 4, kDeclShort2, 0, kDeclUsageTexCoord, 0},
                                                     {0, 8, kDeclShort4N, 0, kDeclUsageTexCoord, 1},
                                                     kDeclEnd};
    GpuVertexDeclaration* glyphLayout = nullptr;
    ASSERT_EQ(m_device->CreateVertexDeclaration(kGlyphLayout, &glyphLayout), kOk);
    m_device->SetVertexDeclaration(glyphLayout);
    const float toClip[16] = {1.0f / 32, 0, 0, 0, 0, -1.0f / 16, 0, 0, 0, 0, 1, 0, -1, 1, 0, 1};
    SetMatrix("ModelViewProjMatrix", toClip);
    const float texelScale[4] = {1.0f / 8, 1.0f / 8, 1, 1};
    ASSERT_EQ(m_device->SetVertexShaderConstantF(Register(m_vertexShader, "TexelScale"), texelScale, 1), kOk);
    const float noOffset[4] = {0, 0, 0, 0};
    ASSERT_EQ(m_device->SetVertexShaderConstantF(Register(m_vertexShader, "PositionOffset"), noOffset, 1), kOk);
    m_device->SetTexture(0, page);
    const int16_t ink = int16_t(0x20 * 32767 / 255);
    const GlyphVertex glyph[4] = {{40, 17, 0, 0, {ink, ink, ink, 32767}},
                                  {48, 17, 8, 0, {ink, ink, ink, 32767}},
                                  {40, 25, 0, 8, {ink, ink, ink, 32767}},
                                  {48, 25, 8, 8, {ink, ink, ink, 32767}}};
    ASSERT_EQ(m_device->DrawPrimitiveUP(kPrimitiveTriangleStrip, 2, glyph, sizeof(GlyphVertex)), kOk);
    m_device->SetVertexDeclaration(m_declaration);
    glyphLayout->Release();
    m_device->SetTexture(0, nullptr);
    EXPECT_EQ(m_device->GetFrameStatistics().drawsWithoutProgram, 0u);

    const std::vector<uint8_t> frame = Pixels();
    const std::string path = ProjectSourcePath(kGolden);
    if (std::getenv("NORVEX_UPDATE_GOLDEN"))
    {
        std::ofstream out(path, std::ios::binary);
        out << "P6\n64 32\n255\n";
        out.write(reinterpret_cast<const char*>(frame.data()), std::streamsize(frame.size()));
        checker->Release();
        page->Release();
        GTEST_SKIP() << "rewrote " << path;
    }
    std::ifstream in(path, std::ios::binary);
    std::string magic;
    uint32_t width = 0, height = 0, depth = 0;
    in >> magic >> width >> height >> depth;
    in.get();
    std::vector<uint8_t> golden(frame.size());
    in.read(reinterpret_cast<char*>(golden.data()), std::streamsize(golden.size()));
    ASSERT_TRUE(in && magic == "P6" && width == 64 && height == 32 && depth == 255) << "no stored image at " << path;
    // Rounding may move a channel by a step or two; anything more is a different picture.
    uint32_t off = 0;
    for (size_t i = 0; i < frame.size(); ++i)
        if (std::abs(int(frame[i]) - int(golden[i])) > 2)
            ++off;
    EXPECT_LE(off, frame.size() / 200) << off << " channels differ from the stored image by more than 2";
    checker->Release();
    page->Release();
}
} // namespace
