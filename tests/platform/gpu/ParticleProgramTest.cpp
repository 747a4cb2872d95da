// Pixel probes of the particle program (data/shaders/Particle.hlsl): the blend towards the next
// frame's texel and the desaturation towards the luminance.
#include "GpuRasterTestSupport.h"

#include <gtest/gtest.h>

#include <cstring>

namespace
{
struct ParticleVertex
{
    float x, y, z, w;
    uint32_t segment; // node / 255, blend, frame blend as colour bytes r, g, b
    float u, v, nextU, nextV;
};

class ParticleProgramTest : public GpuRasterFixture
{
protected:
    static constexpr gpu::VertexElement kParticleLayout[] = {
        {0, 0, gpu::kDeclFloat4, 0, gpu::kDeclUsagePosition, 0},
        {0, 16, gpu::kDeclColor, 0, gpu::kDeclUsageColor, 0},
        {0, 20, gpu::kDeclFloat4, 0, gpu::kDeclUsageTexCoord, 0},
        gpu::kDeclEnd};

    void SetUp() override
    {
        GpuRasterFixture::SetUp();
        ASSERT_EQ(m_device->CreateVertexDeclaration(kParticleLayout, &m_particleDeclaration), gpu::kOk);
        ASSERT_EQ(m_device->SetVertexDeclaration(m_particleDeclaration), gpu::kOk);
        m_device->SetRenderState(gpu::kRsZEnable, 0);
        m_device->SetRenderState(gpu::kRsCullMode, gpu::kCullNone);
        // Two texels: red for this frame, blue for the next.
        ASSERT_EQ(m_device->CreateTexture(2, 1, 1, 0, gpu::kFormatA8R8G8B8, gpu::kPoolManaged, &m_texture), gpu::kOk);
        gpu::LockedRect locked;
        ASSERT_EQ(m_texture->LockRect(0, &locked, nullptr, 0), gpu::kOk);
        const uint32_t texels[2] = {0xFFFF0000u, 0xFF0000FFu};
        std::memcpy(locked.bits, texels, sizeof(texels));
        m_texture->UnlockRect(0);
    }
    void TearDown() override
    {
        if (m_device)
        {
            m_device->SetTexture(0, nullptr);
            m_device->SetVertexDeclaration(nullptr);
        }
        gpu::SafeRelease(m_texture);
        gpu::SafeRelease(m_particleDeclaration);
        GpuRasterFixture::TearDown();
    }

    // A quad over pixels (8, 4) to (24, 12) whose frame blend is `frameBlend` / 255.
    gpu::Color4f DrawQuad(const std::vector<std::string>& defines, uint8_t frameBlend, float desaturation)
    {
        UseFamily("Particle.hlsl", defines);
        SetIdentity();
        const float white[4] = {1, 1, 1, 1};
        m_device->SetVertexShaderConstantF(Register(m_vertexShader, "NodeColors"), white, 1);
        m_device->SetVertexShaderConstantF(Register(m_vertexShader, "NodeColors") + 1, white, 1);
        m_device->SetVertexShaderConstantF(Register(m_vertexShader, "ConstantColor"), white, 1);
        if (desaturation >= 0.0f)
        {
            const float amount[4] = {desaturation, 0, 0, 0};
            m_device->SetPixelShaderConstantF(Register(m_pixelShader, "Desaturation"), amount, 1);
        }
        m_device->SetTexture(0, m_texture);
        const uint32_t segment = 0xFF000000u | uint32_t(frameBlend);
        auto at = [segment](float x, float y) {
            return ParticleVertex{ClipX(x), ClipY(y), 0.5f, 1.0f, segment, 0.25f, 0.5f, 0.75f, 0.25f};
        };
        const ParticleVertex quad[4] = {at(8, 4), at(24, 4), at(8, 12), at(24, 12)};
        EXPECT_EQ(m_device->DrawPrimitiveUP(gpu::kPrimitiveTriangleStrip, 2, quad, sizeof(ParticleVertex)), gpu::kOk);
        return BackBuffer()->ReadPixel(12, 8);
    }

    gpu::GpuVertexDeclaration* m_particleDeclaration = nullptr;
    gpu::GpuTexture* m_texture = nullptr;
};

TEST_F(ParticleProgramTest, FramesBlendTowardsTheNextTexelAndDesaturateTowardsTheLuminance)
{
    const float b = 64.0f / 255.0f;
    struct Case
    {
        std::vector<std::string> defines;
        float desaturation;
        float r, g, blue;
    };
    // Red and blue mixed by the frame blend; then half way to the luminance of that mix.
    const float l = 0.2126f * (1.0f - b) + 0.0722f * b;
    const Case cases[] = {
        {{"BLEND_ALPHA"}, -1.0f, 1.0f, 0.0f, 0.0f},
        {{"BLEND_ALPHA", "TEXTURE_FRAME_INTERPOLATION"}, -1.0f, 1.0f - b, 0.0f, b},
        {{"BLEND_ALPHA", "TEXTURE_FRAME_INTERPOLATION", "TEXTURE_DESATURATION"}, 0.5f, (1.0f - b + l) * 0.5f, l * 0.5f,
         (b + l) * 0.5f},
    };
    for (const Case& c : cases)
    {
        const gpu::Color4f pixel = DrawQuad(c.defines, 64, c.desaturation);
        EXPECT_NEAR(pixel.r, c.r, 1.5f / 255.0f) << c.defines.back();
        EXPECT_NEAR(pixel.g, c.g, 1.5f / 255.0f) << c.defines.back();
        EXPECT_NEAR(pixel.b, c.blue, 1.5f / 255.0f) << c.defines.back();
    }
}
} // namespace
