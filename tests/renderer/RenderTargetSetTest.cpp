// The renderer's target set on the graphics stand-in: the formats of each quality and multisample
// combination, the auxiliary target's fallback, and what a running renderer makes and releases.
#include "renderer/RenderTargetSet.h"

#include "effects/particles/ParticlePools.h"
#include "platform/gpu/Gpu.h"
#include "renderer/jobs/TextureHolder.h"
#include "support/ConsoleCapture.h"
#include "support/RecordingGameDelegate.h"
#include "support/RenderThreadCall.h"
#include "support/RendererTestBase.h"

#include <algorithm>

namespace
{
class RenderTargetSetTest : public ::testing::Test
{
protected:
    void SetUp() override { gpu::Faults().Clear(); }
    void MakeDevice(const gpu::DisplayConfig& config)
    {
        gpu::SetDisplayConfig(config);
        m_factory = gpu::CreateFactory(gpu::kSdkVersion);
        ASSERT_NE(m_factory, nullptr);
        gpu::PresentParameters params = {};
        params.backBufferWidth = 64;
        params.backBufferHeight = 32;
        params.windowed = 1;
        params.swapEffect = gpu::kSwapEffectDiscard;
        ASSERT_EQ(m_factory->CreateDevice(gpu::kAdapterDefault, gpu::kDeviceTypeHal, nullptr, 0x54, &params, &m_device),
                  gpu::kOk);
    }
    void TearDown() override
    {
        m_targets.Release();
        gpu::SafeRelease(m_device);
        gpu::SafeRelease(m_factory);
        gpu::SetDisplayConfig(gpu::DefaultDisplayConfig());
        EXPECT_EQ(gpu::LiveObjectTotal(), 0u) << "released targets must leave no device object alive";
    }

    static gpu::Format FormatOf(const RenderTarget& target)
    {
        return target.GetSurface() != nullptr ? target.GetSurface()->Desc().format : gpu::kFormatUnknown;
    }

    ConsoleCapture m_log;
    gpu::GpuFactory* m_factory = nullptr;
    gpu::GpuDevice* m_device = nullptr;
    RenderTargetSet m_targets;
};

RenderTargetSettings Settings(uint32_t quality, uint32_t msaa)
{
    RenderTargetSettings s;
    s.renderWidth = 32;
    s.renderHeight = 16;
    s.backBufferWidth = 64;
    s.backBufferHeight = 16; // a width apart is enough for targets of the back buffer's size
    s.qualityLevel = quality;
    s.msaaMode = msaa;
    s.shadowMapSize = 128;
    s.refraction = true;
    s.hardwareDepth = true;
    s.intz = true;
    return s;
}

TEST_F(RenderTargetSetTest, EachQualityAndMultisampleModeGetsItsFormats)
{
    MakeDevice(gpu::DefaultDisplayConfig());
    struct Case
    {
        uint32_t quality, msaa;
        gpu::Format sceneColor;
        uint32_t samples;
        bool refraction, ambientOcclusion;
    };
    const Case cases[] = {
        {0, 0, gpu::kFormatA2R10G10B10, 0, false, false}, {1, 1, gpu::kFormatA2R10G10B10, 2, false, false},
        {2, 2, gpu::kFormatA16B16G16R16F, 4, true, false}, {3, 0, gpu::kFormatA16B16G16R16F, 0, true, true},
        {4, 1, gpu::kFormatA16B16G16R16F, 2, true, true},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE("quality " + std::to_string(c.quality) + " msaa " + std::to_string(c.msaa));
        ASSERT_TRUE(m_targets.Create(m_device, Settings(c.quality, c.msaa)));
        EXPECT_EQ(FormatOf(m_targets.sceneColor), c.sceneColor);
        EXPECT_EQ(FormatOf(m_targets.auxiliary), gpu::kFormatA2R10G10B10);
        EXPECT_EQ(FormatOf(m_targets.sceneDepth), gpu::kFormatINTZ);
        EXPECT_NE(m_targets.sceneDepth.GetHolder(), nullptr) << "a depth texture the passes can read";
        EXPECT_EQ(FormatOf(m_targets.backBufferColor), gpu::kFormatA8R8G8B8);
        EXPECT_EQ(m_targets.backBufferColor.GetSurface()->Desc().width, 64u);
        EXPECT_EQ(FormatOf(m_targets.pingPong[1]), gpu::kFormatA8R8G8B8);
        EXPECT_EQ(m_targets.pingPong[1].GetSurface()->Desc().width, 32u);
        EXPECT_EQ(FormatOf(m_targets.refractionCopy), c.refraction ? c.sceneColor : gpu::kFormatUnknown);
        EXPECT_EQ(FormatOf(m_targets.ambientOcclusion[1]), c.ambientOcclusion ? gpu::kFormatG16R16F : gpu::kFormatUnknown);
        EXPECT_EQ(FormatOf(m_targets.linearDepth), gpu::kFormatUnknown) << "hardware depth needs no linear copy";
        EXPECT_EQ(FormatOf(m_targets.shadowMap), gpu::kFormatD16);
        EXPECT_EQ(m_targets.shadowMap.GetSurface()->Desc().width, 128u);
        EXPECT_EQ(m_targets.shadowDummy.GetSurface()->Desc().width, 128u) << "the shadow viewport fits it";
        EXPECT_EQ(m_targets.GetSampleCount(), c.samples);
        if (c.samples != 0)
        {
            ASSERT_NE(m_targets.multisampledColor, nullptr);
            EXPECT_EQ(m_targets.multisampledColor->Desc().multiSampleType, c.samples);
            EXPECT_EQ(m_targets.multisampledColor->Desc().format, c.sceneColor);
            ASSERT_NE(m_targets.multisampledDepth, nullptr);
            EXPECT_EQ(m_targets.multisampledDepth->Desc().format, gpu::kFormatD24S8);
        }
        else
            EXPECT_EQ(m_targets.multisampledColor, nullptr);
        ASSERT_NE(m_targets.lightingCube, nullptr);
        EXPECT_EQ(m_targets.lightingCube->GetTexture()->GetLevelCount(), 1u);
    }
    EXPECT_FALSE(m_log.Contains("D3DFMT_A2R10G10B10"));
}

TEST_F(RenderTargetSetTest, EqualSizesZeroSizesAndSoftwareDepth)
{
    MakeDevice(gpu::DefaultDisplayConfig());
    RenderTargetSettings s = Settings(1, 0);
    s.backBufferWidth = s.renderWidth;
    s.backBufferHeight = s.renderHeight;
    s.hardwareDepth = false;
    s.shadowMapSize = 0;
    ASSERT_TRUE(m_targets.Create(m_device, s));
    EXPECT_EQ(m_targets.backBufferColor.GetSurface(), nullptr);
    EXPECT_EQ(m_targets.backBufferDepth.GetSurface(), nullptr);
    EXPECT_EQ(FormatOf(m_targets.sceneDepth), gpu::kFormatD24S8);
    EXPECT_EQ(m_targets.sceneDepth.GetHolder(), nullptr) << "a plain depth-stencil surface";
    EXPECT_EQ(FormatOf(m_targets.linearDepth), gpu::kFormatR32F);
    EXPECT_EQ(m_targets.shadowMap.GetSurface(), nullptr);
    EXPECT_EQ(m_targets.shadowDummy.GetSurface(), nullptr);
    s.renderHeight = 0;
    EXPECT_FALSE(m_targets.Create(m_device, s));
    EXPECT_EQ(m_targets.sceneColor.GetSurface(), nullptr) << "a zero size makes nothing and keeps nothing";
    EXPECT_EQ(gpu::LiveObjectCount(gpu::ObjectKind::Texture), 0u);
}

TEST_F(RenderTargetSetTest, SurfacesTheDeviceRefusesAreLeftOut)
{
    MakeDevice(gpu::DefaultDisplayConfig());
    RenderTargetSettings s = Settings(1, 1);
    s.hardwareDepth = false;
    // The plain surfaces in their order: scene depth, back-buffer depth, multisampled colour and depth.
    gpu::Faults().FailResourceCreation(4, gpu::ObjectKind::Surface);
    m_targets.Create(m_device, s);
    EXPECT_EQ(m_targets.sceneDepth.GetSurface(), nullptr);
    EXPECT_EQ(m_targets.backBufferDepth.GetSurface(), nullptr);
    EXPECT_EQ(m_targets.multisampledColor, nullptr);
    EXPECT_EQ(m_targets.multisampledDepth, nullptr);
    EXPECT_NE(m_targets.sceneColor.GetSurface(), nullptr) << "the others are made all the same";
    gpu::Faults().FailResourceCreation(1, gpu::ObjectKind::CubeTexture);
    m_targets.Create(m_device, s);
    EXPECT_EQ(m_targets.lightingCube, nullptr);
    EXPECT_NE(m_targets.emptyCube, nullptr);
}

TEST_F(RenderTargetSetTest, WithoutTenBitTargetsTheAuxiliaryFallsBackWithOneWarning)
{
    gpu::DisplayConfig config = gpu::DefaultDisplayConfig();
    config.renderTargetFormats.erase(
        std::remove(config.renderTargetFormats.begin(), config.renderTargetFormats.end(), gpu::kFormatA2R10G10B10),
        config.renderTargetFormats.end());
    MakeDevice(config);
    ASSERT_TRUE(m_targets.Create(m_device, Settings(1, 1)));
    EXPECT_EQ(FormatOf(m_targets.auxiliary), gpu::kFormatA8R8G8B8);
    EXPECT_EQ(FormatOf(m_targets.sceneColor), gpu::kFormatA8R8G8B8);
    EXPECT_EQ(m_targets.multisampledColor->Desc().format, gpu::kFormatA8R8G8B8);
    EXPECT_EQ(m_log.CountOfKind(CONSOLE_WARNING), 1u);
    EXPECT_TRUE(m_log.Contains("This GPU doesn't support D3DFMT_A2R10G10B10 render target. Switching to "
                               "D3DFMT_A8R8G8B8 mode",
                               CONSOLE_WARNING));
    // Quality 2 draws the scene in floating point whatever the auxiliary target got.
    ASSERT_TRUE(m_targets.Create(m_device, Settings(2, 0)));
    EXPECT_EQ(FormatOf(m_targets.sceneColor), gpu::kFormatA16B16G16R16F);
    EXPECT_EQ(m_log.CountOfKind(CONSOLE_WARNING), 2u) << "once per creation";
}

TEST_F(RenderTargetSetTest, TheEmptyCubeIsClearedToBlackAndTheTargetKept)
{
    MakeDevice(gpu::DefaultDisplayConfig());
    gpu::GpuSurface* backBuffer = nullptr;
    ASSERT_EQ(m_device->GetBackBuffer(0, 0, &backBuffer), gpu::kOk);
    m_device->SetRenderTarget(0, backBuffer);
    m_device->SetViewport({4, 8, 32, 16, 0.0f, 1.0f});
    ASSERT_TRUE(m_targets.Create(m_device, Settings(0, 0)));
    gpu::GpuSurface* current = nullptr;
    m_device->GetRenderTarget(0, &current);
    EXPECT_EQ(current, backBuffer);
    gpu::Viewport viewport = {};
    m_device->GetViewport(&viewport);
    EXPECT_EQ(std::pair(viewport.y, viewport.width), std::pair(8u, 32u)) << "and its viewport";
    gpu::SafeRelease(current);
    gpu::SafeRelease(backBuffer);
    size_t faceClears = 0;
    for (const gpu::SurfaceOpRecord& op : m_device->GetSurfaceOpLog())
        faceClears += op.op == gpu::SurfaceOp::Clear && op.flags == gpu::kClearTarget && op.color == 0;
    EXPECT_EQ(faceClears, 6u);
    auto* cube = static_cast<gpu::GpuCubeTexture*>(m_targets.emptyCube->GetTexture());
    for (uint32_t face = 0; face < 6; ++face)
    {
        gpu::GpuSurface* surface = nullptr;
        ASSERT_EQ(cube->GetCubeMapSurface(face, 0, &surface), gpu::kOk);
        EXPECT_EQ(surface->Desc().width, 4u);
        EXPECT_EQ(surface->ReadPixelArgb(3, 3), 0u) << "face " << face;
        gpu::SafeRelease(surface);
    }
}

class RendererTargetsTest : public RendererTestBase
{
};

TEST_F(RendererTargetsTest, TargetsExistWhileReadyAndAResetRemakesThem)
{
    RecordingGameDelegate delegate;
    delegate.quiet.clear();
    m_renderer.SetGameDelegate(&delegate);
    m_renderer.SubmitCommands(true);
    EXPECT_TRUE(m_renderer.GetDeviceManager().AreTargetsReady());
    EXPECT_TRUE(m_log.Contains("Render target size: 320x240"));
    EXPECT_TRUE(m_log.Contains("Backbuffer size: 320x240"));
    RunOnRenderThread(m_renderer, [&](NorvexRenderer& r) {
        EXPECT_NE(r.GetDeviceManager().GetRenderTargets().sceneColor.GetSurface(), nullptr);
        // The stand-in refuses a reset while a default-pool object lives: the targets go first.
        EXPECT_TRUE(r.ResetDevice(true));
        EXPECT_TRUE(r.GetDeviceManager().AreTargetsReady());
        EXPECT_NE(r.GetDeviceManager().GetRenderTargets().sceneColor.GetSurface(), nullptr);
        // The shared objects (shapes, particle buffers) are made without the targets.
        r.ReleaseRenderTargets();
        r.CreateSharedDeviceObjects();
        EXPECT_NE(gParticlePools.GetVertexBuffer(), nullptr);
        r.CreateRenderTargets();
    });
    const std::string remade =
        "OnRenderTargetsReleased;OnRenderTargetsReleased;OnRenderTargetsCreated:320x240/320x240;";
    EXPECT_EQ(delegate.Joined(), remade + remade) << "a reset, then a release and a remake";
    m_renderer.SetGameDelegate(nullptr);
    m_renderer.SubmitCommands(true);
}
} // namespace
