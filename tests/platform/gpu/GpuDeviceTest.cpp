#include "GpuTestSupport.h"

#include <array>
#include <chrono>
#include <cstring>
#include <functional>
#include <unistd.h>
#include <vector>

using namespace gpu;

namespace
{
class GpuDeviceTest : public GpuDeviceFixture
{
};

const VertexElement kPositionUv[] = {{0, 0, kDeclFloat3, 0, kDeclUsagePosition, 0},
                                     {0, 12, kDeclFloat2, 0, kDeclUsageTexCoord, 0},
                                     kDeclEnd};

std::vector<uint8_t> ShaderCodeFor(ShaderStage stage)
{
    ShaderCode code;
    code.stage = stage;
    code.profile = stage == ShaderStage::Vertex ? "vs_3_0" : "ps_3_0";
    code.entryPoint = "main";
    return WriteShaderCode(code);
}
} // namespace

TEST_F(GpuDeviceTest, AdapterReportsModesFormatsAndMultisampling)
{
    DisplayMode desktop;
    ASSERT_EQ(m_factory->GetAdapterDisplayMode(0, &desktop), kOk);
    EXPECT_EQ(desktop.width, 1920u);
    EXPECT_EQ(desktop.height, 1080u);
    const uint32_t modes = m_factory->GetAdapterModeCount(0, kFormatX8R8G8B8);
    EXPECT_GT(modes, 0u);
    DisplayMode mode;
    EXPECT_EQ(m_factory->EnumAdapterModes(0, kFormatX8R8G8B8, modes - 1, &mode), kOk);
    EXPECT_EQ(m_factory->EnumAdapterModes(0, kFormatX8R8G8B8, modes, &mode), kErrInvalidCall);
    EXPECT_EQ(m_factory->CheckDeviceFormat(0, kDeviceTypeHal, kFormatX8R8G8B8, kUsageDepthStencil, kResourceTexture,
                                           kFormatINTZ),
              kOk);
    EXPECT_EQ(m_factory->CheckDeviceFormat(0, kDeviceTypeHal, kFormatX8R8G8B8, kUsageDepthStencil, kResourceTexture,
                                           kFormatRAWZ),
              kErrNotAvailable);
    uint32_t quality = 0;
    EXPECT_EQ(m_factory->CheckDeviceMultiSampleType(0, kDeviceTypeHal, kFormatA8R8G8B8, true, 4, &quality), kOk);
    EXPECT_EQ(quality, 1u);
    EXPECT_EQ(m_factory->CheckDeviceMultiSampleType(0, kDeviceTypeHal, kFormatA8R8G8B8, true, 8, &quality),
              kErrNotAvailable);
    EXPECT_EQ(quality, 0u) << "no quality level for a refused count";
    EXPECT_EQ(m_factory->CheckDeviceMultiSampleType(1, kDeviceTypeHal, kFormatA8R8G8B8, true, 4, &quality),
              kErrInvalidCall) << "one adapter";
    EXPECT_EQ(m_factory->CheckDeviceMultiSampleType(0, kDeviceTypeHal, kFormatD16, true, 2, &quality), kOk);
    const struct { uint32_t usage; Format format; Result expected; } formats[] = {
        {kUsageRenderTarget, kFormatR32F, kOk}, {kUsageRenderTarget, kFormatDXT1, kErrNotAvailable},
        {0, kFormatDXT1, kOk}, {0, kFormatD16, kErrNotAvailable}};
    for (const auto& f : formats)
        EXPECT_EQ(m_factory->CheckDeviceFormat(0, kDeviceTypeHal, kFormatX8R8G8B8, f.usage, kResourceSurface, f.format),
                  f.expected) << f.usage << " " << f.format;
    EXPECT_EQ(CreateFactory(kSdkVersion + 1), nullptr);
    GpuDevice* none = nullptr;
    EXPECT_EQ(m_factory->CreateDevice(1, kDeviceTypeHal, nullptr, 0x54, &m_params, &none), kErrInvalidCall);
    const std::pair<Result, const char*> names[] = {
        {kOk, "ok"}, {kNotReady, "not ready"}, {kErrDeviceLost, "device lost"}, {kErrInvalidCall, "invalid call"},
        {kErrOutOfVideoMemory, "out of video memory"}, {kErrDriverInternalError, "driver internal error"},
        {kErrDeviceRemoved, "device removed"}, {kErrNotAvailable, "not available"}, {kErrCompile, "compile error"},
        {Result(12345), "unknown"}};
    for (const auto& [result, name] : names)
        EXPECT_STREQ(ResultName(result), name);

    // A configured adapter without A2R10G10B10 targets or hardware vertex processing refuses them, as a
    // GPU without them would.
    DisplayConfig config = DefaultDisplayConfig();
    config.renderTargetFormats = {kFormatA8R8G8B8};
    config.hardwareVertexProcessing = false;
    config.desktopWidth = 1366;
    config.desktopHeight = 768;
    SetDisplayConfig(config);
    GpuFactory* other = CreateFactory(kSdkVersion);
    ASSERT_NE(other, nullptr);
    ASSERT_EQ(other->GetAdapterDisplayMode(0, &desktop), kOk);
    EXPECT_EQ(desktop.width, 1366u);
    PresentParameters params = {};
    params.windowed = 1;
    GpuDevice* device = nullptr;
    EXPECT_EQ(other->CreateDevice(0, kDeviceTypeHal, nullptr, 0x54, &params, &device), kErrNotAvailable);
    EXPECT_EQ(other->CreateDevice(0, kDeviceTypeHal, nullptr, 0x60, &params, &device), kErrInvalidCall);
    EXPECT_TRUE(m_log.Contains("0x60 name no single vertex processing"));
    ASSERT_EQ(other->CreateDevice(0, kDeviceTypeHal, nullptr, 0x20, &params, &device), kOk);
    EXPECT_EQ(params.backBufferWidth, 1366u) << "a window without a size takes the desktop's";
    EXPECT_EQ(params.backBufferCount, 1u);
    GpuTexture* texture = nullptr;
    EXPECT_EQ(device->CreateTexture(16, 16, 1, kUsageRenderTarget, kFormatA2R10G10B10, kPoolDefault, &texture),
              kErrNotAvailable);
    ASSERT_EQ(device->CreateTexture(16, 16, 1, kUsageRenderTarget, kFormatA8R8G8B8, kPoolDefault, &texture), kOk);
    EXPECT_EQ(m_device->SetTexture(0, texture), kErrInvalidCall) << "another device's texture";
    EXPECT_EQ(m_device->SetTexture(kSamplerCount, nullptr), kErrInvalidCall) << "no such stage";
    texture->Release();
    device->Release();
    other->Release();
}

TEST_F(GpuDeviceTest, FullScreenNeedsAListedMode)
{
    PresentParameters params = {};
    params.backBufferWidth = 1000;
    params.backBufferHeight = 700;
    params.backBufferFormat = kFormatX8R8G8B8;
    GpuDevice* device = nullptr;
    EXPECT_EQ(m_factory->CreateDevice(0, kDeviceTypeHal, nullptr, 0x54, &params, &device), kErrInvalidCall);
    params.backBufferWidth = 1280;
    params.backBufferHeight = 720;
    params.fullScreenRefreshRate = 60;
    ASSERT_EQ(m_factory->CreateDevice(0, kDeviceTypeHal, nullptr, 0x54, &params, &device), kOk);
    device->Release();
    params.backBufferCount = 3;
    params.multiSampleType = 4;
    EXPECT_EQ(CheckPresentParameters(DefaultDisplayConfig(), &params), kErrInvalidCall) << "multisampling discards";
    params.swapEffect = kSwapEffectDiscard;
    EXPECT_EQ(CheckPresentParameters(DefaultDisplayConfig(), &params), kOk) << "three back buffers";

    // A window refuses a refresh rate, a non-display format, a fourth back buffer, an oversized
    // buffer and a depth format the adapter lacks; a reset to them is refused too.
    for (const auto& spoil : std::initializer_list<void (*)(PresentParameters&)>{
             [](PresentParameters& p) { p.fullScreenRefreshRate = 60; },
             [](PresentParameters& p) { p.backBufferFormat = kFormatR5G6B5; },
             [](PresentParameters& p) { p.backBufferCount = 4; },
             [](PresentParameters& p) { p.backBufferWidth = 8193; },
             [](PresentParameters& p) { p.autoDepthStencilFormat = kFormatA8R8G8B8; }})
    {
        spoil(params = m_params);
        EXPECT_EQ(CheckPresentParameters(DefaultDisplayConfig(), &params), kErrInvalidCall);
        EXPECT_EQ(m_device->Reset(&params), kErrInvalidCall);
    }
}

TEST_F(GpuDeviceTest, StateTablesAndStatisticsFollowAScriptedFrame)
{
    GpuVertexBuffer* vertices = nullptr;
    GpuIndexBuffer* indices = nullptr;
    GpuVertexDeclaration* declaration = nullptr;
    GpuTexture* texture = nullptr;
    GpuVertexShader* vs = nullptr;
    GpuPixelShader* ps = nullptr;
    ASSERT_EQ(m_device->CreateVertexBuffer(4 * 20, kUsageWriteOnly, 0, kPoolManaged, &vertices), kOk);
    ASSERT_EQ(m_device->CreateIndexBuffer(6 * 2, kUsageWriteOnly, kFormatIndex16, kPoolManaged, &indices), kOk);
    EXPECT_EQ(LiveObjectCount(ObjectKind::IndexBuffer), 1u);
    ASSERT_EQ(m_device->CreateVertexDeclaration(kPositionUv, &declaration), kOk);
    ASSERT_EQ(m_device->CreateTexture(4, 4, 1, 0, kFormatA8R8G8B8, kPoolManaged, &texture), kOk);
    const std::vector<uint8_t> vsCode = ShaderCodeFor(ShaderStage::Vertex);
    const std::vector<uint8_t> psCode = ShaderCodeFor(ShaderStage::Pixel);
    ASSERT_EQ(m_device->CreateVertexShader(vsCode.data(), vsCode.size(), &vs), kOk);
    ASSERT_EQ(m_device->CreatePixelShader(psCode.data(), psCode.size(), &ps), kOk);
    GpuPixelShader* wrong = nullptr;
    EXPECT_EQ(m_device->CreatePixelShader(vsCode.data(), vsCode.size(), &wrong), kErrInvalidCall);
    EXPECT_EQ(wrong, nullptr);
    void* data = nullptr;
    ASSERT_EQ(indices->Lock(0, 0, &data, 0), kOk);
    const uint16_t quad[6] = {0, 1, 2, 0, 2, 3};
    memcpy(data, quad, sizeof(quad));
    ASSERT_EQ(indices->Unlock(), kOk);

    const float constants[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    ASSERT_EQ(m_device->BeginScene(), kOk);
    m_device->SetRenderState(kRsAlphaBlendEnable, 1);
    m_device->SetRenderState(kRsSrcBlend, kBlendSrcAlpha);
    m_device->SetRenderState(kRsDestBlend, kBlendInvSrcAlpha);
    m_device->SetRenderState(kRsAlphaBlendEnable, 0);
    m_device->SetRenderState(kRsZFunc, kCmpAlways);
    m_device->SetSamplerState(3, kSsAddressU, kAddressClamp);
    m_device->SetSamplerState(3, kSsMagFilter, kFilterLinear);
    m_device->SetTexture(3, texture);
    m_device->SetVertexShader(vs);
    m_device->SetPixelShader(ps);
    m_device->SetVertexShaderConstantF(254, constants, 2);
    m_device->SetPixelShaderConstantF(223, constants, 1);
    EXPECT_EQ(m_device->SetPixelShaderConstantF(223, constants, 2), kErrInvalidCall) << "224 pixel registers";
    EXPECT_EQ(m_device->SetVertexShaderConstantF(256, constants, 1), kErrInvalidCall) << "256 vertex registers";
    EXPECT_EQ(m_device->SetVertexShaderConstantF(256, nullptr, 0), kOk) << "an empty write is valid anywhere";
    m_device->SetFVF(kFvfXyz);
    m_device->SetVertexDeclaration(declaration); // replaces the fixed format
    EXPECT_EQ(m_device->SetStreamSource(1, vertices, 80, 20), kOk) << "offset at the end";
    EXPECT_EQ(m_device->SetStreamSource(1, vertices, 81, 20), kErrInvalidCall);
    EXPECT_EQ(m_device->SetStreamSource(kStreamCount, vertices, 0, 20), kErrInvalidCall);
    EXPECT_EQ(m_device->SetStreamSourceFreq(1, kStreamIndexedData), kErrInvalidCall) << "no count";
    ASSERT_EQ(m_device->SetStreamSourceFreq(0, kStreamIndexedData | 1u), kOk);
    m_device->SetStreamSource(1, nullptr, 0, 0);
    m_device->SetStreamSource(0, vertices, 0, 0);
    m_device->SetIndices(indices);
    EXPECT_EQ(m_device->DrawIndexedPrimitive(kPrimitiveTriangleList, 0, 0, 4, 0, 2), kErrInvalidCall) << "stride 0";
    m_device->SetStreamSource(0, vertices, 0, 20);
    ASSERT_EQ(vertices->Lock(0, 0, &data, 0), kOk);
    EXPECT_EQ(m_device->DrawIndexedPrimitive(kPrimitiveTriangleList, 0, 0, 4, 0, 2), kErrInvalidCall) << "locked";
    ASSERT_EQ(vertices->Unlock(), kOk);
    ASSERT_EQ(m_device->DrawIndexedPrimitive(kPrimitiveTriangleList, 0, 0, 4, 0, 2), kOk);
    EXPECT_EQ(m_device->DrawIndexedPrimitive(kPrimitiveTriangleList, 1, 0, 4, 0, 2), kErrInvalidCall)
        << "base vertex 1 reads vertex 4 past the buffer";
    EXPECT_EQ(m_device->DrawIndexedPrimitive(kPrimitiveTriangleList, -1, 0, 4, 0, 2), kErrInvalidCall);
    EXPECT_EQ(m_device->DrawPrimitive(kPrimitiveTriangleFan + 1, 0, 1), kErrInvalidCall);
    EXPECT_EQ(m_device->DrawPrimitive(kPrimitiveTriangleList, 0, 2), kErrInvalidCall) << "6 vertices of 4";
    ASSERT_EQ(m_device->DrawPrimitive(kPrimitiveTriangleFan, 0, 2), kOk);
    EXPECT_EQ(m_device->DrawPrimitive(kPrimitiveLineStrip, 0, 3), kOk) << "4 vertices of 4";
    m_device->SetFVF(kFvfXyz); // and a fixed format the declaration
    const float lines[4 * 5] = {};
    ASSERT_EQ(m_device->DrawPrimitiveUP(kPrimitiveLineStrip, 3, lines, 20), kOk);
    EXPECT_EQ(m_device->DrawPrimitiveUP(kPrimitiveLineStrip, 3, lines, 0), kErrInvalidCall) << "no stride";
    const uint16_t triangle[3] = {1, 2, 3};
    EXPECT_EQ(m_device->DrawIndexedPrimitiveUP(kPrimitiveTriangleList, 1, 2, 1, triangle, kFormatIndex16, lines, 20),
              kErrInvalidCall) << "index 3 past vertices 1 and 2";
    EXPECT_EQ(m_device->DrawIndexedPrimitiveUP(kPrimitiveTriangleList, 1, 3, 1, triangle, kFormatIndex16, lines, 0),
              kErrInvalidCall) << "no stride";
    EXPECT_EQ(m_device->DrawIndexedPrimitiveUP(kPrimitiveTriangleList, 1, 3, 1, triangle, kFormatD16, lines, 20),
              kErrInvalidCall) << "not an index format";
    ASSERT_EQ(m_device->EndScene(), kOk);

    uint32_t value = 0;
    ASSERT_EQ(m_device->GetRenderState(kRsDestBlend, &value), kOk);
    EXPECT_EQ(value, kBlendInvSrcAlpha);
    ASSERT_EQ(m_device->GetSamplerState(3, kSsAddressU, &value), kOk);
    EXPECT_EQ(value, kAddressClamp);
    ASSERT_EQ(m_device->GetSamplerState(2, kSsAddressU, &value), kOk);
    EXPECT_EQ(value, kAddressWrap);
    float readBack[8] = {};
    ASSERT_EQ(m_device->GetVertexShaderConstantF(254, readBack, 2), kOk);
    EXPECT_EQ(memcmp(readBack, constants, sizeof(constants)), 0);
    ASSERT_EQ(m_device->GetPixelShaderConstantF(223, readBack, 1), kOk);
    EXPECT_EQ(readBack[3], 4.0f);

    const FrameStatistics& stats = m_device->GetFrameStatistics();
    EXPECT_EQ(stats.renderStateCalls[kRsAlphaBlendEnable], 2u);
    EXPECT_EQ(stats.renderStateCalls[kRsSrcBlend], 1u);
    EXPECT_EQ(stats.renderStateCalls[kRsZFunc], 1u);
    EXPECT_EQ(stats.renderStateCalls[kRsCullMode], 0u);
    EXPECT_EQ(stats.samplerStateCalls[kSsAddressU], 1u);
    EXPECT_EQ(stats.textureCalls, 1u);
    EXPECT_EQ((std::array{stats.vertexShaderCalls, stats.pixelShaderCalls}), (std::array{1u, 1u}));
    EXPECT_EQ(stats.vertexConstantRegisters, 2u);
    EXPECT_EQ(stats.pixelConstantRegisters, 1u);
    EXPECT_EQ(stats.refusedConstantWrites, 2u);
    EXPECT_EQ(stats.drawCalls, 4u);
    EXPECT_EQ(stats.primitives, 2u + 2u + 3u + 3u);
    EXPECT_EQ(stats.invalidCalls, 16u);
    EXPECT_EQ((std::array{stats.declarationCalls, stats.fvfCalls, stats.streamSourceCalls, stats.indexBufferCalls}),
              (std::array{1u, 2u, 6u, 1u}));

    const std::vector<DrawRecord>& log = m_device->GetDrawLog();
    ASSERT_EQ(log.size(), 4u);
    EXPECT_EQ(log[0].call, DrawCall::IndexedPrimitive);
    EXPECT_EQ(log[0].renderStates[kRsZFunc], kCmpAlways);
    EXPECT_EQ(log[0].samplerStates[3][kSsMagFilter], kFilterLinear);
    EXPECT_EQ(log[0].textureIds[3], texture->GetId());
    EXPECT_EQ(log[0].vertexShaderId, vs->GetId());
    EXPECT_EQ(log[0].indexBufferId, indices->GetId());
    EXPECT_EQ(log[0].fvf, 0u);
    EXPECT_EQ(log[3].declarationId, 0u);
    EXPECT_EQ(log[0].streams[0].bufferId, vertices->GetId());
    EXPECT_EQ(log[0].streams[0].frequency, kStreamIndexedData | 1u);
    EXPECT_EQ(log[0].renderTargetIds[0], BackBuffer()->GetId());
    EXPECT_EQ(log[3].call, DrawCall::PrimitiveFromMemory);
    EXPECT_EQ(log[3].streams[0].bufferId, vertices->GetId());
    // Drawing from memory unbinds stream 0 and the indices afterwards.
    EXPECT_EQ(m_device->DrawPrimitive(kPrimitiveTriangleFan, 0, 1), kErrInvalidCall);

    // Present ends the frame: statistics and the draw log move to the last frame.
    ASSERT_EQ(m_device->Present(), kOk);
    EXPECT_EQ(m_device->GetPresentCount(), 1u);
    EXPECT_EQ(m_device->GetLastFrameStatistics().drawCalls, 4u);
    EXPECT_EQ(m_device->GetFrameStatistics().drawCalls, 0u);
    EXPECT_EQ(m_device->GetLastFrameDrawLog().size(), 4u);
    EXPECT_TRUE(m_device->GetDrawLog().empty());
    const size_t logged = m_log.Count();
    for (int i = 0; i < 7; ++i)
        m_device->SetVertexShaderConstantF(256, constants, 1);
    EXPECT_EQ(m_log.Count() - logged, 6u) << "refused constant writes past the eighth are not logged";

    for (GpuObject* o : std::initializer_list<GpuObject*>{vertices, indices, declaration, texture, vs, ps})
        o->Release();
    // The device still binds the shaders, texture and declaration: they live on until unbound.
    EXPECT_EQ(LiveObjectCount(ObjectKind::VertexShader), 1u);
    m_device->SetVertexShader(nullptr);
    EXPECT_EQ(LiveObjectCount(ObjectKind::VertexShader), 0u);
}

TEST_F(GpuDeviceTest, DrawsNeedAScene)
{
    const float vertices[3 * 3] = {};
    m_device->SetFVF(kFvfXyz);
    EXPECT_EQ(m_device->DrawPrimitiveUP(kPrimitiveTriangleList, 1, vertices, 12), kErrInvalidCall);
    ASSERT_EQ(m_device->BeginScene(), kOk);
    EXPECT_EQ(m_device->BeginScene(), kErrInvalidCall);
    EXPECT_EQ(m_device->DrawPrimitiveUP(kPrimitiveTriangleList, 1, vertices, 12), kOk);
    EXPECT_EQ(m_device->Present(), kErrInvalidCall) << "present inside a scene";
    EXPECT_EQ(m_device->Reset(&m_params), kErrInvalidCall) << "reset inside a scene";
    ASSERT_EQ(m_device->EndScene(), kOk);
    EXPECT_EQ(m_device->EndScene(), kErrInvalidCall);
    EXPECT_EQ(m_device->Reset(nullptr), kErrInvalidCall) << "reset without parameters";
    EXPECT_EQ(m_device->Present(), kOk);
}

// The vertices an indexed draw reaches come from indices read at the buffer's width: a 16-bit pair
// read as one 32-bit index, or the low half of a 32-bit index alone, would judge other vertices.
TEST_F(GpuDeviceTest, IndexedDrawsReadTheirIndicesAtTheBuffersWidth)
{
    const struct
    {
        uint32_t format;
        std::vector<uint8_t> bytes; // three indices, little-endian
        Result expected;
    } cases[] = {
        {kFormatIndex16, {0, 0, 1, 0, 3, 0}, kOk},
        {kFormatIndex16, {0, 0, 1, 0, 4, 0}, kErrInvalidCall},
        {kFormatIndex32, {0, 0, 0, 0, 1, 0, 0, 0, 3, 0, 0, 0}, kOk},
        {kFormatIndex32, {0, 0, 0, 0, 1, 0, 0, 0, 3, 0, 1, 0}, kErrInvalidCall},
    };
    GpuVertexBuffer* vertices = nullptr;
    GpuVertexDeclaration* declaration = nullptr;
    ASSERT_EQ(m_device->CreateVertexBuffer(4 * 20, kUsageWriteOnly, 0, kPoolManaged, &vertices), kOk);
    ASSERT_EQ(m_device->CreateVertexDeclaration(kPositionUv, &declaration), kOk);
    ASSERT_EQ(m_device->BeginScene(), kOk);
    m_device->SetVertexDeclaration(declaration);
    m_device->SetStreamSource(0, vertices, 0, 20);
    for (const auto& c : cases)
    {
        GpuIndexBuffer* indices = nullptr;
        ASSERT_EQ(m_device->CreateIndexBuffer(uint32_t(c.bytes.size()), kUsageWriteOnly, c.format, kPoolManaged, &indices),
                  kOk);
        void* data = nullptr;
        ASSERT_EQ(indices->Lock(0, 0, &data, 0), kOk);
        memcpy(data, c.bytes.data(), c.bytes.size());
        ASSERT_EQ(indices->Unlock(), kOk);
        m_device->SetIndices(indices);
        EXPECT_EQ(m_device->DrawIndexedPrimitive(kPrimitiveTriangleList, 0, 0, 4, 0, 1), c.expected)
            << c.format << " " << c.bytes.size();
        m_device->SetIndices(nullptr);
        indices->Release();
    }
    ASSERT_EQ(m_device->EndScene(), kOk);
    m_device->SetStreamSource(0, nullptr, 0, 0);
    m_device->SetVertexDeclaration(nullptr);
    declaration->Release();
    vertices->Release();
}

TEST_F(GpuDeviceTest, ADrawNeedsABufferOnTheLastStreamItsDeclarationReads)
{
    const VertexElement split[] = {{0, 0, kDeclFloat3, 0, kDeclUsagePosition, 0},
                                   {kStreamCount - 1, 0, kDeclFloat2, 0, kDeclUsageTexCoord, 0},
                                   kDeclEnd};
    GpuVertexBuffer* vertices = nullptr;
    GpuVertexDeclaration* declaration = nullptr;
    ASSERT_EQ(m_device->CreateVertexBuffer(3 * 12, kUsageWriteOnly, 0, kPoolManaged, &vertices), kOk);
    ASSERT_EQ(m_device->CreateVertexDeclaration(split, &declaration), kOk);
    ASSERT_EQ(m_device->BeginScene(), kOk);
    m_device->SetVertexDeclaration(declaration);
    m_device->SetStreamSource(0, vertices, 0, 12);
    EXPECT_EQ(m_device->DrawPrimitive(kPrimitiveTriangleList, 0, 1), kErrInvalidCall);
    m_device->SetStreamSource(kStreamCount - 1, vertices, 0, 8);
    EXPECT_EQ(m_device->DrawPrimitive(kPrimitiveTriangleList, 0, 1), kOk);
    ASSERT_EQ(m_device->EndScene(), kOk);
    m_device->SetStreamSource(0, nullptr, 0, 0);
    m_device->SetStreamSource(kStreamCount - 1, nullptr, 0, 0);
    m_device->SetVertexDeclaration(nullptr);
    declaration->Release();
    vertices->Release();
}

TEST_F(GpuDeviceTest, ResetIsRefusedWhileDefaultPoolObjectsLive)
{
    GpuTexture* target = nullptr;
    GpuTexture* managed = nullptr;
    GpuQuery* query = nullptr;
    GpuVertexShader* vs = nullptr;
    ASSERT_EQ(m_device->CreateTexture(8, 8, 1, kUsageRenderTarget, kFormatA8R8G8B8, kPoolDefault, &target), kOk);
    ASSERT_EQ(m_device->CreateTexture(8, 8, 1, 0, kFormatA8R8G8B8, kPoolManaged, &managed), kOk);
    ASSERT_EQ(m_device->CreateQuery(kQueryEvent, &query), kOk);
    const std::vector<uint8_t> code = ShaderCodeFor(ShaderStage::Vertex);
    ASSERT_EQ(m_device->CreateVertexShader(code.data(), code.size(), &vs), kOk);
    EXPECT_EQ(m_device->GetResetBlockerCount(), 2u);
    EXPECT_EQ(m_device->GetLiveResourceCount(), 4u);

    PresentParameters params = m_params;
    params.backBufferWidth = 128;
    EXPECT_EQ(m_device->Reset(&params), kErrInvalidCall);
    EXPECT_TRUE(m_log.Contains("must be released before a reset"));
    EXPECT_TRUE(m_log.Contains("Reset: query #")) << "each object in the way is named";
    EXPECT_TRUE(m_device->IsLost()) << "a refused reset leaves the device lost";
    EXPECT_EQ(m_device->Present(), kErrDeviceLost);

    // A back buffer still held by the caller blocks the reset too.
    GpuSurface* held = nullptr;
    ASSERT_EQ(m_device->GetBackBuffer(0, 0, &held), kOk);
    target->Release();
    query->Release();
    EXPECT_EQ(m_device->Reset(&params), kErrInvalidCall);
    held->Release();

    ASSERT_EQ(m_device->Reset(&params), kOk);
    EXPECT_FALSE(m_device->IsLost());
    EXPECT_EQ(BackBuffer()->Desc().width, 128u);
    EXPECT_EQ(m_device->GetResetCount(), 1u);
    // Managed textures and shaders survive a reset.
    EXPECT_EQ(managed->GetDevice(), m_device);
    managed->Release();
    vs->Release();
    EXPECT_EQ(m_device->Present(), kOk);
}

TEST_F(GpuDeviceTest, FaultPlanFailsCreationAndLosesTheDevice)
{
    Faults().FailFactoryCreation(1);
    EXPECT_EQ(CreateFactory(kSdkVersion), nullptr);
    Faults().FailDeviceCreation(1);
    PresentParameters params = m_params;
    GpuDevice* device = nullptr;
    EXPECT_EQ(m_factory->CreateDevice(0, kDeviceTypeHal, nullptr, 0x54, &params, &device), kErrNotAvailable);
    ASSERT_EQ(m_factory->CreateDevice(0, kDeviceTypeHal, nullptr, 0x20, &params, &device), kOk)
        << "the software fallback works once the planned failure is spent";
    EXPECT_EQ(device->GetBehaviourFlags(), 0x20u);
    device->Release();

    Faults().FailResourceCreation(1, ObjectKind::Texture);
    GpuVertexBuffer* buffer = nullptr;
    ASSERT_EQ(m_device->CreateVertexBuffer(16, 0, 0, kPoolManaged, &buffer), kOk) << "only textures fail";
    buffer->Release();
    GpuTexture* texture = nullptr;
    EXPECT_EQ(m_device->CreateTexture(4, 4, 1, 0, kFormatA8R8G8B8, kPoolManaged, &texture), kErrOutOfVideoMemory);
    EXPECT_EQ(texture, nullptr);
    ASSERT_EQ(m_device->CreateTexture(4, 4, 1, 0, kFormatA8R8G8B8, kPoolManaged, &texture), kOk);
    texture->Release();
    Faults().FailResourceCreation(1, ObjectKind::VertexBuffer);
    EXPECT_EQ(m_device->CreateVertexBuffer(16, 0, 0, kPoolManaged, &buffer), kErrOutOfVideoMemory);
    Faults().FailResourceCreation(2, ObjectKind::Surface);
    GpuSurface* surface = nullptr;
    EXPECT_EQ(m_device->CreateRenderTarget(8, 8, kFormatA8R8G8B8, 0, 0, false, &surface), kErrOutOfVideoMemory);
    EXPECT_EQ(m_device->CreateDepthStencilSurface(8, 8, kFormatD24S8, 0, 0, false, &surface), kErrOutOfVideoMemory);

    // Lost at the second present; two resets answer device-lost before one succeeds.
    Faults().LoseDeviceOnPresent(1, 2);
    EXPECT_EQ(m_device->Present(), kOk);
    EXPECT_EQ(m_device->Present(), kErrDeviceLost);
    EXPECT_TRUE(m_device->IsLost());
    EXPECT_EQ(m_device->Present(), kErrDeviceLost);
    params = m_params;
    EXPECT_EQ(m_device->Reset(&params), kErrDeviceLost);
    EXPECT_EQ(m_device->Reset(&params), kErrDeviceLost);
    EXPECT_EQ(m_device->Reset(&params), kOk);
    EXPECT_EQ(m_device->Present(), kOk);

    Faults().FailResets(1, kErrDeviceLost);
    EXPECT_EQ(m_device->Reset(&params), kErrDeviceLost);
    EXPECT_EQ(m_device->Present(), kErrDeviceLost) << "a reset that loses the device leaves it lost";
    EXPECT_EQ(m_device->Reset(&params), kOk);
}

TEST_F(GpuDeviceTest, QueriesAnswerNotReadyForThePlannedPolls)
{
    EXPECT_EQ(m_device->CreateQuery(kQueryEvent, nullptr), kOk);
    EXPECT_EQ(m_device->CreateQuery(9, nullptr), kErrNotAvailable);
    GpuQuery* query = nullptr;
    ASSERT_EQ(m_device->CreateQuery(kQueryEvent, &query), kOk);
    Faults().DelayQueries(3);
    EXPECT_EQ(query->Issue(kIssueBegin), kErrInvalidCall);
    ASSERT_EQ(query->Issue(kIssueEnd), kOk);
    uint32_t done = 0;
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(query->GetData(&done, 4, kGetDataFlush), kNotReady);
    EXPECT_EQ(query->GetData(&done, 4, kGetDataFlush), kOk);
    EXPECT_EQ(done, 1u);
    Faults().DelayQueries(0);
    ASSERT_EQ(query->Issue(kIssueEnd), kOk);
    EXPECT_EQ(query->GetData(nullptr, 0, kGetDataFlush), kOk);
    query->Release();
}

TEST_F(GpuDeviceTest, TexturesTargetsAndViewportRules)
{
    const struct { uint32_t size, levels, usage; Format format; Pool pool; Result expected; uint32_t levelsMade; }
        textures[] = {
        {8, 4, 0, kFormatA8R8G8B8, kPoolManaged, kOk, 4},
        {8, 0, kUsageAutoGenMipMap, kFormatA8R8G8B8, kPoolManaged, kOk, 1},
        {8, 5, 0, kFormatA8R8G8B8, kPoolManaged, kErrInvalidCall, 0},
        {8, 1, 0, 12345, kPoolManaged, kErrInvalidCall, 0},
        {0, 1, 0, kFormatA8R8G8B8, kPoolManaged, kErrInvalidCall, 0},
        {8, 1, kUsageRenderTarget | kUsageDepthStencil, kFormatD24S8, kPoolDefault, kErrInvalidCall, 0},
        {8, 1, kUsageRenderTarget, kFormatA8R8G8B8, kPoolManaged, kErrInvalidCall, 0},
        {8, 1, kUsageDynamic, kFormatA8R8G8B8, kPoolManaged, kErrInvalidCall, 0},
        {8, 1, 0, kFormatA8R8G8B8, kPoolScratch + 1, kErrInvalidCall, 0},
        {8, 1, 0, kFormatD24S8, kPoolManaged, kErrInvalidCall, 0},
    };
    for (const auto& t : textures)
    {
        GpuTexture* texture = nullptr;
        EXPECT_EQ(m_device->CreateTexture(t.size, t.size, t.levels, t.usage, t.format, t.pool, &texture), t.expected);
        EXPECT_EQ(texture ? texture->GetLevelCount() : 0u, t.levelsMade) << t.levels << " " << t.usage << " " << t.pool;
        SafeRelease(texture);
    }

    // Creation and reads without an output pointer are refused rather than written through.
    EXPECT_EQ(m_device->GetScissorRect(nullptr), kErrInvalidCall);
    EXPECT_EQ(m_device->CreateTexture(8, 8, 1, 0, kFormatA8R8G8B8, kPoolManaged, nullptr), kErrInvalidCall);
    EXPECT_EQ(m_device->CreateRenderTarget(8, 8, kFormatA8R8G8B8, 0, 0, false, nullptr), kErrInvalidCall);
    EXPECT_EQ(m_device->CreateDepthStencilSurface(8, 8, kFormatD24S8, 0, 0, false, nullptr), kErrInvalidCall);
    EXPECT_EQ(m_device->CreateVertexBuffer(16, 0, 0, kPoolManaged, nullptr), kErrInvalidCall);
    EXPECT_EQ(m_device->CreateIndexBuffer(16, 0, kFormatIndex16, kPoolManaged, nullptr), kErrInvalidCall);
    // Buffers live in any pool up to scratch; no length, a dynamic managed buffer or target usage are refused.
    const struct { uint32_t length, usage; Pool pool; Result expected; } rows[] = {
        {16, 0, kPoolScratch, kOk}, {0, 0, kPoolManaged, kErrInvalidCall}, {16, 0, kPoolScratch + 1, kErrInvalidCall},
        {16, kUsageDynamic, kPoolManaged, kErrInvalidCall}, {16, kUsageRenderTarget, kPoolDefault, kErrInvalidCall}};
    for (const auto& b : rows)
    {
        GpuVertexBuffer* vb = nullptr;
        GpuIndexBuffer* ib = nullptr;
        EXPECT_EQ(m_device->CreateVertexBuffer(b.length, b.usage, 0, b.pool, &vb), b.expected) << &b - rows;
        EXPECT_EQ(m_device->CreateIndexBuffer(b.length, b.usage, kFormatIndex16, b.pool, &ib), b.expected) << &b - rows;
        SafeRelease(vb), SafeRelease(ib);
    }

    std::vector<VertexElement> elements(kMaxVertexElements, kPositionUv[0]);
    GpuVertexDeclaration* declaration = nullptr;
    EXPECT_EQ(m_device->CreateVertexDeclaration(nullptr, &declaration), kErrInvalidCall) << "no element list";
    EXPECT_EQ(m_device->CreateVertexDeclaration(elements.data(), &declaration), kErrInvalidCall) << "no end marker";
    elements.back() = kDeclEnd;
    ASSERT_EQ(m_device->CreateVertexDeclaration(elements.data(), &declaration), kOk) << "the end marker last";
    declaration->Release();
    elements[0].stream = kStreamCount;
    EXPECT_EQ(m_device->CreateVertexDeclaration(elements.data(), &declaration), kErrInvalidCall) << "no such stream";

    GpuSurface* target = nullptr;
    ASSERT_EQ(m_device->CreateRenderTarget(16, 8, kFormatA8R8G8B8, 4, 0, false, &target), kOk);
    GpuSurface* lockable = nullptr;
    EXPECT_EQ(m_device->CreateRenderTarget(16, 8, kFormatA8R8G8B8, 4, 0, true, &lockable), kErrInvalidCall);
    EXPECT_EQ(m_device->SetRenderTarget(0, nullptr), kErrInvalidCall);
    ASSERT_EQ(m_device->SetRenderTarget(0, target), kOk);
    Viewport viewport;
    ASSERT_EQ(m_device->GetViewport(&viewport), kOk);
    EXPECT_EQ(viewport.width, 16u) << "binding target 0 fits the viewport to it";
    EXPECT_EQ(m_device->SetViewport({0, 0, 32, 8, 0, 1}), kErrInvalidCall);
    GpuSurface* depth = nullptr;
    ASSERT_EQ(m_device->GetDepthStencilSurface(&depth), kOk);
    EXPECT_EQ(m_device->SetRenderTarget(1, depth), kErrInvalidCall);
    EXPECT_EQ(m_device->SetRenderTarget(kRenderTargetCount, target), kErrInvalidCall);
    EXPECT_EQ(m_device->SetScissorRect({4, 4, 4, 4}), kOk) << "empty, not inverted";
    EXPECT_EQ(m_device->SetScissorRect({4, 4, 3, 4}), kErrInvalidCall);
    EXPECT_EQ(m_device->SetDepthStencilSurface(target), kErrInvalidCall);
    const FrameStatistics& stats = m_device->GetFrameStatistics();
    EXPECT_EQ((std::array{stats.renderTargetCalls, stats.depthStencilCalls, stats.viewportCalls, stats.scissorCalls}),
              (std::array{4u, 1u, 1u, 2u})) << "refused too";
    depth->Release();
    ASSERT_EQ(m_device->SetRenderTarget(0, BackBuffer()), kOk);
    target->Release();

    GpuCubeTexture* cube = nullptr;
    ASSERT_EQ(m_device->CreateCubeTexture(4, 1, kUsageRenderTarget, kFormatA8R8G8B8, kPoolDefault, &cube), kOk);
    for (uint32_t face = 0; face < kCubeFaceCount; ++face)
    {
        GpuSurface* surface = nullptr;
        ASSERT_EQ(cube->GetCubeMapSurface(face, 0, &surface), kOk);
        ASSERT_EQ(m_device->SetRenderTarget(0, surface), kOk);
        ASSERT_EQ(m_device->Clear(0, nullptr, kClearTarget, 0xFF000000u | face, 1.0f, 0), kOk);
        surface->Release();
    }
    EXPECT_EQ(cube->PeekSurface(5, 0)->ReadPixelArgb(3, 3), 0xFF000005u);
    EXPECT_EQ(cube->PeekSurface(2, 0)->ReadPixelArgb(0, 0), 0xFF000002u);
    GpuSurface* noFace = nullptr;
    EXPECT_EQ(cube->GetCubeMapSurface(kCubeFaceCount, 0, &noFace), kErrInvalidCall);
    EXPECT_EQ(noFace, nullptr);
    ASSERT_EQ(m_device->SetRenderTarget(0, BackBuffer()), kOk);
    cube->Release();
}

TEST_F(GpuDeviceTest, RefusedCallsChangeNothing)
{
    // Objects of a second device on the same adapter, which this device must not bind or present.
    GpuDevice* other = nullptr;
    PresentParameters params = m_params;
    ASSERT_EQ(m_factory->CreateDevice(0, kDeviceTypeHal, nullptr, 0x54, &params, &other), kOk);
    const std::vector<uint8_t> vsCode = ShaderCodeFor(ShaderStage::Vertex), psCode = ShaderCodeFor(ShaderStage::Pixel);
    GpuVertexShader* vs = nullptr;
    GpuPixelShader* ps = nullptr;
    GpuVertexDeclaration* declaration = nullptr;
    GpuIndexBuffer* foreignIndices = nullptr;
    GpuSwapChain* foreignChain = nullptr;
    ASSERT_EQ(other->CreateVertexShader(vsCode.data(), vsCode.size(), &vs), kOk);
    ASSERT_EQ(other->CreatePixelShader(psCode.data(), psCode.size(), &ps), kOk);
    ASSERT_EQ(other->CreateVertexDeclaration(kPositionUv, &declaration), kOk);
    ASSERT_EQ(other->CreateIndexBuffer(12, 0, kFormatIndex16, kPoolManaged, &foreignIndices), kOk);
    ASSERT_EQ(other->GetSwapChain(0, &foreignChain), kOk);
    // A lockable target, a compressed surface and a six-index buffer of this device.
    GpuSurface* lockable = nullptr;
    ASSERT_EQ(m_device->CreateRenderTarget(8, 8, kFormatA8R8G8B8, 0, 0, true, &lockable), kOk);
    GpuTexture* dxt = nullptr;
    ASSERT_EQ(m_device->CreateTexture(8, 8, 1, 0, kFormatDXT1, kPoolManaged, &dxt), kOk);
    GpuSurface* compressed = nullptr;
    ASSERT_EQ(dxt->GetSurfaceLevel(0, &compressed), kOk);
    GpuIndexBuffer* indices = nullptr;
    ASSERT_EQ(m_device->CreateIndexBuffer(12, 0, kFormatIndex16, kPoolManaged, &indices), kOk);
    GpuSurface* back = BackBuffer();
    GpuSwapChain* chain = nullptr;
    GpuSurface* surface = nullptr;
    const uint32_t before = back->ReadPixelArgb(0, 0);
    const Rect outside = {0, 0, 65, 32};
    LockedRect locked;
    void* bits = nullptr;
    const float lines[12] = {};
    const std::pair<const char*, std::function<Result()>> calls[] = {
        {"no swap chain out", [&] { return m_device->GetSwapChain(0, nullptr); }},
        {"swap chain 1", [&] { return m_device->GetSwapChain(1, &chain); }},
        {"no back buffer out", [&] { return m_device->GetBackBuffer(0, 0, nullptr); }},
        {"back buffer of chain 1", [&] { return m_device->GetBackBuffer(1, 0, &surface); }},
        {"gamma of chain 1", [&] { return m_device->SetGammaRamp(1, GammaRamp{}); }},
        {"no cube out", [&] { return m_device->CreateCubeTexture(4, 1, 0, kFormatA8R8G8B8, kPoolManaged, nullptr); }},
        {"target 0 wide", [&] { return m_device->CreateRenderTarget(0, 8, kFormatA8R8G8B8, 0, 0, false, &surface); }},
        {"depth 0 high", [&] { return m_device->CreateDepthStencilSurface(8, 0, kFormatD24S8, 0, 0, false, &surface); }},
        {"no declaration out", [&] { return m_device->CreateVertexDeclaration(kPositionUv, nullptr); }},
        {"no vertex shader out", [&] { return m_device->CreateVertexShader(vsCode.data(), vsCode.size(), nullptr); }},
        {"no pixel shader out", [&] { return m_device->CreatePixelShader(psCode.data(), psCode.size(), nullptr); }},
        {"target slot past the end", [&] { return m_device->GetRenderTarget(kRenderTargetCount, &surface); }},
        {"no depth out", [&] { return m_device->GetDepthStencilSurface(nullptr); }},
        {"render state past the end", [&] { return m_device->SetRenderState(kRenderStateCount, 1); }},
        {"sampler past the end", [&] { return m_device->SetSamplerState(kSamplerCount, kSsAddressU, 1); }},
        {"sampler state past the end", [&] { return m_device->SetSamplerState(0, kSamplerStateCount, 1); }},
        {"constants without data", [&] { return m_device->SetVertexShaderConstantF(0, nullptr, 1); }},
        {"foreign vertex shader", [&] { return m_device->SetVertexShader(vs); }},
        {"foreign pixel shader", [&] { return m_device->SetPixelShader(ps); }},
        {"foreign declaration", [&] { return m_device->SetVertexDeclaration(declaration); }},
        {"foreign indices", [&] { return m_device->SetIndices(foreignIndices); }},
        {"foreign swap chain", [&] { return m_device->PresentSwapChain(foreignChain); }},
        {"clear nothing", [&] { return m_device->Clear(0, nullptr, 0, 0, 1.0f, 0); }},
        {"clear unknown flag", [&] { return m_device->Clear(0, nullptr, kClearTarget | 0x100, 0, 1.0f, 0); }},
        {"clear missing rects", [&] { return m_device->Clear(2, nullptr, kClearTarget, 0, 1.0f, 0); }},
        {"clear a locked target", [&] {
             EXPECT_EQ(lockable->LockRect(&locked, nullptr, 0), kOk);
             EXPECT_EQ(m_device->SetRenderTarget(0, lockable), kOk);
             const Result r = m_device->Clear(0, nullptr, kClearTarget, 0xFFFFFFFFu, 1.0f, 0);
             EXPECT_EQ(m_device->SetRenderTarget(0, back), kOk);
             return r;
         }},
        {"stretch onto itself", [&] { return m_device->StretchRect(back, nullptr, back, nullptr, kFilterNone); }},
        {"stretch a locked surface", [&] { return m_device->StretchRect(lockable, nullptr, back, nullptr, kFilterNone); }},
        {"stretch unknown filter", [&] { return m_device->StretchRect(back, nullptr, compressed, nullptr, kFilterLinear + 1); }},
        {"stretch outside", [&] { return m_device->StretchRect(back, &outside, compressed, nullptr, kFilterNone); }},
        {"stretch compressed", [&] { return m_device->StretchRect(compressed, nullptr, back, nullptr, kFilterNone); }},
        {"draw without a format", [&] { return m_device->DrawPrimitiveUP(kPrimitiveTriangleList, 1, lines, 12); }},
        {"draw without indices", [&] {
             m_device->SetFVF(kFvfXyz);
             return m_device->DrawIndexedPrimitive(kPrimitiveTriangleList, 0, 0, 3, 0, 1);
         }},
        {"draw locked indices", [&] {
             m_device->SetIndices(indices);
             EXPECT_EQ(indices->Lock(0, 0, &bits, 0), kOk);
             const Result r = m_device->DrawIndexedPrimitive(kPrimitiveTriangleList, 0, 0, 3, 0, 1);
             EXPECT_EQ(indices->Unlock(), kOk);
             return r;
         }},
        {"draw past the indices", [&] { return m_device->DrawIndexedPrimitive(kPrimitiveTriangleList, 0, 0, 3, 4, 1); }},
    };
    ASSERT_EQ(m_device->BeginScene(), kOk);
    for (const auto& [name, call] : calls)
    {
        const uint32_t refusedBefore = m_device->GetFrameStatistics().invalidCalls;
        EXPECT_EQ(call(), kErrInvalidCall) << name;
        EXPECT_EQ(m_device->GetFrameStatistics().invalidCalls, refusedBefore + 1) << name;
    }
    ASSERT_EQ(m_device->EndScene(), kOk);
    EXPECT_EQ(chain, nullptr);
    EXPECT_EQ(surface, nullptr);
    EXPECT_EQ(back->ReadPixelArgb(0, 0), before) << "nothing cleared or drawn";
    EXPECT_TRUE(m_device->GetDrawLog().empty());
    EXPECT_EQ(LiveObjectCount(ObjectKind::CubeTexture), 0u);
    ASSERT_EQ(lockable->UnlockRect(), kOk);
    for (GpuObject* o : std::initializer_list<GpuObject*>{vs, ps, declaration, foreignIndices, foreignChain, lockable,
                                                          compressed, dxt, indices, other})
        o->Release();
}

TEST_F(GpuDeviceTest, DeviceReleasedWithLiveObjectsLogsTheLeak)
{
    GpuTexture* texture = nullptr;
    ASSERT_EQ(m_device->CreateTexture(4, 4, 1, 0, kFormatA8R8G8B8, kPoolManaged, &texture), kOk);
    gpu::SafeRelease(m_device);
    EXPECT_TRUE(m_log.Contains("device released with 1 live objects"));
    EXPECT_EQ(texture->GetDevice(), nullptr);
    EXPECT_EQ(LiveObjectCount(ObjectKind::Texture), 1u);
    EXPECT_EQ(LiveObjectTotal(), 2u) << "the texture and the factory; the device and its own objects are gone";
    texture->Release();
}

TEST_F(GpuDeviceTest, PacedPresentsKeepTheDisplayRate)
{
    // Seven paced presents span at least five 60 Hz intervals: the first starts the grid and a
    // late one may start a new grid once.
    SetPresentPacing(true);
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < 7; ++i)
        ASSERT_EQ(m_device->Present(), kOk);
    const auto paced = std::chrono::steady_clock::now() - start;
    SetPresentPacing(false);
    EXPECT_GE(paced, std::chrono::milliseconds(5 * 1000 / 60));
}

// NORVEX_RASTERISE overrides the default raster mode; an empty value counts as unset and a word
// not understood is ignored with a warning.
TEST_F(GpuDeviceTest, RasterModeFromTheEnvironmentOverridesTheDefault)
{
    const struct { const char* value; RasterMode mode; bool warned; } cases[] = {
        {"", RasterMode::Never, false},        {"always", RasterMode::Always, false},
        {"written", RasterMode::WrittenFrames, false}, {"sometimes", RasterMode::Never, true}};
    SetDefaultRasterMode(RasterMode::Never);
    for (const auto& c : cases)
    {
        setenv("NORVEX_RASTERISE", c.value, 1);
        EXPECT_EQ(GetDefaultRasterMode(), c.mode) << c.value;
        EXPECT_EQ(m_log.Contains("is not always, written or never"), c.warned) << c.value;
    }
    unsetenv("NORVEX_RASTERISE");
    SetDefaultRasterMode(RasterMode::Always);
}

// A new process plans no failures: its first factory is made. The threadsafe style runs the check in
// a freshly started copy of this program, before any test could clear the plan.
TEST(GpuDeviceDeathTest, ANewProcessPlansNoFailures)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            GpuFactory* factory = CreateFactory(kSdkVersion);
            const bool made = factory != nullptr;
            SafeRelease(factory);
            _exit(made ? 0 : 1);
        },
        testing::ExitedWithCode(0), "");
}
