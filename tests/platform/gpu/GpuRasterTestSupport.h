// A device fixture for pixel probes: compiles the project's own shader sources (data/shaders) with
// the reflection compiler, binds them with a simple vertex layout and draws from memory. Test
// thread only.
#pragma once

#include "GpuTestSupport.h"

#include "support/ShaderSourceFolder.h"

#include <algorithm>
#include <map>

// Position, packed ARGB colour and one texture-coordinate pair: 24 bytes.
struct ProbeVertex
{
    float x, y, z, w;
    uint32_t color;
    float u, v;
};

// FNV-1a over every row's bytes.
inline uint64_t HashSurface(const gpu::GpuSurface& surface)
{
    uint64_t hash = 14695981039346656037ull;
    const size_t rowBytes = size_t(surface.Desc().width) * surface.Info().blockBytes;
    for (uint32_t y = 0; y < surface.Desc().height; ++y)
        for (size_t i = 0; i < rowBytes; ++i)
            hash = (hash ^ surface.Bits()[size_t(y) * surface.Pitch() + i]) * 1099511628211ull;
    return hash;
}

class GpuRasterFixture : public GpuDeviceFixture
{
protected:
    static constexpr gpu::VertexElement kLayout[] = {
        {0, 0, gpu::kDeclFloat4, 0, gpu::kDeclUsagePosition, 0},
        {0, 16, gpu::kDeclColor, 0, gpu::kDeclUsageColor, 0},
        {0, 20, gpu::kDeclFloat2, 0, gpu::kDeclUsageTexCoord, 0},
        gpu::kDeclEnd};

    void SetUp() override
    {
        GpuDeviceFixture::SetUp();
        ASSERT_EQ(m_device->CreateVertexDeclaration(kLayout, &m_declaration), gpu::kOk);
        ASSERT_EQ(m_device->SetVertexDeclaration(m_declaration), gpu::kOk);
        ASSERT_EQ(m_device->BeginScene(), gpu::kOk);
    }
    void TearDown() override
    {
        if (m_device && m_device->IsInScene())
            m_device->EndScene();
        if (m_device)
        {
            m_device->SetVertexShader(nullptr);
            m_device->SetPixelShader(nullptr);
            m_device->SetVertexDeclaration(nullptr);
            for (uint32_t i = 0; i < gpu::kSamplerCount; ++i)
                m_device->SetTexture(i, nullptr);
        }
        for (gpu::GpuTexture*& texture : m_textures)
            gpu::SafeRelease(texture);
        gpu::SafeRelease(m_vertexShader);
        gpu::SafeRelease(m_pixelShader);
        gpu::SafeRelease(m_declaration);
        GpuDeviceFixture::TearDown();
    }

    // Binds both stages of a source (a file of data/shaders or text) with the given option macros.
    void UseShaders(const std::string& source, const std::vector<std::string>& defines = {})
    {
        gpu::SafeRelease(m_vertexShader);
        gpu::SafeRelease(m_pixelShader);
        const std::vector<uint8_t> vs = CompileShaderText(source, "vertex", "vs_3_0", defines);
        const std::vector<uint8_t> ps = CompileShaderText(source, "pixel", "ps_3_0", defines);
        ASSERT_EQ(m_device->CreateVertexShader(vs.data(), vs.size(), &m_vertexShader), gpu::kOk);
        ASSERT_EQ(m_device->CreatePixelShader(ps.data(), ps.size(), &m_pixelShader), gpu::kOk);
        ASSERT_EQ(m_device->SetVertexShader(m_vertexShader), gpu::kOk);
        ASSERT_EQ(m_device->SetPixelShader(m_pixelShader), gpu::kOk);
    }
    void UseFamily(const char* file, const std::vector<std::string>& defines = {})
    {
        UseShaders(ShaderFolderIncludes::ReadShaderSource(file), defines);
    }

    // Uploads a matrix given row by row (row vectors times it) where the vertex shader reads it.
    void SetMatrix(const char* name, const float rows[16])
    {
        float columns[16];
        for (uint32_t r = 0; r < 4; ++r)
            for (uint32_t c = 0; c < 4; ++c)
                columns[c * 4 + r] = rows[r * 4 + c];
        ASSERT_EQ(m_device->SetVertexShaderConstantF(Register(m_vertexShader, name), columns, 4), gpu::kOk);
    }
    void SetIdentity(const char* name = "ModelViewProjMatrix")
    {
        const float identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
        SetMatrix(name, identity);
    }
    static uint32_t Register(const gpu::GpuShader* shader, const char* name)
    {
        for (const gpu::ShaderConstant& c : shader->Code().constants)
            if (c.name == name)
                return c.registerIndex;
        ADD_FAILURE() << "the shader reads no " << name;
        return 0;
    }

    // Window pixel (x, y) of the 64x32 back buffer in clip space.
    static float ClipX(float x) { return x / 32.0f - 1.0f; }
    static float ClipY(float y) { return 1.0f - y / 16.0f; }
    static ProbeVertex At(float x, float y, uint32_t color, float z = 0.5f, float u = 0, float v = 0)
    {
        return {ClipX(x), ClipY(y), z, 1.0f, color, u, v};
    }

    void Draw(uint32_t type, uint32_t primitives, const std::vector<ProbeVertex>& vertices)
    {
        ASSERT_EQ(m_device->DrawPrimitiveUP(type, primitives, vertices.data(), sizeof(ProbeVertex)), gpu::kOk);
    }
    void ClearTarget(uint32_t color)
    {
        ASSERT_EQ(m_device->Clear(0, nullptr, gpu::kClearTarget | gpu::kClearDepth | gpu::kClearStencil, color, 1.0f,
                                  0),
                  gpu::kOk);
    }
    uint32_t Probe(uint32_t x, uint32_t y) { return BackBuffer()->ReadPixelArgb(x, y) | 0xFF000000u; }

    // A managed texture of ARGB texels, row by row, bound to a stage with one filter and clamped.
    gpu::GpuTexture* BindTexture(uint32_t stage, uint32_t width, uint32_t height, const std::vector<uint32_t>& texels,
                                 uint32_t filter)
    {
        gpu::GpuTexture* texture = nullptr;
        EXPECT_EQ(m_device->CreateTexture(width, height, 1, 0, gpu::kFormatA8R8G8B8, gpu::kPoolManaged, &texture),
                  gpu::kOk);
        gpu::LockedRect locked{};
        EXPECT_EQ(texture->LockRect(0, &locked, nullptr, 0), gpu::kOk);
        for (uint32_t y = 0; y < height; ++y)
            std::copy_n(texels.begin() + y * width, width,
                        reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(locked.bits) + y * locked.pitch));
        texture->UnlockRect(0);
        m_device->SetTexture(stage, texture);
        for (uint32_t state : {gpu::kSsMinFilter, gpu::kSsMagFilter})
            m_device->SetSamplerState(stage, state, filter);
        for (uint32_t state : {gpu::kSsAddressU, gpu::kSsAddressV})
            m_device->SetSamplerState(stage, state, gpu::kAddressClamp);
        m_textures.push_back(texture);
        return texture;
    }
    void TearDownTextures()
    {
        for (uint32_t i = 0; i < gpu::kSamplerCount; ++i)
            m_device->SetTexture(i, nullptr);
        for (gpu::GpuTexture*& texture : m_textures)
            gpu::SafeRelease(texture);
        m_textures.clear();
    }

    gpu::GpuVertexDeclaration* m_declaration = nullptr;
    gpu::GpuVertexShader* m_vertexShader = nullptr;
    gpu::GpuPixelShader* m_pixelShader = nullptr;
    std::vector<gpu::GpuTexture*> m_textures;
};
