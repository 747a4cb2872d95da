// The exact bytes a few representative passes leave in their targets, so a faster rasteriser that
// changes any pixel shows here: the tone-mapping composite from a half-float scene, a blur into a
// half-float target, a radial zoom blur, edge smoothing, a textured plane in perspective through
// mip levels with blending and sRGB, point sampling under every address mode with a level bias, and
// depth, stencil, write masks and blend operations on overlapping triangles. The hashes were taken
// from the straightforward per-pixel rasteriser; a mismatch prints the new one.
#include "GpuRasterTestSupport.h"

#include "platform/gpu/GpuFormat.h"

#include <cstring>

using namespace gpu;

namespace
{
class RasterPassPixelsTest : public GpuRasterFixture
{
protected:
    void TearDown() override
    {
        for (GpuBaseTexture* texture : m_textures)
            texture->Release();
        GpuRasterFixture::TearDown();
    }

    // A small deterministic generator, so every run fills the same texels.
    float Next(float low, float high)
    {
        m_seed = m_seed * 1664525u + 1013904223u;
        return low + (high - low) * float(m_seed >> 8) / float(1u << 24);
    }

    // Every texel of every level: ARGB bytes or half floats in [low, high].
    GpuTexture* MakeTexture(uint32_t width, uint32_t height, uint32_t levels, Format format, float low = 0.0f,
                            float high = 1.0f)
    {
        GpuTexture* texture = nullptr;
        EXPECT_EQ(m_device->CreateTexture(width, height, levels, 0, format, kPoolManaged, &texture), kOk);
        m_textures.push_back(texture);
        for (uint32_t level = 0; level < texture->GetLevelCount(); ++level)
        {
            LockedRect locked;
            EXPECT_EQ(texture->LockRect(level, &locked, nullptr, 0), kOk);
            const uint32_t w = std::max(width >> level, 1u), h = std::max(height >> level, 1u);
            for (uint32_t y = 0; y < h; ++y)
                for (uint32_t x = 0; x < w; ++x)
                {
                    uint8_t* texel = static_cast<uint8_t*>(locked.bits) + y * locked.pitch;
                    if (format == kFormatA16B16G16R16F)
                        for (uint32_t c = 0; c < 4; ++c)
                        {
                            const uint16_t half = FloatToHalf(Next(low, high));
                            memcpy(texel + x * 8 + c * 2, &half, 2);
                        }
                    else
                        for (uint32_t c = 0; c < 4; ++c)
                            texel[x * 4 + c] = uint8_t(Next(low, high) * 255.0f);
                }
            texture->UnlockRect(level);
        }
        return texture;
    }

    GpuSurface* MakeTarget(Format format, uint32_t width = 64, uint32_t height = 32)
    {
        GpuTexture* texture = nullptr;
        EXPECT_EQ(m_device->CreateTexture(width, height, 1, kUsageRenderTarget, format, kPoolDefault, &texture), kOk);
        m_textures.push_back(texture);
        return texture->PeekSurface(0, 0);
    }

    void SetLinear(uint32_t stage, uint32_t address)
    {
        for (uint32_t s : {kSsMagFilter, kSsMinFilter})
            m_device->SetSamplerState(stage, s, kFilterLinear);
        m_device->SetSamplerState(stage, kSsAddressU, address);
        m_device->SetSamplerState(stage, kSsAddressV, address);
    }

    void SetPixelConstant(const char* name, float x, float y, float z, float w)
    {
        const float value[4] = {x, y, z, w};
        ASSERT_EQ(m_device->SetPixelShaderConstantF(Register(m_pixelShader, name), value, 1), kOk);
    }

    // The whole 64x32 target as the post-processing passes draw it: a fan with the texture's corners.
    void DrawFullScreen(float u0 = 0.0f, float v0 = 0.0f, float u1 = 1.0f, float v1 = 1.0f)
    {
        Draw(kPrimitiveTriangleFan, 2,
             {{-1, 1, 0, 1, 0xFFFFFFFFu, u0, v0}, {1, 1, 0, 1, 0xFFFFFFFFu, u1, v0},
              {1, -1, 0, 1, 0xFFFFFFFFu, u1, v1}, {-1, -1, 0, 1, 0xFFFFFFFFu, u0, v1}});
    }

    void ExpectHash(const GpuSurface& surface, uint64_t expected)
    {
        EXPECT_EQ(HashSurface(surface), expected) << "0x" << std::hex << HashSurface(surface);
    }

    std::vector<GpuBaseTexture*> m_textures;
    uint32_t m_seed = 12345;
};

TEST_F(RasterPassPixelsTest, TheCompositeOfAHalfFloatSceneKeepsItsBytes)
{
    m_device->SetRenderState(kRsZEnable, 0);
    m_device->SetRenderState(kRsCullMode, kCullNone);
    m_device->SetTexture(0, MakeTexture(64, 32, 1, kFormatA16B16G16R16F, -0.25f, 5.0f));
    m_device->SetTexture(1, MakeTexture(32, 16, 1, kFormatA8R8G8B8));
    m_device->SetTexture(2, MakeTexture(64, 32, 1, kFormatA8R8G8B8));
    m_device->SetTexture(3, MakeTexture(256, 1, 1, kFormatA8R8G8B8));
    m_device->SetTexture(4, MakeTexture(256, 1, 1, kFormatA8R8G8B8));
    for (uint32_t stage = 0; stage < 5; ++stage)
        SetLinear(stage, kAddressClamp);
    UseFamily("Postprocess.hlsl", {"ENABLED", "OUTLINES", "LUM_IN_ALPHA"});
    SetPixelConstant("CompositeColor", 1.0f, 0.9f, 1.1f, 1.0f);
    SetPixelConstant("GlowColor", 0.7f, 0.8f, 0.9f, 0.0f);
    SetPixelConstant("NonGlowColor", 1.0f, 0.95f, 0.9f, 0.0f);
    SetPixelConstant("Shading", 1.3f, 1.1f, 0.8f, 0.0f);
    SetPixelConstant("AtlasShare", 1.0f / 32, 1.0f / 16, 0.5f, 0.25f);
    SetPixelConstant("Vignette", 0.3f, 0.4f, 0.5625f, 0.0f);
    // The vertex shader moves the corners by half a texel.
    const float shift[4] = {1.0f / 64, 1.0f / 32, 0.5f / 64, 0.5f / 32};
    ASSERT_EQ(m_device->SetVertexShaderConstantF(Register(m_vertexShader, "TexelShift"), shift, 1), kOk);
    DrawFullScreen();
    ExpectHash(*BackBuffer(), 0xb29f144823acba4cull);
}

// The vignette's share of a flat scene, through identity tables: none inside "start", falling to
// 1 - "end" at the corners. The defaults (0, 0.1, 0.8) darken the corners by a tenth, not to black.
TEST_F(RasterPassPixelsTest, TheVignetteDarkensTowardsTheCornersByItsEndShare)
{
    m_device->SetRenderState(kRsZEnable, 0);
    m_device->SetRenderState(kRsCullMode, kCullNone);
    m_device->SetTexture(0, MakeTexture(64, 32, 1, kFormatA16B16G16R16F, 2.0f, 2.0f));
    m_device->SetTexture(1, MakeTexture(32, 16, 1, kFormatA8R8G8B8, 0.0f, 0.0f));
    GpuTexture* identity = MakeTexture(256, 1, 1, kFormatA8R8G8B8);
    LockedRect locked;
    ASSERT_EQ(identity->LockRect(0, &locked, nullptr, 0), kOk);
    for (uint32_t i = 0; i < 256 * 4; ++i)
        static_cast<uint8_t*>(locked.bits)[i] = uint8_t(i / 4);
    identity->UnlockRect(0);
    m_device->SetTexture(3, identity);
    m_device->SetTexture(4, identity);
    for (uint32_t stage = 0; stage < 5; ++stage)
        SetLinear(stage, kAddressClamp);
    UseFamily("Postprocess.hlsl", {"ENABLED"});
    SetPixelConstant("CompositeColor", 1.0f, 1.0f, 1.0f, 1.0f);
    SetPixelConstant("GlowColor", 0.0f, 0.0f, 0.0f, 0.0f);
    SetPixelConstant("NonGlowColor", 1.0f, 1.0f, 1.0f, 0.0f);
    SetPixelConstant("Shading", 1.0f, 1.0f, 1.0f, 0.0f);
    SetPixelConstant("AtlasShare", 1.0f / 32, 1.0f / 16, 0.5f, 0.5f);
    const auto draw = [&](float start, float end, float aspect) {
        SetPixelConstant("Vignette", start, end, aspect, 0.0f);
        DrawFullScreen(0.5f / 64, 0.5f / 32, 1.0f + 0.5f / 64, 1.0f + 0.5f / 32);
    };
    draw(0.0f, 0.0f, 0.8f);
    const float plain = float(Probe(0, 0) & 0xFFu);
    ASSERT_GT(plain, 120.0f);
    struct Case
    {
        float start, end, aspect;
        uint32_t x, y;
        float keep;
    };
    const Case cases[] = {
        {0.0f, 0.1f, 0.8f, 0, 0, 0.900f},   {0.0f, 0.1f, 0.8f, 16, 16, 0.968f}, {0.0f, 0.1f, 0.8f, 32, 16, 1.0f},
        {1.0f, 0.1f, 0.8f, 0, 0, 1.0f},     {0.2f, 1.0f, 1.0f, 0, 0, 0.003f},   {0.2f, 1.0f, 1.0f, 32, 16, 1.0f},
        {0.2f, 1.0f, 1.0f, 48, 16, 0.963f}, {0.2f, 2.0f, 1.0f, 48, 16, 0.963f}, {0.2f, 1.0f, 0.0f, 32, 0, 1.0f},
    };
    for (const Case& c : cases)
    {
        draw(c.start, c.end, c.aspect);
        EXPECT_NEAR(float(Probe(c.x, c.y) & 0xFFu), plain * c.keep, 2.0f)
            << c.start << ", " << c.end << ", " << c.aspect << " at " << c.x << ", " << c.y;
    }
}

TEST_F(RasterPassPixelsTest, ABlurIntoHalfFloatsKeepsItsBytes)
{
    GpuSurface* target = MakeTarget(kFormatA16B16G16R16F);
    ASSERT_EQ(m_device->SetRenderTarget(0, target), kOk);
    m_device->SetRenderState(kRsZEnable, 0);
    m_device->SetTexture(0, MakeTexture(32, 16, 1, kFormatA16B16G16R16F, -1.0f, 3.0f));
    SetLinear(0, kAddressWrap);
    UseFamily("GaussBlur.hlsl");
    SetPixelConstant("BlurStep", 1.0f / 32, 0.5f / 16, 0.0f, 0.0f);
    SetPixelConstant("BlurWeights", 0.3f, 0.2f, 0.1f, 0.05f);
    SetPixelConstant("BlurOffsets", 1.5f, 3.5f, 5.5f, 0.0f);
    DrawFullScreen(-0.3f, 0.1f, 1.7f, 1.2f);
    ExpectHash(*target, 0xa4cafec15ba169b0ull);
}

TEST_F(RasterPassPixelsTest, AZoomBlurKeepsItsBytes)
{
    m_device->SetRenderState(kRsZEnable, 0);
    m_device->SetTexture(0, MakeTexture(64, 32, 1, kFormatA8R8G8B8));
    SetLinear(0, kAddressClamp);
    UseFamily("ZoomBlur.hlsl");
    SetPixelConstant("Zoom", -0.2f, 0.4f, 0.8f, 0.0f);
    DrawFullScreen();
    ExpectHash(*BackBuffer(), 0xe4892432ab998ba5ull);
}

TEST_F(RasterPassPixelsTest, AnEdgeSmoothingPassKeepsItsBytes)
{
    m_device->SetRenderState(kRsZEnable, 0);
    m_device->SetTexture(0, MakeTexture(64, 32, 1, kFormatA8R8G8B8));
    UseFamily("FXAA.hlsl");
    const float region[4] = {1.0f, 1.0f, 0.0f, 0.0f};
    ASSERT_EQ(m_device->SetVertexShaderConstantF(Register(m_vertexShader, "RegionScale"), region, 1), kOk);
    SetPixelConstant("Texel", 1.0f / 64, 1.0f / 32, 0.0f, 0.0f);
    SetPixelConstant("DesktopFactors", 0.75f, 0.166f, 0.0833f, 0.0f);
    DrawFullScreen();
    ExpectHash(*BackBuffer(), 0x1d0df226a28cafc6ull);
}

TEST_F(RasterPassPixelsTest, ATexturedPlaneThroughMipLevelsKeepsItsBytes)
{
    m_device->SetRenderState(kRsCullMode, kCullNone);
    ClearTarget(0xFF405060u);
    UseFamily("FixedPipelineReplacement.hlsl", {"TEXTURE"});
    const float n = 0.5f, f = 50.0f;
    const float projection[16] = {0.5f, 0, 0, 0, 0, 1, 0, 0, 0, 0, f / (f - n), 1, 0, 0, -n * f / (f - n), 0};
    SetMatrix("ModelViewProjMatrix", projection);
    m_device->SetTexture(0, MakeTexture(64, 32, 0, kFormatA8R8G8B8));
    SetLinear(0, kAddressWrap);
    m_device->SetSamplerState(0, kSsMipFilter, kFilterLinear);
    const uint32_t tint = 0xC0FFE0C0u;
    Draw(kPrimitiveTriangleStrip, 2,
         {{-8, -1, 1, 1, tint, 0, 0}, {8, -1, 1, 1, tint, 6, 0}, {-8, -1, 17, 1, tint, 0, 9},
          {8, -1, 17, 1, tint, 6, 9}});
    // Blended over itself with the nearest level, sRGB reads and writes.
    m_device->SetRenderState(kRsAlphaBlendEnable, 1);
    m_device->SetRenderState(kRsSrcBlend, kBlendSrcAlpha);
    m_device->SetRenderState(kRsDestBlend, kBlendInvSrcAlpha);
    m_device->SetRenderState(kRsSrgbWriteEnable, 1);
    m_device->SetSamplerState(0, kSsSrgbTexture, 1);
    m_device->SetSamplerState(0, kSsMipFilter, kFilterPoint);
    m_device->SetSamplerState(0, kSsMinFilter, kFilterPoint);
    Draw(kPrimitiveTriangleStrip, 2,
         {{-4, -1, 2, 1, tint, 0, 0}, {4, -1, 2, 1, tint, 3, 0}, {-4, -1, 9, 1, tint, 0, 4},
          {4, -1, 9, 1, tint, 3, 4}});
    ExpectHash(*BackBuffer(), 0x08db190b2c10f782ull);
}

TEST_F(RasterPassPixelsTest, PointSamplingUnderEveryAddressModeKeepsItsBytes)
{
    m_device->SetRenderState(kRsZEnable, 0);
    UseFamily("FixedPipelineReplacement.hlsl", {"TEXTURE"});
    SetIdentity();
    m_device->SetTexture(0, MakeTexture(16, 8, 0, kFormatA8R8G8B8));
    m_device->SetSamplerState(0, kSsBorderColor, 0xFF20C040u);
    const float bias = -0.25f;
    uint32_t biasBits;
    memcpy(&biasBits, &bias, 4);
    m_device->SetSamplerState(0, kSsMipMapLodBias, biasBits);
    m_device->SetSamplerState(0, kSsMagFilter, kFilterLinear);
    m_device->SetSamplerState(0, kSsMipFilter, kFilterPoint);
    // Each strip squeezes more texels into its pixels: magnified, then one, two and three levels down.
    const uint32_t modes[4] = {kAddressWrap, kAddressMirror, kAddressClamp, kAddressBorder};
    for (uint32_t i = 0; i < 4; ++i)
    {
        m_device->SetSamplerState(0, kSsAddressU, modes[i]);
        m_device->SetSamplerState(0, kSsAddressV, modes[3 - i]);
        const float x0 = float(i) * 16, x1 = x0 + 16, u1 = -1.3f + 0.8f * float(i + 1);
        Draw(kPrimitiveTriangleStrip, 2,
             {At(x0, 0, 0xFFFFFFFFu, 0.5f, -1.3f, -0.7f), At(x1, 0, 0xFFFFFFFFu, 0.5f, u1, -0.7f),
              At(x0, 32, 0xFFFFFFFFu, 0.5f, -1.3f, 1.9f), At(x1, 32, 0xFFFFFFFFu, 0.5f, u1, 1.9f)});
    }
    ExpectHash(*BackBuffer(), 0x494b43f501982ed1ull);
}

TEST_F(RasterPassPixelsTest, DepthStencilMasksAndBlendOperationsKeepTheirBytes)
{
    m_device->SetRenderState(kRsCullMode, kCullNone);
    ClearTarget(0xFF202020u);
    UseFamily("FixedPipelineReplacement.hlsl");
    SetIdentity();
    m_device->SetRenderState(kRsStencilEnable, 1);
    m_device->SetRenderState(kRsStencilFunc, kCmpAlways);
    m_device->SetRenderState(kRsStencilPass, kStencilIncr);
    m_device->SetRenderState(kRsStencilZFail, kStencilInvert);
    Draw(kPrimitiveTriangleList, 2,
         {At(2, 2, 0xFFFF4000u, 0.3f), At(50, 6, 0xFF8000FFu, 0.7f), At(8, 30, 0xFF00FF80u, 0.5f),
          At(60, 1, 0x8040C0FFu, 0.6f), At(62, 31, 0x80FF8020u, 0.2f), At(6, 18, 0x8010FF10u, 0.4f)});
    // Where the stencil counts two, subtract the new colour through a mask without alpha.
    m_device->SetRenderState(kRsStencilFunc, kCmpEqual);
    m_device->SetRenderState(kRsStencilRef, 2);
    m_device->SetRenderState(kRsStencilPass, kStencilKeep);
    m_device->SetRenderState(kRsZFunc, kCmpGreaterEqual);
    m_device->SetRenderState(kRsZWriteEnable, 0);
    m_device->SetRenderState(kRsAlphaBlendEnable, 1);
    m_device->SetRenderState(kRsBlendOp, kBlendOpRevSubtract);
    m_device->SetRenderState(kRsSrcBlend, kBlendDestColor);
    m_device->SetRenderState(kRsDestBlend, kBlendSrcAlphaSat);
    m_device->SetRenderState(kRsColorWriteEnable, 0x7);
    Draw(kPrimitiveTriangleStrip, 2,
         {At(0, 0, 0x60A0A0A0u, 0.9f), At(64, 0, 0x60A0A0A0u, 0.9f), At(0, 32, 0x60A0A0A0u, 0.9f),
          At(64, 32, 0x60A0A0A0u, 0.9f)});
    ExpectHash(*BackBuffer(), 0x242fb3e2e2707947ull);
    GpuSurface* depth = nullptr;
    ASSERT_EQ(m_device->GetDepthStencilSurface(&depth), kOk);
    ExpectHash(*depth, 0x4de216ac75c79a63ull);
    depth->Release();
}
} // namespace
