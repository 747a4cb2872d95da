// Pixel probes of the video picture's program (data/shaders/Video.hlsl): the picture's share of the
// screen, the half-texel move that puts each pixel centre on a texel centre, and the scales of the
// luminance and colour texture coordinates.
#include "GpuRasterTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

namespace
{
constexpr uint32_t kLumaWidth = 64;
constexpr uint32_t kLumaHeight = 64;

// Luminance of texel (x, y): neighbours differ by at least 37 of 255, so a pixel that samples
// beside its texel, or between two, reads another value.
uint8_t Luma(uint32_t x, uint32_t y)
{
    return uint8_t(16 + (x * 37 + y * 73) % 211);
}

class VideoProgramTest : public GpuRasterFixture
{
protected:
    void SetUp() override
    {
        GpuRasterFixture::SetUp();
        ASSERT_EQ(m_device->CreateTexture(kLumaWidth, kLumaHeight, 1, 0, gpu::kFormatL8, gpu::kPoolManaged, &m_luma),
                  gpu::kOk);
        gpu::LockedRect locked;
        ASSERT_EQ(m_luma->LockRect(0, &locked, nullptr, 0), gpu::kOk);
        for (uint32_t y = 0; y < kLumaHeight; ++y)
            for (uint32_t x = 0; x < kLumaWidth; ++x)
                static_cast<uint8_t*>(locked.bits)[y * locked.pitch + x] = Luma(x, y);
        m_luma->UnlockRect(0);
        // Both chroma planes one ramp, rising by one per texel across and down from 112, so a
        // filtered sample tells where it was taken.
        ASSERT_EQ(m_device->CreateTexture(kLumaWidth, kLumaHeight, 1, 0, gpu::kFormatL8, gpu::kPoolManaged, &m_chroma),
                  gpu::kOk);
        ASSERT_EQ(m_chroma->LockRect(0, &locked, nullptr, 0), gpu::kOk);
        for (uint32_t y = 0; y < kLumaHeight; ++y)
            for (uint32_t x = 0; x < kLumaWidth; ++x)
                static_cast<uint8_t*>(locked.bits)[y * locked.pitch + x] = uint8_t(112 + x + y);
        m_chroma->UnlockRect(0);
    }
    void TearDown() override
    {
        gpu::SafeRelease(m_luma);
        gpu::SafeRelease(m_chroma);
        GpuRasterFixture::TearDown();
    }

    gpu::GpuTexture* m_luma = nullptr;
    gpu::GpuTexture* m_chroma = nullptr;
};

// The picture is half the screen wide and high (pixels 16 to 47 of 64, rows 8 to 23 of 32); the
// texture coordinates are scaled by (0.5, 0.25), so over a 64 x 64 luminance plane each pixel
// centre lands on one texel's centre: pixel (16 + i, 8 + j) shows texel (i, j) alone, even through
// bilinear filtering. The colour coordinates are halved again, so that pixel's chroma is sampled
// at texel (i / 2 - 1/4, j / 2 - 1/4), clamped at the edge.
TEST_F(VideoProgramTest, EachPixelOfThePictureShowsTheTexelUnderItsCentre)
{
    UseFamily("Video.hlsl");
    m_device->SetRenderState(gpu::kRsZEnable, 0);
    m_device->SetRenderState(gpu::kRsCullMode, gpu::kCullNone);
    const float offset[4] = {0.5f, 0.25f, 0.5f / 64.0f, 0.5f / 32.0f};
    const float scale[4] = {0.5f, 0.5f, 0.5f, 0.5f};
    ASSERT_EQ(m_device->SetVertexShaderConstantF(Register(m_vertexShader, "VideoTexelOffset"), offset, 1), gpu::kOk);
    ASSERT_EQ(m_device->SetVertexShaderConstantF(Register(m_vertexShader, "VideoPictureScale"), scale, 1), gpu::kOk);
    gpu::GpuTexture* const planes[3] = {m_luma, m_chroma, m_chroma};
    for (uint32_t stage = 0; stage < 3; ++stage)
    {
        m_device->SetTexture(stage, planes[stage]);
        m_device->SetSamplerState(stage, gpu::kSsAddressU, gpu::kAddressClamp);
        m_device->SetSamplerState(stage, gpu::kSsAddressV, gpu::kAddressClamp);
        m_device->SetSamplerState(stage, gpu::kSsMagFilter, gpu::kFilterLinear);
        m_device->SetSamplerState(stage, gpu::kSsMinFilter, gpu::kFilterLinear);
    }
    const uint32_t background = 0xFF00FF00u;
    ClearTarget(background);
    // The engine's quad: top-left first, texture coordinates from (0, 0) at the top left.
    const std::vector<ProbeVertex> quad = {{-1, 1, 0.5f, 1, 0, 0, 0},
                                           {1, 1, 0.5f, 1, 0, 1, 0},
                                           {1, -1, 0.5f, 1, 0, 1, 1},
                                           {-1, -1, 0.5f, 1, 0, 0, 1}};
    Draw(gpu::kPrimitiveTriangleFan, 2, quad);

    struct Probe
    {
        uint32_t x, y;
        int32_t texelX, texelY; // -1: outside the picture
    };
    const Probe probes[] = {
        {16, 8, 0, 0},   {47, 8, 31, 0},   {16, 23, 0, 15}, {47, 23, 31, 15}, {32, 16, 16, 8},
        {15, 8, -1, -1}, {48, 23, -1, -1}, {16, 7, -1, -1}, {47, 24, -1, -1},
    };
    for (const Probe& p : probes)
    {
        SCOPED_TRACE(testing::Message() << "pixel (" << p.x << ", " << p.y << ")");
        const gpu::Color4f pixel = BackBuffer()->ReadPixel(p.x, p.y);
        if (p.texelX < 0)
        {
            EXPECT_EQ(BackBuffer()->ReadPixelArgb(p.x, p.y), background);
            continue;
        }
        // Luminance from video range, plus the red share of the chroma ramp (both planes alike).
        const float luma = float(Luma(uint32_t(p.texelX), uint32_t(p.texelY))) / 255.0f;
        const float grey = 1.164f * (luma - 0.0625f);
        const float chroma = (112.0f + std::max(float(p.texelX) / 2.0f - 0.25f, 0.0f) +
                              std::max(float(p.texelY) / 2.0f - 0.25f, 0.0f) - 127.5f) / 255.0f;
        EXPECT_NEAR(pixel.r, std::clamp(grey + 1.596f * chroma, 0.0f, 1.0f), 1.5f / 255.0f);
        EXPECT_NEAR(pixel.g, std::clamp(grey - 1.205f * chroma, 0.0f, 1.0f), 1.5f / 255.0f);
    }
}
} // namespace
