// One scene through the rasteriser under every render state, sampler state, primitive type, vertex
// element type, texture format and target format it reads: each case is a block with the pixels it
// wrote and hashes of the colour target and the depth-stencil surface, against the stored copy (so
// a change to any pixel names its case). NORVEX_UPDATE_GOLDEN=1 rewrites the copy.
#include "GpuRasterTestSupport.h"

#include "platform/gpu/GpuFormat.h"
#include "support/GoldenText.h"

#include <bit>
#include <functional>
#include <sstream>
#include <tuple>

using namespace gpu;

namespace
{
using States = std::vector<std::pair<uint32_t, uint32_t>>;
// A state run through its values, one case each, over other states set for all of them.
using Axis = std::tuple<const char*, uint32_t, std::vector<uint32_t>, States>;

uint32_t Bits(float f) { return std::bit_cast<uint32_t>(f); }

// Clockwise and counter-clockwise triangles of graded colour, alpha and depth; one crosses the near
// plane and the guard band, one has a w of 2.
const std::vector<ProbeVertex> kShapes = {
    {-0.94f, 0.88f, 0.1f, 1, 0xFF2040C0u, 0.5f, 0.25f}, {0.88f, 0.75f, 0.9f, 1, 0x80FF0000u, 1.5f, -0.5f},
    {-0.69f, -0.88f, 0.5f, 1, 0x00FFFF40u, 0, 1}, {0.94f, 0.88f, 0.3f, 1, 0xC000FF80u, 2, 0.125f},
    {-0.38f, -0.75f, 0.7f, 1, 0x4080FFFFu, -1, 0.75f}, {0.94f, -0.88f, 0.45f, 1, 0xFFFFFFFFu, 0.25f, 3},
    {-0.06f, 0.38f, -0.5f, 1, 0x60C08040u, 0.5f, 0.25f}, {3.69f, 0.0f, 0.5f, 1, 0xA0FF00FFu, 1.5f, -0.5f},
    {-0.06f, -1.5f, 0.5f, 1, 0x20408000u, 0, 1}, {0.4f, -1.6f, 0.6f, 2, 0xFF00FF00u, 2, 0.125f},
    {1.6f, -1.6f, 1.0f, 2, 0x10FF8040u, -1, 0.75f}, {1.2f, 0.4f, 0.4f, 1, 0xE0F0F0F0u, 0.25f, 3}};

class GpuStateTableGoldenTest : public GpuRasterFixture
{
protected:
    void SetUp() override
    {
        GpuRasterFixture::SetUp();
        for (uint32_t i = 0; i < kRenderStateCount; ++i)
            m_device->GetRenderState(i, &m_renderDefaults[i]);
        for (uint32_t i = 0; i < kSamplerStateCount; ++i)
            m_device->GetSamplerState(0, i, &m_samplerDefaults[i]);
        ASSERT_EQ(m_device->GetDepthStencilSurface(&m_autoDepth), kOk);
        m_autoDepth->Release(); // the device keeps it alive
        m_depth = m_autoDepth;
        SetTarget(kFormatA8R8G8B8);
        m_device->SetScissorRect({5, 3, 50, 25});
    }
    void SetTarget(Format format)
    {
        GpuTexture* texture = nullptr;
        ASSERT_EQ(m_device->CreateTexture(64, 32, 1, kUsageRenderTarget, format, kPoolDefault, &texture), kOk);
        m_textures.push_back(texture);
        ASSERT_EQ(m_device->SetRenderTarget(0, m_target = texture->PeekSurface(0, 0)), kOk);
    }

    // A 16x16 texture on stage 0, every level filled from a fixed sequence (blocks byte by byte).
    void BindTexture(const FormatInfo& info)
    {
        GpuTexture* texture = nullptr;
        ASSERT_EQ(m_device->CreateTexture(16, 16, 0, 0, info.format, kPoolManaged, &texture), kOk);
        m_textures.push_back(texture);
        uint32_t seed = 12345;
        const auto next = [&] { return float((seed = seed * 1664525u + 1013904223u) >> 8) / float(1u << 24); };
        LockedRect locked;
        for (uint32_t level = 0; level < texture->GetLevelCount(); ++level)
        {
            ASSERT_EQ(texture->LockRect(level, &locked, nullptr, 0), kOk);
            for (uint32_t row = 0; row < RowCount(info, 16 >> level); ++row)
                for (uint32_t at = 0; at < RowPitch(info, 16 >> level); at += info.blockBytes)
                {
                    uint8_t* p = static_cast<uint8_t*>(locked.bits) + row * locked.pitch + at;
                    for (uint32_t i = 0; info.kind == FormatKind::Compressed && i < info.blockBytes; ++i)
                        p[i] = uint8_t(next() * 256.0f);
                    if (info.kind != FormatKind::Compressed)
                        EncodePixel(info, {next(), next(), next(), next()}, p);
                }
            texture->UnlockRect(level);
        }
        m_device->SetTexture(0, texture);
    }

    // Every render state and stage 0's sampler states back to the defaults, a half-transparent
    // clear and two overlapping triangles that leave stencil counts 0, 1 and 2 and a spread of
    // depths; then the case's states (sampler states while m_sampler holds), the group's draw and
    // the case's block.
    void Case(const std::string& name, const States& states)
    {
        for (uint32_t i = 0; i < kRenderStateCount; ++i)
            m_device->SetRenderState(i, i == kRsCullMode        ? kCullNone
                                        : i == kRsStencilEnable ? 1
                                        : i == kRsStencilPass   ? kStencilIncr
                                                                : m_renderDefaults[i]);
        for (uint32_t i = 0; i < kSamplerStateCount; ++i)
            m_device->SetSamplerState(0, i, m_samplerDefaults[i]);
        const uint32_t stencil = m_depth->Info().hasStencil ? kClearStencil : 0;
        ASSERT_EQ(m_device->Clear(0, nullptr, kClearTarget | kClearDepth | stencil, 0x80306090u, 1.0f, 0), kOk);
        SetIdentity();
        Draw(kPrimitiveTriangleList, 2,
             {At(0, 0, 0x40FF8020u, 0.5f), At(44, 0, 0x40FF8020u, 0.5f), At(0, 32, 0xC0208040u, 0.5f),
              At(64, 0, 0xFF4080FFu, 0.2f), At(64, 32, 0x004080FFu, 0.8f), At(8, 8, 0x80FFFFFFu, 0.3f)});
        for (uint32_t state : {kRsCullMode, kRsStencilEnable, kRsStencilPass})
            m_device->SetRenderState(state, m_renderDefaults[state]);
        for (const auto& [state, value] : states)
            m_sampler ? m_device->SetSamplerState(0, state, value) : m_device->SetRenderState(state, value);
        const uint64_t before = m_device->GetFrameStatistics().pixelsWritten;
        m_draw();
        m_text << name << "\n  pixels " << m_device->GetFrameStatistics().pixelsWritten - before << " colour "
               << std::hex << HashSurface(*m_target) << " depth " << HashSurface(*m_depth) << std::dec << "\n";
    }

    void Cases(const std::vector<Axis>& axes)
    {
        for (const auto& [name, state, values, with] : axes)
            for (uint32_t value : values)
            {
                States states = with;
                states.push_back({state, value});
                Case(std::string(name) + " " + std::to_string(value), states);
            }
    }

    uint32_t m_renderDefaults[kRenderStateCount] = {};
    uint32_t m_samplerDefaults[kSamplerStateCount] = {};
    GpuSurface *m_autoDepth = nullptr, *m_depth = nullptr, *m_target = nullptr;
    bool m_sampler = false;
    std::function<void()> m_draw = [this] { Draw(kPrimitiveTriangleList, 4, kShapes); };
    std::ostringstream m_text;
};

TEST_F(GpuStateTableGoldenTest, EveryStateAndFormatDrawsTheStoredPixels)
{
    UseFamily("FixedPipelineReplacement.hlsl");
    const std::vector<uint32_t> functions = {1, 2, 3, 4, 5, 6, 7, 8}, factors = {1, 2, 3, 4, 5, 6, 7, 9, 11};
    const States blend = {{kRsAlphaBlendEnable, 1}};
    // The failing, or passing, pixels hold stencil counts 0 and 2: every operation leaves its own.
    States stencilOps = {{kRsStencilEnable, 1},         {kRsStencilRef, 1},
                         {kRsStencilFunc, kCmpEqual},   {kRsStencilFail, kStencilInvert},
                         {kRsStencilZFail, kStencilIncr}, {kRsStencilPass, kStencilDecr}};
    Cases({{"defaults and zenable", kRsZEnable, {1, 0}, {}},
           {"zwrite", kRsZWriteEnable, {0}, {}},
           {"zfunc", kRsZFunc, functions, {}},
           {"depth bias 0.25 and slope scale", kRsSlopeScaleDepthBias, {0, Bits(2.0f)}, {{kRsDepthBias, Bits(0.25f)}}},
           {"depth bias -0.3 and slope scale", kRsSlopeScaleDepthBias, {Bits(2.0f)}, {{kRsDepthBias, Bits(-0.3f)}}},
           {"cull", kRsCullMode, {kCullNone, kCullClockwise}, {}},
           {"scissor", kRsScissorTestEnable, {1}, {}},
           {"srgb write", kRsSrgbWriteEnable, {1}, {}},
           {"srgb write blended", kRsSrgbWriteEnable, {1}, {{kRsAlphaBlendEnable, 1}, {kRsDestBlend, kBlendSrcColor}}},
           {"alpha test 128", kRsAlphaFunc, functions, {{kRsAlphaTestEnable, 1}, {kRsAlphaRef, 128}}},
           {"stencil 1 pass replace", kRsStencilFunc, functions,
            {{kRsStencilEnable, 1}, {kRsStencilRef, 1}, {kRsStencilPass, kStencilReplace}}},
           {"stencil equal 1 zfail incr pass decr: fail", kRsStencilFail, functions, stencilOps}});
    stencilOps[2].second = kCmpNotEqual;
    Cases({{"stencil notequal 1 fail invert pass decr: zfail", kRsStencilZFail, functions, stencilOps},
           {"stencil notequal 1 fail invert zfail incr: pass", kRsStencilPass, functions, stencilOps},
           {"stencil notequal 3 pass invert, mask 2, write mask", kRsStencilWriteMask, {1},
            {{kRsStencilEnable, 1}, {kRsStencilFunc, kCmpNotEqual}, {kRsStencilRef, 3}, {kRsStencilMask, 2},
             {kRsStencilPass, kStencilInvert}}},
           {"two-sided, front pass incrsat, back notequal 1 fail decr zfail replace pass", kRsCcwStencilPass,
            {kStencilInvert},
            {{kRsCullMode, kCullNone}, {kRsStencilEnable, 1}, {kRsTwoSidedStencilMode, 1},
             {kRsStencilPass, kStencilIncrSat},
             {kRsCcwStencilFunc, kCmpNotEqual}, {kRsStencilRef, 1}, {kRsCcwStencilZFail, kStencilReplace},
             {kRsCcwStencilFail, kStencilDecr}}},
           {"colour write mask", kRsColorWriteEnable, {0x0, 0x1, 0x2, 0x4, 0x8, 0x5}, {}},
           {"blended colour write mask", kRsColorWriteEnable, {0xA}, blend},
           {"blend srccolor invsrcalpha op", kRsBlendOp, {1, 2, 3, 4, 5},
            {{kRsAlphaBlendEnable, 1}, {kRsSrcBlend, kBlendSrcColor}, {kRsDestBlend, kBlendInvSrcAlpha}}},
           {"blend destcolor over src", kRsSrcBlend, factors,
            {{kRsAlphaBlendEnable, 1}, {kRsDestBlend, kBlendDestColor}}},
           {"blend srcalphasat over dest", kRsDestBlend, factors,
            {{kRsAlphaBlendEnable, 1}, {kRsSrcBlend, kBlendSrcAlphaSat}}},
           {"blend subtract srcalpha over dest", kRsDestBlend, factors,
            {{kRsAlphaBlendEnable, 1}, {kRsBlendOp, kBlendOpSubtract}, {kRsSrcBlend, kBlendSrcAlpha}}},
           {"blend srcalpha destcolor, alpha revsubtract invsrccolor over dest", kRsDestBlendAlpha, factors,
            {{kRsAlphaBlendEnable, 1}, {kRsSrcBlend, kBlendSrcAlpha}, {kRsDestBlend, kBlendDestColor},
             {kRsSeparateAlphaBlendEnable, 1}, {kRsBlendOpAlpha, kBlendOpRevSubtract},
             {kRsSrcBlendAlpha, kBlendInvSrcColor}}}});

    // Every primitive type over the same vertices, points three pixels wide.
    const uint32_t counts[] = {0, 12, 6, 11, 4, 10, 10};
    for (uint32_t type = kPrimitivePointList; type <= kPrimitiveTriangleFan; ++type)
    {
        m_draw = [&] { Draw(type, counts[type], kShapes); };
        Case("primitive " + std::to_string(type), {{kRsPointSize, Bits(3.0f)}, {kRsCullMode, kCullNone}});
    }

    // Every element type as the colour: wider ones read on into the texture coordinates, and past
    // the last vertex into one that is not drawn.
    std::vector<ProbeVertex> padded = kShapes;
    padded.push_back({0.5f, 0.5f, 0.5f, 1, 0x12345678u, 0.375f, -2});
    GpuVertexDeclaration* declaration = nullptr;
    m_draw = [&] {
        m_device->SetVertexDeclaration(declaration);
        Draw(kPrimitiveTriangleList, 4, padded);
        m_device->SetVertexDeclaration(m_declaration);
    };
    for (uint8_t type = kDeclFloat1; type <= kDeclFloat16x4; ++type)
    {
        const VertexElement layout[] = {{0, 0, kDeclFloat4, 0, 0, 0}, {0, 16, type, 0, kDeclUsageColor, 0}, kDeclEnd};
        ASSERT_EQ(m_device->CreateVertexDeclaration(layout, &declaration), kOk);
        Case("colour element type " + std::to_string(type), {});
        declaration->Release();
    }

    // Sampler states, then every texture format, on the ground plane of the stored frame in
    // perspective, its texture repeated past both ends.
    UseFamily("FixedPipelineReplacement.hlsl", {"TEXTURE"});
    BindTexture(*FindFormat(kFormatA8R8G8B8));
    m_sampler = true;
    m_draw = [&] {
        const float n = 0.5f, f = 50.0f;
        const float projection[16] = {0.5f, 0, 0, 0, 0, 1, 0, 0, 0, 0, f / (f - n), 1, 0, 0, -n * f / (f - n), 0};
        SetMatrix("ModelViewProjMatrix", projection);
        m_device->SetRenderState(kRsCullMode, kCullNone);
        Draw(kPrimitiveTriangleStrip, 2,
             {{-8, -1, 1, 1, 0xE0FFFFFFu, -1.5f, -0.5f}, {8, -1, 1, 1, 0xE0FFFFFFu, 2.5f, -0.5f},
              {-8, -1, 17, 1, 0xE0FFFFFFu, -1.5f, 3.5f}, {8, -1, 17, 1, 0xE0FFFFFFu, 2.5f, 3.5f}});
    };
    const uint32_t point = kFilterPoint, linear = kFilterLinear;
    const States trilinear = {{kSsMagFilter, linear}, {kSsMinFilter, linear}, {kSsMipFilter, linear}};
    Cases({{"point: mag", kSsMagFilter, {1, 2}, {}},
           {"linear mag, point mip: min", kSsMinFilter, {1, 2, 3}, {{kSsMagFilter, linear}, {kSsMipFilter, point}}},
           {"point mag, linear min: mip", kSsMipFilter, {0, 1, 2}, {{kSsMinFilter, linear}}},
           {"anisotropic min, linear mip: anisotropy", kSsMaxAnisotropy, {1, 3, 16},
            {{kSsMinFilter, kFilterAnisotropic}, {kSsMipFilter, linear}}},
           {"trilinear: max mip level", kSsMaxMipLevel, {2, 9}, trilinear},
           {"trilinear: lod bias", kSsMipMapLodBias, {Bits(1.5f), Bits(-1.0f)}, trilinear},
           {"trilinear: srgb", kSsSrgbTexture, {1}, trilinear},
           {"point, v border: address u", kSsAddressU, {1, 2, 3, 4},
            {{kSsAddressV, kAddressBorder}, {kSsBorderColor, 0x8020C040u}}},
           {"linear, u mirror: address v", kSsAddressV, {1, 2, 3, 4},
            {{kSsMagFilter, linear}, {kSsMinFilter, linear}, {kSsAddressU, kAddressMirror}}}});
    size_t formatCount = 0;
    const FormatInfo* formats = AllFormats(&formatCount);
    for (size_t f = 0; f < formatCount; ++f)
        if (formats[f].kind != FormatKind::Depth)
        {
            BindTexture(formats[f]);
            Case(std::string("texture ") + formats[f].name, trilinear);
        }

    // A 16-bit depth surface, then every target format, under blending.
    UseFamily("FixedPipelineReplacement.hlsl");
    m_sampler = false;
    m_draw = [&] { Draw(kPrimitiveTriangleList, 4, kShapes); };
    const States blended = {{kRsAlphaBlendEnable, 1}, {kRsSrcBlend, kBlendSrcAlpha}, {kRsDestBlend, kBlendInvSrcAlpha}};
    GpuSurface* depth16 = nullptr;
    ASSERT_EQ(m_device->CreateDepthStencilSurface(64, 32, kFormatD16, 0, 0, false, &depth16), kOk);
    m_device->SetDepthStencilSurface(m_depth = depth16);
    Case("depth D16", blended);
    m_device->SetDepthStencilSurface(m_depth = m_autoDepth);
    depth16->Release();
    for (Format format : GetDisplayConfig().renderTargetFormats)
    {
        SetTarget(format);
        Case(std::string("target ") + FindFormat(format)->name, blended);
    }
    ExpectTextMatchesStoredCopy(m_text.str(), "tests/platform/gpu/golden/RasterStates.txt");
}
} // namespace
